// The loader, mostly as whole records against what a plain text loads to.
#include "effects/loader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "effects/effect_keys.h"
#include "tests/effects/temp_dir.h"
#include "tests/particles/params_test_util.h"

namespace pp {
namespace {

using testing::InFolder;
using testing::TempDir;
using P = EmitterParams;

class Loader : public ::testing::Test {
  protected:
    Loader() : engine_(clock_) { FillAreaTypes(engine_); }
    // The text loaded over `under` (the loader keeps what a text does not set).
    P Load(std::string_view text, std::string_view under = "") {
        Emitter* e = CreateEmitter(engine_, 7, 9);
        LoadEffectText(engine_, e, under);
        LoadEffectText(engine_, e, text);
        return e->Params();
    }
    VirtualClock clock_{1000};
    Engine engine_;
    TempDir dir_;
};

// Over a text setting every key unlike the rows, each row loads as the plain text beside it.
TEST_F(Loader, TextsLoadAsThePlainTextBesideThem) {
    const std::pair<std::string_view, std::string_view> rows[] = {
        {"Layer\n\r= 2.9,\r\rSize\r\n = 3", "Layer = 2, Size = 3"},
        {"Size = {Value = 1, Range = 5, Blur = 1}", "Size = {Min = 1, Max = 6}"},
        {"Size = {Min = 1, Max = 2, Value = 10, Blur = 1}", "Size = {Min = 1, Max = 2}"},
        {"Size = {Min = , Max = 2, Value = 3, Blur = 1, Inc = 2.5}",
         "Size = {Min = 2, Max = 4, Inc = 2.5}"},
        {"Size = {Value = 10, Blur = -5}, Rotation = {Value = 6, Inc = 5}",
         "Size = {Min = 15, Max = 5}, Rotation = {Min = 0, Max = 0, Inc = 5}"},
        {"Size = {Min = {5}, Max = 6}, Rotation = {60, 70}",
         "Size = {Min = 0, Max = 6}, Rotation = 0"},
        {"Size = {Value = 16777216, Range = 1}", "Size = 16777216"},
        {"Sprite = {Value = 2147483647, Range = 1}",
         "Sprite = {Min = 2147483647, Max = -2147483648, Inc = 0}"},
        {"Layer = , Size = , Disable = {}, EmitterArea = {Width = 80}",
         "EmitterArea = {Type = Point, Width = 80}"},
        {"EmitterPosition = {100}", "EmitterPosition = {100, 0}"},
        {"EmitterPosition = {y = 4, x = 3}", "EmitterPosition = {4, 3}"},
        {"EmitterArea = Circle", "EmitterArea = {Type = Point, Width = 0, Height = 0, Angle = 0}"},
        {"EmitterArea = {Type = circle, Width = 3}", "EmitterArea = {Type = Point, Width = 3}"},
        {"Acceleration = 5", "Acceleration = {5, 0}"},
        {"Sprite = {Value = 3, Blur = 1}", "Sprite = {Min = 2, Max = 4}"},
        {"Size = {Min = 5, Max = 10, Inc = -2}", "Size = {Min = 5, Max = 10, Inc = 1}"},
        {"Size = {Min = -70000, Max = -65535}", "Size = -70000"},
        {"BlendingMode = 1", "BlendingMode = {1, 6}"},
        {"BlendingMode = {, 2}", "BlendingMode = {5, 2}"},
        {"Disable = yes", "Disable = 0"},
        {"layer = 1, Size\t= 3, Inner = {Layer = 4}, Layer = 1 Fade = 2", ""},
        {"EmissionVelocity = 20, EmissionRate = {Value = 4, Range = 1, Inc = 0.5}, Rotation = 8",
         "EmissionVelocity = {Min = 20, Max = 20}, EmissionRate = {Min = 4, Max = 5, Inc = 0.5}, "
         "Rotation = {Min = 8, Max = 8}"},
        {"Colour = {300, -5}", "Colour = {255, 0, 255}"},
        {"Colour = {R = 10, G = 20, B = 1e99}, Drag = {}", "Colour = {10, 20, 255}"},
        {"Colour = {red, 2, 3}", "Colour = {0, 2, 3}"},
        {"SizeOverLife = {1 = 2, 0 = 0.5, 7 = 3, -1 = 4}", "SizeOverLife = {0=0.5, 0=4, 1=2, 1=3}"},
        {"TransparencyOverLife = {a = 1, 0.5, 0 = -2, 0.1 = 1, 0.2 = 1, 0.3 = 1, 0.4 = 1, "
         "0.5 = 1, 0.6 = 1, 0.7 = 1, 0.8 = 9}",
         "TransparencyOverLife = {0=0, 0.1=1, 0.2=1, 0.3=1, 0.4=1, 0.5=1, 0.6=1, 0.7=1}"},
        {"SizeOverLife = {x = 1}, TransparencyOverLife = 3", ""},
        {"SpriteSheet = {Columns = 2, Frames = 0}", "SpriteSheet = {2, 1, 1}"},
        {"Burst = {5000}", "Burst = {1000, 1, 0}"},
        {"OnDeath = {Effect = nowhere.txt, Count = 2000, Inherit = 1}, OnBirth = {nowhere.txt}",
         "OnDeath = {Count = 1000, Inherit = 1}, OnBirth = {Count = 1}"},
        {"Collide = {Floor = 50, Left = -9e9, Bounce = 3, Friction = -1, Die = 0.5}",
         "Collide = {{Floor = 50, Friction = 0}, {Left = -1e6, Bounce = 1}}"},
        {"Collide = {{Floor = 1, Ceiling = 2, Left = 3, Right = 4, Y2 = 5}, 7, {Floor = 6, "
         "Ceiling = 7, Left = 8, Right = 9}}",
         "Collide = {{Floor = 1, Ceiling = 2, Left = 3, Right = 4}, {X1 = 0, Y1 = 0, X2 = 0, Y2 = "
         "5}, {Floor = 6, Ceiling = 7, Left = 8}}"},
        {"Collide = 30, OnCollide = {nowhere.txt, 2}", "Collide = {Floor = 30}, OnCollide = {, 2}"},
    };
    const std::string marked =
        "Disable = 7, Layer = 9, EmitterPosition = {1, 2}, EmitterArea = {Type = Square, Width = "
        "11, Height = 12, Angle = 30}, EmissionAngle = {Min = 21, Max = 22, Inc = 0.5}, "
        "EmissionVelocity = {Min = 23, Max = 24, Inc = 0.5}, Acceleration = {13, 14}, LifeTime = "
        "{Min = 25, Max = 26, Inc = 0.5}, EmissionRate = {Min = 27, Max = 28, Inc = 0.5}, Sprite "
        "= {Min = 1, Max = 4, Inc = 3}, Size = {Min = 29, Max = 30, Inc = 0.5}, Raise = 15, "
        "Rotation = {Min = 31, Max = 32, Inc = 0.5}, Transparency = {Min = 33, Max = 34, Inc = "
        "0.5}, Fade = 16, BlendingMode = {3, 4}";
    for (const auto& [text, same] : rows) EXPECT_EQ(Load(text, marked), Load(same, marked)) << text;
    EXPECT_TRUE(engine_.SubEffects.empty());
    // An unknown type name is added to the map as a Point.
    EXPECT_EQ(
        std::pair(*MapFind(engine_.AreaTypes, "circle"), *MapFind(engine_.AreaTypes, "Circle")),
        std::pair(0, 4));
    // Degrees to radians as 75 * pi / 180 in that order; every optional key into its own field.
    const P area = Load("EmitterArea = {Width = 80, Type = Ellipse, Height = 20, Angle = 75}");
    EXPECT_EQ(std::tuple(area.AreaType, area.AreaWidth, area.AreaHeight, area.AreaAngle),
              std::tuple(5, 80.0f, 20.0f, 1.30899704f));
    const int32_t emitters = engine_.Emitters.Count();
    LoadEffectFile(engine_, nullptr, "Size=5.txt");
    EXPECT_EQ(engine_.Emitters.Count(), emitters);
    ExtraParams x;
    x.ColourOverLife = {2, {0, 0.5f}, {{{255, 230, 120}, {255, 90, 20}}}};
    x.SizeOverLife = {4, {0, 0.5f, 0.5f, 1}, {{{0.5f}, {7}, {3}, {2}}}};
    x.TransparencyOverLife = {1, {0.25f}, {{{3}}}};
    x.Drag = 0.5f, x.Spin = -90, x.Duration = 2.5f, x.Prewarm = 1, x.Colour = {255, 128, 0};
    x.SpriteSheet = {4, 2, 8, 12, 1}, x.Burst = {50, 0.5f, 3}, x.OnBirth = {-1, 3, 1};
    x.Collide.Count = 2;
    x.Collide.Lines[0] = {CollideForm::Right, 50, 0, 0, 0, 0.5f, 0.25f, 1, 1};
    x.Collide.Lines[1] = {CollideForm::Segment, 1, 2, 3, 4, 0.5f, 0.25f, 1, 1};
    EXPECT_EQ(
        Load("Colour = {255, 128, 0}, ColourOverLife = {0 = {255, 230, 120}, 0.5 = {255, 90, "
             "20}}, SizeOverLife = {1 = 2, 0.5 = 7, 0 = 0.5, 0.5 = 3}, TransparencyOverLife = "
             "{0.25 = 3}, Drag = 0.5, Spin = -90, SpriteSheet = {Columns = 4, Rows = 2, Rate = "
             "12, Random = 1}, Burst = {50, 0.5, 3}, Duration = 2.5, Prewarm = 1, OnBirth = "
             "{Count = 3, Inherit = 1}, Collide = {Right = 50, X1 = 1, Y1 = 2, X2 = 3, Y2 = 4, "
             "Bounce = 0.5, Friction = 0.25, Die = 1, Screen = 1}")
            .Extras,
        x);
}

// Extends chains and sub-effects from the working directory: no cycles, depth bounded, shared.
TEST_F(Loader, FilesLoadWithTheirExtendsChainsAndSubEffects) {
    InFolder in(dir_.Path());
    std::filesystem::create_directory("fx");
    dir_.Write("A.txt", "Fade = 3, Extends = B.txt,\r\nEmitterPosition = {30}");
    dir_.Write("B.txt", "Extends = C.txt, Fade = 2, Raise = 2, EmitterPosition = {10, 20}");
    dir_.Write("C.txt", "Fade = 1, Raise = 1, Layer = 1");
    dir_.Write("fx/A.txt", "Extends = Base.txt, Extends = fx\\Base.txt");
    dir_.Write("S.txt", "Extends = S.txt, Fade = 4");
    dir_.Write("fx/Base.txt", "Size = 4, Colour = {1, 2, 3}");
    dir_.Write("fx/Spark.txt", "Extends = fx\\Base.txt, LifeTime = 1");
    dir_.Write("Ping.txt", "Size = 5, OnDeath = {Effect = Pong.txt}");
    dir_.Write("Pong.txt", "Size = 6, OnDeath = {Effect = Ping.txt}");
    dir_.Write("Dot.txt", "OnDeath = {Effect = ./Dot.txt}, OnBirth = {Effect = fx/../Dot.txt}");
    for (int i = 1; i <= 6; ++i) {
        const std::string n = std::to_string(i);
        dir_.Write("D" + n + ".txt",
                   "Layer = " + n + ", OnDeath = {Effect = D" + std::to_string(i + 1) + ".txt}");
    }
    const std::pair<std::string, std::string_view> rows[] = {
        {"A.txt", "Fade = 3, Raise = 2, Layer = 1, EmitterPosition = {30, 0}"},
        {"fx/A.txt", ""},
        {"S.txt", "Fade = 4"},
        {"fx", ""},
        {"missing", ""}};
    for (const auto& [path, same] : rows)
        EXPECT_EQ(LoadEffect(engine_, path, 7, 9)->Params(), Load(same)) << path;
    const std::string rocket =
        "OnDeath = {Effect = fx\\Spark.txt, Count = 30, Inherit = 1}, OnBirth = {Effect = "
        "fx\\Spark.txt}";
    const ExtraParams extras = Load(rocket).Extras;
    P spark = DefaultParamsAt(0, 0);
    spark.Size = ValueSpec{4, 4, 1}, spark.LifeTime = ValueSpec{1, 1, 1};
    spark.Extras.Colour = {1, 2, 3};
    ASSERT_EQ(engine_.SubEffects, std::vector<P>{spark});
    EXPECT_EQ(std::pair(extras.OnDeath, extras.OnBirth),
              std::pair(SubEffectParams{0, 30, 1}, SubEffectParams{0, 1, 0}));
    EXPECT_EQ(LoadEffect(engine_, "Ping.txt", 0, 0)->Extras.OnDeath.Effect, 1);
    ASSERT_EQ(engine_.SubEffects.size(), 2u);
    EXPECT_EQ(
        std::pair(engine_.SubEffects[1].Size.Min, engine_.SubEffects[1].Extras.OnDeath.Effect),
        std::pair(6.0f, -1));
    // A file named otherwise is still the file itself.
    const Emitter* dot = LoadEffect(engine_, "Dot.txt", 0, 0);
    EXPECT_EQ(std::pair(dot->Extras.OnDeath.Effect, dot->Extras.OnBirth.Effect), std::pair(-1, -1));
    ASSERT_EQ(engine_.SubEffects.size(), 2u);
    // D1 starts D2 ... D5 (depth 4); D5's own sub-effect is not loaded.
    int32_t next = LoadEffect(engine_, "D1.txt", 0, 0)->Extras.OnDeath.Effect;
    for (int depth = 1; depth <= kMaxSubEffectDepth;
         ++depth, next = engine_.SubEffects[next].Extras.OnDeath.Effect) {
        ASSERT_GE(next, 0) << depth;
        EXPECT_EQ(engine_.SubEffects[next].Layer, depth + 1);
    }
    EXPECT_EQ(next, -1);
    LoadEffect(engine_, "D1.txt", 0, 0);
    Load(rocket);
    EXPECT_EQ(engine_.SubEffects.size(), 2u + std::size_t{kMaxSubEffectDepth});
}

// Hostile files load as the text beside them, and run. No time is measured, as it would depend
// on the machine; work that runs away ends in the test's time-out.
TEST_F(Loader, HostileFilesLoadAsTheTextBesideThemAndRun) {
    const auto in = [&](const std::string& name) { return (dir_.Path() / name).string(); };
    int files = 0;
    const auto file = [&](const std::string& text) {
        return dir_.Write(std::to_string(++files), text);
    };
    std::string padding, deepExtends;
    for (std::size_t i = 0; i < (10u << 20) / 13; ++i) padding += "Padding = 0,\n";
    for (int i = 0; i < 2000; ++i) deepExtends += "Extends = {";
    EXPECT_EQ(mkfifo(in("fifo").c_str(), 0600), 0);
    dir_.Write("b", "Extends = " + in("a") + ", Size = 6, Layer = 2");
    dir_.Write("a", "Extends = " + in("b") + ", Size = 5");
    for (int i = 0; i < 1000; ++i) {  // a chain far deeper than the loader follows
        std::string text = "Extends = " + in("f" + std::to_string(i + 1)) + ", Layer = 1";
        if (i == kMaxExtendsDepth - 1) text += ", Fade = 63";
        if (i == kMaxExtendsDepth) text += ", Size = 64";
        dir_.Write("f" + std::to_string(i), text);
    }
    const std::pair<std::string, std::string_view> rows[] = {
        {file("Size = 5," + std::string(900000, 'x') + ", Layer = 2"), "Size = 5, Layer = 2"},
        {file("Raise = " + std::string(1000000, '9')), "Raise = 1e39"},
        {file("Layer = 2,\n" + padding + "Size = 9"), "Layer = 2"},
        {file(std::string(1 << 20, '=')), ""},
        {file("Size = 5, D = " + std::string(400000, '{') + std::string(400000, '}') +
              ", Layer = 2"),
         "Size = 5, Layer = 2"},
        {file("Size = 5, Bad = {, Layer = 4"), "Size = 5"},
        {file("Size = 5," + std::string(1000000, '{')), "Size = 5"},
        {file(std::string("Size\0 = 5,\0\0Layer = 2", 21)), "Size = 5, Layer = 2"},
        {file("\xEF\xBB\xBFSize = 5,\r\nLayer = 2\r\n"), "Layer = 2"},
        {in("a"), "Size = 5, Layer = 2"},
        {in("f0"), "Layer = 1, Fade = 63"},
        {file(deepExtends + "Size = 5" + std::string(2000, '}') + ", Layer = 2"), "Layer = 2"},
        {file("Extends = " + in("") + ", Layer = 2"), "Layer = 2"},
        {file("Extends = " + in("fifo") + ", Layer = 2"), "Layer = 2"},
        {file("Extends = " + std::string(1000000, 'a') + ", Layer = 2"), "Layer = 2"},
    };
    for (const auto& [path, same] : rows) {
        SCOPED_TRACE(path);
        VirtualClock clock;
        Engine engine(clock);
        FillAreaTypes(engine);
        Emitter* e = LoadEffect(engine, path, 7, 9);
        EXPECT_EQ(e->Params(), Load(same));
        for (int frame = 0; frame < 20; ++frame) clock.Advance(16), UpdateParticles(engine);
    }
}

}  // namespace
}  // namespace pp
