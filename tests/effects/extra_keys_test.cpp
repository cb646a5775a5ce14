// The optional keys as the loader stores them: a row per text with the Extras it gives (read,
// held to range, unreadable), and the sub-effects their files load.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "effects/effect_keys.h"
#include "effects/loader.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

using testing::InFolder;
using testing::TempDir;
using X = ExtraParams;
using Change = std::function<void(X&)>;

template <int N>
LifeCurve<N> Curve(std::vector<std::pair<float, std::array<float, N>>> keys) {
    LifeCurve<N> c;
    for (const auto& [t, v] : keys) c.Time[c.Count] = t, c.Value[c.Count++] = v;
    return c;
}

LifeCurve<1> Curve1(std::vector<std::pair<float, float>> keys) {
    std::vector<std::pair<float, std::array<float, 1>>> wide;
    for (const auto& [t, v] : keys) wide.push_back({t, {v}});
    return Curve<1>(wide);
}

TEST(ExtraKeys, TextsGiveTheirExtras) {
    const std::pair<std::string_view, Change> rows[] = {
        {"Colour = {255, 128, 0}",
         [](X& x) {
             x.Colour = {255, 128, 0};
         }},
        {"Colour = {300, -5}",
         [](X& x) {
             x.Colour = {255, 0, 255};
         }},
        {"Colour = {R = 10, G = 20, B = 1e99}",
         [](X& x) {
             x.Colour = {10, 20, 255};
         }},
        {"Colour = {red, 2, 3}",
         [](X& x) {
             x.Colour = {0, 2, 3};
         }},
        {"Colour = , Drag = {}", [](X&) {}},
        {"ColourOverLife = {0 = {255, 230, 120}, 0.5 = {255, 90, 20}, 1 = {60, 60, 60}}",
         [](X& x) {
             x.ColourOverLife =
                 Curve<3>({{0, {255, 230, 120}}, {0.5f, {255, 90, 20}}, {1, {60, 60, 60}}});
         }},
        // Times held to 0..1 and sorted, keeping the written order of equal times.
        {"SizeOverLife = {1 = 2, 0 = 0.5, 7 = 3, -1 = 4}",
         [](X& x) {
             x.SizeOverLife = Curve1({{0, 0.5f}, {0, 4}, {1, 2}, {1, 3}});
         }},
        // Names that are no number, entries without '=', and keys past the eighth are left out.
        {"TransparencyOverLife = {a = 1, 0.5, 0 = -2, 0.1 = 1, 0.2 = 1, 0.3 = 1, 0.4 = 1, "
         "0.5 = 1, 0.6 = 1, 0.7 = 1, 0.8 = 9}",
         [](X& x) {
             x.TransparencyOverLife = Curve1({{0, 0},
                                              {0.1f, 1},
                                              {0.2f, 1},
                                              {0.3f, 1},
                                              {0.4f, 1},
                                              {0.5f, 1},
                                              {0.6f, 1},
                                              {0.7f, 1}});
         }},
        {"SizeOverLife = {x = 1}, TransparencyOverLife = 3", [](X&) {}},
        {"SizeOverLife = {0 = 1e30}",
         [](X& x) {
             x.SizeOverLife = Curve1({{0, kMaxLifeFactor}});
         }},
        {"Drag = 0.5, Spin = -90", [](X& x) { x.Drag = 0.5f, x.Spin = -90; }},
        {"Drag = -3, Spin = 1e99, Duration = -1, Prewarm = 999",
         [](X& x) { x.Spin = 1e6f, x.Prewarm = kMaxPrewarmSeconds; }},
        {"Duration = 2.5, Prewarm = 1", [](X& x) { x.Duration = 2.5f, x.Prewarm = 1; }},
        {"SpriteSheet = {Columns = 4, Rows = 2, Rate = 12, Random = 1}",
         [](X& x) {
             x.SpriteSheet = {4, 2, 8, 12, 1};
         }},
        {"SpriteSheet = {4, 4, 10, 0}",
         [](X& x) {
             x.SpriteSheet = {4, 4, 10, 0, 0};
         }},
        {"SpriteSheet = {Columns = 0, Rows = 999, Frames = 9999, Rate = -1, Random = 5}",
         [](X& x) {
             x.SpriteSheet = {1, 256, 256, 0, 1};
         }},
        {"SpriteSheet = {Columns = 2, Frames = 0}",
         [](X& x) {
             x.SpriteSheet = {2, 1, 1, 0, 0};
         }},
        {"Burst = {Count = 50, Interval = 0.5, Repeat = 3}",
         [](X& x) {
             x.Burst = {50, 0.5f, 3};
         }},
        {"Burst = {5000}",
         [](X& x) {
             x.Burst = {1000, 1, 0};
         }},
        {"Burst = {Count = -4, Interval = -1, Repeat = 99999999999}",
         [](X& x) {
             x.Burst = {0, 0, 1000000};
         }},
        // The file named cannot be opened: Count and Inherit are kept, no effect is started.
        {"OnDeath = {Effect = nowhere.txt, Count = 2000, Inherit = 1}, OnBirth = {Count = 3}",
         [](X& x) {
             x.OnDeath = {-1, 1000, 1}, x.OnBirth = {-1, 3, 0};
         }},
        {"OnBirth = {nowhere.txt}",
         [](X& x) {
             x.OnBirth = {-1, 1, 0};
         }},
    };
    VirtualClock clock(1000);
    Engine engine(clock);
    TempDir dir;
    for (const auto& [text, change] : rows) {
        Emitter* e = LoadEffect(engine, dir.Write("effect.txt", text), 7, 9);
        EmitterParams expected = DefaultParamsAt(7, 9);
        change(expected.Extras);
        EXPECT_EQ(e->Params(), expected) << text;
    }
    EXPECT_TRUE(engine.SubEffects.empty());
}

// Sub-effects load from the working directory with their own chains and sub-effects; a file
// never starts itself, nesting stops at kMaxSubEffectDepth, equal effects share an entry.
TEST(ExtraKeys, SubEffectsLoadNestedAndBounded) {
    TempDir dir;
    InFolder in(dir.Path());
    std::filesystem::create_directory("fx");
    dir.Write("fx/Base.txt", "Size = 4, Colour = {1, 2, 3}");
    dir.Write("fx/Spark.txt", "Extends = fx\\Base.txt, LifeTime = 1");
    dir.Write("Rocket.txt",
              "OnDeath = {Effect = fx\\Spark.txt, Count = 30, Inherit = 1}, "
              "OnBirth = {Effect = fx\\Spark.txt}");
    dir.Write("Self.txt", "Size = 2, OnDeath = {Effect = Self.txt}");
    dir.Write("Ping.txt", "Size = 5, OnDeath = {Effect = Pong.txt}");
    dir.Write("Pong.txt", "Size = 6, OnDeath = {Effect = Ping.txt}");
    for (int i = 1; i <= 6; ++i) {
        dir.Write("D" + std::to_string(i) + ".txt", "Layer = " + std::to_string(i) +
                                                        ", OnDeath = {Effect = D" +
                                                        std::to_string(i + 1) + ".txt}");
    }
    VirtualClock clock(1000);
    Engine engine(clock);

    const ExtraParams rocket = LoadEffect(engine, "Rocket.txt", 0, 0)->Extras;
    EmitterParams spark = DefaultParamsAt(0, 0);
    spark.Size = ValueSpec{4, 4, 1}, spark.LifeTime = ValueSpec{1, 1, 1};
    spark.Extras.Colour = {1, 2, 3};
    ASSERT_EQ(engine.SubEffects, std::vector<EmitterParams>{spark});
    EXPECT_EQ(rocket.OnDeath, (SubEffectParams{0, 30, 1}));
    EXPECT_EQ(rocket.OnBirth, (SubEffectParams{0, 1, 0}));

    // Directly or through another, the starting file is refused where it comes round again.
    EXPECT_EQ(LoadEffect(engine, "Self.txt", 0, 0)->Extras.OnDeath.Effect, -1);
    EXPECT_EQ(LoadEffect(engine, "Ping.txt", 0, 0)->Extras.OnDeath.Effect, 1);
    ASSERT_EQ(engine.SubEffects.size(), 2u);
    EXPECT_EQ(engine.SubEffects[1].Size.Min, 6.0f);
    EXPECT_EQ(engine.SubEffects[1].Extras.OnDeath.Effect, -1);

    // D1 starts D2 ... D5 (depth 4); D5's own sub-effect is not loaded.
    int32_t next = LoadEffect(engine, "D1.txt", 0, 0)->Extras.OnDeath.Effect;
    for (int depth = 1; depth <= kMaxSubEffectDepth; ++depth) {
        ASSERT_GE(next, 0) << depth;
        EXPECT_EQ(engine.SubEffects[next].Layer, depth + 1);
        next = engine.SubEffects[next].Extras.OnDeath.Effect;
    }
    EXPECT_EQ(next, -1);
    EXPECT_EQ(engine.SubEffects.size(), 2u + std::size_t{kMaxSubEffectDepth});

    // Loading again adds nothing: every effect equals one kept.
    LoadEffect(engine, "D1.txt", 0, 0);
    LoadEffect(engine, "Rocket.txt", 0, 0);
    EXPECT_EQ(engine.SubEffects.size(), 2u + std::size_t{kMaxSubEffectDepth});
}

}  // namespace
}  // namespace pp
