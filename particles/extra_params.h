// The parameters of the optional effect keys: colour, curves over a particle's life, drag and
// spin, sprite sheets, emission patterns and sub-effects. Every default changes nothing, so an
// emitter whose ExtraParams equal ExtraParams{} moves and draws exactly as one without them;
// the engine takes its plain path for such emitters.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "particleplayer/effect_extras_list.h"

namespace pp {

// The limits of the optional keys (named in the public list of their rows), which the loader
// holds values to and the engine obeys.
inline constexpr int32_t kMaxBurstCount = PP_MAX_BURST_COUNT;
inline constexpr float kMaxPrewarmSeconds = PP_MAX_PREWARM_SECONDS;
// Sub-effects nest at most this deep (a sub-effect's own sub-effect is depth 2).
inline constexpr int32_t kMaxSubEffectDepth = 4;

// A randomised parameter: Min, Min + Inc, ... up to Max, equally likely.
struct ValueSpec {
    float Min, Max, Inc;

    bool operator==(const ValueSpec&) const = default;
};

// The most images one SpriteFile list names; further ones are left out.
inline constexpr int32_t kMaxListedSprites = 16;

// Keys of a curve over a particle's life: at most this many.
inline constexpr int32_t kMaxLifeKeys = 8;

// Whether a record holds its type's defaults. Most records that do hold them byte for byte,
// which one memcmp tells at a fraction of the cost of comparing some hundred fields; a record
// unlike them byte-wise can still equal them (a -0 for a 0), which the comparison decides.
// The engine asks this of every emitter at every update.
template <class T>
bool AllDefault(const T& record) {
    static_assert(std::is_trivially_copyable_v<T>);
    static const T kDefault{};
    return std::memcmp(&record, &kDefault, sizeof(T)) == 0 || record == kDefault;
}

// A value given at fractions of each particle's own lifetime (Time 0 at birth, 1 at death, in
// increasing order, Count of them). Between two keys the value is interpolated linearly;
// before the first and after the last it holds. Count 0 is no curve.
template <int Channels>
struct LifeCurve {
    int32_t Count = 0;
    std::array<float, kMaxLifeKeys> Time{};
    std::array<std::array<float, Channels>, kMaxLifeKeys> Value{};

    bool operator==(const LifeCurve&) const = default;
};

// One texture cut into Columns x Rows cells, read left to right, top to bottom; a particle
// shows the first Frames of them in turn.
struct SpriteSheetParams {
    int32_t Columns = 1, Rows = 1;
    int32_t Frames = 0;  // 0: no sheet, the whole texture
    float Rate = 0.0f;   // frames a second; 0 spreads the frames over the particle's life
    int32_t Random = 0;  // 1: each particle starts on a random frame

    bool operator==(const SpriteSheetParams&) const = default;
};

// Count particles at once every Interval seconds, Repeat times (0: forever), in place of the
// steady rate.
struct BurstParams {
    int32_t Count = 0;  // 0: no bursts
    float Interval = 0.0f;
    int32_t Repeat = 0;

    bool operator==(const BurstParams&) const = default;
};

// An effect started where a particle is born or dies. The effect is loaded with its parent
// and kept in Engine::SubEffects; a started copy bursts Count particles once, then removes
// itself when they are gone.
struct SubEffectParams {
    int32_t Effect = -1;  // index into Engine::SubEffects; -1: none
    int32_t Count = 0;
    int32_t Inherit = 0;  // 1: the new particles take the particle's velocity as well

    bool operator==(const SubEffectParams&) const = default;
};

// A randomised optional key (RadialAcceleration, OrbitRadius, EndSize, ...): Set once a file
// gives it; only then is it drawn for every new particle, one generator step, in the order of
// MotionParams' fields. An unset key draws nothing and leaves the particle as without it.
struct RandomKey {
    int32_t Set = 0;
    ValueSpec Spec{0.0f, 0.0f, 0.0f};  // by the setting rule once Set

    bool operator==(const RandomKey&) const = default;
};

// {R, G, B, A}, 0 to 255 each, Set once a file gives it.
struct ColourKey {
    int32_t Set = 0;
    std::array<float, 4> Value{0.0f, 0.0f, 0.0f, 0.0f};

    bool operator==(const ColourKey&) const = default;
};

// The motion and looks that each particle draws at its birth (see motion.h for the rules).
// All unset: the particles move and look as without them, and draw nothing more.
struct MotionParams {
    RandomKey RadialAcceleration;      // px/s², away from the particle's origin
    RandomKey TangentialAcceleration;  // px/s², at right angles to it, clockwise on screen
    RandomKey OrbitRadius;             // px: any orbit key puts the emitter in orbit mode
    RandomKey OrbitEndRadius;          // px at the particle's death; unset: its start radius
    RandomKey OrbitSpin;               // degrees per second, clockwise on screen
    RandomKey EndSize;                 // px at death, linear from the birth size
    RandomKey Angle;                   // the sprite's angle at birth, degrees clockwise
    RandomKey EndAngle;                // and at death
    ColourKey StartColour;             // unset: {255, 255, 255, 255}
    ColourKey StartColourVariance;     // plus or minus, per channel
    ColourKey EndColour;               // unset: the start colour
    ColourKey EndColourVariance;

    bool operator==(const MotionParams&) const = default;
};

// A point that pulls particles towards it (Attractor) or swirls them about it (Vortex); see
// forces.h for the rule. Strength 0: none.
struct ForcePoint {
    float X = 0.0f, Y = 0.0f;  // px from the emitter's position, or on the screen with Screen
    float Strength = 0.0f;     // px/s² at the point: positive pulls, or turns clockwise
    float Radius = 0.0f;       // px beyond which it does nothing; 0: no limit
    int32_t Falloff = 0;       // the power of (1 - distance / Radius) it is scaled by
    int32_t Screen = 0;        // 1: X and Y are screen pixels, not from the emitter

    bool operator==(const ForcePoint&) const = default;
};

// The most points one Attractor or Vortex key gives (a list of up to this many blocks); further
// blocks are left out.
inline constexpr int32_t kMaxForcePoints = 8;
// The points of one force key, in the order written; they act in that order.
struct ForceList {
    int32_t Count = 0;  // 0: none
    std::array<ForcePoint, kMaxForcePoints> Points{};

    bool operator==(const ForceList&) const = default;
};

// A smooth, divergence-free noise field that carries the particles along (see turbulence.h).
// Strength 0: none.
struct TurbulenceParams {
    float Strength = 0.0f;  // px/s: about the field's root-mean-square speed
    float Scale = 100.0f;   // px: the size of the field's swirls (its lattice's spacing)
    float Speed = 1.0f;     // how many times a second the field turns into a new one
    int32_t Seed = 0;       // mixed with the world's seed, so effects can differ

    bool operator==(const TurbulenceParams&) const = default;
};

// The most lines one effect's Collide gives; further ones are left out.
inline constexpr int32_t kMaxCollideLines = 8;

// One line particles collide with (see collide.h for the rule). A floor and a ceiling lie
// along Y = A, a left and a right wall along X = A, a segment runs from (A, B) to (C, D); all
// from the emitter's position unless Screen.
enum class CollideForm : int32_t { Floor, Ceiling, Left, Right, Segment };
struct CollideLine {
    CollideForm Form = CollideForm::Floor;
    float A = 0.0f, B = 0.0f, C = 0.0f, D = 0.0f;  // px
    float Bounce = 1.0f;    // the fraction of the speed across the line kept, reversed
    float Friction = 0.0f;  // the fraction of the speed along the line lost at a hit
    int32_t Die = 0;        // 1: the particle dies where it meets the line
    int32_t Screen = 0;     // 1: the numbers are screen pixels, not from the emitter

    bool operator==(const CollideLine&) const = default;
};
struct CollideParams {
    int32_t Count = 0;  // 0: no collision
    std::array<CollideLine, kMaxCollideLines> Lines{};

    bool operator==(const CollideParams&) const = default;
};

// The most points a particle's trail keeps.
inline constexpr int32_t kMaxTrailPoints = 64;

// A ribbon behind each particle through the places it stood at its last Points updates (see
// trails.h). Points 0: none.
struct TrailParams {
    int32_t Points = 0;     // places kept, the particle's own among them; 0: no trail
    float Length = 0.0f;    // seconds a place is kept at most; 0: as many as Points keeps
    float Width = 0.0f;     // px at the particle; 0: the particle's drawn size
    float EndWidth = 0.0f;  // px at the trail's end
    float Fade = 1.0f;      // share of the opacity lost from the particle to the end
    float Darken = 0.0f;    // share of the colour lost from the particle to the end
    int32_t Behind = 0;     // 1: drawn before its particle, 0: after it

    bool operator==(const TrailParams&) const = default;
};

// Quads lengthened along their velocity (see looks.h): the drawn width times
// min(1 + Factor * speed, Max), the sprite turned to where it flies. Factor 0: none.
struct StretchParams {
    float Factor = 0.0f;  // the width's growth per px/s of speed, in sizes
    float Max = 1000.0f;  // the most times its size a quad is stretched to

    bool operator==(const StretchParams&) const = default;
};

// A number drawn for each particle at its birth: Min + k * Step up to Max, equally likely (see
// SampleValueSpec). Min and Max both 0: nothing is drawn.
struct DrawnRange {
    float Min = 0.0f, Max = 0.0f;
    float Step = 0.0f;

    bool operator==(const DrawnRange&) const = default;
};

struct ExtraParams {
    std::array<float, 3> Colour{255.0f, 255.0f, 255.0f};  // red, green, blue, 0 to 255
    LifeCurve<3> ColourOverLife;                          // multiplies Colour, channels 0 to 255
    LifeCurve<1> SizeOverLife;                            // multiplies the particle's size as drawn
    LifeCurve<1> TransparencyOverLife;  // multiplies the particle's transparency as drawn
    float Drag = 0.0f;                  // fraction of the velocity lost per second
    float Spin = 0.0f;                  // degrees per second, beside Rotation's per-update step
    SpriteSheetParams SpriteSheet;
    BurstParams Burst;
    float Duration = 0.0f;  // seconds of emission after the load; 0: no end
    float Prewarm = 0.0f;   // seconds run at the load, so that a looping effect starts full
    SubEffectParams OnBirth;
    SubEffectParams OnDeath;
    MotionParams Motion;
    int32_t AlignToMotion = 0;  // 1: each sprite turned to its direction of travel
    int32_t Attached = 0;       // 1: particles move with their emitter
    int32_t MaxAlive = 0;       // at most this many live particles; 0: no cap
    ForceList Attractor;
    ForceList Vortex;
    // The drawn shape (see looks.h): the quad's width over its height; 0 draws squares.
    float Aspect = 0.0f;
    // The start of emission (see EmitDueParticles): seconds after creation before anything is
    // emitted, and the fewest live particles each emitting update tops the effect up to.
    float Delay = 0.0f;
    int32_t MinAlive = 0;
    TurbulenceParams Turbulence;
    // The lines particles bounce off or die at, and the effect each hit starts (collide.h).
    CollideParams Collide;
    SubEffectParams OnCollide;
    TrailParams Trail;
    StretchParams Stretch;
    // Emission along the emitter's move (see EmitDueParticles): 1 spreads an update's births
    // along the segment the emitter moved since the last one and over its time;
    // EmitByDistance, particles per 100 px moved, emits by distance in place of the steady
    // rate, spread the same way.
    int32_t EmitAlongPath = 0;
    float EmitByDistance = 0.0f;
    // Motion over each particle's life (see motion.h): a factor of its velocity, degrees its
    // direction turns from its own, the share of the way from Angle to EndAngle in place of the
    // life fraction, and px/s added to its move in x and in y. Count 0: none.
    LifeCurve<1> SpeedOverLife;
    LifeCurve<1> TurnOverLife;
    LifeCurve<1> AngleOverLife;
    LifeCurve<1> DriftXOverLife;
    LifeCurve<1> DriftYOverLife;
    // How a particle picks among the images of a SpriteFile list (EmitterParams::SpriteList):
    // 0 shows the first, 1 draws one at birth, 2 steps through them over its life.
    int32_t SpriteMode = 0;
    // Factors over the emitter's Duration (time 0 at the start of its cycle, 1 at its end; see
    // EmitDueParticles) of the steady rate, of the lifetime of the particles born then and of
    // the emission area's width and height; no Duration: they do nothing.
    LifeCurve<1> EmissionOverDuration;
    LifeCurve<1> LifeOverDuration;
    LifeCurve<1> WidthOverDuration;
    LifeCurve<1> HeightOverDuration;
    // 1: the Duration repeats, Delay before each cycle, instead of ending the emission.
    int32_t Continuous = 0;
    // Drawn per particle: seconds of its life already past at its birth, and pixels added to
    // its birth place along x and y.
    DrawnRange LifeOffset;
    DrawnRange BirthOffsetX;
    DrawnRange BirthOffsetY;

    bool operator==(const ExtraParams&) const = default;
};

}  // namespace pp
