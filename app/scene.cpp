#include "app/scene.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "draw/gl_screen.h"
#include "draw/quad_sprites.h"
#include "draw/sprites.h"
#include "effects/loader.h"
#include "image/image_decoders.h"
#include "particleplayer/screen.h"
#include "platform/video.h"
#include "platform/window.h"

namespace pp {
namespace {

// Enters the scene's folder for as long as it lives, when that is not the working directory,
// and goes back afterwards; the scene's paths, and the paths inside its effect files, are
// relative to that folder.
class InSceneFolder {
  public:
    InSceneFolder() {
        const std::filesystem::path folder = SceneFolder();
        if (folder.empty()) return;
        back_ = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (back_ >= 0 && chdir(folder.c_str()) != 0) {
            close(back_);
            back_ = -1;
        }
    }
    ~InSceneFolder() {
        if (back_ < 0) return;
        // Nothing sensible is left to do when the old folder went away meanwhile.
        [[maybe_unused]] const int ignored = fchdir(back_);
        close(back_);
    }
    InSceneFolder(const InSceneFolder&) = delete;
    InSceneFolder& operator=(const InSceneFolder&) = delete;

  private:
    int back_ = -1;
};

}  // namespace

std::optional<SceneProblem> ChooseVideoDriver() {
    if (ChooseDisplayDrivers() == DisplayDrivers::NoDisplay) {
        return SceneProblem{SceneProblem::NoDisplay, "DISPLAY and WAYLAND_DISPLAY are unset"};
    }
    return std::nullopt;
}

void ReportWindowProblem(std::string_view who, const SceneProblem& problem) {
    const std::string detail = problem.Text.empty() ? "" : " (" + problem.Text + ")";
    const char* what = "";
    const char* advice = "";
    switch (problem.What) {
        case SceneProblem::NoDisplay:
            what = "no display found";
            advice =
                "run it in a desktop session, or use 'particleplayer render' to draw frames "
                "without a display";
            break;
        case SceneProblem::NoWindow:
            what = "cannot open the 800 x 600 window";
            advice = "check the display, or use 'particleplayer render' to draw frames without one";
            break;
        case SceneProblem::NoScreen:
            what = "cannot draw with OpenGL 3.3 in the window";
            advice =
                "install or fix the OpenGL driver (Mesa: libgl1-mesa-dri), or use "
                "'particleplayer render' to draw frames without a display";
            break;
    }
    std::fprintf(stderr, "%.*s: %s%s; %s\n", static_cast<int>(who.size()), who.data(), what,
                 detail.c_str(), advice);
}

std::optional<SceneProblem> OpenSceneScreen(const char* title, uint32_t extraWindowFlags,
                                            FrameSize size) {
    // The runtime services first; the image-decoder registry already holds the BMP decoder.
    ClearVideoError();
    const bool graphics = InitGraphics() != 0;
    const std::string graphicsError = graphics ? "" : VideoErrorText();
    InitQuadSprites();

    // Without a video system there is nothing to draw into; the frame loop would spin
    // without ever showing anything.
    if (!graphics) return SceneProblem{SceneProblem::NoDisplay, graphicsError};
    ClearVideoError();
    if (WindowOpen(0, 0, 0, size.Width, size.Height, title, kSceneWindowFlags | extraWindowFlags) ==
        nullptr) {
        return SceneProblem{SceneProblem::NoWindow, VideoErrorText()};
    }
    ClearVideoError();
    if (OpenScreenInWindow(WindowHandle(0), 0, 0, size.Width, size.Height) == 0) {
        return SceneProblem{SceneProblem::NoScreen, VideoErrorText()};
    }
    EnablePngDecoder();
    return std::nullopt;
}

std::optional<SceneProblem> StartScene(particleplayer::World& world, uint32_t extraWindowFlags,
                                       FrameSize size) {
    if (std::optional<SceneProblem> problem =
            OpenSceneScreen(kSceneTitle, extraWindowFlags, size)) {
        return problem;
    }

    const InSceneFolder inFolder;
    for (const SceneEffect& row : kScene) {
        // A sprite that cannot be loaded leaves its particles undrawn; the scene runs on.
        particleplayer::LoadSprite(row.Number, row.Image);
        // A missing effect file still runs what the loader makes of its name; the sprite is
        // part of the load, so a prewarm draws with it too.
        particleplayer::LoadOptions options;
        options.Missing = particleplayer::MissingFile::UseNameAsText;
        options.Sprite = particleplayer::IntValueRange{row.Number, -65535, 1};
        world.LoadEffectFile(row.Effect, static_cast<float>(row.X), static_cast<float>(row.Y),
                             options);
    }
    return std::nullopt;
}

void RunFrameLoop(const std::function<bool()>& afterWait, const std::function<void()>& frame) {
    for (;;) {
        const int32_t event = WaitEvent(5);
        if (event == kEventCloseRequested || !afterWait()) break;
        if (event != 0) continue;
        frame();
    }
}

void StopScene() {
    KeepLoadedLibrariesUntilExit();
    CloseAllWindows();
    ShutdownGraphics();
    FreeAllQuadSprites();
    EndVideo();
}

std::filesystem::path SceneFolder() {
    std::error_code error;
    if (std::filesystem::is_directory("Data", error)) return {};
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    const std::filesystem::path installed =
        exe.parent_path().parent_path() / "share" / "particleplayer";
    if (!std::filesystem::is_directory(installed / "Data", error)) return {};
    return installed;
}

std::vector<std::string> MissingSceneFiles() {
    const InSceneFolder inFolder;
    std::vector<std::string> missing;
    for (const SceneEffect& row : kScene) {
        for (const char* file : {row.Image, row.Effect}) {
            const std::string path = EffectOpenPath(file);
            std::FILE* opened = std::fopen(path.c_str(), "rb");
            if (opened == nullptr) {
                missing.push_back(path);
            } else {
                std::fclose(opened);
            }
        }
    }
    return missing;
}

void InSceneFolderRun(const std::function<void()>& f) {
    const InSceneFolder inFolder;
    f();
}

std::string MissingDataNote() {
    const std::vector<std::string> missing = MissingSceneFiles();
    if (missing.empty()) return "";
    std::error_code ignored;
    const std::filesystem::path folder = SceneFolder();
    const std::string here =
        folder.empty() ? std::filesystem::current_path(ignored).string() : folder.string();
    return std::to_string(missing.size()) + " of the scene's 8 data files cannot be read (" +
           missing.front() + (missing.size() > 1 ? ", ..." : "") + ") in " + here +
           "; their effects draw nothing. Start it from the folder that holds Data/";
}

}  // namespace pp
