#include "tests/app/x_server.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace pp::test {
namespace {

int IgnoreXError(::Display*, XErrorEvent*) {
    return 0;
}

Window FindWindowTitled(::Display* display, Window under, const char* title) {
    char* name = nullptr;
    if (XFetchName(display, under, &name) != 0 && name != nullptr) {
        const bool match = std::string(name) == title;
        XFree(name);
        if (match) return under;
    }
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, under, &root, &parent, &children, &count) == 0) return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && found == 0; ++i) {
        found = FindWindowTitled(display, children[i], title);
    }
    if (children != nullptr) XFree(children);
    return found;
}

}  // namespace

XServer::XServer() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    for (int fd : {0, 1, 2}) {
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
    }
    char* argv[] = {const_cast<char*>("Xvfb"),
                    const_cast<char*>("-displayfd"),
                    const_cast<char*>("3"),
                    const_cast<char*>("-screen"),
                    const_cast<char*>("0"),
                    const_cast<char*>("1024x768x24"),
                    const_cast<char*>("-nolisten"),
                    const_cast<char*>("tcp"),
                    nullptr};
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

XServer::~XServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
}

std::optional<LitCounts> CountLitPixels(const std::string& displayName) {
    ::Display* display = XOpenDisplay(displayName.c_str());
    if (display == nullptr) return std::nullopt;
    XSetErrorHandler(&IgnoreXError);
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
                    if (x >= boxes[b][0] && y >= boxes[b][1] && x < boxes[b][2] &&
                        y < boxes[b][3]) {
                        ++counts->Boxes[b];
                    }
                }
            }
        }
        XDestroyImage(image);
    }
    XCloseDisplay(display);
    return counts;
}

}  // namespace pp::test
