// Particles drawn as quads: the rounding of their squares, and the run path against one quad
// call per particle.
#include "platform/draw_particles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "runtime/clock.h"
#include "runtime/convert.h"
#include "tests/platform/platform_test_support.h"

namespace pp {
namespace {

using test::AddParticle;
using test::Frame;
using test::kBlack;

class DrawParticlesTest : public test::OnScreen {
  protected:
    void SetUp() override {
        OnScreen::SetUp();
        ASSERT_TRUE(test::MakeQuadFromPixels(1, 1, 1, {{255, 255, 255, 255}}));  // a white square
    }
    Emitter* AddEmitter(int32_t layer, int32_t source, int32_t destination) {
        Emitter* e = CreateEmitter(engine, 0, 0);
        e->Layer = layer, e->BlendSource = source, e->BlendDestination = destination;
        return e;
    }
    VirtualClock clock;
    Engine engine{clock};
};

// left = round(x - size / 2) and width = round(size), halves to even; the offset moves it.
TEST_F(DrawParticlesTest, SquaresRoundSizeAndEdgesHalfToEven) {
    const struct {
        float Size, X;
        int32_t Left, Width;
    } rows[] = {{10.6f, 50.0f, 45, 11},
                {5.0f, 100.0f, 98, 5},
                {5.0f, 101.0f, 98, 5},
                {2.5f, 100.0f, 99, 2},
                {3.5f, 100.0f, 98, 4}};
    for (const auto& row : rows) {
        ListRemoveAll(engine.Emitters);
        FillScreen(0);
        AddParticle(AddEmitter(0, 5, 6), 1, row.Size, row.X + 4.0f, 290.0f + row.Size * 0.5f);
        ASSERT_EQ(BeginQuads(), 1);
        DrawParticles(engine, -4, 10, 0);
        EndQuads();
        const Frame frame;
        const int32_t right = row.Left + row.Width;
        EXPECT_EQ(frame.CountNot({255, 255, 255}, row.Left, 300, right, 300 + row.Width), 0);
        EXPECT_EQ(frame.CountNot(kBlack), row.Width * row.Width) << row.Size << " at " << row.X;
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

// The run path (and the tinted one) against one call per particle, pixel for pixel, batched
// and not: particles of every kind (sprites changing or missing, sizes 0, negative, huge,
// angles NaN and infinite, transparencies out of range, five blends, two layers), each quad
// drawn after them with what the last particle left on it; then values on and beside halves.
TEST_F(DrawParticlesTest, BatchedDrawingMatchesOneCallPerParticleExactly) {
    ASSERT_TRUE(test::MakeQuadFromPixels(
        2, 2, 2, {{255, 0, 0, 255}, {0, 255, 0, 128}, {0, 0, 255, 60}, {255, 255, 0, 255}}));
    const int32_t blends[][2] = {{5, 6}, {5, 2}, {2, 1}, {12, 99}, {5, 6}};
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    Emitter* e = nullptr;
    for (int32_t k = 0; k < 5; ++k) {
        e = AddEmitter(k == 3 ? 1 : 0, blends[k][0], blends[k][1]);
        if (k == 2) e->Extras.Drag = 0.5f;  // drawn white through the tinted quads
        for (int32_t i = 0; i < (k == 0 ? 1300 : 400); ++i) {
            const float pick = unit(rng);
            const float size = pick < 0.02f    ? 0.3f
                               : pick > 0.995f ? 3000.0f
                               : pick > 0.98f  ? -6.0f
                                               : 1.0f + 30.0f * unit(rng);
            float angle = std::floor(unit(rng) * 720.0f - 360.0f) + (pick < 0.6f ? 0.5f : 0.0f);
            if (pick > 0.3f && pick < 0.33f) angle = 0.0f;
            if (pick > 0.4f && pick < 0.405f) angle = std::nanf("");
            if (pick > 0.5f && pick < 0.505f) angle = INFINITY;
            AddParticle(e, i % 97 == 0 ? 5 : (i / 50) % 2 + 1, size, unit(rng) * 900.0f - 50.0f,
                        unit(rng) * 700.0f - 50.0f, unit(rng) * 400.0f - 50.0f, angle);
        }
    }
    auto compare = [&](int32_t dx, int32_t dy, bool batchRuns, int32_t layer) {
        std::vector<uint8_t> pixels[2];
        for (const bool oneByOne : {false, true}) {
            SetQuadBatching(batchRuns != oneByOne);
            FillScreen(0);
            ASSERT_EQ(BeginQuads(), 1);
            if (oneByOne) {
                DrawOneByOne(engine, dx, dy, layer);
            } else {
                EXPECT_EQ(DrawParticles(engine, dx, dy, layer), 0);
                // The walk leaves the cursors on the last emitter and its last particle.
                EXPECT_TRUE(layer != 0 || (engine.Emitters.Cursor() == e &&
                                           e->Particles.Cursor() == e->Particles.Last()));
            }
            DrawQuadSprite(1, 300, 300, 255);
            DrawQuadSprite(2, 500, 300, 255);
            EndQuads();
            pixels[oneByOne] = Frame().Bytes;
        }
        SetQuadBatching(true);
        EXPECT_GT(Frame().CountNot(kBlack), 2000);
        EXPECT_TRUE(pixels[0] == pixels[1]) << batchRuns << " layer " << layer;
    };
    compare(3, -2, true, 0);
    compare(3, -2, false, 0);
    compare(0, 0, true, 1);
    ListRemoveAll(engine.Emitters);
    e = AddEmitter(0, 5, 2);  // (source alpha, one) makes every alpha visible
    const float sizes[] = {1.5f, 2.5f, 3.0f, 3.5f, std::nextafter(2.5f, 3.0f), 4.0f};
    const float nudges[] = {0.0f, 0.5f, -0.5f, 0.25f, 1.5f, std::nextafter(0.5f, 1.0f)};
    const float far[] = {8388608.5f, -8388609.0f, 3e9f, -3e9f, 1e30f, std::nanf("")};
    for (int32_t k = 0; k < 30 * 37; ++k) {
        const float x = 10.0f + 21.0f * static_cast<float>(k % 37) + nudges[k / 6 % 6];
        const float y = 10.0f + 19.0f * static_cast<float>(k / 37) + nudges[k / 36 % 6];
        AddParticle(e, 1, sizes[k % 6], k % 41 == 40 ? far[k / 41 % 6] : x, y,
                    100.5f + static_cast<float>(k % 7) * 0.5f);
    }
    compare(1, 0, true, 0);
    SetQuadBlending(5, 6);
}

}  // namespace
}  // namespace pp
