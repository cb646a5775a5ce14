// Float-to-integer conversions with a defined result for every input.
// Every store of a floating-point value into an integer goes through one of these two; no
// plain cast, so NaN and out-of-range values can never reach undefined behaviour.
#pragma once

#include <cstdint>

namespace pp {

// Truncates toward zero to a 64-bit integer and returns its low 32 bits (2^32 gives 0,
// -2.7 gives -2). NaN, infinities and values outside the 64-bit range give 0: the low half of
// the processor's "integer indefinite" 0x8000000000000000 that such a conversion produces.
int32_t TruncToInt(double x);

// Rounds to the nearest integer, halves to the even neighbour (0.5 -> 0, 1.5 -> 2), then
// returns the low 32 bits (wrapping). NaN, infinities and values outside the 64-bit range
// give 0, as TruncToInt does. Independent of the processor's rounding mode.
int32_t RoundToInt(double x);

// RoundToInt(x) for a float, inline for hot loops: the same result for every float, NaN and
// infinities included. Floats below 2^23 in magnitude split into whole and fraction exactly
// in single precision; the rest are whole already or out of range and take the general rule.
inline int32_t RoundFloatToInt(float x) {
    if (!(x > -8388608.0f && x < 8388608.0f)) return RoundToInt(static_cast<double>(x));
    const auto whole = static_cast<int32_t>(x);            // truncates; |x| < 2^23 is in range
    const float fraction = x - static_cast<float>(whole);  // exact
    const int32_t odd = whole & 1;
    const int32_t up =
        static_cast<int32_t>(fraction > 0.5f) | (static_cast<int32_t>(fraction == 0.5f) & odd);
    const int32_t down =
        static_cast<int32_t>(fraction < -0.5f) | (static_cast<int32_t>(fraction == -0.5f) & odd);
    return whole + up - down;
}

// RoundFloatToInt of four floats at once, in vector instructions where all four are below
// 2^23 in magnitude (the usual case), one by one otherwise. The wider forms are the RoundToInt
// of runtime/vector_lanes.h.
inline void RoundFloatsToInt(const float (&x)[4], int32_t (&out)[4]) {
    using Float4 = float __attribute__((vector_size(16)));
    using Int4 = int32_t __attribute__((vector_size(16)));
    const Float4 v = {x[0], x[1], x[2], x[3]};
    const Float4 limit = {8388608.0f, 8388608.0f, 8388608.0f, 8388608.0f};
    const Int4 inRange = (v > -limit) & (v < limit);
    if ((inRange[0] & inRange[1] & inRange[2] & inRange[3]) == 0) {
        for (int i = 0; i < 4; ++i) out[i] = RoundFloatToInt(x[i]);
        return;
    }
    const Int4 whole = __builtin_convertvector(v, Int4);                 // truncates
    const Float4 fraction = v - __builtin_convertvector(whole, Float4);  // exact
    const Float4 half = {0.5f, 0.5f, 0.5f, 0.5f};
    const Int4 odd = -(whole & 1);  // all ones for odd
    // Comparisons give all ones (-1) for true: subtracting up adds one.
    const Int4 up = (fraction > half) | ((fraction == half) & odd);
    const Int4 down = (fraction < -half) | ((fraction == -half) & odd);
    const Int4 rounded = whole - up + down;
    for (int i = 0; i < 4; ++i) out[i] = rounded[i];
}

// Signed 32-bit difference a - b of two clock readings, wrapping: stays meaningful across
// the clock's wrap and never overflows signed arithmetic.
inline int32_t ClockDiff(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// a + b modulo 2^32, for advancing clock readings without signed overflow.
inline int32_t WrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

}  // namespace pp
