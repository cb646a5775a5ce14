// Drawing the live particles of one layer as quad sprites: every emitter of the layer in list
// order, every particle oldest first, each a square of its rounded size centred on its
// position, turned by its angle, with its transparency as alpha and its emitter's blend
// factors. Call between BeginQuads and EndQuads.
#pragma once

#include <cstdint>

#include "particles/particles.h"

namespace pp {

// Draws with every particle shifted by (offsetX, offsetY) pixels. Changes no engine record
// (the list cursors end on the last records, as after any full pass). Returns 0.
int32_t DrawParticles(Engine& engine, int32_t offsetX, int32_t offsetY, int32_t layer);

}  // namespace pp
