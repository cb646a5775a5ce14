// The vertex paths of the quad sprites: single draws, and runs of draws written many at a
// time, both into the quad batch exactly as the same single draws would write them.
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "draw/gl_device.h"
#include "draw/quad_batch.h"
#include "draw/quad_draws.h"
#include "draw/quad_sprites.h"
#include "draw/quad_table.h"
#include "geometry/quad_geometry.h"

namespace pp {
namespace {

// A quad streams its four corner positions (x, y floats) into one buffer and its alpha, once
// per corner, into another: 36 bytes. The texture coordinates of a corner follow from its
// place in the quad, which the vertex shader reads from the vertex number.
using Float4 = CornerFloats;

void RebuildCorners(QuadSprite& q) {
    q.Corners = BuildQuadCorners(q.Width, q.Height, q.Angle);
    q.CornersValid = 1;
}

// Writes one quad into the batch at xy (eight floats) and alpha (four bytes): the corners moved
// to (x, y), each with the draw's alpha. Returns four zeros when all eight coordinates are
// finite and a NaN somewhere otherwise (x - x is 0 for finite x, NaN for the rest), so that
// sums of the results tell whether any quad of a run must not be drawn.
inline Float4 StoreQuad(float* xy, uint8_t* alpha, Float4 cornerX, Float4 cornerY, int32_t x,
                        int32_t y, int32_t opacity) {
    const float fx = static_cast<float>(x);
    const float fy = static_cast<float>(y);
    const Float4 vx = cornerX + Float4{fx, fx, fx, fx};
    const Float4 vy = cornerY + Float4{fy, fy, fy, fy};
    const Float4 low = __builtin_shufflevector(vx, vy, 0, 4, 1, 5);
    const Float4 high = __builtin_shufflevector(vx, vy, 2, 6, 3, 7);
    std::memcpy(xy, &low, sizeof low);
    std::memcpy(xy + 4, &high, sizeof high);
    const uint32_t bytes = static_cast<uint32_t>(opacity & 0xFF) * 0x01010101u;
    std::memcpy(alpha, &bytes, sizeof bytes);
    return (vx - vx) + (vy - vy);
}

// Whether the eight coordinates of a stored quad are all finite.
inline bool AllFinite(const float* xy) {
    float zero = 0.0f;
    for (size_t k = 0; k < 8; ++k) zero += xy[k] - xy[k];
    return zero == 0.0f;
}

// Moves the corners to (x, y) with the alpha and queues the quad behind the batch, which is
// drawn first when it holds another texture or blend.
void AppendQuad(QuadBatch& b, const QuadSprite& q, int32_t x, int32_t y, int32_t alpha,
                GlBlend blend) {
    const Float4 cornerX = {q.Corners[0].X, q.Corners[1].X, q.Corners[2].X, q.Corners[3].X};
    const Float4 cornerY = {q.Corners[0].Y, q.Corners[1].Y, q.Corners[2].Y, q.Corners[3].Y};
    float xy[8];
    uint8_t bytes[4];
    // A NaN angle leaves no shape to draw; keep such vertices away from the rasterizer.
    StoreQuad(xy, bytes, cornerX, cornerY, x, y, alpha);
    if (!AllFinite(xy)) return;
    UseBatch(b, q.Texture->Texture, blend, false);
    std::memcpy(b.Xy + b.PendingQuads * 8, xy, sizeof xy);
    std::memcpy(b.Alpha + b.PendingQuads * 4, bytes, sizeof bytes);
    ++b.PendingQuads;
    if (!b.Batching || b.PendingQuads >= kMaxBatchQuads) FlushQuadBatch();
}

// Draws [begin, end) of a run, all of quad sprite q, as single draws would, straight into the
// batch.
void DrawRun(QuadBatch& b, QuadSprite& q, GlBlend blend, const QuadDrawRun& run,
             const RunAngles& angles, size_t begin, size_t end) {
    // Each draw sets size and angle; the last one stays on the quad sprite.
    const size_t last = end - 1;
    q.Width = run.Size[last];
    q.Height = run.Size[last];
    q.Angle = angles.Radians[last];
    q.CornersValid = 0;
    if (!b.QuadStatesApplied) ApplyQuadStates();
    if (!b.QuadStatesApplied) return;
    Float4 x;
    Float4 y;
    DrawCorners(run, angles, last, run.Size[last], x, y);
    for (size_t k = 0; k < 4; ++k) q.Corners[k] = QuadCorner{x[k], y[k]};
    q.CornersValid = 1;

    UseBatch(b, q.Texture->Texture, blend, false);
    if (!b.Batching) {
        for (size_t i = begin; i < end; ++i) {
            DrawCorners(run, angles, i, run.Size[i], x, y);
            PrepareBatch(b);
            StoreQuad(b.Xy, b.Alpha, x, y, run.X[i], run.Y[i], run.Alpha[i]);
            if (run.Size[i] != 0 && AllFinite(b.Xy)) {
                b.PendingQuads = 1;
                FlushQuadBatch();
            }
        }
        return;
    }
    if (b.PendingQuads + (end - begin) > kMaxBatchQuads) FlushQuadBatch();
    if (b.PendingQuads == 0) PrepareBatch(b);
    const QuadVertexSource source = {
        run.Size + begin,       run.X + begin,          run.Y + begin,       run.Alpha + begin,
        angles.Radians + begin, angles.Cosines + begin, angles.Sines + begin};
    b.PendingQuads += WriteQuadVertices(source, end - begin, b.Xy + b.PendingQuads * 8,
                                        b.Alpha + b.PendingQuads * 4);
}

// DrawRun of one staged group: the same quad sprite state, flushes and vertices.
void DrawStagedGroup(QuadBatch& b, QuadSprite& q, GlBlend blend, const StagedQuadRun::Group& g,
                     const float* xy, const uint8_t* alpha) {
    q.Width = g.LastSize;
    q.Height = g.LastSize;
    q.Angle = g.LastRadians;
    q.CornersValid = 0;
    if (!b.QuadStatesApplied) ApplyQuadStates();
    if (!b.QuadStatesApplied) return;
    Float4 x;
    Float4 y;
    if (g.LastRadians == 0.0f) {
        RectangleCorners(g.LastSize, g.LastSize, x, y);
    } else {
        TurnedCorners(g.LastSize, g.LastSize, g.LastCos, g.LastSin, x, y);
    }
    for (size_t k = 0; k < 4; ++k) q.Corners[k] = QuadCorner{x[k], y[k]};
    q.CornersValid = 1;

    UseBatch(b, q.Texture->Texture, blend, false);
    if (!b.Batching) {
        // The quads written are those a single draw sends to GL, one call each.
        for (size_t i = 0; i < g.Written; ++i) {
            PrepareBatch(b);
            std::memcpy(b.Xy, xy + i * 8, 8 * sizeof(float));
            std::memcpy(b.Alpha, alpha + i * 4, 4);
            b.PendingQuads = 1;
            FlushQuadBatch();
        }
        return;
    }
    if (b.PendingQuads + g.Draws > kMaxBatchQuads) FlushQuadBatch();
    if (b.PendingQuads == 0) PrepareBatch(b);
    std::memcpy(b.Xy + b.PendingQuads * 8, xy, g.Written * 8 * sizeof(float));
    std::memcpy(b.Alpha + b.PendingQuads * 4, alpha, g.Written * 4);
    b.PendingQuads += g.Written;
}

}  // namespace

void StageQuadSprites(int32_t source, int32_t destination, const QuadDrawRun& run, size_t count,
                      StagedQuadRun& staged) {
    count = std::min(count, QuadDrawRun::kCapacity);
    staged.Source = source;
    staged.Destination = destination;
    staged.Draws = count;
    staged.GroupCount = 0;
    RunAngles angles;
    AnglesOfRun(run, count, angles);
    size_t written = 0;
    ForEachQuadGroup(run, count, [&](int32_t quad, size_t i, size_t end) {
        const QuadVertexSource source = {run.Size + i,    run.X + i,          run.Y + i,
                                         run.Alpha + i,   angles.Radians + i, angles.Cosines + i,
                                         angles.Sines + i};
        const size_t n =
            WriteQuadVertices(source, end - i, staged.Xy + written * 8, staged.Alpha + written * 4);
        const size_t last = end - 1;
        staged.Groups[staged.GroupCount++] = {quad,
                                              static_cast<uint32_t>(end - i),
                                              static_cast<uint32_t>(n),
                                              run.Size[last],
                                              angles.Radians[last],
                                              angles.Cosines[last],
                                              angles.Sines[last]};
        written += n;
    });
}

void DrawStagedQuadSprites(const StagedQuadRun& staged) {
    if (staged.Draws == 0) return;
    QuadTableState& t = QuadTable();
    SetQuadBlending(staged.Source, staged.Destination);
    const GlBlend blend = MapBlend(t.BlendSource, t.BlendDestination);
    QuadBatch& b = Batch();
    int32_t lastQuad = -1;
    QuadSprite* q = nullptr;
    size_t written = 0;
    for (size_t k = 0; k < staged.GroupCount; ++k) {
        const StagedQuadRun::Group& g = staged.Groups[k];
        if (g.Quad != lastQuad || q == nullptr) {
            lastQuad = g.Quad;
            q = ObjectLookup(t.Table, g.Quad);
        }
        if (q != nullptr) {
            DrawStagedGroup(b, *q, blend, g, staged.Xy + written * 8, staged.Alpha + written * 4);
        }
        written += g.Written;
    }
}

void DrawQuadSprite(int32_t quad, int32_t x, int32_t y, int32_t alpha) {
    QuadTableState& t = QuadTable();
    QuadSprite* q = ObjectLookup(t.Table, quad);
    if (q == nullptr) return;
    QuadBatch& b = Batch();
    if (!b.QuadStatesApplied) ApplyQuadStates();
    // Outside BeginQuads/EndQuads there is no scene to draw into.
    if (!b.QuadStatesApplied) return;
    if (q->CornersValid == 0) RebuildCorners(*q);
    if (q->Width == 0 || q->Height == 0) return;
    AppendQuad(b, *q, x, y, alpha, MapBlend(t.BlendSource, t.BlendDestination));
}

void DrawQuadSprites(int32_t source, int32_t destination, const QuadDrawRun& run, size_t count) {
    if (count == 0) return;
    count = std::min(count, QuadDrawRun::kCapacity);
    QuadTableState& t = QuadTable();
    // Every draw sets the blend factors first; setting them once gives the same state.
    SetQuadBlending(source, destination);
    const GlBlend blend = MapBlend(t.BlendSource, t.BlendDestination);
    RunAngles angles;
    AnglesOfRun(run, count, angles);
    QuadBatch& b = Batch();
    ForEachQuadGroup(run, count, [&](int32_t quad, size_t i, size_t end) {
        if (QuadSprite* q = ObjectLookup(t.Table, quad)) DrawRun(b, *q, blend, run, angles, i, end);
    });
}

}  // namespace pp
