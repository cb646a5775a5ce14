#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <vector>

#include "engine_test_util.h"
#include "particles/particles.h"
#include "runtime/convert.h"

namespace pp {
namespace {

constexpr float kPi = 3.1415927f;

// Spawn counts of successive schedule calls stepping the clock by stepMs.
std::vector<int32_t> CountsPerStep(TestEngine& t, Emitter& e, uint32_t stepMs, int steps) {
    std::vector<int32_t> counts;
    for (int i = 0; i < steps; ++i) {
        t.clock.Advance(stepMs);
        int32_t before = e.Particles.Count();
        EmitDueParticles(t.engine, e, static_cast<int32_t>(t.clock.Now()));
        counts.push_back(e.Particles.Count() - before);
    }
    return counts;
}

TEST(Emission, DefaultRateGivesOnePerTenMillisecondsAndFivePerFifty) {
    TestEngine t;
    Emitter* e = CreateEmitter(t.engine, 0, 0);
    EXPECT_EQ(CountsPerStep(t, *e, 10, 20), std::vector<int32_t>(20, 1));
    EXPECT_EQ(CountsPerStep(t, *e, 50, 20), std::vector<int32_t>(20, 5));
}

TEST(Emission, BacklogIsCappedAtOneSecond) {
    TestEngine t;
    Emitter* e = CreateEmitter(t.engine, 0, 0);
    t.clock.Advance(5000);
    EmitDueParticles(t.engine, *e, static_cast<int32_t>(t.clock.Now()));
    EXPECT_EQ(e->Particles.Count(), 100);
    // All born at the emitter position at the same moment: same death time.
    for (const Particle& p : ParticlesOf(*e)) {
        EXPECT_EQ(p.X, 0.0f);
        EXPECT_EQ(p.DeathTime, static_cast<int32_t>(t.clock.Now()) + 3000);
    }
}

struct RateRow {
    float rate;
    int32_t interval;
};

class EmissionIntervalTest : public ::testing::TestWithParam<RateRow> {};

TEST_P(EmissionIntervalTest, NextEmissionAdvancesByRoundedInterval) {
    TestEngine t;
    Emitter* e = CreateEmitter(t.engine, 0, 0);
    SetValueSpec(e->EmissionRate, GetParam().rate, -65535.0f, 1.0f);
    int32_t start = e->NextEmission;
    t.clock.Advance(1);
    EmitDueParticles(t.engine, *e, static_cast<int32_t>(t.clock.Now()));
    EXPECT_EQ(e->Particles.Count(), 1);
    EXPECT_EQ(e->NextEmission, start + GetParam().interval) << GetParam().rate;
}

constexpr float kNaNf = std::numeric_limits<float>::quiet_NaN();
constexpr float kInff = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Emission, EmissionIntervalTest,
    ::testing::Values(RateRow{100, 10}, RateRow{3, 333}, RateRow{1500, 1}, RateRow{2500, 1},
                      RateRow{0, 1}, RateRow{-5, 1}, RateRow{kNaNf, 1}, RateRow{kInff, 1},
                      // 1000 / 400 = 2.5 rounds to the even 2.
                      RateRow{400, 2},
                      // Tiny rates are clamped to 2^30 ms instead of overflowing.
                      RateRow{1e-30f, 1 << 30}, RateRow{1e-7f, 1 << 30}));

TEST(Emission, HighRatesGiveAtMostOneParticlePerMillisecond) {
    TestEngine t;
    Emitter* e = CreateEmitter(t.engine, 0, 0);
    SetValueSpec(e->EmissionRate, 2500, -65535, 1);
    EXPECT_EQ(CountsPerStep(t, *e, 16, 10), std::vector<int32_t>(10, 16));
}

TEST(Emission, TinyRateEmitsOnceAndThenWaits) {
    TestEngine t;
    Emitter* e = CreateEmitter(t.engine, 0, 0);
    SetValueSpec(e->EmissionRate, 1e-30f, -65535, 1);
    auto counts = CountsPerStep(t, *e, 1000, 100);
    EXPECT_EQ(counts[0], 1);
    for (size_t i = 1; i < counts.size(); ++i) EXPECT_EQ(counts[i], 0);
}

TEST(Emission, DisabledEmitterSpawnsNothingAndResumesWithoutBurst) {
    TestEngine t;
    Emitter* e = CreateEmitter(t.engine, 0, 0);
    SetDisable(e, 1, 0);
    EXPECT_EQ(CountsPerStep(t, *e, 300, 5), std::vector<int32_t>(5, 0));
    EXPECT_EQ(e->NextEmission, static_cast<int32_t>(t.clock.Now()));
    SetDisable(e, 0, 0);
    EXPECT_EQ(CountsPerStep(t, *e, 10, 3), std::vector<int32_t>(3, 1));
}

TEST(Emission, ScheduleKeepsItsPaceAcrossTheClockWrap) {
    TestEngine t(1, 0xFFFFFF00u);
    Emitter* e = CreateEmitter(t.engine, 0, 0);
    EXPECT_EQ(CountsPerStep(t, *e, 50, 20), std::vector<int32_t>(20, 5));
    // And across the signed wrap at 2^31.
    t.clock.Set(0x7FFFFF00u);
    EmitDueParticles(t.engine, *e, static_cast<int32_t>(t.clock.Now()));  // capped backlog
    EXPECT_EQ(CountsPerStep(t, *e, 50, 20), std::vector<int32_t>(20, 5));
}

// Replays the spawn's draws on a twin generator, in their fixed order, and compares every
// field bit for bit: sprite, size, area draws, angle, speed, transparency, life, rotation.
TEST(Spawn, DrawsComeInTheFixedOrder) {
    TestEngine t(4242);
    t.clock.Set(777);
    Emitter* e = CreateEmitter(t.engine, 10, 20);
    e->AreaType = 3;
    e->AreaWidth = 40.0f;
    e->AreaHeight = 10.0f;
    e->AreaAngle = 0.5f;
    SetSpriteRange(e, 1, 3, 1);
    SetValueSpec(e->Size, 10, 20, 2);
    SetValueSpec(e->EmissionVelocity, 50, 150, 5);
    SetValueSpec(e->Transparency, 100, 200, 10);
    SetValueSpec(e->LifeTime, 1, 2, 0.25f);
    SetValueSpec(e->Rotation, -3, 3, 1);
    e->AngleOffset = 12.5f;
    const float inherited[2] = {3.0f, -4.0f};
    e->InheritedVelocity = inherited;

    RandomGenerator twin = t.engine.Random;
    SpawnParticle(t.engine, *e);
    const Particle& p = *e->Particles.Last();

    int32_t sprite = 1 + RandomInt(twin, 2);
    float size = 10.0f + static_cast<float>(RandomInt(twin, 5)) * 2.0f;
    float o1 = static_cast<float>(RandomInt(twin, 40)) - 20.0f;
    float o2 = static_cast<float>(RandomInt(twin, 10)) - 5.0f;
    float theta = static_cast<float>(RandomInt(twin, 359)) + 12.5f;
    float speed = 50.0f + static_cast<float>(RandomInt(twin, 20)) * 5.0f;
    float transparency = 100.0f + static_cast<float>(RandomInt(twin, 10)) * 10.0f;
    float life = 1.0f + static_cast<float>(RandomInt(twin, 4)) * 0.25f;
    float rotation = -3.0f + static_cast<float>(RandomInt(twin, 6));
    float c = std::cos(0.5f);
    float s = std::sin(0.5f);
    float radians = theta * kPi / 180.0f;

    EXPECT_EQ(p.Sprite, sprite);
    EXPECT_EQ(p.Size, size);
    EXPECT_EQ(p.X, 10.0f + o1 * c - o2 * s);
    EXPECT_EQ(p.Y, 20.0f + o1 * s + o2 * c);
    EXPECT_EQ(p.VelocityX, std::cos(radians) * speed + 3.0f);
    EXPECT_EQ(p.VelocityY, std::sin(radians) * speed - 4.0f);
    EXPECT_EQ(p.Transparency, transparency);
    EXPECT_EQ(p.DeathTime, 777 + RoundToInt(life * 1000.0f));
    EXPECT_EQ(p.Angle, theta);
    EXPECT_EQ(p.RotationStep, rotation);
    EXPECT_EQ(RandomInt(t.engine.Random, -1), RandomInt(twin, -1));
}

TEST(Spawn, DefaultParticleFliesAtSpeed100InAWholeDegreeDirection) {
    TestEngine t;
    Emitter* e = CreateEmitter(t.engine, 0, 0);
    std::set<float> angles;
    for (int i = 0; i < 3000; ++i) {
        SpawnParticle(t.engine, *e);
        const Particle& p = *e->Particles.Last();
        EXPECT_EQ(p.Angle, std::floor(p.Angle));
        float radians = p.Angle * kPi / 180.0f;
        EXPECT_EQ(p.VelocityX, std::cos(radians) * 100.0f);
        EXPECT_EQ(p.VelocityY, std::sin(radians) * 100.0f);
        EXPECT_NEAR(std::hypot(p.VelocityX, p.VelocityY), 100.0f, 1e-3f);
        EXPECT_EQ(p.Size, 32.0f);
        EXPECT_EQ(p.Transparency, 255.0f);
        EXPECT_EQ(p.RotationStep, 0.0f);
        EXPECT_EQ(p.Sprite, 0);
        angles.insert(p.Angle);
    }
    EXPECT_EQ(angles.size(), 360u);
}

TEST(Spawn, DeathTimeKeepsMillisecondsAtLargeClockReadings) {
    TestEngine t(1, (1u << 25) + 1u);  // a float sum would round to even thousands here
    Emitter* e = CreateEmitter(t.engine, 0, 0);
    SetValueSpec(e->LifeTime, 0.001f, -65535, 1);
    SpawnParticle(t.engine, *e);
    EXPECT_EQ(e->Particles.Last()->DeathTime, (1 << 25) + 2);
    SetValueSpec(e->LifeTime, 3, -65535, 1);
    t.clock.Set(0x7FFFFFFFu);  // the death time wraps past the signed range
    SpawnParticle(t.engine, *e);
    EXPECT_EQ(e->Particles.Last()->DeathTime, WrapAdd(INT32_MAX, 3000));
}

struct Point {
    float x, y;
};

std::vector<Point> SpawnPoints(Emitter& e, Engine& engine, int count) {
    std::vector<Point> points;
    for (int i = 0; i < count; ++i) {
        SpawnParticle(engine, e);
        points.push_back(
            {e.Particles.Last()->X - e.PositionX, e.Particles.Last()->Y - e.PositionY});
    }
    return points;
}

Emitter* AreaEmitter(TestEngine& t, int32_t type, float w, float h, float angle) {
    Emitter* e = CreateEmitter(t.engine, 300, 200);
    e->AreaType = type;
    e->AreaWidth = w;
    e->AreaHeight = h;
    e->AreaAngle = angle;
    return e;
}

TEST(Area, AllZeroLengthsEmitFromThePositionWhateverTheType) {
    for (int32_t type = 0; type <= 5; ++type) {
        TestEngine t;
        Emitter* e = AreaEmitter(t, type, 0, 0, 0.7f);
        for (const Point& p : SpawnPoints(*e, t.engine, 50)) {
            EXPECT_EQ(p.x, 0.0f) << "type " << type;
            EXPECT_EQ(p.y, 0.0f) << "type " << type;
        }
    }
}

TEST(Area, LineAtAngleZeroCoversWholePixelOffsets) {
    TestEngine t;
    Emitter* e = AreaEmitter(t, 1, 100, 0, 0);
    std::set<float> xs;
    for (const Point& p : SpawnPoints(*e, t.engine, 5000)) {
        EXPECT_EQ(p.y, 0.0f);
        xs.insert(p.x);
    }
    EXPECT_EQ(xs.size(), 101u);
    EXPECT_EQ(*xs.begin(), -50.0f);
    EXPECT_EQ(*xs.rbegin(), 50.0f);
}

TEST(Area, TurnedSquareStaysInsideItsSides) {
    TestEngine t;
    const float a = 0.3f;
    Emitter* e = AreaEmitter(t, 2, 60, 999, a);  // a square ignores the height
    for (const Point& p : SpawnPoints(*e, t.engine, 2000)) {
        // Back into the square's own axes.
        float u = p.x * std::cos(a) + p.y * std::sin(a);
        float v = -p.x * std::sin(a) + p.y * std::cos(a);
        EXPECT_LE(std::fabs(u), 30.0f + 1e-3f);
        EXPECT_LE(std::fabs(v), 30.0f + 1e-3f);
    }
}

TEST(Area, RectangleWithZeroHeightEmitsAlongASegment) {
    TestEngine t;
    Emitter* e = AreaEmitter(t, 3, 80, 0, 0);
    std::set<float> xs;
    for (const Point& p : SpawnPoints(*e, t.engine, 3000)) {
        EXPECT_EQ(p.y, 0.0f);
        xs.insert(p.x);
    }
    EXPECT_EQ(xs.size(), 81u);
}

TEST(Area, CircleCrowdsTowardsTheCentre) {
    TestEngine t;
    Emitter* e = AreaEmitter(t, 4, 100, 0, 1.0f);
    int inner = 0;
    const int n = 20000;
    for (const Point& p : SpawnPoints(*e, t.engine, n)) {
        float r = std::hypot(p.x, p.y);
        EXPECT_LE(r, 50.0f + 1e-3f);
        if (r <= 25.0f + 1e-3f) ++inner;
    }
    // Radii are even along 0..50, so about half lie within 25.
    EXPECT_NEAR(static_cast<double>(inner) / n, 0.5, 0.02);
}

TEST(Area, EllipseStaysInsideItsAxes) {
    TestEngine t;
    Emitter* e = AreaEmitter(t, 5, 200, 100, 1.0f);  // the angle is ignored
    float minX = 0.0f;
    float maxX = 0.0f;
    for (const Point& p : SpawnPoints(*e, t.engine, 20000)) {
        float dx = p.x / 100.0f;
        float dy = p.y / 50.0f;
        EXPECT_LE(dx * dx + dy * dy, 1.0f + 1e-4f);
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
    }
    EXPECT_LT(minX, -95.0f);
    EXPECT_GT(maxX, 95.0f);
}

TEST(Area, TallEllipseDrawsAlongItsHeight) {
    TestEngine t;
    Emitter* e = AreaEmitter(t, 5, 0, 80, 0);
    for (const Point& p : SpawnPoints(*e, t.engine, 2000)) {
        EXPECT_EQ(p.x, 0.0f);
        EXPECT_LE(std::fabs(p.y), 40.0f + 1e-3f);
    }
}

// Negative or non-finite lengths come from hostile files: defined results, no hang, no UB.
TEST(Area, HostileLengthsAreDefined) {
    const float bad[] = {-10.0f, kNaNf, kInff, -kInff, 3e9f};
    for (int32_t type = 0; type <= 5; ++type) {
        for (float w : bad) {
            TestEngine t;
            Emitter* e = AreaEmitter(t, type, w, -w, w);
            SpawnPoints(*e, t.engine, 10);
            EXPECT_EQ(e->Particles.Count(), 10);
        }
    }
}

}  // namespace
}  // namespace pp
