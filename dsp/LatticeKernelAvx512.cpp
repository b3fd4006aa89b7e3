// Lattice bank kernel for AVX-512 at full width (built with -mavx512f, never fused): all eight lanes in
// one 512-bit register, mask registers for the per-lane selects and stores.
#if defined(__x86_64__)

#include <immintrin.h>

#include <cstdint>

#include "dsp/LatticeKernel.h"

namespace
{
// Where 512-bit operations take as long as 256-bit ones, this halves the instructions of the 256-bit
// form, so more of the next sections fit into the CPU's window while the chains wait.
struct Avx512Ops
{
    using Pack = __m512d;
    using Mask = __mmask8;
    static constexpr bool kFuseUpdate = true;
    static constexpr uint32_t kOwnLanes = LatticeLanes::kAllLanes; // the lanes this type holds

    static Pack load(const double* p) { return _mm512_loadu_pd(p); }
    static void store(double* p, Pack a) { _mm512_storeu_pd(p, a); }
    static Pack broadcast(double x) { return _mm512_set1_pd(x); }
    static Pack add(Pack a, Pack b) { return _mm512_add_pd(a, b); }
    static Pack sub(Pack a, Pack b) { return _mm512_sub_pd(a, b); }
    static Pack mul(Pack a, Pack b) { return _mm512_mul_pd(a, b); }
    static Pack div(Pack a, Pack b) { return _mm512_div_pd(a, b); }
    static Pack neg(Pack a)
    {
        // xor of the sign bit, as a scalar negation; AVX-512F has no floating-point xor
        const __m512i sign = _mm512_set1_epi64(static_cast<long long>(0x8000000000000000ull));
        return _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(a), sign));
    }
    static Mask lanes(uint32_t bits) { return static_cast<Mask>(bits); }
    static Mask section(const LatticeLanes& lanes, int i) { return lanes.sectionLanes[i]; }
    static Mask both(Mask a, Mask b) { return static_cast<Mask>(a & b); }
    static Mask butNot(Mask a, Mask b) { return static_cast<Mask>(a & ~b); }
    static Pack select(Mask m, Pack ifClear, Pack ifSet) { return _mm512_mask_blend_pd(m, ifClear, ifSet); }
    static Pack addWhere(Mask m, Pack kept, Pack a, Pack b) { return _mm512_mask_add_pd(kept, m, a, b); }
    static void storeWhere(double* p, Mask m, Pack, Pack v) { _mm512_mask_storeu_pd(p, m, v); }
};
} // namespace

namespace
{
void output(LatticeLanes& lanes, const LatticeStep& step, const double* x, const double* lambda, const double* morph,
            double* y)
{
    latticeOutput<Avx512Ops>(lanes, step, x, lambda, morph, y);
}

void states(LatticeLanes& lanes, const LatticeStep& step, const double* lambda, const double* nextLambda,
            const double* nextMorph)
{
    latticeStates<Avx512Ops>(lanes, step, lambda, nextLambda, nextMorph);
}
} // namespace

const LatticeKernel kLatticeKernelAvx512{output, states};

#endif
