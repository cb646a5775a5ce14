// The motion keys' birth draws and per-update step (the rules are in motion.h).
#include "particles/motion.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "particles/looks.h"
#include "runtime/convert.h"

namespace pp {
namespace {

// pi as a 32-bit float; degrees to radians multiply first, then divide, as the emission does.
constexpr float kPi = 3.1415927f;
constexpr float kWhite = 255.0f;

float DrawIfSet(Engine& engine, const RandomKey& key, float unset) {
    return key.Set != 0 ? SampleValueSpec(engine, key.Spec) : unset;
}

// The orbit's point and velocity at age `age` seconds and life fraction `fraction`.
void OrbitAt(const ParticleMotion& m, float age, float fraction, float& x, float& y, float& vx,
             float& vy) {
    const float degrees = m.OrbitAngle + m.OrbitSpin * age;
    const float r = m.OrbitRadius + (m.OrbitEndRadius - m.OrbitRadius) * fraction;
    const float radians = degrees * kPi / 180.0f;
    const float c = std::cos(radians);
    const float s = std::sin(radians);
    x = m.OriginX + r * c;
    y = m.OriginY + r * s;
    const float turning = r * (m.OrbitSpin * kPi / 180.0f);
    vx = m.OrbitRadiusRate * c - turning * s;
    vy = m.OrbitRadiusRate * s + turning * c;
}

// The velocity a particle moves with at life fraction t (the rule in motion.h).
void MoveOverLife(const ExtraParams& x, float t, float& vx, float& vy) {
    if (x.TurnOverLife.Count > 0) {
        const float radians = EvaluateLifeCurve(x.TurnOverLife, t)[0] * kPi / 180.0f;
        const float c = std::cos(radians);
        const float s = std::sin(radians);
        const float turnedX = c * vx - s * vy;
        const float turnedY = s * vx + c * vy;
        vx = turnedX;
        vy = turnedY;
    }
    if (x.SpeedOverLife.Count > 0) {
        const float k = EvaluateLifeCurve(x.SpeedOverLife, t)[0];
        vx = vx * k;
        vy = vy * k;
    }
    if (x.DriftXOverLife.Count > 0) vx = vx + EvaluateLifeCurve(x.DriftXOverLife, t)[0];
    if (x.DriftYOverLife.Count > 0) vy = vy + EvaluateLifeCurve(x.DriftYOverLife, t)[0];
}

float HeldChannel(float value) {
    if (!(value > 0.0f)) return 0.0f;
    return value > kWhite ? kWhite : value;
}

}  // namespace

float VaryChannel(Engine& engine, float base, float variance) {
    const int32_t k = RandomInt(engine.Random, 255);
    return HeldChannel(base + variance * (static_cast<float>(2 * k - 255) / 255.0f));
}

float DirectionOf(float vx, float vy) {
    if (vx == 0.0f && vy == 0.0f) return 0.0f;
    return std::atan2(vy, vx) * 180.0f / kPi;
}

ParticleMotion StartMotion(Engine& engine, const Emitter& e, Particle& p, float lifeMs) {
    const MotionParams& k = e.Extras.Motion;
    const bool align = TurnsToMotion(e.Extras);
    ParticleMotion m{};
    m.OriginX = e.PositionX;
    m.OriginY = e.PositionY;
    m.Radial = DrawIfSet(engine, k.RadialAcceleration, 0.0f);
    m.Tangential = DrawIfSet(engine, k.TangentialAcceleration, 0.0f);
    m.OrbitRadius = DrawIfSet(engine, k.OrbitRadius, 0.0f);
    m.OrbitEndRadius = DrawIfSet(engine, k.OrbitEndRadius, m.OrbitRadius);
    m.OrbitSpin = DrawIfSet(engine, k.OrbitSpin, 0.0f);
    const float size = p.Size;
    m.SizeChange = k.EndSize.Set != 0 ? SampleValueSpec(engine, k.EndSize.Spec) - size : 0.0f;
    // p.Angle is still the emission angle.
    m.Turn = DrawIfSet(engine, k.Angle, align ? 0.0f : p.Angle);
    m.TurnChange = k.EndAngle.Set != 0 ? SampleValueSpec(engine, k.EndAngle.Spec) - m.Turn : 0.0f;
    std::array<float, 4> start{kWhite, kWhite, kWhite, kWhite};
    if (k.StartColour.Set != 0) start = k.StartColour.Value;
    std::array<float, 4> end = k.EndColour.Set != 0 ? k.EndColour.Value : start;
    for (size_t c = 0; c < 4; ++c) {
        m.Colour[c] = k.StartColourVariance.Set != 0
                          ? VaryChannel(engine, start[c], k.StartColourVariance.Value[c])
                          : start[c];
    }
    const bool ends = k.EndColour.Set != 0 || k.EndColourVariance.Set != 0;
    for (size_t c = 0; c < 4; ++c) {
        if (k.EndColourVariance.Set != 0) {
            end[c] = VaryChannel(engine, end[c], k.EndColourVariance.Value[c]);
        }
        m.ColourChange[c] = ends ? end[c] - m.Colour[c] : 0.0f;
    }
    if (InOrbit(k)) {
        m.OrbitAngle = p.Angle;
        m.OrbitRadiusRate = (m.OrbitEndRadius - m.OrbitRadius) / (lifeMs * 0.001f);
        OrbitAt(m, 0.0f, 0.0f, p.X, p.Y, p.VelocityX, p.VelocityY);
    }
    p.Angle = align ? DirectionOf(p.VelocityX, p.VelocityY) + m.Turn : m.Turn;
    return m;
}

ParticleMotion RestingMotion(const Emitter& e, const Particle& p) {
    const MotionParams& k = e.Extras.Motion;
    ParticleMotion m{};
    m.OriginX = e.PositionX;
    m.OriginY = e.PositionY;
    const float dx = p.X - m.OriginX;
    const float dy = p.Y - m.OriginY;
    m.OrbitAngle = DirectionOf(dx, dy);
    m.OrbitRadius = std::sqrt(dx * dx + dy * dy);
    m.OrbitEndRadius = m.OrbitRadius;
    m.Turn = TurnsToMotion(e.Extras) ? 0.0f : p.Angle;
    std::array<float, 4> start{kWhite, kWhite, kWhite, kWhite};
    if (k.StartColour.Set != 0) start = k.StartColour.Value;
    const std::array<float, 4> end = k.EndColour.Set != 0 ? k.EndColour.Value : start;
    m.Colour = start;
    for (size_t c = 0; c < 4; ++c) m.ColourChange[c] = end[c] - start[c];
    return m;
}

namespace {

// The step of a particle that is not on an orbit, from its place (x0, y0) after the emitter's
// move: its velocity (or the path over its life) moves it, then the steps, the emitter's
// pushes, drag, the forces, the field and the lines.
inline void MoveFree(const Particle& in, const ParticleMotion& m, const MotionFrame& f,
                     float fraction, float x0, float y0, float& x, float& y, float& vx, float& vy,
                     CollideHit& hit) {
    const float oldVx = in.VelocityX;
    const float oldVy = in.VelocityY;
    float moveX = oldVx;
    float moveY = oldVy;
    if (f.LifeMoves) MoveOverLife(*f.Curves, fraction, moveX, moveY);
    x = x0 + f.Dt * moveX;
    y = y0 + f.Dt * moveY;
    vx = oldVx + f.StepX;
    vy = oldVy + f.StepY;
    if (f.Forces) {
        const float dx = x0 - m.OriginX;
        const float dy = y0 - m.OriginY;
        const float d = std::sqrt(dx * dx + dy * dy);
        if (d > 0.0f) {
            const float ux = dx / d;
            const float uy = dy / d;
            const float radial = f.Dt * m.Radial;
            const float tangential = f.Dt * m.Tangential;
            vx = vx + (radial * ux - tangential * uy);
            vy = vy + (radial * uy + tangential * ux);
        }
    }
    if (f.Drag) {
        vx = vx * f.DragFactor;
        vy = vy * f.DragFactor;
    }
    if (f.Pulled) ApplyForces(f.Pulls, x0, y0, vx, vy);
    if (f.Turbulence.On) {
        float dx;
        float dy;
        TurbulenceAt(f.Turbulence, x0, y0, dx, dy);
        x = x + dx;
        y = y + dy;
    }
    // Before the angle, which may follow the velocity the bounce gave.
    if (f.Lines != nullptr) hit = Collide(*f.Lines, x0, y0, x, y, vx, vy);
}

// The drawn angle after this step's turn: the turn, its share of the change over the life,
// and with Align the direction of travel.
inline float AngleAfter(ParticleMotion& m, const MotionFrame& f, float step, float fraction,
                        float vx, float vy) {
    float turn = m.Turn + step;
    if (f.Spin) turn = turn + f.SpinStep;
    m.Turn = turn;
    const LifeCurve<1>& share = f.Curves->AngleOverLife;
    const float along = share.Count > 0 ? EvaluateLifeCurve(share, fraction)[0] : fraction;
    float angle = turn + m.TurnChange * along;
    if (f.Align) {
        float direction = DirectionOf(vx, vy);
        const LifeCurve<1>& turning = f.Curves->TurnOverLife;
        if (turning.Count > 0) direction = direction + EvaluateLifeCurve(turning, fraction)[0];
        angle = direction + angle;
    }
    return angle;
}

}  // namespace

bool AdvanceWithMotion(const Particle& in, Particle& out, ParticleMotion& m,
                       const ParticleLife& life, const MotionFrame& f, CollideHit& hit) {
    float x0 = in.X;
    float y0 = in.Y;
    if (f.Attached) {
        x0 = x0 + (f.EmitterX - m.OriginX);
        y0 = y0 + (f.EmitterY - m.OriginY);
        m.OriginX = f.EmitterX;
        m.OriginY = f.EmitterY;
    }
    const float fraction = life.Fraction;
    float x;
    float y;
    float vx;
    float vy;
    if (f.Orbit) {
        const float age = static_cast<float>(ClockDiff(f.Now, life.BirthTime)) * 0.001f;
        OrbitAt(m, age, fraction, x, y, vx, vy);
    } else {
        MoveFree(in, m, f, fraction, x0, y0, x, y, vx, vy, hit);
    }
    const float size = in.Size + f.Growth;
    const float step = in.RotationStep;
    const float angle = AngleAfter(m, f, step, fraction, vx, vy);
    const float transparency = in.Transparency + f.Fading;
    const int32_t deathTime = in.DeathTime;
    out = Particle{in.Sprite, size, x, y, vx, vy, transparency, deathTime, angle, step};
    const bool finite = ParticleStateIsFinite(out);
    const int old = static_cast<int>(ClockDiff(f.Now, deathTime) > 0);
    const int faded = static_cast<int>(size < 1.0f) | static_cast<int>(transparency < 1.0f);
    return (old | faded | static_cast<int>(!finite) | static_cast<int>(hit.Dies)) != 0;
}

}  // namespace pp
