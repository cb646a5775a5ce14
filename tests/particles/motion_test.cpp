// The motion keys: each effect's particles against the rules written out here particle by
// particle, frame by frame; their birth draws and order; MaxAlive's schedule; thread counts.
#include "particles/motion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "effects/loader.h"
#include "plain_motion.h"
#include "runtime/convert.h"
#include "runtime/cpu_path.h"
#include "tests/runtime/cpu_path_helpers.h"

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
        {"three attractors, then two vortices in the order written, without motion keys",
         "EmissionRate = 60, LifeTime = 2, Drag = 0.2, EmissionVelocity = {Min = 20, Max = 200},\n"
         "Attractor = {{X = 0, Y = -120, Strength = 400}, {X = -150, Strength = 300, Radius = "
         "200,\n"
         "Falloff = 1}, {300, 300, -200, 0, 0, 1}},\n"
         "Vortex = {{250, 250, -150, 0, 0, 1}, {X = 50, Strength = 250, Radius = 400, Falloff = "
         "3}}"},
        {"rain dying on a floor between walls it bounces off, OnCollide where it hits",
         "EmissionRate = 80, LifeTime = 2, EmitterArea = {Type = Line, Width = 200},\n"
         "EmissionAngle = {Value = 90, Blur = 60}, EmissionVelocity = {Min = 100, Max = 500},\n"
         "Acceleration = {0, 400}, Collide = {{Floor = 120, Die = 1},\n"
         "{Left = -60, Right = 60, Bounce = 0.8, Friction = 0.3}}"},
        {"a slanted segment, a screen floor and a ceiling, attached and turned to the motion",
         "EmissionRate = 60, LifeTime = 3, EmissionVelocity = {Min = 50, Max = 400},\n"
         "Acceleration = {0, 300}, Drag = 0.1, AlignToMotion = 1, Attached = 1,\n"
         "Collide = {{X1 = -80, Y1 = 40, X2 = 80, Y2 = 90, Bounce = 0.6, Friction = 0.2},\n"
         "{Floor = 330, Bounce = 0, Friction = 0.5, Screen = 1}, {Ceiling = -50}}"},
        {"attached orbit", "EmissionRate = 30, LifeTime = 2, OrbitRadius = 40, Attached = 1"},
        {"an attractor and a vortex without motion records, read from before the move",
         "EmissionRate = 60, LifeTime = 2, EmissionVelocity = {Min = 20, Max = 200},\n"
         "EmissionAngle = {Min = 0, Max = 359}, Drag = 0.5, Vortex = {250, 250, -150, 0, 0, 1},\n"
         "Attractor = {X = 0, Y = -120, Strength = 400, Radius = 300, Falloff = 2}"},
        {"turbulence alone", "EmissionRate = 60, LifeTime = 3, Turbulence = {120, 40, 3, 7}"},
        {"turbulence on attached particles, after drag and an attractor",
         "EmissionRate = 50, LifeTime = 2, Attached = 1, Drag = 0.4,\n"
         "Attractor = {X = 30, Y = 0, Strength = 200}, Turbulence = {Strength = -60, Scale = 9}"},
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
        {"speed, direction and drift over the life, turned to the motion, the angle on a curve",
         "EmissionRate = 60, LifeTime = {Min = 0.5, Max = 2, Inc = 0.1}, Drag = 0.2,\n"
         "EmissionVelocity = {Min = 50, Max = 200}, EmissionAngle = {Min = 0, Max = 359},\n"
         "Acceleration = {0, 50}, SpeedOverLife = {0 = 0.2, 0.5 = 1.5, 1 = -0.5},\n"
         "TurnOverLife = {0 = 0, 1 = 270}, DriftXOverLife = {0 = -40, 1 = 60},\n"
         "DriftYOverLife = {0.3 = 0, 1 = -120}, AlignToMotion = 1, Angle = 10,\n"
         "EndAngle = {Min = 90, Max = 360}, AngleOverLife = {0 = 0, 0.5 = 1, 1 = 0.25}"},
        {"drift alone, attached, the sprite's angle on a curve",
         "EmissionRate = 50, LifeTime = 1.5, Attached = 1, DriftYOverLife = {0 = 0, 1 = 150},\n"
         "Angle = {Min = 0, Max = 90}, EndAngle = 400, AngleOverLife = {0.2 = 0, 0.6 = 1}"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TestEngine t(11, 5000);
        Emitter* e = CreateEmitter(t.engine, 300, 200);
        LoadEffectText(t.engine, e, row.text);
        // Hits start an effect of one particle each, whose places the harness compares.
        const bool collide = HasCollide(e->Extras);
        if (collide) t.engine.SubEffects.push_back(DefaultParamsAt(0, 0));
        if (collide) e->Extras.OnCollide = {0, 1, 1};
        int64_t checked = 0;
        FollowHooks hooks;
        hooks.Before = [e](int32_t n) {
            e->PositionX = 300.0f + 80.0f * std::sin(static_cast<float>(n) * 0.05f);
            e->PositionY = 200.0f + static_cast<float>(n % 50);
        };
        hooks.Born = [e](Followed& f) {
            if (HasMotion(e->Extras)) ExpectBirthRules(f, *e);
        };
        FollowParticles(t, e, 400, hooks, checked);
        EXPECT_GT(checked, 5000);
        EXPECT_TRUE(!collide || t.engine.Emitters.Count() > 20) << t.engine.Emitters.Count();
    }
}

// The turbulence field, by finite differences over a grid that crosses cells (negative places
// included), between two slices: it is the curl of its potential, so its divergence is near 0
// while its slopes are not. Its clock keeps the time of many frames of varied lengths.
TEST(Motion, TurbulenceIsTheCurlOfItsPotentialWithoutDivergence) {
    const TurbulenceParams params{1.25f, 50.0f, 1.0f, 3};  // 1.25 * 0.8: a Step of 1
    const TurbulenceFrame f = TurbulenceOf(params, {41, 0.3f}, 11, 1.0f);
    const float h = 0.25f;
    const double across = 2 * h;
    double divergence = 0, slope = 0, curl = 0;
    for (float x = -160; x < 160; x += 7.3f) {
        for (float y = -130; y < 170; y += 6.1f) {
            float vx, vy, ax, ay, bx, by, cx, cy, dx, dy;
            TurbulenceAt(f, x, y, vx, vy);
            TurbulenceAt(f, x + h, y, ax, ay), TurbulenceAt(f, x - h, y, bx, by);
            TurbulenceAt(f, x, y + h, cx, cy), TurbulenceAt(f, x, y - h, dx, dy);
            const double psiY =
                (TurbulencePotential(f, x, y + h) - TurbulencePotential(f, x, y - h)) / across;
            const double psiX =
                (TurbulencePotential(f, x + h, y) - TurbulencePotential(f, x - h, y)) / across;
            curl = std::max({curl, std::abs(vx - psiY), std::abs(vy + psiX)});
            divergence = std::max(divergence, std::abs((ax - bx) + (cy - dy)) / across);
            slope = std::max(slope, std::abs(ax - bx) / across);
        }
    }
    EXPECT_LT(curl, 0.01);
    EXPECT_GT(slope, 0.02);
    EXPECT_LT(divergence, 0.01 * slope);
    NoiseClock c;
    double seconds = 0;
    for (int32_t n = 0; n < 2000; ++n) {
        const float dt =
            static_cast<float>(kFollowFrameTimes[n % std::size(kFollowFrameTimes)]) * 0.001f;
        c = AdvanceNoise(c, dt, 2.5f), seconds += dt;
    }
    EXPECT_NEAR(c.Slice + c.Phase, seconds * 2.5, 0.01);
}

// The field read many at a time, on every path, against TurbulenceAt particle by particle:
// places within cells, on their edges and beyond where a float has a fraction, or is finite.
TEST(Motion, TurbulenceReadManyAtATimeIsTurbulenceAtOnEveryPath) {
    const float inf = __builtin_inff(), nan = __builtin_nanf("");
    const float edges[] = {0.0f,    -0.0f,    0.5f,           -0.5f,       1e-45f,     -1e-45f,
                           255.75f, -256.25f, 8388607.5f,     -8388607.5f, 8388608.0f, -8388609.0f,
                           2.2e9f,  -2.2e9f,  -2147483648.0f, 3e38f,       -inf,       nan};
    std::vector<Particle> places;
    for (const float x : edges) {
        for (const float y : {3.25f, -700.0f, x})
            places.push_back(Particle{0, 1, x, y, 0, 0, 0, 0, 0, 0});
    }
    for (const float scale : {1.0f, 37.0f}) {
        const TurbulenceFrame f = TurbulenceOf({90.0f, scale, 1.0f, 5}, {7, 0.6f}, 3, 0.016f);
        OnEachCpuPath(AvailableCpuPaths(), [&] {
            std::vector<float> drift(2 * places.size());
            TurbulenceRun(f, places.data(), places.size(), drift.data());
            for (size_t k = 0; k < places.size(); ++k) {
                float expected[2];
                TurbulenceAt(f, places[k].X, places[k].Y, expected[0], expected[1]);
                for (int c = 0; c < 2; ++c) {
                    const float got = drift[2 * k + c];
                    EXPECT_TRUE(std::isnan(expected[c]) ? std::isnan(got)
                                                        : std::bit_cast<uint32_t>(got) ==
                                                              std::bit_cast<uint32_t>(expected[c]))
                        << places[k].X << ", " << places[k].Y << ": " << got;
                }
            }
        });
    }
}

// Each key that is set draws once at the birth, after the spawn's own draws and the sheet's
// random start frame, in the documented order; unset keys draw nothing. The particle's own
// draws stay those of the plain spawn, which has no sheet.
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
        me->Extras.SpriteSheet = {2, 2, 4, 0, 1};
        row.set(me->Extras.Motion);
        me->Extras.Attached = 1;
        me->ExtrasOn = true;
        SpawnParticle(plain.engine, *pe), SpawnParticle(moving.engine, *me);
        const Particle& p = *pe->Particles.First();
        const Particle& q = *me->Particles.First();
        EXPECT_TRUE(p.Size == q.Size && p.DeathTime == q.DeathTime &&
                    p.RotationStep == q.RotationStep);
        // An orbit places the particle on its circle.
        EXPECT_EQ(p.X == q.X && p.VelocityX == q.VelocityX, !InOrbit(me->Extras.Motion));
        const ParticleMotion& m = *me->Motion.First();
        std::vector<float> drawn = {static_cast<float>(RandomInt(plain.engine.Random, 3))};
        for (const ValueSpec& d : row.draws) {
            drawn.push_back(d.Inc == 0 ? VaryChannel(plain.engine, d.Min, d.Max)
                                       : SampleValueSpec(plain.engine, d));
        }
        std::vector<float> kept = {static_cast<float>(me->Life.First()->StartFrame)};
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

}  // namespace
}  // namespace pp
