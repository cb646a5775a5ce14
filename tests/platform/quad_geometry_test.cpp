#include "platform/quad_geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
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

// QuadCosSinMany over the angles (four lanes where the processor has AVX2) and QuadCosSin on
// each (two lanes, the second a copy) against the library's double cos and sin rounded to
// float; returns the first angle where one differs. Outputs past the count stay untouched.
std::optional<float> FirstMismatch(const std::vector<float>& angles, size_t count) {
    std::vector<float> cosines(angles.size() + 8, 7.0f);
    std::vector<float> sines(angles.size() + 8, 7.0f);
    QuadCosSinMany(angles.data(), count, cosines.data(), sines.data());
    for (size_t i = 0; i < count; ++i) {
        float refCos, refSin, oneCos, oneSin;
        ReferenceQuadCosSin(angles[i], refCos, refSin);
        QuadCosSin(angles[i], oneCos, oneSin);
        if (!Same(cosines[i], refCos) || !Same(sines[i], refSin) || !Same(oneCos, refCos) ||
            !Same(oneSin, refSin)) {
            return angles[i];
        }
    }
    if (cosines[count] != 7.0f || sines[count] != 7.0f) return -1.0f;
    return std::nullopt;
}

// Every float of one sign and one binade [2^e, 2^(e+1)), for each binade of the fast range
// 2^-20 <= |angle| <= 2^17 and the one below it, which goes through the library path and the
// decision between the two.
class QuadCosSinBinade : public ::testing::TestWithParam<std::tuple<bool, int32_t>> {};

TEST_P(QuadCosSinBinade, EveryFloatMatchesTheLibraryBitForBit) {
    const auto [negative, exponent] = GetParam();
    const uint32_t first = (negative ? 0x80000000u : 0u) | static_cast<uint32_t>(exponent + 127)
                                                               << 23;
    std::vector<float> angles;
    for (uint32_t m = 0; m < (1u << 23); m += kStride) {
        angles.push_back(std::bit_cast<float>(first | m));
        if (angles.size() == 4096 || m + kStride >= (1u << 23)) {
            const std::optional<float> bad = FirstMismatch(angles, angles.size());
            ASSERT_FALSE(bad.has_value()) << std::hexfloat << *bad;
            angles.clear();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(All, QuadCosSinBinade,
                         ::testing::Combine(::testing::Bool(), ::testing::Range(-21, 18)));

// Outside the fast range (and for any bit pattern at all) the library decides; QuadCosSinMany
// takes any count.
TEST(QuadCosSin, AnyFloatAndAnyCountMatchTheLibrary) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<float> angles = {0.0f, -0.0f, 1e-45f,    -1e-45f,    FLT_MIN,   1e-30f, 3e-7f,
                                 1e6f, -1e6f, 3e10f,     FLT_MAX,    -FLT_MAX,  inf,    -inf,
                                 nan,  -nan,  131072.0f, 131072.01f, -131073.0f};
    std::mt19937 rng(5);
    while (angles.size() < 100000)
        angles.push_back(std::bit_cast<float>(static_cast<uint32_t>(rng())));
    for (size_t count : {angles.size(), size_t{0}, size_t{1}, size_t{3}, size_t{5}, size_t{11}}) {
        const std::optional<float> bad = FirstMismatch(angles, count);
        ASSERT_FALSE(bad.has_value()) << std::hexfloat << *bad << ", count " << count;
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
        float c;
        float s;
        ReferenceQuadCosSin(radians, c, s);
        for (auto [v, field] : {std::pair{size, &Size}, {x, &X}, {y, &Y}, {alpha, &Alpha}})
            field->push_back(v);
        for (auto [v, field] : {std::pair{radians, &Radians}, {c, &Cos}, {s, &Sin}})
            field->push_back(v);
    }
};

// WriteQuadVertices (both widths) on quads [first, first + count) against single draws, one
// quad at a time: the plain corners moved to the position, quads of side 0 or with a corner
// that is not finite left out; bit for bit, and nothing written past the room of count quads.
void ExpectSameVertices(const QuadBatch& b, size_t first, size_t count) {
    std::vector<float> plainXy;
    std::vector<uint8_t> plainAlpha;
    for (size_t i = first; i < first + count; ++i) {
        const QuadCorners c = ReferenceQuadCorners(b.Size[i], b.Size[i], b.Radians[i]);
        std::vector<float> v;
        for (const QuadCorner& k : c) {
            v.push_back(k.X + static_cast<float>(b.X[i]));
            v.push_back(k.Y + static_cast<float>(b.Y[i]));
        }
        if (b.Size[i] == 0 ||
            !std::all_of(v.begin(), v.end(), [](float f) { return std::isfinite(f); }))
            continue;
        plainXy.insert(plainXy.end(), v.begin(), v.end());
        plainAlpha.insert(plainAlpha.end(), 4, static_cast<uint8_t>(b.Alpha[i] & 0xFF));
    }
    const QuadVertexSource source = {
        b.Size.data() + first,    b.X.data() + first,   b.Y.data() + first,  b.Alpha.data() + first,
        b.Radians.data() + first, b.Cos.data() + first, b.Sin.data() + first};
    for (const auto write : {WriteQuadVertices, WriteQuadVerticesFourWide}) {
        std::vector<float> xy(count * 8 + 8, 12345.0f);
        std::vector<uint8_t> alpha(count * 4 + 4, 0xA5);
        const size_t written = write(source, count, xy.data(), alpha.data());
        ASSERT_EQ(written * 8, plainXy.size()) << "quads " << first << " + " << count;
        // An empty vector's data() may be null, which memcmp must not be given.
        ASSERT_TRUE(plainXy.empty() ||
                    std::memcmp(xy.data(), plainXy.data(), plainXy.size() * 4) == 0)
            << first << " + " << count;
        ASSERT_TRUE(std::equal(plainAlpha.begin(), plainAlpha.end(), alpha.begin()));
        ASSERT_TRUE(
            std::all_of(xy.begin() + count * 8, xy.end(), [](float f) { return f == 12345.0f; }));
        ASSERT_TRUE(std::all_of(alpha.begin() + count * 4, alpha.end(),
                                [](uint8_t a) { return a == 0xA5; }));
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
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float specialAngles[] = {0.0f,   -0.0f,   inf,   -inf,       nan,
                                   1e-30f, -1e-40f, 1e30f, 3.1415927f, 1.5707964f};
    auto pick = [&rng](const auto& values) { return values[rng() % std::size(values)]; };
    auto uniform = [&rng](int32_t lo, int32_t hi) {
        return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
    };
    std::uniform_real_distribution<float> degrees(-100000.0f, 100000.0f);
    QuadBatch b;
    constexpr size_t kQuads = 1 << 20;
    for (size_t i = 0; i < kQuads; ++i) {
        const int kind = uniform(0, 99);
        const int32_t size = kind < 3   ? pick(specialSizes)
                             : kind < 6 ? uniform(INT32_MIN, INT32_MAX)
                                        : uniform(-3, 40);
        const int32_t x = kind % 17 == 0 ? pick(specialPositions) : uniform(-2000, 2000);
        const int32_t y = kind % 13 == 0 ? pick(specialPositions) : uniform(-2000, 2000);
        const int32_t alpha = kind % 2 == 0 ? uniform(INT32_MIN, INT32_MAX) : uniform(0, 299);
        const float radians = kind >= 90   ? pick(specialAngles)
                              : kind >= 80 ? 0.0f
                                           : QuadAngleRadians(degrees(rng), 0.0f, 0);
        b.Add(size, x, y, alpha, radians);
    }
    // Then a run of quads that all write nothing: side 0 or a NaN angle.
    for (int i = 0; i < 37; ++i) b.Add(i % 2 == 0 ? 0 : 5, 10, 10, 255, i % 2 == 0 ? 0.5f : nan);
    ExpectSameVertices(b, 0, kQuads + 37);
    ExpectSameVertices(b, kQuads, 37);
    // Short runs from every alignment: the padded rest and the squeezed groups.
    for (size_t count = 0; count <= 40; ++count) {
        for (size_t first = 0; first < 8; ++first) ExpectSameVertices(b, 1000 + first, count);
    }
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
    // Adding to the current angle can leave the float range: infinity, not a bad conversion.
    EXPECT_EQ(QuadAngleRadians(FLT_MAX, FLT_MAX, 1), INFINITY);
    EXPECT_EQ(QuadAngleRadians(-FLT_MAX, -FLT_MAX, 1), -INFINITY);
}

}  // namespace
}  // namespace pp
