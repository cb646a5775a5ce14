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

// The effect file named on inspect's or simulate's command line loaded at (x, y) as play loads
// it: a file that names SpriteFile opens its paths from its own folder, and one that cannot be
// read loads its name as text.
particleplayer::Result<particleplayer::Effect> LoadEffectArgument(particleplayer::World& world,
                                                                  const std::string& path, float x,
                                                                  float y);

// The same for a file that loads as a group (a group file, a libGDX file): all its effects; any
// other file as a group of one, with LoadEffectArgument's error.
particleplayer::Result<particleplayer::EffectGroup> LoadGroupArgument(particleplayer::World& world,
                                                                      const std::string& path,
                                                                      float x, float y);

// [Sprite, Size, X, Y, VelocityX, VelocityY, Transparency, DeathTime, Angle, RotationStep]
void AppendParticleJson(std::string& out, const particleplayer::Particle& particle);

}  // namespace pp
