// Drawing, each figure beside a baseline measured in the same run:
//   - draw submission per particle, batched beside one GL draw per quad. "Submission" is our
//     side: walking the particles, rounding, angles, sines and cosines, corners and vertices,
//     and streaming the vertices into GL buffers. The driver's draw calls are counted apart:
//     Mesa's llvmpipe runs its vertex stage and triangle setup inside them, on this thread;
//   - the corners of turned quads beside the same corners from the C library's cos and sin,
//     and the exact fast sine and cosine beside the library's two calls;
//   - whole frames on llvmpipe (SDL's offscreen driver, no display) for the player's scene
//     beside a 60 Hz frame (16.7 ms), and for 100 thousand and 1 million small particles on 1,
//     2 and all threads, each beside the same frames on one thread;
//   - draw submission of an emitter with each optional key beside a plain emitter's;
//   - the vertex work's loops and the turbulence field's on each vector path, beside AVX2's.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/scene.h"
#include "bench/extras_features.h"
#include "draw/draw_particles.h"
#include "draw/frame.h"
#include "draw/gl_screen.h"
#include "draw/particle_runs.h"
#include "draw/quad_sprites.h"
#include "draw/quad_stats.h"
#include "geometry/quad_geometry.h"
#include "particleplayer/screen.h"
#include "particles/particles.h"
#include "particles/turbulence.h"
#include "platform/window.h"
#include "runtime/clock_readings.h"
#include "runtime/cpu_path.h"
#include "runtime/random.h"
#include "runtime/worker_pool.h"

namespace pp {
namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

constexpr double kFrameBudgetMs = 1000.0 / 60.0;

// The player's scene, started once for the whole run from the source tree's Data/ on a
// hidden window. It stays up to the end: StopScene would free the quad sprites.
struct SceneRun {
    static particleplayer::WorldOptions ReadingClock(VirtualClock& clock) {
        particleplayer::WorldOptions options;
        options.HostClock = [&clock] { return clock.Now(); };
        return options;
    }

    VirtualClock Clock{1000};
    particleplayer::World SceneWorld{ReadingClock(Clock)};
    bool Ready = false;
};

SceneRun& Scene() {
    static SceneRun* run = [] {
        auto* r = new SceneRun;
        if (chdir(PP_SOURCE_DIR) != 0) return r;
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        r->SceneWorld.Seed(1);
        r->Ready = !StartScene(r->SceneWorld, kWindowHidden).has_value();
        return r;
    }();
    return *run;
}

// n small turned particles spread over the screen, drawn with quad sprite 1 (the 32 x 32
// star): sizes 2 to 8 pixels, every direction, spinning, living longer than any run. The
// emitter is disabled once they exist, so the population stays n.
struct SmallParticles {
    explicit SmallParticles(int32_t n) : SmallEngine(Clock) {
        SeedRandom(SmallEngine.Random, 7);
        Emitter* e = CreateEmitter(SmallEngine, 400, 300);
        e->AreaType = 3;
        e->AreaWidth = 800.0f;
        e->AreaHeight = 600.0f;
        SetValueSpec(e->Size, 2.0f, 8.0f, 1.0f);
        SetValueSpec(e->LifeTime, 100000.0f, kSameAsMin<float>, 1.0f);
        SetValueSpec(e->EmissionVelocity, 0.0f, 20.0f, 1.0f);
        SetValueSpec(e->Rotation, -3.0f, 3.0f, 0.5f);
        SetSpriteRange(e, 1, kSameAsMin<int32_t>, 1);
        for (int32_t i = 0; i < n; ++i) SpawnParticle(SmallEngine, *e);
        e->Disable = 1;
        UpdateParticles(SmallEngine);
    }
    VirtualClock Clock{1000};
    Engine SmallEngine;
};

// One submission pass: seconds in all, and the driver's share of it.
struct Pass {
    double Seconds = 0.0;
    QuadDrawStats Stats;
};

Pass Submit(Engine& engine, bool batching) {
    SetQuadBatching(batching);
    FillScreen(0);
    glFinish();  // the rasteriser threads finish the last frame outside the timing
    ResetQuadDrawStats();
    const double start = ThreadCpuSeconds();
    BeginQuads();
    DrawParticles(engine, 0, 0, 0);
    EndQuads();
    Pass pass{ThreadCpuSeconds() - start, ReadQuadDrawStats()};
    glFinish();
    SetQuadBatching(true);
    return pass;
}

// Submission of n particles per iteration, batched; each iteration also submits the same
// kind of particles one GL draw per quad (a smaller population: its cost per quad does not
// depend on how many there are), for the ratio. Thread CPU time throughout.
void BM_DrawSubmission(benchmark::State& state) {
    if (!Scene().Ready) {
        state.SkipWithError("no offscreen GL screen");
        return;
    }
    const auto n = static_cast<int32_t>(state.range(0));
    constexpr int32_t kSingles = 2000;
    SmallParticles small(n);
    SmallParticles singles(kSingles);
    double ours = 0.0;
    double upload = 0.0;
    double draw = 0.0;
    double total = 0.0;
    double singleTotal = 0.0;
    double best = 1e9;  // the fastest pass: the cost with the least interference
    for (auto _ : state) {
        const Pass batched = Submit(small.SmallEngine, true);
        const double submission = batched.Seconds - batched.Stats.DrawSeconds;
        ours += submission - batched.Stats.UploadSeconds;
        upload += batched.Stats.UploadSeconds;
        draw += batched.Stats.DrawSeconds;
        total += batched.Seconds;
        state.SetIterationTime(submission);
        best = std::min(best, submission);
        singleTotal += Submit(singles.SmallEngine, false).Seconds;
    }
    const double quads = static_cast<double>(n) * static_cast<double>(state.iterations());
    const double singleQuads = kSingles * static_cast<double>(state.iterations());
    state.counters["ns_per_particle"] = (ours + upload) * 1e9 / quads;
    state.counters["best_ns_per_particle"] = best * 1e9 / n;
    state.counters["vertices_ns"] = ours * 1e9 / quads;
    state.counters["upload_ns"] = upload * 1e9 / quads;
    state.counters["driver_draw_ns"] = draw * 1e9 / quads;
    state.counters["one_per_call_ns"] = singleTotal * 1e9 / singleQuads;
    state.counters["one_per_call_ratio"] = (singleTotal / singleQuads) / (total / quads);
    // llvmpipe's vertex stage and triangle setup cost the same per quad either way; left out of
    // both sides, what remains is what batching saves against the per-call overhead.
    state.counters["one_per_call_ratio_without_vertex_stage"] =
        (singleTotal / singleQuads - draw / quads) / ((ours + upload) / quads);
}
BENCHMARK(BM_DrawSubmission)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Submission of n small particles of an emitter with one optional key (kFeatureNames), their
// lives spread from birth to death, alternating with the same particles of a plain emitter;
// our side only (the driver's draw calls left out), thread CPU time.
void BM_DrawWithExtras(benchmark::State& state) {
    if (!Scene().Ready) {
        state.SkipWithError("no offscreen GL screen");
        return;
    }
    const auto n = static_cast<int32_t>(state.range(1));
    SmallParticles plain(n);
    SmallParticles featured(n);
    Emitter* e = featured.SmallEngine.Emitters.First();
    SetFeature(e->Extras, state.range(0));
    // Makes the Life records, and fills the trails' rings.
    for (int32_t i = 0; i < std::max(1, e->Extras.Trail.Points); ++i) {
        featured.Clock.Advance(16);
        UpdateParticles(featured.SmallEngine);
    }
    SpreadLives(*e);
    double plainSeconds = 0.0;
    double featuredSeconds = 0.0;
    for (auto _ : state) {
        const Pass a = Submit(featured.SmallEngine, true);
        const double seconds = a.Seconds - a.Stats.DrawSeconds;
        featuredSeconds += seconds;
        state.SetIterationTime(seconds);
        const Pass b = Submit(plain.SmallEngine, true);
        plainSeconds += b.Seconds - b.Stats.DrawSeconds;
    }
    const double quads = static_cast<double>(n) * static_cast<double>(state.iterations());
    state.SetLabel(kFeatureNames[state.range(0)]);
    state.counters["ns_per_particle"] = featuredSeconds * 1e9 / quads;
    state.counters["plain_ns_per_particle"] = plainSeconds * 1e9 / quads;
    state.counters["ratio_to_plain"] = featuredSeconds / plainSeconds;
}
BENCHMARK(BM_DrawWithExtras)
    ->ArgNames({"feature", "particles"})
    ->ArgsProduct({benchmark::CreateDenseRange(0, kFeatures - 1, 1), {100000}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Angles as the particles turn: whole degrees plus spin, in radians.
std::vector<float> ParticleAngles(size_t n) {
    std::vector<float> angles(n);
    uint32_t x = 12345;
    for (float& a : angles) {
        x = x * 1664525u + 1013904223u;
        const auto degrees = static_cast<float>(x >> 20) * 0.37f - 300.0f;
        a = QuadAngleRadians(degrees, 0.0f, 0);
    }
    return angles;
}

// The corners of n turned quads, fast path beside the plain one with the library's cos and
// sin; and the two library calls alone, beside the fast pairs.
void BM_QuadCorners(benchmark::State& state) {
    constexpr size_t kAngles = 4096;
    const std::vector<float> angles = ParticleAngles(kAngles);
    std::vector<float> cosines(kAngles);
    std::vector<float> sines(kAngles);
    std::vector<CornerFloats> cornerX(kAngles);
    std::vector<CornerFloats> cornerY(kAngles);
    std::vector<QuadCorners> corners(kAngles);
    double fast = 0.0;
    double plain = 0.0;
    double fastTrig = 0.0;
    double libraryTrig = 0.0;
    for (auto _ : state) {
        Clock::time_point t = Clock::now();
        QuadCosSinMany(angles.data(), kAngles, cosines.data(), sines.data());
        for (size_t i = 0; i < kAngles; ++i) {
            const auto size = static_cast<int32_t>(i & 7) + 2;
            TurnedCorners(size, size, cosines[i], sines[i], cornerX[i], cornerY[i]);
        }
        benchmark::DoNotOptimize(cornerX.data());
        benchmark::DoNotOptimize(cornerY.data());
        const double seconds = Since(t);
        fast += seconds;
        state.SetIterationTime(seconds);

        t = Clock::now();
        for (size_t i = 0; i < kAngles; ++i) {
            corners[i] = ReferenceQuadCorners(static_cast<int32_t>(i & 7) + 2,
                                              static_cast<int32_t>(i & 7) + 2, angles[i]);
        }
        benchmark::DoNotOptimize(corners.data());
        plain += Since(t);

        t = Clock::now();
        QuadCosSinMany(angles.data(), kAngles, cosines.data(), sines.data());
        benchmark::DoNotOptimize(cosines.data());
        fastTrig += Since(t);

        t = Clock::now();
        for (size_t i = 0; i < kAngles; ++i) ReferenceQuadCosSin(angles[i], cosines[i], sines[i]);
        benchmark::DoNotOptimize(cosines.data());
        libraryTrig += Since(t);
    }
    const double quads = kAngles * static_cast<double>(state.iterations());
    state.counters["ns_per_quad"] = fast * 1e9 / quads;
    state.counters["library_ns_per_quad"] = plain * 1e9 / quads;
    state.counters["ratio_to_library"] = fast / plain;
    state.counters["sincos_ns"] = fastTrig * 1e9 / quads;
    state.counters["library_sincos_ns"] = libraryTrig * 1e9 / quads;
}
BENCHMARK(BM_QuadCorners)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The vertex work's loops over one run of particles, as the drawing calls them, on each vector
// path the processor has, the paths taking turns within every iteration so that all see the
// same load: nanoseconds per particle of each loop on each path, and AVX-512's over AVX2's.
void BM_VertexLoopsOnPaths(benchmark::State& state) {
    constexpr size_t kRun = QuadDrawRun::kCapacity;
    constexpr int kRepeats = 64;
    const CpuPath paths[] = {CpuPath::Sse2, CpuPath::Avx2, CpuPath::Avx512};
    const char* const loops[] = {"radians", "cossin", "centre", "corners", "turbulence"};
    auto particles = std::make_unique<ParticleRun>();
    auto run = std::make_unique<QuadDrawRun>();
    auto angles = std::make_unique<RunAngles>();
    std::vector<float> xy(kRun * 8);
    std::vector<uint8_t> alpha(kRun * 4);
    const std::vector<float> turns = ParticleAngles(kRun);
    for (size_t i = 0; i < kRun; ++i) {
        particles->Size[i] = 2.0f + static_cast<float>(i % 29) * 0.37f;
        particles->X[i] = static_cast<float>(i) * 1.37f;
        particles->Y[i] = static_cast<float>(i) * 0.71f;
        particles->Transparency[i] = static_cast<float>(i % 256);
        run->Degrees[i] = turns[i] * 57.29578f;
    }
    std::vector<Particle> places(kRun);
    for (size_t i = 0; i < kRun; ++i) {
        places[i] = Particle{0, 1, particles->X[i], particles->Y[i], 0, 0, 0, 0, 0, 0};
    }
    const TurbulenceFrame field = TurbulenceOf({90.0f, 37.0f, 1.0f, 5}, {7, 0.6f}, 3, 0.016f);
    std::vector<float> drift(2 * kRun);
    const QuadVertexSource source = {run->Size,       run->X,          run->Y,       run->Alpha,
                                     angles->Radians, angles->Cosines, angles->Sines};
    auto loop = [&](int which) {
        for (int r = 0; r < kRepeats; ++r) {
            if (which == 0) QuadRadiansMany(run->Degrees, kRun, angles->Radians);
            if (which == 1) QuadCosSinMany(angles->Radians, kRun, angles->Cosines, angles->Sines);
            if (which == 2) CentreAndRound(*particles, *run, kRun, 0.5f, -0.5f);
            if (which == 3) WriteQuadVertices(source, kRun, xy.data(), alpha.data());
            if (which == 4) TurbulenceRun(field, places.data(), kRun, drift.data());
            benchmark::ClobberMemory();
        }
    };
    double seconds[3][5] = {};
    bool reversed = false;
    for (auto _ : state) {
        double total = 0.0;
        // The order turns round every iteration: no path always runs first or last.
        reversed = !reversed;
        for (size_t step = 0; step < std::size(paths); ++step) {
            const size_t k = reversed ? std::size(paths) - 1 - step : step;
            if (!ForceCpuPath(paths[k])) continue;
            for (int which = 0; which < 5; ++which) {
                const Clock::time_point t = Clock::now();
                loop(which);
                const double spent = Since(t);
                seconds[k][which] += spent;
                total += spent;
            }
        }
        state.SetIterationTime(total);
    }
    ForceCpuPath(BestCpuPath());
    const double n = static_cast<double>(kRun) * kRepeats * static_cast<double>(state.iterations());
    for (size_t k = 0; k < std::size(paths); ++k) {
        if (!HasCpuPath(paths[k])) continue;
        for (int which = 0; which < 5; ++which) {
            const std::string name = std::string(CpuPathName(paths[k])) + "_" + loops[which];
            state.counters[name + "_ns"] = seconds[k][which] * 1e9 / n;
            if (k == 2) state.counters[name + "_over_avx2"] = seconds[2][which] / seconds[1][which];
        }
    }
}
BENCHMARK(BM_VertexLoopsOnPaths)->UseManualTime()->Unit(benchmark::kMicrosecond);

// One whole frame as the player draws it, rasterisation included (glFinish waits for the
// rasteriser threads): clear, update, quads, present. Also the frame without rasterisation:
// update plus submission (our side and the upload), which is what the engine costs.
void RunFrames(benchmark::State& state, particleplayer::World& world, VirtualClock& clock) {
    double update = 0.0;
    double submission = 0.0;
    double driver = 0.0;
    double frames = 0.0;
    double particles = 0.0;
    for (auto _ : state) {
        clock.Advance(16);
        const Clock::time_point start = Clock::now();
        particleplayer::FrameTimes times;
        particleplayer::DrawTimedFrame(world, times);
        glFinish();
        const double seconds = Since(start);
        update += times.UpdateSeconds;
        submission += times.SubmissionSeconds;
        driver += times.DrawCallSeconds;
        frames += seconds;
        state.SetIterationTime(seconds);
        particles += static_cast<double>(times.Quads);
    }
    const auto count = static_cast<double>(state.iterations());
    state.counters["frame_ms"] = frames * 1e3 / count;
    state.counters["engine_ms"] = (update + submission) * 1e3 / count;
    state.counters["update_ms"] = update * 1e3 / count;
    state.counters["submission_ms"] = submission * 1e3 / count;
    state.counters["driver_draw_ms"] = driver * 1e3 / count;
    state.counters["engine_ratio_to_60hz"] = (update + submission) * 1e3 / count / kFrameBudgetMs;
    state.counters["frame_ratio_to_60hz"] = frames * 1e3 / count / kFrameBudgetMs;
    state.counters["quads"] = particles / count;
}

void BM_FrameScene(benchmark::State& state) {
    SceneRun& run = Scene();
    if (!run.Ready) {
        state.SkipWithError("no offscreen GL screen");
        return;
    }
    // Three seconds in, every effect has its steady population.
    for (int i = 0; i < 3000 / 16; ++i) {
        run.Clock.Advance(16);
        particleplayer::DrawFrame(run.SceneWorld);
    }
    RunFrames(state, run.SceneWorld, run.Clock);
}
BENCHMARK(BM_FrameScene)->UseManualTime()->Unit(benchmark::kMillisecond);

// Frames of n small particles with the threads given (0: all), each followed by the same
// frame on the calling thread alone, so that both see the same load; wall time for the update
// and the submission of both. Run with LP_NUM_THREADS=0 so that llvmpipe rasterises inside its
// GL calls (which are left out of the submission) instead of on threads that compete with ours.
void BM_FrameSmallParticles(benchmark::State& state) {
    if (!Scene().Ready) {
        state.SkipWithError("no offscreen GL screen");
        return;
    }
    SmallParticles small(static_cast<int32_t>(state.range(0)));
    WorkerPool pool(static_cast<int32_t>(state.range(1)));
    Engine& engine = small.SmallEngine;
    double frames = 0.0;
    double update[2] = {0.0, 0.0};
    double submission[2] = {0.0, 0.0};
    double quads = 0.0;
    for (auto _ : state) {
        for (int pass = 0; pass < 2; ++pass) {
            engine.Workers = pass == 0 ? &pool : nullptr;
            small.Clock.Advance(16);
            const Clock::time_point start = Clock::now();
            FrameTiming timing;
            timing.WallTime = true;
            RunEngineFrame(engine, FrameUpdate::Run, &timing);
            glFinish();
            update[pass] += timing.UpdateSeconds;
            submission[pass] += timing.DrawSeconds - timing.Quads.DrawSeconds;
            if (pass == 0) {
                const double seconds = Since(start);
                frames += seconds;
                state.SetIterationTime(seconds);
                quads += static_cast<double>(timing.Quads.Quads);
            }
        }
    }
    engine.Workers = nullptr;
    const auto count = static_cast<double>(state.iterations());
    const double engineMs = (update[0] + submission[0]) * 1e3 / count;
    const double oneThreadMs = (update[1] + submission[1]) * 1e3 / count;
    state.counters["threads"] = pool.Threads();
    state.counters["frame_ms"] = frames * 1e3 / count;
    state.counters["engine_ms"] = engineMs;
    state.counters["update_ms"] = update[0] * 1e3 / count;
    state.counters["submission_ms"] = submission[0] * 1e3 / count;
    state.counters["submission_ns_per_particle"] = submission[0] * 1e9 / quads;
    state.counters["one_thread_engine_ms"] = oneThreadMs;
    state.counters["one_thread_update_ms"] = update[1] * 1e3 / count;
    state.counters["one_thread_submission_ms"] = submission[1] * 1e3 / count;
    state.counters["speedup"] = oneThreadMs / engineMs;
    state.counters["scaling_efficiency"] = oneThreadMs / engineMs / pool.Threads();
    state.counters["quads"] = quads / count;
}
BENCHMARK(BM_FrameSmallParticles)
    ->ArgNames({"particles", "threads"})
    ->ArgsProduct({{100000, 1000000}, {1, 2, 0}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pp

BENCHMARK_MAIN();
