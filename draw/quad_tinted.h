// Quad sprite draws with a colour and a texture cell each, for particles of emitters with
// optional keys: the same quads as DrawQuadSprites makes of the same run, each with a colour
// multiplying its texels, its corners' texture coordinates taken from a cell of the texture
// instead of the whole of it, and a height of its own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "draw/quad_draws.h"

namespace pp {

// Per draw of a QuadDrawRun: red, green, blue (0 to 255, 255 leaves the texel as it is), the
// cell (U0, V0) to (U1, V1) of the texture, top-left to bottom-right, and the quad's height
// (its width is the run's Size).
struct QuadLooksRun {
    alignas(64) int32_t Height[QuadDrawRun::kCapacity];
    alignas(64) uint8_t Red[QuadDrawRun::kCapacity];
    alignas(64) uint8_t Green[QuadDrawRun::kCapacity];
    alignas(64) uint8_t Blue[QuadDrawRun::kCapacity];
    alignas(64) float U0[QuadDrawRun::kCapacity];
    alignas(64) float V0[QuadDrawRun::kCapacity];
    alignas(64) float U1[QuadDrawRun::kCapacity];
    alignas(64) float V1[QuadDrawRun::kCapacity];
};

// As DrawQuadSprites(source, destination, run, count) (the same quad sprite state, the same
// quads left out), each quad with its colour and cell. The quads wait in a batch of their own,
// which a plain quad draw or EndTintedQuads draws first.
void DrawTintedQuadSprites(int32_t source, int32_t destination, const QuadDrawRun& run,
                           const QuadLooksRun& looks, size_t count);

// Quads given corner by corner (top-left, top-right, bottom-left, bottom-right, so that a strip
// of them is a ribbon): for quad i, Xy[8i .. 8i + 7] its corners' x, y in pixels, Alpha[4i ..
// 4i + 3] their alphas, Rgb[3i .. 3i + 2] its colour and Uv[8i .. 8i + 7] its corners' texture
// coordinates.
struct TintedQuads {
    size_t Count = 0;
    const float* Xy = nullptr;
    const uint8_t* Alpha = nullptr;
    const uint8_t* Rgb = nullptr;
    const float* Uv = nullptr;
};

// Draws the quads with quad sprite `quad`'s texture and the blend factors, behind what waits in
// the tinted batch, leaving out those with a corner that is not finite. The quad sprite's size
// and angle stay as they are; a number without a quad sprite draws nothing.
void DrawTintedQuads(int32_t source, int32_t destination, int32_t quad, const TintedQuads& quads);

// Draws the tinted quads that wait.
void EndTintedQuads();

}  // namespace pp
