// The operations the engine's wide vector loops are written in, one struct per instruction set:
// Avx2Lanes (eight floats) and Avx512Lanes (sixteen). A loop written over `Lanes` runs on
// either; each operation gives the same bits on both, so a loop gives what its plain form gives.
//
// A loop is a function carrying its instruction set's target attribute, since GCC and clang
// inline these members only into such functions and an attribute cannot depend on a template
// parameter: a loop's body is a file of its own, included once per set in a namespace of its
// own, with `Lanes` naming the set and PP_LANES_TARGET its target (see draw/particle_runs.cpp).
#pragma once

#if defined(__x86_64__)

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "runtime/convert.h"

// The target attributes of the loops written over each struct.
#define PP_AVX2_TARGET "avx2"
#define PP_AVX512_TARGET "avx512f"

namespace pp {

// RoundFloatToInt of the lanes of `values` whose bit is set in `outside`, into `to`: the lanes a
// vector conversion cannot hold.
inline void RoundLanesOneByOne(const float* values, uint32_t outside, int width, int32_t* to) {
    for (int lane = 0; lane < width; ++lane) {
        if ((outside >> lane & 1u) != 0) to[lane] = RoundFloatToInt(values[lane]);
    }
}

#define PP_LANE [[gnu::target(PP_AVX2_TARGET), gnu::always_inline]] static inline

struct Avx2Lanes {
    using Float = __m256;
    using Int = __m256i;
    using Mask = __m256;  // all ones in a lane where true
    static constexpr size_t kWidth = 8;

    PP_LANE Float Set(float v) { return _mm256_set1_ps(v); }
    PP_LANE Int SetInt(int32_t v) { return _mm256_set1_epi32(v); }
    // 0, step, 2 step, ... : the lanes' offsets in a stride of `step`.
    PP_LANE Int Steps(int32_t step) {
        return _mm256_mullo_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), SetInt(step));
    }
    PP_LANE Float Load(const float* from) { return _mm256_loadu_ps(from); }
    PP_LANE Float Gather(const float* base, Int index) {
        return _mm256_i32gather_ps(base, index, 4);
    }
    PP_LANE Int Gather(const int32_t* base, Int index) {
        return _mm256_i32gather_epi32(base, index, 4);
    }
    // x[0], y[0], x[1], y[1], ... into 2 kWidth floats at `to`.
    PP_LANE void StorePairs(Float x, Float y, float* to) {
        const __m256 low = _mm256_unpacklo_ps(x, y);
        const __m256 high = _mm256_unpackhi_ps(x, y);
        _mm256_storeu_ps(to, _mm256_permute2f128_ps(low, high, 0x20));
        _mm256_storeu_ps(to + 8, _mm256_permute2f128_ps(low, high, 0x31));
    }

    PP_LANE Float Add(Float a, Float b) { return _mm256_add_ps(a, b); }
    PP_LANE Float Sub(Float a, Float b) { return _mm256_sub_ps(a, b); }
    PP_LANE Float Mul(Float a, Float b) { return _mm256_mul_ps(a, b); }
    PP_LANE Float Negate(Float a) { return _mm256_xor_ps(a, Set(-0.0f)); }
    PP_LANE Float Abs(Float a) { return _mm256_andnot_ps(Set(-0.0f), a); }
    PP_LANE Int Add(Int a, Int b) { return _mm256_add_epi32(a, b); }
    PP_LANE Int And(Int a, Int b) { return _mm256_and_si256(a, b); }

    // Ordered comparisons: false where either side is NaN.
    PP_LANE Mask Greater(Float a, Float b) { return _mm256_cmp_ps(a, b, _CMP_GT_OQ); }
    PP_LANE Mask Less(Float a, Float b) { return _mm256_cmp_ps(a, b, _CMP_LT_OQ); }
    // b where `pick` holds, a elsewhere.
    PP_LANE Float Select(Mask pick, Float a, Float b) { return _mm256_blendv_ps(a, b, pick); }
    PP_LANE Int Select(Mask pick, Int a, Int b) {
        return _mm256_blendv_epi8(a, b, _mm256_castps_si256(pick));
    }
    // a - b where `pick` holds, a elsewhere (a - 0 is a, -0 included).
    PP_LANE Float SubWhere(Mask pick, Float a, Float b) { return Sub(a, _mm256_and_ps(pick, b)); }
    PP_LANE Int SubWhere(Mask pick, Int a, Int b) {
        return _mm256_sub_epi32(a, _mm256_and_si256(_mm256_castps_si256(pick), b));
    }

    PP_LANE Int Truncate(Float a) { return _mm256_cvttps_epi32(a); }
    PP_LANE Float ToFloat(Int a) { return _mm256_cvtepi32_ps(a); }
    // RoundFloatToInt of every lane into `to`. The rounding is the instruction's own
    // to-nearest-even, named in the instruction so that the processor's rounding mode does not
    // matter; values of 2^31 and beyond in magnitude, and NaN, do not fit its result and take
    // RoundFloatToInt.
    PP_LANE void RoundToInt(Float v, int32_t* to) {
        const __m256 whole = _mm256_round_ps(v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), _mm256_cvttps_epi32(whole));
        const int outside =
            _mm256_movemask_ps(_mm256_cmp_ps(Abs(v), Set(2147483648.0f), _CMP_NLT_UQ));
        if (outside != 0) {
            float values[kWidth];
            _mm256_storeu_ps(values, v);
            RoundLanesOneByOne(values, static_cast<uint32_t>(outside), kWidth, to);
        }
    }
};

#undef PP_LANE
#define PP_LANE [[gnu::target(PP_AVX512_TARGET), gnu::always_inline]] static inline

// GCC 12 takes the wide intrinsics' deliberately undefined inputs for uninitialised values.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"

// The same operations sixteen lanes wide, the selections as masks.
struct Avx512Lanes {
    using Float = __m512;
    using Int = __m512i;
    using Mask = __mmask16;
    static constexpr size_t kWidth = 16;

    PP_LANE Float Set(float v) { return _mm512_set1_ps(v); }
    PP_LANE Int SetInt(int32_t v) { return _mm512_set1_epi32(v); }
    PP_LANE Int Steps(int32_t step) {
        return _mm512_mullo_epi32(
            _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15), SetInt(step));
    }
    PP_LANE Float Load(const float* from) { return _mm512_loadu_ps(from); }
    PP_LANE Float Gather(const float* base, Int index) {
        return _mm512_i32gather_ps(index, base, 4);
    }
    PP_LANE Int Gather(const int32_t* base, Int index) {
        return _mm512_i32gather_epi32(index, base, 4);
    }
    PP_LANE void StorePairs(Float x, Float y, float* to) {
        // (x, y) pairs of lanes 0-7, then of lanes 8-15.
        const __m512i front =
            _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
        const __m512i back =
            _mm512_setr_epi32(8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31);
        _mm512_storeu_ps(to, _mm512_permutex2var_ps(x, front, y));
        _mm512_storeu_ps(to + 16, _mm512_permutex2var_ps(x, back, y));
    }

    PP_LANE Float Add(Float a, Float b) { return _mm512_add_ps(a, b); }
    PP_LANE Float Sub(Float a, Float b) { return _mm512_sub_ps(a, b); }
    PP_LANE Float Mul(Float a, Float b) { return _mm512_mul_ps(a, b); }
    PP_LANE Float Negate(Float a) {
        return _mm512_castsi512_ps(_mm512_xor_si512(_mm512_castps_si512(a), SetInt(INT32_MIN)));
    }
    PP_LANE Float Abs(Float a) { return _mm512_abs_ps(a); }
    PP_LANE Int Add(Int a, Int b) { return _mm512_add_epi32(a, b); }
    PP_LANE Int And(Int a, Int b) { return _mm512_and_si512(a, b); }

    PP_LANE Mask Greater(Float a, Float b) { return _mm512_cmp_ps_mask(a, b, _CMP_GT_OQ); }
    PP_LANE Mask Less(Float a, Float b) { return _mm512_cmp_ps_mask(a, b, _CMP_LT_OQ); }
    PP_LANE Float Select(Mask pick, Float a, Float b) { return _mm512_mask_blend_ps(pick, a, b); }
    PP_LANE Int Select(Mask pick, Int a, Int b) { return _mm512_mask_blend_epi32(pick, a, b); }
    PP_LANE Float SubWhere(Mask pick, Float a, Float b) {
        return _mm512_mask_sub_ps(a, pick, a, b);
    }
    PP_LANE Int SubWhere(Mask pick, Int a, Int b) { return _mm512_mask_sub_epi32(a, pick, a, b); }

    PP_LANE Int Truncate(Float a) { return _mm512_cvttps_epi32(a); }
    PP_LANE Float ToFloat(Int a) { return _mm512_cvtepi32_ps(a); }
    // As Avx2Lanes::RoundToInt; here the conversion rounds to nearest even by its own encoding.
    PP_LANE void RoundToInt(Float v, int32_t* to) {
        _mm512_storeu_si512(
            to, _mm512_cvt_roundps_epi32(v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC));
        const __mmask16 outside = _mm512_cmp_ps_mask(Abs(v), Set(2147483648.0f), _CMP_NLT_UQ);
        if (outside != 0) {
            float values[kWidth];
            _mm512_storeu_ps(values, v);
            RoundLanesOneByOne(values, outside, kWidth, to);
        }
    }
};

#pragma GCC diagnostic pop
#undef PP_LANE

}  // namespace pp

#endif
