// Lattice bank kernel for AVX-512VL at 256-bit width (built with -mavx512f -mavx512vl, never fused):
// two registers of four lanes, with mask registers for the per-lane selects and stores.
#if defined(__x86_64__)

#include <immintrin.h>

#include <cstdint>

#include "dsp/LatticeKernel.h"
#include "dsp/LatticePairs256.h"

namespace
{
// 256-bit registers: on some CPUs (Zen 4 among them) 512-bit operations take longer, and the sections
// are a chain of dependent operations, so latency is what counts.
struct Avx512VlOps : PairOps256
{
    struct Mask
    {
        __mmask8 lo; // lanes 0..3
        __mmask8 hi; // lanes 4..7
    };
    static constexpr bool kFuseUpdate = true;
    static constexpr uint32_t kOwnLanes = LatticeLanes::kAllLanes; // the lanes this type holds

    static Mask lanes(uint32_t bits)
    {
        return {static_cast<__mmask8>(bits & 15u), static_cast<__mmask8>(bits >> 4 & 15u)};
    }
    static Mask section(const LatticeLanes& lanes, int i) { return Avx512VlOps::lanes(lanes.sectionLanes[i]); }
    static Mask both(Mask a, Mask b)
    {
        return {static_cast<__mmask8>(a.lo & b.lo), static_cast<__mmask8>(a.hi & b.hi)};
    }
    static Mask butNot(Mask a, Mask b)
    {
        return {static_cast<__mmask8>(a.lo & ~b.lo), static_cast<__mmask8>(a.hi & ~b.hi)};
    }
    static Pack select(Mask m, const Pack& ifClear, const Pack& ifSet)
    {
        return {_mm256_mask_blend_pd(m.lo, ifClear.lo, ifSet.lo), _mm256_mask_blend_pd(m.hi, ifClear.hi, ifSet.hi)};
    }
    static Pack addWhere(Mask m, const Pack& kept, const Pack& a, const Pack& b)
    {
        return {_mm256_mask_add_pd(kept.lo, m.lo, a.lo, b.lo), _mm256_mask_add_pd(kept.hi, m.hi, a.hi, b.hi)};
    }
    static void storeWhere(double* p, Mask m, const Pack&, const Pack& v)
    {
        _mm256_mask_storeu_pd(p, m.lo, v.lo);
        _mm256_mask_storeu_pd(p + 4, m.hi, v.hi);
    }
};
} // namespace

namespace
{
void output(LatticeLanes& lanes, const LatticeStep& step, const double* x, const double* lambda, const double* morph,
            double* y)
{
    latticeOutput<Avx512VlOps>(lanes, step, x, lambda, morph, y);
}

void states(LatticeLanes& lanes, const LatticeStep& step, const double* lambda, const double* nextLambda,
            const double* nextMorph)
{
    latticeStates<Avx512VlOps>(lanes, step, lambda, nextLambda, nextMorph);
}
} // namespace

const LatticeKernel kLatticeKernelAvx512Vl{output, states};

#endif
