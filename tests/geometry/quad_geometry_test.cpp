// The fast cosine/sine, corners, vertices and radians against their plain ones, bit for bit.
#include "geometry/quad_geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "runtime/cpu_path.h"
#include "tests/runtime/cpu_path_helpers.h"

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
const int32_t kSizes[] = {0,  1,  2,         16777215,  16777217,  16777219,
                          -1, -7, 123456789, INT32_MAX, INT32_MIN, -16777217};
const float kAngles[] = {0.0f, -0.0f, kInf, -kInf, kNan, 1e-30f, -1e-40f, 1e30f, 3.1415927f};

// Bit for bit, except that any NaN equals any NaN.
bool Same(float a, float b) {
    return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b) || (a != a && b != b);
}

// QuadCosSinMany and QuadCosSin against the library's, nothing written past count.
::testing::AssertionResult CosSinMatch(const std::vector<float>& angles, size_t count) {
    std::vector<float> cosines(count + 1, 7.0f), sines(count + 1, 7.0f);
    QuadCosSinMany(angles.data(), count, cosines.data(), sines.data());
    for (size_t i = 0; i < count; ++i) {
        float refCos, refSin, oneCos, oneSin;
        ReferenceQuadCosSin(angles[i], refCos, refSin);
        QuadCosSin(angles[i], oneCos, oneSin);
        if (!Same(cosines[i], refCos) || !Same(sines[i], refSin) || !Same(oneCos, refCos) ||
            !Same(oneSin, refSin))
            return ::testing::AssertionFailure() << std::hexfloat << angles[i];
    }
    return ::testing::AssertionResult(cosines[count] == 7.0f && sines[count] == 7.0f);
}

// Every float of one sign and binade [2^e, 2^(e+1)), the fast range 2^-20..2^17 and below.
class QuadCosSinBinade : public ::testing::TestWithParam<std::tuple<bool, int32_t>> {};

TEST_P(QuadCosSinBinade, EveryFloatMatchesTheLibraryBitForBit) {
    const auto [negative, exponent] = GetParam();
    const uint32_t first = (negative ? 0x80000000u : 0u) | uint32_t(exponent + 127) << 23;
    for (uint32_t m = 0; m < (1u << 23); m += 4096 * kStride) {
        std::vector<float> angles;
        for (uint32_t k = m; k < std::min(m + 4096 * kStride, 1u << 23); k += kStride)
            angles.push_back(std::bit_cast<float>(first | k));
        ASSERT_TRUE(CosSinMatch(angles, angles.size()));
    }
}

INSTANTIATE_TEST_SUITE_P(All, QuadCosSinBinade,
                         ::testing::Combine(::testing::Bool(), ::testing::Range(-21, 18)));

struct Quads {
    std::vector<int32_t> Size, X, Y, Alpha;
    std::vector<float> Radians, Cos, Sin;
    void Add(int32_t size, int32_t x, int32_t y, int32_t alpha, float radians) {
        Size.push_back(size), X.push_back(x), Y.push_back(y), Alpha.push_back(alpha);
        Radians.push_back(radians), Cos.push_back(0.0f), Sin.push_back(0.0f);
        ReferenceQuadCosSin(radians, Cos.back(), Sin.back());
    }
};

// Both widths of WriteQuadVertices against the plain corners, nothing written past count.
void ExpectSameVertices(const Quads& q, size_t first, size_t count) {
    std::vector<float> plainXy;
    std::vector<uint8_t> plainAlpha;
    for (size_t i = first; i < first + count; ++i) {
        std::vector<float> v;
        for (const QuadCorner& k : ReferenceQuadCorners(q.Size[i], q.Size[i], q.Radians[i]))
            v.insert(v.end(), {k.X + float(q.X[i]), k.Y + float(q.Y[i])});
        if (q.Size[i] == 0 || !std::isfinite(std::accumulate(v.begin(), v.end(), 0.0f))) continue;
        plainXy.insert(plainXy.end(), v.begin(), v.end());
        plainAlpha.insert(plainAlpha.end(), 4, static_cast<uint8_t>(q.Alpha[i] & 0xFF));
    }
    const QuadVertexSource source = {&q.Size[first],  &q.X[first],       &q.Y[first],
                                     &q.Alpha[first], &q.Radians[first], &q.Cos[first],
                                     &q.Sin[first]};
    for (const auto write : {WriteQuadVertices, WriteQuadVerticesFourWide}) {
        std::vector<float> xy(count * 8 + 8, 12345.0f);
        std::vector<uint8_t> alpha(count * 4 + 4, 0xA5);
        ASSERT_EQ(write(source, count, xy.data(), alpha.data()) * 8, plainXy.size());
        ASSERT_TRUE(std::equal(plainXy.begin(), plainXy.end(), xy.begin(), Same) &&
                    std::equal(plainAlpha.begin(), plainAlpha.end(), alpha.begin()) &&
                    std::count(xy.begin() + count * 8, xy.end(), 12345.0f) == 8 &&
                    std::count(alpha.begin() + count * 4, alpha.end(), 0xA5) == 4)
            << "quads " << first << " + " << count;
    }
}

// The loops of the paths this machine has: AVX2's eight-wide ones (the AVX-512 path runs them
// too) and the others.
std::vector<CpuPath> VertexPathsHere() {
    std::vector<CpuPath> paths = {CpuPath::Sse2};
    if (HasCpuPath(CpuPath::Avx2)) paths.push_back(CpuPath::Avx2);
    if (HasCpuPath(CpuPath::Avx512)) paths.push_back(CpuPath::Avx512);
    return paths;
}

void ManyQuadsOnePath() {
    std::mt19937 rng(11);
    const int32_t positions[] = {0, -1, INT32_MAX, INT32_MIN, 16777217, -16777219, 1 << 30};
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
        const float radians = kind >= 90   ? pick(kAngles)
                              : kind >= 80 ? 0.0f
                                           : QuadAngleRadians(degrees(rng), 0.0f, 0);
        q.Add(size, kind % 17 == 0 ? pick(positions) : uniform(-2000, 2000),
              kind % 13 == 0 ? pick(positions) : uniform(-2000, 2000),
              kind % 2 == 0 ? uniform(INT32_MIN, INT32_MAX) : uniform(0, 299), radians);
        // The single draw's corners (of any width and height) as well.
        const int32_t h = kind % 5 == 0 ? pick(kSizes) : kind % 5 == 1 ? uniform(-99, 99) : size;
        const auto fast = std::bit_cast<std::array<float, 8>>(BuildQuadCorners(size, h, radians));
        const auto plain =
            std::bit_cast<std::array<float, 8>>(ReferenceQuadCorners(size, h, radians));
        ASSERT_TRUE(std::equal(fast.begin(), fast.end(), plain.begin(), Same))
            << size << " x " << h << " at " << std::hexfloat << radians;
    }
    for (int i = 0; i < 37; ++i) q.Add(i % 2 == 0 ? 0 : 5, 10, 10, 255, i % 2 == 0 ? 0.5f : kNan);
    ExpectSameVertices(q, 0, kQuads + 37);
    ExpectSameVertices(q, kQuads, 37);  // nothing shows
    for (size_t count = 0; count <= 40; ++count)
        for (size_t first = 0; first < 8; ++first) ExpectSameVertices(q, 1000 + first, count);
}

// A million quads of every kind, runs of every length and start; single draws' corners too;
// on every path.
TEST(QuadVertices, ManyQuadsAndCornersMatchThePlainCornersBitForBit) {
    OnEachCpuPath(VertexPathsHere(), ManyQuadsOnePath);
}

void AnglesOnePath() {
    std::vector<float> angles = {-0.0f, 1e-45f, FLT_MIN,   FLT_MAX,    -FLT_MAX,  kInf,
                                 -kInf, -kNan,  131072.0f, 131072.01f, -131073.0f};
    std::mt19937 rng(5);
    while (angles.size() < 1000000) angles.push_back(std::bit_cast<float>(uint32_t(rng())));
    for (size_t count : {angles.size(), size_t{0}, size_t{1}, size_t{3}, size_t{5}, size_t{11}}) {
        ASSERT_TRUE(CosSinMatch(angles, count)) << count;
        std::vector<float> radians(count + 1, 7.0f);
        QuadRadiansMany(angles.data(), count, radians.data());
        for (size_t i = 0; i <= count; ++i)
            ASSERT_TRUE(Same(radians[i], i < count ? QuadAngleRadians(angles[i], 0.0f, 0) : 7.0f))
                << "angle " << i << " of " << count;
    }
    EXPECT_EQ(QuadAngleRadians(FLT_MAX, FLT_MAX, 1), kInf);
    EXPECT_EQ(QuadAngleRadians(-FLT_MAX, -FLT_MAX, 1), -kInf);
}

// Any float (outside the fast range the library decides) and count; a sum past range is
// infinite; on every path.
TEST(QuadAngles, AnyFloatAndAnyCountMatchThePlainComputation) {
    OnEachCpuPath(VertexPathsHere(), AnglesOnePath);
}

}  // namespace
}  // namespace pp
