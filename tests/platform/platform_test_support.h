// Shared by the GL tests: one 800 x 600 window with its screen for the whole binary, quad
// sprites made from pixels in memory, particles, and the read-back back buffer.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image/image_decoders.h"
#include "particles/particles.h"
#include "platform/quad_sprites.h"
#include "platform/screen.h"
#include "platform/sprites.h"
#include "platform/window.h"

namespace pp::test {

// SDL video and its GL library stay loaded for the whole binary (unloading Mesa leaks);
// SDL's offscreen driver with software GL unless one is named.
inline bool KeepGraphicsDriverLoaded() {
    static const bool loaded = setenv("SDL_VIDEODRIVER", "offscreen", 0) == 0 &&
                               setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0) == 0 &&
                               SDL_InitSubSystem(SDL_INIT_VIDEO) == 0 &&
                               SDL_GL_LoadLibrary(nullptr) == 0;
    return loaded;
}

// Opens window 0 and its 800 x 600 screen unless open, enables PNG and empties the quad table.
inline bool OpenTestScreen() {
    if (!KeepGraphicsDriverLoaded()) return false;
    if (ScreenWidth() != 800 || WindowHandle(0) == nullptr) {
        InitGraphics();
        SDL_Window* window = WindowOpen(0, 0, 0, 800, 600, "SCREEN", 0x00C80001, nullptr);
        if (window == nullptr || OpenScreenInWindow(window, 0, 0, 800, 600, 0, 0, 0) == 0)
            return false;
        EnablePngDecoder();
    }
    InitQuadSprites();
    return true;
}

inline void CloseTestScreen() {
    FreeAllQuadSprites();
    CloseAllWindows();
    ShutdownGraphics();
}

// A test on the shared screen, cleared to black; the screen closes after the suite.
class OnScreen : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(OpenTestScreen()) << SDL_GetError();
        FillScreen(0);
    }
    static void TearDownTestSuite() { CloseTestScreen(); }
};

struct Rgba {
    uint8_t R, G, B, A;
};

// PNG bytes of top-down RGBA pixels.
inline std::vector<uint8_t> EncodePng(int32_t width, int32_t height,
                                      const std::vector<Rgba>& pixels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> png(1024 + pixels.size() * 8);
    png_alloc_size_t size = png.size();
    const bool ok =
        png_image_write_to_memory(&image, png.data(), &size, 0, pixels.data(), 0, nullptr);
    png.resize(ok ? size : 0);
    return png;
}

// Loads the pixels as sprite `number` keeping their alpha and makes quad sprite `number` of it.
inline bool MakeQuadFromPixels(int32_t number, int32_t width, int32_t height,
                               const std::vector<Rgba>& pixels) {
    return SpriteFromMemory(number, EncodePng(width, height, pixels),
                            SpriteUsableAsQuad | SpriteKeepAlpha) != nullptr &&
           CreateQuadSprite(number, number) != nullptr;
}

// A particle, with its Life record (at the given life fraction and sheet frame) when the
// emitter keeps them.
inline void AddParticle(Emitter* e, int32_t sprite, float size, float x, float y,
                        float transparency = 255.0f, float angle = 0.0f, float fraction = 0.0f,
                        int32_t frame = 0) {
    *ListInsert(e->Particles) =
        Particle{sprite, size, x, y, 0.0f, 0.0f, transparency, 0, angle, 0.0f};
    if (HasExtras(*e)) *ListInsert(e->Life) = ParticleLife{0, 1000.0f, 0, fraction, frame};
}

struct Bgr {
    uint8_t B, G, R;
    bool operator==(const Bgr&) const = default;
};
inline constexpr Bgr kBlack{0, 0, 0};

// The back buffer, read when made.
struct Frame {
    Frame() { ReadScreenPixels(Bytes); }
    Bgr At(int32_t x, int32_t y) const {
        const size_t i = (static_cast<size_t>(y) * 800 + static_cast<size_t>(x)) * 3;
        return {Bytes.at(i), Bytes.at(i + 1), Bytes.at(i + 2)};
    }
    // Pixels that differ from colour inside the rectangle [x0, x1) x [y0, y1).
    int32_t CountNot(Bgr colour, int32_t x0 = 0, int32_t y0 = 0, int32_t x1 = 800,
                     int32_t y1 = 600) const {
        int32_t count = 0;
        for (int32_t y = y0; y < y1; ++y)
            for (int32_t x = x0; x < x1; ++x) count += !(At(x, y) == colour);
        return count;
    }
    std::vector<uint8_t> Bytes;
};

}  // namespace pp::test
