// The CPU half of sprite loading: from a decoded image and the load flags to the exact bytes of
// the sprite's 32-bit texture. Pure; no GL.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "image/image_decoders.h"

namespace pp {

// Load flags of a sprite.
inline constexpr int32_t SpriteUsableAsQuad = 4;  // the sprite may back a QuadSprite
inline constexpr int32_t SpriteKeepAlpha = 8;     // keep the image's alpha channel

// Colour made transparent in sprites whose alpha is not kept (0x00RRGGBB): black.
inline constexpr uint32_t TransparentColour = 0;

// True when the flags may be used for a load: SpriteKeepAlpha needs SpriteUsableAsQuad.
bool SpriteFlagsValid(int32_t flags);

// The 32-bit texture bytes (B,G,R,A per pixel, top-down, Width*4 per row) exactly as the
// sprite loader makes them for the given load flags; nullopt when the flags are refused or the
// image is malformed (depth not 24/32, pitch or buffer too small). The image's alpha is kept
// only with SpriteKeepAlpha on a 32-bit image; otherwise every pixel whose colour is exactly
// black gets alpha 0 and every other pixel alpha 255.
std::optional<std::vector<uint8_t>> MakeTextureBytes(const DecodedImage& image, int32_t flags);

}  // namespace pp
