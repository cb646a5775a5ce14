// The keys of a Particle Designer effect, one row each: what a missing key reads, the range a
// value is held to, which emitter type's motion reads it, the key of ours it becomes, and the
// finding it gives when our format cannot reproduce it. import_effect.cpp writes the effect
// text from the values; turning a finding into a key of ours is this row's Ours and Lost.
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
    ImportMode Mode;        // the emitter type that reads it (its findings only there)
    std::string_view Ours;  // the key of ours it goes into, or "" when none does yet
    // Said when the value is not Neutral (and the mode applies); empty when reproduced.
    std::string_view Lost{};
    double Neutral = 0;
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

inline constexpr std::string_view kPerParticleColour =
    "is drawn per particle there; here every particle takes the mean colour";

inline constexpr std::array<ImportField, kImportFieldCount> kImportFields{{
    {"maxParticles", 0, 0, 1.0e9, ImportMode::Any, "EmissionRate"},
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
    {"radialAcceleration", 0, -kBig, kBig, ImportMode::Gravity, "",
     "pulls each particle away from the emitter there; not reproduced here yet "
     "(RadialAcceleration)"},
    {"radialAccelVariance", 0, -kBig, kBig, ImportMode::Gravity, "",
     "is drawn per particle there; not reproduced here yet (RadialAcceleration)"},
    {"tangentialAcceleration", 0, -kBig, kBig, ImportMode::Gravity, "",
     "bends each particle's path about the emitter there; not reproduced here yet "
     "(TangentialAcceleration)"},
    {"tangentialAccelVariance", 0, -kBig, kBig, ImportMode::Gravity, "",
     "is drawn per particle there; not reproduced here yet (TangentialAcceleration)"},
    {"rotationIsDir", 0, 0, 1, ImportMode::Gravity, "",
     "turns each particle to its direction of travel every frame there; here only at birth "
     "(AlignToMotion)"},
    {"maxRadius", 0, -kBig, kBig, ImportMode::Radial, "EmissionVelocity",
     "is the radius particles start on there; here they start at the emitter (OrbitRadius)"},
    {"maxRadiusVariance", 0, -kBig, kBig, ImportMode::Radial, "",
     "is drawn per particle there; not reproduced here yet (OrbitRadius)"},
    {"minRadius", 0, -kBig, kBig, ImportMode::Radial, "EmissionVelocity"},
    {"minRadiusVariance", 0, -kBig, kBig, ImportMode::Radial, "",
     "is drawn per particle there; not reproduced here yet (OrbitEndRadius)"},
    {"rotatePerSecond", 0, -kBig, kBig, ImportMode::Radial, "",
     "turns the particles about the emitter there; here they fly straight out (OrbitSpin)"},
    {"rotatePerSecondVariance", 0, -kBig, kBig, ImportMode::Radial, "",
     "is drawn per particle there; not reproduced here yet (OrbitSpin)"},
    {"startParticleSize", 0, 0, 1.0e5, ImportMode::Any, "Size"},
    {"startParticleSizeVariance", 0, -1.0e5, 1.0e5, ImportMode::Any, "Size"},
    {"finishParticleSize", 0, -1, 1.0e5, ImportMode::Any, "SizeOverLife"},
    {"finishParticleSizeVariance", 0, -1.0e5, 1.0e5, ImportMode::Any, "SizeOverLife"},
    {"rotationStart", 0, -kBig, kBig, ImportMode::Any, ""},
    {"rotationStartVariance", 0, -kBig, kBig, ImportMode::Any, "",
     "is drawn per particle there; here each particle starts turned to its direction of "
     "flight (Angle)"},
    {"rotationEnd", 0, -kBig, kBig, ImportMode::Any, "Spin"},
    {"rotationEndVariance", 0, -kBig, kBig, ImportMode::Any, "",
     "is drawn per particle there; here every particle turns at the same rate (EndAngle)"},
    {"startColorRed", 0, 0, 1, ImportMode::Any, "ColourOverLife"},
    {"startColorGreen", 0, 0, 1, ImportMode::Any, "ColourOverLife"},
    {"startColorBlue", 0, 0, 1, ImportMode::Any, "ColourOverLife"},
    {"startColorAlpha", 0, 0, 1, ImportMode::Any, "TransparencyOverLife"},
    {"startColorVarianceRed", 0, -1, 1, ImportMode::Any, "", kPerParticleColour},
    {"startColorVarianceGreen", 0, -1, 1, ImportMode::Any, "", kPerParticleColour},
    {"startColorVarianceBlue", 0, -1, 1, ImportMode::Any, "", kPerParticleColour},
    {"startColorVarianceAlpha", 0, -1, 1, ImportMode::Any, "", kPerParticleColour},
    {"finishColorRed", 0, 0, 1, ImportMode::Any, "ColourOverLife"},
    {"finishColorGreen", 0, 0, 1, ImportMode::Any, "ColourOverLife"},
    {"finishColorBlue", 0, 0, 1, ImportMode::Any, "ColourOverLife"},
    {"finishColorAlpha", 0, 0, 1, ImportMode::Any, "TransparencyOverLife"},
    {"finishColorVarianceRed", 0, -1, 1, ImportMode::Any, "", kPerParticleColour},
    {"finishColorVarianceGreen", 0, -1, 1, ImportMode::Any, "", kPerParticleColour},
    {"finishColorVarianceBlue", 0, -1, 1, ImportMode::Any, "", kPerParticleColour},
    {"finishColorVarianceAlpha", 0, -1, 1, ImportMode::Any, "", kPerParticleColour},
    // Particle Designer's own defaults: ordinary transparency.
    {"blendFuncSource", 770, 0, 65535, ImportMode::Any, "BlendingMode"},
    {"blendFuncDestination", 771, 0, 65535, ImportMode::Any, "BlendingMode"},
    {"yCoordFlipped", 1, -1, 1, ImportMode::Any, "EmissionAngle"},
    {"positionType", 0, 0, 2, ImportMode::Any, "",
     "keeps the particles with a moving emitter there; here they stay where they are born "
     "(Attached)"},
}};

// Keys that the files carry and that change nothing of the effect.
inline constexpr std::array<std::string_view, 4> kImportIgnored{
    {"configName", "absolutePosition", "textureFileName", "textureImageData"}};

}  // namespace pp
