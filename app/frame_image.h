// Frames as pictures to take out of the program: alpha worked out from the same frame drawn
// over black and over white, the box of lit pixels, a cut-out, a resampled size and the
// straight-alpha bytes that picture files hold. Plain CPU arithmetic on bytes, no GL.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace pp {

// Top-down rows of R, G, B, A bytes, each colour already multiplied by its alpha (a frame
// over black shows exactly its colours).
struct RgbaFrame {
    int32_t Width = 0, Height = 0;
    std::vector<uint8_t> Pixels;  // Width * Height * 4
};

// A rectangle of pixels: left column, top row and size.
struct PixelBox {
    int32_t X = 0, Y = 0, Width = 0, Height = 0;
};

// Where a transparent frame's alpha comes from. Coverage: how much of a background still shows
// through, measured from the frame over black and over white, so that the frame laid "over"
// any colour gives what drawing over that colour gives for the usual over factors; where
// that share differs between channels (additive, multiplying pairs) the least transparent
// channel decides. Brightness: the brightest channel over black, the usual choice for glows
// (black goes transparent, and over black the frame is the same).
enum class AlphaFrom { Coverage, Brightness };

// The frame from its pixels over black and over white, both top-down B, G, R rows of
// width x height. Over black it gives back `overBlack` exactly.
RgbaFrame AlphaFromBlackAndWhite(int32_t width, int32_t height, std::span<const uint8_t> overBlack,
                                 std::span<const uint8_t> overWhite, AlphaFrom from);

// An opaque frame (alpha 255) from top-down B, G, R rows.
RgbaFrame OpaqueFrame(int32_t width, int32_t height, std::span<const uint8_t> bgr);

// Widens `box` (none yet: nullopt) to hold every pixel of `frame` that differs from the same
// pixel of `background` (a frame of the same size). Frames of another size change nothing.
void GrowLitBox(const RgbaFrame& frame, const RgbaFrame& background, std::optional<PixelBox>& box);

// The box grown by `margin` on every side and held inside width x height.
PixelBox WithMargin(const PixelBox& box, int32_t margin, int32_t width, int32_t height);

// The part of the frame inside the box (held inside the frame; outside is transparent).
RgbaFrame Cut(const RgbaFrame& frame, const PixelBox& box);

// The frame resampled to width x height (each at least 1): every new pixel is the mean of the
// old pixels under it, weighted by how much of each it covers, taken with colours multiplied
// by alpha, so that transparent pixels lend no colour.
RgbaFrame Resample(const RgbaFrame& frame, int32_t width, int32_t height);

// Top-down R, G, B, A rows with straight (not multiplied) colours, as PNG and video hold them:
// each colour divided by its alpha, rounded, so that multiplying back gives the colour.
std::vector<uint8_t> StraightRgba(const RgbaFrame& frame);

// Top-down B, G, R rows of the frame laid over black (alpha dropped).
std::vector<uint8_t> BgrOverBlack(const RgbaFrame& frame);

// Copies `cell` into `atlas` with its top-left pixel at (x, y); parts outside are left out.
void Paste(const RgbaFrame& cell, RgbaFrame& atlas, int32_t x, int32_t y);

}  // namespace pp
