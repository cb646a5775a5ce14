// The C interface's records made from the C++ API's, for the files that implement its calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "particleplayer.h"
#include "particleplayer/world.h"

// Copies the first `capacity` of `from` (and of `marks`, when both are given) and says how many
// there are.
pp_status GiveParticles(const std::vector<particleplayer::Particle>& from,
                        const std::vector<int32_t>* marks, pp_particle* out, int32_t* startedAs,
                        size_t capacity, size_t* count);

// An effect's parameters in their C form.
pp_effect_params CParams(const particleplayer::EffectParams& p);

// An effect's optional keys in their C form; collide lines past the record's room are left out.
pp_effect_extras CExtras(const particleplayer::EffectExtras& x);
