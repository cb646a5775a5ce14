#include "app/frame_image.h"

#include <algorithm>

namespace pp {
namespace {

size_t PixelCount(int32_t width, int32_t height) {
    return width > 0 && height > 0 ? static_cast<size_t>(width) * static_cast<size_t>(height) : 0;
}

// One output column's (or row's) share of the input: the input pixels it covers and how much
// of each, in units where a whole input pixel is `scale` (the output count), so the weights
// are whole numbers and the sums exact.
struct Tap {
    int32_t First = 0;
    std::vector<int64_t> Weights;
};

// Output pixel k of `out` covers input [k * in / out, (k + 1) * in / out); in units of 1 / out
// input pixels that is [k * in, (k + 1) * in).
std::vector<Tap> TapsOf(int32_t in, int32_t out) {
    std::vector<Tap> taps(static_cast<size_t>(out));
    for (int32_t k = 0; k < out; ++k) {
        const int64_t begin = int64_t{k} * in;
        const int64_t end = begin + in;
        Tap& tap = taps[static_cast<size_t>(k)];
        tap.First = static_cast<int32_t>(begin / out);
        for (int64_t p = tap.First; p * out < end && p < in; ++p) {
            const int64_t from = std::max(begin, p * out);
            const int64_t to = std::min(end, (p + 1) * out);
            tap.Weights.push_back(to - from);
        }
    }
    return taps;
}

}  // namespace

RgbaFrame AlphaFromBlackAndWhite(int32_t width, int32_t height, std::span<const uint8_t> overBlack,
                                 std::span<const uint8_t> overWhite, AlphaFrom from) {
    const size_t pixels = PixelCount(width, height);
    if (overBlack.size() != pixels * 3 || overWhite.size() != pixels * 3) return {};
    RgbaFrame frame{width, height, std::vector<uint8_t>(pixels * 4)};
    for (size_t p = 0; p < pixels; ++p) {
        const uint8_t* black = &overBlack[p * 3];
        const uint8_t* white = &overWhite[p * 3];
        // A channel that shows t of the white background through is 255 - t opaque. Per-step
        // rounding lets the channels disagree by a few steps where many particles overlap;
        // the middle of their range keeps the largest miss smallest. A colour brighter than
        // its alpha could not be laid over black, so the brightest channel bounds alpha below.
        int least = 255, most = 0, brightest = 0;
        for (int c = 0; c < 3; ++c) {
            const int through = std::max(0, white[c] - black[c]);
            least = std::min(least, through);
            most = std::max(most, through);
            brightest = std::max(brightest, int{black[c]});
        }
        const int covered = 255 - (least + most + 1) / 2;
        const int alpha = from == AlphaFrom::Coverage ? std::max(covered, brightest) : brightest;
        uint8_t* out = &frame.Pixels[p * 4];
        out[0] = black[2];
        out[1] = black[1];
        out[2] = black[0];
        out[3] = static_cast<uint8_t>(alpha);
    }
    return frame;
}

RgbaFrame OpaqueFrame(int32_t width, int32_t height, std::span<const uint8_t> bgr) {
    const size_t pixels = PixelCount(width, height);
    if (bgr.size() != pixels * 3) return {};
    RgbaFrame frame{width, height, std::vector<uint8_t>(pixels * 4)};
    for (size_t p = 0; p < pixels; ++p) {
        frame.Pixels[p * 4] = bgr[p * 3 + 2];
        frame.Pixels[p * 4 + 1] = bgr[p * 3 + 1];
        frame.Pixels[p * 4 + 2] = bgr[p * 3];
        frame.Pixels[p * 4 + 3] = 255;
    }
    return frame;
}

void GrowLitBox(const RgbaFrame& frame, const RgbaFrame& background, std::optional<PixelBox>& box) {
    if (frame.Width != background.Width || frame.Height != background.Height ||
        frame.Pixels.size() != PixelCount(frame.Width, frame.Height) * 4 ||
        background.Pixels.size() != frame.Pixels.size()) {
        return;
    }
    int32_t left = frame.Width, top = frame.Height, right = -1, bottom = -1;
    for (int32_t y = 0; y < frame.Height; ++y) {
        const size_t row = static_cast<size_t>(y) * static_cast<size_t>(frame.Width);
        for (int32_t x = 0; x < frame.Width; ++x) {
            const size_t at = (row + static_cast<size_t>(x)) * 4;
            if (std::equal(&frame.Pixels[at], &frame.Pixels[at] + 4, &background.Pixels[at])) {
                continue;
            }
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0) return;
    if (box) {
        left = std::min(left, box->X);
        top = std::min(top, box->Y);
        right = std::max(right, box->X + box->Width - 1);
        bottom = std::max(bottom, box->Y + box->Height - 1);
    }
    box = PixelBox{left, top, right - left + 1, bottom - top + 1};
}

PixelBox WithMargin(const PixelBox& box, int32_t margin, int32_t width, int32_t height) {
    const int64_t left = std::max<int64_t>(0, int64_t{box.X} - margin);
    const int64_t top = std::max<int64_t>(0, int64_t{box.Y} - margin);
    const int64_t right = std::min<int64_t>(width, int64_t{box.X} + box.Width + margin);
    const int64_t bottom = std::min<int64_t>(height, int64_t{box.Y} + box.Height + margin);
    return {static_cast<int32_t>(left), static_cast<int32_t>(top),
            static_cast<int32_t>(std::max<int64_t>(0, right - left)),
            static_cast<int32_t>(std::max<int64_t>(0, bottom - top))};
}

RgbaFrame Cut(const RgbaFrame& frame, const PixelBox& box) {
    RgbaFrame out{box.Width, box.Height,
                  std::vector<uint8_t>(PixelCount(box.Width, box.Height) * 4)};
    if (frame.Pixels.size() != PixelCount(frame.Width, frame.Height) * 4) return out;
    for (int32_t y = 0; y < box.Height; ++y) {
        const int64_t fromY = int64_t{box.Y} + y;
        if (fromY < 0 || fromY >= frame.Height) continue;
        for (int32_t x = 0; x < box.Width; ++x) {
            const int64_t fromX = int64_t{box.X} + x;
            if (fromX < 0 || fromX >= frame.Width) continue;
            const size_t from = (static_cast<size_t>(fromY) * static_cast<size_t>(frame.Width) +
                                 static_cast<size_t>(fromX)) *
                                4;
            const size_t to =
                (static_cast<size_t>(y) * static_cast<size_t>(box.Width) + static_cast<size_t>(x)) *
                4;
            std::copy_n(&frame.Pixels[from], 4, &out.Pixels[to]);
        }
    }
    return out;
}

RgbaFrame Resample(const RgbaFrame& frame, int32_t width, int32_t height) {
    if (width < 1 || height < 1 || frame.Width < 1 || frame.Height < 1 ||
        frame.Pixels.size() != PixelCount(frame.Width, frame.Height) * 4) {
        return {};
    }
    if (width == frame.Width && height == frame.Height) return frame;
    const std::vector<Tap> across = TapsOf(frame.Width, width);
    const std::vector<Tap> down = TapsOf(frame.Height, height);
    // Rows first, kept as exact sums (units of 1 / width of a pixel), then columns; the one
    // division at the end rounds half up.
    const size_t inWidth = static_cast<size_t>(frame.Width);
    std::vector<int64_t> rows(static_cast<size_t>(frame.Height) * static_cast<size_t>(width) * 4);
    for (size_t y = 0; y < static_cast<size_t>(frame.Height); ++y) {
        for (size_t x = 0; x < static_cast<size_t>(width); ++x) {
            const Tap& tap = across[x];
            int64_t* sum = &rows[(y * static_cast<size_t>(width) + x) * 4];
            for (size_t i = 0; i < tap.Weights.size(); ++i) {
                const uint8_t* pixel =
                    &frame.Pixels[(y * inWidth + static_cast<size_t>(tap.First) + i) * 4];
                for (int c = 0; c < 4; ++c) sum[c] += tap.Weights[i] * pixel[c];
            }
        }
    }
    RgbaFrame out{width, height, std::vector<uint8_t>(PixelCount(width, height) * 4)};
    const int64_t whole = int64_t{frame.Width} * frame.Height;  // weight of every output pixel
    for (size_t y = 0; y < static_cast<size_t>(height); ++y) {
        const Tap& tap = down[y];
        for (size_t x = 0; x < static_cast<size_t>(width); ++x) {
            int64_t sum[4] = {0, 0, 0, 0};
            for (size_t i = 0; i < tap.Weights.size(); ++i) {
                const int64_t* row =
                    &rows[((static_cast<size_t>(tap.First) + i) * static_cast<size_t>(width) + x) *
                          4];
                for (int c = 0; c < 4; ++c) sum[c] += tap.Weights[i] * row[c];
            }
            uint8_t* pixel = &out.Pixels[(y * static_cast<size_t>(width) + x) * 4];
            for (int c = 0; c < 4; ++c)
                pixel[c] = static_cast<uint8_t>((2 * sum[c] + whole) / (2 * whole));
        }
    }
    return out;
}

std::vector<uint8_t> StraightRgba(const RgbaFrame& frame) {
    std::vector<uint8_t> out(frame.Pixels.size());
    for (size_t i = 0; i + 3 < frame.Pixels.size(); i += 4) {
        const int alpha = frame.Pixels[i + 3];
        out[i + 3] = static_cast<uint8_t>(alpha);
        if (alpha == 0) continue;
        for (size_t c = 0; c < 3; ++c) {
            const int straight = (frame.Pixels[i + c] * 255 + alpha / 2) / alpha;
            out[i + c] = static_cast<uint8_t>(std::min(255, straight));
        }
    }
    return out;
}

std::vector<uint8_t> BgrOverBlack(const RgbaFrame& frame) {
    std::vector<uint8_t> out(frame.Pixels.size() / 4 * 3);
    for (size_t p = 0; p < out.size() / 3; ++p) {
        out[p * 3] = frame.Pixels[p * 4 + 2];
        out[p * 3 + 1] = frame.Pixels[p * 4 + 1];
        out[p * 3 + 2] = frame.Pixels[p * 4];
    }
    return out;
}

void Paste(const RgbaFrame& cell, RgbaFrame& atlas, int32_t x, int32_t y) {
    for (int32_t row = 0; row < cell.Height; ++row) {
        const int64_t toY = int64_t{y} + row;
        if (toY < 0 || toY >= atlas.Height) continue;
        for (int32_t column = 0; column < cell.Width; ++column) {
            const int64_t toX = int64_t{x} + column;
            if (toX < 0 || toX >= atlas.Width) continue;
            std::copy_n(&cell.Pixels[(static_cast<size_t>(row) * static_cast<size_t>(cell.Width) +
                                      static_cast<size_t>(column)) *
                                     4],
                        4,
                        &atlas.Pixels[(static_cast<size_t>(toY) * static_cast<size_t>(atlas.Width) +
                                       static_cast<size_t>(toX)) *
                                      4]);
        }
    }
}

}  // namespace pp
