// play's arguments: EFFECT[:SPRITE][@X,Y] in-process as a table, and the built binary's exit
// status and one-line errors.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/play_session.h"
#include "app/png_writer.h"
#include "tests/app/run_binary.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

using test::Lines;
using test::RunBinary;
using test::RunResult;
using testing::InFolder;

// A 1 x 1 PNG.
std::string TinyPng() {
    const std::vector<uint8_t> black(3, 0);
    const std::vector<uint8_t> png = EncodePngFromBgr(1, 1, black).value();
    return std::string(png.begin(), png.end());
}

// A folder with a.txt + a.png, b.txt + b.png, lone.txt (no sprite), odd.png, a folder dir,
// and sprites that are no image: text.png, half.png (a cut PNG), junk.txt's junk.png.
class PlayArgs : public ::testing::Test {
  protected:
    PlayArgs() {
        for (const char* name :
             {"a.txt", "b.txt", "lone.txt", "-dash.txt", "at@home.txt", "junk.txt", "text.png"}) {
            dir_.Write(name, "Size = 8");
        }
        for (const char* name : {"a.png", "b.png", "odd.png"}) dir_.Write(name, TinyPng());
        dir_.Write("half.png", TinyPng().substr(0, 30));
        dir_.Write("junk.png", std::string("\x00\xff\x10"
                                           "BM\x7f",
                                           6));
        std::filesystem::create_directory(dir_.Path() / "dir");
    }

    std::optional<std::string> Parse(std::vector<std::string_view> args) {
        return ParsePlayArgs(args, effects_, notes_);
    }

    pp::testing::TempDir dir_;
    InFolder here_{dir_.Path()};
    std::vector<PlayEffect> effects_;
    std::vector<std::string> notes_;
};

struct GoodRow {
    std::vector<std::string_view> Args;
    std::vector<PlayEffect> Expected;
};

class PlayArgsGood : public PlayArgs, public ::testing::WithParamInterface<GoodRow> {};

TEST_P(PlayArgsGood, GivesEffectsWithSpritesAndPositions) {
    ASSERT_EQ(Parse(GetParam().Args), std::nullopt);
    const std::vector<PlayEffect>& expected = GetParam().Expected;
    ASSERT_EQ(effects_.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(effects_[i].Effect, expected[i].Effect) << i;
        EXPECT_EQ(effects_[i].Sprite, expected[i].Sprite) << i;
        EXPECT_EQ(effects_[i].X, expected[i].X) << i;
        EXPECT_EQ(effects_[i].Y, expected[i].Y) << i;
    }
    EXPECT_TRUE(notes_.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PlayArgsGood,
    ::testing::Values(
        GoodRow{{"a.txt"}, {{"a.txt", "a.png", 400, 300}}},
        GoodRow{{"a.txt@10,-20"}, {{"a.txt", "a.png", 10, -20}}},
        GoodRow{{"a.txt:odd.png"}, {{"a.txt", "odd.png", 400, 300}}},
        GoodRow{{"a.txt:odd.png@-5,7"}, {{"a.txt", "odd.png", -5, 7}}},
        // Unplaced effects share the width evenly; placed ones keep their place.
        GoodRow{{"a.txt", "b.txt"}, {{"a.txt", "a.png", 266, 300}, {"b.txt", "b.png", 533, 300}}},
        GoodRow{
            {"a.txt", "b.txt@1,2", "a.txt"},
            {{"a.txt", "a.png", 266, 300}, {"b.txt", "b.png", 1, 2}, {"a.txt", "a.png", 533, 300}}},
        // What follows '@' is a path when it cannot be a position.
        GoodRow{{"at@home.txt:a.png"}, {{"at@home.txt", "a.png", 400, 300}}},
        GoodRow{{"--", "-dash.txt:a.png"}, {{"-dash.txt", "a.png", 400, 300}}},
        GoodRow{{"a.txt@2147483647,-2147483648"}, {{"a.txt", "a.png", INT32_MAX, INT32_MIN}}}));

struct BadRow {
    std::vector<std::string_view> Args;
    std::string Message;
};

class PlayArgsBad : public PlayArgs, public ::testing::WithParamInterface<BadRow> {};

TEST_P(PlayArgsBad, SaysWhatIsWrong) {
    const std::optional<std::string> error = Parse(GetParam().Args);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(*error, GetParam().Message);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PlayArgsBad,
    ::testing::Values(
        BadRow{{"missing.txt"}, "cannot read the effect file 'missing.txt': no such file"},
        BadRow{{"dir"}, "cannot read the effect file 'dir': not a regular file"},
        BadRow{{"a.txt:missing.png"}, "cannot read the sprite 'missing.png': no such file"},
        BadRow{{"a.txt:dir"}, "cannot read the sprite 'dir': not a regular file"},
        BadRow{{"a.txt:"}, "'a.txt:' needs a path on both sides of ':' (EFFECT:SPRITE)"},
        BadRow{{":a.png"}, "':a.png' needs a path on both sides of ':' (EFFECT:SPRITE)"},
        BadRow{{"@1,2"}, "'@1,2' names no effect file"},
        BadRow{{"a.txt@"},
               "'@' in 'a.txt@' is not a position; write @X,Y with whole numbers, as in @400,300"},
        BadRow{{"a.txt@12"},
               "'@12' in 'a.txt@12' is not a position; write @X,Y with whole numbers, as in "
               "@400,300"},
        BadRow{{"a.txt@+5,7"},
               "'@+5,7' in 'a.txt@+5,7' is not a position; write @X,Y with whole numbers, as in "
               "@400,300"},
        BadRow{{"a.txt@1,2,3"},
               "'@1,2,3' in 'a.txt@1,2,3' is not a position; write @X,Y with whole numbers, as "
               "in @400,300"},
        BadRow{{"a.txt@2147483648,0"},
               "'@2147483648,0' in 'a.txt@2147483648,0' is not a position; write @X,Y with whole "
               "numbers, as in @400,300"},
        BadRow{{"a.txt@1,x"},
               "cannot read the effect file 'a.txt@1,x': no such file ('@1,x' is no position X,Y)"},
        BadRow{{"a.txt:text.png"}, "cannot use the sprite 'text.png': not a PNG or BMP image"},
        BadRow{{"junk.txt"}, "cannot use the sprite 'junk.png': not a PNG or BMP image"},
        BadRow{{"a.txt:half.png"},
               "cannot use the sprite 'half.png': a broken PNG (png: PNG data ends early)"},
        BadRow{{"a.txt", "--frames", "3"},
               "unknown option '--frames' (a path that starts with '-' goes after '--')"}));

TEST_F(PlayArgs, NoArgumentsGiveTheBuiltInSceneAndSayWhichDataIsMissing) {
    ASSERT_EQ(Parse({}), std::nullopt);
    ASSERT_EQ(effects_.size(), 4u);
    EXPECT_EQ(effects_[0].Effect, "Data\\Sternchen.txt");
    EXPECT_EQ(effects_[0].Sprite, "Data\\Sternchen.png");
    EXPECT_EQ(effects_[3].X, 600);
    EXPECT_EQ(effects_[3].Y, 300);
    // This folder has no Data/.
    ASSERT_EQ(notes_.size(), 1u);
    EXPECT_NE(notes_[0].find("8 of the scene's 8 data files"), std::string::npos) << notes_[0];
}

TEST_F(PlayArgs, MissingDefaultSpriteIsANoteNotAnError) {
    ASSERT_EQ(Parse({"lone.txt"}), std::nullopt);
    ASSERT_EQ(effects_.size(), 1u);
    EXPECT_EQ(effects_[0].Sprite, "lone.png");
    ASSERT_EQ(notes_.size(), 1u);
    EXPECT_EQ(notes_[0],
              "no sprite lone.png beside lone.txt: its particles draw nothing until that file "
              "appears (or name one as lone.txt:SPRITE.png)");
}

TEST_F(PlayArgs, AtMostSixtyFourEffects) {
    std::vector<std::string_view> args(kMaxPlayEffects, "a.txt");
    EXPECT_EQ(Parse(args), std::nullopt);
    EXPECT_EQ(effects_.size(), kMaxPlayEffects);
    args.push_back("a.txt");
    EXPECT_EQ(Parse(args), "at most 64 effects at once");
}

TEST(PlayCli, BadArgumentsExitTwoWithOneLine) {
    pp::testing::TempDir dir;
    const std::string effect = dir.Write("e.txt", "Size = 8");
    const std::string text = dir.Write("e.png", "not a picture");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"play", "no-such-effect.txt"},
          std::vector<std::string>{"play", "--speed", "2"},
          std::vector<std::string>{"play", effect},
          std::vector<std::string>{"play", effect + ":" + text}}) {
        const RunResult r = RunBinary(args);
        EXPECT_EQ(r.Status, 2);
        EXPECT_EQ(r.Out, "");
        ASSERT_EQ(Lines(r.Err).size(), 1u) << r.Err;
        EXPECT_EQ(r.Err.rfind("particleplayer play: ", 0), 0u) << r.Err;
    }
}

TEST(PlayCli, WithoutDisplaySaysSoInOneLineAndExitsOne) {
    test::RunOptions options;
    options.WorkingDir = PP_SOURCE_DIR;
    options.UnsetEnv = {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};
    const RunResult r = RunBinary({"play", "Data/Feuer.txt@100,100"}, options);
    EXPECT_EQ(r.Status, 1);
    ASSERT_EQ(Lines(r.Err).size(), 1u) << r.Err;
    EXPECT_NE(r.Err.find("no display found"), std::string::npos) << r.Err;
}

}  // namespace
}  // namespace pp
