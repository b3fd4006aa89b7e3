// The engine side of the plug-in: initialisation, the block loop with its two ramps, and the stereo mix.
#include "engine/NoteFrequencyTable.h"
#include "plugin/SynthPlugin.h"

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
} // namespace

void SynthPlugin::initEngine()
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
}

void SynthPlugin::renderBlock(float** inputs, float** outputs, int32_t sampleFrames, bool replace)
{
    const float warpTarget = fCurrentParams[kWarp];
    if (sampleFrames > 0)
    {
        // A change that arrived between blocks glides linearly across this block.
        const float frames = static_cast<float>(sampleFrames);
        const float stepWarp = (warpTarget - fWarpSmoothed) / frames;
        const float stepBend = (fBendTarget - fBendRatio) / frames;

        const float* inLeft = inputs != nullptr ? inputs[0] : nullptr;
        const float* inRight = inputs != nullptr ? inputs[1] : nullptr;
        float* outLeft = outputs != nullptr ? outputs[0] : nullptr;
        float* outRight = outputs != nullptr ? outputs[1] : nullptr;

        for (int32_t i = 0; i < sampleFrames; i++)
        {
            const float inL = inLeft != nullptr ? inLeft[i] : 0.0f;
            const float inR = inRight != nullptr ? inRight[i] : 0.0f;
            float pair[2];
            mixSample(pair, inL, inR);
            const float left = pair[0] * fOutputGain;
            const float right = pair[1] * fOutputGain;
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
    }
    // Land exactly on the targets so the float error of the steps never carries into the next block.
    fWarpSmoothed = warpTarget;
    fBendRatio = fBendTarget;
}

void SynthPlugin::mixSample(float* out, float /*inL*/, float /*inR*/)
{
    out[0] = 0.0f;
    out[1] = 0.0f;
    fSampleClock += 1;
}

void SynthPlugin::suspend()
{
    // Every voice becomes idle here once the voices exist.
}

int32_t SynthPlugin::processEvents(VstEvents* /*events*/)
{
    return 1;
}

void SynthPlugin::noteOn(int32_t /*stamp*/, int32_t /*velocity*/, int32_t /*note*/, int32_t /*detune*/,
                         int32_t /*delay*/)
{
}

void SynthPlugin::noteOff(int32_t /*stamp*/, int32_t /*velocity*/, int32_t /*note*/) {}

void SynthPlugin::updateLfoFrequency(int32_t /*index*/)
{
    // Sounding voices take the new LFO frequency here; idle ones pick it up at their next note.
}

void SynthPlugin::applyQuality()
{
    // Every voice's body filter takes its coefficient update interval from fCurrentParams[kQuality] here.
}

void SynthPlugin::updateFilterSustain(float /*value*/)
{
    // Sounding voices move their filter-envelope sustain here.
}
