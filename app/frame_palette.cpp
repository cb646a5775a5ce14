#include "app/frame_palette.h"

#include <algorithm>
#include <array>
#include <optional>

namespace pp {
namespace {

uint32_t ColourAt(std::span<const uint8_t> bgr, size_t pixel) {
    const size_t i = pixel * 3;
    return uint32_t{bgr[i + 2]} << 16 | uint32_t{bgr[i + 1]} << 8 | uint32_t{bgr[i]};
}

// A set of up to 256 colours with their indices, open addressing over twice as many
// slots so that probes stay short.
class SmallColourMap {
  public:
    // The colour's slot: the one holding it, or the empty one where it would go.
    size_t Find(uint32_t colour) const {
        size_t slot = (colour * 2654435761u) >> (32 - kBits);
        while (keys_[slot] != 0 && keys_[slot] != colour + 1) slot = (slot + 1) & (kSlots - 1);
        return slot;
    }
    bool Holds(size_t slot) const { return keys_[slot] != 0; }
    uint8_t IndexAt(size_t slot) const { return indices_[slot]; }
    void Put(size_t slot, uint32_t colour, uint8_t index) {
        keys_[slot] = colour + 1;
        indices_[slot] = index;
    }

  private:
    static constexpr int kBits = 9;
    static constexpr size_t kSlots = size_t{1} << kBits;
    std::array<uint32_t, kSlots> keys_{};  // colour + 1; 0 for an empty slot
    std::array<uint8_t, kSlots> indices_{};
};

// The frame's own colours when there are few enough, in increasing order.
std::optional<PalettedFrame> ExactPalette(std::span<const uint8_t> bgr, size_t pixels,
                                          size_t maxColours) {
    SmallColourMap seen;
    std::vector<uint32_t> colours;
    for (size_t p = 0; p < pixels; ++p) {
        const uint32_t colour = ColourAt(bgr, p);
        const size_t slot = seen.Find(colour);
        if (seen.Holds(slot)) continue;
        if (colours.size() == maxColours) return std::nullopt;
        seen.Put(slot, colour, 0);
        colours.push_back(colour);
    }
    std::sort(colours.begin(), colours.end());
    SmallColourMap index;
    PalettedFrame frame;
    for (size_t i = 0; i < colours.size(); ++i) {
        index.Put(index.Find(colours[i]), colours[i], static_cast<uint8_t>(i));
        frame.Palette.push_back(0xFF000000u | colours[i]);
    }
    frame.Indices.resize(pixels);
    for (size_t p = 0; p < pixels; ++p)
        frame.Indices[p] = index.IndexAt(index.Find(ColourAt(bgr, p)));
    return frame;
}

// Colours counted in cells of 32 x 32 x 32 (five bits a channel), with the sum of the exact
// channel values of the pixels in each, so that a group's colour is its pixels' true mean.
struct Cell {
    uint32_t Key;  // r << 10 | g << 5 | b, five bits each
    uint64_t Count;
    std::array<uint64_t, 3> Sum;  // R, G, B

    int Coord(int axis) const { return static_cast<int>(Key >> (10 - 5 * axis)) & 31; }
};

struct Box {
    size_t Begin, End;  // cells [Begin, End)
    uint64_t Count;
    int Axis;   // the channel of the widest spread, 0 R, 1 G, 2 B
    int Range;  // that spread, in cells
};

Box MakeBox(const std::vector<Cell>& cells, size_t begin, size_t end) {
    Box box{begin, end, 0, 0, 0};
    std::array<int, 3> low{31, 31, 31}, high{0, 0, 0};
    for (size_t i = begin; i < end; ++i) {
        box.Count += cells[i].Count;
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = std::min(low[axis], cells[i].Coord(axis));
            high[axis] = std::max(high[axis], cells[i].Coord(axis));
        }
    }
    // Ties go to green, then red, then blue: the eye tells green steps apart best.
    for (int axis : {1, 0, 2}) {
        if (high[axis] - low[axis] > box.Range) {
            box.Range = high[axis] - low[axis];
            box.Axis = axis;
        }
    }
    return box;
}

// Splits the box with the most pixels times spread at the median pixel along its widest
// channel, until there are maxColours boxes or none spans more than one cell.
std::vector<Box> MedianCut(std::vector<Cell>& cells, size_t maxColours) {
    std::vector<Box> boxes{MakeBox(cells, 0, cells.size())};
    while (boxes.size() < maxColours) {
        size_t widest = 0;
        uint64_t best = 0;
        for (size_t b = 0; b < boxes.size(); ++b) {
            const uint64_t score = boxes[b].Count * static_cast<uint64_t>(boxes[b].Range);
            if (score > best) {
                best = score;
                widest = b;
            }
        }
        if (best == 0) break;
        const Box box = boxes[widest];
        const int axis = box.Axis;
        std::sort(cells.begin() + static_cast<ptrdiff_t>(box.Begin),
                  cells.begin() + static_cast<ptrdiff_t>(box.End),
                  [axis](const Cell& a, const Cell& b) {
                      return a.Coord(axis) != b.Coord(axis) ? a.Coord(axis) < b.Coord(axis)
                                                            : a.Key < b.Key;
                  });
        // The first cell that brings the running count to half the box's ends the lower part;
        // both parts keep at least one cell (a spread means at least two cells).
        size_t split = box.Begin;
        uint64_t running = 0;
        while (split < box.End - 1) {
            running += cells[split].Count;
            ++split;
            if (running * 2 >= box.Count) break;
        }
        boxes[widest] = MakeBox(cells, box.Begin, split);
        boxes.push_back(MakeBox(cells, split, box.End));
    }
    return boxes;
}

PalettedFrame MedianCutPalette(std::span<const uint8_t> bgr, size_t pixels, size_t maxColours) {
    constexpr size_t kCells = 32 * 32 * 32;
    std::vector<Cell> grid(kCells);
    const auto keyOf = [](uint32_t colour) {
        return (colour >> 19 & 31) << 10 | (colour >> 11 & 31) << 5 | (colour >> 3 & 31);
    };
    for (size_t p = 0; p < pixels; ++p) {
        const uint32_t colour = ColourAt(bgr, p);
        Cell& cell = grid[keyOf(colour)];
        ++cell.Count;
        cell.Sum[0] += colour >> 16;
        cell.Sum[1] += colour >> 8 & 0xFF;
        cell.Sum[2] += colour & 0xFF;
    }
    std::vector<Cell> cells;
    for (uint32_t key = 0; key < kCells; ++key) {
        if (grid[key].Count == 0) continue;
        cells.push_back(grid[key]);
        cells.back().Key = key;
    }

    const auto meanOf = [](const std::array<uint64_t, 3>& sum, uint64_t count) {
        std::array<int, 3> mean{};
        for (int c = 0; c < 3; ++c) mean[c] = static_cast<int>((sum[c] + count / 2) / count);
        return mean;
    };
    PalettedFrame frame;
    std::vector<std::array<int, 3>> entries;
    for (const Box& box : MedianCut(cells, maxColours)) {
        std::array<uint64_t, 3> sum{};
        for (size_t i = box.Begin; i < box.End; ++i) {
            for (int c = 0; c < 3; ++c) sum[c] += cells[i].Sum[c];
        }
        const std::array<int, 3> mean = meanOf(sum, box.Count);
        entries.push_back(mean);
        frame.Palette.push_back(0xFF000000u |
                                static_cast<uint32_t>(mean[0] << 16 | mean[1] << 8 | mean[2]));
    }
    // Each cell's pixels take the entry nearest to their mean; ties go to the lower index.
    std::vector<uint8_t> cellIndex(kCells);
    for (const Cell& cell : cells) {
        const std::array<int, 3> mean = meanOf(cell.Sum, cell.Count);
        int bestDistance = INT32_MAX;
        for (size_t e = 0; e < entries.size(); ++e) {
            int distance = 0;
            for (int c = 0; c < 3; ++c)
                distance += (mean[c] - entries[e][c]) * (mean[c] - entries[e][c]);
            if (distance < bestDistance) {
                bestDistance = distance;
                cellIndex[cell.Key] = static_cast<uint8_t>(e);
            }
        }
    }
    frame.Indices.resize(pixels);
    for (size_t p = 0; p < pixels; ++p) frame.Indices[p] = cellIndex[keyOf(ColourAt(bgr, p))];
    return frame;
}

}  // namespace

PalettedFrame PaletteFromBgr(std::span<const uint8_t> bgr, size_t maxColours) {
    const size_t pixels = bgr.size() / 3;
    maxColours = std::clamp<size_t>(maxColours, 1, 256);
    if (pixels == 0) return PalettedFrame{{0xFF000000u}, {}};
    if (std::optional<PalettedFrame> exact = ExactPalette(bgr, pixels, maxColours)) {
        return std::move(*exact);
    }
    return MedianCutPalette(bgr, pixels, maxColours);
}

}  // namespace pp
