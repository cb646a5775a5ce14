// The OpenGL functions the platform layer draws with, and what differs between its two
// targets: OpenGL 3.3 core through libepoxy on the desktop, WebGL 2 (OpenGL ES 3.0) in the
// browser. Not for use outside platform/.
#pragma once

#ifdef __EMSCRIPTEN__
#include <GLES3/gl3.h>
#else
#include <epoxy/gl.h>
#endif

namespace pp {

#ifdef __EMSCRIPTEN__
// Every shader's first lines: the language version and, for GLSL ES, full precision, so that
// both targets compute with 32-bit floats and integers.
inline constexpr char kShaderPrologue[] =
    "#version 300 es\n"
    "precision highp float;\n"
    "precision highp int;\n"
    "precision highp sampler2D;\n";
#else
inline constexpr char kShaderPrologue[] = "#version 330 core\n";
#endif

// Maps the whole bound buffer of size bytes for writing, its old contents given up, or
// returns nullptr when that fails. WebGL only emulates mapping, by copying the whole mapped
// range at every unmap, so there it always returns nullptr: the batch then writes into memory
// of its own and uploads only the part it used.
inline void* MapStreamBuffer(GLenum target, GLsizeiptr size) {
#ifdef __EMSCRIPTEN__
    (void)target;
    (void)size;
    return nullptr;
#else
    return glMapBufferRange(target, 0, size, GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT);
#endif
}

// Gives back the bound buffer that MapStreamBuffer mapped; false when its contents were lost
// meanwhile and it must not be drawn from.
inline bool UnmapStreamBuffer(GLenum target) {
#ifdef __EMSCRIPTEN__
    (void)target;  // never mapped there
    return true;
#else
    return glUnmapBuffer(target) == GL_TRUE;
#endif
}

// Uploads width x height B, G, R, A texels (rows tightly packed) into the bound 2D texture as
// RGBA8.
void UploadBgraTexture(GLsizei width, GLsizei height, const void* bgra);

// Reads width x height pixels of the bound read framebuffer, GL row 0 first, into bgr as
// B, G, R bytes without padding.
void ReadPixelsBgr(GLsizei width, GLsizei height, void* bgr);

}  // namespace pp
