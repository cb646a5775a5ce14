// Particles drawn as quads: where their squares land and how their values round, layers,
// offsets and blend factors, and the batched path against one quad call per particle.
#include "platform/draw_particles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
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
        p->Sprite = sprite;
        p->Size = size;
        p->X = x;
        p->Y = y;
        p->Transparency = transparency;
        p->Angle = angle;
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

// A square of the rounded size whose left and top edges are the rounded centre minus half the
// size, halves rounding to even: left = round(x - size / 2), width = round(size).
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
        // The offset moves it by (-4, 10); y puts its top edge on row 300.
        Add(AddEmitter(), row.Size, row.X + 4.0f, 290.0f + row.Size * 0.5f);
        Draw(-4, 10);
        const Frame frame;
        EXPECT_EQ(frame.CountNot(kWhite, row.Left, 300, row.Left + row.Width, 300 + row.Width), 0);
        EXPECT_EQ(frame.CountNot(kBlack), row.Width * row.Width);
    }
}

// Only the layer's emitters, each with its own blend factors, in list order; particles without
// a quad sprite draw nothing and leave the cursors on the last emitter and particle.
TEST_F(DrawParticlesTest, LayersBlendFactorsAndMissingSprites) {
    ASSERT_TRUE(test::MakeQuadFromPixels(3, 1, 1, {{100, 50, 20, 255}}));
    Emitter* additive = AddEmitter(0, 5, 2);
    Add(additive, 2.0f, 10.0f, 10.0f, 255.0f, 0.0f, 3);
    Add(additive, 2.0f, 10.0f, 10.0f, 255.0f, 0.0f, 3);
    Emitter* ordinary = AddEmitter(0, 5, 6);
    Add(ordinary, 2.0f, 20.0f, 10.0f, 255.0f, 0.0f, 3);
    Add(ordinary, 2.0f, 20.0f, 10.0f, 255.0f, 0.0f, 1);
    Add(AddEmitter(1), 4.0f, 100.0f, 100.0f);
    Emitter* last = AddEmitter();
    Add(last, 8.0f, 200.0f, 100.0f, 255.0f, 0.0f, 7);
    const Particle* lastParticle = Add(last, 8.0f, 200.0f, 100.0f, 255.0f, 0.0f, -3);
    Draw();
    Frame frame;
    EXPECT_EQ(frame.At(10, 10), (Bgr{40, 100, 200})) << "two additive draws add up";
    EXPECT_EQ(frame.At(20, 10), kWhite) << "the newer particle covers the older";
    EXPECT_EQ(frame.CountNot(kBlack), 8);
    EXPECT_EQ(engine.Emitters.Cursor(), last);
    EXPECT_EQ(last->Particles.Cursor(), lastParticle);
    FillScreen(0);
    Draw(0, 0, 1);
    EXPECT_EQ(Frame().CountNot(kBlack), 16);
    EXPECT_EQ(Frame().At(100, 100), kWhite);
}

// DrawParticles as plainly written, one quad call after the other for each particle.
void DrawOneByOne(Engine& engine, int32_t offsetX, int32_t offsetY) {
    ListRewind(engine.Emitters);
    while (Emitter* e = ListNext(engine.Emitters)) {
        if (e->Layer != 0) continue;
        ListRewind(e->Particles);
        while (Particle* p = ListNext(e->Particles)) {
            SetQuadBlending(e->BlendSource, e->BlendDestination);
            const int32_t size = RoundToInt(static_cast<double>(p->Size));
            SetQuadSize(p->Sprite, size, size);
            SetQuadAngle(p->Sprite, p->Angle, 0);
            const float half = p->Size * 0.5f;
            DrawQuadSprite(
                p->Sprite,
                RoundToInt(static_cast<double>(static_cast<float>(offsetX) + p->X - half)),
                RoundToInt(static_cast<double>(static_cast<float>(offsetY) + p->Y - half)),
                RoundToInt(static_cast<double>(p->Transparency)));
        }
    }
}

// The batched path against one call per particle, exactly: first thousands of particles of
// every kind (runs longer than the batch chunks, sprites that change within a run or do not
// exist, sizes 0 and below, huge and fractional, angles 0, NaN and infinite, transparencies
// past 255 and below 0, five emitters with their blend factors, one on another layer), each
// quad drawn once more after them with what the last particle left on it; then particles whose
// size, edges and transparency land on halves or beside them, and far beyond the int range.
TEST_F(DrawParticlesTest, BatchedDrawingMatchesOneCallPerParticleExactly) {
    ASSERT_TRUE(test::MakeQuadFromPixels(
        2, 2, 2, {{255, 0, 0, 255}, {0, 255, 0, 128}, {0, 0, 255, 60}, {255, 255, 0, 255}}));
    const int32_t blends[][2] = {{5, 6}, {5, 2}, {2, 1}, {12, 99}, {5, 6}};
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int32_t k = 0; k < 5; ++k) {
        Emitter* e = AddEmitter(k == 3 ? 1 : 0, blends[k][0], blends[k][1]);
        for (int32_t i = 0; i < (k == 0 ? 1300 : 400); ++i) {
            const float pick = unit(rng);
            const float size = pick < 0.02f    ? 0.3f
                               : pick > 0.995f ? 3000.0f
                               : pick > 0.98f  ? -6.0f
                                               : 1.0f + 30.0f * unit(rng);
            float angle =
                std::floor(unit(rng) * 720.0f - 360.0f) + (unit(rng) < 0.5f ? 0.5f : 0.0f);
            if (pick > 0.3f && pick < 0.33f) angle = 0.0f;
            if (pick > 0.4f && pick < 0.405f) angle = std::numeric_limits<float>::quiet_NaN();
            if (pick > 0.5f && pick < 0.505f) angle = std::numeric_limits<float>::infinity();
            Add(e, size, unit(rng) * 900.0f - 50.0f, unit(rng) * 700.0f - 50.0f,
                unit(rng) * 400.0f - 50.0f, angle, i % 97 == 0 ? 5 : (i / 50) % 2 + 1);
        }
    }
    auto compare = [&](int32_t dx, int32_t dy, const char* what) {
        FillScreen(0);
        Draw(dx, dy, 0);
        ASSERT_EQ(BeginQuads(), 1);
        DrawQuadSprite(1, 300, 300, 255);
        DrawQuadSprite(2, 500, 300, 255);
        EndQuads();
        const Frame batched;
        EXPECT_GT(batched.CountNot(kBlack), 5000) << what;
        FillScreen(0);
        ASSERT_EQ(BeginQuads(), 1);
        DrawOneByOne(engine, dx, dy);
        DrawQuadSprite(1, 300, 300, 255);
        DrawQuadSprite(2, 500, 300, 255);
        EndQuads();
        EXPECT_TRUE(batched.Bytes == Frame().Bytes) << what;
    };
    compare(3, -2, "particles of every kind");
    SetQuadBatching(false);
    compare(3, -2, "particles of every kind, quads unbatched");
    SetQuadBatching(true);
    ListRemoveAll(engine.Emitters);
    Emitter* e = AddEmitter(0, 5, 2);  // (source alpha, one) makes every alpha visible
    const float sizes[] = {1.5f, 2.5f, 3.0f, 3.5f, std::nextafter(2.5f, 3.0f), 4.0f};
    const float nudges[] = {0.0f, 0.5f, -0.5f, 0.25f, 1.5f, std::nextafter(0.5f, 1.0f)};
    const float far[] = {8388608.5f, -8388609.0f, 3e9f,
                         -3e9f,      1e30f,       std::numeric_limits<float>::quiet_NaN()};
    for (int32_t k = 0; k < 30 * 37; ++k) {
        const float x = 10.0f + 21.0f * static_cast<float>(k % 37) + nudges[k / 6 % 6];
        const float y = 10.0f + 19.0f * static_cast<float>(k / 37) + nudges[k / 36 % 6];
        Add(e, sizes[k % 6], k % 41 == 40 ? far[k / 41 % 6] : x, y,
            100.5f + static_cast<float>(k % 7) * 0.5f);
    }
    compare(1, 0, "values on and beside halves");
    SetQuadBlending(5, 6);
}

}  // namespace
}  // namespace pp
