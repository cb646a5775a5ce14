// JSON forms of the public records for the headless subcommands: field names as in the
// records, floats that read back as the same 32-bit float.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "particleplayer/world.h"

namespace pp {

// The effect that particles start under a number (World::StartedEffectOf's answer).
using StartedEffectLookup =
    std::function<particleplayer::Result<particleplayer::StartedEffect>(int32_t)>;

// {"Disable": .., ..., "BlendDestination": ..} with every triple as {"Min", "Max", "Inc"}; an
// effect whose extras differ from the defaults adds "Extras": {...} with every optional field
// (curves as [[time, value...], ...]), and each started effect that `started` knows adds its
// own parameters as "Params" beside its number.
void AppendEffectJson(std::string& out, const particleplayer::EffectParams& params,
                      const particleplayer::EffectExtras& extras,
                      const StartedEffectLookup& started = {});

// [Sprite, Size, X, Y, VelocityX, VelocityY, Transparency, DeathTime, Angle, RotationStep]
void AppendParticleJson(std::string& out, const particleplayer::Particle& particle);

}  // namespace pp
