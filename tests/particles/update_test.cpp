#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
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

TEST(Update, FirstUpdateInOneMillisecondHasZeroFrameTimeButSpins) {
    TestEngine t;
    Emitter* e = CreateEmitter(t.engine, 50, 60);
    SetValueSpec(e->Rotation, 2, -65535, 1);
    t.clock.Advance(20);
    EXPECT_EQ(UpdateParticles(t.engine), 0.0f);
    EXPECT_EQ(t.engine.LastUpdateTime, static_cast<int32_t>(t.clock.Now()));
    std::vector<Particle> ps = ParticlesOf(*e);
    ASSERT_EQ(ps.size(), 2u);  // 20 ms of backlog at 100 per second
    for (const Particle& p : ps) {
        EXPECT_EQ(p.X, 50.0f);
        EXPECT_EQ(p.Y, 60.0f);
        EXPECT_EQ(p.Size, 32.0f);
        EXPECT_EQ(p.Transparency, 255.0f);
        EXPECT_EQ(std::fmod(p.Angle, 1.0f), 0.0f);  // whole degrees + 2
    }
}

TEST(Update, SixteenMillisecondsMoveAndAccelerateByEuler) {
    Fixture f;
    f.e->AccelerationY = 50.0f;
    Particle& added = f.Add();
    added.X = 10.0f;
    added.VelocityX = 100.0f;
    added.VelocityY = 20.0f;
    float dt = f.Step(16);
    EXPECT_EQ(dt, 16.0f * 0.001f);
    const Particle& p = *f.e->Particles.First();  // an update may move the records
    EXPECT_EQ(p.X, 10.0f + dt * 100.0f);
    EXPECT_NEAR(p.X, 11.6f, 1e-5f);
    EXPECT_EQ(p.Y, dt * 20.0f);  // the old velocity moves the particle
    EXPECT_EQ(p.VelocityY, 20.0f + dt * 50.0f);
    EXPECT_NEAR(p.VelocityY - 20.0f, 0.8f, 1e-5f);
}

TEST(Update, GrowthFadeAndSpinFollowTheirUnits) {
    Fixture f;
    f.e->Raise = -10.0f;
    f.e->Fade = 300.0f;
    f.Add(32.0f, 250.0f).RotationStep = 2.0f;
    f.Step(100);
    const Particle& p = *f.e->Particles.First();
    EXPECT_EQ(p.Size, 32.0f + 0.1f * -10.0f);
    // A positive fade raises opacity past 255; nothing clamps it here.
    EXPECT_EQ(p.Transparency, 250.0f + 0.1f * 300.0f);
    EXPECT_EQ(p.Angle, 2.0f);
    f.Step(10);
    EXPECT_EQ(f.e->Particles.First()->Angle, 4.0f);  // per update, not per second
}

TEST(Update, SizeAndTransparencyOfExactlyOneSurvive) {
    Fixture f;
    f.Add(1.0f, 200.0f);
    f.Add(200.0f, 1.0f);
    f.Add(0.999f, 200.0f);
    f.Add(200.0f, 0.999f);
    f.Step(16);
    std::vector<Particle> ps = ParticlesOf(*f.e);
    ASSERT_EQ(ps.size(), 2u);
    EXPECT_EQ(ps[0].Size, 1.0f);
    EXPECT_EQ(ps[1].Transparency, 1.0f);
}

TEST(Update, DeathTimeEqualToNowSurvivesThatUpdate) {
    Fixture f;
    int32_t now = static_cast<int32_t>(f.t.clock.Now()) + 16;
    f.Add(32.0f, 255.0f, now);
    f.Step(16);
    EXPECT_EQ(f.e->Particles.Count(), 1);
    f.Step(1);
    EXPECT_EQ(f.e->Particles.Count(), 0);
}

TEST(Update, DeathTimeComparesAcrossTheClockWrap) {
    TestEngine t(1, 0x7FFFFFF0u);
    Emitter* e = CreateEmitter(t.engine, 0, 0);
    SetDisable(e, 1, 0);
    UpdateParticles(t.engine);
    Particle* p = ListInsert(e->Particles);
    p->Size = p->Transparency = 32.0f;
    p->DeathTime = WrapAdd(static_cast<int32_t>(t.clock.Now()), 100);  // past INT32_MAX
    t.clock.Advance(50);
    UpdateParticles(t.engine);
    EXPECT_EQ(e->Particles.Count(), 1);
    t.clock.Advance(51);
    UpdateParticles(t.engine);
    EXPECT_EQ(e->Particles.Count(), 0);
}

TEST(Update, FrameTimeIsTheSignedDifferenceAcrossTheWrap) {
    TestEngine t(1, 0xFFFFFFF6u);
    UpdateParticles(t.engine);
    t.clock.Set(6);
    EXPECT_EQ(UpdateParticles(t.engine), 16.0f * 0.001f);
}

TEST(Update, TooSmallOrFaintParticlesDieInTheUpdateThatBoreThem) {
    TestEngine t;
    Emitter* small = CreateEmitter(t.engine, 0, 0);
    SetValueSpec(small->Size, 0.5f, 0.5f, 1.0f);
    Emitter* faint = CreateEmitter(t.engine, 0, 0);
    SetValueSpec(faint->Transparency, 0.5f, 0.5f, 1.0f);
    UpdateParticles(t.engine);
    t.clock.Advance(50);
    UpdateParticles(t.engine);
    EXPECT_EQ(small->Particles.Count(), 0);
    EXPECT_EQ(faint->Particles.Count(), 0);
}

TEST(Update, DefaultParticleTravelsThreeHundredPixelsAndDiesAfterThreeSeconds) {
    TestEngine t;
    Emitter* e = CreateEmitter(t.engine, 400, 300);
    UpdateParticles(t.engine);
    t.clock.Advance(10);
    UpdateParticles(t.engine);  // spawns exactly one
    ASSERT_EQ(e->Particles.Count(), 1);
    SetDisable(e, 1, 0);
    Particle* p = e->Particles.First();
    const int32_t death = p->DeathTime;
    EXPECT_EQ(death, static_cast<int32_t>(t.clock.Now()) + 3000);
    const float vx = p->VelocityX;
    const float vy = p->VelocityY;
    while (ClockDiff(static_cast<int32_t>(t.clock.Now()) + 20, death) <= 0) {
        t.clock.Advance(20);
        UpdateParticles(t.engine);
        ASSERT_EQ(e->Particles.Count(), 1);
        p = e->Particles.First();  // an update may move the records
        EXPECT_EQ(p->VelocityX, vx);
        EXPECT_EQ(p->VelocityY, vy);
        EXPECT_EQ(p->Size, 32.0f);
        EXPECT_EQ(p->Transparency, 255.0f);
    }
    EXPECT_NEAR(std::hypot(p->X - 400.0f, p->Y - 300.0f), 300.0f,
                2.0f);  // 3 s at 100 px/s, plus the spawn update
    t.clock.Advance(20);
    UpdateParticles(t.engine);
    EXPECT_EQ(e->Particles.Count(), 0);
}

TEST(Update, FadeMinus255KillsAfterAboutOneSecond) {
    TestEngine t;
    Emitter* e = CreateEmitter(t.engine, 0, 0);
    e->Fade = -255.0f;
    UpdateParticles(t.engine);
    t.clock.Advance(10);
    UpdateParticles(t.engine);
    SetDisable(e, 1, 0);
    int32_t born = static_cast<int32_t>(t.clock.Now());
    while (e->Particles.Count() > 0) {
        t.clock.Advance(10);
        UpdateParticles(t.engine);
    }
    int32_t lived = static_cast<int32_t>(t.clock.Now()) - born;
    EXPECT_GE(lived, 990);
    EXPECT_LE(lived, 1000);
}

TEST(Update, RemovingNeighboursKeepsOrderAndVisitsEachOnce) {
    Fixture f;
    // Each particle is marked by its X; the tiny ones die, the first and the last among them.
    const bool dies[] = {true, true, false, true, false, false, true, true};
    for (int i = 0; i < 8; ++i) {
        Particle& p = f.Add(dies[i] ? 0.5f : 32.0f);
        p.X = static_cast<float>(i);
        p.RotationStep = 1.0f;
    }
    f.Step(0);
    std::vector<float> xs;
    for (const Particle& p : ParticlesOf(*f.e)) {
        xs.push_back(p.X);
        EXPECT_EQ(p.Angle, 1.0f) << "particle " << p.X << " not visited exactly once";
    }
    EXPECT_EQ(xs, (std::vector<float>{2, 4, 5}));
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

}  // namespace
}  // namespace pp
