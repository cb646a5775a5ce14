/// @file
/// particleplayer/import.h - other tools' effect files as effect texts of ours.
///
/// A Particle Designer effect (.plist or .pex, told apart by their content) gives one effect
/// text, a libGDX effect (.p) one per emitter; each comes with its sprite as an image and a
/// finding for each value our format cannot reproduce exactly. The calls read files but write
/// nothing and need no world or screen. Desktop builds only: the browser build has no XML
/// reader and leaves them out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "particleplayer/world.h"

namespace particleplayer {

/// One value of the imported file that plays otherwise in our format, at its key.
struct ImportFinding {
    int32_t Line = 1;     ///< 1-based line of the key in the file.
    int32_t Column = 1;   ///< 1-based byte of that line.
    std::string Message;  ///< Starts with the key's name in quotes.
};

/// An image as top-down rows of red, green, blue and alpha bytes, alpha straight.
struct ImportedImage {
    int32_t Width = 0;          ///< Pixels across.
    int32_t Height = 0;         ///< Pixels down.
    std::vector<uint8_t> Rgba;  ///< Width * Height * 4 bytes.
};

/// One effect text of an import, with its sprite.
struct ImportedText {
    /// The file's name without its extension; NAME-1, NAME-2 ... for the emitters of a libGDX
    /// file that has several, in the file's order (the order they are drawn in).
    std::string Name;
    /// Our effect text; its SpriteFile is Name with ".png", to be written beside it.
    std::string Text;
    /// The image the file embeds, or the file it names beside itself, or (with a finding) a
    /// soft white disc when there is neither.
    ImportedImage Sprite;
    /// True for a Particle Designer effect, which places its emitter on an 800 x 600 frame
    /// with y down at (PlaceX, PlaceY).
    bool Placed = false;
    float PlaceX = 0.0f;  ///< With Placed: pixels from the frame's left.
    float PlaceY = 0.0f;  ///< With Placed: pixels from the frame's top.
    /// The further images of a libGDX emitter that takes several (spriteMode random or
    /// animated), found as Sprite is, to be written as Name-2.png, Name-3.png ... beside it:
    /// its SpriteFile lists them after Name.png. Empty otherwise.
    std::vector<ImportedImage> MoreSprites;
};

/// What importing one file gives.
struct EffectImport {
    std::vector<ImportedText> Texts;      ///< One, or one per libGDX emitter.
    std::vector<ImportFinding> Findings;  ///< Of every text, by line.
    /// For a libGDX file of several emitters, the group file (World::LoadEffectGroup) that
    /// plays the texts together in their order, to be written as GroupName with ".txt" beside
    /// them; empty otherwise.
    std::string GroupText;
    std::string GroupName;  ///< The file's name without its extension, with GroupText.
};

/// Imports the file at `path`. Fails (ErrorKind::File) with a reason when the file cannot be
/// read, is larger than any effect file, or is no effect of the three formats.
Result<EffectImport> ImportEffectFile(const std::string& path);

/// The effect text the loader reads in place of `bytes` of the file at `path` when they are a
/// .plist, .pex or .p effect (a .p file's first emitter); nullopt for any other bytes.
std::optional<std::string> ImportedEffectText(std::string_view bytes, std::string_view path);

/// "PATH:LINE: message", without a line end: the form `particleplayer import` prints.
std::string FormatImportFinding(std::string_view path, const ImportFinding& finding);

}  // namespace particleplayer
