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
