// How a parameter value becomes engine state: storing it and deriving the engine values.
#include "params/ParameterApplication.h"

#include "dsp/WarpedLatticeFilter.h"

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

bool isBodyType(int32_t index)
{
    return index == kBodyType1 || index == kBodyType2;
}

// A body type is snapped to the middle of its twelfth, so applying it again finds the same bin.
float quantisedBodyType(float value)
{
    const float bin = std::floor(kBodyBins * value);
    return static_cast<float>((static_cast<long double>(bin) + 0.5L) / 12.0L);
}

void applyBodyType(ParameterState& state, int32_t index, float q, uint32_t randomSeed)
{
    const bool first = index == kBodyType1;
    const float position = kBodyBins * q;
    (first ? state.fBodyOn1 : state.fBodyOn2) = position > 1.0f;
    if (position >= kFirstRandomBodyBin)
        WarpedLatticeFilter::randomCoefficients(first ? state.fRandomBody1 : state.fRandomBody2,
                                                static_cast<int>(randomSeed), kMaxFilterOrder);
}
} // namespace

float storedParameterValue(int32_t index, float value)
{
    return isBodyType(index) ? quantisedBodyType(value) : value;
}

VoicePush applyParameter(ParameterState& state, int32_t index, float value, uint32_t randomSeed)
{
    if (index < 0 || index >= kNumParams)
        return VoicePush::none;
    const float v = storedParameterValue(index, value);
    state.fCurrentParams[index] = v;

    switch (index)
    {
    case kCutoff1:
        state.fLossCoef1 = (1.0f - v) * kLossScale;
        break;
    case kCutoff2:
        state.fLossCoef2 = (1.0f - v) * kLossScale;
        break;
    case kSaturation1:
        state.fSatDrive1 = v * v * v;
        break;
    case kSaturation2:
        state.fSatDrive2 = v * v * v;
        break;
    case kLFO1Freq:
    case kLFO2Freq:
    case kLFOWarpFreq:
        return VoicePush::lfoFrequency;
    case kLeakage1:
        state.fLeakGain1 = v * v;
        state.fLeakOn1 = v > 0.0f;
        break;
    case kLeakage2:
        state.fLeakGain2 = v * v;
        state.fLeakOn2 = v > 0.0f;
        break;
    case kQuantization:
        state.fQuantizeOn = static_cast<double>(v) < kQuantizerOffLow || static_cast<double>(v) > kQuantizerOffHigh;
        state.fNoiseGain = powf(2.0f, -8.0f * (1.0f - v));
        break;
    case kDetune2:
        state.fDetuneRatio = powf(kCent, kCentsPerOctave * v);
        break;
    case kFilterOrder:
        state.fFilterOrder = truncToInt32(29.0f * v + 1.0f);
        break;
    case kBodyType1:
    case kBodyType2:
        applyBodyType(state, index, v, randomSeed);
        break;
    case kFilterSustain:
        return VoicePush::filterSustain;
    case kMix:
        state.fMixComplement = 1.0f - v;
        break;
    case kVolume:
        state.fOutputGain = v * v * v * v;
        break;
    case kPolyphony:
        // floor(7 v) + 1, formed in float so that no value can overflow the integer
        state.fVoiceCount = truncToInt32(std::floor(7.0f * v) + 1.0f);
        break;
    case kQuality:
        state.fHighQuality = v > 0.5f;
        return VoicePush::quality;
    default:
        break; // read by the renderer or the voices when they need it
    }
    return VoicePush::none;
}
