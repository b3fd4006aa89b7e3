// How parameter values become engine values, including body-type quantisation and the random body refill.
#include "TestHost.h"
#include "plugin/SynthPlugin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace
{
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

class ParameterApplication : public ::testing::Test
{
protected:
    SynthPlugin plugin{quietHost};
};
} // namespace

TEST_F(ParameterApplication, UnknownIndicesChangeNothing)
{
    const SynthProgram before = plugin.currentProgram();
    float params[kNumParams];
    std::memcpy(params, plugin.fCurrentParams, sizeof params);

    plugin.setParameter(kNumParams, 0.5f);
    plugin.setParameter(-1, 0.5f);

    EXPECT_EQ(std::memcmp(&before, &plugin.currentProgram(), sizeof before), 0);
    EXPECT_EQ(std::memcmp(params, plugin.fCurrentParams, sizeof params), 0);
    EXPECT_EQ(plugin.getParameter(kNumParams), 0.0f);
    EXPECT_EQ(plugin.getParameter(-1), 0.0f);
}

TEST_F(ParameterApplication, ValuesAreStoredUnclampedInTheCurrentProgram)
{
    plugin.setParameter(kBrightness, 3.5f);
    EXPECT_EQ(plugin.getParameter(kBrightness), 3.5f);
    EXPECT_EQ(plugin.currentProgram().fParams[kBrightness], 3.5f);
    plugin.setParameter(kGain1, kNaN);
    EXPECT_TRUE(std::isnan(plugin.getParameter(kGain1)));
}

TEST_F(ParameterApplication, BodyTypeIsSnappedToTheMiddleOfItsTwelfth)
{
    plugin.setParameter(kBodyType1, 0.2f);
    EXPECT_EQ(plugin.getParameter(kBodyType1), 0.2083333283662796f); // 2.5 / 12
    EXPECT_EQ(plugin.currentProgram().fParams[kBodyType1], 0.2083333283662796f);
    EXPECT_TRUE(plugin.fBodyOn1);

    plugin.setParameter(kBodyType1, 0.05f);
    EXPECT_EQ(plugin.getParameter(kBodyType1), 0.0416666679084301f); // 0.5 / 12
    EXPECT_FALSE(plugin.fBodyOn1);

    plugin.setParameter(kBodyType2, 1.0f);
    EXPECT_NEAR(plugin.getParameter(kBodyType2), 12.5f / 12.0f, 1e-7f);
    EXPECT_TRUE(plugin.fBodyOn2);
}

TEST_F(ParameterApplication, ReapplyingASnappedBodyTypeKeepsIt)
{
    for (int bin = 0; bin <= 12; bin++)
    {
        plugin.setParameter(kBodyType2, (static_cast<float>(bin) + 0.3f) / 12.0f);
        const float snapped = plugin.getParameter(kBodyType2);
        plugin.setParameter(kBodyType2, snapped);
        EXPECT_EQ(plugin.getParameter(kBodyType2), snapped) << "bin " << bin;
    }
}

TEST_F(ParameterApplication, RandomBodiesAreRefilledFromFormantAUpwards)
{
    std::fill(std::begin(plugin.fRandomBody1), std::end(plugin.fRandomBody1), 5.0);
    plugin.setParameter(kBodyType1, 0.6f); // bin 7
    EXPECT_EQ(plugin.fRandomBody1[0], 5.0);

    plugin.fSampleClock = 0;
    plugin.setParameter(kBodyType1, 0.7f); // bin 8
    EXPECT_DOUBLE_EQ(plugin.fRandomBody1[0], -0.5126837575666666);
    EXPECT_DOUBLE_EQ(plugin.fRandomBody1[1], 0.3663962234023332);
    EXPECT_DOUBLE_EQ(plugin.fRandomBody1[2], -0.4692074641122222);
    for (double c : plugin.fRandomBody1)
        EXPECT_LE(std::fabs(c), 0.95);
    EXPECT_EQ(plugin.fRandomBody2[0], 0.0) << "the other set stays as it was";
}

TEST_F(ParameterApplication, RandomBodyIsSeededByTheSampleClock)
{
    plugin.fSampleClock = 1000;
    plugin.setParameter(kBodyType2, 0.99f);
    EXPECT_DOUBLE_EQ(plugin.fRandomBody2[0], -0.20758700539512634);
    EXPECT_DOUBLE_EQ(plugin.fRandomBody2[1], -0.06759204315183162);
    EXPECT_EQ(plugin.randomBodyTable(1), plugin.fRandomBody2);
    EXPECT_EQ(plugin.randomBodyTable(0), plugin.fRandomBody1);
}

TEST_F(ParameterApplication, VoiceCountIsFloorOfSevenVPlusOne)
{
    plugin.setParameter(kPolyphony, 0.0f);
    EXPECT_EQ(plugin.fVoiceCount, 1);
    plugin.setParameter(kPolyphony, 1.0f);
    EXPECT_EQ(plugin.fVoiceCount, 8);
    plugin.setParameter(kPolyphony, 0.99f);
    EXPECT_EQ(plugin.fVoiceCount, 7);
    plugin.setParameter(kPolyphony, 2.0f);
    EXPECT_EQ(plugin.fVoiceCount, 15);
    EXPECT_EQ(plugin.activeVoiceCount(), 8);
}

TEST_F(ParameterApplication, VoiceCountInUseStaysWithinTheEightVoices)
{
    const struct
    {
        float value;
        int32_t active;
    } cases[] = {{kNaN, 1}, {kInf, 8}, {-kInf, 1}, {-5.0f, 1}, {1e30f, 8}, {-1e30f, 1}, {0.5f, 4}};
    for (const auto& c : cases)
    {
        plugin.setParameter(kPolyphony, c.value);
        EXPECT_EQ(plugin.activeVoiceCount(), c.active) << c.value;
    }
}

TEST_F(ParameterApplication, FilterOrderSpansOneToThirty)
{
    plugin.setParameter(kFilterOrder, 1.0f);
    EXPECT_EQ(plugin.fFilterOrder, 30);
    plugin.setParameter(kFilterOrder, 0.0f);
    EXPECT_EQ(plugin.fFilterOrder, 1);
    const struct
    {
        float value;
        int32_t active;
    } cases[] = {{kNaN, 1}, {kInf, 30}, {-kInf, 1}, {1e30f, 30}, {-1e30f, 1}, {2.0f, 30}, {-0.5f, 1}};
    for (const auto& c : cases)
    {
        plugin.setParameter(kFilterOrder, c.value);
        EXPECT_EQ(plugin.activeFilterOrder(), c.active) << c.value;
    }
}

TEST_F(ParameterApplication, QuantizerRestsOnTheClosedBandAroundOneHalf)
{
    plugin.setParameter(kQuantization, 0.5f);
    EXPECT_FALSE(plugin.fQuantizeOn);
    plugin.setParameter(kQuantization, 0.49f); // 0.49000001 as stored: inside the band
    EXPECT_FALSE(plugin.fQuantizeOn);
    plugin.setParameter(kQuantization, 0.51f); // 0.50999999 as stored
    EXPECT_FALSE(plugin.fQuantizeOn);
    plugin.setParameter(kQuantization, 0.48999998f);
    EXPECT_TRUE(plugin.fQuantizeOn);
    plugin.setParameter(kQuantization, 0.3f);
    EXPECT_TRUE(plugin.fQuantizeOn);
    EXPECT_NEAR(plugin.fNoiseGain, 0.02061731110582648, 1e-8); // 2^-5.6
}

TEST_F(ParameterApplication, DetuneIsCentsOfTwelveHundredTimesV)
{
    plugin.setParameter(kDetune2, 0.5f);
    EXPECT_NEAR(plugin.fDetuneRatio, 1.414229f, 2e-6f);
    plugin.setParameter(kDetune2, 1.0f);
    EXPECT_NEAR(plugin.fDetuneRatio, 2.0000430f, 2e-6f);
    plugin.setParameter(kDetune2, 0.0f);
    EXPECT_EQ(plugin.fDetuneRatio, 1.0f);
}

TEST_F(ParameterApplication, DerivedGainsAndCoefficients)
{
    plugin.setParameter(kCutoff1, 0.4f);
    EXPECT_FLOAT_EQ(plugin.fLossCoef1, 0.57f);
    plugin.setParameter(kCutoff2, 0.0f);
    EXPECT_EQ(plugin.fLossCoef2, 0.949999988f);
    plugin.setParameter(kSaturation1, 0.5f);
    EXPECT_EQ(plugin.fSatDrive1, 0.125f);
    plugin.setParameter(kSaturation2, 0.25f);
    EXPECT_EQ(plugin.fSatDrive2, 0.015625f);
    plugin.setParameter(kVolume, 0.5f);
    EXPECT_EQ(plugin.fOutputGain, 0.0625f);
    plugin.setParameter(kMix, 0.25f);
    EXPECT_EQ(plugin.fMixComplement, 0.75f);
}

TEST_F(ParameterApplication, LeakageSwitchesOnAboveZero)
{
    plugin.setParameter(kLeakage1, 0.0f);
    EXPECT_FALSE(plugin.fLeakOn1);
    EXPECT_EQ(plugin.fLeakGain1, 0.0f);
    plugin.setParameter(kLeakage1, 0.5f);
    EXPECT_TRUE(plugin.fLeakOn1);
    EXPECT_EQ(plugin.fLeakGain1, 0.25f);
    plugin.setParameter(kLeakage2, -0.5f);
    EXPECT_FALSE(plugin.fLeakOn2);
    EXPECT_EQ(plugin.fLeakGain2, 0.25f);
}

TEST_F(ParameterApplication, HighQualityAboveOneHalf)
{
    plugin.setParameter(kQuality, 0.5f);
    EXPECT_FALSE(plugin.fHighQuality);
    plugin.setParameter(kQuality, 0.6f);
    EXPECT_TRUE(plugin.fHighQuality);
}

TEST_F(ParameterApplication, EditsRewriteTheStoredProgram)
{
    plugin.setProgram(5);
    plugin.setParameter(kCutoff1, 0.4f);
    void* data = nullptr;
    ASSERT_EQ(plugin.getChunk(&data, false), kBankChunkSize);
    const auto* bank = static_cast<const SynthProgram*>(data);
    EXPECT_EQ(bank[5].fParams[kCutoff1], 0.4f);
    EXPECT_NE(bank[4].fParams[kCutoff1], 0.4f);
}

TEST_F(ParameterApplication, RampTargetsAreLeftToTheRenderer)
{
    const float smoothed = plugin.fWarpSmoothed;
    plugin.setParameter(kWarp, 0.1f);
    EXPECT_EQ(plugin.fWarpSmoothed, smoothed);
    EXPECT_EQ(plugin.fCurrentParams[kWarp], 0.1f);
}
