// The motion keys: each effect's particles against the rules written out here particle by
// particle, frame by frame; their birth draws and order; MaxAlive's schedule; thread counts.
#include "particles/motion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "effects/loader.h"
#include "plain_motion.h"
#include "runtime/convert.h"
#include "runtime/worker_pool.h"

namespace pp {
namespace {

// What a particle's birth gives its record by the reference: its origin the emitter's position,
// each key that is set drawn within its values, each that is not at its default.
void ExpectBirthRules(const Followed& f, const Emitter& e) {
    const MotionParams& k = e.Extras.Motion;
    const ParticleMotion& m = f.M;
    EXPECT_TRUE(m.OriginX == e.PositionX && m.OriginY == e.PositionY);
    auto within = [](const RandomKey& key, float v, float unset) {
        return key.Set ? v >= key.Spec.Min && v <= key.Spec.Max : v == unset;
    };
    EXPECT_TRUE(within(k.RadialAcceleration, m.Radial, 0) &&
                within(k.TangentialAcceleration, m.Tangential, 0));
    if (InOrbit(k)) {
        EXPECT_TRUE(within(k.OrbitRadius, m.OrbitRadius, 0) &&
                    within(k.OrbitEndRadius, m.OrbitEndRadius, m.OrbitRadius) &&
                    within(k.OrbitSpin, m.OrbitSpin, 0));
        EXPECT_EQ(m.OrbitRadiusRate, (m.OrbitEndRadius - m.OrbitRadius) / (f.L.LifeMs * 0.001f));
    }
    EXPECT_TRUE(k.EndSize.Set || m.SizeChange == 0);
    EXPECT_TRUE(k.EndAngle.Set || m.TurnChange == 0);
    for (size_t c = 0; c < 4; ++c) {
        const float start = k.StartColour.Set ? k.StartColour.Value[c] : 255.0f;
        const float spread = k.StartColourVariance.Set ? k.StartColourVariance.Value[c] : 0.0f;
        EXPECT_TRUE(m.Colour[c] >= std::max(0.0f, start - spread) &&
                    m.Colour[c] <= std::min(255.0f, start + spread));
        if (!k.EndColour.Set && !k.EndColourVariance.Set) {
            EXPECT_EQ(m.ColourChange[c], 0.0f);
        }
        if (k.EndColour.Set && !k.EndColourVariance.Set) {
            EXPECT_EQ(m.Colour[c] + m.ColourChange[c], k.EndColour.Value[c]);
        }
    }
}

// Each row an effect of one behaviour, on an emitter that wanders; its particles are followed
// from their first update on through 400 frames of varied lengths, and every frame's particles
// and looks are the rules' to the bit.
TEST(Motion, ParticlesFollowThePlainRulesFrameByFrame) {
    const struct {
        const char* name;
        const char* text;
    } rows[] = {
        {"gravity with radial and tangential acceleration",
         "EmissionRate = 60, LifeTime = {Min = 0.5, Max = 2, Inc = 0.1},\n"
         "EmitterArea = {Type = Circle, Width = 30}, Acceleration = {0, 98},\n"
         "RadialAcceleration = {Value = 80, Blur = 30}, TangentialAcceleration = {Min = -60, Max = "
         "40},\n"
         "Drag = 0.3"},
        {"attached, pushed around a moving emitter",
         "EmissionRate = 40, LifeTime = 1.5, EmitterArea = {Type = Square, Width = 20},\n"
         "TangentialAcceleration = 300, RadialAcceleration = -50, Attached = 1,\n"
         "StartColour = {200, 100, 50, 255}, StartColourVariance = {20, 20, 20, 20}"},
        {"orbit turned to its motion",
         "EmissionRate = 50, LifeTime = {Min = 0.8, Max = 3, Inc = 0.2},\n"
         "EmitterArea = {Type = Circle, Width = 40},\n"
         "OrbitRadius = {Value = 10, Blur = 5}, OrbitEndRadius = 120,\n"
         "OrbitSpin = {Min = -90, Max = 180}, AlignToMotion = 1, Angle = 90"},
        {"attractor with falloff and a vortex on the screen, after drag",
         "EmissionRate = 60, LifeTime = 2, EmissionVelocity = {Min = 20, Max = 200},\n"
         "EmissionAngle = {Min = 0, Max = 359}, Drag = 0.5, RadialAcceleration = 10,\n"
         "Attractor = {X = 0, Y = -120, Strength = 400, Radius = 300, Falloff = 2},\n"
         "Vortex = {250, 250, -150, 0, 0, 1}"},
        {"a pushing attractor everywhere, particles attached",
         "EmissionRate = 40, LifeTime = 1.5, EmitterArea = {Type = Circle, Width = 60},\n"
         "Attached = 1, Attractor = {X = 5, Y = 5, Strength = -300}"},
        {"attached orbit", "EmissionRate = 30, LifeTime = 2, OrbitRadius = 40, Attached = 1"},
        {"end size and angle",
         "EmissionRate = 80, LifeTime = {Min = 0.5, Max = 1.5, Inc = 0.25}, Raise = -4,\n"
         "Size = {Value = 30, Blur = 10}, EndSize = {Min = 0, Max = 8},\n"
         "Angle = {Min = 0, Max = 359}, EndAngle = {Value = 720, Blur = 90},\n"
         "Rotation = 1.5, Spin = 40, SizeOverLife = {0 = 1, 1 = 0.5}"},
        {"start and end colours",
         "EmissionRate = 70, LifeTime = {Min = 0.4, Max = 1.2, Inc = 0.1}, Fade = -30,\n"
         "StartColour = {255, 200, 80, 255}, StartColourVariance = {0, 40, 40, 30},\n"
         "EndColour = {200, 0, 0, 0}, EndColourVariance = {50, 0, 10, 0},\n"
         "Colour = {255, 128, 255}, ColourOverLife = {0 = {255, 255, 255}, 1 = {100, 255, 0}},\n"
         "TransparencyOverLife = {0 = 1, 1 = 0.5}"},
        {"an end colour alone, turned to its motion under gravity",
         "EmissionRate = 50, LifeTime = 1, Acceleration = {0, 200},\n"
         "EndColour = {255, 255, 255, 0}, AlignToMotion = 1"},
        {"stretched by its speed, and so turned to its motion",
         "EmissionRate = 50, LifeTime = 1.5, EmissionVelocity = {Min = 0, Max = 300},\n"
         "EmissionAngle = {Min = 0, Max = 359}, Acceleration = {0, 200}, Aspect = 2,\n"
         "Stretch = {Factor = 0.02, Max = 4}"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TestEngine t(11, 5000);
        Emitter* e = CreateEmitter(t.engine, 300, 200);
        LoadEffectText(t.engine, e, row.text);
        int64_t checked = 0;
        FollowHooks hooks;
        hooks.Before = [e](int32_t n) {
            e->PositionX = 300.0f + 80.0f * std::sin(static_cast<float>(n) * 0.05f);
            e->PositionY = 200.0f + static_cast<float>(n % 50);
        };
        hooks.Born = [e](Followed& f) { ExpectBirthRules(f, *e); };
        FollowParticles(t, e, 400, hooks, checked);
        EXPECT_GT(checked, 5000);
    }
}

// Each key that is set draws once at the birth, after the spawn's own draws and the sheet's
// start frame, in the documented order; unset keys draw nothing. The particle's own draws stay
// those of the plain spawn.
TEST(Motion, BirthDrawsComeLastInTheirOrderAndOnlyWhenSet) {
    const ValueSpec a{-30, 50, 0.5f}, b{10, 20, 1}, c{0, 359, 1};
    const struct {
        const char* name;
        void (*set)(MotionParams&);
        std::vector<ValueSpec> draws;  // Inc 0: a colour channel, base Min, variance Max
    } rows[] = {
        {"radial and tangential",
         [](MotionParams& m) {
             m.RadialAcceleration = {1, {-30, 50, 0.5f}};
             m.TangentialAcceleration = {1, {10, 20, 1}};
         },
         {a, b}},
        {"orbit end radius and end angle",
         [](MotionParams& m) {
             m.EndAngle = {1, {0, 359, 1}};
             m.OrbitEndRadius = {1, {10, 20, 1}};
         },
         {b, c}},
        {"end colour variance alone",
         [](MotionParams& m) {
             m.EndColourVariance = {1, {10, 0, 255, 30}};
         },
         {{255, 10, 0}, {255, 0, 0}, {255, 255, 0}, {255, 30, 0}}},
        {"start colour with variance, then end size",
         [](MotionParams& m) {
             m.StartColour = {1, {100, 50, 0, 255}};
             m.StartColourVariance = {1, {20, 20, 20, 20}};
             m.EndSize = {1, {-30, 50, 0.5f}};
         },
         {a, {100, 20, 0}, {50, 20, 0}, {0, 20, 0}, {255, 20, 0}}},
        {"switches alone", [](MotionParams&) {}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TestEngine plain(21), moving(21);
        Emitter* pe = CreateEmitter(plain.engine, 50, 60);
        Emitter* me = CreateEmitter(moving.engine, 50, 60);
        for (Emitter* e : {pe, me}) e->Extras.SpriteSheet = {2, 2, 4, 0, 1};
        row.set(me->Extras.Motion);
        me->Extras.Attached = 1;
        pe->ExtrasOn = me->ExtrasOn = true;
        SpawnParticle(plain.engine, *pe), SpawnParticle(moving.engine, *me);
        const Particle& p = *pe->Particles.First();
        const Particle& q = *me->Particles.First();
        EXPECT_TRUE(p.Size == q.Size && p.DeathTime == q.DeathTime &&
                    p.RotationStep == q.RotationStep);
        // An orbit places the particle on its circle.
        EXPECT_EQ(p.X == q.X && p.VelocityX == q.VelocityX, !InOrbit(me->Extras.Motion));
        const ParticleMotion& m = *me->Motion.First();
        std::vector<float> drawn;
        for (const ValueSpec& d : row.draws) {
            drawn.push_back(d.Inc == 0 ? VaryChannel(plain.engine, d.Min, d.Max)
                                       : SampleValueSpec(plain.engine, d));
        }
        std::vector<float> kept;
        const MotionParams& k = me->Extras.Motion;
        if (k.RadialAcceleration.Set) kept.push_back(m.Radial);
        if (k.TangentialAcceleration.Set) kept.push_back(m.Tangential);
        if (k.OrbitEndRadius.Set) kept.push_back(m.OrbitEndRadius);
        if (k.EndSize.Set) kept.push_back(m.SizeChange + q.Size);
        if (k.EndAngle.Set) kept.push_back(m.TurnChange + m.Turn);
        for (size_t ch = 0; ch < 4; ++ch) {
            if (k.StartColourVariance.Set) kept.push_back(m.Colour[ch]);
        }
        for (size_t ch = 0; ch < 4; ++ch) {
            if (k.EndColourVariance.Set) kept.push_back(m.Colour[ch] + m.ColourChange[ch]);
        }
        EXPECT_EQ(kept, drawn);
        EXPECT_TRUE(m.OriginX == 50 && m.OriginY == 60);
        EXPECT_EQ(RandomInt(plain.engine.Random, -1), RandomInt(moving.engine.Random, -1));
    }
}

// MaxAlive against the schedule written out: a birth is due every 10 ms (first update's
// backlog included), each lives 95 ms and dies in the first update past it; a birth due while
// MaxAlive are listed is skipped. Rows: the cap, then frames of 10, 30 and 1 ms.
TEST(Motion, MaxAliveSkipsBirthsWithoutDebt) {
    for (const int32_t cap : {1, 4, 7, 1000}) {
        for (const uint32_t ms : {10u, 30u, 1u}) {
            SCOPED_TRACE(std::to_string(cap) + " alive, frames of " + std::to_string(ms));
            TestEngine t(3, 1000);
            Emitter* e = CreateEmitter(t.engine, 0, 0);
            LoadEffectText(
                t.engine, e,
                "EmissionRate = 100, LifeTime = 0.095, EmissionVelocity = 0, MaxAlive = " +
                    std::to_string(cap));
            std::vector<int32_t> deaths;  // the plain list
            int32_t next = 1000;
            for (int32_t n = 0; n < 300; ++n) {
                t.clock.Advance(ms);
                const int32_t now = t.Now();
                next = std::max(next, now - 1000);
                for (; now - next > 0; next += 10) {
                    if (static_cast<int32_t>(deaths.size()) < cap) deaths.push_back(now + 95);
                }
                std::erase_if(deaths, [now](int32_t d) { return now - d > 0; });
                UpdateParticles(t.engine);
                ASSERT_EQ(e->Particles.Count(), static_cast<int32_t>(deaths.size())) << n;
            }
            EXPECT_EQ(e->NextEmission, next);
        }
    }
}

// Keys given to an effect with live particles (as a reload gives them) draw nothing for those
// particles: they stay where they are, an orbit of their own distance without spin.
TEST(Motion, KeysArrivingOnLiveParticlesDrawNothingAndLeaveThemInPlace) {
    TestEngine with(8), without(8);
    Emitter* e = CreateEmitter(with.engine, 200, 100);
    Emitter* p = CreateEmitter(without.engine, 200, 100);
    for (Emitter* x : {e, p}) {
        SetValueSpec(x->EmissionRate, 50, 50, 1), SetValueSpec(x->EmissionVelocity, 40, 90, 1);
    }
    for (int n = 0; n < 30; ++n) with.Step(16), without.Step(16);
    const std::vector<Particle> before = ParticlesOf(*e);
    e->Extras.Motion.OrbitEndRadius = {1, {0, 0, 1}};
    e->Extras.Motion.EndColour = {1, {0, 0, 0, 0}};
    e->Disable = p->Disable = 1;
    with.Step(0), without.Step(0);
    const std::vector<Particle> after = ParticlesOf(*e);
    ASSERT_TRUE(after.size() == before.size() && before.size() > 20);
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_NEAR(after[i].X, before[i].X, 1e-3) << i;
        EXPECT_NEAR(after[i].Y, before[i].Y, 1e-3) << i;
        EXPECT_EQ(e->Motion.First()[i].ColourChange[3], -255.0f);
    }
    EXPECT_EQ(RandomInt(with.engine.Random, -1), RandomInt(without.engine.Random, -1));
}

// A crowd of plain emitters large enough for the threads to share it, among emitters with
// every motion key: the same particles, records and generator on 1, 2 and 4 threads.
TEST(Motion, TheSameParticlesOnOneTwoAndFourThreads) {
    const char* effects[] = {
        "EmissionRate = 1000, LifeTime = {Min = 3, Max = 5, Inc = 0.25}",
        "EmissionRate = 200, RadialAcceleration = {Min = 40, Max = 90}, TangentialAcceleration = "
        "-30, "
        "Attached = 1, EndSize = 2, StartColourVariance = {9, 9, 9, 9}, MaxAlive = 150",
        "EmissionRate = 300, OrbitRadius = {Min = 5, Max = 25}, OrbitSpin = 120, AlignToMotion = "
        "1, "
        "EndAngle = 360, EndColour = {0, 0, 0, 0}",
    };
    const uint32_t steps[] = {16, 50, 17, 33, 1, 250, 16, 0, 100};
    std::vector<std::vector<uint8_t>> reference;
    for (const int32_t threads : {1, 2, 4}) {
        TestEngine t(5, 2000);
        const auto pool = std::make_unique<WorkerPool>(threads);
        t.engine.Workers = pool.get();
        std::vector<Emitter*> emitters;
        for (int32_t i = 0; i < 24; ++i) {
            emitters.push_back(CreateEmitter(t.engine, 40.0f * i, 100));
            LoadEffectText(t.engine, emitters.back(), effects[i % 3]);
        }
        for (size_t u = 0; u < 60; ++u) {
            for (Emitter* e : emitters) e->PositionY += 1.5f;
            t.Step(steps[u % std::size(steps)]);
            std::vector<uint8_t> state;
            auto add = [&state](const void* p, size_t n) {
                const auto* b = static_cast<const uint8_t*>(p);
                if (n > 0) state.insert(state.end(), b, b + n);
            };
            for (Emitter* e : emitters) {
                add(e->Particles.First(), e->Particles.Count() * sizeof(Particle));
                add(e->Motion.First(), e->Motion.Count() * sizeof(ParticleMotion));
            }
            const int32_t draw = RandomInt(t.engine.Random, -1);
            add(&draw, sizeof draw);
            if (threads == 1) reference.push_back(state);
            ASSERT_TRUE(state == reference[u]) << threads << " threads, update " << u;
        }
    }
}

}  // namespace
}  // namespace pp
