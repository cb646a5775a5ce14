// Many quad sprite draws in one call: the particle engine hands over a run of draws that share
// their blend factors, and each comes out exactly as its four single calls would draw it,
// without four calls, two table lookups and a library sine and cosine per quad.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pp {

// One draw as DrawParticles makes it: a Size x Size square turned by Degrees. Size, X, Y and
// Alpha follow each other, so that the four can be stored at once.
struct QuadDraw {
    int32_t Quad;
    float Degrees;
    int32_t Size, X, Y, Alpha;
};
static_assert(offsetof(QuadDraw, Alpha) == offsetof(QuadDraw, Size) + 3 * sizeof(int32_t),
              "Size, X, Y and Alpha are contiguous");

// The same as, for each draw in order, SetQuadBlending(source, destination); SetQuadSize(
// Quad, Size, Size); SetQuadAngle(Quad, Degrees, 0); DrawQuadSprite(Quad, X, Y, Alpha): the
// same vertices in the same order, the same blend factors, and each quad sprite left with the
// size, angle and corners of its last draw.
void DrawQuadSprites(int32_t source, int32_t destination, const QuadDraw* draws, size_t count);

}  // namespace pp
