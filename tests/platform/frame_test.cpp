// Whole frames of a crowd drawn on the worker pool against one thread: the same pixels, quads
// and GL draws.
#include "platform/frame.h"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/clock.h"
#include "runtime/random.h"
#include "runtime/worker_pool.h"
#include "tests/platform/platform_test_support.h"

namespace pp {
namespace {

// Pixels, quads and GL draws of each frame of 24 emitters above the size the workers take on:
// two blends, quad sprites 1, 2 and a missing 3, turned or tinted, some dying every frame.
std::vector<std::vector<uint8_t>> DrawCrowd(int32_t threads, int32_t frames, bool batching) {
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
        if (i % 4 == 1) e->Extras.Colour = {255.0f, 90.0f, 20.0f};  // tinted, in a sheet
        if (i % 4 == 1) e->Extras.SpriteSheet = {2, 2, 4, 0.0f, 0};
    }
    SetQuadBatching(batching);
    std::vector<std::vector<uint8_t>> run;
    for (int32_t k = 1; k <= frames; ++k) {
        clock.Set(static_cast<uint32_t>(1000 + 400 * k));
        FrameTiming timing;
        DrawFrame(engine, FrameUpdate::Run, &timing);
        run.push_back(test::Frame().Bytes);
        EXPECT_GT(timing.Quads.Quads, k == 4 ? 16384 : 0);
        for (const int64_t count : {timing.Quads.Quads, timing.Quads.Batches})
            for (int32_t shift = 0; shift < 64; shift += 8)
                run.back().push_back(uint8_t(count >> shift));
    }
    SetQuadBatching(true);
    return run;
}

// On two, three and eight threads; one frame also with one GL draw per quad.
TEST(FrameTest, CrowdFramesAreTheSameOnAnyNumberOfThreads) {
    ASSERT_TRUE(test::OpenTestScreen());
    ASSERT_TRUE(test::MakeQuadFromPixels(
        1, 2, 2, {{255, 255, 255, 255}, {255, 0, 0, 255}, {0, 255, 0, 128}, {0, 0, 255, 255}}));
    ASSERT_TRUE(test::MakeQuadFromPixels(
        2, 3, 1, {{9, 200, 40, 200}, {90, 20, 240, 90}, {255, 255, 0, 255}}));
    const auto one = DrawCrowd(1, 4, true);
    EXPECT_TRUE(DrawCrowd(2, 1, false) == DrawCrowd(1, 1, false));
    for (const int32_t threads : {2, 3, 8}) EXPECT_TRUE(DrawCrowd(threads, 4, true) == one);
    test::CloseTestScreen();
}

}  // namespace
}  // namespace pp
