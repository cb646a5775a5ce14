// Every image of the PNG and BMP corpora in tests/data/images against its manifest row:
// accepted images decode to exactly the expected bytes in both row orders, rejected ones are
// refused, and no copy cut short is accepted or read past its end.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
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
std::string Sha256Hex(const Bytes& bytes) {
    std::array<uint32_t, 64> k{};
    std::array<uint32_t, 8> h{};
    for (int n = 2, found = 0; found < 64; ++n) {
        bool prime = true;
        for (int d = 2; d * d <= n; ++d) prime = prime && n % d != 0;
        if (!prime) continue;
        auto fraction = [](double x) {
            return static_cast<uint32_t>((x - std::floor(x)) * 0x1p32);
        };
        if (found < 8) h[found] = fraction(std::sqrt(n));
        k[found++] = fraction(std::cbrt(n));
    }
    // The message, the 0x80 marker, zeros, and its length in bits, big-endian.
    Bytes m = bytes;
    m.push_back(0x80);
    while (m.size() % 64 != 56) m.push_back(0);
    for (int i = 7; i >= 0; --i)
        m.push_back(static_cast<uint8_t>(uint64_t{bytes.size()} * 8 >> 8 * i));
    for (size_t block = 0; block < m.size(); block += 64) {
        std::array<uint32_t, 64> w{};
        for (int i = 0; i < 16; ++i) {
            for (int b = 0; b < 4; ++b) w[i] = w[i] << 8 | m[block + 4 * i + b];
        }
        for (int i = 16; i < 64; ++i) {
            w[i] = w[i - 16] + (Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3)) +
                   w[i - 7] + (Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10));
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
    std::string hex;
    for (uint32_t word : h) {
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08x", word);
        hex += digits;
    }
    return hex;
}

// The rows without their padding, in buffer order.
std::vector<Bytes> Rows(const DecodedImage& image) {
    std::vector<Bytes> rows;
    const size_t used = static_cast<size_t>(image.Width) * static_cast<size_t>(image.Depth / 8);
    for (int32_t y = 0; y < image.Height; ++y) {
        const auto row = image.Pixels.begin() + static_cast<ptrdiff_t>(y) * image.Pitch;
        rows.emplace_back(row, row + static_cast<ptrdiff_t>(used));
    }
    return rows;
}

// Each manifest row: path, "ok" or "reject", and for accepted files width, height, bytes per
// pixel and the SHA-256 of the packed rows, top row first.
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
        EXPECT_EQ(image->Width, width);
        EXPECT_EQ(image->Height, height);
        EXPECT_EQ(image->Depth, bytesPerPixel * 8);
        EXPECT_EQ(image->Pitch, DecodePitch(width, image->Depth));
        EXPECT_EQ(image->Pixels.size(), static_cast<size_t>(image->Pitch) * height);
        std::vector<Bytes> rows = Rows(*image);
        Bytes packed;
        for (const Bytes& row : rows) packed.insert(packed.end(), row.begin(), row.end());
        EXPECT_EQ(Sha256Hex(packed), sha);
        const auto bottomUp = DecodeImage(bytes, DecodeBottomUp);
        ASSERT_TRUE(bottomUp.has_value());
        std::reverse(rows.begin(), rows.end());
        EXPECT_EQ(Rows(*bottomUp), rows) << "DecodeBottomUp turns the rows round";
        // A cut in the first half leaves the header or the pixels short: refused, from a heap
        // copy of exactly that length so that ASan sees any read beyond it.
        for (size_t length = 0; length < bytes.size() / 2; length += bytes.size() / 16 + 1) {
            const Bytes cut(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(length));
            EXPECT_FALSE(DecodeImage(cut, 0).has_value()) << "cut to " << length;
        }
    }
    // Guards against a missing or moved corpus silently running zero cases.
    EXPECT_EQ(png, 176);
    EXPECT_EQ(bmp, 91);
    ResetImageDecoders();
}

}  // namespace
}  // namespace pp
