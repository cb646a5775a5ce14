#include "effects/value_forms.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <string>

namespace pp {

template <typename T>
void PrintTo(const ValueForm<T>& form, std::ostream* out) {
    *out << "(" << form.First << ", " << form.Second << ", " << form.Step << ")";
}

namespace {

// Parsers see the inside of the parameter's block, as the loader hands it over.
struct FloatRow {
    const char* Name;
    std::string_view Text;
    ValueForm<float> Expected;
};

class ParseValueSpecTable : public ::testing::TestWithParam<FloatRow> {};

TEST_P(ParseValueSpecTable, GivesTriple) {
    EXPECT_EQ(ParseValueSpec(GetParam().Text), GetParam().Expected)
        << "'" << GetParam().Text << "'";
}

constexpr float kNone = kNoSecondValue;

const FloatRow kFloatRows[] = {
    {"Fixed", "60", {60.0f, kNone, 1.0f}},
    {"FixedWithUnit", "60px", {60.0f, kNone, 1.0f}},
    {"TrailingCommaIsFixed", "60, ", {60.0f, kNone, 1.0f}},
    {"SingleNamedEntryIsPlainNumber", "Value = 60", {0.0f, kNone, 1.0f}},
    {"IncIgnoredForFixed", "60, Inc =", {60.0f, kNone, 1.0f}},
    {"TwoBareNumbersAreNoRange", "60, 70", {0.0f, kNone, 1.0f}},
    {"ValueAloneIsNoForm", "Value = 60, Inc = 5", {0.0f, kNone, 5.0f}},
    {"MinWithoutMax", "Min = 10, Inc = 2", {0.0f, kNone, 2.0f}},
    {"MinAndMax", "Min = 10, Max = 20", {10.0f, 20.0f, 1.0f}},
    {"MinAndMaxAnyOrder", "Max = 20, Other = 3, Min = 10", {10.0f, 20.0f, 1.0f}},
    {"ValueAndRange", "Value = 10, Range = 5", {10.0f, 15.0f, 1.0f}},
    {"ValueAndNegativeRange", "Value = 10, Range = -5", {5.0f, 10.0f, 1.0f}},
    {"ValueAndBlur", "Value = 10, Blur = 5", {5.0f, 15.0f, 1.0f}},
    {"StepGiven", "Min = 10, Max = 20, Inc = 2.5", {10.0f, 20.0f, 2.5f}},
    {"RangeBeforeBlur", "Value = 10, Range = 5, Blur = 1", {10.0f, 15.0f, 1.0f}},
    {"MinMaxBeforeValue", "Min = 1, Max = 2, Value = 10, Blur = 1", {1.0f, 2.0f, 1.0f}},
    {"ReversedMinMaxKept", "Min = 20, Max = 10", {20.0f, 10.0f, 1.0f}},
    {"NegativeBlurReverses", "Value = 10, Blur = -5", {15.0f, 5.0f, 1.0f}},
    {"ZeroStepPassedOn", "Min = 5, Max = 10, Inc = 0", {5.0f, 10.0f, 0.0f}},
    {"NegativeStepPassedOn", "Min = 5, Max = 10, Inc = -2", {5.0f, 10.0f, -2.0f}},
    {"MaxEqualToSentinel", "Min = -70000, Max = -65535", {-70000.0f, kNone, 1.0f}},
    {"EmptyMinFallsThrough", "Min = , Max = 20, Value = 3, Blur = 1", {2.0f, 4.0f, 1.0f}},
    {"EmptyIncKeepsOne", "Min = 1, Max = 2, Inc = ", {1.0f, 2.0f, 1.0f}},
    {"BlockValueIsNotANumber", "Min = {5}, Max = 6", {0.0f, 6.0f, 1.0f}},
    {"SumRoundsToFloat", "Value = 16777216, Range = 1", {16777216.0f, 16777216.0f, 1.0f}},
    {"Empty", "", {0.0f, kNone, 1.0f}},
};

INSTANTIATE_TEST_SUITE_P(Rows, ParseValueSpecTable, ::testing::ValuesIn(kFloatRows),
                         [](const auto& info) { return std::string(info.param.Name); });

struct IntRow {
    const char* Name;
    std::string_view Text;
    ValueForm<int32_t> Expected;
};

class ParseIntValueSpecTable : public ::testing::TestWithParam<IntRow> {};

TEST_P(ParseIntValueSpecTable, GivesTriple) {
    EXPECT_EQ(ParseIntValueSpec(GetParam().Text), GetParam().Expected)
        << "'" << GetParam().Text << "'";
}

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

const IntRow kIntRows[] = {
    {"FixedSetsBothAndStep", "3", {3, 3, 1}},
    {"FixedTruncates", "3.9", {3, 3, 1}},
    {"FixedHex", "$10, ", {16, 16, 1}},
    {"Empty", "", {0, 0, 1}},
    {"MinMaxStep", "Min = 2, Max = 7, Inc = 2", {2, 7, 2}},
    {"MissingStepArrivesAsZero", "Min = 1, Max = 2", {1, 2, 0}},
    {"ValueAndBlur", "Value = 3, Blur = 1", {2, 4, 0}},
    {"ValueAndNegativeRange", "Value = 3, Range = -1", {2, 3, 0}},
    {"TwoBareNumbersAreNoRange", "60, 70", {0, 0, 0}},
    {"RangeWraps", "Value = 2147483647, Range = 1", {kMax, kMin, 0}},
    {"BlurWraps", "Value = -2147483648, Blur = 1", {kMax, -2147483647, 0}},
    {"MaxEqualToSentinel", "Min = -70000, Max = -65535", {-70000, kNoSecondIntValue, 0}},
};

INSTANTIATE_TEST_SUITE_P(Rows, ParseIntValueSpecTable, ::testing::ValuesIn(kIntRows),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace pp
