// Draw submission and whole frames on the software renderer (Mesa llvmpipe through SDL's
// offscreen driver, no display): DrawParticles batched beside one GL draw per quad, the
// corner geometry alone beside the two sines and cosines it needs, and whole frames of the
// player's scene and of 100 thousand small particles.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/scene.h"
#include "particles/draw_particles.h"
#include "particles/particles.h"
#include "render/quad_sprites.h"
#include "render/screen.h"
#include "render/sprites.h"
#include "render/window.h"
#include "runtime/clock.h"
#include "runtime/random.h"

namespace pp {
namespace {

double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

[[maybe_unused]] double WallSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The player's scene, started once for the whole run from the source tree's Data/. The
// engine lives as long as the screen, since StopScene frees the quad sprites it draws with.
struct SceneRun {
    VirtualClock Clock{1000};
    Engine SceneEngine{Clock};
    bool Ready = false;
};

SceneRun& Scene() {
    static SceneRun* run = [] {
        auto* r = new SceneRun;
        if (chdir(PP_SOURCE_DIR) != 0) return r;
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        SeedRandom(r->SceneEngine.Random, 1);
        r->Ready = !StartScene(r->SceneEngine, kWindowHidden).has_value();
        return r;
    }();
    return *run;
}

// A disabled emitter holding n small turned particles spread over the screen, drawn with
// quad sprite 1 (the 32 x 32 star): sizes 2 to 8 pixels, every direction, spinning.
struct SmallParticles {
    explicit SmallParticles(int32_t n) : SmallEngine(Clock) {
        SeedRandom(SmallEngine.Random, 7);
        Emitter* e = CreateEmitter(SmallEngine, 400, 300);
        e->AreaType = 3;
        e->AreaWidth = 800.0f;
        e->AreaHeight = 600.0f;
        SetValueSpec(e->Size, 2.0f, 8.0f, 1.0f);
        SetValueSpec(e->LifeTime, 100000.0f, -65535.0f, 1.0f);
        SetValueSpec(e->EmissionVelocity, 0.0f, 20.0f, 1.0f);
        SetValueSpec(e->Rotation, -3.0f, 3.0f, 0.5f);
        SetSpriteRange(e, 1, -65535, 1);
        for (int32_t i = 0; i < n; ++i) SpawnParticle(SmallEngine, *e);
        SetDisable(e, 1, 0);
        UpdateParticles(SmallEngine);
    }
    VirtualClock Clock{1000};
    Engine SmallEngine;
};

// Submission of n particles: BeginQuads, DrawParticles and EndQuads on thread CPU time, which
// holds our vertex work, the buffer streaming and the driver's vertex stage (llvmpipe runs it
// on the calling thread). The rasteriser threads finish outside the timing.
void RunSubmission(benchmark::State& state, bool batching) {
    if (!Scene().Ready) {
        state.SkipWithError("no offscreen GL screen");
        return;
    }
    const auto n = static_cast<int32_t>(state.range(0));
    SmallParticles small(n);
    SetQuadBatching(batching);
    double seconds = 0.0;
    for (auto _ : state) {
        FillScreen(0);
        glFinish();
        const double t0 = ThreadSeconds();
        BeginQuads();
        DrawParticles(small.SmallEngine, 0, 0, 0);
        EndQuads();
        const double t1 = ThreadSeconds();
        glFinish();
        seconds += t1 - t0;
        state.SetIterationTime(t1 - t0);
    }
    SetQuadBatching(true);
    const double quads = static_cast<double>(n) * static_cast<double>(state.iterations());
    state.counters["ns_per_particle"] = seconds * 1e9 / quads;
    state.counters["particles"] = n;
}

void BM_DrawSubmissionBatched(benchmark::State& state) {
    RunSubmission(state, true);
}
void BM_DrawSubmissionOnePerCall(benchmark::State& state) {
    RunSubmission(state, false);
}
BENCHMARK(BM_DrawSubmissionBatched)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawSubmissionOnePerCall)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pp

BENCHMARK_MAIN();
