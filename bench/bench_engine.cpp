// Engine hot paths, each beside a baseline measured in the same run: the per-frame update at
// steady populations beside a plain array sweep of the same bytes (what memory bandwidth
// allows), the update of churning populations beside the same sweep, the spawn of one particle
// for every area shape beside a Point spawn, and the heap bytes a live particle costs beside
// the 40 bytes of its record.
#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdint>
#include <vector>

#include "particles/particles.h"
#include "runtime/clock.h"
#include "runtime/random.h"

namespace pp {
namespace {

// The update's arithmetic on an array of the records as a particle list holds them: no
// cursor, no death test, no removal.
void Sweep(std::vector<Particle>& records, float dt, float ax, float ay) {
    for (Particle& p : records) {
        p.X += dt * p.VelocityX;
        p.Y += dt * p.VelocityY;
        p.VelocityX += dt * ax;
        p.VelocityY += dt * ay;
        p.Size += dt * 0.0f;
        p.Angle += p.RotationStep;
        p.Transparency += dt * 0.0f;
    }
}

// Thread CPU time: the machine is shared, and time spent preempted is not the engine's.
double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Steady state: a disabled emitter holds n long-lived particles; each iteration advances the
// virtual clock by 16 ms and updates. The sweep of the same bytes then runs as many times on
// its own, so that neither evicts the other's data from the cache between passes.
void BM_UpdateParticles(benchmark::State& state) {
    const auto n = static_cast<int32_t>(state.range(0));
    VirtualClock clock(1000);
    Engine engine(clock);
    SeedRandom(engine.Random, 1);
    Emitter* e = CreateEmitter(engine, 400, 300);
    e->AccelerationY = 10.0f;
    SetValueSpec(e->LifeTime, 100000.0f, -65535.0f, 1.0f);  // outlives any run
    SetValueSpec(e->Rotation, -2.0f, 2.0f, 0.5f);
    for (int32_t i = 0; i < n; ++i) SpawnParticle(engine, *e);
    SetDisable(e, 1, 0);
    UpdateParticles(engine);

    std::vector<Particle> records(e->Particles.First(), e->Particles.First() + n);

    double updateSeconds = 0.0;
    for (auto _ : state) {
        clock.Advance(16);
        double t0 = ThreadSeconds();
        UpdateParticles(engine);
        double t1 = ThreadSeconds();
        updateSeconds += t1 - t0;
        state.SetIterationTime(t1 - t0);
    }
    Sweep(records, 0.016f, 0.0f, 10.0f);  // warm-up, as the update's population was
    double s0 = ThreadSeconds();
    for (benchmark::IterationCount i = 0; i < state.iterations(); ++i) {
        Sweep(records, 0.016f, 0.0f, 10.0f);
        benchmark::ClobberMemory();
    }
    double sweepSeconds = ThreadSeconds() - s0;
    if (e->Particles.Count() != n) state.SkipWithError("population changed during the run");
    const double visits = static_cast<double>(n) * static_cast<double>(state.iterations());
    state.counters["ns_per_particle"] = updateSeconds * 1e9 / visits;
    state.counters["sweep_ns_per_particle"] = sweepSeconds * 1e9 / visits;
    state.counters["ratio_to_sweep"] = updateSeconds / sweepSeconds;
    state.counters["particles"] = n;
}
BENCHMARK(BM_UpdateParticles)
    ->Arg(4000)  // fits the 512 KiB L2 of the development machine
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Arg(4000000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// Emitters like those of `render --stress` (1000 particles a second each, living 1 to 3
// seconds, about 2000 alive each) for a population of about n, run for 6 seconds at 16 ms
// frames so that births and deaths balance.
void AddChurningEmitters(Engine& engine, VirtualClock& clock, int32_t n) {
    const int32_t emitters = (n + 1999) / 2000;
    for (int32_t i = 0; i < emitters; ++i) {
        Emitter* e = CreateEmitter(engine, 400, 300);
        e->AreaType = 5;
        e->AreaWidth = 600.0f;
        e->AreaHeight = 400.0f;
        e->AccelerationY = 8.0f;
        SetValueSpec(e->EmissionRate, 1000.0f, -65535.0f, 1.0f);
        SetValueSpec(e->LifeTime, 1.0f, 3.0f, 0.25f);
        SetValueSpec(e->Size, 2.0f, 6.0f, 1.0f);
        SetValueSpec(e->Rotation, -4.0f, 4.0f, 1.0f);
    }
    for (int32_t frame = 0; frame < 6000 / 16; ++frame) {
        clock.Advance(16);
        UpdateParticles(engine);
    }
}

int64_t LiveParticles(Engine& engine) {
    int64_t live = 0;
    ListRewind(engine.Emitters);
    while (Emitter* e = ListNext(engine.Emitters)) live += e->Particles.Count();
    return live;
}

// Churn: every frame each emitter spawns 16 particles and about as many die all along its
// list, so the update spawns, moves and removes. ns per live particle, beside the sweep of
// as many records.
void BM_UpdateChurning(benchmark::State& state) {
    VirtualClock clock(1000);
    Engine engine(clock);
    SeedRandom(engine.Random, 1);
    AddChurningEmitters(engine, clock, static_cast<int32_t>(state.range(0)));
    std::vector<Particle> records(static_cast<size_t>(LiveParticles(engine)));
    double updateSeconds = 0.0;
    double visits = 0.0;
    for (auto _ : state) {
        visits += static_cast<double>(LiveParticles(engine));
        clock.Advance(16);
        double t0 = ThreadSeconds();
        UpdateParticles(engine);
        double t1 = ThreadSeconds();
        updateSeconds += t1 - t0;
        state.SetIterationTime(t1 - t0);
    }
    Sweep(records, 0.016f, 0.0f, 8.0f);
    double s0 = ThreadSeconds();
    for (benchmark::IterationCount i = 0; i < state.iterations(); ++i) {
        Sweep(records, 0.016f, 0.0f, 8.0f);
        benchmark::ClobberMemory();
    }
    double sweepSeconds = ThreadSeconds() - s0;
    const double sweeps =
        static_cast<double>(records.size()) * static_cast<double>(state.iterations());
    state.counters["ns_per_particle"] = updateSeconds * 1e9 / visits;
    state.counters["sweep_ns_per_particle"] = sweepSeconds * 1e9 / sweeps;
    state.counters["ratio_to_sweep"] = (updateSeconds / visits) / (sweepSeconds / sweeps);
    state.counters["particles"] = static_cast<double>(records.size());
}
BENCHMARK(BM_UpdateChurning)
    ->Arg(100000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

constexpr const char* kAreaNames[] = {"Point", "Line", "Square", "Rectangle", "Circle", "Ellipse"};

// An emitter with ranged parameters and the given area shape, turned where the shape turns.
Emitter* SpawnEmitter(Engine& engine, int32_t areaType) {
    Emitter* e = CreateEmitter(engine, 400, 300);
    e->AreaType = areaType;
    e->AreaWidth = 120.0f;
    e->AreaHeight = 40.0f;
    e->AreaAngle = 0.4f;
    SetValueSpec(e->Size, 8.0f, 40.0f, 2.0f);
    SetValueSpec(e->EmissionVelocity, 50.0f, 150.0f, 5.0f);
    SetValueSpec(e->Rotation, -2.0f, 2.0f, 0.5f);
    SetValueSpec(e->LifeTime, 0.5f, 2.0f, 0.25f);
    SetValueSpec(e->Transparency, 120.0f, 255.0f, 5.0f);
    return e;
}

// Thread CPU seconds for one batch of spawns; the batch is cleared outside the timing.
double SpawnBatch(Engine& engine, Emitter& e, int32_t count) {
    const double t0 = ThreadSeconds();
    for (int32_t i = 0; i < count; ++i) SpawnParticle(engine, e);
    const double seconds = ThreadSeconds() - t0;
    ListRemoveAll(e.Particles);
    return seconds;
}

// Spawning into an emitter of one area shape, batches alternating with batches of a Point
// emitter of the same parameters, so that the ratio sees the same machine load.
void BM_SpawnParticle(benchmark::State& state) {
    constexpr int32_t kBatch = 1000;
    const auto areaType = static_cast<int32_t>(state.range(0));
    VirtualClock clock(1000);
    Engine engine(clock);
    SeedRandom(engine.Random, 1);
    Emitter* shaped = SpawnEmitter(engine, areaType);
    Emitter* point = SpawnEmitter(engine, 0);
    double shapedSeconds = 0.0;
    double pointSeconds = 0.0;
    for (auto _ : state) {
        const double seconds = SpawnBatch(engine, *shaped, kBatch);
        shapedSeconds += seconds;
        state.SetIterationTime(seconds);
        pointSeconds += SpawnBatch(engine, *point, kBatch);
    }
    const double spawns = static_cast<double>(kBatch) * static_cast<double>(state.iterations());
    state.SetLabel(kAreaNames[areaType]);
    state.counters["ns_per_particle"] = shapedSeconds * 1e9 / spawns;
    state.counters["ratio_to_point"] = shapedSeconds / pointSeconds;
}
BENCHMARK(BM_SpawnParticle)->DenseRange(0, 5)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Heap bytes per live particle at a steady churning population of about n (see
// AddChurningEmitters): every particle list's array, spare records included, plus the 16 bytes
// the C library keeps beside each block.
void BM_MemoryPerParticle(benchmark::State& state) {
    VirtualClock clock(1000);
    Engine engine(clock);
    SeedRandom(engine.Random, 1);
    AddChurningEmitters(engine, clock, static_cast<int32_t>(state.range(0)));
    constexpr double kBlockOverhead = 16.0;
    double bytes = 0.0;
    double live = 0.0;
    for (auto _ : state) {
        bytes = 0.0;
        live = 0.0;
        ListRewind(engine.Emitters);
        while (Emitter* e = ListNext(engine.Emitters)) {
            const size_t held = e->Particles.BytesHeld();
            bytes += static_cast<double>(held) + (held > 0 ? kBlockOverhead : 0.0);
            live += e->Particles.Count();
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["live_particles"] = live;
    state.counters["bytes_per_particle"] = bytes / live;
    state.counters["ratio_to_record"] = bytes / live / static_cast<double>(sizeof(Particle));
}
BENCHMARK(BM_MemoryPerParticle)->Arg(100000)->Arg(1000000)->Iterations(1);

}  // namespace
}  // namespace pp

BENCHMARK_MAIN();
