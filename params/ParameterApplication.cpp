// How a parameter value becomes engine state: storing it, deriving engine values, pushing changes to voices.
#include "dsp/WarpedLatticeFilter.h"
#include "params/SafeConvert.h"
#include "plugin/SynthPlugin.h"

#include <cmath>

namespace
{
constexpr float kLossScale = 0.949999988f;      // 0.95 as stored
constexpr float kCent = 1.0005777895f;          // 2^(1/1200), 1.0005778074 as stored
constexpr float kCentsPerOctave = 1200.0f;
constexpr double kQuantizerOffLow = 0.49;       // the quantizer stage rests on 0.49..0.51
constexpr double kQuantizerOffHigh = 0.51;
constexpr float kBodyBins = 12.0f;
constexpr float kFirstRandomBodyBin = 8.0f;     // "FormantA" and above use a random coefficient set
} // namespace

void SynthPlugin::setParameter(int32_t index, float value)
{
    if (index < 0 || index >= kNumParams)
        return;
    if (index == kBodyType1 || index == kBodyType2)
    {
        applyBodyType(index, value);
        return;
    }
    currentProgram().fParams[index] = value;
    fCurrentParams[index] = value;

    const float v = value;
    switch (index)
    {
    case kCutoff1:
        fLossCoef1 = (1.0f - v) * kLossScale;
        break;
    case kCutoff2:
        fLossCoef2 = (1.0f - v) * kLossScale;
        break;
    case kSaturation1:
        fSatDrive1 = v * v * v;
        break;
    case kSaturation2:
        fSatDrive2 = v * v * v;
        break;
    case kLFO1Freq:
    case kLFO2Freq:
    case kLFOWarpFreq:
        updateLfoFrequency(index);
        break;
    case kLeakage1:
        fLeakGain1 = v * v;
        fLeakOn1 = v > 0.0f;
        break;
    case kLeakage2:
        fLeakGain2 = v * v;
        fLeakOn2 = v > 0.0f;
        break;
    case kQuantization:
        fQuantizeOn = static_cast<double>(v) < kQuantizerOffLow || static_cast<double>(v) > kQuantizerOffHigh;
        fNoiseGain = powf(2.0f, -8.0f * (1.0f - v));
        break;
    case kDetune2:
        fDetuneRatio = powf(kCent, kCentsPerOctave * v);
        break;
    case kFilterOrder:
        fFilterOrder = truncToInt32(29.0f * v + 1.0f);
        break;
    case kFilterSustain:
        updateFilterSustain(v);
        break;
    case kMix:
        fMixComplement = 1.0f - v;
        break;
    case kVolume:
        fOutputGain = v * v * v * v;
        break;
    case kPolyphony:
        // floor(7 v) + 1, formed in float so that no value can overflow the integer
        fVoiceCount = truncToInt32(std::floor(7.0f * v) + 1.0f);
        break;
    case kQuality:
        fHighQuality = v > 0.5f;
        applyQuality();
        break;
    default:
        break; // read by the renderer or the voices when they need it
    }
}

// A body type is snapped to the middle of its twelfth, so applying it again finds the same bin.
void SynthPlugin::applyBodyType(int32_t index, float value)
{
    const float bin = std::floor(kBodyBins * value);
    const float q = static_cast<float>((static_cast<long double>(bin) + 0.5L) / 12.0L);
    currentProgram().fParams[index] = q;
    fCurrentParams[index] = q;

    const bool first = index == kBodyType1;
    const float position = kBodyBins * q;
    (first ? fBodyOn1 : fBodyOn2) = position > 1.0f;
    if (position >= kFirstRandomBodyBin)
        WarpedLatticeFilter::randomCoefficients(first ? fRandomBody1 : fRandomBody2,
                                                static_cast<int>(fSampleClock), kMaxFilterOrder);
}

float SynthPlugin::getParameter(int32_t index)
{
    if (index < 0 || index >= kNumParams)
        return 0.0f;
    return fCurrentParams[index];
}

double* SynthPlugin::randomBodyTable(int32_t which)
{
    return which == 0 ? fRandomBody1 : fRandomBody2;
}
