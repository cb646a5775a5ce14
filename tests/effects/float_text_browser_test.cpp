// The browser build's shortest float text against std::to_chars, which it stands in for.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "effects/float_text.h"

namespace pp {
namespace {

std::string ToChars(float value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

TEST(ShortestFloatText, SameTextAsToCharsOverHandCasesPowersOfTwoAndASweep) {
    constexpr float kMax = std::numeric_limits<float>::max();
    constexpr float kMin = std::numeric_limits<float>::min();
    std::vector<float> values = {0.0f,   -0.0f, 0.1f,      1.0f,        -3.5f,       100.0f,
                                 1e20f,  1e-5f, 123456.0f, 1234567.0f,  12345678.0f, 0.001f,
                                 1e-45f, kMax,  kMin,      16777216.0f, 0.3f,        2.5e-3f};
    // Powers of two and their neighbours, where the rounding interval is lopsided.
    for (int e = -149; e <= 127; ++e) {
        const float p = std::ldexp(1.0f, e);
        values.push_back(p);
        values.push_back(std::nextafter(p, 0.0f));
        values.push_back(std::nextafter(p, std::numeric_limits<float>::infinity()));
    }
    // Every finite float with a stride through the bit patterns, both signs.
    for (uint64_t bits = 1; bits < 0x7F800000u; bits += 16411) {
        const float v = std::bit_cast<float>(static_cast<uint32_t>(bits));
        values.push_back(v);
        values.push_back(-v);
    }
    int mismatches = 0;
    for (const float v : values) {
        if (ShortestFloatText(v) != ToChars(v) && ++mismatches <= 10) {
            ADD_FAILURE() << ToChars(v) << " written as " << ShortestFloatText(v);
        }
    }
    EXPECT_EQ(mismatches, 0) << "of " << values.size();
}

}  // namespace
}  // namespace pp
