// The effect checker: each kind of finding once, at its line and column; clean texts; chains.
#include "effects/check_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cctype>
#include <filesystem>
#include <ranges>
#include <string>
#include <string_view>
#include <vector>

#include "effects/effect_text.h"
#include "effects/loader.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

using testing::InFolder;
using testing::TempDir;
using Lines = std::vector<std::string>;

// Each "[FILE:]LINE:COLUMN words" matches a finding at that place (top.txt by default) with them.
void ExpectFindings(const std::vector<std::string>& paths, const Lines& expected) {
    std::vector<CheckFinding> got = CheckEffectFiles(paths);
    SCOPED_TRACE(::testing::Message() << "text '" << ReadEffectText(paths[0]).value_or("") << "'");
    ASSERT_EQ(got.size(), expected.size()) << ::testing::PrintToString(got);
    for (std::size_t i = 0; i < got.size(); ++i) {
        const std::string line = FormatFinding(got[i]);
        const std::size_t space = expected[i].find(' ');
        const std::string at =
            (std::isdigit(expected[i][0]) ? "top.txt:" : "") + expected[i].substr(0, space);
        EXPECT_TRUE(line.starts_with(at + ": ") &&
                    line.find(expected[i].substr(space + 1)) != std::string::npos)
            << line << "\n  expected " << expected[i];
    }
}

// Each row's text is top.txt, beside its base.txt and a pipe; warnings judge the whole chain.
TEST(Check, EachKindOfFindingOnce) {
    const struct {
        std::string Text;
        Lines Expected;
        std::string Base = "";
    } rows[] = {
        {"EmisionRate = 5", {"1:1 'EmisionRate' is not a key: did you mean 'EmissionRate'?"}},
        {"Glow = 5", {"1:1 'Glow' is not a key and is ignored"}},
        {"EmitterArea = {Type = Circle}, Width = 80", {"1:32 only inside 'EmitterArea = {...}'"}},
        {"Size = 1,\n\tFade = 2", {"2:1 tab before 'Fade'"}},
        {"Fade\xC2\xA0= 2", {"1:5 no-break space after 'Fade': only spaces are trimmed"}},
        {"Size 10", {"1:1 'Size 10' has no '=' and is ignored: write 'Size = 10'?"}},
        {"Size = 10,\nFade = -1,\nSize = 20", {"3:1 'Size' is given again and ignored: the first"}},
        {"\xEF\xBB\xBFSize = 10", {"1:1 byte-order mark at the start of the file: it becomes"}},
        {"{\nSize = 10,\nFade = 1\n}", {"1:1 the whole file is wrapped in braces"}},
        {"Fade = -1,\r\nSize = 10  \r\n\r\nLifeTime = 2\r\n", {"2:10 end of line 2? 'Size' and "}},
        {std::string("Size = 10\0LifeTime = 2", 22), {"1:10 missing comma at the end of"}},
        {"Size = 10 LifeTime = 2", {"1:11 missing comma before 'LifeTime'?"}},
        {"Size = {Min = 1,\n  Max = 2}\nFade = 3\nRaise = 1",
         {"2:11 'Size' and 'Fade' run together", "3:9 'Fade' and 'Raise' run together"}},
        {"Size = 1,\nEmitterArea = {Type = Circle,\nFade = 2", {"2:15 (lost: EmitterArea, Fade)"}},
        {"Size = 1,\nRaise = 2},\nFade = 2", {"2:10 it (lost: Raise, Fade); remove it"}},
        {"Size = {Min = 1, Max = 2} x4,\nFade = -1", {"1:27 'x4' after the closing '}' of 'Size'"}},
        {"Raise = fast", {"1:9 'fast' is not a number: read as 0"}},
        {"Disable = yes", {"1:11 'yes' is not a number: read as 0, which leaves the emitter"}},
        {"Sprite = 2.5", {"1:10 '2.5' is read as 2: only whole numbers are read here"}},
        {"Acceleration = {0, -1e39}", {"1:20 '-1e39' is too large for a 32-bit float"}},
        {"BlendingMode = {3000000000, 2}",
         {"1:17 does not fit in 32 bits: read as -1294967296", "1:17 draws with 5 (source alpha)"}},
        {"BlendingMode = {5, 0}", {"1:20 factor 0 is not a code from 1 to 13"}},
        {"Raise = {1, 2}", {"1:10 '1, 2' is read as 1: the rest is ignored"}},
        {"EmitterArea = {Type = circle}", {"1:23 case-sensitive: did you mean 'Circle'?"}},
        {"EmitterArea = {Type = Elipse}", {"1:23 did you mean 'Ellipse'?"}},
        {"EmitterArea = Circle", {"1:15 write 'EmitterArea = {Type = Circle}'"}},
        {"EmitterArea = {Circle, Width = 80}", {"1:16 'Circle' has no name"}},
        {"EmitterArea = {Type = Circle, Size = 10}", {"1:31 'Size' is a top-level key"}},
        {"EmitterArea = {Type = , Width = 80}", {"1:15 the first entry of 'EmitterArea' is empty"}},
        {"EmissionRate = {Value = 60}", {"1:16 '{Value = 60}' reads as 0; write 'EmissionRate"}},
        {"Size = {60, 70}", {"1:8 not a range: bare numbers read as 0; write 'Size = {Min = 60, "}},
        {"Size = {Value = 60, Inc = 5}", {"1:8 'Value' needs 'Range' or 'Blur' beside it: 'Size"}},
        {"Size = {Lo = 1, Hi = 2}", {"1:8 no value form", "1:9 'Lo' is not read", "1:17 'Hi'"}},
        {"EmissionAngle = {Min = 20, Max = 10}", {"1:34 Max 10 is below Min 20: swap them"}},
        {"Size = {Value = 10, Blur = -5}", {"1:28 negative Blur -5 puts Max below Min"}},
        {"Size = {Min = 5, Max = 10, Inc = 0}", {"1:34 Inc 0 is not a step above 0: the step is"}},
        {"Size = {Min = 1, Max = 2, Value = 10, Blur = 1}", {"1:27 'Value' and 'Blur' are"}},
        {"Size = {Min = -70000, Max = -65535}", {"1:29 Max -65535 means 'no Max' to the reader"}},
        {"LifeTime = {Min = 0.1, Max = 0.9, Inc = 0.1}", {"1:41 7.9999995, which truncates to 7"}},
        {"Size = {},\nFade = -1", {"1:1 'Size' has no value and is skipped"}},
        {"Layer = 1", {"1:9 warning: Layer 1 is never drawn: the player draws layer 0 only"}},
        {"EmitterPosition = {1, 2, 3}", {"1:26 of 'EmitterPosition' are read: '3' is ignored"}},
        {"Acceleration = {y = -50, x = 0}", {"1:17 'y' (first) is read as x and 'x' as y"}},
        {"EmitterPosition = {100}", {"1:19 warning: 'EmitterPosition' has no second number"}},
        {"Extends = Data\\NoSuchEffect.txt", {"1:11 cannot open 'Data\\NoSuchEffect.txt' from"}},
        {"Extends = pipe.txt", {"1:11 'pipe.txt' from the working directory (it is a pipe"}},
        {"Size = 1,\n" + std::string(kMaxEffectFileBytes, 'x'),
         {"2:1 '" + std::string(48, 'x') + "...' has no '=' and is ignored",
          "2:1048567 the file is longer than 1048576 bytes: the reader stops here and the rest"}},
        {"Colour = {300, 0, 0}", {"1:11 red 300 is above 255: held at 255"}},
        {"Colour = {9, 9}", {"1:11 warning: 'Colour' gives no blue: it is 255"}},
        {"Drag = -1", {"1:8 'Drag' -1 is below 0: held at 0"}},
        {"SizeOverLife = {1 = 2, 0 = 1}", {"1:24 time 0 comes after time 1: the keys of"}},
        {"SizeOverLife = {0 = 1, 2 = 1}", {"1:24 time 2 is above 1: held at 1"}},
        {"SizeOverLife = {0.5}", {"1:17 '0.5' has no time and is ignored"}},
        {"TransparencyOverLife = {end = 0}", {"1:25 'end' is not a time, so this key of"}},
        {"SizeOverLife = {0 = }", {"1:17 the key at time 0 has no value: read as 1"}},
        {"SpeedOverLife = {0 = -2000}", {"1:22 the value -2000 is below -1000: held at -1000"}},
        {"DriftYOverLife = {0 = 2e6}", {"1:23 the value 2e+06 is above 1e+06: held at 1e+06"}},
        {"SizeOverLife = {0=1,0.1=1,0.2=1,0.3=1,0.4=1,0.5=1,0.6=1,0.7=1,0.8=1}",
         {"1:63 at most 8 keys"}},
        {"SpriteSheet = {Columns = 4, Rows = 4, Frames = 20}", {"1:48 20 is more than the 4 x 4"}},
        {"SpriteSheet = {Columns = 0, Rows = 300}",
         {"1:26 'Columns' 0 is below 1", "1:36 'Rows' 300 is above 256"}},
        {"OnDeath = {Count = 3}", {"1:11 'OnDeath' names no 'Effect', so no effect is started"}},
        // The motion keys through their rows: a randomised key's ends, four channels, switches.
        {"EndSize = -5", {"1:11 'EndSize' -5 is below 0: held at 0"}},
        {"OrbitSpin = {Min = -2e6, Max = 5}", {"1:14 -2e+06 is below -1e+06: held at -1e+06"}},
        {"OrbitRadius = {Value = 1, Blur = 3}", {"1:16 the lowest 'OrbitRadius' -2 is below 0"}},
        {"TangentialAcceleration = {-60, 40}", {"1:26 '{-60, 40}' is not a range"}},
        {"StartColour = {9, 9}",
         {"1:16 warning: 'StartColour' gives no blue and alpha: they are 255; write {R, G, B, A}"}},
        {"EndColourVariance = {9, 9, 9, -1, 5}",
         {"1:31 alpha -1 is below 0: held at 0", "1:35 only the first four entries of"}},
        {"StartColourVariance = {9}", {"1:24 gives no green, blue and alpha: they are 0"}},
        {"MaxAlive = -3", {"1:12 'MaxAlive' -3 is below 0: held at 0"}},
        {"AlignToMotion = 2", {"1:17 'AlignToMotion' 2 is above 1: held at 1"}},
        {"Attached = 1.5", {"1:12 '1.5' is read as 1: only whole numbers are read here"}},
        {"RadialAcceleration = {Value = 30, Blur = 5}, TangentialAcceleration = {Min = -10, "
         "Max = 10, Inc = 2}, OrbitRadius = 5, OrbitEndRadius = 0, OrbitSpin = -90, EndSize = "
         "0, Angle = {Min = 0, Max = 359}, EndAngle = 720, StartColour = {255, 255, 255, 255}, "
         "StartColourVariance = {0, 0, 0, 0}, EndColour = {0, 0, 0, 0}, EndColourVariance = "
         "{255, 255, 255, 255}, AlignToMotion = 1, MaxAlive = 1000000000, Attached = 0",
         {}},
        // The optional keys, many at their least value, come out clean.
        {"Colour = {255, 128, 0}, ColourOverLife = {0 = {255, 230, 120}, 1 = {60, 60, 60}}, "
         "SizeOverLife = {0 = 0, 0.5 = 1, 0.5 = 2, 1 = 2}, TransparencyOverLife = {0 = 1, "
         "1 = 0}, Drag = 0, Spin = 90, SpriteSheet = {Columns = 1, Rows = 4, Frames = 1, "
         "Rate = 0, Random = 0}, Burst = {Count = 0, Interval = 0, Repeat = 0}, Duration = 0, "
         "Prewarm = 0, OnDeath = {Count = 0}",
         {"1:349 'OnDeath' names no 'Effect'"}},
        {"Size = {Value = 0.5, Blur = 0.25}", {"1:1 Size is at most 0.75, below one pixel"}},
        {"Size = 8,\nTransparency = {Min = 0, Max = 0.5}", {"2:1 at most 0.5, never reaching 1"}},
        {"EmissionRate = 2000", {"1:1 EmissionRate up to 2000 per second is more than the"}},
        {"EmitterPosition = {3000, 300}", {"1:1 the emitter at (3000, 300) is more than a"}},
        {"Rotation = {Value = 40, Blur = 5}", {"1:1 (2700 degrees per second at 60 frames)"}},
        {"LifeTime = 0", {"1:1 LifeTime is at most 0 seconds: a particle is gone by the frame"}},
        {"EmissionRate = {Min = -5, Max = 0}", {"1:1 at most 0 per second"}},
        {"Size = 0.5, Raise = 100", {}},
        {"Transparency = 0.5, Fade = 300, LifeTime = 0.5", {}},
        // The drawn opacity is the low 8 bits of the rounded transparency: 255.5 rounds to 256.
        {"Transparency = 100,\nFade = 300", {"2:1 warning: Fade 300 takes the opacity from up"}},
        {"Transparency = 255, Fade = 0.1", {}},
        {"Transparency = 255, Fade = 0.2", {"1:21 warning: Fade 0.2 takes the opacity from up"}},
        {"Transparency = {Min = 200, Max = 300}", {"1:1 warning: Transparency up to 300 is above"}},
        {"Size = 1e30", {"1:1 warning: Size up to 1e+30 pixels is far beyond any screen"}},
        {"Size = 100000", {}},
        {"Size = 100, Raise = 50000", {"1:13 Raise 50000 grows particles to 150100 pixels"}},
        // Curves over the duration and Continuous run over a Duration, here from the base file.
        {"Continuous = 1,\nLifeOverDuration = {0 = 1, 1 = 2}",
         {"1:1 warning: 'Continuous' changes nothing without a Duration",
          "2:1 'LifeOverDuration'"}},
        {"Continuous = 0, WidthOverDuration = {0 = 1}",
         {"1:17 'WidthOverDuration' changes nothing"}},
        {"Extends = base.txt, HeightOverDuration = {0 = 1}", {}, "Duration = 2"},
        // What started effects keep alive: births a second times Count times lifetime, the
        // effect's own particles added, at most 4096 started effects of 1000 each.
        {"EmissionRate = 100,\nOnDeath = {Effect = base.txt, Count = 1000}",
         {"2:1 warning: the effects that 'OnDeath' starts can keep up to 2000300 particles alive"},
         "LifeTime = 20, Sprite = 1"},
        {"EmissionRate = 100,\nOnDeath = {Effect = base.txt, Count = 1000}",
         {},
         "LifeTime = 5, Sprite = 1"},
        {"Burst = {Count = 1000, Interval = 1},\nOnBirth = {Effect = base.txt, Count = 3}",
         {"2:1 starts can keep up to 4099000 particles alive at once (1000 a second, times the "
          "Counts along the chain, 3, times"},
         "LifeTime = 1e6, Sprite = 1"},
        {"EmissionRate = 1000", {}},
        {"EmitterPosition = {-900, 300},\nEmitterArea = {Type = Line, Width = 200}", {}},
        {"Rotation = {Value = -6, Blur = 3}", {}},
        // The warnings' limits, each with its neighbour: a fast turn either way, the top and
        // bottom edges of the seen area, sizes and opacities of exactly 1.
        {"Rotation = -31", {"1:1 Rotation turns a particle up to 31 degrees every frame"}},
        {"Rotation = {Min = -30, Max = 30}", {}},
        {"EmitterPosition = {400, -601}", {"1:1 the emitter at (400, -601) is more than a"}},
        {"EmitterPosition = {400, -600}", {}},
        {"EmitterPosition = {400, 1201}", {"1:1 the emitter at (400, 1201) is more than a"}},
        {"EmitterPosition = {400, 1200}", {}},
        {"Size = 1,\nTransparency = 1", {}},
        {"Extends = base.txt,\nFade = -10", {"base.txt:1:1 Size is at most 0.5"}, "Size = 0.5"},
        {"Extends = base.txt,\nSize = 10", {}, "Size = 0.5"},
        {"Extends = base.txt", {"base.txt:1:1 warning: the file is empty: it sets nothing"}, " "},
        {"Extends = base.txt", {"base.txt:1:11 (top.txt -> base.txt -> top"}, "Extends = top.txt"},
        {"Extends = ./top.txt", {"1:11 under another name (top.txt -> ./top.txt)"}},
        {"OnDeath = {Effect = ./top.txt}", {"1:21 (top.txt -> ./top.txt): an effect never starts"}},
        {"SizeOverLife = {0 = {3}, 1 = {}}", {"1:26 the key at time 1 has no value: read as 1"}},
        {"Burst = {Count = 2, Repeat = 2147483647}", {"1:30 2147483647 is above 1000000: held at"}},
        {"Collide = {{Bounce = 0.5}, 3, {Floor = 2e6}}",
         {"1:13 a block of 'Collide' names no line", "1:28 '3' is no block of lines",
          "1:40 'Floor' 2e+06 is above 1e+06: held at 1e+06"}},
        {"Collide = {{Floor = 1, Ceiling = 2, Left = 3, Right = 4, Y1 = 5}, {Floor = 6, Ceiling = "
         "7, Left = 8, Right = 9}}",
         {"1:68 'Collide' takes the first 8 lines"}},
    };
    TempDir dir;
    InFolder in(dir.Path());
    ASSERT_EQ(mkfifo("pipe.txt", 0600), 0);
    for (const auto& row : rows) {
        std::filesystem::remove("base.txt");
        if (!row.Base.empty()) dir.Write("base.txt", row.Base);
        dir.Write("top.txt", row.Text);
        ExpectFindings({"top.txt"}, row.Expected);
    }
    constexpr std::string_view kClean =
        "Layer = 0, EmitterPosition = {400, 300}, Sprite = {Min = 1, Max = 4}, Disable = 0;"
        "Size = {16}, Fade = -1,\r\nRaise = 2,; Size  =  { 60, } ;Emission\nRate = 5;"
        "EmitterPosition = {x = 400, y = 300};BlendingMode = {, 2};Sprite = $1F, Size = 1e2;"
        "Size = {Min = 0, Max = 1, Inc = 0.1};EmitterArea = {Width = 80};"
        "Size = {Value = 10, Range = -5}";
    for (const auto text : std::views::split(kClean, ';')) {
        dir.Write("top.txt", std::string(text.begin(), text.end()));
        ExpectFindings({"top.txt"}, {});
    }
}

// Unreadable files are one finding each; a file named by several is checked once, in order; of
// 1 MiB files (the first 1000 bytes short) the 17th is read for 1000 bytes, the 18th not at all.
TEST(Check, FollowsExtendsAndSubEffectsAsTheLoaderDoesWithinItsBudget) {
    TempDir dir;
    InFolder in(dir.Path());
    ASSERT_EQ(mkfifo("pipe.txt", 0600), 0);
    std::filesystem::create_directories("Data/Basis");
    dir.Write("Data/Basis/Glut.txt", "Size = 1");
    dir.Write("Data/Feuer.txt", "Extends = Basis\\Glut.txt");
    dir.Write("base.txt", "Disable = 1");
    dir.Write("a.txt", "Extends = base.txt,\nFade = x");
    dir.Write("b.txt", "Extends = base.txt");
    // Sprite 1, so that no started effect is warned of for drawing nothing.
    dir.Write("A.txt", "OnDeath = {Effect = B.txt}, OnBirth = {Effect = B.txt}, Sprite = 1");
    dir.Write("B.txt", "Siz = 1, OnDeath = {Effect = C.txt}, Sprite = 1");
    dir.Write("C.txt", "OnDeath = {Effect = A.txt}, Sprite = 1");
    for (int i = 1; i <= 6; ++i) {
        dir.Write("D" + std::to_string(i) + ".txt",
                  "OnDeath = {Effect = D" + std::to_string(i + 1) + ".txt}, Sprite = 1");
    }
    for (int i = 0; i < 18; ++i) {
        std::string text = "Extends = f" + std::to_string(i + 1) + ".txt,";
        text.resize(kMaxEffectFileBytes - (i == 0 ? 1000 : 0), ' ');
        if (i == 16) text.replace(999, 11, ",Colour = 5");
        dir.Write("f" + std::to_string(i) + ".txt", text);
    }
    ExpectFindings(
        {"missing.txt", ".", "pipe.txt", "/dev/null", "Data\\Feuer.txt", "b.txt", "a.txt", "A.txt",
         "D1.txt", "f0.txt"},
        {"missing.txt:1:1 cannot open this file (No such file or directory)",
         ".:1:1 cannot open this file (it is a folder)",
         "pipe.txt:1:1 cannot open this file (it is a pipe, not a regular file)",
         "/dev/null:1:1 cannot open this file (it is a device, not a regular file)",
         "Data/Feuer.txt:1:11 not to the file that names them: write 'Data\\Basis\\Glut.txt'",
         "base.txt:1:1 switches the emitter off", "a.txt:2:8 'x'", "B.txt:1:1 did you mean 'Size'?",
         "C.txt:1:21 (A.txt -> B.txt -> C.txt -> A.txt): an effect never starts itself",
         "D5.txt:1:21 'D6.txt' is not started: sub-effects nest at most 4 deep",
         "f16.txt:1:1 the first 1000 bytes are read: the files before it in the Extends chain use "
         "16776216 of the 16777216",
         "f17.txt:1:1 not read: the files before it in the Extends chain use all the 16777216"});
}

// SpriteFile is looked for beside the file that names it, and must be an image there; a started
// effect without one draws with its Sprite number, which play and render load only from 1 on.
// A file naming SpriteFile has its sub-effects opened from its own folder.
TEST(Check, SpriteFilesAndTheSpritesOfStartedEffects) {
    TempDir dir;
    InFolder in(dir.Path());
    std::filesystem::create_directories("art");
    ASSERT_EQ(mkfifo("art/pipe.png", 0600), 0);
    dir.Write("art/spark.png", std::string("\x89PNG\r\n\x1a\n", 8));
    dir.Write("art/text.png", "not an image");
    dir.Write("art/plain.txt", "Size = 4");
    dir.Write("art/own.txt", "SpriteFile = spark.png");
    dir.Write("art/zero.txt", "Sprite = {Min = -2, Max = 0}");
    dir.Write("art/top.txt",
              "SpriteFile = spark.png,\nOnDeath = {Effect = plain.txt},\n"
              "OnBirth = {Effect = own.txt}");
    dir.Write("art/bad.txt", "SpriteFile = text.png, OnDeath = {Effect = zero.txt}");
    dir.Write("art/pipe.txt", "SpriteFile = pipe.png");
    // A .plist or .pex serves with the sprite it embeds, as the loader names them.
    const std::string plist = "<plist><dict><key>textureImageData</key><string>";
    dir.Write("art/embeds.plist", plist + "H4sI</string></dict></plist>");
    dir.Write("art/bare.plist", plist + "</string></dict></plist>");
    dir.Write("art/plist.txt", "SpriteFile = embeds.plist");
    dir.Write("art/bare.txt", "SpriteFile = bare.plist");
    dir.Write("missing.txt", "SpriteFile = art\\none.png, OnDeath = {Effect = art/plain.txt}");
    dir.Write("long.txt", "SpriteFile = " + std::string(kMaxSpriteFilePath + 1, 'x'));
    ExpectFindings(
        {"art/top.txt", "art/bad.txt", "art/pipe.txt", "art/plist.txt", "art/bare.txt",
         "missing.txt", "long.txt"},
        {"art/top.txt:2:21 warning: 'plain.txt' names no SpriteFile, so the particles it starts "
         "draw with sprite 0",
         "art/bad.txt:1:14 the sprite 'text.png' (art/text.png, relative to the folder of this "
         "file) is no PNG or BMP image",
         "art/bad.txt:1:44 warning: 'zero.txt' names no SpriteFile, so the particles it starts "
         "draw with sprite -2",
         "art/pipe.txt:1:14 (art/pipe.png, relative to the folder of this file) is not a regular "
         "file",
         "art/bare.txt:1:14 the sprite 'bare.plist' (art/bare.plist, relative to the folder of "
         "this file) is a .plist or .pex that embeds no sprite",
         "missing.txt:1:14 the sprite 'art\\none.png' cannot be opened (No such file or directory)",
         "missing.txt:1:48 warning: 'art/plain.txt' names no SpriteFile",
         "long.txt:1:14 'SpriteFile' is longer than 4096 bytes or holds a zero byte"});
}

}  // namespace
}  // namespace pp
