// Helpers for the image decoder tests: file reading, SHA-256, packing decoded rows, a small
// BMP writer and a PNG encoder on libpng for fixtures the corpora do not cover.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "image/image_decoders.h"

namespace pp::test {

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path);

// Lower-case hex SHA-256 of the bytes.
std::string Sha256Hex(std::span<const uint8_t> bytes);

// The decoded rows without their padding: Width * Depth/8 bytes per row, top row first.
std::vector<uint8_t> PackedRows(const DecodedImage& image);

// A BMP file: 14-byte file header, 40-byte info header, the palette (B,G,R,0 per entry) and
// the pixel data as given. Fields can be patched afterwards with PutU16/PutU32.
std::vector<uint8_t> MakeBmp(int32_t width, int32_t height, int32_t bitCount, int32_t compression,
                             const std::vector<uint8_t>& palette,
                             const std::vector<uint8_t>& pixels);
void PutU16(std::vector<uint8_t>& bytes, size_t offset, uint32_t value);
void PutU32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value);

struct PngSpec {
    int32_t Width = 1, Height = 1;
    int ColourType = 2;  // PNG_COLOR_TYPE_*
    int BitDepth = 8;
    bool Interlaced = false;
    std::vector<uint8_t> Rows;          // packed PNG rows, Height * rowbytes
    std::vector<uint8_t> Palette;       // R,G,B per entry (colour type 3)
    std::vector<uint8_t> Transparency;  // tRNS alphas (colour type 3)
    int TransparentGrey = -1;           // tRNS grey sample (colour type 0), -1 for none
};

// Encodes the image with libpng; the test fails through ADD_FAILURE on a libpng error.
std::vector<uint8_t> EncodePng(const PngSpec& spec);

}  // namespace pp::test
