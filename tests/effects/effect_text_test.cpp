#include "effects/effect_text.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

using testing::TempDir;

// The example effect file, already joined into one text.
constexpr std::string_view kExample =
    "Extends = Data\\Feuer.txt,Layer = 1,EmitterPosition = {400, 300},"
    "EmitterArea = {Type = Ellipse, Width = 120, Height = 40, Angle = 30},"
    "EmissionAngle = {Value = 270, Blur = 20},Acceleration = {0, -50},Disable = 0";

struct FindRow {
    const char* Name;
    std::string_view Text;
    std::string_view Path;
    std::string_view Expected;
};

class FindEntryTable : public ::testing::TestWithParam<FindRow> {};

TEST_P(FindEntryTable, ReturnsSelectedValue) {
    const FindRow& row = GetParam();
    EXPECT_EQ(FindEntry(row.Text, row.Path), row.Expected)
        << "text '" << row.Text << "' path '" << row.Path << "'";
}

const FindRow kFindRows[] = {
    {"FirstEntry", "A = 1,B = 2", "A", "1"},
    {"LastEntry", "A = 1,B = 2", "B", "2"},
    {"MissingCommaJoinsEntries", "A = 1B = 2", "A", ""},
    {"MissingCommaHidesSecondKey", "A = 1B = 2", "B", ""},
    {"MissingCommaNameSpansBoth", "A = 1B = 2", "A = 1B", "2"},
    {"SpacesTrimmed", "   Key   =   some value   ", "Key", "some value"},
    {"TabIsPartOfName", "\tKey = 1", "Key", ""},
    {"TabIsPartOfValue", "Key =\t1 ", "Key", "\t1"},
    {"NamesAreCaseSensitive", "key = 1", "Key", ""},
    {"LastEqualsSplits", "a = b = c", "a = b", "c"},
    {"LastEqualsHidesFirstName", "a = b = c", "a", ""},
    {"EqualsAtStartIsKept", "x, = 5", "2", "= 5"},
    {"EqualsAfterSpacesIsKept", "x,   =5", "2", "=5"},
    {"EmptyValue", "A = , B = 2", "A", ""},
    {"BareEntriesByNumber", "10, 20, 30", "2", "20"},
    {"LastBareEntry", "10, 20, 30", "3", "30"},
    {"NumberPastEnd", "10, 20, 30", "4", ""},
    {"NumberZeroMatchesNothing", "10, 20", "0", ""},
    {"NegativeNumberMatchesNothing", "10, 20", "-1", ""},
    {"NamedEntryByNumber", "A = 1, B = 2", "2", "2"},
    {"EmptyEntriesCount", ",,x", "3", "x"},
    {"EmptyFirstEntry", ",,x", "1", ""},
    {"HexNumberComponent", "a, b, c", "$2", "b"},
    {"BinaryNumberComponent", "a, b, c", "%11", "c"},
    {"FirstMatchWinsNameBeforeLaterNumber", "2 = x, y", "2", "x"},
    {"FirstMatchWinsNumberBeforeLaterName", "x, y, 2 = z", "2", "y"},
    {"BlockKeepsBracesWithoutBackslash", kExample, "EmitterPosition", "{400, 300}"},
    {"TrailingBackslashUnwraps", kExample, "EmitterArea\\",
     "Type = Ellipse, Width = 120, Height = 40, Angle = 30"},
    {"NestedName", kExample, "EmitterArea\\Type", "Ellipse"},
    {"NestedNumber", kExample, "Acceleration\\2", "-50"},
    {"NestedFirstNumber", kExample, "EmitterPosition\\1", "400"},
    {"PlainValueWithBackslash", kExample, "Layer\\", "1"},
    {"BackslashInValueIsOrdinary", kExample, "Extends\\", "Data\\Feuer.txt"},
    {"EmptyBlock", "Disable = {}", "Disable\\", ""},
    {"SpacedBlock", "R = { 60 }", "R\\", "60"},
    {"DeepNesting", "A = {B = {C = 5}}", "A\\B\\C", "5"},
    {"NestedBlockKeepsBraces", "A = {B = {C = 5}}", "A\\B", "{C = 5}"},
    {"NestedBlockUnwrapped", "A = {B = {C = 5}}", "A\\B\\", "C = 5"},
    {"EqualsInsideBlockIgnored", "A = {x=1}", "A", "{x=1}"},
    {"LastCharacterDroppedWhateverItIs", "A = {1, 2}x", "A\\", "1, 2}"},
    {"SpacesAroundPathComponents", "A = {B = 7}", " A \\ B ", "7"},
    {"EmptyPathIsWholeText", "A = 1", "", "A = 1"},
    {"EntryBeforeUnclosedBrace", "A = 1, B = {2, C = 3", "A", "1"},
    {"EntryWithUnclosedBrace", "A = 1, B = {2, C = 3", "B", ""},
    {"EntryAfterUnclosedBrace", "A = 1, B = {2, C = 3", "C", ""},
    {"EntryBeforeSurplusBrace", "A = 1, B = 2}, C = 3", "A", "1"},
    {"EntryWithSurplusBrace", "A = 1, B = 2}, C = 3", "B", ""},
    {"EntryAfterSurplusBrace", "A = 1, B = 2}, C = 3", "C", ""},
    {"SurplusBraceSwallowsSeparators", "A = 1}, B = 2{, C = 3", "A", "1}, B = 2{"},
    {"OpeningBraceRebalances", "A = 1}, B = 2{, C = 3", "C", "3"},
    {"QuotesAndHashAreOrdinary", "K = \"a;#b\"", "K", "\"a;#b\""},
    {"EmptyText", "", "A", ""},
};

INSTANTIATE_TEST_SUITE_P(Rows, FindEntryTable, ::testing::ValuesIn(kFindRows),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(FindEntry, ReturnsFallbackOnlyWhenNothingMatches) {
    EXPECT_EQ(FindEntry("A = 1", "B", kEffectDelimiters, "none"), "none");
    EXPECT_EQ(FindEntry("A = 1", "A\\B", kEffectDelimiters, "none"), "none");
    EXPECT_EQ(FindEntry("A = ", "A", kEffectDelimiters, "none"), "");
}

TEST(FindEntry, UsesDelimitersByPosition) {
    EXPECT_EQ(FindEntry("A:(x:1;y:2);B:3", "A\\y", ":();"), "2");
    EXPECT_EQ(FindEntry("A = 1, B = 2", "B", "="), "2");
}

TEST(FindEntry, LongPathsAndDeepTextsStayBounded) {
    std::string text;
    std::string path;
    for (int i = 0; i < 2000; ++i) {
        text += "K = {";
        path += "K\\";
    }
    text += "V = 9";
    text += std::string(2000, '}');
    EXPECT_EQ(FindEntry(text, path + "V"), "9");
    EXPECT_EQ(FindEntry(text, path + "W"), "");
}

// The positioned scan and FindEntry split lists alike: every entry's value found by number,
// and every name's first entry found by name, over texts with every kind of flaw.
TEST(ScanEntries, AgreesWithFindEntryByNumberAndByName) {
    const std::string_view texts[] = {
        "",
        "A = 1,B = 2",
        "A = 1B = 2",
        "  Key  =  v  ,",
        "x, = 5",
        "x,   =5",
        "a = b = c",
        ",,x",
        "10,20,",
        kExample,
        "A = {x=1}, B=2",
        "A = {1, 2}x, B = 3",
        "A = 1, B = {2, C = 3",
        "A = 1, B = 2}, C = 3",
        "A = 1}, B = 2{, C = 3",
        "2 = x, y",
        "\tK = 1, K = 2",
    };
    for (const std::string_view text : texts) {
        const EntryList list = ScanEntries(text, TextRange{0, text.size()});
        for (std::size_t n = 1; n <= list.Entries.size() + 1; ++n) {
            // The first entry numbered n or named so.
            std::string expected;
            for (std::size_t i = 0; i < list.Entries.size(); ++i) {
                if (i + 1 == n || list.Entries[i].Name.Of(text) == std::to_string(n)) {
                    expected = list.Entries[i].Value.Of(text);
                    break;
                }
            }
            EXPECT_EQ(FindEntry(text, std::to_string(n)), expected) << text << " #" << n;
        }
        for (const ListEntry& e : list.Entries) {
            const std::string_view name = e.Name.Of(text);
            if (name.empty() || TextToInt(name) != 0) continue;
            const auto first =
                std::find_if(list.Entries.begin(), list.Entries.end(),
                             [&](const ListEntry& o) { return o.Name.Of(text) == name; });
            EXPECT_EQ(FindEntry(text, name), first->Value.Of(text)) << text << " " << name;
        }
    }
}

TEST(ScanEntries, KeepsPositionsEqualsAndWhereBracesFail) {
    const std::string_view text = "A = 1, B = {2, C = 3}} = 4, D = 5";
    const EntryList list = ScanEntries(text, TextRange{0, text.size()});
    ASSERT_EQ(list.Entries.size(), 1u);
    EXPECT_EQ(list.Entries[0].Name.Of(text), "A");
    EXPECT_EQ(list.Entries[0].Equals, (std::vector<std::size_t>{2}));
    EXPECT_EQ(list.SurplusClose, std::optional<std::size_t>{21});
    EXPECT_EQ(list.SurplusEntryStart, 6u);
    const std::string_view open = "X = 1, Y = {{1}, Z = 2";
    const EntryList unclosed = ScanEntries(open, TextRange{0, open.size()});
    EXPECT_EQ(unclosed.UnclosedOpen, std::optional<std::size_t>{11});
    EXPECT_EQ(unclosed.UnclosedEntryStart, 6u);
    // Blank entries count for numbering unless left out.
    EXPECT_EQ(ScanEntries(",, A = 1,", TextRange{0, 9}).Entries.size(), 4u);
    EXPECT_EQ(ScanEntries(",, A = 1,", TextRange{0, 9}, false).Entries.size(), 1u);
}

TEST(JoinedLines, MapsTextOffsetsBackToLinesAndColumns) {
    using namespace std::string_view_literals;
    const JoinedLines joined("ab\r\ncd\n\n\re\0fg"sv);
    EXPECT_EQ(joined.Text(), "abcdefg");
    const std::pair<std::size_t, std::pair<int, int>> rows[] = {
        {0, {1, 1}}, {1, {1, 2}}, {2, {2, 1}}, {3, {2, 2}}, {4, {5, 1}}, {5, {6, 1}}, {7, {6, 3}},
    };
    for (const auto& [offset, at] : rows) {
        const TextPosition p = joined.At(offset);
        EXPECT_EQ(std::pair(p.Line, p.Column), at) << offset;
    }
    EXPECT_EQ(joined.After(1).Column, 3);
    EXPECT_EQ(std::pair(joined.End().Line, joined.End().Column), std::pair(6, 3));
    EXPECT_EQ(joined.LineStartsWithin(0, 7), (std::vector<std::size_t>{2, 4, 5}));
    EXPECT_EQ(JoinedLines("a\r\n\r\n", true).End().Line, 3);
}

struct FloatRow {
    std::string_view Text;
    float Expected;
};

class TextToFloatTable : public ::testing::TestWithParam<FloatRow> {};

TEST_P(TextToFloatTable, ConvertsLikeCLocaleAtof) {
    const FloatRow& row = GetParam();
    const float got = TextToFloat(row.Text);
    // Bit equality, so that -0 and the last ulp count.
    EXPECT_EQ(std::signbit(got), std::signbit(row.Expected)) << "'" << row.Text << "'";
    EXPECT_EQ(got, row.Expected) << "'" << row.Text << "'";
}

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kFltMax = std::numeric_limits<float>::max();

INSTANTIATE_TEST_SUITE_P(
    Rows, TextToFloatTable,
    ::testing::Values(FloatRow{"60", 60.0f}, FloatRow{"12px", 12.0f}, FloatRow{"0x10", 0.0f},
                      FloatRow{"inf", 0.0f}, FloatRow{"nan", 0.0f}, FloatRow{"-infinity", 0.0f},
                      FloatRow{" \t\v\f-1.5e2", -150.0f}, FloatRow{"1e", 1.0f},
                      FloatRow{"1e+", 1.0f}, FloatRow{"1E+2x", 100.0f}, FloatRow{".5", 0.5f},
                      FloatRow{"5.", 5.0f}, FloatRow{".", 0.0f}, FloatRow{"-", 0.0f},
                      FloatRow{"", 0.0f}, FloatRow{"+3", 3.0f}, FloatRow{"-0", -0.0f},
                      FloatRow{"1,5", 1.0f}, FloatRow{"- 5", 0.0f}, FloatRow{"0.1", 0.1f},
                      FloatRow{"1e999", kInf}, FloatRow{"-1e999", -kInf}, FloatRow{"1e-999", 0.0f},
                      FloatRow{"3.40282356e38", kFltMax}, FloatRow{"3.40282357e38", kInf},
                      FloatRow{"1e39", kInf}, FloatRow{"7.0e-46", 0.0f},
                      FloatRow{"1.4e-45", 1.4e-45f}));

// The double result is stored as a float afterwards, so a decimal just above a float halfway
// point can round twice; atof followed by a store does exactly that.
TEST(TextToFloat, RoundsThroughDouble) {
    // Just above 1 + 2^-24: a direct conversion gives the next float up, but the double is
    // exactly 1 + 2^-24, a tie that then rounds to even.
    EXPECT_EQ(TextToFloat("1.00000005960464477539062500001"), 1.0f);
    EXPECT_EQ(TextToFloat("1.0000000596046448"), 1.0f);
    EXPECT_EQ(TextToFloat("1.0000000596046449"), 1.00000012f);
}

TEST(FloatTextEnd, EndsWhereTheNumberTextToFloatReadsEnds) {
    const std::pair<std::string_view, std::size_t> rows[] = {
        {"60", 2}, {"12px", 2}, {" \t-1.5e2,", 8}, {"1e", 1}, {"1e+", 1}, {"1E+2x", 4}, {".5", 2},
        {"5.", 2}, {".", 0},    {"-", 0},          {"", 0},   {"- 5", 0}, {"0x10", 1},  {"inf", 0},
    };
    for (const auto& [text, end] : rows) EXPECT_EQ(FloatTextEnd(text), end) << "'" << text << "'";
}

TEST(TextToFloat, LongDigitRunsConvertExactly) {
    EXPECT_EQ(TextToFloat(std::string(100000, '0') + "1.5"), 1.5f);
    EXPECT_EQ(TextToFloat("0." + std::string(100000, '0') + "1"), 0.0f);
}

// The value TextToInt returns, where the scan ends and whether the written number fits 32 bits.
struct IntRow {
    std::string_view Text;
    int32_t Expected;
    std::size_t End;
    bool Fits = true;
};

class TextToIntTable : public ::testing::TestWithParam<IntRow> {};

TEST_P(TextToIntTable, Converts) {
    const IntRow& row = GetParam();
    EXPECT_EQ(TextToInt(row.Text), row.Expected) << "'" << row.Text << "'";
    const IntText scan = ScanIntText(row.Text);
    EXPECT_EQ(scan.Value, row.Expected) << "'" << row.Text << "'";
    EXPECT_EQ(scan.End, row.End) << "'" << row.Text << "'";
    EXPECT_EQ(scan.Fits32, row.Fits) << "'" << row.Text << "'";
}

constexpr int32_t kIntMin = std::numeric_limits<int32_t>::min();

INSTANTIATE_TEST_SUITE_P(
    Rows, TextToIntTable,
    ::testing::Values(IntRow{"42", 42, 2}, IntRow{" \t-7", -7, 4}, IntRow{"+7", 7, 2},
                      IntRow{"\n5", 0, 0}, IntRow{"- 5", 0, 0}, IntRow{"$ff", 255, 3},
                      IntRow{"$FFx", 255, 3}, IntRow{"-$10", -16, 4}, IntRow{"%101", 5, 4},
                      IntRow{"%102", 2, 3}, IntRow{"2.7", 2, 1}, IntRow{"-2.7", -2, 2},
                      IntRow{"abc", 0, 0}, IntRow{"", 0, 0}, IntRow{"$", 0, 0}, IntRow{"$g", 0, 0},
                      IntRow{"0x10", 0, 1}, IntRow{"4294967296", 0, 10, false},
                      IntRow{"4294967295", -1, 10, false}, IntRow{"2147483647", 2147483647, 10},
                      IntRow{"2147483648", kIntMin, 10, false}, IntRow{"-2147483648", kIntMin, 11},
                      IntRow{"-2147483649", 2147483647, 11, false},
                      IntRow{"99999999999999999999999", -159383553, 23, false},
                      IntRow{"$FFFFFFFFFFFFFFFFFFFF", -1, 21, false}));

TEST(TextToDouble, IsTheDoubleTextToFloatRounds) {
    EXPECT_EQ(TextToDouble(" 0.1x"), 0.1);
    EXPECT_EQ(TextToDouble("1e999"), std::numeric_limits<double>::infinity());
}

TEST(FloatOrIntOrTextOr, DefaultOnlyForEmptyText) {
    EXPECT_EQ(FloatOr("", 2.5f), 2.5f);
    EXPECT_EQ(FloatOr(" ", 2.5f), 0.0f);
    EXPECT_EQ(FloatOr("yes", 2.5f), 0.0f);
    EXPECT_EQ(IntOr("", 6), 6);
    EXPECT_EQ(IntOr("yes", 6), 0);
    EXPECT_EQ(TextOr("", "Point"), "Point");
    EXPECT_EQ(TextOr("Circle", "Point"), "Circle");
}

struct ReadRow {
    const char* Name;
    std::string_view Bytes;
    std::string_view Expected;
};

class ReadEffectTextTable : public ::testing::TestWithParam<ReadRow> {};

TEST_P(ReadEffectTextTable, JoinsLinesWithoutTheirEnds) {
    TempDir dir;
    const std::string path = dir.Write("effect.txt", GetParam().Bytes);
    const std::optional<std::string> text = ReadEffectText(path);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, GetParam().Expected);
}

using namespace std::string_view_literals;

const ReadRow kReadRows[] = {
    {"Lf", "A = 1,\nB = 2\n", "A = 1,B = 2"},
    {"CrLf", "A = 1,\r\nB = 2\r\n", "A = 1,B = 2"},
    {"CrOnly", "A = 1,\rB = 2\r", "A = 1,B = 2"},
    {"Mixed", "A = 1,\r\rB\n = \r\n2", "A = 1,B = 2"},
    {"NoFinalLineEnd", "A = 1", "A = 1"},
    {"EmptyLines", "\n\n\r\n\rA\n\n", "A"},
    {"NulEndsLine", "A = 1,\0B = 2"sv, "A = 1,B = 2"},
    {"LfCrIsTwoEnds", "A\n\rB", "AB"},
    {"Empty", "", ""},
    {"ByteOrderMarkKept",
     "\xEF\xBB\xBF"
     "A = 1",
     "\xEF\xBB\xBF"
     "A = 1"},
    {"HighBytesKept", "N = \xE4\xF6\xFC", "N = \xE4\xF6\xFC"},
};

INSTANTIATE_TEST_SUITE_P(Rows, ReadEffectTextTable, ::testing::ValuesIn(kReadRows),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ReadEffectText, WordBrokenOverTwoLinesIsJoined) {
    TempDir dir;
    const std::optional<std::string> text =
        ReadEffectText(dir.Write("e.txt", "Size = 5, Emission\r\nRate = 7"));
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(FindEntry(*text, "EmissionRate"), "7");
    EXPECT_EQ(FindEntry(*text, "Rate"), "");
}

TEST(ReadEffectText, LinesLongerThanOneBufferAreWhole) {
    TempDir dir;
    const std::string value(10000, '7');
    const std::optional<std::string> text =
        ReadEffectText(dir.Write("e.txt", "A = " + value + "\n8, B = 1"));
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(FindEntry(*text, "A"), value + "8");
    EXPECT_EQ(FindEntry(*text, "B"), "1");
}

TEST(ReadEffectText, MissingFileOrFolderIsNotOpened) {
    TempDir dir;
    EXPECT_FALSE(ReadEffectText((dir.Path() / "missing.txt").string()).has_value());
    EXPECT_FALSE(ReadEffectText(dir.Path().string()).has_value());
    EXPECT_FALSE(ReadEffectText("").has_value());
}

TEST(ReadEffectFile, KeepsTheBytesAsWrittenAndTellsWhetherMoreFollow) {
    TempDir dir;
    const std::string_view bytes("Size\r\n= 1\0,", 11);
    const std::string path = dir.Write("a.txt", bytes);
    std::optional<EffectFile> file = ReadEffectFile(path, 100);
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->Bytes, bytes);
    EXPECT_FALSE(file->More);
    file = ReadEffectFile(path, 11);
    ASSERT_TRUE(file.has_value());
    EXPECT_FALSE(file->More) << "exactly the limit";
    file = ReadEffectFile(path, 10);
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->Bytes.size(), 10u);
    EXPECT_TRUE(file->More);
    // The same file under another name is told by its identity.
    const std::filesystem::path link = dir.Path() / "b.txt";
    std::filesystem::create_hard_link(path, link);
    const std::optional<EffectFile> other = ReadEffectFile(link.string(), 0);
    ASSERT_TRUE(other.has_value());
    EXPECT_EQ(std::pair(other->Device, other->Inode), std::pair(file->Device, file->Inode));
}

TEST(ReadEffectFile, SaysWhyAFileGivesNoText) {
    TempDir dir;
    const std::string pipe = (dir.Path() / "pipe").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::pair<std::string, std::string> rows[] = {
        {(dir.Path() / "missing.txt").string(), "No such file or directory"},
        {dir.Path().string(), "it is a folder"},
        {pipe, "it is a pipe, not a regular file"},
        {"/dev/null", "it is a device, not a regular file"},
    };
    for (const auto& [path, reason] : rows) {
        std::string whyNot;
        EXPECT_FALSE(ReadEffectFile(path, 100, &whyNot).has_value()) << path;
        EXPECT_EQ(whyNot, reason) << path;
        EXPECT_FALSE(ReadEffectText(path).has_value()) << path;
    }
}

TEST(ReadEffectText, StopsAtSizeCap) {
    TempDir dir;
    const std::string path = dir.Write("big.txt", std::string(kMaxEffectFileBytes + 100, 'x'));
    const std::optional<std::string> text = ReadEffectText(path);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->size(), kMaxEffectFileBytes);
}

}  // namespace
}  // namespace pp
