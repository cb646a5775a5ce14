// Writing frames as PNG files: 8-bit RGB or RGBA, no ancillary chunks, so the same pixels always
// give the same bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pp {

// The PNG bytes of a width x height image given as top-down rows of B, G, R bytes (width * 3
// per row, no padding). nullopt when the sizes do not match the pixels or libpng fails.
std::optional<std::vector<uint8_t>> EncodePngFromBgr(int32_t width, int32_t height,
                                                     std::span<const uint8_t> bgr);

// The same for top-down rows of R, G, B, A bytes with straight (not premultiplied) alpha:
// an 8-bit RGBA PNG.
std::optional<std::vector<uint8_t>> EncodePngFromRgba(int32_t width, int32_t height,
                                                      std::span<const uint8_t> rgba);

// Writes the bytes to path through a temporary file beside it that is then renamed, so that
// path never holds half a file. Returns nullopt, or a one-line reason.
std::optional<std::string> WriteFileAtomically(const std::string& path,
                                               std::span<const uint8_t> bytes);

}  // namespace pp
