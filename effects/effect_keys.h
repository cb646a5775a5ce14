// The keys of an effect file, in the order the loader applies them: one table that the loader,
// check, inspect and the fuzz targets all read, so that a key is named in one place only. Each
// row also says which parameters its value is stored in, and the loader applies the rows as
// they stand.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <variant>

#include "particles/particles.h"

namespace pp {

// How a key's value is read.
enum class EffectValueKind {
    Path,     // a file name ('\' separates folders)
    Int,      // one integer
    Float,    // one number
    Pair,     // {x, y}: two numbers by position
    IntPair,  // {a, b}: two integers by position
    Area,     // {Type = name, Width, Height, Angle}
    Spec,     // a randomised number: plain, {Min, Max}, {Value, Range} or {Value, Blur}, + Inc
    IntSpec,  // the same forms over integers
    // The optional keys, into EmitterParams::Extras:
    Colour,       // {R, G, B}: three numbers by position, each held to 0..255
    Curve,        // {t = v, ...}: keys at fractions of a particle's life
    ColourCurve,  // {t = {R, G, B}, ...}
    Amount,       // one number held to a range
    SpriteSheet,  // {Columns, Rows, Frames, Rate, Random}: by name, or by position
    Burst,        // {Count, Interval, Repeat}: by name, or by position
    SubEffect,    // {Effect = path, Count, Inherit}: by name, or by position
    SpriteFile,   // an image file, relative to the folder of the file that names it
    Randomised,   // a Spec form into a RandomKey of Extras.Motion, its bounds held to a range
    Rgba,         // {R, G, B, A}: four numbers by position, each held to 0..255
    Whole,        // one whole number, read as Layer is, held to a range
    Force,        // {X, Y, Strength, Radius, Falloff, Screen}: by name, or by position
    Turbulence,   // {Strength, Scale, Speed, Seed}: by name, or by position
    Collide,      // {Floor = Y, ..., Bounce, ...}: lines by name, or a list of such blocks
    Trail,        // {Points, Length, Width, EndWidth, Fade, Darken, Behind}: by name or position
    Stretch,      // {Factor, Max}: by name, or by position
};

// Int rows: IntOr(value, Fallback) into Field.
struct IntKeyField {
    int32_t EmitterParams::*Field;
    int32_t Fallback;
};

// Pair rows: the entries "1" and "2" of the value, each FloatOr(entry, 0), into X and Y.
struct PairKeyFields {
    float EmitterParams::*X;
    float EmitterParams::*Y;
};

// IntPair rows: IntOr("1", FirstFallback) into First, IntOr("2", SecondFallback) into Second.
// A missing part takes its fallback, not the value the field had.
struct IntPairKeyFields {
    int32_t EmitterParams::*First;
    int32_t FirstFallback;
    int32_t EmitterParams::*Second;
    int32_t SecondFallback;
};

// Curve rows: the keys' values held to [Min, Max].
struct CurveKeyField {
    LifeCurve<1> ExtraParams::*Field;
    float Min;
    float Max;
};

// Amount rows: the number held to [Min, Max] into Field.
struct AmountKeyField {
    float ExtraParams::*Field;
    float Min;
    float Max;
};

// Randomised rows: the form's Min and Max (after the setting rule) each held to [Min, Max].
struct RandomKeyField {
    RandomKey MotionParams::*Field;
    float Min;
    float Max;
};

// Rgba rows: a missing channel reads Missing.
struct RgbaKeyField {
    ColourKey MotionParams::*Field;
    float Missing;
};

// Whole rows: the number held to [Min, Max] into Field.
struct WholeKeyField {
    int32_t ExtraParams::*Field;
    int32_t Min;
    int32_t Max;
};

// The motion keys' ranges: far beyond any effect's use, small enough that no sum of them
// overflows a float.
inline constexpr float kMaxMotionAmount = 1.0e6f;
// The widest quad over its height Aspect asks for (and its inverse the tallest).
inline constexpr float kMaxAspect = 100.0f;
// The most particles MaxAlive caps an effect at.
inline constexpr int32_t kMaxAliveCap = 1000000000;

// One number of a block key (SpriteSheet, Burst, OnBirth, OnDeath, Attractor, Vortex, Collide,
// Trail): its name, whether only whole numbers are read, the range it is held to and what a
// missing entry gives. A block whose entries all lack names is read by position, in the order of
// its fields. A Path field holds a file name instead, and its numbers mean nothing.
struct BlockField {
    std::string_view Name;
    bool Integer;
    float Min;
    float Max;
    float Default;
    bool Path = false;
};

// The most cells a sprite sheet has along either side.
inline constexpr int32_t kMaxSheetSide = 256;
// Size and transparency curves multiply by at most this much.
inline constexpr float kMaxLifeFactor = 1000.0f;

// Frames is held to 1..Columns * Rows; a sheet without Frames shows every cell.
inline constexpr std::array<BlockField, 5> kSpriteSheetFields{{
    {"Columns", true, 1.0f, kMaxSheetSide, 1.0f},
    {"Rows", true, 1.0f, kMaxSheetSide, 1.0f},
    {"Frames", true, 1.0f, kMaxSheetSide* kMaxSheetSide, kMaxSheetSide* kMaxSheetSide},
    {"Rate", false, 0.0f, 1000.0f, 0.0f},
    {"Random", true, 0.0f, 1.0f, 0.0f},
}};
inline constexpr std::array<BlockField, 3> kBurstFields{{
    {"Count", true, 0.0f, kMaxBurstCount, 0.0f},
    {"Interval", false, 0.0f, 1.0e6f, 1.0f},
    {"Repeat", true, 0.0f, 1.0e6f, 0.0f},  // a million is as good as forever
}};
// Effect is a path, not a number: its row only names it.
inline constexpr std::array<BlockField, 3> kSubEffectFields{{
    {"Effect", false, 0.0f, 0.0f, 0.0f, true},
    {"Count", true, 0.0f, kMaxBurstCount, 1.0f},
    {"Inherit", true, 0.0f, 1.0f, 0.0f},
}};
inline constexpr std::array<BlockField, 6> kForceFields{{
    {"X", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f},
    {"Y", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f},
    {"Strength", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f},
    {"Radius", false, 0.0f, kMaxMotionAmount, 0.0f},
    {"Falloff", true, 0.0f, 4.0f, 0.0f},
    {"Screen", true, 0.0f, 1.0f, 0.0f},
}};
// The defaults are TurbulenceParams'; a Scale of at least a pixel keeps 1 / Scale finite.
inline constexpr std::array<BlockField, 4> kTurbulenceFields{{
    {"Strength", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f},
    {"Scale", false, 1.0f, kMaxMotionAmount, 100.0f},
    {"Speed", false, 0.0f, 1000.0f, 1.0f},
    {"Seed", true, 0.0f, 1.0e6f, 0.0f},
}};
// The fields of one Collide block: each of Floor, Ceiling, Left and Right it names gives a line,
// and any of X1, Y1, X2, Y2 a segment (a missing end number 0), all sharing the rest.
inline constexpr std::array<BlockField, 12> kCollideFields{{
    {"Floor", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f},
    {"Ceiling", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f},
    {"Left", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f},
    {"Right", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f},
    {"X1", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f},
    {"Y1", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f},
    {"X2", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f},
    {"Y2", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f},
    {"Bounce", false, 0.0f, 1.0f, 1.0f},
    {"Friction", false, 0.0f, 1.0f, 0.0f},
    {"Die", true, 0.0f, 1.0f, 0.0f},
    {"Screen", true, 0.0f, 1.0f, 0.0f},
}};

inline constexpr std::array<BlockField, 7> kTrailFields{{
    {"Points", true, 0.0f, kMaxTrailPoints, 8.0f},
    {"Length", false, 0.0f, 1.0e6f, 0.0f},
    {"Width", false, 0.0f, kMaxMotionAmount, 0.0f},
    {"EndWidth", false, 0.0f, kMaxMotionAmount, 0.0f},
    {"Fade", false, 0.0f, 1.0f, 1.0f},
    {"Darken", false, 0.0f, 1.0f, 0.0f},
    {"Behind", true, 0.0f, 1.0f, 0.0f},
}};
// Max's default is its top, so that a Factor alone stretches up to a thousand sizes.
inline constexpr float kMaxStretch = StretchParams{}.Max;
inline constexpr std::array<BlockField, 2> kStretchFields{{
    {"Factor", false, 0.0f, 1000.0f, 0.0f},
    {"Max", false, 1.0f, kMaxStretch, kMaxStretch},
}};

// Where a row's value goes; the alternative follows the row's Kind:
//   Path, Area, SpriteFile: none here (the loader's chain walk, and SetArea with its own rule);
//   Int: IntKeyField; Float: the field, FloatOr(value, 0); Pair: PairKeyFields;
//   IntPair: IntPairKeyFields; Spec and IntSpec: the triple, stored by the setting rule;
//   Colour: the triple of Extras; Curve: CurveKeyField; ColourCurve: the curve of Extras;
//   Amount: AmountKeyField; SpriteSheet, Burst, SubEffect: the record of Extras; SpriteFile:
//   the loader's chain walk, into EmitterParams::SpriteFile; Randomised: RandomKeyField;
//   Rgba: RgbaKeyField; Whole: WholeKeyField; Force, Turbulence, Collide, Trail, Stretch: the
//   record of Extras.
using EffectKeyTarget = std::variant<
    std::monostate, IntKeyField, float EmitterParams::*, PairKeyFields, IntPairKeyFields,
    ValueSpec EmitterParams::*, IntValueSpec EmitterParams::*, std::array<float, 3> ExtraParams::*,
    CurveKeyField, LifeCurve<3> ExtraParams::*, AmountKeyField, SpriteSheetParams ExtraParams::*,
    BurstParams ExtraParams::*, SubEffectParams ExtraParams::*, RandomKeyField, RgbaKeyField,
    WholeKeyField, ForcePoint ExtraParams::*, TurbulenceParams ExtraParams::*,
    CollideParams ExtraParams::*, TrailParams ExtraParams::*, StretchParams ExtraParams::*>;

// Description: one line for an author, what the key does (the editor's panel shows it).
struct EffectKey {
    std::string_view Name;
    EffectValueKind Kind;
    EffectKeyTarget Target{};
    std::string_view Description{};
};

// The seventeen keys every effect has first, then the optional ones, each of which changes
// nothing when left out, so that a file without them loads to the same parameters.
inline constexpr std::array<EffectKey, 58> kEffectKeys{{
    {"Extends", EffectValueKind::Path, {}, "A file applied first; this file's own keys then win."},
    {"Layer", EffectValueKind::Int, IntKeyField{&EmitterParams::Layer, 0},
     "Drawing layer; only layer 0 is drawn."},
    {"EmitterPosition", EffectValueKind::Pair,
     PairKeyFields{&EmitterParams::PositionX, &EmitterParams::PositionY},
     "Centre of the emission area, in pixels."},
    {"EmitterArea",
     EffectValueKind::Area,
     {},
     "Where particles are born: a point, line, square, rectangle, circle or ellipse."},
    {"EmissionAngle", EffectValueKind::Spec, &EmitterParams::EmissionAngle,
     "Direction of flight of a new particle, in degrees (90 points down)."},
    {"EmissionVelocity", EffectValueKind::Spec, &EmitterParams::EmissionVelocity,
     "Starting speed, in pixels per second."},
    {"Acceleration", EffectValueKind::Pair,
     PairKeyFields{&EmitterParams::AccelerationX, &EmitterParams::AccelerationY},
     "Constant pull on every particle, in pixels per second squared."},
    {"LifeTime", EffectValueKind::Spec, &EmitterParams::LifeTime,
     "Seconds a particle lives at most."},
    {"EmissionRate", EffectValueKind::Spec, &EmitterParams::EmissionRate,
     "Particles per second, at most 1000."},
    {"Sprite", EffectValueKind::IntSpec, &EmitterParams::Sprite,
     "Sprite number a new particle draws with."},
    {"Size", EffectValueKind::Spec, &EmitterParams::Size,
     "Starting edge of a particle's square, in pixels."},
    {"Raise", EffectValueKind::Float, &EmitterParams::Raise,
     "Growth of the size, in pixels per second."},
    {"Rotation", EffectValueKind::Spec, &EmitterParams::Rotation,
     "Spin of a new particle, in degrees added every frame."},
    {"Transparency", EffectValueKind::Spec, &EmitterParams::Transparency,
     "Starting opacity, 0 (invisible) to 255 (opaque)."},
    {"Fade", EffectValueKind::Float, &EmitterParams::Fade, "Change of opacity per second."},
    {"BlendingMode", EffectValueKind::IntPair,
     // A missing part takes the creation default.
     IntPairKeyFields{&EmitterParams::BlendSource, EmitterParams{}.BlendSource,
                      &EmitterParams::BlendDestination, EmitterParams{}.BlendDestination},
     "Source and destination blend factor codes, 1 to 13."},
    {"Disable", EffectValueKind::Int, IntKeyField{&EmitterParams::Disable, 1},
     "Anything but 0 stops emission."},
    {"Colour", EffectValueKind::Colour, &ExtraParams::Colour,
     "Multiplies the sprite's red, green and blue, 0 to 255 each."},
    {"ColourOverLife", EffectValueKind::ColourCurve, &ExtraParams::ColourOverLife,
     "A colour over each particle's life, multiplying Colour."},
    {"SizeOverLife", EffectValueKind::Curve,
     CurveKeyField{&ExtraParams::SizeOverLife, 0.0f, kMaxLifeFactor},
     "A factor over each particle's life, multiplying its drawn size."},
    {"TransparencyOverLife", EffectValueKind::Curve,
     CurveKeyField{&ExtraParams::TransparencyOverLife, 0.0f, kMaxLifeFactor},
     "A factor over each particle's life, multiplying its drawn opacity."},
    {"Drag", EffectValueKind::Amount, AmountKeyField{&ExtraParams::Drag, 0.0f, 1000.0f},
     "Fraction of the speed lost per second."},
    {"Spin", EffectValueKind::Amount, AmountKeyField{&ExtraParams::Spin, -1.0e6f, 1.0e6f},
     "Turn in degrees per second, beside Rotation's per-frame step."},
    {"SpriteSheet", EffectValueKind::SpriteSheet, &ExtraParams::SpriteSheet,
     "Animates the sprite through the cells of one texture."},
    {"Burst", EffectValueKind::Burst, &ExtraParams::Burst,
     "Emits Count particles at once, in place of the steady rate."},
    // Below 2^31 ms, so that the end of the emission is a clock difference read exactly.
    {"Duration", EffectValueKind::Amount, AmountKeyField{&ExtraParams::Duration, 0.0f, 1.0e6f},
     "Seconds of emission after creation; 0 is no end."},
    {"Prewarm", EffectValueKind::Amount,
     AmountKeyField{&ExtraParams::Prewarm, 0.0f, kMaxPrewarmSeconds},
     "Seconds run while loading, so that the effect starts full."},
    {"OnBirth", EffectValueKind::SubEffect, &ExtraParams::OnBirth,
     "An effect started where each particle is born."},
    {"OnDeath", EffectValueKind::SubEffect, &ExtraParams::OnDeath,
     "An effect started where each particle dies."},
    {"SpriteFile",
     EffectValueKind::SpriteFile,
     {},
     "The PNG or BMP image the particles draw with, beside this file."},
    // The motion keys (particles/motion.h), in the order a birth draws them.
    {"RadialAcceleration", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::RadialAcceleration, -kMaxMotionAmount, kMaxMotionAmount},
     "Push away from the point a particle was born around, pixels per second squared (negative "
     "pulls)."},
    {"TangentialAcceleration", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::TangentialAcceleration, -kMaxMotionAmount, kMaxMotionAmount},
     "Push at right angles to that point, pixels per second squared, clockwise on screen when "
     "positive."},
    {"OrbitRadius", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::OrbitRadius, 0.0f, kMaxMotionAmount},
     "Orbit mode: the start radius of a particle's circle about the emitter, in pixels."},
    {"OrbitEndRadius", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::OrbitEndRadius, 0.0f, kMaxMotionAmount},
     "Orbit mode: the radius reached at death, in pixels."},
    {"OrbitSpin", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::OrbitSpin, -kMaxMotionAmount, kMaxMotionAmount},
     "Orbit mode: degrees a second a particle turns about the emitter."},
    {"EndSize", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::EndSize, 0.0f, kMaxMotionAmount},
     "The size a particle reaches at death, linear from its birth size."},
    {"Angle", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::Angle, -kMaxMotionAmount, kMaxMotionAmount},
     "The sprite's angle at birth, degrees clockwise."},
    {"EndAngle", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::EndAngle, -kMaxMotionAmount, kMaxMotionAmount},
     "The sprite's angle at death, degrees clockwise, reached linearly."},
    {"StartColour", EffectValueKind::Rgba, RgbaKeyField{&MotionParams::StartColour, 255.0f},
     "Colour and opacity at birth, {R, G, B, A} 0 to 255."},
    {"StartColourVariance", EffectValueKind::Rgba,
     RgbaKeyField{&MotionParams::StartColourVariance, 0.0f},
     "Plus or minus this much of each StartColour channel, drawn at birth."},
    {"EndColour", EffectValueKind::Rgba, RgbaKeyField{&MotionParams::EndColour, 255.0f},
     "Colour and opacity at death, {R, G, B, A} 0 to 255."},
    {"EndColourVariance", EffectValueKind::Rgba,
     RgbaKeyField{&MotionParams::EndColourVariance, 0.0f},
     "Plus or minus this much of each EndColour channel, drawn at birth."},
    {"AlignToMotion", EffectValueKind::Whole, WholeKeyField{&ExtraParams::AlignToMotion, 0, 1},
     "1: the sprite turns to its direction of travel."},
    {"MaxAlive", EffectValueKind::Whole, WholeKeyField{&ExtraParams::MaxAlive, 0, kMaxAliveCap},
     "At most this many live particles of this effect; 0 is no cap."},
    {"Attached", EffectValueKind::Whole, WholeKeyField{&ExtraParams::Attached, 0, 1},
     "1: particles move with their emitter."},
    // The forces (particles/forces.h).
    {"Attractor", EffectValueKind::Force, &ExtraParams::Attractor,
     "A point that pulls particles (or pushes, with a negative Strength), px/s²."},
    {"Vortex", EffectValueKind::Force, &ExtraParams::Vortex,
     "A point that particles swirl about, px/s², clockwise on screen when positive."},
    // The same switch as AlignToMotion under the name other tools give it; the later of the two
    // in a file wins, as the rows apply in order.
    {"AlignToVelocity", EffectValueKind::Whole, WholeKeyField{&ExtraParams::AlignToMotion, 0, 1},
     "1: the sprite turns to its direction of travel (the same as AlignToMotion)."},
    // The drawn shape (particles/looks.h).
    {"Aspect", EffectValueKind::Amount, AmountKeyField{&ExtraParams::Aspect, 0.0f, kMaxAspect},
     "Width over height of the drawn quad, to keep a sprite that is not square in its shape; 0 "
     "draws squares."},
    // The start of emission (particles/emission.cpp). Delay and Duration together stay below
    // 2^31 ms, so that both ends are clock differences read exactly.
    {"Delay", EffectValueKind::Amount, AmountKeyField{&ExtraParams::Delay, 0.0f, 1.0e6f},
     "Seconds after creation before emission starts; Duration and bursts count from then."},
    {"MinAlive", EffectValueKind::Whole, WholeKeyField{&ExtraParams::MinAlive, 0, kMaxBurstCount},
     "Each emitting frame, particles are born until at least this many are alive."},
    // The noise field (particles/turbulence.h).
    {"Turbulence", EffectValueKind::Turbulence, &ExtraParams::Turbulence,
     "A swirling noise field that carries particles along, px/s, swirls Scale px wide."},
    // Collision (particles/collide.h).
    {"Collide", EffectValueKind::Collide, &ExtraParams::Collide,
     "Lines particles bounce off or die at: a Floor, Ceiling, Left or Right wall, or a segment."},
    {"OnCollide", EffectValueKind::SubEffect, &ExtraParams::OnCollide,
     "An effect started where a particle hits a Collide line."},
    // The ribbons behind particles (particles/trails.h).
    {"Trail", EffectValueKind::Trail, &ExtraParams::Trail,
     "A ribbon behind each particle through its last Points places, fading along it."},
    // The drawn shape again (particles/looks.h): it turns the sprites as AlignToMotion does.
    {"Stretch", EffectValueKind::Stretch, &ExtraParams::Stretch,
     "Lengthens each quad along its velocity: width times 1 + Factor x speed, at most Max."},
    // Emission along the emitter's move (particles/emission.cpp).
    {"EmitAlongPath", EffectValueKind::Whole, WholeKeyField{&ExtraParams::EmitAlongPath, 0, 1},
     "1: a moving emitter's births spread along its move and over the frame."},
    {"EmitByDistance", EffectValueKind::Amount,
     AmountKeyField{&ExtraParams::EmitByDistance, 0.0f, kMaxBurstCount},
     "Particles per 100 pixels the emitter moves, in place of the steady rate."},
}};

// The named fields of a block row's value; empty for the other kinds.
constexpr std::span<const BlockField> BlockFieldsOf(EffectValueKind kind) {
    switch (kind) {
        case EffectValueKind::SpriteSheet:
            return kSpriteSheetFields;
        case EffectValueKind::Burst:
            return kBurstFields;
        case EffectValueKind::SubEffect:
            return kSubEffectFields;
        case EffectValueKind::Force:
            return kForceFields;
        case EffectValueKind::Turbulence:
            return kTurbulenceFields;
        case EffectValueKind::Collide:
            return kCollideFields;
        case EffectValueKind::Trail:
            return kTrailFields;
        case EffectValueKind::Stretch:
            return kStretchFields;
        default:
            return {};
    }
}

// Whether a row's Target is the alternative its Kind reads into.
constexpr bool TargetFitsKind(const EffectKey& key) {
    switch (key.Kind) {
        case EffectValueKind::Path:
        case EffectValueKind::Area:
        case EffectValueKind::SpriteFile:
            return std::holds_alternative<std::monostate>(key.Target);
        case EffectValueKind::Int:
            return std::holds_alternative<IntKeyField>(key.Target);
        case EffectValueKind::Float:
            return std::holds_alternative<float EmitterParams::*>(key.Target);
        case EffectValueKind::Pair:
            return std::holds_alternative<PairKeyFields>(key.Target);
        case EffectValueKind::IntPair:
            return std::holds_alternative<IntPairKeyFields>(key.Target);
        case EffectValueKind::Spec:
            return std::holds_alternative<ValueSpec EmitterParams::*>(key.Target);
        case EffectValueKind::IntSpec:
            return std::holds_alternative<IntValueSpec EmitterParams::*>(key.Target);
        case EffectValueKind::Colour:
            return std::holds_alternative<std::array<float, 3> ExtraParams::*>(key.Target);
        case EffectValueKind::Curve:
            return std::holds_alternative<CurveKeyField>(key.Target);
        case EffectValueKind::ColourCurve:
            return std::holds_alternative<LifeCurve<3> ExtraParams::*>(key.Target);
        case EffectValueKind::Amount:
            return std::holds_alternative<AmountKeyField>(key.Target);
        case EffectValueKind::SpriteSheet:
            return std::holds_alternative<SpriteSheetParams ExtraParams::*>(key.Target);
        case EffectValueKind::Burst:
            return std::holds_alternative<BurstParams ExtraParams::*>(key.Target);
        case EffectValueKind::SubEffect:
            return std::holds_alternative<SubEffectParams ExtraParams::*>(key.Target);
        case EffectValueKind::Randomised:
            return std::holds_alternative<RandomKeyField>(key.Target);
        case EffectValueKind::Rgba:
            return std::holds_alternative<RgbaKeyField>(key.Target);
        case EffectValueKind::Whole:
            return std::holds_alternative<WholeKeyField>(key.Target);
        case EffectValueKind::Force:
            return std::holds_alternative<ForcePoint ExtraParams::*>(key.Target);
        case EffectValueKind::Turbulence:
            return std::holds_alternative<TurbulenceParams ExtraParams::*>(key.Target);
        case EffectValueKind::Collide:
            return std::holds_alternative<CollideParams ExtraParams::*>(key.Target);
        case EffectValueKind::Trail:
            return std::holds_alternative<TrailParams ExtraParams::*>(key.Target);
        case EffectValueKind::Stretch:
            return std::holds_alternative<StretchParams ExtraParams::*>(key.Target);
    }
    return false;
}
static_assert(std::all_of(std::begin(kEffectKeys), std::end(kEffectKeys), TargetFitsKind),
              "each row stores as it reads");

}  // namespace pp
