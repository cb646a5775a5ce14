#include "platform/frame.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/screen.h"
#include "runtime/clock.h"
#include "runtime/random.h"
#include "tests/platform/platform_test_support.h"

namespace pp {
namespace {

// A seeded engine whose emitter keeps a few hundred spinning particles of sizes 2 to 9 going
// around the screen's centre, drawn with quad sprite 1.
struct Scene {
    Scene() {
        SeedRandom(SceneEngine.Random, 3);
        Emitter* e = CreateEmitter(SceneEngine, 400, 300);
        SetValueSpec(e->EmissionRate, 400.0f, -65535.0f, 1.0f);
        SetValueSpec(e->LifeTime, 1.0f, 2.0f, 0.5f);
        SetValueSpec(e->Size, 2.0f, 9.0f, 1.0f);
        SetValueSpec(e->EmissionVelocity, 20.0f, 120.0f, 1.0f);
        SetValueSpec(e->Rotation, -3.0f, 3.0f, 0.5f);
        SetSpriteRange(e, 1, -65535, 1);
    }
    std::vector<float> Positions() {
        std::vector<float> xy;
        ListRewind(SceneEngine.Emitters);
        while (Emitter* e = ListNext(SceneEngine.Emitters)) {
            ListVisit(e->Particles, [&](const Particle& p) {
                xy.push_back(p.X);
                xy.push_back(p.Y);
            });
        }
        return xy;
    }
    VirtualClock Clock{1000};
    Engine SceneEngine{Clock};
};

class FrameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::OpenTestScreen());
        ASSERT_TRUE(test::MakeQuadFromPixels(
            1, 2, 2, {{255, 255, 255, 255}, {255, 0, 0, 255}, {0, 255, 0, 128}, {0, 0, 255, 255}}));
    }
    static void TearDownTestSuite() { test::CloseTestScreen(); }
};

// The timed frame is the same frame: same pixels and particles as the plain one, frame after
// frame, with the quad counters of that frame alone.
TEST_F(FrameTest, TimedFramesDrawExactlyWhatPlainFramesDraw) {
    Scene plain;
    Scene timed;
    for (int32_t k = 1; k <= 12; ++k) {
        plain.Clock.Set(static_cast<uint32_t>(1000 + 16 * k));
        timed.Clock.Set(static_cast<uint32_t>(1000 + 16 * k));
        DrawFrame(plain.SceneEngine);
        const test::Frame plainFrame;
        FrameTiming timing;
        DrawFrame(timed.SceneEngine, FrameUpdate::Run, &timing);
        const test::Frame timedFrame;
        ASSERT_EQ(plainFrame.Bytes(), timedFrame.Bytes()) << "frame " << k;
        const std::vector<float> positions = timed.Positions();
        ASSERT_EQ(plain.Positions(), positions) << "frame " << k;
        EXPECT_EQ(timing.Quads.Quads, static_cast<int64_t>(positions.size() / 2)) << k;
        EXPECT_EQ(timing.Quads.Batches, positions.empty() ? 0 : 1) << k;
        EXPECT_GE(timing.UpdateSeconds, 0.0);
        EXPECT_GE(timing.DrawSeconds, timing.Quads.DrawSeconds);
        EXPECT_GE(timing.PresentSeconds, 0.0);
    }
}

// A skipped update (a paused clock) draws the particles where they are, however far the clock
// has gone on.
TEST_F(FrameTest, SkippedUpdateRedrawsTheSameParticles) {
    Scene scene;
    scene.Clock.Set(1500);
    DrawFrame(scene.SceneEngine);
    const test::Frame before;
    const std::vector<float> positions = scene.Positions();
    ASSERT_FALSE(positions.empty());
    FillScreen(0xFFFFFF);
    scene.Clock.Set(2500);
    DrawFrame(scene.SceneEngine, FrameUpdate::Skip);
    EXPECT_EQ(scene.Positions(), positions);
    EXPECT_EQ(test::Frame().Bytes(), before.Bytes());
    DrawFrame(scene.SceneEngine);
    EXPECT_NE(scene.Positions(), positions);
}

}  // namespace
}  // namespace pp
