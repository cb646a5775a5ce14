#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
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
    Particle& p = f.Add();
    p.X = 10.0f;
    p.VelocityX = 100.0f;
    p.VelocityY = 20.0f;
    float dt = f.Step(16);
    EXPECT_EQ(dt, 16.0f * 0.001f);
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
    Particle& p = f.Add(32.0f, 250.0f);
    p.RotationStep = 2.0f;
    f.Step(100);
    EXPECT_EQ(p.Size, 32.0f + 0.1f * -10.0f);
    // A positive fade raises opacity past 255; nothing clamps it here.
    EXPECT_EQ(p.Transparency, 250.0f + 0.1f * 300.0f);
    EXPECT_EQ(p.Angle, 2.0f);
    f.Step(10);
    EXPECT_EQ(p.Angle, 4.0f);  // per update, not per second
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
