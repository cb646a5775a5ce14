#include "effects/effect_text.h"

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace pp {
namespace {

// Only the space character is trimmed: a tab next to a name makes a different name.
std::string_view TrimSpaces(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && text[begin] == ' ') ++begin;
    while (end > begin && text[end - 1] == ' ') --end;
    return text.substr(begin, end - begin);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// White space as isspace() defines it in the C locale, independent of the current locale.
bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int32_t ClampToInt32(std::size_t value) {
    return static_cast<int32_t>(std::min<std::size_t>(value, std::numeric_limits<int32_t>::max()));
}

struct Delimiters {
    explicit Delimiters(std::string_view set) {
        if (set.size() < 4) set = kEffectDelimiters;
        Equals = set[0];
        Open = set[1];
        Close = set[2];
        Separator = set[3];
        for (const char c : {Equals, Open, Close, Separator}) {
            IsDelimiter[static_cast<unsigned char>(c)] = true;
        }
    }
    char Equals;
    char Open;
    char Close;
    char Separator;
    // The scan runs over every other character without looking at it twice.
    bool IsDelimiter[256] = {};
};

// Where a list's braces fail to balance, and every '=' at depth 0 of the current entry; only
// the checker's scan keeps these.
struct ListExtras {
    std::vector<std::size_t> Equals;
    int64_t Depth = 0;
    std::size_t OuterOpen = 0;  // the '{' that last took the depth from 0 to 1
    std::optional<std::size_t> SurplusClose;
    std::size_t SurplusEntryStart = 0;
    std::size_t UnclosedEntryStart = 0;
};

// Walks the list in [begin, end) of `text` entry by entry: the one split that every lookup and
// the checker share. An entry ends at a separator at depth 0; the end of the text closes the
// last entry only at depth 0. onEntry(start, lastEquals, end) sees each entry, with lastEquals
// the last '=' at depth 0 or start when there is none, and returns true to stop the walk.
// Plain locals and a compile-time switch for the extras keep the lookup's loop tight.
template <bool kExtras, typename OnEntry>
void WalkEntries(std::string_view text, std::size_t begin, std::size_t end, const Delimiters& d,
                 ListExtras* extras, OnEntry&& onEntry) {
    int64_t depth = 0;
    std::size_t start = begin;
    std::size_t lastEquals = begin;
    for (std::size_t i = begin;; ++i) {
        while (i < end && !d.IsDelimiter[static_cast<unsigned char>(text[i])]) ++i;
        if (i < end) {
            // The roles are tried in this order, so a character given twice keeps its first.
            const char c = text[i];
            if (c == d.Equals) {
                if (depth == 0) {
                    lastEquals = i;
                    if constexpr (kExtras) extras->Equals.push_back(i);
                }
                continue;
            }
            if (c == d.Open) {
                if constexpr (kExtras) {
                    if (depth == 0) extras->OuterOpen = i;
                }
                ++depth;
                continue;
            }
            if (c == d.Close) {
                --depth;
                if constexpr (kExtras) {
                    if (depth < 0 && !extras->SurplusClose) {
                        extras->SurplusClose = i;
                        extras->SurplusEntryStart = start;
                    }
                }
                continue;
            }
            // What is left is the entry separator.
            if (depth != 0) continue;
        } else if (depth != 0) {
            if constexpr (kExtras) {
                extras->Depth = depth;
                extras->UnclosedEntryStart = start;
            }
            return;
        }
        if (onEntry(start, lastEquals, i) || i >= end) return;
        start = i + 1;
        lastEquals = start;
    }
}

// The value of the first entry whose number is `index` or whose name is `head`.
std::optional<std::string_view> FindInList(std::string_view text, std::string_view head,
                                           int32_t index, const Delimiters& d) {
    std::optional<std::string_view> found;
    int64_t number = 0;
    WalkEntries<false>(
        text, 0, text.size(), d, nullptr,
        [&](std::size_t start, std::size_t equals, std::size_t end) {
            ++number;
            // A name region shorter than head cannot trim to it, which spares the
            // trimming in the long runs of short entries a hostile text can hold.
            if (number != index && equals - start < head.size()) return false;
            const std::string_view name = TrimSpaces(text.substr(start, equals - start));
            if (number != index && name != head) return false;
            // An entry whose name trims to nothing keeps its '=' in the value.
            found = name.empty() ? TrimSpaces(text.substr(start, end - start))
                                 : TrimSpaces(text.substr(equals + 1, end - equals - 1));
            return true;
        });
    return found;
}

// The "C" locale's strtod: the scanned prefix may only differ between locales in its decimal
// point, and effect files always use '.'.
double StrtodC(const char* text) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    if (cLocale == locale_t{}) return std::strtod(text, nullptr);
    return strtod_l(text, nullptr, cLocale);
}

// Stores a double as the nearest float like the hardware does, overflow giving an infinity;
// a plain cast of an out-of-range double would be undefined.
float DoubleToFloat(double value) {
    // Halfway between FLT_MAX and 2^128: from here on the nearest float is infinity.
    constexpr double kOverflow = 0x1.ffffffp127;
    if (value >= kOverflow) return std::numeric_limits<float>::infinity();
    if (value <= -kOverflow) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

// Why a file that is not a regular file gives no effect text.
std::string NotRegularReason(mode_t mode) {
    if (S_ISDIR(mode)) return "it is a folder";
    if (S_ISFIFO(mode)) return "it is a pipe, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a regular file";
    if (S_ISSOCK(mode)) return "it is a socket, not a regular file";
    return "it is not a regular file";
}

}  // namespace

std::optional<EffectFile> ReadEffectFile(const std::string& path, std::size_t maxBytes,
                                         std::string* whyNot) {
    const auto refuse = [whyNot](std::string reason) {
        if (whyNot != nullptr) *whyNot = std::move(reason);
        return std::nullopt;
    };
    // Non-blocking only so that opening a pipe without a writer cannot wait; such a file is
    // refused right after.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return refuse(std::strerror(errno));
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        const int error = errno;
        close(fd);
        return refuse(std::strerror(error));
    }
    if (!S_ISREG(info.st_mode)) {
        close(fd);
        return refuse(NotRegularReason(info.st_mode));
    }
    EffectFile file;
    file.Device = static_cast<uint64_t>(info.st_dev);
    file.Inode = static_cast<uint64_t>(info.st_ino);
    if (info.st_size > 0) {
        file.Bytes.reserve(std::min(static_cast<std::size_t>(info.st_size), maxBytes));
    }
    char buffer[4096];
    while (file.Bytes.size() < maxBytes) {
        const std::size_t want = std::min(sizeof buffer, maxBytes - file.Bytes.size());
        const ssize_t got = read(fd, buffer, want);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        file.Bytes.append(buffer, static_cast<std::size_t>(got));
    }
    if (file.Bytes.size() == maxBytes) {
        ssize_t got = 0;
        do {
            got = read(fd, buffer, 1);
        } while (got < 0 && errno == EINTR);
        file.More = got > 0;
    }
    close(fd);
    return file;
}

std::optional<std::string> ReadEffectText(const std::string& path, std::size_t maxBytes,
                                          std::size_t* bytesRead) {
    if (bytesRead != nullptr) *bytesRead = 0;
    std::optional<EffectFile> file = ReadEffectFile(path, maxBytes);
    if (!file) return std::nullopt;
    if (bytesRead != nullptr) *bytesRead = file->Bytes.size();
    return JoinedLines(file->Bytes, false).TakeText();
}

JoinedLines::JoinedLines(std::string_view bytes, bool mapPositions) {
    text_.reserve(bytes.size());
    std::size_t line = 1;
    std::size_t lineStart = 0;
    // Only lines that put characters into the text can hold a position.
    const auto closeLine = [&] {
        if (mapPositions && text_.size() > lineStart) lines_.push_back(Line{line, lineStart});
    };
    const std::size_t n = bytes.size();
    for (std::size_t i = 0; i < n; ++i) {
        std::size_t run = i;
        while (run < n && bytes[run] != '\r' && bytes[run] != '\n' && bytes[run] != '\0') ++run;
        text_.append(bytes.substr(i, run - i));
        if (run == n) break;
        closeLine();
        // CR LF is one line end; for the text alone it makes no difference.
        i = run;
        if (bytes[i] == '\r' && i + 1 < n && bytes[i + 1] == '\n') ++i;
        ++line;
        lineStart = text_.size();
    }
    closeLine();
    end_ = TextPosition{ClampToInt32(line), ClampToInt32(text_.size() - lineStart + 1)};
}

TextPosition JoinedLines::At(std::size_t offset) const {
    if (lines_.empty()) return TextPosition{};
    auto it = std::upper_bound(lines_.begin(), lines_.end(), offset,
                               [](std::size_t o, const Line& l) { return o < l.Start; });
    if (it != lines_.begin()) --it;
    const std::size_t column = offset >= it->Start ? offset - it->Start + 1 : 1;
    return TextPosition{ClampToInt32(it->Number), ClampToInt32(column)};
}

TextPosition JoinedLines::After(std::size_t offset) const {
    TextPosition p = At(offset);
    if (p.Column < std::numeric_limits<int32_t>::max()) ++p.Column;
    return p;
}

std::vector<std::size_t> JoinedLines::LineStartsWithin(std::size_t begin, std::size_t end) const {
    std::vector<std::size_t> starts;
    auto it = std::upper_bound(lines_.begin(), lines_.end(), begin,
                               [](std::size_t o, const Line& l) { return o < l.Start; });
    for (; it != lines_.end() && it->Start < end; ++it) starts.push_back(it->Start);
    return starts;
}

TextRange TrimSpaces(std::string_view text, TextRange r) {
    while (r.Begin < r.End && text[r.Begin] == ' ') ++r.Begin;
    while (r.End > r.Begin && text[r.End - 1] == ' ') --r.End;
    return r;
}

TextRange BlockInside(std::string_view text, TextRange value, char open) {
    if (value.Empty() || text[value.Begin] != open) return value;
    // The last character goes whatever it is; a closing brace is not checked for.
    const std::size_t end = value.End - value.Begin >= 2 ? value.End - 1 : value.Begin + 1;
    return TrimSpaces(text, TextRange{value.Begin + 1, end});
}

EntryList ScanEntries(std::string_view text, TextRange range, bool keepBlank,
                      std::string_view delimiters) {
    const Delimiters d(delimiters);
    EntryList list;
    ListExtras extras;
    WalkEntries<true>(text, range.Begin, range.End, d, &extras,
                      [&](std::size_t start, std::size_t equals, std::size_t end) {
                          ListEntry entry;
                          entry.Whole = TextRange{start, end};
                          if (extras.Equals.empty()) {
                              entry.Value = TrimSpaces(text, entry.Whole);
                          } else {
                              entry.Name = TrimSpaces(text, TextRange{start, equals});
                              // A name that trims to nothing keeps its '=' in the value.
                              entry.Value = entry.Name.Empty()
                                                ? TrimSpaces(text, entry.Whole)
                                                : TrimSpaces(text, TextRange{equals + 1, end});
                          }
                          entry.Equals = std::move(extras.Equals);
                          extras.Equals.clear();
                          if (keepBlank || !entry.Value.Empty() || entry.HasEquals()) {
                              list.Entries.push_back(std::move(entry));
                          }
                          return false;
                      });
    list.SurplusClose = extras.SurplusClose;
    list.SurplusEntryStart = extras.SurplusEntryStart;
    if (extras.Depth > 0) {
        list.UnclosedOpen = extras.OuterOpen;
        list.UnclosedEntryStart = extras.UnclosedEntryStart;
    }
    return list;
}

std::string FindEntry(std::string_view text, std::string_view keyPath, std::string_view delimiters,
                      std::string_view fallback) {
    const Delimiters d(delimiters);
    // Each path component narrows `text` to the value of one entry; a loop rather than
    // recursion keeps the stack flat however long the path is.
    for (;;) {
        const std::size_t slash = keyPath.find('\\');
        const bool hasRest = slash != std::string_view::npos;
        const std::string_view head = TrimSpaces(keyPath.substr(0, slash));
        if (head.empty()) return std::string(text);
        const std::optional<std::string_view> value = FindInList(text, head, TextToInt(head), d);
        if (!value) return std::string(fallback);
        if (!hasRest) return std::string(*value);
        text = BlockInside(*value, TextRange{0, value->size()}, d.Open).Of(*value);
        keyPath = keyPath.substr(slash + 1);
    }
}

std::size_t FloatTextEnd(std::string_view text) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n && IsCSpace(text[i])) ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < n && IsDigit(text[i])) ++i, ++digits;
    if (i < n && text[i] == '.') {
        std::size_t j = i + 1;
        while (j < n && IsDigit(text[j])) ++j, ++digits;
        if (digits > 0) i = j;
    }
    if (digits == 0) return 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < n && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < n && IsDigit(text[j])) {
            while (j < n && IsDigit(text[j])) ++j;
            i = j;
        }
    }
    return i;
}

double TextToDouble(std::string_view text) {
    const std::size_t end = FloatTextEnd(text);
    if (end == 0) return 0.0;
    std::size_t begin = 0;
    while (IsCSpace(text[begin])) ++begin;
    const std::string number(text.substr(begin, end - begin));
    return StrtodC(number.c_str());
}

float TextToFloat(std::string_view text) {
    return DoubleToFloat(TextToDouble(text));
}

IntText ScanIntText(std::string_view text) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < n && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    int base = 10;
    if (i < n && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i < n && text[i] == '%') {
        base = 2;
        ++i;
    }
    // Unsigned so that a long run of digits wraps instead of overflowing; beside it the
    // magnitude saturating just above what 32 bits hold, for telling whether it fits.
    constexpr uint64_t kCap = uint64_t{1} << 32;
    uint64_t value = 0;
    uint64_t magnitude = 0;
    IntText scan;
    for (; i < n; ++i) {
        const int digit = HexDigitValue(text[i]);
        if (digit < 0 || digit >= base) break;
        const auto d = static_cast<uint64_t>(digit);
        value = value * static_cast<uint64_t>(base) + d;
        magnitude = std::min(kCap, magnitude * static_cast<uint64_t>(base) + d);
        scan.End = i + 1;
    }
    if (negative) value = 0u - value;
    scan.Value = static_cast<int32_t>(static_cast<uint32_t>(value));
    scan.Fits32 = negative ? magnitude <= (uint64_t{1} << 31) : magnitude < (uint64_t{1} << 31);
    return scan;
}

int32_t TextToInt(std::string_view text) {
    return ScanIntText(text).Value;
}

float FloatOr(std::string_view text, float fallback) {
    return text.empty() ? fallback : TextToFloat(text);
}

int32_t IntOr(std::string_view text, int32_t fallback) {
    return text.empty() ? fallback : TextToInt(text);
}

std::string TextOr(std::string_view text, std::string_view fallback) {
    return std::string(text.empty() ? fallback : text);
}

}  // namespace pp
