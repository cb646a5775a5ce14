// The BMP decoder on small literal files: row layouts per bit count, run-length data, and
// every kind of data it must refuse rather than read past or write outside.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/image_decoders.h"
#include "tests/image/image_test_support.h"

namespace pp {
namespace {

using Bytes = std::vector<uint8_t>;
using test::MakeBmp;

std::optional<DecodedImage> DecodeBmp(const Bytes& bytes, std::string* error = nullptr) {
    return DecodeImageWith(BmpDecoder(), bytes, 0, error);
}

// Two-entry palette: index 0 blue-ish, index 1 red-ish (B,G,R,0 per entry).
const Bytes TwoColours = {10, 20, 30, 0, 40, 50, 60, 0};

TEST(BmpDecoder, TwentyFourBitThreeWideReadsTwelveBytesPerRowAndTurnsRows) {
    // Bottom row first in the file: 9 pixel bytes and 3 filler bytes per row.
    const Bytes pixels = {1,  2,  3,  4,  5,  6,  7,  8,  9,  0xee, 0xee, 0xee,
                          11, 12, 13, 14, 15, 16, 17, 18, 19, 0xee, 0xee, 0xee};
    const auto image = DecodeBmp(MakeBmp(3, 2, 24, 0, {}, pixels));
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->Depth, 24);
    EXPECT_EQ(image->Pitch, 12);
    EXPECT_EQ(test::PackedRows(*image),
              (Bytes{11, 12, 13, 14, 15, 16, 17, 18, 19, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(BmpDecoder, BottomUpFlagKeepsTheFileRowOrder) {
    const Bytes pixels = {1, 2, 3, 0, 4, 5, 6, 0};
    const auto image =
        DecodeImageWith(BmpDecoder(), MakeBmp(1, 2, 24, 0, {}, pixels), DecodeBottomUp);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(test::PackedRows(*image), (Bytes{1, 2, 3, 4, 5, 6}));
}

TEST(BmpDecoder, SixteenBitThreeWideReadsEightBytesPerRowAsShifted555) {
    // 0x7fff: all 31 -> 248; 0x001f blue; 0x7c00 red; two filler bytes.
    const Bytes pixels = {0xff, 0x7f, 0x1f, 0x00, 0x00, 0x7c, 0xaa, 0xaa,
                          0xe0, 0x03, 0x00, 0x00, 0xff, 0xff, 0xaa, 0xaa};
    const auto image = DecodeBmp(MakeBmp(3, 2, 16, 0, {}, pixels));
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(test::PackedRows(*image), (Bytes{0, 248, 0, 0, 0, 0, 248, 248, 248,  // top
                                               248, 248, 248, 248, 0, 0, 0, 0, 248}));
}

TEST(BmpDecoder, ThirtyTwoBitDropsTheFourthByte) {
    const Bytes pixels = {1, 2, 3, 99, 4, 5, 6, 98};
    const auto image = DecodeBmp(MakeBmp(2, 1, 32, 0, {}, pixels));
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->Depth, 24);
    EXPECT_EQ(test::PackedRows(*image), (Bytes{1, 2, 3, 4, 5, 6}));
}

TEST(BmpDecoder, OneBitIgnoresThePaletteAndReadsMostSignificantBitFirst) {
    // Ten pixels 1,0,1,1,0,0,0,0 | 0,1 in two bytes, padded to four.
    const Bytes pixels = {0xb0, 0x40, 0, 0};
    const auto image = DecodeBmp(MakeBmp(10, 1, 1, 0, TwoColours, pixels));
    ASSERT_TRUE(image.has_value());
    const Bytes packed = test::PackedRows(*image);
    const int expected[10] = {1, 0, 1, 1, 0, 0, 0, 0, 0, 1};
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(packed[3 * x], expected[x] ? 255 : 0) << "pixel " << x;
        EXPECT_EQ(packed[3 * x + 2], expected[x] ? 255 : 0) << "pixel " << x;
    }
}

TEST(BmpDecoder, FourBitTakesTheHighHalfFirst) {
    const auto image = DecodeBmp(MakeBmp(3, 1, 4, 0, TwoColours, {0x10, 0x10, 0, 0}));
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(test::PackedRows(*image), (Bytes{40, 50, 60, 10, 20, 30, 40, 50, 60}));
}

TEST(BmpDecoder, ColoursUsedFieldLimitsThePalette) {
    Bytes file = MakeBmp(2, 1, 8, 0, TwoColours, {0, 5, 0, 0});
    test::PutU32(file, 46, 2);
    std::string error;
    EXPECT_FALSE(DecodeBmp(file, &error).has_value());
    EXPECT_EQ(error, "bmp: palette index past the palette");
    // Without the count the palette has 256 entries, but entry 5 lies past the end of the file.
    test::PutU32(file, 46, 0);
    EXPECT_FALSE(DecodeBmp(file, &error).has_value());
    EXPECT_EQ(error, "bmp: palette entry past the end of the file");
}

// Run-length fixtures, 4 x 3 pixels, palette of two colours.
// Run-length fixture, 4 x 3 pixels, palette of two colours (a = index 0, b = index 1).
const Bytes Rle8Image = {3, 1,              // bottom row: three pixels b
                         0, 0,              // end of line
                         0, 3, 0, 1, 0, 0,  // literal run a, b, a and a filler byte
                         0, 2, 0, 1,        // delta: up one row (skipped pixels stay black)
                         1, 0,              // one pixel a in the last column of the top row
                         0, 1};             // end of bitmap

TEST(BmpDecoder, RunLengthEightBitDecodesRunsLiteralsAndDeltas) {
    const auto image = DecodeBmp(MakeBmp(4, 3, 8, 1, TwoColours, Rle8Image));
    ASSERT_TRUE(image.has_value());
    const Bytes k = {0, 0, 0}, a = {10, 20, 30}, b = {40, 50, 60};
    Bytes expected;
    for (const Bytes* p : {&k, &k, &k, &a, &a, &b, &a, &k, &b, &b, &b, &k}) {
        expected.insert(expected.end(), p->begin(), p->end());
    }
    EXPECT_EQ(test::PackedRows(*image), expected);
}

struct RefusedBmp {
    const char* Name;
    Bytes File;
    const char* Error;
};

Bytes Patched(Bytes file, size_t offset, uint32_t value, bool wide = true) {
    wide ? test::PutU32(file, offset, value) : test::PutU16(file, offset, value);
    return file;
}

const Bytes Plain24 = MakeBmp(2, 2, 24, 0, {}, Bytes(16, 7));

std::vector<RefusedBmp> RefusedBmps() {
    return {
        {"PixelOffsetPastTheEnd", Patched(Plain24, 10, 1000),
         "bmp: pixel data runs past the end of the file"},
        {"PixelOffsetNearUint32Max", Patched(Plain24, 10, 0xfffffff0u),
         "bmp: pixel data runs past the end of the file"},
        {"LastRowCutShort", Bytes(Plain24.begin(), Plain24.end() - 3),
         "bmp: pixel data runs past the end of the file"},
        {"TopDown", Patched(Plain24, 22, static_cast<uint32_t>(-2)),
         "bmp: height is 0 or less (top-down or empty image)"},
        {"ZeroWidth", Patched(Plain24, 18, 0), "bmp: width is 0 or less"},
        {"UnsupportedBitCount", Patched(Plain24, 28, 2, false), "bmp: unsupported bit count"},
        {"WiderThanLimit", Patched(Plain24, 18, 16385),
         "bmp: image is larger than 16384 pixels on a side"},
        {"HugeHeight", Patched(Plain24, 22, 0x7fffffff),
         "bmp: image is larger than 16384 pixels on a side"},
        {"HeaderCut", Bytes(Plain24.begin(), Plain24.begin() + 30),
         "bmp: header runs past the end of the file"},
        {"FourBitRunLength", MakeBmp(2, 1, 4, 2, TwoColours, {0, 0, 0, 1}),
         "bmp: 4-bit run-length data is not supported"},
        {"PaletteIndexPastPalette", Patched(MakeBmp(1, 1, 8, 0, TwoColours, {2, 0, 0, 0}), 46, 2),
         "bmp: palette index past the palette"},
        {"RunPastTheRowEnd", MakeBmp(4, 1, 8, 1, TwoColours, {5, 1, 0, 1}),
         "bmp: run-length data writes outside the image"},
        {"RunAboveTheImage", MakeBmp(4, 1, 8, 1, TwoColours, {0, 0, 1, 1, 0, 1}),
         "bmp: run-length data writes outside the image"},
        {"DeltaThenRunOutside", MakeBmp(4, 1, 8, 1, TwoColours, {0, 2, 3, 0, 2, 1, 0, 1}),
         "bmp: run-length data writes outside the image"},
        {"LiteralPastTheRowEnd", MakeBmp(2, 1, 8, 1, TwoColours, {0, 3, 1, 1, 1, 0, 0, 1}),
         "bmp: run-length data writes outside the image"},
        {"LiteralPastTheEnd", MakeBmp(8, 1, 8, 1, TwoColours, {0, 5, 1, 1}),
         "bmp: run-length data runs past the end of the file"},
        {"RunLengthWithoutEndOfBitmap", MakeBmp(4, 1, 8, 1, TwoColours, {2, 1, 0, 0}),
         "bmp: run-length data runs past the end of the file"},
        {"RunLengthPaletteIndexPastPalette",
         Patched(MakeBmp(2, 1, 8, 1, TwoColours, {2, 5, 0, 1}), 46, 2),
         "bmp: palette index past the palette"},
    };
}

class RefusedBmpFile : public testing::TestWithParam<RefusedBmp> {};

TEST_P(RefusedBmpFile, IsRefusedWithItsReason) {
    std::string error;
    EXPECT_FALSE(DecodeBmp(GetParam().File, &error).has_value());
    EXPECT_EQ(error, GetParam().Error);
}

INSTANTIATE_TEST_SUITE_P(Bmp, RefusedBmpFile, testing::ValuesIn(RefusedBmps()),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(BmpDecoder, NonzeroReservedWordOrNoSignatureIsNotRecognised) {
    for (size_t offset : {size_t{0}, size_t{6}, size_t{8}}) {
        Bytes file = Plain24;
        file[offset] = 'X';
        std::string error;
        EXPECT_FALSE(DecodeBmp(file, &error).has_value()) << "byte " << offset;
        EXPECT_EQ(error, "bmp: data is not in this format");
    }
}

TEST(BmpDecoder, HugeImageWithoutItsPixelsIsRefusedFromTheHeader) {
    // 16384 x 16384 at 24 bits would need 768 MiB; a short file must not make us allocate it.
    Bytes file = Patched(Patched(Plain24, 18, 16384), 22, 16384);
    std::string error;
    EXPECT_FALSE(DecodeBmp(file, &error).has_value());
    EXPECT_EQ(error, "bmp: pixel data runs past the end of the file");
}

}  // namespace
}  // namespace pp
