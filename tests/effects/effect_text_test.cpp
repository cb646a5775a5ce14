// The effect text grammar: FindEntry over flawed lists (and against the fuzz target's plain
// scan), the number readers, the value forms and the reader that joins a file's lines.
#include "effects/effect_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "effects/value_forms.h"
#include "fuzz/harness.h"
#include "tests/effects/temp_dir.h"

namespace pp {

template <typename T>
void PrintTo(const ValueForm<T>& form, std::ostream* out) {
    *out << "(" << form.First << ", " << form.Second << ", " << form.Step << ")";
}

namespace {

// What a path selects in lists with every kind of flaw; the fuzz target's plain reference scan
// must agree for every text with every path.
TEST(FindEntry, PathsSelectTheValueAsThePlainScanDoes) {
    using Row = std::tuple<std::string_view, std::string_view, std::string_view>;
    std::vector<Row> rows = {{"A = 1B = 2", "A = 1B", "2"},   {"\tKey = 1", "Key", ""},
                             {"Key =\t1 ", "Key", "\t1"},     {"a = b = c", "a = b", "c"},
                             {"x, = 5", "2", "= 5"},          {"a, b, c", "$2", "b"},
                             {" Key  = v ,", "Key", "v"},     {"2 = x, y", "2", "x"},
                             {"x, y, 2 = z", "2", "y"},       {"A = {0, -5}", "A\\2", "-5"},
                             {"A = {1, 2}x", "A\\", "1, 2}"}, {"A = {B = 7}", " A \\ B ", "7"},
                             {"A = 1", "", "A = 1"},          {"K = \"a;#b\"", "K", "\"a;#b\""},
                             {"A = {T = E}", "A\\T", "E"}};
    rows.insert(rows.end(), {{"A = {B = {C = 5}}, D = {E}", "A\\B", "{C = 5}"},
                             {"A = {B = {C = 5}}, D = {E}", "A\\", "B = {C = 5}"},
                             {"E = D\\F.txt, L = 1", "E\\", "D\\F.txt"},
                             {"A = 1, B = {2, C = 3", "B", ""},
                             {"A = 1, B = 2}, C = 3", "C", ""},
                             {"A = 1}, B = 2{, C = 3", "A", "1}, B = 2{"}});
    for (const auto& [text, path, expected] : rows) {
        EXPECT_EQ(FindEntry(text, path), expected) << "'" << text << "' path '" << path << "'";
        for (const auto& [ignored, other, ignored2] : rows) {
            for (const char flags : {'\0', '\2'}) {
                const std::string input = flags + std::string(other) + '\0' + std::string(text);
                EXPECT_EQ(fuzz::FindEntryInput(std::span(
                              reinterpret_cast<const uint8_t*>(input.data()), input.size())),
                          "")
                    << "'" << text << "' path '" << other << "'";
            }
        }
    }
    EXPECT_EQ(FindEntry("A:(x:1;y:2);B:3", "A\\y", ":();"), "2");
    std::string text, path;  // deep texts and long paths stay bounded
    for (int i = 0; i < 2000; ++i) text += "K = {", path += "K\\";
    text += "V = 9" + std::string(2000, '}');
    EXPECT_EQ(FindEntry(text, path + "V"), "9");
    EXPECT_EQ(FindEntry(text, path + "W"), "");
}

// The float bit for bit (-0, the last ulp) and where the number ends; through double, then
// stored, so a decimal just above a float halfway point rounds twice.
TEST(TextToFloat, ConvertsLikeCLocaleAtof) {
    constexpr float kInf = std::numeric_limits<float>::infinity();
    std::vector<std::tuple<std::string, float, std::size_t>> rows = {
        {"12px", 12.0f, 2},   {"0x10", 0.0f, 1},    {"inf", 0.0f, 0},        {"1e+", 1.0f, 1},
        {"1E+2x", 100.0f, 4}, {".5", 0.5f, 2},      {"5.", 5.0f, 2},         {".", 0.0f, 0},
        {"- 5", 0.0f, 0},     {"+3", 3.0f, 2},      {"-0", -0.0f, 2},        {"-1e999", -kInf, 6},
        {"1e-999", 0.0f, 6},  {"7.0e-46", 0.0f, 7}, {"1.4e-45", 1.4e-45f, 7}};
    rows.insert(rows.end(), {{" \t\v\f-1.5e2,", -150.0f, 10},
                             {"3.40282356e38", 3.40282347e38f, 13},
                             {"3.40282357e38", kInf, 13},
                             {"1.00000005960464477539062500001", 1.0f, 31},
                             {"1.0000000596046449", 1.00000012f, 18},
                             {std::string(100000, '0') + "1.5", 1.5f, 100003},
                             {"0." + std::string(100000, '0') + "1", 0.0f, 100003}});
    for (const auto& [text, expected, end] : rows) {
        const float got = TextToFloat(text);
        EXPECT_TRUE(got == expected && std::signbit(got) == std::signbit(expected))
            << "'" << text.substr(0, 40) << "' gives " << got;
        EXPECT_EQ(FloatTextEnd(text), end) << "'" << text.substr(0, 40) << "'";
    }
}

// The value, where the scan ends and whether the written number fits 32 bits.
TEST(TextToInt, ConvertsAndSaysWhetherItFits) {
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    std::vector<std::tuple<std::string_view, int32_t, std::size_t, bool>> rows = {
        {"+7", 7, 2, true},     {"$g", 0, 0, true},    {"\n5", 0, 0, true},
        {"%102", 2, 3, true},   {"-2.7", -2, 2, true}, {" \t-7", -7, 4, true},
        {"$FFx", 255, 3, true}, {"-$10", -16, 4, true}};
    rows.insert(rows.end(), {{"4294967296", 0, 10, false},
                             {"2147483648", kMin, 10, false},
                             {"-2147483648", kMin, 11, true},
                             {"2147483647", 2147483647, 10, true}});
    rows.insert(rows.end(), {{"-2147483649", 2147483647, 11, false},
                             {"99999999999999999999999", -159383553, 23, false},
                             {"$FFFFFFFFFFFFFFFFFFFF", -1, 21, false}});
    for (const auto& [text, value, end, fits] : rows) {
        EXPECT_EQ(TextToInt(text), value) << "'" << text << "'";
        const IntText scan = ScanIntText(text);
        EXPECT_EQ(std::tuple(scan.Value, scan.End, scan.Fits32), std::tuple(value, end, fits))
            << "'" << text << "'";
    }
}

// The triple (first, second, step) of every value form and the order forms are tried in; the
// int parser's missing step and wrap-around.
TEST(ValueForms, FloatAndIntTables) {
    constexpr float kNone = kNoSecondValue;
    std::vector<std::tuple<std::string_view, float, float, float>> rows = {
        {"", 0, kNone, 1},
        {"60, 70", 0, kNone, 1},
        {"60px, ", 60, kNone, 1},
        {"Value = 60", 0, kNone, 1},
        {"60, Inc =", 60, kNone, 1}};
    rows.insert(rows.end(), {{"Min = {5}, Max = 6", 0, 6, 1},
                             {"Max = 2, X, Min = 1", 1, 2, 1},
                             {"Value = 10, Blur = 5", 5, 15, 1},
                             {"Value = 6, Inc = 5", 0, kNone, 5},
                             {"Value = 10, Blur = -5", 15, 5, 1},
                             {"Value = 10, Range = 5", 10, 15, 1},
                             {"Value = 10, Range = -5", 5, 10, 1},
                             {"Min = 1, Max = 2, Inc = ", 1, 2, 1}});
    rows.insert(rows.end(), {{"Min = 1, Max = 2, Inc = 2.5", 1, 2, 2.5f},
                             {"Value = 1, Range = 5, Blur = 1", 1, 6, 1},
                             {"Min = -70000, Max = -65535", -70000, kNone, 1},
                             {"Min = , Max = 2, Value = 3, Blur = 1", 2, 4, 1},
                             {"Min = 1, Max = 2, Value = 1, Blur = 1", 1, 2, 1},
                             {"Value = 16777216, Range = 1", 16777216, 16777216, 1}});
    for (const auto& [text, first, second, step] : rows) {
        EXPECT_EQ(ParseValueSpec(text), (ValueForm<float>{first, second, step})) << text;
    }
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min(), kMax = kMin - 1u;
    std::vector<std::tuple<std::string_view, int32_t, int32_t, int32_t>> intRows = {
        {"", 0, 0, 1}, {"3.9", 3, 3, 1}, {"60, 70", 0, 0, 0}, {"$10, ", 16, 16, 1}};
    intRows.insert(intRows.end(), {{"Min = 1, Max = 2", 1, 2, 0},
                                   {"Value = 3, Blur = 1", 2, 4, 0},
                                   {"Value = 3, Range = -1", 2, 3, 0},
                                   {"Min = 2, Max = 7, Inc = 2", 2, 7, 2}});
    intRows.insert(intRows.end(), {{"Value = 2147483647, Range = 1", kMax, kMin, 0},
                                   {"Value = -2147483648, Blur = 1", kMax, kMin + 1, 0},
                                   {"Min = -70000, Max = -65535", -70000, kNoSecondIntValue, 0}});
    for (const auto& [text, first, second, step] : intRows) {
        EXPECT_EQ(ParseIntValueSpec(text), (ValueForm<int32_t>{first, second, step})) << text;
    }
}

// Line ends and NUL bytes dropped, everything else kept, across the reader's buffer; the byte
// limit and whether more follows it.
TEST(ReadEffectText, JoinsLinesWithoutTheirEnds) {
    const std::string longValue(10000, '7');
    const std::pair<std::string, std::string> rows[] = {
        {"A = 1,\r\nB = 2\r\n", "A = 1,B = 2"},
        {"A = 1,\r\rB\n = \r\n2", "A = 1,B = 2"},
        {"\n\n\r\n\rA\n\n", "A"},
        {std::string("A = 1,\0B = 2", 12), "A = 1,B = 2"},
        {"A\n\rB", "AB"},
        {"", ""},
        {"\xEF\xBB\xBF= \xE4\xF6", "\xEF\xBB\xBF= \xE4\xF6"},
        {"A = " + longValue + "\n8, B", "A = " + longValue + "8, B"}};
    testing::TempDir dir;
    for (const auto& [bytes, expected] : rows) {
        EXPECT_EQ(ReadEffectText(dir.Write("e.txt", bytes)), expected) << bytes.substr(0, 20);
    }
    const std::string path = dir.Write("a.txt", std::string("Size\r\n= 1\0,", 11));
    for (const std::size_t limit : {11u, 10u}) {
        const std::optional<EffectFile> file = ReadEffectFile(path, limit);
        EXPECT_EQ(std::pair(file.value().Bytes.size(), file->More), std::pair(limit, limit < 11u));
    }
}

}  // namespace
}  // namespace pp
