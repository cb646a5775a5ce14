// The quad batch behind the quad sprites: the GL program, vertex array and streaming vertex
// buffer they draw through, the quads waiting in it, and whether quad drawing is on. Not for
// use outside draw/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "draw/blend.h"
#include "draw/quad_stats.h"
#include "platform/gl_api.h"

namespace pp {

inline constexpr size_t kMaxBatchQuads = 16384;  // 65536 vertices: indices fit in 16 bits

struct QuadBatch {
    bool QuadsActive = false;        // between BeginQuads and EndQuads
    bool QuadStatesApplied = false;  // the pipeline is ready for this BeginQuads
    bool Batching = true;

    bool PipelineReady = false;
    GLuint Program = 0, VertexArray = 0, VertexBuffer = 0, IndexBuffer = 0;
    GLint ScaleLocation = -1;

    // Quads waiting to be drawn, all with one texture and blend: for quad i, Xy[8i .. 8i + 7]
    // are its corners' x, y and Alpha[4i .. 4i + 3] their alphas. They point into the vertex
    // buffer while it is mapped (Mapped), so that the vertices are written where the driver
    // reads them; else into the copies below, which go to the buffer at the flush.
    float* Xy = nullptr;
    uint8_t* Alpha = nullptr;
    bool Mapped = false;
    std::unique_ptr<float[]> CopyXy{new float[kMaxBatchQuads * 8]};
    std::unique_ptr<uint8_t[]> CopyAlpha{new uint8_t[kMaxBatchQuads * 4]};
    // Quads of emitters with optional keys carry a colour and texture coordinates per corner
    // as well and draw through a program of their own, made at their first draw: for quad i,
    // Tint[16i .. 16i + 15] are its corners' red, green, blue and a spare byte, Uv[8i ..
    // 8i + 7] their u, v. Such a batch (PendingTinted) writes them into a buffer of their own,
    // mapped as the vertex buffer is (LooksMapped), else into the copies.
    bool PendingTinted = false;
    bool TintedReady = false;
    GLuint TintedProgram = 0, TintedVertexArray = 0, LooksBuffer = 0;
    GLint TintedScaleLocation = -1;
    uint8_t* Tint = nullptr;
    float* Uv = nullptr;
    bool LooksMapped = false;
    std::unique_ptr<uint8_t[]> CopyTint{new uint8_t[kMaxBatchQuads * 16]};
    std::unique_ptr<float[]> CopyUv{new float[kMaxBatchQuads * 8]};
    size_t PendingQuads = 0;
    GLuint PendingTexture = 0;
    GlBlend PendingBlend{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA};
    QuadDrawStats Stats;
    bool WallTime = false;  // the counters take wall time
};

// The one batch of the process; never destroyed, since GL objects must not be touched from a
// static destructor after the context is gone.
inline QuadBatch& Batch() {
    static auto* batch = new QuadBatch;
    return *batch;
}

// Draws the quads still waiting in the batch. The screen calls it (as its QueuedDraws'
// Flush) before anything that reads, clears or shows the back buffer, and before a sprite
// releases its texture; the vertex paths when the batch is full or its texture or blend changes.
void FlushQuadBatch();

// Forgets the batch's GL objects and pending quads; the screen calls it (as its QueuedDraws'
// Drop) before the context goes.
void DropQuadDeviceObjects();

// Makes the quad states take effect: only while quad drawing is active, and only once the
// pipeline exists. Returns 1, or 0 leaving QuadStatesApplied clear so the next draw tries
// again.
int32_t ApplyQuadStates();

// Makes the tinted quads' program and vertex array (once the quad pipeline exists). Returns
// whether they are ready.
bool EnsureTintedPipeline();

// Where the next batch is written: straight into the vertex buffer when it can be mapped,
// else into the copies. Call while the batch is empty.
void PrepareBatch(QuadBatch& batch);

// PrepareBatch for a tinted batch, with its colours and texture coordinates. Call while the
// batch is empty and the tinted pipeline is ready.
void PrepareTintedBatch(QuadBatch& batch);

// Makes the batch take plain or tinted quads of this texture and blend: what waits is drawn
// first when it differs in any of the three, and an empty batch is prepared for writing (the
// tinted pipeline must be ready for a tinted one).
void UseBatch(QuadBatch& batch, GLuint texture, GlBlend blend, bool tinted);

}  // namespace pp
