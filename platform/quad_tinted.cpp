// Tinted quad sprite draws: one quad at a time into the quad batch, with its colour and
// texture coordinates beside its corners and alpha.
#include "platform/quad_tinted.h"

#include <algorithm>
#include <cstring>

#include "platform/gl_device.h"
#include "platform/quad_batch.h"
#include "platform/quad_geometry.h"
#include "platform/quad_sprites.h"
#include "platform/quad_table.h"

namespace pp {
namespace {

// Starts a tinted batch for this texture and blend, drawing what waits first when it is plain
// or holds another texture or blend.
void UseTintedBatch(QuadBatch& b, GLuint texture, GlBlend blend) {
    if (b.PendingQuads != 0 &&
        (!b.PendingTinted || texture != b.PendingTexture || !(blend == b.PendingBlend))) {
        FlushQuadBatch();
    }
    if (b.PendingQuads == 0) PrepareTintedBatch(b);
    b.PendingTinted = true;
    b.PendingTexture = texture;
    b.PendingBlend = blend;
}

}  // namespace

void DrawTintedQuadSprites(int32_t source, int32_t destination, const QuadDrawRun& run,
                           const QuadLooksRun& looks, size_t count) {
    count = std::min(count, QuadDrawRun::kCapacity);
    QuadTableState& t = QuadTable();
    SetQuadBlending(source, destination);
    const GlBlend blend = MapBlend(t.BlendSource, t.BlendDestination);
    // The angles of the whole run first, several at a time, as the plain runs take them.
    alignas(64) float radians[QuadDrawRun::kCapacity];
    alignas(64) float cosines[QuadDrawRun::kCapacity];
    alignas(64) float sines[QuadDrawRun::kCapacity];
    QuadRadiansMany(run.Degrees, count, radians);
    QuadCosSinMany(radians, count, cosines, sines);
    QuadBatch& b = Batch();
    int32_t lastQuad = -1;
    QuadSprite* q = nullptr;
    for (size_t i = 0; i < count; ++i) {
        if (run.Quad[i] != lastQuad || q == nullptr) {
            lastQuad = run.Quad[i];
            q = ObjectLookup(t.Table, lastQuad);
        }
        if (q == nullptr) continue;
        // The draw's size and angle stay on the quad sprite, as a single draw leaves them.
        const int32_t size = run.Size[i];
        q->Width = q->Height = size;
        q->Angle = radians[i];
        q->CornersValid = 0;
        if (!b.QuadStatesApplied) ApplyQuadStates();
        if (!b.QuadStatesApplied || size == 0 || !EnsureTintedPipeline()) continue;
        CornerFloats x;
        CornerFloats y;
        if (radians[i] == 0.0f) {
            RectangleCorners(size, size, x, y);
        } else {
            TurnedCorners(size, size, cosines[i], sines[i], x, y);
        }
        const float fx = static_cast<float>(run.X[i]);
        const float fy = static_cast<float>(run.Y[i]);
        x += CornerFloats{fx, fx, fx, fx};
        y += CornerFloats{fy, fy, fy, fy};
        const CornerFloats zero = (x - x) + (y - y);
        if (!(zero[0] == 0.0f && zero[1] == 0.0f && zero[2] == 0.0f && zero[3] == 0.0f)) continue;
        UseTintedBatch(b, q->Texture->Texture, blend);
        const size_t n = b.PendingQuads;
        float* xy = b.Xy + n * 8;
        const float u[4] = {looks.U0[i], looks.U1[i], looks.U0[i], looks.U1[i]};
        const float v[4] = {looks.V0[i], looks.V0[i], looks.V1[i], looks.V1[i]};
        float* uv = b.Uv + n * 8;
        uint8_t* tint = b.Tint + n * 16;
        for (size_t c = 0; c < 4; ++c) {
            xy[2 * c] = x[c];
            xy[2 * c + 1] = y[c];
            uv[2 * c] = u[c];
            uv[2 * c + 1] = v[c];
            const uint8_t corner[4] = {looks.Red[i], looks.Green[i], looks.Blue[i], 0};
            std::memcpy(tint + 4 * c, corner, 4);
            b.Alpha[n * 4 + c] = static_cast<uint8_t>(static_cast<uint32_t>(run.Alpha[i]) & 0xFFu);
        }
        ++b.PendingQuads;
        if (!b.Batching || b.PendingQuads >= kMaxBatchQuads) FlushQuadBatch();
    }
}

void EndTintedQuads() {
    if (Batch().PendingTinted) FlushQuadBatch();
}

}  // namespace pp
