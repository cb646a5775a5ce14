// Shared by the GL tests: one 800 x 600 window with its screen for the whole test binary,
// tiny PNG fixtures made in memory, and pixel access to the read-back back buffer.
#pragma once

#include <cstdint>
#include <vector>

namespace pp::test {

// Holds a reference on SDL video and its GL library for the rest of the test binary. SDL
// otherwise unloads Mesa's driver whenever the last GL window or the video subsystem goes,
// and every unload leaves the driver's once-initialised state behind, which LeakSanitizer
// reports as leaks in a module it can no longer name. Returns false without video.
bool KeepGraphicsDriverLoaded();

// Opens window 0 and its 800 x 600 screen (if not open), enables PNG and empties the quad
// table. Returns false when the graphics system cannot start.
bool OpenTestScreen();

// Closes everything OpenTestScreen opened.
void CloseTestScreen();

struct Rgba {
    uint8_t R, G, B, A;
};

// PNG bytes of a width x height image given as top-down RGBA pixels (alpha dropped when
// withAlpha is false).
std::vector<uint8_t> EncodePng(int32_t width, int32_t height, const std::vector<Rgba>& pixels,
                               bool withAlpha = true);

// Loads the pixels as sprite `number` with flags 12 and makes quad sprite `number` from it.
// Returns false when either step fails.
bool MakeQuadFromPixels(int32_t number, int32_t width, int32_t height,
                        const std::vector<Rgba>& pixels);

struct Bgr {
    uint8_t B, G, R;
    bool operator==(const Bgr&) const = default;
};

// The back buffer as read by ReadScreenPixels.
class Frame {
  public:
    Frame();  // reads the back buffer now
    Bgr At(int32_t x, int32_t y) const;
    // Pixels that differ from colour inside the rectangle [x0, x1) x [y0, y1).
    int32_t CountNot(Bgr colour, int32_t x0, int32_t y0, int32_t x1, int32_t y1) const;
    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    int32_t Width() const { return width_; }

  private:
    std::vector<uint8_t> bytes_;
    int32_t width_ = 0, height_ = 0;
};

}  // namespace pp::test
