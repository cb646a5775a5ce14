#include "effects/loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>

#include "tests/effects/temp_dir.h"
#include "tests/particles/params_test_util.h"

namespace pp {
namespace {

using testing::TempDir;

// Creation defaults of an emitter made at (7, 9); the defaults themselves are pinned by the
// emitter tests.
EmitterParams Defaults() {
    return DefaultParamsAt(7, 9);
}

// A state in which every field differs from the defaults and from what the rows set, so that
// a row shows exactly which fields a text changes and which it leaves alone.
EmitterParams Marked() {
    EmitterParams f;
    f.Disable = 7;
    f.AutoRemove = 8;
    f.Layer = 9;
    f.PositionX = 1.0f;
    f.PositionY = 2.0f;
    f.AreaType = 3;
    f.AreaWidth = 11.0f;
    f.AreaHeight = 12.0f;
    f.AreaAngle = 0.5f;
    f.EmissionAngle = {21.0f, 22.0f, 0.5f};
    f.EmissionVelocity = {23.0f, 24.0f, 0.5f};
    f.AccelerationX = 13.0f;
    f.AccelerationY = 14.0f;
    f.LifeTime = {25.0f, 26.0f, 0.5f};
    f.EmissionRate = {27.0f, 28.0f, 0.5f};
    f.Sprite = {1, 4, 3};
    f.Size = {29.0f, 30.0f, 0.5f};
    f.Raise = 15.0f;
    f.Rotation = {31.0f, 32.0f, 0.5f};
    f.Transparency = {33.0f, 34.0f, 0.5f};
    f.Fade = 16.0f;
    f.BlendSource = 1;
    f.BlendDestination = 2;
    return f;
}

class LoaderTest : public ::testing::Test {
  protected:
    LoaderTest() : engine_(clock_) { FillAreaTypes(engine_); }

    // Loads `text` from a real file into an emitter that already holds the Marked() state.
    EmitterParams LoadOverMarked(std::string_view text) {
        Emitter* e = CreateEmitter(engine_, 7, 9);
        e->Params() = Marked();
        LoadEffectFile(engine_, e, dir_.Write("effect.txt", text));
        return e->Params();
    }

    EmitterParams LoadNew(const std::string& path) {
        return LoadEffect(engine_, path, 7, 9)->Params();
    }

    // The folder's path written the way effect files write paths, with '\'.
    std::string InDir(const std::string& name) const {
        std::string path = (dir_.Path() / name).string();
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    }

    VirtualClock clock_{1000};
    Engine engine_;
    TempDir dir_;
};

// The four area fields at once, the angle already in radians.
void SetAreaFields(EmitterParams& f, int32_t type, float width, float height, float radians) {
    f.AreaType = type;
    f.AreaWidth = width;
    f.AreaHeight = height;
    f.AreaAngle = radians;
}

struct KeyRow {
    const char* Name;
    std::string_view Text;
    std::function<void(EmitterParams&)> Change;
};

class LoaderKeys : public LoaderTest, public ::testing::WithParamInterface<KeyRow> {};

TEST_P(LoaderKeys, ChangesExactlyTheNamedFields) {
    EmitterParams expected = Marked();
    GetParam().Change(expected);
    EXPECT_EQ(LoadOverMarked(GetParam().Text), expected) << "text '" << GetParam().Text << "'";
}

// Each row: the text, and how it changes the Marked() state.
const KeyRow kKeyRows[] = {
    {"LayerTruncates", "Layer = 2.9", [](EmitterParams& f) { f.Layer = 2; }},
    {"EmptyValueChangesNothing", "Layer = , Size = ", [](EmitterParams&) {}},
    {"EmptyBlockChangesNothing", "Disable = {}, Layer = {}", [](EmitterParams&) {}},
    {"PositionMissingPartIsZero", "EmitterPosition = {100}",
     [](EmitterParams& f) { f.PositionX = 100.0f, f.PositionY = 0.0f; }},
    {"PositionNamesIgnored", "EmitterPosition = {x = 400, y = 300}",
     [](EmitterParams& f) { f.PositionX = 400.0f, f.PositionY = 300.0f; }},
    {"PositionEmptyFirstPart", "EmitterPosition = {, 5}",
     [](EmitterParams& f) { f.PositionX = 0.0f, f.PositionY = 5.0f; }},
    {"AreaCircle", "EmitterArea = {Type = Circle, Width = 80}",
     [](EmitterParams& f) { SetAreaFields(f, 4, 80.0f, 0.0f, 0.0f); }},
    {"AreaEllipseAnyOrder", "EmitterArea = {Width = 80, Type = Ellipse, Height = 20, Angle = 90}",
     [](EmitterParams& f) { SetAreaFields(f, 5, 80.0f, 20.0f, 1.57079637f); }},
    {"AreaLineHalfTurn", "EmitterArea = {Type = Line, Angle = 180}",
     [](EmitterParams& f) { SetAreaFields(f, 1, 0.0f, 0.0f, 3.1415927f); }},
    {"AreaBareNameIsPoint", "EmitterArea = Circle",
     [](EmitterParams& f) { SetAreaFields(f, 0, 0.0f, 0.0f, 0.0f); }},
    {"AreaEmptyFirstEntryIsZeroPoint", "EmitterArea = {Type = , Width = 80}",
     [](EmitterParams& f) { SetAreaFields(f, 0, 0.0f, 0.0f, 0.0f); }},
    {"AreaOtherCaseIsPoint", "EmitterArea = {Type = circle, Width = 3}",
     [](EmitterParams& f) { SetAreaFields(f, 0, 3.0f, 0.0f, 0.0f); }},
    {"AreaWithoutTypeIsPoint", "EmitterArea = {Width = 80}",
     [](EmitterParams& f) { SetAreaFields(f, 0, 80.0f, 0.0f, 0.0f); }},
    {"EmissionAngleBlur", "EmissionAngle = {Value = 270, Blur = 20}",
     [](EmitterParams& f) {
         f.EmissionAngle = {250.0f, 290.0f, 1.0f};
     }},
    {"EmissionVelocityMinMaxInc", "EmissionVelocity = {Min = 80, Max = 160, Inc = 10}",
     [](EmitterParams& f) {
         f.EmissionVelocity = {80.0f, 160.0f, 10.0f};
     }},
    {"AccelerationByPosition", "Acceleration = {0, -50}",
     [](EmitterParams& f) { f.AccelerationX = 0.0f, f.AccelerationY = -50.0f; }},
    {"AccelerationPlainIsX", "Acceleration = 5",
     [](EmitterParams& f) { f.AccelerationX = 5.0f, f.AccelerationY = 0.0f; }},
    {"LifeTimeRangeStep", "LifeTime = {Value = 1, Range = 2, Inc = 0.25}",
     [](EmitterParams& f) {
         f.LifeTime = {1.0f, 3.0f, 0.25f};
     }},
    {"EmissionRatePlain", "EmissionRate = 60",
     [](EmitterParams& f) {
         f.EmissionRate = {60.0f, 60.0f, 1.0f};
     }},
    {"EmissionRateBraced", "EmissionRate = { 60 }",
     [](EmitterParams& f) {
         f.EmissionRate = {60.0f, 60.0f, 1.0f};
     }},
    {"SpriteRange", "Sprite = {Min = 2, Max = 7, Inc = 2}",
     [](EmitterParams& f) {
         f.Sprite = {2, 7, 2};
     }},
    {"SpriteTruncates", "Sprite = 3.9",
     [](EmitterParams& f) {
         f.Sprite = {3, 3, 1};
     }},
    {"SpriteMissingStepStoredAsOne", "Sprite = {Value = 3, Blur = 1}",
     [](EmitterParams& f) {
         f.Sprite = {2, 4, 1};
     }},
    {"SizeBadStepIsOne", "Size = {Min = 5, Max = 10, Inc = -2}",
     [](EmitterParams& f) {
         f.Size = {5.0f, 10.0f, 1.0f};
     }},
    {"SizeSentinelMax", "Size = {Min = -70000, Max = -65535}",
     [](EmitterParams& f) {
         f.Size = {-70000.0f, -70000.0f, 1.0f};
     }},
    {"SizeNoFormIsZero", "Size = {Value = 60, Inc = 5}",
     [](EmitterParams& f) {
         f.Size = {0.0f, 0.0f, 5.0f};
     }},
    {"Raise", "Raise = -4.5", [](EmitterParams& f) { f.Raise = -4.5f; }},
    {"RotationMinMax", "Rotation = {Min = -5, Max = 5}",
     [](EmitterParams& f) {
         f.Rotation = {-5.0f, 5.0f, 1.0f};
     }},
    {"TransparencyNegativeRange", "Transparency = {Value = 255, Range = -100}",
     [](EmitterParams& f) {
         f.Transparency = {155.0f, 255.0f, 1.0f};
     }},
    {"Fade", "Fade = -100", [](EmitterParams& f) { f.Fade = -100.0f; }},
    {"BlendingBoth", "BlendingMode = {5, 2}",
     [](EmitterParams& f) { f.BlendSource = 5, f.BlendDestination = 2; }},
    {"BlendingPlainKeepsDefaultDestination", "BlendingMode = 1",
     [](EmitterParams& f) { f.BlendSource = 1, f.BlendDestination = 6; }},
    {"BlendingEmptySourceIsDefault", "BlendingMode = {, 2}",
     [](EmitterParams& f) { f.BlendSource = 5, f.BlendDestination = 2; }},
    {"DisableOne", "Disable = 1", [](EmitterParams& f) { f.Disable = 1; }},
    {"DisableZero", "Disable = 0", [](EmitterParams& f) { f.Disable = 0; }},
    {"DisableWordIsZero", "Disable = yes", [](EmitterParams& f) { f.Disable = 0; }},
    {"MisspeltCasedTabbedOrNestedKeysIgnored",
     "layer = 1, Lifetime = 5, Size\t= 3, Inner = {Layer = 4}, Colour = red",
     [](EmitterParams&) {}},
    {"MissingCommaHidesBothKeys", "Layer = 1 Fade = 2", [](EmitterParams&) {}},
    {"AllKeysTogether",
     "Layer = 1, EmitterPosition = {400, 300},\n"
     "EmitterArea = {Type = Rectangle, Width = 120, Height = 40, Angle = 0},\n"
     "EmissionAngle = 10, EmissionVelocity = 20, Acceleration = {1, 2}, LifeTime = 3,\n"
     "EmissionRate = 4, Sprite = 5, Size = 6, Raise = 7, Rotation = 8, Transparency = 9,\n"
     "Fade = 10, BlendingMode = {2, 2}, Disable = 0",
     [](EmitterParams& f) {
         // Every field but AutoRemove, which no key sets.
         const int32_t autoRemove = f.AutoRemove;
         f = ZeroParams();
         f.AutoRemove = autoRemove;
         f.Layer = 1;
         f.PositionX = 400.0f, f.PositionY = 300.0f;
         SetAreaFields(f, 3, 120.0f, 40.0f, 0.0f);
         f.EmissionAngle = {10.0f, 10.0f, 1.0f};
         f.EmissionVelocity = {20.0f, 20.0f, 1.0f};
         f.AccelerationX = 1.0f, f.AccelerationY = 2.0f;
         f.LifeTime = {3.0f, 3.0f, 1.0f};
         f.EmissionRate = {4.0f, 4.0f, 1.0f};
         f.Sprite = {5, 5, 1};
         f.Size = {6.0f, 6.0f, 1.0f};
         f.Raise = 7.0f;
         f.Rotation = {8.0f, 8.0f, 1.0f};
         f.Transparency = {9.0f, 9.0f, 1.0f};
         f.Fade = 10.0f;
         f.BlendSource = f.BlendDestination = 2;
     }},
};

INSTANTIATE_TEST_SUITE_P(Rows, LoaderKeys, ::testing::ValuesIn(kKeyRows),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(LoaderTest, EmptyFileKeepsCreationDefaults) {
    EXPECT_EQ(LoadNew(dir_.Write("empty.txt", "")), Defaults());
    EXPECT_EQ(engine_.Emitters.Count(), 1);
}

TEST_F(LoaderTest, MissingFileStillYieldsEmitterWithDefaults) {
    EXPECT_EQ(LoadNew(InDir("missing.txt")), Defaults());
    EXPECT_EQ(LoadNew(dir_.Path().string()), Defaults());
}

TEST_F(LoaderTest, MissingFilePathTextIsReadAsEffectText) {
    ASSERT_FALSE(std::filesystem::exists("Size=5.txt"));
    EmitterParams expected = Defaults();
    expected.Size = {5.0f, 5.0f, 1.0f};
    EXPECT_EQ(LoadNew("Size=5.txt"), expected);
}

TEST_F(LoaderTest, UnknownAreaNameIsAddedToMapAsPoint) {
    LoadOverMarked("EmitterArea = {Type = circle, Width = 3}");
    const int32_t* value = MapFind(engine_.AreaTypes, "circle");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(*value, 0);
    EXPECT_EQ(*MapFind(engine_.AreaTypes, "Circle"), 4);
}

TEST_F(LoaderTest, LoadingDiscardsNoParticles) {
    Emitter* e = LoadEffect(engine_, dir_.Write("e.txt", "EmissionRate = 1000"), 0, 0);
    clock_.Set(1100);
    UpdateParticles(engine_);
    const int32_t before = e->Particles.Count();
    ASSERT_GT(before, 0);
    LoadEffectFile(engine_, e, dir_.Write("off.txt", "Disable = 1"));
    EXPECT_EQ(e->Disable, 1);
    EXPECT_EQ(e->Particles.Count(), before);
}

TEST_F(LoaderTest, ExtendingFileOverridesItsParent) {
    dir_.Write("B.txt", "Size = 50, EmissionRate = 20");
    EmitterParams expected = Defaults();
    expected.Size = {10.0f, 10.0f, 1.0f};
    expected.EmissionRate = {20.0f, 20.0f, 1.0f};
    EXPECT_EQ(LoadNew(dir_.Write("A.txt", "Extends = " + InDir("B.txt") + ", Size = 10")),
              expected);
}

TEST_F(LoaderTest, OverridingTwoNumberKeyResetsMissingPart) {
    dir_.Write("B.txt", "EmitterPosition = {10, 20}");
    EmitterParams expected = Defaults();
    expected.PositionX = 30.0f;
    expected.PositionY = 0.0f;
    EXPECT_EQ(LoadNew(dir_.Write("A.txt", "Extends = " + InDir("B.txt") +
                                              ",\r\n"
                                              "EmitterPosition = {30}")),
              expected);
}

TEST_F(LoaderTest, ChainAppliesDeepestFileFirst) {
    dir_.Write("C.txt", "Fade = 1, Raise = 1, Layer = 1");
    dir_.Write("B.txt", "Extends = " + InDir("C.txt") + ", Fade = 2, Raise = 2");
    EmitterParams expected = Defaults();
    expected.Fade = 3.0f;
    expected.Raise = 2.0f;
    expected.Layer = 1;
    EXPECT_EQ(LoadNew(dir_.Write("A.txt", "Fade = 3, Extends = " + InDir("B.txt"))), expected);
}

TEST_F(LoaderTest, MissingOrEmptyLinkContributesNothing) {
    EmitterParams expected = Defaults();
    expected.Layer = 3;
    EXPECT_EQ(LoadNew(dir_.Write("A.txt", "Extends = " + InDir("nowhere.txt") + ", Layer = 3")),
              expected);
    EXPECT_EQ(LoadNew(dir_.Write("E.txt", "Extends = , Layer = 3")), expected);
}

TEST_F(LoaderTest, ExtendsIsRelativeToWorkingDirectoryNotToFile) {
    ASSERT_FALSE(std::filesystem::exists("pp_loader_sibling.txt"));
    dir_.Write("pp_loader_sibling.txt", "Layer = 5");
    EXPECT_EQ(LoadNew(dir_.Write("A.txt", "Extends = pp_loader_sibling.txt")), Defaults());
}

TEST_F(LoaderTest, SelfExtendingFileAppliesOnce) {
    const std::string path = dir_.Write("A.txt", "Extends = " + InDir("A.txt") + ", Fade = 4");
    EmitterParams expected = Defaults();
    expected.Fade = 4.0f;
    EXPECT_EQ(LoadNew(path), expected);
}

TEST_F(LoaderTest, CycleStopsAtFileAlreadyBeingLoaded) {
    dir_.Write("B.txt", "Extends = " + InDir("A.txt") + ", Layer = 2, Size = 7");
    const std::string a = dir_.Write("A.txt", "Extends = " + InDir("B.txt") + ", Layer = 1");
    EmitterParams expected = Defaults();
    expected.Layer = 1;
    expected.Size = {7.0f, 7.0f, 1.0f};
    EXPECT_EQ(LoadNew(a), expected);
    // The same chain entered through B: A applies once, between nothing and B.
    expected.Layer = 2;
    EXPECT_EQ(LoadNew(dir_.Path() / "B.txt"), expected);
}

TEST_F(LoaderTest, ChainStopsAfterMaximumDepth) {
    // F0 extends F1 extends ... F69; F63 is the deepest file that still applies.
    for (int i = 0; i < 70; ++i) {
        std::string text = "Extends = " + InDir("F" + std::to_string(i + 1) + ".txt");
        if (i == kMaxExtendsDepth - 1) text += ", Layer = 63";
        if (i == kMaxExtendsDepth) text += ", Raise = 64";
        dir_.Write("F" + std::to_string(i) + ".txt", text);
    }
    EmitterParams expected = Defaults();
    expected.Layer = 63;
    EXPECT_EQ(LoadNew((dir_.Path() / "F0.txt").string()), expected);
}

TEST(LoaderSetters, AreaIgnoresTypeOutsideRange) {
    VirtualClock clock;
    Engine engine(clock);
    Emitter* e = CreateEmitter(engine, 0, 0);
    SetArea(e, 4, 10.0f, 20.0f, 90.0f);
    SetArea(e, 6, 1.0f, 1.0f, 1.0f);
    SetArea(e, -1, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(e->AreaType, 4);
    EXPECT_EQ(e->AreaWidth, 10.0f);
    EXPECT_EQ(e->AreaHeight, 20.0f);
    EXPECT_EQ(e->AreaAngle, 90.0f * 3.1415927f / 180.0f);
}

TEST(LoaderSetters, NullEmitterIsIgnored) {
    EXPECT_EQ(SetLayer(nullptr, 1), 0);
    EXPECT_EQ(SetArea(nullptr, 1, 1.0f, 1.0f, 1.0f), 0);
    EXPECT_EQ(SetSize(nullptr, 1.0f, 2.0f, 1.0f), 0);
    VirtualClock clock;
    Engine engine(clock);
    LoadEffectFile(engine, nullptr, "Size=5.txt");
    EXPECT_EQ(engine.Emitters.Count(), 0);
}

TEST(EffectOpenPath, ReplacesBackslashes) {
    EXPECT_EQ(EffectOpenPath("Data\\Feuer.txt"), "Data/Feuer.txt");
    EXPECT_EQ(EffectOpenPath("a\\\\b/c"), "a//b/c");
}

}  // namespace
}  // namespace pp
