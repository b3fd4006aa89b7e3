// Lattice bank kernel for AVX2 (built with -mavx2, without FMA): four lanes per register, two registers.
#if defined(__x86_64__)

#include <immintrin.h>

#include <cstdint>

#include "dsp/LatticeKernel.h"

namespace
{
// Lanes 0..3 in lo, 4..7 in hi. Masks are all-ones or all-zero per lane; blendv copies the chosen bits.
struct Avx2Ops
{
    struct Pack
    {
        __m256d lo;
        __m256d hi;
    };
    using Mask = Pack;
    static constexpr bool kFuseUpdate = false; // sixteen registers: fused, both chains would spill

    static Pack load(const double* p) { return {_mm256_loadu_pd(p), _mm256_loadu_pd(p + 4)}; }
    static void store(double* p, const Pack& a)
    {
        _mm256_storeu_pd(p, a.lo);
        _mm256_storeu_pd(p + 4, a.hi);
    }
    static Pack broadcast(double x) { return {_mm256_set1_pd(x), _mm256_set1_pd(x)}; }
    static Pack add(const Pack& a, const Pack& b) { return {_mm256_add_pd(a.lo, b.lo), _mm256_add_pd(a.hi, b.hi)}; }
    static Pack sub(const Pack& a, const Pack& b) { return {_mm256_sub_pd(a.lo, b.lo), _mm256_sub_pd(a.hi, b.hi)}; }
    static Pack mul(const Pack& a, const Pack& b) { return {_mm256_mul_pd(a.lo, b.lo), _mm256_mul_pd(a.hi, b.hi)}; }
    static Pack div(const Pack& a, const Pack& b) { return {_mm256_div_pd(a.lo, b.lo), _mm256_div_pd(a.hi, b.hi)}; }
    static Pack neg(const Pack& a)
    {
        const __m256d sign = _mm256_set1_pd(-0.0);
        return {_mm256_xor_pd(a.lo, sign), _mm256_xor_pd(a.hi, sign)};
    }
    static __m256d laneBits(uint32_t bits)
    {
        const __m256i pattern = _mm256_set_epi64x(8, 4, 2, 1);
        const __m256i b = _mm256_set1_epi64x(static_cast<long long>(bits));
        return _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_and_si256(b, pattern), pattern));
    }
    static Mask lanes(uint32_t bits) { return {laneBits(bits & 15u), laneBits(bits >> 4 & 15u)}; }
    static Mask section(const LatticeLanes& lanes, int i)
    {
        const double* p = reinterpret_cast<const double*>(lanes.sectionMask[i]);
        return {_mm256_load_pd(p), _mm256_load_pd(p + 4)};
    }
    static Mask both(const Mask& a, const Mask& b) { return {_mm256_and_pd(a.lo, b.lo), _mm256_and_pd(a.hi, b.hi)}; }
    static Mask butNot(const Mask& a, const Mask& b)
    {
        return {_mm256_andnot_pd(b.lo, a.lo), _mm256_andnot_pd(b.hi, a.hi)};
    }
    static Pack select(const Mask& m, const Pack& ifClear, const Pack& ifSet)
    {
        return {_mm256_blendv_pd(ifClear.lo, ifSet.lo, m.lo), _mm256_blendv_pd(ifClear.hi, ifSet.hi, m.hi)};
    }
    static Pack addWhere(const Mask& m, const Pack& kept, const Pack& a, const Pack& b)
    {
        return select(m, kept, add(a, b));
    }
    // A full store of blended values: masked stores (vmaskmovpd) are slow on several CPUs.
    static void storeWhere(double* p, const Mask& m, const Pack& old, const Pack& v) { store(p, select(m, old, v)); }
};
} // namespace

void latticeKernelAvx2(LatticeLanes& lanes, const LatticeStep& step, const double* x, const double* lambda,
                       const double* morph, double* y)
{
    latticeStep<Avx2Ops>(lanes, step, x, lambda, morph, y);
}

#endif
