// The block loop: the warp and bend ramps, mixing and panning, replace and accumulate, odd host blocks,
// suspend, and the parameter changes pushed into the voices.
#include "EngineTestSupport.h"

#include "engine/NoteFrequencyTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace enginetest;

namespace
{
std::unique_ptr<SynthEngine> engineWithNote(int note = 60)
{
    auto engine = makeEngine();
    EventList().noteOn(note, 100).sendTo(*engine);
    render(*engine, 256);
    return engine;
}

void expectSilent(const Stereo& out)
{
    for (size_t i = 0; i < out.left.size(); i++)
    {
        ASSERT_EQ(out.left[i], 0.0f) << "sample " << i;
        ASSERT_EQ(out.right[i], 0.0f) << "sample " << i;
    }
}

// One voice whose output is m / (1 + warp x k0): a body filter of order 1 on the output, both sets
// "Guitar", updated every sample, with the warp LFO off.
std::unique_ptr<SynthEngine> warpProbe()
{
    auto engine = makeEngine();
    engine->setParameter(kPolyphony, polyphonyValue(1));
    engine->setParameter(kFilterTopology, 1.0f);
    engine->setParameter(kBodyType1, bodyValue(1));
    engine->setParameter(kBodyType2, bodyValue(1));
    engine->setParameter(kFilterOrder, 0.0f);
    engine->setParameter(kLFOWarpAmp, 0.0f);
    engine->setParameter(kQuality, 1.0f);
    engine->setParameter(kResonance, 1.0f);
    engine->setParameter(kQuantization, 0.5f);
    engine->setParameter(kWarp, 0.2f);
    EventList().noteOn(60, 100).sendTo(*engine);
    for (int i = 0; i < 10; i++)
        render(*engine, 100);
    return engine;
}
} // namespace

TEST(BlockLoop, WarpGlidesAcrossTheNextBlockAndLandsOnItsTarget)
{
    auto steady = warpProbe();
    auto moved = warpProbe();
    moved->setParameter(kWarp, 0.6f);
    const Stereo reference = render(*steady, 100);
    const Stereo gliding = render(*moved, 100);
    EXPECT_EQ(moved->fWarpSmoothed, 0.6f);

    const double k0 = bodyTable(1)[0];
    const float step = (0.6f - 0.2f) / 100.0f;
    float expected = 0.2f;
    int compared = 0;
    for (int i = 0; i < 100; i++, expected += step)
    {
        if (std::fabs(reference.left[static_cast<size_t>(i)]) < 1e-6f)
            continue;
        const double ratio = static_cast<double>(gliding.left[static_cast<size_t>(i)])
                             / static_cast<double>(reference.left[static_cast<size_t>(i)]);
        const double warp = ((1.0 + k0 * 0.2f) / ratio - 1.0) / k0;
        EXPECT_NEAR(warp, expected, 2e-5) << "sample " << i;
        compared++;
    }
    EXPECT_GT(compared, 80);
    EXPECT_NEAR(expected, 0.6f, 1e-5f);

    const Stereo reference2 = render(*steady, 100);
    const Stereo after = render(*moved, 100);
    for (size_t i = 0; i < 100; i++)
    {
        if (std::fabs(reference2.left[i]) < 1e-6f)
            continue;
        const double ratio = static_cast<double>(after.left[i]) / static_cast<double>(reference2.left[i]);
        EXPECT_NEAR(((1.0 + k0 * 0.2f) / ratio - 1.0) / k0, 0.6, 2e-5) << "sample " << i;
    }
}

TEST(BlockLoop, BendRatioLandsExactlyOnItsTarget)
{
    auto engine = engineWithNote();
    EventList().pitchBend(0, 100).sendTo(*engine);
    const float target = engine->fBendTarget;
    render(*engine, 77);
    EXPECT_EQ(engine->fBendRatio, target);
}

// Stands in for a change made on another thread while a block renders: the note start moves the warp.
class WarpMovingVoice : public SynthVoice
{
public:
    explicit WarpMovingVoice(SynthEngine* engine) : SynthVoice(engine, kStringCapacity), fOwner(engine) {}
    void startNote(int note, float velocity, float brightness) override
    {
        SynthVoice::startNote(note, velocity, brightness);
        fOwner->setParameter(kWarp, 0.9f);
    }

private:
    SynthEngine* fOwner;
};

TEST(BlockLoop, WarpLandsOnTheValueTheParameterHoldsWhenTheBlockEnds)
{
    auto engine = makeEngine();
    engine->fVoices[0] = std::make_unique<WarpMovingVoice>(engine.get());
    engine->setParameter(kWarp, 0.2f);
    render(*engine, 64);
    EventList().noteOn(60, 100, 10).sendTo(*engine);
    render(*engine, 64);
    EXPECT_EQ(engine->fCurrentParams[kWarp], 0.9f);
    EXPECT_EQ(engine->fWarpSmoothed, 0.9f);
}

TEST(BlockLoop, EmptyOrNegativeBlocksRenderNothingButLandTheRamps)
{
    auto engine = engineWithNote();
    engine->setParameter(kWarp, 0.3f);
    EventList().pitchBend(0, 0).noteOn(72, 100, 5).sendTo(*engine);
    const uint32_t clock = engine->fSampleClock;
    const uint32_t count = voice(*engine, 0).fSampleCount;
    for (int frames : {0, -1, std::numeric_limits<int32_t>::min()})
    {
        Stereo out{{1.0f}, {1.0f}};
        float* outputs[2] = {out.left.data(), out.right.data()};
        engine->renderBlock(nullptr, outputs, frames, true);
        EXPECT_EQ(out.left[0], 1.0f);
        EXPECT_EQ(engine->fSampleClock, clock);
        EXPECT_EQ(voice(*engine, 0).fSampleCount, count);
        EXPECT_EQ(voice(*engine, 1).fPendingDelay, 5);
        EXPECT_EQ(engine->fWarpSmoothed, 0.3f);
        EXPECT_EQ(engine->fBendRatio, engine->fBendTarget);
    }
}

TEST(BlockLoop, ReplaceOverwritesAndAccumulateAdds)
{
    auto replaced = engineWithNote();
    auto added = engineWithNote();
    const Stereo a = render(*replaced, 64, true, 0.25f);
    const Stereo b = render(*added, 64, false, 0.25f);
    int sounding = 0;
    for (size_t i = 0; i < 64; i++)
    {
        EXPECT_EQ(b.left[i], 0.25f + a.left[i]);
        EXPECT_EQ(b.right[i], 0.25f + a.right[i]);
        sounding += a.left[i] != 0.0f;
    }
    EXPECT_GT(sounding, 60);
}

TEST(BlockLoop, IdleEngineOutputsNothingAndStillCountsSamples)
{
    auto engine = makeEngine();
    expectSilent(render(*engine, 64, true, 0.7f));
    const Stereo kept = render(*engine, 64, false, 0.7f);
    for (size_t i = 0; i < 64; i++)
        ASSERT_EQ(kept.left[i], 0.7f);
    EXPECT_EQ(engine->fSampleClock, 128u);
}

TEST(BlockLoop, PanExtremesSendAVoiceToOneSide)
{
    auto engine = engineWithNote();
    voice(*engine, 0).fPan = 1.0f;
    const Stereo left = render(*engine, 256);
    voice(*engine, 0).fPan = 0.0f;
    const Stereo right = render(*engine, 256);
    int heard = 0;
    for (size_t i = 0; i < 256; i++)
    {
        ASSERT_EQ(left.right[i], 0.0f);
        ASSERT_EQ(right.left[i], 0.0f);
        heard += left.left[i] != 0.0f && right.right[i] != 0.0f;
    }
    EXPECT_GT(heard, 250);
}

TEST(BlockLoop, VolumeScalesByItsFourthPower)
{
    auto full = makeEngine();
    auto half = makeEngine();
    full->setParameter(kVolume, 1.0f);
    half->setParameter(kVolume, 0.5f);
    for (SynthEngine* engine : {full.get(), half.get()})
        EventList().noteOn(60, 100).sendTo(*engine);
    const Stereo a = render(*full, 512);
    const Stereo b = render(*half, 512);
    for (size_t i = 0; i < 512; i++)
        ASSERT_EQ(b.left[i], a.left[i] * 0.0625f) << "sample " << i;
}

TEST(BlockLoop, InputIsSharedOutAmongTheActiveVoices)
{
    auto renderWith = [](int voices, float input) {
        auto engine = makeEngine();
        engine->setParameter(kPolyphony, polyphonyValue(voices));
        EventList().noteOn(60, 100).sendTo(*engine);
        return renderWithInput(*engine, 512, input, input);
    };
    const Stereo four = renderWith(4, 1.0f);
    const Stereo one = renderWith(1, 0.25f);
    EXPECT_EQ(four.left, one.left);
    EXPECT_EQ(four.right, one.right);
    EXPECT_NE(renderWith(1, 1.0f).left, one.left);
}

TEST(BlockLoop, InputDoesNotWakeAnIdleVoice)
{
    auto engine = makeEngine();
    expectSilent(renderWithInput(*engine, 256, 0.5f, -0.5f));
}

TEST(BlockLoop, MissingBuffersCountAsSilenceOrAreSkipped)
{
    auto withNull = engineWithNote();
    auto withZeros = engineWithNote();
    const Stereo a = render(*withNull, 128);
    const Stereo b = renderWithInput(*withZeros, 128, 0.0f, 0.0f);
    EXPECT_EQ(a.left, b.left);

    // No outputs: nothing is written, but time runs on exactly as if it had been.
    EventList().noteOn(64, 100, 20).sendTo(*withNull);
    EventList().noteOn(64, 100, 20).sendTo(*withZeros);
    withNull->renderBlock(nullptr, nullptr, 64, true);
    render(*withZeros, 64);
    EXPECT_EQ(withNull->fSampleClock, withZeros->fSampleClock);
    EXPECT_EQ(voice(*withNull, 1).getState(), kVoiceSounding);
    EXPECT_EQ(render(*withNull, 64).left, render(*withZeros, 64).left);

    std::vector<float> right(64, 0.0f);
    float* oneSide[2] = {nullptr, right.data()};
    withNull->renderBlock(nullptr, oneSide, 64, true);
    EXPECT_EQ(right, render(*withZeros, 64).right);
}

TEST(BlockLoop, VoiceCountOutsideOneToEightIsClamped)
{
    auto engine = makeEngine();
    engine->setParameter(kPolyphony, 2.0f); // 15 voices asked for
    EventList events;
    for (int i = 0; i < 9; i++)
        events.noteOn(50 + i, 100);
    events.sendTo(*engine);
    render(*engine, 64);
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(voice(*engine, i).getState(), kVoiceSounding) << "voice " << i;

    for (float value : {std::numeric_limits<float>::quiet_NaN(), -1.0f})
    {
        auto single = makeEngine();
        single->setParameter(kPolyphony, value);
        EventList().noteOn(50, 100).noteOn(52, 100).sendTo(*single);
        EXPECT_EQ(voice(*single, 0).fPendingNote, 52);
        render(*single, 64);
        EXPECT_EQ(voice(*single, 0).getState(), kVoiceSounding);
        for (int i = 1; i < 8; i++)
            EXPECT_EQ(voice(*single, i).getState(), kVoiceIdle);
    }
}

TEST(BlockLoop, VoicesAboveThePolyphonyFreezeAndCarryOn)
{
    auto engine = makeEngine();
    EventList().noteOn(50, 100).noteOn(55, 100).noteOn(60, 100).sendTo(*engine);
    render(*engine, 100);
    engine->setParameter(kPolyphony, polyphonyValue(2));
    render(*engine, 100);
    EXPECT_EQ(voice(*engine, 1).fSampleCount, 200u);
    EXPECT_EQ(voice(*engine, 2).fSampleCount, 100u);
    EXPECT_EQ(voice(*engine, 2).getState(), kVoiceSounding);
    engine->setParameter(kPolyphony, polyphonyValue(3));
    render(*engine, 100);
    EXPECT_EQ(voice(*engine, 2).fSampleCount, 200u);
}

TEST(BlockLoop, SuspendResetsAllEightVoices)
{
    auto engine = makeEngine();
    EventList events;
    for (int i = 0; i < 8; i++)
        events.noteOn(50 + i, 100);
    events.sendTo(*engine);
    render(*engine, 300);
    engine->setParameter(kPolyphony, polyphonyValue(1));
    voice(*engine, 5).fPendingDelay = 30;
    engine->suspend();
    for (int i = 0; i < 8; i++)
    {
        const SynthVoice& v = voice(*engine, i);
        EXPECT_EQ(v.getState(), kVoiceIdle) << "voice " << i;
        EXPECT_FALSE(v.hasPendingNote()) << "voice " << i;
        EXPECT_EQ(v.fStringA.lastOutput(), 0.0f);
        EXPECT_EQ(v.getLevel(), 0.0f);
    }
    engine->setParameter(kPolyphony, polyphonyValue(8));
    expectSilent(render(*engine, 128));
}

TEST(BlockLoop, ConstructionLeavesEveryVoiceIdleAndSilent)
{
    auto engine = makeEngine();
    for (int i = 0; i < 8; i++)
    {
        EXPECT_EQ(voice(*engine, i).getState(), kVoiceIdle);
        EXPECT_EQ(voice(*engine, i).fPendingDelay, -1);
        EXPECT_EQ(voice(*engine, i).fPan, 0.5f);
    }
    EXPECT_EQ(engine->fSampleClock, 0u);
}

TEST(BlockLoop, VoicesDrawTheirNoiseTablesOneAfterAnother)
{
    auto engine = makeEngine(77);
    RandomSource::seed(77);
    for (int i = 0; i < 8; i++)
    {
        NoiseTable expected(SynthVoice::kNoiseCount);
        NoiseTable& actual = voice(*engine, i).fNoise;
        for (int j = 0; j < 4; j++)
            EXPECT_EQ(actual.next(), expected.next()) << "voice " << i;
    }
}

TEST(ParameterPush, LfoFrequencyReachesOnlyVoicesThatAreNotIdle)
{
    auto engine = engineWithNote();
    const uint32_t idleIncrement = voice(*engine, 1).fLfoA.getIncrement();
    TableLfo reference(44100.0f);
    reference.setFrequency(50.0f);
    engine->setParameter(kLFO1Freq, 0.5f);
    engine->setParameter(kLFO2Freq, 0.5f);
    engine->setParameter(kLFOWarpFreq, 0.5f);
    const SynthVoice& sounding = voice(*engine, 0);
    EXPECT_EQ(sounding.fLfoA.getIncrement(), reference.getIncrement());
    EXPECT_EQ(sounding.fLfoB.getIncrement(), reference.getIncrement());
    EXPECT_EQ(sounding.fLfoWarp.getIncrement(), reference.getIncrement());
    EXPECT_EQ(voice(*engine, 1).fLfoA.getIncrement(), idleIncrement);
}

TEST(ParameterPush, FilterSustainMovesTheEnvelopesOfVoicesThatAreNotIdle)
{
    auto engine = engineWithNote();
    const float idleLevel = voice(*engine, 1).fFilterEnv.getLevel();
    engine->setParameter(kFilterSustain, 0.3f);
    EXPECT_EQ(voice(*engine, 0).fFilterEnv.getLevel(), 0.3f);
    EXPECT_EQ(voice(*engine, 1).fFilterEnv.getLevel(), idleLevel);
}

TEST(ParameterPush, QualitySetsEveryFiltersUpdateInterval)
{
    auto engine = engineWithNote();
    engine->setParameter(kQuality, 1.0f);
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(voice(*engine, i).fBodyFilter.getUpdateInterval(), 1);
    engine->setParameter(kQuality, 0.5f);
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(voice(*engine, i).fBodyFilter.getUpdateInterval(), 8);
}

TEST(ParameterPush, SampleRateReachesEveryVoicesTimeBases)
{
    auto engine = engineWithNote();
    engine->setSampleRate(88200.0f);
    engine->setParameter(kLFO1Freq, 0.5f); // the increment follows at the next frequency
    TableLfo reference(88200.0f);
    reference.setFrequency(50.0f);
    EXPECT_EQ(voice(*engine, 0).fLfoA.getIncrement(), reference.getIncrement());
}

TEST(ParameterPush, UnusableSampleRateKeepsTheTimeBasesFinite)
{
    for (float rate : {0.0f, -48000.0f, std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity()})
    {
        auto engine = makeEngine();
        engine->setSampleRate(rate);
        EventList().noteOn(60, 100).sendTo(*engine);
        const Stereo out = render(*engine, 2000);
        for (size_t i = 0; i < out.left.size(); i++)
            ASSERT_TRUE(std::isfinite(out.left[i])) << "rate " << rate << " sample " << i;
        EXPECT_EQ(voice(*engine, 0).fDelayA, 44100.0f / noteFrequencyTable()[60] - 1.2999999523f);
    }
}
