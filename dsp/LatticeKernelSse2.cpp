// Lattice bank kernel for SSE2, the x86-64 baseline: two lanes per register, the bank run as two halves.
#if defined(__x86_64__)

#include <emmintrin.h>

#include <cstdint>

#include "dsp/LatticeKernel.h"

namespace
{
// Lanes kFirst .. kFirst + 3 in two registers. Eight lanes in four registers would need more values live
// than SSE2's sixteen registers hold, and the spills would lengthen the chains; two halves of four lanes
// fit, and the second half's chains are independent of the first's.
// Masks are all-ones or all-zero per lane; SSE2 has no blend instruction, so a select is and, and-not and
// or, which copies the chosen bits exactly.
template <int kFirst>
struct Sse2HalfOps
{
    struct Pack
    {
        __m128d r[2];
    };
    using Mask = Pack;
    static constexpr bool kFuseUpdate = true;
    static constexpr uint32_t kOwnLanes = 0x0Fu << kFirst; // the lanes this type holds

    static Pack load(const double* p) { return {{_mm_loadu_pd(p + kFirst), _mm_loadu_pd(p + kFirst + 2)}}; }
    static void store(double* p, const Pack& a)
    {
        _mm_storeu_pd(p + kFirst, a.r[0]);
        _mm_storeu_pd(p + kFirst + 2, a.r[1]);
    }
    static Pack broadcast(double x)
    {
        const __m128d v = _mm_set1_pd(x);
        return {{v, v}};
    }
    static Pack add(const Pack& a, const Pack& b) { return {{_mm_add_pd(a.r[0], b.r[0]), _mm_add_pd(a.r[1], b.r[1])}}; }
    static Pack sub(const Pack& a, const Pack& b) { return {{_mm_sub_pd(a.r[0], b.r[0]), _mm_sub_pd(a.r[1], b.r[1])}}; }
    static Pack mul(const Pack& a, const Pack& b) { return {{_mm_mul_pd(a.r[0], b.r[0]), _mm_mul_pd(a.r[1], b.r[1])}}; }
    static Pack div(const Pack& a, const Pack& b) { return {{_mm_div_pd(a.r[0], b.r[0]), _mm_div_pd(a.r[1], b.r[1])}}; }
    static Pack neg(const Pack& a)
    {
        const __m128d sign = _mm_set1_pd(-0.0);
        return {{_mm_xor_pd(a.r[0], sign), _mm_xor_pd(a.r[1], sign)}};
    }
    static __m128d laneBits(uint32_t bits)
    {
        // each 32-bit half of a lane tests that lane's bit, so both halves agree
        const __m128i pattern = _mm_set_epi32(2, 2, 1, 1);
        const __m128i b = _mm_set1_epi32(static_cast<int>(bits));
        return _mm_castsi128_pd(_mm_cmpeq_epi32(_mm_and_si128(b, pattern), pattern));
    }
    static Mask lanes(uint32_t bits) { return {{laneBits(bits >> kFirst), laneBits(bits >> (kFirst + 2))}}; }
    static Mask section(const LatticeLanes& lanes, int i)
    {
        const double* p = reinterpret_cast<const double*>(lanes.sectionMask[i]) + kFirst;
        return {{_mm_load_pd(p), _mm_load_pd(p + 2)}};
    }
    static Mask both(const Mask& a, const Mask& b)
    {
        return {{_mm_and_pd(a.r[0], b.r[0]), _mm_and_pd(a.r[1], b.r[1])}};
    }
    static Mask butNot(const Mask& a, const Mask& b)
    {
        return {{_mm_andnot_pd(b.r[0], a.r[0]), _mm_andnot_pd(b.r[1], a.r[1])}};
    }
    static __m128d pick(__m128d m, __m128d ifClear, __m128d ifSet)
    {
        return _mm_or_pd(_mm_and_pd(m, ifSet), _mm_andnot_pd(m, ifClear));
    }
    static Pack select(const Mask& m, const Pack& ifClear, const Pack& ifSet)
    {
        return {{pick(m.r[0], ifClear.r[0], ifSet.r[0]), pick(m.r[1], ifClear.r[1], ifSet.r[1])}};
    }
    static Pack addWhere(const Mask& m, const Pack& kept, const Pack& a, const Pack& b)
    {
        return select(m, kept, add(a, b));
    }
    static void storeWhere(double* p, const Mask& m, const Pack& old, const Pack& v) { store(p, select(m, old, v)); }
};

constexpr uint32_t kFirstHalf = 0x0Fu;
constexpr uint32_t kSecondHalf = 0xF0u;
} // namespace

namespace
{
void output(LatticeLanes& lanes, const LatticeStep& step, const double* x, const double* lambda, const double* morph,
            double* y)
{
    if ((step.active & kFirstHalf) != 0)
        latticeOutput<Sse2HalfOps<0>>(lanes, step, x, lambda, morph, y);
    if ((step.active & kSecondHalf) != 0)
        latticeOutput<Sse2HalfOps<4>>(lanes, step, x, lambda, morph, y);
}

void states(LatticeLanes& lanes, const LatticeStep& step, const double* lambda, const double* nextLambda,
            const double* nextMorph)
{
    if ((step.active & kFirstHalf) != 0)
        latticeStates<Sse2HalfOps<0>>(lanes, step, lambda, nextLambda, nextMorph);
    if ((step.active & kSecondHalf) != 0)
        latticeStates<Sse2HalfOps<4>>(lanes, step, lambda, nextLambda, nextMorph);
}
} // namespace

const LatticeKernel kLatticeKernelSse2{output, states};

#endif
