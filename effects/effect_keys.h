// The keys of an effect file, in the order the loader applies them: one table that the loader,
// check, inspect and the fuzz targets all read, so that a key is named in one place only. Each
// row also says which parameters its value is stored in, and the loader applies the rows as
// they stand.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
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

// Where a row's value goes; the alternative follows the row's Kind:
//   Path, Area: none here (the loader's chain walk, and SetArea with its own rule);
//   Int: IntKeyField; Float: the field, FloatOr(value, 0); Pair: PairKeyFields;
//   IntPair: IntPairKeyFields; Spec and IntSpec: the triple, stored by the setting rule.
using EffectKeyTarget =
    std::variant<std::monostate, IntKeyField, float EmitterParams::*, PairKeyFields,
                 IntPairKeyFields, ValueSpec EmitterParams::*, IntValueSpec EmitterParams::*>;

struct EffectKey {
    std::string_view Name;
    EffectValueKind Kind;
    EffectKeyTarget Target{};
};

inline constexpr std::array<EffectKey, 17> kEffectKeys{{
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
     // Source alpha and inverse source alpha, the creation defaults.
     IntPairKeyFields{&EmitterParams::BlendSource, 5, &EmitterParams::BlendDestination, 6}},
    {"Disable", EffectValueKind::Int, IntKeyField{&EmitterParams::Disable, 1}},
}};

// Whether a row's Target is the alternative its Kind reads into.
constexpr bool TargetFitsKind(const EffectKey& key) {
    switch (key.Kind) {
        case EffectValueKind::Path:
        case EffectValueKind::Area:
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
    }
    return false;
}
static_assert(std::ranges::all_of(kEffectKeys, TargetFitsKind), "each row stores as it reads");

}  // namespace pp
