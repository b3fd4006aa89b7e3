// The coupled-string voice: pending start, note start, body selection, rendering paths and note ends.
#include "EngineTestSupport.h"

#include "engine/NoteFrequencyTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using namespace enginetest;

namespace
{
constexpr float kCent = 1.0005777895f;

class Voice : public ::testing::Test
{
protected:
    void SetUp() override
    {
        engine = makeEngine();
        render(*engine, 64); // the clock is past 0, as in a running host
    }

    // Starts a note on voice 0 through a pending note of delay 0, the way note handling does.
    SynthVoice& strike(int note, int velocity = 100, int detune = 0)
    {
        SynthVoice& v = voice(*engine, 0);
        v.fPendingNote = note;
        v.fPendingVelocity = velocity;
        v.fPendingDetune = detune;
        v.fPendingStamp = static_cast<int>(engine->fSampleClock);
        v.fPendingDelay = 0;
        render(*engine, 1);
        return v;
    }

    void oneVoice() { engine->setParameter(kPolyphony, polyphonyValue(1)); }

    std::unique_ptr<SynthEngine> engine;
};
} // namespace

TEST_F(Voice, PendingNoteWithDelayZeroStartsOnTheNextSample)
{
    SynthVoice& v = voice(*engine, 0);
    ASSERT_EQ(v.getState(), kVoiceIdle);
    v.fPendingNote = 60;
    v.fPendingVelocity = 100;
    v.fPendingDelay = 0;
    render(*engine, 1);
    EXPECT_EQ(v.getState(), kVoiceSounding);
    EXPECT_EQ(v.fNote, 60);
    EXPECT_EQ(v.fVelocity, 100);
    EXPECT_EQ(v.fSampleCount, 1u);
    EXPECT_EQ(v.fPendingDelay, -1);
    EXPECT_EQ(v.fPendingNote, 0);
    EXPECT_EQ(v.fPendingVelocity, 0);
}

TEST_F(Voice, WaitingVoiceDampsItsOldSoundThenStartsOnTheFourthSample)
{
    oneVoice();
    SynthVoice& v = strike(60);
    render(*engine, 2000);
    ASSERT_EQ(v.getState(), kVoiceSounding);
    ASSERT_EQ(v.fGainA, engine->fCurrentParams[kGain1]);

    v.fPendingNote = 64;
    v.fPendingVelocity = 90;
    v.fPendingDelay = 3;
    float gainA = v.fGainA;
    float gainB = v.fGainB;
    for (int i = 0; i < 3; i++)
    {
        render(*engine, 1);
        gainA *= 0.98f;
        gainB *= 0.98f;
        EXPECT_EQ(v.getState(), kVoiceWaiting) << "sample " << i;
        EXPECT_EQ(v.fGainA, gainA) << "sample " << i;
        EXPECT_EQ(v.fGainB, gainB) << "sample " << i;
        EXPECT_EQ(v.fNote, 60);
    }
    render(*engine, 1);
    EXPECT_EQ(v.getState(), kVoiceSounding);
    EXPECT_EQ(v.fNote, 64);
    EXPECT_EQ(v.fGainA, engine->fCurrentParams[kGain1]);
    EXPECT_EQ(v.fSampleCount, 1u);
}

TEST_F(Voice, QuietWaitingVoiceTurnsIdleButKeepsCountingDown)
{
    SynthVoice& v = voice(*engine, 0); // cleared strings: the level is at the followers' floor
    v.fPendingNote = 60;
    v.fPendingVelocity = 100;
    v.fPendingDelay = 5;
    for (int i = 0; i < 5; i++)
    {
        render(*engine, 1);
        EXPECT_EQ(v.getState(), kVoiceIdle) << "sample " << i;
        EXPECT_EQ(v.fPendingDelay, 4 - i);
    }
    render(*engine, 1);
    EXPECT_EQ(v.getState(), kVoiceSounding);
}

TEST_F(Voice, NoteStartedBeforeTheFirstRenderedSampleStarts)
{
    engine = makeEngine(); // nothing rendered: the clock and so the stamp are 0
    EventList().noteOn(60, 100).sendTo(*engine);
    ASSERT_EQ(voice(*engine, 0).fPendingStamp, 0);
    render(*engine, 1);
    EXPECT_EQ(voice(*engine, 0).getState(), kVoiceSounding);
}

TEST_F(Voice, DelaysOfNote69AndADetunedStringB)
{
    engine->setParameter(kDetune2, 1.0f / 12.0f); // one semitone
    SynthVoice& v = strike(69);
    const float f = noteFrequencyTable()[69];
    EXPECT_EQ(v.fDelayA, 44100.0f / f - 1.2999999523f);
    EXPECT_NEAR(v.fDelayA, 98.9273, 1e-3);
    EXPECT_EQ(v.fDelayB, 44100.0f / (engine->fDetuneRatio * f) - 1.2999999523f);
    EXPECT_NEAR(v.fDelayB, 44100.0 / (440.0 * std::pow(2.0, 1.0 / 12.0)) - 1.3, 2e-3);
}

TEST_F(Voice, EventDetuneRetunesBothStringsInCents)
{
    engine->setParameter(kDetune2, 0.0f);
    SynthVoice& v = strike(69, 100, 50);
    const float f = noteFrequencyTable()[69] * std::pow(kCent, 50.0f);
    EXPECT_EQ(v.fDelayA, 44100.0f / f - 1.2999999523f);
    EXPECT_NEAR(v.fDelayA, 44100.0 / (440.0 * std::pow(2.0, 50.0 / 1200.0)) - 1.3, 2e-3);
    EXPECT_EQ(v.fDelayB, v.fDelayA);
}

TEST_F(Voice, NoteStartTakesTheHostsPresentSampleRate)
{
    engine->setSampleRate(48000.0f);
    SynthVoice& v = strike(69);
    EXPECT_EQ(v.fDelayA, 48000.0f / noteFrequencyTable()[69] - 1.2999999523f);
    TableLfo reference(48000.0f);
    reference.setFrequency(200.0f * engine->fCurrentParams[kLFO1Freq] * engine->fCurrentParams[kLFO1Freq]);
    EXPECT_EQ(v.fLfoA.getIncrement(), reference.getIncrement());

    // The dispatcher's combined request stores the rate without calling setSampleRate.
    engine->setNoteSampleRate(96000.0f);
    strike(69);
    EXPECT_EQ(v.fDelayA, 96000.0f / noteFrequencyTable()[69] - 1.2999999523f);
    TableLfo reference96(96000.0f);
    reference96.setFrequency(200.0f * engine->fCurrentParams[kLFO2Freq] * engine->fCurrentParams[kLFO2Freq]);
    EXPECT_EQ(v.fLfoB.getIncrement(), reference96.getIncrement());
}

TEST_F(Voice, ReleaseTimeFollowsTheSampleRate)
{
    engine->setParameter(kAttack, 0.0f);
    engine->setParameter(kRelease, 0.5f); // 16 x 0.5^4 = 1 s
    engine->setSampleRate(22050.0f);
    SynthVoice& v = strike(60);
    render(*engine, 100);
    EventList().noteOff(60).sendTo(*engine);
    render(*engine, 22000);
    EXPECT_EQ(v.fAmpEnv.getStage(), AdsrEnvelope::kRelease);
    render(*engine, 100);
    EXPECT_EQ(v.fAmpEnv.getStage(), AdsrEnvelope::kIdle);
}

TEST_F(Voice, PanIsCentredWithoutRandomPan)
{
    engine->setParameter(kRandomPan, 0.0f);
    for (int note = 40; note < 48; note++)
        EXPECT_EQ(strike(note).fPan, 0.5f);
}

TEST_F(Voice, RandomPanIsSeededByClockNoteAndVelocity)
{
    engine->setParameter(kRandomPan, 1.0f);
    const uint32_t clock = engine->fSampleClock;
    SynthVoice& v = strike(60, 127);
    const float velocity = 127.0f * 0.007874016f;
    RandomSource::seed(clock + 60u + static_cast<uint32_t>(velocity * 200.0f));
    const int r = RandomSource::rand() % 1000;
    EXPECT_EQ(v.fPan, (static_cast<float>(r) / 1000.0f - 0.5f) * 1.0f + 0.5f);

    const float first = v.fPan;
    strike(60, 127);
    EXPECT_NE(v.fPan, first) << "a later sample gives another pan";
}

TEST_F(Voice, VelocityGainIsASum)
{
    engine->setParameter(kVelocity2Volume, 0.0f);
    EXPECT_FLOAT_EQ(strike(60, 127).fVelocityGain, 2.0f);
    engine->setParameter(kVelocity2Volume, 1.0f);
    EXPECT_FLOAT_EQ(strike(60, 127).fVelocityGain, 1.0f);
    EXPECT_FLOAT_EQ(strike(60, 1).fVelocityGain, 1.0f / 127.0f);
}

TEST_F(Voice, PluckBrightnessIsLimitedToOne)
{
    engine->setParameter(kBrightness, 0.8f);
    engine->setParameter(kVelocity2Brightness, 0.5f);
    SynthVoice& v = strike(60, 127);
    StringDelayLine reference(kStringCapacity);
    reference.setDelay(v.fDelayA);
    reference.pluck(60, 1.0f);
    ASSERT_GT(reference.getBurstRemaining(), 0);
    for (int i = 0; i < reference.getBurstRemaining(); i++)
        ASSERT_EQ(v.fStringA.getExcitation(i), reference.getExcitation(i)) << "burst sample " << i;
}

TEST_F(Voice, EnvelopeSettingsFromTheParameters)
{
    engine->setParameter(kAttack, 0.5f);
    engine->setParameter(kRelease, 0.25f);
    engine->setParameter(kFilterAttack, 0.75f);
    engine->setParameter(kFilterDecay, 1.0f);
    engine->setParameter(kFilterSustain, 0.3f);
    engine->setParameter(kFilterRelease, 0.0f);
    SynthVoice& v = strike(60);
    const AdsrSettings amp = v.fAmpEnv.getSettings();
    EXPECT_EQ(amp.attack, 1.0f);
    EXPECT_EQ(amp.decay, 0.0f);
    EXPECT_EQ(amp.sustain, 0.99f);
    EXPECT_EQ(amp.release, 0.0625f);
    const AdsrSettings filter = v.fFilterEnv.getSettings();
    EXPECT_EQ(filter.attack, 0.75f * 0.75f * 4.0f * (0.75f * 0.75f * 4.0f));
    EXPECT_EQ(filter.decay, 16.0f);
    EXPECT_EQ(filter.sustain, 0.3f);
    EXPECT_EQ(filter.release, 0.0f);
}

// The coefficients in use right after a note start: set A blended towards set B by 1e-7, times the gain.
namespace
{
void expectBody(const SynthVoice& v, const double* setA, const double* setB, int order, double gain)
{
    const double morph = static_cast<double>(1e-7f);
    for (int i = 0; i < order; i++)
        ASSERT_EQ(v.fBodyFilter.getCoefficient(i), (setA[i] + (setB[i] - setA[i]) * morph) * gain)
            << "coefficient " << i;
}

bool isFixedTable(const SynthVoice& v, const double* setB, int order, int& table)
{
    const double morph = static_cast<double>(1e-7f);
    for (table = 0; table < kNumBodyTables; table++)
    {
        const double* setA = bodyTable(table);
        bool same = true;
        for (int i = 0; i < order && same; i++)
            same = v.fBodyFilter.getCoefficient(i) == (setA[i] + (setB[i] - setA[i]) * morph);
        if (same)
            return true;
    }
    return false;
}
} // namespace

class BodySelection : public Voice
{
protected:
    void SetUp() override
    {
        Voice::SetUp();
        engine->setParameter(kFilterOrder, 1.0f); // 30 sections
        engine->setParameter(kResonance, 1.0f);
        engine->setParameter(kBodyType2, bodyValue(1)); // set B: "Guitar"
    }

    // Starts note 60 on voice 0 directly, so the coefficients are read before any sample updates them.
    SynthVoice& startDirectly(int note = 60)
    {
        SynthVoice& v = voice(*engine, 0);
        v.fNote = note;
        v.startNote(note, 0.8f, 0.1f);
        return v;
    }
};

TEST_F(BodySelection, FixedTypesLoadTheirTable)
{
    for (int type = 0; type < kNumBodyTables; type++)
    {
        engine->setParameter(kBodyType1, bodyValue(type));
        expectBody(startDirectly(), bodyTable(type), bodyTable(1), 30, 1.0);
    }
}

TEST_F(BodySelection, OnlyTheFirstOrderCoefficientsAreLoaded)
{
    engine->setParameter(kFilterOrder, 4.0f / 29.0f); // order 5
    engine->setParameter(kBodyType1, bodyValue(3));
    engine->setParameter(kResonance, 0.5f);
    SynthVoice& v = startDirectly();
    EXPECT_EQ(v.fBodyFilter.getOrder(), 5);
    expectBody(v, bodyTable(3), bodyTable(1), 5, 0.5);
}

TEST_F(BodySelection, RandomDrawsAFixedTableThatDependsOnTheNote)
{
    engine->setParameter(kBodyType1, bodyValue(9));
    std::set<int> drawn;
    for (int note = 40; note < 60; note++)
    {
        int table = -1;
        ASSERT_TRUE(isFixedTable(startDirectly(note), bodyTable(1), 30, table)) << "note " << note;
        drawn.insert(table);
        int again = -1;
        ASSERT_TRUE(isFixedTable(startDirectly(note), bodyTable(1), 30, again));
        EXPECT_EQ(again, table) << "the draw follows the plucks of the note";
    }
    EXPECT_GE(drawn.size(), 3u);
}

TEST_F(BodySelection, TimeRandomIsSeededByTheClockAndTheSlot)
{
    engine->setParameter(kBodyType1, bodyValue(10));
    engine->setParameter(kBodyType2, bodyValue(10));
    const uint32_t clock = engine->fSampleClock;
    SynthVoice& v = startDirectly();
    double setA[30];
    double setB[30];
    WarpedLatticeFilter::randomCoefficients(setA, static_cast<int>(clock + 1), 30);
    WarpedLatticeFilter::randomCoefficients(setB, static_cast<int>(clock), 30);
    expectBody(v, setA, setB, 30, 1.0);

    render(*engine, 1);
    WarpedLatticeFilter::randomCoefficients(setA, static_cast<int>(clock + 2), 30);
    WarpedLatticeFilter::randomCoefficients(setB, static_cast<int>(clock + 1), 30);
    expectBody(startDirectly(), setA, setB, 30, 1.0);
}

TEST_F(BodySelection, NoteRandomIsSeededByTheNote)
{
    engine->setParameter(kBodyType1, bodyValue(11));
    engine->setParameter(kBodyType2, 1.0f); // v = 1 also selects "n-Random"
    double set[30];
    WarpedLatticeFilter::randomCoefficients(set, 67, 30);
    expectBody(startDirectly(67), set, set, 30, 1.0);
    render(*engine, 100);
    expectBody(startDirectly(67), set, set, 30, 1.0);
}

TEST_F(BodySelection, EachVoiceFillsItsOwnScratchSet)
{
    engine->setParameter(kBodyType1, bodyValue(11));
    const double before = engine->randomBodyTable(0)[0];
    SynthVoice& v = startDirectly(67);
    double set[30];
    WarpedLatticeFilter::randomCoefficients(set, 67, 30);
    EXPECT_EQ(v.fBodyScratch[0], set[0]);
    EXPECT_EQ(engine->randomBodyTable(0)[0], before);
}

TEST_F(Voice, WithoutABodyTheFilterAndItsEnvelopeRest)
{
    engine->setParameter(kBodyType1, 0.0f);
    engine->setParameter(kBodyType2, 0.0f);
    SynthVoice& v = strike(60);
    const uint32_t processed = v.fBodyFilter.getSampleCount();
    render(*engine, 500);
    EXPECT_EQ(v.fBodyFilter.getSampleCount(), processed);
    EXPECT_EQ(v.fFilterEnv.getStage(), AdsrEnvelope::kAttack);
    EXPECT_EQ(v.fFilterEnv.getLevel(), 0.0f);

    engine->setParameter(kBodyType2, bodyValue(2));
    render(*engine, 1);
    EXPECT_EQ(v.fBodyFilter.getSampleCount(), processed + 1);
    EXPECT_GT(v.fFilterEnv.getLevel(), 0.0f);
}

// A warp change that the block loop has not glided to yet already shapes the new note's first samples.
TEST_F(BodySelection, NoteStartTunesTheBodyToTheWarpParameterItself)
{
    engine->setParameter(kWarp, 0.2f);
    strike(60);
    render(*engine, 100); // the filter has run, and the glide has landed on 0.2
    engine->setParameter(kWarp, 0.7f);
    ASSERT_EQ(engine->fWarpSmoothed, 0.2f);
    SynthVoice& v = startDirectly();

    // With the update phase moved off this sample, one unit impulse into the cleared filter returns
    // the loop term of the note start's update.
    const auto firstOutput = [&](WarpedLatticeFilter filter) {
        filter.setUpdateInterval(static_cast<int>(filter.getSampleCount()) + 1);
        return filter.process(1.0, 0.5, 0.0);
    };
    const auto updatedWith = [&](float warp) {
        WarpedLatticeFilter filter = v.fBodyFilter;
        filter.updateCoefficients(static_cast<double>(warp), 1.0, static_cast<double>(1e-7f));
        return firstOutput(filter);
    };
    ASSERT_GT(v.fBodyFilter.getSampleCount(), 0u);
    EXPECT_EQ(firstOutput(v.fBodyFilter), updatedWith(0.7f));
    EXPECT_NE(firstOutput(v.fBodyFilter), updatedWith(0.2f));
}

TEST_F(Voice, NormalQualityRecomputesTheQuantizerEveryFourthSample)
{
    oneVoice();
    engine->setParameter(kQuantization, 0.0f);
    engine->setParameter(kLeakage1, 0.5f);
    engine->setParameter(kQuality, 0.0f);
    SynthVoice& v = strike(60);
    int changes = 0;
    for (int i = 0; i < 400; i++)
    {
        const float held = v.fHeldCoupling;
        const uint32_t count = v.fSampleCount;
        render(*engine, 1);
        if (count % 4 != 0)
            ASSERT_EQ(v.fHeldCoupling, held) << "sample " << count;
        else if (v.fHeldCoupling != held)
            changes++;
    }
    EXPECT_GT(changes, 20);

    engine->setParameter(kQuality, 1.0f);
    int offBeat = 0;
    for (int i = 0; i < 400; i++)
    {
        const float held = v.fHeldCoupling;
        const uint32_t count = v.fSampleCount;
        render(*engine, 1);
        if (count % 4 != 0 && v.fHeldCoupling != held)
            offBeat++;
    }
    EXPECT_GT(offBeat, 100);
}

TEST_F(Voice, QuantizerOffPassesThePlainLowPassOfA)
{
    engine->setParameter(kQuantization, 0.5f);
    SynthVoice& v = strike(60);
    render(*engine, 200);
    EXPECT_EQ(v.fHeldCoupling, 0.0f) << "never computed with the stage off";
}

TEST_F(Voice, NormalQualityRetunesEveryEighthSample)
{
    oneVoice();
    engine->setParameter(kLFO1Amp, 0.5f);
    engine->setParameter(kLFO1Freq, 0.5f);
    engine->setParameter(kQuality, 0.0f);
    SynthVoice& v = strike(60);
    int retunes = 0;
    for (int i = 0; i < 800; i++)
    {
        const int count = v.fStringA.getDelayCount();
        const float fraction = v.fStringA.getFraction();
        render(*engine, 1);
        const bool changed = v.fStringA.getDelayCount() != count || v.fStringA.getFraction() != fraction;
        if (v.fSampleCount % 8 != 0)
            ASSERT_FALSE(changed) << "sample " << v.fSampleCount;
        else if (changed)
            retunes++;
    }
    EXPECT_GT(retunes, 80);

    engine->setParameter(kQuality, 1.0f);
    int offBeat = 0;
    for (int i = 0; i < 800; i++)
    {
        const float fraction = v.fStringA.getFraction();
        render(*engine, 1);
        if (v.fSampleCount % 8 != 0 && v.fStringA.getFraction() != fraction)
            offBeat++;
    }
    EXPECT_GT(offBeat, 600);
}

TEST_F(Voice, LfosRunAtTheSameSpeedInBothQualities)
{
    engine->setParameter(kQuality, 0.0f);
    SynthVoice& v = strike(60);
    const uint32_t phase = v.fLfoA.getPhase();
    render(*engine, 80);
    EXPECT_EQ(v.fLfoA.getPhase(), phase + 80u * v.fLfoA.getIncrement());
}

TEST_F(Voice, DenormalOffsetAlternatesOnRenderedSamplesOnly)
{
    SynthVoice& v = voice(*engine, 0);
    const float idle = v.fDenormOffset;
    render(*engine, 3);
    EXPECT_EQ(v.fDenormOffset, idle) << "an idle voice does not touch it";
    strike(60);
    const float after = v.fDenormOffset;
    EXPECT_EQ(std::fabs(after), 9.9999998e-15f);
    render(*engine, 1);
    EXPECT_EQ(v.fDenormOffset, -after);
    render(*engine, 1);
    EXPECT_EQ(v.fDenormOffset, after);
}

TEST_F(Voice, PolarityExactlyOneHalfIsNegative)
{
    auto renderWith = [](float polarity) {
        auto p = makeEngine();
        p->setParameter(kPolarity2, polarity);
        p->setParameter(kMix, 0.5f);
        EventList().noteOn(60, 100).sendTo(*p);
        return render(*p, 3000).left;
    };
    const std::vector<float> negative = renderWith(0.0f);
    EXPECT_EQ(renderWith(0.5f), negative);
    EXPECT_NE(renderWith(0.51f), negative);
}

TEST_F(Voice, StrongCouplingStaysFiniteInEveryFilterPosition)
{
    for (const float topology : {0.0f, 0.5f, 1.0f})
    {
        auto p = makeEngine();
        p->setParameter(kFilterTopology, topology);
        p->setParameter(kLeakage1, 1.0f);
        p->setParameter(kLeakage2, 1.0f);
        EventList().noteOn(48, 127).noteOn(60, 127).sendTo(*p);
        const Stereo out = render(*p, 20000);
        for (size_t i = 0; i < out.left.size(); i++)
            ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i])) << "sample " << i;
    }
}

TEST(CouplingLimiter, DampsEachSignalByItsFollowersExcessOverThreshold)
{
    float cAB = 0.8f;
    float cBA = -0.9f;
    SynthVoice::limitPair(0.6f, 0.6f, cAB, cBA);
    EXPECT_EQ(cAB, 0.8f) << "at the threshold nothing is damped";
    EXPECT_EQ(cBA, -0.9f);

    // Both over: 1 / (1 + x + x^2/2 + x^3/6) with x = 20 x excess.
    cAB = 1.0f;
    cBA = -1.0f;
    SynthVoice::limitPair(0.7f, 0.65f, cAB, cBA);
    EXPECT_NEAR(cAB, 1.0 / (1.0 + 2.0 + 2.0 + 8.0 / 6.0), 1e-6);
    EXPECT_NEAR(cBA, -1.0 / (1.0 + 1.0 + 0.5 + 1.0 / 6.0), 1e-6);

    // One over: the exponential itself.
    cAB = 1.0f;
    cBA = 0.5f;
    SynthVoice::limitPair(0.7f, 0.5f, cAB, cBA);
    EXPECT_NEAR(cAB, std::exp(-2.0), 1e-6);
    EXPECT_EQ(cBA, 0.5f);
    cAB = 0.25f;
    SynthVoice::limitPair(0.1f, 0.75f, cAB, cBA);
    EXPECT_EQ(cAB, 0.25f);
    EXPECT_NEAR(cBA, 0.5 * std::exp(-3.0), 1e-6);
}

TEST_F(Voice, ANoteEndsWhenItsReleaseFinishes)
{
    oneVoice();
    engine->setParameter(kAttack, 0.0f);
    engine->setParameter(kRelease, 0.25f); // 16 x 0.25^4 = 0.0625 s: 2757.25 steps from the sustain level
    SynthVoice& v = strike(60);
    render(*engine, 1000);
    EventList().noteOff(60).sendTo(*engine);
    render(*engine, 2740);
    EXPECT_EQ(v.getState(), kVoiceSounding);
    EXPECT_EQ(v.fAmpEnv.getStage(), AdsrEnvelope::kRelease);
    render(*engine, 30);
    EXPECT_EQ(v.getState(), kVoiceIdle);
    const Stereo after = render(*engine, 64);
    for (float s : after.left)
        EXPECT_EQ(s, 0.0f);
}

TEST_F(Voice, AHeldNoteEndsWhenItsStringsHaveDiedAfterASecond)
{
    oneVoice();
    engine->setParameter(kGain1, 0.0f);
    engine->setParameter(kGain2, 0.0f);
    engine->setParameter(kLeakage1, 0.0f);
    engine->setParameter(kLeakage2, 0.0f);
    SynthVoice& v = strike(60);
    // Quick followers: the level drops below 1e-6 as soon as the pluck burst has drained.
    v.fFollowA.setRelease(0.5f);
    v.fFollowB.setRelease(0.5f);
    render(*engine, 2000);
    ASSERT_LT(v.getLevel(), 1e-6f);
    render(*engine, 44100 - 2001);
    EXPECT_EQ(v.fSampleCount, 44100u);
    EXPECT_EQ(v.getState(), kVoiceSounding);
    render(*engine, 1);
    EXPECT_EQ(v.getState(), kVoiceIdle);
}

TEST_F(Voice, ResetClearsStringsAndDropsThePendingNote)
{
    SynthVoice& v = strike(60);
    render(*engine, 500);
    v.fPendingDelay = 10;
    v.fPendingNote = 62;
    v.reset(true);
    EXPECT_EQ(v.getState(), kVoiceIdle);
    EXPECT_EQ(v.fPendingDelay, -1);
    EXPECT_EQ(v.fNote, 0);
    EXPECT_EQ(v.getLevel(), 0.0f);
    EXPECT_EQ(v.fStringA.lastOutput(), 0.0f);
    v.fPendingDelay = 0;
    v.fPendingNote = 60;
    v.fPendingVelocity = 100;
    v.reset(false);
    EXPECT_EQ(v.fPendingDelay, 0) << "a partial reset only silences";
}

// Program 4 loads a random body on one slot; with some notes its lattice runs away within half a second.
TEST_F(Voice, UnstableBodyFilterNeverReachesTheOutputAsInfinityOrNaN)
{
    selectProgram(*engine, 4);
    EventList().noteOn(72, 110).sendTo(*engine);
    float peak = 0.0f;
    for (int block = 0; block < 100; block++)
    {
        const Stereo out = render(*engine, 1024);
        for (size_t i = 0; i < out.left.size(); i++)
        {
            ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i]))
                << "block " << block << " sample " << i;
            peak = std::fmax(peak, std::fabs(out.left[i]));
        }
    }
    EXPECT_GT(peak, 0.01f) << "the note still sounds";
    EXPECT_TRUE(std::isfinite(voice(*engine, 0).fBodyFilter.getLastOutput()));
}

TEST_F(Voice, LoopDrivenToInfinityIsSilencedAndTheNextNotePlays)
{
    oneVoice();
    SynthVoice& v = strike(60);
    // A cubic saturation diverges for a huge input: the loop overflows within a few samples.
    engine->setParameter(kSaturation1, 1.0f);
    const Stereo blown = renderWithInput(*engine, 256, 1e30f, 1e30f);
    for (size_t i = 0; i < blown.left.size(); i++)
        ASSERT_TRUE(std::isfinite(blown.left[i]) && std::isfinite(blown.right[i])) << "sample " << i;
    EXPECT_EQ(v.getState(), kVoiceIdle);
    EXPECT_EQ(v.fStringA.lastOutput(), 0.0f);

    engine->setParameter(kSaturation1, 0.0f);
    EventList().noteOn(64, 100).sendTo(*engine);
    const Stereo next = render(*engine, 2000);
    float peak = 0.0f;
    for (size_t i = 0; i < next.left.size(); i++)
    {
        ASSERT_TRUE(std::isfinite(next.left[i]));
        peak = std::fmax(peak, std::fabs(next.left[i]));
    }
    EXPECT_GT(peak, 0.0f);
    EXPECT_EQ(v.fNote, 64);
}

TEST_F(Voice, SilencedLoopKeepsItsPendingNote)
{
    oneVoice();
    SynthVoice& v = strike(60);
    engine->setParameter(kSaturation1, 1.0f);
    EventList().noteOn(67, 100, 200).sendTo(*engine);
    renderWithInput(*engine, 100, 1e30f, 1e30f);
    EXPECT_EQ(v.fPendingNote, 67);
    EXPECT_GT(v.fPendingDelay, 0);
    engine->setParameter(kSaturation1, 0.0f);
    render(*engine, 150);
    EXPECT_EQ(v.fNote, 67);
    EXPECT_EQ(v.fPendingDelay, -1);
}
