// One note of the instrument: two coupled plucked strings, a warped body filter, three LFOs, two envelopes.
#pragma once

#include <array>
#include <cmath>

#include "dsp/AdsrEnvelope.h"
#include "dsp/BodyTable.h"
#include "dsp/EnvelopeFollower.h"
#include "dsp/NoiseTable.h"
#include "dsp/StringDelayLine.h"
#include "dsp/TableLfo.h"
#include "dsp/WarpedLatticeFilter.h"
#include "params/Parameters.h"
#include "engine/EngineValues.h"

enum VoiceState : int
{
    kVoiceSounding = 2,
    kVoiceIdle = 6,
    kVoiceWaiting = 7,
};

constexpr int kStringCapacity = 8192;

// Fields are plain and public: note handling writes the pending note into a voice and releases its
// envelopes, the block loop reads its pan, and the parameter pushes reach its LFOs and filter.
class SynthVoice
{
public:
    static constexpr int kNoiseCount = 44100;
    static constexpr int kBodyCapacity = kBodyCoefficients;

    SynthVoice(const EngineValues* engine, int capacity);
    virtual ~SynthVoice() = default;
    SynthVoice(const SynthVoice&) = delete;
    SynthVoice& operator=(const SynthVoice&) = delete;

    // Called once per sample for every active voice, so kept out of the virtual table.
    float renderSample(float inL, float inR);

    virtual void reset(bool full);
    virtual void startNote(int note, float velocity, float brightness);
    virtual float getLevel() const { return fLevel; }
    virtual int getState() const { return fState; }
    // Slot 1 (slot != 0) reads kBodyType1, slot 2 (slot 0) kBodyType2; set A when set != 0, else set B.
    virtual void loadBody(int slot, int set);

    // Envelopes and LFOs take the rate for their next settings; the loop delays take it at the next note.
    void setSampleRate(float rate);

    bool hasPendingNote() const { return fPendingDelay >= 0; }

    // The limiter of the two coupling signals, given their followers' levels eAB and eBA.
    static void limitPair(float eAB, float eBA, float& cAB, float& cBA);

    // Shared with the lane kernels, which render the same steps side by side.
    static constexpr float kDenormOffset = 9.9999998e-15f; // 1e-14 as stored; keeps the loops off denormals
    static constexpr float kLoopTuning = 1.2999999523f;    // 1.3 as stored: the loop filters' own delay
    static constexpr float kCent = 1.0005778074f;          // 2^(1/1200) as stored
    static constexpr float kVelocityScale = 0.007874016f;  // 1/127 as stored
    static constexpr float kWaitDamping = 0.98f;
    static constexpr float kWaitSilence = 1e-5f;
    static constexpr float kEndSilence = 1e-6f;
    static constexpr uint32_t kMinNoteLength = 44100; // strings may die only after this many samples
    static constexpr float kLimitThreshold = 0.6f;
    static constexpr float kLimitSlope = 20.0f;
    static constexpr float kDcPole = 0.97f;
    static constexpr float kCouplingClamp = 0.5f;
    static constexpr float kMinWarp = 0.0001f;
    static constexpr float kMaxWarp = 0.999f;
    static constexpr float kOutputPosition = 0.66666669f; // from here up: body filter on the output
    static constexpr float kBToAPosition = 0.33333334f;   // above: body filter in the B->A path
    static constexpr double kStartMorph = static_cast<double>(1e-7f); // practically set A alone
    // Strings, their mix and the voice's output stay within a few units in any playing at 44.1 kHz and
    // above (the factory programs peak near 2): 100 is some 30 dB above that, yet eight voices at it still
    // stay within +-1000 at the output. Only loops that run away (a cubic saturation out of its basin, an
    // unstable body on the output, loops shorter than two samples at low rates) ever reach it.
    static constexpr float kRunawayCeiling = 100.0f;

    float fPan = 0.5f;
    int fCapacity;
    const EngineValues* fEngine; // the values this voice reads every sample
    StringDelayLine fStringA;
    StringDelayLine fStringB;
    WarpedLatticeFilter fBodyFilter;
    TableLfo fLfoA;
    TableLfo fLfoB;
    TableLfo fLfoWarp;
    NoiseTable fNoise;
    AdsrEnvelope fAmpEnv;
    AdsrEnvelope fFilterEnv;
    EnvelopeFollower fFollowA;
    EnvelopeFollower fFollowB;
    EnvelopeFollower fFollowAB;
    EnvelopeFollower fFollowBA;
    float fLossA = 0.0f;
    float fLossB = 0.0f;
    float fDcBA = 0.0f;
    float fDcAB = 0.0f;
    float fGainA = 0.0f;
    float fGainB = 0.0f;
    float fCouplingLowpass = 0.0f;
    float fHeldCoupling = 0.0f;
    float fLevel = 0.0f;
    float fLevelA = 0.0f;
    float fLevelB = 0.0f;
    float fDelayA = 0.0f;
    float fDelayB = 0.0f;
    float fNoiseSmooth = 0.0f;
    float fDenormOffset = kDenormOffset;
    float fQuantSteps = 0.0f;
    float fQuantStepInv = 0.0f;
    float fVelocityGain = 0.0f;
    uint32_t fSampleCount = 0; // unsigned so a note held for days wraps instead of overflowing
    int fState = kVoiceIdle;
    int fNote = 0;
    int fDetune = 0;
    int fVelocity = 0;
    int fPendingStamp = 0;
    int fPendingNote = 0;
    int fPendingDetune = 0;
    int fPendingVelocity = 0;
    int fPendingDelay = -1; // samples to wait before the pending note starts; negative when none waits
    uint32_t fRunaways = 0;  // loops silenced since construction
    // Filled by "t-Random" and "n-Random" just before it is copied into the filter; each voice has its own
    // so the audio thread never shares it with a parameter change.
    std::array<double, kBodyCapacity> fBodyScratch{};

private:
    friend class VoiceLanes; // starts notes and silences loops of voices it renders side by side

    void startPendingNote();
    // Strings, filter and loop states back to silence.
    void clearSound();
    // A loop that has run away is silenced (cleared, idle until its next note) instead of reaching the mix.
    void silenceBrokenLoop();
    float bodyFilter(float x, float warp, float morph);
    float couplingAToB(float a, float b);
    void limitCoupling(float& cAB, float& cBA);
    void blockDc(float& cAB, float& cBA);
    void retune();
};

// The A->B coupling signal: the low-passed signal of A, or with the quantizer on a stepped or noisy value
// derived from B and the two string levels.
inline float SynthVoice::couplingAToB(float a, float b)
{
    const EngineValues& e = *fEngine;
    const float k = 1.0f - e.fCurrentParams[kLeakageCutoff];
    const float d = fDenormOffset;

    // Compared in double so a level resting at the follower's floor does not pass.
    if (!(e.fQuantizeOn && static_cast<double>(fLevelB) > 1e-13))
    {
        fCouplingLowpass = k * (fCouplingLowpass - a) + a + d;
        return fCouplingLowpass * e.fLeakGain1;
    }

    float v;
    if (!e.fHighQuality && fSampleCount % 4 != 0)
    {
        v = fHeldCoupling; // normal quality recomputes only every fourth sample of the note
    }
    else
    {
        const float q = e.fCurrentParams[kQuantization];
        if (q > 0.0f && q < 0.5f) // quantize: B in steps of A's level, with A's sign
            v = std::copysign(std::ceil(std::fabs(b / fLevelA * fQuantSteps)) * fLevelA * fQuantStepInv, a);
        else if (q <= 0.0f) // one step: A's level with A's sign
            v = std::copysign(fLevelA, a);
        else // noise scaled by B's level
        {
            const float r = std::copysign(fNoise.next(), a);
            fNoiseSmooth = k * (fNoiseSmooth - r) + r;
            v = fLevelB * fNoiseSmooth * e.fNoiseGain + a;
        }
        v = v * e.fLeakGain1;
        fHeldCoupling = v;
    }
    fCouplingLowpass = k * (fCouplingLowpass - v) + v + d;
    return fCouplingLowpass;
}

// Some body sets (random ones above all) make the lattice unstable; once its output leaves the float
// range the filter starts again from silence rather than feeding infinities or NaN into the strings.
inline float SynthVoice::bodyFilter(float x, float warp, float morph)
{
    const float y = static_cast<float>(fBodyFilter.process(static_cast<double>(x), warp, morph));
    if (std::isfinite(y))
        return y;
    fBodyFilter.clear();
    return 0.0f;
}

inline void SynthVoice::limitCoupling(float& cAB, float& cBA)
{
    const float eAB = fFollowAB.process(cAB);
    const float eBA = fFollowBA.process(cBA);
    limitPair(eAB, eBA, cAB, cBA);
}

// Both paths over 0.6 are damped by the third-order series of e^(-20 x excess), one alone by the
// exponential itself.
inline void SynthVoice::limitPair(float eAB, float eBA, float& cAB, float& cBA)
{
    if (eAB > kLimitThreshold && eBA > kLimitThreshold)
    {
        const float x = (eAB - kLimitThreshold) * kLimitSlope;
        const float y = (eBA - kLimitThreshold) * kLimitSlope;
        cAB = cAB / (1.0f + x + x * x * 0.5f + x * x * x * 0.16666667f);
        cBA = cBA / (1.0f + y + y * y * 0.5f + y * y * y * 0.16666667f);
    }
    else if (eAB > kLimitThreshold)
    {
        cAB = cAB * std::exp((0.0f - (eAB - kLimitThreshold)) * kLimitSlope);
    }
    else if (eBA > kLimitThreshold)
    {
        cBA = cBA * std::exp((0.0f - (eBA - kLimitThreshold)) * kLimitSlope);
    }
}

inline void SynthVoice::blockDc(float& cAB, float& cBA)
{
    if (!(fEngine->fLeakOn1 || fEngine->fLeakOn2))
        return;
    fDcBA = (fDcBA - cBA) * kDcPole + cBA;
    fDcAB = (fDcAB - cAB) * kDcPole + cAB;
    cBA -= fDcBA;
    cAB -= fDcAB;
}

// Normal quality retunes only every eighth sample; the LFOs advance every sample in both qualities.
inline void SynthVoice::retune()
{
    const EngineValues& e = *fEngine;
    if (!(e.fHighQuality || fSampleCount % 8 == 0))
    {
        fLfoA.next();
        fLfoB.next();
        return;
    }
    // A string whose delay was raised from below 0 at note start is neither retuned nor its LFO advanced.
    if (fDelayA > 0.0f)
        fStringA.setDelay((fLfoA.next() * e.fCurrentParams[kLFO1Amp] + 1.0f) * (fDelayA * e.fBendRatio));
    if (fDelayB > 0.0f)
        fStringB.setDelay((fLfoB.next() * e.fCurrentParams[kLFO2Amp] + 1.0f) * (fDelayB * e.fBendRatio));
}

inline float SynthVoice::renderSample(float inL, float inR)
{
    if (fPendingDelay == 0)
    {
        startPendingNote();
    }
    else if (fPendingDelay > 0)
    {
        // The old sound keeps running while its loop gains die away.
        fState = kVoiceWaiting;
        fPendingDelay -= 1;
    }
    if (fState == kVoiceIdle)
        return 0.0f;

    const EngineValues& e = *fEngine;
    const float* p = e.fCurrentParams;
    const float d = fDenormOffset;

    const float rA = fStringA.lastOutput() + inL;
    const float rB = fStringB.lastOutput() + inR;
    // x + s(x - x^3): a cubic with extra gain 1 + s near zero.
    const float sA = (e.fSatDrive1 * rA - e.fSatDrive1 * rA * (rA * rA)) + rA;
    const float sB = (e.fSatDrive2 * rB - e.fSatDrive2 * rB * (rB * rB)) + rB;
    fLossA = (fLossA - sA) * e.fLossCoef1 + sA;
    fLossB = (fLossB - sB) * e.fLossCoef2 + sB;
    const float a = fLossA;
    const float b = fLossB;

    fLevelA = fFollowA.process(a);
    fLevelB = fFollowB.process(b);
    fLevel = (fLevelB - fLevelA) * e.fMixComplement + fLevelA;

    float cAB = couplingAToB(a, b);
    float cBA = b * e.fLeakGain2;
    limitCoupling(cAB, cBA);

    if (fState == kVoiceWaiting)
    {
        fGainA *= kWaitDamping;
        fGainB *= kWaitDamping;
        if (fLevel < kWaitSilence)
            fState = kVoiceIdle; // the rest of this sample still runs
    }

    const float m = (sB - sA) * e.fMixComplement + sA;
    const float topo = p[kFilterTopology];
    const bool bodyOn = e.fBodyOn1 || e.fBodyOn2;
    float w = 0.0f;
    float env = 0.0f;
    if (bodyOn)
    {
        w = fLfoWarp.next() * (0.5f * p[kLFOWarpAmp]) + e.fWarpSmoothed;
        if (w > kMaxWarp)
            w = kMaxWarp;
        if (!(w >= kMinWarp)) // also NaN
            w = kMinWarp;
        env = fFilterEnv.tick(); // the filter envelope runs only while the body filter does
    }
    const bool positive = p[kPolarity2] > 0.5f;
    const float gainB = positive ? fGainB : 0.0f - fGainB;

    float out;
    blockDc(cAB, cBA);
    if (topo >= kOutputPosition)
    {
        fStringA.tick(fGainA * a + cBA + d);
        fStringB.tick(gainB * b + cAB + d);
        if (bodyOn)
            out = bodyFilter(m + d, w, env) * fVelocityGain;
        else
            out = m * fVelocityGain;
    }
    else
    {
        if (bodyOn)
        {
            if (topo > kBToAPosition)
                cBA = bodyFilter(cBA + d, w, env);
            else
                cAB = bodyFilter(cAB + d, w, env);
        }
        cBA = cBA < -kCouplingClamp ? -kCouplingClamp : (cBA > kCouplingClamp ? kCouplingClamp : cBA);
        cAB = cAB < -kCouplingClamp ? -kCouplingClamp : (cAB > kCouplingClamp ? kCouplingClamp : cAB);
        // In the coupling positions B feeds back into A inverted.
        fStringA.tick(fGainA * a - cBA + d);
        fStringB.tick(gainB * b + d + cAB);
        out = m * fVelocityGain;
    }

    const float g = fAmpEnv.tick();
    if (fAmpEnv.getStage() == AdsrEnvelope::kIdle)
        fState = kVoiceIdle;
    fSampleCount += 1;
    retune();
    fDenormOffset = 0.0f - fDenormOffset;
    if (fLevel < kEndSilence && fSampleCount > kMinNoteLength)
        fState = kVoiceIdle;
    const float result = g * out;
    // A loop that runs away is silenced at the first sample past the ceiling, before that sample is heard.
    // Both strings are looked at, as the mix may leave one out; NaN fails every comparison.
    if (!(std::fabs(sA) <= kRunawayCeiling && std::fabs(sB) <= kRunawayCeiling && std::fabs(m) <= kRunawayCeiling
          && std::fabs(out) <= kRunawayCeiling && std::fabs(result) <= kRunawayCeiling))
    {
        silenceBrokenLoop();
        return 0.0f;
    }
    return result;
}
