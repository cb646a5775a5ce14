#include "app/render_stats.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "particleplayer/screen.h"

namespace pp {
namespace {

// Taken while the program starts (static initialisation, after the dynamic loader): start-up
// to the first frame is measured from here.
const std::chrono::steady_clock::time_point kProgramStart = std::chrono::steady_clock::now();

}  // namespace

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void DrawFrameWithStats(particleplayer::World& world, FrameStats& stats) {
    const auto frameStart = std::chrono::steady_clock::now();
    particleplayer::FrameTimes times;
    particleplayer::DrawTimedFrame(world, times);
    stats.Threads = times.Threads;
    stats.Present.push_back(times.PresentSeconds * 1e3);
    stats.Update.push_back(times.UpdateSeconds * 1e3);
    stats.Submission.push_back(times.SubmissionSeconds * 1e3);
    stats.DrawCalls.push_back(times.DrawCallSeconds * 1e3);
    stats.Particles.push_back(static_cast<double>(times.Quads));
    stats.Frame.push_back(SecondsSince(frameStart) * 1e3);
    if (stats.FirstFrameMs < 0.0) stats.FirstFrameMs = SecondsSince(kProgramStart) * 1e3;
}

namespace {

void PrintStatsRow(const char* name, std::vector<double> values, const char* note) {
    if (values.empty()) return;
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) {
        return values[static_cast<size_t>(q * static_cast<double>(values.size() - 1) + 0.5)];
    };
    std::fprintf(stderr, "  %-16s %9.3f %9.3f %9.3f %9.3f  %s\n", name, values.front(), at(0.5),
                 at(0.95), values.back(), note);
}

}  // namespace

void PrintStats(const FrameStats& stats) {
    std::vector<double> particles = stats.Particles;
    std::sort(particles.begin(), particles.end());
    std::fprintf(stderr,
                 "particleplayer render: %zu frames, %.0f particles drawn per frame (median)\n"
                 "  per frame, ms          min    median       p95       max\n",
                 stats.Frame.size(), particles.empty() ? 0.0 : particles[particles.size() / 2]);
    if (stats.Threads > 1) {
        const std::string update = "wall time, " + std::to_string(stats.Threads) + " threads";
        const std::string submission =
            update + ": particles to vertices in GL's buffer, less the draw calls";
        PrintStatsRow("update", stats.Update, update.c_str());
        PrintStatsRow("draw submission", stats.Submission, submission.c_str());
    } else {
        PrintStatsRow("update", stats.Update, "CPU time");
        PrintStatsRow("draw submission", stats.Submission,
                      "CPU time: particles to vertices in GL's buffer");
    }
    PrintStatsRow("GL draw calls", stats.DrawCalls,
                  stats.Threads > 1 ? "wall time; llvmpipe's vertex stage runs in them"
                                    : "CPU time; llvmpipe's vertex stage runs in them");
    PrintStatsRow("present", stats.Present, "wall time; the frame is rasterised and shown");
    PrintStatsRow("read back, PNG", stats.Output, "wall time, frames written");
    PrintStatsRow("whole frame", stats.Frame, "wall time");
    std::fprintf(stderr,
                 "  start-up: first frame shown %.1f ms after the program started (graphics, "
                 "window and scene %.1f ms",
                 stats.FirstFrameMs, stats.SceneStartMs);
    if (stats.WarmUpMs > 0.0) {
        std::fprintf(stderr, ", %lld ms of warm-up updates %.1f ms",
                     static_cast<long long>(stats.WarmUpSpanMs), stats.WarmUpMs);
    }
    std::fputs(")\n", stderr);
}

}  // namespace pp
