/// @file
/// particleplayer/vertices.h - a world's particles as a vertex array, for hosts that draw
/// with their own renderer.
///
/// BuildVertices gives exactly the quads the bundled renderer draws for one layer: every
/// effect of the layer in load order, every particle oldest first, each a square whose side
/// is its size rounded half to even (a rectangle, its width and height each rounded, for an
/// effect with Aspect or Stretch), centred on its position (the top-left corner rounded the
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
/// and transparency used here as they change the drawn ones. The ribbons of an effect with a
/// Trail are not in these arrays: only the bundled renderer draws them; its particles are.
///
/// Three forms of the same quads, for three ways of drawing:
/// - VertexArray (BuildVertices): six vertices a quad, drawn as GL_TRIANGLES with no index list.
/// - IndexedVertexArray (BuildIndexedVertices): four vertices a quad in corner order
///   (top-left, top-right, bottom-left, bottom-right) and one index list, 0 1 2 2 1 3 for the
///   first quad and the same plus 4 k for quad k, which is the same in every frame: upload it
///   once, grow it when a frame has more quads.
/// - InstanceArray (BuildInstances): one QuadInstance a quad, for a vertex shader that makes
///   the four corners itself (kInstanceVertexShader reproduces them bit for bit wherever the
///   GPU's float add, subtract and multiply are rounded to nearest and not fused).
///
/// The three hold the same quads in the same order with the same runs: a run of n quads
/// counts 6 n vertices or indices in the first two forms and n instances in the third. A
/// world on several threads (World::SetThreads) builds its arrays on them; the arrays are the
/// same for any thread count.
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

/// Consecutive quads drawn with one sprite and one blend pair.
struct VertexRun {
    int32_t Sprite;            ///< Sprite number of every quad of the run.
    int32_t BlendSource;       ///< Source blend factor code.
    int32_t BlendDestination;  ///< Destination blend factor code.
    uint32_t First;            ///< The run's first vertex, index or instance.
    uint32_t Count;            ///< Vertices or indices (six per quad), or instances.
};

/// The quads of one frame.
struct VertexArray {
    std::vector<Vertex> Vertices;  ///< Six per quad.
    std::vector<VertexRun> Runs;   ///< In drawing order.
};

/// The quads of one frame, four vertices each, with the index list that draws them.
struct IndexedVertexArray {
    std::vector<Vertex> Vertices;   ///< Four per quad, in corner order.
    std::vector<uint32_t> Indices;  ///< Six per quad: 4k, 4k+1, 4k+2, 4k+2, 4k+1, 4k+3.
    std::vector<VertexRun> Runs;    ///< In drawing order; First and Count count indices.
};

/// One quad for a vertex shader to expand. Left and Top are the rounded top-left corner, Side
/// the rounded width and Height the rounded height (the same as Side for a square), all whole
/// numbers. Cos and Sin are the float cosine and sine of the
/// angle in radians that the bundled renderer turns the quad by; an unturned quad (an angle
/// of 0) has Cos 1 and Sin 0, and a turned one never has a Sin of zero. Corner k (0 top-left, 1
/// top-right, 2 bottom-left, 3 bottom-right) is, in float arithmetic in this order, with r = Side -
/// 0.5 and b = Height - 0.5:
///   x = (k & 1) ? r : -0.5,  y = (k & 2) ? b : -0.5,
///   unturned:  X = x + Left, Y = y + Top;
///   turned:    cx = (((-0.5 + r) + -0.5) + r) * 0.25, cy = (((-0.5 + -0.5) + b) + b) * 0.25
///              (the centre),
///              X = ((Cos * (x - cx) - Sin * (y - cy)) + cx) + Left,
///              Y = ((Sin * (x - cx) + Cos * (y - cy)) + cy) + Top.
/// The centre is kept apart from Left and Top because adding them first rounds differently.
struct QuadInstance {
    float Left;     ///< Rounded left edge's pixel, a whole number.
    float Top;      ///< Rounded top edge's pixel, a whole number.
    float Side;     ///< Rounded width in pixels, a whole number above 0.
    float Height;   ///< Rounded height in pixels, a whole number above 0.
    float Cos;      ///< Cosine of the turn, as the renderer rounds it.
    float Sin;      ///< Sine of the turn; zero only for an unturned quad.
    float U0;       ///< Texture coordinate u of the left edge.
    float V0;       ///< Texture coordinate v of the top edge.
    float U1;       ///< Texture coordinate u of the right edge.
    float V1;       ///< Texture coordinate v of the bottom edge.
    uint8_t Red;    ///< Multiplies the texel's red: 255 keeps it.
    uint8_t Green;  ///< Multiplies the texel's green: 255 keeps it.
    uint8_t Blue;   ///< Multiplies the texel's blue: 255 keeps it.
    uint8_t Alpha;  ///< Low 8 bits of the rounded transparency.
};

/// The quads of one frame as instances.
struct InstanceArray {
    std::vector<QuadInstance> Instances;  ///< One per quad.
    std::vector<VertexRun> Runs;          ///< In drawing order; First and Count count instances.
};

/// A GLSL 3.30 vertex shader that expands a QuadInstance (attribute 0: Left, Top, Side and Height;
/// 1: Cos and Sin; 2: U0, V0, U1, V1; 3: the colour as four normalised bytes; each advancing
/// once per instance) into corner gl_VertexID of a GL_TRIANGLE_STRIP of four vertices, with the
/// corner formulas above, and hands the fragment shader `Cell` (texture coordinates) and `Tint`
/// (colour, alpha). Set its uniform `Viewport` to the framebuffer's width and height in pixels.
/// Where the driver has `precise` (GLSL 4.00, or GL_ARB_gpu_shader5) the corners are marked so that
/// no product is fused with a sum.
extern const char* const kInstanceVertexShader;

/// Replaces `out` with the quads of `layer` as they stand (no update), every particle moved
/// by (offsetX, offsetY) pixels.
Status BuildVertices(World& world, VertexArray& out, int32_t layer = 0, int32_t offsetX = 0,
                     int32_t offsetY = 0);

/// The same quads as four vertices each and the index list.
Status BuildIndexedVertices(World& world, IndexedVertexArray& out, int32_t layer = 0,
                            int32_t offsetX = 0, int32_t offsetY = 0);

/// The same quads as one instance each.
Status BuildInstances(World& world, InstanceArray& out, int32_t layer = 0, int32_t offsetX = 0,
                      int32_t offsetY = 0);

}  // namespace particleplayer
