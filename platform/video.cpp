#include "platform/video.h"

#include <SDL.h>
#include <dlfcn.h>
#include <link.h>

#include <cstdlib>

namespace pp {
namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

}  // namespace

DisplayDrivers ChooseDisplayDrivers() {
    if (IsSet("SDL_VIDEODRIVER")) return DisplayDrivers::UserChosen;
    std::string drivers;
    if (IsSet("DISPLAY")) drivers = "x11";
    if (IsSet("WAYLAND_DISPLAY")) drivers += drivers.empty() ? "wayland" : ",wayland";
    if (drivers.empty()) return DisplayDrivers::NoDisplay;
    SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
    return DisplayDrivers::Chosen;
}

void UseOffscreenVideo() {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    // Nothing offscreen needs a display server: without this, an EGL that guesses its
    // platform may try a Wayland connection, whose library complains on stderr when
    // XDG_RUNTIME_DIR is not set. The user's own choice stays.
    setenv("EGL_PLATFORM", "surfaceless", 0);
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
}

void ClearVideoError() {
    SDL_ClearError();
}

std::string VideoErrorText() {
    const char* text = SDL_GetError();
    return text != nullptr && text[0] != '\0' ? std::string("SDL: ") + text : "";
}

void KeepLoadedLibrariesUntilExit() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0') {
                // RTLD_NOLOAD only finds the loaded library; the extra reference is never
                // given back, by design.
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            }
            return 0;
        },
        nullptr);
}

void EndVideo() {
    SDL_Quit();
}

}  // namespace pp
