// Effect text: an effect description file read into one string, entry lookup by key path, and
// the number conversions every value goes through. Never fails: a missing or malformed entry
// reads as the empty string, a text that is not a number reads as 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pp {

// Name/value separator, block open, block close, entry separator, used by position.
inline constexpr std::string_view kEffectDelimiters = "={},";

// Real effect files are a few kilobytes; reading stops after this many bytes (1 MiB) so that
// a runaway file cannot exhaust memory. Every lookup rescans the whole text, so the limit
// also bounds the time a file can take: a few tens of milliseconds.
inline constexpr std::size_t kMaxEffectFileBytes = std::size_t{1} << 20;

// One effect file as written, read by the reader's rules.
struct EffectFile {
    std::string Bytes;    // at most the bytes asked for, line ends included
    bool More = false;    // the file goes on beyond them
    uint64_t Device = 0;  // with Inode, tells one file reached under two names
    uint64_t Inode = 0;
};

// Opens the file at `path` exactly as given and reads at most maxBytes bytes of it, as
// ReadEffectText does. Only a regular file is read: a folder, a pipe, a terminal or a device
// could block or never end, and opening a pipe without a writer does not wait. std::nullopt
// when the file cannot be opened or is not a regular file, with the reason in *whyNot when
// given ("No such file or directory", "it is a folder", "it is a pipe, not a regular file").
// A read error keeps what came before it.
std::optional<EffectFile> ReadEffectFile(const std::string& path, std::size_t maxBytes,
                                         std::string* whyNot = nullptr);

// Reads the file at `path`, opened exactly as given, into one text: the lines appended with
// their ends (LF, CR, CR LF, NUL) removed. An empty file gives the empty text. At most
// maxBytes bytes of the file are read, and their number is stored in *bytesRead when given;
// the rest is ignored. Returns std::nullopt when the file cannot be opened or is not a
// regular file (a folder, a pipe, a terminal or a device, which could block or never end);
// a read error keeps what came before it.
std::optional<std::string> ReadEffectText(const std::string& path,
                                          std::size_t maxBytes = kMaxEffectFileBytes,
                                          std::size_t* bytesRead = nullptr);

// Returns the value that `keyPath` selects in `text`, or `fallback` when nothing matches.
// Components are separated by '\'; a component whose integer value is 1 or more also selects
// an entry by number; a path ending in '\' yields a block's inside. A delimiter set shorter
// than four characters is replaced by kEffectDelimiters.
std::string FindEntry(std::string_view text, std::string_view keyPath,
                      std::string_view delimiters = kEffectDelimiters,
                      std::string_view fallback = {});

// The C locale's decimal atof on the longest number at the start of `text` (no hex, no
// inf/nan words), stored as a 32-bit float; overflow gives an infinity, no number gives 0.
float TextToFloat(std::string_view text);

// Where the number TextToFloat reads at the start of `text` ends, its leading white space
// included; 0 when there is no number.
std::size_t FloatTextEnd(std::string_view text);

// Optional sign, then '$' hex, '%' binary or decimal digits, accumulated in 64 bits; returns
// the low 32 bits. Leading spaces and tabs are skipped; no digits give 0.
int32_t TextToInt(std::string_view text);

// `fallback` when `text` is empty, else its conversion.
float FloatOr(std::string_view text, float fallback);
int32_t IntOr(std::string_view text, int32_t fallback);
std::string TextOr(std::string_view text, std::string_view fallback);

}  // namespace pp
