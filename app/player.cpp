// The player: the scene in a window on the real clock, frame after frame, until the window is
// closed (or the process is asked to end, which the window layer turns into a close request).
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/commands.h"
#include "app/scene.h"
#include "render/window.h"
#include "runtime/clock.h"

namespace pp {
namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// Limits SDL to the video drivers that show a window on an announced display, unless
// SDL_VIDEODRIVER names drivers itself. Left alone, SDL falls back to its offscreen driver
// when there is no display, and the player would draw frames nobody can see. nullopt when no
// display is announced at all.
std::optional<SceneProblem> ChooseVideoDriver() {
    if (IsSet("SDL_VIDEODRIVER")) return std::nullopt;
    std::string drivers;
    if (IsSet("DISPLAY")) drivers = "x11";
    if (IsSet("WAYLAND_DISPLAY")) drivers += drivers.empty() ? "wayland" : ",wayland";
    if (drivers.empty()) {
        return SceneProblem{SceneProblem::NoDisplay, "DISPLAY and WAYLAND_DISPLAY are unset"};
    }
    SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
    return std::nullopt;
}

// One line: why nothing can be shown, and what to do instead.
void ReportProblem(const SceneProblem& problem) {
    const std::string sdl = problem.Text.empty() ? "" : " (" + problem.Text + ")";
    switch (problem.What) {
        case SceneProblem::NoDisplay:
            std::fprintf(stderr,
                         "particleplayer: no display found%s; run it in a desktop session, or "
                         "use 'particleplayer render' to draw frames without a display\n",
                         sdl.c_str());
            break;
        case SceneProblem::NoWindow:
            std::fprintf(stderr,
                         "particleplayer: cannot open the 800 x 600 window%s; check the "
                         "display, or use 'particleplayer render' to draw frames without one\n",
                         sdl.c_str());
            break;
        case SceneProblem::NoScreen:
            std::fprintf(stderr,
                         "particleplayer: cannot draw with OpenGL 3.3 in the window%s; install "
                         "or fix the OpenGL driver (Mesa: libgl1-mesa-dri), or use "
                         "'particleplayer render' to draw frames without a display\n",
                         sdl.c_str());
            break;
    }
}

}  // namespace

int RunPlayer(CommandArgs) {
    if (const std::optional<SceneProblem> problem = ChooseVideoDriver()) {
        ReportProblem(*problem);
        return 1;
    }
    RealClock clock;
    Engine engine(clock);
    if (const std::optional<SceneProblem> problem = StartScene(engine, 0)) {
        ReportProblem(*problem);
        StopScene();
        return 1;
    }
    if (const std::string note = MissingDataNote(); !note.empty()) {
        std::fprintf(stderr, "particleplayer: %s\n", note.c_str());
    }

    for (;;) {
        const int32_t event = WaitEvent(5);
        if (event == kEventCloseRequested) break;
        // A pass that handled an event draws nothing; the next quiet 5 ms bring the frame.
        if (event != 0) continue;
        DrawSceneFrame(engine);
    }
    StopScene();
    return 0;
}

}  // namespace pp
