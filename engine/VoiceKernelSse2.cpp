// One sample of the voices side by side for SSE2, the x86-64 baseline: the lanes in pairs of 128-bit registers.
#if defined(__x86_64__)

#include "dsp/FloatLanesSse2.h"
#include "engine/VoiceKernel.h"

uint32_t voiceKernelSse2(VoiceLaneState& lanes, LatticeBank& bank, const LaneValues& values, uint32_t mask,
                         uint32_t countdown)
{
    return VoiceKernelSteps<FloatLanesSse2>::render(lanes, bank, values, mask, countdown);
}

#endif
