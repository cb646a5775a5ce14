// Emitters, their value triples, the emission schedule and where and how particles are born.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <set>
#include <string_view>
#include <vector>

#include "engine_test_util.h"
#include "particles/particles.h"
#include "runtime/convert.h"
#include "tests/particles/params_test_util.h"

namespace pp {
namespace {

constexpr float kNaNf = std::numeric_limits<float>::quiet_NaN();
constexpr float kInff = std::numeric_limits<float>::infinity();

TEST(Emitter, CreationSetsEveryDefault) {
    TestEngine t;
    t.clock.Set(1234);
    Emitter* e = CreateEmitter(t.engine, 100, -200);
    // Written out in full from zero, so that no default is taken from the record itself.
    EmitterParams expected = ZeroParams();
    expected.PositionX = 100.0f;
    expected.PositionY = -200.0f;
    expected.EmissionAngle = {0.0f, 359.0f, 1.0f};
    expected.EmissionVelocity = {100.0f, 100.0f, 1.0f};
    expected.LifeTime = {3.0f, 3.0f, 1.0f};
    expected.EmissionRate = {100.0f, 100.0f, 1.0f};
    expected.Size = {32.0f, 32.0f, 1.0f};
    expected.Transparency = {255.0f, 255.0f, 1.0f};
    expected.BlendSource = 5;
    expected.BlendDestination = 6;
    EXPECT_EQ(e->Params(), expected);
    EXPECT_EQ(DefaultParamsAt(100, -200), expected);
    EXPECT_EQ(e->NextEmission, 1234);
    EXPECT_EQ(e->InheritedVelocity, nullptr);
    EXPECT_EQ(e->AngleOffset, 0.0f);
    EXPECT_EQ(t.engine.Emitters.Cursor(), e);
    // The field table drives inspect's output and the printers: every field once, in order.
    const char* next = reinterpret_cast<const char*>(&expected);
    std::set<std::string_view> names;
    VisitParamFields(expected, [&](std::string_view name, const auto& value) {
        EXPECT_EQ(reinterpret_cast<const char*>(&value), next) << name;
        next = reinterpret_cast<const char*>(&value) + sizeof value;
        EXPECT_TRUE(names.insert(name).second) << name << " twice";
    });
    EXPECT_EQ(next, reinterpret_cast<const char*>(&expected + 1));
}

// The setting rule: a Max of -65535 means Min, a step not above 0 (or NaN) means 1.
TEST(Emitter, SettingRuleAndSpriteRange) {
    const struct {
        float min, max, inc, wantMin, wantMax, wantInc;
    } rows[] = {{5, -65535, 0, 5, 5, 1},
                {5, 7, -2, 5, 7, 1},
                {1, 2, 0.5f, 1, 2, 0.5f},
                {-65535, -65535, 3, -65535, -65535, 3},
                {5, -65534.99f, 1, 5, -65534.99f, 1},
                {0, 1, kNaNf, 0, 1, 1}};
    for (const auto& r : rows) {
        ValueSpec spec{};
        SetValueSpec(spec, r.min, r.max, r.inc);
        EXPECT_EQ(spec, (ValueSpec{r.wantMin, r.wantMax, r.wantInc})) << r.min << " " << r.max;
    }
    TestEngine t;
    Emitter* e = CreateEmitter(t.engine, 0, 0);
    EXPECT_EQ(SetSpriteRange(e, 3, -65535, 0), 0);
    EXPECT_EQ(e->Sprite, (IntValueSpec{3, 3, 1}));
    EXPECT_EQ(SetSpriteRange(nullptr, 1, 1, 1), 0);
}

// Only disabling an enabled emitter with the discard flag drops its particles (and its array).
TEST(Emitter, SetDisableDiscardsOnlyWhenDisablingAnEnabledEmitter) {
    const struct {
        int32_t from, to, discard, kept;
    } rows[] = {{0, 2, 1, 5}, {1, 1, 1, 5}, {1, 0, 1, 5}, {0, 1, 0, 5}, {0, 1, 1, 0}};
    for (const auto& r : rows) {
        TestEngine t;
        Emitter* e = CreateEmitter(t.engine, 0, 0);
        for (int i = 0; i < 5; ++i) SpawnParticle(t.engine, *e);
        e->Disable = r.from;
        EXPECT_EQ(SetDisable(e, r.to, r.discard), 0);
        EXPECT_EQ(e->Disable, r.to);
        EXPECT_EQ(e->Particles.Count(), r.kept) << r.from << " -> " << r.to;
        EXPECT_EQ(e->Particles.BytesHeld() == 0u, r.kept == 0);
    }
}

// The values a triple yields: Min plus whole steps up to Max, the count truncated (in float,
// where 1 / 0.1 is exactly 10); every draw takes one generator step, whatever the triple.
TEST(Sampling, TriplesYieldWholeStepsFromMinAndTakeOneStepEach) {
    const struct {
        ValueSpec spec;
        int32_t count;
    } rows[] = {{{0, 10, 3}, 4}, {{0, 10, 6}, 2}, {{1.5f, 2.5f, 0.5f}, 3}, {{0, 359, 1}, 360},
                {{7, 7, 3}, 1},  {{7, 9, 5}, 1},  {{0, 0, 0}, 1},          {{0, 1, 0.1f}, 11}};
    TestEngine t;
    for (const auto& r : rows) {
        std::set<float> seen;
        for (int i = 0; i < 20000; ++i) {
            RandomGenerator twin = t.engine.Random;
            seen.insert(SampleValueSpec(t.engine, r.spec));
            RandomInt(twin, -1);
            ASSERT_EQ(RandomInt(twin, -1), RandomInt(t.engine.Random, -1));
        }
        std::set<float> expected;
        for (int32_t k = 0; k < r.count; ++k) {
            expected.insert(r.spec.Min + static_cast<float>(k) * r.spec.Inc);
        }
        EXPECT_EQ(seen, expected) << r.spec.Min << " " << r.spec.Max << " " << r.spec.Inc;
    }
    std::set<int32_t> ints;
    for (int i = 0; i < 2000; ++i) ints.insert(SampleValueSpec(t.engine, IntValueSpec{-3, 9, 4}));
    EXPECT_EQ(ints, (std::set<int32_t>{-3, 1, 5, 9}));
    // Hostile triples from a malformed file: some value, one step, no undefined behaviour.
    const ValueSpec hostile[] = {{kNaNf, 1, 1},      {0, kNaNf, 1},      {0, kInff, 1},
                                 {-kInff, kInff, 1}, {0, 1e30f, 1e-30f}, {0, 1, kNaNf},
                                 {5, -5, 1},         {0, 3e9f, 1}};
    for (const ValueSpec& s : hostile) {
        RandomGenerator twin = t.engine.Random;
        SampleValueSpec(t.engine, s);
        RandomInt(twin, -1);
        EXPECT_EQ(RandomInt(t.engine.Random, -1), RandomInt(twin, -1));
    }
    for (const IntValueSpec& s :
         {IntValueSpec{INT32_MIN, INT32_MAX, 1}, IntValueSpec{INT32_MAX, INT32_MIN, 1},
          IntValueSpec{INT32_MAX, INT32_MAX, INT32_MAX}, IntValueSpec{0, 100, INT32_MIN}}) {
        SampleValueSpec(t.engine, s);
    }
}

// The interval is 1000 / rate rounded half to even, at least 1 ms (not above 0, NaN and huge
// rates included) and at most 2^30 ms; the backlog is capped at one second.
TEST(Emission, IntervalsRoundAndTheBacklogIsCapped) {
    const struct {
        float rate;
        int32_t interval;
    } rows[] = {{100, 10}, {3, 333},   {600, 2},   {1500, 1}, {0, 1},
                {-5, 1},   {kNaNf, 1}, {kInff, 1}, {400, 2},  {1e-30f, 1 << 30}};
    for (const auto& r : rows) {
        TestEngine t;
        Emitter* e = CreateEmitter(t.engine, 0, 0);
        SetValueSpec(e->EmissionRate, r.rate, -65535.0f, 1.0f);
        const int32_t start = e->NextEmission;
        t.clock.Advance(1);
        EmitDueParticles(t.engine, *e, static_cast<int32_t>(t.clock.Now()));
        EXPECT_EQ(e->Particles.Count(), 1);
        EXPECT_EQ(e->NextEmission, start + r.interval) << r.rate;
    }
    TestEngine t;
    Emitter* e = CreateEmitter(t.engine, 0, 0);
    t.clock.Advance(5000);
    EmitDueParticles(t.engine, *e, static_cast<int32_t>(t.clock.Now()));
    EXPECT_EQ(e->Particles.Count(), 100);
}

// A disabled emitter spawns nothing and keeps its schedule at the clock: no burst on resuming.
TEST(Emission, DisabledEmitterResumesWithoutBurst) {
    TestEngine t;
    Emitter* e = CreateEmitter(t.engine, 0, 0);
    SetDisable(e, 1, 0);
    for (int i = 0; i < 5; ++i) {
        t.clock.Advance(300);
        EmitDueParticles(t.engine, *e, static_cast<int32_t>(t.clock.Now()));
    }
    EXPECT_EQ(e->Particles.Count(), 0);
    SetDisable(e, 0, 0);
    t.clock.Advance(10);
    EmitDueParticles(t.engine, *e, static_cast<int32_t>(t.clock.Now()));
    EXPECT_EQ(e->Particles.Count(), 1);
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
    const int32_t sprite = 1 + RandomInt(twin, 2);
    const float size = 10.0f + static_cast<float>(RandomInt(twin, 5)) * 2.0f;
    const float o1 = static_cast<float>(RandomInt(twin, 40)) - 20.0f;
    const float o2 = static_cast<float>(RandomInt(twin, 10)) - 5.0f;
    const float theta = static_cast<float>(RandomInt(twin, 359)) + 12.5f;
    const float speed = 50.0f + static_cast<float>(RandomInt(twin, 20)) * 5.0f;
    const float transparency = 100.0f + static_cast<float>(RandomInt(twin, 10)) * 10.0f;
    const float life = 1.0f + static_cast<float>(RandomInt(twin, 4)) * 0.25f;
    const float rotation = -3.0f + static_cast<float>(RandomInt(twin, 6));
    const float c = std::cos(0.5f);
    const float s = std::sin(0.5f);
    const float radians = theta * 3.1415927f / 180.0f;
    const Particle expected{sprite,
                            size,
                            10.0f + o1 * c - o2 * s,
                            20.0f + o1 * s + o2 * c,
                            std::cos(radians) * speed + 3.0f,
                            std::sin(radians) * speed - 4.0f,
                            transparency,
                            777 + RoundToInt(life * 1000.0f),
                            theta,
                            rotation};
    EXPECT_EQ(std::memcmp(e->Particles.Last(), &expected, sizeof expected), 0);
    EXPECT_EQ(RandomInt(t.engine.Random, -1), RandomInt(twin, -1));
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

// Every shape's births stay inside it, in the area's own axes (turned by `turn`), and reach its
// edges; zero lengths give the position; hostile lengths give defined results.
TEST(Area, BirthsFillTheirShape) {
    const struct {
        int32_t type;
        float w, h, angle, turn, halfU, halfV;
        bool round;
    } rows[] = {{0, 50, 50, 0.7f, 0, 0, 0, false},  {1, 100, 0, 0, 0, 50, 0, false},
                {1, 0, 0, 0.7f, 0, 0, 0, false},    {2, 60, 999, 0.3f, 0.3f, 30, 30, false},
                {3, 80, 0, 0, 0, 40, 0, false},     {3, 80, 30, 0.9f, 0.9f, 40, 15, false},
                {4, 100, 0, 1.0f, 0, 50, 50, true}, {5, 200, 100, 1.0f, 0, 100, 50, true},
                {5, 0, 80, 0, 0, 0, 40, false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << "type " << r.type << " " << r.w << "x" << r.h);
        TestEngine t;
        Emitter* e = CreateEmitter(t.engine, 300, 200);
        e->AreaType = r.type;
        e->AreaWidth = r.w;
        e->AreaHeight = r.h;
        e->AreaAngle = r.angle;
        float maxU = 0.0f;
        float maxV = 0.0f;
        int inner = 0;
        for (int i = 0; i < 20000; ++i) {
            SpawnParticle(t.engine, *e);
            const float x = e->Particles.Last()->X - 300.0f;
            const float y = e->Particles.Last()->Y - 200.0f;
            const float u = std::fabs(x * std::cos(r.turn) + y * std::sin(r.turn));
            const float v = std::fabs(-x * std::sin(r.turn) + y * std::cos(r.turn));
            ASSERT_LE(u, r.halfU + 1e-3f);
            ASSERT_LE(v, r.halfV + 1e-3f);
            if (r.round) {
                ASSERT_LE(u * u / (r.halfU * r.halfU) + v * v / (r.halfV * r.halfV), 1.0001f);
            }
            maxU = std::max(maxU, u);
            maxV = std::max(maxV, v);
            inner += std::hypot(u, v) <= r.halfU / 2;
        }
        EXPECT_GE(maxU, r.halfU * 0.95f);
        EXPECT_GE(maxV, r.halfV * 0.95f);
        if (r.type == 4) {
            EXPECT_NEAR(inner / 20000.0, 0.5, 0.02) << "radii even along 0..50";
        }
    }
    for (int32_t type = 0; type <= 5; ++type) {
        for (const float w : {-10.0f, kNaNf, kInff, -kInff, 3e9f}) {
            TestEngine t;
            Emitter* e = CreateEmitter(t.engine, 300, 200);
            e->AreaType = type;
            e->AreaWidth = w;
            e->AreaHeight = -w;
            e->AreaAngle = w;
            for (int i = 0; i < 10; ++i) SpawnParticle(t.engine, *e);
            EXPECT_EQ(e->Particles.Count(), 10);
        }
    }
}

}  // namespace
}  // namespace pp
