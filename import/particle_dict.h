// The two files other tools write for Particle Designer effects, read into one flat dictionary:
// the XML property list (.plist: <dict> of <key> and <real>/<integer>/<string>/<true/>/<false/>)
// and its XML sibling (.pex: one element per key, its numbers in value/x/y/red/green/blue/alpha
// attributes, some spellings of its own). Recognised by their content, not their names. The XML
// reader expands no entities beyond XML's five, reads no DTD and opens no other file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/import_effect.h"

namespace pp {

enum class ParticleDictFormat { Plist, Pex };

// One key of the file under the .plist spelling (a .pex "gravity" element gives "gravityx"
// and "gravityy", "startColor" gives "startColorRed" ... "startColorAlpha").
struct ParticleDictField {
    std::string Name;
    bool IsText = false;  // a <string>, or a .pex texture's name or data
    double Number = 0;    // the value of a number, <true/> 1, <false/> 0; a text's leading number
    bool NumberRead = true;  // false when the text held no number (Number is 0)
    std::string Text;
    int32_t Line = 1;    // 1-based, of the key in the file
    int32_t Column = 1;  // 1-based byte of the line
};

struct ParticleDict {
    ParticleDictFormat Format = ParticleDictFormat::Plist;
    std::vector<ParticleDictField> Fields;  // in file order; a repeated key keeps its first

    const ParticleDictField* Find(std::string_view name) const;
};

// Whether the bytes look like one of the two files (an XML declaration, a plist DOCTYPE or the
// root element at their start): cheap enough to ask of every effect file opened.
bool LooksLikeParticleDict(std::string_view bytes);

// Reads the bytes; nullopt with a one-line reason in *error when they are too large, no
// well-formed XML, or neither root element.
std::optional<ParticleDict> ReadParticleDict(std::string_view bytes, std::string* error);

}  // namespace pp
