// What every voice reads from its engine: the parameters with their derived values, the two ramps, the
// sample clock and the sample rate. The voices see the engine only through this.
#pragma once

#include "params/ParameterApplication.h"

#include <cstdint>

struct EngineValues : ParameterState
{
    float fBendRatio = 0.0f;    // pitch-bend ratio of the loop delays, ramped per block
    float fWarpSmoothed = 0.0f; // kWarp, ramped per block
    uint32_t fSampleClock = 0;  // rendered samples; wraps after 2^32 instead of overflowing
    float fSampleRate = 44100.0f; // as the host gave it; note starts take it
};
