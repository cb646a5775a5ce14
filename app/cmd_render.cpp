// particleplayer render: the player's scene drawn without a display (SDL's offscreen driver, a
// hidden window) on the virtual clock of simulate, written as PNG frames. A seed and the same
// arguments give the same files, byte for byte.
#include <SDL.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/cli_args.h"
#include "app/commands.h"
#include "app/png_writer.h"
#include "app/scene.h"
#include "render/screen.h"
#include "render/window.h"
#include "runtime/clock.h"

namespace pp {
namespace {

constexpr std::string_view kCommand = "render";

constexpr const char* kUsage =
    "Usage: particleplayer render [--frames N] [--frame-ms MS] [--seed S] [--clock-start T]\n"
    "                             [--out PATH]\n"
    "Draws the player's scene (Data/ of the working directory) without a display and writes\n"
    "each frame as an 800 x 600 RGB PNG. The clock reads 1000 while the scene loads; frame\n"
    "k = 1..N (default 60, at most 99999) is drawn at 1000 + k * MS (default 16). With --seed\n"
    "the random generator is seeded with S (0 to 4294967295) first, and the same arguments\n"
    "give byte-identical files; otherwise it seeds itself. PATH (default out/render) is a\n"
    "folder that gets frame_00001.png ... frame_N.png (created if needed; other files in it\n"
    "are left alone), or, when it ends in .png, the one file that gets the last frame.\n"
    "--clock-start T (0 to 4294967295) reads T in place of 1000, so that a run can cross the\n"
    "clock's wrap at 2^31 or 2^32 ms; readings wrap modulo 2^32 as the system clock does.\n";

// Frame numbers have five digits in file names, so that they sort.
constexpr int64_t kMaxFrames = 99999;
// Progress goes to stderr every this many frames.
constexpr int64_t kProgressStep = 60;

struct Options {
    int64_t Frames = 60;
    int64_t FrameMs = 16;
    std::optional<uint32_t> Seed;
    std::string Out = "out/render";
    // The clock reading through start-up; frame k reads ClockStart + k * FrameMs.
    uint32_t ClockStart = kVirtualStartTime;
};

bool EndsWithPng(std::string_view path) {
    if (path.size() < 4) return false;
    std::string tail(path.substr(path.size() - 4));
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return tail == ".png";
}

// Fills `options`; returns an error message for bad arguments, "" after printing --help.
std::optional<std::string> ParseOptions(CommandArgs args, Options& options) {
    ArgWalker walk(args);
    while (walk.Next()) {
        const std::string_view name = walk.Name();
        std::optional<std::string> error;
        if (!walk.IsOption()) {
            return "unexpected argument '" + std::string(name) + "'";
        } else if (name == "--help" || name == "-h") {
            std::fputs(kUsage, stdout);
            return "";
        } else if (name == "--frames") {
            error = ReadIntOption(walk, 1, kMaxFrames, options.Frames);
        } else if (name == "--frame-ms") {
            error = ReadIntOption(walk, 0, INT32_MAX, options.FrameMs);
        } else if (name == "--seed") {
            int64_t seed = 0;
            error = ReadIntOption(walk, 0, UINT32_MAX, seed);
            if (!error) options.Seed = static_cast<uint32_t>(seed);
        } else if (name == "--clock-start") {
            int64_t start = 0;
            error = ReadIntOption(walk, 0, UINT32_MAX, start);
            if (!error) options.ClockStart = static_cast<uint32_t>(start);
        } else if (name == "--out") {
            const std::optional<std::string_view> value = walk.Value();
            if (!value || value->empty()) return "--out needs a folder or a .png file";
            options.Out = *value;
        } else {
            return "unknown option '" + std::string(name) + "'";
        }
        if (error) return error;
    }
    // The clock may wrap (the engine is built for it), but a run longer than one turn of the
    // clock would draw different frames at the same reading.
    if (options.Frames * options.FrameMs > int64_t{UINT32_MAX} - kVirtualStartTime) {
        return "--frames times --frame-ms runs past the clock's range (" +
               std::to_string(UINT32_MAX - kVirtualStartTime) + " ms)";
    }
    return std::nullopt;
}

// Where the frames go: every frame into Folder, or only the last one into File.
struct Output {
    std::filesystem::path Folder;
    std::filesystem::path File;

    bool Wants(int64_t frame, int64_t frames) const { return File.empty() || frame == frames; }
    std::string PathOf(int64_t frame) const {
        if (!File.empty()) return File.string();
        char name[32];
        std::snprintf(name, sizeof name, "frame_%05lld.png", static_cast<long long>(frame));
        return (Folder / name).string();
    }
};

// Creates the folder the frames go into; a one-line reason when that fails.
std::optional<std::string> PrepareOutput(const std::string& out, Output& output) {
    std::filesystem::path folder;
    if (EndsWithPng(out)) {
        output.File = out;
        folder = output.File.parent_path();
    } else {
        output.Folder = out;
        folder = output.Folder;
    }
    if (folder.empty()) return std::nullopt;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) return "cannot create the folder " + folder.string() + ": " + error.message();
    if (!std::filesystem::is_directory(folder, error)) {
        return folder.string() + " is not a folder";
    }
    return std::nullopt;
}

void ReportProblem(const SceneProblem& problem) {
    const std::string sdl = problem.Text.empty() ? "" : " (" + problem.Text + ")";
    const char* what = "";
    switch (problem.What) {
        case SceneProblem::NoDisplay:
            what = "cannot start SDL's offscreen video driver";
            break;
        case SceneProblem::NoWindow:
            what = "cannot open the hidden 800 x 600 window";
            break;
        case SceneProblem::NoScreen:
            what = "cannot get an OpenGL 3.3 context without a display";
            break;
    }
    std::fprintf(stderr,
                 "particleplayer render: %s%s; it needs Mesa's EGL and OpenGL drivers "
                 "(libegl-mesa0, libgl1-mesa-dri)\n",
                 what, sdl.c_str());
}

void ReportProgress(bool terminal, int64_t frame, int64_t frames) {
    if (terminal) {
        std::fprintf(stderr, "\rparticleplayer render: frame %lld/%lld%s",
                     static_cast<long long>(frame), static_cast<long long>(frames),
                     frame == frames ? "\n" : "");
    } else {
        std::fprintf(stderr, "particleplayer render: frame %lld/%lld\n",
                     static_cast<long long>(frame), static_cast<long long>(frames));
    }
}

// The frame loop: frame k at ClockStart + k * FrameMs, drawn exactly as the window would draw
// it, then read back and written when wanted. Returns the exit status.
int RenderFrames(Engine& engine, VirtualClock& clock, const Options& options,
                 const Output& output) {
    const bool terminal = isatty(STDERR_FILENO) == 1;
    const bool progress = terminal || options.Frames >= kProgressStep;
    std::vector<uint8_t> pixels;
    for (int64_t frame = 1; frame <= options.Frames; ++frame) {
        clock.Set(static_cast<uint32_t>(options.ClockStart + frame * options.FrameMs));
        DrawSceneFrame(engine);
        if (output.Wants(frame, options.Frames)) {
            if (!ReadScreenPixels(pixels)) {
                std::fputs("particleplayer render: the screen went away while drawing\n", stderr);
                return 1;
            }
            const auto png = EncodePngFromBgr(ScreenWidth(), ScreenHeight(), pixels);
            if (!png) {
                std::fputs("particleplayer render: cannot encode the frame as PNG\n", stderr);
                return 1;
            }
            if (const auto error = WriteFileAtomically(output.PathOf(frame), *png)) {
                std::fprintf(stderr, "particleplayer render: %s\n", error->c_str());
                return 1;
            }
        }
        if (progress && (frame % kProgressStep == 0 || frame == options.Frames)) {
            ReportProgress(terminal, frame, options.Frames);
        }
    }
    return 0;
}

}  // namespace

int RunRender(CommandArgs args) {
    Options options;
    if (const std::optional<std::string> error = ParseOptions(args, options)) {
        return error->empty() ? 0 : UsageError(kCommand, *error);
    }
    Output output;
    if (const std::optional<std::string> error = PrepareOutput(options.Out, output)) {
        std::fprintf(stderr, "particleplayer render: %s\n", error->c_str());
        return 1;
    }

    // Chosen before SDL starts: no display is needed or used, whatever DISPLAY says. SDL's
    // signal handlers would turn Ctrl+C into a close request that nothing here reads, so a
    // long render could not be stopped; without them the signals end the process as usual.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");

    VirtualClock clock(options.ClockStart);
    Engine engine(clock);
    if (options.Seed) SeedRandom(engine.Random, *options.Seed);
    if (const std::optional<SceneProblem> problem = StartScene(engine, kWindowHidden)) {
        ReportProblem(*problem);
        StopScene();
        return 1;
    }
    if (const std::string note = MissingDataNote(); !note.empty()) {
        std::fprintf(stderr, "particleplayer render: %s\n", note.c_str());
    }
    const int status = RenderFrames(engine, clock, options, output);
    StopScene();
    if (status == 0) {
        if (output.File.empty()) {
            std::fprintf(stderr, "particleplayer render: wrote %lld frames into %s\n",
                         static_cast<long long>(options.Frames), output.Folder.c_str());
        } else {
            std::fprintf(stderr, "particleplayer render: wrote frame %lld to %s\n",
                         static_cast<long long>(options.Frames), output.File.c_str());
        }
    }
    return status;
}

}  // namespace pp
