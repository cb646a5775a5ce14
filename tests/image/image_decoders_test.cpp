// The decoder registry: start-up state, registration order and limits, and the size checks
// made before any buffer is allocated.
#include "image/image_decoders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/image/image_test_support.h"

namespace pp {
namespace {

using Bytes = std::vector<uint8_t>;

// A decoder that accepts everything and reports the size it is told to, counting its calls.
struct FakeState {
    int32_t Width = 2, Height = 1, Depth = 24;
    bool DecodeSucceeds = true;
    int Checks = 0, Decodes = 0, CleanUps = 0;
};
FakeState fake;

const ImageDecoder FakeDecoder{
    "fake",
    [](DecodeContext& context) {
        ++fake.Checks;
        context.Width = fake.Width;
        context.Height = fake.Height;
        context.Depth = fake.Depth;
        return true;
    },
    [](DecodeContext& context, std::span<uint8_t> buffer, int32_t, int32_t) {
        ++fake.Decodes;
        if (!fake.DecodeSucceeds) context.Error = "fake: broken on purpose";
        if (!buffer.empty()) buffer[0] = 42;
        return fake.DecodeSucceeds;
    },
    [](DecodeContext&) { ++fake.CleanUps; },
};

class ImageRegistry : public testing::Test {
  protected:
    void SetUp() override {
        ResetImageDecoders();
        fake = FakeState{};
    }
    void TearDown() override { ResetImageDecoders(); }
};

Bytes SmallPng() {
    test::PngSpec spec;
    spec.Rows = {1, 2, 3};
    return test::EncodePng(spec);
}

Bytes SmallBmp() {
    return test::MakeBmp(1, 1, 24, 0, {}, {1, 2, 3, 0});
}

TEST_F(ImageRegistry, StartsWithTheBmpDecoderOnly) {
    EXPECT_TRUE(DecodeImage(SmallBmp(), 0).has_value());
    std::string error;
    EXPECT_FALSE(DecodeImage(SmallPng(), 0, &error).has_value());
    EXPECT_EQ(error, "image: no decoder recognises the data");
}

TEST_F(ImageRegistry, EnablePngDecoderAddsPngAfterBmp) {
    EnablePngDecoder();
    const auto png = DecodeImage(SmallPng(), 0);
    ASSERT_TRUE(png.has_value());
    EXPECT_EQ(test::PackedRows(*png), (Bytes{3, 2, 1}));
    EXPECT_TRUE(DecodeImage(SmallBmp(), 0).has_value());
}

TEST_F(ImageRegistry, EnablePngDecoderRegistersOnlyOnce) {
    EnablePngDecoder();
    EnablePngDecoder();
    // BMP and PNG take two of the 30 places, so 28 more fit and the next is refused.
    for (int i = 0; i < MaxImageDecoders - 2; ++i) {
        EXPECT_EQ(RegisterImageDecoder(FakeDecoder), 1) << "decoder " << i;
    }
    EXPECT_EQ(RegisterImageDecoder(FakeDecoder), 0);
}

TEST_F(ImageRegistry, DecodersAreTriedInRegistrationOrder) {
    ASSERT_EQ(RegisterImageDecoder(FakeDecoder), 1);
    EnablePngDecoder();
    // BMP comes first and takes its own bytes; the fake, second, takes everything else, so the
    // PNG decoder registered after it never sees a PNG.
    const auto bmp = DecodeImage(SmallBmp(), 0);
    ASSERT_TRUE(bmp.has_value());
    EXPECT_EQ(fake.Checks, 0);
    const auto png = DecodeImage(SmallPng(), 0);
    ASSERT_TRUE(png.has_value());
    EXPECT_EQ(fake.Checks, 1);
    EXPECT_EQ(png->Pixels[0], 42);
}

TEST_F(ImageRegistry, ResetForgetsRegisteredDecoders) {
    ASSERT_EQ(RegisterImageDecoder(FakeDecoder), 1);
    EnablePngDecoder();
    ResetImageDecoders();
    EXPECT_FALSE(DecodeImage(SmallPng(), 0).has_value());
    EXPECT_EQ(fake.Checks, 0);
}

struct SizeCase {
    const char* Name;
    int32_t Width, Height, Depth;
    const char* Error;
};

class ImageSizeLimit : public ImageRegistry, public testing::WithParamInterface<SizeCase> {};

TEST_P(ImageSizeLimit, IsRefusedBeforeDecodingAndCleanedUp) {
    const SizeCase& c = GetParam();
    fake.Width = c.Width;
    fake.Height = c.Height;
    fake.Depth = c.Depth;
    std::string error;
    EXPECT_FALSE(DecodeImageWith(FakeDecoder, Bytes{1}, 0, &error).has_value());
    EXPECT_EQ(error, c.Error);
    EXPECT_EQ(fake.Decodes, 0);
    EXPECT_EQ(fake.CleanUps, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Registry, ImageSizeLimit,
    testing::Values(
        SizeCase{"BufferOver256MiB", 16384, 4097, 32, "fake: decode buffer would exceed 256 MiB"},
        SizeCase{"TooWide", 16385, 1, 24, "fake: image is larger than 16384 pixels on a side"},
        SizeCase{"TooHigh", 1, 16385, 24, "fake: image is larger than 16384 pixels on a side"},
        SizeCase{"IntMaxWidth", INT32_MAX, INT32_MAX, 32,
                 "fake: image is larger than 16384 pixels on a side"},
        SizeCase{"ZeroWidth", 0, 5, 24, "fake: image has no pixels (width or height is 0 or less)"},
        SizeCase{"NegativeHeight", 5, -1, 24,
                 "fake: image has no pixels (width or height is 0 or less)"},
        SizeCase{"SixteenBitDepth", 5, 5, 16, "fake: unsupported decode depth"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ImageRegistry, FailedDecodeReturnsNothingAndStillCleansUp) {
    fake.DecodeSucceeds = false;
    std::string error;
    EXPECT_FALSE(DecodeImageWith(FakeDecoder, Bytes{1}, 0, &error).has_value());
    EXPECT_EQ(error, "fake: broken on purpose");
    EXPECT_EQ(fake.Decodes, 1);
    EXPECT_EQ(fake.CleanUps, 1);
}

TEST(DecodePitch, PadsTwentyFourBitRowsToFourBytes) {
    struct Row {
        int32_t Width, Depth, Pitch;
    };
    for (const Row& row : {Row{1, 24, 4}, Row{2, 24, 8}, Row{3, 24, 12}, Row{4, 24, 12},
                           Row{5, 24, 16}, Row{3, 32, 12}, Row{16384, 32, 65536}, Row{0, 24, 0},
                           Row{-3, 32, 0}, Row{16385, 24, 0}, Row{3, 16, 0}}) {
        EXPECT_EQ(DecodePitch(row.Width, row.Depth), row.Pitch) << row.Width << " x " << row.Depth;
    }
}

}  // namespace
}  // namespace pp
