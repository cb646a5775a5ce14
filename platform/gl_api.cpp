#include "platform/gl_api.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pp {

void UploadBgraTexture(GLsizei width, GLsizei height, const void* bgra) {
#ifdef __EMSCRIPTEN__
    // WebGL takes no B, G, R, A uploads: red and blue swap places on the way.
    const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4u;
    const auto* in = static_cast<const uint8_t*>(bgra);
    std::vector<uint8_t> rgba(in, in + bytes);
    for (size_t i = 0; i < bytes; i += 4) std::swap(rgba[i], rgba[i + 2]);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 rgba.data());
#else
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, bgra);
#endif
}

void ReadPixelsBgr(GLsizei width, GLsizei height, void* bgr) {
#ifdef __EMSCRIPTEN__
    // WebGL reads an RGB framebuffer back only as R, G, B, A.
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::vector<uint8_t> rgba(pixels * 4u);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    auto* out = static_cast<uint8_t*>(bgr);
    for (size_t i = 0; i < pixels; ++i) {
        out[i * 3] = rgba[i * 4 + 2];
        out[i * 3 + 1] = rgba[i * 4 + 1];
        out[i * 3 + 2] = rgba[i * 4];
    }
#else
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_BGR, GL_UNSIGNED_BYTE, bgr);
#endif
}

}  // namespace pp
