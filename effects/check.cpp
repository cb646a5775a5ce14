#include "effects/check.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

#include "effects/effect_text.h"
#include "effects/loader.h"
#include "effects/value_forms.h"
#include "particles/particles.h"
#include "runtime/clock.h"
#include "runtime/convert.h"

namespace pp {
namespace {

// ---------------------------------------------------------------------------------------------
// What the loader reads.

enum class KeyKind { Path, Int, Float, Pair, IntPair, Area, Spec, IntSpec };

struct KeyInfo {
    std::string_view Name;
    KeyKind Kind;
};

constexpr std::array<KeyInfo, 17> kKeys{{
    {"Extends", KeyKind::Path},
    {"Layer", KeyKind::Int},
    {"EmitterPosition", KeyKind::Pair},
    {"EmitterArea", KeyKind::Area},
    {"EmissionAngle", KeyKind::Spec},
    {"EmissionVelocity", KeyKind::Spec},
    {"Acceleration", KeyKind::Pair},
    {"LifeTime", KeyKind::Spec},
    {"EmissionRate", KeyKind::Spec},
    {"Sprite", KeyKind::IntSpec},
    {"Size", KeyKind::Spec},
    {"Raise", KeyKind::Float},
    {"Rotation", KeyKind::Spec},
    {"Transparency", KeyKind::Spec},
    {"Fade", KeyKind::Float},
    {"BlendingMode", KeyKind::IntPair},
    {"Disable", KeyKind::Int},
}};

constexpr std::array<std::string_view, 17> kKeyNames{
    "Extends",      "Layer",         "EmitterPosition",
    "EmitterArea",  "EmissionAngle", "EmissionVelocity",
    "Acceleration", "LifeTime",      "EmissionRate",
    "Sprite",       "Size",          "Raise",
    "Rotation",     "Transparency",  "Fade",
    "BlendingMode", "Disable"};
constexpr std::array<std::string_view, 6> kSpecNames{"Min", "Max", "Inc", "Value", "Range", "Blur"};
constexpr std::array<std::string_view, 4> kAreaNames{"Type", "Width", "Height", "Angle"};
// Only for suggestions; whether a name is an area type is decided by the engine's own map.
constexpr std::array<std::string_view, 6> kAreaTypeNames{"Point",     "Line",   "Square",
                                                         "Rectangle", "Circle", "Ellipse"};

// The blend factor codes the player draws with; others fall back to the defaults 5 and 6.
constexpr int32_t kLowestBlendCode = 1;
constexpr int32_t kHighestBlendCode = 13;

// ---------------------------------------------------------------------------------------------
// Showing text in messages.

// Quoted texts are cut here so that a runaway value cannot make a finding huge.
constexpr std::size_t kQuoteLimit = 48;

// Length of the well-formed UTF-8 sequence at text[i], or 0.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    uint32_t code = 0;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
    } else {
        return 0;
    }
    if (text.size() - i < length) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0u) != 0x80u) return 0;
        code = (code << 6) | (next & 0x3Fu);
    }
    if (length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) return 0;
    if (length == 4 && (code < 0x10000 || code > 0x10FFFF)) return 0;
    return length;
}

// Characters that look like nothing or like a space on screen are spelled out as bytes.
bool IsInvisible(std::string_view sequence) {
    return sequence == "\xC2\xA0" || sequence == "\xEF\xBB\xBF" || sequence == "\xE2\x80\x8B";
}

std::string Escape(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\t') {
            out += "\\t";
            ++i;
            continue;
        }
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        std::size_t length = c >= 0x80 ? Utf8Length(text, i) : 0;
        if (length > 1 && !IsInvisible(text.substr(i, length))) {
            out.append(text.substr(i, length));
            i += length;
            continue;
        }
        for (std::size_t k = 0; k < std::max<std::size_t>(length, 1); ++k, ++i) {
            const auto b = static_cast<unsigned char>(text[i]);
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 0xFu];
        }
    }
    return out;
}

std::string Quote(std::string_view text) {
    if (text.size() <= kQuoteLimit) return "'" + Escape(text) + "'";
    std::size_t cut = kQuoteLimit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0u) == 0x80u) --cut;
    return "'" + Escape(text.substr(0, cut)) + "...'";
}

std::string Show(float value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0.0f ? "-infinity" : "infinity";
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string Show(int32_t value) {
    return std::to_string(value);
}

std::string Show(std::size_t value) {
    return std::to_string(value);
}

// ---------------------------------------------------------------------------------------------
// Characters.

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

// White space other than the space character, which the reader does not trim: its length in
// bytes at text[i], or 0.
std::size_t OddSpaceLength(std::string_view text, std::size_t i) {
    const char c = text[i];
    if (c == '\t' || c == '\v' || c == '\f') return 1;
    if (text.substr(i, 2) == "\xC2\xA0") return 2;
    return 0;
}

std::string_view OddSpaceName(std::string_view text, std::size_t i) {
    switch (text[i]) {
        case '\t':
            return "tab";
        case '\v':
            return "vertical tab";
        case '\f':
            return "form feed";
        default:
            return "no-break space";
    }
}

// ---------------------------------------------------------------------------------------------
// Suggestions.

// Edit distance with transpositions, ignoring case; names beyond this length get none.
constexpr std::size_t kLongestSuggestible = 64;

std::size_t EditDistance(std::string_view a, std::string_view b) {
    const std::size_t n = b.size();
    std::vector<std::size_t> before(n + 1), previous(n + 1), current(n + 1);
    for (std::size_t j = 0; j <= n; ++j) previous[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (std::size_t j = 1; j <= n; ++j) {
            const std::size_t cost = Lower(a[i - 1]) == Lower(b[j - 1]) ? 0 : 1;
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && Lower(a[i - 1]) == Lower(b[j - 2]) &&
                Lower(a[i - 2]) == Lower(b[j - 1])) {
                current[j] = std::min(current[j], before[j - 2] + 1);
            }
        }
        std::swap(before, previous);
        std::swap(previous, current);
    }
    return previous[n];
}

struct Suggestion {
    std::string_view Name;
    bool CaseOnly = false;
};

// The candidate that `name` most likely meant: one that differs only in case, else the
// nearest within a small edit distance (1 for names of up to 3 letters, 2 up to 8, else 3).
std::optional<Suggestion> Suggest(std::string_view name, std::span<const std::string_view> from) {
    for (std::string_view candidate : from) {
        if (EqualsIgnoringCase(name, candidate)) return Suggestion{candidate, true};
    }
    if (name.empty() || name.size() > kLongestSuggestible) return std::nullopt;
    std::optional<Suggestion> best;
    std::size_t bestDistance = std::numeric_limits<std::size_t>::max();
    for (std::string_view candidate : from) {
        const std::size_t limit = candidate.size() <= 3 ? 1 : candidate.size() <= 8 ? 2 : 3;
        const std::size_t gap = name.size() > candidate.size() ? name.size() - candidate.size()
                                                               : candidate.size() - name.size();
        if (gap > limit) continue;
        const std::size_t distance = EditDistance(name, candidate);
        if (distance <= limit && distance < bestDistance) {
            best = Suggestion{candidate, false};
            bestDistance = distance;
        }
    }
    return best;
}

bool Contains(std::span<const std::string_view> names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::string JoinNames(std::span<const std::string_view> names) {
    std::string out;
    for (std::string_view name : names) {
        if (!out.empty()) out += ", ";
        out += name;
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Numbers, scanned exactly as TextToFloat and TextToInt read them.

struct NumberScan {
    std::size_t Length = 0;  // through the last character of the number
    bool HasDigits = false;
    bool OutOfRange = false;  // integers only: does not fit in 32 bits before wrapping
};

NumberScan ScanFloat(std::string_view text) {
    NumberScan scan;
    scan.Length = FloatTextEnd(text);
    scan.HasDigits = scan.Length > 0;
    return scan;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

NumberScan ScanInt(std::string_view text) {
    NumberScan scan;
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < n && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    uint32_t base = 10;
    if (i < n && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i < n && text[i] == '%') {
        base = 2;
        ++i;
    }
    // The magnitude saturates just above what a signed 32-bit number can hold.
    constexpr uint64_t kCap = uint64_t{1} << 32;
    uint64_t magnitude = 0;
    for (; i < n; ++i) {
        const int digit = HexValue(text[i]);
        if (digit < 0 || static_cast<uint32_t>(digit) >= base) break;
        magnitude = std::min(kCap, magnitude * base + static_cast<uint64_t>(digit));
        scan.HasDigits = true;
    }
    if (!scan.HasDigits) return scan;
    scan.Length = i;
    scan.OutOfRange = negative ? magnitude > (uint64_t{1} << 31) : magnitude >= (uint64_t{1} << 31);
    return scan;
}

// The written value of a number as exactly as a double holds it, for comparing what the
// author meant with what 32-bit floats make of it.
double TextToDouble(std::string_view text) {
    const NumberScan scan = ScanFloat(text);
    if (!scan.HasDigits) return 0.0;
    std::string_view number = text.substr(0, scan.Length);
    while (!number.empty() && IsCSpace(number.front())) number.remove_prefix(1);
    if (!number.empty() && number.front() == '+') number.remove_prefix(1);
    double value = 0.0;
    std::from_chars(number.data(), number.data() + number.size(), value);
    return value;
}

// ---------------------------------------------------------------------------------------------
// The file as written and the effect text the reader makes of it.

struct Position {
    int32_t Line = 1;
    int32_t Column = 1;
};

int32_t ClampToInt32(std::size_t value) {
    return static_cast<int32_t>(std::min<std::size_t>(value, std::numeric_limits<int32_t>::max()));
}

// Joins the lines as ReadEffectText does and remembers where every line of the file begins in
// the joined text, so that an offset in the text maps back to a line and column.
class SourceMap {
  public:
    explicit SourceMap(std::string_view bytes) {
        std::size_t line = 1;
        std::size_t lineStart = 0;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const char c = bytes[i];
            if (c != '\r' && c != '\n' && c != '\0') {
                text_.push_back(c);
                continue;
            }
            CloseLine(line, lineStart);
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
            ++line;
            lineStart = text_.size();
        }
        CloseLine(line, lineStart);
        end_ = Position{ClampToInt32(line), ClampToInt32(text_.size() - lineStart + 1)};
    }

    const std::string& Text() const { return text_; }

    // The line and column of the character at `offset`; the end of the text maps to just
    // after the last character.
    Position At(std::size_t offset) const {
        if (lines_.empty()) return Position{};
        auto it = std::upper_bound(lines_.begin(), lines_.end(), offset,
                                   [](std::size_t o, const Line& l) { return o < l.Start; });
        if (it != lines_.begin()) --it;
        const std::size_t column = offset >= it->Start ? offset - it->Start + 1 : 1;
        return Position{ClampToInt32(it->Number), ClampToInt32(column)};
    }

    // Just after the character at `offset`, on its own line.
    Position After(std::size_t offset) const {
        Position p = At(offset);
        if (p.Column < std::numeric_limits<int32_t>::max()) ++p.Column;
        return p;
    }

    // Where the next byte of the file would go.
    Position End() const { return end_; }

    // The text offsets in (begin, end) at which a new line of the file starts, in order.
    std::vector<std::size_t> LineStartsWithin(std::size_t begin, std::size_t end) const {
        std::vector<std::size_t> starts;
        auto it = std::upper_bound(lines_.begin(), lines_.end(), begin,
                                   [](std::size_t o, const Line& l) { return o < l.Start; });
        for (; it != lines_.end() && it->Start < end; ++it) starts.push_back(it->Start);
        return starts;
    }

  private:
    struct Line {
        std::size_t Number;
        std::size_t Start;
    };

    // Only lines that put characters into the text can hold a position.
    void CloseLine(std::size_t number, std::size_t start) {
        if (text_.size() > start) lines_.push_back(Line{number, start});
    }

    std::string text_;
    std::vector<Line> lines_;
    Position end_;
};

// ---------------------------------------------------------------------------------------------
// Entries, scanned as FindEntry scans a list, with their places in the text.

struct Range {
    std::size_t Begin = 0;
    std::size_t End = 0;
    bool Empty() const { return Begin >= End; }
};

Range Trim(std::string_view text, Range r) {
    while (r.Begin < r.End && text[r.Begin] == ' ') ++r.Begin;
    while (r.End > r.Begin && text[r.End - 1] == ' ') --r.End;
    return r;
}

struct Entry {
    Range Whole;                      // between its separators, untrimmed
    Range Name;                       // trimmed; empty when there is no '=' at depth 0
    Range Value;                      // trimmed, as FindEntry returns it
    std::vector<std::size_t> Equals;  // every '=' at depth 0
    bool HasEquals() const { return !Equals.empty(); }
};

struct ListScan {
    std::vector<Entry> Entries;
    std::optional<std::size_t> SurplusClose;  // the first '}' that took the depth below 0
    std::size_t SurplusEntryStart = 0;
    std::optional<std::size_t> UnclosedOpen;  // the outermost '{' still open at the end
    std::size_t UnclosedEntryStart = 0;
};

// Entries that are only spaces count for numbering but hold nothing; `keepBlank` false drops
// them where no entry is looked up by number (the top level), so that a file of commas stays
// small in memory.
ListScan ScanList(std::string_view text, Range r, bool keepBlank = true) {
    ListScan scan;
    int64_t depth = 0;
    std::vector<std::size_t> opens;  // always max(depth, 0) long
    std::size_t start = r.Begin;
    std::vector<std::size_t> equals;
    for (std::size_t i = r.Begin; i <= r.End; ++i) {
        if (i < r.End) {
            const char c = text[i];
            if (c == '=') {
                if (depth == 0) equals.push_back(i);
                continue;
            }
            if (c == '{') {
                if (depth >= 0) opens.push_back(i);
                ++depth;
                continue;
            }
            if (c == '}') {
                if (depth > 0) opens.pop_back();
                --depth;
                if (depth < 0 && !scan.SurplusClose) {
                    scan.SurplusClose = i;
                    scan.SurplusEntryStart = start;
                }
                continue;
            }
            if (c != ',' || depth != 0) continue;
        } else if (depth != 0) {
            if (depth > 0 && !opens.empty()) {
                scan.UnclosedOpen = opens.front();
                scan.UnclosedEntryStart = start;
            }
            break;
        }
        Entry entry;
        entry.Whole = Range{start, i};
        if (equals.empty()) {
            entry.Value = Trim(text, entry.Whole);
        } else {
            entry.Name = Trim(text, Range{start, equals.back()});
            // A name that trims to nothing keeps its '=' in the value, as FindEntry does.
            entry.Value = entry.Name.Empty() ? Trim(text, entry.Whole)
                                             : Trim(text, Range{equals.back() + 1, i});
        }
        entry.Equals = std::move(equals);
        equals.clear();
        if (keepBlank || !entry.Value.Empty() || entry.HasEquals()) {
            scan.Entries.push_back(std::move(entry));
        }
        start = i + 1;
    }
    return scan;
}

// What FindEntry gives for a key path ending in '\': a block's inside, else the value itself.
Range Inside(std::string_view text, Range value) {
    if (value.Empty() || text[value.Begin] != '{') return value;
    const std::size_t end = value.End - value.Begin >= 2 ? value.End - 1 : value.Begin + 1;
    return Trim(text, Range{value.Begin + 1, end});
}

// ---------------------------------------------------------------------------------------------
// Checking one effect text.

struct Located {
    Position At;
    std::string Message;
};

struct ExtendsRef {
    std::string Path;    // as written
    std::size_t Offset;  // of the value in the text
};

enum class NumberKind { Float, Int };

struct BlockEntries {
    std::vector<std::pair<std::string_view, const Entry*>> Named;  // first of each known name
    std::vector<const Entry*> Unnamed;                             // no '=', not empty
    std::vector<std::string_view> Meant;  // names written or probably meant

    const Entry* Find(std::string_view name) const {
        for (const auto& [n, e] : Named) {
            if (n == name) return e;
        }
        return nullptr;
    }
};

class TextCheck {
  public:
    TextCheck(std::string_view bytes, NameMap<int32_t>& areaTypes)
        : map_(bytes), text_(map_.Text()), areaTypes_(areaTypes) {
        bom_ = bytes.substr(0, 3) == "\xEF\xBB\xBF";
    }

    void Run(bool truncated) {
        if (truncated) {
            findings_.push_back(
                Located{map_.End(), "the file is longer than " + Show(kMaxEffectFileBytes) +
                                        " bytes: the reader stops here and the rest is not read"});
        }
        if (text_.substr(0, 2) == "\xFF\xFE" || text_.substr(0, 2) == "\xFE\xFF") {
            Report(0,
                   "UTF-16 byte-order mark: the reader takes one byte per character, so "
                   "nothing in this file is found; save it as ASCII or UTF-8 without a "
                   "byte-order mark");
            return;
        }
        const ListScan top = ScanList(text_, Range{0, text_.size()}, false);
        CheckBom(top);
        if (CheckWrappedFile(top)) return;
        CheckTopLevel(top);
        CheckBraces(top);
    }

    std::vector<Located>& Findings() { return findings_; }
    const std::optional<ExtendsRef>& Extends() const { return extends_; }
    Position At(std::size_t offset) const { return map_.At(offset); }

  private:
    std::string_view Slice(Range r) const { return text_.substr(r.Begin, r.End - r.Begin); }

    void Report(std::size_t offset, std::string message) {
        findings_.push_back(Located{map_.At(offset), std::move(message)});
    }

    std::string LineOf(std::size_t offset) const { return Show(map_.At(offset).Line); }

    // -- The file as a whole ------------------------------------------------------------------

    void CheckBom(const ListScan& top) {
        if (!bom_) return;
        std::string message = "byte-order mark at the start of the file: it becomes part of the ";
        std::string_view first;
        if (!top.Entries.empty() && !top.Entries.front().Name.Empty() &&
            top.Entries.front().Name.Begin == 0) {
            first = Slice(top.Entries.front().Name).substr(3);
        }
        if (Contains(kKeyNames, first)) {
            message += "first name, so '" + std::string(first) + "' is not found";
        } else {
            message += "first entry";
        }
        findings_.push_back(Located{Position{}, message + "; save the file without it"});
    }

    // '{ Size = 10, ... }': one unnamed entry, no key found.
    bool CheckWrappedFile(const ListScan& top) {
        const Entry* only = nullptr;
        for (const Entry& e : top.Entries) {
            if (Trim(text_, e.Whole).Empty()) continue;
            if (only != nullptr) return false;
            only = &e;
        }
        if (only == nullptr || only->HasEquals() || text_[only->Value.Begin] != '{') return false;
        const ListScan inner = ScanList(text_, Inside(text_, only->Value));
        if (inner.Entries.empty() || !inner.Entries.front().HasEquals()) return false;
        Report(only->Value.Begin,
               "the whole file is wrapped in braces, so no key is found: the top level is a "
               "bare list; remove the outer '{' and '}'");
        return true;
    }

    // The keys written in [begin, end) at the start of an entry, as far as one can tell
    // without entries: after the start or a ',' at any depth, followed by '='.
    std::string KeysWithin(std::size_t begin, std::size_t end) const {
        std::vector<std::string_view> keys;
        std::size_t start = begin;
        while (start < end) {
            std::size_t comma = text_.find(',', start);
            if (comma == std::string::npos || comma > end) comma = end;
            const std::size_t equals = text_.substr(start, comma - start).find('=');
            if (equals != std::string_view::npos) {
                Range name = Trim(text_, Range{start, start + equals});
                while (!name.Empty() && text_[name.Begin] == '{') {
                    name = Trim(text_, Range{name.Begin + 1, name.End});
                }
                const std::string_view word = Slice(name);
                if (Contains(kKeyNames, word) && !Contains(keys, word)) keys.push_back(word);
            }
            start = comma + 1;
        }
        if (keys.empty()) return "";
        constexpr std::size_t kShown = 5;
        std::string out = " (lost: ";
        for (std::size_t i = 0; i < keys.size() && i < kShown; ++i) {
            if (i > 0) out += ", ";
            out += keys[i];
        }
        if (keys.size() > kShown) out += ", ...";
        return out + ")";
    }

    void CheckBraces(const ListScan& top) {
        if (top.SurplusClose) {
            // The text from the entry holding the '}' up to the next entry that ends again
            // (if the depth ever climbs back to 0) belongs to no entry.
            std::size_t end = text_.size();
            for (const Entry& e : top.Entries) {
                if (e.Whole.Begin == top.SurplusEntryStart) end = e.Whole.End;
            }
            Report(*top.SurplusClose,
                   "surplus '}': from here on no ',' or '=' counts, so keys after this are not "
                   "found, nor the entry that holds it" +
                       KeysWithin(top.SurplusEntryStart, end) + "; remove it");
            return;
        }
        if (top.UnclosedOpen) {
            Report(*top.UnclosedOpen,
                   "unclosed '{': keys after this are not found, nor the entry that holds it" +
                       KeysWithin(top.UnclosedEntryStart, text_.size()) + "; add the missing '}'");
        }
    }

    // -- Names --------------------------------------------------------------------------------

    struct Split {
        std::size_t At;                   // where the second name begins
        std::optional<Position> LineEnd;  // set when the comma belongs at the end of a line
    };

    // Where the author most likely left out a comma in `segment`, the text between two '='
    // of one entry: at a line break outside braces, else before a known name, else after a
    // block's closing brace, else after the last space outside braces.
    std::optional<Split> FindSplit(Range segment) const {
        if (segment.Empty()) return std::nullopt;
        const std::vector<std::size_t> starts = map_.LineStartsWithin(segment.Begin, segment.End);
        std::optional<std::size_t> lineBreak, afterClose, afterSpace;
        int64_t depth = 0;
        std::size_t next = 0;
        for (std::size_t i = segment.Begin; i < segment.End; ++i) {
            for (; next < starts.size() && starts[next] <= i; ++next) {
                if (starts[next] == i && depth == 0) lineBreak = i;
            }
            const char c = text_[i];
            if (depth == 0 && text_[i - 1] == ' ' && c != ' ') afterSpace = i;
            if (c == '{') {
                ++depth;
            } else if (c == '}' && --depth == 0) {
                afterClose = i + 1;
            }
        }
        if (lineBreak) {
            const Range before = Trim(text_, Range{segment.Begin, *lineBreak});
            return Split{*lineBreak, map_.After(before.End - 1)};
        }
        const std::string_view seg = Slice(segment);
        std::size_t known = 0;
        for (std::string_view name : AllNames()) {
            if (seg.size() > name.size() && name.size() > known && seg.ends_with(name)) {
                known = name.size();
            }
        }
        if (known > 0) return Split{segment.End - known, std::nullopt};
        if (afterClose && *afterClose < segment.End) {
            return Split{Trim(text_, Range{*afterClose, segment.End}).Begin, std::nullopt};
        }
        if (afterSpace) return Split{*afterSpace, std::nullopt};
        return std::nullopt;
    }

    // An entry with two '=' or more swallowed the entries after it: 'Size = 10' and
    // 'LifeTime = 2' on two lines without a comma are one entry named 'Size = 10LifeTime'.
    void CheckMissingCommas(const Entry& e) {
        std::size_t leftBegin = e.Whole.Begin;
        for (std::size_t i = 0; i + 1 < e.Equals.size(); ++i) {
            const Range segment = Trim(text_, Range{e.Equals[i] + 1, e.Equals[i + 1]});
            const std::optional<Split> split = FindSplit(segment);
            if (!split) {
                Report(e.Equals[i + 1],
                       "a second '=' in one entry: " + Quote(Slice(Trim(text_, e.Whole))) +
                           " is read as the name " +
                           Quote(Slice(Trim(text_, Range{e.Whole.Begin, e.Equals.back()}))) +
                           "; missing comma?");
                return;
            }
            const std::string_view left = Slice(Trim(text_, Range{leftBegin, e.Equals[i]}));
            const std::string_view right = Slice(Trim(text_, Range{split->At, e.Equals[i + 1]}));
            const std::string pair = Quote(left) + " and " + Quote(right) +
                                     " run together into one entry, so neither is found";
            if (split->LineEnd) {
                findings_.push_back(Located{*split->LineEnd, "missing comma at the end of line " +
                                                                 Show(split->LineEnd->Line) + "? " +
                                                                 pair});
            } else {
                Report(split->At, "missing comma before " + Quote(right) + "? " + pair);
            }
            leftBegin = split->At;
        }
    }

    static std::vector<std::string_view> AllNames() {
        std::vector<std::string_view> names(kKeyNames.begin(), kKeyNames.end());
        names.insert(names.end(), kSpecNames.begin(), kSpecNames.end());
        names.insert(names.end(), kAreaNames.begin(), kAreaNames.end());
        return names;
    }

    // The message for a name that `block` (empty: the top level) does not read.
    std::string UnknownName(std::string_view shown, std::string_view cleaned,
                            std::string_view block, std::span<const std::string_view> allowed,
                            std::optional<Suggestion>& suggestion) const {
        suggestion = Suggest(cleaned, allowed);
        const std::string name = Quote(shown);
        if (block.empty()) {
            if (suggestion && suggestion->CaseOnly) {
                return name + " is not a key; keys are case-sensitive: did you mean '" +
                       std::string(suggestion->Name) + "'?";
            }
            if (Contains(kAreaNames, cleaned)) {
                return name +
                       " is not a key at the top level: it is read only inside "
                       "'EmitterArea = {...}'";
            }
            if (Contains(kSpecNames, cleaned)) {
                return name +
                       " is not a key at the top level: it is read only inside a "
                       "value block such as 'Size = {...}'";
            }
            if (suggestion) {
                return name + " is not a key: did you mean '" + std::string(suggestion->Name) +
                       "'?";
            }
            return name + " is not a key and is ignored";
        }
        const std::string in = " is not read in '" + std::string(block) + "'";
        if (suggestion && suggestion->CaseOnly) {
            return name + in + "; names are case-sensitive: did you mean '" +
                   std::string(suggestion->Name) + "'?";
        }
        if (Contains(kKeyNames, cleaned)) {
            return name + " is a top-level key, not read inside '" + std::string(block) +
                   "': is a '}' missing before it?";
        }
        if (suggestion) {
            return name + in + ": did you mean '" + std::string(suggestion->Name) + "'?";
        }
        return name + in + " (it reads " + JoinNames(allowed) + ")";
    }

    // Checks the names of a list's entries against `allowed`: missing commas, names without
    // '=', white space the reader keeps, unknown names and repeated ones. Entries without '='
    // are handed back; the top level reports them itself.
    BlockEntries CheckNames(const ListScan& scan, std::string_view block,
                            std::span<const std::string_view> allowed) {
        BlockEntries out;
        for (const Entry& e : scan.Entries) {
            if (Trim(text_, e.Whole).Empty()) continue;
            if (e.Equals.size() > 1) {
                CheckMissingCommas(e);
                continue;
            }
            if (!e.HasEquals()) {
                out.Unnamed.push_back(&e);
                continue;
            }
            if (e.Name.Empty()) {
                Report(e.Value.Begin,
                       Quote(Slice(e.Value)) + " has no name before '=' and is ignored");
                continue;
            }
            std::string_view name = Slice(e.Name);
            if (Contains(allowed, name)) {
                if (const Entry* first = out.Find(name)) {
                    Report(e.Name.Begin, Quote(name) +
                                             " is given again and ignored: the first, "
                                             "on line " +
                                             LineOf(first->Name.Begin) + ", wins");
                    continue;
                }
                out.Named.emplace_back(name, &e);
                out.Meant.push_back(name);
                continue;
            }
            std::size_t begin = e.Name.Begin;
            if (bom_ && begin == 0 && block.empty()) {
                name.remove_prefix(3);
                begin += 3;
                // The byte-order mark finding says what became of this name.
                if (Contains(allowed, name)) {
                    out.Meant.push_back(name);
                    continue;
                }
            }
            // Strip spaces and the white space the reader keeps from both ends.
            std::size_t b = 0;
            std::size_t n = name.size();
            std::optional<std::size_t> odd;
            while (b < n) {
                const std::size_t odd_length = OddSpaceLength(name, b);
                if (name[b] == ' ') {
                    ++b;
                } else if (odd_length > 0) {
                    if (!odd) odd = b;
                    b += odd_length;
                } else {
                    break;
                }
            }
            for (;;) {
                if (n > b && name[n - 1] == ' ') {
                    --n;
                } else if (n > b && OddSpaceLength(name, n - 1) == 1) {
                    if (!odd || *odd < b) odd = n - 1;
                    --n;
                } else if (n >= b + 2 && OddSpaceLength(name, n - 2) == 2) {
                    if (!odd || *odd < b) odd = n - 2;
                    n -= 2;
                } else {
                    break;
                }
            }
            const std::string_view cleaned = name.substr(b, n - b);
            if (odd && Contains(allowed, cleaned)) {
                Report(begin + *odd,
                       std::string(OddSpaceName(name, *odd)) + (*odd < b ? " before " : " after ") +
                           Quote(cleaned) + ": only spaces are trimmed, so the name is " +
                           Quote(name) + " and " + Quote(cleaned) + " is not found; use spaces");
                out.Meant.push_back(cleaned);
                continue;
            }
            std::optional<Suggestion> suggestion;
            Report(begin, UnknownName(name, cleaned, block, allowed, suggestion));
            if (suggestion) out.Meant.push_back(suggestion->Name);
        }
        return out;
    }

    // -- Numbers ------------------------------------------------------------------------------

    // Reports a value that converts only partly or not at all, or beyond 32 bits.
    void CheckNumber(Range r, NumberKind kind, std::string_view key = {}) {
        const std::string_view value = Slice(r);
        const NumberScan scan = kind == NumberKind::Float ? ScanFloat(value) : ScanInt(value);
        if (!scan.HasDigits) {
            std::string message = Quote(value) + " is not a number: read as 0";
            if (key == "Disable")
                message +=
                    ", which leaves the emitter enabled; write 1 to "
                    "disable it";
            Report(r.Begin, message);
            return;
        }
        const std::string read =
            kind == NumberKind::Float ? Show(TextToFloat(value)) : Show(TextToInt(value));
        const std::string_view rest = value.substr(scan.Length);
        // Trailing white space and commas ('{60, }') change nothing.
        const bool clean =
            std::all_of(rest.begin(), rest.end(), [](char c) { return IsCSpace(c) || c == ','; });
        if (!clean) {
            std::string message = Quote(value) + " is read as " + read;
            if (kind == NumberKind::Int && rest.size() >= 2 && rest[0] == '.' && IsDigit(rest[1])) {
                message += ": only whole numbers are read here";
            } else {
                message += ": the rest is ignored";
            }
            Report(r.Begin, message);
            return;
        }
        if (kind == NumberKind::Float && std::isinf(TextToFloat(value))) {
            Report(r.Begin, Quote(value) + " is too large for a 32-bit float: read as " + read);
        } else if (kind == NumberKind::Int && scan.OutOfRange) {
            Report(r.Begin, Quote(value) + " does not fit in 32 bits: read as " + read);
        }
    }

    // -- Keys ---------------------------------------------------------------------------------

    void CheckTopLevel(const ListScan& top) {
        const BlockEntries keys = CheckNames(top, {}, kKeyNames);
        for (const Entry* e : keys.Unnamed) {
            const std::string_view value = Slice(e->Value);
            // A file holding nothing but its byte-order mark has that finding already.
            if (bom_ && e->Value.Begin == 0 && value.size() == 3) continue;
            std::string message = Quote(value) + " has no '=' and is ignored";
            const std::size_t space = value.find(' ');
            if (space != std::string_view::npos && value.size() <= kQuoteLimit &&
                Contains(kKeyNames, value.substr(0, space))) {
                message += ": write '" + Escape(value.substr(0, space)) + " =" +
                           Escape(value.substr(space)) + "'?";
            }
            Report(e->Value.Begin, message);
        }
        for (const KeyInfo& key : kKeys) {
            const Entry* e = keys.Find(key.Name);
            if (e == nullptr) continue;
            const Range v = Inside(text_, e->Value);
            if (v.Empty()) {
                // Appended rather than "'" + name + ...: gcc 12 at -O3 warns (-Wrestrict)
                // about the copy a leading literal makes, though nothing overlaps.
                Report(e->Name.Begin,
                       std::string("'").append(key.Name).append("' has no value and is skipped"));
                continue;
            }
            if (!CheckBlockEnd(*e, key.Name)) continue;
            switch (key.Kind) {
                case KeyKind::Path:
                    extends_ = ExtendsRef{std::string(Slice(v)), v.Begin};
                    break;
                case KeyKind::Int:
                    CheckNumber(v, NumberKind::Int, key.Name);
                    if (key.Name == "Layer" && TextToInt(Slice(v)) != 0) {
                        Report(v.Begin, "warning: Layer " + Show(TextToInt(Slice(v))) +
                                            " is never drawn: the player draws layer 0 only");
                    }
                    break;
                case KeyKind::Float:
                    CheckNumber(v, NumberKind::Float);
                    break;
                case KeyKind::Pair:
                case KeyKind::IntPair:
                    CheckPair(*e, v, key);
                    break;
                case KeyKind::Area:
                    CheckArea(*e, v);
                    break;
                case KeyKind::Spec:
                case KeyKind::IntSpec:
                    CheckSpec(*e, v, key);
                    break;
            }
        }
    }

    // A block value loses its last character whatever it is: text after the closing brace
    // ('{1, 2} junk') breaks the block. False when that happened.
    bool CheckBlockEnd(const Entry& e, std::string_view key) {
        const Range value = e.Value;
        if (value.Empty() || text_[value.Begin] != '{') return true;
        int64_t depth = 0;
        for (std::size_t i = value.Begin; i < value.End; ++i) {
            if (text_[i] == '{') ++depth;
            if (text_[i] != '}' || --depth != 0) continue;
            if (i + 1 == value.End) return true;
            const Range after = Trim(text_, Range{i + 1, value.End});
            Report(after.Begin, Quote(Slice(after)) + " after the closing '}' of '" +
                                    std::string(key) +
                                    "': the reader drops a block's last character whatever "
                                    "it is, so '" +
                                    std::string(key) + "' is misread; missing comma?");
            return false;
        }
        return true;
    }

    void CheckPair(const Entry& e, Range v, const KeyInfo& key) {
        const bool integer = key.Kind == KeyKind::IntPair;
        const ListScan inner = ScanList(text_, v);
        std::vector<const Entry*> parts;
        for (const Entry& part : inner.Entries) {
            if (part.Equals.size() > 1) CheckMissingCommas(part);
            parts.push_back(&part);
        }
        // Parts go by position; their names do not matter.
        for (std::size_t i = 0; i < parts.size() && i < 2; ++i) {
            if (parts[i]->Value.Empty() || parts[i]->Equals.size() > 1) continue;
            const Range value = parts[i]->Value;
            CheckNumber(value, integer ? NumberKind::Int : NumberKind::Float);
            if (key.Name != "BlendingMode") continue;
            const int32_t code = TextToInt(Slice(value));
            if (code < kLowestBlendCode || code > kHighestBlendCode) {
                Report(value.Begin, "warning: blend factor " + Show(code) +
                                        " is not a code from 1 to 13: the player draws with " +
                                        (i == 0 ? "5 (source alpha)" : "6 (inverse source alpha)") +
                                        " instead");
            }
        }
        for (std::size_t i = 2; i < parts.size(); ++i) {
            if (Trim(text_, parts[i]->Whole).Empty()) continue;
            Report(parts[i]->Value.Begin,
                   "only the first two entries of '" + std::string(key.Name) +
                       "' are read: " + Quote(Slice(parts[i]->Value)) + " is ignored");
            break;
        }
        if (parts.size() >= 2 && parts[0]->Equals.size() == 1 && parts[1]->Equals.size() == 1) {
            const std::string_view first = Slice(parts[0]->Name);
            const std::string_view second = Slice(parts[1]->Name);
            if (EqualsIgnoringCase(first, "y") && EqualsIgnoringCase(second, "x")) {
                Report(parts[0]->Name.Begin,
                       "warning: the entries of '" + std::string(key.Name) +
                           "' are read by position, not by name: " + Quote(first) +
                           " (first) is read as x and " + Quote(second) + " as y");
            }
        }
        if (key.Name == "EmitterPosition" &&
            (parts.size() < 2 || parts[1]->Value.Empty() || parts[1]->Equals.size() > 1)) {
            Report(e.Value.Begin,
                   "warning: 'EmitterPosition' has no second number, so the y position "
                   "becomes 0, not the position the player gives");
        }
    }

    void CheckArea(const Entry& e, Range v) {
        const std::string_view block = "EmitterArea";
        if (FindEntry(Slice(v), "1").empty()) {
            Report(e.Value.Begin,
                   "the first entry of 'EmitterArea' is empty, so the area is a Point of size "
                   "0 and nothing else in it is read");
            return;
        }
        const ListScan inner = ScanList(text_, v);
        const BlockEntries names = CheckNames(inner, block, kAreaNames);
        for (const Entry* u : names.Unnamed) {
            const std::string_view value = Slice(u->Value);
            const std::optional<Suggestion> type = Suggest(value, kAreaTypeNames);
            if (type && text_[e.Value.Begin] != '{') {
                Report(e.Value.Begin, "'EmitterArea = " + Escape(value) +
                                          "' gives a Point: the type is read only from a "
                                          "block; write 'EmitterArea = {Type = " +
                                          std::string(type->Name) + "}'");
            } else if (type) {
                Report(u->Value.Begin, Quote(value) +
                                           " has no name, so it is not read as the type: "
                                           "write 'Type = " +
                                           std::string(type->Name) + "'");
            } else {
                Report(u->Value.Begin, Quote(value) + " has no name and is ignored (" +
                                           std::string(block) + " reads " + JoinNames(kAreaNames) +
                                           ")");
            }
        }
        for (const auto& [name, entry] : names.Named) {
            const std::string_view value = Slice(entry->Value);
            if (value.empty()) {
                Report(entry->Name.Begin,
                       "'" + std::string(name) + "' has no value" +
                           (name == "Type" ? ", so the area is a Point" : ": read as 0"));
            } else if (name == "Type") {
                CheckAreaType(entry->Value);
            } else {
                CheckNumber(entry->Value, NumberKind::Float);
            }
        }
    }

    void CheckAreaType(Range r) {
        const std::string type(Slice(r));
        if (MapFind(areaTypes_, type.c_str()) != nullptr) return;
        std::string_view cleaned = type;
        std::optional<std::size_t> odd;
        while (!cleaned.empty() && OddSpaceLength(cleaned, cleaned.size() - 1) == 1) {
            odd = cleaned.size() - 1;
            cleaned.remove_suffix(1);
        }
        while (cleaned.size() >= 2 && OddSpaceLength(cleaned, cleaned.size() - 2) == 2) {
            odd = cleaned.size() - 2;
            cleaned.remove_suffix(2);
        }
        const std::string shown = Quote(type);
        if (odd && MapFind(areaTypes_, std::string(cleaned).c_str()) != nullptr) {
            Report(r.Begin + *odd, std::string(OddSpaceName(type, *odd)) + " after " +
                                       Quote(cleaned) +
                                       ": only spaces are trimmed, so the type is " + shown +
                                       ", which is not an area type; the area is a Point");
            return;
        }
        const std::optional<Suggestion> suggestion = Suggest(cleaned, kAreaTypeNames);
        std::string message = shown + " is not an area type, so the area is a Point";
        if (suggestion && suggestion->CaseOnly) {
            message +=
                "; names are case-sensitive: did you mean '" + std::string(suggestion->Name) + "'?";
        } else if (suggestion) {
            message += ": did you mean '" + std::string(suggestion->Name) + "'?";
        } else {
            message += " (types: " + JoinNames(kAreaTypeNames) + ")";
        }
        Report(r.Begin, message);
    }

    // -- Value forms --------------------------------------------------------------------------

    void CheckSpec(const Entry& e, Range v, const KeyInfo& key) {
        const bool integer = key.Kind == KeyKind::IntSpec;
        const NumberKind kind = integer ? NumberKind::Int : NumberKind::Float;
        const std::string_view vt = Slice(v);
        const ListScan inner = ScanList(text_, v);
        // Without a second entry the whole text is read as one number.
        if (FindEntry(vt, "2").empty()) {
            if (!inner.Entries.empty() && inner.Entries.front().Equals.size() > 1) {
                CheckMissingCommas(inner.Entries.front());
            } else if (!inner.Entries.empty() && inner.Entries.front().HasEquals()) {
                CheckNamedPlainSpec(e, inner, key, kind);
            } else {
                CheckNumber(v, kind);
            }
            return;
        }
        const BlockEntries names = CheckNames(inner, key.Name, kSpecNames);
        auto given = [&](std::string_view name) -> const Entry* {
            const Entry* found = names.Find(name);
            return found != nullptr && !found->Value.Empty() ? found : nullptr;
        };
        for (const auto& [name, entry] : names.Named) {
            if (entry->Value.Empty()) {
                Report(entry->Name.Begin, "'" + std::string(name) + "' in '" +
                                              std::string(key.Name) +
                                              "' has no value, so it is ignored");
            }
        }
        const Entry* min = given("Min");
        const Entry* max = given("Max");
        const Entry* value = given("Value");
        const Entry* range = given("Range");
        const Entry* blur = given("Blur");
        const Entry* inc = given("Inc");
        const bool minMax = min && max;
        const bool valueRange = !minMax && value && range;
        const bool valueBlur = !minMax && !valueRange && value && blur;
        if (!minMax && !valueRange && !valueBlur) {
            CheckFormless(e, names, key);
            return;
        }
        for (const Entry* u : names.Unnamed) {
            Report(u->Value.Begin, Quote(Slice(u->Value)) + " has no name and is ignored");
        }
        std::vector<const Entry*> used;
        if (minMax) used = {min, max};
        if (valueRange) used = {value, range};
        if (valueBlur) used = {value, blur};
        if (inc) used.push_back(inc);
        std::sort(used.begin(), used.end(),
                  [](const Entry* a, const Entry* b) { return a->Value.Begin < b->Value.Begin; });
        for (const Entry* u : used) CheckNumber(u->Value, kind);

        std::vector<std::string_view> ignored;
        if (minMax) {
            if (value) ignored.push_back("Value");
            if (range) ignored.push_back("Range");
            if (blur) ignored.push_back("Blur");
        } else if (valueRange && blur) {
            ignored.push_back("Blur");
        }
        if (!ignored.empty()) {
            const Entry* first = names.Find(ignored.front());
            std::string list;
            for (std::size_t i = 0; i < ignored.size(); ++i) {
                if (i > 0) list += i + 1 == ignored.size() ? " and " : ", ";
                list += "'" + std::string(ignored[i]) + "'";
            }
            Report(first->Name.Begin,
                   "warning: " + list + (ignored.size() > 1 ? " are" : " is") + " ignored: " +
                       (minMax ? "'Min' and 'Max' come first" : "'Range' comes first"));
        }
        if (integer) {
            CheckIntOrder(key, ParseIntValueSpec(vt), max, blur, inc, minMax, valueBlur);
        } else {
            CheckFloatOrder(key, ParseValueSpec(vt), min, max, range, blur, inc, minMax, valueRange,
                            e);
        }
    }

    // '{Value = 60}': a block whose second entry is missing or empty is one plain number.
    void CheckNamedPlainSpec(const Entry& e, const ListScan& inner, const KeyInfo& key,
                             NumberKind kind) {
        const std::string_view vt = Slice(Inside(text_, e.Value));
        const std::string read =
            kind == NumberKind::Float ? Show(FloatOr(vt, 0.0f)) : Show(IntOr(vt, 0));
        const Entry& first = inner.Entries.front();
        if (inner.Entries.size() >= 2 && !Trim(text_, inner.Entries[1].Whole).Empty()) {
            const Entry& second = inner.Entries[1];
            const std::string_view shown =
                second.Name.Empty() ? Slice(Trim(text_, second.Whole)) : Slice(second.Name);
            Report(Trim(text_, second.Whole).Begin,
                   "the second entry of '" + std::string(key.Name) + "' (" + Quote(shown) +
                       ") has no value, so the block is read as one plain number: " + read);
            return;
        }
        std::string message =
            "a block with one entry is read as a plain number: " + Quote(Slice(e.Value)) +
            " reads as " + read;
        const std::string_view number = Slice(first.Value);
        const NumberScan scan = kind == NumberKind::Float ? ScanFloat(number) : ScanInt(number);
        if (scan.HasDigits && scan.Length == number.size()) {
            message += "; write '" + std::string(key.Name) + " = " + std::string(number) + "'";
        }
        Report(e.Value.Begin, message);
    }

    // A block with two entries or more that names none of the three forms.
    void CheckFormless(const Entry& e, const BlockEntries& names, const KeyInfo& key) {
        const std::string k(key.Name);
        bool anyNamed = false;
        for (const auto& [name, entry] : names.Named) anyNamed |= !entry->Value.Empty();
        if (!anyNamed && names.Unnamed.size() >= 2 && names.Meant.empty()) {
            Report(e.Value.Begin, Quote(Slice(e.Value)) +
                                      " is not a range: bare numbers read as 0; write '" + k +
                                      " = {Min = " + Escape(Slice(names.Unnamed[0]->Value)) +
                                      ", Max = " + Escape(Slice(names.Unnamed[1]->Value)) + "}'");
            return;
        }
        for (const Entry* u : names.Unnamed) {
            Report(u->Value.Begin, Quote(Slice(u->Value)) + " has no name and is ignored");
        }
        // A misspelt or hidden name already has its finding, which is the cause.
        auto meant = [&](std::string_view n) { return Contains(names.Meant, n); };
        if ((meant("Min") && meant("Max")) || (meant("Value") && (meant("Range") || meant("Blur"))))
            return;
        auto given = [&](std::string_view name) {
            const Entry* found = names.Find(name);
            return found != nullptr && !found->Value.Empty();
        };
        std::string message;
        if (given("Value")) {
            message = "'Value' needs 'Range' or 'Blur' beside it: '" + k + "' reads as 0";
            const Entry* value = names.Find("Value");
            const std::string_view number = Slice(value->Value);
            const NumberScan scan = ScanFloat(number);
            if (scan.HasDigits && scan.Length == number.size()) {
                message += "; for a fixed value write '" + k + " = " + std::string(number) + "'";
            }
        } else if (given("Min")) {
            message = "'Min' without 'Max': '" + k + "' reads as 0; add 'Max'";
        } else if (given("Max")) {
            message = "'Max' without 'Min': '" + k + "' reads as 0; add 'Min'";
        } else if (given("Range") || given("Blur")) {
            message = std::string(given("Range") ? "'Range'" : "'Blur'") + " without 'Value': '" +
                      k + "' reads as 0; add 'Value'";
        } else {
            message = Quote(Slice(e.Value)) +
                      " matches no value form (Min and Max, Value and Range, Value and Blur): "
                      "'" +
                      k + "' reads as 0";
        }
        Report(e.Value.Begin, message);
    }

    void CheckIntOrder(const KeyInfo& key, const ValueForm<int32_t>& form, const Entry* max,
                       const Entry* blur, const Entry* inc, bool minMax, bool valueBlur) {
        if (minMax && form.Second == kNoSecondIntValue) {
            Report(max->Value.Begin, "Max -65535 means 'no Max' to the reader: '" +
                                         std::string(key.Name) + "' is fixed at Min");
        } else if (form.First > form.Second) {
            if (minMax) {
                Report(max->Value.Begin, "Max " + Show(form.Second) + " is below Min " +
                                             Show(form.First) + ": swap them");
            } else if (valueBlur) {
                Report(blur->Value.Begin, "negative Blur " + std::string(Slice(blur->Value)) +
                                              " puts Max below Min; make it positive");
            }
        }
        if (inc && form.Step <= 0) {
            Report(inc->Value.Begin,
                   "Inc " + Show(form.Step) + " is not a step above 0: the step is 1");
        }
    }

    // Max below Min, a step that is no step, and an upper end that 32-bit float steps miss.
    void CheckFloatOrder(const KeyInfo& key, const ValueForm<float>& form, const Entry* min,
                         const Entry* max, const Entry* range, const Entry* blur, const Entry* inc,
                         bool minMax, bool valueRange, const Entry& e) {
        if (minMax && form.Second == kNoSecondValue) {
            Report(max->Value.Begin, "Max -65535 means 'no Max' to the reader: '" +
                                         std::string(key.Name) + "' is fixed at Min");
            return;
        }
        const float low = form.First;
        const float high = form.Second == kNoSecondValue ? form.First : form.Second;
        if (low > high) {
            if (minMax) {
                Report(max->Value.Begin,
                       "Max " + Show(high) + " is below Min " + Show(low) + ": swap them");
            } else if (blur != nullptr) {
                Report(blur->Value.Begin, "negative Blur " + std::string(Slice(blur->Value)) +
                                              " puts Max below Min; make it positive");
            }
            return;
        }
        const bool stepGiven = inc != nullptr;
        if (stepGiven && !(form.Step > 0.0f)) {
            Report(inc->Value.Begin,
                   "Inc " + Show(form.Step) + " is not a step above 0: the step is 1");
            return;
        }
        if (!std::isfinite(low) || !std::isfinite(high)) return;
        // What the author asked for, in exact decimal terms as far as a double holds them.
        double span = 0.0;
        if (minMax) {
            span = TextToDouble(Slice(max->Value)) - TextToDouble(Slice(min->Value));
        } else if (valueRange) {
            span = std::fabs(TextToDouble(Slice(range->Value)));
        } else {
            span = 2.0 * std::fabs(TextToDouble(Slice(blur->Value)));
        }
        const float step = stepGiven ? form.Step : 1.0f;
        const double wanted = span / (stepGiven ? TextToDouble(Slice(inc->Value)) : 1.0);
        if (!(wanted >= 1.0 && wanted < 1e9)) return;
        const double whole = std::nearbyint(wanted);
        if (std::fabs(wanted - whole) > 1e-9 * whole) return;
        // The bound the engine draws from, in 32-bit float as it computes it.
        const float quotient = (high - low) / step;
        const int32_t steps = TruncToInt(quotient);
        if (static_cast<double>(steps) >= whole) return;
        const float largest = low + static_cast<float>(steps) * step;
        Report(inc ? inc->Value.Begin : e.Value.Begin,
               "warning: the upper end " + Show(high) + " of '" + std::string(key.Name) +
                   "' is never picked: in 32-bit float (" + Show(high) + " - " + Show(low) +
                   ") / " + Show(step) + " is " + Show(quotient) + ", which truncates to " +
                   Show(steps) + " steps, so the largest value is " + Show(largest) +
                   "; widen the range by half a step or use a step that is a power of two");
    }

    SourceMap map_;
    std::string_view text_;
    NameMap<int32_t>& areaTypes_;
    bool bom_ = false;
    std::vector<Located> findings_;
    std::optional<ExtendsRef> extends_;
};

// ---------------------------------------------------------------------------------------------
// Files and the Extends chain.

struct FileIdentity {
    uint64_t Device;
    uint64_t Inode;
    bool operator==(const FileIdentity&) const = default;
};

struct FileRead {
    bool Opened = false;
    std::string Error;
    std::string Bytes;
    bool Truncated = false;  // the file goes on beyond the limit
    std::optional<FileIdentity> Identity;
};

// Opens and reads the file with the reader's own code, so that what it refuses (a folder, a
// pipe, a device) is refused here too; at most `limit` bytes.
FileRead ReadFile(const std::string& path, std::size_t limit) {
    FileRead result;
    std::optional<EffectFile> file = ReadEffectFile(path, limit, &result.Error);
    if (!file) return result;
    result.Opened = true;
    result.Identity = FileIdentity{file->Device, file->Inode};
    result.Bytes = std::move(file->Bytes);
    result.Truncated = file->More;
    return result;
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return std::nullopt;
    return FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

class Checker {
  public:
    Checker() : engine_(clock_) { FillAreaTypes(engine_); }

    void CheckPath(const std::string& path) {
        const std::string openPath = EffectOpenPath(path);
        FileRead read = ReadFile(openPath, kMaxEffectFileBytes);
        if (read.Opened && AlreadyChecked(openPath, read.Identity)) return;
        if (!read.Opened && AlreadyChecked(openPath, std::nullopt)) return;
        const std::size_t group = NewGroup(openPath, read.Identity);
        if (!read.Opened) {
            groups_[group].Findings.push_back(
                Located{Position{}, "cannot open this file (" + read.Error + ")"});
            return;
        }
        chainBytesLeft_ = kMaxEffectChainBytes - read.Bytes.size();
        Chain chain;
        CheckContents(group, read.Bytes, read.Truncated, openPath, read.Identity, chain);
    }

    void CheckBytes(std::string_view bytes, const std::string& name) {
        const std::string openPath = EffectOpenPath(name);
        const std::optional<FileIdentity> identity = IdentityOf(openPath);
        const std::size_t group = NewGroup(openPath, identity);
        // The same limit as for a file read from disk.
        const bool truncated = bytes.size() > kMaxEffectFileBytes;
        bytes = bytes.substr(0, kMaxEffectFileBytes);
        chainBytesLeft_ = kMaxEffectChainBytes - bytes.size();
        Chain chain;
        CheckContents(group, bytes, truncated, openPath, identity, chain);
    }

    std::vector<CheckFinding> Take() {
        std::vector<CheckFinding> out;
        for (Group& group : groups_) {
            std::stable_sort(group.Findings.begin(), group.Findings.end(),
                             [](const Located& a, const Located& b) {
                                 return std::pair(a.At.Line, a.At.Column) <
                                        std::pair(b.At.Line, b.At.Column);
                             });
            for (Located& f : group.Findings) {
                out.push_back(
                    CheckFinding{group.Name, f.At.Line, f.At.Column, std::move(f.Message)});
            }
        }
        groups_.clear();
        return out;
    }

  private:
    struct Group {
        std::string Name;
        std::optional<FileIdentity> Identity;
        std::vector<Located> Findings;
    };

    struct Link {
        std::string OpenPath;
        std::optional<FileIdentity> Identity;
    };
    using Chain = std::vector<Link>;

    bool AlreadyChecked(const std::string& openPath,
                        const std::optional<FileIdentity>& identity) const {
        for (const Group& group : groups_) {
            if (identity ? group.Identity == identity : group.Name == openPath) return true;
        }
        return false;
    }

    std::size_t NewGroup(const std::string& openPath, const std::optional<FileIdentity>& id) {
        groups_.push_back(Group{openPath, id, {}});
        return groups_.size() - 1;
    }

    void CheckContents(std::size_t group, std::string_view bytes, bool truncated,
                       const std::string& openPath, const std::optional<FileIdentity>& identity,
                       Chain& chain) {
        TextCheck check(bytes, engine_.AreaTypes);
        check.Run(truncated);
        std::vector<Located>& found = check.Findings();
        groups_[group].Findings.insert(groups_[group].Findings.end(),
                                       std::make_move_iterator(found.begin()),
                                       std::make_move_iterator(found.end()));
        if (!check.Extends()) return;
        chain.push_back(Link{openPath, identity});
        FollowExtends(group, *check.Extends(), check.At(check.Extends()->Offset), chain);
        chain.pop_back();
    }

    static std::string ChainText(const Chain& chain, std::size_t from, const std::string& last) {
        std::string out;
        for (std::size_t i = from; i < chain.size(); ++i) out += chain[i].OpenPath + " -> ";
        return out + last;
    }

    // As the loader does: stop at its depth limit or at a file already being loaded, else
    // read the file and check it (once).
    void FollowExtends(std::size_t group, const ExtendsRef& ref, Position at, Chain& chain) {
        auto report = [&](std::string message) {
            groups_[group].Findings.push_back(Located{at, std::move(message)});
        };
        const std::string target = EffectOpenPath(ref.Path);
        const std::string shown = Quote(ref.Path);
        if (chain.size() >= static_cast<std::size_t>(kMaxExtendsDepth)) {
            report(shown + " is not read: the Extends chain is already " +
                   Show(static_cast<std::size_t>(kMaxExtendsDepth)) +
                   " files deep, the most the loader follows");
            return;
        }
        for (std::size_t i = 0; i < chain.size(); ++i) {
            if (chain[i].OpenPath != target) continue;
            report(shown + " closes a cycle (" + ChainText(chain, i, target) +
                   "): the loader skips it here");
            return;
        }
        if (chainBytesLeft_ == 0) {
            if (AlreadyChecked(target, IdentityOf(target))) return;
            groups_[NewGroup(target, IdentityOf(target))].Findings.push_back(Located{
                Position{},
                "not read: the files before it in the Extends chain use all " + ChainBudgetText()});
            return;
        }
        const std::size_t limit = std::min(kMaxEffectFileBytes, chainBytesLeft_);
        FileRead read = ReadFile(target, limit);
        if (!read.Opened) {
            std::string message = "cannot open " + shown + " from the working directory (" +
                                  read.Error + "): it adds nothing";
            if (ref.Path.find('=') != std::string::npos) {
                message += ", and the loader reads its name as effect text instead";
            }
            message += RelativeHint(chain.back().OpenPath, ref.Path);
            report(message);
            return;
        }
        for (std::size_t i = 0; i < chain.size(); ++i) {
            if (!read.Identity || chain[i].Identity != read.Identity) continue;
            report(shown + " closes a cycle under another name (" + ChainText(chain, i, target) +
                   "), which the loader follows until the chain is " +
                   Show(static_cast<std::size_t>(kMaxExtendsDepth)) + " files deep");
            return;
        }
        if (AlreadyChecked(target, read.Identity)) return;
        const std::size_t next = NewGroup(target, read.Identity);
        // Cut short by what the chain has left rather than by the limit of one file: said
        // once, where the file begins.
        const bool cutByChain = read.Truncated && limit < kMaxEffectFileBytes;
        if (cutByChain) {
            groups_[next].Findings.push_back(Located{
                Position{}, "only the first " + Show(limit) +
                                " bytes are read: the files before it in the Extends "
                                "chain use " +
                                Show(kMaxEffectChainBytes - limit) + " of " + ChainBudgetText()});
        }
        chainBytesLeft_ -= read.Bytes.size();
        CheckContents(next, read.Bytes, read.Truncated && !cutByChain, target, read.Identity,
                      chain);
    }

    static std::string ChainBudgetText() {
        return "the " + Show(kMaxEffectChainBytes) + " bytes the loader reads for one effect";
    }

    // Authors often write the path relative to the including file; the loader does not.
    static std::string RelativeHint(const std::string& including, const std::string& written) {
        const std::string target = EffectOpenPath(written);
        const std::size_t slash = including.rfind('/');
        if (target.empty() || target.front() == '/' || slash == std::string::npos) return "";
        const std::string folder = including.substr(0, slash);
        if (!ReadFile(folder + "/" + target, 0).Opened) return "";
        std::string suggestion = folder + "/" + written;
        if (written.find('\\') != std::string::npos) {
            std::replace(suggestion.begin(), suggestion.end(), '/', '\\');
        }
        return "; paths are relative to the working directory, not to the file that names "
               "them: write " +
               Quote(suggestion);
    }

    VirtualClock clock_;
    Engine engine_;
    std::vector<Group> groups_;
    // What the Extends chain being checked may still read, as the loader counts it.
    std::size_t chainBytesLeft_ = kMaxEffectChainBytes;
};

}  // namespace

std::vector<CheckFinding> CheckEffectFiles(std::span<const std::string> paths) {
    Checker checker;
    for (const std::string& path : paths) checker.CheckPath(path);
    return checker.Take();
}

std::vector<CheckFinding> CheckEffectBytes(std::string_view bytes, const std::string& name) {
    Checker checker;
    checker.CheckBytes(bytes, name);
    return checker.Take();
}

std::string FormatFinding(const CheckFinding& finding) {
    return finding.File + ":" + std::to_string(finding.Line) + ":" +
           std::to_string(finding.Column) + ": " + finding.Message;
}

}  // namespace pp
