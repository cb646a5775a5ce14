#include "app/json_text.h"

#include <cmath>
#include <cstdio>

namespace pp {

void AppendJsonFloat(std::string& out, float value) {
    if (std::isnan(value)) {
        out += "NaN";
        return;
    }
    if (std::isinf(value)) {
        out += value > 0.0f ? "Infinity" : "-Infinity";
        return;
    }
    char buffer[32];
    // %.9g never needs more than 16 characters for a float ("-1.17549435e-38").
    const int length = std::snprintf(buffer, sizeof buffer, "%.9g", static_cast<double>(value));
    if (length > 0) out.append(buffer, static_cast<std::size_t>(length));
}

void AppendJsonInt(std::string& out, int64_t value) {
    out += std::to_string(value);
}

namespace {

// The length of the well-formed UTF-8 sequence starting at text[i] (2 to 4), or 0.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    }
    if (length == 0 || text.size() - i < length) return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    }
    return length;
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = Utf8Length(text, i);
            out += length == 0 ? std::string_view("\\ufffd") : text.substr(i, length);
            i += length == 0 ? 1 : length;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    out += '"';
}

}  // namespace pp
