// The windowed player end to end under a private X server (Xvfb): it draws the scene into its
// window, read back from the screen through Xlib, until a SIGTERM closes it cleanly.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <thread>

#include "tests/app/run_binary.h"

// Last: Xlib's macros (Status, None, ...) clash with other names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#undef Status

namespace pp {
namespace {

// Xvfb on a display number it picks itself, so tests never collide: Display is ":N" once it
// accepts clients, or empty when it did not start.
struct XServer {
    XServer() {
        FILE* out = popen(
            "Xvfb -displayfd 1 -screen 0 1024x768x24 -br -nolisten tcp 2>/dev/null & echo $!", "r");
        int number = -1;
        if (out != nullptr && std::fscanf(out, "%d %d", &Pid, &number) == 2)
            Display = ":" + std::to_string(number);
        if (out != nullptr) pclose(out);
    }
    ~XServer() {
        if (Pid > 0) kill(Pid, SIGTERM);
    }
    pid_t Pid = -1;
    std::string Display;
};

// Lit (not black) pixels of the screen of display `name` (black where no window is), or -1 when
// it cannot be read.
int32_t CountLitPixels(const std::string& name) {
    ::Display* display = XOpenDisplay(name.c_str());
    if (display == nullptr) return -1;
    XImage* image =
        XGetImage(display, DefaultRootWindow(display), 0, 0, 1024, 768, AllPlanes, ZPixmap);
    int32_t lit = image != nullptr ? 0 : -1;
    for (int32_t y = 0; image != nullptr && y < 768; ++y) {
        for (int32_t x = 0; x < 1024; ++x) lit += (XGetPixel(image, x, y) & 0xFFFFFF) != 0;
    }
    if (image != nullptr) XDestroyImage(image);
    XCloseDisplay(display);
    return lit;
}

TEST(Player, UnderXvfbDrawsTheSceneAndExitsCleanlyOnSigterm) {
    XServer server;
    ASSERT_FALSE(server.Display.empty()) << "Xvfb did not start (Debian package xvfb)";
    test::RunOptions options{
        PP_SOURCE_DIR, {"DISPLAY=" + server.Display}, {"WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}};
    // SIGTERM after 8 s; a player still running a second later (ten under the sanitizers,
    // whose leak check walks Mesa's heap too) is killed, which fails the status.
#if defined(__SANITIZE_ADDRESS__)
    options.Prefix = "timeout --preserve-status -s TERM -k 10 8";
#else
    options.Prefix = "timeout --preserve-status -s TERM -k 1 8";
#endif
    auto player = std::async(std::launch::async, [&] { return test::RunBinary({}, options); });
    // The scene lit once it has run a little (where each effect draws, render's test checks).
    int32_t lit = -1;
    for (int look = 0; look < 28 && lit <= 5000; ++look) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        lit = CountLitPixels(server.Display);
    }
    const test::RunResult result = player.get();
    EXPECT_TRUE(result.Status == 0 && result.Err.empty()) << result.Status << " " << result.Err;
    EXPECT_GT(lit, 5000) << "lit pixels on " << server.Display;
}

}  // namespace
}  // namespace pp
