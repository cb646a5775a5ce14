// The motion keys' rules written out plainly for one particle, frame by frame, and a driver
// that follows an emitter's particles with them from birth to death against the engine's.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <vector>

#include "engine_test_util.h"
#include "particles/looks.h"
#include "particles/motion.h"

namespace pp {

// pi as a 32-bit float, as the engine's degrees take it.
inline constexpr float kFloatPi = 3.1415927f;

// One particle as the test follows it: its state, birth and draws.
struct Followed {
    Particle P;
    ParticleLife L;
    ParticleMotion M;
    std::array<double, 8> Own{};  // what a test keeps of its own about the particle
};

// Collide's lines as the reference states them: the move from (x0, y0) to p meets each line in
// turn from the side it is met from; the particle dies at the hit point or bounces. The first
// hit point goes to `hits`. Returns whether the particle dies.
inline bool PlainCollide(const Emitter& e, float x0, float y0, Particle& p, float& vx, float& vy,
                         std::vector<std::array<float, 2>>& hits) {
    bool hit = false;
    for (int32_t i = 0; i < e.Extras.Collide.Count; ++i) {
        const CollideLine& l = e.Extras.Collide.Lines[static_cast<size_t>(i)];
        const float ox = l.Screen ? 0.0f : e.PositionX, oy = l.Screen ? 0.0f : e.PositionY;
        const bool segment = l.Form == CollideForm::Segment;
        float ax = 0, ay = 0, dx = 0, dy = 0, nx = 0, ny = 0;
        if (l.Form == CollideForm::Floor || l.Form == CollideForm::Ceiling) {
            ay = oy + l.A, ny = l.Form == CollideForm::Floor ? -1.0f : 1.0f;
        } else if (!segment) {
            ax = ox + l.A, nx = l.Form == CollideForm::Left ? 1.0f : -1.0f;
        } else {
            ax = ox + l.A, ay = oy + l.B, dx = (ox + l.C) - ax, dy = (oy + l.D) - ay;
            const float length = std::sqrt(dx * dx + dy * dy);
            if (length == 0.0f) continue;
            nx = -dy / length, ny = dx / length;
        }
        float s0 = (x0 - ax) * nx + (y0 - ay) * ny, s = (p.X - ax) * nx + (p.Y - ay) * ny;
        if (segment && s0 < 0.0f) nx = -nx, ny = -ny, s0 = -s0, s = -s;
        if (s0 < 0.0f || s >= 0.0f) continue;
        const float t = s0 / (s0 - s);
        const float hx = x0 + t * (p.X - x0), hy = y0 + t * (p.Y - y0);
        const float along = (hx - ax) * dx + (hy - ay) * dy;
        if (segment && (along < 0.0f || along > dx * dx + dy * dy)) continue;
        if (!hit) hits.push_back({hx, hy});
        hit = true;
        if (l.Die) {
            p.X = hx, p.Y = hy;
            return true;
        }
        p.X = p.X - nx * (s * (1.0f + l.Bounce)), p.Y = p.Y - ny * (s * (1.0f + l.Bounce));
        const float vn = vx * nx + vy * ny;
        const float w = vn < 0.0f ? -l.Bounce * vn : vn;
        vx = (vx - nx * vn) * (1.0f - l.Friction) + nx * w;
        vy = (vy - ny * vn) * (1.0f - l.Friction) + ny * w;
    }
    return false;
}

// The rules of the reference, for one particle and one frame ending at clock reading now, in a
// world of the given seed. Returns whether the particle dies; Collide's first hit point goes to
// `hits`.
inline bool PlainStep(Followed& f, const Emitter& e, float dt, int32_t now, uint32_t seed,
                      std::vector<std::array<float, 2>>& hits) {
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
    bool collided = false;
    if (k.OrbitRadius.Set || k.OrbitEndRadius.Set || k.OrbitSpin.Set) {
        const float age = static_cast<float>(now - f.L.BirthTime) * 0.001f;
        const float radians = (m.OrbitAngle + m.OrbitSpin * age) * kFloatPi / 180.0f;
        const float r = m.OrbitRadius + (m.OrbitEndRadius - m.OrbitRadius) * t;
        p.X = m.OriginX + r * std::cos(radians), p.Y = m.OriginY + r * std::sin(radians);
        const float w = r * (m.OrbitSpin * kFloatPi / 180.0f);
        vx = m.OrbitRadiusRate * std::cos(radians) - w * std::sin(radians);
        vy = m.OrbitRadiusRate * std::sin(radians) + w * std::cos(radians);
    } else {
        // The curves over the life change the move alone: the velocity turned, times the speed's
        // factor, plus the drift.
        float mx = p.VelocityX, my = p.VelocityY;
        if (x.TurnOverLife.Count > 0) {
            const float a = EvaluateLifeCurve(x.TurnOverLife, t)[0] * kFloatPi / 180.0f;
            const float turnedX = std::cos(a) * mx - std::sin(a) * my;
            my = std::sin(a) * mx + std::cos(a) * my, mx = turnedX;
        }
        const float factor = EvaluateLifeCurve(x.SpeedOverLife, t)[0];
        if (x.SpeedOverLife.Count > 0) mx = mx * factor, my = my * factor;
        if (x.DriftXOverLife.Count > 0) mx = mx + EvaluateLifeCurve(x.DriftXOverLife, t)[0];
        if (x.DriftYOverLife.Count > 0) my = my + EvaluateLifeCurve(x.DriftYOverLife, t)[0];
        p.X = x0 + dt * mx, p.Y = y0 + dt * my;
        // The field as it stands after this frame's time, read before the move, moves on top.
        if (x.Turbulence.Strength != 0.0f) {
            const NoiseClock c = AdvanceNoise(e.Noise, dt, x.Turbulence.Speed);
            float dx, dy;
            TurbulenceAt(TurbulenceOf(x.Turbulence, c, seed, dt), x0, y0, dx, dy);
            p.X = p.X + dx, p.Y = p.Y + dy;
        }
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
        // Each Attractor point pulls along the unit vector to it, then each Vortex point at
        // right angles, in the order written.
        std::vector<std::pair<const ForcePoint*, bool>> forces;
        for (const ForceList* list : {&x.Attractor, &x.Vortex}) {
            for (int32_t i = 0; i < list->Count; ++i) {
                forces.emplace_back(&list->Points[static_cast<std::size_t>(i)], list == &x.Vortex);
            }
        }
        for (const auto& [force, vortex] : forces) {
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
            if (!vortex) {
                vx = vx + k * (ax / d), vy = vy + k * (ay / d);
            } else {
                vx = vx - k * (ay / d), vy = vy + k * (ax / d);
            }
        }
        collided = PlainCollide(e, x0, y0, p, vx, vy, hits);
    }
    p.VelocityX = vx, p.VelocityY = vy;
    p.Size = p.Size + dt * e.Raise;
    m.Turn = m.Turn + p.RotationStep;
    if (x.Spin != 0.0f) m.Turn = m.Turn + x.Spin * dt;
    const float share = x.AngleOverLife.Count > 0 ? EvaluateLifeCurve(x.AngleOverLife, t)[0] : t;
    p.Angle = m.Turn + m.TurnChange * share;
    if (x.AlignToMotion != 0 || x.Stretch.Factor > 0.0f) {
        float direction = vx == 0.0f && vy == 0.0f ? 0.0f : std::atan2(vy, vx) * 180.0f / kFloatPi;
        if (x.TurnOverLife.Count > 0)
            direction = direction + EvaluateLifeCurve(x.TurnOverLife, t)[0];
        p.Angle = direction + p.Angle;
    }
    p.Transparency = p.Transparency + dt * e.Fade;
    return now - p.DeathTime > 0 || p.Size < 1.0f || p.Transparency < 1.0f ||
           !ParticleStateIsFinite(p) || collided;
}

// How the reference says the particle is drawn: size, transparency, red, green, blue.
inline std::array<float, 5> PlainLooks(const Followed& f, const ExtraParams& x) {
    const float t = f.L.Fraction;
    float size = f.P.Size;
    if (x.Motion.EndSize.Set) size = std::max(0.0f, f.P.Size + f.M.SizeChange * t);
    if (x.SizeOverLife.Count > 0) size = size * EvaluateLifeCurve(x.SizeOverLife, t)[0];
    // Stretch: as long as 1 + Factor * speed sizes, at most Max.
    const float speed = std::sqrt(f.P.VelocityX * f.P.VelocityX + f.P.VelocityY * f.P.VelocityY);
    if (x.Stretch.Factor > 0.0f)
        size = size * std::min(1.0f + x.Stretch.Factor * speed, x.Stretch.Max);
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

// Frame times in milliseconds, varied as a busy host's are (0 and 250 included).
inline constexpr uint32_t kFollowFrameTimes[] = {16, 17, 33, 1, 50, 0, 16, 250, 16, 16, 8};

struct FollowHooks {
    std::function<void(int32_t frame)> Before;  // before the frame's update
    std::function<void(Followed&)> Born;        // each particle at its birth
    std::function<void(Followed&, float dt, const ParticleLooks&)> Seen;  // each after a frame
};

// Runs `frames` updates of kFollowFrameTimes; every particle is followed from its birth on
// with PlainStep and each frame's particles and looks must be the rules' to the bit, and so
// must the places of the effects OnCollide starts. An emitter without motion keys is followed
// with a record of its angle alone. The
// update's emission is run first on its own (the update then finds nothing due), so that each
// particle is seen at its birth, before the step of the update it is born in. `checked` counts
// the particle-frames compared.
inline void FollowParticles(TestEngine& t, Emitter* e, int32_t frames, const FollowHooks& hooks,
                            int64_t& checked) {
    std::vector<Followed> followed;
    for (int32_t n = 0; n < frames; ++n) {
        const uint32_t ms = kFollowFrameTimes[n % std::size(kFollowFrameTimes)];
        if (hooks.Before) hooks.Before(n);
        // The engine's first update moves nothing.
        const float dt = t.engine.Updated ? static_cast<float>(ms) * 0.001f : 0.0f;
        t.clock.Advance(ms);
        e->ExtrasOn = HasExtras(*e);
        const int32_t alive = e->Particles.Count();
        EmitDueParticles(t.engine, *e, t.Now());
        // An effect without motion keys keeps no Motion records: its particles are followed
        // with the record of one that has no draws.
        const bool motion = HasMotion(e->Extras);
        ASSERT_TRUE(e->Life.Count() == e->Particles.Count() &&
                    e->Motion.Count() == (motion ? e->Particles.Count() : 0))
            << n;
        for (int32_t i = alive; i < e->Particles.Count(); ++i) {
            const Particle& p = e->Particles.First()[i];
            ParticleMotion none{};
            none.OriginX = e->PositionX, none.OriginY = e->PositionY, none.Turn = p.Angle;
            none.Colour = {255, 255, 255, 255};
            followed.push_back({p, e->Life.First()[i], motion ? e->Motion.First()[i] : none});
            if (hooks.Born) hooks.Born(followed.back());
        }
        std::vector<Followed> kept;
        std::vector<std::array<float, 2>> hits;
        for (Followed f : followed) {
            if (!PlainStep(f, *e, dt, t.Now(), t.engine.Random.seed, hits)) kept.push_back(f);
        }
        // The emitters there before the update are marked, so that those it starts stand out.
        ListVisit(t.engine.Emitters, [](Emitter& x) { x.OwnerTag = 1; });
        UpdateParticles(t.engine);
        t.engine.RemovedTags.clear();
        std::vector<std::array<float, 2>> started;
        ListVisit(t.engine.Emitters, [&started](const Emitter& x) {
            if (x.OwnerTag == 0) started.push_back({x.PositionX, x.PositionY});
        });
        ASSERT_EQ(kept.size(), static_cast<size_t>(e->Particles.Count())) << n;
        for (size_t i = 0; i < kept.size(); ++i) {
            const Particle& p = e->Particles.First()[i];
            ASSERT_EQ(std::memcmp(&p, &kept[i].P, sizeof p), 0)
                << "frame " << n << ", particle " << i << ": " << p.X << " " << kept[i].P.X;
            const ParticleLooks l =
                LooksOf(e->Extras, p, e->Life.First()[i], motion ? e->Motion.First() + i : nullptr);
            const std::array<float, 5> plain = PlainLooks(kept[i], e->Extras);
            ASSERT_EQ((std::array<float, 5>{l.Size, l.Transparency, float(l.Red), float(l.Green),
                                            float(l.Blue)}),
                      plain)
                << "frame " << n << ", particle " << i;
            if (hooks.Seen) hooks.Seen(kept[i], dt, l);
            ++checked;
        }
        if (e->Extras.OnCollide.Effect >= 0) {
            ASSERT_EQ(started, hits) << "frame " << n;
        }
        followed = kept;
    }
}

}  // namespace pp
