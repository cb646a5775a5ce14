// The checker: how findings show text and numbers, and which name a misspelt one meant.
#include <algorithm>
#include <cmath>
#include <limits>

#include "effects/check_text.h"
#include "effects/float_text.h"

namespace pp::effect_check {

namespace {

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

}  // namespace

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

// Appended piece by piece: gcc 12 at -O3 warns falsely (-Wrestrict) about "'" + string.
std::string Quote(std::string_view text) {
    std::string out = "'";
    if (text.size() <= kQuoteLimit) {
        out += Escape(text);
        out += '\'';
        return out;
    }
    std::size_t cut = kQuoteLimit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0u) == 0x80u) --cut;
    out += Escape(text.substr(0, cut));
    out += "...'";
    return out;
}

std::string Show(float value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0.0f ? "-infinity" : "infinity";
    return ShortestFloatText(value);
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

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

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

namespace {

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

}  // namespace

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

}  // namespace pp::effect_check
