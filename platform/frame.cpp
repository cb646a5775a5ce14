#include "platform/frame.h"

#include <time.h>

#include <chrono>

#include "platform/draw_particles.h"
#include "platform/quad_sprites.h"
#include "platform/screen.h"

namespace pp {
namespace {

double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void DrawTimedFrame(Engine& engine, FrameUpdate update, FrameTiming& timing) {
    FillScreen(0);
    const double updateStart = ThreadSeconds();
    if (update == FrameUpdate::Run) UpdateParticles(engine);
    const double drawStart = ThreadSeconds();
    ResetQuadDrawStats();
    BeginQuads();
    DrawParticles(engine, 0, 0, 0);
    EndQuads();
    const double drawEnd = ThreadSeconds();
    timing.Quads = ReadQuadDrawStats();
    const auto presentStart = std::chrono::steady_clock::now();
    PresentFrame();
    timing.PresentSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - presentStart).count();
    timing.UpdateSeconds = drawStart - updateStart;
    timing.DrawSeconds = drawEnd - drawStart;
}

}  // namespace

void DrawFrame(Engine& engine, FrameUpdate update, FrameTiming* timing) {
    if (timing != nullptr) {
        DrawTimedFrame(engine, update, *timing);
        return;
    }
    FillScreen(0);
    if (update == FrameUpdate::Run) UpdateParticles(engine);
    BeginQuads();
    DrawParticles(engine, 0, 0, 0);
    EndQuads();
    PresentFrame();
}

}  // namespace pp
