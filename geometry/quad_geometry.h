// Corner geometry of quad sprites: the four corners of a W x H quad turned about its centre,
// and the sine and cosine behind them. The fast cosine and sine give exactly the floats that
// rounding the C library's double cos and sin gives, for every float angle; the reference
// functions are that plain computation, kept for tests and benchmarks. CPU only, no GL.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace pp {

struct QuadCorner {
    float X, Y;
};

// Top-left, top-right, bottom-left, bottom-right, relative to the draw position, with pixel
// centres at integer coordinates.
using QuadCorners = std::array<QuadCorner, 4>;

// float(cos(double(angle))) and float(sin(double(angle))), bit for bit, for every angle
// (NaN and infinities included). Angles of magnitude 2^-20 to 2^17 take a polynomial in
// double precision and fall back to the library only when its result lies too close to a
// rounding boundary of float to be sure of the rounding; all others go to the library.
void QuadCosSin(float angle, float& cosA, float& sinA);

// QuadCosSin of count angles, two at a time.
void QuadCosSinMany(const float* angles, size_t count, float* cosOut, float* sinOut);

// The same values straight from the C library.
void ReferenceQuadCosSin(float angle, float& cosA, float& sinA);

// The polynomial behind QuadCosSin, unrounded: cos and sin of x within a relative 2^-47 of
// the true values. Returns false, leaving both unset, outside 2^-20 <= |x| <= 2^17 or when
// the reduced argument leaves its range.
bool ApproximateCosSin(double x, double& cosX, double& sinX);

// Four floats of the four corners in corner order, for vector instructions.
using CornerFloats = float __attribute__((vector_size(16)));

// The unturned corners: (-0.5, -0.5) to (width - 0.5, height - 0.5), as four x and four y.
inline void RectangleCorners(int32_t width, int32_t height, CornerFloats& x, CornerFloats& y) {
    const float right = static_cast<float>(width) - 0.5f;
    const float bottom = static_cast<float>(height) - 0.5f;
    x = CornerFloats{-0.5f, right, -0.5f, right};
    y = CornerFloats{-0.5f, -0.5f, bottom, bottom};
}

// The rectangle turned about its centre by the angle whose cosine and sine are given: every
// corner's x' = cosA (x - cx) - sinA (y - cy) + cx and y' = sinA (x - cx) + cosA (y - cy) + cy,
// each operation rounded to float in that order, four corners per instruction. The centre is
// the mean of the corners summed in corner order: ((W - 1) / 2, (H - 1) / 2).
inline void TurnedCorners(int32_t width, int32_t height, float cosA, float sinA, CornerFloats& x,
                          CornerFloats& y) {
    RectangleCorners(width, height, x, y);
    const float cx = (((x[0] + x[1]) + x[2]) + x[3]) * 0.25f;
    const float cy = (((y[0] + y[1]) + y[2]) + y[3]) * 0.25f;
    const CornerFloats centreX = {cx, cx, cx, cx};
    const CornerFloats centreY = {cy, cy, cy, cy};
    const CornerFloats c = {cosA, cosA, cosA, cosA};
    const CornerFloats s = {sinA, sinA, sinA, sinA};
    const CornerFloats dx = x - centreX;
    const CornerFloats dy = y - centreY;
    x = c * dx - s * dy + centreX;
    y = s * dx + c * dy + centreY;
}

// The corners of a width x height quad turned by angle radians (clockwise on the screen):
// the rectangle when angle is exactly 0, else turned (NaN counts as not 0) with QuadCosSin.
inline void QuadCornersOf(int32_t width, int32_t height, float angle, CornerFloats& x,
                          CornerFloats& y) {
    if (angle == 0.0f) {
        RectangleCorners(width, height, x, y);
        return;
    }
    float cosA;
    float sinA;
    QuadCosSin(angle, cosA, sinA);
    TurnedCorners(width, height, cosA, sinA, x, y);
}

// The vertices of many quads at once, as DrawQuadSprites streams them: for quad i a square of
// side Size[i] turned by Radians[i] (whose cosine and sine are Cos[i] and Sin[i], as QuadCosSin
// gives them; unused where the angle is 0), moved to (X[i], Y[i]), with Alpha[i]. Every field
// is an array of at least `count` entries.
struct QuadVertexSource {
    const int32_t* Size;
    const int32_t* X;
    const int32_t* Y;
    const int32_t* Alpha;
    const float* Radians;
    const float* Cos;
    const float* Sin;
};

// Writes, in order, every quad that shows something: eight floats to xy (the corners x, y in
// corner order, each QuadCornersOf's corner plus float(X) or float(Y)) and four bytes to alpha
// (the low byte of Alpha, once per corner). A quad of side 0, or with a corner that is not
// finite, is left out, as a single draw leaves it out. xy and alpha have room for count quads;
// that room behind the quads written is used as scratch. Returns how many quads were written. Eight
// quads per step where the processor has AVX2.
size_t WriteQuadVertices(const QuadVertexSource& source, size_t count, float* xy, uint8_t* alpha);

// The same four quads per step, as every x86-64 processor can; WriteQuadVertices takes it where
// AVX2 is missing. Callable on its own so that tests cover it on any machine.
size_t WriteQuadVerticesFourWide(const QuadVertexSource& source, size_t count, float* xy,
                                 uint8_t* alpha);

// QuadAngleRadians(degrees[i], 0, 0) of count angles, four at a time where the processor has
// AVX2.
void QuadRadiansMany(const float* degrees, size_t count, float* radians);

// QuadCornersOf as a list of corners.
QuadCorners BuildQuadCorners(int32_t width, int32_t height, float angle);

// The same corners as plainly written, one corner and one coordinate at a time, with the
// library's cos and sin.
QuadCorners ReferenceQuadCorners(int32_t width, int32_t height, float angle);

// The angle in radians that SetQuadAngle stores: pi * degrees * 2 / 360 in double precision,
// plus current when mode is not 0, rounded to float; beyond the float range an infinity.
inline constexpr double kPi = 3.141592653589793;  // acos(-1.0), the double nearest pi
inline constexpr double kFloatMax = 3.4028234663852886e38;

inline float QuadAngleRadians(float degrees, float current, int32_t mode) {
    double r = kPi * static_cast<double>(degrees) * 2.0 / 360.0;
    if (mode != 0) r = r + static_cast<double>(current);
    // A sum beyond the float range becomes an infinity, as the FPU would store it, instead of
    // an out-of-range conversion.
    if (r > kFloatMax) return __builtin_inff();
    if (r < -kFloatMax) return -__builtin_inff();
    return static_cast<float>(r);
}

}  // namespace pp
