// Tests of the peak follower.
#include <gtest/gtest.h>

#include <cmath>

#include "dsp/EnvelopeFollower.h"

TEST(EnvelopeFollower, JumpsToAPeakAndFallsByTheReleaseCoefficient)
{
    EnvelopeFollower follower;
    EXPECT_EQ(follower.process(-0.3f), 0.3f);
    EXPECT_EQ(follower.process(0.0f), 0.3f * 0.99989998f);
    EXPECT_EQ(follower.getLevel(), 0.3f * 0.99989998f);
    EXPECT_EQ(follower.getLevel(), 0.3f * 0.99989998f); // reading does not advance
}

TEST(EnvelopeFollower, AttackCoefficientApproachesThePeak)
{
    EnvelopeFollower follower;
    follower.setAttack(0.5f);
    EXPECT_EQ(follower.process(1.0f), 0.5f);
    EXPECT_EQ(follower.process(1.0f), 0.75f);
}

TEST(EnvelopeFollower, ReleaseCoefficientSetsTheFall)
{
    EnvelopeFollower follower;
    follower.setRelease(0.5f);
    follower.process(1.0f);
    EXPECT_EQ(follower.process(0.25f), 0.5f); // at or below the level: fall, not track
    EXPECT_EQ(follower.process(0.5f), 0.25f);
}

TEST(EnvelopeFollower, NeverFallsBelowTheFloor)
{
    EnvelopeFollower follower;
    follower.reset();
    EXPECT_EQ(follower.process(0.0f), 9.9999998e-14f);
    follower.setRelease(0.001f);
    follower.process(1.0f);
    for (int i = 0; i < 100; ++i)
        ASSERT_GE(follower.process(0.0f), 9.9999998e-14f);
    EXPECT_EQ(follower.getLevel(), 9.9999998e-14f);
}

TEST(EnvelopeFollower, ResetReturnsToZeroUntilTheNextProcess)
{
    EnvelopeFollower follower;
    follower.process(0.8f);
    follower.reset();
    EXPECT_EQ(follower.getLevel(), 0.0f);
}
