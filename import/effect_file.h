// A .plist, .pex or libGDX .p file where an effect file of ours is expected: the loader reads
// it as the effect text it imports to, and an embedded sprite is an image the decoder
// registry reads from the file itself, so that nothing is written to disk.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/import_effect.h"

namespace pp {

// Whether the bytes are a file of another tool that the loader reads as its import.
bool LooksLikeImport(std::string_view bytes);

// The effect text of the file at `path` holding `bytes`, when they are a .plist or .pex
// effect or a .p effect (its first emitter, whose SpriteFile is its image's file name beside
// the file). A .plist's or .pex's SpriteFile is the file itself when it embeds its sprite,
// else the textureFileName it names (both relative to its own folder). nullopt for any other
// bytes.
std::optional<std::string> EffectTextOfImport(std::string_view bytes, std::string_view path);

// The import's findings for the bytes, or nullopt when they are no effect of another tool
// (the reason in *error when it looked like one).
std::optional<std::vector<ImportFinding>> ImportFindingsOf(std::string_view bytes,
                                                           std::string* error);

// Whether the bytes are a .plist or .pex effect that embeds its sprite (textureImageData): a
// SpriteFile the decoder EnableEffectFileSprites registers reads.
bool EmbedsSprite(std::string_view bytes);

// Registers, once, the decoder that reads the sprite a .plist or .pex file embeds; the
// renderers call it where they enable the PNG decoder.
void EnableEffectFileSprites();

}  // namespace pp
