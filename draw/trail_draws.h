// The ribbons behind particles with a Trail (see particles/trails.h), drawn as tinted quads in
// their particle's batch.
#pragma once

#include <cstdint>

#include "particles/looks.h"
#include "particles/particles.h"

namespace pp {

// Draws particle `index`'s ribbon, with p its particle and l its looks, moved by (dx, dy), with
// the emitter's blend factors and the particle's sprite: one quad from each place to the next.
void DrawTrailOf(const Emitter& e, int32_t index, const Particle& p, const ParticleLooks& l,
                 float dx, float dy);

}  // namespace pp
