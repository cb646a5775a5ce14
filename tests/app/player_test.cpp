// The windowed player end to end under a private X server (Xvfb): it draws the scene into its
// window, read back through Xlib, until a SIGTERM closes it cleanly.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstring>
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

// Xvfb on a display number it picks itself, so tests never collide; Display() is ":N" once it
// accepts clients, or empty when it did not start.
class XServer {
  public:
    XServer() {
        FILE* out = popen(
            "Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null & echo pid $!", "r");
        char line[64];
        while ((pid_ < 0 || display_.empty()) && out != nullptr &&
               std::fgets(line, sizeof line, out) != nullptr) {
            const std::string text(line, std::strcspn(line, "\n"));
            if (text.rfind("pid ", 0) == 0) {
                pid_ = std::stoi(text.substr(4));
            } else {
                display_ = ":" + text;
            }
        }
        if (out != nullptr) pclose(out);
    }
    ~XServer() {
        if (pid_ > 0) kill(pid_, SIGTERM);
    }
    const std::string& Display() const { return display_; }

  private:
    pid_t pid_ = -1;
    std::string display_;
};

Window FindWindowTitled(::Display* display, Window under, const char* title) {
    char* name = nullptr;
    if (XFetchName(display, under, &name) != 0 && name != nullptr) {
        const bool match = std::string(name) == title;
        XFree(name);
        if (match) return under;
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, under, &root, &parent, &children, &count) == 0) return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && found == 0; ++i) {
        found = FindWindowTitled(display, children[i], title);
    }
    if (children != nullptr) XFree(children);
    return found;
}

// Lit (not black) pixels of the 800 x 600 window titled "SCREEN", or -1 when it cannot be read.
int32_t CountLitPixels(const std::string& displayName) {
    ::Display* display = XOpenDisplay(displayName.c_str());
    if (display == nullptr) return -1;
    XSetErrorHandler([](::Display*, XErrorEvent*) { return 0; });
    const Window window = FindWindowTitled(display, DefaultRootWindow(display), "SCREEN");
    XImage* image =
        window != 0 ? XGetImage(display, window, 0, 0, 800, 600, AllPlanes, ZPixmap) : nullptr;
    int32_t lit = image != nullptr ? 0 : -1;
    for (int32_t y = 0; image != nullptr && y < 600; ++y) {
        for (int32_t x = 0; x < 800; ++x) lit += (XGetPixel(image, x, y) & 0xFFFFFF) != 0;
    }
    if (image != nullptr) XDestroyImage(image);
    XCloseDisplay(display);
    return lit;
}

TEST(Player, UnderXvfbDrawsTheSceneAndExitsCleanlyOnSigterm) {
    XServer server;
    ASSERT_FALSE(server.Display().empty()) << "Xvfb did not start (Debian package xvfb)";
    test::RunOptions options;
    options.WorkingDir = PP_SOURCE_DIR;
    options.UnsetEnv = {"WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};
    options.Env = {"DISPLAY=" + server.Display()};
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
    const auto lastLook = std::chrono::steady_clock::now() + std::chrono::seconds(7);
    while (lit <= 5000 && std::chrono::steady_clock::now() < lastLook) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        lit = CountLitPixels(server.Display());
    }
    const test::RunResult result = player.get();
    EXPECT_EQ(result.Status, 0) << result.Err;
    EXPECT_EQ(result.Err, "");
    EXPECT_GT(lit, 5000) << "lit pixels of the window titled SCREEN on " << server.Display();
}

}  // namespace
}  // namespace pp
