// Parameter names, unit labels and read-outs as the host and the editor show them.
#include "params/ParameterText.h"

#include "dsp/BodyTable.h"
#include "params/NumberText.h"
#include "params/SafeConvert.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace
{
// Every text fits its buffer with its terminator, whatever the value: longer ones are cut.
constexpr size_t kTextSize = kParameterTextSize;

constexpr const char* kNoLabel = nullptr;
constexpr const char* kBlank = "        ";
constexpr const char* kSeconds = "    s   ";

struct ParameterText
{
    const char* name;
    const char* label; // kNoLabel: the host's buffer is left as it was
};

constexpr ParameterText kParameterTexts[kNumParams] = {
    {" Bright ", kBlank},
    {" Attack ", kSeconds},
    {" Release", kSeconds},
    {"Cutoff A", kBlank},
    {"Gain A  ", kBlank},
    {"Saturation A", kBlank},
    {"LFO A Freq", kNoLabel},
    {"LFO A Amp", kNoLabel},
    {" Lkg A->B", " (gain) "},
    {nullptr, kBlank}, // named after its stage, see quantizationName()
    {"Leakage Cut", kNoLabel},
    {"Line B Polarity", kNoLabel},
    {"Detune B", kBlank},
    {"Cutoff B", kBlank},
    {"Gain B  ", kBlank},
    {"Saturation B", kBlank},
    {"LFO B Freq", kNoLabel},
    {"LFO B Amp", kNoLabel},
    {" Lkg B->A", kNoLabel},
    {"Filter Pos", kBlank},
    {"Flt. Ord", "  taps  "},
    {"Reso.   ", kBlank},
    {" Warp   ", kBlank},
    {"LFO Wrp. Frq", kNoLabel},
    {"LFO Wrp. Amp", kNoLabel},
    {"BdyType1", kBlank},
    {"BdyType2", kBlank},
    {"Filter Attack", kSeconds},
    {"Filter Decay", kSeconds},
    {"Filter Sustain", "    %   "},
    {"Filter Release", kSeconds},
    {"Random Pan", kNoLabel},
    {"Vel -> Vol", kNoLabel},
    {"Vel -> Bright", kNoLabel},
    {" Mix    ", kBlank},
    {" Volume ", "   dB   "},
    {"Polyphony", " voices "},
    {"Quality", kNoLabel},
};

[[gnu::format(printf, 2, 3)]] void writeText(char* text, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, kTextSize, format, arguments);
    va_end(arguments);
}

void writeF4(char* text, float f)
{
    writeText(text, "%0.4f", static_cast<double>(f));
}

// Seconds as the time read-outs show them: 16 v^2.
float squaredSeconds(float v)
{
    return 16.0f * v * v;
}

void writeHz(char* text, float v)
{
    const float f = 200.0f * v * v;
    const double hz = f;
    if (f > 100.0f)
        writeText(text, "%0.1f Hz", hz);
    else if (f > 10.0f)
        writeText(text, "%0.2f Hz", hz);
    else if (f > 0.01f)
        writeText(text, "%0.3f Hz", hz);
    else
        writeText(text, "%0.4f Hz", hz);
}

const char* quantizationName(float v)
{
    return v < 0.5f ? "Quantize" : "Noise";
}

void writeQuantization(char* text, float v)
{
    if (v > 0.49f && v < 0.51f)
        writeText(text, "--nq--");
    else if (v < 0.5f)
        writeText(text, "%d Q", static_cast<int>(truncToInt32(255.0f * v + 1.0f)));
    else
        writeText(text, "%d N", static_cast<int>(truncToInt32(255.0f * (1.0f - v) + 1.0f)));
}

// The read-out shows the selectable types only: a value of 1 (bin 12) still reads "n-Random".
constexpr int kLastDisplayedBodyType = 11;

const char* bodyTypeDisplayName(float v)
{
    const float bin = std::floor(std::fabs(12.0f * v));
    int index = 0; // NaN reads as the first entry
    if (bin >= static_cast<float>(kLastDisplayedBodyType))
        index = kLastDisplayedBodyType;
    else if (bin >= 0.0f)
        index = static_cast<int>(bin);
    return bodyTypeName(index);
}
} // namespace

void parameterName(int32_t index, const float* values, char* text)
{
    if (text == nullptr || values == nullptr || index < 0 || index >= kNumParams)
        return;
    const char* name = index == kQuantization ? quantizationName(values[index]) : kParameterTexts[index].name;
    writeText(text, "%s", name);
}

void parameterLabel(int32_t index, char* label)
{
    if (label == nullptr || index < 0 || index >= kNumParams || kParameterTexts[index].label == kNoLabel)
        return;
    writeText(label, "%s", kParameterTexts[index].label);
}

void parameterDisplay(int32_t index, const float* values, char* text)
{
    if (text == nullptr)
        return;
    text[0] = '\0';
    if (values == nullptr || index < 0 || index >= kNumParams)
        return;

    const float v = values[index];
    switch (index)
    {
    case kAttack:
    case kRelease:
    case kFilterAttack:
    case kFilterDecay:
    case kFilterRelease:
        writeF4(text, squaredSeconds(v));
        break;
    case kLFO1Freq:
    case kLFO2Freq:
    case kLFOWarpFreq:
        writeHz(text, v);
        break;
    case kQuantization:
        writeQuantization(text, v);
        break;
    case kPolarity2:
        writeText(text, "%s", v > 0.5f ? "positive" : "negative");
        break;
    case kDetune2:
        writeF4(text, 12.0f * v); // semitones
        break;
    case kFilterTopology:
        writeText(text, "%s", v < 0.5f ? "leakage" : "output");
        break;
    case kFilterOrder:
        long2string(truncToInt32(29.0f * v + 1.0f), text);
        break;
    case kBodyType1:
    case kBodyType2:
        writeText(text, "%s", bodyTypeDisplayName(v));
        break;
    case kFilterSustain:
        writeF4(text, 100.0f * v);
        break;
    case kMix:
        writeText(text, "%0.2f", static_cast<double>(v));
        break;
    case kVolume:
        dB2string(v * v * v * v, text); // the output gain
        break;
    case kPolyphony:
        long2string(truncToInt32(std::floor(7.0f * v) + 1.0f), text); // the voice count as derived
        break;
    case kQuality:
        break; // no read-out
    default:
        writeF4(text, v);
        break;
    }
}
