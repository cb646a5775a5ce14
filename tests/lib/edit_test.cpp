// The edit model over a hand-written file: each edit changes exactly the value's bytes (or
// appends one entry), the loader reads the new value, values go to text and back exactly, and
// undo gives the bytes back.
#include "particleplayer/edit.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
#include <limits>
#include <string>

#include "tests/app/run_binary.h"
#include "tests/effects/temp_dir.h"
#include "tests/lib/loaded_effect.h"

namespace particleplayer {
namespace {

using pp::testing::TempDir;

using pp::test::Slurp;

// CR LF line ends, two-space indentation, a key the reader ignores, a value over two lines.
const std::string kBase =
    "Extends = parent.txt,\r\n"
    "  EmitterPosition = {10, 20},\r\n"
    "  EmitterArea = {Type = Line,  Width = 40},\r\n"
    "  Size   = {Min = 4, Max = 8},\r\n"
    "  Glow = 5,\r\n"
    "  ColourOverLife = {0 = {255, 0, 0},\r\n"
    "                    1 = {0, 0, 255}},\r\n"
    "  Burst = {Count = 5},\r\n"
    "  Raise = -3\r\n";

bool Same(const Loaded& a, const Loaded& b) {
    return std::memcmp(&a.Params, &b.Params, sizeof a.Params) == 0 && a.Extras == b.Extras;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

const std::string kAppendAt = "  Raise = -3\r\n";
std::string Appended(const std::string& entry) {
    return Replaced(kBase, kAppendAt, "  Raise = -3,\r\n  " + entry + "\r\n");
}

TEST(EditModel, EachKindRewritesOnlyItsValueAndLoadsAsSet) {
    const struct {
        std::string Key;
        KeyValue Value;
        std::string Expected;  // the whole file after the edit
        std::function<void(Loaded&)> Change;
    } rows[] = {
        {"Extends", std::string("Data\\Basis\\none.txt"),
         Replaced(kBase, "parent.txt", "Data\\Basis\\none.txt"), [](Loaded&) {}},
        {"Layer", int32_t{3}, Appended("Layer = 3"), [](Loaded& l) { l.Params.Layer = 3; }},
        {"EmitterPosition", std::vector<float>{0.1f, -7.5f},
         Replaced(kBase, "{10, 20}", "{0.1, -7.5}"),
         [](Loaded& l) { l.Params.PositionX = 0.1f, l.Params.PositionY = -7.5f; }},
        {"EmitterArea", AreaValue{"Rectangle", 30.0f, 12.5f, 0.0f},
         Replaced(kBase, "{Type = Line,  Width = 40}",
                  "{Type = Rectangle, Width = 30, Height = 12.5, Angle = 0}"),
         [](Loaded& l) {
             l.Params.AreaType = 3, l.Params.AreaWidth = 30, l.Params.AreaHeight = 12.5f;
         }},
        {"EmissionAngle", RandomValue{RandomForm::ValueBlur, 270, 20, 5},
         Appended("EmissionAngle = {Value = 270, Blur = 20, Inc = 5}"),
         [](Loaded& l) { l.Params.EmissionAngle = ValueRange(250, 290, 5); }},
        {"Size", RandomValue{RandomForm::ValueRange, 10, 2.5, 0.5},
         Replaced(kBase, "{Min = 4, Max = 8}", "{Value = 10, Range = 2.5, Inc = 0.5}"),
         [](Loaded& l) { l.Params.Size = ValueRange(10, 12.5f, 0.5f); }},
        {"Sprite", RandomValue{RandomForm::MinMax, 1, 3, std::nullopt},
         Appended("Sprite = {Min = 1, Max = 3}"),
         [](Loaded& l) { l.Params.Sprite = IntValueRange(1, 3, 1); }},
        {"LifeTime", RandomValue{RandomForm::Plain, double{0.1f}, 0, std::nullopt},
         Appended("LifeTime = 0.1"),
         [](Loaded& l) { l.Params.LifeTime = ValueRange(0.1f, 0.1f, 1); }},
        {"Raise", 0.1f, Replaced(kBase, "-3\r\n", "0.1\r\n"),
         [](Loaded& l) { l.Params.Raise = 0.1f; }},
        {"BlendingMode", std::array<int32_t, 2>{5, 2}, Appended("BlendingMode = {5, 2}"),
         [](Loaded& l) { l.Params.BlendDestination = 2; }},
        {"Colour", std::vector<float>{255.0f, 128.0f, 0.5f}, Appended("Colour = {255, 128, 0.5}"),
         [](Loaded& l) {
             l.Extras.Colour = {255, 128, 0.5f};
         }},
        {"ColourOverLife", std::vector<CurvePoint>{{0.0f, {255, 230, 120}}, {0.5f, {60, 60, 60}}},
         Replaced(kBase, "{0 = {255, 0, 0},\r\n                    1 = {0, 0, 255}}",
                  "{0 = {255, 230, 120}, 0.5 = {60, 60, 60}}"),
         [](Loaded& l) {
             l.Extras.ColourOverLife = {2, {0, 0.5f}, {{{255, 230, 120}, {60, 60, 60}}}};
         }},
        {"SizeOverLife", std::vector<CurvePoint>{{1.0f, {2}}, {0.0f, {0.5f}}},
         Appended("SizeOverLife = {1 = 2, 0 = 0.5}"),
         [](Loaded& l) {
             l.Extras.SizeOverLife = {2, {0, 1}, {{{0.5f}, {2}}}};
         }},
        {"Drag", 0.5f, Appended("Drag = 0.5"), [](Loaded& l) { l.Extras.Drag = 0.5f; }},
        {"SpriteSheet", BlockValue{{4, 2, 6, 12.5, 1}, ""},
         Appended("SpriteSheet = {Columns = 4, Rows = 2, Frames = 6, Rate = 12.5, Random = 1}"),
         [](Loaded& l) {
             l.Extras.SheetColumns = 4, l.Extras.SheetRows = 2, l.Extras.SheetFrames = 6;
             l.Extras.SheetRate = 12.5f, l.Extras.SheetRandom = 1;
         }},
        {"Burst", BlockValue{{50, 0.25, 3}, ""},
         Replaced(kBase, "{Count = 5}", "{Count = 50, Interval = 0.25, Repeat = 3}"),
         [](Loaded& l) {
             l.Extras.BurstCount = 50, l.Extras.BurstInterval = 0.25f, l.Extras.BurstRepeat = 3;
         }},
        // An empty value sets nothing, of any kind: the default stands.
        {"Size", std::monostate{}, Replaced(kBase, "{Min = 4, Max = 8}", "{}"),
         [](Loaded& l) { l.Params.Size = Load("").Params.Size; }},
        {"EmitterArea", std::monostate{}, Replaced(kBase, "{Type = Line,  Width = 40}", "{}"),
         [](Loaded& l) {
             const EffectParams none = Load("").Params;
             l.Params.AreaType = none.AreaType, l.Params.AreaWidth = none.AreaWidth;
         }},
        {"OrbitRadius", std::monostate{}, Appended("OrbitRadius = {}"), [](Loaded&) {}},
        {"OnDeath", BlockValue{{0, 2, 1}, "spark.txt"},
         Appended("OnDeath = {Effect = spark.txt, Count = 2, Inherit = 1}"), nullptr},
    };
    const Loaded base = Load(kBase);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Key);
        const KeyInfo* key = FindEffectKey(row.Key);
        ASSERT_NE(key, nullptr);
        const std::optional<std::string> text = KeyValueText(*key, row.Value);
        ASSERT_TRUE(text);
        EffectEdit edit(kBase);
        ASSERT_TRUE(edit.Set(row.Key, *text).Ok());
        EXPECT_EQ(edit.Bytes(), row.Expected);
        const std::optional<KeySpan> span = edit.Find(row.Key);
        ASSERT_TRUE(span);
        EXPECT_EQ(span->Text, *text);
        EXPECT_EQ(ReadKeyValue(*key, span->Text), row.Value);
        if (row.Change) {
            Loaded expected = base;
            row.Change(expected);
            EXPECT_TRUE(Same(Load(edit.Bytes()), expected));
        }
        ASSERT_TRUE(edit.Undo());
        EXPECT_EQ(edit.Bytes(), kBase);
        ASSERT_TRUE(edit.Redo());
        EXPECT_EQ(edit.Bytes(), row.Expected);
        EXPECT_FALSE(edit.CanRedo());
    }
}

// Every key of every effect file of the project and the fuzz corpus, split into its parts and
// written back by the panel's route, loads as the file did; written back as it stands, it
// changes no byte.
TEST(EditModel, EveryValueOfTheProjectsFilesSurvivesThePanelsRoute) {
    const std::filesystem::path root(PP_SOURCE_DIR);
    pp::testing::InFolder in(root);
    int values = 0;
    for (const char* folder : {"Data", "examples/effects", "docs/images/src",
                               "fuzz/corpus/fuzz_loader", "tests/fuzz_regressions/loader"}) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root / folder)) {
            if (!entry.is_regular_file()) continue;
            if (entry.path().extension() != ".txt" && entry.path().extension() != "") continue;
            const std::string bytes = Slurp(entry.path());
            const Loaded original = Load(bytes);
            for (const KeyInfo& key : EffectKeys()) {
                EffectEdit edit(bytes);
                const std::optional<KeySpan> span = edit.Find(key.Name);
                if (!span) continue;
                SCOPED_TRACE(entry.path().string() + ": " + std::string(key.Name));
                ASSERT_TRUE(edit.Set(key.Name, span->Text).Ok());
                EXPECT_EQ(edit.Bytes(), bytes);
                const KeyValue value = ReadKeyValue(key, span->Text);
                const std::optional<std::string> text = KeyValueText(key, value);
                // A number that overflowed to an infinity has no text to write.
                if (!text) continue;
                EXPECT_EQ(ReadKeyValue(key, *text), value) << *text;
                ASSERT_TRUE(edit.Set(key.Name, *text).Ok()) << *text;
                EXPECT_TRUE(Same(Load(edit.Bytes()), original)) << *text;
                ++values;
            }
        }
    }
    EXPECT_GT(values, 100);
}

// The parts a panel starts from for a key the file lacks write what the effect already has
// (where the key has a default: without one, any value sets something).
TEST(EditModel, EachKeysDefaultPartsLoadAsTheKeysAbsence) {
    const Loaded none = Load("");
    for (const KeyInfo& key : EffectKeys()) {
        if (key.Default.empty()) continue;
        SCOPED_TRACE(key.Name);
        const std::optional<std::string> text = KeyValueText(key, DefaultKeyValue(key));
        ASSERT_TRUE(text);
        EffectEdit edit;
        ASSERT_TRUE(edit.Set(key.Name, *text).Ok()) << *text;
        Loaded got = Load(edit.Bytes());
        // A plain number gives its value a step of 1, which draws nothing different while Min
        // and Max agree.
        if (got.Params.Sprite.Min == got.Params.Sprite.Max) got.Params.Sprite.Inc = 0;
        if (got.Params.Rotation.Min == got.Params.Rotation.Max) got.Params.Rotation.Inc = 0;
        EXPECT_TRUE(Same(got, none)) << *text;
    }
}

// A key the file leaves unset (or empty) comes from the nearest file up its Extends chain that
// sets it, the chain opened from the folder as the loader opens it and ending where it would
// meet a file again or one that cannot be read.
TEST(EditModel, AnUnsetKeyShowsTheNearestParentThatSetsIt) {
    TempDir dir;
    dir.Write("a.txt", "Extends = b.txt, Size = 5, Raise = {}");
    dir.Write("b.txt", "Extends = c.txt,\n  Raise = 2, Fade = {}\n");
    dir.Write("c.txt", "Extends = a.txt, Raise = 9, Fade = 4, Rotation = 1, Size = 7");
    dir.Write("d.txt", "Extends = gone.txt, Raise = 1");
    const std::string folder = dir.Path().string();
    const auto at = [&](const char* name) { return (dir.Path() / name).string(); };
    const struct {
        const char* File;
        std::vector<std::string> Parents;
        std::vector<std::pair<const char*, const char*>> From;  // key, parent (nullptr: none)
    } rows[] = {
        {"a.txt",
         {at("b.txt"), at("c.txt")},
         {{"Raise", "b.txt"},
          {"Fade", "c.txt"},
          {"Rotation", "c.txt"},
          {"Spin", nullptr},
          {"NoSuchKey", nullptr}}},
        {"b.txt", {at("c.txt"), at("a.txt")}, {{"Size", "c.txt"}, {"Fade", "c.txt"}}},
        {"d.txt", {}, {{"Size", nullptr}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.File);
        const Result<EffectEdit> edit = EffectEdit::Open(at(row.File));
        ASSERT_TRUE(edit.Ok());
        const std::vector<ParentFile> parents = OpenParents(edit.Value, row.File, folder);
        std::vector<std::string> paths;
        for (const ParentFile& p : parents) paths.push_back(p.Path);
        EXPECT_EQ(paths, row.Parents);
        for (const auto& [key, from] : row.From) {
            const ParentFile* parent = InheritedFrom(parents, key);
            EXPECT_EQ(parent ? parent->Path : "", from ? at(from) : "") << key;
        }
    }
}

// Whatever is written reads back as the same 32-bit float, bit for bit, in the model and in
// the loader.
TEST(EditModel, NumbersGoToTextAndBackBitForBit) {
    const KeyInfo& raise = *FindEffectKey("Raise");
    for (const float f : {0.1f, -0.0f, 1.0f / 3.0f, 16777216.0f, 1.0000001f, 3.4028235e38f,
                          -1.17549435e-38f, 1.0e-45f, 123456.79f, 2.5e-7f}) {
        SCOPED_TRACE(f);
        const std::optional<std::string> text = KeyValueText(raise, f);
        ASSERT_TRUE(text);
        EXPECT_EQ(std::bit_cast<uint32_t>(std::get<float>(ReadKeyValue(raise, *text))),
                  std::bit_cast<uint32_t>(f))
            << *text;
        EffectEdit edit;
        ASSERT_TRUE(edit.Set("Raise", *text).Ok());
        EXPECT_EQ(std::bit_cast<uint32_t>(Load(edit.Bytes()).Params.Raise),
                  std::bit_cast<uint32_t>(f));
    }
    EXPECT_FALSE(KeyValueText(raise, std::numeric_limits<float>::infinity()));
    EXPECT_FALSE(KeyValueText(raise, int32_t{1}));
    // A made-up row is looked up by its name, never read past the table.
    KeyInfo madeUp = raise;
    madeUp.Kind = KeyKind::Block;
    EXPECT_EQ(KeyValueText(madeUp, 2.5f), "2.5");
    madeUp.Name = "Glow";
    EXPECT_FALSE(KeyValueText(madeUp, 2.5f));
    EXPECT_EQ(ReadKeyValue(madeUp, "5"), KeyValue(std::string("5")));
    EXPECT_FALSE(KeyValueText(*FindEffectKey("Sprite"),
                              RandomValue{RandomForm::Plain, 1.5, 0, std::nullopt}));
}

// An edit the reader would take otherwise changes nothing and leaves no step.
TEST(EditModel, EditsThatWouldReadOtherwiseAreRefused) {
    const struct {
        std::string Bytes, Key, Value;
    } rows[] = {
        {kBase, "Size", "4, Glow = 2"},  // a second entry
        {kBase, "Size", "{4"},           // hides every later key
        {kBase, "Raise", "1 = 2"},       // the name becomes "Raise = 1"
        {kBase, "Raise", "1\n"},         // a line end
        {kBase, "size", "1"},            // no such key
        {"Glow = {", "Size", "4"},       // the new entry inside an unclosed block
        {"Glow = }, Fade = 1", "Size", "4"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Bytes + " / " + row.Key + " = " + row.Value);
        EffectEdit edit(row.Bytes);
        EXPECT_FALSE(edit.Set(row.Key, row.Value).Ok());
        EXPECT_EQ(edit.Bytes(), row.Bytes);
        EXPECT_FALSE(edit.CanUndo());
    }
}

// Appending follows the file: its line end and indentation, a trailing comma, one line.
TEST(EditModel, AnAppendedEntryTakesTheFilesOwnLayout) {
    const struct {
        std::string Bytes, Expected;
    } rows[] = {
        {"", "Fade = 2"},
        {"\n", "Fade = 2\n"},
        {"Size = 4", "Size = 4, Fade = 2"},
        {"Size = 4\n", "Size = 4,\nFade = 2\n"},
        {"    Size = 4,\n", "    Size = 4,\n    Fade = 2,\n"},
        {"Size = 4,\rRaise = 1\r", "Size = 4,\rRaise = 1,\rFade = 2\r"},
        {"Size = {Min = 1,\n  Max = 2}\n\n", "Size = {Min = 1,\n  Max = 2},\nFade = 2\n\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Bytes);
        EffectEdit edit(row.Bytes);
        ASSERT_TRUE(edit.Set("Fade", "2").Ok());
        EXPECT_EQ(edit.Bytes(), row.Expected);
    }
}

// A drag of many values is one step; a new edit after an undo drops the redo.
TEST(EditModel, ADragIsOneUndoStep) {
    EffectEdit edit(kBase);
    ASSERT_TRUE(edit.Set("Raise", "1").Ok());
    const std::string afterFirst = edit.Bytes();
    edit.BeginDrag();
    for (const char* v : {"2", "3", "4"}) ASSERT_TRUE(edit.Set("Raise", v).Ok());
    edit.EndDrag();
    ASSERT_TRUE(edit.Set("Fade", "1").Ok());
    ASSERT_TRUE(edit.Undo());
    EXPECT_EQ(edit.Find("Raise")->Text, "4");
    ASSERT_TRUE(edit.Undo());
    EXPECT_EQ(edit.Bytes(), afterFirst);
    ASSERT_TRUE(edit.Undo());
    EXPECT_EQ(edit.Bytes(), kBase);
    EXPECT_FALSE(edit.Undo());
    ASSERT_TRUE(edit.Redo());
    edit.SetBytes("Size = 1");
    EXPECT_FALSE(edit.CanRedo());
    ASSERT_TRUE(edit.Undo());
    EXPECT_EQ(edit.Bytes(), afterFirst);
}

// Opened and saved without edits, a file is byte for byte what it was; a save leaves nothing
// else in the folder and keeps the file's permissions.
TEST(EditModel, OpenAndSaveKeepTheBytes) {
    TempDir dir;
    const std::string path = dir.Write("smoke.txt", kBase + std::string("\0tail", 5));
    using std::filesystem::perms;
    const perms mode = perms::owner_read | perms::owner_write | perms::group_read;
    std::filesystem::permissions(path, mode);
    Result<EffectEdit> opened = EffectEdit::Open(path);
    ASSERT_TRUE(opened.Ok()) << opened.Error;
    ASSERT_TRUE(opened.Value.Save(path).Ok());
    EXPECT_EQ(Slurp(path), kBase + std::string("\0tail", 5));
    EXPECT_EQ(std::filesystem::status(path).permissions(), mode);
    ASSERT_TRUE(opened.Value.Set("Fade", "1").Ok());
    ASSERT_TRUE(opened.Value.Save(path).Ok());
    EXPECT_EQ(Slurp(path), opened.Value.Bytes());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
    EXPECT_FALSE(EffectEdit::Open((dir.Path() / "missing.txt").string()).Ok());
    EXPECT_FALSE(opened.Value.Save((dir.Path() / "no" / "such.txt").string()).Ok());
}

}  // namespace
}  // namespace particleplayer
