#include "platform/video.h"

#include <SDL.h>

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
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
}

void ClearVideoError() {
    SDL_ClearError();
}

std::string VideoErrorText() {
    const char* text = SDL_GetError();
    return text != nullptr && text[0] != '\0' ? std::string("SDL: ") + text : "";
}

void EndVideo() {
    SDL_Quit();
}

}  // namespace pp
