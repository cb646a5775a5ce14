#include "platform/quad_sprites.h"

#include <epoxy/gl.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/gl_device.h"
#include "platform/quad_draws.h"
#include "platform/quad_geometry.h"
#include "platform/quad_stats.h"
#include "platform/screen.h"
#include "platform/sprites.h"
#include "runtime/object_table.h"

namespace pp {

struct QuadSprite {
    // The sprite owns the texture; the entry only watches it, so freeing or replacing the
    // sprite makes the entry stop existing instead of drawing from a deleted texture.
    std::weak_ptr<const SpriteTexture> Owner;
    const SpriteTexture* Texture = nullptr;
    // Top-left, top-right, bottom-left, bottom-right, relative to the draw position, with
    // pixel centres at integer coordinates.
    QuadCorners Corners{};
    int32_t BaseWidth = 0, BaseHeight = 0;
    int32_t Width = 0, Height = 0;
    float Angle = 0.0f;  // radians
    int32_t CornersValid = 0;
    bool Exists() const { return Texture != nullptr && !Owner.expired(); }
};

namespace {

constexpr size_t kMaxBatchQuads = 16384;  // 65536 vertices: indices fit in 16 bits
// Where the alphas start in the vertex buffer, behind the positions of a full batch.
constexpr size_t kAlphaOffset = kMaxBatchQuads * 8 * sizeof(float);

// A quad streams its four corner positions (x, y floats) into one buffer and its alpha, once
// per corner, into another: 36 bytes. The texture coordinates of a corner follow from its
// place in the quad, which the vertex shader reads from the vertex number.
using Float4 = CornerFloats;

struct GlBlend {
    GLenum Source, Destination;
    bool operator==(const GlBlend&) const = default;
};

void RemoveQuadSprite(int32_t quad);

struct QuadState {
    ObjectTable<QuadSprite> Table{64, &RemoveQuadSprite};
    int32_t QuadBlendSource = kBlendSrcAlpha;
    int32_t QuadBlendDestination = kBlendInvSrcAlpha;
    bool QuadsActive = false;
    bool QuadStatesApplied = false;
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
    size_t PendingQuads = 0;
    GLuint PendingTexture = 0;
    QuadDrawStats Stats;
    GlBlend PendingBlend{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA};
};

QuadState& State() {
    static auto* state = new QuadState;
    return *state;
}

void RemoveQuadSprite(int32_t quad) {
    ObjectRelease(State().Table, quad);
}

GLenum FactorFor(int32_t code, bool source) {
    switch (code) {
        case kBlendZero:
            return GL_ZERO;
        case kBlendOne:
            return GL_ONE;
        case kBlendSrcColour:
            return GL_SRC_COLOR;
        case kBlendInvSrcColour:
            return GL_ONE_MINUS_SRC_COLOR;
        case kBlendSrcAlpha:
            return GL_SRC_ALPHA;
        case kBlendInvSrcAlpha:
            return GL_ONE_MINUS_SRC_ALPHA;
        case kBlendDestAlpha:
            return GL_DST_ALPHA;
        case kBlendInvDestAlpha:
            return GL_ONE_MINUS_DST_ALPHA;
        case kBlendDestColour:
            return GL_DST_COLOR;
        case kBlendInvDestColour:
            return GL_ONE_MINUS_DST_COLOR;
        case kBlendSrcAlphaSat:
            // min(As, 1 - Ad) with a back buffer whose alpha reads 1 is 0; GL accepts the
            // saturate factor only as a source.
            return source ? GL_SRC_ALPHA_SATURATE : GL_ZERO;
        default:
            // Not a factor at all: draw as ordinary alpha blending rather than fail.
            return source ? GL_SRC_ALPHA : GL_ONE_MINUS_SRC_ALPHA;
    }
}

// The "both" factors set the source and destination together, from either position; the
// source position wins when both hold one.
GlBlend MapBlend(int32_t source, int32_t destination) {
    for (const int32_t code : {source, destination}) {
        if (code == kBlendBothSrcAlpha) return {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA};
        if (code == kBlendBothInvSrcAlpha) return {GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA};
    }
    return {FactorFor(source, true), FactorFor(destination, false)};
}

// The quad's pixel coordinates have pixel centres at integers; OpenGL's centres sit at
// half-integers, hence the + 0.5 before scaling to clip space. Rows grow downwards in the
// back buffer as on the screen.
constexpr const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec2 Position;
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
constexpr const char* kFragmentShader = R"(#version 330 core
in vec2 Uv;
in float Opacity;
uniform sampler2D Sprite;
out vec4 Colour;
void main() {
    vec4 texel = texture(Sprite, Uv);
    Colour = vec4(texel.rgb, texel.a * Opacity);
}
)";

GLuint CompileShader(GLenum kind, const char* source) {
    const GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

void DeletePipeline(QuadState& s) {
    if (s.Program != 0) glDeleteProgram(s.Program);
    if (s.VertexArray != 0) glDeleteVertexArrays(1, &s.VertexArray);
    if (s.VertexBuffer != 0) glDeleteBuffers(1, &s.VertexBuffer);
    if (s.IndexBuffer != 0) glDeleteBuffers(1, &s.IndexBuffer);
    s.Program = s.VertexArray = s.VertexBuffer = s.IndexBuffer = 0;
    s.PipelineReady = false;
}

bool EnsurePipeline() {
    QuadState& s = State();
    if (s.PipelineReady) return true;
    const GLuint vs = CompileShader(GL_VERTEX_SHADER, kVertexShader);
    const GLuint fs = CompileShader(GL_FRAGMENT_SHADER, kFragmentShader);
    if (vs != 0 && fs != 0) {
        s.Program = glCreateProgram();
        glAttachShader(s.Program, vs);
        glAttachShader(s.Program, fs);
        glLinkProgram(s.Program);
    }
    if (vs != 0) glDeleteShader(vs);
    if (fs != 0) glDeleteShader(fs);
    GLint linked = GL_FALSE;
    if (s.Program != 0) glGetProgramiv(s.Program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        DeletePipeline(s);
        return false;
    }
    s.ScaleLocation = glGetUniformLocation(s.Program, "Scale");
    glUseProgram(s.Program);
    glUniform1i(glGetUniformLocation(s.Program, "Sprite"), 0);

    glGenVertexArrays(1, &s.VertexArray);
    glBindVertexArray(s.VertexArray);
    // One buffer for the whole batch, allocated once: the positions of the largest batch, then
    // its alphas. Each batch writes over the front of both parts; the driver keeps the last
    // draw's data safe (it has read them by the time the draw call returns on llvmpipe), and
    // the pages stay mapped from one batch to the next.
    glGenBuffers(1, &s.VertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, s.VertexBuffer);
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
    glGenBuffers(1, &s.IndexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, s.IndexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * 2),
                 indices.data(), GL_STATIC_DRAW);
    s.PipelineReady = glGetError() == GL_NO_ERROR;
    if (!s.PipelineReady) DeletePipeline(s);
    return s.PipelineReady;
}

// What the quad states achieve: only while quad drawing is active, and only once the
// pipeline exists. A failure leaves QuadStatesApplied clear so the next draw tries again.
int32_t ApplyQuadStates() {
    QuadState& s = State();
    if (!s.QuadsActive || !DeviceReady() || !EnsurePipeline()) return 0;
    s.QuadStatesApplied = true;
    return 1;
}

void RebuildCorners(QuadSprite& q) {
    q.Corners = BuildQuadCorners(q.Width, q.Height, q.Angle);
    q.CornersValid = 1;
}

// CPU time of this thread: the software renderer's own threads share the processor, and their
// time is not the upload's or the draw call's.
double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Where the next batch is written: straight into the vertex buffer when it can be mapped
// (the whole buffer, its old contents given up, so the driver need not wait for a draw that
// still reads them), else into the copies. Call while the batch is empty.
void PrepareBatch(QuadState& s) {
    if (s.Mapped) return;
    if (s.PipelineReady && DeviceReady()) {
        glBindBuffer(GL_ARRAY_BUFFER, s.VertexBuffer);
        void* memory = glMapBufferRange(GL_ARRAY_BUFFER, 0,
                                        static_cast<GLsizeiptr>(kAlphaOffset + kMaxBatchQuads * 4),
                                        GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT);
        if (memory != nullptr) {
            s.Mapped = true;
            s.Xy = static_cast<float*>(memory);
            s.Alpha = static_cast<uint8_t*>(memory) + kAlphaOffset;
            return;
        }
    }
    s.Xy = s.CopyXy.get();
    s.Alpha = s.CopyAlpha.get();
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
void AppendQuad(QuadState& s, const QuadSprite& q, int32_t x, int32_t y, int32_t alpha,
                GlBlend blend);

}  // namespace

void FlushQuadBatch() {
    QuadState& s = State();
    if (!DeviceReady() || !s.PipelineReady) {
        s.PendingQuads = 0;
        s.Mapped = false;
        return;
    }
    if (s.PendingQuads == 0) {
        if (s.Mapped) {
            glBindBuffer(GL_ARRAY_BUFFER, s.VertexBuffer);
            glUnmapBuffer(GL_ARRAY_BUFFER);
            s.Mapped = false;
        }
        return;
    }
    // Timed only while batching: one draw per quad would spend more on the clock than on the
    // draw, and that mode exists to be compared with, not to be measured in detail.
    const bool timed = s.Batching;
    const double start = timed ? ThreadSeconds() : 0.0;
    BindBackBuffer();
    glUseProgram(s.Program);
    glUniform2f(s.ScaleLocation, 2.0f / static_cast<float>(ScreenWidth()),
                2.0f / static_cast<float>(ScreenHeight()));
    glBindVertexArray(s.VertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, s.VertexBuffer);
    const double uploadStart = timed ? ThreadSeconds() : 0.0;
    if (s.Mapped) {
        s.Mapped = false;
        // A buffer whose contents were lost while mapped must not be drawn from.
        if (glUnmapBuffer(GL_ARRAY_BUFFER) != GL_TRUE) {
            s.PendingQuads = 0;
            return;
        }
    } else {
        glBufferSubData(GL_ARRAY_BUFFER, 0,
                        static_cast<GLsizeiptr>(s.PendingQuads * 8 * sizeof(float)), s.Xy);
        glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(kAlphaOffset),
                        static_cast<GLsizeiptr>(s.PendingQuads * 4), s.Alpha);
    }
    const double uploadEnd = timed ? ThreadSeconds() : 0.0;
    glEnable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFunc(s.PendingBlend.Source, s.PendingBlend.Destination);
    // Counter-clockwise on the screen (y down) is clockwise in GL's window space (y up), so
    // GL's default front face keeps the triangles a screen-clockwise quad makes.
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, s.PendingTexture);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(s.PendingQuads * 6), GL_UNSIGNED_SHORT,
                   nullptr);
    const double end = timed ? ThreadSeconds() : 0.0;
    s.Stats.UploadSeconds += uploadEnd - uploadStart;
    s.Stats.DrawSeconds += (uploadStart - start) + (end - uploadEnd);
    s.Stats.Quads += static_cast<int64_t>(s.PendingQuads);
    ++s.Stats.Batches;
    s.PendingQuads = 0;
}

void DropQuadDeviceObjects() {
    QuadState& s = State();
    s.PendingQuads = 0;
    s.Mapped = false;  // deleting the buffer unmaps it
    if (DeviceReady()) DeletePipeline(s);
    s.Program = s.VertexArray = s.VertexBuffer = s.IndexBuffer = 0;
    s.PipelineReady = false;
    s.QuadsActive = false;
    s.QuadStatesApplied = false;
}

int32_t InitQuadSprites() {
    QuadState& s = State();
    s.Table = ObjectTable<QuadSprite>(64, &RemoveQuadSprite);
    s.QuadBlendSource = kBlendSrcAlpha;
    s.QuadBlendDestination = kBlendInvSrcAlpha;
    s.QuadsActive = false;
    return 1;
}

const QuadSprite* CreateQuadSprite(int32_t quad, int32_t sprite) {
    if (quad < 0) return nullptr;
    QuadState& s = State();
    QuadSprite* q = ObjectAcquire(s.Table, quad);
    if (q == nullptr) return nullptr;
    const SpriteRecord* record = LookupSprite(sprite);
    if (record == nullptr || !record->Texture->UsableAsQuad) return nullptr;
    q->Owner = record->Texture;
    q->Texture = record->Texture.get();
    q->Width = q->BaseWidth = record->Texture->Width;
    q->Height = q->BaseHeight = record->Texture->Height;
    q->Angle = 0.0f;
    q->CornersValid = 0;
    return q;
}

int32_t BeginQuads() {
    if (EnsureScene() == 0) return 0;
    State().QuadsActive = true;
    return ApplyQuadStates();
}

void EndQuads() {
    QuadState& s = State();
    if (!s.QuadsActive) return;
    FlushQuadBatch();
    ApplyDefaultStates();
    s.QuadStatesApplied = false;
    s.QuadsActive = false;
}

void SetQuadBlending(int32_t source, int32_t destination) {
    if (!DeviceReady()) return;
    QuadState& s = State();
    s.QuadBlendSource = source;
    s.QuadBlendDestination = destination;
}

void SetQuadSize(int32_t quad, int32_t width, int32_t height) {
    QuadSprite* q = ObjectLookup(State().Table, quad);
    if (q == nullptr) return;
    q->Width = width;
    q->Height = height;
    q->CornersValid = 0;
}

void SetQuadAngle(int32_t quad, float degrees, int32_t mode) {
    QuadSprite* q = ObjectLookup(State().Table, quad);
    if (q == nullptr) return;
    q->CornersValid = 0;
    q->Angle = QuadAngleRadians(degrees, q->Angle, mode);
}

namespace {

void AppendQuad(QuadState& s, const QuadSprite& q, int32_t x, int32_t y, int32_t alpha,
                GlBlend blend) {
    const Float4 cornerX = {q.Corners[0].X, q.Corners[1].X, q.Corners[2].X, q.Corners[3].X};
    const Float4 cornerY = {q.Corners[0].Y, q.Corners[1].Y, q.Corners[2].Y, q.Corners[3].Y};
    // A NaN angle leaves no shape to draw; keep such vertices away from the rasterizer.
    if (s.PendingQuads == 0) PrepareBatch(s);
    float* const xy = s.Xy + s.PendingQuads * 8;
    StoreQuad(xy, s.Alpha + s.PendingQuads * 4, cornerX, cornerY, x, y, alpha);
    if (!AllFinite(xy)) return;
    const GLuint texture = q.Texture->Texture;
    if (s.PendingQuads != 0 && (texture != s.PendingTexture || !(blend == s.PendingBlend))) {
        FlushQuadBatch();
        PrepareBatch(s);
        StoreQuad(s.Xy, s.Alpha, cornerX, cornerY, x, y, alpha);
    }
    s.PendingTexture = texture;
    s.PendingBlend = blend;
    ++s.PendingQuads;
    if (!s.Batching || s.PendingQuads >= kMaxBatchQuads) FlushQuadBatch();
}

// The angles of a run in radians, with their cosines and sines, worked out for the whole run
// before its vertices, several at a time.
struct RunAngles {
    alignas(64) float Radians[QuadDrawRun::kCapacity];
    alignas(64) float Cosines[QuadDrawRun::kCapacity];
    alignas(64) float Sines[QuadDrawRun::kCapacity];
};

// The corners of draw i of a run.
inline void CornersOfDraw(const QuadDrawRun& run, const RunAngles& angles, size_t i, Float4& x,
                          Float4& y) {
    if (angles.Radians[i] == 0.0f) {
        RectangleCorners(run.Size[i], run.Size[i], x, y);
    } else {
        TurnedCorners(run.Size[i], run.Size[i], angles.Cosines[i], angles.Sines[i], x, y);
    }
}

// Draws [begin, end) of a run, all of quad sprite q, as single draws would, straight into the
// batch.
void DrawRun(QuadState& s, QuadSprite& q, GlBlend blend, const QuadDrawRun& run,
             const RunAngles& angles, size_t begin, size_t end) {
    // Each draw sets size and angle; the last one stays on the quad sprite.
    const size_t last = end - 1;
    q.Width = run.Size[last];
    q.Height = run.Size[last];
    q.Angle = angles.Radians[last];
    q.CornersValid = 0;
    if (!s.QuadStatesApplied) ApplyQuadStates();
    if (!s.QuadStatesApplied) return;
    Float4 x;
    Float4 y;
    CornersOfDraw(run, angles, last, x, y);
    for (size_t k = 0; k < 4; ++k) q.Corners[k] = QuadCorner{x[k], y[k]};
    q.CornersValid = 1;

    const GLuint texture = q.Texture->Texture;
    if (s.PendingQuads != 0 && (texture != s.PendingTexture || !(blend == s.PendingBlend))) {
        FlushQuadBatch();
    }
    s.PendingTexture = texture;
    s.PendingBlend = blend;
    if (!s.Batching) {
        for (size_t i = begin; i < end; ++i) {
            CornersOfDraw(run, angles, i, x, y);
            PrepareBatch(s);
            StoreQuad(s.Xy, s.Alpha, x, y, run.X[i], run.Y[i], run.Alpha[i]);
            if (run.Size[i] != 0 && AllFinite(s.Xy)) {
                s.PendingQuads = 1;
                FlushQuadBatch();
            }
        }
        return;
    }
    if (s.PendingQuads + (end - begin) > kMaxBatchQuads) FlushQuadBatch();
    if (s.PendingQuads == 0) PrepareBatch(s);
    const QuadVertexSource source = {
        run.Size + begin,       run.X + begin,          run.Y + begin,       run.Alpha + begin,
        angles.Radians + begin, angles.Cosines + begin, angles.Sines + begin};
    s.PendingQuads += WriteQuadVertices(source, end - begin, s.Xy + s.PendingQuads * 8,
                                        s.Alpha + s.PendingQuads * 4);
}

}  // namespace

void DrawQuadSprite(int32_t quad, int32_t x, int32_t y, int32_t alpha) {
    QuadState& s = State();
    QuadSprite* q = ObjectLookup(s.Table, quad);
    if (q == nullptr) return;
    if (!s.QuadStatesApplied) ApplyQuadStates();
    // Outside BeginQuads/EndQuads there is no scene to draw into.
    if (!s.QuadStatesApplied) return;
    if (q->CornersValid == 0) RebuildCorners(*q);
    if (q->Width == 0 || q->Height == 0) return;
    AppendQuad(s, *q, x, y, alpha, MapBlend(s.QuadBlendSource, s.QuadBlendDestination));
}

void DrawQuadSprites(int32_t source, int32_t destination, const QuadDrawRun& run, size_t count) {
    if (count == 0) return;
    count = std::min(count, QuadDrawRun::kCapacity);
    QuadState& s = State();
    // Every draw sets the blend factors first; setting them once gives the same state.
    SetQuadBlending(source, destination);
    const GlBlend blend = MapBlend(s.QuadBlendSource, s.QuadBlendDestination);
    RunAngles angles;
    QuadRadiansMany(run.Degrees, count, angles.Radians);
    QuadCosSinMany(angles.Radians, count, angles.Cosines, angles.Sines);
    // Consecutive draws of one quad sprite go together; the table does not change meanwhile.
    int32_t lastQuad = -1;
    QuadSprite* q = nullptr;
    size_t i = 0;
    while (i < count) {
        const int32_t quad = run.Quad[i];
        size_t end = i + 1;
        while (end < count && run.Quad[end] == quad) ++end;
        if (quad != lastQuad || q == nullptr) {
            lastQuad = quad;
            q = ObjectLookup(s.Table, quad);
        }
        if (q != nullptr) DrawRun(s, *q, blend, run, angles, i, end);
        i = end;
    }
}

void FreeAllQuadSprites() {
    State().Table = ObjectTable<QuadSprite>(64, &RemoveQuadSprite);
}

void SetQuadBatching(bool on) {
    FlushQuadBatch();
    State().Batching = on;
}

QuadDrawStats ReadQuadDrawStats() {
    return State().Stats;
}

void ResetQuadDrawStats() {
    State().Stats = QuadDrawStats{};
}

}  // namespace pp
