// The keys of a Particle Designer effect, one row each: what a missing key reads, the range a
// value is held to, which emitter type's motion reads it and the key of ours it becomes.
// import_effect.cpp writes the effect text from the values and says what still plays otherwise.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace pp {

enum class ImportMode { Any, Gravity, Radial };

struct ImportField {
    std::string_view Name;  // the .plist spelling
    double Default;         // a missing key, as the public loaders' dictionaries read it
    double Min, Max;        // held to, with a finding
    ImportMode Mode;        // the emitter type whose motion reads it
    std::string_view Ours;  // the key of ours it goes into, or "" when none does
};

// Row indices, in the order of kImportFields.
enum ImportFieldIndex : std::size_t {
    kMaxParticles,
    kDuration,
    kLifespan,
    kLifespanVariance,
    kAngle,
    kAngleVariance,
    kSourceX,
    kSourceY,
    kSourceVarianceX,
    kSourceVarianceY,
    kEmitterType,
    kGravityX,
    kGravityY,
    kSpeed,
    kSpeedVariance,
    kRadialAccel,
    kRadialAccelVariance,
    kTangentialAccel,
    kTangentialAccelVariance,
    kRotationIsDir,
    kMaxRadius,
    kMaxRadiusVariance,
    kMinRadius,
    kMinRadiusVariance,
    kRotatePerSecond,
    kRotatePerSecondVariance,
    kStartSize,
    kStartSizeVariance,
    kFinishSize,
    kFinishSizeVariance,
    kRotationStart,
    kRotationStartVariance,
    kRotationEnd,
    kRotationEndVariance,
    kStartRed,
    kStartGreen,
    kStartBlue,
    kStartAlpha,
    kStartVarianceRed,
    kStartVarianceGreen,
    kStartVarianceBlue,
    kStartVarianceAlpha,
    kFinishRed,
    kFinishGreen,
    kFinishBlue,
    kFinishAlpha,
    kFinishVarianceRed,
    kFinishVarianceGreen,
    kFinishVarianceBlue,
    kFinishVarianceAlpha,
    kBlendSource,
    kBlendDestination,
    kYCoordFlipped,
    kPositionType,
    kImportFieldCount
};

inline constexpr double kBig = 1.0e6;  // the widest range a motion value is held to

inline constexpr std::array<ImportField, kImportFieldCount> kImportFields{{
    {"maxParticles", 0, 0, 1.0e9, ImportMode::Any, "MaxAlive"},
    {"duration", -1, -kBig, kBig, ImportMode::Any, "Duration"},
    {"particleLifespan", 0, 0, 1.0e5, ImportMode::Any, "LifeTime"},
    {"particleLifespanVariance", 0, -1.0e5, 1.0e5, ImportMode::Any, "LifeTime"},
    {"angle", 0, -kBig, kBig, ImportMode::Any, "EmissionAngle"},
    {"angleVariance", 0, -kBig, kBig, ImportMode::Any, "EmissionAngle"},
    {"sourcePositionx", 0, -kBig, kBig, ImportMode::Any, "@X,Y"},
    {"sourcePositiony", 0, -kBig, kBig, ImportMode::Any, "@X,Y"},
    {"sourcePositionVariancex", 0, -1.0e5, 1.0e5, ImportMode::Any, "EmitterArea"},
    {"sourcePositionVariancey", 0, -1.0e5, 1.0e5, ImportMode::Any, "EmitterArea"},
    {"emitterType", 0, 0, 1, ImportMode::Any, ""},
    {"gravityx", 0, -kBig, kBig, ImportMode::Gravity, "Acceleration"},
    {"gravityy", 0, -kBig, kBig, ImportMode::Gravity, "Acceleration"},
    {"speed", 0, -kBig, kBig, ImportMode::Gravity, "EmissionVelocity"},
    {"speedVariance", 0, -kBig, kBig, ImportMode::Gravity, "EmissionVelocity"},
    {"radialAcceleration", 0, -kBig, kBig, ImportMode::Gravity, "RadialAcceleration"},
    {"radialAccelVariance", 0, -kBig, kBig, ImportMode::Gravity, "RadialAcceleration"},
    {"tangentialAcceleration", 0, -kBig, kBig, ImportMode::Gravity, "TangentialAcceleration"},
    {"tangentialAccelVariance", 0, -kBig, kBig, ImportMode::Gravity, "TangentialAcceleration"},
    {"rotationIsDir", 0, 0, 1, ImportMode::Gravity, "Spin"},
    {"maxRadius", 0, -kBig, kBig, ImportMode::Radial, "OrbitRadius"},
    {"maxRadiusVariance", 0, -kBig, kBig, ImportMode::Radial, "OrbitRadius"},
    {"minRadius", 0, -kBig, kBig, ImportMode::Radial, "OrbitEndRadius"},
    {"minRadiusVariance", 0, -kBig, kBig, ImportMode::Radial, "OrbitEndRadius"},
    {"rotatePerSecond", 0, -kBig, kBig, ImportMode::Radial, "OrbitSpin"},
    {"rotatePerSecondVariance", 0, -kBig, kBig, ImportMode::Radial, "OrbitSpin"},
    {"startParticleSize", 0, 0, 1.0e5, ImportMode::Any, "Size"},
    {"startParticleSizeVariance", 0, -1.0e5, 1.0e5, ImportMode::Any, "Size"},
    {"finishParticleSize", 0, -1, 1.0e5, ImportMode::Any, "EndSize"},
    {"finishParticleSizeVariance", 0, -1.0e5, 1.0e5, ImportMode::Any, "EndSize"},
    {"rotationStart", 0, -kBig, kBig, ImportMode::Any, "Angle"},
    {"rotationStartVariance", 0, -kBig, kBig, ImportMode::Any, "Angle"},
    {"rotationEnd", 0, -kBig, kBig, ImportMode::Any, "EndAngle"},
    {"rotationEndVariance", 0, -kBig, kBig, ImportMode::Any, "EndAngle"},
    {"startColorRed", 0, 0, 1, ImportMode::Any, "StartColour"},
    {"startColorGreen", 0, 0, 1, ImportMode::Any, "StartColour"},
    {"startColorBlue", 0, 0, 1, ImportMode::Any, "StartColour"},
    {"startColorAlpha", 0, 0, 1, ImportMode::Any, "StartColour"},
    {"startColorVarianceRed", 0, -1, 1, ImportMode::Any, "StartColourVariance"},
    {"startColorVarianceGreen", 0, -1, 1, ImportMode::Any, "StartColourVariance"},
    {"startColorVarianceBlue", 0, -1, 1, ImportMode::Any, "StartColourVariance"},
    {"startColorVarianceAlpha", 0, -1, 1, ImportMode::Any, "StartColourVariance"},
    {"finishColorRed", 0, 0, 1, ImportMode::Any, "EndColour"},
    {"finishColorGreen", 0, 0, 1, ImportMode::Any, "EndColour"},
    {"finishColorBlue", 0, 0, 1, ImportMode::Any, "EndColour"},
    {"finishColorAlpha", 0, 0, 1, ImportMode::Any, "EndColour"},
    {"finishColorVarianceRed", 0, -1, 1, ImportMode::Any, "EndColourVariance"},
    {"finishColorVarianceGreen", 0, -1, 1, ImportMode::Any, "EndColourVariance"},
    {"finishColorVarianceBlue", 0, -1, 1, ImportMode::Any, "EndColourVariance"},
    {"finishColorVarianceAlpha", 0, -1, 1, ImportMode::Any, "EndColourVariance"},
    // Particle Designer's own defaults: ordinary transparency.
    {"blendFuncSource", 770, 0, 65535, ImportMode::Any, "BlendingMode"},
    {"blendFuncDestination", 771, 0, 65535, ImportMode::Any, "BlendingMode"},
    {"yCoordFlipped", 1, -1, 1, ImportMode::Any, "EmissionAngle"},
    {"positionType", 0, 0, 2, ImportMode::Any, "Attached"},
}};

// Keys that the files carry and that change nothing of the effect.
inline constexpr std::array<std::string_view, 4> kImportIgnored{
    {"configName", "absolutePosition", "textureFileName", "textureImageData"}};

}  // namespace pp
