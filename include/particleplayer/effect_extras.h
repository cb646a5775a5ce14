/// @file
/// particleplayer/effect_extras.h - an effect's optional keys, as loading left them.
///
/// EffectExtras is what World::Extras returns: one member per field of the optional keys
/// (curves over the life, sub-effects, forces, collision, trails, the drawn shape), each a row of
/// particleplayer/effect_extras_list.h. An effect that sets none of them has EffectExtras{},
/// which changes nothing. The record grows at its end only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "particleplayer/effect_extras_list.h"

namespace particleplayer {

/// A value over a particle's life: Count keys (0 to 8) at increasing fractions Time of its
/// lifetime (0 at birth, 1 at death), linear between keys, held before the first key and after
/// the last. Count 0: no curve.
template <int Channels>
struct LifeCurve {
    int32_t Count = 0;                                   ///< Keys in use, 0 to 8.
    std::array<float, 8> Time{};                         ///< Fraction of the life of each key.
    std::array<std::array<float, Channels>, 8> Value{};  ///< Value of each key, per channel.
    /// Compares every key, those past Count included.
    bool operator==(const LifeCurve&) const = default;
};

/// An effect that each particle's birth or death starts where the particle is.
struct SubEffect {
    bool Set = false;     ///< False: none is started.
    int32_t Count = 0;    ///< Particles the started effect emits at once, then it ends.
    int32_t Inherit = 0;  ///< 1: they take the particle's velocity as well.
    /// Which effect is started: its number for World::StartedEffectOf, -1 when Set is false.
    int32_t Effect = -1;
    /// Field by field.
    bool operator==(const SubEffect&) const = default;
};

/// A randomised motion key (RadialAcceleration, OrbitRadius, EndSize, ...) as loading left it:
/// drawn for each particle at its birth, Min + k * Inc up to Max, once the file gave it.
struct MotionValue {
    bool Set = false;  ///< False: the file does not give it, and nothing is drawn.
    float Min = 0.0f;  ///< Smallest value.
    float Max = 0.0f;  ///< Largest value.
    float Inc = 0.0f;  ///< Step between values; positive once Set.
    /// Field by field.
    bool operator==(const MotionValue&) const = default;
};

/// A motion colour key (StartColour, EndColourVariance, ...): red, green, blue, alpha, 0 to 255.
struct MotionColour {
    bool Set = false;              ///< False: the file does not give it.
    std::array<float, 4> Value{};  ///< Red, green, blue and alpha.
    /// Field by field.
    bool operator==(const MotionColour&) const = default;
};

/// A point that pulls particles (Attractor) or turns them about it (Vortex).
struct ForcePoint {
    float X = 0.0f;  ///< Pixels from the emitter, or on the screen with Screen.
    float Y = 0.0f;  ///< Pixels from the emitter, or on the screen with Screen.
    float Strength =
        0.0f;             ///< Pixels per second² at the point: positive pulls, or turns clockwise.
    float Radius = 0.0f;  ///< Pixels beyond which it does nothing; 0: no limit.
    int32_t Falloff = 0;  ///< The power of (1 - distance / Radius) it is scaled by.
    int32_t Screen = 0;   ///< 1: X and Y are screen pixels.
    /// Field by field.
    bool operator==(const ForcePoint&) const = default;
};

/// A swirling noise field that carries particles along (the Turbulence key).
struct TurbulenceField {
    float Strength = 0.0f;  ///< Pixels per second, about the field's mean speed; 0: none.
    float Scale = 100.0f;   ///< Pixels: the size of the field's swirls.
    float Speed = 1.0f;     ///< How many times a second the field turns into a new one.
    int32_t Seed = 0;       ///< Mixed with the world's seed.
    /// Field by field.
    bool operator==(const TurbulenceField&) const = default;
};

/// One line of Collide: a floor, a ceiling, a wall or a segment that particles bounce off or
/// die at.
struct CollideLine {
    /// The line's form: which of A to D it reads.
    enum class Form : int32_t {
        Floor,    ///< y = A, met from above.
        Ceiling,  ///< y = A, met from below.
        Left,     ///< x = A, met from its right.
        Right,    ///< x = A, met from its left.
        Segment,  ///< From (A, B) to (C, D), met from either side.
    };
    Form Shape = Form::Floor;  ///< Which line it is.
    float A = 0.0f;            ///< Pixels: the floor's y, the wall's x, or the segment's x1.
    float B = 0.0f;            ///< Pixels: the segment's y1.
    float C = 0.0f;            ///< Pixels: the segment's x2.
    float D = 0.0f;            ///< Pixels: the segment's y2.
    float Bounce = 1.0f;       ///< The fraction of the speed across the line kept, reversed.
    float Friction = 0.0f;     ///< The fraction of the speed along the line lost at a hit.
    int32_t Die = 0;           ///< 1: the particle dies where it meets the line.
    int32_t Screen = 0;        ///< 1: the numbers are screen pixels, not from the emitter.
    /// Field by field.
    bool operator==(const CollideLine&) const = default;
};

/// A ribbon behind each particle through the places of its last Points frames.
struct Trail {
    int32_t Points = 0;     ///< Places kept; 0: no trail.
    float Length = 0.0f;    ///< Seconds a place is kept at most; 0: as many as Points.
    float Width = 0.0f;     ///< Pixels at the particle; 0: its drawn size.
    float EndWidth = 0.0f;  ///< Pixels at the trail's end.
    float Fade = 1.0f;      ///< Share of the opacity lost along it.
    float Darken = 0.0f;    ///< Share of the colour lost along it.
    int32_t Behind = 0;     ///< 1: drawn before its particle, 0: after it.
    /// Field by field.
    bool operator==(const Trail&) const = default;
};

/// A number drawn for each particle at its birth, Min + k * Step up to Max; Min and Max both 0
/// draw nothing.
struct DrawnRange {
    float Min = 0.0f;   ///< Smallest value.
    float Max = 0.0f;   ///< Largest value.
    float Step = 0.0f;  ///< Step between values; positive once read from a file.
    /// Field by field.
    bool operator==(const DrawnRange&) const = default;
};

/// The optional keys of an effect, as loading left them: one field per row of
/// particleplayer/effect_extras_list.h (which describes each), in that order, named as there
/// (extras.Drag). An effect that sets none of them has EffectExtras{}, which changes nothing.
/// Colours are 0 to 255 per channel.
struct EffectExtras {
    /// @cond
#define PARTICLEPLAYER_EXTRA_FLOAT(name, ...) float name{__VA_ARGS__};
#define PARTICLEPLAYER_EXTRA_INT(name, ...) int32_t name{__VA_ARGS__};
#define PARTICLEPLAYER_EXTRA_COLOUR(name, ...) std::array<float, 3> name{__VA_ARGS__};
#define PARTICLEPLAYER_EXTRA_CURVE1(name, ...) LifeCurve<1> name;
#define PARTICLEPLAYER_EXTRA_CURVE3(name, ...) LifeCurve<3> name;
#define PARTICLEPLAYER_EXTRA_SUB_EFFECT(name, ...) SubEffect name;
#define PARTICLEPLAYER_EXTRA_STRING(name, ...) std::string name{__VA_ARGS__};
#define PARTICLEPLAYER_EXTRA_MOTION_VALUE(name, ...) MotionValue name;
#define PARTICLEPLAYER_EXTRA_MOTION_COLOUR(name, ...) MotionColour name;
#define PARTICLEPLAYER_EXTRA_FORCE(name, ...) ForcePoint name;
#define PARTICLEPLAYER_EXTRA_TURBULENCE(name, ...) TurbulenceField name;
#define PARTICLEPLAYER_EXTRA_COLLIDE_LIST(name, ...) std::vector<CollideLine> name;
#define PARTICLEPLAYER_EXTRA_TRAIL(name, ...) ::particleplayer::Trail name;
#define PARTICLEPLAYER_EXTRA_FORCE_LIST(name, ...) std::vector<ForcePoint> name;
#define PARTICLEPLAYER_EXTRA_STRING_LIST(name, ...) std::vector<std::string> name;
#define PARTICLEPLAYER_EXTRA_DRAWN_RANGE(name, ...) DrawnRange name;
#define PARTICLEPLAYER_EXTRA(kind, name, cName, shown, key, doc, ...) \
    PARTICLEPLAYER_EXTRA_##kind(name, __VA_ARGS__)
    /// @endcond
    PARTICLEPLAYER_EFFECT_EXTRAS(PARTICLEPLAYER_EXTRA)
#undef PARTICLEPLAYER_EXTRA
#undef PARTICLEPLAYER_EXTRA_FLOAT
#undef PARTICLEPLAYER_EXTRA_INT
#undef PARTICLEPLAYER_EXTRA_COLOUR
#undef PARTICLEPLAYER_EXTRA_CURVE1
#undef PARTICLEPLAYER_EXTRA_CURVE3
#undef PARTICLEPLAYER_EXTRA_SUB_EFFECT
#undef PARTICLEPLAYER_EXTRA_STRING
#undef PARTICLEPLAYER_EXTRA_MOTION_VALUE
#undef PARTICLEPLAYER_EXTRA_MOTION_COLOUR
#undef PARTICLEPLAYER_EXTRA_FORCE
#undef PARTICLEPLAYER_EXTRA_TURBULENCE
#undef PARTICLEPLAYER_EXTRA_COLLIDE_LIST
#undef PARTICLEPLAYER_EXTRA_TRAIL
#undef PARTICLEPLAYER_EXTRA_FORCE_LIST
#undef PARTICLEPLAYER_EXTRA_STRING_LIST
#undef PARTICLEPLAYER_EXTRA_DRAWN_RANGE
    /// Field by field.
    bool operator==(const EffectExtras&) const = default;
};

}  // namespace particleplayer
