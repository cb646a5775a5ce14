// The reader of libGDX particle effects (.p text files): emitters one after another, each its
// name on a line, then `- Section -` lines with their `key: value` lines, and a list of image
// paths ending at a blank line. The reader keeps what it finds by name, so that sections
// missing, repeated or out of order read as defaults with a finding rather than shifting every
// value after them, as a reader by position would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/import_effect.h"

namespace pp {

// Bounds of what a file may hold; real files are a few kilobytes with a handful of emitters.
inline constexpr std::size_t kMaxGdxEmitters = 64;
inline constexpr std::size_t kMaxGdxSections = 64;     // per emitter
inline constexpr std::size_t kMaxGdxFields = 1024;     // per section
inline constexpr std::size_t kMaxGdxImagePaths = 256;  // per emitter
inline constexpr std::size_t kMaxGdxLineBytes = 4096;  // longer lines are cut there

struct GdxField {
    std::string Key;    // before the first ':', trimmed
    std::string Value;  // after it, trimmed
    int32_t Line = 1;
};

struct GdxSection {
    std::string Name;  // between "- " and " -"
    int32_t Line = 1;
    std::vector<GdxField> Fields;

    // The first field of that key, or nullptr.
    const GdxField* Find(std::string_view key) const;
};

struct GdxImagePath {
    std::string Path;
    int32_t Line = 1;
};

struct GdxEmitter {
    std::string Name;
    int32_t Line = 1;
    std::vector<GdxSection> Sections;  // in the file's order, the first of each name only
    std::vector<GdxImagePath> ImagePaths;

    const GdxSection* Find(std::string_view section) const;
};

struct GdxFile {
    std::vector<GdxEmitter> Emitters;
    std::vector<ImportFinding> Findings;  // what the reader met out of shape, by line
};

// Whether the bytes start as a .p file does: a name line and then "- Delay -" (or any section
// line among the first lines), told apart from our own texts and the XML formats.
bool LooksLikeGdxEffect(std::string_view bytes);

// Reads the bytes; nullopt with a one-line reason in *error when they hold no emitter.
std::optional<GdxFile> ReadGdxFile(std::string_view bytes, std::string* error);

// Whether the file gives its times in seconds, as the oldest files do: every Duration and Life
// value is at most 10 (milliseconds no one could see).
bool GdxTimesInSeconds(const GdxFile& file);

// The file name of an image path written on any machine: after the last '/' or '\'.
std::string_view GdxFileName(std::string_view path);

}  // namespace pp
