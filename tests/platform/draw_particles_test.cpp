#include "platform/draw_particles.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "platform/quad_sprites.h"
#include "platform/screen.h"
#include "runtime/clock.h"
#include "runtime/convert.h"
#include "tests/platform/platform_test_support.h"

namespace pp {
namespace {

using test::Bgr;
using test::Frame;
using test::Rgba;

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
    static Particle& AddParticle(Emitter* e, float size, float x, float y,
                                 float transparency = 255.0f, float angle = 0.0f,
                                 int32_t sprite = 1) {
        Particle* p = ListInsert(e->Particles);
        p->Sprite = sprite;
        p->Size = size;
        p->X = x;
        p->Y = y;
        p->Transparency = transparency;
        p->Angle = angle;
        return *p;
    }
    void Draw(int32_t offsetX = 0, int32_t offsetY = 0, int32_t layer = 0) {
        ASSERT_EQ(BeginQuads(), 1);
        EXPECT_EQ(DrawParticles(engine, offsetX, offsetY, layer), 0);
        EndQuads();
    }

    VirtualClock clock;
    Engine engine{clock};
};

TEST_F(DrawParticlesTest, SizeThirtyTwoAtHundredTwoHundredCoversItsSquare) {
    AddParticle(AddEmitter(), 32.0f, 100.0f, 200.0f);
    Draw();
    const Frame frame;
    EXPECT_EQ(frame.CountNot(kBlack, 0, 0, 800, 600), 32 * 32);
    EXPECT_EQ(frame.CountNot(kWhite, 84, 184, 116, 216), 0);
}

struct Placement {
    const char* Name;
    float Size, X;
    int32_t Left, Width;
};

class ParticleRounding : public DrawParticlesTest,
                         public ::testing::WithParamInterface<Placement> {};

TEST_P(ParticleRounding, SquareSizeAndLeftEdgeRoundHalfToEven) {
    const Placement& p = GetParam();
    // Y chosen so that the top edge is row 300 whatever the size.
    AddParticle(AddEmitter(), p.Size, p.X, 300.0f + p.Size * 0.5f);
    Draw();
    const Frame frame;
    const int32_t top = 300 - p.Width;  // wide enough a band around the particle's rows
    EXPECT_EQ(frame.CountNot(kWhite, p.Left, 300, p.Left + p.Width, 301), 0);
    EXPECT_EQ(frame.At(p.Left - 1, 300), kBlack);
    EXPECT_EQ(frame.At(p.Left + p.Width, 300), kBlack);
    EXPECT_EQ(frame.CountNot(kBlack, 0, top, 800, 300 + p.Width + 1), p.Width * p.Width);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParticleRounding,
    ::testing::Values(Placement{"Size10p6AtX50", 10.6f, 50.0f, 45, 11},
                      Placement{"Size5AtX100LeftHalfGoesDown", 5.0f, 100.0f, 98, 5},
                      Placement{"Size5AtX101LeftHalfGoesUp", 5.0f, 101.0f, 98, 5},
                      Placement{"Size2p5IsTwoWide", 2.5f, 100.0f, 99, 2},
                      Placement{"Size3p5IsFourWide", 3.5f, 100.0f, 98, 4},
                      Placement{"Size1p4IsOnePixel", 1.4f, 100.0f, 99, 1}),
    [](const ::testing::TestParamInfo<Placement>& info) { return info.param.Name; });

TEST_F(DrawParticlesTest, TransparencyRoundsHalfToEvenAndWrapsPast255) {
    // With factors (source alpha, zero) a white texel over black shows the alpha itself.
    Emitter* e = AddEmitter(0, 5, 1);
    const float transparencies[] = {254.5f, 253.5f, 255.0f, 255.5f, 256.0f, 300.0f, 0.4f};
    const uint8_t shown[] = {254, 254, 255, 0, 0, 44, 0};
    for (int32_t k = 0; k < 7; ++k) {
        AddParticle(e, 2.0f, static_cast<float>(11 + 3 * k), 11.0f, transparencies[k]);
    }
    Draw();
    SetQuadBlending(5, 6);
    const Frame frame;
    for (int32_t k = 0; k < 7; ++k) {
        EXPECT_EQ(frame.At(10 + 3 * k, 10).G, shown[k]) << "transparency " << transparencies[k];
    }
}

TEST_F(DrawParticlesTest, AngleOf450DrawsAsNinety) {
    ASSERT_TRUE(test::MakeQuadFromPixels(
        2, 2, 2, {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 0, 255}}));
    Emitter* e = AddEmitter();
    AddParticle(e, 2.0f, 50.0f, 50.0f, 255.0f, 90.0f, 2);
    Draw();
    const Frame ninety;
    FillScreen(0);
    ListRemoveAll(e->Particles);
    AddParticle(e, 2.0f, 50.0f, 50.0f, 255.0f, 450.0f, 2);
    Draw();
    const Frame fourFifty;
    EXPECT_EQ(ninety.Bytes(), fourFifty.Bytes());
    EXPECT_EQ(ninety.At(49, 49), (Bgr{255, 0, 0})) << "bottom-left texel turned to top-left";
}

TEST_F(DrawParticlesTest, OnlyEmittersOfTheLayerAreDrawn) {
    AddParticle(AddEmitter(1), 4.0f, 100.0f, 100.0f);
    AddParticle(AddEmitter(0), 4.0f, 200.0f, 100.0f);
    Draw();
    EXPECT_EQ(Frame().CountNot(kBlack, 0, 0, 800, 600), 16);
    EXPECT_EQ(Frame().At(200, 100), kWhite);
    FillScreen(0);
    Draw(0, 0, 1);
    EXPECT_EQ(Frame().CountNot(kBlack, 0, 0, 800, 600), 16);
    EXPECT_EQ(Frame().At(100, 100), kWhite);
}

TEST_F(DrawParticlesTest, OffsetShiftsEveryParticle) {
    AddParticle(AddEmitter(), 32.0f, 100.0f, 200.0f);
    Draw(-4, 10);
    const Frame frame;
    EXPECT_EQ(frame.CountNot(kWhite, 80, 194, 112, 226), 0);
    EXPECT_EQ(frame.CountNot(kBlack, 0, 0, 800, 600), 32 * 32);
}

TEST_F(DrawParticlesTest, EachEmitterDrawsWithItsOwnBlendFactorsInListOrder) {
    ASSERT_TRUE(test::MakeQuadFromPixels(3, 1, 1, {{100, 50, 20, 255}}));
    // Additive emitter first, then an ordinary one whose newer particle covers its older one.
    Emitter* additive = AddEmitter(0, 5, 2);
    AddParticle(additive, 2.0f, 10.0f, 10.0f, 255.0f, 0.0f, 3);
    AddParticle(additive, 2.0f, 10.0f, 10.0f, 255.0f, 0.0f, 3);
    Emitter* ordinary = AddEmitter(0, 5, 6);
    AddParticle(ordinary, 2.0f, 20.0f, 10.0f, 255.0f, 0.0f, 3);
    AddParticle(ordinary, 2.0f, 20.0f, 10.0f, 255.0f, 0.0f, 1);
    Draw();
    const Frame frame;
    EXPECT_EQ(frame.At(10, 10), (Bgr{40, 100, 200})) << "two additive draws add up";
    EXPECT_EQ(frame.At(20, 10), kWhite) << "the newer particle covers the older";
}

TEST_F(DrawParticlesTest, ParticlesWithoutAQuadSpriteDrawNothingAndTheCursorsEndOnTheLast) {
    Emitter* first = AddEmitter();
    AddParticle(first, 8.0f, 100.0f, 100.0f, 255.0f, 0.0f, 7);
    Emitter* last = AddEmitter();
    AddParticle(last, 8.0f, 100.0f, 100.0f, 255.0f, 0.0f, 0);
    Particle& lastParticle = AddParticle(last, 8.0f, 100.0f, 100.0f, 255.0f, 0.0f, -3);
    Draw();
    EXPECT_EQ(Frame().CountNot(kBlack, 0, 0, 800, 600), 0);
    EXPECT_EQ(engine.Emitters.Cursor(), last);
    EXPECT_EQ(last->Particles.Cursor(), &lastParticle);
}

// DrawParticles as plainly written, one QuadSprite call after the other for each particle,
// with the general rounding: the batched path must draw exactly this.
void DrawOneByOne(Engine& engine, int32_t offsetX, int32_t offsetY, int32_t layer) {
    const float dx = static_cast<float>(offsetX);
    const float dy = static_cast<float>(offsetY);
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
            DrawQuadSprite(p->Sprite, RoundToInt(static_cast<double>(dx + p->X - half)),
                           RoundToInt(static_cast<double>(dy + p->Y - half)),
                           RoundToInt(static_cast<double>(p->Transparency)));
        }
    }
}

// Thousands of particles of every kind: runs longer than the batch chunks, sprites that change
// within a run or do not exist, sizes of 0 and below, huge and fractional, angles of 0, NaN and
// infinity, transparencies past 255 and below 0, five emitters with different blend factors,
// one of them on another layer. Afterwards each quad sprite draws once more with the size and
// angle the last particle left on it.
TEST_F(DrawParticlesTest, BatchedDrawingMatchesOneCallPerParticleExactly) {
    ASSERT_TRUE(test::MakeQuadFromPixels(
        2, 2, 2, {{255, 0, 0, 255}, {0, 255, 0, 128}, {0, 0, 255, 60}, {255, 255, 0, 255}}));
    const int32_t blends[][2] = {{5, 6}, {5, 2}, {2, 1}, {12, 99}, {5, 6}};
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (int32_t k = 0; k < 5; ++k) {
        Emitter* e = AddEmitter(k == 3 ? 1 : 0, blends[k][0], blends[k][1]);
        const int32_t count = k == 0 ? 1300 : 400;
        for (int32_t i = 0; i < count; ++i) {
            const float pick = unit(rng);
            float size = 1.0f + 30.0f * unit(rng);
            if (pick < 0.02f) size = 0.3f;
            if (pick > 0.98f) size = -6.0f;
            if (pick > 0.995f) size = 3000.0f;
            float angle =
                std::floor(unit(rng) * 720.0f - 360.0f) + (unit(rng) < 0.5f ? 0.5f : 0.0f);
            if (pick > 0.3f && pick < 0.33f) angle = 0.0f;
            if (pick > 0.4f && pick < 0.405f) angle = nan;
            if (pick > 0.5f && pick < 0.505f) angle = inf;
            const int32_t sprite = i % 97 == 0 ? 5 : (i / 50) % 2 + 1;
            const float transparency = unit(rng) * 400.0f - 50.0f;
            AddParticle(e, size, unit(rng) * 900.0f - 50.0f, unit(rng) * 700.0f - 50.0f,
                        transparency, angle, sprite);
        }
    }
    auto drawBoth = [&](bool batching) {
        SetQuadBatching(batching);
        FillScreen(0);
        Draw(3, -2, 0);
        ASSERT_EQ(BeginQuads(), 1);
        DrawQuadSprite(1, 300, 300, 255);
        DrawQuadSprite(2, 500, 300, 255);
        EndQuads();
        const Frame batched;
        FillScreen(0);
        ASSERT_EQ(BeginQuads(), 1);
        DrawOneByOne(engine, 3, -2, 0);
        DrawQuadSprite(1, 300, 300, 255);
        DrawQuadSprite(2, 500, 300, 255);
        EndQuads();
        const Frame single;
        SetQuadBatching(true);
        EXPECT_EQ(batched.Bytes(), single.Bytes()) << (batching ? "batched" : "one draw per quad");
    };
    drawBoth(true);
    drawBoth(false);
}

// Particles whose size, edges and transparency land exactly on halves, or just beside them,
// and far beyond the screen and the int range: runs that are rounded eight at a time must draw
// what rounding each value alone draws. Blend (source alpha, one) makes every alpha visible.
TEST_F(DrawParticlesTest, ValuesOnAndBesideHalvesRoundLikeOneCallEach) {
    Emitter* e = AddEmitter(0, 5, 2);
    const float sizes[] = {1.5f, 2.5f, 3.0f, 3.5f, std::nextafter(2.5f, 3.0f), 4.0f};
    const float nudges[] = {0.0f, 0.5f, -0.5f, 0.25f, 1.5f, std::nextafter(0.5f, 1.0f)};
    const float far[] = {8388608.5f, -8388609.0f, 3e9f,
                         -3e9f,      1e30f,       std::numeric_limits<float>::quiet_NaN()};
    int32_t k = 0;
    for (int32_t row = 0; row < 30; ++row) {
        for (int32_t column = 0; column < 37; ++column, ++k) {
            const float size = sizes[k % 6];
            float x = 10.0f + 21.0f * static_cast<float>(column) + nudges[k / 6 % 6];
            const float y = 10.0f + 19.0f * static_cast<float>(row) + nudges[k / 36 % 6];
            if (k % 41 == 40) x = far[k / 41 % 6];
            AddParticle(e, size, x, y, 100.5f + static_cast<float>(k % 7) * 0.5f, 0.0f);
        }
    }
    Draw(1, 0);
    const Frame batched;
    EXPECT_GT(batched.CountNot(kBlack, 0, 0, 800, 600), 5000);
    FillScreen(0);
    ASSERT_EQ(BeginQuads(), 1);
    DrawOneByOne(engine, 1, 0, 0);
    EndQuads();
    SetQuadBlending(5, 6);
    EXPECT_EQ(batched.Bytes(), Frame().Bytes());
}

}  // namespace
}  // namespace pp
