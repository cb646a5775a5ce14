// The decoder registry, its size checks before any buffer is allocated, and texture bytes
// from a decoded image (alpha kept or black keyed) with rows padded to four bytes.
#include "image/image_decoders.h"

#include <gtest/gtest.h>
#include <png.h>

#include "image/texture_bytes.h"
#include "tests/image/image_test_support.h"

namespace pp {
namespace {

using test::Bytes;

// A decoder that takes any bytes and reports the size it is told to, counting its calls.
struct FakeState {
    int32_t Width = 2, Height = 1, Depth = 24;
    bool DecodeSucceeds = true;
    int Checks = 0, Decodes = 0, CleanUps = 0;
} fake;

const ImageDecoder kFake{
    "fake",
    [](DecodeContext& context) {
        ++fake.Checks;
        context.Width = fake.Width, context.Height = fake.Height, context.Depth = fake.Depth;
        return true;
    },
    [](DecodeContext& context, std::span<uint8_t> buffer, int32_t, int32_t) {
        ++fake.Decodes;
        if (!fake.DecodeSucceeds) context.Error = "fake: broken";
        buffer[0] = 42;
        return fake.DecodeSucceeds;
    },
    [](DecodeContext&) { ++fake.CleanUps; },
};

// BMP alone from the start; PNG once enabled, once only, after the decoders before it.
TEST(ImageRegistry, TriesDecodersInRegistrationOrderWithinItsRoom) {
    ResetImageDecoders();
    fake = FakeState{};
    const Bytes png = test::CorpusFile("pngsuite/basn2c08.png");
    const Bytes bmp = test::CorpusFile("bmpsuite/g/rgb24.bmp");
    EXPECT_TRUE(DecodeImage(bmp, 0).has_value());
    EXPECT_FALSE(DecodeImage(png, 0).has_value());
    ASSERT_EQ(RegisterImageDecoder(kFake), 1);
    EnablePngDecoder();
    EnablePngDecoder();
    ASSERT_TRUE(DecodeImage(bmp, 0).has_value());
    EXPECT_EQ(fake.Checks, 0);
    EXPECT_EQ(DecodeImage(png, 0)->Pixels[0], 42) << "the fake comes before PNG";
    for (int i = 0; i < MaxImageDecoders - 3; ++i) EXPECT_EQ(RegisterImageDecoder(kFake), 1);
    EXPECT_EQ(RegisterImageDecoder(kFake), 0) << "the registry is full";
    ResetImageDecoders();
    EXPECT_FALSE(DecodeImage(png, 0).has_value());
}

// The size a check reports is refused before decoding, and the decoder is cleaned up anyway;
// exactly 256 MiB is allowed.
TEST(ImageRegistry, RefusesSizesBeforeDecodingAndAlwaysCleansUp) {
    const struct {
        int32_t Width, Height, Depth;
        bool DecodeSucceeds;
    } rows[] = {{16384, 4097, 32, true}, {16385, 1, 24, true},   {1, 16385, 24, true},
                {0, 5, 24, true},        {5, -1, 24, true},      {5, 5, 16, true},
                {5, 5, 24, false},       {16384, 4096, 32, true}};
    for (const auto& row : rows) {
        fake = {row.Width, row.Height, row.Depth, row.DecodeSucceeds};
        std::string error;
        const bool allowed = row.Width == 16384 && row.Height == 4096;
        EXPECT_EQ(DecodeImageWith(kFake, Bytes{1}, 0, &error).has_value(), allowed) << row.Width;
        EXPECT_TRUE(allowed || error.starts_with("fake: ")) << error;
        EXPECT_EQ(fake.Decodes, row.DecodeSucceeds ? int(allowed) : 1) << row.Width;
        EXPECT_EQ(fake.CleanUps, 1);
    }
}

// A large one-colour image compressed as hard as zlib can still decodes: the refusal of files
// too short for their declared rows leaves room for deflate's best ratio.
TEST(PngDecoder, HighlyCompressedLargeImageStillDecodes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = image.height = 2048;
    image.format = PNG_FORMAT_RGB;
    const Bytes pixels(size_t{2048} * 2048 * 3, 0);
    Bytes file(1 << 20);
    png_alloc_size_t size = file.size();
    ASSERT_TRUE(
        png_image_write_to_memory(&image, file.data(), &size, 0, pixels.data(), 0, nullptr));
    file.resize(size);
    ASSERT_LT(file.size() * 500, pixels.size()) << "the fixture should compress hard";
    const auto decoded = DecodeImageWith(PngDecoder(), file, 0);
    EXPECT_TRUE(decoded.has_value() && decoded->Height == 2048);
}

// An image of the given pixels; its pitch from DecodePitch (24-bit rows padded to four bytes).
DecodedImage Image(int32_t width, int32_t depth, Bytes pixels) {
    const int32_t pitch = DecodePitch(width, depth);
    return {width, static_cast<int32_t>(pixels.size()) / pitch, depth, pitch, std::move(pixels)};
}

TEST(TextureBytes, KeepAlphaOnlyOnThirtyTwoBitQuadsElseKeyBlack) {
    const DecodedImage bgra = Image(2, 32, {0, 0, 0, 128, 9, 0, 0, 7});
    // Two rows of three pixels and three filler bytes each.
    const DecodedImage bgr = Image(3, 24, {0, 0, 0, 1, 0, 0, 255, 255, 255, 0xee, 0xee, 0xee,
                                           0, 1, 0, 0, 0, 0, 0,   0,   1,   0xee, 0xee, 0xee});
    const Bytes keyedBgr = {0, 0, 0, 0,   1, 0, 0, 255, 255, 255, 255, 255,
                            0, 1, 0, 255, 0, 0, 0, 0,   0,   0,   1,   255};
    const Bytes keyedBgra = {0, 0, 0, 0, 9, 0, 0, 255};
    const struct {
        const DecodedImage* Image;
        int32_t Flags;
        std::optional<Bytes> Texture;
    } rows[] = {
        {&bgra, SpriteUsableAsQuad | SpriteKeepAlpha, bgra.Pixels},
        {&bgra, SpriteUsableAsQuad, keyedBgra},
        {&bgra, 0, keyedBgra},
        {&bgra, SpriteKeepAlpha, std::nullopt},  // keeping alpha needs a quad
        {&bgr, SpriteUsableAsQuad | SpriteKeepAlpha, keyedBgr},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(MakeTextureBytes(*row.Image, row.Flags), row.Texture)
            << row.Image->Depth << " bits, flags " << row.Flags;
    }
    // Malformed images: short pixels, narrow pitch, bad depth, no rows, a huge width.
    DecodedImage bad[5] = {bgra, bgra, bgra, bgra, bgra};
    bad[0].Pixels.pop_back();
    bad[1].Pitch = 7;
    bad[2].Depth = 16;
    bad[3].Height = 0;
    bad[4].Width = INT32_MAX;
    for (const DecodedImage& image : bad)
        EXPECT_FALSE(MakeTextureBytes(image, SpriteUsableAsQuad).has_value());
}

}  // namespace
}  // namespace pp
