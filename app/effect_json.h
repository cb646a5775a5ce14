// JSON forms of engine records for the headless subcommands: field names as in the records,
// floats that read back as the same 32-bit float.
#pragma once

#include <string>

#include "particles/particles.h"

namespace pp {

// {"Disable": .., ..., "BlendDestination": ..} with every triple as {"Min", "Max", "Inc"}.
void AppendEmitterJson(std::string& out, const EmitterParams& params);

// [Sprite, Size, X, Y, VelocityX, VelocityY, Transparency, DeathTime, Angle, RotationStep]
void AppendParticleJson(std::string& out, const Particle& particle);

}  // namespace pp
