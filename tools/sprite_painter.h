// Procedural painter for the scene's four sprites, the effect gallery's sprites, and a small PNG
// writer for them. Pure CPU code over libpng's simplified API; the same build always paints the
// same pixels.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pp {

// One painted sprite: straight (not premultiplied) 8-bit RGBA, top row first.
struct SpriteImage {
    std::string Name;  // file name without extension, e.g. "Feuer"
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint8_t> Rgba;  // Width * Height * 4 bytes
};

// Paints Sternchen, Feuer, Energie and Luftblase, in the scene's order. Every sprite's border
// pixels are fully transparent, so a wrapped or clipped edge never shows a seam.
std::vector<SpriteImage> PaintSceneSprites();

// Paints the sprites of the effect gallery: Fire, Firework, Sparks (a sheet of 4 x 4 cells),
// MagicSwirl, Rain and Explosion, white or nearly so, to be tinted by the effects.
std::vector<SpriteImage> PaintGallerySprites();

// Encodes the sprite as an 8-bit RGBA PNG; nullopt when libpng refuses it or the sprite's
// buffer does not match its size.
std::optional<std::vector<uint8_t>> EncodeSpritePng(const SpriteImage& sprite);

}  // namespace pp
