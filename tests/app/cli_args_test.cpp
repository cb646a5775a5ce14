#include "app/cli_args.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "app/json_text.h"

namespace pp {
namespace {

struct IntRow {
    std::string_view Text;
    int64_t Min, Max;
    std::optional<int64_t> Expected;
};

class ParseIntArgTable : public ::testing::TestWithParam<IntRow> {};

TEST_P(ParseIntArgTable, AcceptsWholeArgumentInRangeOnly) {
    const IntRow& row = GetParam();
    EXPECT_EQ(ParseIntArg(row.Text, row.Min, row.Max), row.Expected) << "'" << row.Text << "'";
}

constexpr int64_t kI32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kI32Max = std::numeric_limits<int32_t>::max();

INSTANTIATE_TEST_SUITE_P(
    Rows, ParseIntArgTable,
    ::testing::Values(IntRow{"0", 0, 10, 0}, IntRow{"-0", 0, 10, 0}, IntRow{"007", 0, 10, 7},
                      IntRow{"10", 0, 10, 10}, IntRow{"11", 0, 10, std::nullopt},
                      IntRow{"-1", 0, 10, std::nullopt}, IntRow{"+1", 0, 10, std::nullopt},
                      IntRow{" 1", 0, 10, std::nullopt}, IntRow{"1 ", 0, 10, std::nullopt},
                      IntRow{"", 0, 10, std::nullopt}, IntRow{"-", 0, 10, std::nullopt},
                      IntRow{"1x", 0, 10, std::nullopt}, IntRow{"0x1", 0, 10, std::nullopt},
                      IntRow{"1e1", 0, 100, std::nullopt}, IntRow{"1.0", 0, 10, std::nullopt},
                      IntRow{"-2147483648", kI32Min, kI32Max, kI32Min},
                      IntRow{"2147483648", kI32Min, kI32Max, std::nullopt},
                      IntRow{"4294967295", 0, 4294967295, 4294967295},
                      IntRow{"99999999999999999999", 0, kI32Max, std::nullopt},
                      IntRow{"-99999999999999999999", kI32Min, 0, std::nullopt}));

TEST(ParsePointArg, TakesTwoIntegersAroundOneComma) {
    using Point = std::pair<int32_t, int32_t>;
    EXPECT_EQ(ParsePointArg("1,2"), (Point{1, 2}));
    EXPECT_EQ(ParsePointArg("-5,300"), (Point{-5, 300}));
    EXPECT_EQ(ParsePointArg("-2147483648,2147483647"),
              (Point{std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()}));
    for (std::string_view bad : {"1", "1,", ",2", "1,2,3", "a,b", " 1,2", "1, 2", "2147483648,0"}) {
        EXPECT_FALSE(ParsePointArg(bad).has_value()) << "'" << bad << "'";
    }
}

TEST(ArgWalker, SeparatesOptionsValuesAndOperands) {
    const std::vector<std::string_view> args = {"file", "--at=1,2", "--seed", "-5",
                                                "-",    "--",       "--x",    "-h"};
    ArgWalker walk(args);
    ASSERT_TRUE(walk.Next());
    EXPECT_FALSE(walk.IsOption());
    EXPECT_EQ(walk.Name(), "file");
    ASSERT_TRUE(walk.Next());
    EXPECT_TRUE(walk.IsOption());
    EXPECT_EQ(walk.Name(), "--at");
    EXPECT_EQ(walk.Value(), "1,2");
    ASSERT_TRUE(walk.Next());
    EXPECT_EQ(walk.Name(), "--seed");
    EXPECT_EQ(walk.Value(), "-5");  // a value may look like an option
    ASSERT_TRUE(walk.Next());
    EXPECT_FALSE(walk.IsOption());  // "-" alone is an operand
    ASSERT_TRUE(walk.Next());
    EXPECT_FALSE(walk.IsOption());  // everything after "--" is an operand
    EXPECT_EQ(walk.Name(), "--x");
    ASSERT_TRUE(walk.Next());
    EXPECT_FALSE(walk.IsOption());
    EXPECT_FALSE(walk.Next());
}

TEST(ArgWalker, MissingValueAtEnd) {
    const std::vector<std::string_view> args = {"--frames"};
    ArgWalker walk(args);
    ASSERT_TRUE(walk.Next());
    EXPECT_FALSE(walk.Value().has_value());
    EXPECT_FALSE(walk.Next());
}

TEST(AppendJsonFloat, ReadsBackAsSameFloat) {
    const float values[] = {0.1f,
                            -0.0f,
                            1.0f / 3.0f,
                            16777217.0f,
                            std::numeric_limits<float>::max(),
                            std::numeric_limits<float>::denorm_min(),
                            -std::numeric_limits<float>::min(),
                            0.0200000014f};
    for (float value : values) {
        std::string out;
        AppendJsonFloat(out, value);
        const float back = std::strtof(out.c_str(), nullptr);
        EXPECT_EQ(back, value) << out;
        EXPECT_EQ(std::signbit(back), std::signbit(value)) << out;
    }
}

TEST(AppendJsonFloat, SpellsNonFiniteValuesAsJavaScriptDoes) {
    std::string out;
    AppendJsonFloat(out, std::numeric_limits<float>::infinity());
    out += ' ';
    AppendJsonFloat(out, -std::numeric_limits<float>::infinity());
    out += ' ';
    AppendJsonFloat(out, std::numeric_limits<float>::quiet_NaN());
    out += ' ';
    AppendJsonFloat(out, 0.1f);
    EXPECT_EQ(out, "Infinity -Infinity NaN 0.100000001");
}

}  // namespace
}  // namespace pp
