// Blend factor codes as effect files give them, and their OpenGL blend factors.
#pragma once

#include <cstdint>

namespace pp {

// Blend factor codes as effect files number them. Codes outside 1..13
// fall back to the default of their position: source alpha as source, inverse source alpha
// as destination.
inline constexpr int32_t kBlendZero = 1;
inline constexpr int32_t kBlendOne = 2;
inline constexpr int32_t kBlendSrcColour = 3;
inline constexpr int32_t kBlendInvSrcColour = 4;
inline constexpr int32_t kBlendSrcAlpha = 5;
inline constexpr int32_t kBlendInvSrcAlpha = 6;
inline constexpr int32_t kBlendDestAlpha = 7;
inline constexpr int32_t kBlendInvDestAlpha = 8;
inline constexpr int32_t kBlendDestColour = 9;
inline constexpr int32_t kBlendInvDestColour = 10;
inline constexpr int32_t kBlendSrcAlphaSat = 11;
inline constexpr int32_t kBlendBothSrcAlpha = 12;
inline constexpr int32_t kBlendBothInvSrcAlpha = 13;

// A pair of OpenGL blend factors (GLenum values) for glBlendFunc.
struct GlBlend {
    uint32_t Source, Destination;
    bool operator==(const GlBlend&) const = default;
};

// The GL factors of a source and destination code. The "both" codes (12, 13) set the source
// and destination together, from either position; the source position wins when both hold
// one.
GlBlend MapBlend(int32_t source, int32_t destination);

}  // namespace pp
