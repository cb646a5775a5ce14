// The effect text grammar: FindEntry over flawed lists, and the number readers.
#include "effects/effect_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "fuzz/harness.h"

namespace pp {

namespace {

// What a path selects; the fuzz target's plain scan must agree for every text with every path.
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
}

// The float bit for bit and where it ends; read as double, then stored (rounding twice).
TEST(NumberReaders, ConvertLikeCLocaleAndSayWhereTheNumberEnds) {
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
    // The int, where its scan ends and whether the written number fits 32 bits.
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    std::vector<std::tuple<std::string_view, int32_t, std::size_t, bool>> intRows = {
        {"+7", 7, 2, true},     {"$g", 0, 0, true},    {"\n5", 0, 0, true},
        {"%102", 2, 3, true},   {"-2.7", -2, 2, true}, {" \t-7", -7, 4, true},
        {"$FFx", 255, 3, true}, {"-$10", -16, 4, true}};
    intRows.insert(intRows.end(), {{"4294967296", 0, 10, false},
                                   {"2147483648", kMin, 10, false},
                                   {"-2147483648", kMin, 11, true},
                                   {"2147483647", 2147483647, 10, true},
                                   {"-2147483649", 2147483647, 11, false},
                                   {"99999999999999999999999", -159383553, 23, false},
                                   {"$FFFFFFFFFFFFFFFFFFFF", -1, 21, false}});
    for (const auto& [text, value, end, fits] : intRows) {
        EXPECT_EQ(TextToInt(text), value) << "'" << text << "'";
        const IntText scan = ScanIntText(text);
        EXPECT_EQ(std::tuple(scan.Value, scan.End, scan.Fits32), std::tuple(value, end, fits))
            << "'" << text << "'";
    }
}

}  // namespace
}  // namespace pp
