// MIDI events: sample-accurate note starts, the three allocation passes, note-off, pitch bend, controllers.
#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace enginetest;

namespace
{
constexpr float kCent = 1.0005777895f;

class NoteEvents : public ::testing::Test
{
protected:
    void SetUp() override
    {
        engine = makeEngine();
        render(*engine, 64);
    }

    // Every active voice sounding on notes 48, 50, ...; returns after they have started.
    void fillVoices(int count)
    {
        engine->setParameter(kPolyphony, polyphonyValue(count));
        EventList events;
        for (int i = 0; i < count; i++)
            events.noteOn(48 + 2 * i, 100);
        events.sendTo(*engine);
        render(*engine, 256);
        for (int i = 0; i < count; i++)
            ASSERT_EQ(voice(*engine, i).getState(), kVoiceSounding);
    }

    std::unique_ptr<SynthEngine> engine;
};
} // namespace

TEST_F(NoteEvents, NoteStartsOnTheSampleOfItsDeltaFrames)
{
    EventList().noteOn(60, 100, 32).sendTo(*engine);
    SynthVoice& v = voice(*engine, 0);
    EXPECT_EQ(v.fPendingDelay, 32);
    EXPECT_EQ(v.fPendingNote, 60);
    EXPECT_EQ(v.fPendingStamp, 64);
    EXPECT_EQ(engine->fNextVoice, 1);
    for (int i = 0; i < 32; i++)
    {
        const Stereo out = render(*engine, 1);
        ASSERT_NE(v.getState(), kVoiceSounding) << "sample " << i;
        ASSERT_EQ(out.left[0], 0.0f);
    }
    render(*engine, 1);
    EXPECT_EQ(v.getState(), kVoiceSounding);
    EXPECT_EQ(v.fNote, 60);
    EXPECT_EQ(v.fSampleCount, 1u);
}

TEST_F(NoteEvents, NoteStartsInsideALargerBlock)
{
    EventList().noteOn(60, 100, 32).sendTo(*engine);
    render(*engine, 64);
    EXPECT_EQ(voice(*engine, 0).fSampleCount, 32u) << "started on the 33rd sample of the block";
}

TEST_F(NoteEvents, NegativeDeltaFramesStartAtOnce)
{
    EventList().noteOn(60, 100, -5).sendTo(*engine);
    EXPECT_EQ(voice(*engine, 0).fPendingDelay, 0);
    render(*engine, 1);
    EXPECT_EQ(voice(*engine, 0).getState(), kVoiceSounding);
}

TEST_F(NoteEvents, TwoNotesOfOneListGoToVoicesZeroAndOne)
{
    EventList().noteOn(60, 100, 10).noteOn(64, 90, 10).sendTo(*engine);
    EXPECT_EQ(voice(*engine, 0).fPendingNote, 60);
    EXPECT_EQ(voice(*engine, 1).fPendingNote, 64);
    EXPECT_EQ(engine->fNextVoice, 2);
}

TEST_F(NoteEvents, FirstPassSkipsAnIdleVoiceWithAPendingNote)
{
    voice(*engine, 0).fPendingDelay = 100;
    voice(*engine, 0).fPendingVelocity = 1;
    EventList().noteOn(60, 100).sendTo(*engine);
    EXPECT_EQ(voice(*engine, 1).fPendingNote, 60);
}

TEST_F(NoteEvents, SecondPassStealsTheQuietestVoiceLowestIndexFirst)
{
    fillVoices(8);
    for (int i = 0; i < 8; i++)
        voice(*engine, i).fLevel = 0.5f + 0.05f * static_cast<float>(i);
    voice(*engine, 6).fLevel = 0.1f;
    voice(*engine, 3).fLevel = 0.1f;
    EventList().noteOn(70, 100).sendTo(*engine);
    EXPECT_EQ(voice(*engine, 3).fPendingNote, 70);
    EXPECT_EQ(engine->fNextVoice, 4);
}

TEST_F(NoteEvents, SecondPassSkipsVoicesHoldingAPendingNote)
{
    fillVoices(8);
    for (int i = 0; i < 8; i++)
        voice(*engine, i).fLevel = 0.5f;
    voice(*engine, 2).fLevel = 0.1f;
    voice(*engine, 2).fPendingDelay = 50;
    voice(*engine, 2).fPendingVelocity = 64;
    voice(*engine, 5).fLevel = 0.2f;
    EventList().noteOn(70, 100).sendTo(*engine);
    EXPECT_EQ(voice(*engine, 5).fPendingNote, 70);
    EXPECT_EQ(voice(*engine, 2).fPendingVelocity, 64) << "the pending note is kept";
}

TEST_F(NoteEvents, ThirdPassTakesALoudVoiceWithoutAPendingNoteFirst)
{
    fillVoices(8);
    for (int i = 0; i < 8; i++)
    {
        SynthVoice& v = voice(*engine, i);
        v.fLevel = 1.0f; // not below 1: the second pass finds nothing
        v.fPendingDelay = 20;
        v.fPendingVelocity = 50;
    }
    voice(*engine, 6).fPendingDelay = -1;
    EventList().noteOn(70, 100).sendTo(*engine);
    EXPECT_EQ(voice(*engine, 6).fPendingNote, 70);
}

TEST_F(NoteEvents, ThirdPassReplacesThePendingNoteOfLowestVelocity)
{
    fillVoices(8);
    const int velocities[8] = {100, 90, 30, 80, 30, 120, 60, 127};
    for (int i = 0; i < 8; i++)
    {
        SynthVoice& v = voice(*engine, i);
        v.fLevel = 2.0f;
        v.fPendingDelay = 20;
        v.fPendingNote = 30;
        v.fPendingVelocity = velocities[i];
    }
    EventList().noteOn(70, 110, 7).sendTo(*engine);
    SynthVoice& chosen = voice(*engine, 2);
    EXPECT_EQ(chosen.fPendingNote, 70);
    EXPECT_EQ(chosen.fPendingVelocity, 110);
    EXPECT_EQ(chosen.fPendingDelay, 7);
    EXPECT_EQ(voice(*engine, 4).fPendingNote, 30);
    EXPECT_EQ(engine->fNextVoice, 3);
}

TEST_F(NoteEvents, WithoutAnyChoiceTheRotatingIndexDecides)
{
    fillVoices(8);
    for (int i = 0; i < 8; i++)
    {
        SynthVoice& v = voice(*engine, i);
        v.fLevel = 1.0f;
        v.fPendingDelay = 20;
        v.fPendingVelocity = 127;
    }
    engine->fNextVoice = 5;
    EventList().noteOn(70, 100).sendTo(*engine);
    EXPECT_EQ(voice(*engine, 5).fPendingNote, 70);
    EXPECT_EQ(engine->fNextVoice, 6);
}

TEST_F(NoteEvents, RotatingIndexBeyondAShrunkPolyphonyStaysInside)
{
    engine->fNextVoice = 6;
    engine->setParameter(kPolyphony, polyphonyValue(2));
    for (int i = 0; i < 2; i++)
    {
        SynthVoice& v = voice(*engine, i);
        v.fPendingDelay = 20;
        v.fPendingVelocity = 127;
    }
    EventList().noteOn(70, 100).sendTo(*engine);
    EXPECT_EQ(voice(*engine, 0).fPendingNote, 70);
    for (int i = 2; i < 8; i++)
        EXPECT_FALSE(voice(*engine, i).hasPendingNote()) << "voice " << i;
    EXPECT_EQ(engine->fNextVoice, 1);
}

TEST_F(NoteEvents, ChordIntoOneVoiceKeepsItsLastNote)
{
    engine->setParameter(kPolyphony, 0.0f);
    EventList().noteOn(60, 100).noteOn(64, 100).noteOn(67, 80).sendTo(*engine);
    SynthVoice& v = voice(*engine, 0);
    EXPECT_EQ(v.fPendingNote, 67);
    EXPECT_EQ(v.fPendingVelocity, 80);
    EXPECT_EQ(engine->fNextVoice, 0);
    for (int i = 1; i < 8; i++)
        EXPECT_FALSE(voice(*engine, i).hasPendingNote());
    render(*engine, 16);
    EXPECT_EQ(v.fNote, 67);
    EXPECT_EQ(v.getState(), kVoiceSounding);
}

TEST_F(NoteEvents, MonophonicNotePlucksIntoTheRingingStrings)
{
    engine->setParameter(kPolyphony, 0.0f);
    EventList().noteOn(60, 100).sendTo(*engine);
    render(*engine, 1000);
    SynthVoice& v = voice(*engine, 0);
    const float ringing = v.fStringA.lastOutput();
    ASSERT_NE(ringing, 0.0f);
    EventList().noteOn(62, 100, 4).sendTo(*engine);
    render(*engine, 5);
    EXPECT_EQ(v.fNote, 62);
    EXPECT_NE(v.fStringA.lastOutput(), 0.0f) << "the strings are not cleared by the new note";
}

TEST_F(NoteEvents, NoteOffReleasesEveryVoiceOnThatNote)
{
    EventList().noteOn(60, 100).noteOn(60, 90).noteOn(62, 100).sendTo(*engine);
    render(*engine, 200);
    engine->setParameter(kPolyphony, 0.0f); // voices 1 and 2 are no longer rendered, but still released
    EventList().noteOff(60).sendTo(*engine);
    EXPECT_EQ(voice(*engine, 0).fAmpEnv.getStage(), AdsrEnvelope::kRelease);
    EXPECT_EQ(voice(*engine, 0).fFilterEnv.getStage(), AdsrEnvelope::kRelease);
    EXPECT_EQ(voice(*engine, 1).fAmpEnv.getStage(), AdsrEnvelope::kRelease);
    EXPECT_NE(voice(*engine, 2).fAmpEnv.getStage(), AdsrEnvelope::kRelease);
}

TEST_F(NoteEvents, NoteOnWithVelocityZeroOnAnyChannelIsANoteOff)
{
    EventList().midi(0x95, 60, 100).sendTo(*engine);
    render(*engine, 200);
    EventList().midi(0x9C, 60, 0).sendTo(*engine);
    EXPECT_EQ(voice(*engine, 0).fAmpEnv.getStage(), AdsrEnvelope::kRelease);
}

TEST_F(NoteEvents, NoteOffDoesNotReachAPendingNote)
{
    EventList().noteOn(65, 100, 10).noteOff(65).sendTo(*engine);
    render(*engine, 100);
    SynthVoice& v = voice(*engine, 0);
    EXPECT_EQ(v.getState(), kVoiceSounding);
    EXPECT_NE(v.fAmpEnv.getStage(), AdsrEnvelope::kRelease);
}

TEST_F(NoteEvents, ControllerSilencesAllVoicesAtOnceButKeepsPendingNotes)
{
    fillVoices(8);
    engine->setParameter(kPolyphony, polyphonyValue(4));
    voice(*engine, 7).fPendingDelay = 500; // beyond the present polyphony: it stays frozen
    voice(*engine, 7).fPendingNote = 40;
    voice(*engine, 7).fPendingVelocity = 40;
    EventList().controller(126, 0).sendTo(*engine);
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(voice(*engine, i).getState(), kVoiceIdle) << "voice " << i;
    EXPECT_EQ(voice(*engine, 7).fPendingDelay, 500);
    const Stereo out = render(*engine, 64);
    for (size_t i = 0; i < out.left.size(); i++)
    {
        ASSERT_EQ(out.left[i], 0.0f);
        ASSERT_EQ(out.right[i], 0.0f);
    }

    EventList().noteOn(60, 100, 3).sendTo(*engine);
    EventList().controller(126, 0).sendTo(*engine);
    render(*engine, 4);
    EXPECT_EQ(voice(*engine, 0).getState(), kVoiceSounding) << "a pending note still starts";
}

TEST_F(NoteEvents, MappedControllerSetsItsParameterAndTellsTheListener)
{
    ControllerRecorder recorder;
    engine->setControllerListener(&recorder);
    EventList().controller(1, 127).sendTo(*engine);
    EXPECT_EQ(engine->getParameter(kFilterSustain), 1.0f);
    ASSERT_EQ(recorder.moves.size(), 1u);
    EXPECT_EQ(recorder.moves[0], std::make_pair(int32_t{kFilterSustain}, 1.0f));

    EventList().controller(107, 64).controller(105, 0).controller(106, 127).sendTo(*engine);
    EXPECT_EQ(engine->getParameter(kWarp), 64.0f / 127.0f);
    EXPECT_EQ(engine->getParameter(kLeakageCutoff), 0.0f);
    EXPECT_EQ(engine->getParameter(kResonance), 1.0f);
    EXPECT_EQ(recorder.moves.size(), 4u);
    engine->setControllerListener(nullptr);
}

TEST_F(NoteEvents, UnmappedAndOutOfRangeControllersAreIgnored)
{
    float before[kNumParams];
    for (int i = 0; i < kNumParams; i++)
        before[i] = engine->getParameter(i);
    ControllerRecorder recorder;
    engine->setControllerListener(&recorder);
    EventList().controller(2, 100).controller(127, 100).controller(0x80, 100).controller(0xFF, 100).sendTo(*engine);
    for (int i = 0; i < kNumParams; i++)
        EXPECT_EQ(engine->getParameter(i), before[i]) << "parameter " << i;
    EXPECT_TRUE(recorder.moves.empty());
    engine->setControllerListener(nullptr);
}

TEST_F(NoteEvents, PitchBendTargets)
{
    EventList().pitchBend(0, 64).sendTo(*engine);
    EXPECT_EQ(engine->fBendTarget, 1.0f);
    EventList().pitchBend(0, 0).sendTo(*engine);
    EXPECT_EQ(engine->fBendTarget, std::pow(kCent, 200.0f));
    EXPECT_NEAR(engine->fBendTarget, std::pow(2.0, 1.0 / 6.0), 1e-4);
    EventList().pitchBend(127, 127).sendTo(*engine);
    const float top = (127.0f + 127.0f / 128.0f) / 128.0f * 2.0f - 1.0f;
    EXPECT_EQ(engine->fBendTarget, std::pow(kCent, (0.0f - top) * 200.0f));
    EXPECT_NEAR(engine->fBendTarget, std::pow(2.0, -1.0 / 6.0), 1e-3);
    EXPECT_EQ(engine->fBendRatio, 1.0f) << "the ratio follows only while blocks render";
}

TEST_F(NoteEvents, PitchBendShortensTheLoops)
{
    engine->setParameter(kQuality, 1.0f); // retuned every sample
    engine->setParameter(kLFO1Amp, 0.0f);
    EventList().noteOn(69, 100).pitchBend(127, 127).sendTo(*engine);
    render(*engine, 64);
    render(*engine, 64);
    SynthVoice& v = voice(*engine, 0);
    StringDelayLine reference(kStringCapacity);
    reference.setDelay(1.0f * (v.fDelayA * engine->fBendTarget));
    EXPECT_EQ(v.fStringA.getDelayCount(), reference.getDelayCount());
    EXPECT_EQ(v.fStringA.getFraction(), reference.getFraction());
}

TEST_F(NoteEvents, OtherStatusesChangeNothing)
{
    EventList().midi(0xA0, 60, 100).midi(0xC0, 5, 0).midi(0xD0, 90, 0).midi(0xF0, 1, 2).sendTo(*engine);
    for (int i = 0; i < 8; i++)
        EXPECT_FALSE(voice(*engine, i).hasPendingNote());
}
