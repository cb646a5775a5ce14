// The loader: which field each key sets and how, through real files; the Extends chain; the
// files that give no text; and the setters' guards.
#include "effects/loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/effects/temp_dir.h"
#include "tests/particles/params_test_util.h"

namespace pp {
namespace {

using testing::InFolder;
using testing::TempDir;
using P = EmitterParams;
using Change = std::function<void(P&)>;

// Every field differs from the defaults and from what the rows set, so that a row shows
// exactly which fields a text changes and which it leaves alone.
EmitterParams Marked() {
    EmitterParams f;
    f.Disable = 7, f.AutoRemove = 8, f.Layer = 9, f.PositionX = 1.0f, f.PositionY = 2.0f;
    f.AreaType = 3, f.AreaWidth = 11.0f, f.AreaHeight = 12.0f, f.AreaAngle = 0.5f;
    f.EmissionAngle = ValueSpec(21.0f, 22.0f, 0.5f),
    f.EmissionVelocity = ValueSpec(23.0f, 24.0f, 0.5f);
    f.AccelerationX = 13.0f, f.AccelerationY = 14.0f, f.LifeTime = ValueSpec(25.0f, 26.0f, 0.5f);
    f.EmissionRate = ValueSpec(27.0f, 28.0f, 0.5f), f.Sprite = IntValueSpec(1, 4, 3),
    f.Size = ValueSpec(29.0f, 30.0f, 0.5f);
    f.Raise = 15.0f, f.Rotation = ValueSpec(31.0f, 32.0f, 0.5f),
    f.Transparency = ValueSpec(33.0f, 34.0f, 0.5f);
    f.Fade = 16.0f, f.BlendSource = 1, f.BlendDestination = 2;
    return f;
}

void Area(EmitterParams& f, int32_t type, float width, float height, float radians) {
    f.AreaType = type, f.AreaWidth = width, f.AreaHeight = height, f.AreaAngle = radians;
}

class Loader : public ::testing::Test {
  protected:
    Loader() : engine_(clock_) { FillAreaTypes(engine_); }
    VirtualClock clock_{1000};
    Engine engine_;
    TempDir dir_;
};

TEST_F(Loader, KeysChangeExactlyTheirFields) {
    const std::pair<std::string_view, Change> rows[] = {
        {"Layer = 2.9", [](P& f) { f.Layer = 2; }},
        {"Layer = , Size = , Disable = {}", [](P&) {}},
        {"EmitterPosition = {100}", [](P& f) { f.PositionX = 100.0f, f.PositionY = 0.0f; }},
        {"EmitterPosition = {y = 4, x = 3}", [](P& f) { f.PositionX = 4, f.PositionY = 3; }},
        {"EmitterArea = {Width = 80, Type = Ellipse, Height = 20, Angle = 75}",
         [](P& f) { Area(f, 5, 80.0f, 20.0f, 1.30899704f); }},  // 75 * pi / 180, in that order
        {"EmitterArea = Circle", [](P& f) { Area(f, 0, 0.0f, 0.0f, 0.0f); }},
        {"EmitterArea = {Type = , Width = 80}", [](P& f) { Area(f, 0, 0, 0, 0); }},
        {"EmitterArea = {Type = circle, Width = 3}", [](P& f) { Area(f, 0, 3, 0, 0); }},
        {"EmitterArea = {Width = 80}", [](P& f) { Area(f, 0, 80.0f, 0.0f, 0.0f); }},
        {"Acceleration = 5", [](P& f) { f.AccelerationX = 5, f.AccelerationY = 0; }},
        {"Sprite = {Value = 3, Blur = 1}", [](P& f) { f.Sprite = IntValueSpec(2, 4, 1); }},
        {"Size = {Min = 5, Max = 10, Inc = -2}", [](P& f) { f.Size = ValueSpec(5, 10, 1); }},
        {"Size = {Min = -70000, Max = -65535}", [](P& f) { f.Size = ValueSpec(-7e4f, -7e4f, 1); }},
        {"BlendingMode = 1", [](P& f) { f.BlendSource = 1, f.BlendDestination = 6; }},
        {"BlendingMode = {, 2}", [](P& f) { f.BlendSource = 5, f.BlendDestination = 2; }},
        {"Disable = yes", [](P& f) { f.Disable = 0; }},
        {"layer = 1, Size\t= 3, Inner = {Layer = 4}, Layer = 1 Fade = 2", [](P&) {}},
        // The keys the inspect command's test leaves out (it sets every other key at once).
        {"EmissionVelocity = 20, EmissionRate = {Value = 4, Range = 1, Inc = 0.5}, Rotation = 8",
         [](P& f) {
             f.EmissionVelocity = ValueSpec(20, 20, 1), f.EmissionRate = ValueSpec(4, 5, 0.5f);
             f.Rotation = ValueSpec(8, 8, 1);
         }},
    };
    Emitter* e = CreateEmitter(engine_, 7, 9);
    for (const auto& [text, change] : rows) {
        e->Params() = Marked();
        LoadEffectFile(engine_, e, dir_.Write("effect.txt", text));
        EmitterParams expected = Marked();
        change(expected);
        EXPECT_EQ(e->Params(), expected) << text;
    }
    // The unknown name is added to the engine's map as a Point; the known one keeps its value.
    ASSERT_NE(MapFind(engine_.AreaTypes, "circle"), nullptr);
    EXPECT_EQ(*MapFind(engine_.AreaTypes, "circle"), 0);
    EXPECT_EQ(*MapFind(engine_.AreaTypes, "Circle"), 4);
}

// Extends chains, loaded from the first file with the folder as the working directory (the
// hostile files' test has a two-file cycle, a missing file and the depth limit).
TEST_F(Loader, ExtendsChainsApplyDeepestFirstAndStopAtCycles) {
    using Files = std::vector<std::pair<std::string, std::string>>;
    const std::pair<Files, Change> rows[] = {
        {{{"A", "Extends = B, Size = 10"}, {"B", "Size = 50, EmissionRate = 20"}},
         [](P& f) { f.Size = ValueSpec(10, 10, 1), f.EmissionRate = ValueSpec(20, 20, 1); }},
        {{{"A", "Extends = B,\r\nEmitterPosition = {30}"}, {"B", "EmitterPosition = {10, 20}"}},
         [](P& f) { f.PositionX = 30.0f, f.PositionY = 0.0f; }},
        {{{"A", "Fade = 3, Extends = B"},
          {"B", "Extends = C, Fade = 2, Raise = 2"},
          {"C", "Fade = 1, Raise = 1, Layer = 1"}},
         [](P& f) { f.Fade = 3.0f, f.Raise = 2.0f, f.Layer = 1; }},
        {{{"A", "Extends = , Layer = 3"}}, [](P& f) { f.Layer = 3; }},
        // Relative to the working directory, not to the file that names it; '\' is a separator.
        {{{"sub/A", "Extends = B"}, {"sub/B", "Layer = 5"}}, [](P&) {}},
        {{{"A", "Extends = sub\\B"}, {"sub/B", "Layer = 5"}}, [](P& f) { f.Layer = 5; }},
        {{{"A", "Extends = A, Fade = 4"}}, [](P& f) { f.Fade = 4.0f; }},
    };
    for (const auto& [files, change] : rows) {
        TempDir dir;
        InFolder in(dir.Path());
        std::filesystem::create_directory("sub");
        for (const auto& [name, text] : files) dir.Write(name, text);
        EmitterParams expected = DefaultParamsAt(7, 9);
        change(expected);
        EXPECT_EQ(LoadEffect(engine_, files[0].first, 7, 9)->Params(), expected) << files[0].second;
    }
}

// No text keeps the creation defaults.
TEST_F(Loader, FilesWithoutTextKeepTheDefaults) {
    for (const std::string& path :
         {dir_.Write("empty.txt", ""), (dir_.Path() / "missing").string(), dir_.Path().string()}) {
        EXPECT_EQ(LoadEffect(engine_, path, 7, 9)->Params(), DefaultParamsAt(7, 9)) << path;
    }
    EXPECT_EQ(engine_.Emitters.Count(), 3);
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

}  // namespace
}  // namespace pp
