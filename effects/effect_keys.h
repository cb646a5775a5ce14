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
// The most particles MaxAlive caps an effect at.
inline constexpr int32_t kMaxAliveCap = 1000000000;

// One number of a block key (SpriteSheet, Burst, OnBirth, OnDeath): its name, whether only
// whole numbers are read, the range it is held to and what a missing entry gives. A block
// whose entries all lack names is read by position, in the order of its fields.
struct BlockField {
    std::string_view Name;
    bool Integer;
    float Min;
    float Max;
    float Default;
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
    {"Effect", false, 0.0f, 0.0f, 0.0f},
    {"Count", true, 0.0f, kMaxBurstCount, 1.0f},
    {"Inherit", true, 0.0f, 1.0f, 0.0f},
}};

// Where a row's value goes; the alternative follows the row's Kind:
//   Path, Area, SpriteFile: none here (the loader's chain walk, and SetArea with its own rule);
//   Int: IntKeyField; Float: the field, FloatOr(value, 0); Pair: PairKeyFields;
//   IntPair: IntPairKeyFields; Spec and IntSpec: the triple, stored by the setting rule;
//   Colour: the triple of Extras; Curve: CurveKeyField; ColourCurve: the curve of Extras;
//   Amount: AmountKeyField; SpriteSheet, Burst, SubEffect: the record of Extras; SpriteFile:
//   the loader's chain walk, into EmitterParams::SpriteFile; Randomised: RandomKeyField;
//   Rgba: RgbaKeyField; Whole: WholeKeyField.
using EffectKeyTarget =
    std::variant<std::monostate, IntKeyField, float EmitterParams::*, PairKeyFields,
                 IntPairKeyFields, ValueSpec EmitterParams::*, IntValueSpec EmitterParams::*,
                 std::array<float, 3> ExtraParams::*, CurveKeyField, LifeCurve<3> ExtraParams::*,
                 AmountKeyField, SpriteSheetParams ExtraParams::*, BurstParams ExtraParams::*,
                 SubEffectParams ExtraParams::*, RandomKeyField, RgbaKeyField, WholeKeyField>;

struct EffectKey {
    std::string_view Name;
    EffectValueKind Kind;
    EffectKeyTarget Target{};
};

// The seventeen keys every effect has first, then the optional ones, each of which changes
// nothing when left out, so that a file without them loads to the same parameters.
inline constexpr std::array<EffectKey, 45> kEffectKeys{{
    {"Extends", EffectValueKind::Path},
    {"Layer", EffectValueKind::Int, IntKeyField{&EmitterParams::Layer, 0}},
    {"EmitterPosition", EffectValueKind::Pair,
     PairKeyFields{&EmitterParams::PositionX, &EmitterParams::PositionY}},
    {"EmitterArea", EffectValueKind::Area},
    {"EmissionAngle", EffectValueKind::Spec, &EmitterParams::EmissionAngle},
    {"EmissionVelocity", EffectValueKind::Spec, &EmitterParams::EmissionVelocity},
    {"Acceleration", EffectValueKind::Pair,
     PairKeyFields{&EmitterParams::AccelerationX, &EmitterParams::AccelerationY}},
    {"LifeTime", EffectValueKind::Spec, &EmitterParams::LifeTime},
    {"EmissionRate", EffectValueKind::Spec, &EmitterParams::EmissionRate},
    {"Sprite", EffectValueKind::IntSpec, &EmitterParams::Sprite},
    {"Size", EffectValueKind::Spec, &EmitterParams::Size},
    {"Raise", EffectValueKind::Float, &EmitterParams::Raise},
    {"Rotation", EffectValueKind::Spec, &EmitterParams::Rotation},
    {"Transparency", EffectValueKind::Spec, &EmitterParams::Transparency},
    {"Fade", EffectValueKind::Float, &EmitterParams::Fade},
    {"BlendingMode", EffectValueKind::IntPair,
     // A missing part takes the creation default.
     IntPairKeyFields{&EmitterParams::BlendSource, EmitterParams{}.BlendSource,
                      &EmitterParams::BlendDestination, EmitterParams{}.BlendDestination}},
    {"Disable", EffectValueKind::Int, IntKeyField{&EmitterParams::Disable, 1}},
    {"Colour", EffectValueKind::Colour, &ExtraParams::Colour},
    {"ColourOverLife", EffectValueKind::ColourCurve, &ExtraParams::ColourOverLife},
    {"SizeOverLife", EffectValueKind::Curve,
     CurveKeyField{&ExtraParams::SizeOverLife, 0.0f, kMaxLifeFactor}},
    {"TransparencyOverLife", EffectValueKind::Curve,
     CurveKeyField{&ExtraParams::TransparencyOverLife, 0.0f, kMaxLifeFactor}},
    {"Drag", EffectValueKind::Amount, AmountKeyField{&ExtraParams::Drag, 0.0f, 1000.0f}},
    {"Spin", EffectValueKind::Amount, AmountKeyField{&ExtraParams::Spin, -1.0e6f, 1.0e6f}},
    {"SpriteSheet", EffectValueKind::SpriteSheet, &ExtraParams::SpriteSheet},
    {"Burst", EffectValueKind::Burst, &ExtraParams::Burst},
    // Below 2^31 ms, so that the end of the emission is a clock difference read exactly.
    {"Duration", EffectValueKind::Amount, AmountKeyField{&ExtraParams::Duration, 0.0f, 1.0e6f}},
    {"Prewarm", EffectValueKind::Amount,
     AmountKeyField{&ExtraParams::Prewarm, 0.0f, kMaxPrewarmSeconds}},
    {"OnBirth", EffectValueKind::SubEffect, &ExtraParams::OnBirth},
    {"OnDeath", EffectValueKind::SubEffect, &ExtraParams::OnDeath},
    {"SpriteFile", EffectValueKind::SpriteFile},
    // The motion keys (particles/motion.h), in the order a birth draws them.
    {"RadialAcceleration", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::RadialAcceleration, -kMaxMotionAmount, kMaxMotionAmount}},
    {"TangentialAcceleration", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::TangentialAcceleration, -kMaxMotionAmount, kMaxMotionAmount}},
    {"OrbitRadius", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::OrbitRadius, 0.0f, kMaxMotionAmount}},
    {"OrbitEndRadius", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::OrbitEndRadius, 0.0f, kMaxMotionAmount}},
    {"OrbitSpin", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::OrbitSpin, -kMaxMotionAmount, kMaxMotionAmount}},
    {"EndSize", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::EndSize, 0.0f, kMaxMotionAmount}},
    {"Angle", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::Angle, -kMaxMotionAmount, kMaxMotionAmount}},
    {"EndAngle", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::EndAngle, -kMaxMotionAmount, kMaxMotionAmount}},
    {"StartColour", EffectValueKind::Rgba, RgbaKeyField{&MotionParams::StartColour, 255.0f}},
    {"StartColourVariance", EffectValueKind::Rgba,
     RgbaKeyField{&MotionParams::StartColourVariance, 0.0f}},
    {"EndColour", EffectValueKind::Rgba, RgbaKeyField{&MotionParams::EndColour, 255.0f}},
    {"EndColourVariance", EffectValueKind::Rgba,
     RgbaKeyField{&MotionParams::EndColourVariance, 0.0f}},
    {"AlignToMotion", EffectValueKind::Whole, WholeKeyField{&ExtraParams::AlignToMotion, 0, 1}},
    {"MaxAlive", EffectValueKind::Whole, WholeKeyField{&ExtraParams::MaxAlive, 0, kMaxAliveCap}},
    {"Attached", EffectValueKind::Whole, WholeKeyField{&ExtraParams::Attached, 0, 1}},
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
    }
    return false;
}
static_assert(std::all_of(std::begin(kEffectKeys), std::end(kEffectKeys), TargetFitsKind),
              "each row stores as it reads");

}  // namespace pp
