// Parameter names, labels and read-outs, including values far outside 0..1.
#include "params/ParameterApplication.h"
#include "params/ParameterText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>

namespace
{
constexpr size_t kBufferSize = 64;
constexpr size_t kTextLimit = 24; // no text may use more, terminator included
constexpr char kSentinel = 0x7F;

class ParameterText : public ::testing::Test
{
protected:
    std::string display(int32_t index, float value)
    {
        applyParameter(state, index, value, 0);
        return capture([&](char* text) { parameterDisplay(index, state.fCurrentParams, text); });
    }
    std::string name(int32_t index)
    {
        return capture([&](char* text) { parameterName(index, state.fCurrentParams, text); });
    }
    std::string label(int32_t index)
    {
        return capture([&](char* text) { parameterLabel(index, text); });
    }

    // Returns what was written, or "<untouched>" when the buffer was left as it was.
    template <typename Writer>
    std::string capture(Writer writer)
    {
        char buffer[kBufferSize];
        std::memset(buffer, kSentinel, sizeof buffer);
        writer(buffer);
        for (size_t i = kTextLimit; i < kBufferSize; i++)
            EXPECT_EQ(buffer[i], kSentinel) << "byte " << i << " written";
        if (buffer[0] == kSentinel)
            return "<untouched>";
        const size_t length = strnlen(buffer, kTextLimit);
        EXPECT_LT(length, kTextLimit);
        return std::string(buffer, length);
    }

    ParameterState state;
};
} // namespace

TEST_F(ParameterText, QuantizationNameAndReadOutFollowTheStage)
{
    EXPECT_EQ(display(kQuantization, 0.5f), "--nq--");
    EXPECT_EQ(name(kQuantization), "Noise");
    EXPECT_EQ(display(kQuantization, 0.2f), "52 Q");
    EXPECT_EQ(name(kQuantization), "Quantize");
    EXPECT_EQ(display(kQuantization, 0.9f), "26 N");
    EXPECT_EQ(name(kQuantization), "Noise");
}

TEST_F(ParameterText, QuantizationAtExactly049ShowsACountNotTheRestMark)
{
    EXPECT_EQ(display(kQuantization, 0.49f), "125 Q");
    EXPECT_EQ(display(kQuantization, 0.51f), "125 N");
}

TEST_F(ParameterText, FrequencyPrecisionFollowsItsSize)
{
    EXPECT_EQ(display(kLFO1Freq, 1.0f), "200.0 Hz");
    EXPECT_EQ(display(kLFO1Freq, 0.5f), "50.00 Hz");
    EXPECT_EQ(display(kLFO2Freq, 0.1f), "2.000 Hz");
    EXPECT_EQ(display(kLFOWarpFreq, 0.005f), "0.0050 Hz"); // 0.005 Hz is not above 0.01
}

TEST_F(ParameterText, CountsAreRightAlignedInSevenColumns)
{
    EXPECT_EQ(display(kFilterOrder, 0.0f), "      1");
    EXPECT_EQ(display(kFilterOrder, 1.0f), "     30");
    EXPECT_EQ(display(kPolyphony, 1.0f), "      8");
    EXPECT_EQ(display(kPolyphony, 0.0f), "      1");
}

TEST_F(ParameterText, VolumeReadsInDecibelsOfTheFourthPower)
{
    EXPECT_EQ(display(kVolume, 1.0f), "0.000000");
    EXPECT_EQ(display(kVolume, 0.0f), "-oo");
    EXPECT_EQ(display(kVolume, 0.5f), "-24.0823");
}

TEST_F(ParameterText, BodyTypeNamesStopAtTheEleventhEntry)
{
    EXPECT_EQ(display(kBodyType1, 1.0f), "n-Random");
    EXPECT_EQ(display(kBodyType1, 0.2f), "Guitar 2");
    EXPECT_EQ(display(kBodyType2, 0.0f), "None");
    EXPECT_EQ(display(kBodyType2, -0.2f), "Guitar 2"); // the magnitude picks the entry
}

TEST_F(ParameterText, TwoWaySwitchesSplitAtOneHalf)
{
    EXPECT_EQ(display(kPolarity2, 0.5f), "negative");
    EXPECT_EQ(display(kPolarity2, 0.51f), "positive");
    EXPECT_EQ(display(kFilterTopology, 0.5f), "output");
    EXPECT_EQ(display(kFilterTopology, 0.49f), "leakage");
}

TEST_F(ParameterText, ScaledReadOuts)
{
    EXPECT_EQ(display(kMix, 0.333f), "0.33");
    EXPECT_EQ(display(kAttack, 0.5f), "4.0000");        // 16 v^2 seconds
    EXPECT_EQ(display(kFilterSustain, 0.44f), "44.0000");
    EXPECT_EQ(display(kDetune2, 0.5f), "6.0000");       // semitones
    EXPECT_EQ(display(kBrightness, 0.335581f), "0.3356");
}

TEST_F(ParameterText, QualityAndUnknownIndicesShowEmptyText)
{
    EXPECT_EQ(display(kQuality, 1.0f), "");
    EXPECT_EQ(capture([&](char* text) { parameterDisplay(kNumParams, state.fCurrentParams, text); }), "");
    EXPECT_EQ(capture([&](char* text) { parameterDisplay(-1, state.fCurrentParams, text); }), "");
}

TEST_F(ParameterText, ThirteenParametersLeaveTheLabelBufferAlone)
{
    int untouched = 0;
    for (int32_t i = 0; i < kNumParams; i++)
    {
        const std::string text = label(i);
        if (text == "<untouched>")
            untouched++;
        else
            EXPECT_EQ(text.size(), 8u) << "parameter " << i;
    }
    EXPECT_EQ(untouched, 13);
    EXPECT_EQ(label(kLFO1Freq), "<untouched>");
    EXPECT_EQ(label(kLeakage1), " (gain) ");
    EXPECT_EQ(label(kVolume), "   dB   ");
    EXPECT_EQ(label(kNumParams), "<untouched>");
}

TEST_F(ParameterText, EveryNameAndLabelAsTheHostShowsThem)
{
    const char* const none = "<untouched>";
    const char* const blank = "        ";
    const char* const seconds = "    s   ";
    const struct
    {
        int32_t index;
        const char* name;
        const char* label;
    } catalogue[] = {
        {kBrightness, " Bright ", blank},           {kAttack, " Attack ", seconds},
        {kRelease, " Release", seconds},            {kCutoff1, "Cutoff A", blank},
        {kGain1, "Gain A  ", blank},                {kSaturation1, "Saturation A", blank},
        {kLFO1Freq, "LFO A Freq", none},            {kLFO1Amp, "LFO A Amp", none},
        {kLeakage1, " Lkg A->B", " (gain) "},       {kLeakageCutoff, "Leakage Cut", none},
        {kPolarity2, "Line B Polarity", none},      {kDetune2, "Detune B", blank},
        {kCutoff2, "Cutoff B", blank},              {kGain2, "Gain B  ", blank},
        {kSaturation2, "Saturation B", blank},      {kLFO2Freq, "LFO B Freq", none},
        {kLFO2Amp, "LFO B Amp", none},              {kLeakage2, " Lkg B->A", none},
        {kFilterTopology, "Filter Pos", blank},     {kFilterOrder, "Flt. Ord", "  taps  "},
        {kResonance, "Reso.   ", blank},            {kWarp, " Warp   ", blank},
        {kLFOWarpFreq, "LFO Wrp. Frq", none},       {kLFOWarpAmp, "LFO Wrp. Amp", none},
        {kBodyType1, "BdyType1", blank},            {kBodyType2, "BdyType2", blank},
        {kFilterAttack, "Filter Attack", seconds},  {kFilterDecay, "Filter Decay", seconds},
        {kFilterSustain, "Filter Sustain", "    %   "}, {kFilterRelease, "Filter Release", seconds},
        {kRandomPan, "Random Pan", none},           {kVelocity2Volume, "Vel -> Vol", none},
        {kVelocity2Brightness, "Vel -> Bright", none}, {kMix, " Mix    ", blank},
        {kVolume, " Volume ", "   dB   "},          {kPolyphony, "Polyphony", " voices "},
        {kQuality, "Quality", none},
    };
    ASSERT_EQ(std::size(catalogue), static_cast<size_t>(kNumParams - 1)) << "all but the quantizer";
    for (const auto& entry : catalogue)
    {
        EXPECT_EQ(name(entry.index), entry.name) << "parameter " << entry.index;
        EXPECT_EQ(label(entry.index), entry.label) << "parameter " << entry.index;
    }
    EXPECT_EQ(label(kQuantization), blank);
}

TEST_F(ParameterText, NamesKeepTheirSpaces)
{
    EXPECT_EQ(name(kBrightness), " Bright ");
    EXPECT_EQ(name(kGain1), "Gain A  ");
    EXPECT_EQ(name(kPolarity2), "Line B Polarity");
    EXPECT_EQ(name(kQuality), "Quality");
    EXPECT_EQ(name(kNumParams), "<untouched>");
    EXPECT_EQ(name(-1), "<untouched>");
}

TEST_F(ParameterText, NoTextOverrunsWhateverTheValue)
{
    const float values[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(), 1e30f, -1e30f,
                            std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(), -0.0f,
                            std::numeric_limits<float>::denorm_min()};
    for (float value : values)
        for (int32_t i = 0; i < kNumParams; i++)
        {
            SCOPED_TRACE(testing::Message() << "parameter " << i << " value " << value);
            display(i, value);
            name(i);
            label(i);
        }
}

TEST_F(ParameterText, LongReadOutsAreCut)
{
    EXPECT_EQ(display(kBrightness, 1e30f).size(), kTextLimit - 1);
    EXPECT_EQ(display(kBrightness, 1e30f).substr(0, 8), "10000000");
}

TEST_F(ParameterText, NullBuffersAreIgnored)
{
    parameterName(0, state.fCurrentParams, nullptr);
    parameterLabel(0, nullptr);
    parameterDisplay(0, state.fCurrentParams, nullptr);
    char text[kParameterTextSize] = "x";
    parameterName(0, nullptr, text);
    parameterDisplay(0, nullptr, text);
    EXPECT_STREQ(text, "");
}
