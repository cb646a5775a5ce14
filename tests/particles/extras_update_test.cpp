// Particles of emitters with optional keys: curves over life, sprite sheet frames and cells,
// colours, and the update pass that keeps Life beside the particles, against plain
// computations and against the plain pass.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine_test_util.h"
#include "particles/looks.h"
#include "runtime/convert.h"
#include "runtime/worker_pool.h"

namespace pp {
namespace {

LifeCurve<1> Curve(std::vector<std::pair<float, float>> keys) {
    LifeCurve<1> c;
    for (const auto& [t, v] : keys) {
        c.Time[static_cast<size_t>(c.Count)] = t;
        c.Value[static_cast<size_t>(c.Count++)] = {v};
    }
    return c;
}

TEST(LifeCurveTest, ValuesMatchThePlainInterpolation) {
    const float nan = std::nanf("");
    struct Row {
        const char* what;
        LifeCurve<1> curve;
        float t, expected;
    };
    const Row rows[] = {
        {"no keys", Curve({}), 0.5f, 1.0f},
        {"one key", Curve({{0.5f, 3.0f}}), 0.9f, 3.0f},
        {"before the first", Curve({{0.25f, 2.0f}, {0.75f, 4.0f}}), 0.0f, 2.0f},
        {"at the first", Curve({{0.25f, 2.0f}, {0.75f, 4.0f}}), 0.25f, 2.0f},
        {"between", Curve({{0.0f, 0.5f}, {1.0f, 2.0f}}), 0.25f, 0.5f + (2.0f - 0.5f) * 0.25f},
        {"second segment", Curve({{0.0f, 1.0f}, {0.5f, 3.0f}, {1.0f, 0.0f}}), 0.75f,
         3.0f + (0.0f - 3.0f) * ((0.75f - 0.5f) / (1.0f - 0.5f))},
        {"after the last", Curve({{0.0f, 1.0f}, {0.5f, 3.0f}}), 1.0f, 3.0f},
        {"equal times step to the later key", Curve({{0.0f, 1.0f}, {0.5f, 2.0f}, {0.5f, 8.0f}}),
         0.5f, 8.0f},
        {"just before the step", Curve({{0.0f, 0.0f}, {0.5f, 2.0f}, {0.5f, 8.0f}}), 0.25f, 1.0f},
        {"NaN fraction takes the first key", Curve({{0.0f, 5.0f}, {1.0f, 6.0f}}), nan, 5.0f},
        {"times out of order never divide by 0", Curve({{0.5f, 1.0f}, {0.2f, 9.0f}}), 0.7f, 9.0f},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(EvaluateLifeCurve(r.curve, r.t)[0], r.expected) << r.what;
    }
    LifeCurve<3> colour;
    colour.Count = 2;
    colour.Time = {0.0f, 1.0f};
    colour.Value[0] = {255.0f, 230.0f, 120.0f};
    colour.Value[1] = {60.0f, 60.0f, 60.0f};
    const std::array<float, 3> mid = EvaluateLifeCurve(colour, 0.5f);
    for (size_t c = 0; c < 3; ++c) {
        const float a = colour.Value[0][c];
        EXPECT_EQ(mid[c], a + (colour.Value[1][c] - a) * 0.5f);
    }
}

TEST(SpriteSheetTest, FramesAndCells) {
    struct Row {
        int32_t columns, rows, frames;
        float rate;
        int32_t start, ageMs;
        float fraction;
        int32_t expected;
    };
    const float inf = __builtin_inff();
    const Row rows[] = {
        {4, 2, 8, 10.0f, 0, 0, 0.0f, 0},   {4, 2, 8, 10.0f, 0, 250, 0.0f, 2},
        {4, 2, 8, 10.0f, 6, 250, 0.0f, 0}, {4, 2, 8, 10.0f, 3, -150, 0.0f, 1},
        {4, 2, 8, inf, 5, 10, 0.0f, 5},    {4, 2, 8, 0.0f, 0, 0, 0.49f, 3},
        {4, 2, 8, 0.0f, 0, 0, 1.0f, 7},    {4, 2, 20, 0.0f, 0, 0, 1.0f, 7},
        {0, -3, 5, 0.0f, 0, 0, 1.0f, 0},   {4, 2, 0, 10.0f, 3, 900, 0.5f, 0},
        {3, 3, 9, -1.0f, 2, 900, 0.5f, 4},
    };
    for (const Row& r : rows) {
        const SpriteSheetParams sheet{r.columns, r.rows, r.frames, r.rate, 0};
        EXPECT_EQ(SheetFrame(sheet, r.start, r.ageMs, r.fraction), r.expected)
            << r.columns << "x" << r.rows << " frames " << r.frames << " rate " << r.rate
            << " start " << r.start << " age " << r.ageMs;
    }
    const SpriteSheetParams sheet{4, 2, 8, 0.0f, 0};
    const SheetCell cell = SheetCellOf(sheet, 6);
    EXPECT_EQ(cell.U0, 2.0f / 4.0f);
    EXPECT_EQ(cell.U1, 3.0f / 4.0f);
    EXPECT_EQ(cell.V0, 1.0f / 2.0f);
    EXPECT_EQ(cell.V1, 2.0f / 2.0f);
    const SheetCell whole = SheetCellOf(SpriteSheetParams{}, 3);
    EXPECT_TRUE(whole.U0 == 0.0f && whole.V0 == 0.0f && whole.U1 == 1.0f && whole.V1 == 1.0f);
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
    EXPECT_EQ(looks.Red, RoundFloatToInt(200.0f * 128.0f / 255.0f));  // 100.39 -> 100
    EXPECT_EQ(looks.Green, 100);
    EXPECT_EQ(looks.Blue, 255);  // held at 255
    EXPECT_EQ(LooksOf(ExtraParams{}, p, life).Red, 255);
}

// The generators stand at the same place of the same sequence.
bool SameState(const RandomGenerator& a, const RandomGenerator& b) {
    return std::memcmp(a.A, b.A, sizeof a.A) == 0 && std::memcmp(a.B, b.B, sizeof a.B) == 0 &&
           a.i == b.i && a.j == b.j;
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

TEST(ExtrasUpdateTest, NeutralKeysGiveThePlainPassParticlesBitForBit) {
    TestEngine plain(7);
    TestEngine rich(7);
    std::vector<Emitter*> plainEmitters;
    std::vector<Emitter*> richEmitters;
    for (int32_t i = 0; i < 6; ++i) {
        plainEmitters.push_back(AddBusyEmitter(plain.engine, i));
        richEmitters.push_back(AddBusyEmitter(rich.engine, i));
        richEmitters.back()->Extras.Colour = {255.0f, 128.0f, 0.0f};
    }
    const uint32_t steps[] = {16, 17, 1, 33, 250, 0, 16, 700};
    for (int32_t n = 0; n < 120; ++n) {
        const uint32_t dt = steps[n % 8];
        plain.clock.Advance(dt);
        rich.clock.Advance(dt);
        UpdateParticles(plain.engine);
        UpdateParticles(rich.engine);
        for (size_t i = 0; i < plainEmitters.size(); ++i) {
            Emitter& a = *plainEmitters[i];
            Emitter& b = *richEmitters[i];
            ASSERT_TRUE(b.ExtrasOn);
            ASSERT_EQ(a.Particles.Count(), b.Particles.Count()) << "update " << n;
            ASSERT_EQ(b.Life.Count(), b.Particles.Count());
            ASSERT_EQ(a.Life.Count(), 0);
            if (a.Particles.Count() == 0) continue;
            ASSERT_EQ(std::memcmp(a.Particles.First(), b.Particles.First(),
                                  sizeof(Particle) * static_cast<size_t>(a.Particles.Count())),
                      0)
                << "update " << n << " emitter " << i;
            // The records stayed with their particles through every removal.
            for (int32_t k = 0; k < b.Particles.Count(); ++k) {
                const ParticleLife& life = b.Life.First()[k];
                const int32_t death = RoundToInt(static_cast<double>(life.LifeMs) +
                                                 static_cast<double>(life.BirthTime));
                ASSERT_EQ(death, b.Particles.First()[k].DeathTime);
                ASSERT_EQ(life.Fraction,
                          LifeFractionAt(life, static_cast<int32_t>(rich.clock.Now())));
            }
        }
    }
    EXPECT_TRUE(SameState(plain.engine.Random, rich.engine.Random));
}

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
    ASSERT_EQ(e->Particles.Count(), 1);
    Particle p = *e->Particles.First();
    for (uint32_t dtMs : {16u, 40u, 100u, 2000u}) {
        t.clock.Advance(dtMs);
        UpdateParticles(t.engine);
        const float dt = static_cast<float>(dtMs) * 0.001f;
        float factor = 1.0f - 0.75f * dt;
        if (factor < 0.0f) factor = 0.0f;
        p.X = p.X + dt * p.VelocityX;
        p.Y = p.Y + dt * p.VelocityY;
        p.VelocityX = (p.VelocityX + dt * 0.0f) * factor;
        p.VelocityY = (p.VelocityY + dt * 98.0f) * factor;
        p.Angle = (p.Angle + 2.5f) + 90.0f * dt;
        const Particle& got = *e->Particles.First();  // the oldest
        EXPECT_EQ(std::memcmp(&got, &p, sizeof p), 0) << dtMs;
    }
}

TEST(ExtrasUpdateTest, RandomStartFramesDrawAfterTheSpawnsDraws) {
    TestEngine plain(3);
    TestEngine sheet(3);
    Emitter* a = CreateEmitter(plain.engine, 10, 10);
    Emitter* b = CreateEmitter(sheet.engine, 10, 10);
    b->Extras.SpriteSheet = {4, 4, 16, 12.0f, 1};
    b->ExtrasOn = true;
    SpawnParticle(plain.engine, *a);
    SpawnParticle(sheet.engine, *b);
    // The same draws, then one more for the frame.
    ASSERT_EQ(b->Life.Count(), 1);
    EXPECT_EQ(std::memcmp(a->Particles.First(), b->Particles.First(), sizeof(Particle)), 0);
    RandomGenerator after = plain.engine.Random;
    EXPECT_EQ(b->Life.First()->StartFrame, RandomInt(after, 15));
    EXPECT_TRUE(SameState(after, sheet.engine.Random));
}

TEST(ExtrasUpdateTest, KeysArrivingOrLeavingKeepTheListsInStep) {
    TestEngine t;
    Emitter* e = AddBusyEmitter(t.engine, 0);
    t.clock.Advance(100);
    UpdateParticles(t.engine);
    ASSERT_GT(e->Particles.Count(), 0);
    EXPECT_EQ(e->Life.Count(), 0);
    e->Extras.Spin = 10.0f;
    t.clock.Advance(16);
    UpdateParticles(t.engine);
    EXPECT_EQ(e->Life.Count(), e->Particles.Count());
    e->Extras = ExtraParams{};
    t.clock.Advance(16);
    UpdateParticles(t.engine);
    EXPECT_EQ(e->Life.Count(), 0);
    e->Extras.Drag = 1.0f;
    t.clock.Advance(16);
    UpdateParticles(t.engine);
    SetDisable(e, 1, 1);
    EXPECT_EQ(e->Particles.Count(), 0);
    EXPECT_EQ(e->Life.Count(), 0);
}

TEST(ExtrasUpdateTest, WorkerThreadsGiveTheOneThreadParticles) {
    TestEngine one(11);
    TestEngine many(11);
    WorkerPool pool(3);
    many.engine.Workers = &pool;
    for (TestEngine* t : {&one, &many}) {
        for (int32_t i = 0; i < 30; ++i) {
            Emitter* e = AddBusyEmitter(t->engine, i % 6);
            SetValueSpec(e->EmissionRate, 1000.0f, 1000.0f, 1.0f);
            if (i % 3 == 0) e->Extras.Drag = 0.5f;
            if (i % 3 == 1) e->Extras.SpriteSheet = {2, 2, 4, 0.0f, 1};
        }
    }
    for (int32_t n = 0; n < 40; ++n) {
        one.clock.Advance(33);
        many.clock.Advance(33);
        UpdateParticles(one.engine);
        UpdateParticles(many.engine);
    }
    ListRewind(one.engine.Emitters);
    ListRewind(many.engine.Emitters);
    size_t total = 0;
    while (Emitter* a = ListNext(one.engine.Emitters)) {
        Emitter* b = ListNext(many.engine.Emitters);
        ASSERT_NE(b, nullptr);
        ASSERT_EQ(a->Particles.Count(), b->Particles.Count());
        ASSERT_EQ(a->Life.Count(), b->Life.Count());
        total += static_cast<size_t>(a->Particles.Count());
        const auto n = static_cast<size_t>(a->Particles.Count());
        if (n == 0) continue;
        EXPECT_EQ(std::memcmp(a->Particles.First(), b->Particles.First(), n * sizeof(Particle)), 0);
        if (a->Life.Count() != 0) {
            EXPECT_EQ(std::memcmp(a->Life.First(), b->Life.First(), n * sizeof(ParticleLife)), 0);
        }
    }
    EXPECT_GT(total, 16384u);  // enough for the pool to share the plain lists out
}

}  // namespace
}  // namespace pp
