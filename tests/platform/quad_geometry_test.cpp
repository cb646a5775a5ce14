// The fast cosine/sine, corners, vertices and radians against their plain ones, bit for bit.
#include "platform/quad_geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

namespace pp {
namespace {

// Sanitizer and unoptimised builds walk every 97th float; optimised builds every float.
#if defined(__SANITIZE_ADDRESS__) || !defined(__OPTIMIZE__)
constexpr uint32_t kStride = 97;
#else
constexpr uint32_t kStride = 1;
#endif

constexpr float kInf = INFINITY;
const float kNan = std::nanf("");
// Sides zero, negative and huge (where side - 0.5 rounds); angles of every kind.
const int32_t kSizes[] = {0,         1,         2,         3,         32,        64,
                          -1,        -7,        1000,      16777215,  16777217,  16777219,
                          123456789, INT32_MAX, INT32_MIN, -16777217, -123456789};
const float kAngles[] = {0.0f,   -0.0f,   kInf,  -kInf,      kNan,
                         1e-30f, -1e-40f, 1e30f, 3.1415927f, 1.5707964f};

// Bit for bit, except that any NaN equals any NaN.
bool Same(float a, float b) {
    return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b) ||
           (std::isnan(a) && std::isnan(b));
}

// QuadCosSinMany and QuadCosSin against the library's cos and sin rounded to float: the first
// angle where one differs; outputs past count untouched.
std::optional<float> FirstMismatch(const std::vector<float>& angles, size_t count) {
    std::vector<float> cosines(angles.size() + 8, 7.0f), sines(angles.size() + 8, 7.0f);
    QuadCosSinMany(angles.data(), count, cosines.data(), sines.data());
    for (size_t i = 0; i < count; ++i) {
        float refCos, refSin, oneCos, oneSin;
        ReferenceQuadCosSin(angles[i], refCos, refSin);
        QuadCosSin(angles[i], oneCos, oneSin);
        if (!Same(cosines[i], refCos) || !Same(sines[i], refSin) || !Same(oneCos, refCos) ||
            !Same(oneSin, refSin))
            return angles[i];
    }
    if (cosines[count] != 7.0f || sines[count] != 7.0f) return -1.0f;
    return std::nullopt;
}

// Every float of one sign and binade [2^e, 2^(e+1)), the fast range 2^-20..2^17 and below.
class QuadCosSinBinade : public ::testing::TestWithParam<std::tuple<bool, int32_t>> {};

TEST_P(QuadCosSinBinade, EveryFloatMatchesTheLibraryBitForBit) {
    const auto [negative, exponent] = GetParam();
    const uint32_t first = (negative ? 0x80000000u : 0u) | uint32_t(exponent + 127) << 23;
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

// Outside the fast range (any bit pattern at all) the library decides; any count works.
TEST(QuadCosSin, AnyFloatAndAnyCountMatchTheLibrary) {
    std::vector<float> angles = {0.0f,  -0.0f, 1e-45f, -1e-45f,   FLT_MIN,    1e-30f,
                                 3e-7f, 1e6f,  -1e6f,  3e10f,     FLT_MAX,    kInf,
                                 -kInf, kNan,  -kNan,  131072.0f, 131072.01f, -131073.0f};
    std::mt19937 rng(5);
    while (angles.size() < 100000) angles.push_back(std::bit_cast<float>(uint32_t(rng())));
    for (size_t count : {angles.size(), size_t{0}, size_t{1}, size_t{3}, size_t{5}, size_t{11}}) {
        const std::optional<float> bad = FirstMismatch(angles, count);
        ASSERT_FALSE(bad.has_value()) << std::hexfloat << *bad << ", count " << count;
    }
}

// The vector corners against the plain ones, sides and angles of every kind.
TEST(QuadCorners, FastCornersMatchThePlainComputation) {
    std::mt19937 rng(3);
    std::uniform_int_distribution<int32_t> anySize(-100000, 100000);
    std::uniform_real_distribution<float> degrees(-100000.0f, 100000.0f);
    auto check = [](int32_t w, int32_t h, float angle) {
        const QuadCorners fast = BuildQuadCorners(w, h, angle);
        const QuadCorners plain = ReferenceQuadCorners(w, h, angle);
        for (size_t k = 0; k < 4; ++k) {
            ASSERT_TRUE(Same(fast[k].X, plain[k].X) && Same(fast[k].Y, plain[k].Y))
                << w << " x " << h << " at " << std::hexfloat << angle << " corner " << k;
        }
    };
    for (const int32_t w : kSizes) {
        for (const int32_t h : kSizes) {
            for (const float a : kAngles) check(w, h, a);
            for (int i = 0; i < 20; ++i) check(w, h, QuadAngleRadians(degrees(rng), 0.0f, 0));
        }
    }
    for (int i = 0; i < 300000; ++i) {
        const int32_t w = anySize(rng);
        check(w, (i & 3) == 0 ? w : anySize(rng), QuadAngleRadians(degrees(rng), 0.0f, 0));
    }
}

// Quads as DrawQuadSprites hands them to WriteQuadVertices, in arrays.
struct Quads {
    std::vector<int32_t> Size, X, Y, Alpha;
    std::vector<float> Radians, Cos, Sin;
    void Add(int32_t size, int32_t x, int32_t y, int32_t alpha, float radians) {
        Size.push_back(size), X.push_back(x), Y.push_back(y), Alpha.push_back(alpha);
        Radians.push_back(radians), Cos.push_back(0.0f), Sin.push_back(0.0f);
        ReferenceQuadCosSin(radians, Cos.back(), Sin.back());
    }
};

// WriteQuadVertices (both widths) on quads [first, first + count) against the plain corners
// moved to the position, quads of side 0 or a corner not finite left out; nothing written past
// the room of count quads.
void ExpectSameVertices(const Quads& q, size_t first, size_t count) {
    std::vector<float> plainXy;
    std::vector<uint8_t> plainAlpha;
    for (size_t i = first; i < first + count; ++i) {
        std::vector<float> v;
        for (const QuadCorner& k : ReferenceQuadCorners(q.Size[i], q.Size[i], q.Radians[i]))
            v.insert(v.end(), {k.X + float(q.X[i]), k.Y + float(q.Y[i])});
        if (q.Size[i] == 0 ||
            !std::all_of(v.begin(), v.end(), [](float f) { return std::isfinite(f); }))
            continue;
        plainXy.insert(plainXy.end(), v.begin(), v.end());
        plainAlpha.insert(plainAlpha.end(), 4, static_cast<uint8_t>(q.Alpha[i] & 0xFF));
    }
    const QuadVertexSource source = {&q.Size[first],  &q.X[first],       &q.Y[first],
                                     &q.Alpha[first], &q.Radians[first], &q.Cos[first],
                                     &q.Sin[first]};
    for (const auto write : {WriteQuadVertices, WriteQuadVerticesFourWide}) {
        std::vector<float> xy(count * 8 + 8, 12345.0f);
        std::vector<uint8_t> alpha(count * 4 + 4, 0xA5);
        const size_t written = write(source, count, xy.data(), alpha.data());
        ASSERT_TRUE(
            written * 8 == plainXy.size() &&
            (plainXy.empty() || std::memcmp(xy.data(), plainXy.data(), plainXy.size() * 4) == 0) &&
            std::equal(plainAlpha.begin(), plainAlpha.end(), alpha.begin()) &&
            std::count(xy.begin() + count * 8, xy.end(), 12345.0f) == 8 &&
            std::count(alpha.begin() + count * 4, alpha.end(), 0xA5) == 4)
            << "quads " << first << " + " << count;
    }
}

// A million quads of every kind (sides, positions, angles and alphas of every range), runs of
// every length and start.
TEST(QuadVertices, ManyQuadsMatchSingleDrawsBitForBit) {
    std::mt19937 rng(11);
    const int32_t specialPositions[] = {0,         -1,       799,       INT32_MAX,
                                        INT32_MIN, 16777217, -16777219, 1 << 30};
    auto pick = [&rng](const auto& values) { return values[rng() % std::size(values)]; };
    auto uniform = [&rng](int32_t lo, int32_t hi) {
        return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
    };
    std::uniform_real_distribution<float> degrees(-100000.0f, 100000.0f);
    Quads q;
    constexpr size_t kQuads = 1 << 20;
    for (size_t i = 0; i < kQuads; ++i) {
        const int kind = uniform(0, 99);
        const int32_t size = kind < 3   ? pick(kSizes)
                             : kind < 6 ? uniform(INT32_MIN, INT32_MAX)
                                        : uniform(-3, 40);
        const int32_t x = kind % 17 == 0 ? pick(specialPositions) : uniform(-2000, 2000);
        const int32_t y = kind % 13 == 0 ? pick(specialPositions) : uniform(-2000, 2000);
        const int32_t alpha = kind % 2 == 0 ? uniform(INT32_MIN, INT32_MAX) : uniform(0, 299);
        q.Add(size, x, y, alpha,
              kind >= 90   ? pick(kAngles)
              : kind >= 80 ? 0.0f
                           : QuadAngleRadians(degrees(rng), 0.0f, 0));
    }
    for (int i = 0; i < 37; ++i) q.Add(i % 2 == 0 ? 0 : 5, 10, 10, 255, i % 2 == 0 ? 0.5f : kNan);
    ExpectSameVertices(q, 0, kQuads + 37);
    ExpectSameVertices(q, kQuads, 37);
    for (size_t count = 0; count <= 40; ++count) {
        for (size_t first = 0; first < 8; ++first) ExpectSameVertices(q, 1000 + first, count);
    }
}

// Any float and any count against QuadAngleRadians; a sum past the float range is infinite.
TEST(QuadRadiansMany, MatchesQuadAngleRadiansForEveryCount) {
    std::mt19937 rng(5);
    std::vector<float> degrees = {0.0f,    -0.0f,  kInf, -kInf,  FLT_MAX, -FLT_MAX,
                                  FLT_MIN, 1e-45f, kNan, 360.0f, 450.0f};
    while (degrees.size() < 1000000) degrees.push_back(std::bit_cast<float>(uint32_t(rng())));
    for (size_t count :
         {degrees.size(), size_t{0}, size_t{1}, size_t{2}, size_t{3}, size_t{5}, size_t{9}}) {
        std::vector<float> radians(count + 1, 7.0f);
        QuadRadiansMany(degrees.data(), count, radians.data());
        for (size_t i = 0; i <= count; ++i) {
            ASSERT_TRUE(Same(radians[i], i < count ? QuadAngleRadians(degrees[i], 0.0f, 0) : 7.0f))
                << "angle " << i << " of " << count;
        }
    }
    EXPECT_EQ(QuadAngleRadians(FLT_MAX, FLT_MAX, 1), kInf);
    EXPECT_EQ(QuadAngleRadians(-FLT_MAX, -FLT_MAX, 1), -kInf);
}

}  // namespace
}  // namespace pp
