// The keys of an effect file, in the order the loader applies them: one table that the loader,
// check, inspect and the fuzz targets all read, so that a key is named in one place only.
#pragma once

#include <array>
#include <string_view>

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

struct EffectKey {
    std::string_view Name;
    EffectValueKind Kind;
};

inline constexpr std::array<EffectKey, 17> kEffectKeys{{
    {"Extends", EffectValueKind::Path},
    {"Layer", EffectValueKind::Int},
    {"EmitterPosition", EffectValueKind::Pair},
    {"EmitterArea", EffectValueKind::Area},
    {"EmissionAngle", EffectValueKind::Spec},
    {"EmissionVelocity", EffectValueKind::Spec},
    {"Acceleration", EffectValueKind::Pair},
    {"LifeTime", EffectValueKind::Spec},
    {"EmissionRate", EffectValueKind::Spec},
    {"Sprite", EffectValueKind::IntSpec},
    {"Size", EffectValueKind::Spec},
    {"Raise", EffectValueKind::Float},
    {"Rotation", EffectValueKind::Spec},
    {"Transparency", EffectValueKind::Spec},
    {"Fade", EffectValueKind::Float},
    {"BlendingMode", EffectValueKind::IntPair},
    {"Disable", EffectValueKind::Int},
}};

}  // namespace pp
