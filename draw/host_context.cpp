#include "draw/host_context.h"

#include <SDL.h>

#include <vector>

#include "draw/draw_particles.h"
#include "draw/gl_screen.h"
#include "draw/quad_sprites.h"
#include "draw/sprites.h"
#include "image/image_decoders.h"
#include "image/texture_bytes.h"
#include "import/effect_file.h"
#include "platform/gl_api.h"
#include "platform/video.h"

namespace pp {
namespace {

// Switches that change what a draw or a copy writes; the screen's work runs with all of them
// off, and the host gets its own settings back.
constexpr GLenum kSwitches[] = {GL_BLEND,
                                GL_CULL_FACE,
                                GL_SCISSOR_TEST,
                                GL_DEPTH_TEST,
                                GL_STENCIL_TEST,
                                GL_FRAMEBUFFER_SRGB,
                                GL_RASTERIZER_DISCARD,
                                GL_COLOR_LOGIC_OP,
                                GL_PRIMITIVE_RESTART};
constexpr size_t kSwitchCount = sizeof kSwitches / sizeof kSwitches[0];

// Pixel store settings that the sprite uploads assume at their defaults.
constexpr GLenum kUnpackSettings[] = {GL_UNPACK_ALIGNMENT, GL_UNPACK_ROW_LENGTH,
                                      GL_UNPACK_SKIP_ROWS, GL_UNPACK_SKIP_PIXELS};
constexpr GLint kUnpackDefaults[] = {4, 0, 0, 0};
constexpr size_t kUnpackCount = sizeof kUnpackSettings / sizeof kUnpackSettings[0];

// How frames reach the host's framebuffer. Straight, into the window's framebuffer: the quads
// are drawn there with GL's window y axis turned over by clip control, since the frame's rows
// run top down and GL's window rows bottom up. The driver keeps a window's rows top down (Mesa
// does), and when the frame is as tall as the window it draws with the very arithmetic of the
// back buffer: clip control turns the rasteriser's conventions over with the axis (which pixel
// an edge through its centre belongs to, which winding faces front), every quad covers the
// same pixels and its texture coordinates reach them with the same rounding. Turning the
// projection over in the vertex shader instead would give edge pixels to the other side.
// A frame lower than the window sits a few rows from the window's top, and a few coordinates
// round the other way at that offset (one colour step here and there); a framebuffer object of
// the host's keeps its rows bottom up like the back buffer, so drawing into it straight
// mirrors the arithmetic and a few colours come out one or two steps off. Frames for those,
// for a window whose height cannot be told (a context SDL did not make current), for
// contexts without clip control (before OpenGL 4.5 and GL_ARB_clip_control), or when asked to
// for comparison, are composed in the screen's back buffer and copied over.
struct HostPath {
    bool ClipControl = false;
    bool Copies = false;
};

HostPath& Path() {
    static HostPath path;
    return path;
}

// The height of the window current with SDL's context, or 0 when SDL made none current.
int32_t CurrentWindowHeight() {
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    if (window == nullptr) return 0;
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    return height;
}

// Whether a frame of that height goes straight into the draw framebuffer (see HostPath).
bool DrawsStraight(GLuint framebuffer, int32_t height) {
    return Path().ClipControl && !Path().Copies && framebuffer == 0 &&
           CurrentWindowHeight() == height;
}

// The host's GL state that the screen's work touches, saved on construction and put back on
// destruction: program, vertex array, array and pixel buffer bindings, active texture unit,
// texture and sampler of unit 0, framebuffer bindings, viewport, blend factors and equations,
// culling, colour mask and clear colour, scissor box, clip control where there is one (GL's
// usual one for the screen's work), provoking vertex, polygon mode, the switches above and the
// unpack settings. Starting work also clears GL's error flags, since the screen tells its own
// failures by them.
class SavedGlState {
  public:
    SavedGlState() {
        while (glGetError() != GL_NO_ERROR) {
        }
        glGetIntegerv(GL_CURRENT_PROGRAM, &program_);
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray_);
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer_);
        glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &unpackBuffer_);
        glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &packBuffer_);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture_);
        glActiveTexture(GL_TEXTURE0);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture_);
        glGetIntegerv(GL_SAMPLER_BINDING, &sampler_);
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawFramebuffer_);
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFramebuffer_);
        glGetIntegerv(GL_VIEWPORT, viewport_);
        glGetIntegerv(GL_BLEND_SRC_RGB, &blend_[0]);
        glGetIntegerv(GL_BLEND_DST_RGB, &blend_[1]);
        glGetIntegerv(GL_BLEND_SRC_ALPHA, &blend_[2]);
        glGetIntegerv(GL_BLEND_DST_ALPHA, &blend_[3]);
        glGetIntegerv(GL_BLEND_EQUATION_RGB, &blend_[4]);
        glGetIntegerv(GL_BLEND_EQUATION_ALPHA, &blend_[5]);
        glGetIntegerv(GL_CULL_FACE_MODE, &cullFace_);
        glGetIntegerv(GL_FRONT_FACE, &frontFace_);
        glGetBooleanv(GL_COLOR_WRITEMASK, colourMask_);
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour_);
        glGetIntegerv(GL_PROVOKING_VERTEX, &provokingVertex_);
        glGetIntegerv(GL_POLYGON_MODE, polygonMode_);
        glGetIntegerv(GL_SCISSOR_BOX, scissorBox_);
        if (Path().ClipControl) {
            glGetIntegerv(GL_CLIP_ORIGIN, &clipOrigin_);
            glGetIntegerv(GL_CLIP_DEPTH_MODE, &clipDepthMode_);
            glClipControl(GL_LOWER_LEFT, GL_NEGATIVE_ONE_TO_ONE);
        }
        for (size_t i = 0; i < kSwitchCount; ++i) {
            switches_[i] = glIsEnabled(kSwitches[i]);
            glDisable(kSwitches[i]);
        }
        for (size_t i = 0; i < kUnpackCount; ++i) {
            glGetIntegerv(kUnpackSettings[i], &unpack_[i]);
            glPixelStorei(kUnpackSettings[i], kUnpackDefaults[i]);
        }
        glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        glBindSampler(0, 0);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glProvokingVertex(GL_LAST_VERTEX_CONVENTION);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    }
    ~SavedGlState() {
        for (size_t i = 0; i < kUnpackCount; ++i) glPixelStorei(kUnpackSettings[i], unpack_[i]);
        for (size_t i = 0; i < kSwitchCount; ++i) {
            if (switches_[i] != GL_FALSE) {
                glEnable(kSwitches[i]);
            } else {
                glDisable(kSwitches[i]);
            }
        }
        if (Path().ClipControl) {
            glClipControl(static_cast<GLenum>(clipOrigin_), static_cast<GLenum>(clipDepthMode_));
        }
        glScissor(scissorBox_[0], scissorBox_[1], scissorBox_[2], scissorBox_[3]);
        glPolygonMode(GL_FRONT_AND_BACK, static_cast<GLenum>(polygonMode_[0]));
        glProvokingVertex(static_cast<GLenum>(provokingVertex_));
        glClearColor(clearColour_[0], clearColour_[1], clearColour_[2], clearColour_[3]);
        glColorMask(colourMask_[0], colourMask_[1], colourMask_[2], colourMask_[3]);
        glFrontFace(static_cast<GLenum>(frontFace_));
        glCullFace(static_cast<GLenum>(cullFace_));
        glBlendEquationSeparate(static_cast<GLenum>(blend_[4]), static_cast<GLenum>(blend_[5]));
        glBlendFuncSeparate(static_cast<GLenum>(blend_[0]), static_cast<GLenum>(blend_[1]),
                            static_cast<GLenum>(blend_[2]), static_cast<GLenum>(blend_[3]));
        glViewport(viewport_[0], viewport_[1], viewport_[2], viewport_[3]);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(drawFramebuffer_));
        glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readFramebuffer_));
        glBindSampler(0, static_cast<GLuint>(sampler_));
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture_));
        glActiveTexture(static_cast<GLenum>(activeTexture_));
        glBindBuffer(GL_PIXEL_PACK_BUFFER, static_cast<GLuint>(packBuffer_));
        glBindBuffer(GL_PIXEL_UNPACK_BUFFER, static_cast<GLuint>(unpackBuffer_));
        glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(arrayBuffer_));
        glBindVertexArray(static_cast<GLuint>(vertexArray_));
        glUseProgram(static_cast<GLuint>(program_));
    }
    SavedGlState(const SavedGlState&) = delete;
    SavedGlState& operator=(const SavedGlState&) = delete;

    // The framebuffer the host had bound for drawing.
    GLuint DrawFramebuffer() const { return static_cast<GLuint>(drawFramebuffer_); }

  private:
    GLint program_ = 0, vertexArray_ = 0, arrayBuffer_ = 0, unpackBuffer_ = 0, packBuffer_ = 0;
    GLint activeTexture_ = GL_TEXTURE0, texture_ = 0, sampler_ = 0;
    GLint drawFramebuffer_ = 0, readFramebuffer_ = 0;
    GLint viewport_[4] = {};
    GLint blend_[6] = {};
    GLint cullFace_ = GL_BACK, frontFace_ = GL_CCW;
    GLboolean colourMask_[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
    GLfloat clearColour_[4] = {};
    GLint provokingVertex_ = GL_LAST_VERTEX_CONVENTION;
    GLint polygonMode_[2] = {GL_FILL, GL_FILL};
    GLint scissorBox_[4] = {};
    GLint clipOrigin_ = GL_LOWER_LEFT, clipDepthMode_ = GL_NEGATIVE_ONE_TO_ONE;
    GLboolean switches_[kSwitchCount] = {};
    GLint unpack_[kUnpackCount] = {};
};

constexpr int32_t kSpriteFlags = SpriteUsableAsQuad | SpriteKeepAlpha;

// The quad sprite of the freshly loaded sprite number, or why there is none.
std::string MakeQuadSprite(int32_t number, const SpriteRecord* sprite) {
    if (sprite == nullptr) return "cannot load the sprite";
    if (CreateQuadSprite(number, number) == nullptr) return "cannot draw the sprite";
    return {};
}

}  // namespace

std::string OpenHostContextScreen() {
    if (ScreenWidth() != 0 || ScreenInHostContext()) return "a screen is open already";
    // Asked before any other GL call: without a current context the version reads 0.
    if (epoxy_gl_version() < 33) return "no OpenGL 3.3 context is current";
    Path().ClipControl = epoxy_gl_version() >= 45 || epoxy_has_gl_extension("GL_ARB_clip_control");
    SavedGlState saved;
    if (OpenScreenInCurrentContext() == 0) return "the screen cannot be opened";
    InitQuadSprites();
    EnablePngDecoder();
    EnableEffectFileSprites();
    return {};
}

std::string LoadHostSprite(int32_t number, const char* path) {
    if (!ScreenInHostContext()) return "the renderer is closed";
    SavedGlState saved;
    return MakeQuadSprite(number, LoadSpriteImage(number, path, kSpriteFlags));
}

std::string LoadHostSpritePixels(int32_t number, int32_t width, int32_t height,
                                 std::span<const uint8_t> rgba) {
    if (!ScreenInHostContext()) return "the renderer is closed";
    if (width < 1 || height < 1 || width > particleplayer::kMaxPixelSide ||
        height > particleplayer::kMaxPixelSide) {
        return "the sprite size must be 1 to " + std::to_string(particleplayer::kMaxPixelSide) +
               " pixels each way";
    }
    const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4u;
    if (rgba.size() < bytes) return "fewer pixels than width x height";
    DecodedImage image;
    image.Width = width;
    image.Height = height;
    image.Depth = 32;
    image.Pitch = width * 4;
    image.Pixels.assign(rgba.begin(), rgba.begin() + static_cast<std::ptrdiff_t>(bytes));
    for (size_t i = 0; i < bytes; i += 4) std::swap(image.Pixels[i], image.Pixels[i + 2]);
    SavedGlState saved;
    return MakeQuadSprite(number, SpriteFromImage(number, image, kSpriteFlags));
}

std::string DrawIntoHostFramebuffer(Engine& engine, int32_t width, int32_t height, bool clear) {
    if (!ScreenInHostContext()) return "the renderer is closed";
    SavedGlState saved;
    if (DrawsStraight(saved.DrawFramebuffer(), height)) {
        if (AimHostScreen(saved.DrawFramebuffer(), width, height) == 0) {
            return "cannot draw a frame of that size";
        }
        // The host's alpha is kept, as the copy from the alpha-free back buffer keeps it; the
        // blend factors that would read it act as over that back buffer (quad_batch.cpp).
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
        // The frame's top row at the top of the area: see HostPath.
        glClipControl(GL_UPPER_LEFT, GL_NEGATIVE_ONE_TO_ONE);
        if (clear) {
            // Only the area is cleared, as the back buffer of that size would be.
            glBindFramebuffer(GL_DRAW_FRAMEBUFFER, saved.DrawFramebuffer());
            glScissor(0, 0, width, height);
            glEnable(GL_SCISSOR_TEST);
            glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT);
            glDisable(GL_SCISSOR_TEST);
        }
        BeginQuads();
        DrawParticles(engine, 0, 0, 0);
        EndQuads();
        return {};
    }
    if (SizeHostScreen(width, height) == 0) return "cannot make a frame of that size";
    if (clear) {
        FillScreen(0);
    } else {
        CopyFramebufferToScreen(saved.DrawFramebuffer());
    }
    BeginQuads();
    DrawParticles(engine, 0, 0, 0);
    EndQuads();
    CopyScreenToFramebuffer(saved.DrawFramebuffer());
    return {};
}

void DrawHostFramesThroughCopies(bool on) {
    Path().Copies = on;
}

void CloseHostContextScreen() {
    if (!ScreenInHostContext()) return;
    SavedGlState saved;
    ReleaseScreen();
    FreeAllQuadSprites();
    // As when the library's own screen closes: the driver the host's context used stays loaded,
    // so that a leak checker can still name what it leaves behind when the host lets go of it.
    KeepLoadedLibrariesUntilExit();
}

}  // namespace pp
