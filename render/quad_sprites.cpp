#include "render/quad_sprites.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <memory>
#include <vector>

#include "render/gl_device.h"
#include "render/screen.h"
#include "render/sprites.h"
#include "runtime/object_table.h"

namespace pp {

struct QuadCorner {
    float X, Y;
};

struct QuadSprite {
    // The sprite owns the texture; the entry only watches it, so freeing or replacing the
    // sprite makes the entry stop existing instead of drawing from a deleted texture.
    std::weak_ptr<const SpriteTexture> Owner;
    const SpriteTexture* Texture = nullptr;
    // Top-left, top-right, bottom-left, bottom-right, relative to the draw position, with
    // pixel centres at integer coordinates.
    std::array<QuadCorner, 4> Corners{};
    int32_t BaseWidth = 0, BaseHeight = 0;
    int32_t Width = 0, Height = 0;
    float Angle = 0.0f;  // radians
    int32_t CornersValid = 0;
    bool Exists() const { return Texture != nullptr && !Owner.expired(); }
};

namespace {

constexpr size_t kMaxBatchQuads = 4096;  // 16384 vertices: indices fit in 16 bits

struct GpuVertex {
    float X, Y, U, V;
    uint8_t Alpha;
    uint8_t Padding[3];
};
static_assert(sizeof(GpuVertex) == 20, "vertex layout is 20 bytes");

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

    std::vector<GpuVertex> Pending;  // four vertices per quad, all with one texture and blend
    GLuint PendingTexture = 0;
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
layout(location = 1) in vec2 TexCoord;
layout(location = 2) in float Alpha;
uniform vec2 Scale;
out vec2 Uv;
out float Opacity;
void main() {
    gl_Position = vec4((Position + 0.5) * Scale - 1.0, 0.0, 1.0);
    Uv = TexCoord;
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
    glGenBuffers(1, &s.VertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, s.VertexBuffer);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(GpuVertex),
                          reinterpret_cast<const void*>(offsetof(GpuVertex, X)));
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, sizeof(GpuVertex),
                          reinterpret_cast<const void*>(offsetof(GpuVertex, U)));
    glVertexAttribPointer(2, 1, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(GpuVertex),
                          reinterpret_cast<const void*>(offsetof(GpuVertex, Alpha)));
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
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
    s.Pending.reserve(kMaxBatchQuads * 4);
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
    const float w = static_cast<float>(q.Width);
    const float h = static_cast<float>(q.Height);
    std::array<QuadCorner, 4> c = {QuadCorner{-0.5f, -0.5f}, QuadCorner{w - 0.5f, -0.5f},
                                   QuadCorner{-0.5f, h - 0.5f}, QuadCorner{w - 0.5f, h - 0.5f}};
    // Exactly 0 keeps the exact half-pixel rectangle; anything else, NaN included, turns.
    if (!(q.Angle == 0.0f)) {
        const float cosA = static_cast<float>(std::cos(static_cast<double>(q.Angle)));
        const float sinA = static_cast<float>(std::sin(static_cast<double>(q.Angle)));
        const float cx = (((c[0].X + c[1].X) + c[2].X) + c[3].X) * 0.25f;
        const float cy = (((c[0].Y + c[1].Y) + c[2].Y) + c[3].Y) * 0.25f;
        for (QuadCorner& corner : c) {
            const float dx = corner.X - cx;
            const float dy = corner.Y - cy;
            corner = QuadCorner{cosA * dx - sinA * dy + cx, sinA * dx + cosA * dy + cy};
        }
    }
    q.Corners = c;
    q.CornersValid = 1;
}

}  // namespace

void FlushQuadBatch() {
    QuadState& s = State();
    if (s.Pending.empty()) return;
    if (!DeviceReady() || !s.PipelineReady) {
        s.Pending.clear();
        return;
    }
    BindBackBuffer();
    glUseProgram(s.Program);
    glUniform2f(s.ScaleLocation, 2.0f / static_cast<float>(ScreenWidth()),
                2.0f / static_cast<float>(ScreenHeight()));
    glBindVertexArray(s.VertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, s.VertexBuffer);
    const auto bytes = static_cast<GLsizeiptr>(s.Pending.size() * sizeof(GpuVertex));
    // Orphan the previous contents so the driver need not wait for the last draw.
    glBufferData(GL_ARRAY_BUFFER, bytes, nullptr, GL_STREAM_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, bytes, s.Pending.data());
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
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(s.Pending.size() / 4 * 6), GL_UNSIGNED_SHORT,
                   nullptr);
    s.Pending.clear();
}

void DropQuadDeviceObjects() {
    QuadState& s = State();
    s.Pending.clear();
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
    const double pi = std::acos(-1.0);
    double r = pi * static_cast<double>(degrees) * 2.0 / 360.0;
    if (mode != 0) r = r + static_cast<double>(q->Angle);
    // A sum beyond the float range becomes an infinity, as the FPU would store it, instead of
    // an out-of-range conversion.
    if (r > static_cast<double>(FLT_MAX)) {
        q->Angle = INFINITY;
    } else if (r < -static_cast<double>(FLT_MAX)) {
        q->Angle = -INFINITY;
    } else {
        q->Angle = static_cast<float>(r);
    }
}

void DrawQuadSprite(int32_t quad, int32_t x, int32_t y, int32_t alpha) {
    QuadState& s = State();
    QuadSprite* q = ObjectLookup(s.Table, quad);
    if (q == nullptr) return;
    if (!s.QuadStatesApplied) ApplyQuadStates();
    // Outside BeginQuads/EndQuads there is no scene to draw into.
    if (!s.QuadStatesApplied) return;
    if (q->CornersValid == 0) RebuildCorners(*q);
    if (q->Width == 0 || q->Height == 0) return;

    const float fx = static_cast<float>(x);
    const float fy = static_cast<float>(y);
    const auto opacity = static_cast<uint8_t>(alpha & 0xFF);
    static constexpr QuadCorner kTexCoords[4] = {
        {0.0f, 0.0f}, {1.0f, 0.0f}, {0.0f, 1.0f}, {1.0f, 1.0f}};
    GpuVertex DrawVertices[4];
    for (size_t i = 0; i < 4; ++i) {
        const float vx = q->Corners[i].X + fx;
        const float vy = q->Corners[i].Y + fy;
        // A NaN angle leaves no shape to draw; keep such vertices away from the rasterizer.
        if (!std::isfinite(vx) || !std::isfinite(vy)) return;
        DrawVertices[i] = GpuVertex{vx, vy, kTexCoords[i].X, kTexCoords[i].Y, opacity, {}};
    }

    const GlBlend blend = MapBlend(s.QuadBlendSource, s.QuadBlendDestination);
    const GLuint texture = q->Texture->Texture;
    if (!s.Pending.empty() && (texture != s.PendingTexture || !(blend == s.PendingBlend))) {
        FlushQuadBatch();
    }
    s.PendingTexture = texture;
    s.PendingBlend = blend;
    s.Pending.insert(s.Pending.end(), DrawVertices, DrawVertices + 4);
    if (!s.Batching || s.Pending.size() >= kMaxBatchQuads * 4) FlushQuadBatch();
}

void FreeAllQuadSprites() {
    State().Table = ObjectTable<QuadSprite>(64, &RemoveQuadSprite);
}

void SetQuadBatching(bool on) {
    FlushQuadBatch();
    State().Batching = on;
}

}  // namespace pp
