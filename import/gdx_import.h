// A libGDX particle effect (.p) as effect texts of ours, one per emitter, with a finding for
// each value our format cannot reproduce exactly. The conventions are mapped: y up becomes y
// down, counter-clockwise degrees clockwise ones, milliseconds seconds, 0-1 colours and alpha
// 0-255, additive and premultiplied blending our blend pairs.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/import_effect.h"

namespace pp {

struct GdxFile;

struct GdxImport {
    // One per emitter in the file's order; each one's SpriteName is the file name of its first
    // image path (without the folders of the machine it was made on), SpriteLine that path's,
    // and MoreSprites the further ones it takes.
    std::vector<ImportedEffect> Emitters;
    std::vector<std::string> Names;       // the emitters' names, same order
    std::vector<int32_t> Lines;           // and the lines of their names
    std::vector<ImportFinding> Findings;  // the reader's and every emitter's, by line
};

// The SpriteFile of emitter `index` for its image number `number` (0 the first), whose file
// name is `image` ("" when it names none); "" leaves that image out. An emitter that takes
// several images (spriteMode random or animated) lists them all.
using GdxSpriteNamer =
    std::function<std::string(std::size_t index, std::size_t number, std::string_view image)>;

// Maps the bytes of a .p file; nullopt with a one-line reason in *error when they are no such
// file.
std::optional<GdxImport> ImportGdxEffect(std::string_view bytes, const GdxSpriteNamer& sprite,
                                         std::string* error);

// The same for a file already read.
GdxImport ImportGdxFile(const GdxFile& file, const GdxSpriteNamer& sprite);

}  // namespace pp
