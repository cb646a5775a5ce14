// A private X server for the player's tests and a look at what the player's window shows.
// Kept apart from the tests because Xlib's macros (Status, None, ...) clash with other names.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

namespace pp::test {

// Xvfb on a display number it picks itself (-displayfd), so tests never collide.
class XServer {
  public:
    XServer();  // waits until the server accepts clients
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // ":N", or empty when the server did not start.
    const std::string& Display() const { return display_; }

  private:
    pid_t pid_ = -1;
    std::string display_;
};

// Lit (not black) pixels in the 800 x 600 client area of the window titled "SCREEN", in all
// and inside the box around each of the scene's four effects.
struct LitCounts {
    int32_t Total = 0;
    int32_t Boxes[4] = {};
};

// nullopt when the display or the window cannot be found or read.
std::optional<LitCounts> CountLitPixels(const std::string& displayName);

}  // namespace pp::test
