// The export's pixel arithmetic against plain computations written here.
#include "app/frame_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace pp {
namespace {

RgbaFrame RandomFrame(int32_t width, int32_t height, std::mt19937& random) {
    RgbaFrame frame{width, height, std::vector<uint8_t>(size_t(width) * height * 4)};
    for (size_t i = 0; i < frame.Pixels.size(); i += 4) {
        const uint8_t alpha = static_cast<uint8_t>(random() % 256);
        for (size_t c = 0; c < 3; ++c)
            frame.Pixels[i + c] = static_cast<uint8_t>(random() % (alpha + 1));
        frame.Pixels[i + 3] = alpha;
    }
    return frame;
}

// Each new pixel is the area-weighted mean of the old ones under it, in whole units of
// 1 / (width * height) of an old pixel, rounded half up: the whole sum at once, no passes.
TEST(FrameImage, ResampleIsTheAreaWeightedMean) {
    std::mt19937 random(7);
    for (const auto& [inW, inH, outW, outH] :
         {std::array{7, 5, 3, 2}, {4, 4, 9, 7}, {5, 3, 5, 1}, {1, 1, 3, 3}, {6, 6, 6, 6}}) {
        SCOPED_TRACE(::testing::Message() << inW << "x" << inH << " to " << outW << "x" << outH);
        const RgbaFrame in = RandomFrame(inW, inH, random);
        const RgbaFrame out = Resample(in, outW, outH);
        ASSERT_EQ(out.Pixels.size(), size_t(outW) * outH * 4);
        const auto overlap = [](int64_t k, int64_t p, int64_t inSide, int64_t outSide) {
            // Output k spans [k * in, (k + 1) * in), input p spans [p * out, (p + 1) * out).
            return std::max<int64_t>(0, std::min((k + 1) * inSide, (p + 1) * outSide) -
                                            std::max(k * inSide, p * outSide));
        };
        for (int y = 0; y < outH; ++y) {
            for (int x = 0; x < outW; ++x) {
                for (int c = 0; c < 4; ++c) {
                    int64_t sum = 0, weight = 0;
                    for (int py = 0; py < inH; ++py) {
                        for (int px = 0; px < inW; ++px) {
                            const int64_t w = overlap(x, px, inW, outW) * overlap(y, py, inH, outH);
                            sum += w * in.Pixels[(size_t(py) * inW + px) * 4 + c];
                            weight += w;
                        }
                    }
                    ASSERT_EQ(out.Pixels[(size_t(y) * outW + x) * 4 + c],
                              (2 * sum + weight) / (2 * weight))
                        << x << "," << y << " channel " << c;
                }
            }
        }
    }
    EXPECT_TRUE(Resample(RgbaFrame{2, 2, std::vector<uint8_t>(15)}, 1, 1).Pixels.empty());
}

// Straight colours multiplied back by their alpha give every premultiplied colour exactly.
TEST(FrameImage, StraightAlphaMultipliesBackToTheColour) {
    RgbaFrame all{256 * 256, 1, {}};
    for (int alpha = 0; alpha < 256; ++alpha) {
        for (int colour = 0; colour < 256; ++colour) {
            const uint8_t k = static_cast<uint8_t>(std::min(colour, alpha));
            all.Pixels.insert(all.Pixels.end(), {k, k, 0, static_cast<uint8_t>(alpha)});
        }
    }
    const std::vector<uint8_t> straight = StraightRgba(all);
    for (size_t i = 0; i < straight.size(); i += 4) {
        const int alpha = straight[i + 3];
        ASSERT_EQ((straight[i] * alpha + 127) / 255, all.Pixels[i]) << "alpha " << alpha;
        ASSERT_EQ(straight[i + 2], 0);
    }
}

// Alpha from one pixel over black and over white: the over pair's share of white that shows
// through, brightness for light that saturates white, a channel's brightness as its bound.
TEST(FrameImage, AlphaIsWhatOfTheWhiteShowsThrough) {
    const struct {
        std::array<uint8_t, 3> Black, White;  // B, G, R
        uint8_t Coverage, Brightness;
    } rows[] = {
        {{0, 0, 0}, {255, 255, 255}, 0, 0},          // nothing drawn
        {{40, 80, 120}, {40, 80, 120}, 255, 120},    // opaque
        {{20, 40, 60}, {175, 195, 215}, 100, 60},    // over factors, alpha 100
        {{20, 40, 60}, {174, 195, 216}, 100, 60},    // the channels disagree: their middle
        {{30, 90, 200}, {255, 255, 255}, 200, 200},  // light added to white saturates it
        {{200, 10, 10}, {100, 10, 10}, 255, 200},    // darker over white than over black
    };
    for (const auto& row : rows) {
        for (const auto& [from, want] : {std::pair{AlphaFrom::Coverage, row.Coverage},
                                         {AlphaFrom::Brightness, row.Brightness}}) {
            const RgbaFrame frame = AlphaFromBlackAndWhite(1, 1, row.Black, row.White, from);
            ASSERT_EQ(frame.Pixels.size(), 4u);
            EXPECT_EQ(frame.Pixels[3], want) << int{row.Black[0]} << " " << int(from);
            EXPECT_EQ(frame.Pixels[0], row.Black[2]);
            EXPECT_EQ(frame.Pixels[2], row.Black[0]);
        }
    }
    EXPECT_TRUE(AlphaFromBlackAndWhite(2, 1, std::vector<uint8_t>(6), std::vector<uint8_t>(3),
                                       AlphaFrom::Coverage)
                    .Pixels.empty());
}

// The lit box is the smallest holding every pixel unlike the background's, over frames; the
// margin and the cut stay inside the frame, and a cell pasted past the atlas's edge is cut.
TEST(FrameImage, LitBoxMarginCutAndPaste) {
    const RgbaFrame background{10, 8, std::vector<uint8_t>(10 * 8 * 4, 9)};
    std::optional<PixelBox> box;
    GrowLitBox(background, background, box);
    EXPECT_FALSE(box);
    for (const auto& [x, y] : {std::pair{3, 2}, {7, 5}, {4, 6}}) {
        RgbaFrame frame = background;
        frame.Pixels[(size_t(y) * 10 + x) * 4 + 3] = 10;
        GrowLitBox(frame, background, box);
    }
    ASSERT_TRUE(box);
    EXPECT_EQ(std::tie(box->X, box->Y, box->Width, box->Height), std::make_tuple(3, 2, 5, 5));
    const PixelBox wide = WithMargin(*box, 4, 10, 8);
    EXPECT_EQ(std::tie(wide.X, wide.Y, wide.Width, wide.Height), std::make_tuple(0, 0, 10, 8));
    const PixelBox some = WithMargin(*box, 1, 10, 8);
    EXPECT_EQ(std::tie(some.X, some.Y, some.Width, some.Height), std::make_tuple(2, 1, 7, 7));

    std::mt19937 random(3);
    const RgbaFrame frame = RandomFrame(10, 8, random);
    const RgbaFrame cut = Cut(frame, {8, 6, 4, 3});  // two columns and two rows inside
    ASSERT_EQ(cut.Pixels.size(), 4u * 3u * 4u);
    for (size_t i = 0, x = 0, y = 0; i < cut.Pixels.size(); ++i, x = i / 4 % 4, y = i / 16) {
        ASSERT_EQ(cut.Pixels[i],
                  x < 2 && y < 2 ? frame.Pixels[((6 + y) * 10 + 8 + x) * 4 + i % 4] : 0)
            << x << "," << y;
    }
    RgbaFrame atlas{5, 4, std::vector<uint8_t>(5 * 4 * 4)};
    Paste(cut, atlas, 3, 2);
    for (size_t i = 0, x = 0, y = 0; i < atlas.Pixels.size(); ++i, x = i / 4 % 5, y = i / 20) {
        ASSERT_EQ(atlas.Pixels[i],
                  x >= 3 && y >= 2 ? frame.Pixels[((y + 4) * 10 + x + 5) * 4 + i % 4] : 0)
            << x << "," << y;
    }
}

}  // namespace
}  // namespace pp
