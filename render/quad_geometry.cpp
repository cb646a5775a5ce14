#include "render/quad_geometry.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace pp {
namespace {

// Arguments reduced by whole quarter turns: x = k * pi/2 + r. pi/2 is split into two parts of
// 33 significant bits and a rest, so that k * part is exact for |k| < 2^20 and x - k * part
// is exact (the two are within a factor of two of each other).
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
constexpr double kHalfPi1 = 0x1.921fb544p+0;
constexpr double kHalfPi2 = 0x1.0b4611a6p-34;
constexpr double kHalfPi3 = 0x1.3198a2e037073p-69;
// Adding 1.5 * 2^52 rounds to a whole number and leaves it in the low bits of the mantissa.
constexpr double kRoundShift = 0x1.8p52;

constexpr double kSmallest = 0x1p-20;
constexpr double kLargest = 0x1p17;
// pi/4 = 0.78539816..., with room for the rounding of k.
constexpr double kReducedLimit = 0.7854;

// Taylor coefficients of sin(r) / r and cos(r) in r^2, up to r^15 and r^14: on |r| <= pi/4
// the first terms left out are below 2^-49 of the result. Factorials up to 15! are exact in
// double, so each coefficient is the correctly rounded 1/n!.
constexpr double kSin[8] = {1.0,
                            -1.0 / 6.0,
                            1.0 / 120.0,
                            -1.0 / 5040.0,
                            1.0 / 362880.0,
                            -1.0 / 39916800.0,
                            1.0 / 6227020800.0,
                            -1.0 / 1307674368000.0};
constexpr double kCos[8] = {
    1.0,           -1.0 / 2.0,       1.0 / 24.0,        -1.0 / 720.0,
    1.0 / 40320.0, -1.0 / 3628800.0, 1.0 / 479001600.0, -1.0 / 87178291200.0};

// A result and the library's are both within 2^-47 of the true value (the polynomial's error,
// measured and bounded below, and the library's one unit in the last place, 2^-52), so they
// round to the same float unless a rounding boundary of float lies between them. In a double
// of float range the boundaries are the values whose low 29 mantissa bits read 2^28 (halfway
// between two floats), so a result whose low bits keep 2^13 units (2^-40 of its value) away
// from 2^28 rounds like every value near it, the library's included.
constexpr int32_t kTailMask = (1 << 29) - 1;
constexpr uint64_t kMagnitude = ~(uint64_t{1} << 63);
constexpr int32_t kHalfTail = 1 << 28;
constexpr int32_t kGuardBand = 1 << 13;

// N lanes of each kind, for two angles at a time (SSE2, every x86-64 processor) or four (AVX2).
// Int holds the 32-bit halves of the doubles.
template <int N>
struct VectorTypes;

template <>
struct VectorTypes<2> {
    using Double = double __attribute__((vector_size(16)));
    using Bits = uint64_t __attribute__((vector_size(16)));
    using Mask = int64_t __attribute__((vector_size(16)));
    using Float = float __attribute__((vector_size(8)));
    using Int = int32_t __attribute__((vector_size(16)));
};

template <>
struct VectorTypes<4> {
    using Double = double __attribute__((vector_size(32)));
    using Bits = uint64_t __attribute__((vector_size(32)));
    using Mask = int64_t __attribute__((vector_size(32)));
    using Float = float __attribute__((vector_size(16)));
    using Int = int32_t __attribute__((vector_size(32)));
};

template <int N>
struct Lanes {
    using Double = typename VectorTypes<N>::Double;
    using Bits = typename VectorTypes<N>::Bits;
    using Mask = typename VectorTypes<N>::Mask;
    using Float = typename VectorTypes<N>::Float;
    using Int = typename VectorTypes<N>::Int;

    // N angles at once, one per lane. Lanes whose mask reads 0 are out of the fast range (NaN,
    // infinities, tiny or huge angles) or were reduced out of range by a rounding mode other
    // than to-nearest; their results mean nothing and the library decides them.
    // The polynomials run in Estrin's order (pairs, then pairs of pairs): a third of Horner's
    // chain of dependent operations, with the same few units of rounding error. The quarter
    // turn is applied without branches: angles come in every quadrant, in no order a processor
    // could guess.
    [[gnu::always_inline]] static void Approximate(const Double& x, Double& cosX, Double& sinX,
                                                   Mask& valid) {
        // Scalars in vector expressions stand for a vector of N copies.
        const Double ax = reinterpret_cast<Double>(reinterpret_cast<Bits>(x) & kMagnitude);
        Mask ok = (ax >= kSmallest) & (ax <= kLargest);
        const Double shifted = x * kTwoOverPi + kRoundShift;
        const Double k = shifted - kRoundShift;
        const Bits quadrant = reinterpret_cast<Bits>(shifted);
        const Double r = ((x - k * kHalfPi1) - k * kHalfPi2) - k * kHalfPi3;
        ok &= (r <= kReducedLimit) & (r >= -kReducedLimit);
        const Double z = r * r;
        const Double z2 = z * z;
        const Double z4 = z2 * z2;
        const Double sinSum = ((kSin[0] + kSin[1] * z) + (kSin[2] + kSin[3] * z) * z2) +
                              ((kSin[4] + kSin[5] * z) + (kSin[6] + kSin[7] * z) * z2) * z4;
        const Double cosSum = ((kCos[0] + kCos[1] * z) + (kCos[2] + kCos[3] * z) * z2) +
                              ((kCos[4] + kCos[5] * z) + (kCos[6] + kCos[7] * z) * z2) * z4;
        const Bits sinBits = reinterpret_cast<Bits>(r * sinSum);
        const Bits cosBits = reinterpret_cast<Bits>(cosSum);
        // x = k pi/2 + r: odd k swaps the two, k = 1, 2 (mod 4) negates the cosine, k = 2, 3
        // the sine. Sign changes are exact.
        const Bits swap = 0u - (quadrant & 1u);  // all ones for odd k
        const Bits cosSign = ((quadrant + 1u) & 2u) << 62;
        const Bits sinSign = (quadrant & 2u) << 62;
        cosX = reinterpret_cast<Double>(((sinBits & swap) | (cosBits & ~swap)) ^ cosSign);
        sinX = reinterpret_cast<Double>(((cosBits & swap) | (sinBits & ~swap)) ^ sinSign);
        valid = ok;
    }

    // The rounding test for every lane of both results, on 32-bit halves (the tails sit in
    // the low half of each double; processors without 64-bit vector compares handle these
    // well). Even lanes of the result are all ones where cosine and sine round clearly.
    [[gnu::always_inline]] static void RoundClearly(const Double& c, const Double& s, Int& clear) {
        const Int cosOff = (reinterpret_cast<Int>(c) & kTailMask) - kHalfTail;
        const Int sinOff = (reinterpret_cast<Int>(s) & kTailMask) - kHalfTail;
        clear = ((cosOff > kGuardBand) | (cosOff < -kGuardBand)) &
                ((sinOff > kGuardBand) | (sinOff < -kGuardBand));
    }

    // N angles, with the library for any lane the polynomial cannot be sure of.
    [[gnu::always_inline]] static void CosSin(const float* angles, float* cosOut, float* sinOut) {
        Float a;
        std::memcpy(&a, angles, sizeof a);
        const Double x = __builtin_convertvector(a, Double);
        Double c;
        Double s;
        Mask valid;
        Approximate(x, c, s, valid);
        Int clear;
        RoundClearly(c, s, clear);
        const Int ok = reinterpret_cast<Int>(valid) & clear;
        const Float cf = __builtin_convertvector(c, Float);
        const Float sf = __builtin_convertvector(s, Float);
        std::memcpy(cosOut, &cf, sizeof cf);
        std::memcpy(sinOut, &sf, sizeof sf);
        for (int lane = 0; lane < N; ++lane) {
            if (ok[2 * lane] == 0) ReferenceQuadCosSin(angles[lane], cosOut[lane], sinOut[lane]);
        }
    }
};

#if defined(__x86_64__)
// Four angles per step where the processor has AVX2; the same operations, lane by lane.
[[gnu::target("avx2")]] size_t CosSinManyAvx2(const float* angles, size_t count, float* cosOut,
                                              float* sinOut) {
    size_t i = 0;
    for (; i + 4 <= count; i += 4) Lanes<4>::CosSin(angles + i, cosOut + i, sinOut + i);
    return i;
}
#endif

size_t CosSinManyPairs(const float* angles, size_t count, float* cosOut, float* sinOut) {
    size_t i = 0;
    for (; i + 2 <= count; i += 2) Lanes<2>::CosSin(angles + i, cosOut + i, sinOut + i);
    return i;
}

using CosSinManyFunction = size_t (*)(const float*, size_t, float*, float*);

CosSinManyFunction ChooseCosSinMany() {
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx2")) return CosSinManyAvx2;
#endif
    return CosSinManyPairs;
}

const CosSinManyFunction kCosSinMany = ChooseCosSinMany();

}  // namespace

bool ApproximateCosSin(double x, double& cosX, double& sinX) {
    Lanes<2>::Double c;
    Lanes<2>::Double s;
    Lanes<2>::Mask valid;
    Lanes<2>::Approximate(Lanes<2>::Double{x, x}, c, s, valid);
    if (valid[0] == 0) return false;
    cosX = c[0];
    sinX = s[0];
    return true;
}

void ReferenceQuadCosSin(float angle, float& cosA, float& sinA) {
    cosA = static_cast<float>(std::cos(static_cast<double>(angle)));
    sinA = static_cast<float>(std::sin(static_cast<double>(angle)));
}

void QuadCosSin(float angle, float& cosA, float& sinA) {
    const float angles[2] = {angle, angle};
    float c[2];
    float s[2];
    Lanes<2>::CosSin(angles, c, s);
    cosA = c[0];
    sinA = s[0];
}

void QuadCosSinMany(const float* angles, size_t count, float* cosOut, float* sinOut) {
    size_t i = kCosSinMany(angles, count, cosOut, sinOut);
    for (; i < count; ++i) QuadCosSin(angles[i], cosOut[i], sinOut[i]);
}

QuadCorners BuildQuadCorners(int32_t width, int32_t height, float angle) {
    CornerFloats x;
    CornerFloats y;
    QuadCornersOf(width, height, angle, x, y);
    return {QuadCorner{x[0], y[0]}, QuadCorner{x[1], y[1]}, QuadCorner{x[2], y[2]},
            QuadCorner{x[3], y[3]}};
}

// The plain computation, written out on its own so that tests compare two independent paths.
QuadCorners ReferenceQuadCorners(int32_t width, int32_t height, float angle) {
    const float w = static_cast<float>(width);
    const float h = static_cast<float>(height);
    QuadCorners c = {QuadCorner{-0.5f, -0.5f}, QuadCorner{w - 0.5f, -0.5f},
                     QuadCorner{-0.5f, h - 0.5f}, QuadCorner{w - 0.5f, h - 0.5f}};
    if (!(angle == 0.0f)) {
        const float cosA = static_cast<float>(std::cos(static_cast<double>(angle)));
        const float sinA = static_cast<float>(std::sin(static_cast<double>(angle)));
        const float cx = (((c[0].X + c[1].X) + c[2].X) + c[3].X) * 0.25f;
        const float cy = (((c[0].Y + c[1].Y) + c[2].Y) + c[3].Y) * 0.25f;
        for (QuadCorner& corner : c) {
            const float dx = corner.X - cx;
            const float dy = corner.Y - cy;
            corner = QuadCorner{cosA * dx - sinA * dy + cx, sinA * dx + cosA * dy + cy};
        }
    }
    return c;
}

}  // namespace pp
