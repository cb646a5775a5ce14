// The motion keys: accelerations away from and around a particle's origin, orbits, end sizes
// and angles, start and end colours, turning to the direction of travel and particles attached
// to their emitter. What each particle draws at its birth is kept in Emitter::Motion; the rules
// below are the engine's, in 32-bit float in the written order (the reference states them for
// effect authors).
//
// Birth. After all of the particle's other draws (the sprite sheet's start frame included),
// each key that is set draws once, in this order: RadialAcceleration, TangentialAcceleration,
// OrbitRadius, OrbitEndRadius, OrbitSpin, EndSize, Angle, EndAngle (SampleValueSpec each), then
// StartColourVariance's red, green, blue and alpha, then EndColourVariance's (VaryChannel each).
// The particle's origin is the emitter's position at its birth.
//
// Move, each update with frame time dt, after the attachment (below):
//   - gravity mode (no orbit key set): the plain step (x += dt * vx, then vx += dt * ax), and
//     with RadialAcceleration or TangentialAcceleration, u = (p - origin) / |p - origin| from the
//     position before the move, vx = (vx + dt * ax) + (dt * radial * ux - dt * tangential * uy),
//     vy = (vy + dt * ay) + (dt * radial * uy + dt * tangential * ux); nothing at the origin
//     itself. Positive tangential turns clockwise on screen (y grows down). Drag then applies;
//   - orbit mode (OrbitRadius, OrbitEndRadius or OrbitSpin set): at age a seconds and life
//     fraction f, angle = OrbitAngle + OrbitSpin * a (degrees, starting at the emission angle),
//     r = OrbitRadius + (OrbitEndRadius - OrbitRadius) * f, position = origin + r * (cos, sin)
//     of the angle; the velocity is the orbit's own, rate * (cos, sin) + r * w * (-sin, cos) with
//     w the spin in radians per second and rate = (end - start radius) / lifetime seconds.
//     EmissionVelocity, Acceleration, Drag and the two accelerations do not move it;
//   - attached (Attached = 1): before the move, the particle and its origin are moved by the
//     emitter's move since the particle's origin was last set (origin = the emitter's position).
//   - over the life (gravity mode, SpeedOverLife, TurnOverLife, DriftXOverLife or
//     DriftYOverLife set): the move is x += dt * mx, y += dt * my in place of the plain step's
//     velocity, with the curves read at f and (mx, my) = the velocity before the step, turned by
//     TurnOverLife's degrees (a = degrees * pi / 180, mx = cos a * vx - sin a * vy,
//     my = sin a * vx + cos a * vy), then times SpeedOverLife, then plus DriftXOverLife and
//     DriftYOverLife, each step only with its curve. The velocity itself changes as ever.
// Angle: turn = Angle (or, without it, the emission angle; 0 with AlignToMotion), plus
// Rotation's steps and Spin as ever; the particle's angle is turn + (EndAngle - birth turn) * s,
// s = AngleOverLife at f (without it, f itself), with AlignToMotion plus the direction of its
// velocity (atan2, 0 for no velocity) plus TurnOverLife at f, added in that order. Stretch
// turns the sprites as AlignToMotion does.
// Looks (LooksOf): size as drawn = max(0, size + (EndSize - birth size) * f), then SizeOverLife;
// the colour c = start + (end - start) * f per channel multiplies Colour (and ColourOverLife)
// by c / 255 and the drawn transparency by alpha / 255.
#pragma once

#include <cstdint>

#include "particles/collide.h"
#include "particles/forces.h"
#include "particles/particles.h"
#include "particles/turbulence.h"

namespace pp {

// Whether the sprites turn to their direction of travel: AlignToMotion, or Stretch, which
// lengthens them along it.
inline bool TurnsToMotion(const ExtraParams& x) {
    return x.AlignToMotion != 0 || x.Stretch.Factor > 0.0f;
}

// Whether a curve over the life changes the particles' move (SpeedOverLife, TurnOverLife,
// DriftXOverLife, DriftYOverLife).
inline bool MovesOverLife(const ExtraParams& x) {
    return x.SpeedOverLife.Count > 0 || x.TurnOverLife.Count > 0 || x.DriftXOverLife.Count > 0 ||
           x.DriftYOverLife.Count > 0;
}

// Whether the emitter's particles keep Motion records.
inline bool HasMotion(const ExtraParams& x) {
    return TurnsToMotion(x) || x.Attached != 0 || !AllDefault(x.Motion) || MovesOverLife(x);
}

inline bool InOrbit(const MotionParams& m) {
    return m.OrbitRadius.Set != 0 || m.OrbitEndRadius.Set != 0 || m.OrbitSpin.Set != 0;
}

inline bool HasColours(const MotionParams& m) {
    return m.StartColour.Set != 0 || m.StartColourVariance.Set != 0 || m.EndColour.Set != 0 ||
           m.EndColourVariance.Set != 0;
}

// base + variance * ((2k - 255) / 255) for k = RandomInt(255), held to 0..255 (NaN gives 0):
// one generator step, 256 levels from base - variance to base + variance.
float VaryChannel(Engine& engine, float base, float variance);

// The birth record of the particle `p` just spawned at clock reading `birth` with lifeMs to
// live, its draws taken as above; also puts an orbiting particle on its orbit and turns the
// particle to its angle.
ParticleMotion StartMotion(Engine& engine, const Emitter& e, Particle& p, float lifeMs);

// A record for a particle alive when the keys arrived: no draws; it stays where it is (an orbit
// of its own distance and no spin), its origin the emitter's position.
ParticleMotion RestingMotion(const Emitter& e, const Particle& p);

// The per-pass constants of the plain step with the optional keys: the frame's time, the
// velocity, size and opacity steps, drag and spin.
struct ExtraMotion {
    float Dt, StepX, StepY, Growth, Fading;
    bool Drag, Spin;
    float DragFactor, SpinStep;
    int32_t Now;
};

// The per-pass constants of the motion step: the plain step's and the motion rules' own.
struct MotionFrame : ExtraMotion {
    float EmitterX, EmitterY;
    bool Orbit, Forces, Align, Attached;
    bool Pulled;  // Attractor or Vortex, in gravity mode (see forces.h)
    ForceFrame Pulls;
    TurbulenceFrame Turbulence;  // in gravity mode
    const CollideFrame* Lines;   // Collide's lines in gravity mode (see collide.h); nullptr: none
    const ExtraParams* Curves;   // the emitter's keys, for the curves over the life
    bool LifeMoves;              // MovesOverLife, in gravity mode
};

// One particle's step (the rules above) with its records; `life` is already at now. Returns
// whether it died, by the plain pass's rules or at a line; `hit` tells what the lines met.
bool AdvanceWithMotion(const Particle& in, Particle& out, ParticleMotion& motion,
                       const ParticleLife& life, const MotionFrame& f, CollideHit& hit);

// The direction of a velocity in degrees, 0 for none.
float DirectionOf(float vx, float vy);

}  // namespace pp
