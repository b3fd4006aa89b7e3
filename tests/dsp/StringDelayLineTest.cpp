// Tests of the string delay line and its pluck burst.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "dsp/RandomSource.h"
#include "dsp/StringDelayLine.h"

namespace
{
constexpr int kSize = 8192;

std::vector<float> burstOf(const StringDelayLine& line)
{
    std::vector<float> burst(static_cast<size_t>(line.getBurstRemaining()));
    for (size_t i = 0; i < burst.size(); ++i)
        burst[i] = line.getExcitation(static_cast<int>(i));
    return burst;
}

float largestMagnitude(const std::vector<float>& values)
{
    float peak = 0.0f;
    for (float v : values)
        peak = std::max(peak, std::fabs(v));
    return peak;
}
} // namespace

TEST(StringDelayLine, ImpulseReturnsAfterAnIntegralDelay)
{
    StringDelayLine line(kSize);
    line.setDelay(400.0f);
    line.clear();
    EXPECT_EQ(line.tick(1.0f), 0.0f);
    for (int t = 1; t < 1000; ++t)
    {
        const float out = line.tick(0.0f);
        ASSERT_EQ(out, t == 400 ? 1.0f : 0.0f) << t;
        ASSERT_EQ(line.lastOutput(), out);
    }
}

TEST(StringDelayLine, FractionalDelaySpreadsAnImpulseOverFourTaps)
{
    StringDelayLine line(kSize);
    line.setDelay(10.25f);
    EXPECT_EQ(line.getDelayCount(), 12);
    EXPECT_EQ(line.getFraction(), 0.75f);
    line.clear();
    std::vector<float> out;
    out.push_back(line.tick(1.0f));
    for (int t = 1; t < 20; ++t)
        out.push_back(line.tick(0.0f));
    // Lagrange weights at d = 1.25, newest tap first
    const float weights[4] = {-0.0546875f, 0.8203125f, 0.2734375f, -0.0390625f};
    for (int t = 0; t < 20; ++t)
    {
        const float expected = (t >= 9 && t <= 12) ? weights[t - 9] : 0.0f;
        EXPECT_EQ(out[static_cast<size_t>(t)], expected) << t;
    }
}

TEST(StringDelayLine, FractionalWeightsAreFloatProductsWithTheConstantLast)
{
    // Delay 10.03: the outer weights come out differently if the constant is taken first or divided.
    StringDelayLine line(kSize);
    line.setDelay(10.03f);
    ASSERT_EQ(line.getDelayCount(), 12);
    line.clear();
    std::vector<float> out;
    out.push_back(line.tick(1.0f));
    for (int t = 1; t < 14; ++t)
        out.push_back(line.tick(0.0f));
    const float weights[4] = {-0.00955441967f, 0.984113634f, 0.0304362252f, -0.00499545597f};
    for (int t = 0; t < 14; ++t)
    {
        const float expected = (t >= 9 && t <= 12) ? weights[t - 9] : 0.0f;
        EXPECT_EQ(out[static_cast<size_t>(t)], expected) << t;
    }
}

TEST(StringDelayLine, InterpolatesACubicRampExactly)
{
    // Four-point Lagrange interpolation reproduces polynomials up to degree three.
    const float delays[] = {3.0f, 3.3f, 10.25f, 57.5f, 99.9f};
    for (float delay : delays)
    {
        StringDelayLine line(256);
        line.setDelay(delay);
        line.clear();
        for (int t = 0; t < 200; ++t)
        {
            const float out = line.tick(static_cast<float>(t) * 0.01f);
            if (t > 110)
            {
                ASSERT_NEAR(out, (static_cast<float>(t) - delay) * 0.01f, 2e-5) << delay << " " << t;
            }
        }
    }
}

TEST(StringDelayLine, ShortDelaysReadTheNewestSamples)
{
    StringDelayLine line(16);
    line.setDelay(1.0f);
    line.clear();
    float previous = 0.0f;
    for (int t = 1; t < 40; ++t)
    {
        EXPECT_EQ(line.tick(static_cast<float>(t)), previous);
        previous = static_cast<float>(t);
    }
    line.setDelay(0.0f); // the sample written in the same tick
    for (int t = 0; t < 40; ++t)
        EXPECT_EQ(line.tick(static_cast<float>(t)), static_cast<float>(t));
}

TEST(StringDelayLine, DelayIsLimitedByTheCapacity)
{
    StringDelayLine line(kSize);
    line.setDelay(8192.5f);
    EXPECT_EQ(line.getDelayCount(), 8191);
    EXPECT_EQ(line.getFraction(), 0.0f);
    line.setDelay(8189.0f);
    EXPECT_EQ(line.getDelayCount(), 8190);
    line.setDelay(8190.0f);
    EXPECT_EQ(line.getDelayCount(), 8191);
    line.setDelay(1e30f);
    EXPECT_EQ(line.getDelayCount(), 8191);
    line.setDelay(std::numeric_limits<float>::infinity());
    EXPECT_EQ(line.getDelayCount(), 8191);

    // The longest delay returns an impulse after size - 2 ticks.
    line.clear();
    line.tick(1.0f);
    for (int t = 1; t < 8192; ++t)
        ASSERT_EQ(line.tick(0.0f), t == 8190 ? 1.0f : 0.0f) << t;
}

TEST(StringDelayLine, NanAndNegativeDelaysCountAsZero)
{
    const float bad[] = {std::numeric_limits<float>::quiet_NaN(), -1.0f, -5000.5f,
                         -std::numeric_limits<float>::infinity()};
    for (float delay : bad)
    {
        StringDelayLine line(64);
        line.setDelay(delay);
        EXPECT_EQ(line.getDelayCount(), 1) << delay;
        EXPECT_EQ(line.getFraction(), 0.0f);
        EXPECT_GE(line.getReadIndex(), 0);
        EXPECT_LT(line.getReadIndex(), 64);
        line.clear();
        for (int t = 0; t < 100; ++t)
            ASSERT_EQ(line.tick(static_cast<float>(t)), static_cast<float>(t));
    }
}

TEST(StringDelayLine, ReadIndexFollowsTheWriteIndex)
{
    StringDelayLine line(100);
    EXPECT_EQ(line.getWriteIndex(), 99);
    for (int t = 0; t < 37; ++t)
        line.tick(0.0f);
    line.setDelay(50.5f);
    EXPECT_EQ(line.getWriteIndex(), 36);
    EXPECT_EQ(line.getReadIndex(), 36 - 52 + 100);
}

TEST(StringDelayLine, BurstCoversTwiceTheDelayCountAndPeaksAtOne)
{
    StringDelayLine line(kSize);
    line.setDelay(99.0f);
    ASSERT_EQ(line.getDelayCount(), 100);
    line.pluck(60, 0.5f);
    EXPECT_EQ(line.getBurstRemaining(), 200);
    const std::vector<float> burst = burstOf(line);
    EXPECT_NEAR(largestMagnitude(burst), 1.0f, 1.2e-7f); // x * (1/x) may miss 1 by one rounding
    // the second half fades from 1 towards 0 in steps of 1/n
    for (int i = 100; i < 200; ++i)
        ASSERT_LE(std::fabs(burst[static_cast<size_t>(i)]), 1.0f - (i - 100) * 0.01f + 1e-5f) << i;
    EXPECT_LE(std::fabs(burst[199]), 0.0101f);
    EXPECT_NE(burst[199], 0.0f);
}

TEST(StringDelayLine, BurstSamplesOfAKnownPluck)
{
    // Seed 60, brightness 0.5, delay count 100: two low-pass passes, progressive mean removal,
    // normalisation and the fade of the second half, all in float.
    StringDelayLine line(kSize);
    line.setDelay(99.0f);
    line.pluck(60, 0.5f);
    ASSERT_EQ(line.getBurstRemaining(), 200);
    EXPECT_EQ(line.getExcitation(0), -0.184875861f);
    EXPECT_EQ(line.getExcitation(1), -0.469370365f);
    EXPECT_EQ(line.getExcitation(37), 0.217564985f);
    EXPECT_EQ(line.getExcitation(99), 0.0483772941f);
    EXPECT_EQ(line.getExcitation(100), 0.0324067399f);
    EXPECT_EQ(line.getExcitation(163), 0.0195445325f);
    EXPECT_EQ(line.getExcitation(199), 0.000644937274f);
}

TEST(StringDelayLine, BurstOfAnIntegralDelayReachesTheOutput)
{
    StringDelayLine line(kSize);
    line.setDelay(99.0f);
    line.clear();
    line.pluck(60, 0.5f);
    const std::vector<float> burst = burstOf(line);
    float loudest = 0.0f;
    for (size_t i = 0; i < burst.size(); ++i)
    {
        const float out = line.tick(0.0f);
        ASSERT_EQ(out, -0.041666668f * burst[i]) << i;
        loudest = std::max(loudest, std::fabs(out));
    }
    EXPECT_NEAR(loudest, 1.0f / 24.0f, 1e-6f);
    EXPECT_EQ(line.getBurstRemaining(), 0);
    for (int t = 0; t < 500; ++t) // the burst went to the output only, never into the buffer
        ASSERT_EQ(line.tick(0.0f), 0.0f);
}

TEST(StringDelayLine, BurstLoudnessDoesNotDependOnTheFraction)
{
    float loudest[2] = {0.0f, 0.0f};
    const float delays[2] = {99.0f, 98.5f}; // same delay count, different fraction
    for (int k = 0; k < 2; ++k)
    {
        StringDelayLine line(kSize);
        line.setDelay(delays[k]);
        line.clear();
        line.pluck(60, 0.5f);
        for (int t = 0; t < 200; ++t)
            loudest[k] = std::max(loudest[k], std::fabs(line.tick(0.0f)));
    }
    EXPECT_FLOAT_EQ(loudest[0], loudest[1]);
}

TEST(StringDelayLine, SameSeedBrightnessAndDelayGiveTheSameBurst)
{
    StringDelayLine line(kSize);
    line.setDelay(99.0f);
    line.pluck(60, 0.7f);
    const std::vector<float> first = burstOf(line);

    line.setDelay(3000.0f); // a longer burst fills the second half of the shorter one
    line.pluck(12, 0.9f);
    line.setDelay(99.0f);
    line.pluck(60, 0.7f);
    EXPECT_EQ(burstOf(line), first);

    StringDelayLine fresh(kSize);
    fresh.setDelay(99.0f);
    fresh.pluck(60, 0.7f);
    EXPECT_EQ(burstOf(fresh), first);

    fresh.pluck(61, 0.7f);
    EXPECT_NE(burstOf(fresh), first);
}

TEST(StringDelayLine, PluckSeedsTheSharedGenerator)
{
    StringDelayLine line(kSize);
    line.setDelay(9.0f); // delay count 10: ten draws
    line.pluck(1, 0.5f);
    RandomSource::seed(1);
    for (int i = 0; i < 10; ++i)
        RandomSource::rand();
    const int expected = RandomSource::rand();
    line.pluck(1, 0.5f);
    EXPECT_EQ(RandomSource::rand(), expected);
}

TEST(StringDelayLine, BurstAtTheCapacityStaysInsideItsBuffer)
{
    StringDelayLine line(64);
    line.setDelay(1000.0f);
    ASSERT_EQ(line.getDelayCount(), 63);
    line.pluck(3, 1.0f);
    EXPECT_EQ(line.getBurstRemaining(), 126);
    const std::vector<float> burst = burstOf(line);
    EXPECT_NEAR(largestMagnitude(burst), 1.0f, 1.2e-7f);
    for (int t = 0; t < 200; ++t)
        ASSERT_TRUE(std::isfinite(line.tick(0.0f)));
}

TEST(StringDelayLine, OutOfRangeBrightnessGivesAFiniteBurst)
{
    StringDelayLine line(kSize);
    line.setDelay(50.0f);
    line.pluck(7, 1.4f);
    const std::vector<float> full = burstOf(line);
    line.pluck(7, 25.0f);
    EXPECT_EQ(burstOf(line), full);
    line.pluck(7, -std::numeric_limits<float>::infinity());
    EXPECT_EQ(burstOf(line), full) << "the low-pass depends on brightness squared";
    // Within the stable range the value is used as it is, also above 1 and below -1.
    line.pluck(7, 1.2f);
    const std::vector<float> bright = burstOf(line);
    EXPECT_NE(bright, full);
    line.pluck(7, -1.2f);
    EXPECT_EQ(burstOf(line), bright);
    for (float sample : bright)
        ASSERT_TRUE(std::isfinite(sample));
    line.pluck(7, std::numeric_limits<float>::quiet_NaN());
    const std::vector<float> dark = burstOf(line);
    line.pluck(7, 0.0f);
    EXPECT_EQ(burstOf(line), dark);
    EXPECT_NEAR(largestMagnitude(dark), 1.0f, 1.2e-7f);
}

TEST(StringDelayLine, NoBurstBeforeADelayIsSet)
{
    StringDelayLine line(32);
    line.pluck(5, 0.5f);
    EXPECT_EQ(line.getBurstRemaining(), 0);
}

TEST(StringDelayLine, BurstKeepsDrainingThroughClearAndRetuning)
{
    StringDelayLine line(kSize);
    line.setDelay(99.0f);
    line.pluck(60, 0.5f);
    const std::vector<float> burst = burstOf(line);
    for (int t = 0; t < 50; ++t)
        line.tick(0.0f);
    line.clear();
    EXPECT_EQ(line.lastOutput(), 0.0f);
    line.setDelay(300.0f);
    EXPECT_EQ(line.getBurstRemaining(), 150);
    EXPECT_EQ(line.tick(0.0f), -0.041666668f * burst[50]);
}

TEST(StringDelayLine, TinySizesAreSafe)
{
    for (int size : {-3, 0, 1, 2, 3})
    {
        StringDelayLine line(size);
        EXPECT_GE(line.getSize(), 1);
        line.setDelay(5.5f);
        line.clear();
        line.pluck(1, 0.5f);
        for (int t = 0; t < 20; ++t)
            ASSERT_TRUE(std::isfinite(line.tick(1.0f)));
    }
}
