// The value-form parsers, given the inside of a parameter's block as the loader hands it over:
// the triple (first, second, step) of every form, the order forms are tried in, and the int
// parser's missing step and wrap-around.
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

TEST(ValueForms, FloatTable) {
    constexpr float kNone = kNoSecondValue;
    const std::pair<std::string_view, ValueForm<float>> rows[] = {
        {"60px, ", {60.0f, kNone, 1.0f}},
        {"Value = 60", {0.0f, kNone, 1.0f}},
        {"60, Inc =", {60.0f, kNone, 1.0f}},
        {"60, 70", {0.0f, kNone, 1.0f}},
        {"Value = 60, Inc = 5", {0.0f, kNone, 5.0f}},
        {"Min = 10, Inc = 2", {0.0f, kNone, 2.0f}},
        {"Max = 20, Other = 3, Min = 10", {10.0f, 20.0f, 1.0f}},
        {"Value = 10, Range = 5", {10.0f, 15.0f, 1.0f}},
        {"Value = 10, Range = -5", {5.0f, 10.0f, 1.0f}},
        {"Value = 10, Blur = 5", {5.0f, 15.0f, 1.0f}},
        {"Min = 10, Max = 20, Inc = 2.5", {10.0f, 20.0f, 2.5f}},
        {"Value = 10, Range = 5, Blur = 1", {10.0f, 15.0f, 1.0f}},
        {"Min = 1, Max = 2, Value = 10, Blur = 1", {1.0f, 2.0f, 1.0f}},
        {"Min = 20, Max = 10", {20.0f, 10.0f, 1.0f}},
        {"Value = 10, Blur = -5", {15.0f, 5.0f, 1.0f}},
        {"Min = 5, Max = 10, Inc = -2", {5.0f, 10.0f, -2.0f}},
        {"Min = -70000, Max = -65535", {-70000.0f, kNone, 1.0f}},
        {"Min = , Max = 20, Value = 3, Blur = 1", {2.0f, 4.0f, 1.0f}},
        {"Min = 1, Max = 2, Inc = ", {1.0f, 2.0f, 1.0f}},
        {"Min = {5}, Max = 6", {0.0f, 6.0f, 1.0f}},
        {"Value = 16777216, Range = 1", {16777216.0f, 16777216.0f, 1.0f}},
        {"", {0.0f, kNone, 1.0f}},
    };
    for (const auto& [text, expected] : rows) EXPECT_EQ(ParseValueSpec(text), expected) << text;
}

TEST(ValueForms, IntTable) {
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    const std::pair<std::string_view, ValueForm<int32_t>> rows[] = {
        {"3.9", {3, 3, 1}},
        {"$10, ", {16, 16, 1}},
        {"", {0, 0, 1}},
        {"Min = 2, Max = 7, Inc = 2", {2, 7, 2}},
        {"Min = 1, Max = 2", {1, 2, 0}},
        {"Value = 3, Blur = 1", {2, 4, 0}},
        {"Value = 3, Range = -1", {2, 3, 0}},
        {"60, 70", {0, 0, 0}},
        {"Value = 2147483647, Range = 1", {kMax, kMin, 0}},
        {"Value = -2147483648, Blur = 1", {kMax, -2147483647, 0}},
        {"Min = -70000, Max = -65535", {-70000, kNoSecondIntValue, 0}},
    };
    for (const auto& [text, expected] : rows) EXPECT_EQ(ParseIntValueSpec(text), expected) << text;
}

}  // namespace
}  // namespace pp
