// One sample of the voices side by side for AVX2 (built with -mavx2, without FMA): one 256-bit register.
#if defined(__x86_64__)

#include "dsp/FloatLanesAvx2.h"
#include "engine/VoiceKernel.h"

uint32_t voiceKernelAvx2(VoiceLaneState& lanes, LatticeBank& bank, const LaneValues& values, uint32_t mask,
                         uint32_t countdown)
{
    return VoiceKernelSteps<FloatLanesAvx2>::render(lanes, bank, values, mask, countdown);
}

#endif
