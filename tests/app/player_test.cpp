// The windowed player end to end under a private X server (Xvfb): it draws the scene into its
// window, read back through Xlib, until a SIGTERM closes it cleanly.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "tests/app/run_binary.h"

// Last: Xlib's macros (Status, None, ...) clash with other names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#undef Status

extern char** environ;

namespace pp {
namespace {

// Xvfb on a display number it picks itself (-displayfd), so tests never collide; Display() is
// ":N" once it accepts clients, or empty when it did not start.
class XServer {
  public:
    XServer() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
        for (int fd : {0, 1, 2})
            posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
        std::string args[] = {"Xvfb", "-displayfd",  "3",         "-screen",
                              "0",    "1024x768x24", "-nolisten", "tcp"};
        char* argv[] = {args[0].data(), args[1].data(), args[2].data(),
                        args[3].data(), args[4].data(), args[5].data(),
                        args[6].data(), args[7].data(), nullptr};
        if (posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv, environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        // The server writes its display number and a line end once it accepts clients.
        std::string number;
        pollfd wait{fds[0], POLLIN, 0};
        char c = 0;
        while (pid_ > 0 && poll(&wait, 1, 30000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(fds[0]);
        if (!number.empty()) display_ = ":" + number;
    }
    ~XServer() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
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

// Lit (not black) pixels of the window titled "SCREEN", in all and in the box around each of
// the scene's four effects; nullopt when the window cannot be found or read.
struct LitCounts {
    int32_t Total = 0;
    int32_t Boxes[4] = {};
};

std::optional<LitCounts> CountLitPixels(const std::string& displayName) {
    ::Display* display = XOpenDisplay(displayName.c_str());
    if (display == nullptr) return std::nullopt;
    XSetErrorHandler([](::Display*, XErrorEvent*) { return 0; });
    std::optional<LitCounts> counts;
    const Window window = FindWindowTitled(display, DefaultRootWindow(display), "SCREEN");
    XImage* image =
        window != 0 ? XGetImage(display, window, 0, 0, 800, 600, AllPlanes, ZPixmap) : nullptr;
    if (image != nullptr) {
        // Around Sternchen, Feuer, Energie and Luftblase.
        const int32_t boxes[4][4] = {
            {20, 120, 180, 280}, {520, 380, 680, 560}, {110, 310, 290, 490}, {510, 150, 690, 330}};
        counts.emplace();
        for (int32_t y = 0; y < 600; ++y) {
            for (int32_t x = 0; x < 800; ++x) {
                if ((XGetPixel(image, x, y) & 0xFFFFFF) == 0) continue;
                ++counts->Total;
                for (int b = 0; b < 4; ++b) {
                    const int32_t* box = boxes[b];
                    counts->Boxes[b] += x >= box[0] && y >= box[1] && x < box[2] && y < box[3];
                }
            }
        }
        XDestroyImage(image);
    }
    XCloseDisplay(display);
    return counts;
}

// The sanitizers' leak check at exit walks the whole heap, Mesa's included.
#if defined(__SANITIZE_ADDRESS__)
constexpr auto kExitLimit = std::chrono::seconds(10);
#else
constexpr auto kExitLimit = std::chrono::seconds(1);
#endif

TEST(Player, UnderXvfbDrawsTheSceneAndExitsCleanlyOnSigterm) {
    XServer server;
    ASSERT_FALSE(server.Display().empty()) << "Xvfb did not start (Debian package xvfb)";
    test::RunOptions options;
    options.WorkingDir = PP_SOURCE_DIR;
    options.UnsetEnv = {"WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};
    options.SetEnv = {{"DISPLAY", server.Display()}};
    test::Child player(test::PlayerBinary(), {}, options);
    ASSERT_TRUE(player.Started());

    std::this_thread::sleep_for(std::chrono::seconds(2));
    ASSERT_TRUE(player.Running()) << "the player ended on its own";
    const std::optional<LitCounts> lit = CountLitPixels(server.Display());

    ASSERT_EQ(kill(player.Pid(), SIGTERM), 0);
    const std::optional<test::RunResult> result = player.Finish(kExitLimit);
    ASSERT_TRUE(result) << "no exit after SIGTERM";
    EXPECT_EQ(result->Status, 0) << result->Err;
    EXPECT_EQ(result->Err, "");

    ASSERT_TRUE(lit) << "no window titled SCREEN on " << server.Display();
    RecordProperty("lit", std::to_string(lit->Total));
    EXPECT_GT(lit->Total, 5000);
    for (int b = 0; b < 4; ++b) EXPECT_GT(lit->Boxes[b], 500) << "effect " << b + 1;
}

}  // namespace
}  // namespace pp
