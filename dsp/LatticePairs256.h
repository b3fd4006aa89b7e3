// The eight lanes as two 256-bit registers of four doubles: the arithmetic the AVX2 and AVX-512VL lattice
// kernels share. Included only by those kernels' files, each built for its own instruction set, so its
// functions live in an unnamed namespace: every file keeps its own copy, and no code built for one
// instruction set can be linked into the other's path.
#pragma once

#if defined(__x86_64__)

#include <immintrin.h>

namespace
{
// Lanes 0..3 in lo, 4..7 in hi.
struct PairOps256
{
    struct Pack
    {
        __m256d lo;
        __m256d hi;
    };

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
};
} // namespace

#endif
