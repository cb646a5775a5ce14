#include "runtime/convert.h"

#include <gtest/gtest.h>

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

TEST(Convert, ClockDiffIsSignedAcrossTheWrap) {
    EXPECT_EQ(ClockDiff(5, -5), 10);
    EXPECT_EQ(ClockDiff(INT32_MIN + 4, INT32_MAX - 5), 10);
    EXPECT_EQ(ClockDiff(INT32_MAX - 5, INT32_MIN + 4), -10);
    EXPECT_EQ(WrapAdd(INT32_MAX, 1), INT32_MIN);
}

}  // namespace
}  // namespace pp
