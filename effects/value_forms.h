// Written forms of randomised parameters: a fixed value, Min and Max, Value with Range or Blur,
// each with an optional step. Pure functions of the text; nothing is ever reported.
#pragma once

#include <cstdint>
#include <string_view>

#include "particles/particles.h"

namespace pp {

// What a parser hands to the setter of one emitter triple, unchanged: (min, max, inc). A
// missing second value is kSameAsMin, so that the setting rule stores the first for both.
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
