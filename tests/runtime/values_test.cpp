// The runtime's value helpers: float-to-int conversion, clocks, the random generator, names.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <span>
#include <string>

#include "runtime/clock.h"
#include "runtime/convert.h"
#include "runtime/name_map.h"
#include "runtime/random.h"

namespace pp {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The real clock reads elapsed ms + 1, never 0 ("no reading yet"), also at its wrap.
TEST(Clock, RealClockNeverReadsZero) {
    const std::pair<uint64_t, uint32_t> rows[] = {
        {0, 1}, {0xFFFFFFFEu, 0xFFFFFFFFu}, {0xFFFFFFFFu, 1}, {1ull << 32, 1}};
    for (const auto& [ms, reading] : rows) EXPECT_EQ(ClockReadingAfter(ms), reading) << ms;
}

#if defined(__x86_64__)
[[gnu::target("avx2")]] void RoundEight(const float (&x)[2][4], int32_t (&out)[8]) {
    RoundEightFloatsToInt(_mm256_loadu_ps(&x[0][0]), out);
}
#endif

// The inline float forms, one, four and eight at a time, against RoundToInt.
void ExpectInlineFormsAgree(const float (&x)[2][4], int64_t& mismatches) {
    int32_t four[2][4];
    RoundFloatsToInt(x[0], four[0]);
    RoundFloatsToInt(x[1], four[1]);
    int32_t eight[8] = {};
    bool avx2 = false;
#if defined(__x86_64__)
    avx2 = __builtin_cpu_supports("avx2");
    if (avx2) RoundEight(x, eight);
#endif
    for (int k = 0; k < 8; ++k) {
        const float v = x[k / 4][k % 4];
        const int32_t expected = RoundToInt(static_cast<double>(v));
        if ((RoundFloatToInt(v) != expected || four[k / 4][k % 4] != expected ||
             (avx2 && eight[k] != expected)) &&
            ++mismatches <= 5) {
            ADD_FAILURE() << std::hexfloat << v << " gives " << RoundFloatToInt(v) << " / "
                          << four[k / 4][k % 4] << " / " << eight[k] << ", not " << expected;
        }
    }
}

// Beyond int32 the low half of the 64-bit result; as floats in every lane of the inline forms.
TEST(Convert, TruncatesAndRoundsHalfToEven) {
    struct Row {
        double in;
        int32_t trunc, round;
    };
    const Row near[] = {{2.7, 2, 3},    {-2.7, -2, -3}, {2.5, 2, 2},   {3.5, 3, 4},  {-2.5, -2, -2},
                        {-3.5, -3, -4}, {-0.5, 0, 0},   {1e300, 0, 0}, {kInf, 0, 0}, {-kInf, 0, 0},
                        {kNaN, 0, 0},   {-0.0, 0, 0},   {1e-45, 0, 0}, {1e20, 0, 0}, {-1e20, 0, 0}};
    const Row far[] = {{254.5, 254, 254},
                       {8388607.5, 8388607, 8388608},
                       {0.49999999999999994, 0, 0},
                       {0x1p52 - 0.5, -1, 0},
                       {0x1p31, INT32_MIN, INT32_MIN},
                       {0x1p31 - 0.5, INT32_MAX, INT32_MIN},
                       {-0x1p31 - 1, INT32_MAX, INT32_MAX},
                       {-0x1p63, 0, 0},
                       {-0x1p63 + 4096, 4096, 4096},
                       {0x1p63, 0, 0},
                       {0x1p32 + 1.7, 1, 2}};
    int64_t mismatches = 0;
    for (const std::span<const Row> rows :
         {std::span<const Row>(near), std::span<const Row>(far)}) {
        for (const Row& r : rows) {
            EXPECT_EQ(TruncToInt(r.in), r.trunc) << r.in;
            EXPECT_EQ(RoundToInt(r.in), r.round) << r.in;
            for (int lane = 0; lane < 8; ++lane) {
                float x[2][4] = {{1.5f, -7.25f, 100.5f, 3.0f}, {-0.5f, 2.5f, 1e9f, -3.5f}};
                x[lane / 4][lane % 4] = static_cast<float>(r.in);
                ExpectInlineFormsAgree(x, mismatches);
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(ClockDiff(INT32_MIN + 4, INT32_MAX - 5), 10);
    EXPECT_EQ(WrapAdd(INT32_MAX, 1), INT32_MIN);
}

// Every float from 2^-2 to 2^24, both signs (every 61st in sanitizer and unoptimised builds).
#if defined(__SANITIZE_ADDRESS__) || !defined(__OPTIMIZE__)
constexpr uint32_t kFloatStride = 61;
#else
constexpr uint32_t kFloatStride = 1;
#endif

class RoundFloatBinades : public ::testing::TestWithParam<int32_t> {};

TEST_P(RoundFloatBinades, InlineFormsMatchRoundToIntForEveryFloat) {
    const auto bits = static_cast<uint32_t>(GetParam() + 127) << 23;
    int64_t mismatches = 0;
    for (const uint32_t sign : {0u, 0x80000000u}) {
        for (uint32_t m = 0; m < (1u << 23); m += 8 * kFloatStride) {
            float x[2][4];
            for (uint32_t k = 0; k < 8; ++k) {
                x[k / 4][k % 4] =
                    std::bit_cast<float>(sign | bits | (m + k * kFloatStride) % (1u << 23));
            }
            ExpectInlineFormsAgree(x, mismatches);
        }
    }
    EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(Convert, RoundFloatBinades, ::testing::Range(-2, 25));

// Known outputs pin seeding, step, lag, warm-up and scaling; an unseeded one seeds itself.
TEST(Random, SeedsGiveKnownSequences) {
    RandomGenerator gen;
    SeedRandom(gen, 0);
    for (const uint32_t raw : {0x8B910D61u, 0xC8AFE081u, 0xA90E502Fu}) {
        EXPECT_EQ(static_cast<uint32_t>(RandomInt(gen, -1)), raw);
    }
    SeedRandom(gen, 12345);
    for (const int32_t value : {27, 71, 66, 34, 58}) EXPECT_EQ(RandomInt(gen, 99), value);
    RandomGenerator unseeded;
    EXPECT_NE(RandomInt(unseeded, -1) | RandomInt(unseeded, -1), 0);
}

// Known hashes pin the multiplier and the signed bytes; folding covers A and Z only.
TEST(NameMap, HashesAreKnownAndFoldOnlyAsciiLetters) {
    for (const auto& [name, hash] :
         {std::pair{"abc", 0x3025F862u}, {"Point", 0x9A74AA90u}, {"\xE9\x74\xE9", 0xF520B7DEu}}) {
        EXPECT_EQ(NameHash(name, false), hash) << name;
    }
    EXPECT_EQ(NameHash("\xE9\x74\xE9", true), 0xF520B7DEu);
    EXPECT_EQ(NameHash("AZ", true), NameHash("az", false));
    EXPECT_EQ(NameHash("@[`{", true), NameHash("@[`{", false));
}

// One bucket: every name collides; keys are copied; null is the empty name.
TEST(NameMap, FindsAddsAndKeepsNamesApart) {
    NameMap<int32_t> exact(false, 1), folded(true, 64);
    for (int i = 0; i < 500; ++i) MapFindOrAdd(exact, std::to_string(i).c_str()) = i;
    for (int i = 0; i < 500; ++i) ASSERT_EQ(*MapFind(exact, std::to_string(i).c_str()), i);
    char key[] = "Zone";
    MapFindOrAdd(exact, key) = 4, MapFindOrAdd(folded, key) = 3;
    key[0] = 'X';
    MapFindOrAdd(exact, nullptr) = 7;
    EXPECT_EQ(*MapFind(exact, "Zone") + *MapFind(exact, "") + *MapFind(folded, "zONE"), 4 + 7 + 3);
    EXPECT_TRUE(MapFind(exact, "zone") == nullptr && MapFind(exact, "Xone") == nullptr);
    MapFindOrAdd(folded, "\xC9t\xE9") = 5;
    EXPECT_TRUE(MapFind(folded, "\xE9t\xE9") == nullptr && MapFind(folded, "Zones") == nullptr);
    EXPECT_EQ(exact.Count(), 502);
}

}  // namespace
}  // namespace pp
