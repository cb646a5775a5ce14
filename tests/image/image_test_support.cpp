#include "tests/image/image_test_support.h"

#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

namespace pp::test {

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

namespace {

constexpr std::array<uint32_t, 64> Sha256K = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

uint32_t Rotr(uint32_t x, int n) {
    return x >> n | x << (32 - n);
}

void Sha256Block(std::array<uint32_t, 8>& h, const uint8_t* block) {
    std::array<uint32_t, 64> w{};
    for (int i = 0; i < 16; ++i) {
        w[i] = uint32_t{block[4 * i]} << 24 | uint32_t{block[4 * i + 1]} << 16 |
               uint32_t{block[4 * i + 2]} << 8 | block[4 * i + 3];
    }
    for (int i = 16; i < 64; ++i) {
        const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::array<uint32_t, 8> v = h;
    for (int i = 0; i < 64; ++i) {
        const uint32_t s1 = Rotr(v[4], 6) ^ Rotr(v[4], 11) ^ Rotr(v[4], 25);
        const uint32_t ch = (v[4] & v[5]) ^ (~v[4] & v[6]);
        const uint32_t t1 = v[7] + s1 + ch + Sha256K[i] + w[i];
        const uint32_t s0 = Rotr(v[0], 2) ^ Rotr(v[0], 13) ^ Rotr(v[0], 22);
        const uint32_t maj = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
        const uint32_t t2 = s0 + maj;
        v = {t1 + t2, v[0], v[1], v[2], v[3] + t1, v[4], v[5], v[6]};
    }
    for (int i = 0; i < 8; ++i) h[i] += v[i];
}

}  // namespace

std::string Sha256Hex(std::span<const uint8_t> bytes) {
    std::array<uint32_t, 8> h = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    size_t whole = bytes.size() / 64 * 64;
    for (size_t i = 0; i < whole; i += 64) Sha256Block(h, bytes.data() + i);
    // Final block(s): the rest, the 0x80 marker, zeros, and the length in bits, big-endian.
    std::array<uint8_t, 128> tail{};
    const size_t rest = bytes.size() - whole;
    for (size_t i = 0; i < rest; ++i) tail[i] = bytes[whole + i];
    tail[rest] = 0x80;
    const size_t tailSize = rest + 9 <= 64 ? 64 : 128;
    const uint64_t bits = uint64_t{bytes.size()} * 8;
    for (int i = 0; i < 8; ++i) tail[tailSize - 1 - i] = static_cast<uint8_t>(bits >> (8 * i));
    for (size_t i = 0; i < tailSize; i += 64) Sha256Block(h, tail.data() + i);
    std::string hex;
    for (uint32_t word : h) {
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08x", word);
        hex += digits;
    }
    return hex;
}

std::vector<uint8_t> PackedRows(const DecodedImage& image) {
    const size_t rowBytes = static_cast<size_t>(image.Width) * (image.Depth / 8);
    std::vector<uint8_t> packed;
    packed.reserve(rowBytes * static_cast<size_t>(image.Height));
    for (int32_t y = 0; y < image.Height; ++y) {
        const auto row = image.Pixels.begin() + static_cast<ptrdiff_t>(y) * image.Pitch;
        packed.insert(packed.end(), row, row + static_cast<ptrdiff_t>(rowBytes));
    }
    return packed;
}

void PutU16(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    bytes.at(offset) = static_cast<uint8_t>(value);
    bytes.at(offset + 1) = static_cast<uint8_t>(value >> 8);
}

void PutU32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    PutU16(bytes, offset, value & 0xffff);
    PutU16(bytes, offset + 2, value >> 16);
}

std::vector<uint8_t> MakeBmp(int32_t width, int32_t height, int32_t bitCount, int32_t compression,
                             const std::vector<uint8_t>& palette,
                             const std::vector<uint8_t>& pixels) {
    std::vector<uint8_t> bytes(54, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    const uint32_t pixelOffset = static_cast<uint32_t>(54 + palette.size());
    PutU32(bytes, 2, static_cast<uint32_t>(pixelOffset + pixels.size()));
    PutU32(bytes, 10, pixelOffset);
    PutU32(bytes, 14, 40);
    PutU32(bytes, 18, static_cast<uint32_t>(width));
    PutU32(bytes, 22, static_cast<uint32_t>(height));
    PutU16(bytes, 26, 1);
    PutU16(bytes, 28, static_cast<uint32_t>(bitCount));
    PutU32(bytes, 30, static_cast<uint32_t>(compression));
    PutU32(bytes, 34, static_cast<uint32_t>(pixels.size()));
    bytes.insert(bytes.end(), palette.begin(), palette.end());
    bytes.insert(bytes.end(), pixels.begin(), pixels.end());
    return bytes;
}

namespace {

void AppendToVector(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void FlushNothing(png_structp) {}

// Runs under the caller's error trap; creates nothing that needs destroying.
void WritePng(png_structp png, png_infop info, const PngSpec& spec, std::vector<png_color>& palette,
              png_bytepp rows) {
    png_set_IHDR(png, info, static_cast<png_uint_32>(spec.Width),
                 static_cast<png_uint_32>(spec.Height), spec.BitDepth, spec.ColourType,
                 spec.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) {
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    }
    if (!spec.Transparency.empty()) {
        png_set_tRNS(png, info, spec.Transparency.data(),
                     static_cast<int>(spec.Transparency.size()), nullptr);
    }
    if (spec.TransparentGrey >= 0) {
        png_color_16 grey{};
        grey.gray = static_cast<png_uint_16>(spec.TransparentGrey);
        png_set_tRNS(png, info, nullptr, 0, &grey);
    }
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
}

}  // namespace

std::vector<uint8_t> EncodePng(const PngSpec& spec) {
    std::vector<uint8_t> out;
    std::vector<png_color> palette;
    for (size_t i = 0; i + 2 < spec.Palette.size(); i += 3) {
        palette.push_back({spec.Palette[i], spec.Palette[i + 1], spec.Palette[i + 2]});
    }
    std::vector<uint8_t> pixels = spec.Rows;
    const size_t rowBytes = pixels.size() / static_cast<size_t>(spec.Height);
    std::vector<png_bytep> rows;
    for (int32_t y = 0; y < spec.Height; ++y) rows.push_back(pixels.data() + y * rowBytes);

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "libpng could not write the fixture";
        return {};
    }
    png_set_write_fn(png, &out, AppendToVector, FlushNothing);
    WritePng(png, info, spec, palette, rows.data());
    png_destroy_write_struct(&png, &info);
    return out;
}

}  // namespace pp::test
