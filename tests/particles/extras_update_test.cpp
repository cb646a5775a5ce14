// Particles of emitters with optional keys: curves, sprite sheet frames and cells, colours, and
// the update pass that keeps Life beside the particles, against plain computations.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine_test_util.h"
#include "particles/looks.h"
#include "runtime/convert.h"

namespace pp {
namespace {

LifeCurve<1> Curve(std::vector<std::pair<float, float>> keys) {
    LifeCurve<1> c;
    for (const auto& [t, v] : keys) c.Time[c.Count] = t, c.Value[c.Count++] = {v};
    return c;
}

// A row per branch of the interpolation, against the written formula.
TEST(LifeCurveTest, ValuesMatchThePlainInterpolation) {
    const struct {
        LifeCurve<1> curve;
        float t, expected;
    } rows[] = {
        {Curve({}), 0.5f, 1.0f},
        {Curve({{0.25f, 2.0f}, {0.75f, 4.0f}}), 0.25f, 2.0f},
        {Curve({{0.0f, 1.0f}, {0.5f, 3.0f}, {1.0f, 0.0f}}), 0.75f,
         3.0f + (0.0f - 3.0f) * ((0.75f - 0.5f) / (1.0f - 0.5f))},
        {Curve({{0.0f, 1.0f}, {0.5f, 3.0f}}), 1.0f, 3.0f},
        {Curve({{0.0f, 1.0f}, {0.5f, 2.0f}, {0.5f, 8.0f}}), 0.5f, 8.0f},  // a step
        {Curve({{0.0f, 5.0f}, {1.0f, 6.0f}}), std::nanf(""), 5.0f},
        {Curve({{0.5f, 1.0f}, {0.2f, 9.0f}}), 0.7f, 9.0f},  // out of order: never divides by 0
    };
    for (const auto& r : rows) EXPECT_EQ(EvaluateLifeCurve(r.curve, r.t)[0], r.expected) << r.t;
}

TEST(SpriteSheetTest, FramesAndCells) {
    const float inf = __builtin_inff();
    const struct {
        SpriteSheetParams sheet;
        int32_t start, ageMs;
        float fraction;
        int32_t expected;
    } rows[] = {
        {{4, 2, 8, 10, 0}, 0, 250, 0, 2},    {{4, 2, 8, 10, 0}, 6, 250, 0, 0},
        {{4, 2, 8, 10, 0}, 3, -150, 0, 1},   {{4, 2, 8, inf, 0}, 5, 10, 0, 5},
        {{4, 2, 8, 0, 0}, 0, 0, 0.49f, 3},   {{4, 2, 8, 0, 0}, 0, 0, 1, 7},
        {{4, 2, 20, 0, 0}, 0, 0, 1, 7},      {{0, -3, 5, 0, 0}, 0, 0, 1, 0},
        {{4, 2, 0, 10, 0}, 3, 900, 0.5f, 0}, {{3, 3, 9, -1, 0}, 2, 900, 0.5f, 4},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(SheetFrame(r.sheet, r.start, r.ageMs, r.fraction), r.expected)
            << r.sheet.Frames << " " << r.sheet.Rate << " " << r.start << " " << r.ageMs;
    }
    const SheetCell cell = SheetCellOf(SpriteSheetParams{4, 2, 8, 0, 0}, 6);
    EXPECT_EQ((std::vector{cell.U0, cell.V0, cell.U1, cell.V1}),
              (std::vector{0.5f, 0.5f, 0.75f, 1.0f}));
}

TEST(ParticleLooksTest, ColourSizeAndTransparencyFollowTheCurves) {
    ExtraParams x;
    x.Colour = {200.0f, 100.0f, 300.0f};
    x.ColourOverLife.Count = 1;
    x.ColourOverLife.Value[0] = {128.0f, 255.0f, 255.0f};
    x.SizeOverLife = Curve({{0.0f, 0.5f}, {1.0f, 2.0f}});
    x.TransparencyOverLife = Curve({{0.0f, 1.0f}, {1.0f, 0.0f}});
    const Particle p{0, 10.0f, 0.0f, 0.0f, 0.0f, 0.0f, 200.0f, 0, 0.0f, 0.0f};
    const ParticleLife life{0, 1000.0f, 0, 0.5f, 0};
    const ParticleLooks looks = LooksOf(x, p, life);
    EXPECT_EQ(looks.Size, 10.0f * (0.5f + (2.0f - 0.5f) * 0.5f));
    EXPECT_EQ(looks.Transparency, 200.0f * 0.5f);
    // 200 * 128 / 255 = 100.39 rounds to 100; 300 is held at 255.
    EXPECT_EQ((std::vector<int>{looks.Red, looks.Green, looks.Blue}),
              (std::vector<int>{100, 100, 255}));
    EXPECT_EQ(LooksOf(ExtraParams{}, p, life).Red, 255);
}

// An emitter of every sort of particle, non-finite ones included.
Emitter* AddBusyEmitter(Engine& engine, int32_t i) {
    Emitter* e = CreateEmitter(engine, 100 + 30 * i, 200);
    e->AreaType = i % 6;
    e->AreaWidth = 40.0f;
    e->AreaHeight = 20.0f;
    SetValueSpec(e->EmissionRate, 200.0f, 900.0f, 7.0f);
    SetValueSpec(e->LifeTime, 0.1f, 2.0f, 0.05f);
    SetValueSpec(e->EmissionVelocity, -50.0f, 300.0f, 3.5f);
    SetValueSpec(e->Size, 0.5f, 30.0f, 0.5f);
    SetValueSpec(e->Rotation, -5.0f, 5.0f, 0.25f);
    SetValueSpec(e->Transparency, 0.0f, 255.0f, 3.0f);
    SetValueSpec(e->EmissionAngle, -180.0f, 180.0f, 0.5f);
    e->AccelerationY = 40.0f - static_cast<float>(10 * i);
    e->Raise = i % 2 == 0 ? -7.5f : 3.0f;
    e->Fade = -90.0f;
    if (i == 3) e->AccelerationX = 3e38f;  // overflows to infinity
    if (i == 4) e->Raise = std::nanf("");
    return e;
}

// A colour alone takes the extras pass: it must move the particles as the plain pass does,
// draw the same random numbers and keep each Life record with its particle, also when the
// key arrives (update 40) or leaves (update 80) while particles live.
TEST(ExtrasUpdateTest, NeutralKeysGiveThePlainPassParticlesBitForBit) {
    TestEngine plain(7);
    TestEngine rich(7);
    std::vector<std::pair<Emitter*, Emitter*>> pairs;
    for (int32_t i = 0; i < 6; ++i) {
        pairs.emplace_back(AddBusyEmitter(plain.engine, i), AddBusyEmitter(rich.engine, i));
    }
    const uint32_t steps[] = {16, 17, 1, 33, 250, 0, 16, 700};
    for (int32_t n = 0; n < 120; ++n) {
        for (auto [a, b] : pairs) b->Extras.Colour[1] = n >= 40 && n < 80 ? 9.0f : 255.0f;
        plain.clock.Advance(steps[n % 8]);
        rich.clock.Advance(steps[n % 8]);
        UpdateParticles(plain.engine);
        UpdateParticles(rich.engine);
        for (auto [a, b] : pairs) {
            ASSERT_EQ(ParticlesOf(*a).size(), ParticlesOf(*b).size()) << n;
            ASSERT_EQ(b->ExtrasOn, n >= 40 && n < 80);
            ASSERT_EQ(b->Life.Count(), b->ExtrasOn ? b->Particles.Count() : 0);
            const auto size = sizeof(Particle) * static_cast<size_t>(a->Particles.Count());
            ASSERT_EQ(size == 0 ? 0 : std::memcmp(a->Particles.First(), b->Particles.First(), size),
                      0)
                << n;
            for (int32_t k = 0; k < b->Life.Count(); ++k) {
                const ParticleLife& life = b->Life.First()[k];
                ASSERT_EQ(RoundToInt(static_cast<double>(life.LifeMs) + life.BirthTime),
                          b->Particles.First()[k].DeathTime);
                ASSERT_EQ(life.Fraction,
                          LifeFractionAt(life, static_cast<int32_t>(rich.clock.Now())));
            }
        }
    }
    EXPECT_EQ(RandomInt(plain.engine.Random, 1 << 30), RandomInt(rich.engine.Random, 1 << 30));
}

// Drag (held at 0 for long steps) and Spin against the written order of the plain step.
TEST(ExtrasUpdateTest, DragAndSpinFollowThePlainComputation) {
    TestEngine t;
    Emitter* e = CreateEmitter(t.engine, 0, 0);
    SetValueSpec(e->EmissionRate, 1, 1, 1);
    SetValueSpec(e->EmissionAngle, 30, 30, 1);
    SetValueSpec(e->Rotation, 2.5f, 2.5f, 1);
    e->AccelerationY = 98.0f;
    e->Extras.Drag = 0.75f;
    e->Extras.Spin = 90.0f;
    t.clock.Advance(1);
    UpdateParticles(t.engine);
    Particle p = *e->Particles.First();
    for (uint32_t dtMs : {16u, 2000u}) {
        t.clock.Advance(dtMs);
        UpdateParticles(t.engine);
        const float dt = static_cast<float>(dtMs) * 0.001f;
        const float factor = std::max(0.0f, 1.0f - 0.75f * dt);
        p.X = p.X + dt * p.VelocityX;
        p.Y = p.Y + dt * p.VelocityY;
        p.VelocityX = (p.VelocityX + dt * 0.0f) * factor;
        p.VelocityY = (p.VelocityY + dt * 98.0f) * factor;
        p.Angle = (p.Angle + 2.5f) + 90.0f * dt;
        EXPECT_EQ(std::memcmp(e->Particles.First(), &p, sizeof p), 0) << dtMs;  // the oldest
    }
}

// A random start frame is drawn after the spawn's own draws, so the particle is the same.
TEST(ExtrasUpdateTest, RandomStartFramesDrawAfterTheSpawnsDraws) {
    TestEngine plain(3);
    TestEngine sheet(3);
    Emitter* a = CreateEmitter(plain.engine, 10, 10);
    Emitter* b = CreateEmitter(sheet.engine, 10, 10);
    b->Extras.SpriteSheet = {4, 4, 16, 12.0f, 1};
    b->ExtrasOn = true;
    SpawnParticle(plain.engine, *a);
    SpawnParticle(sheet.engine, *b);
    ASSERT_EQ(b->Life.Count(), 1);
    EXPECT_EQ(std::memcmp(a->Particles.First(), b->Particles.First(), sizeof(Particle)), 0);
    EXPECT_EQ(b->Life.First()->StartFrame, RandomInt(plain.engine.Random, 15));
    EXPECT_EQ(RandomInt(plain.engine.Random, 1 << 30), RandomInt(sheet.engine.Random, 1 << 30));
}

}  // namespace
}  // namespace pp
