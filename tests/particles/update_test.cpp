// The update: a differential against the plain computation, the rules no random case pins,
// the clock wrap, and the golden hash of a seeded scene.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine_test_util.h"
#include "particles/particles.h"
#include "runtime/convert.h"

namespace pp {
namespace {

// A disabled emitter with hand-made particles, so that only the update acts on them.
struct Fixture {
    TestEngine t;
    Emitter* e;
    Fixture() {
        e = CreateEmitter(t.engine, 0, 0);
        SetDisable(e, 1, 0);
        UpdateParticles(t.engine);  // the first update sets LastUpdateTime
    }
    Particle& Add(float size = 32.0f, float transparency = 255.0f, int32_t deathTime = 1 << 30) {
        ListRewind(e->Particles);
        while (ListNext(e->Particles) != nullptr) {
        }
        Particle* p = ListInsert(e->Particles);
        p->Size = size;
        p->Transparency = transparency;
        p->DeathTime = deathTime;
        return *p;
    }
    float Step(uint32_t ms) {
        t.clock.Advance(ms);
        return UpdateParticles(t.engine);
    }
};

// The first update has a frame time of 0 but still spins; particles born too small or faint
// die in the update that bore them.
TEST(Update, FirstUpdateAndBirthUpdate) {
    TestEngine t;
    Emitter* e = CreateEmitter(t.engine, 50, 60);
    SetValueSpec(e->Rotation, 2, -65535, 1);
    Emitter* small = CreateEmitter(t.engine, 0, 0);
    SetValueSpec(small->Size, 0.5f, 0.5f, 1.0f);
    Emitter* faint = CreateEmitter(t.engine, 0, 0);
    SetValueSpec(faint->Transparency, 0.5f, 0.5f, 1.0f);
    t.clock.Advance(20);
    EXPECT_EQ(UpdateParticles(t.engine), 0.0f);
    EXPECT_EQ(t.engine.LastUpdateTime, static_cast<int32_t>(t.clock.Now()));
    const std::vector<Particle> ps = ParticlesOf(*e);
    ASSERT_EQ(ps.size(), 2u);  // 20 ms of backlog at 100 per second
    EXPECT_EQ(ps[0].X, 50.0f);
    EXPECT_EQ(std::fmod(ps[0].Angle, 1.0f), 0.0f);  // whole degrees + 2
    EXPECT_EQ(small->Particles.Count() + faint->Particles.Count(), 0);
}

// The update as plainly written, one field after the other, with the documented death rule.
bool PlainAdvance(Particle& p, float dt, const Emitter& e, int32_t now) {
    const float vx = p.VelocityX;
    const float vy = p.VelocityY;
    p.X = p.X + dt * vx;
    p.Y = p.Y + dt * vy;
    p.VelocityX = vx + dt * e.AccelerationX;
    p.VelocityY = vy + dt * e.AccelerationY;
    p.Size = p.Size + dt * e.Raise;
    p.Angle = p.Angle + p.RotationStep;
    p.Transparency = p.Transparency + dt * e.Fade;
    return ClockDiff(now, p.DeathTime) > 0 || p.Size < 1.0f || p.Transparency < 1.0f ||
           !ParticleStateIsFinite(p);
}

float FromBits(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// Every field drawn from edge values (zeros of both signs, the death thresholds and their
// neighbours, denormals, huge values, infinities, NaN; integers whose bits read as NaN or
// denormal floats), under emitters with ordinary and hostile motion: the survivors must be
// bit for bit those of the plain update, in the same order.
TEST(Update, EdgeValuesGiveThePlainUpdateBitForBit) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float floats[] = {
        0.0f,  -0.0f,  1.0f,    0.99999994f, 1.0000001f, 255.0f, -3.5f,
        16.5f, 1e-40f, -1e-40f, 1e30f,       -1e30f,     3e38f,  -3e38f,
        inf,   -inf,   nan,     400.0f,      2.0e7f,     0.125f, FromBits(0x7F800001u)};
    const int32_t ints[] = {0,          1,          -1,          INT32_MIN, INT32_MAX,
                            0x7FC00000, 0x00000001, -0x00400000, 5,         1000};
    struct Motion {
        float Ax, Ay, Raise, Fade;
    };
    const Motion motions[] = {{0.0f, 10.0f, 0.0f, 0.0f},
                              {-3.0f, 50.0f, -22.0f, -110.0f},
                              {1e38f, -1e38f, 3e38f, -3e38f},
                              {inf, 0.0f, -inf, 0.0f},
                              {0.0f, nan, 0.0f, nan}};
    std::mt19937 random(7);
    auto anyFloat = [&] { return floats[random() % std::size(floats)]; };
    auto anyInt = [&] { return ints[random() % std::size(ints)]; };
    for (uint32_t stepMs : {0u, 16u, 1000u}) {
        for (const Motion& motion : motions) {
            Fixture f;
            f.e->AccelerationX = motion.Ax;
            f.e->AccelerationY = motion.Ay;
            f.e->Raise = motion.Raise;
            f.e->Fade = motion.Fade;
            const int32_t now =
                WrapAdd(static_cast<int32_t>(f.t.clock.Now()), static_cast<int32_t>(stepMs));
            const int32_t deaths[] = {now - 1, now, now + 1, INT32_MIN, INT32_MAX, 1 << 30};
            std::vector<Particle> expected;
            for (int i = 0; i < 3000; ++i) {
                // Mostly plain particles with one or two edge fields, so that many survive.
                Particle p{anyInt(), 32.0f,  100.0f,  200.0f, 20.0f,
                           -5.0f,    200.0f, 1 << 30, 10.0f,  2.0f};
                float* fields[] = {&p.Size,      &p.X,           &p.Y,
                                   &p.VelocityX, &p.VelocityY,   &p.Transparency,
                                   &p.Angle,     &p.RotationStep};
                for (int k = static_cast<int>(random() % 3); k > 0; --k) {
                    *fields[random() % std::size(fields)] = anyFloat();
                }
                if (random() % 4 == 0) p.DeathTime = deaths[random() % std::size(deaths)];
                f.Add() = p;
                if (!PlainAdvance(p, static_cast<float>(stepMs) * 0.001f, *f.e, now)) {
                    expected.push_back(p);
                }
            }
            f.Step(stepMs);
            const std::vector<Particle> got = ParticlesOf(*f.e);
            ASSERT_EQ(got.size(), expected.size())
                << "step " << stepMs << " raise " << motion.Raise;
            // Huge, infinite or NaN motion ends most particles; ordinary motion keeps most.
            if (&motion < motions + 2) {
                EXPECT_GT(got.size(), 1000u) << "step " << stepMs << " raise " << motion.Raise;
            }
            for (size_t i = 0; i < got.size(); ++i) {
                ASSERT_EQ(std::memcmp(&got[i], &expected[i], sizeof(Particle)), 0)
                    << "survivor " << i << " step " << stepMs << " raise " << motion.Raise;
            }
        }
    }
}

TEST(Update, AutoRemoveTakesOutAnEmitterAfterAnUpdateWithoutParticles) {
    TestEngine t;
    Emitter* keep = CreateEmitter(t.engine, 0, 0);
    SetDisable(keep, 1, 0);
    Emitter* gone = CreateEmitter(t.engine, 0, 0);
    SetValueSpec(gone->LifeTime, 0.05f, -65535, 1);
    Emitter* last = CreateEmitter(t.engine, 0, 0);
    SetDisable(last, 1, 0);
    UpdateParticles(t.engine);
    gone->AutoRemove = 1;
    t.clock.Advance(20);
    UpdateParticles(t.engine);
    EXPECT_EQ(gone->AutoRemove, 1);  // met particles: back to 1, stays
    EXPECT_EQ(t.engine.Emitters.Count(), 3);
    SetDisable(gone, 1, 0);
    for (int i = 0; i < 10 && t.engine.Emitters.Count() == 3; ++i) {
        t.clock.Advance(20);
        UpdateParticles(t.engine);
    }
    EXPECT_EQ(t.engine.Emitters.Count(), 2);
    std::vector<Emitter*> order;
    ListRewind(t.engine.Emitters);
    while (Emitter* e = ListNext(t.engine.Emitters)) order.push_back(e);
    EXPECT_EQ(order, (std::vector<Emitter*>{keep, last}));
}

// The clock passes 2^31 after 24.8 days and wraps to 0 after 49.7; readings are int32 compared
// by signed differences, so neither may show. A point emitter with one particle per frame step
// and a lifetime of 50 steps holds 51 once steady; each case crosses its wrap after 100 frames.
TEST(ClockWrap, EmissionLifetimeAndFrameTimeDoNotNoticeTheWrap) {
    const struct {
        uint32_t start, stepMs;
    } cases[] = {
        {0x80000000u - 1000u, 10}, {0u - 1000u, 10}, {0u - 1700u, 17}, {0x80000000u - 1700u, 17}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.start << " step " << c.stepMs);
        TestEngine t(5, c.start);
        Emitter* e = CreateEmitter(t.engine, 10, 20);
        const auto step = static_cast<float>(c.stepMs);
        SetValueSpec(e->EmissionRate, 1000.0f / step, -65535.0f, 1.0f);
        SetValueSpec(e->LifeTime, 50.0f * step / 1000.0f, -65535.0f, 1.0f);
        for (int frame = 1; frame <= 200; ++frame) {
            t.clock.Advance(c.stepMs);
            const float dt = UpdateParticles(t.engine);
            const auto now = static_cast<int32_t>(t.clock.Now());
            ASSERT_EQ(dt, frame > 1 ? step * 0.001f : 0.0f) << frame;
            ASSERT_EQ(e->Particles.Count(), std::min(frame, 51)) << frame;
            if (frame <= 51) continue;
            // Steady: the oldest at the end of its life, the newest at its start, the next due now.
            ASSERT_EQ(ClockDiff(e->Particles.First()->DeathTime, now), 0) << frame;
            ASSERT_EQ(ClockDiff(e->Particles.Last()->DeathTime, now), 50 * int32_t(c.stepMs))
                << frame;
            ASSERT_EQ(e->NextEmission, now) << frame;
        }
    }
    // The very first update may fall on the reading 0; the next still measures the step.
    TestEngine t(5, 0u - 16u);
    t.clock.Advance(16);
    EXPECT_EQ(UpdateParticles(t.engine), 0.0f);
    t.clock.Advance(16);
    EXPECT_EQ(UpdateParticles(t.engine), 0.016f);
}

// The engine's numbers must never drift: a fixed seed and clock give the same particles, bit for
// bit, on every build. One emitter per area shape with parameters that exercise every field,
// irregular frame times with long stalls; FNV-1a over the frame times, schedules and particles.
TEST(Determinism, SeededSceneHashesToTheRecordedValue) {
    TestEngine t(20240601u, 5000);
    const float widths[] = {0, 120, 50, 90, 100, 160};
    const float heights[] = {0, 0, 0, 30, 0, 70};
    for (int32_t type = 0; type <= 5; ++type) {
        Emitter* e = CreateEmitter(t.engine, 100 + 110 * type, 300 - 20 * type);
        e->AreaType = type;
        e->AreaWidth = widths[type];
        e->AreaHeight = heights[type];
        e->AreaAngle = 0.35f * static_cast<float>(type);
        SetValueSpec(e->EmissionAngle, -30.0f + 10.0f * type, 210.0f, 7.5f);
        SetValueSpec(e->EmissionVelocity, 40, 180, 3.3f);
        e->AccelerationX = 5.5f * type - 10.0f;
        e->AccelerationY = 98.1f;
        SetValueSpec(e->LifeTime, 0.4f, 2.3f, 0.1f);
        SetValueSpec(e->EmissionRate, 20.0f + 45.0f * type, 400, 17);
        SetSpriteRange(e, 1, 4, 1);
        SetValueSpec(e->Size, 6, 48, 1.5f);
        e->Raise = type % 2 == 0 ? -9.0f : 4.25f;
        SetValueSpec(e->Rotation, -4, 4, 0.5f);
        SetValueSpec(e->Transparency, 120, 255, 5);
        e->Fade = -80.0f - 10.0f * type;
    }
    uint64_t h = 0xCBF29CE484222325ull;
    auto add = [&h](const void* data, size_t size) {
        for (size_t i = 0; i < size; ++i) {
            h = (h ^ static_cast<const unsigned char*>(data)[i]) * 0x100000001B3ull;
        }
    };
    const uint32_t steps[] = {16, 17, 16, 33, 5, 16, 1, 250, 16, 0, 16, 1200, 17};
    for (int u = 0; u < 400; ++u) {
        t.clock.Advance(steps[u % std::size(steps)]);
        const float dt = UpdateParticles(t.engine);
        add(&dt, sizeof dt);
        ListRewind(t.engine.Emitters);
        while (Emitter* e = ListNext(t.engine.Emitters)) {
            const int32_t count = e->Particles.Count();
            add(&e->NextEmission, sizeof e->NextEmission);
            add(&count, sizeof count);
            for (const Particle& p : ParticlesOf(*e)) add(&p, sizeof p);
        }
    }
    EXPECT_EQ(h, 0x98DE336466F46921ull) << "actual hash: 0x" << std::hex << h;
}

}  // namespace
}  // namespace pp
