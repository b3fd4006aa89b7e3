// The engine: initialisation, parameter application, the block loop with its two ramps, and the stereo mix.
#include "engine/SynthEngine.h"

#include "engine/NoteFrequencyTable.h"
#include "engine/SynthVoice.h"
#include "engine/VoiceLanes.h"
#include "params/ProgramBank.h"

#include <cmath>
#include <memory>

namespace
{
constexpr int32_t kNoParameter = -1;

struct ControllerAssignment
{
    int32_t controller;
    int32_t parameter;
};

constexpr ControllerAssignment kControllerAssignments[] = {
    {1, kFilterSustain},   // modulation wheel
    {105, kLeakageCutoff},
    {106, kResonance},
    {107, kWarp},
};

constexpr int kHighQualityInterval = 1;
constexpr int kNormalQualityInterval = 8;

float lfoFrequency(float p)
{
    return 200.0f * p * p;
}

// Out-of-range values may make the sound odd, never non-finite: input and output samples that are not
// finite numbers count as silence.
float finiteOrZero(float x)
{
    return std::isfinite(x) ? x : 0.0f;
}
} // namespace

SynthEngine::SynthEngine()
{
    for (int32_t& parameter : fCcMap)
        parameter = kNoParameter;
    for (const ControllerAssignment& assignment : kControllerAssignments)
        fCcMap[assignment.controller] = assignment.parameter;

    // Starting values for the voices' construction; program 0 replaces them before any sound.
    fCurrentParams[kRandomPan] = 0.0f;
    fCurrentParams[kVelocity2Volume] = 0.5f;
    fCurrentParams[kVelocity2Brightness] = 0.5f;
    fFilterOrder = 5;
    fBendTarget = 1.0f;
    fBendRatio = 1.0f;
    fDetuneRatio = 1.0f;
    fCurrentParams[kWarp] = 0.5f;
    fCurrentParams[kResonance] = 0.8f;
    fSampleClock = 0;

    fWarpSmoothed = fCurrentParams[kWarp];

    noteFrequencyTable();

    fNextVoice = 0;
    // One after the other: each voice's noise table continues the generator where the previous one left it.
    for (std::unique_ptr<SynthVoice>& voice : fVoices)
        voice = std::make_unique<SynthVoice>(this, kStringCapacity);
    fLanes = std::make_unique<VoiceLanes>(*this);
}

SynthEngine::~SynthEngine() = default;

void SynthEngine::setSampleRate(float rate)
{
    // Changes posted before the new rate act with the old one (a filter-envelope sustain recomputes its steps).
    applyPostedChanges();
    syncVoices();
    // The voices' envelopes and LFOs follow the host's rate; their loop delays take it at every note start.
    fSampleRate = rate;
    for (std::unique_ptr<SynthVoice>& voice : fVoices)
        if (voice != nullptr)
            voice->setSampleRate(rate);
}

void SynthEngine::setParameter(int32_t index, float value)
{
    if (index < 0 || index >= kNumParams)
        return;
    switch (applyParameter(*this, index, value, fSampleClock))
    {
    case VoicePush::lfoFrequency:
        updateLfoFrequency(index);
        break;
    case VoicePush::filterSustain:
        updateFilterSustain(fCurrentParams[index]);
        break;
    case VoicePush::quality:
        applyQuality();
        break;
    case VoicePush::none:
        break;
    }
}

float SynthEngine::getParameter(int32_t index) const
{
    if (index < 0 || index >= kNumParams)
        return 0.0f;
    return fCurrentParams[index];
}

void SynthEngine::applyProgram(const float values[kNumParams])
{
    for (int32_t index : kProgramApplyOrder)
        setParameter(index, values[index]);
}

void SynthEngine::applyPostedChanges()
{
    fInbox.take([this](int32_t index, float value) { setParameter(index, value); });
}

double* SynthEngine::randomBodyTable(int32_t which)
{
    return which == 0 ? fRandomBody1 : fRandomBody2;
}

void SynthEngine::renderBlock(const float* const* inputs, float* const* outputs, int32_t sampleFrames, bool replace)
{
    applyPostedChanges();
    // A ramp that lost its way (a non-finite value was applied) starts again from its target.
    if (!std::isfinite(fWarpSmoothed))
        fWarpSmoothed = fCurrentParams[kWarp];
    if (!std::isfinite(fBendRatio))
        fBendRatio = fBendTarget;
    if (sampleFrames > 0)
    {
        // A change that arrived between blocks glides linearly across this block.
        const float frames = static_cast<float>(sampleFrames);
        const float stepWarp = (fCurrentParams[kWarp] - fWarpSmoothed) / frames;
        const float stepBend = (fBendTarget - fBendRatio) / frames;

        const float* inLeft = inputs != nullptr ? inputs[0] : nullptr;
        const float* inRight = inputs != nullptr ? inputs[1] : nullptr;
        // Without output buffers the voices still run, so notes and the clock keep their time.
        float* outLeft = outputs != nullptr ? outputs[0] : nullptr;
        float* outRight = outputs != nullptr ? outputs[1] : nullptr;

        const bool lanes = fLanes->beginBlock();
        for (int32_t i = 0; i < sampleFrames; i++)
        {
            const float inL = inLeft != nullptr ? finiteOrZero(inLeft[i]) : 0.0f;
            const float inR = inRight != nullptr ? finiteOrZero(inRight[i]) : 0.0f;
            float pair[2];
            if (lanes)
                fLanes->mixSample(pair, inL, inR, fWarpSmoothed + stepWarp);
            else
                mixSample(pair, inL, inR);
            const float left = finiteOrZero(pair[0] * fOutputGain);
            const float right = finiteOrZero(pair[1] * fOutputGain);
            if (replace)
            {
                if (outLeft != nullptr)
                    outLeft[i] = left;
                if (outRight != nullptr)
                    outRight[i] = right;
            }
            else
            {
                if (outLeft != nullptr)
                    outLeft[i] += left;
                if (outRight != nullptr)
                    outRight[i] += right;
            }
            fWarpSmoothed += stepWarp;
            fBendRatio += stepBend;
        }
        if (lanes)
            fLanes->endBlock();
    }
    // Land exactly on the targets so the float error of the steps never carries into the next block;
    // a change made while the block rendered takes hold here.
    fWarpSmoothed = fCurrentParams[kWarp];
    fBendRatio = fBendTarget;
}

void SynthEngine::mixSample(float* out, float inL, float inR)
{
    float left = 0.0f;
    float right = 0.0f;
    const int32_t count = activeVoiceCount();
    // The input excites every active voice at 1/count of its level.
    const float scale = 1.0f / static_cast<float>(count);
    const float a = inL * scale;
    const float b = inR * scale;
    for (int32_t i = 0; i < count; i++)
    {
        SynthVoice* voice = fVoices[static_cast<size_t>(i)].get();
        if (voice == nullptr)
            continue;
        const float s = voice->renderSample(a, b);
        left += voice->fPan * s;
        right += (1.0f - voice->fPan) * s;
    }
    out[0] = left;
    out[1] = right;
    fSampleClock += 1;
}

void SynthEngine::suspend()
{
    syncVoices();
    applyPostedChanges();
    // All eight, also those above the present polyphony.
    for (std::unique_ptr<SynthVoice>& voice : fVoices)
        if (voice != nullptr)
            voice->reset(true);
}

void SynthEngine::updateLfoFrequency(int32_t index)
{
    if (index != kLFO1Freq && index != kLFO2Freq && index != kLFOWarpFreq)
        return;
    syncVoices();
    // Idle voices take the frequency at their next note start.
    const float hz = lfoFrequency(fCurrentParams[index]);
    for (std::unique_ptr<SynthVoice>& voice : fVoices)
    {
        if (voice == nullptr || voice->getState() == kVoiceIdle)
            continue;
        TableLfo& lfo = index == kLFO1Freq ? voice->fLfoA : (index == kLFO2Freq ? voice->fLfoB : voice->fLfoWarp);
        lfo.setFrequency(hz);
    }
}

void SynthEngine::applyQuality()
{
    syncVoices();
    const int interval = fCurrentParams[kQuality] > 0.5f ? kHighQualityInterval : kNormalQualityInterval;
    for (std::unique_ptr<SynthVoice>& voice : fVoices)
        if (voice != nullptr)
            voice->fBodyFilter.setUpdateInterval(interval);
}

void SynthEngine::updateFilterSustain(float value)
{
    syncVoices();
    for (std::unique_ptr<SynthVoice>& voice : fVoices)
        if (voice != nullptr && voice->getState() != kVoiceIdle)
            voice->fFilterEnv.setSustain(value);
}

void SynthEngine::syncVoices()
{
    if (fLanes != nullptr)
        fLanes->flush();
}

bool SynthEngine::setVoicePath(VoicePath path)
{
    return fLanes->setPath(path);
}

VoicePath SynthEngine::getVoicePath() const
{
    return fLanes->getPath();
}

void SynthEngine::setMinimumLaneVoices(int count)
{
    fLanes->setMinimumVoices(count);
}
