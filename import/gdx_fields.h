// The sections of a libGDX emitter, one row each: how its lines are read, whether the editor
// keeps it active whatever its `active` line says, and the key of ours it goes into.
// gdx_import.cpp writes the effect text from them and says what still plays otherwise.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace pp {

enum class GdxKind {
    Ranged,  // active, lowMin, lowMax
    Scaled,  // ranged + highMin, highMax, relative, scalingCount/scalingN, timelineCount/timelineN
    Count,   // min, max
    Shape,   // shape, edges, side
    Gradient,  // colorsCount/colorsN, timelineCount/timelineN
    Options,   // attached, continuous, aligned, additive, behind, premultipliedAlpha, spriteMode
    Images,    // one path a line up to a blank line
};

struct GdxSectionSpec {
    std::string_view Name;  // as the section line spells it
    GdxKind Kind;
    bool AlwaysActive;      // read as active with no `active` line
    std::string_view Ours;  // the key of ours it goes into, or "" when none does
};

// Row indices, in the order of kGdxSections (the file's order).
enum GdxSectionIndex : std::size_t {
    kGdxDelay,
    kGdxDuration,
    kGdxCount,
    kGdxEmission,
    kGdxLife,
    kGdxLifeOffset,
    kGdxXOffset,
    kGdxYOffset,
    kGdxSpawnShape,
    kGdxSpawnWidth,
    kGdxSpawnHeight,
    kGdxScale,  // older files: one Scale for both sides
    kGdxXScale,
    kGdxYScale,
    kGdxVelocity,
    kGdxAngle,
    kGdxRotation,
    kGdxWind,
    kGdxGravity,
    kGdxTint,
    kGdxTransparency,
    kGdxOptions,
    kGdxImagePaths,
    kGdxImagePath,  // older files: one path
    kGdxSectionCount
};

inline constexpr std::array<GdxSectionSpec, kGdxSectionCount> kGdxSections{{
    {"Delay", GdxKind::Ranged, false, ""},
    {"Duration", GdxKind::Ranged, true, "Duration"},
    {"Count", GdxKind::Count, true, "MaxAlive"},
    {"Emission", GdxKind::Scaled, true, "EmissionRate"},
    {"Life", GdxKind::Scaled, true, "LifeTime"},
    {"Life Offset", GdxKind::Scaled, false, ""},
    {"X Offset", GdxKind::Ranged, false, ""},
    {"Y Offset", GdxKind::Ranged, false, ""},
    {"Spawn Shape", GdxKind::Shape, true, "EmitterArea"},
    {"Spawn Width", GdxKind::Scaled, true, "EmitterArea"},
    {"Spawn Height", GdxKind::Scaled, true, "EmitterArea"},
    {"Scale", GdxKind::Scaled, true, "Size"},
    {"X Scale", GdxKind::Scaled, true, "Size"},
    {"Y Scale", GdxKind::Scaled, false, "Aspect"},
    {"Velocity", GdxKind::Scaled, false, "EmissionVelocity"},
    {"Angle", GdxKind::Scaled, false, "EmissionAngle"},
    {"Rotation", GdxKind::Scaled, false, "Angle"},
    {"Wind", GdxKind::Scaled, false, ""},
    {"Gravity", GdxKind::Scaled, false, ""},
    {"Tint", GdxKind::Gradient, true, "ColourOverLife"},
    {"Transparency", GdxKind::Scaled, true, "TransparencyOverLife"},
    {"Options", GdxKind::Options, true, "BlendingMode"},
    {"Image Paths", GdxKind::Images, true, "SpriteFile"},
    {"Image Path", GdxKind::Images, true, "SpriteFile"},
}};

// The Options lines, with what a missing one reads (the editor's defaults).
struct GdxOptionSpec {
    std::string_view Name;
    bool Default;
};
inline constexpr std::array<GdxOptionSpec, 6> kGdxOptionLines{{
    {"attached", false},
    {"continuous", false},
    {"aligned", false},
    {"additive", true},
    {"behind", false},
    {"premultipliedAlpha", false},
}};

// The most keys a curve of a .p file is read with; ours hold kMaxLifeKeys of them.
inline constexpr std::size_t kMaxGdxCurvePoints = 256;

}  // namespace pp
