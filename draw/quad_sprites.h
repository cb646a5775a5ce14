// Quad sprites: a sprite's texture drawn as one screen-space quad of any integer size, turned
// about its centre, with a transparency and a global pair of blend factors. Draws between
// BeginQuads and EndQuads; consecutive draws with the same texture and blend factors are
// merged into one GL draw, which gives the same pixels as drawing them one by one.
#pragma once

#include <cstdint>

#include "draw/blend.h"

namespace pp {

struct QuadSprite;

// Empties the table and sets the blend factors to 5 and 6. Returns 1.
int32_t InitQuadSprites();

// Makes quad sprite `quad` from sprite `sprite` (removing an old entry under that number),
// with the texture's size and angle 0. Returns the entry, or nullptr when the sprite is
// missing or was not loaded with SpriteUsableAsQuad (the number is then empty).
const QuadSprite* CreateQuadSprite(int32_t quad, int32_t sprite);

// Begins the scene and the quad drawing states. Returns 1, or 0 when no screen is open.
int32_t BeginQuads();

// Draws what is batched and ends quad drawing; draws after it draw nothing until BeginQuads.
void EndQuads();

// Sets the blend factors of the following draws; does nothing while no screen is open.
void SetQuadBlending(int32_t source, int32_t destination);

// Display size in pixels, unchecked: 0 draws nothing, exactly one negative side draws nothing
// (the quad is mirrored and culled), both negative draw it turned by half a turn.
void SetQuadSize(int32_t quad, int32_t width, int32_t height);

// Rotation in degrees, clockwise on the screen; mode 0 sets it, any other mode adds to it.
void SetQuadAngle(int32_t quad, float degrees, int32_t mode);

// Draws the quad with its top-left at (x, y), texel (i, j) on pixel (x + i, y + j) when
// unturned and unscaled. Only the low 8 bits of alpha count (256 draws like 0). Entries that
// do not exist, or whose sprite was freed, draw nothing.
void DrawQuadSprite(int32_t quad, int32_t x, int32_t y, int32_t alpha);

// Removes every entry.
void FreeAllQuadSprites();

// On (the default) merges consecutive draws; off issues one GL draw per quad.
void SetQuadBatching(bool on);

}  // namespace pp
