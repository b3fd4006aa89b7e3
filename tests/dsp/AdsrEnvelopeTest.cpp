// Tests of the linear ADSR envelope.
#include <gtest/gtest.h>

#include "dsp/AdsrEnvelope.h"

namespace
{
constexpr int kRate = 44100;

AdsrEnvelope makeEnvelope(AdsrSettings settings)
{
    AdsrEnvelope env(kRate);
    env.setSettings(settings);
    env.trigger();
    return env;
}

// Ticks until the stage changes or the limit is hit; returns the number of ticks taken.
int ticksUntilStageLeaves(AdsrEnvelope& env, int stage, int limit)
{
    int ticks = 0;
    while (env.getStage() == stage && ticks < limit)
    {
        env.tick();
        ++ticks;
    }
    return ticks;
}
} // namespace

TEST(AdsrEnvelope, StartsIdle)
{
    AdsrEnvelope env(kRate);
    EXPECT_EQ(env.getStage(), AdsrEnvelope::kIdle);
}

TEST(AdsrEnvelope, ZeroAttackReachesOneOnTheFirstTick)
{
    AdsrEnvelope env = makeEnvelope({0.0f, 0.5f, 0.5f, 0.5f});
    EXPECT_EQ(env.getStage(), AdsrEnvelope::kAttack);
    EXPECT_EQ(env.tick(), 1.0f);
    EXPECT_EQ(env.getStage(), AdsrEnvelope::kDecay);
}

TEST(AdsrEnvelope, ZeroDecayReachesSustainOnTheTickAfterThePeak)
{
    AdsrEnvelope env = makeEnvelope({0.0f, 0.0f, 0.99f, 0.1f});
    EXPECT_EQ(env.tick(), 1.0f);
    EXPECT_EQ(env.tick(), 0.99f);
    EXPECT_EQ(env.getStage(), AdsrEnvelope::kSustain);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(env.tick(), 0.99f);
    EXPECT_EQ(env.getStage(), AdsrEnvelope::kSustain);
}

TEST(AdsrEnvelope, FirstTickIsOneAttackStepAboveZero)
{
    AdsrEnvelope env = makeEnvelope({0.01f, 0.0f, 1.0f, 0.0f});
    EXPECT_FLOAT_EQ(env.tick(), 1.0f / 442.0f); // 0.01 s at 44100 Hz, plus one
}

TEST(AdsrEnvelope, SegmentsLastTheirTimePlusOneSample)
{
    // attack 441 + 1 samples, decay 882 + 1, release from sustain 4410 + 1 (within float accumulation)
    AdsrEnvelope env = makeEnvelope({0.01f, 0.02f, 0.4f, 0.1f});
    EXPECT_NEAR(ticksUntilStageLeaves(env, AdsrEnvelope::kAttack, 100000), 442, 1);
    EXPECT_NEAR(ticksUntilStageLeaves(env, AdsrEnvelope::kDecay, 100000), 883, 1);
    EXPECT_EQ(env.getStage(), AdsrEnvelope::kSustain);
    EXPECT_EQ(env.tick(), 0.4f);
    env.release();
    EXPECT_NEAR(ticksUntilStageLeaves(env, AdsrEnvelope::kRelease, 100000), 4411, 1);
    EXPECT_EQ(env.getStage(), AdsrEnvelope::kIdle);
    EXPECT_EQ(env.tick(), 0.0f);
}

TEST(AdsrEnvelope, TriggerRestartsFromZeroWhileSounding)
{
    AdsrEnvelope env = makeEnvelope({0.0f, 0.0f, 0.7f, 1.0f});
    env.tick();
    env.tick();
    ASSERT_EQ(env.getStage(), AdsrEnvelope::kSustain);
    env.setSettings({0.001f, 0.0f, 0.7f, 1.0f});
    env.trigger();
    EXPECT_EQ(env.getStage(), AdsrEnvelope::kAttack);
    EXPECT_LT(env.tick(), 0.1f);
}

TEST(AdsrEnvelope, ReleaseWithZeroSustainHoldsALevelReachedInAttack)
{
    AdsrEnvelope env = makeEnvelope({0.01f, 0.01f, 0.0f, 0.01f});
    for (int i = 0; i < 100; ++i)
        env.tick();
    const float held = env.tick();
    env.release();
    for (int i = 0; i < 100000; ++i)
        ASSERT_EQ(env.tick(), held);
    EXPECT_EQ(env.getStage(), AdsrEnvelope::kRelease);
}

TEST(AdsrEnvelope, ReleaseWithZeroSustainFromSustainEndsOnTheNextTick)
{
    AdsrEnvelope env = makeEnvelope({0.0f, 0.0f, 0.0f, 1.0f});
    env.tick();
    EXPECT_EQ(env.tick(), 0.0f);
    ASSERT_EQ(env.getStage(), AdsrEnvelope::kSustain);
    env.release();
    EXPECT_EQ(env.tick(), 0.0f);
    EXPECT_EQ(env.getStage(), AdsrEnvelope::kIdle);
}

TEST(AdsrEnvelope, ReleaseOfAnIdleEnvelopeReturnsToIdle)
{
    AdsrEnvelope env(kRate);
    env.setSettings({0.1f, 0.1f, 0.5f, 0.1f});
    env.release();
    EXPECT_EQ(env.getStage(), AdsrEnvelope::kRelease);
    EXPECT_EQ(env.tick(), 0.0f);
    EXPECT_EQ(env.getStage(), AdsrEnvelope::kIdle);
}

TEST(AdsrEnvelope, SetSustainInSustainMovesTheLevelAndKeepsTheStage)
{
    AdsrEnvelope env = makeEnvelope({0.0f, 0.0f, 0.8f, 0.1f});
    env.tick();
    EXPECT_EQ(env.tick(), 0.8f);
    env.setSustain(0.5f);
    EXPECT_EQ(env.getStage(), AdsrEnvelope::kSustain);
    EXPECT_EQ(env.tick(), 0.5f);
    EXPECT_EQ(env.getSettings().sustain, 0.5f);
}

TEST(AdsrEnvelope, SetSustainInAttackContinuesTheAttackFromTheNewLevel)
{
    AdsrEnvelope env = makeEnvelope({0.01f, 0.01f, 0.2f, 0.01f});
    env.tick();
    env.setSustain(0.6f);
    EXPECT_EQ(env.getStage(), AdsrEnvelope::kAttack);
    EXPECT_EQ(env.tick(), 0.6f + 1.0f / (0.01f * 44100.0f + 1.0f));
    EXPECT_EQ(env.getStage(), AdsrEnvelope::kAttack);
}

TEST(AdsrEnvelope, SetSustainInDecaySettlesAtTheNewLevel)
{
    AdsrEnvelope env = makeEnvelope({0.0f, 1.0f, 0.2f, 0.01f});
    env.tick();
    env.tick();
    ASSERT_EQ(env.getStage(), AdsrEnvelope::kDecay);
    env.setSustain(0.3f);
    EXPECT_EQ(env.getStage(), AdsrEnvelope::kDecay);
    EXPECT_EQ(env.tick(), 0.3f); // one decay step below the sustain level is clamped to it
    EXPECT_EQ(env.getStage(), AdsrEnvelope::kSustain);
}

TEST(AdsrEnvelope, SetSustainInReleaseFallsFromTheNewLevelWithTheNewStep)
{
    AdsrEnvelope env = makeEnvelope({0.0f, 0.0f, 0.8f, 0.01f});
    env.tick();
    env.tick();
    env.release();
    env.tick();
    env.setSustain(0.25f);
    EXPECT_EQ(env.getStage(), AdsrEnvelope::kRelease);
    const float step = 0.25f / (0.01f * 44100.0f + 1.0f);
    EXPECT_EQ(env.tick(), 0.25f - step);
    // from the new sustain level the release takes its time plus one sample in all
    EXPECT_NEAR(ticksUntilStageLeaves(env, AdsrEnvelope::kRelease, 100000) + 1, 442, 1);
}

TEST(AdsrEnvelope, SetSustainWhileIdleStaysIdle)
{
    AdsrEnvelope env(kRate);
    env.setSettings({0.1f, 0.1f, 0.5f, 0.1f});
    env.setSustain(0.4f);
    EXPECT_EQ(env.getStage(), AdsrEnvelope::kIdle);
    EXPECT_EQ(env.tick(), 0.4f);
    EXPECT_EQ(env.getStage(), AdsrEnvelope::kIdle);
}

TEST(AdsrEnvelope, GetSettingsReturnsWhatWasSet)
{
    AdsrEnvelope env(kRate);
    env.setSettings({0.25f, 0.5f, 0.75f, 2.0f});
    const AdsrSettings s = env.getSettings();
    EXPECT_EQ(s.attack, 0.25f);
    EXPECT_EQ(s.decay, 0.5f);
    EXPECT_EQ(s.sustain, 0.75f);
    EXPECT_EQ(s.release, 2.0f);
}

TEST(AdsrEnvelope, NewSampleRateActsAtTheNextSettings)
{
    AdsrEnvelope env = makeEnvelope({0.01f, 0.0f, 1.0f, 0.0f});
    env.setSampleRate(88200.0f);
    EXPECT_EQ(env.tick(), 1.0f / (0.01f * 44100.0f + 1.0f));
    env.setSettings({0.01f, 0.0f, 1.0f, 0.0f});
    env.trigger();
    EXPECT_EQ(env.tick(), 1.0f / (0.01f * 88200.0f + 1.0f));
}
