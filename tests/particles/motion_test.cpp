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
#include "engine_test_util.h"
#include "particles/looks.h"
#include "runtime/convert.h"
#include "runtime/worker_pool.h"

namespace pp {
namespace {

constexpr float kPi = 3.1415927f;

// One particle as the test follows it: its state, birth and draws.
struct Followed {
    Particle P;
    ParticleLife L;
    ParticleMotion M;
};

// The rules of the reference, for one particle and one frame ending at clock reading now.
// Returns whether the particle dies.
bool PlainStep(Followed& f, const Emitter& e, float dt, int32_t now) {
    const ExtraParams& x = e.Extras;
    const MotionParams& k = x.Motion;
    Particle& p = f.P;
    ParticleMotion& m = f.M;
    float t = static_cast<float>(now - f.L.BirthTime) / f.L.LifeMs;
    t = t > 0.0f ? std::min(t, 1.0f) : 0.0f;
    f.L.Fraction = t;
    float x0 = p.X, y0 = p.Y;
    if (x.Attached != 0) {
        x0 += e.PositionX - m.OriginX, y0 += e.PositionY - m.OriginY;
        m.OriginX = e.PositionX, m.OriginY = e.PositionY;
    }
    float vx, vy;
    if (k.OrbitRadius.Set || k.OrbitEndRadius.Set || k.OrbitSpin.Set) {
        const float age = static_cast<float>(now - f.L.BirthTime) * 0.001f;
        const float radians = (m.OrbitAngle + m.OrbitSpin * age) * kPi / 180.0f;
        const float r = m.OrbitRadius + (m.OrbitEndRadius - m.OrbitRadius) * t;
        p.X = m.OriginX + r * std::cos(radians), p.Y = m.OriginY + r * std::sin(radians);
        const float w = r * (m.OrbitSpin * kPi / 180.0f);
        vx = m.OrbitRadiusRate * std::cos(radians) - w * std::sin(radians);
        vy = m.OrbitRadiusRate * std::sin(radians) + w * std::cos(radians);
    } else {
        p.X = x0 + dt * p.VelocityX, p.Y = y0 + dt * p.VelocityY;
        vx = p.VelocityX + dt * e.AccelerationX, vy = p.VelocityY + dt * e.AccelerationY;
        const float dx = x0 - m.OriginX, dy = y0 - m.OriginY;
        const float d = std::sqrt(dx * dx + dy * dy);
        if ((k.RadialAcceleration.Set || k.TangentialAcceleration.Set) && d > 0.0f) {
            const float ux = dx / d, uy = dy / d;
            vx = vx + (dt * m.Radial * ux - dt * m.Tangential * uy);
            vy = vy + (dt * m.Radial * uy + dt * m.Tangential * ux);
        }
        const float drag = std::max(0.0f, 1.0f - x.Drag * dt);
        if (x.Drag != 0.0f) vx = vx * drag, vy = vy * drag;
        // The Attractor pulls along the unit vector to its point, the Vortex at right angles.
        for (const ForcePoint* force : {&x.Attractor, &x.Vortex}) {
            const float fx = force->Screen ? force->X : e.PositionX + force->X;
            const float fy = force->Screen ? force->Y : e.PositionY + force->Y;
            const float ax = fx - x0, ay = fy - y0;
            const float d = std::sqrt(ax * ax + ay * ay);
            if (force->Strength == 0.0f || d == 0.0f) continue;
            if (force->Radius > 0.0f && d >= force->Radius) continue;
            float w = 1.0f;
            for (int32_t i = 0; force->Radius > 0.0f && i < force->Falloff; ++i) {
                w = w * (1.0f - d / force->Radius);
            }
            const float k = dt * force->Strength * w;
            if (force == &x.Attractor) {
                vx = vx + k * (ax / d), vy = vy + k * (ay / d);
            } else {
                vx = vx - k * (ay / d), vy = vy + k * (ax / d);
            }
        }
    }
    p.VelocityX = vx, p.VelocityY = vy;
    p.Size = p.Size + dt * e.Raise;
    m.Turn = m.Turn + p.RotationStep;
    if (x.Spin != 0.0f) m.Turn = m.Turn + x.Spin * dt;
    p.Angle = m.Turn + m.TurnChange * t;
    if (x.AlignToMotion != 0) {
        p.Angle = (vx == 0.0f && vy == 0.0f ? 0.0f : std::atan2(vy, vx) * 180.0f / kPi) + p.Angle;
    }
    p.Transparency = p.Transparency + dt * e.Fade;
    return now - p.DeathTime > 0 || p.Size < 1.0f || p.Transparency < 1.0f ||
           !ParticleStateIsFinite(p);
}

// How the reference says the particle is drawn: size, transparency, red, green, blue.
std::array<float, 5> PlainLooks(const Followed& f, const ExtraParams& x) {
    const float t = f.L.Fraction;
    float size = f.P.Size;
    if (x.Motion.EndSize.Set) size = std::max(0.0f, f.P.Size + f.M.SizeChange * t);
    if (x.SizeOverLife.Count > 0) size = size * EvaluateLifeCurve(x.SizeOverLife, t)[0];
    float alpha = f.P.Transparency;
    if (x.TransparencyOverLife.Count > 0) {
        alpha = alpha * EvaluateLifeCurve(x.TransparencyOverLife, t)[0];
    }
    std::array<float, 3> rgb = x.Colour;
    const std::array<float, 3> curve = EvaluateLifeCurve(x.ColourOverLife, t);
    for (size_t c = 0; c < 3; ++c) {
        if (x.ColourOverLife.Count > 0) rgb[c] = rgb[c] * curve[c] / 255.0f;
    }
    if (HasColours(x.Motion)) {
        for (size_t c = 0; c < 3; ++c) {
            rgb[c] = rgb[c] * (f.M.Colour[c] + f.M.ColourChange[c] * t) / 255.0f;
        }
        alpha = alpha * (f.M.Colour[3] + f.M.ColourChange[3] * t) / 255.0f;
    }
    auto byte = [](float v) { return v > 0.0f ? std::min(255.0f, std::nearbyint(v)) : 0.0f; };
    return {size, alpha, byte(rgb[0]), byte(rgb[1]), byte(rgb[2])};
}

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
    };
    const uint32_t steps[] = {16, 17, 33, 1, 50, 0, 16, 250, 16, 16, 8};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TestEngine t(11, 5000);
        Emitter* e = CreateEmitter(t.engine, 300, 200);
        LoadEffectText(t.engine, e, row.text);
        std::vector<Followed> followed;
        int64_t checked = 0;
        for (int32_t n = 0; n < 400; ++n) {
            const uint32_t ms = steps[n % std::size(steps)];
            e->PositionX = 300.0f + 80.0f * std::sin(static_cast<float>(n) * 0.05f);
            e->PositionY = 200.0f + static_cast<float>(n % 50);
            t.clock.Advance(ms);
            const float dt = static_cast<float>(ms) * 0.001f;
            std::vector<Followed> kept;
            for (Followed f : followed) {
                if (!PlainStep(f, *e, dt, t.Now())) kept.push_back(f);
            }
            UpdateParticles(t.engine);
            const int32_t count = e->Particles.Count();
            ASSERT_TRUE(e->Life.Count() == count && e->Motion.Count() == count) << n;
            ASSERT_LE(kept.size(), static_cast<size_t>(count)) << n;
            for (size_t i = 0; i < kept.size(); ++i) {
                const Particle& p = e->Particles.First()[i];
                ASSERT_EQ(std::memcmp(&p, &kept[i].P, sizeof p), 0)
                    << "frame " << n << ", particle " << i << ": " << p.X << " " << kept[i].P.X;
                const ParticleLooks l =
                    LooksOf(e->Extras, p, e->Life.First()[i], e->Motion.First() + i);
                const std::array<float, 5> plain = PlainLooks(kept[i], e->Extras);
                ASSERT_EQ((std::array<float, 5>{l.Size, l.Transparency, float(l.Red),
                                                float(l.Green), float(l.Blue)}),
                          plain)
                    << "frame " << n << ", particle " << i;
                ++checked;
            }
            // The particles born in this update are followed from here on.
            for (int32_t i = static_cast<int32_t>(kept.size()); i < count; ++i) {
                kept.push_back({e->Particles.First()[i], e->Life.First()[i], e->Motion.First()[i]});
                ExpectBirthRules(kept.back(), *e);
            }
            followed = kept;
        }
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
