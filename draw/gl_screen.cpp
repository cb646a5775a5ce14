#include "draw/gl_screen.h"

#include "draw/gl_device.h"
#include "draw/sprites.h"
#include "platform/gl_api.h"
#include "platform/gl_context.h"
#include "platform/gl_program.h"
#include "platform/window.h"

namespace pp {
namespace {

struct ScreenState {
    bool GraphicsInitialised = false;
    bool ScreenOpen = false;
    // The screen lives in a context the host made and keeps (no window, no swap); Scratch
    // then receives the host's pixels on their way into the back buffer.
    bool Host = false;
    GLuint Scratch = 0;
    // Set while the host-context screen draws straight into the host's framebuffer Target
    // instead of a back buffer of its own; the back buffer, when one was made, stays for the
    // frames that need it, and BufferWidth x BufferHeight is its size.
    bool Direct = false;
    GLuint Target = 0;
    int32_t BufferWidth = 0, BufferHeight = 0;
    NativeWindow* Parent = nullptr;
    GlContext Context = nullptr;
    GLuint Framebuffer = 0;
    GLuint ColourBuffer = 0;  // a texture, so that presenting can read it with a draw
    // Presenting an unscaled frame: a program that copies the back buffer texel for texel
    // (0 when it could not be built; the blit then does the copy).
    GLuint CopyProgram = 0;
    GLuint CopyVertexArray = 0;
    GLint CopyOriginLocation = -1;
    int32_t X = 0, Y = 0;
    int32_t Width = 0, Height = 0;          // the back buffer
    int32_t AreaWidth = 0, AreaHeight = 0;  // where it is shown in the window
    // What a frame starts from: the colour word, or these top-down R, G, B rows when given.
    int32_t BackgroundColour = 0;
    std::vector<uint8_t> BackgroundRgb;
};

ScreenState& State() {
    static ScreenState state;
    return state;
}

// Constant-initialised, so that the queue's start-up call finds it ready in any order.
constinit QueuedDraws gQueued{};

void DropQueuedDraws() {
    if (gQueued.Drop != nullptr) gQueued.Drop();
}

// What the screen does about its window's events: a repaint or resize of its
// window shows the last frame again, and a window that goes takes the screen with it, since
// the context cannot outlive the window it draws into.
void OnWindowEvent(NativeWindow* window, int32_t code) {
    ScreenState& s = State();
    if (!s.ScreenOpen || window != s.Parent) return;
    if (code == kWindowDestroying) {
        ReleaseScreen();
    } else if (code == kEventResized || code == kEventExposed) {
        if (s.Width != 0) PresentFrame();
    }
}

void DeleteDeviceObjects() {
    ScreenState& s = State();
    if (s.Framebuffer != 0) glDeleteFramebuffers(1, &s.Framebuffer);
    if (s.ColourBuffer != 0) glDeleteTextures(1, &s.ColourBuffer);
    if (s.Scratch != 0) glDeleteTextures(1, &s.Scratch);
    s.Scratch = 0;
    if (s.CopyProgram != 0) glDeleteProgram(s.CopyProgram);
    if (s.CopyVertexArray != 0) glDeleteVertexArrays(1, &s.CopyVertexArray);
    s.Framebuffer = 0;
    s.ColourBuffer = 0;
    s.CopyProgram = 0;
    s.CopyVertexArray = 0;
    s.CopyOriginLocation = -1;
    if (s.Context != nullptr) DeleteGlContext(s.Context);
    s.Context = nullptr;
}

// An RGB texture of width x height, sampled texel for texel.
GLuint CreateRgbTexture(int32_t width, int32_t height) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

bool CreateBackBuffer(int32_t width, int32_t height) {
    ScreenState& s = State();
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (width > maxSize || height > maxSize) return false;
    // No alpha channel, like a display-format back buffer: blend factors that read the
    // destination alpha see 1.
    s.ColourBuffer = CreateRgbTexture(width, height);
    glGenFramebuffers(1, &s.Framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, s.Framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, s.ColourBuffer, 0);
    return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE &&
           glGetError() == GL_NO_ERROR;
}

// The copy that presents an unscaled frame. One triangle covers the viewport, which is set to
// the shown area; each window pixel fetches the back buffer texel of its own row and column,
// rows turned over because the back buffer holds the top row first and the window's GL origin
// is bottom-left. Origin is the window pixel that shows texel (0, 0): the area's left column
// and its top row counted from the bottom.
constexpr const char* kCopyVertexShader = R"(void main() {
    gl_Position = vec4(float((gl_VertexID & 1) * 4 - 1), float((gl_VertexID & 2) * 2 - 1),
                       0.0, 1.0);
}
)";

constexpr const char* kCopyFragmentShader = R"(uniform sampler2D BackBuffer;
uniform ivec2 Origin;
out vec4 Colour;
void main() {
    ivec2 window = ivec2(gl_FragCoord.xy);
    Colour = texelFetch(BackBuffer, ivec2(window.x - Origin.x, Origin.y - window.y), 0);
}
)";

// A flipping glBlitFramebuffer costs llvmpipe a fresh LLVM compile of its blit shaders in
// every process, kept in no shader cache, on the way to the first frame; this program's code
// comes from Mesa's shader cache after the first run. Leaves CopyProgram 0 when it cannot be
// built.
void CreateCopyProgram() {
    ScreenState& s = State();
    s.CopyProgram = BuildGlProgram(kCopyVertexShader, kCopyFragmentShader);
    if (s.CopyProgram != 0) {
        s.CopyOriginLocation = glGetUniformLocation(s.CopyProgram, "Origin");
        glUseProgram(s.CopyProgram);
        glUniform1i(glGetUniformLocation(s.CopyProgram, "BackBuffer"), 0);
        glUseProgram(0);
        // Core profile draws need a vertex array even when no attribute is read.
        glGenVertexArrays(1, &s.CopyVertexArray);
    }
    if (s.CopyProgram == 0 || glGetError() != GL_NO_ERROR) {
        if (s.CopyProgram != 0) glDeleteProgram(s.CopyProgram);
        if (s.CopyVertexArray != 0) glDeleteVertexArrays(1, &s.CopyVertexArray);
        s.CopyProgram = 0;
        s.CopyVertexArray = 0;
        s.CopyOriginLocation = -1;
    }
}

// Draws the texture into the draw framebuffer's area of width x height at left, bottom (GL
// window coordinates, rows from the bottom), texel for texel, rows turned over.
void DrawCopy(GLuint texture, GLint left, GLint bottom, GLsizei width, GLsizei height) {
    const ScreenState& s = State();
    glViewport(left, bottom, width, height);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glUseProgram(s.CopyProgram);
    glUniform2i(s.CopyOriginLocation, left, bottom + height - 1);
    glBindVertexArray(s.CopyVertexArray);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    // Nothing may sample the back buffer while frames are drawn into it.
    glBindTexture(GL_TEXTURE_2D, 0);
}

}  // namespace

void SetQueuedDraws(QueuedDraws draws) {
    gQueued = draws;
}

void FlushQueuedDraws() {
    if (gQueued.Flush != nullptr) gQueued.Flush();
}

bool DeviceReady() {
    const ScreenState& s = State();
    return s.ScreenOpen && (s.Context != nullptr || s.Host);
}

void BindBackBuffer() {
    const ScreenState& s = State();
    if (s.Direct) {
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, s.Target);
    } else {
        glBindFramebuffer(GL_FRAMEBUFFER, s.Framebuffer);
    }
    glViewport(0, 0, s.Width, s.Height);
}

int32_t InitGraphics() {
    ScreenState& s = State();
    if (s.GraphicsInitialised) return 1;
    if (!StartContextVideo()) return 0;
    s.GraphicsInitialised = true;
    return 1;
}

int32_t OpenScreenInWindow(NativeWindow* window, int32_t x, int32_t y, int32_t width,
                           int32_t height) {
    ReleaseScreen();
    ScreenState& s = State();
    if (window == nullptr || !s.GraphicsInitialised || width < 1 || height < 1) {
        FreeAllSprites();
        return 0;
    }
    s.Parent = window;
    s.X = x;
    s.Y = y;
    s.AreaWidth = width;
    s.AreaHeight = height;

    s.Context = CreateGlContext(window);
    if (s.Context == nullptr || !CreateBackBuffer(width, height)) {
        DeleteDeviceObjects();
        s.Parent = nullptr;
        FreeAllSprites();
        return 0;
    }
    CreateCopyProgram();
    // One retrace per present.
    SwapOnRetrace();

    s.Width = width;
    s.Height = height;
    s.ScreenOpen = true;
    ApplyDefaultStates();
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    SetWindowEventHook(&OnWindowEvent);
    return 1;
}

void FillScreen(int32_t colour) {
    if (!DeviceReady()) return;
    FlushQueuedDraws();
    // The colour word's bytes are red, green, blue from the low end; the device colour is
    // 0xAARRGGBB. A non-zero top byte lands in the green bits and a set bit 31 fills bits
    // 16-31, exactly as the shifts below do (>> of a negative int is arithmetic in C++20).
    const int32_t device = ((colour & 0xFF) << 16) | (colour >> 16) | (colour & 0xFF00);
    const float red = static_cast<float>((device >> 16) & 0xFF) / 255.0f;
    const float green = static_cast<float>((device >> 8) & 0xFF) / 255.0f;
    const float blue = static_cast<float>(device & 0xFF) / 255.0f;
    BindBackBuffer();
    glClearColor(red, green, blue, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

void SetScreenBackground(int32_t colour) {
    ScreenState& s = State();
    s.BackgroundColour = colour;
    s.BackgroundRgb.clear();
}

bool SetScreenBackgroundImage(std::span<const uint8_t> rgb) {
    ScreenState& s = State();
    if (!DeviceReady() || s.Host ||
        rgb.size() != static_cast<size_t>(s.Width) * static_cast<size_t>(s.Height) * 3u) {
        return false;
    }
    s.BackgroundRgb.assign(rgb.begin(), rgb.end());
    return true;
}

void ClearToBackground() {
    ScreenState& s = State();
    if (s.BackgroundRgb.empty() || !DeviceReady() || s.Host) {
        FillScreen(s.BackgroundColour);
        return;
    }
    FlushQueuedDraws();
    BindBackBuffer();
    // The back buffer is a texture whose first row is the top one, as the picture's rows are.
    glBindTexture(GL_TEXTURE_2D, s.ColourBuffer);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, s.Width, s.Height, GL_RGB, GL_UNSIGNED_BYTE,
                    s.BackgroundRgb.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glBindTexture(GL_TEXTURE_2D, 0);
}

int32_t EnsureScene() {
    return DeviceReady() ? 1 : 0;
}

void ApplyDefaultStates() {
    if (!DeviceReady()) return;
    BindBackBuffer();
    glDisable(GL_SCISSOR_TEST);
}

int32_t PresentFrame() {
    ScreenState& s = State();
    if (!DeviceReady() || s.Host) return 1;
    FlushQueuedDraws();

    const WindowSizes sizes = SizesOf(s.Parent);
    const int windowW = sizes.Width, windowH = sizes.Height;
    const int drawW = sizes.DrawableWidth, drawH = sizes.DrawableHeight;
    // Client coordinates to drawable pixels (they differ on high-density displays).
    const double scaleX = windowW > 0 ? static_cast<double>(drawW) / windowW : 1.0;
    const double scaleY = windowH > 0 ? static_cast<double>(drawH) / windowH : 1.0;
    const auto left = static_cast<GLint>(s.X * scaleX);
    const auto top = static_cast<GLint>(s.Y * scaleY);
    const auto right = static_cast<GLint>((static_cast<double>(s.X) + s.AreaWidth) * scaleX);
    const auto bottom = static_cast<GLint>((static_cast<double>(s.Y) + s.AreaHeight) * scaleY);

    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glViewport(0, 0, drawW, drawH);
    if (left > 0 || top > 0 || right < drawW || bottom < drawH) {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    const bool sameSize = right - left == s.Width && bottom - top == s.Height;
    if (sameSize && s.CopyProgram != 0) {
        DrawCopy(s.ColourBuffer, left, drawH - bottom, s.Width, s.Height);
    } else {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, s.Framebuffer);
        // The back buffer holds the top row first; the window's GL origin is bottom-left, so
        // the blit flips it on the way.
        glBlitFramebuffer(0, 0, s.Width, s.Height, left, drawH - top, right, drawH - bottom,
                          GL_COLOR_BUFFER_BIT, sameSize ? GL_NEAREST : GL_LINEAR);
    }
    SwapWindowBuffers(s.Parent);
    ApplyDefaultStates();
    return 1;
}

void ReleaseScreen() {
    ScreenState& s = State();
    if (!s.ScreenOpen) return;
    FreeAllSprites();
    if (s.Context != nullptr) MakeGlContextCurrent(s.Parent, s.Context);
    DropQueuedDraws();
    // Cleared before the context goes, so that nothing below counts the device as ready.
    s.ScreenOpen = false;
    DeleteDeviceObjects();
    s.Width = 0;
    s.Height = 0;
    s.Parent = nullptr;
    s.Host = false;
    s.Direct = false;
    s.Target = 0;
    s.BufferWidth = s.BufferHeight = 0;
    s.BackgroundColour = 0;
    s.BackgroundRgb.clear();
    SetWindowEventHook(nullptr);
}

int32_t OpenScreenInCurrentContext() {
    ScreenState& s = State();
    if (s.ScreenOpen || !CurrentContextIsGl33()) return 0;
    s.Host = true;
    s.ScreenOpen = true;
    CreateCopyProgram();
    return 1;
}

bool ScreenInHostContext() {
    return State().Host;
}

int32_t SizeHostScreen(int32_t width, int32_t height) {
    ScreenState& s = State();
    if (!s.Host) return 0;
    if (!s.Direct && width == s.Width && height == s.Height) return 1;
    FlushQueuedDraws();
    s.Direct = false;
    s.Target = 0;
    // Back from drawing straight: the back buffer kept meanwhile may be the right size.
    if (s.Framebuffer != 0 && width == s.BufferWidth && height == s.BufferHeight) {
        s.Width = width;
        s.Height = height;
        return 1;
    }
    if (s.Framebuffer != 0) glDeleteFramebuffers(1, &s.Framebuffer);
    if (s.ColourBuffer != 0) glDeleteTextures(1, &s.ColourBuffer);
    if (s.Scratch != 0) glDeleteTextures(1, &s.Scratch);
    s.Framebuffer = s.ColourBuffer = s.Scratch = 0;
    s.Width = s.Height = s.BufferWidth = s.BufferHeight = 0;
    if (width < 1 || height < 1 || !CreateBackBuffer(width, height)) return 0;
    s.Scratch = CreateRgbTexture(width, height);
    if (glGetError() != GL_NO_ERROR) return 0;
    s.Width = s.BufferWidth = width;
    s.Height = s.BufferHeight = height;
    return 1;
}

int32_t AimHostScreen(uint32_t framebuffer, int32_t width, int32_t height) {
    ScreenState& s = State();
    if (!s.Host || width < 1 || height < 1) return 0;
    FlushQueuedDraws();
    s.Direct = true;
    s.Target = framebuffer;
    s.Width = width;
    s.Height = height;
    return 1;
}

void CopyFramebufferToScreen(uint32_t framebuffer) {
    const ScreenState& s = State();
    if (!s.Host || s.Direct || s.Width == 0) return;
    FlushQueuedDraws();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, s.Framebuffer);
    if (s.CopyProgram == 0) {
        glBlitFramebuffer(0, 0, s.Width, s.Height, 0, s.Height, s.Width, 0, GL_COLOR_BUFFER_BIT,
                          GL_NEAREST);
        return;
    }
    // The host's rows run from the bottom: they land in Scratch as they are, and the copy
    // turns them over into the back buffer, whose top row comes first.
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, s.Scratch);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, s.Width, s.Height);
    DrawCopy(s.Scratch, 0, 0, s.Width, s.Height);
}

void CopyScreenToFramebuffer(uint32_t framebuffer) {
    const ScreenState& s = State();
    if (!s.Host || s.Direct || s.Width == 0) return;
    FlushQueuedDraws();
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
    // The back buffer has no alpha; the host's keeps what it held.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    if (s.CopyProgram == 0) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, s.Framebuffer);
        glBlitFramebuffer(0, 0, s.Width, s.Height, 0, s.Height, s.Width, 0, GL_COLOR_BUFFER_BIT,
                          GL_NEAREST);
    } else {
        DrawCopy(s.ColourBuffer, 0, 0, s.Width, s.Height);
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

void ShutdownGraphics() {
    ScreenState& s = State();
    if (!s.GraphicsInitialised) return;
    ReleaseScreen();
    EndContextVideo();
    s.GraphicsInitialised = false;
}

int32_t ScreenWidth() {
    return State().Width;
}
int32_t ScreenHeight() {
    return State().Height;
}

bool ReadScreenPixels(std::vector<uint8_t>& bgr) {
    bgr.clear();
    const ScreenState& s = State();
    if (!DeviceReady() || s.Direct) return false;
    FlushQueuedDraws();
    bgr.resize(static_cast<size_t>(s.Width) * static_cast<size_t>(s.Height) * 3u);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, s.Framebuffer);
    ReadPixelsBgr(s.Width, s.Height, bgr.data());
    return true;
}

}  // namespace pp
