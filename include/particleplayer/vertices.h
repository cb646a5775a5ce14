/// @file
/// particleplayer/vertices.h - a world's particles as a vertex array, for hosts that draw
/// with their own renderer.
///
/// BuildVertices gives exactly the quads the bundled renderer draws for one layer: every
/// effect of the layer in load order, every particle oldest first, each a square whose side
/// is its size rounded half to even, centred on its position (the top-left corner rounded the
/// same way), turned clockwise by its angle about its centre. Each quad is two triangles, six
/// vertices: top-left, top-right, bottom-left, then bottom-left, top-right, bottom-right.
///
/// Positions are pixels with pixel centres at integer coordinates and y growing down the
/// screen: a W x H viewport maps x to clip space as (x + 0.5) * 2 / W - 1 and y as
/// 1 - (y + 0.5) * 2 / H (or the same as x with a framebuffer whose rows run top-down).
/// Texture coordinates run (0, 0) at the top-left texel edge to (1, 1) at the bottom-right;
/// a particle of an effect with a sprite sheet covers only its frame's cell of the texture
/// (top-left corner (U0, V0), bottom-right (U1, V1)). Red, green and blue multiply the texel's
/// colour (255 leaves it as it is): white unless the effect sets a colour; alpha is the low 8
/// bits of the particle's rounded transparency, straight (not premultiplied): the texel's
/// alpha times Alpha / 255 is the source alpha. An effect's curves over life change the size
/// and transparency used here as they change the drawn ones.
///
/// Runs group consecutive quads that share a sprite and blend pair; draw them in order, each
/// with its sprite's texture and its blend factor codes (1 zero, 2 one, 3 source colour,
/// 4 one minus source colour, 5 source alpha, 6 one minus source alpha, 7 destination alpha,
/// 8 one minus destination alpha, 9 destination colour, 10 one minus destination colour,
/// 11 saturated source alpha; 12 sets source alpha and one minus source alpha for both, 13 the
/// reverse; other codes mean 5 as source and 6 as destination). Quads of side 0, or with a
/// corner that is not finite, are left out, as the renderer leaves them out.
#pragma once

#include <cstdint>
#include <vector>

#include "particleplayer/world.h"

namespace particleplayer {

/// One corner of a quad.
struct Vertex {
    float X;        ///< Pixel x, pixel centres at integers.
    float Y;        ///< Pixel y, growing downwards.
    float U;        ///< Texture coordinate across, 0 to 1.
    float V;        ///< Texture coordinate down, 0 to 1.
    uint8_t Red;    ///< Multiplies the texel's red: 255 keeps it.
    uint8_t Green;  ///< Multiplies the texel's green: 255 keeps it.
    uint8_t Blue;   ///< Multiplies the texel's blue: 255 keeps it.
    uint8_t Alpha;  ///< Low 8 bits of the rounded transparency.
};

/// Consecutive vertices drawn with one sprite and one blend pair.
struct VertexRun {
    int32_t Sprite;            ///< Sprite number of every quad of the run.
    int32_t BlendSource;       ///< Source blend factor code.
    int32_t BlendDestination;  ///< Destination blend factor code.
    uint32_t First;            ///< Index of the run's first vertex.
    uint32_t Count;            ///< Number of vertices, six per quad.
};

/// The quads of one frame.
struct VertexArray {
    std::vector<Vertex> Vertices;  ///< Six per quad.
    std::vector<VertexRun> Runs;   ///< In drawing order.
};

/// Replaces `out` with the quads of `layer` as they stand (no update), every particle moved
/// by (offsetX, offsetY) pixels.
Status BuildVertices(World& world, VertexArray& out, int32_t layer = 0, int32_t offsetX = 0,
                     int32_t offsetY = 0);

}  // namespace particleplayer
