// Lattice bank kernel for AVX2 (built with -mavx2, without FMA): four lanes per register, two registers.
#if defined(__x86_64__)

#include <immintrin.h>

#include <cstdint>

#include "dsp/LatticeKernel.h"
#include "dsp/LatticePairs256.h"

namespace
{
// Lanes 0..3 in lo, 4..7 in hi. Masks are all-ones or all-zero per lane; blendv copies the chosen bits.
struct Avx2Ops : PairOps256
{
    using Mask = Pack;
    static constexpr bool kFuseUpdate = false; // sixteen registers: fused, both chains would spill
    static constexpr uint32_t kOwnLanes = LatticeLanes::kAllLanes; // the lanes this type holds

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

// Lanes kFirst .. kFirst + 3 in one register, for samples that prepare the next one.
template <int kFirst>
struct Avx2HalfOps
{
    using Pack = __m256d;
    using Mask = __m256d;
    static constexpr bool kFuseUpdate = false;
    static constexpr uint32_t kOwnLanes = 0x0Fu << kFirst; // the lanes this type holds

    static Pack load(const double* p) { return _mm256_loadu_pd(p + kFirst); }
    static void store(double* p, Pack a) { _mm256_storeu_pd(p + kFirst, a); }
    static Pack broadcast(double x) { return _mm256_set1_pd(x); }
    static Pack add(Pack a, Pack b) { return _mm256_add_pd(a, b); }
    static Pack sub(Pack a, Pack b) { return _mm256_sub_pd(a, b); }
    static Pack mul(Pack a, Pack b) { return _mm256_mul_pd(a, b); }
    static Pack div(Pack a, Pack b) { return _mm256_div_pd(a, b); }
    static Pack neg(Pack a) { return _mm256_xor_pd(a, _mm256_set1_pd(-0.0)); }
    static Mask lanes(uint32_t bits) { return Avx2Ops::laneBits(bits >> kFirst & 15u); }
    static Mask section(const LatticeLanes& lanes, int i)
    {
        return _mm256_load_pd(reinterpret_cast<const double*>(lanes.sectionMask[i]) + kFirst);
    }
    static Mask both(Mask a, Mask b) { return _mm256_and_pd(a, b); }
    static Mask butNot(Mask a, Mask b) { return _mm256_andnot_pd(b, a); }
    static Pack select(Mask m, Pack ifClear, Pack ifSet) { return _mm256_blendv_pd(ifClear, ifSet, m); }
    static Pack addWhere(Mask m, Pack kept, Pack a, Pack b) { return select(m, kept, add(a, b)); }
    static void storeWhere(double* p, Mask m, Pack old, Pack v) { store(p, select(m, old, v)); }
};

constexpr uint32_t kFirstHalf = 0x0Fu;
constexpr uint32_t kSecondHalf = 0xF0u;

// The next sample's update on a pass of its own, only for a half that has a lane due then.
struct Avx2UpdateAhead
{
    static void run(LatticeLanes& lanes, const LatticeStep& step, const double* nextLambda, const double* nextMorph)
    {
        if ((step.dueNext & kFirstHalf) != 0)
            LatticeUpdateAhead<Avx2HalfOps<0>>::run(lanes, step, nextLambda, nextMorph);
        if ((step.dueNext & kSecondHalf) != 0)
            LatticeUpdateAhead<Avx2HalfOps<4>>::run(lanes, step, nextLambda, nextMorph);
    }
};
} // namespace

namespace
{
void output(LatticeLanes& lanes, const LatticeStep& step, const double* x, const double* lambda, const double* morph,
            double* y)
{
    latticeOutput<Avx2Ops>(lanes, step, x, lambda, morph, y);
}

// Preparing the next sample. When both halves have lanes due then (every sample in high quality), each
// half runs its state pass with the next sample's update and forward pass as three chains; sixteen
// registers hold that for one half at a time. Otherwise the update runs first on its own pass, for the
// half that needs it, and the state pass and next forward pass run over both halves together.
void states(LatticeLanes& lanes, const LatticeStep& step, const double* lambda, const double* nextLambda,
            const double* nextMorph)
{
    if (!step.uniform || nextLambda == nullptr)
        latticeStates<Avx2Ops>(lanes, step, lambda, nextLambda, nextMorph);
    else if ((step.dueNext & kFirstHalf) != 0 && (step.dueNext & kSecondHalf) != 0)
    {
        if ((step.active & kFirstHalf) != 0)
            latticeStates<Avx2HalfOps<0>>(lanes, step, lambda, nextLambda, nextMorph);
        if ((step.active & kSecondHalf) != 0)
            latticeStates<Avx2HalfOps<4>>(lanes, step, lambda, nextLambda, nextMorph);
    }
    else
        latticeStates<Avx2Ops, Avx2UpdateAhead>(lanes, step, lambda, nextLambda, nextMorph);
}
} // namespace

const LatticeKernel kLatticeKernelAvx2{output, states};

#endif
