// The effect text grammar: FindEntry's paths over flawed lists, checked against the fuzz
// target's plain scan too, the number readers, and the reader that joins a file's lines.
#include "effects/effect_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <span>
#include <string>
#include <tuple>

#include "fuzz/harness.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kExample =
    "Extends = Data\\Feuer.txt,Layer = 1,EmitterPosition = {400, 300},"
    "EmitterArea = {Type = Ellipse, Width = 120, Height = 40, Angle = 30},Acceleration = {0, -50}";

// Rows pin what a path selects in lists with every kind of flaw; the fast scan must then agree
// with the plain reference scan the fuzz target runs, for every text with every path.
TEST(FindEntry, PathsSelectTheValueAsThePlainScanDoes) {
    const std::tuple<std::string_view, std::string_view, std::string_view> rows[] = {
        {"A = 1B = 2", "A = 1B", "2"},
        {"\tKey = 1, K = 2", "Key", ""},
        {"Key =\t1 ", "Key", "\t1"},
        {"a = b = c", "a = b", "c"},
        {"x, = 5", "2", "= 5"},
        {"a, b, c", "$2", "b"},
        {",,x", "3", "x"},
        {"  Key  =  v  ,", "Key", "v"},
        {"2 = x, y", "2", "x"},
        {"x, y, 2 = z", "2", "y"},
        {kExample, "EmitterArea\\", "Type = Ellipse, Width = 120, Height = 40, Angle = 30"},
        {kExample, "EmitterArea\\Type", "Ellipse"},
        {kExample, "Acceleration\\2", "-50"},
        {kExample, "Extends\\", "Data\\Feuer.txt"},
        {"R = { 60 }", "R\\", "60"},
        {"A = {B = {C = 5}}", "A\\B", "{C = 5}"},
        {"A = {1, 2}x", "A\\", "1, 2}"},
        {"A = {B = 7}", " A \\ B ", "7"},
        {"A = 1", "", "A = 1"},
        {"A = 1, B = {2, C = 3", "B", ""},
        {"A = 1, B = 2}, C = 3", "C", ""},
        {"A = 1}, B = 2{, C = 3", "A", "1}, B = 2{"},
        {"K = \"a;#b\"", "K", "\"a;#b\""}};
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
    // Deep texts and long paths stay bounded.
    std::string text, path;
    for (int i = 0; i < 2000; ++i) text += "K = {", path += "K\\";
    text += "V = 9" + std::string(2000, '}');
    EXPECT_EQ(FindEntry(text, path + "V"), "9");
    EXPECT_EQ(FindEntry(text, path + "W"), "");
}

// The float (compared bit for bit, so -0 and the last ulp count) and where the number ends;
// through double, then stored, so a decimal just above a float halfway point rounds twice.
TEST(TextToFloat, ConvertsLikeCLocaleAtof) {
    constexpr float kInf = std::numeric_limits<float>::infinity();
    const std::tuple<std::string, float, std::size_t> rows[] = {
        {"12px", 12.0f, 2},
        {"0x10", 0.0f, 1},
        {"inf", 0.0f, 0},
        {"nan", 0.0f, 0},
        {" \t\v\f-1.5e2,", -150.0f, 10},
        {"1e+", 1.0f, 1},
        {"1E+2x", 100.0f, 4},
        {".5", 0.5f, 2},
        {"5.", 5.0f, 2},
        {".", 0.0f, 0},
        {"- 5", 0.0f, 0},
        {"+3", 3.0f, 2},
        {"-0", -0.0f, 2},
        {"1,5", 1.0f, 1},
        {"0.1", 0.1f, 3},
        {"-1e999", -kInf, 6},
        {"1e-999", 0.0f, 6},
        {"3.40282356e38", 3.40282347e38f, 13},
        {"3.40282357e38", kInf, 13},
        {"7.0e-46", 0.0f, 7},
        {"1.4e-45", 1.4e-45f, 7},
        {"1.00000005960464477539062500001", 1.0f, 31},
        {"1.0000000596046449", 1.00000012f, 18},
        {std::string(100000, '0') + "1.5", 1.5f, 100003},
        {"0." + std::string(100000, '0') + "1", 0.0f, 100003}};
    for (const auto& [text, expected, end] : rows) {
        const float got = TextToFloat(text);
        EXPECT_TRUE(got == expected && std::signbit(got) == std::signbit(expected))
            << "'" << text.substr(0, 40) << "' gives " << got;
        EXPECT_EQ(FloatTextEnd(text), end) << "'" << text.substr(0, 40) << "'";
    }
}

// The value, where the scan ends and whether the written number fits 32 bits.
TEST(TextToInt, ConvertsAndSaysWhetherItFits) {
    const std::tuple<std::string_view, int32_t, std::size_t, bool> rows[] = {
        {" \t-7", -7, 4, true},
        {"+7", 7, 2, true},
        {"\n5", 0, 0, true},
        {"$FFx", 255, 3, true},
        {"-$10", -16, 4, true},
        {"%102", 2, 3, true},
        {"-2.7", -2, 2, true},
        {"$g", 0, 0, true},
        {"0x10", 0, 1, true},
        {"4294967296", 0, 10, false},
        {"2147483647", 2147483647, 10, true},
        {"2147483648", std::numeric_limits<int32_t>::min(), 10, false},
        {"-2147483648", std::numeric_limits<int32_t>::min(), 11, true},
        {"-2147483649", 2147483647, 11, false},
        {"99999999999999999999999", -159383553, 23, false},
        {"$FFFFFFFFFFFFFFFFFFFF", -1, 21, false}};
    for (const auto& [text, value, end, fits] : rows) {
        EXPECT_EQ(TextToInt(text), value) << "'" << text << "'";
        const IntText scan = ScanIntText(text);
        EXPECT_EQ(std::tuple(scan.Value, scan.End, scan.Fits32), std::tuple(value, end, fits))
            << "'" << text << "'";
    }
}

TEST(ReadEffectText, JoinsLinesWithoutTheirEnds) {
    const std::string longValue(10000, '7');
    const std::pair<std::string, std::string> rows[] = {
        {"A = 1,\r\nB = 2\r\n", "A = 1,B = 2"},
        {"A = 1,\r\rB\n = \r\n2", "A = 1,B = 2"},
        {"\n\n\r\n\rA\n\n", "A"},
        {std::string("A = 1,\0B = 2", 12), "A = 1,B = 2"},
        {"A\n\rB", "AB"},
        {"", ""},
        {"\xEF\xBB\xBF"
         "A = \xE4\xF6",
         "\xEF\xBB\xBF"
         "A = \xE4\xF6"},
        {"A = " + longValue + "\n8, B", "A = " + longValue + "8, B"},  // past one buffer
    };
    testing::TempDir dir;
    for (const auto& [bytes, expected] : rows) {
        EXPECT_EQ(ReadEffectText(dir.Write("e.txt", bytes)), expected) << bytes.substr(0, 20);
    }
    // The byte limit, and whether more follows it.
    const std::string path = dir.Write("a.txt", "Size\r\n= 1\0,"sv);
    for (const std::size_t limit : {11u, 10u}) {
        const std::optional<EffectFile> file = ReadEffectFile(path, limit);
        ASSERT_TRUE(file.has_value());
        EXPECT_EQ(std::pair(file->Bytes.size(), file->More), std::pair(limit, limit < 11u));
    }
}

}  // namespace
}  // namespace pp
