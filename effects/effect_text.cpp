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

struct Delimiters {
    Delimiters(char equals, char open, char close, char separator)
        : Equals(equals), Open(open), Close(close), Separator(separator) {
        for (const char c : {equals, open, close, separator}) {
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

// Scans `text` as a list of entries and returns the value of the first entry whose number is
// `index` or whose name is `head`. The end of the text closes the last entry only at depth 0.
std::optional<std::string_view> FindInList(std::string_view text, std::string_view head,
                                           int32_t index, const Delimiters& d) {
    const std::size_t n = text.size();
    int64_t depth = 0;
    int64_t number = 1;
    std::size_t start = 0;
    std::size_t lastEquals = 0;
    for (std::size_t i = 0;; ++i) {
        while (i < n && !d.IsDelimiter[static_cast<unsigned char>(text[i])]) ++i;
        if (i < n) {
            // The roles are tried in this order, so a character given twice keeps its first.
            const char c = text[i];
            if (c == d.Equals) {
                if (depth == 0) lastEquals = i;
                continue;
            }
            if (c == d.Open) {
                ++depth;
                continue;
            }
            if (c == d.Close) {
                --depth;
                continue;
            }
            // What is left is the entry separator.
            if (depth != 0) continue;
        } else if (depth != 0) {
            return std::nullopt;
        }
        // A name region shorter than head cannot trim to it, which spares the trimming in
        // the long runs of short entries a hostile text can hold.
        const bool mayMatchName = lastEquals - start >= head.size();
        if (number == index || mayMatchName) {
            const std::string_view name = TrimSpaces(text.substr(start, lastEquals - start));
            if (number == index || name == head) {
                // An entry whose name trims to nothing keeps its '=' as part of the value.
                if (name.empty()) return TrimSpaces(text.substr(start, i - start));
                return TrimSpaces(text.substr(lastEquals + 1, i - lastEquals - 1));
            }
        }
        if (i >= n) return std::nullopt;
        start = i + 1;
        lastEquals = start;
        ++number;
    }
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
    // Line ends vanish without a trace, so the text is the file without its CR, LF and NUL
    // bytes; CR LF being one line end or two makes no difference to the result.
    std::string text = std::move(file->Bytes);
    std::erase_if(text, [](char c) { return c == '\n' || c == '\r' || c == '\0'; });
    return text;
}

std::string FindEntry(std::string_view text, std::string_view keyPath, std::string_view delimiters,
                      std::string_view fallback) {
    if (delimiters.size() < 4) delimiters = kEffectDelimiters;
    const Delimiters d{delimiters[0], delimiters[1], delimiters[2], delimiters[3]};
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
        std::string_view inside = *value;
        if (!inside.empty() && inside.front() == d.Open) {
            // The last character goes whatever it is; a closing brace is not checked for.
            inside = TrimSpaces(inside.substr(1, inside.size() >= 2 ? inside.size() - 2 : 0));
        }
        text = inside;
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

float TextToFloat(std::string_view text) {
    const std::size_t end = FloatTextEnd(text);
    if (end == 0) return 0.0f;
    std::size_t begin = 0;
    while (IsCSpace(text[begin])) ++begin;
    const std::string number(text.substr(begin, end - begin));
    return DoubleToFloat(StrtodC(number.c_str()));
}

int32_t TextToInt(std::string_view text) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < n && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    // Unsigned so that a long run of digits wraps instead of overflowing.
    uint64_t value = 0;
    if (i < n && text[i] == '$') {
        for (++i; i < n && HexDigitValue(text[i]) >= 0; ++i) {
            value = value * 16u + static_cast<uint64_t>(HexDigitValue(text[i]));
        }
    } else if (i < n && text[i] == '%') {
        for (++i; i < n && (text[i] == '0' || text[i] == '1'); ++i) {
            value = value * 2u + static_cast<uint64_t>(text[i] - '0');
        }
    } else {
        for (; i < n && IsDigit(text[i]); ++i) {
            value = value * 10u + static_cast<uint64_t>(text[i] - '0');
        }
    }
    if (negative) value = 0u - value;
    return static_cast<int32_t>(static_cast<uint32_t>(value));
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
