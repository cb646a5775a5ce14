// The public record of an effect's optional keys, for the calls that give it.
#pragma once

#include "particleplayer/effect_extras.h"
#include "particles/particles.h"

// The optional keys of an emitter's parameters (an effect's, or one kept for particles to
// start); the sprite file paths come from the engine's list.
particleplayer::EffectExtras PublicExtras(const pp::Engine& engine,
                                          const pp::EmitterParams& params);
