// Particles drawn as quads: the rounding of their squares, layers and blend factors, and the
// run path against one quad call per particle.
#include "platform/draw_particles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "runtime/clock.h"
#include "runtime/convert.h"
#include "tests/platform/platform_test_support.h"

namespace pp {
namespace {

using test::Bgr;
using test::Frame;

constexpr Bgr kBlack{0, 0, 0};
constexpr Bgr kWhite{255, 255, 255};

class DrawParticlesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::OpenTestScreen()) << SDL_GetError();
        // Quad 1: one white texel, so a particle shows as a plain square of its size.
        ASSERT_TRUE(test::MakeQuadFromPixels(1, 1, 1, {{255, 255, 255, 255}}));
        FillScreen(0);
    }
    static void TearDownTestSuite() { test::CloseTestScreen(); }

    Emitter* AddEmitter(int32_t layer = 0, int32_t source = 5, int32_t destination = 6) {
        Emitter* e = CreateEmitter(engine, 0, 0);
        e->Layer = layer;
        e->BlendSource = source;
        e->BlendDestination = destination;
        return e;
    }
    static Particle* Add(Emitter* e, float size, float x, float y, float transparency = 255.0f,
                         float angle = 0.0f, int32_t sprite = 1) {
        Particle* p = ListInsert(e->Particles);
        p->Sprite = sprite, p->Size = size, p->X = x, p->Y = y;
        p->Transparency = transparency, p->Angle = angle;
        return p;
    }
    void Draw(int32_t offsetX = 0, int32_t offsetY = 0, int32_t layer = 0) {
        ASSERT_EQ(BeginQuads(), 1);
        EXPECT_EQ(DrawParticles(engine, offsetX, offsetY, layer), 0);
        EndQuads();
    }

    VirtualClock clock;
    Engine engine{clock};
};

// left = round(x - size / 2) and width = round(size), halves to even; the offset moves it.
TEST_F(DrawParticlesTest, SquaresRoundSizeAndEdgesHalfToEven) {
    const struct {
        float Size, X;
        int32_t Left, Width;
    } rows[] = {{32.0f, 100.0f, 84, 32}, {10.6f, 50.0f, 45, 11}, {5.0f, 100.0f, 98, 5},
                {5.0f, 101.0f, 98, 5},   {2.5f, 100.0f, 99, 2},  {3.5f, 100.0f, 98, 4},
                {1.4f, 100.0f, 99, 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "size " << row.Size << " at " << row.X);
        ListRemoveAll(engine.Emitters);
        FillScreen(0);
        Add(AddEmitter(), row.Size, row.X + 4.0f, 290.0f + row.Size * 0.5f);
        Draw(-4, 10);
        const Frame frame;
        EXPECT_EQ(frame.CountNot(kWhite, row.Left, 300, row.Left + row.Width, 300 + row.Width), 0);
        EXPECT_EQ(frame.CountNot(kBlack), row.Width * row.Width);
    }
}

// DrawParticles as plainly written, one quad call after the other for each particle.
void DrawOneByOne(Engine& engine, int32_t offsetX, int32_t offsetY, int32_t layer) {
    ListRewind(engine.Emitters);
    while (Emitter* e = ListNext(engine.Emitters)) {
        if (e->Layer != layer) continue;
        ListRewind(e->Particles);
        while (Particle* p = ListNext(e->Particles)) {
            SetQuadBlending(e->BlendSource, e->BlendDestination);
            const int32_t size = RoundToInt(static_cast<double>(p->Size));
            SetQuadSize(p->Sprite, size, size);
            SetQuadAngle(p->Sprite, p->Angle, 0);
            const float half = p->Size * 0.5f;
            DrawQuadSprite(p->Sprite, RoundToInt(double(float(offsetX) + p->X - half)),
                           RoundToInt(double(float(offsetY) + p->Y - half)),
                           RoundToInt(double(p->Transparency)));
        }
    }
}

// The run path against one call per particle, pixel for pixel, batched against unbatched:
// thousands of particles of every kind (long runs, sprites changing or missing, sizes 0,
// negative, huge and fractional, angles 0, NaN and infinite, transparencies past 255 and below
// 0, five blends, two layers), each quad drawn again after them with what the last particle
// left on it; then values on and beside halves and far beyond the int range. The walk leaves
// the cursors on the last emitter and its last particle.
TEST_F(DrawParticlesTest, BatchedDrawingMatchesOneCallPerParticleExactly) {
    ASSERT_TRUE(test::MakeQuadFromPixels(
        2, 2, 2, {{255, 0, 0, 255}, {0, 255, 0, 128}, {0, 0, 255, 60}, {255, 255, 0, 255}}));
    const int32_t blends[][2] = {{5, 6}, {5, 2}, {2, 1}, {12, 99}, {5, 6}};
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    Emitter* e = nullptr;
    for (int32_t k = 0; k < 5; ++k) {
        e = AddEmitter(k == 3 ? 1 : 0, blends[k][0], blends[k][1]);
        for (int32_t i = 0; i < (k == 0 ? 1300 : 400); ++i) {
            const float pick = unit(rng);
            const float size = pick < 0.02f    ? 0.3f
                               : pick > 0.995f ? 3000.0f
                               : pick > 0.98f  ? -6.0f
                                               : 1.0f + 30.0f * unit(rng);
            float angle =
                std::floor(unit(rng) * 720.0f - 360.0f) + (unit(rng) < 0.5f ? 0.5f : 0.0f);
            if (pick > 0.3f && pick < 0.33f) angle = 0.0f;
            if (pick > 0.4f && pick < 0.405f) angle = std::nanf("");
            if (pick > 0.5f && pick < 0.505f) angle = INFINITY;
            Add(e, size, unit(rng) * 900.0f - 50.0f, unit(rng) * 700.0f - 50.0f,
                unit(rng) * 400.0f - 50.0f, angle, i % 97 == 0 ? 5 : (i / 50) % 2 + 1);
        }
    }
    auto compare = [&](int32_t dx, int32_t dy, bool batchRuns, int32_t layer, const char* what) {
        std::vector<uint8_t> pixels[2];
        for (const bool oneByOne : {false, true}) {
            SetQuadBatching(batchRuns != oneByOne);
            FillScreen(0);
            ASSERT_EQ(BeginQuads(), 1);
            if (oneByOne) {
                DrawOneByOne(engine, dx, dy, layer);
            } else {
                EXPECT_EQ(DrawParticles(engine, dx, dy, layer), 0);
                EXPECT_TRUE(layer != 0 || (engine.Emitters.Cursor() == e &&
                                           e->Particles.Cursor() == e->Particles.Last()));
            }
            DrawQuadSprite(1, 300, 300, 255);
            DrawQuadSprite(2, 500, 300, 255);
            EndQuads();
            pixels[oneByOne] = Frame().Bytes;
        }
        SetQuadBatching(true);
        EXPECT_GT(Frame().CountNot(kBlack), layer == 0 ? 5000 : 2000) << what;
        EXPECT_TRUE(pixels[0] == pixels[1]) << what;
    };
    compare(3, -2, true, 0, "particles of every kind, runs batched");
    compare(3, -2, false, 0, "particles of every kind, single draws batched");
    compare(0, 0, true, 1, "the other layer");
    ListRemoveAll(engine.Emitters);
    e = AddEmitter(0, 5, 2);  // (source alpha, one) makes every alpha visible
    const float sizes[] = {1.5f, 2.5f, 3.0f, 3.5f, std::nextafter(2.5f, 3.0f), 4.0f};
    const float nudges[] = {0.0f, 0.5f, -0.5f, 0.25f, 1.5f, std::nextafter(0.5f, 1.0f)};
    const float far[] = {8388608.5f, -8388609.0f, 3e9f, -3e9f, 1e30f, std::nanf("")};
    for (int32_t k = 0; k < 30 * 37; ++k) {
        const float x = 10.0f + 21.0f * static_cast<float>(k % 37) + nudges[k / 6 % 6];
        const float y = 10.0f + 19.0f * static_cast<float>(k / 37) + nudges[k / 36 % 6];
        Add(e, sizes[k % 6], k % 41 == 40 ? far[k / 41 % 6] : x, y,
            100.5f + static_cast<float>(k % 7) * 0.5f);
    }
    compare(1, 0, true, 0, "values on and beside halves");
    SetQuadBlending(5, 6);
}

}  // namespace
}  // namespace pp
