#include "platform/quad_geometry.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace pp {
namespace {

// Sanitizer and unoptimised builds walk every 97th float: the same code, a fraction of the
// time. Optimised builds check every float of the fast range.
#if defined(__SANITIZE_ADDRESS__) || !defined(__OPTIMIZE__)
constexpr uint32_t kStride = 97;
#else
constexpr uint32_t kStride = 1;
#endif

uint32_t Bits(float f) {
    return std::bit_cast<uint32_t>(f);
}

// Bit for bit, except that any NaN equals any NaN.
bool Same(float a, float b) {
    return Bits(a) == Bits(b) || (std::isnan(a) && std::isnan(b));
}

// Every float of one sign and one binade [2^e, 2^(e+1)), through QuadCosSin (two lanes, the
// second a copy) and QuadCosSinMany (four lanes where the processor has AVX2), against the
// library's double cos and sin rounded to float.
struct Binade {
    bool Negative;
    int32_t Exponent;
};

class QuadCosSinBinade : public ::testing::TestWithParam<Binade> {};

TEST_P(QuadCosSinBinade, EveryFloatMatchesTheLibraryBitForBit) {
    const Binade b = GetParam();
    const uint32_t first =
        (b.Negative ? 0x80000000u : 0u) | (static_cast<uint32_t>(b.Exponent + 127) << 23);
    constexpr size_t kBlock = 4096;
    std::vector<float> angles;
    angles.reserve(kBlock);
    std::vector<float> cosines(kBlock);
    std::vector<float> sines(kBlock);
    int64_t mismatches = 0;
    auto check = [&] {
        QuadCosSinMany(angles.data(), angles.size(), cosines.data(), sines.data());
        for (size_t i = 0; i < angles.size(); ++i) {
            float refCos;
            float refSin;
            ReferenceQuadCosSin(angles[i], refCos, refSin);
            float oneCos;
            float oneSin;
            QuadCosSin(angles[i], oneCos, oneSin);
            const bool ok = Same(cosines[i], refCos) && Same(sines[i], refSin) &&
                            Same(oneCos, refCos) && Same(oneSin, refSin);
            if (!ok && ++mismatches <= 5) {
                ADD_FAILURE() << "angle " << std::hexfloat << angles[i] << ": cos " << oneCos
                              << " / " << cosines[i] << " vs " << refCos << ", sin " << oneSin
                              << " / " << sines[i] << " vs " << refSin;
            }
        }
        angles.clear();
    };
    for (uint32_t m = 0; m < (1u << 23); m += kStride) {
        angles.push_back(std::bit_cast<float>(first | m));
        if (angles.size() == kBlock) check();
    }
    check();
    EXPECT_EQ(mismatches, 0);
}

// The fast range is 2^-20 <= |angle| <= 2^17; one binade on each side of it goes through the
// library path and the decision between the two.
std::vector<Binade> FastBinades() {
    std::vector<Binade> binades;
    for (const bool negative : {false, true}) {
        for (int32_t e = -21; e <= 17; ++e) binades.push_back({negative, e});
    }
    return binades;
}

INSTANTIATE_TEST_SUITE_P(All, QuadCosSinBinade, ::testing::ValuesIn(FastBinades()),
                         [](const ::testing::TestParamInfo<Binade>& info) {
                             const int32_t e = info.param.Exponent;
                             return std::string(info.param.Negative ? "Minus" : "Plus") + "Exp" +
                                    (e < 0 ? "M" : "") + std::to_string(e < 0 ? -e : e);
                         });

TEST(QuadCosSin, ValuesOutsideTheFastRangeMatchTheLibrary) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<float> angles = {0.0f, -0.0f, 1e-45f,    -1e-45f,    FLT_MIN,   1e-30f, 3e-7f,
                                 1e6f, -1e6f, 3e10f,     FLT_MAX,    -FLT_MAX,  inf,    -inf,
                                 nan,  -nan,  131072.0f, 131072.01f, -131073.0f};
    std::mt19937 rng(5);
    for (int i = 0; i < 100000; ++i) {
        // Any bit pattern at all: most of them lie outside the fast range.
        angles.push_back(std::bit_cast<float>(static_cast<uint32_t>(rng())));
    }
    std::vector<float> cosines(angles.size());
    std::vector<float> sines(angles.size());
    QuadCosSinMany(angles.data(), angles.size(), cosines.data(), sines.data());
    for (size_t i = 0; i < angles.size(); ++i) {
        float refCos;
        float refSin;
        ReferenceQuadCosSin(angles[i], refCos, refSin);
        float oneCos;
        float oneSin;
        QuadCosSin(angles[i], oneCos, oneSin);
        ASSERT_TRUE(Same(oneCos, refCos) && Same(oneSin, refSin) && Same(cosines[i], refCos) &&
                    Same(sines[i], refSin))
            << std::hexfloat << angles[i];
    }
}

// The rounding test trusts the polynomial to 2^-47 of the true value; check that bound, with
// room, against the library in double (itself within 2^-52).
TEST(QuadCosSin, PolynomialStaysWithinItsErrorBound) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int32_t> exponent(-20, 16);
    std::uniform_real_distribution<double> mantissa(1.0, 2.0);
    double worst = 0.0;
    for (int i = 0; i < 2000000; ++i) {
        const auto angle = static_cast<float>(std::ldexp(mantissa(rng), exponent(rng)));
        const double x = (i & 1) != 0 ? -static_cast<double>(angle) : angle;
        double c;
        double s;
        ASSERT_TRUE(ApproximateCosSin(x, c, s)) << x;
        worst = std::max(worst, std::fabs(c - std::cos(x)) / std::fabs(std::cos(x)));
        worst = std::max(worst, std::fabs(s - std::sin(x)) / std::fabs(std::sin(x)));
    }
    EXPECT_LT(worst, std::ldexp(1.0, -47));
}

TEST(QuadCosSin, ManyHandlesEveryCountAndLeavesTheRestAlone) {
    std::vector<float> angles;
    for (int i = 0; i < 11; ++i) angles.push_back(0.37f * static_cast<float>(i) - 1.5f);
    for (size_t count = 0; count <= angles.size(); ++count) {
        std::vector<float> cosines(angles.size(), 7.0f);
        std::vector<float> sines(angles.size(), 7.0f);
        QuadCosSinMany(angles.data(), count, cosines.data(), sines.data());
        for (size_t i = 0; i < angles.size(); ++i) {
            float refCos = 7.0f;
            float refSin = 7.0f;
            if (i < count) ReferenceQuadCosSin(angles[i], refCos, refSin);
            EXPECT_TRUE(Same(cosines[i], refCos) && Same(sines[i], refSin)) << count << " " << i;
        }
    }
}

// Corners through the vector path against the plain one, corner by corner, bit for bit: sizes
// zero, negative and huge (where w - 0.5 rounds), angles of every kind.
TEST(QuadCorners, FastCornersMatchThePlainComputation) {
    std::mt19937 rng(3);
    const int32_t sizes[] = {0,        1,         2,         3,         32,
                             64,       -1,        -7,        1000,      16777215,
                             16777217, 123456789, INT32_MAX, INT32_MIN, -123456789};
    std::uniform_int_distribution<int32_t> anySize(-100000, 100000);
    std::uniform_real_distribution<float> degrees(-100000.0f, 100000.0f);
    const float inf = std::numeric_limits<float>::infinity();
    const float special[] = {
        0.0f,   -0.0f, inf,        -inf,      std::numeric_limits<float>::quiet_NaN(),
        1e-30f, 1e30f, 3.1415927f, 1.5707964f};
    auto check = [](int32_t w, int32_t h, float angle) {
        const QuadCorners fast = BuildQuadCorners(w, h, angle);
        const QuadCorners plain = ReferenceQuadCorners(w, h, angle);
        for (size_t k = 0; k < 4; ++k) {
            ASSERT_TRUE(Same(fast[k].X, plain[k].X) && Same(fast[k].Y, plain[k].Y))
                << w << " x " << h << " at " << std::hexfloat << angle << " corner " << k;
        }
    };
    for (const int32_t w : sizes) {
        for (const int32_t h : sizes) {
            for (const float a : special) check(w, h, a);
            for (int i = 0; i < 20; ++i) check(w, h, QuadAngleRadians(degrees(rng), 0.0f, 0));
        }
    }
    for (int i = 0; i < 300000; ++i) {
        const int32_t w = anySize(rng);
        check(w, (i & 3) == 0 ? w : anySize(rng), QuadAngleRadians(degrees(rng), 0.0f, 0));
    }
}

// Quads as DrawQuadSprites hands them to WriteQuadVertices, in arrays.
struct QuadBatch {
    std::vector<int32_t> Size, X, Y, Alpha;
    std::vector<float> Radians, Cos, Sin;

    void Add(int32_t size, int32_t x, int32_t y, int32_t alpha, float radians) {
        Size.push_back(size);
        X.push_back(x);
        Y.push_back(y);
        Alpha.push_back(alpha);
        Radians.push_back(radians);
        float c;
        float s;
        ReferenceQuadCosSin(radians, c, s);
        Cos.push_back(c);
        Sin.push_back(s);
    }
    QuadVertexSource Source(size_t first) const {
        return {Size.data() + first,    X.data() + first,   Y.data() + first,  Alpha.data() + first,
                Radians.data() + first, Cos.data() + first, Sin.data() + first};
    }
};

// The vertices of quads [first, first + count) as single draws make them, one quad and one
// corner at a time: the plain corners moved to the position; quads of side 0 or with a corner
// that is not finite left out.
size_t PlainVertices(const QuadBatch& b, size_t first, size_t count, std::vector<float>& xy,
                     std::vector<uint8_t>& alpha) {
    size_t written = 0;
    for (size_t i = first; i < first + count; ++i) {
        if (b.Size[i] == 0) continue;
        const QuadCorners c = ReferenceQuadCorners(b.Size[i], b.Size[i], b.Radians[i]);
        float v[8];
        bool finite = true;
        for (size_t k = 0; k < 4; ++k) {
            v[2 * k] = c[k].X + static_cast<float>(b.X[i]);
            v[2 * k + 1] = c[k].Y + static_cast<float>(b.Y[i]);
            finite = finite && std::isfinite(v[2 * k]) && std::isfinite(v[2 * k + 1]);
        }
        if (!finite) continue;
        xy.insert(xy.end(), v, v + 8);
        for (int k = 0; k < 4; ++k) alpha.push_back(static_cast<uint8_t>(b.Alpha[i] & 0xFF));
        ++written;
    }
    return written;
}

// Checks WriteQuadVertices on quads [first, first + count) against the plain vertices, bit
// for bit, and that it writes nothing beyond the room of count quads.
void ExpectSameVertices(const QuadBatch& b, size_t first, size_t count) {
    std::vector<float> plainXy;
    std::vector<uint8_t> plainAlpha;
    const size_t plain = PlainVertices(b, first, count, plainXy, plainAlpha);
    for (const auto write : {WriteQuadVertices, WriteQuadVerticesFourWide}) {
        constexpr float kUntouched = 12345.0f;
        std::vector<float> xy(count * 8 + 8, kUntouched);
        std::vector<uint8_t> alpha(count * 4 + 4, 0xA5);
        const size_t fast = write(b.Source(first), count, xy.data(), alpha.data());
        ASSERT_EQ(fast, plain) << "quads " << first << " + " << count;
        for (size_t k = 0; k < plain * 8; ++k) {
            ASSERT_EQ(Bits(xy[k]), Bits(plainXy[k]))
                << "quad " << k / 8 << " coordinate " << k % 8 << " of run " << first << " + "
                << count << ": size " << b.Size[first + k / 8] << " angle " << std::hexfloat
                << b.Radians[first + k / 8];
        }
        for (size_t k = 0; k < plain * 4; ++k) ASSERT_EQ(alpha[k], plainAlpha[k]) << k;
        for (size_t k = count * 8; k < xy.size(); ++k)
            ASSERT_EQ(Bits(xy[k]), Bits(kUntouched)) << k;
        for (size_t k = count * 4; k < alpha.size(); ++k) ASSERT_EQ(alpha[k], 0xA5) << k;
    }
}

// A million quads of every kind through both vector paths (eight and four at a time, with the
// rest padded) against single draws: sides 0, negative, huge (where side - 0.5 rounds) and
// ordinary, positions at the ends of the int range, angles 0, -0, tiny, huge, infinite and NaN,
// alphas past 255 and below 0, runs of every length and starting point.
TEST(QuadVertices, ManyQuadsMatchSingleDrawsBitForBit) {
    std::mt19937 rng(11);
    const int32_t specialSizes[] = {0,         1,         2,         3,         32,       -1,
                                    -7,        1000,      16777215,  16777217,  16777219, 123456789,
                                    INT32_MAX, INT32_MIN, -16777217, -123456789};
    const int32_t specialPositions[] = {0,         -1,       799,       INT32_MAX,
                                        INT32_MIN, 16777217, -16777219, 1 << 30};
    const float inf = std::numeric_limits<float>::infinity();
    const float specialAngles[] = {
        0.0f,   -0.0f,   inf,   -inf,       std::numeric_limits<float>::quiet_NaN(),
        1e-30f, -1e-40f, 1e30f, 3.1415927f, 1.5707964f};
    std::uniform_int_distribution<int32_t> smallSize(-3, 40);
    std::uniform_int_distribution<int32_t> position(-2000, 2000);
    std::uniform_int_distribution<int32_t> anyInt(INT32_MIN, INT32_MAX);
    std::uniform_real_distribution<float> degrees(-100000.0f, 100000.0f);
    std::uniform_int_distribution<int> pick(0, 99);
    QuadBatch b;
    constexpr size_t kQuads = 1 << 20;
    for (size_t i = 0; i < kQuads; ++i) {
        const int kind = pick(rng);
        const int32_t size = kind < 3   ? specialSizes[rng() % std::size(specialSizes)]
                             : kind < 6 ? anyInt(rng)
                                        : smallSize(rng);
        const int32_t x =
            kind % 17 == 0 ? specialPositions[rng() % std::size(specialPositions)] : position(rng);
        const int32_t y =
            kind % 13 == 0 ? specialPositions[rng() % std::size(specialPositions)] : position(rng);
        const int32_t alpha = kind % 2 == 0 ? anyInt(rng) : static_cast<int32_t>(rng() % 300);
        float radians = QuadAngleRadians(degrees(rng), 0.0f, 0);
        if (kind >= 90) radians = specialAngles[rng() % std::size(specialAngles)];
        if (kind >= 80 && kind < 90) radians = 0.0f;
        b.Add(size, x, y, alpha, radians);
    }
    ExpectSameVertices(b, 0, kQuads);
    // Short runs from every alignment: the padded rest and the squeezed groups.
    for (size_t count = 0; count <= 40; ++count) {
        for (size_t first = 0; first < 8; ++first) ExpectSameVertices(b, 1000 + first, count);
    }
}

TEST(QuadVertices, RunsOfEmptyOrNonFiniteQuadsWriteNothing) {
    QuadBatch b;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int i = 0; i < 37; ++i) b.Add(i % 2 == 0 ? 0 : 5, 10, 10, 255, i % 2 == 0 ? 0.5f : nan);
    std::vector<float> xy(37 * 8);
    std::vector<uint8_t> alpha(37 * 4);
    EXPECT_EQ(WriteQuadVertices(b.Source(0), 37, xy.data(), alpha.data()), 0u);
    ExpectSameVertices(b, 0, 37);
}

TEST(QuadRadiansMany, MatchesQuadAngleRadiansForEveryCount) {
    std::mt19937 rng(5);
    std::vector<float> degrees;
    const float inf = std::numeric_limits<float>::infinity();
    for (const float special : {0.0f, -0.0f, inf, -inf, FLT_MAX, -FLT_MAX, FLT_MIN, 1e-45f,
                                std::numeric_limits<float>::quiet_NaN(), 360.0f, 450.0f}) {
        degrees.push_back(special);
    }
    while (degrees.size() < 1000000) {
        degrees.push_back(std::bit_cast<float>(static_cast<uint32_t>(rng())));
    }
    std::vector<float> radians(degrees.size());
    QuadRadiansMany(degrees.data(), degrees.size(), radians.data());
    for (size_t i = 0; i < degrees.size(); ++i) {
        ASSERT_TRUE(Same(radians[i], QuadAngleRadians(degrees[i], 0.0f, 0)))
            << std::hexfloat << degrees[i];
    }
    for (size_t count = 0; count <= 9; ++count) {
        std::vector<float> some(10, 7.0f);
        QuadRadiansMany(degrees.data(), count, some.data());
        for (size_t i = 0; i < some.size(); ++i) {
            EXPECT_TRUE(Same(some[i], i < count ? QuadAngleRadians(degrees[i], 0.0f, 0) : 7.0f));
        }
    }
}

// SetQuadAngle's conversion, as plainly written in double precision.
float PlainRadians(float degrees, float current, int32_t mode) {
    const double pi = std::acos(-1.0);
    double r = pi * static_cast<double>(degrees) * 2.0 / 360.0;
    if (mode != 0) r = r + static_cast<double>(current);
    if (r > static_cast<double>(FLT_MAX)) return INFINITY;
    if (r < -static_cast<double>(FLT_MAX)) return -INFINITY;
    return static_cast<float>(r);
}

TEST(QuadAngleRadians, MatchesThePlainDoubleComputation) {
    std::mt19937 rng(9);
    for (int i = 0; i < 1000000; ++i) {
        const float degrees = std::bit_cast<float>(static_cast<uint32_t>(rng()));
        const float current =
            (i & 1) != 0 ? std::bit_cast<float>(static_cast<uint32_t>(rng())) : 0.5f;
        const int32_t mode = i & 2;
        ASSERT_TRUE(
            Same(QuadAngleRadians(degrees, current, mode), PlainRadians(degrees, current, mode)))
            << std::hexfloat << degrees << " " << current << " " << mode;
    }
    EXPECT_EQ(QuadAngleRadians(FLT_MAX, FLT_MAX, 1), INFINITY);
    EXPECT_EQ(QuadAngleRadians(-FLT_MAX, -FLT_MAX, 1), -INFINITY);
}

}  // namespace
}  // namespace pp
