// Whatever values, rates and input reach it, the engine's output stays finite; loops that run away are
// silenced before they are heard; normal playing never meets that guard; and the instrument plays again
// after a sane program.
#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace enginetest;

namespace
{
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

uint32_t runaways(SynthEngine& engine)
{
    uint32_t n = 0;
    for (int i = 0; i < kMaxVoices; i++)
        n += voice(engine, i).fRunaways;
    return n;
}

float peakOf(const Stereo& out)
{
    float peak = 0.0f;
    for (size_t i = 0; i < out.left.size(); i++)
    {
        if (!std::isfinite(out.left[i]) || !std::isfinite(out.right[i]))
            return kInf;
        peak = std::max(peak, std::max(std::fabs(out.left[i]), std::fabs(out.right[i])));
    }
    return peak;
}

// Every factory program, notes across the keyboard at full and low velocity, with a bend and the mapped
// controllers, at each rate a host may run at: the runaway guard never acts.
TEST(Safety, NormalPlayingNeverMeetsTheRunawayGuard)
{
    for (float rate : {44100.0f, 48000.0f, 96000.0f, 192000.0f})
        for (int program = 0; program < 8; program++)
        {
            auto engine = makeEngine();
            engine->setSampleRate(rate);
            selectProgram(*engine, program);
            for (int note = 21; note <= 108; note += 3)
            {
                EventList events;
                events.noteOn(note, note % 2 != 0 ? 127 : 20).controller(1, note).pitchBend(0, note % 128);
                if (note % 4 == 0)
                    events.controller(106, 127).controller(107, note);
                events.sendTo(*engine);
                const Stereo out = render(*engine, 1500);
                ASSERT_LT(peakOf(out), 10.0f) << "program " << program << " at " << rate << " Hz, note " << note;
                EventList().noteOff(note - 9).sendTo(*engine);
            }
            EXPECT_EQ(runaways(*engine), 0u) << "program " << program << " at " << rate << " Hz";
        }
}

// High notes at low rates make loops of a sample or two, which run away (program 0, note 123 at 22.05 kHz
// went past 1e19): the voice is silenced at the ceiling, nothing near it is heard, the next note plays.
TEST(Safety, RunawayLoopsAreSilencedBeforeTheyAreHeard)
{
    for (float rate : {8000.0f, 11025.0f, 22050.0f})
    {
        auto engine = makeEngine();
        engine->setSampleRate(rate);
        float peak = 0.0f;
        for (int note = 96; note <= 127; note += 3)
        {
            EventList().noteOn(note, 127).sendTo(*engine);
            for (int b = 0; b < 20; b++)
                peak = std::max(peak, peakOf(render(*engine, 512)));
        }
        EXPECT_LE(peak, 1000.0f) << rate;
        EXPECT_GT(runaways(*engine), 0u) << rate;

        engine->suspend();
        engine->setSampleRate(44100.0f);
        EventList().noteOn(48, 100).sendTo(*engine);
        const float played = peakOf(render(*engine, 4096));
        EXPECT_GT(played, 1e-3f) << rate;
        EXPECT_LT(played, 10.0f) << rate;
    }

    auto engine = makeEngine();
    engine->setSampleRate(22050.0f);
    EventList().noteOn(123, 127).sendTo(*engine);
    render(*engine, 4096);
    EXPECT_EQ(voice(*engine, 0).fRunaways, 1u);
    EXPECT_EQ(voice(*engine, 0).getState(), kVoiceIdle);
}

// Non-finite and absurd values may sound odd but never give a non-finite sample, and a sane program
// brings everything back: the ramps land on their targets, every voice plays.
TEST(Safety, NonFiniteValuesAndInputNeverReachTheOutputAndASaneProgramRestoresPlaying)
{
    // Program 3 has fixed bodies, so the note sounds alike whenever it starts.
    auto engine = makeEngine();
    const Stereo reference = [] {
        auto fresh = makeEngine();
        selectProgram(*fresh, 3);
        EventList().noteOn(60, 100).sendTo(*fresh);
        return render(*fresh, 2048);
    }();

    // NaN last: it leaves all eight voices with what it made of their pans.
    for (float bad : {kInf, -kInf, 3e38f, -3e38f, 1e-45f, kNaN})
    {
        for (int32_t index = 0; index < kNumParams; index++)
            engine->setParameter(index, bad);
        engine->setParameter(kPolyphony, 1.0f); // the notes spread over every voice
        EventList events;
        for (int note = 30; note < 100; note += 9)
            events.noteOn(note, 90, note % 13);
        events.pitchBend(3, 100).sendTo(*engine);
        const float input = bad;
        const Stereo out = renderWithInput(*engine, 700, input, -input);
        ASSERT_TRUE(std::isfinite(peakOf(out))) << "every parameter set to " << bad;
        const Stereo plain = render(*engine, 300);
        ASSERT_TRUE(std::isfinite(peakOf(plain))) << bad;
    }

    selectProgram(*engine, 3);
    engine->suspend();
    EventList().noteOn(60, 100).sendTo(*engine);
    const Stereo out = render(*engine, 2048);
    EXPECT_TRUE(std::isfinite(engine->fWarpSmoothed));
    EXPECT_EQ(engine->fWarpSmoothed, engine->fCurrentParams[kWarp]);
    EXPECT_EQ(engine->fBendRatio, engine->fBendTarget);
    // The same note as on a fresh engine, up to its random pan and the phases of its LFOs.
    const float peak = peakOf(out);
    EXPECT_GT(peak, 0.5f * peakOf(reference));
    EXPECT_LT(peak, 2.0f * peakOf(reference));
}

TEST(Safety, NonFiniteInputSamplesCountAsSilence)
{
    auto withNaN = makeEngine();
    auto withZero = makeEngine();
    for (SynthEngine* engine : {withNaN.get(), withZero.get()})
        EventList().noteOn(57, 100).sendTo(*engine);
    EXPECT_EQ(renderWithInput(*withNaN, 256, kNaN, kInf).left, renderWithInput(*withZero, 256, 0.0f, 0.0f).left);
    EXPECT_EQ(render(*withNaN, 256).right, render(*withZero, 256).right);
}
} // namespace
