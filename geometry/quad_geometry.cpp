#include "geometry/quad_geometry.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "runtime/cpu_path.h"

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
            if (ok[2 * lane] != 0) continue;
            // Unturned quads are common and need no library call: cos(+-0) is exactly 1 and
            // sin(+-0) exactly +-0.
            if (angles[lane] == 0.0f) {
                cosOut[lane] = 1.0f;
                sinOut[lane] = angles[lane];
            } else {
                ReferenceQuadCosSin(angles[lane], cosOut[lane], sinOut[lane]);
            }
        }
    }
};

// N quads at once, one per lane, for WriteQuadVertices. The corner formulas of TurnedCorners
// with width = height: the same float operations in the same order, only spread over quads
// instead of corners, so every coordinate is bit for bit the one TurnedCorners gives.
template <int N>
struct FloatVectorTypes;

template <>
struct FloatVectorTypes<4> {
    using Float = float __attribute__((vector_size(16)));
    using Int = int32_t __attribute__((vector_size(16)));
    using Unsigned = uint32_t __attribute__((vector_size(16)));
};

template <>
struct FloatVectorTypes<8> {
    using Float = float __attribute__((vector_size(32)));
    using Int = int32_t __attribute__((vector_size(32)));
    using Unsigned = uint32_t __attribute__((vector_size(32)));
};

template <int N>
struct VertexLanes {
    using Float = typename FloatVectorTypes<N>::Float;
    using Int = typename FloatVectorTypes<N>::Int;
    using Unsigned = typename FloatVectorTypes<N>::Unsigned;

    template <class V, class T>
    [[gnu::always_inline]] static void Load(const T* p, V& v) {
        std::memcpy(&v, p, sizeof v);
    }

    template <class V, class T>
    [[gnu::always_inline]] static void Store(T* p, const V& v) {
        std::memcpy(p, &v, sizeof v);
    }

    // Rows of eight floats, one per quad: x0 y0 x1 y1 x2 y2 x3 y3.
    [[gnu::always_inline]] static void StoreRows(const Float& x0, const Float& y0, const Float& x1,
                                                 const Float& y1, const Float& x2, const Float& y2,
                                                 const Float& x3, const Float& y3, float* out);

    // Quads first .. first + N - 1 into xy and alpha at their first N places. Returns the
    // lanes of the quads that must be left out, as bits.
    [[gnu::always_inline]] static uint32_t Group(const QuadVertexSource& in, size_t first,
                                                 float* xy, uint8_t* alpha) {
        Int side;
        Int left;
        Int top;
        Int opacity;
        Float radians;
        Float c;
        Float s;
        Load(in.Size + first, side);
        Load(in.X + first, left);
        Load(in.Y + first, top);
        Load(in.Alpha + first, opacity);
        Load(in.Radians + first, radians);
        Load(in.Cos + first, c);
        Load(in.Sin + first, s);
        const Float near = Float{} - 0.5f;
        const Float far = __builtin_convertvector(side, Float) - 0.5f;
        // Corners x: near, far, near, far; y: near, near, far, far. The centre sums them in
        // corner order.
        const Float cx = (((near + far) + near) + far) * 0.25f;
        const Float cy = (((near + near) + far) + far) * 0.25f;
        const Float nearX = near - cx;
        const Float farX = far - cx;
        const Float nearY = near - cy;
        const Float farY = far - cy;
        const Float cNearX = c * nearX;
        const Float cFarX = c * farX;
        const Float sNearY = s * nearY;
        const Float sFarY = s * farY;
        const Float sNearX = s * nearX;
        const Float sFarX = s * farX;
        const Float cNearY = c * nearY;
        const Float cFarY = c * farY;
        const Int flat = radians == 0.0f;
        const Float px = __builtin_convertvector(left, Float);
        const Float py = __builtin_convertvector(top, Float);
        const Float x0 = (flat != 0 ? near : (cNearX - sNearY) + cx) + px;
        const Float x1 = (flat != 0 ? far : (cFarX - sNearY) + cx) + px;
        const Float x2 = (flat != 0 ? near : (cNearX - sFarY) + cx) + px;
        const Float x3 = (flat != 0 ? far : (cFarX - sFarY) + cx) + px;
        const Float y0 = (flat != 0 ? near : (sNearX + cNearY) + cy) + py;
        const Float y1 = (flat != 0 ? near : (sFarX + cNearY) + cy) + py;
        const Float y2 = (flat != 0 ? far : (sNearX + cFarY) + cy) + py;
        const Float y3 = (flat != 0 ? far : (sFarX + cFarY) + cy) + py;
        StoreRows(x0, y0, x1, y1, x2, y2, x3, y3, xy);
        // The low byte of alpha in all four bytes, in unsigned arithmetic (it wraps).
        const Unsigned bytes = reinterpret_cast<Unsigned>(opacity & 0xFF) * 0x01010101u;
        std::memcpy(alpha, &bytes, sizeof bytes);
        // v - v is 0 for finite v and NaN otherwise, so the sum is 0 only when all are finite.
        const Float zero = ((x0 - x0) + (y0 - y0)) + ((x1 - x1) + (y1 - y1)) +
                           ((x2 - x2) + (y2 - y2)) + ((x3 - x3) + (y3 - y3));
        return LaneBits((side == 0) | ~(zero == 0.0f));
    }

    // Every quad of the source, N at a time; the groups that hold a quad to leave out are
    // squeezed together, and the last few quads go through a group padded with empty quads.
    [[gnu::always_inline]] static size_t Write(const QuadVertexSource& in, size_t count, float* xy,
                                               uint8_t* alpha) {
        size_t out = 0;
        size_t i = 0;
        for (; i + N <= count; i += N) {
            const uint32_t skip = Group(in, i, xy + out * 8, alpha + out * 4);
            if (skip == 0) {
                out += N;
                continue;
            }
            out += Squeeze(skip, xy + out * 8, alpha + out * 4, xy + out * 8, alpha + out * 4);
        }
        if (i == count) return out;
        // The rest, copied behind empty quads (side 0) that are left out like any other.
        alignas(32) int32_t size[N] = {};
        alignas(32) int32_t x[N] = {};
        alignas(32) int32_t y[N] = {};
        alignas(32) int32_t a[N] = {};
        alignas(32) float radians[N] = {};
        alignas(32) float c[N] = {};
        alignas(32) float s[N] = {};
        const size_t rest = count - i;
        std::memcpy(size, in.Size + i, rest * sizeof(int32_t));
        std::memcpy(x, in.X + i, rest * sizeof(int32_t));
        std::memcpy(y, in.Y + i, rest * sizeof(int32_t));
        std::memcpy(a, in.Alpha + i, rest * sizeof(int32_t));
        std::memcpy(radians, in.Radians + i, rest * sizeof(float));
        std::memcpy(c, in.Cos + i, rest * sizeof(float));
        std::memcpy(s, in.Sin + i, rest * sizeof(float));
        const QuadVertexSource padded = {size, x, y, a, radians, c, s};
        alignas(32) float groupXy[N * 8];
        alignas(32) uint8_t groupAlpha[N * 4];
        const uint32_t skip = Group(padded, 0, groupXy, groupAlpha);
        return out + Squeeze(skip, groupXy, groupAlpha, xy + out * 8, alpha + out * 4);
    }

    // Bit k set where lane k of the mask is.
    [[gnu::always_inline]] static uint32_t LaneBits(const Int& mask) {
        uint32_t bits = 0;
        for (int lane = 0; lane < N; ++lane) {
            bits |= static_cast<uint32_t>(mask[lane] & 1) << lane;
        }
        return bits;
    }

    // Copies the quads of a group whose bit in skip is clear to the front of (toXy, toAlpha),
    // in order; the source may be the destination. Returns how many.
    static size_t Squeeze(uint32_t skip, const float* fromXy, const uint8_t* fromAlpha, float* toXy,
                          uint8_t* toAlpha) {
        size_t kept = 0;
        for (int lane = 0; lane < N; ++lane) {
            if ((skip >> lane & 1u) != 0) continue;
            std::memmove(toXy + kept * 8, fromXy + lane * 8, 8 * sizeof(float));
            std::memmove(toAlpha + kept * 4, fromAlpha + lane * 4, 4);
            ++kept;
        }
        return kept;
    }
};

template <>
[[gnu::always_inline]] inline void VertexLanes<4>::StoreRows(const Float& x0, const Float& y0,
                                                             const Float& x1, const Float& y1,
                                                             const Float& x2, const Float& y2,
                                                             const Float& x3, const Float& y3,
                                                             float* out) {
    // Each row is two halves, (x0 y0 x1 y1) and (x2 y2 x3 y3) of one lane: two 4 x 4
    // transposes.
    const Float front01 = __builtin_shufflevector(x0, y0, 0, 4, 1, 5);
    const Float front23 = __builtin_shufflevector(x0, y0, 2, 6, 3, 7);
    const Float next01 = __builtin_shufflevector(x1, y1, 0, 4, 1, 5);
    const Float next23 = __builtin_shufflevector(x1, y1, 2, 6, 3, 7);
    const Float back01 = __builtin_shufflevector(x2, y2, 0, 4, 1, 5);
    const Float back23 = __builtin_shufflevector(x2, y2, 2, 6, 3, 7);
    const Float last01 = __builtin_shufflevector(x3, y3, 0, 4, 1, 5);
    const Float last23 = __builtin_shufflevector(x3, y3, 2, 6, 3, 7);
    // Stored one vector at a time: an array of vectors would go through the stack.
    Store(out, __builtin_shufflevector(front01, next01, 0, 1, 4, 5));
    Store(out + 4, __builtin_shufflevector(back01, last01, 0, 1, 4, 5));
    Store(out + 8, __builtin_shufflevector(front01, next01, 2, 3, 6, 7));
    Store(out + 12, __builtin_shufflevector(back01, last01, 2, 3, 6, 7));
    Store(out + 16, __builtin_shufflevector(front23, next23, 0, 1, 4, 5));
    Store(out + 20, __builtin_shufflevector(back23, last23, 0, 1, 4, 5));
    Store(out + 24, __builtin_shufflevector(front23, next23, 2, 3, 6, 7));
    Store(out + 28, __builtin_shufflevector(back23, last23, 2, 3, 6, 7));
}

template <>
[[gnu::always_inline]] inline void VertexLanes<8>::StoreRows(const Float& x0, const Float& y0,
                                                             const Float& x1, const Float& y1,
                                                             const Float& x2, const Float& y2,
                                                             const Float& x3, const Float& y3,
                                                             float* out) {
    // An 8 x 8 transpose: pairs (x, y) within 128-bit halves, then pairs of pairs, then the
    // halves of two vectors. pAB holds corner k's pairs of quads A, B, A + 4, B + 4.
    const Float p0_01 = __builtin_shufflevector(x0, y0, 0, 8, 1, 9, 4, 12, 5, 13);
    const Float p0_23 = __builtin_shufflevector(x0, y0, 2, 10, 3, 11, 6, 14, 7, 15);
    const Float p1_01 = __builtin_shufflevector(x1, y1, 0, 8, 1, 9, 4, 12, 5, 13);
    const Float p1_23 = __builtin_shufflevector(x1, y1, 2, 10, 3, 11, 6, 14, 7, 15);
    const Float p2_01 = __builtin_shufflevector(x2, y2, 0, 8, 1, 9, 4, 12, 5, 13);
    const Float p2_23 = __builtin_shufflevector(x2, y2, 2, 10, 3, 11, 6, 14, 7, 15);
    const Float p3_01 = __builtin_shufflevector(x3, y3, 0, 8, 1, 9, 4, 12, 5, 13);
    const Float p3_23 = __builtin_shufflevector(x3, y3, 2, 10, 3, 11, 6, 14, 7, 15);
    // Corners 0 and 1 (front) or 2 and 3 (back) of quads q and q + 4.
    const Float front0 = __builtin_shufflevector(p0_01, p1_01, 0, 1, 8, 9, 4, 5, 12, 13);
    const Float front1 = __builtin_shufflevector(p0_01, p1_01, 2, 3, 10, 11, 6, 7, 14, 15);
    const Float front2 = __builtin_shufflevector(p0_23, p1_23, 0, 1, 8, 9, 4, 5, 12, 13);
    const Float front3 = __builtin_shufflevector(p0_23, p1_23, 2, 3, 10, 11, 6, 7, 14, 15);
    const Float back0 = __builtin_shufflevector(p2_01, p3_01, 0, 1, 8, 9, 4, 5, 12, 13);
    const Float back1 = __builtin_shufflevector(p2_01, p3_01, 2, 3, 10, 11, 6, 7, 14, 15);
    const Float back2 = __builtin_shufflevector(p2_23, p3_23, 0, 1, 8, 9, 4, 5, 12, 13);
    const Float back3 = __builtin_shufflevector(p2_23, p3_23, 2, 3, 10, 11, 6, 7, 14, 15);
    // Stored one vector at a time: an array of vectors would go through the stack.
    Store(out, __builtin_shufflevector(front0, back0, 0, 1, 2, 3, 8, 9, 10, 11));
    Store(out + 8, __builtin_shufflevector(front1, back1, 0, 1, 2, 3, 8, 9, 10, 11));
    Store(out + 16, __builtin_shufflevector(front2, back2, 0, 1, 2, 3, 8, 9, 10, 11));
    Store(out + 24, __builtin_shufflevector(front3, back3, 0, 1, 2, 3, 8, 9, 10, 11));
    Store(out + 32, __builtin_shufflevector(front0, back0, 4, 5, 6, 7, 12, 13, 14, 15));
    Store(out + 40, __builtin_shufflevector(front1, back1, 4, 5, 6, 7, 12, 13, 14, 15));
    Store(out + 48, __builtin_shufflevector(front2, back2, 4, 5, 6, 7, 12, 13, 14, 15));
    Store(out + 56, __builtin_shufflevector(front3, back3, 4, 5, 6, 7, 12, 13, 14, 15));
}

// QuadAngleRadians with mode 0, N angles at once. |pi * d * 2 / 360| < |d|, so a finite angle
// stays in the float range and the conversion needs no check; infinities and NaN convert to
// themselves.
template <int N>
[[gnu::always_inline]] inline void RadiansOf(const float* degrees, float* radians) {
    using Float = typename VectorTypes<N>::Float;
    using Double = typename VectorTypes<N>::Double;
    Float d;
    std::memcpy(&d, degrees, sizeof d);
    const Double r = kPi * __builtin_convertvector(d, Double) * 2.0 / 360.0;
    const Float f = __builtin_convertvector(r, Float);
    std::memcpy(radians, &f, sizeof f);
}

#if defined(__x86_64__)
[[gnu::target("avx2")]] size_t WriteQuadVerticesAvx2(const QuadVertexSource& in, size_t count,
                                                     float* xy, uint8_t* alpha) {
    return VertexLanes<8>::Write(in, count, xy, alpha);
}

[[gnu::target("avx2")]] size_t RadiansManyAvx2(const float* degrees, size_t count, float* radians) {
    size_t i = 0;
    for (; i + 4 <= count; i += 4) RadiansOf<4>(degrees + i, radians + i);
    return i;
}
#endif

size_t RadiansManyPairs(const float* degrees, size_t count, float* radians) {
    size_t i = 0;
    for (; i + 2 <= count; i += 2) RadiansOf<2>(degrees + i, radians + i);
    return i;
}

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
using WriteVerticesFunction = size_t (*)(const QuadVertexSource&, size_t, float*, uint8_t*);
using RadiansManyFunction = size_t (*)(const float*, size_t, float*);

// The eight-wide loops where the path that runs is AVX2 or AVX-512 (ActiveCpuPath), the others
// otherwise: the same operations, lane by lane. Sixteen-wide forms do not pay here: the sine
// and cosine in eight doubles run about three times slower than in four on a processor that
// splits 512-bit operations in two, the radians are no faster, and the corners are a transpose
// and stores.
CosSinManyFunction CosSinManyOnPath() {
#if defined(__x86_64__)
    if (UseAvx2()) return CosSinManyAvx2;
#endif
    return CosSinManyPairs;
}

WriteVerticesFunction WriteVerticesOnPath() {
#if defined(__x86_64__)
    if (UseAvx2()) return WriteQuadVerticesAvx2;
#endif
    return WriteQuadVerticesFourWide;
}

RadiansManyFunction RadiansManyOnPath() {
#if defined(__x86_64__)
    if (UseAvx2()) return RadiansManyAvx2;
#endif
    return RadiansManyPairs;
}

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
    size_t i = CosSinManyOnPath()(angles, count, cosOut, sinOut);
    for (; i < count; ++i) QuadCosSin(angles[i], cosOut[i], sinOut[i]);
}

size_t WriteQuadVerticesFourWide(const QuadVertexSource& source, size_t count, float* xy,
                                 uint8_t* alpha) {
    return VertexLanes<4>::Write(source, count, xy, alpha);
}

size_t WriteQuadVertices(const QuadVertexSource& source, size_t count, float* xy, uint8_t* alpha) {
    return WriteVerticesOnPath()(source, count, xy, alpha);
}

void QuadRadiansMany(const float* degrees, size_t count, float* radians) {
    size_t i = RadiansManyOnPath()(degrees, count, radians);
    for (; i < count; ++i) radians[i] = QuadAngleRadians(degrees[i], 0.0f, 0);
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
