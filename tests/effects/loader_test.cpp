// The loader: which field each key sets and how, the Extends chain, the optional keys and the
// sub-effects they start, files that give no text, and hostile files.
#include "effects/loader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <limits>
#include <random>
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
using Change = std::function<void(P&)>;

void Area(P& f, int32_t type, float width, float height, float radians) {
    f.AreaType = type, f.AreaWidth = width, f.AreaHeight = height, f.AreaAngle = radians;
}

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

// Every field starts unlike the defaults and what the rows set, so that a row shows exactly
// which fields a text changes and which it leaves alone.
TEST_F(Loader, KeysChangeExactlyTheirFields) {
    const std::pair<std::string_view, Change> rows[] = {
        {"Layer = 2.9", [](P& f) { f.Layer = 2; }},
        {"Layer = , Size = , Disable = {}", [](P&) {}},
        {"EmitterPosition = {100}", [](P& f) { f.PositionX = 100.0f, f.PositionY = 0.0f; }},
        {"EmitterPosition = {y = 4, x = 3}", [](P& f) { f.PositionX = 4, f.PositionY = 3; }},
        {"EmitterArea = {Width = 80, Type = Ellipse, Height = 20, Angle = 75}",
         [](P& f) { Area(f, 5, 80.0f, 20.0f, 1.30899704f); }},  // 75 * pi / 180, in that order
        {"EmitterArea = Circle", [](P& f) { Area(f, 0, 0, 0, 0); }},
        {"EmitterArea = {Type = circle, Width = 3}", [](P& f) { Area(f, 0, 3, 0, 0); }},
        {"Acceleration = 5", [](P& f) { f.AccelerationX = 5, f.AccelerationY = 0; }},
        {"Sprite = {Value = 3, Blur = 1}", [](P& f) { f.Sprite = IntValueSpec(2, 4, 1); }},
        {"Size = {Min = 5, Max = 10, Inc = -2}", [](P& f) { f.Size = ValueSpec(5, 10, 1); }},
        {"Size = {Min = -70000, Max = -65535}", [](P& f) { f.Size = ValueSpec(-7e4f, -7e4f, 1); }},
        {"BlendingMode = 1", [](P& f) { f.BlendSource = 1, f.BlendDestination = 6; }},
        {"BlendingMode = {, 2}", [](P& f) { f.BlendSource = 5, f.BlendDestination = 2; }},
        {"Disable = yes", [](P& f) { f.Disable = 0; }},
        {"layer = 1, Size\t= 3, Inner = {Layer = 4}, Layer = 1 Fade = 2", [](P&) {}},
        {"EmissionVelocity = 20, EmissionRate = {Value = 4, Range = 1, Inc = 0.5}, Rotation = 8",
         [](P& f) {
             f.EmissionVelocity = ValueSpec(20, 20, 1), f.EmissionRate = ValueSpec(4, 5, 0.5f);
             f.Rotation = ValueSpec(8, 8, 1);
         }},
    };
    const std::string marked =
        "Disable = 7, Layer = 9, EmitterPosition = {1, 2}, EmitterArea = {Type = Square, Width = "
        "11, Height = 12, Angle = 30}, EmissionAngle = {Min = 21, Max = 22, Inc = 0.5}, "
        "EmissionVelocity = {Min = 23, Max = 24, Inc = 0.5}, Acceleration = {13, 14}, LifeTime = "
        "{Min = 25, Max = 26, Inc = 0.5}, EmissionRate = {Min = 27, Max = 28, Inc = 0.5}, Sprite "
        "= {Min = 1, Max = 4, Inc = 3}, Size = {Min = 29, Max = 30, Inc = 0.5}, Raise = 15, "
        "Rotation = {Min = 31, Max = 32, Inc = 0.5}, Transparency = {Min = 33, Max = 34, Inc = "
        "0.5}, Fade = 16, BlendingMode = {3, 4}";
    for (const auto& [text, change] : rows) {
        P expected = Load(marked);
        change(expected);
        EXPECT_EQ(Load(text, marked), expected) << text;
    }
    // The unknown name is added to the engine's map as a Point; the known one keeps its value.
    EXPECT_EQ(
        std::pair(*MapFind(engine_.AreaTypes, "circle"), *MapFind(engine_.AreaTypes, "Circle")),
        std::pair(0, 4));
}

// Extends chains from the first file with the folder as the working directory: deepest first,
// relative to the working directory, '\' a separator, a file never extends itself.
TEST_F(Loader, ExtendsChainsApplyDeepestFirstAndStopAtCycles) {
    using Files = std::vector<std::pair<std::string, std::string>>;
    const std::pair<Files, Change> rows[] = {
        {{{"A", "Extends = B,\r\nEmitterPosition = {30}"},
          {"B", "EmitterPosition = {10, 20}, Size = 5"}},
         [](P& f) { f.PositionX = 30.0f, f.PositionY = 0.0f, f.Size = ValueSpec(5, 5, 1); }},
        {{{"A", "Fade = 3, Extends = B"},
          {"B", "Extends = C, Fade = 2, Raise = 2"},
          {"C", "Fade = 1, Raise = 1, Layer = 1"}},
         [](P& f) { f.Fade = 3.0f, f.Raise = 2.0f, f.Layer = 1; }},
        {{{"A", "Extends = , Layer = 3"}}, [](P& f) { f.Layer = 3; }},
        {{{"sub/A", "Extends = B"}, {"sub/B", "Layer = 5"}}, [](P&) {}},
        {{{"A", "Extends = sub\\B"}, {"sub/B", "Layer = 5"}}, [](P& f) { f.Layer = 5; }},
        {{{"A", "Extends = A, Fade = 4"}}, [](P& f) { f.Fade = 4.0f; }},
        {{{"A", ""}}, [](P&) {}},
        {{{"A/B", ""}}, [](P&) {}},  // a folder
    };
    for (const auto& [files, change] : rows) {
        TempDir dir;
        InFolder in(dir.Path());
        std::filesystem::create_directories("sub/A");
        for (const auto& [name, text] : files) dir.Write(name, text);
        P expected = DefaultParamsAt(7, 9);
        change(expected);
        EXPECT_EQ(LoadEffect(engine_, files[0].first, 7, 9)->Params(), expected) << files[0].second;
    }
    EXPECT_EQ(LoadEffect(engine_, "missing", 7, 9)->Params(), DefaultParamsAt(7, 9));
}

// A reload keeps the particles; setters ignore bad area types and a missing emitter.
TEST_F(Loader, ReloadingKeepsTheParticlesAndSettersIgnoreBadArguments) {
    Emitter* e = LoadEffect(engine_, dir_.Write("e.txt", "EmissionRate = 1000"), 0, 0);
    clock_.Set(1100);
    UpdateParticles(engine_);
    const int32_t before = e->Particles.Count();
    LoadEffectFile(engine_, e, dir_.Write("off.txt", "Disable = 1"));
    EXPECT_EQ(std::pair(e->Disable, e->Particles.Count()), std::pair(1, before));
    EXPECT_GT(before, 0);
    SetArea(e, 4, 10.0f, 20.0f, 90.0f);
    SetArea(e, 6, 1.0f, 1.0f, 1.0f);
    SetArea(e, -1, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(std::tuple(e->AreaType, e->AreaWidth, e->AreaHeight, e->AreaAngle),
              std::tuple(4, 10.0f, 20.0f, 1.57079637f));
    EXPECT_EQ(SetLayer(nullptr, 1) | SetSize(nullptr, 1.0f, 2.0f, 1.0f), 0);
    LoadEffectFile(engine_, nullptr, "Size=5.txt");
    EXPECT_EQ(engine_.Emitters.Count(), 1);
    EXPECT_EQ(EffectOpenPath("a\\\\b/c"), "a//b/c");
}

// Every optional key read into its own field and channel; then a row per way a value is held,
// sorted or left out: it loads as the plain text beside it.
TEST_F(Loader, OptionalKeysGiveTheirExtras) {
    ExtraParams x;
    x.ColourOverLife = {2, {0, 0.5f}, {{{255, 230, 120}, {255, 90, 20}}}};
    x.SizeOverLife = {2, {0, 1}, {{{0.5f}, {2}}}};
    x.TransparencyOverLife = {1, {0.25f}, {{{3}}}};
    x.Drag = 0.5f, x.Spin = -90, x.Duration = 2.5f, x.Prewarm = 1, x.Colour = {255, 128, 0};
    x.SpriteSheet = {4, 2, 8, 12, 1}, x.Burst = {50, 0.5f, 3}, x.OnBirth = {-1, 3, 1};
    EXPECT_EQ(
        Load("Colour = {255, 128, 0}, ColourOverLife = {0 = {255, 230, 120}, 0.5 = {255, 90, 20}}, "
             "SizeOverLife = {0 = 0.5, 1 = 2}, TransparencyOverLife = {0.25 = 3}, Drag = 0.5, "
             "Spin = -90, SpriteSheet = {Columns = 4, Rows = 2, Rate = 12, Random = 1}, Burst = "
             "{50, 0.5, 3}, Duration = 2.5, Prewarm = 1, OnBirth = {Count = 3, Inherit = 1}")
            .Extras,
        x);
    const std::pair<std::string_view, std::string_view> rows[] = {
        {"Colour = {300, -5}", "Colour = {255, 0, 255}"},
        {"Colour = {R = 10, G = 20, B = 1e99}, Drag = {}", "Colour = {10, 20, 255}"},
        {"Colour = {red, 2, 3}", "Colour = {0, 2, 3}"},
        // Times held to 0..1 and sorted, keeping the written order of equal times.
        {"SizeOverLife = {1 = 2, 0 = 0.5, 7 = 3, -1 = 4}", "SizeOverLife = {0=0.5, 0=4, 1=2, 1=3}"},
        // Names that are no number, entries without '=', and keys past the eighth are left out.
        {"TransparencyOverLife = {a = 1, 0.5, 0 = -2, 0.1 = 1, 0.2 = 1, 0.3 = 1, 0.4 = 1, "
         "0.5 = 1, 0.6 = 1, 0.7 = 1, 0.8 = 9}",
         "TransparencyOverLife = {0=0, 0.1=1, 0.2=1, 0.3=1, 0.4=1, 0.5=1, 0.6=1, 0.7=1}"},
        {"SizeOverLife = {x = 1}, TransparencyOverLife = 3", ""},
        {"SizeOverLife = {0 = 1e30}", "SizeOverLife = {0 = 1000}"},
        {"Drag = -3, Spin = 1e99, Duration = -1, Prewarm = 999", "Spin = 1e6, Prewarm = 10"},
        {"SpriteSheet = {Columns = 0, Rows = 999, Frames = 9999, Rate = -1, Random = 5}",
         "SpriteSheet = {1, 256, 256, 0, 1}"},
        {"SpriteSheet = {Columns = 2, Frames = 0}", "SpriteSheet = {2, 1, 1}"},
        {"Burst = {5000}", "Burst = {1000, 1, 0}"},
        {"Burst = {Count = -4, Interval = -1, Repeat = 99999999999}", "Burst = {0, 0, 1000000}"},
        // The file named cannot be opened: Count and Inherit are kept, no effect is started.
        {"OnDeath = {Effect = nowhere.txt, Count = 2000, Inherit = 1}, OnBirth = {nowhere.txt}",
         "OnDeath = {Count = 1000, Inherit = 1}, OnBirth = {Count = 1}"},
    };
    for (const auto& [text, same] : rows) EXPECT_EQ(Load(text), Load(same)) << text;
    EXPECT_TRUE(engine_.SubEffects.empty());
}

// Sub-effects load from the working directory with their own chains and sub-effects; a file
// never starts itself, nesting stops at kMaxSubEffectDepth, equal effects share an entry.
TEST_F(Loader, SubEffectsLoadNestedAndBounded) {
    InFolder in(dir_.Path());
    std::filesystem::create_directory("fx");
    dir_.Write("fx/Base.txt", "Size = 4, Colour = {1, 2, 3}");
    dir_.Write("fx/Spark.txt", "Extends = fx\\Base.txt, LifeTime = 1");
    dir_.Write("Ping.txt", "Size = 5, OnDeath = {Effect = Pong.txt}");
    dir_.Write("Pong.txt", "Size = 6, OnDeath = {Effect = Ping.txt}");
    for (int i = 1; i <= 6; ++i) {
        const std::string n = std::to_string(i);
        dir_.Write("D" + n + ".txt",
                   "Layer = " + n + ", OnDeath = {Effect = D" + std::to_string(i + 1) + ".txt}");
    }
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
    // The starting file is refused where it comes round again.
    EXPECT_EQ(LoadEffect(engine_, "Ping.txt", 0, 0)->Extras.OnDeath.Effect, 1);
    ASSERT_EQ(engine_.SubEffects.size(), 2u);
    EXPECT_EQ(
        std::pair(engine_.SubEffects[1].Size.Min, engine_.SubEffects[1].Extras.OnDeath.Effect),
        std::pair(6.0f, -1));
    // D1 starts D2 ... D5 (depth 4); D5's own sub-effect is not loaded.
    int32_t next = LoadEffect(engine_, "D1.txt", 0, 0)->Extras.OnDeath.Effect;
    for (int depth = 1; depth <= kMaxSubEffectDepth; ++depth) {
        ASSERT_GE(next, 0) << depth;
        EXPECT_EQ(engine_.SubEffects[next].Layer, depth + 1);
        next = engine_.SubEffects[next].Extras.OnDeath.Effect;
    }
    EXPECT_EQ(next, -1);
    // Loading again adds nothing: every effect equals one kept.
    LoadEffect(engine_, "D1.txt", 0, 0);
    Load(rocket);
    EXPECT_EQ(engine_.SubEffects.size(), 2u + std::size_t{kMaxSubEffectDepth});
}

// Processor time of this thread, so that other work on the machine does not count.
#if defined(NDEBUG) && !defined(__SANITIZE_ADDRESS__)
constexpr double kTimeLimitSeconds = 1.0;
#else
constexpr double kTimeLimitSeconds = 20.0;
#endif

// Huge lines and files, deep or unbalanced braces, NUL bytes, byte-order marks, endless Extends
// chains, files that are not files: each loads within a second to the whole record given
// (from the defaults; none for noise), and runs.
TEST(HostileFiles, LoadWithinASecondToTheirRecordAndRun) {
    TempDir d;
    const auto in = [&](const std::string& name) { return (d.Path() / name).string(); };
    int files = 0;
    const auto file = [&](const std::string& text) {
        return d.Write(std::to_string(++files), text);
    };
    const Change size5 = [](P& p) { p.Size = {5.0f, 5.0f, 1.0f}; };
    const Change layer2 = [](P& p) { p.Layer = 2; };
    const Change both = [&](P& p) { size5(p), layer2(p); };
    std::mt19937 gen(42);
    std::string noise(1 << 20, '\0');
    for (char& c : noise) c = static_cast<char>(gen() & 0xFF);
    std::string padding;
    for (std::size_t i = 0; i < (10u << 20) / 13; ++i) padding += "Padding = 0,\n";
    EXPECT_EQ(mkfifo(in("fifo").c_str(), 0600), 0);
    d.Write("b", "Extends = " + in("a") + ", Size = 6, Layer = 2");
    d.Write("a", "Extends = " + in("b") + ", Size = 5");
    for (int i = 0; i < 1000; ++i) {  // a chain far deeper than the loader follows
        std::string text = "Extends = " + in("f" + std::to_string(i + 1)) + ", Layer = 1";
        if (i == kMaxExtendsDepth - 1) text += ", Fade = 63";
        if (i == kMaxExtendsDepth) text += ", Size = 64";
        d.Write("f" + std::to_string(i), text);
    }
    std::string deepExtends;
    for (int i = 0; i < 2000; ++i) deepExtends += "Extends = {";
    const std::pair<std::string, Change> rows[] = {
        {file("Size = 5," + std::string(900000, 'x') + ", Layer = 2"), both},
        {file("Raise = " + std::string(1000000, '9')),
         [](P& p) { p.Raise = std::numeric_limits<float>::infinity(); }},
        {file("Layer = 2,\n" + padding + "Size = 9"), layer2},
        {file(std::string(1 << 20, '=')), [](P&) {}},
        {file("Size = 5, D = " + std::string(400000, '{') + std::string(400000, '}') +
              ", Layer = 2"),
         both},
        {file("Size = " + std::string(300000, '{') + "12" + std::string(300000, '}')),
         [](P& p) {
             p.Size = {0, 0, 1};
         }},
        {file("Size = 5, Bad = {, Layer = 4"), size5},
        {file("Size = 5, Bad = }, Layer = 4"), size5},
        {file("Size = 5," + std::string(1000000, '{')), size5},
        {file(std::string("Size\0 = 5,\0\0Layer = 2", 21)), both},
        {file("\xEF\xBB\xBFSize = 5,\r\nLayer = 2\r\n"), layer2},
        {file(noise), nullptr},
        {in("a"), both},
        {in("f0"), [](P& p) { p.Layer = 1, p.Fade = 63.0f; }},
        {file(deepExtends + "Size = 5" + std::string(2000, '}') + ", Layer = 2"), layer2},
        {file("Extends = " + in("") + ", Layer = 2"), layer2},
        {file("Extends = " + in("fifo") + ", Layer = 2"), layer2},
        {file("Extends = /dev/stdin, Layer = 2"), layer2},
        {file("Extends = " + std::string(1000000, 'a') + ", Layer = 2"), layer2},
    };
    for (const auto& [path, change] : rows) {
        SCOPED_TRACE(path);
        VirtualClock clock;
        Engine engine(clock);
        FillAreaTypes(engine);
        const double start = ThreadCpuSeconds();
        Emitter* e = LoadEffect(engine, path, 0, 0);
        EXPECT_LT(ThreadCpuSeconds() - start, kTimeLimitSeconds);
        P expected = DefaultParamsAt(0, 0);
        if (change) change(expected);
        EXPECT_TRUE(!change || e->Params() == expected);
        for (int frame = 0; frame < 20; ++frame) clock.Advance(16), UpdateParticles(engine);
    }
}

}  // namespace
}  // namespace pp
