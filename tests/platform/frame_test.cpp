// Whole frames of a crowd drawn on the worker pool against one thread.
#include "platform/frame.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/quad_sprites.h"
#include "runtime/clock.h"
#include "runtime/random.h"
#include "runtime/worker_pool.h"
#include "tests/platform/platform_test_support.h"

namespace pp {
namespace {

// What frames leave behind: pixels, quads and GL draws (the update on threads: threads_test).
struct Frames {
    std::vector<std::vector<uint8_t>> Pixels;
    std::vector<int64_t> Quads, Batches;
};

// Frames of 24 emitters above the size the workers take on: two blends, quad sprites 1, 2 and
// a missing 3, turned and unturned, some particles dying every frame.
Frames DrawCrowd(int32_t threads, int32_t frames, bool batching) {
    WorkerPool pool(threads);
    VirtualClock clock{1000};
    Engine engine{clock};
    SeedRandom(engine.Random, 3);
    engine.Workers = &pool;
    for (int32_t i = 0; i < 24; ++i) {
        Emitter* e = CreateEmitter(engine, 30 + 31 * i, 40 + 21 * i);
        SetValueSpec(e->EmissionRate, 1000.0f, -65535.0f, 1.0f);
        SetValueSpec(e->LifeTime, 0.3f, 1.5f, 0.1f);
        SetValueSpec(e->Size, 1.0f, 12.0f, 0.5f);
        SetValueSpec(e->EmissionVelocity, 5.0f, 90.0f, 1.0f);
        SetValueSpec(e->Rotation, i % 2 == 0 ? 0.0f : -7.0f, 7.0f, 0.5f);
        SetSpriteRange(e, 1, 3, 1);
        if (i % 3 == 0) e->BlendDestination = 2;
    }
    SetQuadBatching(batching);
    Frames run;
    for (int32_t k = 1; k <= frames; ++k) {
        clock.Set(static_cast<uint32_t>(1000 + 400 * k));
        FrameTiming timing;
        DrawFrame(engine, FrameUpdate::Run, &timing);
        run.Pixels.push_back(test::Frame().Bytes);
        run.Quads.push_back(timing.Quads.Quads);
        run.Batches.push_back(timing.Quads.Batches);
    }
    SetQuadBatching(true);
    return run;
}

// The same pixels, quads and GL draws on one, two, three and eight threads; one
// frame also with one GL draw per quad.
TEST(FrameTest, CrowdFramesAreTheSameOnAnyNumberOfThreads) {
    ASSERT_TRUE(test::OpenTestScreen());
    ASSERT_TRUE(test::MakeQuadFromPixels(
        1, 2, 2, {{255, 255, 255, 255}, {255, 0, 0, 255}, {0, 255, 0, 128}, {0, 0, 255, 255}}));
    ASSERT_TRUE(test::MakeQuadFromPixels(
        2, 3, 1, {{9, 200, 40, 200}, {90, 20, 240, 90}, {255, 255, 0, 255}}));
    const Frames one = DrawCrowd(1, 4, true);
    const Frames oneUnbatched = DrawCrowd(1, 1, false);
    ASSERT_GT(one.Quads.back(), 16384);
    for (const auto& [threads, frames, batching] :
         {std::tuple{2, 4, true}, {3, 4, true}, {8, 4, true}, {2, 1, false}}) {
        const Frames& expected = batching ? one : oneUnbatched;
        const Frames run = DrawCrowd(threads, frames, batching);
        for (size_t k = 0; k < expected.Pixels.size(); ++k) {
            SCOPED_TRACE(testing::Message() << threads << " threads, frame " << k);
            ASSERT_TRUE(run.Pixels[k] == expected.Pixels[k]);
            EXPECT_EQ(run.Quads[k], expected.Quads[k]);
            EXPECT_EQ(run.Batches[k], expected.Batches[k]);
        }
    }
    test::CloseTestScreen();
}

}  // namespace
}  // namespace pp
