// The PNG decoder on small images encoded by libpng in the test: output depth per colour type,
// byte order, bit-depth reduction, interlacing, and refusal of truncated or oversized data.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "image/image_decoders.h"
#include "tests/image/image_test_support.h"

namespace pp {
namespace {

using Bytes = std::vector<uint8_t>;
using test::PngSpec;

std::optional<DecodedImage> DecodePng(const Bytes& bytes, int32_t flags = 0,
                                      std::string* error = nullptr) {
    return DecodeImageWith(PngDecoder(), bytes, flags, error);
}

PngSpec Rgb2x2() {
    PngSpec spec;
    spec.Width = 2;
    spec.Height = 2;
    spec.ColourType = PNG_COLOR_TYPE_RGB;
    spec.Rows = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    return spec;
}

struct DepthCase {
    const char* Name;
    PngSpec Spec;
    int32_t Depth;
    Bytes Expected;  // packed rows, top first
};

std::vector<DepthCase> DepthCases() {
    std::vector<DepthCase> cases;
    cases.push_back({"RgbGivesBgr", Rgb2x2(), 24, {3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}});

    PngSpec rgba;
    rgba.Width = 2;
    rgba.ColourType = PNG_COLOR_TYPE_RGB_ALPHA;
    rgba.Rows = {1, 2, 3, 4, 5, 6, 7, 0};
    cases.push_back({"RgbaGivesBgraWithStraightAlpha", rgba, 32, {3, 2, 1, 4, 7, 6, 5, 0}});

    PngSpec palette;
    palette.Width = 3;
    palette.ColourType = PNG_COLOR_TYPE_PALETTE;
    palette.Palette = {10, 20, 30, 40, 50, 60};
    palette.Rows = {1, 0, 1};
    cases.push_back(
        {"PaletteWithoutTrnsGivesBgr", palette, 24, {60, 50, 40, 30, 20, 10, 60, 50, 40}});

    PngSpec paletteTrns = palette;
    paletteTrns.Transparency = {128};  // entry 1 lies past the chunk: opaque
    cases.push_back({"PaletteWithTrnsTakesAlphaFromIt",
                     paletteTrns,
                     32,
                     {60, 50, 40, 255, 30, 20, 10, 128, 60, 50, 40, 255}});

    PngSpec rgb16;
    rgb16.ColourType = PNG_COLOR_TYPE_RGB;
    rgb16.BitDepth = 16;
    rgb16.Rows = {0x12, 0xff, 0x34, 0x80, 0x56, 0x01};
    cases.push_back({"SixteenBitKeepsTheHighByte", rgb16, 24, {0x56, 0x34, 0x12}});

    PngSpec grey2;
    grey2.Width = 4;
    grey2.ColourType = PNG_COLOR_TYPE_GRAY;
    grey2.BitDepth = 2;
    grey2.Rows = {0x1b};  // 0, 1, 2, 3
    grey2.TransparentGrey = 1;
    cases.push_back({"LowBitGreyWithTrnsGetsAlpha",
                     grey2,
                     32,
                     {0, 0, 0, 255, 85, 85, 85, 0, 170, 170, 170, 255, 255, 255, 255, 255}});

    PngSpec grey8 = grey2;
    grey8.BitDepth = 8;
    grey8.Rows = {0, 1, 2, 3};
    cases.push_back({"EightBitGreyIgnoresTrns", grey8, 24, {0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3}});

    PngSpec greyAlpha;
    greyAlpha.ColourType = PNG_COLOR_TYPE_GRAY_ALPHA;
    greyAlpha.Rows = {9, 99};
    cases.push_back({"GreyAlphaGivesBgra", greyAlpha, 32, {9, 9, 9, 99}});
    return cases;
}

class PngDepthCase : public testing::TestWithParam<DepthCase> {};

TEST_P(PngDepthCase, DecodesToExpectedDepthAndBytes) {
    const DepthCase& c = GetParam();
    std::string error;
    const auto image = DecodePng(test::EncodePng(c.Spec), 0, &error);
    ASSERT_TRUE(image.has_value()) << error;
    EXPECT_EQ(image->Depth, c.Depth);
    EXPECT_EQ(image->Pitch, DecodePitch(image->Width, c.Depth));
    EXPECT_EQ(test::PackedRows(*image), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(Png, PngDepthCase, testing::ValuesIn(DepthCases()),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(PngDecoder, TwentyFourBitRowsArePaddedToTheDecodePitch) {
    PngSpec spec = Rgb2x2();
    spec.Width = 3;
    spec.Height = 1;
    spec.Rows = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    const auto image = DecodePng(test::EncodePng(spec));
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->Pitch, 12);
    EXPECT_EQ(image->Pixels, (Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 0, 0, 0}));
}

TEST(PngDecoder, InterlacedImageDecodesThroughAllPasses) {
    PngSpec spec;
    spec.Width = 11;
    spec.Height = 9;
    spec.ColourType = PNG_COLOR_TYPE_RGB_ALPHA;
    for (int i = 0; i < spec.Width * spec.Height * 4; ++i) {
        spec.Rows.push_back(static_cast<uint8_t>(i * 7 + 1));
    }
    const auto plain = DecodePng(test::EncodePng(spec));
    spec.Interlaced = true;
    const auto interlaced = DecodePng(test::EncodePng(spec));
    ASSERT_TRUE(plain.has_value());
    ASSERT_TRUE(interlaced.has_value());
    EXPECT_EQ(interlaced->Pixels, plain->Pixels);
}

TEST(PngDecoder, BottomUpFlagReversesTheRows) {
    const auto image = DecodePng(test::EncodePng(Rgb2x2()), DecodeBottomUp);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(test::PackedRows(*image), (Bytes{9, 8, 7, 12, 11, 10, 3, 2, 1, 6, 5, 4}));
}

TEST(PngDecoder, EveryTruncationThroughTheImageDataIsRefused) {
    const Bytes whole = test::EncodePng(Rgb2x2());
    ASSERT_TRUE(DecodePng(whole).has_value());
    // The file ends with the 12-byte IEND chunk, which is never needed; anything shorter than
    // the rest misses image data or its checksum.
    for (size_t length = 0; length + 12 < whole.size(); ++length) {
        const Bytes cut(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(length));
        std::string error;
        EXPECT_FALSE(DecodePng(cut, 0, &error).has_value()) << "cut to " << length;
        EXPECT_FALSE(error.empty());
    }
}

TEST(PngDecoder, CorruptImageDataFailsTheDecodeWithLibpngsReason) {
    Bytes file = test::EncodePng(Rgb2x2());
    // Flip a byte of the compressed data; libpng notices through the chunk's checksum.
    file[file.size() - 12 - 6] ^= 0x55;
    std::string error;
    EXPECT_FALSE(DecodePng(file, 0, &error).has_value());
    EXPECT_TRUE(error.starts_with("png: ")) << error;
}

// A signature, an IHDR chunk of the given size and an empty IDAT: enough for the header check.
Bytes HeaderOnlyPng(uint32_t width, uint32_t height) {
    Bytes file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    auto chunk = [&file](const char* type, const Bytes& body) {
        for (int shift : {24, 16, 8, 0}) {
            file.push_back(static_cast<uint8_t>(body.size() >> shift));
        }
        Bytes typed(type, type + 4);
        typed.insert(typed.end(), body.begin(), body.end());
        file.insert(file.end(), typed.begin(), typed.end());
        const uLong crc = crc32(0, typed.data(), static_cast<uInt>(typed.size()));
        for (int shift : {24, 16, 8, 0}) file.push_back(static_cast<uint8_t>(crc >> shift));
    };
    Bytes ihdr;
    for (uint32_t v : {width, height}) {
        for (int shift : {24, 16, 8, 0}) ihdr.push_back(static_cast<uint8_t>(v >> shift));
    }
    ihdr.insert(ihdr.end(), {8, PNG_COLOR_TYPE_RGB_ALPHA, 0, 0, 0});
    chunk("IHDR", ihdr);
    chunk("IDAT", {});
    return file;
}

TEST(PngDecoder, OversizedImagesAreRefusedBeforeDecoding) {
    std::string error;
    // 16384 x 16384 at 4 bytes per pixel is 1 GiB, which a header alone cannot hold.
    EXPECT_FALSE(DecodePng(HeaderOnlyPng(16384, 16384), 0, &error).has_value());
    EXPECT_EQ(error, "png: file is too short to hold the image it declares");
    EXPECT_FALSE(DecodePng(HeaderOnlyPng(16385, 1), 0, &error).has_value());
    EXPECT_TRUE(error.starts_with("png: ")) << error;
}

// The refusal of files too short for their rows leaves room for deflate's best ratio: a
// large image of one colour, compressed as hard as zlib can, still decodes.
TEST(PngDecoder, HighlyCompressedLargeImageStillDecodes) {
    test::PngSpec spec;
    spec.Width = 2048;
    spec.Height = 2048;
    spec.Rows.assign(size_t{2048} * 2048 * 3, 0);
    const Bytes file = test::EncodePng(spec);
    ASSERT_LT(file.size() * 500, spec.Rows.size()) << "the fixture should compress hard";
    std::string error;
    const std::optional<DecodedImage> image = DecodePng(file, 0, &error);
    ASSERT_TRUE(image.has_value()) << error;
    EXPECT_EQ(image->Width, 2048);
    EXPECT_EQ(image->Height, 2048);
}

TEST(PngDecoder, BytesWithoutTheSignatureAreNotRecognised) {
    Bytes file = test::EncodePng(Rgb2x2());
    file[1] = 'X';
    std::string error;
    EXPECT_FALSE(DecodePng(file, 0, &error).has_value());
    EXPECT_EQ(error, "png: data is not in this format");
    EXPECT_FALSE(DecodePng(Bytes{0x89, 'P', 'N'}, 0, &error).has_value());
}

}  // namespace
}  // namespace pp
