// Written forms of randomised parameters: a fixed value, Min and Max, Value with Range or Blur,
// each with an optional step. Pure functions of the text; nothing is ever reported.
#pragma once

#include <cstdint>
#include <string_view>

namespace pp {

// Marks a missing second value; the setting rule then stores the first value for both.
inline constexpr float kNoSecondValue = -65535.0f;
inline constexpr int32_t kNoSecondIntValue = -65535;

// What a parser hands to the setter of one emitter triple, unchanged: (min, max, inc).
template <typename T>
struct ValueForm {
    T First;
    T Second;
    T Step;

    bool operator==(const ValueForm&) const = default;
};

// Parses the inside of a float parameter's block (or its plain value). A text without a
// second entry is one number; otherwise the first of Min/Max, Value/Range, Value/Blur that is
// complete, with "Inc" as the step.
ValueForm<float> ParseValueSpec(std::string_view text);

// The same for an integer parameter, with 32-bit wrap-around sums.
ValueForm<int32_t> ParseIntValueSpec(std::string_view text);

}  // namespace pp
