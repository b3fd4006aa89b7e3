// Eight float lanes in two SSE2 registers, the x86-64 baseline: the same operations as FloatLanesAvx2.
#pragma once

#if defined(__x86_64__)

#include <emmintrin.h>
#include <xmmintrin.h>

#include <cstdint>

// Local to each file that includes it, as FloatLanesAvx2. Lanes 0..3 in lo, 4..7 in hi. SSE2 has no blend and no rounding instruction: a select is and, and-not
// and or, and ceil is built from truncation, which gives the same bits for every float (see ceil).
namespace
{
struct FloatLanesSse2
{
    struct F
    {
        __m128 lo;
        __m128 hi;
    };
    struct I
    {
        __m128i lo;
        __m128i hi;
    };
    using M = F;
    static constexpr int kLanes = 8;

    static F load(const float* p) { return {_mm_load_ps(p), _mm_load_ps(p + 4)}; }
    static void store(float* p, F v)
    {
        _mm_store_ps(p, v.lo);
        _mm_store_ps(p + 4, v.hi);
    }
    static I load(const int32_t* p)
    {
        const __m128i* q = reinterpret_cast<const __m128i*>(p);
        return {_mm_load_si128(q), _mm_load_si128(q + 1)};
    }
    static I load(const uint32_t* p) { return load(reinterpret_cast<const int32_t*>(p)); }
    static void store(int32_t* p, I v)
    {
        __m128i* q = reinterpret_cast<__m128i*>(p);
        _mm_store_si128(q, v.lo);
        _mm_store_si128(q + 1, v.hi);
    }
    static void store(uint32_t* p, I v) { store(reinterpret_cast<int32_t*>(p), v); }
    static F splat(float x) { return {_mm_set1_ps(x), _mm_set1_ps(x)}; }
    static I splat(int32_t x) { return {_mm_set1_epi32(x), _mm_set1_epi32(x)}; }

    static F add(F a, F b) { return {_mm_add_ps(a.lo, b.lo), _mm_add_ps(a.hi, b.hi)}; }
    static F sub(F a, F b) { return {_mm_sub_ps(a.lo, b.lo), _mm_sub_ps(a.hi, b.hi)}; }
    static F mul(F a, F b) { return {_mm_mul_ps(a.lo, b.lo), _mm_mul_ps(a.hi, b.hi)}; }
    static F div(F a, F b) { return {_mm_div_ps(a.lo, b.lo), _mm_div_ps(a.hi, b.hi)}; }
    static F abs(F a)
    {
        const __m128 bit = _mm_set1_ps(-0.0f);
        return {_mm_andnot_ps(bit, a.lo), _mm_andnot_ps(bit, a.hi)};
    }
    static F copySign(F mag, F sign)
    {
        const __m128 bit = _mm_set1_ps(-0.0f);
        return {_mm_or_ps(_mm_andnot_ps(bit, mag.lo), _mm_and_ps(bit, sign.lo)),
                _mm_or_ps(_mm_andnot_ps(bit, mag.hi), _mm_and_ps(bit, sign.hi))};
    }
    // Below 2^23 in magnitude the truncation is exact; one is added where it fell short, and the sign of a
    // is kept, so that ceil(-0.5) is -0 as in C++. From 2^23 on (and for infinities) every float is already
    // whole; adding 0 returns it unchanged and quiets a signalling NaN, as the rounding instruction does.
    static __m128 ceilHalf(__m128 a)
    {
        const __m128 bit = _mm_set1_ps(-0.0f);
        const __m128 small = _mm_cmplt_ps(_mm_andnot_ps(bit, a), _mm_set1_ps(8388608.0f));
        __m128 t = _mm_cvtepi32_ps(_mm_cvttps_epi32(a));
        t = _mm_add_ps(t, _mm_and_ps(_mm_cmplt_ps(t, a), _mm_set1_ps(1.0f)));
        t = _mm_or_ps(t, _mm_and_ps(bit, a));
        return _mm_or_ps(_mm_and_ps(small, t), _mm_andnot_ps(small, _mm_add_ps(a, _mm_setzero_ps())));
    }
    static F ceil(F a) { return {ceilHalf(a.lo), ceilHalf(a.hi)}; }

    static M greater(F a, F b) { return {_mm_cmpgt_ps(a.lo, b.lo), _mm_cmpgt_ps(a.hi, b.hi)}; }
    static M greaterEqual(F a, F b) { return {_mm_cmpge_ps(a.lo, b.lo), _mm_cmpge_ps(a.hi, b.hi)}; }
    static M less(F a, F b) { return {_mm_cmplt_ps(a.lo, b.lo), _mm_cmplt_ps(a.hi, b.hi)}; }
    static M lessEqual(F a, F b) { return {_mm_cmple_ps(a.lo, b.lo), _mm_cmple_ps(a.hi, b.hi)}; }
    static M equal(I a, I b)
    {
        return {_mm_castsi128_ps(_mm_cmpeq_epi32(a.lo, b.lo)), _mm_castsi128_ps(_mm_cmpeq_epi32(a.hi, b.hi))};
    }
    static M greater(I a, I b)
    {
        return {_mm_castsi128_ps(_mm_cmpgt_epi32(a.lo, b.lo)), _mm_castsi128_ps(_mm_cmpgt_epi32(a.hi, b.hi))};
    }
    static M greaterUnsigned(I a, I b)
    {
        const __m128i bias = _mm_set1_epi32(INT32_MIN);
        return greater(I{_mm_xor_si128(a.lo, bias), _mm_xor_si128(a.hi, bias)},
                       I{_mm_xor_si128(b.lo, bias), _mm_xor_si128(b.hi, bias)});
    }
    static M finite(F a)
    {
        const __m128i exponent = _mm_set1_epi32(0x7F800000);
        const I e{_mm_and_si128(_mm_castps_si128(a.lo), exponent), _mm_and_si128(_mm_castps_si128(a.hi), exponent)};
        return notMask(equal(e, I{exponent, exponent}));
    }

    static M both(M a, M b) { return {_mm_and_ps(a.lo, b.lo), _mm_and_ps(a.hi, b.hi)}; }
    static M either(M a, M b) { return {_mm_or_ps(a.lo, b.lo), _mm_or_ps(a.hi, b.hi)}; }
    static M butNot(M a, M b) { return {_mm_andnot_ps(b.lo, a.lo), _mm_andnot_ps(b.hi, a.hi)}; }
    static M notMask(M a)
    {
        const __m128 ones = _mm_castsi128_ps(_mm_set1_epi32(-1));
        return {_mm_xor_ps(a.lo, ones), _mm_xor_ps(a.hi, ones)};
    }
    static uint32_t bits(M m)
    {
        return static_cast<uint32_t>(_mm_movemask_ps(m.lo) | (_mm_movemask_ps(m.hi) << 4));
    }
    static M lanes(uint32_t bits)
    {
        const __m128i b = _mm_set1_epi32(static_cast<int32_t>(bits));
        const __m128i lo = _mm_setr_epi32(1, 2, 4, 8);
        const __m128i hi = _mm_setr_epi32(16, 32, 64, 128);
        return {_mm_castsi128_ps(_mm_cmpeq_epi32(_mm_and_si128(b, lo), lo)),
                _mm_castsi128_ps(_mm_cmpeq_epi32(_mm_and_si128(b, hi), hi))};
    }

    static __m128 pick(__m128 m, __m128 ifClear, __m128 ifSet)
    {
        return _mm_or_ps(_mm_and_ps(m, ifSet), _mm_andnot_ps(m, ifClear));
    }
    static F select(M m, F ifClear, F ifSet) { return {pick(m.lo, ifClear.lo, ifSet.lo), pick(m.hi, ifClear.hi, ifSet.hi)}; }
    static I select(M m, I ifClear, I ifSet)
    {
        return {_mm_castps_si128(pick(m.lo, _mm_castsi128_ps(ifClear.lo), _mm_castsi128_ps(ifSet.lo))),
                _mm_castps_si128(pick(m.hi, _mm_castsi128_ps(ifClear.hi), _mm_castsi128_ps(ifSet.hi)))};
    }

    static I add(I a, I b) { return {_mm_add_epi32(a.lo, b.lo), _mm_add_epi32(a.hi, b.hi)}; }
    static I sub(I a, I b) { return {_mm_sub_epi32(a.lo, b.lo), _mm_sub_epi32(a.hi, b.hi)}; }
    static I bitAnd(I a, I b) { return {_mm_and_si128(a.lo, b.lo), _mm_and_si128(a.hi, b.hi)}; }
    template <int kShift>
    static I shiftRight(I a)
    {
        return {_mm_srli_epi32(a.lo, kShift), _mm_srli_epi32(a.hi, kShift)};
    }
    static I asInt(M m) { return {_mm_castps_si128(m.lo), _mm_castps_si128(m.hi)}; }
    static F toFloat(I a) { return {_mm_cvtepi32_ps(a.lo), _mm_cvtepi32_ps(a.hi)}; }
    static I toInt(F a) { return {_mm_cvttps_epi32(a.lo), _mm_cvttps_epi32(a.hi)}; }

    // As FloatLanesAvx2::columns.
    static void columns(const float* const rows[kLanes], F& c0, F& c1, F& c2, F& c3)
    {
        for (int half = 0; half < 2; ++half)
        {
            __m128 r0 = _mm_loadu_ps(rows[4 * half]);
            __m128 r1 = _mm_loadu_ps(rows[4 * half + 1]);
            __m128 r2 = _mm_loadu_ps(rows[4 * half + 2]);
            __m128 r3 = _mm_loadu_ps(rows[4 * half + 3]);
            _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
            (half == 0 ? c0.lo : c0.hi) = r0;
            (half == 0 ? c1.lo : c1.hi) = r1;
            (half == 0 ? c2.lo : c2.hi) = r2;
            (half == 0 ? c3.lo : c3.hi) = r3;
        }
    }

    static void toDouble(F a, double* out)
    {
        _mm_store_pd(out, _mm_cvtps_pd(a.lo));
        _mm_store_pd(out + 2, _mm_cvtps_pd(_mm_movehl_ps(a.lo, a.lo)));
        _mm_store_pd(out + 4, _mm_cvtps_pd(a.hi));
        _mm_store_pd(out + 6, _mm_cvtps_pd(_mm_movehl_ps(a.hi, a.hi)));
    }
    static F fromDouble(const double* in)
    {
        const __m128 lo = _mm_movelh_ps(_mm_cvtpd_ps(_mm_load_pd(in)), _mm_cvtpd_ps(_mm_load_pd(in + 2)));
        const __m128 hi = _mm_movelh_ps(_mm_cvtpd_ps(_mm_load_pd(in + 4)), _mm_cvtpd_ps(_mm_load_pd(in + 6)));
        return {lo, hi};
    }
};
} // namespace

#endif
