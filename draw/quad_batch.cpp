// The quad batch: the GL program and buffers the quad sprites draw through, the streaming of
// their vertices into GL's buffer, and the flush that draws what is batched.
#include "draw/quad_batch.h"

#include <time.h>

#include <algorithm>
#include <vector>

#include "draw/gl_device.h"
#include "draw/gl_screen.h"
#include "draw/quad_sprites.h"
#include "platform/gl_program.h"

namespace pp {
namespace {

// Where the alphas start in the vertex buffer, behind the positions of a full batch.
constexpr size_t kAlphaOffset = kMaxBatchQuads * 8 * sizeof(float);

// The quad's pixel coordinates have pixel centres at integers; OpenGL's centres sit at
// half-integers, hence the + 0.5 before scaling to clip space. Rows grow downwards in the
// back buffer as on the screen.
constexpr const char* kVertexShader = R"(layout(location = 0) in vec2 Position;
layout(location = 2) in float Alpha;
uniform vec2 Scale;
out vec2 Uv;
out float Opacity;
void main() {
    gl_Position = vec4((Position + 0.5) * Scale - 1.0, 0.0, 1.0);
    // Corners go top-left, top-right, bottom-left, bottom-right: (0, 0), (1, 0), (0, 1), (1, 1).
    Uv = vec2(float(gl_VertexID & 1), float((gl_VertexID >> 1) & 1));
    Opacity = Alpha;
}
)";

// Texel modulated by white with the draw's alpha: straight, not premultiplied.
constexpr const char* kFragmentShader = R"(in vec2 Uv;
in float Opacity;
uniform sampler2D Sprite;
out vec4 Colour;
void main() {
    vec4 texel = texture(Sprite, Uv);
    Colour = vec4(texel.rgb, texel.a * Opacity);
}
)";

// The quad program with a colour per vertex multiplying the texel's and texture coordinates
// per vertex. The colour is flat (each quad has one), so it reaches every pixel as given:
// 255 is exactly 1.0, and white leaves the texel as the plain program draws it.
constexpr const char* kTintedVertexShader = R"(layout(location = 0) in vec2 Position;
layout(location = 2) in float Alpha;
layout(location = 3) in vec3 Tint;
layout(location = 4) in vec2 TexCoord;
uniform vec2 Scale;
out vec2 Uv;
out float Opacity;
flat out vec3 Shade;
void main() {
    gl_Position = vec4((Position + 0.5) * Scale - 1.0, 0.0, 1.0);
    Uv = TexCoord;
    Opacity = Alpha;
    Shade = Tint;
}
)";

constexpr const char* kTintedFragmentShader = R"(in vec2 Uv;
in float Opacity;
flat in vec3 Shade;
uniform sampler2D Sprite;
out vec4 Colour;
void main() {
    vec4 texel = texture(Sprite, Uv);
    Colour = vec4(texel.rgb * Shade, texel.a * Opacity);
}
)";

// Where the texture coordinates start in the looks buffer, behind the colours of a full batch.
constexpr size_t kUvOffset = kMaxBatchQuads * 16;

void DeleteTintedPipeline(QuadBatch& b) {
    if (b.TintedProgram != 0) glDeleteProgram(b.TintedProgram);
    if (b.TintedVertexArray != 0) glDeleteVertexArrays(1, &b.TintedVertexArray);
    if (b.LooksBuffer != 0) glDeleteBuffers(1, &b.LooksBuffer);
    b.TintedProgram = b.TintedVertexArray = b.LooksBuffer = 0;
    b.TintedReady = false;
}

void DeletePipeline(QuadBatch& b) {
    DeleteTintedPipeline(b);
    if (b.Program != 0) glDeleteProgram(b.Program);
    if (b.VertexArray != 0) glDeleteVertexArrays(1, &b.VertexArray);
    if (b.VertexBuffer != 0) glDeleteBuffers(1, &b.VertexBuffer);
    if (b.IndexBuffer != 0) glDeleteBuffers(1, &b.IndexBuffer);
    b.Program = b.VertexArray = b.VertexBuffer = b.IndexBuffer = 0;
    b.PipelineReady = false;
}

bool EnsurePipeline() {
    QuadBatch& b = Batch();
    if (b.PipelineReady) return true;
    b.Program = BuildGlProgram(kVertexShader, kFragmentShader);
    if (b.Program == 0) {
        DeletePipeline(b);
        return false;
    }
    b.ScaleLocation = glGetUniformLocation(b.Program, "Scale");
    glUseProgram(b.Program);
    glUniform1i(glGetUniformLocation(b.Program, "Sprite"), 0);

    glGenVertexArrays(1, &b.VertexArray);
    glBindVertexArray(b.VertexArray);
    // One buffer for the whole batch, allocated once: the positions of the largest batch, then
    // its alphas. Each batch writes over the front of both parts; the driver keeps the last
    // draw's data safe (it has read them by the time the draw call returns on llvmpipe), and
    // the pages stay mapped from one batch to the next.
    glGenBuffers(1, &b.VertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, b.VertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(kAlphaOffset + kMaxBatchQuads * 4),
                 nullptr, GL_STREAM_DRAW);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 2 * sizeof(float), nullptr);
    glVertexAttribPointer(2, 1, GL_UNSIGNED_BYTE, GL_TRUE, 1,
                          reinterpret_cast<const void*>(kAlphaOffset));
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(2);

    // Each quad is the strip top-left, top-right, bottom-left, bottom-right as two triangles
    // of the same winding the strip gives them, so culling treats both alike.
    std::vector<uint16_t> indices(kMaxBatchQuads * 6);
    for (size_t q = 0; q < kMaxBatchQuads; ++q) {
        const auto base = static_cast<uint16_t>(q * 4);
        const uint16_t quad[6] = {base,
                                  static_cast<uint16_t>(base + 1),
                                  static_cast<uint16_t>(base + 2),
                                  static_cast<uint16_t>(base + 2),
                                  static_cast<uint16_t>(base + 1),
                                  static_cast<uint16_t>(base + 3)};
        std::copy(quad, quad + 6, indices.begin() + static_cast<ptrdiff_t>(q * 6));
    }
    glGenBuffers(1, &b.IndexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, b.IndexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * 2),
                 indices.data(), GL_STATIC_DRAW);
    b.PipelineReady = glGetError() == GL_NO_ERROR;
    if (!b.PipelineReady) DeletePipeline(b);
    return b.PipelineReady;
}

// The factor as it acts over a destination whose alpha is 1: the screen's own back buffer has
// no alpha channel, so the destination alpha reads 1 there, but a host's framebuffer drawn
// into directly may hold any alpha. Replacing the factors that read it by their values at 1
// gives the same colours over either (1 - Ad is 0, and so is min(As, 1 - Ad)).
GLenum OverOpaqueDestination(GLenum factor) {
    switch (factor) {
        case GL_DST_ALPHA:
            return GL_ONE;
        case GL_ONE_MINUS_DST_ALPHA:
        case GL_SRC_ALPHA_SATURATE:
            return GL_ZERO;
        default:
            return factor;
    }
}

// CPU time of this thread: the software renderer's own threads share the processor, and their
// time is not the upload's or the draw call's. Or wall time, when asked for.
double ThreadSeconds() {
    timespec ts{};
    clock_gettime(Batch().WallTime ? CLOCK_MONOTONIC : CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace

bool EnsureTintedPipeline() {
    QuadBatch& b = Batch();
    if (b.TintedReady) return true;
    if (!b.PipelineReady || !DeviceReady()) return false;
    b.TintedProgram = BuildGlProgram(kTintedVertexShader, kTintedFragmentShader);
    if (b.TintedProgram == 0) {
        DeleteTintedPipeline(b);
        return false;
    }
    b.TintedScaleLocation = glGetUniformLocation(b.TintedProgram, "Scale");
    glUseProgram(b.TintedProgram);
    glUniform1i(glGetUniformLocation(b.TintedProgram, "Sprite"), 0);
    // Positions and alphas from the quad buffer, colours and texture coordinates from a
    // buffer of their own, the same indices.
    glGenVertexArrays(1, &b.TintedVertexArray);
    glBindVertexArray(b.TintedVertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, b.VertexBuffer);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 2 * sizeof(float), nullptr);
    glVertexAttribPointer(2, 1, GL_UNSIGNED_BYTE, GL_TRUE, 1,
                          reinterpret_cast<const void*>(kAlphaOffset));
    glGenBuffers(1, &b.LooksBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, b.LooksBuffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(kUvOffset + kMaxBatchQuads * 32), nullptr,
                 GL_STREAM_DRAW);
    glVertexAttribPointer(3, 3, GL_UNSIGNED_BYTE, GL_TRUE, 4, nullptr);
    glVertexAttribPointer(4, 2, GL_FLOAT, GL_FALSE, 2 * sizeof(float),
                          reinterpret_cast<const void*>(kUvOffset));
    for (GLuint attribute : {0u, 2u, 3u, 4u}) glEnableVertexAttribArray(attribute);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, b.IndexBuffer);
    glBindVertexArray(b.VertexArray);
    b.TintedReady = glGetError() == GL_NO_ERROR;
    if (!b.TintedReady) DeleteTintedPipeline(b);
    return b.TintedReady;
}

int32_t ApplyQuadStates() {
    QuadBatch& b = Batch();
    if (!b.QuadsActive || !DeviceReady() || !EnsurePipeline()) return 0;
    b.QuadStatesApplied = true;
    return 1;
}

// The whole buffer is mapped with its old contents given up, so the driver need not wait for
// a draw that still reads them.
void PrepareBatch(QuadBatch& b) {
    if (b.Mapped) return;
    if (b.PipelineReady && DeviceReady()) {
        // A driver may finish earlier draws here; that is GL's time, not the vertices'.
        const double start = b.Batching ? ThreadSeconds() : 0.0;
        glBindBuffer(GL_ARRAY_BUFFER, b.VertexBuffer);
        void* memory = MapStreamBuffer(GL_ARRAY_BUFFER,
                                       static_cast<GLsizeiptr>(kAlphaOffset + kMaxBatchQuads * 4));
        if (b.Batching) b.Stats.DrawSeconds += ThreadSeconds() - start;
        if (memory != nullptr) {
            b.Mapped = true;
            b.Xy = static_cast<float*>(memory);
            b.Alpha = static_cast<uint8_t*>(memory) + kAlphaOffset;
            return;
        }
    }
    b.Xy = b.CopyXy.get();
    b.Alpha = b.CopyAlpha.get();
}

void PrepareTintedBatch(QuadBatch& b) {
    PrepareBatch(b);
    if (!b.LooksMapped && DeviceReady()) {
        const double start = b.Batching ? ThreadSeconds() : 0.0;
        glBindBuffer(GL_ARRAY_BUFFER, b.LooksBuffer);
        void* memory = MapStreamBuffer(GL_ARRAY_BUFFER,
                                       static_cast<GLsizeiptr>(kUvOffset + kMaxBatchQuads * 32));
        if (b.Batching) b.Stats.DrawSeconds += ThreadSeconds() - start;
        if (memory != nullptr) {
            b.LooksMapped = true;
            b.Tint = static_cast<uint8_t*>(memory);
            b.Uv = reinterpret_cast<float*>(static_cast<uint8_t*>(memory) + kUvOffset);
            return;
        }
    }
    if (b.LooksMapped) return;
    b.Tint = b.CopyTint.get();
    b.Uv = b.CopyUv.get();
}

void UseBatch(QuadBatch& b, GLuint texture, GlBlend blend, bool tinted) {
    if (b.PendingQuads != 0 &&
        (tinted != b.PendingTinted || texture != b.PendingTexture || !(blend == b.PendingBlend))) {
        FlushQuadBatch();
    }
    if (b.PendingQuads == 0) {
        if (tinted) {
            PrepareTintedBatch(b);
        } else {
            PrepareBatch(b);
        }
    }
    b.PendingTinted = tinted;
    b.PendingTexture = texture;
    b.PendingBlend = blend;
}

namespace {

// Gives the looks buffer back when it is mapped; false when its contents were lost meanwhile.
bool UnmapLooks(QuadBatch& b) {
    if (!b.LooksMapped) return true;
    b.LooksMapped = false;
    glBindBuffer(GL_ARRAY_BUFFER, b.LooksBuffer);
    return UnmapStreamBuffer(GL_ARRAY_BUFFER);
}

// Gives back the buffers of a batch that holds no quad.
void UnmapEmptyBatch(QuadBatch& b) {
    UnmapLooks(b);
    if (b.Mapped) {
        glBindBuffer(GL_ARRAY_BUFFER, b.VertexBuffer);
        UnmapStreamBuffer(GL_ARRAY_BUFFER);
        b.Mapped = false;
    }
}

// Puts the pending quads' corners, alphas and (tinted) looks into their buffers, the vertex
// buffer bound; false when a mapped buffer lost its contents, which must not be drawn from.
bool UploadPendingQuads(QuadBatch& b, bool tinted) {
    if (b.Mapped) {
        b.Mapped = false;
        if (!UnmapStreamBuffer(GL_ARRAY_BUFFER)) return false;
    } else {
        glBufferSubData(GL_ARRAY_BUFFER, 0,
                        static_cast<GLsizeiptr>(b.PendingQuads * 8 * sizeof(float)), b.Xy);
        glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(kAlphaOffset),
                        static_cast<GLsizeiptr>(b.PendingQuads * 4), b.Alpha);
    }
    if (tinted && !b.LooksMapped) {
        glBindBuffer(GL_ARRAY_BUFFER, b.LooksBuffer);
        glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(b.PendingQuads * 16), b.Tint);
        glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(kUvOffset),
                        static_cast<GLsizeiptr>(b.PendingQuads * 8 * sizeof(float)), b.Uv);
        return true;
    }
    return !tinted || UnmapLooks(b);
}

// Draws the uploaded quads with the batch's blend and texture.
void DrawUploadedQuads(const QuadBatch& b) {
    glEnable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFunc(OverOpaqueDestination(b.PendingBlend.Source),
                OverOpaqueDestination(b.PendingBlend.Destination));
    // Counter-clockwise on the screen (y down) is clockwise in GL's window space (y up), so
    // GL's default front face keeps the triangles a screen-clockwise quad makes.
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, b.PendingTexture);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(b.PendingQuads * 6), GL_UNSIGNED_SHORT,
                   nullptr);
}

}  // namespace

// The screen draws the batch's quads before it reads, clears or shows its back buffer, and has
// it let go of its GL objects before the context goes.
[[maybe_unused]] const bool kHandedToScreen =
    (SetQueuedDraws({&FlushQuadBatch, &DropQuadDeviceObjects}), true);

void FlushQuadBatch() {
    QuadBatch& b = Batch();
    const bool tinted = b.PendingTinted;
    b.PendingTinted = false;
    if (!DeviceReady() || !b.PipelineReady || (tinted && !b.TintedReady)) {
        b.PendingQuads = 0;
        b.Mapped = false;
        b.LooksMapped = false;
        return;
    }
    if (b.PendingQuads == 0) {
        UnmapEmptyBatch(b);
        return;
    }
    // Timed only while batching: one draw per quad would spend more on the clock than on the
    // draw, and that mode exists to be compared with, not to be measured in detail.
    const bool timed = b.Batching;
    const double start = timed ? ThreadSeconds() : 0.0;
    BindBackBuffer();
    glUseProgram(tinted ? b.TintedProgram : b.Program);
    glUniform2f(tinted ? b.TintedScaleLocation : b.ScaleLocation,
                2.0f / static_cast<float>(ScreenWidth()),
                2.0f / static_cast<float>(ScreenHeight()));
    glBindVertexArray(tinted ? b.TintedVertexArray : b.VertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, b.VertexBuffer);
    const double uploadStart = timed ? ThreadSeconds() : 0.0;
    if (!UploadPendingQuads(b, tinted)) {
        b.PendingQuads = 0;
        return;
    }
    const double uploadEnd = timed ? ThreadSeconds() : 0.0;
    DrawUploadedQuads(b);
    const double end = timed ? ThreadSeconds() : 0.0;
    b.Stats.UploadSeconds += uploadEnd - uploadStart;
    b.Stats.DrawSeconds += (uploadStart - start) + (end - uploadEnd);
    b.Stats.Quads += static_cast<int64_t>(b.PendingQuads);
    ++b.Stats.Batches;
    b.PendingQuads = 0;
}

void DropQuadDeviceObjects() {
    QuadBatch& b = Batch();
    b.PendingQuads = 0;
    b.PendingTinted = false;
    b.Mapped = b.LooksMapped = false;  // deleting the buffers unmaps them
    if (DeviceReady()) DeletePipeline(b);
    b.Program = b.VertexArray = b.VertexBuffer = b.IndexBuffer = 0;
    b.TintedProgram = b.TintedVertexArray = b.LooksBuffer = 0;
    b.PipelineReady = b.TintedReady = false;
    b.QuadsActive = false;
    b.QuadStatesApplied = false;
}

int32_t BeginQuads() {
    if (EnsureScene() == 0) return 0;
    Batch().QuadsActive = true;
    return ApplyQuadStates();
}

void EndQuads() {
    QuadBatch& b = Batch();
    if (!b.QuadsActive) return;
    FlushQuadBatch();
    ApplyDefaultStates();
    b.QuadStatesApplied = false;
    b.QuadsActive = false;
}

void SetQuadBatching(bool on) {
    FlushQuadBatch();
    Batch().Batching = on;
}

QuadDrawStats ReadQuadDrawStats() {
    return Batch().Stats;
}

void ResetQuadDrawStats() {
    Batch().Stats = QuadDrawStats{};
}

void TimeQuadsInWallTime(bool wall) {
    Batch().WallTime = wall;
}

}  // namespace pp
