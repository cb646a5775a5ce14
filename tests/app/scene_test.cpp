// The scene's start-up, frame and shut-down in-process, through SDL's offscreen driver.
#include "app/scene.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "lib/world_access.h"
#include "platform/frame.h"
#include "platform/screen.h"
#include "platform/sprites.h"
#include "platform/window.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

using testing::InFolder;

std::vector<Emitter*> EmittersOf(Engine& engine) {
    std::vector<Emitter*> emitters;
    ListRewind(engine.Emitters);
    while (Emitter* e = ListNext(engine.Emitters)) emitters.push_back(e);
    return emitters;
}

int32_t CountParticles(Engine& engine) {
    int32_t count = 0;
    for (Emitter* e : EmittersOf(engine)) {
        ListRewind(e->Particles);
        while (ListNext(e->Particles) != nullptr) ++count;
    }
    return count;
}

bool FrameIsBlack() {
    std::vector<uint8_t> bgr;
    if (!ReadScreenPixels(bgr)) return false;
    for (uint8_t byte : bgr) {
        if (byte != 0) return false;
    }
    return true;
}

class Scene : public ::testing::Test {
  protected:
    void TearDown() override { StopScene(); }

    // The scene loads into a world reading the clock the test sets.
    static particleplayer::WorldOptions ReadingClock(VirtualClock& clock) {
        particleplayer::WorldOptions options;
        options.HostClock = [&clock] { return clock.Now(); };
        return options;
    }

    VirtualClock clock_{1000};
    particleplayer::World world_{ReadingClock(clock_)};
    Engine& engine_ = particleplayer::WorldAccess::EngineOf(world_);
};

TEST_F(Scene, StartsFourEffectsInTableOrderOnTheirOwnSpritesAndStopFreesThem) {
    InFolder here(PP_SOURCE_DIR);
    ASSERT_FALSE(StartScene(world_, kWindowHidden));
    EXPECT_NE(WindowHandle(0), nullptr);
    EXPECT_EQ(ScreenWidth(), 800);
    EXPECT_EQ(ScreenHeight(), 600);

    const char* const names[] = {"Point", "Line", "Square", "Rectangle", "Circle", "Ellipse"};
    for (int32_t type = 0; type < 6; ++type) {
        const int32_t* value = MapFind(engine_.AreaTypes, names[type]);
        ASSERT_NE(value, nullptr) << names[type];
        EXPECT_EQ(*value, type);
    }
    EXPECT_EQ(MapFind(engine_.AreaTypes, "circle"), nullptr);

    const std::vector<Emitter*> emitters = EmittersOf(engine_);
    ASSERT_EQ(emitters.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        const SceneEffect& row = kScene[i];
        EXPECT_EQ(emitters[i]->PositionX, static_cast<float>(row.X)) << row.Effect;
        EXPECT_EQ(emitters[i]->PositionY, static_cast<float>(row.Y)) << row.Effect;
        EXPECT_EQ(emitters[i]->Sprite.Min, row.Number);
        EXPECT_EQ(emitters[i]->Sprite.Max, row.Number);
        EXPECT_EQ(emitters[i]->NextEmission, 1000);
        const SpriteRecord* sprite = LookupSprite(row.Number);
        ASSERT_NE(sprite, nullptr) << row.Image;
        EXPECT_EQ(sprite->Flags, SpriteUsableAsQuad | SpriteKeepAlpha);
    }
    // Feuer's additive blending comes from the file it extends, found from the working folder.
    EXPECT_EQ(emitters[1]->BlendSource, 5);
    EXPECT_EQ(emitters[1]->BlendDestination, 2);
    EXPECT_TRUE(MissingSceneFiles().empty());
    EXPECT_EQ(MissingDataNote(), "");

    StopScene();
    EXPECT_EQ(WindowHandle(0), nullptr);
    EXPECT_EQ(ScreenWidth(), 0);
    EXPECT_EQ(LookupSprite(1), nullptr);
}

TEST_F(Scene, WithoutDataRunsDefaultEmittersThatDrawNothing) {
    testing::TempDir empty;
    InFolder here(empty.Path());
    ASSERT_EQ(MissingSceneFiles().size(), 8u);
    EXPECT_NE(MissingDataNote().find("8 of the scene's 8 data files"), std::string::npos);
    ASSERT_FALSE(StartScene(world_, kWindowHidden));
    const std::vector<Emitter*> emitters = EmittersOf(engine_);
    ASSERT_EQ(emitters.size(), 4u);
    EXPECT_EQ(emitters[3]->PositionX, 600.0f);
    EXPECT_EQ(emitters[3]->Sprite.Min, 4);
    EXPECT_EQ(LookupSprite(1), nullptr);
    clock_.Set(1100);
    DrawFrame(engine_);
    EXPECT_GT(CountParticles(engine_), 0);
    EXPECT_TRUE(FrameIsBlack());
}

}  // namespace
}  // namespace pp
