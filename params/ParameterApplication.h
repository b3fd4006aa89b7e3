// How a parameter value becomes engine state: the current values and every value derived from them.
#pragma once

#include "params/Parameters.h"
#include "params/SafeConvert.h"

#include <cstdint>

// The 38 current values as last applied and the engine quantities derived from them. Written only by
// applyParameter; the voices read them every sample.
struct ParameterState
{
    // The body types hold their quantised value.
    float fCurrentParams[kNumParams]{};

    float fLossCoef1 = 0.0f;
    float fLossCoef2 = 0.0f;
    float fSatDrive1 = 0.0f;
    float fSatDrive2 = 0.0f;
    float fLeakGain1 = 0.0f;
    float fLeakGain2 = 0.0f;
    bool fLeakOn1 = false;
    bool fLeakOn2 = false;
    bool fQuantizeOn = false;
    float fNoiseGain = 0.0f;
    float fDetuneRatio = 0.0f;
    int32_t fFilterOrder = 0; // as computed; use activeFilterOrder() to index
    bool fBodyOn1 = false;
    bool fBodyOn2 = false;
    double fRandomBody1[kMaxFilterOrder]{};
    double fRandomBody2[kMaxFilterOrder]{};
    float fMixComplement = 0.0f;
    float fOutputGain = 0.0f;
    int32_t fVoiceCount = 0; // as computed; use activeVoiceCount() to index
    bool fHighQuality = false;

    // The counts as the engine may use them: stored values can lie anywhere, indices must not.
    int32_t activeVoiceCount() const { return clampInt32(fVoiceCount, 1, kMaxVoices); }
    int32_t activeFilterOrder() const { return clampInt32(fFilterOrder, 1, kMaxFilterOrder); }
};

// What a change asks of the sounding voices beyond the values above.
enum class VoicePush
{
    none,
    lfoFrequency,  // kLFO1Freq, kLFO2Freq, kLFOWarpFreq
    filterSustain, // kFilterSustain
    quality,       // kQuality
};

// The value a parameter is stored as: the body types snap to the middle of their twelfth, the rest are
// kept unchanged and unclamped.
float storedParameterValue(int32_t index, float value);

// Stores the value (index 0..37) and derives what depends on it. A body type from "FormantA" up refills
// its random coefficient set from randomSeed (the engine's sample clock).
VoicePush applyParameter(ParameterState& state, int32_t index, float value, uint32_t randomSeed);
