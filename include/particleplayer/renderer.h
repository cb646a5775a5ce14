/// @file
/// particleplayer/renderer.h - the bundled OpenGL 3.3 renderer, drawing into the host's own
/// context.
///
/// A host that makes its own window and OpenGL context (SDL, GLFW, a toolkit) creates a
/// Renderer while that context is current, loads numbered sprites into it and draws worlds
/// into whatever framebuffer it has bound. Draw gives exactly the pixels the library's own
/// screen (screen.h) draws for the same world: every particle of layer 0 a textured quad with
/// its effect's blend factors, composed over what the framebuffer held (or over black when
/// asked to clear). Blend factors that read the destination alpha act as if it were 1, as on
/// the library's screen, whose frame has no alpha, and the framebuffer's own alpha is left as
/// it was. Into the window of an SDL context (the framebuffer 0 of SDL's current window) with
/// a frame as tall as the window, and OpenGL 4.5 or GL_ARB_clip_control, the quads are drawn
/// straight into the framebuffer; elsewhere the frame is composed in a buffer of the
/// renderer's own and copied over, two full-frame copies that keep the pixels the same on
/// every framebuffer. Draw neither updates the world nor swaps buffers; both stay the host's.
///
/// Contract:
/// - Every call needs the context the Renderer was created in current on the calling thread,
///   destruction included (it frees the renderer's GL objects and textures). The framebuffer
///   drawn into is single-sampled and at least width x height pixels.
/// - Every call leaves the context's state as it found it: program, vertex array, array and
///   pixel buffer bindings, active texture unit, texture and sampler of unit 0, framebuffer
///   bindings, viewport, blend switch, factors and equations, culling, scissor test and box,
///   depth and stencil tests and the other switches that change what a draw writes, colour
///   mask, clear colour, clip control, provoking vertex, polygon mode and unpack settings. It
///   clears GL's error flags.
/// - One renderer or library screen per process: the sprites, the quad drawing state and the
///   frame buffer behind them are shared process-wide, so Create fails while another
///   Renderer or the library's screen (OpenScreen) is open, and OpenScreen fails while a
///   Renderer is open. Every World may be drawn with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "particleplayer/world.h"

namespace particleplayer {

/// Draws worlds into the host's current OpenGL 3.3 context. Movable, not copyable; a
/// default-constructed or moved-from Renderer is closed and every call on it fails.
class Renderer {
  public:
    /// A closed renderer; Create gives an open one.
    Renderer() = default;
    /// Frees the sprites and GL objects (the creating context must be current).
    ~Renderer();
    /// Takes over another renderer; the other is left closed.
    Renderer(Renderer&& other) noexcept;
    /// Closes this renderer and takes over another.
    Renderer& operator=(Renderer&& other) noexcept;
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    /// A renderer in the context current on this thread. Fails when no context of OpenGL 3.3
    /// or later is current, or when a Renderer or the library's screen is open already.
    static Result<Renderer> Create();

    /// True until closed or moved from.
    bool IsOpen() const { return open_; }

    /// Loads a PNG or BMP file as sprite `number` (0 or more), replacing an older one;
    /// particles of that sprite number draw with it. An image without alpha draws its black
    /// pixels transparent.
    Status LoadSprite(int32_t number, std::string_view path);
    /// Loads width x height pixels (each 1 to kMaxPixelSide) of top-down rows of R, G, B, A bytes
    /// (width * 4 bytes each, straight alpha) as sprite `number`; size is the bytes readable
    /// at rgba, at least width * height * 4.
    Status LoadSpritePixels(int32_t number, int32_t width, int32_t height, const uint8_t* rgba,
                            size_t size);

    /// Draws the world's layer 0 as it stands over the lower-left width x height pixels of
    /// the framebuffer bound for drawing (each 1 to kMaxPixelSide; normally the framebuffer's
    /// size), after clearing them to black when clear is set. The world is not updated.
    Status Draw(World& world, int32_t width, int32_t height, bool clear = false);

    /// Frees the sprites and GL objects now; the renderer is closed afterwards.
    void Close();

  private:
    bool open_ = false;
};

}  // namespace particleplayer
