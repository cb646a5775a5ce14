// A palette of at most 256 colours for one frame and the frame's pixels as indices into it,
// for GIF output. No dithering and no randomness: the same pixels always give the same result.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace pp {

struct PalettedFrame {
    std::vector<uint32_t> Palette;  // 0xFFRRGGBB, 1 to 256 entries
    std::vector<uint8_t> Indices;   // one per pixel, in the order of the pixels given
};

// Chooses the palette from pixels given as B, G, R byte triples (a trailing partial triple is
// ignored). A frame of at most maxColours (1 to 256) distinct colours keeps them exactly, in
// increasing order; otherwise the colours are split by median cut into that many groups, each
// drawn as its pixels' mean (rounded), and every pixel takes the group nearest to the mean of its
// cell of 32 levels a channel, the lower index where two are as near.
PalettedFrame PaletteFromBgr(std::span<const uint8_t> bgr, size_t maxColours = 256);

}  // namespace pp
