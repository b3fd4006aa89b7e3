// The voices in lanes against the voices on their own: every lane path this CPU has renders the same bytes
// as the scalar path, and leaves every voice in the same state, over long random sessions.
#include "EngineTestSupport.h"

#include "engine/VoiceLanes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>
#include <limits>
#include <memory>
#include <string>
#include <vector>

using namespace enginetest;

namespace
{
#if defined(NDEBUG)
constexpr int kSessions = 24;
constexpr int kSessionSamples = 60000; // over a second each, three for the sessions of dying notes
#else
constexpr int kSessions = 6; // the sanitizer build runs unoptimised
constexpr int kSessionSamples = 15000;
#endif

// The session's own generator: the engines reseed RandomSource themselves.
struct Dice
{
    uint64_t state;

    uint32_t next()
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state >> 33);
    }
    float unit() { return static_cast<float>(next() >> 8) * (1.0f / 16777216.0f); } // [0, 1)
    int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
    bool oneIn(int n) { return below(n) == 0; }
};

float wildValue(Dice& dice)
{
    switch (dice.below(6))
    {
    case 0:
        return std::numeric_limits<float>::quiet_NaN();
    case 1:
        return dice.oneIn(2) ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    case 2:
        return std::numeric_limits<float>::max() * (dice.oneIn(2) ? 1.0f : -1.0f);
    case 3:
        return std::numeric_limits<float>::denorm_min() * static_cast<float>(dice.below(1000));
    default:
        return dice.unit() * 6.0f - 3.0f;
    }
}

bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Everything a voice holds that rendering may change, read through the blocks' own getters; the hidden
// filter and string states by running copies of both on.
::testing::AssertionResult sameVoice(const SynthVoice& expected, const SynthVoice& actual, bool deep)
{
    const auto fail = [](const char* what) { return ::testing::AssertionFailure() << what << " differs"; };
    const float floats[][2] = {
        {expected.fPan, actual.fPan},
        {expected.fLossA, actual.fLossA},
        {expected.fLossB, actual.fLossB},
        {expected.fDcBA, actual.fDcBA},
        {expected.fDcAB, actual.fDcAB},
        {expected.fGainA, actual.fGainA},
        {expected.fGainB, actual.fGainB},
        {expected.fCouplingLowpass, actual.fCouplingLowpass},
        {expected.fHeldCoupling, actual.fHeldCoupling},
        {expected.fLevel, actual.fLevel},
        {expected.fLevelA, actual.fLevelA},
        {expected.fLevelB, actual.fLevelB},
        {expected.fDelayA, actual.fDelayA},
        {expected.fDelayB, actual.fDelayB},
        {expected.fNoiseSmooth, actual.fNoiseSmooth},
        {expected.fDenormOffset, actual.fDenormOffset},
        {expected.fVelocityGain, actual.fVelocityGain},
        {expected.fFollowA.getLevel(), actual.fFollowA.getLevel()},
        {expected.fFollowB.getLevel(), actual.fFollowB.getLevel()},
        {expected.fFollowAB.getLevel(), actual.fFollowAB.getLevel()},
        {expected.fFollowBA.getLevel(), actual.fFollowBA.getLevel()},
        {expected.fAmpEnv.getLevel(), actual.fAmpEnv.getLevel()},
        {expected.fFilterEnv.getLevel(), actual.fFilterEnv.getLevel()},
        {expected.fStringA.lastOutput(), actual.fStringA.lastOutput()},
        {expected.fStringB.lastOutput(), actual.fStringB.lastOutput()},
        {expected.fStringA.getFraction(), actual.fStringA.getFraction()},
        {expected.fStringB.getFraction(), actual.fStringB.getFraction()},
    };
    for (size_t i = 0; i < std::size(floats); i++)
        if (!sameBits(floats[i][0], floats[i][1]))
            return ::testing::AssertionFailure() << "float field " << i << " differs: " << floats[i][0] << " vs "
                                                 << floats[i][1];
    const long ints[][2] = {
        {expected.fState, actual.fState},
        {static_cast<long>(expected.fSampleCount), static_cast<long>(actual.fSampleCount)},
        {expected.fNote, actual.fNote},
        {expected.fPendingDelay, actual.fPendingDelay},
        {expected.fPendingNote, actual.fPendingNote},
        {static_cast<long>(expected.fRunaways), static_cast<long>(actual.fRunaways)},
        {expected.fAmpEnv.getStage(), actual.fAmpEnv.getStage()},
        {expected.fFilterEnv.getStage(), actual.fFilterEnv.getStage()},
        {static_cast<long>(expected.fLfoA.getPhase()), static_cast<long>(actual.fLfoA.getPhase())},
        {static_cast<long>(expected.fLfoB.getPhase()), static_cast<long>(actual.fLfoB.getPhase())},
        {static_cast<long>(expected.fLfoWarp.getPhase()), static_cast<long>(actual.fLfoWarp.getPhase())},
        {expected.fStringA.getDelayCount(), actual.fStringA.getDelayCount()},
        {expected.fStringB.getDelayCount(), actual.fStringB.getDelayCount()},
        {expected.fStringA.getWriteIndex(), actual.fStringA.getWriteIndex()},
        {expected.fStringB.getReadIndex(), actual.fStringB.getReadIndex()},
        {expected.fStringA.getBurstRemaining(), actual.fStringA.getBurstRemaining()},
        {expected.fStringB.getBurstRemaining(), actual.fStringB.getBurstRemaining()},
        {static_cast<long>(expected.fBodyFilter.getSampleCount()), static_cast<long>(actual.fBodyFilter.getSampleCount())},
        {expected.fBodyFilter.getOrder(), actual.fBodyFilter.getOrder()},
        {expected.fNoise.getReadIndex(), actual.fNoise.getReadIndex()},
    };
    for (size_t i = 0; i < std::size(ints); i++)
        if (ints[i][0] != ints[i][1])
            return ::testing::AssertionFailure() << "integer field " << i << " differs: " << ints[i][0] << " vs "
                                                 << ints[i][1];
    if (!sameBits(expected.fBodyFilter.getLastOutput(), actual.fBodyFilter.getLastOutput()))
        return fail("body filter's last output");
    for (int i = 0; i < SynthVoice::kBodyCapacity; i++)
        if (!sameBits(expected.fBodyFilter.getCoefficient(i), actual.fBodyFilter.getCoefficient(i)))
            return ::testing::AssertionFailure() << "body coefficient " << i << " differs";
    if (!deep)
        return ::testing::AssertionSuccess();

    WarpedLatticeFilter filterE = expected.fBodyFilter;
    WarpedLatticeFilter filterA = actual.fBodyFilter;
    StringDelayLine stringE = expected.fStringA;
    StringDelayLine stringA = actual.fStringA;
    for (int n = 0; n < 64; n++)
    {
        const double x = n == 0 ? 1.0 : 0.0;
        if (!sameBits(filterE.process(x, 0.4, 0.5), filterA.process(x, 0.4, 0.5)))
            return fail("body filter's states");
        if (!sameBits(stringE.tick(0.0f), stringA.tick(0.0f)))
            return fail("string A's samples");
    }
    return ::testing::AssertionSuccess();
}

// A setting the voices read while they play, now and then a wild one.
void changeSomething(Dice& dice, std::vector<SynthEngine*>& engines)
{
    static const int32_t kPlayed[] = {kFilterTopology, kFilterOrder, kQuality,  kQuantization, kLeakage1,
                                      kLeakage2,       kPolarity2,   kWarp,     kLFOWarpAmp,   kLFO1Amp,
                                      kLFO2Amp,        kBodyType1,   kBodyType2, kPolyphony,   kSaturation1,
                                      kSaturation2,    kMix,         kGain1,    kGain2,        kLeakageCutoff,
                                      kFilterSustain,  kLFOWarpFreq, kLFO1Freq, kResonance,    kCutoff1};
    const int32_t index = dice.oneIn(4) ? dice.below(kNumParams) : kPlayed[dice.below(std::size(kPlayed))];
    float value = dice.unit();
    if (index == kFilterTopology)
        value = static_cast<float>(dice.below(3)) * 0.5f; // each position
    else if (index == kQuantization && dice.oneIn(2))
        value = dice.oneIn(2) ? 0.0f : 0.5f; // one step, or off
    else if (index == kFilterOrder && dice.oneIn(3))
        value = 1.0f;
    if (dice.oneIn(25))
        value = wildValue(dice);
    for (SynthEngine* e : engines)
        e->setParameter(index, value);
}

void playSomething(Dice& dice, int frames, std::vector<SynthEngine*>& engines)
{
    EventList events;
    const int delta = frames > 0 ? dice.below(frames) : 0;
    const int kind = dice.below(20);
    if (kind < 10)
        events.noteOn(24 + dice.below(84), 1 + dice.below(127), delta, dice.oneIn(5) ? dice.below(100) - 50 : 0);
    else if (kind < 15)
        events.noteOff(24 + dice.below(84));
    else if (kind < 17)
        events.pitchBend(dice.below(128), dice.below(128));
    else if (kind < 18)
        events.controller(126, 0); // every voice idle at once
    else
    {
        const int controllers[] = {1, 105, 106, 107};
        events.controller(controllers[dice.below(4)], dice.below(128));
    }
    for (SynthEngine* e : engines)
        events.sendTo(*e);
}

std::vector<VoicePath> lanePaths()
{
    std::vector<VoicePath> paths;
    for (int p = 1; p < VoiceLanes::kNumPaths; p++)
        if (VoiceLanes::isAvailable(static_cast<VoicePath>(p)))
            paths.push_back(static_cast<VoicePath>(p));
    return paths;
}
} // namespace

// One engine on the scalar path and one on every lane path play the same random sessions: factory programs
// and random changes of every setting the voices read (filter positions, orders 1..30, both qualities,
// quantizer modes, polyphony), notes struck at offsets inside odd-sized blocks so that voices start
// staggered, are stolen and wait, pitch bends, controller 126, suspends, host input, and now and then
// wild values and low sample rates that make loops run away. After every block the outputs must be the
// same bytes and every voice the same state.
TEST(VoiceLanes, EveryPathRendersTheScalarPathsBytes)
{
    const std::vector<VoicePath> paths = lanePaths();
    if (paths.empty())
        GTEST_SKIP() << "no lane path on this CPU";

    uint32_t runaways = 0;
    long laneBlocks = 0; // of the busy sessions
    long busyBlocks = 0;
    long diedAway = 0;
    for (int session = 0; session < kSessions; session++)
    {
        Dice dice{0x1A4E5000u + static_cast<uint64_t>(session)};
        std::vector<std::unique_ptr<SynthEngine>> engines;
        engines.push_back(makeEngine(static_cast<uint32_t>(session + 1)));
        ASSERT_TRUE(engines[0]->setVoicePath(VoicePath::kScalar));
        for (VoicePath path : paths)
        {
            engines.push_back(makeEngine(static_cast<uint32_t>(session + 1)));
            ASSERT_TRUE(engines.back()->setVoicePath(path));
            // mostly every block in lanes; some sessions let the engine choose, block by block
            engines.back()->setMinimumLaneVoices(session % 3 == 2 ? 2 : 0);
        }
        std::vector<SynthEngine*> all;
        for (auto& e : engines)
            all.push_back(e.get());

        for (SynthEngine* e : all)
            selectProgram(*e, session % 8);
        if (session % 2 == 1)
            for (SynthEngine* e : all)
                e->setParameter(kQuality, 0.0f);
        // Sessions of three kinds: busy playing; hot coupling that drives both paths into the limiter; and
        // sparse chords on dying strings, whose notes end by themselves after a second.
        const int style = session % 3;
        if (style == 1)
        {
            const std::pair<int32_t, float> hot[] = {{kLeakage1, 1.0f},       {kLeakage2, 1.0f}, {kGain1, 1.0f},
                                                     {kGain2, 1.0f},          {kSaturation1, 0.0f},
                                                     {kSaturation2, 0.0f},    {kCutoff1, 1.0f},  {kCutoff2, 1.0f},
                                                     {kLeakageCutoff, 1.0f}};
            for (const auto& [index, value] : hot)
                for (SynthEngine* e : all)
                    e->setParameter(index, value);
        }
        else if (style == 2)
            for (SynthEngine* e : all)
            {
                // no saturation: its extra gain near zero would keep the loops ringing
                const std::pair<int32_t, float> dying[] = {{kGain1, 0.9f},       {kGain2, 0.9f},
                                                           {kSaturation1, 0.0f}, {kSaturation2, 0.0f},
                                                           {kLeakage1, 0.0f},    {kLeakage2, 0.0f}};
                for (const auto& [index, value] : dying)
                    e->setParameter(index, value);
                // quick followers: a level below 1e-6 before the note's 44100th sample, where the end
                // by silence is first allowed
                for (int v = 0; v < kMaxVoices; v++)
                {
                    voice(*e, v).fFollowA.setRelease(0.5f);
                    voice(*e, v).fFollowB.setRelease(0.5f);
                }
            }
        const bool sparse = style == 2;
        const bool wild = session % 8 == 7;
        if (wild) // low rates and loud input: loops shorter than two samples run away
        {
            const float rate = dice.oneIn(2) ? 8000.0f : 11025.0f;
            for (SynthEngine* e : all)
                e->setSampleRate(rate);
        }

        // a struck string's level falls by 0.9999 a sample: about three seconds to drop below 1e-6
        const int length = sparse ? 3 * kSessionSamples : kSessionSamples;
        int rendered = 0;
        int block = 0;
        while (rendered < length)
        {
            const int frames = dice.oneIn(8) ? 1 + dice.below(8) : 1 + dice.below(700);
            if (!sparse)
            {
                for (int n = dice.below(5); n > 0; n--)
                    playSomething(dice, frames, all);
                if (dice.oneIn(6))
                    changeSomething(dice, all);
            }
            else if (block == 0 || dice.oneIn(2000))
            {
                EventList chord;
                for (int n = 0; n < 4; n++)
                    chord.noteOn(60 + 7 * n + dice.below(5), 60 + dice.below(60), dice.below(frames));
                for (SynthEngine* e : all)
                    chord.sendTo(*e);
            }
            if (!sparse && dice.oneIn(400))
                for (SynthEngine* e : all)
                    e->suspend();
            if (dice.oneIn(300))
            {
                const float rates[] = {44100.0f, 48000.0f, 96000.0f, 22050.0f};
                const float rate = rates[dice.below(4)];
                for (SynthEngine* e : all)
                    e->setSampleRate(rate);
            }
            float input = !sparse && dice.oneIn(10) ? dice.unit() : 0.0f;
            if (wild && dice.oneIn(3))
                input = 50.0f * dice.unit();
            else if (style == 1 && dice.oneIn(2))
                input = 2.0f * dice.unit();
            const bool replace = !dice.oneIn(5);

            std::vector<Stereo> outs;
            for (SynthEngine* e : all)
            {
                if (input != 0.0f)
                    outs.push_back(renderWithInput(*e, frames, input, -0.5f * input));
                else
                    outs.push_back(render(*e, frames, replace, 0.25f));
            }
            for (size_t p = 1; p < all.size(); p++)
            {
                const char* path = VoiceLanes::pathName(paths[p - 1]);
                ASSERT_EQ(std::memcmp(outs[0].left.data(), outs[p].left.data(), sizeof(float) * frames), 0)
                    << path << ", session " << session << ", block " << block;
                ASSERT_EQ(std::memcmp(outs[0].right.data(), outs[p].right.data(), sizeof(float) * frames), 0)
                    << path << ", session " << session << ", block " << block;
                for (int v = 0; v < kMaxVoices; v++)
                    ASSERT_TRUE(sameVoice(voice(*all[0], v), voice(*all[p], v), block % 16 == 0))
                        << path << ", session " << session << ", block " << block << ", voice " << v;
            }
            int busy = 0;
            for (int v = 0; v < all[0]->activeVoiceCount(); v++)
            {
                const SynthVoice& held = voice(*all[0], v);
                busy += held.getState() != kVoiceIdle;
                diedAway += held.getState() == kVoiceIdle && held.fSampleCount > SynthVoice::kMinNoteLength
                            && held.fAmpEnv.getStage() != AdsrEnvelope::kIdle;
            }
            if (!sparse)
            {
                busyBlocks += busy >= 2;
                laneBlocks++;
            }
            rendered += frames;
            block++;
        }
        for (int v = 0; v < kMaxVoices; v++)
            runaways += voice(*all[0], v).fRunaways;
    }
    EXPECT_GT(runaways, 0u) << "some loops ran away";
#if defined(NDEBUG)
    EXPECT_GT(diedAway, 0) << "some notes ended by dying away";
#endif
    EXPECT_GT(busyBlocks, laneBlocks / 2) << "most blocks of the busy sessions had several voices sounding";
}
