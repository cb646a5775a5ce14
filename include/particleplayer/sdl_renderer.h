/// @file
/// particleplayer/sdl_renderer.h - drawing worlds through SDL's 2D renderer (SDL_Renderer).
///
/// A game that draws with SDL_Renderer (Direct3D, Metal, OpenGL, OpenGL ES or SDL's software
/// renderer underneath) makes an SdlRenderer on its own SDL_Renderer, loads numbered sprites
/// into it as SDL textures and draws a world's layer among its own draws. Each run of the
/// vertex array (particleplayer/vertices.h) becomes one SDL_RenderGeometry call with the run's
/// sprite and blend pair; positions move by half a pixel, since SDL puts pixel centres at
/// halves. Runs whose sprite number holds no sprite draw nothing, as with the bundled renderer.
///
/// Blending: a pair of codes becomes SDL blend factors for the colour; factors that read the
/// destination alpha act as if it were 1 (destination alpha: one, one minus destination alpha:
/// zero, saturated source alpha: zero), as the bundled renderer's do, and the alpha of the
/// target is kept (alpha factors zero and one). Each pair is composed with
/// SDL_ComposeCustomBlendMode; a renderer that cannot draw a composed mode (SDL's software
/// renderer draws none) takes SDL's nearest built-in mode instead, which is exact in colour
/// for these pairs (after the destination alpha is read as 1):
///   source alpha, one minus source alpha  -> SDL_BLENDMODE_BLEND (the target's alpha changes)
///   source alpha, one                     -> SDL_BLENDMODE_ADD
///   zero, source colour; destination colour, zero -> SDL_BLENDMODE_MOD
///   destination colour, one minus source alpha    -> SDL_BLENDMODE_MUL
///   one, zero                             -> SDL_BLENDMODE_NONE (the target takes the alpha)
///   zero, one                             -> nothing is drawn
/// and approximate for the others, chosen by the destination factor: zero -> NONE,
/// one -> ADD, source colour -> MOD, any other -> BLEND (destination colour as source with one
/// minus source alpha -> MUL). Each approximated pair is logged once per SdlRenderer through
/// SDL_LogWarn (category SDL_LOG_CATEGORY_APPLICATION, shown by default).
///
/// Contract:
/// - The SDL_Renderer outlives the SdlRenderer: close it (or let it go) before
///   SDL_DestroyRenderer, which would free its textures under it. Call it from the thread
///   that uses the SDL_Renderer.
/// - Draw goes to the renderer's current target through its viewport, clip rectangle and
///   scale, as the host's own SDL_RenderGeometry calls would, and leaves the renderer's draw
///   colour, draw blend mode, target, clip rectangle, viewport and scale as it found them.
///   It neither clears nor presents.
/// - Any number of SdlRenderers may be open, beside the bundled OpenGL renderer or not; each
///   has sprites of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "particleplayer/world.h"

/// SDL's 2D renderer, as SDL_render.h declares it.
struct SDL_Renderer;

namespace particleplayer {

/// Draws worlds through one SDL_Renderer. Movable, not copyable; a default-constructed or
/// moved-from SdlRenderer is closed and every call on it fails.
class SdlRenderer {
  public:
    /// A closed renderer; Create gives an open one.
    SdlRenderer();
    /// Frees the sprites' textures (the SDL_Renderer must still exist).
    ~SdlRenderer();
    /// Takes over another renderer's sprites; the other is left closed.
    SdlRenderer(SdlRenderer&& other) noexcept;
    /// Closes this renderer and takes over another.
    SdlRenderer& operator=(SdlRenderer&& other) noexcept;
    SdlRenderer(const SdlRenderer&) = delete;
    SdlRenderer& operator=(const SdlRenderer&) = delete;

    /// A renderer drawing through `renderer`. Fails for a null renderer or one that cannot
    /// draw geometry (SDL older than 2.0.18).
    static Result<SdlRenderer> Create(SDL_Renderer* renderer);

    /// True until closed or moved from.
    bool IsOpen() const { return state_ != nullptr; }

    /// Loads a PNG or BMP file as sprite `number` (0 or more), replacing an older one. An
    /// image without alpha draws its black pixels transparent.
    Status LoadSprite(int32_t number, std::string_view path);
    /// Loads width x height pixels (each 1 to kMaxPixelSide) of top-down rows of R, G, B, A bytes
    /// (straight alpha) as sprite `number`; size is the bytes readable at rgba, at least
    /// width * height * 4.
    Status LoadSpritePixels(int32_t number, int32_t width, int32_t height, const uint8_t* rgba,
                            size_t size);

    /// Draws the world's `layer` as it stands (not updated), every particle moved by
    /// (offsetX, offsetY) pixels, over what the renderer's target holds.
    Status Draw(World& world, int32_t layer = 0, int32_t offsetX = 0, int32_t offsetY = 0);

    /// Frees the sprites' textures now; the renderer is closed afterwards.
    void Close();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace particleplayer
