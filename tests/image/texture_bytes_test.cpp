// Texture bytes from decoded images: alpha kept or black keyed, per load flags and depth.
#include "image/texture_bytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace pp {
namespace {

using Bytes = std::vector<uint8_t>;

DecodedImage Image(int32_t width, int32_t height, int32_t depth, Bytes pixels) {
    DecodedImage image;
    image.Width = width;
    image.Height = height;
    image.Depth = depth;
    image.Pitch = DecodePitch(width, depth);
    image.Pixels = std::move(pixels);
    return image;
}

// Two 32-bit pixels: black half-transparent, then blue-ish with alpha 7.
const DecodedImage Bgra = Image(2, 1, 32, {0, 0, 0, 128, 9, 0, 0, 7});

TEST(TextureBytes, KeepAlphaWithQuadKeepsTheImagesBytesExactly) {
    EXPECT_EQ(MakeTextureBytes(Bgra, SpriteUsableAsQuad | SpriteKeepAlpha), Bgra.Pixels);
}

TEST(TextureBytes, WithoutKeepAlphaBlackIsKeyedAndEverythingElseOpaque) {
    for (int32_t flags : {0, SpriteUsableAsQuad}) {
        EXPECT_EQ(MakeTextureBytes(Bgra, flags), (Bytes{0, 0, 0, 0, 9, 0, 0, 255}))
            << "flags " << flags;
    }
}

TEST(TextureBytes, KeepAlphaWithoutQuadIsRefused) {
    EXPECT_FALSE(MakeTextureBytes(Bgra, SpriteKeepAlpha).has_value());
    EXPECT_FALSE(SpriteFlagsValid(SpriteKeepAlpha));
    EXPECT_TRUE(SpriteFlagsValid(SpriteKeepAlpha | SpriteUsableAsQuad));
    EXPECT_TRUE(SpriteFlagsValid(0));
}

TEST(TextureBytes, TwentyFourBitImageIsKeyedEvenWithKeepAlphaAndSkipsRowPadding) {
    // 3 pixels wide: 9 bytes of pixels and 3 filler bytes per row.
    const DecodedImage image =
        Image(3, 2, 24, {0, 0, 0, 1, 0, 0, 0,   0,   1,   0xee, 0xee, 0xee,  //
                         0, 1, 0, 0, 0, 0, 255, 255, 255, 0xee, 0xee, 0xee});
    EXPECT_EQ(MakeTextureBytes(image, SpriteUsableAsQuad | SpriteKeepAlpha),
              (Bytes{0, 0, 0, 0,   1, 0, 0, 255, 0,   0,   1,   255,  //
                     0, 1, 0, 255, 0, 0, 0, 0,   255, 255, 255, 255}));
}

TEST(TextureBytes, MalformedImagesAreRefused) {
    DecodedImage shortPixels = Bgra;
    shortPixels.Pixels.pop_back();
    DecodedImage narrowPitch = Bgra;
    narrowPitch.Pitch = 7;
    DecodedImage badDepth = Bgra;
    badDepth.Depth = 16;
    DecodedImage empty = Bgra;
    empty.Height = 0;
    DecodedImage huge = Bgra;
    huge.Width = INT32_MAX;
    for (const DecodedImage* image : {&shortPixels, &narrowPitch, &badDepth, &empty, &huge}) {
        EXPECT_FALSE(MakeTextureBytes(*image, SpriteUsableAsQuad).has_value());
    }
}

}  // namespace
}  // namespace pp
