// The effect checker: flawed effect texts with the exact findings expected (message, line and
// column in the file as written), texts that must come out clean, the scene's own files, and
// the Extends chain through real files.
#include "effects/check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "effects/effect_text.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

using testing::InFolder;
using testing::TempDir;

// "LINE:COLUMN: message" per finding, for comparing with the table.
std::vector<std::string> Located(const std::vector<CheckFinding>& findings) {
    std::vector<std::string> out;
    for (const CheckFinding& f : findings) {
        out.push_back(std::to_string(f.Line) + ":" + std::to_string(f.Column) + ": " + f.Message);
    }
    return out;
}

std::vector<std::string> CheckText(std::string_view bytes) {
    return Located(CheckEffectBytes(bytes, "effect.txt"));
}

struct FlawRow {
    const char* Name;
    std::string Text;
    std::vector<std::string> Expected;
};

void PrintTo(const FlawRow& row, std::ostream* os) {
    *os << row.Name;
}

class CheckFlaws : public ::testing::TestWithParam<FlawRow> {};

TEST_P(CheckFlaws, ReportsExactlyTheExpectedFindings) {
    EXPECT_EQ(CheckText(GetParam().Text), GetParam().Expected);
}

const FlawRow kFlawRows[] = {
    // Names the loader never asks for.
    {"KeyInWrongCase",
     "Size = 10,\nemissionrate = 5",
     {"2:1: 'emissionrate' is not a key; keys are case-sensitive: did you mean 'EmissionRate'?"}},
    {"MisspeltKey",
     "EmisionRate = 5",
     {"1:1: 'EmisionRate' is not a key: did you mean 'EmissionRate'?"}},
    {"UnrelatedName", "Colour = 5", {"1:1: 'Colour' is not a key and is ignored"}},
    {"BlockNameAtTopLevel",
     "EmitterArea = {Type = Circle}, Width = 80",
     {"1:32: 'Width' is not a key at the top level: it is read only inside "
      "'EmitterArea = {...}'"}},
    {"TabBeforeName",
     "Size = 1,\n\tFade = 2",
     {"2:1: tab before 'Fade': only spaces are trimmed, so the name is '\\tFade' and 'Fade' is "
      "not found; use spaces"}},
    {"TabAfterName",
     "Fade\t= 2",
     {"1:5: tab after 'Fade': only spaces are trimmed, so the name is 'Fade\\t' and 'Fade' is "
      "not found; use spaces"}},
    {"NoBreakSpaceAfterName",
     "Fade\xC2\xA0= 2",
     {"1:5: no-break space after 'Fade': only spaces are trimmed, so the name is "
      "'Fade\\xC2\\xA0' and 'Fade' is not found; use spaces"}},
    {"EntryWithoutEquals",
     "Size 10",
     {"1:1: 'Size 10' has no '=' and is ignored: write 'Size = 10'?"}},
    {"DuplicateKey",
     "Size = 10,\nFade = 1,\nSize = 20",
     {"3:1: 'Size' is given again and ignored: the first, on line 1, wins"}},
    {"ByteOrderMark",
     "\xEF\xBB\xBFSize = 10,\nFade = 1",
     {"1:1: byte-order mark at the start of the file: it becomes part of the first name, so "
      "'Size' is not found; save the file without it"}},
    {"ByteOrderMarkAlone",
     "\xEF\xBB\xBF",
     {"1:1: byte-order mark at the start of the file: it becomes part of the first entry; save "
      "the file without it"}},
    {"WholeFileInBraces",
     "{\nSize = 10,\nFade = 1\n}",
     {"1:1: the whole file is wrapped in braces, so no key is found: the top level is a bare "
      "list; remove the outer '{' and '}'"}},

    // Missing commas, located in the file as written although the reader joins the lines.
    {"MissingCommaAtLineEnd",
     "Size = 10\nLifeTime = 2",
     {"1:10: missing comma at the end of line 1? 'Size' and 'LifeTime' run together into one "
      "entry, so neither is found"}},
    {"MissingCommaCrLf",
     "Fade = 1,\r\nSize = 10  \r\n\r\nLifeTime = 2\r\n",
     {"2:10: missing comma at the end of line 2? 'Size' and 'LifeTime' run together into one "
      "entry, so neither is found"}},
    {"MissingCommaNulEndsLine",
     std::string("Size = 10\0LifeTime = 2", 22),
     {"1:10: missing comma at the end of line 1? 'Size' and 'LifeTime' run together into one "
      "entry, so neither is found"}},
    {"MissingCommaOnOneLine",
     "Size = 10 LifeTime = 2",
     {"1:11: missing comma before 'LifeTime'? 'Size' and 'LifeTime' run together into one "
      "entry, so neither is found"}},
    {"MissingCommasAfterABlockSpanningLines",
     "Size = {Min = 1,\n  Max = 2}\nFade = 3\nRaise = 1",
     {"2:11: missing comma at the end of line 2? 'Size' and 'Fade' run together into one "
      "entry, so neither is found",
      "3:9: missing comma at the end of line 3? 'Fade' and 'Raise' run together into one "
      "entry, so neither is found"}},
    {"MissingCommaInsideABlock",
     "Size = {Min = 1\n Max = 2}",
     {"1:16: missing comma at the end of line 1? 'Min' and 'Max' run together into one entry, "
      "so neither is found"}},
    {"MissingCommaAfterABlockOnOneLine",
     "EmitterArea = {Type = Circle} Foo = 1",
     {"1:31: missing comma before 'Foo'? 'EmitterArea' and 'Foo' run together into one entry, "
      "so neither is found"}},

    // Braces.
    {"UnclosedBrace",
     "Size = 1,\nEmitterArea = {Type = Circle,\nWidth = 80,\nFade = 2",
     {"2:15: unclosed '{': keys after this are not found, nor the entry that holds it (lost: "
      "EmitterArea, Fade); add the missing '}'"}},
    {"SurplusBrace",
     "Size = 1,\nRaise = 2},\nFade = 2",
     {"2:10: surplus '}': from here on no ',' or '=' counts, so keys after this are not found, "
      "nor the entry that holds it (lost: Raise, Fade); remove it"}},
    {"TextAfterABlock",
     "Size = {Min = 1, Max = 2} x4,\nFade = 1",
     {"1:27: 'x4' after the closing '}' of 'Size': the reader drops a block's last character "
      "whatever it is, so 'Size' is misread; missing comma?"}},

    // Numbers.
    {"NumberWithUnit", "Fade = 12px", {"1:8: '12px' is read as 12: the rest is ignored"}},
    {"NotANumber", "Raise = fast", {"1:9: 'fast' is not a number: read as 0"}},
    {"DisableYes",
     "Disable = yes",
     {"1:11: 'yes' is not a number: read as 0, which leaves the emitter enabled; write 1 to "
      "disable it"}},
    {"FractionForAWholeNumber",
     "Sprite = 2.5",
     {"1:10: '2.5' is read as 2: only whole numbers are read here"}},
    {"SubEntryValueInBraces",
     "EmitterArea = {Type = Circle, Width = {80}}",
     {"1:39: '{80}' is not a number: read as 0"}},
    {"FloatOverflow",
     "Acceleration = {0, -1e39}",
     {"1:20: '-1e39' is too large for a 32-bit float: read as -infinity"}},
    {"IntOverflow",
     "BlendingMode = {3000000000, 2}",
     {"1:17: '3000000000' does not fit in 32 bits: read as -1294967296",
      "1:17: warning: blend factor -1294967296 is not a code from 1 to 13: the player draws "
      "with 5 (source alpha) instead"}},
    {"TwoNumbersForOne", "Raise = {1, 2}", {"1:10: '1, 2' is read as 1: the rest is ignored"}},

    // Emission areas.
    {"AreaTypeInWrongCase",
     "EmitterArea = {Type = circle}",
     {"1:23: 'circle' is not an area type, so the area is a Point; names are case-sensitive: did "
      "you mean 'Circle'?"}},
    {"AreaTypeMisspelt",
     "EmitterArea = {Type = Elipse}",
     {"1:23: 'Elipse' is not an area type, so the area is a Point: did you mean 'Ellipse'?"}},
    {"AreaTypeWithTrailingTab",
     "EmitterArea = {Type = Circle\t, Width = 5}",
     {"1:29: tab after 'Circle': only spaces are trimmed, so the type is 'Circle\\t', which is "
      "not an area type; the area is a Point"}},
    {"AreaTypeNameAlone",
     "EmitterArea = Circle",
     {"1:15: 'EmitterArea = Circle' gives a Point: the type is read only from a block; write "
      "'EmitterArea = {Type = Circle}'"}},
    {"AreaTypeWithoutName",
     "EmitterArea = {Circle, Width = 80}",
     {"1:16: 'Circle' has no name, so it is not read as the type: write 'Type = Circle'"}},
    {"AreaNameMisspelt",
     "EmitterArea = {Type = Circle,\n  Widht = 80}",
     {"2:3: 'Widht' is not read in 'EmitterArea': did you mean 'Width'?"}},
    {"TopLevelKeyInsideArea",
     "EmitterArea = {Type = Circle, Size = 10}",
     {"1:31: 'Size' is a top-level key, not read inside 'EmitterArea': is a '}' missing before "
      "it?"}},
    {"AreaWithEmptyFirstEntry",
     "EmitterArea = {Type = , Width = 80}",
     {"1:15: the first entry of 'EmitterArea' is empty, so the area is a Point of size 0 and "
      "nothing else in it is read"}},

    // Value forms.
    {"ValueAloneInABlock",
     "EmissionRate = {Value = 60}",
     {"1:16: a block with one entry is read as a plain number: '{Value = 60}' reads as 0; write "
      "'EmissionRate = 60'"}},
    {"TwoBareNumbers",
     "Size = {60, 70}",
     {"1:8: '{60, 70}' is not a range: bare numbers read as 0; write 'Size = {Min = 60, Max = "
      "70}'"}},
    {"ValueWithoutRangeOrBlur",
     "Size = {Value = 60, Inc = 5}",
     {"1:8: 'Value' needs 'Range' or 'Blur' beside it: 'Size' reads as 0; for a fixed value "
      "write 'Size = 60'"}},
    {"MinWithoutMax",
     "Size = {Min = 10, Inc = 2}",
     {"1:8: 'Min' without 'Max': 'Size' reads as 0; add 'Max'"}},
    {"EmptySecondEntry",
     "Size = {Min = 10, Max = }",
     {"1:19: the second entry of 'Size' ('Max') has no value, so the block is read as one plain "
      "number: 0"}},
    {"MisspeltRange",
     "LifeTime = {Value = 1, Rnage = 2}",
     {"1:24: 'Rnage' is not read in 'LifeTime': did you mean 'Range'?"}},
    {"UnknownNamesOnly",
     "Size = {Lo = 1, Hi = 2}",
     {"1:8: '{Lo = 1, Hi = 2}' matches no value form (Min and Max, Value and Range, Value and "
      "Blur): 'Size' reads as 0",
      "1:9: 'Lo' is not read in 'Size' (it reads Min, Max, Inc, Value, Range, Blur)",
      "1:17: 'Hi' is not read in 'Size' (it reads Min, Max, Inc, Value, Range, Blur)"}},
    {"MaxBelowMin",
     "EmissionAngle = {Min = 20, Max = 10}",
     {"1:34: Max 10 is below Min 20: swap them"}},
    {"NegativeBlur",
     "Size = {Value = 10, Blur = -5}",
     {"1:28: negative Blur -5 puts Max below Min; make it positive"}},
    {"StepOfZero",
     "Size = {Min = 5, Max = 10, Inc = 0}",
     {"1:34: Inc 0 is not a step above 0: the step is 1"}},
    {"LaterFormIgnored",
     "Size = {Min = 1, Max = 2, Value = 10, Blur = 1}",
     {"1:27: warning: 'Value' and 'Blur' are ignored: 'Min' and 'Max' come first"}},
    {"NoSecondValueMarker",
     "Size = {Min = -70000, Max = -65535}",
     {"1:29: Max -65535 means 'no Max' to the reader: 'Size' is fixed at Min"}},
    {"StepThatFloatArithmeticMisses",
     "LifeTime = {Min = 0.1, Max = 0.9, Inc = 0.1}",
     {"1:41: warning: the upper end 0.9 of 'LifeTime' is never picked: in 32-bit float (0.9 - "
      "0.1) / 0.1 is 7.9999995, which truncates to 7 steps, so the largest value is 0.8; widen "
      "the range by half a step or use a step that is a power of two"}},

    // Other keys.
    {"EmptyValue", "Size = {},\nFade = 1", {"1:1: 'Size' has no value and is skipped"}},
    {"LayerNeverDrawn",
     "Layer = 1",
     {"1:9: warning: Layer 1 is never drawn: the player draws layer 0 only"}},
    {"PairWithThreeParts",
     "EmitterPosition = {1, 2, 3}",
     {"1:26: only the first two entries of 'EmitterPosition' are read: '3' is ignored"}},
    {"PairNamesSwapped",
     "Acceleration = {y = -50, x = 0}",
     {"1:17: warning: the entries of 'Acceleration' are read by position, not by name: 'y' "
      "(first) is read as x and 'x' as y"}},
    {"PositionWithOneNumber",
     "EmitterPosition = {100}",
     {"1:19: warning: 'EmitterPosition' has no second number, so the y position becomes 0, not "
      "the position the player gives"}},
    {"UnknownBlendFactor",
     "BlendingMode = {5, 0}",
     {"1:20: warning: blend factor 0 is not a code from 1 to 13: the player draws with 6 "
      "(inverse source alpha) instead"}},
    {"MissingExtendsTarget",
     "Extends = Data\\NoSuchEffect.txt,\nSize = 1",
     {"1:11: cannot open 'Data\\NoSuchEffect.txt' from the working directory (No such file or "
      "directory): it adds nothing"}},

    // Positions across joined lines and line-end forms.
    {"PositionAfterJoinedLines",
     "EmitterArea = {Type =\n   circle}",
     {"2:4: 'circle' is not an area type, so the area is a Point; names are case-sensitive: did "
      "you mean 'Circle'?"}},
};

INSTANTIATE_TEST_SUITE_P(Table, CheckFlaws, ::testing::ValuesIn(kFlawRows),
                         [](const ::testing::TestParamInfo<FlawRow>& info) {
                             return std::string(info.param.Name);
                         });

class CheckClean : public ::testing::TestWithParam<const char*> {};

TEST_P(CheckClean, ReportsNothing) {
    EXPECT_EQ(CheckText(GetParam()), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Table, CheckClean,
    ::testing::Values(
        // Every key in its plain form.
        "Layer = 0,\n"
        "EmitterPosition = {400, 300},\n"
        "EmitterArea = {Type = Ellipse, Width = 120, Height = 40, Angle = 30},\n"
        "EmissionAngle = {Value = 270, Blur = 20},\n"
        "EmissionVelocity = {Min = 80, Max = 160, Inc = 10},\n"
        "Acceleration = {0, -50},\n"
        "LifeTime = {Value = 1, Range = 2, Inc = 0.25},\n"
        "EmissionRate = 60,\n"
        "Sprite = {Min = 1, Max = 4},\n"
        "Size = {Min = 16, Max = 48, Inc = 8},\n"
        "Raise = 0,\n"
        "Rotation = {Min = -5, Max = 5},\n"
        "Transparency = {Value = 255, Range = -100},\n"
        "Fade = -100,\n"
        "BlendingMode = {5, 2},\n"
        "Disable = 0\n",
        "Size = 10,", "Size = {16}", "Size = {60, }", " Size  =  { 60 } ", "Emission\nRate = 5",
        "Fade = 1,\r\nRaise = 2\r\n", "EmitterPosition = {x = 400, y = 300}",
        "BlendingMode = {, 2}", "BlendingMode = 1", "Sprite = $1F", "Size = 1e2",
        "Size = {Min = 0, Max = 1, Inc = 0.1}", "EmitterArea = {Width = 80}",
        "EmitterArea = {Type = Point}", "Size = {Value = 10, Range = -5}"));

// The scene's own files, with the file Feuer extends, are what authors copy from.
TEST(Check, SceneDataFilesAreClean) {
    InFolder in(PP_SOURCE_DIR);
    const std::vector<std::string> files{"Data/Sternchen.txt", "Data/Feuer.txt", "Data/Energie.txt",
                                         "Data/Luftblase.txt", "Data/Basis/Glut.txt"};
    std::vector<std::string> lines;
    for (const CheckFinding& f : CheckEffectFiles(files)) lines.push_back(FormatFinding(f));
    EXPECT_EQ(lines, std::vector<std::string>{});
}

TEST(Check, FindingsAreFormattedAsFileLineColumnMessage) {
    EXPECT_EQ(FormatFinding(CheckFinding{"Data/a.txt", 3, 14, "text"}), "Data/a.txt:3:14: text");
}

TEST(Check, ExtendedFileIsReportedUnderItsOwnNameAfterTheIncludingFile) {
    TempDir dir;
    const std::string base = dir.Write("base.txt", "Fade = 1,\nRaise = fast\n");
    const std::string top =
        dir.Write("top.txt", "Size = 1x,\nExtends = " + base + ",\nFade = slow\n");
    const std::vector<CheckFinding> findings = CheckEffectFiles(std::vector<std::string>{top});
    ASSERT_EQ(findings.size(), 3u);
    EXPECT_EQ(findings[0], (CheckFinding{top, 1, 8, "'1x' is read as 1: the rest is ignored"}));
    EXPECT_EQ(findings[1], (CheckFinding{top, 3, 8, "'slow' is not a number: read as 0"}));
    EXPECT_EQ(findings[2], (CheckFinding{base, 2, 9, "'fast' is not a number: read as 0"}));
}

TEST(Check, FilesComeInArgumentOrderAndEachIsCheckedOnce) {
    TempDir dir;
    const std::string base = dir.Write("base.txt", "Raise = fast");
    const std::string a = dir.Write("a.txt", "Extends = " + base + ",\nFade = x");
    const std::string b = dir.Write("b.txt", "Extends = " + base + ",\nFade = y");
    std::vector<std::string> order;
    for (const CheckFinding& f : CheckEffectFiles(std::vector<std::string>{b, a, base})) {
        order.push_back(f.File);
    }
    EXPECT_EQ(order, (std::vector<std::string>{b, base, a}));
}

TEST(Check, CycleIsReportedWhereTheLoaderStopsIt) {
    TempDir dir;
    const std::string a = (dir.Path() / "a.txt").string();
    const std::string b = dir.Write("b.txt", "Extends = " + a);
    dir.Write("a.txt", "Size = 1,\nExtends = " + b);
    const std::vector<CheckFinding> findings = CheckEffectFiles(std::vector<std::string>{a});
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].File, b);
    EXPECT_EQ(findings[0].Line, 1);
    EXPECT_EQ(findings[0].Column, 11);
    EXPECT_EQ(findings[0].Message, "'" + a + "' closes a cycle (" + a + " -> " + b + " -> " + a +
                                       "): the loader skips it here");
}

TEST(Check, FileExtendingItselfUnderAnotherNameIsACycle) {
    TempDir dir;
    InFolder in(dir.Path());
    dir.Write("self.txt", "Extends = ./self.txt");
    const std::vector<CheckFinding> findings =
        CheckEffectFiles(std::vector<std::string>{"self.txt"});
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].Message,
              "'./self.txt' closes a cycle under another name (self.txt -> ./self.txt), which "
              "the loader follows until the chain is 64 files deep");
}

TEST(Check, PathRelativeToTheIncludingFileGetsAHint) {
    TempDir dir;
    InFolder in(dir.Path());
    std::filesystem::create_directories(dir.Path() / "Data" / "Basis");
    dir.Write("Data/Basis/Glut.txt", "Size = 1");
    dir.Write("Data/Feuer.txt", "Extends = Basis\\Glut.txt");
    const std::vector<CheckFinding> findings =
        CheckEffectFiles(std::vector<std::string>{"Data\\Feuer.txt"});
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(FormatFinding(findings[0]),
              "Data/Feuer.txt:1:11: cannot open 'Basis\\Glut.txt' from the working directory (No "
              "such file or directory): it adds nothing; paths are relative to the working "
              "directory, not to the file that names them: write 'Data\\Basis\\Glut.txt'");
}

TEST(Check, UnopenableFileIsOneFindingAndTheOthersAreStillChecked) {
    TempDir dir;
    const std::string missing = (dir.Path() / "missing.txt").string();
    const std::string folder = dir.Path().string();
    const std::string bad = dir.Write("bad.txt", "Fade = x");
    const std::vector<CheckFinding> findings =
        CheckEffectFiles(std::vector<std::string>{missing, folder, bad});
    ASSERT_EQ(findings.size(), 3u);
    EXPECT_EQ(findings[0],
              (CheckFinding{missing, 1, 1, "cannot open this file (No such file or directory)"}));
    EXPECT_EQ(findings[1], (CheckFinding{folder, 1, 1, "cannot open this file (it is a folder)"}));
    EXPECT_EQ(findings[2].File, bad);
}

// What the reader refuses, check refuses with one finding at 1:1 of the file, and a pipe
// without a writer does not make it wait.
TEST(Check, FilesTheReaderRefusesAreOneFindingEach) {
    TempDir dir;
    const std::string pipe = (dir.Path() / "pipe.txt").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    struct Row {
        std::string Path;
        std::string Reason;
    };
    const Row rows[] = {
        {pipe, "it is a pipe, not a regular file"},
        {"/dev/null", "it is a device, not a regular file"},
        {dir.Path().string(), "it is a folder"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CheckEffectFiles(std::vector<std::string>{row.Path}),
                  (std::vector<CheckFinding>{
                      {row.Path, 1, 1, "cannot open this file (" + row.Reason + ")"}}));
    }
    // Named by Extends, the pipe adds nothing, as the loader reads it.
    InFolder in(dir.Path());
    EXPECT_EQ(Located(CheckEffectBytes("Extends = pipe.txt", "a.txt")),
              (std::vector<std::string>{"1:11: cannot open 'pipe.txt' from the working directory "
                                        "(it is a pipe, not a regular file): it adds nothing"}));
}

// A chain of files named f0.txt, f1.txt, ..., each extending the next and `sizes[i]` bytes
// long, padded with spaces after its Extends entry.
void WriteChain(const TempDir& dir, const std::vector<std::size_t>& sizes) {
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        std::string text = "Extends = f" + std::to_string(i + 1) + ".txt,";
        text.resize(sizes[i], ' ');
        dir.Write("f" + std::to_string(i) + ".txt", text);
    }
}

std::vector<std::string> FindingsIn(const std::vector<CheckFinding>& findings,
                                    const std::string& file) {
    std::vector<CheckFinding> in;
    for (const CheckFinding& f : findings) {
        if (f.File == file) in.push_back(f);
    }
    return Located(in);
}

// 16 files of 1 MiB use what the loader reads for one effect: the 17th is not read at all.
TEST(Check, ExtendsChainStopsWhereTheLoadersBudgetIsSpent) {
    TempDir dir;
    InFolder in(dir.Path());
    WriteChain(dir, std::vector<std::size_t>(17, kMaxEffectFileBytes));
    const std::vector<CheckFinding> findings = CheckEffectFiles(std::vector<std::string>{"f0.txt"});
    EXPECT_EQ(FindingsIn(findings, "f16.txt"),
              (std::vector<std::string>{"1:1: not read: the files before it in the Extends chain "
                                        "use all the 16777216 bytes the loader reads for one "
                                        "effect"}));
    EXPECT_TRUE(FindingsIn(findings, "f17.txt").empty());
}

// 1000 bytes short of that, the 17th file is read as far as the loader reads it.
TEST(Check, ExtendsChainReadsTheLastFileOnlyAsFarAsTheBudgetGoes) {
    TempDir dir;
    InFolder in(dir.Path());
    std::vector<std::size_t> sizes(17, kMaxEffectFileBytes);
    sizes[0] -= 1000;
    WriteChain(dir, sizes);
    // Beyond the first 1000 bytes of f16.txt, a flaw that is never read.
    dir.Write("f16.txt", std::string(999, ' ') + ",Colour = 5");
    const std::vector<CheckFinding> findings = CheckEffectFiles(std::vector<std::string>{"f0.txt"});
    EXPECT_EQ(FindingsIn(findings, "f16.txt"),
              (std::vector<std::string>{"1:1: only the first 1000 bytes are read: the files "
                                        "before it in the Extends chain use 16776216 of the "
                                        "16777216 bytes the loader reads for one effect"}));
}

TEST(Check, TextBeyondTheReadersLimitIsReportedWhereReadingStops) {
    std::string bytes = "Size = 1,\n";
    bytes.append(kMaxEffectFileBytes, 'x');
    EXPECT_EQ(CheckText(bytes),
              (std::vector<std::string>{
                  "2:1: '" + std::string(48, 'x') + "...' has no '=' and is ignored",
                  "2:" + std::to_string(kMaxEffectFileBytes - 10 + 1) +
                      ": the file is longer than 1048576 bytes: the reader stops here and the "
                      "rest is not read"}));
}

// Scrambled effect texts: nothing may read outside the text, and every finding must point
// into the file as written.
TEST(Check, ScrambledTextsGiveFindingsInsideTheFile) {
    const char* const kPieces[] = {
        "=",    "{",      "}",    ",",        "\\",   " ",       "\t",          "\r",   "\n",
        "\r\n", "1",      "-2.5", "x",        "Size", "Min",     "Max",         "Inc",  "Value",
        "Type", "Circle", "1e40", "\xC2\xA0", "$7F",  "Extends", "EmitterArea", "Range"};
    uint32_t state = 12345;
    auto next = [&state](uint32_t n) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % n;
    };
    for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        const uint32_t count = next(40);
        for (uint32_t i = 0; i < count; ++i) bytes += kPieces[next(std::size(kPieces))];
        if (next(4) == 0) bytes.insert(next(static_cast<uint32_t>(bytes.size()) + 1), 1, '\0');
        int32_t lines = 1;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const char c = bytes[i];
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
            if (c == '\r' || c == '\n' || c == '\0') ++lines;
        }
        for (const CheckFinding& f : CheckEffectBytes(bytes, "scrambled.txt")) {
            ASSERT_GE(f.Line, 1) << bytes;
            ASSERT_LE(f.Line, lines) << bytes;
            ASSERT_GE(f.Column, 1) << bytes;
            ASSERT_LE(f.Column, static_cast<int32_t>(bytes.size()) + 1) << bytes;
            ASSERT_FALSE(f.Message.empty()) << bytes;
        }
    }
}

}  // namespace
}  // namespace pp
