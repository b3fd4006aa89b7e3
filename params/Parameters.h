// Parameter indices and the fixed sizes of the program bank, the voices and the body filter.
#pragma once

#include <cstdint>

enum ParameterIndex : int32_t
{
    kBrightness = 0,
    kAttack,
    kRelease,
    kCutoff1,
    kGain1,
    kSaturation1,
    kLFO1Freq,
    kLFO1Amp,
    kLeakage1,
    kQuantization,
    kLeakageCutoff,
    kPolarity2,
    kDetune2,
    kCutoff2,
    kGain2,
    kSaturation2,
    kLFO2Freq,
    kLFO2Amp,
    kLeakage2,
    kFilterTopology,
    kFilterOrder,
    kResonance,
    kWarp,
    kLFOWarpFreq,
    kLFOWarpAmp,
    kBodyType1,
    kBodyType2,
    kFilterAttack,
    kFilterDecay,
    kFilterSustain,
    kFilterRelease,
    kRandomPan,
    kVelocity2Volume,
    kVelocity2Brightness,
    kMix,
    kVolume,
    kPolyphony,
    kQuality,
    kNumParams
};

static_assert(kNumParams == 38);

constexpr int32_t kNumPrograms = 32;
constexpr int32_t kMaxVoices = 8;
// Sections of the body filter, and so the length of every body coefficient set.
constexpr int32_t kMaxFilterOrder = 30;
// Controllers 0..126 have a map entry; 127 has none.
constexpr int32_t kNumControllers = 127;
