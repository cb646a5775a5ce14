// Sprites: images loaded into OpenGL textures of exactly the image's size (32-bit, nearest
// sampling, wrapping), numbered in a table. Taking a number again frees the old sprite; quad
// sprites made from it stop drawing. Loading needs an open screen.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "image/texture_bytes.h"

namespace pp {

// The texture of one sprite. Owned by its SpriteRecord; quad sprites only watch it, so a
// freed sprite can never be drawn from.
struct SpriteTexture {
    SpriteTexture(int32_t width, int32_t height, bool usableAsQuad, uint32_t texture)
        : Width(width), Height(height), UsableAsQuad(usableAsQuad), Texture(texture) {}
    SpriteTexture(const SpriteTexture&) = delete;
    SpriteTexture& operator=(const SpriteTexture&) = delete;
    ~SpriteTexture();  // deletes the GL texture while the screen is open

    int32_t Width, Height;
    bool UsableAsQuad;
    uint32_t Texture;  // GL texture name
};

struct SpriteRecord {
    std::shared_ptr<SpriteTexture> Texture;  // nullptr: no sprite under this number
    int32_t Width = 0, Height = 0;
    int32_t Depth = 0;  // texture bits per pixel: 32
    int32_t Flags = 0;  // the load flags as passed
    bool Exists() const { return Texture != nullptr; }
};

// The bytes of an image file (`\` in the name counts as `/`), or nothing when it cannot be
// opened, is larger than particleplayer::kMaxSpriteFileBytes or reads short.
std::optional<std::vector<uint8_t>> ReadSpriteFile(const char* fileName);

// Reads the whole file (`\` in the name counts as `/`) and loads it as sprite number. A file
// that cannot be opened or read whole leaves an existing sprite under number untouched.
// Returns the sprite, or nullptr.
const SpriteRecord* LoadSpriteImage(int32_t number, const char* fileName, int32_t flags);

// Frees sprite number, then decodes the bytes and makes the texture. Returns the sprite, or
// nullptr (the number is then empty) for a negative number, no open screen, refused flags
// (SpriteKeepAlpha without SpriteUsableAsQuad), bytes no decoder takes, or a texture larger
// than the device allows.
const SpriteRecord* SpriteFromMemory(int32_t number, std::span<const uint8_t> bytes, int32_t flags);

// SpriteFromMemory for an image already decoded (a host's own pixels).
const SpriteRecord* SpriteFromImage(int32_t number, const DecodedImage& image, int32_t flags);

// Returns the sprite under number, or nullptr.
const SpriteRecord* LookupSprite(int32_t number);

// Frees sprite number (nothing when it is empty) or every sprite.
void FreeSprite(int32_t number);
void FreeAllSprites();

}  // namespace pp
