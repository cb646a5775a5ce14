// Every image of the PNG and BMP corpora in tests/data/images against its manifest row (path,
// ok or reject, width, height, bytes per pixel, SHA-256 of the packed rows top first): in both
// row orders, and no copy cut short is accepted or read past its end.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <sstream>

#include "image/image_decoders.h"
#include "tests/image/image_test_support.h"

namespace pp {
namespace {

using test::Bytes;

uint32_t Rotr(uint32_t x, int n) {
    return x >> n | x << (32 - n);
}

// SHA-256; its constants are the fractional bits of the square and cube roots of the primes.
std::string Sha256Hex(Bytes m) {
    std::array<uint32_t, 64> k{}, w{};
    std::array<uint32_t, 8> h{};
    for (int n = 2, found = 0; found < 64; ++n) {
        bool prime = true;
        for (int d = 2; d * d <= n; ++d) prime = prime && n % d != 0;
        auto fraction = [](double x) { return uint32_t((x - std::floor(x)) * 0x1p32); };
        if (prime && found < 8) h[found] = fraction(std::sqrt(n));
        if (prime) k[found++] = fraction(std::cbrt(n));
    }
    const uint64_t bits = uint64_t{m.size()} * 8;  // then 0x80, zeros, the length big-endian
    m.push_back(0x80);
    while (m.size() % 64 != 56) m.push_back(0);
    for (int i = 7; i >= 0; --i) m.push_back(static_cast<uint8_t>(bits >> 8 * i));
    for (size_t block = 0; block < m.size(); block += 64) {
        for (int i = 0; i < 64; ++i) {
            const uint8_t* b = &m[block + 4 * (i & 15)];
            const uint32_t a = w[(i + 49) & 63], c = w[(i + 62) & 63];  // w[i-15], w[i-2]
            w[i] = i < 16 ? uint32_t{b[0]} << 24 | b[1] << 16 | b[2] << 8 | b[3]
                          : w[i - 16] + (Rotr(a, 7) ^ Rotr(a, 18) ^ (a >> 3)) + w[i - 7] +
                                (Rotr(c, 17) ^ Rotr(c, 19) ^ (c >> 10));
        }
        std::array<uint32_t, 8> v = h;
        for (int i = 0; i < 64; ++i) {
            const uint32_t t1 = v[7] + (Rotr(v[4], 6) ^ Rotr(v[4], 11) ^ Rotr(v[4], 25)) +
                                ((v[4] & v[5]) ^ (~v[4] & v[6])) + k[i] + w[i];
            const uint32_t t2 = (Rotr(v[0], 2) ^ Rotr(v[0], 13) ^ Rotr(v[0], 22)) +
                                ((v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]));
            v = {t1 + t2, v[0], v[1], v[2], v[3] + t1, v[4], v[5], v[6]};
        }
        for (int i = 0; i < 8; ++i) h[i] += v[i];
    }
    std::string hex(64, ' ');
    for (int i = 0; i < 64; ++i) hex[i] = "0123456789abcdef"[h[i / 8] >> (28 - 4 * (i % 8)) & 15];
    return hex;
}

// The rows without their padding, top row first (last in the buffer when bottom-up).
Bytes Packed(const DecodedImage& image, bool bottomUp) {
    Bytes packed;
    const auto used = static_cast<ptrdiff_t>(image.Width) * (image.Depth / 8);
    for (int32_t y = 0; y < image.Height; ++y) {
        const auto row =
            image.Pixels.begin() + ptrdiff_t{bottomUp ? image.Height - 1 - y : y} * image.Pitch;
        packed.insert(packed.end(), row, row + used);
    }
    return packed;
}

TEST(ImageCorpus, EveryFileDecodesAsItsManifestRowSaysInBothRowOrders) {
    ResetImageDecoders();
    EnablePngDecoder();
    const Bytes text = test::CorpusFile("MANIFEST.tsv");
    std::istringstream manifest(std::string(text.begin(), text.end()));
    std::string path, verdict, sha;
    int32_t width = 0, height = 0, bytesPerPixel = 0, png = 0, bmp = 0;
    while (manifest >> path >> verdict) {
        SCOPED_TRACE(path);
        png += path.starts_with("pngsuite/");
        bmp += path.starts_with("bmpsuite/");
        const Bytes bytes = test::CorpusFile(path);
        ASSERT_FALSE(bytes.empty());
        std::string error;
        const auto image = DecodeImage(bytes, 0, &error);
        if (verdict != "ok") {
            manifest.ignore(1000, '\n');
            EXPECT_FALSE(image.has_value());
            EXPECT_FALSE(error.empty());
            continue;
        }
        manifest >> width >> height >> bytesPerPixel >> sha;
        ASSERT_TRUE(image.has_value()) << error;
        EXPECT_TRUE(image->Width == width && image->Height == height &&
                    image->Depth == bytesPerPixel * 8 &&
                    image->Pixels.size() == static_cast<size_t>(image->Pitch) * height);
        EXPECT_EQ(Sha256Hex(Packed(*image, false)), sha);
        const auto bottomUp = DecodeImage(bytes, DecodeBottomUp);
        EXPECT_EQ(Packed(bottomUp.value(), true), Packed(*image, false));
        for (size_t length = 0; length < bytes.size() / 2; length += bytes.size() / 16 + 1) {
            const Bytes cut(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(length));
            EXPECT_FALSE(DecodeImage(cut, 0).has_value()) << "cut to " << length;
        }
    }
    EXPECT_EQ(std::pair(png, bmp), std::pair(176, 91)) << "a missing or moved corpus";
    ResetImageDecoders();
}

}  // namespace
}  // namespace pp
