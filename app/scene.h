// The player's scene: four effects at fixed places on an 800 x 600 screen, with the start-up,
// the frame and the shut-down around them. Shared by the windowed player (real clock) and
// `render` (virtual clock, hidden window), so both draw the same thing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "particleplayer/world.h"

namespace pp {

// One effect of the scene: its sprite and quad sprite number, its two files (relative to the
// working directory, '\' as folder separator) and its emitter position.
struct SceneEffect {
    int32_t Number;
    const char* Image;
    const char* Effect;
    int32_t X, Y;
};

// In load order.
inline constexpr SceneEffect kScene[] = {
    {1, "Data\\Sternchen.png", "Data\\Sternchen.txt", 100, 200},
    {2, "Data\\Feuer.png", "Data\\Feuer.txt", 600, 500},
    {3, "Data\\Energie.png", "Data\\Energie.txt", 200, 400},
    {4, "Data\\Luftblase.png", "Data\\Luftblase.txt", 600, 300},
};

inline constexpr int32_t kSceneWidth = 800;
inline constexpr int32_t kSceneHeight = 600;
// The screen's size: the scene's own unless a caller asks for another (its effects keep their
// places).
struct FrameSize {
    int32_t Width = kSceneWidth;
    int32_t Height = kSceneHeight;
};
inline constexpr char kSceneTitle[] = "SCREEN";

// Why the scene could not start. Text says more (the video library's own message), or is
// empty.
struct SceneProblem {
    enum Kind { NoDisplay, NoWindow, NoScreen } What;
    std::string Text;
};

// Where the scene was to be shown, which decides how its problems are worded.
enum class ScenePlace {
    Window,        // the player's window on a display
    HiddenWindow,  // render's hidden window, drawn without a display
    Canvas,        // the page's canvas
};

// What went wrong, in a few words, with the problem's Text in brackets when it has one; the
// hidden window's words name its size.
std::string SceneProblemText(const SceneProblem& problem, ScenePlace place, FrameSize size = {});

// What the user can do about the problem; empty when there is no advice.
std::string SceneProblemAdvice(const SceneProblem& problem, ScenePlace place);

// One line on stderr, "WHO: ...": why the window cannot be shown, and what to do instead.
void ReportWindowProblem(std::string_view who, const SceneProblem& problem);

// Opens the library's screen in a window titled title, 800 x 600 unless `size` says otherwise:
// shown on a display the environment announces, or hidden on SDL's offscreen driver, which
// needs no display. A problem when there is no display to show it on, or when the video
// system, the window or its screen fails; call StopScene afterwards in either case.
std::optional<SceneProblem> OpenSceneScreen(const char* title, bool hidden, FrameSize size = {});

// Opens the screen as OpenSceneScreen does and loads the four effects with their sprites (from
// SceneFolder()), in that order. Missing or broken data files are no problem: their effects
// run and draw nothing. Returns a problem, having loaded nothing, when the screen cannot be
// opened. Call StopScene afterwards in either case.
std::optional<SceneProblem> StartScene(particleplayer::World& world, bool hidden,
                                       FrameSize size = {});

// The player's frame loop: waits up to 5 ms for an event; a pass without one draws a frame
// with `frame` (particleplayer::DrawFrame for the bare scene), a pass that handled one draws
// nothing, so the next quiet 5 ms bring the frame. `afterWait` runs after every wait (not after a
// close request) and ends the loop by returning false; a close request ends it too.
void RunFrameLoop(const std::function<bool()>& afterWait, const std::function<void()>& frame);

// Closes the library's screen with its window and sprites and ends the use of the video
// library. The world, with every effect and particle, goes with its owner
// afterwards.
void StopScene();

// Where the scene's files are looked for: "" for the working directory when it holds a Data
// folder, else <folder of the executable>/../share/particleplayer when that holds one (an
// installed player), else "" again.
std::filesystem::path SceneFolder();

// The scene's files that cannot be opened from the scene's folder, as paths with '/'.
std::vector<std::string> MissingSceneFiles();

// "" when every data file is there; otherwise one sentence for stderr that says how many
// are missing and where they are looked for.
std::string MissingDataNote();

// Runs f in the scene's folder (see SceneFolder), where the scene's paths hold.
void InSceneFolderRun(const std::function<void()>& f);

}  // namespace pp
