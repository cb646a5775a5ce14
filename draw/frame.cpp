#include "draw/frame.h"

#include <chrono>

#include "draw/draw_particles.h"
#include "draw/gl_screen.h"
#include "draw/quad_sprites.h"
#include "runtime/clock_readings.h"
#include "runtime/worker_pool.h"

namespace pp {
namespace {

double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void DrawTimedFrame(Engine& engine, FrameUpdate update, FrameTiming& timing) {
    timing.Threads = engine.Workers != nullptr ? engine.Workers->Threads() : 1;
    timing.WallTime = timing.WallTime || timing.Threads > 1;
    double (*const seconds)() = timing.WallTime ? &WallSeconds : &ThreadCpuSeconds;
    ClearToBackground();
    const double updateStart = seconds();
    if (update == FrameUpdate::Run) UpdateParticles(engine);
    const double drawStart = seconds();
    ResetQuadDrawStats();
    TimeQuadsInWallTime(timing.WallTime);
    BeginQuads();
    DrawParticles(engine, 0, 0, 0);
    EndQuads();
    const double drawEnd = seconds();
    TimeQuadsInWallTime(false);
    timing.Quads = ReadQuadDrawStats();
    const auto presentStart = std::chrono::steady_clock::now();
    PresentFrame();
    timing.PresentSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - presentStart).count();
    timing.UpdateSeconds = drawStart - updateStart;
    timing.DrawSeconds = drawEnd - drawStart;
}

}  // namespace

void RunEngineFrame(Engine& engine, FrameUpdate update, FrameTiming* timing) {
    if (timing != nullptr) {
        DrawTimedFrame(engine, update, *timing);
        return;
    }
    ClearToBackground();
    if (update == FrameUpdate::Run) UpdateParticles(engine);
    BeginQuads();
    DrawParticles(engine, 0, 0, 0);
    EndQuads();
    PresentFrame();
}

}  // namespace pp
