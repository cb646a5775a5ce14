// Particles of emitters with optional keys on the screen: colours, curves over life and
// sprite sheet cells against a CPU computation, and white ones against the plain renderer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "particles/looks.h"
#include "platform/draw_particles.h"
#include "runtime/clock.h"
#include "runtime/worker_pool.h"
#include "tests/platform/platform_test_support.h"

namespace pp {
namespace {

using test::Bgr;
using test::Frame;
using test::Rgba;

class ExtrasDrawTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::OpenTestScreen()) << SDL_GetError();
        // Quad 1: a 4 x 2 sheet of one texel per cell, cell k coloured (255, 32 k, 255).
        std::vector<Rgba> cells;
        for (uint8_t k = 0; k < 8; ++k)
            cells.push_back({255, static_cast<uint8_t>(32 * k), 255, 255});
        ASSERT_TRUE(test::MakeQuadFromPixels(1, 4, 2, cells));
        // Quad 2: 3 x 3 texels of varied colour and alpha.
        std::vector<Rgba> texels;
        for (uint8_t i = 0; i < 9; ++i) {
            texels.push_back({static_cast<uint8_t>(20 * i), static_cast<uint8_t>(255 - 25 * i),
                              static_cast<uint8_t>(90 + 15 * i),
                              static_cast<uint8_t>(100 + 17 * i)});
        }
        ASSERT_TRUE(test::MakeQuadFromPixels(2, 3, 3, texels));
        FillScreen(0);
    }
    static void TearDownTestSuite() { test::CloseTestScreen(); }

    // A particle with its Life record when the emitter keeps them.
    static void Add(Emitter* e, int32_t sprite, float size, float x, float y, float transparency,
                    float angle, float fraction = 0.0f, int32_t frame = 0) {
        Particle* p = ListInsert(e->Particles);
        *p = Particle{sprite, size, x, y, 0.0f, 0.0f, transparency, 0, angle, 0.0f};
        if (HasExtras(*e)) *ListInsert(e->Life) = ParticleLife{0, 1000.0f, 0, fraction, frame};
    }
    Frame Draw() {
        FillScreen(0);
        EXPECT_EQ(BeginQuads(), 1);
        DrawParticles(engine, 0, 0, 0);
        EndQuads();
        return Frame();
    }

    VirtualClock clock;
    Engine engine{clock};
};

TEST_F(ExtrasDrawTest, ColourCurvesAndSheetCellsMatchTheCpu) {
    Emitter* e = CreateEmitter(engine, 0, 0);
    e->Extras.Colour = {200.0f, 255.0f, 100.0f};
    e->Extras.ColourOverLife.Count = 2;
    e->Extras.ColourOverLife.Time = {0.0f, 1.0f};
    e->Extras.ColourOverLife.Value[0] = {255.0f, 255.0f, 255.0f};
    e->Extras.ColourOverLife.Value[1] = {0.0f, 255.0f, 255.0f};
    e->Extras.SizeOverLife.Count = 1;
    e->Extras.SizeOverLife.Value[0] = {2.0f};
    e->Extras.SpriteSheet = {4, 2, 8, 0.0f, 0};
    struct Row {
        float x, y, fraction;
        int32_t frame;
    };
    const Row rows[] = {
        {100, 100, 0.0f, 0}, {200, 100, 0.5f, 5}, {300, 100, 1.0f, 7}, {400, 100, 0.25f, 3}};
    for (const Row& r : rows) {
        Add(e, 1, 5.0f, r.x, r.y, 255.0f, 90.0f, r.fraction, r.frame);
        // Left out, as the plain quads of side 0 or corners not finite are: the looks stay
        // with the quads that show.
        Add(e, 1, 0.2f, r.x, r.y, 255.0f, 0.0f, 0.5f, 1);
        Add(e, 1, 5.0f, std::nanf(""), r.y, 255.0f, 0.0f, 0.5f, 1);
    }
    for (const bool batching : {true, false}) {
        SetQuadBatching(batching);
        const Frame frame = Draw();
        SetQuadBatching(true);
        for (const Row& r : rows) {
            SCOPED_TRACE(testing::Message() << "frame " << r.frame);
            const ParticleLooks looks =
                LooksOf(e->Extras, Particle{1, 5.0f, r.x, r.y, 0, 0, 255.0f, 0, 90.0f, 0},
                        ParticleLife{0, 1000.0f, 0, r.fraction, r.frame});
            EXPECT_EQ(looks.Size, 10.0f);
            // Opaque texels times the colour: red and blue the colour's, green the cell's.
            const Bgr expected{looks.Blue, static_cast<uint8_t>(32 * r.frame), looks.Red};
            const auto left = static_cast<int32_t>(r.x) - 5;
            const auto top = static_cast<int32_t>(r.y) - 5;
            EXPECT_EQ(frame.CountNot(expected, left, top, left + 10, top + 10), 0);
            EXPECT_EQ(frame.CountNot(Bgr{0, 0, 0}, left - 20, top - 20, left + 30, top + 30), 100);
        }
    }
    EXPECT_EQ(LooksOf(e->Extras, Particle{}, ParticleLife{0, 1.0f, 0, 0.5f, 0}).Red, 100);
}

TEST_F(ExtrasDrawTest, WhiteParticlesDrawAsThePlainOnes) {
    Emitter* e = CreateEmitter(engine, 0, 0);
    e->BlendDestination = 2;  // additive, so that overlaps show every quad
    auto fill = [&] {
        ListRemoveAll(e->Particles);
        ListRemoveAll(e->Life);
        for (int32_t i = 0; i < 600; ++i) {
            const auto f = static_cast<float>(i);
            Add(e, 2, 3.0f + static_cast<float>(i % 37) * 1.7f,
                30.0f + static_cast<float>(i % 29) * 26.3f,
                20.0f + static_cast<float>(i / 29) * 27.9f,
                30.0f + static_cast<float>((i * 7) % 226), i % 3 == 0 ? 0.0f : f * 13.7f);
        }
    };
    fill();
    const Frame plain = Draw();
    e->Extras.Drag = 0.5f;  // a key that changes nothing on the screen
    fill();
    ASSERT_EQ(e->Life.Count(), e->Particles.Count());
    const Frame rich = Draw();
    EXPECT_GT(plain.CountNot(Bgr{0, 0, 0}), 10000);
    EXPECT_TRUE(plain.Bytes == rich.Bytes);
}

TEST_F(ExtrasDrawTest, WorkerThreadsDrawTheOneThreadPixels) {
    // Plain crowds on both sides of a tinted sheet emitter, enough for the pool to share.
    for (int32_t k = 0; k < 3; ++k) {
        Emitter* e = CreateEmitter(engine, 0, 0);
        if (k == 1) {
            e->Extras.Colour = {255.0f, 90.0f, 20.0f};
            e->Extras.SpriteSheet = {4, 2, 8, 0.0f, 0};
        }
        for (int32_t i = 0; i < 9000; ++i) {
            Add(e, k == 1 ? 1 : 2, 4.0f + static_cast<float>(i % 5),
                static_cast<float>((i * 37 + k * 101) % 800),
                static_cast<float>((i * 53 + k * 71) % 600), 255.0f, static_cast<float>(i % 90),
                static_cast<float>(i % 10) * 0.1f, i % 8);
        }
    }
    const Frame one = Draw();
    WorkerPool pool(3);
    engine.Workers = &pool;
    const Frame many = Draw();
    engine.Workers = nullptr;
    EXPECT_TRUE(one.Bytes == many.Bytes);
}

}  // namespace
}  // namespace pp
