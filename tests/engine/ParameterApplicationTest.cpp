// How parameter values become engine values, including body-type quantisation and the random body refill.
#include "EngineTestSupport.h"

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
    std::unique_ptr<SynthEngine> owner = enginetest::makeEngine();
    SynthEngine& engine = *owner;
};
} // namespace

TEST_F(ParameterApplication, UnknownIndicesChangeNothing)
{
    float params[kNumParams];
    std::memcpy(params, engine.fCurrentParams, sizeof params);

    engine.setParameter(kNumParams, 0.5f);
    engine.setParameter(-1, 0.5f);

    EXPECT_EQ(std::memcmp(params, engine.fCurrentParams, sizeof params), 0);
    EXPECT_EQ(engine.getParameter(kNumParams), 0.0f);
    EXPECT_EQ(engine.getParameter(-1), 0.0f);
}

TEST_F(ParameterApplication, ValuesAreStoredUnclamped)
{
    engine.setParameter(kBrightness, 3.5f);
    EXPECT_EQ(engine.getParameter(kBrightness), 3.5f);
    engine.setParameter(kGain1, kNaN);
    EXPECT_TRUE(std::isnan(engine.getParameter(kGain1)));
}

TEST_F(ParameterApplication, BodyTypeIsSnappedToTheMiddleOfItsTwelfth)
{
    engine.setParameter(kBodyType1, 0.2f);
    EXPECT_EQ(engine.getParameter(kBodyType1), 0.2083333283662796f); // 2.5 / 12
    EXPECT_TRUE(engine.fBodyOn1);

    engine.setParameter(kBodyType1, 0.05f);
    EXPECT_EQ(engine.getParameter(kBodyType1), 0.0416666679084301f); // 0.5 / 12
    EXPECT_FALSE(engine.fBodyOn1);

    engine.setParameter(kBodyType2, 1.0f);
    EXPECT_NEAR(engine.getParameter(kBodyType2), 12.5f / 12.0f, 1e-7f);
    EXPECT_TRUE(engine.fBodyOn2);
}

TEST_F(ParameterApplication, ReapplyingASnappedBodyTypeKeepsIt)
{
    for (int bin = 0; bin <= 12; bin++)
    {
        engine.setParameter(kBodyType2, (static_cast<float>(bin) + 0.3f) / 12.0f);
        const float snapped = engine.getParameter(kBodyType2);
        engine.setParameter(kBodyType2, snapped);
        EXPECT_EQ(engine.getParameter(kBodyType2), snapped) << "bin " << bin;
    }
}

TEST_F(ParameterApplication, RandomBodiesAreRefilledFromFormantAUpwards)
{
    std::fill(std::begin(engine.fRandomBody1), std::end(engine.fRandomBody1), 5.0);
    engine.setParameter(kBodyType1, 0.6f); // bin 7
    EXPECT_EQ(engine.fRandomBody1[0], 5.0);

    engine.fSampleClock = 0;
    engine.setParameter(kBodyType1, 0.7f); // bin 8
    EXPECT_DOUBLE_EQ(engine.fRandomBody1[0], -0.5126837575666666);
    EXPECT_DOUBLE_EQ(engine.fRandomBody1[1], 0.3663962234023332);
    EXPECT_DOUBLE_EQ(engine.fRandomBody1[2], -0.4692074641122222);
    for (double c : engine.fRandomBody1)
        EXPECT_LE(std::fabs(c), 0.95);
    EXPECT_EQ(engine.fRandomBody2[0], 0.0) << "the other set stays as it was";
}

TEST_F(ParameterApplication, RandomBodyIsSeededByTheSampleClock)
{
    engine.fSampleClock = 1000;
    engine.setParameter(kBodyType2, 0.99f);
    EXPECT_DOUBLE_EQ(engine.fRandomBody2[0], -0.20758700539512634);
    EXPECT_DOUBLE_EQ(engine.fRandomBody2[1], -0.06759204315183162);
    EXPECT_EQ(engine.randomBodyTable(1), engine.fRandomBody2);
    EXPECT_EQ(engine.randomBodyTable(0), engine.fRandomBody1);
}

TEST_F(ParameterApplication, VoiceCountIsFloorOfSevenVPlusOne)
{
    engine.setParameter(kPolyphony, 0.0f);
    EXPECT_EQ(engine.fVoiceCount, 1);
    engine.setParameter(kPolyphony, 1.0f);
    EXPECT_EQ(engine.fVoiceCount, 8);
    engine.setParameter(kPolyphony, 0.99f);
    EXPECT_EQ(engine.fVoiceCount, 7);
    engine.setParameter(kPolyphony, 2.0f);
    EXPECT_EQ(engine.fVoiceCount, 15);
    EXPECT_EQ(engine.activeVoiceCount(), 8);
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
        engine.setParameter(kPolyphony, c.value);
        EXPECT_EQ(engine.activeVoiceCount(), c.active) << c.value;
    }
}

TEST_F(ParameterApplication, FilterOrderSpansOneToThirty)
{
    engine.setParameter(kFilterOrder, 1.0f);
    EXPECT_EQ(engine.fFilterOrder, 30);
    engine.setParameter(kFilterOrder, 0.0f);
    EXPECT_EQ(engine.fFilterOrder, 1);
    const struct
    {
        float value;
        int32_t active;
    } cases[] = {{kNaN, 1}, {kInf, 30}, {-kInf, 1}, {1e30f, 30}, {-1e30f, 1}, {2.0f, 30}, {-0.5f, 1}};
    for (const auto& c : cases)
    {
        engine.setParameter(kFilterOrder, c.value);
        EXPECT_EQ(engine.activeFilterOrder(), c.active) << c.value;
    }
}

TEST_F(ParameterApplication, QuantizerRestsOnTheClosedBandAroundOneHalf)
{
    engine.setParameter(kQuantization, 0.5f);
    EXPECT_FALSE(engine.fQuantizeOn);
    engine.setParameter(kQuantization, 0.49f); // 0.49000001 as stored: inside the band
    EXPECT_FALSE(engine.fQuantizeOn);
    engine.setParameter(kQuantization, 0.51f); // 0.50999999 as stored
    EXPECT_FALSE(engine.fQuantizeOn);
    engine.setParameter(kQuantization, 0.48999998f);
    EXPECT_TRUE(engine.fQuantizeOn);
    engine.setParameter(kQuantization, 0.3f);
    EXPECT_TRUE(engine.fQuantizeOn);
    EXPECT_NEAR(engine.fNoiseGain, 0.02061731110582648, 1e-8); // 2^-5.6
}

TEST_F(ParameterApplication, DetuneIsCentsOfTwelveHundredTimesV)
{
    engine.setParameter(kDetune2, 0.5f);
    EXPECT_NEAR(engine.fDetuneRatio, 1.414229f, 2e-6f);
    engine.setParameter(kDetune2, 1.0f);
    EXPECT_NEAR(engine.fDetuneRatio, 2.0000430f, 2e-6f);
    engine.setParameter(kDetune2, 0.0f);
    EXPECT_EQ(engine.fDetuneRatio, 1.0f);
}

TEST_F(ParameterApplication, DerivedGainsAndCoefficients)
{
    engine.setParameter(kCutoff1, 0.4f);
    EXPECT_FLOAT_EQ(engine.fLossCoef1, 0.57f);
    engine.setParameter(kCutoff2, 0.0f);
    EXPECT_EQ(engine.fLossCoef2, 0.949999988f);
    engine.setParameter(kSaturation1, 0.5f);
    EXPECT_EQ(engine.fSatDrive1, 0.125f);
    engine.setParameter(kSaturation2, 0.25f);
    EXPECT_EQ(engine.fSatDrive2, 0.015625f);
    engine.setParameter(kVolume, 0.5f);
    EXPECT_EQ(engine.fOutputGain, 0.0625f);
    engine.setParameter(kMix, 0.25f);
    EXPECT_EQ(engine.fMixComplement, 0.75f);
}

TEST_F(ParameterApplication, LeakageSwitchesOnAboveZero)
{
    engine.setParameter(kLeakage1, 0.0f);
    EXPECT_FALSE(engine.fLeakOn1);
    EXPECT_EQ(engine.fLeakGain1, 0.0f);
    engine.setParameter(kLeakage1, 0.5f);
    EXPECT_TRUE(engine.fLeakOn1);
    EXPECT_EQ(engine.fLeakGain1, 0.25f);
    engine.setParameter(kLeakage2, -0.5f);
    EXPECT_FALSE(engine.fLeakOn2);
    EXPECT_EQ(engine.fLeakGain2, 0.25f);
}

TEST_F(ParameterApplication, HighQualityAboveOneHalf)
{
    engine.setParameter(kQuality, 0.5f);
    EXPECT_FALSE(engine.fHighQuality);
    engine.setParameter(kQuality, 0.6f);
    EXPECT_TRUE(engine.fHighQuality);
}

TEST_F(ParameterApplication, RampTargetsAreLeftToTheRenderer)
{
    const float smoothed = engine.fWarpSmoothed;
    engine.setParameter(kWarp, 0.1f);
    EXPECT_EQ(engine.fWarpSmoothed, smoothed);
    EXPECT_EQ(engine.fCurrentParams[kWarp], 0.1f);
}
