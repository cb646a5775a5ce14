#include "app/scene.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "particleplayer/effect_files.h"
#include "particleplayer/screen.h"

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

void ReportWindowProblem(std::string_view who, const SceneProblem& problem) {
    std::fprintf(stderr, "%.*s: %s; %s\n", static_cast<int>(who.size()), who.data(),
                 SceneProblemText(problem, ScenePlace::Window).c_str(),
                 SceneProblemAdvice(problem, ScenePlace::Window).c_str());
}

std::optional<SceneProblem> OpenSceneScreen(const char* title, bool hidden, FrameSize size) {
    particleplayer::ScreenOptions options;
    options.Title = title;
    options.Width = size.Width;
    options.Height = size.Height;
    options.Hidden = hidden;
    // A shown window needs a display someone looks at; a hidden one needs none at all.
    options.Display =
        hidden ? particleplayer::ScreenDisplay::None : particleplayer::ScreenDisplay::Announced;
    const particleplayer::Status status = particleplayer::OpenScreen(options);
    if (status.Ok()) return std::nullopt;
    // Without a video system there is nothing to draw into; the frame loop would spin
    // without ever showing anything. A size or state the scene never asks for reads as a
    // screen that does not open.
    switch (status.Kind) {
        case particleplayer::ErrorKind::NoVideo:
            return SceneProblem{SceneProblem::NoDisplay, status.Cause};
        case particleplayer::ErrorKind::NoWindow:
            return SceneProblem{SceneProblem::NoWindow, status.Cause};
        case particleplayer::ErrorKind::NoScreen:
            return SceneProblem{SceneProblem::NoScreen, status.Cause};
        default:
            return SceneProblem{SceneProblem::NoScreen, status.Error};
    }
}

std::optional<SceneProblem> StartScene(particleplayer::World& world, bool hidden, FrameSize size) {
    if (std::optional<SceneProblem> problem = OpenSceneScreen(kSceneTitle, hidden, size)) {
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
        options.Sprite = particleplayer::IntValueRange{row.Number, particleplayer::kSameAsMin, 1};
        world.LoadEffectFile(row.Effect, static_cast<float>(row.X), static_cast<float>(row.Y),
                             options);
    }
    return std::nullopt;
}

void RunFrameLoop(const std::function<bool()>& afterWait, const std::function<void()>& frame) {
    for (;;) {
        const particleplayer::ScreenEvent event = particleplayer::WaitScreenEvent(5);
        if (event == particleplayer::ScreenEvent::CloseRequested || !afterWait()) break;
        if (event != particleplayer::ScreenEvent::None) continue;
        frame();
    }
}

void StopScene() {
    particleplayer::CloseScreen();
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
            const std::string path = particleplayer::EffectOpenPath(file);
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
