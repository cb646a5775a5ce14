// The windowed player end to end under a private X server (Xvfb): it draws the scene into its
// window, read back from the screen through Xlib, until a SIGTERM closes it cleanly.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <string>

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

// The test itself sends SIGTERM once the scene is lit (or finds the player gone), so nothing
// depends on how fast the machine draws; a player that never lights or never exits is caught
// by the test's time-out.
TEST(Player, UnderXvfbDrawsTheSceneAndExitsCleanlyOnSigterm) {
    XServer server;
    ASSERT_FALSE(server.Display.empty()) << "Xvfb did not start (Debian package xvfb)";
    const std::string pidFile = ::testing::TempDir() + "pp_player_" + std::to_string(getpid());
    std::remove(pidFile.c_str());
    // The shell writes its process number and becomes the player, keeping that number.
    test::RunOptions options{PP_SOURCE_DIR,
                             {"DISPLAY=" + server.Display},
                             {"WAYLAND_DISPLAY", "SDL_VIDEODRIVER"},
                             "sh -c 'echo $$ >" + pidFile + " && exec \"$0\"'"};
    auto player = std::async(std::launch::async, [&] { return test::RunBinary({}, options); });
    int32_t lit = -1;
    while (lit <= 5000 &&
           player.wait_for(std::chrono::milliseconds(250)) != std::future_status::ready) {
        lit = CountLitPixels(server.Display);
    }
    pid_t pid = 0;
    if (FILE* in = std::fopen(pidFile.c_str(), "r")) {
        if (std::fscanf(in, "%d", &pid) != 1) pid = 0;
        std::fclose(in);
    }
    if (pid > 0 && player.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        kill(pid, SIGTERM);
    const test::RunResult result = player.get();
    std::remove(pidFile.c_str());
    EXPECT_TRUE(result.Status == 0 && result.Err.empty()) << result.Status << " " << result.Err;
    EXPECT_GT(lit, 5000) << "lit pixels on " << server.Display;
}

}  // namespace
}  // namespace pp
