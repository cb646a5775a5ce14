#include "tests/platform/platform_test_support.h"

#include <SDL.h>
#include <png.h>

#include "image/image_decoders.h"
#include "platform/quad_sprites.h"
#include "platform/screen.h"
#include "platform/sprites.h"
#include "platform/window.h"

namespace pp::test {

bool KeepGraphicsDriverLoaded() {
    static const bool loaded = [] {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
        return SDL_GL_LoadLibrary(nullptr) == 0;
    }();
    return loaded;
}

bool OpenTestScreen() {
    if (!KeepGraphicsDriverLoaded()) return false;
    if (ScreenWidth() == 800 && WindowHandle(0) != nullptr) {
        InitQuadSprites();
        return true;
    }
    InitGraphics();
    InitQuadSprites();
    SDL_Window* window = WindowOpen(0, 0, 0, 800, 600, "SCREEN", 0x00C80001, nullptr);
    if (window == nullptr) return false;
    if (OpenScreenInWindow(window, 0, 0, 800, 600, 0, 0, 0) == 0) return false;
    EnablePngDecoder();
    return true;
}

void CloseTestScreen() {
    FreeAllQuadSprites();
    CloseAllWindows();
    ShutdownGraphics();
}

std::vector<uint8_t> EncodePng(int32_t width, int32_t height, const std::vector<Rgba>& pixels,
                               bool withAlpha) {
    std::vector<uint8_t> raw;
    for (const Rgba& p : pixels) {
        raw.insert(raw.end(), {p.R, p.G, p.B});
        if (withAlpha) raw.push_back(p.A);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = withAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, raw.data(), 0, nullptr)) return {};
    std::vector<uint8_t> png(size);
    if (!png_image_write_to_memory(&image, png.data(), &size, 0, raw.data(), 0, nullptr)) {
        return {};
    }
    png.resize(size);
    return png;
}

bool MakeQuadFromPixels(int32_t number, int32_t width, int32_t height,
                        const std::vector<Rgba>& pixels) {
    const std::vector<uint8_t> png = EncodePng(width, height, pixels);
    if (SpriteFromMemory(number, png, SpriteUsableAsQuad | SpriteKeepAlpha) == nullptr) {
        return false;
    }
    return CreateQuadSprite(number, number) != nullptr;
}

Frame::Frame() : width_(ScreenWidth()), height_(ScreenHeight()) {
    ReadScreenPixels(bytes_);
}

Bgr Frame::At(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
    const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width_) + x) * 3;
    return {bytes_[i], bytes_[i + 1], bytes_[i + 2]};
}

int32_t Frame::CountNot(Bgr colour, int32_t x0, int32_t y0, int32_t x1, int32_t y1) const {
    int32_t count = 0;
    for (int32_t y = y0; y < y1; ++y) {
        for (int32_t x = x0; x < x1; ++x) {
            if (!(At(x, y) == colour)) ++count;
        }
    }
    return count;
}

}  // namespace pp::test
