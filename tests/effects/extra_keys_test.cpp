// The optional keys as the loader stores them, and the sub-effects their files load.
#include <gtest/gtest.h>

#include <filesystem>
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

// Every key read into its own field and channel; then a row per way a value is held, sorted
// or left out: it loads as the plain text beside it.
TEST(ExtraKeys, TextsGiveTheirExtras) {
    VirtualClock clock(1000);
    Engine engine(clock);
    TempDir dir;
    ExtraParams x;
    x.ColourOverLife = {2, {0, 0.5f}, {{{255, 230, 120}, {255, 90, 20}}}};
    x.SizeOverLife = {2, {0, 1}, {{{0.5f}, {2}}}};
    x.TransparencyOverLife = {1, {0.25f}, {{{3}}}};
    x.Drag = 0.5f, x.Spin = -90, x.Duration = 2.5f, x.Prewarm = 1, x.Colour = {255, 128, 0};
    x.SpriteSheet = {4, 2, 8, 12, 1}, x.Burst = {50, 0.5f, 3}, x.OnBirth = {-1, 3, 1};
    const char* const text =
        "Colour = {255, 128, 0}, ColourOverLife = {0 = {255, 230, 120}, 0.5 = {255, 90, 20}}, "
        "SizeOverLife = {0 = 0.5, 1 = 2}, TransparencyOverLife = {0.25 = 3}, Drag = 0.5, "
        "Spin = -90, SpriteSheet = {Columns = 4, Rows = 2, Rate = 12, Random = 1}, "
        "Burst = {50, 0.5, 3}, Duration = 2.5, Prewarm = 1, OnBirth = {Count = 3, Inherit = 1}";
    EXPECT_EQ(LoadEffect(engine, dir.Write("e.txt", text), 0, 0)->Extras, x);
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
    for (const auto& [text, same] : rows) {
        const EmitterParams want = LoadEffect(engine, dir.Write("b.txt", same), 7, 9)->Params();
        EXPECT_EQ(LoadEffect(engine, dir.Write("a.txt", text), 7, 9)->Params(), want) << text;
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
    dir.Write("Ping.txt", "Size = 5, OnDeath = {Effect = Pong.txt}");
    dir.Write("Pong.txt", "Size = 6, OnDeath = {Effect = Ping.txt}");
    for (int i = 1; i <= 6; ++i) {
        const std::string n = std::to_string(i);
        dir.Write("D" + n + ".txt",
                  "Layer = " + n + ", OnDeath = {Effect = D" + std::to_string(i + 1) + ".txt}");
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
    // The starting file is refused where it comes round again.
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
    // Loading again adds nothing: every effect equals one kept.
    LoadEffect(engine, "D1.txt", 0, 0);
    LoadEffect(engine, "Rocket.txt", 0, 0);
    EXPECT_EQ(engine.SubEffects.size(), 2u + std::size_t{kMaxSubEffectDepth});
}

}  // namespace
}  // namespace pp
