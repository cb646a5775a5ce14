// Tinted quad sprite draws: one quad at a time into the quad batch, with its colour and
// texture coordinates beside its corners and alpha.
#include "draw/quad_tinted.h"

#include <algorithm>
#include <cstring>

#include "draw/gl_device.h"
#include "draw/quad_batch.h"
#include "draw/quad_draws.h"
#include "draw/quad_sprites.h"
#include "draw/quad_table.h"
#include "geometry/quad_geometry.h"

namespace pp {
namespace {

// Whether draw i shows something: sides that are not 0 and finite corners, which
// WriteQuadVertices writes into xy (eight floats) as it writes them for a square.
bool CornersOfDraw(const QuadDrawRun& run, const QuadLooksRun& looks, const RunAngles& angles,
                   size_t i, float* xy) {
    if (run.Size[i] == 0 || looks.Height[i] == 0) return false;
    CornerFloats x;
    CornerFloats y;
    DrawCorners(run, angles, i, looks.Height[i], x, y);
    const float fx = static_cast<float>(run.X[i]);
    const float fy = static_cast<float>(run.Y[i]);
    x += CornerFloats{fx, fx, fx, fx};
    y += CornerFloats{fy, fy, fy, fy};
    const CornerFloats zero = (x - x) + (y - y);
    for (size_t c = 0; c < 4; ++c) {
        xy[2 * c] = x[c];
        xy[2 * c + 1] = y[c];
    }
    return zero[0] == 0.0f && zero[1] == 0.0f && zero[2] == 0.0f && zero[3] == 0.0f;
}

// Quad n of the batch takes draw i's colour and cell.
void StoreLooks(QuadBatch& b, size_t n, const QuadLooksRun& looks, size_t i) {
    const float uv[8] = {looks.U0[i], looks.V0[i], looks.U1[i], looks.V0[i],
                         looks.U0[i], looks.V1[i], looks.U1[i], looks.V1[i]};
    std::memcpy(b.Uv + n * 8, uv, sizeof uv);
    const uint8_t corner[4] = {looks.Red[i], looks.Green[i], looks.Blue[i], 0};
    for (size_t c = 0; c < 4; ++c) std::memcpy(b.Tint + n * 16 + 4 * c, corner, 4);
}

// Draws [begin, end) of a run, all of quad sprite q, as DrawQuadSprites would, each quad with
// its looks.
void DrawGroup(QuadBatch& b, QuadSprite& q, GlBlend blend, const QuadDrawRun& run,
               const QuadLooksRun& looks, const RunAngles& angles, size_t begin, size_t end) {
    // Each draw sets size and angle; the last one stays on the quad sprite.
    q.Width = run.Size[end - 1];
    q.Height = looks.Height[end - 1];
    q.Angle = angles.Radians[end - 1];
    q.CornersValid = 0;
    if (!b.QuadStatesApplied) ApplyQuadStates();
    if (!b.QuadStatesApplied || !EnsureTintedPipeline()) return;
    const GLuint texture = q.Texture->Texture;
    if (!b.Batching) {
        for (size_t i = begin; i < end; ++i) {
            UseBatch(b, texture, blend, true);
            if (!CornersOfDraw(run, looks, angles, i, b.Xy)) continue;
            const uint32_t alpha = static_cast<uint32_t>(run.Alpha[i] & 0xFF) * 0x01010101u;
            std::memcpy(b.Alpha, &alpha, 4);
            StoreLooks(b, 0, looks, i);
            b.PendingQuads = 1;
            FlushQuadBatch();
        }
        return;
    }
    UseBatch(b, texture, blend, true);
    if (b.PendingQuads + (end - begin) > kMaxBatchQuads) {
        FlushQuadBatch();
        UseBatch(b, texture, blend, true);
    }
    const size_t first = b.PendingQuads;
    if (!std::equal(run.Size + begin, run.Size + end, looks.Height + begin)) {
        // Quads that are not all square: one at a time, in the same order.
        size_t n = first;
        for (size_t i = begin; i < end; ++i) {
            if (CornersOfDraw(run, looks, angles, i, b.Xy + n * 8)) {
                const uint32_t alpha = static_cast<uint32_t>(run.Alpha[i] & 0xFF) * 0x01010101u;
                std::memcpy(b.Alpha + n * 4, &alpha, 4);
                StoreLooks(b, n++, looks, i);
            }
        }
        b.PendingQuads = n;
        return;
    }
    const QuadVertexSource source = {
        run.Size + begin,       run.X + begin,          run.Y + begin,       run.Alpha + begin,
        angles.Radians + begin, angles.Cosines + begin, angles.Sines + begin};
    const size_t written =
        WriteQuadVertices(source, end - begin, b.Xy + first * 8, b.Alpha + first * 4);
    if (written == end - begin) {
        for (size_t i = begin; i < end; ++i) StoreLooks(b, first + (i - begin), looks, i);
    } else {
        // Some were left out: the looks go with the quads that show.
        float xy[8];
        size_t n = first;
        for (size_t i = begin; i < end; ++i) {
            if (CornersOfDraw(run, looks, angles, i, xy)) StoreLooks(b, n++, looks, i);
        }
    }
    b.PendingQuads += written;
}

}  // namespace

void DrawTintedQuadSprites(int32_t source, int32_t destination, const QuadDrawRun& run,
                           const QuadLooksRun& looks, size_t count) {
    count = std::min(count, QuadDrawRun::kCapacity);
    QuadTableState& t = QuadTable();
    SetQuadBlending(source, destination);
    const GlBlend blend = MapBlend(t.BlendSource, t.BlendDestination);
    // The angles of the whole run first, several at a time, as the plain runs take them.
    RunAngles angles;
    AnglesOfRun(run, count, angles);
    QuadBatch& b = Batch();
    ForEachQuadGroup(run, count, [&](int32_t quad, size_t i, size_t end) {
        if (QuadSprite* q = ObjectLookup(t.Table, quad)) {
            DrawGroup(b, *q, blend, run, looks, angles, i, end);
        }
    });
}

void DrawTintedQuads(int32_t source, int32_t destination, int32_t quad, const TintedQuads& quads) {
    QuadTableState& t = QuadTable();
    SetQuadBlending(source, destination);
    const GlBlend blend = MapBlend(t.BlendSource, t.BlendDestination);
    const QuadSprite* q = ObjectLookup(t.Table, quad);
    if (q == nullptr || quads.Count == 0) return;
    QuadBatch& b = Batch();
    if (!b.QuadStatesApplied) ApplyQuadStates();
    if (!b.QuadStatesApplied || !EnsureTintedPipeline()) return;
    const GLuint texture = q->Texture->Texture;
    for (size_t i = 0; i < quads.Count; ++i) {
        const float* xy = quads.Xy + i * 8;
        float zero = 0.0f;
        for (size_t c = 0; c < 8; ++c) zero = zero + (xy[c] - xy[c]);
        if (!(zero == 0.0f)) continue;
        UseBatch(b, texture, blend, true);
        if (b.PendingQuads == kMaxBatchQuads) {
            FlushQuadBatch();
            UseBatch(b, texture, blend, true);
        }
        const size_t n = b.PendingQuads;
        std::memcpy(b.Xy + n * 8, xy, 8 * sizeof(float));
        std::memcpy(b.Alpha + n * 4, quads.Alpha + i * 4, 4);
        std::memcpy(b.Uv + n * 8, quads.Uv + i * 8, 8 * sizeof(float));
        const uint8_t corner[4] = {quads.Rgb[i * 3], quads.Rgb[i * 3 + 1], quads.Rgb[i * 3 + 2], 0};
        for (size_t c = 0; c < 4; ++c) std::memcpy(b.Tint + n * 16 + 4 * c, corner, 4);
        b.PendingQuads = n + 1;
        if (!b.Batching) FlushQuadBatch();
    }
}

void EndTintedQuads() {
    if (Batch().PendingTinted) FlushQuadBatch();
}

}  // namespace pp
