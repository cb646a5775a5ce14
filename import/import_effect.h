// A Particle Designer effect (.plist or .pex) as an effect text of ours, with a finding for
// each of its values that our format cannot reproduce exactly. The conventions are mapped:
// y up becomes y down, counter-clockwise degrees clockwise ones, 0-1 colours 0-255, OpenGL
// blend factor numbers our blend codes, maxParticles / particleLifespan the emission rate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pp {

// Files of other tools larger than this are refused before they are parsed: the largest real
// effect, embedded sprite included, is a few tens of kilobytes.
inline constexpr std::size_t kMaxImportBytes = std::size_t{4} << 20;

// Why a file is refused for being larger than kMaxImportBytes.
std::string ImportTooLarge();

// The readers' refusal: nullopt, with `why` in *error when one is given.
template <class T>
std::optional<T> RefuseImport(std::string* error, std::string why) {
    if (error != nullptr) *error = std::move(why);
    return std::nullopt;
}

// The frame the source position is placed on: the player's window.
inline constexpr float kImportCanvasWidth = 800.0f;
inline constexpr float kImportCanvasHeight = 600.0f;

struct ImportFinding {
    int32_t Line = 1;     // of the key in the file
    int32_t Column = 1;   // of the key in the file
    std::string Message;  // starts with the key's name in quotes
};

struct ImportedEffect {
    std::string Text;                     // one key a line; SpriteFile last when one was asked for
    std::vector<ImportFinding> Findings;  // sorted by position
    // Where the file puts its emitter on an 800 x 600 frame with y down: its source position
    // when that lies on the frame, else the frame's centre.
    float PlaceX = kImportCanvasWidth / 2, PlaceY = kImportCanvasHeight / 2;
    std::string SpriteName;      // textureFileName as written, or ""
    std::string EmbeddedSprite;  // textureImageData (base64), or ""
    int32_t SpriteLine = 1;      // of textureImageData, else of textureFileName
    // The further images a libGDX emitter takes under a random or animated spriteMode, file
    // names as SpriteName is, with the lines of their paths, in the file's order; empty
    // otherwise.
    struct MoreSprite {
        std::string Name;
        int32_t Line = 1;
    };
    std::vector<MoreSprite> MoreSprites;
};

// Maps the bytes of a .plist or .pex file. `sprite_file` (when not empty) becomes the text's
// SpriteFile. nullopt with a one-line reason in *error when the bytes are no such file.
std::optional<ImportedEffect> ImportParticleEffect(std::string_view bytes,
                                                   std::string_view sprite_file,
                                                   std::string* error);

struct ParticleDict;

// The same for a file already read.
ImportedEffect ImportParticleDict(const ParticleDict& dict, std::string_view sprite_file);

// "PATH:LINE: message", the form the import command and check print.
std::string FormatImportFinding(std::string_view path, const ImportFinding& finding);

}  // namespace pp
