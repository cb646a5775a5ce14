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

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte > 0x7e) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
}

}  // namespace pp
