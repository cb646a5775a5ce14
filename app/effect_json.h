// JSON forms of engine records for the headless subcommands: field names as in the records,
// floats that read back as the same 32-bit float.
#pragma once

#include <string>
#include <vector>

#include "particles/particles.h"

namespace pp {

// {"Disable": .., ..., "BlendDestination": ..} with every triple as {"Min", "Max", "Inc"}; an
// emitter whose Extras differ from the defaults adds "Extras": {...} with every optional field
// (curves as [[time, value...], ...]), and each started effect found in subEffects adds its
// own parameters as "Params" beside its index.
void AppendEmitterJson(std::string& out, const EmitterParams& params,
                       const std::vector<EmitterParams>& subEffects = {});

// [Sprite, Size, X, Y, VelocityX, VelocityY, Transparency, DeathTime, Angle, RotationStep]
void AppendParticleJson(std::string& out, const Particle& particle);

}  // namespace pp
