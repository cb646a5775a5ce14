// The checker on the optional keys: each kind of finding once, at its line and column, and the
// sub-effect files it follows as the loader does.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "effects/check.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

// Each row's findings, as "LINE:COLUMN: message" lines, begin with the text given (the last
// message may be cut short) and are as many.
TEST(CheckExtras, EachKindOfFlawOnce) {
    const std::pair<std::string_view, std::string_view> rows[] = {
        {"Colur = {1, 2, 3}", "1:1: 'Colur' is not a key: did you mean 'Colour'?"},
        {"Colour = {300, 0, 0}", "1:11: red 300 is above 255: held at 255"},
        {"Colour = {0, x, 0}", "1:14: 'x' is not a number: read as 0"},
        {"Colour = {9, 9}", "1:11: warning: 'Colour' gives no blue: it is 255"},
        {"Colour = {1, 2, 3, 4}", "1:20: only the first three entries of 'Colour' are read: '4'"},
        {"Drag = -1", "1:8: 'Drag' -1 is below 0: held at 0"},
        {"Prewarm = 100", "1:11: 'Prewarm' 100 is above 10: held at 10"},
        {"Spin = fast", "1:8: 'fast' is not a number: read as 0"},
        {"SizeOverLife = {1 = 2, 0 = 1}", "1:24: time 0 comes after time 1: the keys of"},
        {"SizeOverLife = {0 = 1, 2 = 1}", "1:24: time 2 is above 1: held at 1"},
        {"SizeOverLife = {0 = -1}", "1:21: the value -1 is below 0: held at 0"},
        {"SizeOverLife = {0.5}", "1:17: '0.5' has no time and is ignored"},
        {"TransparencyOverLife = {end = 0}", "1:25: 'end' is not a time, so this key of"},
        {"SizeOverLife = {0 = }", "1:17: the key at time 0 has no value: read as 1"},
        {"SizeOverLife = {0=1,0.1=1,0.2=1,0.3=1,0.4=1,0.5=1,0.6=1,0.7=1,0.8=1}",
         "1:63: 'SizeOverLife' keeps at most 8 keys: '0.8=1' and any after it"},
        {"ColourOverLife = {0 = {255, 0, 0}, 1 = {0, 0, 999}}",
         "1:47: blue 999 is above 255: held at 255"},
        {"ColourOverLife = {0 = {255}}", "1:24: warning: the colour at time 0 gives no green and"},
        {"SpriteSheet = {Colums = 4, Rows = 4}", "1:16: 'Colums' is not read in 'SpriteSheet'"},
        {"SpriteSheet = {Columns = 4, Rows = 4, Frames = 20}",
         "1:48: 'Frames' 20 is more than the 4 x 4 cells of the sheet: held at 16"},
        {"SpriteSheet = {Columns = 0, Rows = 300}",
         "1:26: 'Columns' 0 is below 1: held at 1\n1:36: 'Rows' 300 is above 256: held at 256"},
        {"SpriteSheet = {Columns = 2, 3}", "1:29: '3' has no name and is ignored: 'SpriteSheet'"},
        {"Burst = {10, 1, 0, 5}", "1:20: only the first 3 entries of 'Burst' are read"},
        {"Burst = {Count = 5000, Interval = 1.5}", "1:18: 'Count' 5000 is above 1000: held at"},
        {"Burst = {Count = 2.5}", "1:18: '2.5' is read as 2: only whole numbers are read here"},
        {"OnDeath = {Count = 3}", "1:11: 'OnDeath' names no 'Effect', so no effect is started"},
        {"OnBirth = {Effect = nowhere.txt}",
         "1:21: cannot open 'nowhere.txt' from the working directory"},
        {"OnDeath = {Effect = e.txt}", "1:21: 'e.txt' is an effect already being started (e.txt"},
        // The keys as their reference shows them come out clean.
        {"Colour = {255, 128, 0}, ColourOverLife = {0 = {255, 230, 120}, 0.5 = {255, 90, 20}, "
         "1 = {60, 60, 60}}, SizeOverLife = {0 = 0.5, 0.5 = 1, 0.5 = 2, 1 = 2}, "
         "TransparencyOverLife = {0 = 1, 1 = 0}, Drag = 0.5, Spin = 90, SpriteSheet = {Columns "
         "= 4, Rows = 4, Frames = 16, Rate = 12, Random = 1}, Burst = {Count = 50, Interval = "
         "0.5, Repeat = 3}, Duration = 2, Prewarm = 1, OnDeath = {Count = 0}",
         "1:379: 'OnDeath' names no 'Effect'"},
    };
    for (const auto& [text, want] : rows) {
        std::string got;
        for (const CheckFinding& f : CheckEffectBytes(text, "e.txt")) {
            got +=
                std::to_string(f.Line) + ":" + std::to_string(f.Column) + ": " + f.Message + "\n";
        }
        EXPECT_TRUE(got.starts_with(want) && std::count(got.begin(), got.end(), '\n') ==
                                                 std::count(want.begin(), want.end(), '\n') + 1)
            << text << "\n"
            << got;
    }
}

// Sub-effect files are checked as files of their own, once; a route back to a started effect
// and one nested too deep are said where they are named.
TEST(CheckExtras, FollowsSubEffectsAsTheLoaderDoes) {
    testing::TempDir dir;
    testing::InFolder in(dir.Path());
    dir.Write("A.txt", "OnDeath = {Effect = B.txt}, OnBirth = {Effect = B.txt}");
    dir.Write("B.txt", "Siz = 1, OnDeath = {Effect = C.txt}");
    dir.Write("C.txt", "OnDeath = {Effect = A.txt}");
    for (int i = 1; i <= 6; ++i) {
        dir.Write("D" + std::to_string(i) + ".txt",
                  "OnDeath = {Effect = D" + std::to_string(i + 1) + ".txt}");
    }
    std::vector<std::string> got;
    for (const CheckFinding& f : CheckEffectFiles(std::vector<std::string>{"A.txt", "D1.txt"})) {
        got.push_back(FormatFinding(f));
    }
    EXPECT_EQ(got, (std::vector<std::string>{
                       "B.txt:1:1: 'Siz' is not a key: did you mean 'Size'?",
                       "C.txt:1:21: 'A.txt' is an effect already being started (A.txt -> B.txt "
                       "-> C.txt -> A.txt): an effect never starts itself, so the loader starts "
                       "nothing here",
                       "D5.txt:1:21: 'D6.txt' is not started: sub-effects nest at most 4 deep",
                   }));
}

}  // namespace
}  // namespace pp
