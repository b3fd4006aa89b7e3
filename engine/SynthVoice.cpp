// Set-up of a voice: construction, reset, note start and body selection.
#include "engine/SynthVoice.h"

#include <cmath>

#include "dsp/RandomSource.h"
#include "engine/NoteFrequencyTable.h"
#include "params/SafeConvert.h"

namespace
{
constexpr float kDefaultSampleRate = 44100.0f;
constexpr float kInitialDelay = 400.0f; // samples, until the first note tunes the strings
constexpr float kLfoAFrequency = 0.2f;
constexpr float kLfoBFrequency = 0.1f;
constexpr float kLfoWarpFrequency = 0.1f;
constexpr float kAmpSustain = 0.99f;
constexpr float kPairFollow = 0.909f; // attack and release of the coupling followers
constexpr float kPanSpread = 1000.0f;

// A rate that is not a positive finite number would make every time base meaningless.
float usableRate(float rate)
{
    return std::isfinite(rate) && rate > 0.0f ? rate : kDefaultSampleRate;
}

// The parameter value p maps to 16 p^4 seconds.
float envelopeTime(float p)
{
    const float t = p * p * 4.0f;
    return t * t;
}

float lfoFrequency(float p)
{
    return 200.0f * p * p;
}
} // namespace

SynthVoice::SynthVoice(const EngineValues* engine, int capacity)
    : fCapacity(capacity)
    , fEngine(engine)
    , fStringA(capacity)
    , fStringB(capacity)
    , fBodyFilter(kBodyCapacity)
    , fLfoA(usableRate(engine->fSampleRate))
    , fLfoB(usableRate(engine->fSampleRate))
    , fLfoWarp(usableRate(engine->fSampleRate))
    , fNoise(kNoiseCount) // the only draw from the shared generator while a voice is built
    , fAmpEnv(truncToInt32(usableRate(engine->fSampleRate)))
    , fFilterEnv(truncToInt32(usableRate(engine->fSampleRate)))
{
    fBodyFilter.setOrder(fEngine->activeFilterOrder());
    fBodyFilter.setGain(static_cast<double>(engine->fCurrentParams[kResonance]));
    fLfoA.setFrequency(kLfoAFrequency);
    fLfoB.setFrequency(kLfoBFrequency);
    fLfoWarp.setFrequency(kLfoWarpFrequency);
    fLfoA.setShape(kLfoTriangle);
    fLfoB.setShape(kLfoTriangle);
    fLfoWarp.setShape(kLfoTriangle);
    fStringA.setDelay(kInitialDelay);
    fStringB.setDelay(kInitialDelay);
    loadBody(1, 1);
    loadBody(0, 0);
}

void SynthVoice::setSampleRate(float rate)
{
    rate = usableRate(rate);
    fLfoA.setSampleRate(rate);
    fLfoB.setSampleRate(rate);
    fLfoWarp.setSampleRate(rate);
    // The envelopes count whole samples per second.
    fAmpEnv.setSampleRate(std::trunc(rate));
    fFilterEnv.setSampleRate(std::trunc(rate));
}

void SynthVoice::reset(bool full)
{
    fState = kVoiceIdle;
    if (!full)
        return;
    fNote = fDetune = fVelocity = 0;
    fPendingStamp = fPendingNote = fPendingDetune = fPendingVelocity = 0;
    fPendingDelay = -1;
    clearSound();
}

void SynthVoice::silenceBrokenLoop()
{
    fRunaways += 1;
    fState = kVoiceIdle; // a pending note still starts on time
    clearSound();
    fCouplingLowpass = fHeldCoupling = 0.0f;
    fFollowAB.reset();
    fFollowBA.reset();
}

void SynthVoice::clearSound()
{
    fStringA.clear();
    fStringB.clear();
    fBodyFilter.clear();
    fFollowA.reset();
    fFollowB.reset();
    fLossA = fLossB = fDcBA = fDcAB = fCouplingLowpass = fNoiseSmooth = 0.0f;
    fLevel = fLevelA = fLevelB = 0.0f;
}

void SynthVoice::startPendingNote()
{
    fNote = fPendingNote;
    fDetune = fPendingDetune;
    fVelocity = fPendingVelocity;
    fPendingStamp = fPendingNote = fPendingDetune = fPendingVelocity = 0;
    fPendingDelay = -1;
    const float v = static_cast<float>(fVelocity) * kVelocityScale;
    startNote(fNote, v, fEngine->fCurrentParams[kBrightness]);
}

void SynthVoice::startNote(int note, float velocity, float brightness)
{
    const EngineValues& e = *fEngine;
    const float* p = e.fCurrentParams;
    // The time bases follow the host's present rate; new steps and increments take hold below.
    const float rate = usableRate(e.fSampleRate);
    setSampleRate(rate);

    fDcBA = fDcAB = fLossA = fLossB = 0.0f;
    // A sum, not a product: with no velocity sensitivity the gain runs from 1 to 2.
    fVelocityGain = (1.0f - p[kVelocity2Volume]) + velocity;
    fGainA = p[kGain1];
    fGainB = p[kGain2];

    const float ratio = std::pow(kCent, static_cast<float>(fDetune));
    const float f = noteFrequencyTable()[static_cast<size_t>(note & (kNoteTableSize - 1))] * ratio;
    // Delay = loop length - the delay of the loop's own filters.
    fDelayA = rate / f - kLoopTuning;
    fDelayB = rate / (e.fDetuneRatio * f) - kLoopTuning;

    // Seeded from the clock, so two notes struck on different samples get different pans.
    RandomSource::seed(e.fSampleClock + static_cast<uint32_t>(note)
                       + static_cast<uint32_t>(truncToInt32(velocity * 200.0f)));
    const int r = RandomSource::rand() % 1000;
    fPan = (static_cast<float>(r) / kPanSpread - 0.5f) * p[kRandomPan] + 0.5f;
    if (!std::isfinite(fPan))
        fPan = 0.5f; // a non-finite spread pans to the centre rather than poisoning the mix

    if (fDelayA < 0.0f)
        fDelayA = 0.0f;
    if (fDelayB < 0.0f)
        fDelayB = 0.0f;

    // The LFO phases run on from the previous note.
    fLfoA.setFrequency(lfoFrequency(p[kLFO1Freq]));
    fLfoB.setFrequency(lfoFrequency(p[kLFO2Freq]));
    fLfoWarp.setFrequency(lfoFrequency(p[kLFOWarpFreq]));

    fStringA.setDelay(fDelayA);
    fStringB.setDelay(fDelayB);

    float b = velocity * p[kVelocity2Brightness] + brightness;
    if (b > 1.0f)
        b = 1.0f;
    // Seeded by the note alone; the bursts add to whatever the strings still hold.
    fStringA.pluck(note, b);
    fStringB.pluck(note, b);

    fBodyFilter.setOrder(fEngine->activeFilterOrder());
    fBodyFilter.setGain(static_cast<double>(p[kResonance]));
    fBodyFilter.clear();
    loadBody(1, 1);
    loadBody(0, 0);
    // The first samples already hear the new body: warp straight from the parameter, practically set A.
    fBodyFilter.updateCoefficients(static_cast<double>(p[kWarp]), static_cast<double>(p[kResonance]),
                                   kStartMorph);

    fAmpEnv.setSettings({envelopeTime(p[kAttack]), 0.0f, kAmpSustain, envelopeTime(p[kRelease])});
    fAmpEnv.trigger();
    fFilterEnv.setSettings({envelopeTime(p[kFilterAttack]), envelopeTime(p[kFilterDecay]), p[kFilterSustain],
                            envelopeTime(p[kFilterRelease])});
    fFilterEnv.trigger();

    fCouplingLowpass = 0.0f;
    fQuantSteps = p[kQuantization] * 255.0f + 1.0f; // kept fractional
    fQuantStepInv = 1.0f / fQuantSteps;
    fState = kVoiceSounding;
    fSampleCount = 0;

    fFollowAB.setRelease(kPairFollow);
    fFollowAB.setAttack(kPairFollow);
    fFollowAB.reset();
    fFollowBA.setRelease(kPairFollow);
    fFollowBA.setAttack(kPairFollow);
    fFollowBA.reset();
}

void SynthVoice::loadBody(int slot, int set)
{
    const EngineValues& e = *fEngine;
    // Stored values sit at the centre of their twelfth, so x = type + 0.5.
    const float x = (slot != 0 ? e.fCurrentParams[kBodyType1] : e.fCurrentParams[kBodyType2]) * 12.0f;

    const double* values;
    if (x < 1.0f) // "None"
        values = bodyTable(0);
    else if (x < 9.0f) // "Guitar" .. "FormantA"
        values = bodyTable(static_cast<int>(x));
    else if (x < 10.0f) // "Random": continues the sequence the plucks left
        values = bodyTable(RandomSource::rand() % kNumBodyTables);
    else if (x < 11.0f) // "t-Random": a new body at every note, different in the two slots
    {
        WarpedLatticeFilter::randomCoefficients(fBodyScratch.data(),
                                                static_cast<int>(e.fSampleClock + static_cast<uint32_t>(slot)),
                                                kBodyCapacity);
        values = fBodyScratch.data();
    }
    else // "n-Random": every note number its own body, the same in both slots
    {
        WarpedLatticeFilter::randomCoefficients(fBodyScratch.data(), fNote, kBodyCapacity);
        values = fBodyScratch.data();
    }
    fBodyFilter.setCoefficientSet(values, fEngine->activeFilterOrder(), set);
}
