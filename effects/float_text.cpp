#include "effects/float_text.h"

#include <charconv>

namespace pp {

std::string ShortestFloatText(float value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

}  // namespace pp
