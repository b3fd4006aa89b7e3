// One sample of the voices side by side for AVX-512 (built with -mavx512f -mavx512vl, never fused): the
// AVX2 operations with AVX-512's thirty-two registers; its body filters run at full 512-bit width.
#if defined(__x86_64__)

#include "dsp/FloatLanesAvx2.h"
#include "engine/VoiceKernel.h"

uint32_t voiceKernelAvx512(VoiceLaneState& lanes, LatticeBank& bank, const LaneValues& values, uint32_t mask,
                           uint32_t countdown)
{
    return VoiceKernelSteps<FloatLanesAvx2>::render(lanes, bank, values, mask, countdown);
}

#endif
