// Eight float lanes in one AVX register: the operations the voice runs side by side, each exactly the scalar one.
#pragma once

#if defined(__x86_64__)

#include <immintrin.h>

#include <cstdint>

// Include only from a file built with -mavx2 (or wider) and without -mfma; the type is local to each such
// file, so no copy of its functions built for one instruction set ever serves another. Every operation is the IEEE
// operation the scalar code does, never fused; a mask is all ones or all zeros per lane, and select copies
// the chosen bits, so signed zeros and NaNs pass unchanged.
namespace
{
struct FloatLanesAvx2
{
    using F = __m256;  // eight floats
    using I = __m256i; // eight 32-bit integers
    using M = __m256;  // a lane mask
    static constexpr int kLanes = 8;

    static F load(const float* p) { return _mm256_load_ps(p); }
    static void store(float* p, F v) { _mm256_store_ps(p, v); }
    static I load(const int32_t* p) { return _mm256_load_si256(reinterpret_cast<const __m256i*>(p)); }
    static I load(const uint32_t* p) { return _mm256_load_si256(reinterpret_cast<const __m256i*>(p)); }
    static void store(int32_t* p, I v) { _mm256_store_si256(reinterpret_cast<__m256i*>(p), v); }
    static void store(uint32_t* p, I v) { _mm256_store_si256(reinterpret_cast<__m256i*>(p), v); }
    static F splat(float x) { return _mm256_set1_ps(x); }
    static I splat(int32_t x) { return _mm256_set1_epi32(x); }

    static F add(F a, F b) { return _mm256_add_ps(a, b); }
    static F sub(F a, F b) { return _mm256_sub_ps(a, b); }
    static F mul(F a, F b) { return _mm256_mul_ps(a, b); }
    static F div(F a, F b) { return _mm256_div_ps(a, b); }
    static F abs(F a) { return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), a); }
    // The magnitude of mag with the sign bit of sign, as std::copysign.
    static F copySign(F mag, F sign)
    {
        const F bit = _mm256_set1_ps(-0.0f);
        return _mm256_or_ps(_mm256_andnot_ps(bit, mag), _mm256_and_ps(bit, sign));
    }
    static F ceil(F a) { return _mm256_round_ps(a, _MM_FROUND_TO_POS_INF | _MM_FROUND_NO_EXC); }

    // Ordered comparisons: false where either side is NaN, as in C++.
    static M greater(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_GT_OQ); }
    static M greaterEqual(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_GE_OQ); }
    static M less(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_LT_OQ); }
    static M lessEqual(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_LE_OQ); }
    static M equal(I a, I b) { return _mm256_castsi256_ps(_mm256_cmpeq_epi32(a, b)); }
    static M greater(I a, I b) { return _mm256_castsi256_ps(_mm256_cmpgt_epi32(a, b)); }
    static M greaterUnsigned(I a, I b)
    {
        const I bias = _mm256_set1_epi32(INT32_MIN);
        return greater(_mm256_xor_si256(a, bias), _mm256_xor_si256(b, bias));
    }
    // Neither infinite nor NaN: the exponent bits are not all set.
    static M finite(F a)
    {
        const I exponent = _mm256_set1_epi32(0x7F800000);
        return notMask(equal(_mm256_and_si256(_mm256_castps_si256(a), exponent), exponent));
    }

    static M both(M a, M b) { return _mm256_and_ps(a, b); }
    static M either(M a, M b) { return _mm256_or_ps(a, b); }
    static M butNot(M a, M b) { return _mm256_andnot_ps(b, a); }
    static M notMask(M a) { return _mm256_xor_ps(a, _mm256_castsi256_ps(_mm256_set1_epi32(-1))); }
    static uint32_t bits(M m) { return static_cast<uint32_t>(_mm256_movemask_ps(m)); }
    static M lanes(uint32_t bits)
    {
        const I pattern = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
        const I b = _mm256_set1_epi32(static_cast<int32_t>(bits));
        return _mm256_castsi256_ps(_mm256_cmpeq_epi32(_mm256_and_si256(b, pattern), pattern));
    }

    static F select(M m, F ifClear, F ifSet) { return _mm256_blendv_ps(ifClear, ifSet, m); }
    static I select(M m, I ifClear, I ifSet)
    {
        return _mm256_castps_si256(
            _mm256_blendv_ps(_mm256_castsi256_ps(ifClear), _mm256_castsi256_ps(ifSet), m));
    }

    static I add(I a, I b) { return _mm256_add_epi32(a, b); }
    static I sub(I a, I b) { return _mm256_sub_epi32(a, b); }
    static I bitAnd(I a, I b) { return _mm256_and_si256(a, b); }
    template <int kShift>
    static I shiftRight(I a)
    {
        return _mm256_srli_epi32(a, kShift);
    }
    // The lanes of a mask as integers: -1 where set, 0 elsewhere.
    static I asInt(M m) { return _mm256_castps_si256(m); }
    static F toFloat(I a) { return _mm256_cvtepi32_ps(a); }
    // Truncation toward zero, for values inside the int range.
    static I toInt(F a) { return _mm256_cvttps_epi32(a); }

    // Four consecutive floats from each lane's row, turned into four vectors: column t holds row l's
    // entry t in lane l.
    static void columns(const float* const rows[kLanes], F& c0, F& c1, F& c2, F& c3)
    {
        const auto pair = [&](int l) {
            return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(rows[l])), _mm_loadu_ps(rows[l + 4]), 1);
        };
        const F r04 = pair(0);
        const F r15 = pair(1);
        const F r26 = pair(2);
        const F r37 = pair(3);
        const F t0 = _mm256_unpacklo_ps(r04, r15);
        const F t1 = _mm256_unpackhi_ps(r04, r15);
        const F t2 = _mm256_unpacklo_ps(r26, r37);
        const F t3 = _mm256_unpackhi_ps(r26, r37);
        c0 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(1, 0, 1, 0));
        c1 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(3, 2, 3, 2));
        c2 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(1, 0, 1, 0));
        c3 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(3, 2, 3, 2));
    }

    // Widening to eight doubles and back; the narrowing rounds to nearest, as a scalar conversion does.
    static void toDouble(F a, double* out)
    {
        _mm256_store_pd(out, _mm256_cvtps_pd(_mm256_castps256_ps128(a)));
        _mm256_store_pd(out + 4, _mm256_cvtps_pd(_mm256_extractf128_ps(a, 1)));
    }
    static F fromDouble(const double* in)
    {
        const __m128 lo = _mm256_cvtpd_ps(_mm256_load_pd(in));
        const __m128 hi = _mm256_cvtpd_ps(_mm256_load_pd(in + 4));
        return _mm256_insertf128_ps(_mm256_castps128_ps256(lo), hi, 1);
    }
};
} // namespace

#endif
