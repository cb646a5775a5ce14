#include "platform/frame.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/quad_sprites.h"
#include "platform/screen.h"
#include "runtime/clock.h"
#include "runtime/random.h"
#include "runtime/worker_pool.h"
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

// Frames of a crowd above the size the workers take on (emitters of two blends, particles of
// quad sprites 1 and 2 and of a missing 3, turned and unturned, some dying every frame) are
// the same, pixel for pixel and particle for particle, on one, two, three and eight threads,
// in the same number of quads and GL draws; one frame also with one GL draw per quad.
TEST_F(FrameTest, CrowdFramesAreTheSameOnAnyNumberOfThreads) {
    ASSERT_TRUE(test::MakeQuadFromPixels(
        2, 3, 1, {{9, 200, 40, 200}, {90, 20, 240, 90}, {255, 255, 0, 255}}));
    struct Run {
        std::vector<std::vector<uint8_t>> Pixels;
        std::vector<std::vector<float>> Positions;
        std::vector<int64_t> Quads, Batches;
    };
    auto draw = [](int32_t threads, int32_t frames, bool batching) {
        WorkerPool pool(threads);
        Scene scene;
        scene.SceneEngine.Workers = &pool;
        for (int32_t i = 0; i < 24; ++i) {
            Emitter* e = CreateEmitter(scene.SceneEngine, 30 + 31 * i, 40 + 21 * i);
            SetValueSpec(e->EmissionRate, 1000.0f, -65535.0f, 1.0f);
            SetValueSpec(e->LifeTime, 0.3f, 1.5f, 0.1f);
            SetValueSpec(e->Size, 1.0f, 12.0f, 0.5f);
            SetValueSpec(e->EmissionVelocity, 5.0f, 90.0f, 1.0f);
            SetValueSpec(e->Rotation, i % 2 == 0 ? 0.0f : -7.0f, 7.0f, 0.5f);
            SetSpriteRange(e, 1, 3, 1);
            if (i % 3 == 0) e->BlendDestination = 2;
        }
        SetQuadBatching(batching);
        Run run;
        for (int32_t k = 1; k <= frames; ++k) {
            scene.Clock.Set(static_cast<uint32_t>(1000 + 400 * k));
            FrameTiming timing;
            DrawFrame(scene.SceneEngine, FrameUpdate::Run, &timing);
            run.Pixels.push_back(test::Frame().Bytes);
            run.Positions.push_back(scene.Positions());
            run.Quads.push_back(timing.Quads.Quads);
            run.Batches.push_back(timing.Quads.Batches);
        }
        SetQuadBatching(true);
        return run;
    };
    struct Row {
        int32_t Threads, Frames;
        bool Batching;
    };
    const Run one = draw(1, 4, true);
    const Run oneUnbatched = draw(1, 1, false);
    ASSERT_GT(one.Quads.back(), 16384);
    for (const Row row : {Row{2, 4, true}, Row{3, 4, true}, Row{8, 4, true}, Row{2, 1, false}}) {
        const Run& expected = row.Batching ? one : oneUnbatched;
        const Run run = draw(row.Threads, row.Frames, row.Batching);
        for (size_t k = 0; k < expected.Pixels.size(); ++k) {
            ASSERT_TRUE(run.Pixels[k] == expected.Pixels[k])
                << row.Threads << " threads, frame " << k;
            ASSERT_EQ(run.Positions[k], expected.Positions[k]) << row.Threads << " threads";
            EXPECT_EQ(run.Quads[k], expected.Quads[k]) << row.Threads << " threads";
            EXPECT_EQ(run.Batches[k], expected.Batches[k]) << row.Threads << " threads";
        }
    }
}

}  // namespace
}  // namespace pp
