// Effect text: an effect description file read into one string, entry lookup by key path, and
// the number conversions every value goes through. Never fails: a missing or malformed entry
// reads as the empty string, a text that is not a number reads as 0. The same grammar is
// offered with positions (the entries of a list with their ranges, the joined lines mapped
// back to lines and columns, where a number ends) for tools that report on a file as written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// A line and a column of a file as written, both from 1; the column counts bytes.
struct TextPosition {
    int32_t Line = 1;
    int32_t Column = 1;
};

// An effect file's bytes joined into one effect text as the reader joins them: the line ends
// (LF, CR, CR LF, NUL) removed. With mapPositions it also remembers where each line begins in
// the text, so that an offset in the text maps back to a line and column of the file as
// written; without it every position is 1:1.
class JoinedLines {
  public:
    explicit JoinedLines(std::string_view bytes, bool mapPositions = true);

    const std::string& Text() const { return text_; }
    std::string TakeText() { return std::move(text_); }

    // The line and column of the character at `offset`; the end of the text maps to just after
    // the last character.
    TextPosition At(std::size_t offset) const;
    // Just after the character at `offset`, on its own line.
    TextPosition After(std::size_t offset) const;
    // Where the next byte of the file would go.
    TextPosition End() const { return end_; }
    // The text offsets in (begin, end) at which a line of the file starts, in order.
    std::vector<std::size_t> LineStartsWithin(std::size_t begin, std::size_t end) const;

  private:
    struct Line {
        std::size_t Number;
        std::size_t Start;
    };
    std::string text_;
    std::vector<Line> lines_;  // only lines that put characters into the text
    TextPosition end_;
};

// The stretch [Begin, End) of a text.
struct TextRange {
    std::size_t Begin = 0;
    std::size_t End = 0;
    bool Empty() const { return Begin >= End; }
    std::string_view Of(std::string_view text) const { return text.substr(Begin, End - Begin); }
};

// `r` without the spaces at either end; only the space character is trimmed.
TextRange TrimSpaces(std::string_view text, TextRange r);

// What a key path ending in '\' takes from `value`: a block's inside (the opening brace and the
// last character, whatever it is, dropped, then trimmed), else the value itself.
TextRange BlockInside(std::string_view text, TextRange value, char open = '{');

// One entry of a list, split as FindEntry splits it.
struct ListEntry {
    TextRange Whole;                  // between its separators, untrimmed
    TextRange Name;                   // trimmed, before the last '=' at depth 0; may be empty
    TextRange Value;                  // trimmed, what FindEntry gives for the entry
    std::vector<std::size_t> Equals;  // every '=' at depth 0
    bool HasEquals() const { return !Equals.empty(); }
};

// A list's entries in order, and where its braces fail to balance. The end of the text closes
// the last entry only at depth 0, so an entry holding an unclosed '{' or following a surplus
// '}' is not among them.
struct EntryList {
    std::vector<ListEntry> Entries;
    std::optional<std::size_t> SurplusClose;  // the first '}' that took the depth below 0
    std::size_t SurplusEntryStart = 0;        // where the entry holding it begins
    std::optional<std::size_t> UnclosedOpen;  // the outermost '{' still open at the end
    std::size_t UnclosedEntryStart = 0;
};

// The entries of the list in `range` of `text`. Entries that are only spaces count for
// numbering but hold nothing; keepBlank false leaves them out (a file of commas then stays
// small). A delimiter set shorter than four characters is replaced by kEffectDelimiters.
EntryList ScanEntries(std::string_view text, TextRange range, bool keepBlank = true,
                      std::string_view delimiters = kEffectDelimiters);

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

// The number TextToFloat reads at the start of `text` as the nearest double, before it is
// stored as a 32-bit float: what the author wrote, as exactly as a double holds it.
double TextToDouble(std::string_view text);

// An integer as TextToInt reads it at the start of a text.
struct IntText {
    std::size_t End = 0;  // just after its last digit; 0 when it has no digit
    int32_t Value = 0;    // what TextToInt returns
    bool Fits32 = true;   // the written number fits a signed 32-bit integer without wrapping
};

// Optional sign, then '$' hex, '%' binary or decimal digits, accumulated in 64 bits; the value
// is the low 32 bits. Leading spaces and tabs are skipped; no digits give 0.
IntText ScanIntText(std::string_view text);
int32_t TextToInt(std::string_view text);

// `fallback` when `text` is empty, else its conversion.
float FloatOr(std::string_view text, float fallback);
int32_t IntOr(std::string_view text, int32_t fallback);
std::string TextOr(std::string_view text, std::string_view fallback);

}  // namespace pp
