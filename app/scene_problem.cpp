// The words of the scene's start-up problems, one table for the player's window, render's hidden
// window and the page's canvas.
#include <string>

#include "app/scene.h"

namespace pp {
namespace {

struct ProblemWords {
    const char* What;    // "{size}" stands for the screen's size
    const char* Advice;  // empty for none
};

constexpr char kMesaAdvice[] =
    "it needs Mesa's EGL and OpenGL drivers (libegl-mesa0, libgl1-mesa-dri)";

// One row per SceneProblem::Kind, one column per ScenePlace.
constexpr ProblemWords kProblemWords[3][3] = {
    {
        {"no display found",
         "run it in a desktop session, or use 'particleplayer render' to draw frames without a "
         "display"},
        {"cannot start SDL's offscreen video driver", kMesaAdvice},
        {"cannot start the browser's graphics", ""},
    },
    {
        {"cannot open the 800 x 600 window",
         "check the display, or use 'particleplayer render' to draw frames without one"},
        {"cannot open the hidden {size} window", kMesaAdvice},
        {"cannot size the 800 x 600 canvas", ""},
    },
    {
        {"cannot draw with OpenGL 3.3 in the window",
         "install or fix the OpenGL driver (Mesa: libgl1-mesa-dri), or use 'particleplayer "
         "render' to draw frames without a display"},
        {"cannot get an OpenGL 3.3 context without a display", kMesaAdvice},
        {"cannot draw with WebGL 2 in this browser", ""},
    },
};

const ProblemWords& WordsOf(const SceneProblem& problem, ScenePlace place) {
    return kProblemWords[problem.What][static_cast<int>(place)];
}

void ReplaceAll(std::string& text, const std::string& mark, const std::string& with) {
    for (size_t at = text.find(mark); at != std::string::npos;
         at = text.find(mark, at + with.size())) {
        text.replace(at, mark.size(), with);
    }
}

}  // namespace

std::string SceneProblemText(const SceneProblem& problem, ScenePlace place, FrameSize size) {
    std::string what = WordsOf(problem, place).What;
    ReplaceAll(what, "{size}", std::to_string(size.Width) + " x " + std::to_string(size.Height));
    return what + (problem.Text.empty() ? "" : " (" + problem.Text + ")");
}

std::string SceneProblemAdvice(const SceneProblem& problem, ScenePlace place) {
    return WordsOf(problem, place).Advice;
}

}  // namespace pp
