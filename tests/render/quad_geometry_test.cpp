#include "render/quad_geometry.h"

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
