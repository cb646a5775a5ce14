// particleplayer render: the player's scene drawn without a display (the offscreen video
// driver, a hidden window) on the virtual clock of simulate, written as PNG frames or a video,
// or with the export options of render_output.h as transparent, cut, scaled, looped frames or
// a sheet. A seed and the same arguments give the same files, byte for byte.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "app/budget_note.h"
#include "app/cli_args.h"
#include "app/clock_options.h"
#include "app/commands.h"
#include "app/play_session.h"
#include "app/png_writer.h"
#include "app/render_output.h"
#include "app/render_stats.h"
#include "app/scene.h"
#include "app/stress_scene.h"
#include "app/video_writer.h"
#include "particleplayer/clock.h"
#include "particleplayer/screen.h"
#include "particleplayer/world.h"

namespace pp {
namespace {

constexpr std::string_view kCommand = "render";

// Prints "particleplayer render: TEXT" on stderr.
void Say(const std::string& text) {
    std::fprintf(stderr, "particleplayer render: %s\n", text.c_str());
}

constexpr const char* kUsage =
    "Usage: particleplayer render [--frames N] [--frame-ms MS] [--seed S] [--clock-start T]\n"
    "                             [--out PATH] [--fps F] [--stats] [--stress N] [--threads N]\n"
    "                             [--cpu P] [--max-particles N] [--quiet] [--background B]\n"
    "                             [--size WxH] [--crop C] [--scale F] [--alpha-from A]\n"
    "                             [--sheet S] [--loop SECONDS]\n"
    "                             [EFFECT.txt[:SPRITE.png][@X,Y[+VX,VY]] ...]\n"
    "Draws the player's scene (Data/ of the working directory), or the effects given as play\n"
    "takes them (see particleplayer play --help), without a display and writes each frame as\n"
    "an 800 x 600 RGB PNG. An effect given +VX,VY moves from X,Y at VX,VY pixels a second\n"
    "of the clock from the load on. The clock reads 1000 while the scene loads; frame\n"
    "k = 1..N (default 60, at most 99999) is drawn at 1000 + k * MS (default 16). With --seed\n"
    "the random generator is seeded with S (0 to 4294967295) first, and the same arguments\n"
    "give byte-identical files; otherwise it seeds itself. PATH (default out/render) is a\n"
    "folder that gets frame_00001.png ... frame_N.png (created if needed; other files in it\n"
    "are left alone), or, when it ends in .png, the one file that gets the last frame.\n"
    "A PATH ending in .mp4 (H.264), .webm (VP9) or .gif gets every frame as a video of F\n"
    "frames a second (--fps, 0.001 to 1000, default 1000 / MS); a GIF above 50 frames a\n"
    "second leaves out frames to keep its speed. Other picture and video endings (.avi,\n"
    ".mkv, .mov, .jpg ...) are refused.\n"
    "--clock-start T (-2147483648 to 4294967295) reads T in place of 1000, so that a run can\n"
    "cross the clock's wrap at 2^31 or 2^32 ms; readings wrap modulo 2^32 as the system clock\n"
    "does.\n"
    "--stats prints, at the end, the time each part of a frame took (min, median, 95th\n"
    "percentile, max) and the time from the program's start to the first frame shown.\n"
    "--stress N (1 to 4000000) adds emitters of Data/bench/Stress.txt that keep about N small\n"
    "particles alive; the clock first runs 3 seconds of updates so that the first frame shows\n"
    "them all, and frame k is drawn at 1000 (or T) + 3000 + k * MS.\n"
    "--threads N (1 to 256) updates and draws large particle lists on N threads, the\ncalling one "
    "included (default: one per hardware thread); 1 does all on one thread. The\nparticles and "
    "pixels are the same for every N.\n"
    "--cpu scalar|sse2|avx2|avx512 runs the update and the vertex work in plain code, SSE2,\n"
    "AVX2 or AVX-512 in place of the widest this processor has; every file is the same on each.\n"
    "--max-particles N (1 to 1000000000; default 1000000, plus the N of --stress) is the\n"
    "particle budget: births beyond N live particles are dropped, in the same order on every\n"
    "run and thread count; one line on stderr says when.\n"
    "What 'particleplayer check' finds in the effect files goes to stderr, in check's lines,\n"
    "unless --quiet is given.\n"
    "Taking effects out (none of these changes anything when left out):\n"
    "--background transparent|#RRGGBB|PICTURE.png draws over nothing (frames with straight\n"
    "alpha: RGBA PNGs, VP9 with alpha in a .webm, a GIF with one transparent colour; not an\n"
    ".mp4), a colour or a picture of the frame's size instead of black. --alpha-from\n"
    "coverage|brightness: alpha from what shows through (default) or the brightest channel.\n"
    "--size WxH (1 to 4096) sets the frame. --crop X,Y,W,H cuts every frame at that box,\n"
    "--crop auto at the box of every lit pixel of the clip plus 4; --scale F (0.01 to 16)\n"
    "then resamples it. --sheet COLSxROWS|auto puts every frame into one .png with a\n"
    "TexturePacker JSON file beside it and prints its SpriteSheet line. --loop SECONDS starts\n"
    "after 10 s of updates and cross-fades a quarter more into the start, so the clip loops.\n";

// Frame numbers have five digits in file names, so that they sort.
constexpr int64_t kMaxFrames = 99999;
// Progress goes to stderr every this many frames.
constexpr int64_t kProgressStep = 60;

// A loop starts after this long, so that the effects are as full as they get.
constexpr int64_t kLoopWarmUpMs = 10000;

struct Options : ClockOptions {
    Options() : ClockOptions(60) {}

    std::string Out = "out/render";
    std::vector<std::string_view> Effects;  // play's EFFECT[:SPRITE][@X,Y]; none: the scene
    std::optional<FrameRate> Fps;           // a video's frames per second when given
    bool Stats = false;
    bool Quiet = false;
    int64_t Stress = 0;   // particles the scale scene keeps alive; 0 for none
    int64_t Threads = 0;  // 0: one per hardware thread
    std::optional<particleplayer::CpuPath> Cpu;  // the widest the processor has when not given
    int64_t MaxParticles = 0;  // 0: the default budget, with room for the scale scene
    ExportOptions Export;      // background, size, crop, scale, sheet

    // The particle budget: the one given, or the library's default and the scale scene.
    int64_t Budget() const {
        return MaxParticles > 0 ? MaxParticles : particleplayer::kDefaultMaxParticles + Stress;
    }

    // Milliseconds of updates before frame 1: the scale scene's population builds up first.
    int64_t WarmUpMs() const {
        if (Export.LoopFrames > 0) return std::max(kLoopWarmUpMs, Stress > 0 ? kStressWarmUpMs : 0);
        return Stress > 0 ? kStressWarmUpMs : 0;
    }
};

bool EndsWith(std::string_view path, std::string_view ending) {
    if (path.size() < ending.size()) return false;
    std::string tail(path.substr(path.size() - ending.size()));
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return tail == ending;
}

// Endings of picture and video files that render does not write: such a PATH is refused
// rather than made a folder of that name.
bool EndsWithOtherMedia(std::string_view path) {
    for (const char* ending :
         {".avi", ".mkv", ".mov", ".m4v", ".ogv", ".flv", ".wmv", ".mpg", ".mpeg", ".apng", ".webp",
          ".jpg", ".jpeg", ".bmp", ".tif", ".tiff"}) {
        if (EndsWith(path, ending)) return true;
    }
    return false;
}

// The video's rate: --fps, or one frame per --frame-ms.
std::optional<FrameRate> VideoRate(const Options& options) {
    if (options.Fps) return options.Fps;
    if (options.FrameMs <= 0 || options.FrameMs > 1'000'000) return std::nullopt;
    const int32_t ms = static_cast<int32_t>(options.FrameMs);
    const int32_t common = std::gcd(1000, ms);
    return FrameRate{1000 / common, ms / common};
}

// Fills `options`; returns an error message for bad arguments, "" after printing --help.
std::optional<std::string> ParseOptions(CommandArgs args, Options& options) {
    ArgWalker walk(args);
    while (walk.Next()) {
        const std::string_view name = walk.Name();
        std::optional<std::string> error;
        if (!walk.IsOption()) {
            options.Effects.push_back(name);
        } else if (name == "--help" || name == "-h") {
            std::fputs(kUsage, stdout);
            return "";
        } else if (ReadClockOption(walk, kMaxFrames, options, error) ||
                   ReadExportOption(walk, options.Export, error)) {
            // Read, or `error` says why not.
        } else if (name == "--stats") {
            if (walk.HasInlineValue()) return "--stats takes no value";
            options.Stats = true;
        } else if (name == "--threads") {
            error = ReadThreadsOption(walk, options.Threads);
        } else if (name == "--cpu") {
            error = ReadCpuOption(walk, options.Cpu);
        } else if (name == "--quiet") {
            if (walk.HasInlineValue()) return "--quiet takes no value";
            options.Quiet = true;
        } else if (name == "--max-particles") {
            error = ReadMaxParticlesOption(walk, options.MaxParticles);
        } else if (name == "--stress") {
            error = ReadIntOption(walk, 1, kMaxStress, options.Stress);
        } else if (name == "--out") {
            const std::optional<std::string_view> value = walk.Value();
            if (!value || value->empty()) return "--out needs a folder or a .png file";
            options.Out = *value;
        } else if (name == "--fps") {
            const std::optional<std::string_view> value = walk.Value();
            options.Fps = value ? ParseFrameRate(*value) : std::nullopt;
            if (!options.Fps) {
                return "--fps wants frames per second from 0.001 to 1000, not '" +
                       std::string(value.value_or("")) + "'";
            }
        } else {
            return "unknown option '" + std::string(name) + "'";
        }
        if (error) return error;
    }
    if (EndsWithOtherMedia(options.Out)) {
        return "--out '" + options.Out +
               "': render writes a folder, a .png file, or a .mp4, .webm or .gif video";
    }
    const bool video = VideoFormatOf(options.Out).has_value();
    if (options.Fps && !video) return "--fps is for .mp4, .webm and .gif outputs";
    if (video && !VideoRate(options)) return "a video at --frame-ms 0 or over 1000000 needs --fps";
    if (auto error =
            CheckExportOptions(options.Export, options.Out, options.Frames, options.FrameMs)) {
        return error;
    }
    return CheckClockRange(options, options.WarmUpMs());
}

void ReportProblem(const SceneProblem& problem, FrameSize size) {
    std::fprintf(stderr, "particleplayer render: %s; %s\n",
                 SceneProblemText(problem, ScenePlace::HiddenWindow, size).c_str(),
                 SceneProblemAdvice(problem, ScenePlace::HiddenWindow).c_str());
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

// Adds the frame to the video, or writes it as its PNG file. A one-line reason on failure.
std::optional<std::string> WriteFrame(const Output& output, int64_t frame,
                                      const std::vector<uint8_t>& pixels) {
    if (output.Video != nullptr) return output.Video->AddFrameBgr(pixels);
    const particleplayer::PixelSize size = particleplayer::ScreenSize();
    const auto png = EncodePngFromBgr(size.Width, size.Height, pixels);
    if (!png) return std::string("cannot encode the frame as PNG");
    return WriteFileAtomically(output.PathOf(frame), *png);
}

// The worlds of one render: the scene's, or the given effects' in their play session, both
// on the virtual clock the frames set.
struct RenderWorlds {
    explicit RenderWorlds(particleplayer::VirtualClock& clock, std::vector<PlayEffect> effects)
        : Scene(ReadingClock(clock)) {
        if (!effects.empty()) Session.emplace(clock, std::move(effects));
    }
    static particleplayer::WorldOptions ReadingClock(particleplayer::VirtualClock& clock) {
        particleplayer::WorldOptions options;
        options.HostClock = [&clock] { return clock.Now(); };
        return options;
    }
    // The world the frames show.
    particleplayer::World& Shown() { return Session ? Session->GetWorld() : Scene; }

    particleplayer::World Scene;
    std::optional<PlaySession> Session;
};

// The frame loop: frame k at ClockStart + warm-up + k * FrameMs, drawn exactly as the window
// would draw it, then read back and written when wanted. Returns the exit status.
int RenderFrames(RenderWorlds& worlds, particleplayer::VirtualClock& clock, const Options& options,
                 const Output& output, FrameStats& stats, FrameExporter* exporter) {
    particleplayer::World& world = worlds.Shown();
    const bool terminal = isatty(STDERR_FILENO) == 1;
    const bool progress = terminal || options.Frames >= kProgressStep;
    const int64_t first = int64_t{options.ClockStart} + options.WarmUpMs();
    std::vector<uint8_t> pixels;
    for (int64_t frame = 1; frame <= options.Frames; ++frame) {
        clock.Set(static_cast<uint32_t>(first + frame * options.FrameMs));
        if (worlds.Session) worlds.Session->MoveEffects();
        if (options.Stats) {
            DrawFrameWithStats(world, stats);
        } else {
            particleplayer::DrawFrame(world);
        }
        if (output.Wants(frame, options.Frames)) {
            const auto outputStart = std::chrono::steady_clock::now();
            if (exporter != nullptr) {
                if (const auto error = exporter->TakeFrame(world, frame)) {
                    Say(*error);
                    return 1;
                }
            } else if (!particleplayer::ReadPixels(pixels, particleplayer::PixelOrder::Bgr).Ok()) {
                std::fputs("particleplayer render: the screen went away while drawing\n", stderr);
                return 1;
            } else if (const auto error = WriteFrame(output, frame, pixels)) {
                Say(*error);
                return 1;
            }
            if (options.Stats) stats.Output.push_back(SecondsSince(outputStart) * 1e3);
        }
        if (progress && (frame % kProgressStep == 0 || frame == options.Frames)) {
            ReportProgress(terminal, frame, options.Frames);
        }
    }
    return 0;
}

// Updates from the start reading up to the first frame's, in frame steps (16 ms when frames
// take no time), so that the scale scene's population is complete when drawing starts.
void WarmUp(RenderWorlds& worlds, particleplayer::VirtualClock& clock, const Options& options) {
    const int64_t step = options.FrameMs > 0 ? options.FrameMs : 16;
    std::function<void()> move;
    if (worlds.Session) move = [&worlds] { worlds.Session->MoveEffects(); };
    WarmUpWorld(worlds.Shown(), clock, options.ClockStart, step, options.WarmUpMs(), move);
}

// What check finds in the files of the given effects, or of the scene.
void ReportFindings(std::optional<PlaySession>& session, int64_t budget) {
    if (session) {
        for (std::size_t i = 0; i < session->Effects().size(); ++i) {
            PrintFindings(session->Findings(i));
        }
        return;
    }
    InSceneFolderRun([budget] {
        std::vector<std::string> paths;
        for (const SceneEffect& row : kScene) paths.emplace_back(row.Effect);
        PrintFindings(FindingsOf(paths, budget));
    });
}

// The given effects on a hidden window, loaded as play loads them.
std::optional<SceneProblem> StartEffects(PlaySession& session, FrameSize size) {
    if (std::optional<SceneProblem> problem = OpenPlayScreen(true, size)) return problem;
    session.Start();
    return std::nullopt;
}

// The effects given after the options, read as play reads them, with play's notes said; an
// exit status when they are refused.
std::optional<int> ReadEffects(const Options& options, std::vector<PlayEffect>& effects) {
    if (options.Effects.empty()) return std::nullopt;
    // Play reads them; after "--" each is an effect, whatever it starts with.
    std::vector<std::string_view> effectArgs = {"--"};
    effectArgs.insert(effectArgs.end(), options.Effects.begin(), options.Effects.end());
    std::vector<std::string> notes;
    if (const std::optional<std::string> error = ParsePlayArgs(effectArgs, effects, notes)) {
        return UsageError(kCommand, *error);
    }
    for (const std::string& note : notes) Say(note);
    return std::nullopt;
}

// The folder, file or video the frames go to. The video is started before anything is drawn,
// so that a missing encoder costs nothing. An exit status when the output cannot be made.
std::optional<int> OpenOutput(const Options& options, Output& output, VideoWriter& video) {
    if (const std::optional<std::string> error = PrepareOutput(options.Out, output)) {
        Say(*error);
        return 1;
    }
    output.Every = options.Export.Sheet || options.Export.LoopFrames > 0;
    if (output.VideoPath.empty()) return std::nullopt;
    // An export opens its video itself once it knows its frames' size; only its encoder is
    // looked for here.
    const std::optional<VideoError> error =
        options.Export.Any
            ? CheckVideoEncoder(output.VideoPath.string())
            : video.Open(output.VideoPath.string(), kSceneWidth, kSceneHeight, *VideoRate(options));
    if (error) {
        Say(error->Text);
        return error->What == VideoError::NoEncoder ? kExitUsage : 1;
    }
    if (!options.Export.Any) output.Video = &video;
    return std::nullopt;
}

// The shown world's threads, instructions, budget and seed as the options give them; an exit
// status for a --cpu path this processor or build lacks.
std::optional<int> SetUpWorld(particleplayer::World& shown, const Options& options) {
    // 0 (no --threads) is one per hardware thread; the option allows no other count.
    shown.SetThreads(static_cast<int32_t>(options.Threads));
    if (const std::optional<std::string> error = ApplyCpuOption(options.Cpu)) {
        Say(*error);
        return 2;
    }
    shown.SetMaxParticles(options.Budget());
    if (options.Seed) shown.Seed(*options.Seed);
    return std::nullopt;
}

// Opens the hidden screen with the scene or the given effects, and does what comes before
// frame 1: check's findings, the missing-data note, the stress emitters, the warm-up and the
// export's start. An exit status, the screen closed, when any of it fails.
std::optional<int> StartDrawing(RenderWorlds& worlds, particleplayer::VirtualClock& clock,
                                const Options& options, Output& output, FrameStats& stats,
                                std::optional<FrameExporter>& exporter) {
    particleplayer::World& shown = worlds.Shown();
    const auto sceneStart = std::chrono::steady_clock::now();
    const FrameSize size = options.Export.Size;
    if (const std::optional<SceneProblem> problem = worlds.Session
                                                        ? StartEffects(*worlds.Session, size)
                                                        : StartScene(worlds.Scene, true, size)) {
        ReportProblem(*problem, size);
        StopScene();
        return 1;
    }
    stats.SceneStartMs = SecondsSince(sceneStart) * 1e3;
    if (!options.Quiet) ReportFindings(worlds.Session, options.Budget());
    if (const std::string note = worlds.Session ? "" : MissingDataNote(); !note.empty()) {
        Say(note);
    }
    if (options.Stress > 0) {
        if (const std::optional<std::string> error = AddStressEmitters(shown, options.Stress)) {
            Say(*error);
            StopScene();
            return 1;
        }
    }
    if (options.WarmUpMs() > 0) {
        const auto warmUpStart = std::chrono::steady_clock::now();
        WarmUp(worlds, clock, options);
        stats.WarmUpMs = SecondsSince(warmUpStart) * 1e3;
        stats.WarmUpSpanMs = options.WarmUpMs();
    }
    if (options.Export.Any) {
        exporter.emplace(options.Export, output, options.Frames, options.FrameMs,
                         output.VideoPath.empty() ? FrameRate{} : *VideoRate(options));
        if (const std::optional<std::string> error = exporter->Start(shown)) {
            Say(*error);
            StopScene();
            return 1;
        }
    }
    return std::nullopt;
}

// After the last frame of an export: its files written, the statistics and the line that
// names what was written; a sprite sheet's description on stdout.
int FinishExport(FrameExporter& exporter, int status, const Options& options,
                 const FrameStats& stats) {
    std::string wrote, spriteSheet;
    if (status == 0) {
        if (const std::optional<std::string> error = exporter.Finish(wrote, spriteSheet)) {
            Say(*error);
            status = 1;
        }
    }
    if (status == 0 && options.Stats) PrintStats(stats);
    if (status == 0) Say(wrote);
    if (!spriteSheet.empty() && status == 0) std::printf("%s\n", spriteSheet.c_str());
    return status;
}

// After the last plain frame: the video closed, the statistics and the line that says where
// the frames went.
int FinishFrames(const Output& output, VideoWriter& video, int status, const Options& options,
                 const FrameStats& stats) {
    if (status == 0 && output.Video != nullptr) {
        if (const std::optional<std::string> error = video.Finish()) {
            Say(*error);
            status = 1;
        }
    }
    if (status == 0 && options.Stats) PrintStats(stats);
    if (status != 0) return status;
    const long long frames = static_cast<long long>(options.Frames);
    const char* plural = options.Frames == 1 ? "" : "s";
    if (output.Video != nullptr) {
        std::fprintf(stderr, "particleplayer render: wrote %lld frame%s to %s\n", frames, plural,
                     output.VideoPath.c_str());
    } else if (output.File.empty()) {
        std::fprintf(stderr, "particleplayer render: wrote %lld frame%s into %s\n", frames, plural,
                     output.Folder.c_str());
    } else {
        std::fprintf(stderr, "particleplayer render: wrote frame %lld to %s\n", frames,
                     output.File.c_str());
    }
    return status;
}

}  // namespace

int RunRender(CommandArgs args) {
    Options options;
    if (const std::optional<std::string> error = ParseOptions(args, options)) {
        return error->empty() ? 0 : UsageError(kCommand, *error);
    }
    std::vector<PlayEffect> effects;
    if (const std::optional<int> status = ReadEffects(options, effects)) return *status;
    Output output;
    VideoWriter video;
    if (const std::optional<int> status = OpenOutput(options, output, video)) return *status;

    particleplayer::VirtualClock clock(options.ClockStart);
    RenderWorlds worlds(clock, std::move(effects));
    particleplayer::World& shown = worlds.Shown();
    if (const std::optional<int> status = SetUpWorld(shown, options)) return *status;
    BudgetNote budget(kCommand);
    FrameStats stats;
    std::optional<FrameExporter> exporter;
    if (const std::optional<int> status =
            StartDrawing(worlds, clock, options, output, stats, exporter)) {
        return *status;
    }
    const int status =
        RenderFrames(worlds, clock, options, output, stats, exporter ? &*exporter : nullptr);
    budget.Check(shown);
    StopScene();
    if (exporter) return FinishExport(*exporter, status, options, stats);
    return FinishFrames(output, video, status, options, stats);
}

}  // namespace pp
