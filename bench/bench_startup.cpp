// Start-up: the time from process start to the first presented frame of the scene, headless
// (`particleplayer render --frames 1 --stats`), as the process sees it (from its static
// initialisation to the end of frame 1's present) and as a whole process timed from outside
// (start to exit, the PNG write and shut-down included). The first of these is split into the
// scene's start (graphics, window, screen, sprites and effects) and frame 1's present, the
// part that can cost most. The baseline measured in the same run is the same binary
// started only to print its usage: loading the program and its libraries, nothing else.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace pp {
namespace {

constexpr double kTargetMs = 150.0;

struct Run {
    bool Ok = false;
    double WallMs = 0.0;
    std::string Err;
};

// Runs particleplayer with args from the source tree (which holds Data/), stderr captured.
Run RunPlayer(const std::vector<std::string>& args) {
    Run run;
    const std::string errPath = std::string(PP_BINARY_DIR) + "/bench_startup_stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string program = std::string(PP_BINARY_DIR) + "/app/particleplayer";
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return run;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return run;
    run.WallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    run.Ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::ifstream err(errPath);
    std::stringstream text;
    text << err.rdbuf();
    run.Err = text.str();
    return run;
}

// The number after marker in --stats output, or -1.
double NumberAfter(const std::string& err, const std::string& marker) {
    const size_t at = err.find(marker);
    if (at == std::string::npos) return -1.0;
    return std::strtod(err.c_str() + at + marker.size(), nullptr);
}

double FirstFrameMs(const std::string& err) {
    return NumberAfter(err, "first frame shown ");
}
double SceneStartMs(const std::string& err) {
    return NumberAfter(err, "window and scene ");
}
// The present row's minimum, which with one frame is frame 1's present.
double FirstPresentMs(const std::string& err) {
    return NumberAfter(err, "\n  present ");
}

void BM_StartUpToFirstFrame(benchmark::State& state) {
    if (chdir(PP_SOURCE_DIR) != 0) {
        state.SkipWithError("cannot enter the source tree");
        return;
    }
    const std::string out = std::string(PP_BINARY_DIR) + "/bench_startup_frame.png";
    double inside = 0.0;
    double scene = 0.0;
    double present = 0.0;
    double whole = 0.0;
    double baseline = 0.0;
    for (auto _ : state) {
        const Run render = RunPlayer({"render", "--frames", "1", "--stats", "--out", out});
        if (!render.Ok || FirstFrameMs(render.Err) < 0.0) {
            state.SkipWithError("render --frames 1 --stats failed");
            return;
        }
        inside += FirstFrameMs(render.Err);
        scene += SceneStartMs(render.Err);
        present += FirstPresentMs(render.Err);
        whole += render.WallMs;
        state.SetIterationTime(render.WallMs * 1e-3);
        baseline += RunPlayer({"render", "--help"}).WallMs;
    }
    const auto runs = static_cast<double>(state.iterations());
    state.counters["first_frame_ms"] = inside / runs;
    state.counters["scene_start_ms"] = scene / runs;
    state.counters["first_present_ms"] = present / runs;
    state.counters["process_ms"] = whole / runs;
    state.counters["bare_process_ms"] = baseline / runs;
    state.counters["ratio_to_bare_process"] = whole / baseline;
    state.counters["first_frame_ratio_to_150ms"] = inside / runs / kTargetMs;
}
BENCHMARK(BM_StartUpToFirstFrame)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pp

BENCHMARK_MAIN();
