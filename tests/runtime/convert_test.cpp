#include "runtime/convert.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace pp {
namespace {

struct ConvertRow {
    double input;
    int32_t trunc;
    int32_t round;
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

class ConvertTest : public ::testing::TestWithParam<ConvertRow> {};

TEST_P(ConvertTest, TruncatesAndRoundsHalfToEven) {
    const ConvertRow& row = GetParam();
    EXPECT_EQ(TruncToInt(row.input), row.trunc) << row.input;
    EXPECT_EQ(RoundToInt(row.input), row.round) << row.input;
}

INSTANTIATE_TEST_SUITE_P(
    Convert, ConvertTest,
    ::testing::Values(ConvertRow{2.7, 2, 3}, ConvertRow{-2.7, -2, -3}, ConvertRow{2.5, 2, 2},
                      ConvertRow{3.5, 3, 4}, ConvertRow{-2.5, -2, -2}, ConvertRow{-3.5, -3, -4},
                      ConvertRow{0.5, 0, 0}, ConvertRow{1.5, 1, 2}, ConvertRow{-1.5, -1, -2},
                      ConvertRow{-0.7, 0, -1}, ConvertRow{-0.5, 0, 0}, ConvertRow{5.0, 5, 5},
                      ConvertRow{-5.9, -5, -6}, ConvertRow{0.49999999999999994, 0, 0},
                      // 2^52 - 0.5: the largest tie, rounds to the even 2^52.
                      ConvertRow{4503599627370495.5, -1, 0},
                      // Beyond int32 the low 32 bits of the 64-bit result, wrapping.
                      ConvertRow{4294967296.0, 0, 0}, ConvertRow{4294967297.7, 1, 2},
                      ConvertRow{2147483648.0, INT32_MIN, INT32_MIN},
                      ConvertRow{2147483647.5, INT32_MAX, INT32_MIN},
                      ConvertRow{-2147483649.0, INT32_MAX, INT32_MAX},
                      ConvertRow{-9223372036854775808.0, 0, 0},
                      ConvertRow{-9223372036854771712.0, 4096, 4096},
                      // No 64-bit value: the processor's indefinite result, low half 0.
                      ConvertRow{9223372036854775808.0, 0, 0}, ConvertRow{1e300, 0, 0},
                      ConvertRow{-1e300, 0, 0}, ConvertRow{kInf, 0, 0}, ConvertRow{-kInf, 0, 0},
                      ConvertRow{kNaN, 0, 0}, ConvertRow{-kNaN, 0, 0}));

TEST(Convert, FloatInputsConvertExactly) {
    EXPECT_EQ(RoundToInt(0.4f), 0);
    EXPECT_EQ(RoundToInt(16777215.0f), 16777215);
    EXPECT_EQ(TruncToInt(std::numeric_limits<float>::quiet_NaN()), 0);
}

// Sanitizer and unoptimised builds take every 61st float: the same code in a fraction of the
// time. Optimised builds take every float.
#if defined(__SANITIZE_ADDRESS__) || !defined(__OPTIMIZE__)
constexpr uint64_t kFloatStride = 61;
#else
constexpr uint64_t kFloatStride = 1;
#endif

// The inline float forms must give RoundToInt's result for every float: the whole range from
// 2^-2 to 2^24 where fractions and ties live, both signs, one by one and four at a time.
class RoundFloatBinades : public ::testing::TestWithParam<int32_t> {};

TEST_P(RoundFloatBinades, InlineFormsMatchRoundToIntForEveryFloat) {
    const auto exponent = static_cast<uint32_t>(GetParam() + 127);
    int64_t mismatches = 0;
    for (const uint32_t sign : {0u, 0x80000000u}) {
        for (uint64_t m = 0; m < (1u << 23); m += 4 * kFloatStride) {
            float x[4];
            for (uint32_t k = 0; k < 4; ++k) {
                x[k] =
                    std::bit_cast<float>(sign | (exponent << 23) |
                                         static_cast<uint32_t>(m + k * kFloatStride) % (1u << 23));
            }
            int32_t four[4];
            RoundFloatsToInt(x, four);
            for (uint32_t k = 0; k < 4; ++k) {
                const int32_t expected = RoundToInt(static_cast<double>(x[k]));
                if ((RoundFloatToInt(x[k]) != expected || four[k] != expected) &&
                    ++mismatches <= 5) {
                    ADD_FAILURE() << std::hexfloat << x[k] << " gives " << RoundFloatToInt(x[k])
                                  << " / " << four[k] << ", not " << expected;
                }
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(Convert, RoundFloatBinades, ::testing::Range(-2, 25));

#if defined(__x86_64__)
[[gnu::target("avx2")]] void RoundEight(const float (&x)[8], int32_t (&out)[8]) {
    RoundEightFloatsToInt(_mm256_loadu_ps(x), out);
}
#endif

TEST(Convert, InlineFloatRoundingAgreesOnEdgeValues) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float values[] = {0.0f,          -0.0f,       0.5f,        -0.5f,         1.5f,
                            -2.5f,         1e-45f,      0.49999997f, 8388607.5f,    -8388607.5f,
                            8388608.0f,    -8388608.0f, 8388609.0f,  2147483648.0f, -2147483648.0f,
                            4294967296.0f, 1e20f,       -1e20f,      3e38f,         nan,
                            -nan,          inf,         -inf,        254.5f};
    for (const float v : values) {
        const int32_t expected = RoundToInt(static_cast<double>(v));
        EXPECT_EQ(RoundFloatToInt(v), expected) << v;
        // Each value once in every lane, beside values of the other kind.
        for (int lane = 0; lane < 4; ++lane) {
            float x[4] = {1.5f, -7.25f, 100.5f, 3.0f};
            x[lane] = v;
            int32_t out[4];
            RoundFloatsToInt(x, out);
            for (int k = 0; k < 4; ++k) {
                EXPECT_EQ(out[k], RoundToInt(static_cast<double>(x[k]))) << v << " lane " << lane;
            }
        }
#if defined(__x86_64__)
        if (!__builtin_cpu_supports("avx2")) continue;
        for (int lane = 0; lane < 8; ++lane) {
            float x[8] = {1.5f, -7.25f, 100.5f, 3.0f, -0.5f, 2.5f, 1e9f, -3.5f};
            x[lane] = v;
            int32_t out[8];
            RoundEight(x, out);
            for (int k = 0; k < 8; ++k) {
                EXPECT_EQ(out[k], RoundToInt(static_cast<double>(x[k])))
                    << v << " of eight, lane " << lane;
            }
        }
#endif
    }
}

TEST(Convert, ClockDiffIsSignedAcrossTheWrap) {
    EXPECT_EQ(ClockDiff(5, -5), 10);
    EXPECT_EQ(ClockDiff(INT32_MIN + 4, INT32_MAX - 5), 10);
    EXPECT_EQ(ClockDiff(INT32_MAX - 5, INT32_MIN + 4), -10);
    EXPECT_EQ(WrapAdd(INT32_MAX, 1), INT32_MIN);
}

}  // namespace
}  // namespace pp
