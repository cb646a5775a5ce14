// Engine hot paths, each beside a baseline measured in the same run: the per-frame update at
// steady populations on 1, 2 and all threads beside the same update on one thread and a plain
// array sweep of the same bytes on the same threads (what memory bandwidth allows), the update
// with gravity, growth, spin and fade beside a textbook array-of-structs loop and a
// structure-of-arrays loop of the kind the fastest libraries use, the update of
// churning populations beside the same sweep, the spawn of one particle for every area shape beside
// a Point spawn, the heap bytes a live particle costs beside the 40 bytes of its record, and
// the update of an emitter with each optional key beside a plain one.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "bench/extras_features.h"
#include "particles/particles.h"
#include "runtime/clock_readings.h"
#include "runtime/cpu_path.h"
#include "runtime/random.h"
#include "runtime/worker_pool.h"

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

double WallSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Sweep split over the pool's threads, four chunks each.
void SweepOn(WorkerPool& pool, std::vector<Particle>& records, float dt, float ax, float ay) {
    const size_t chunks = static_cast<size_t>(pool.Threads()) * 4;
    pool.Run(chunks, [&](size_t k) {
        const size_t n = records.size();
        std::vector<Particle>::iterator begin = records.begin();
        auto first = static_cast<ptrdiff_t>(n * k / chunks);
        auto last = static_cast<ptrdiff_t>(n * (k + 1) / chunks);
        for (auto p = begin + first; p != begin + last; ++p) {
            p->X += dt * p->VelocityX;
            p->Y += dt * p->VelocityY;
            p->VelocityX += dt * ax;
            p->VelocityY += dt * ay;
            p->Size += dt * 0.0f;
            p->Angle += p->RotationStep;
            p->Transparency += dt * 0.0f;
        }
    });
}

// A disabled emitter holding n long-lived particles, updated once.
Emitter* SteadyEmitter(Engine& engine, int32_t n) {
    SeedRandom(engine.Random, 1);
    Emitter* e = CreateEmitter(engine, 400, 300);
    e->AccelerationY = 10.0f;
    SetValueSpec(e->LifeTime, 100000.0f, kSameAsMin<float>, 1.0f);  // outlives any run
    SetValueSpec(e->Rotation, -2.0f, 2.0f, 0.5f);
    for (int32_t i = 0; i < n; ++i) SpawnParticle(engine, *e);
    e->Disable = 1;
    UpdateParticles(engine);
    return e;
}

// Steady state: a disabled emitter holds n long-lived particles; each iteration advances the
// virtual clock by 16 ms and updates with the threads given (0: all), then again on the calling
// thread alone, so that both see the same load. The sweep of the same bytes, on the same
// threads, then runs as many times on its own, so that neither evicts the other's data from
// the cache between passes. Wall time throughout: the work is spread over threads.
void BM_UpdateParticles(benchmark::State& state) {
    const auto n = static_cast<int32_t>(state.range(0));
    WorkerPool pool(static_cast<int32_t>(state.range(1)));
    VirtualClock clock(1000);
    Engine engine(clock);
    Emitter* e = SteadyEmitter(engine, n);
    std::vector<Particle> records(e->Particles.First(), e->Particles.First() + n);

    double updateSeconds = 0.0;
    double oneThreadSeconds = 0.0;
    for (auto _ : state) {
        clock.Advance(16);
        engine.Workers = &pool;
        const double t0 = WallSeconds();
        UpdateParticles(engine);
        const double t1 = WallSeconds();
        updateSeconds += t1 - t0;
        state.SetIterationTime(t1 - t0);
        clock.Advance(16);
        engine.Workers = nullptr;
        const double t2 = WallSeconds();
        UpdateParticles(engine);
        oneThreadSeconds += WallSeconds() - t2;
    }
    SweepOn(pool, records, 0.016f, 0.0f, 10.0f);  // warm-up, as the update's population was
    const double s0 = WallSeconds();
    for (benchmark::IterationCount i = 0; i < state.iterations(); ++i) {
        SweepOn(pool, records, 0.016f, 0.0f, 10.0f);
        benchmark::ClobberMemory();
    }
    const double sweepSeconds = WallSeconds() - s0;
    if (e->Particles.Count() != n) state.SkipWithError("population changed during the run");
    const double visits = static_cast<double>(n) * static_cast<double>(state.iterations());
    state.counters["threads"] = pool.Threads();
    state.counters["ns_per_particle"] = updateSeconds * 1e9 / visits;
    state.counters["one_thread_ns_per_particle"] = oneThreadSeconds * 1e9 / visits;
    state.counters["speedup"] = oneThreadSeconds / updateSeconds;
    state.counters["scaling_efficiency"] = oneThreadSeconds / updateSeconds / pool.Threads();
    state.counters["sweep_ns_per_particle"] = sweepSeconds * 1e9 / visits;
    state.counters["ratio_to_sweep"] = updateSeconds / sweepSeconds;
}
BENCHMARK(BM_UpdateParticles)
    ->ArgNames({"particles", "threads"})
    ->Args({4000, 1})  // fits the 512 KiB L2 of the development machine
    ->Args({10000, 1})
    ->ArgsProduct({{100000, 1000000}, {1, 2, 0}})
    ->Args({4000000, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// The update on the calling thread on each vector path the processor has, the paths taking
// turns within every iteration so that all see the same load: nanoseconds per particle of
// each, and each path's time over SSE2's. Wall time of this thread alone.
void BM_UpdatePaths(benchmark::State& state) {
    const auto n = static_cast<int32_t>(state.range(0));
    VirtualClock clock(1000);
    Engine engine(clock);
    SteadyEmitter(engine, n);
    const CpuPath paths[] = {CpuPath::Scalar, CpuPath::Sse2, CpuPath::Avx2, CpuPath::Avx512};
    double seconds[4] = {0.0, 0.0, 0.0, 0.0};
    for (auto _ : state) {
        double total = 0.0;
        for (size_t k = 0; k < std::size(paths); ++k) {
            if (!ForceCpuPath(paths[k])) continue;
            clock.Advance(16);
            const double t0 = WallSeconds();
            UpdateParticles(engine);
            const double t = WallSeconds() - t0;
            seconds[k] += t;
            total += t;
        }
        state.SetIterationTime(total);
    }
    ForceCpuPath(BestCpuPath());
    const double visits = static_cast<double>(n) * static_cast<double>(state.iterations());
    for (size_t k = 0; k < std::size(paths); ++k) {
        if (!HasCpuPath(paths[k])) continue;
        const std::string name = CpuPathName(paths[k]);
        state.counters[name + "_ns"] = seconds[k] * 1e9 / visits;
        state.counters[name + "_over_sse2"] = seconds[k] / seconds[1];
    }
}
BENCHMARK(BM_UpdatePaths)
    ->ArgName("particles")
    ->Arg(4000)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// Gravity, growth, spin and fade on 1M particles, in the engine and in the loop a textbook
// writes: an array of structs, one pass that moves every particle, then erase-remove of the
// dead. The engine runs on one thread and on all; the same long-lived population on both
// sides, wall time.
struct TextbookParticle {
    float X, Y, VelocityX, VelocityY, Size, Growth, Angle, Spin, Alpha, Life;
};

void TextbookUpdate(std::vector<TextbookParticle>& particles, float dt, float gravity, float fade) {
    for (TextbookParticle& p : particles) {
        p.VelocityY += gravity * dt;
        p.X += p.VelocityX * dt;
        p.Y += p.VelocityY * dt;
        p.Size += p.Growth * dt;
        p.Angle += p.Spin;
        p.Alpha -= fade * dt;
        p.Life -= dt;
    }
    particles.erase(std::remove_if(particles.begin(), particles.end(),
                                   [](const TextbookParticle& p) {
                                       return p.Life <= 0.0f || p.Alpha < 1.0f || p.Size < 1.0f;
                                   }),
                    particles.end());
}

void BM_UpdatePeer(benchmark::State& state) {
    constexpr int32_t kParticles = 1000000;
    WorkerPool pool(0);
    VirtualClock clock(1000);
    Engine engine(clock);
    SeedRandom(engine.Random, 3);
    Emitter* e = CreateEmitter(engine, 400, 300);
    e->AccelerationY = 98.0f;
    e->Raise = 0.5f;
    e->Fade = -0.01f;
    SetValueSpec(e->LifeTime, 100000.0f, kSameAsMin<float>, 1.0f);
    SetValueSpec(e->Rotation, -2.0f, 2.0f, 0.5f);
    SetValueSpec(e->Size, 4.0f, 8.0f, 1.0f);
    SetValueSpec(e->Transparency, 200.0f, 255.0f, 1.0f);
    SetValueSpec(e->EmissionVelocity, 10.0f, 60.0f, 1.0f);
    for (int32_t i = 0; i < kParticles; ++i) SpawnParticle(engine, *e);
    e->Disable = 1;
    UpdateParticles(engine);
    std::vector<TextbookParticle> textbook;
    textbook.reserve(kParticles);
    ListVisit(e->Particles, [&](const Particle& p) {
        textbook.push_back({p.X, p.Y, p.VelocityX, p.VelocityY, p.Size, 0.5f, p.Angle,
                            p.RotationStep, p.Transparency, 100.0f});
    });
    double one = 0.0;
    double all = 0.0;
    double plain = 0.0;
    for (auto _ : state) {
        clock.Advance(16);
        engine.Workers = nullptr;
        const double t0 = WallSeconds();
        UpdateParticles(engine);
        const double t1 = WallSeconds();
        clock.Advance(16);
        engine.Workers = &pool;
        UpdateParticles(engine);
        const double t2 = WallSeconds();
        TextbookUpdate(textbook, 0.016f, 98.0f, 0.01f);
        const double t3 = WallSeconds();
        benchmark::ClobberMemory();
        one += t1 - t0;
        all += t2 - t1;
        plain += t3 - t2;
        state.SetIterationTime(t1 - t0);
    }
    if (e->Particles.Count() != kParticles || textbook.size() != kParticles) {
        state.SkipWithError("population changed during the run");
    }
    const double visits = kParticles * static_cast<double>(state.iterations());
    state.counters["engine_ns"] = one * 1e9 / visits;
    state.counters["engine_all_threads_ns"] = all * 1e9 / visits;
    state.counters["textbook_ns"] = plain * 1e9 / visits;
    state.counters["engine_ratio_to_textbook"] = one / plain;
    state.counters["threads"] = pool.Threads();
}
BENCHMARK(BM_UpdatePeer)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same kind of population in the structure-of-arrays layout of the fastest particle
// libraries: position, velocity, acceleration, colour and time each an array of four-float
// records, one pass over the arrays per updater, and a dead particle replaced by the last one.
// Position holds x, y, angle and size; velocity the velocity, the spin per update and the
// growth per second; colour's fourth lane is the alpha and time's first the life left.
struct Float4Record {
    float V[4];
};

struct SoaParticles {
    std::vector<Float4Record> Position, Velocity, Acceleration, Colour, Time;
    size_t Alive = 0;

    void Add(const Particle& p, float growth, float gravity, float life) {
        Position.push_back({{p.X, p.Y, p.Angle, p.Size}});
        Velocity.push_back({{p.VelocityX, p.VelocityY, p.RotationStep, growth}});
        Acceleration.push_back({{0.0f, gravity, 0.0f, 0.0f}});
        Colour.push_back({{255.0f, 255.0f, 255.0f, p.Transparency}});
        Time.push_back({{life, life, 0.0f, 1.0f / life}});
        ++Alive;
    }

    void Kill(size_t i) {
        --Alive;
        for (std::vector<Float4Record>* a : {&Position, &Velocity, &Acceleration, &Colour, &Time})
            (*a)[i] = (*a)[Alive];
    }

    void Update(float dt, float fade) {
        // Euler: velocity takes the acceleration, then position the velocity (spin per update).
        for (size_t i = 0; i < Alive; ++i) {
            Float4Record& v = Velocity[i];
            const Float4Record& a = Acceleration[i];
            for (int k = 0; k < 2; ++k) v.V[k] += dt * a.V[k];
        }
        for (size_t i = 0; i < Alive; ++i) {
            Float4Record& p = Position[i];
            const Float4Record& v = Velocity[i];
            p.V[0] += dt * v.V[0];
            p.V[1] += dt * v.V[1];
            p.V[2] += v.V[2];
            p.V[3] += dt * v.V[3];
        }
        // Colour: the alpha fades.
        for (size_t i = 0; i < Alive; ++i) Colour[i].V[3] -= fade * dt;
        // Time: the life runs down; the dead go.
        for (size_t i = 0; i < Alive;) {
            Float4Record& t = Time[i];
            t.V[0] -= dt;
            t.V[2] = 1.0f - t.V[0] * t.V[3];
            if (t.V[0] <= 0.0f) {
                Kill(i);
            } else {
                ++i;
            }
        }
    }
};

// The engine's update on one thread beside that structure-of-arrays peer, the same n
// long-lived particles with gravity, growth, spin and fade, alternating in one run, this
// thread's CPU time; "peer/engine" is how many times longer the peer takes.
void BM_UpdateSoaPeer(benchmark::State& state) {
    const auto n = static_cast<int32_t>(state.range(0));
    VirtualClock clock(1000);
    Engine engine(clock);
    SeedRandom(engine.Random, 3);
    Emitter* e = CreateEmitter(engine, 400, 300);
    e->AccelerationY = 98.0f;
    e->Raise = 0.5f;
    e->Fade = -0.01f;
    SetValueSpec(e->LifeTime, 100000.0f, kSameAsMin<float>, 1.0f);
    SetValueSpec(e->Rotation, -2.0f, 2.0f, 0.5f);
    SetValueSpec(e->Size, 4.0f, 8.0f, 1.0f);
    SetValueSpec(e->Transparency, 200.0f, 255.0f, 1.0f);
    SetValueSpec(e->EmissionVelocity, 10.0f, 60.0f, 1.0f);
    for (int32_t i = 0; i < n; ++i) SpawnParticle(engine, *e);
    e->Disable = 1;
    UpdateParticles(engine);
    SoaParticles peer;
    ListVisit(e->Particles, [&](const Particle& p) { peer.Add(p, 0.5f, 98.0f, 100000.0f); });
    double ours = 0.0;
    double theirs = 0.0;
    for (auto _ : state) {
        clock.Advance(16);
        const double t0 = ThreadCpuSeconds();
        UpdateParticles(engine);
        const double t1 = ThreadCpuSeconds();
        peer.Update(0.016f, 0.01f);
        const double t2 = ThreadCpuSeconds();
        benchmark::ClobberMemory();
        ours += t1 - t0;
        theirs += t2 - t1;
    }
    if (e->Particles.Count() != n || peer.Alive != static_cast<size_t>(n)) {
        state.SkipWithError("population changed during the run");
    }
    const double visits = static_cast<double>(n) * static_cast<double>(state.iterations());
    state.counters["engine_ns"] = ours * 1e9 / visits;
    state.counters["peer_ns"] = theirs * 1e9 / visits;
    state.counters["peer/engine"] = ours > 0.0 ? theirs / ours : 0.0;
}
BENCHMARK(BM_UpdateSoaPeer)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

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
        SetValueSpec(e->EmissionRate, 1000.0f, kSameAsMin<float>, 1.0f);
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
        double t0 = ThreadCpuSeconds();
        UpdateParticles(engine);
        double t1 = ThreadCpuSeconds();
        updateSeconds += t1 - t0;
        state.SetIterationTime(t1 - t0);
    }
    Sweep(records, 0.016f, 0.0f, 8.0f);
    double s0 = ThreadCpuSeconds();
    for (benchmark::IterationCount i = 0; i < state.iterations(); ++i) {
        Sweep(records, 0.016f, 0.0f, 8.0f);
        benchmark::ClobberMemory();
    }
    double sweepSeconds = ThreadCpuSeconds() - s0;
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
    const double t0 = ThreadCpuSeconds();
    for (int32_t i = 0; i < count; ++i) SpawnParticle(engine, e);
    const double seconds = ThreadCpuSeconds() - t0;
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

// Updates `featured` then `plain` each iteration, 16 ms apart, timed by `now`; the featured
// update is the iteration's time. Returns the seconds of each in all.
template <class Now>
std::pair<double, double> UpdatesInTurns(benchmark::State& state, VirtualClock& clock,
                                         Engine& featured, Engine& plain, Now now) {
    double featuredSeconds = 0.0;
    double plainSeconds = 0.0;
    for (auto _ : state) {
        clock.Advance(16);
        double t0 = now();
        UpdateParticles(featured);
        const double seconds = now() - t0;
        featuredSeconds += seconds;
        state.SetIterationTime(seconds);
        t0 = now();
        UpdateParticles(plain);
        plainSeconds += now() - t0;
    }
    return {featuredSeconds, plainSeconds};
}

// The update of n long-lived particles of an emitter with one optional key (kFeatureNames),
// alternating with the same update of a plain emitter's n, thread CPU time, one thread.
void BM_UpdateWithExtras(benchmark::State& state) {
    const auto n = static_cast<int32_t>(state.range(1));
    VirtualClock clock(1000);
    Engine plain(clock);
    Engine featured(clock);
    SteadyEmitter(plain, n);
    Emitter* e = SteadyEmitter(featured, n);
    SetFeature(e->Extras, state.range(0));
    UpdateParticles(featured);  // makes the Life records
    const auto [featuredSeconds, plainSeconds] =
        UpdatesInTurns(state, clock, featured, plain, ThreadCpuSeconds);
    if (e->Particles.Count() != n || e->Life.Count() != n) {
        state.SkipWithError("population changed during the run");
    }
    const double visits = static_cast<double>(n) * static_cast<double>(state.iterations());
    state.SetLabel(kFeatureNames[state.range(0)]);
    state.counters["ns_per_particle"] = featuredSeconds * 1e9 / visits;
    state.counters["plain_ns_per_particle"] = plainSeconds * 1e9 / visits;
    state.counters["ratio_to_plain"] = featuredSeconds / plainSeconds;
}
BENCHMARK(BM_UpdateWithExtras)
    ->ArgNames({"feature", "particles"})
    ->ArgsProduct({benchmark::CreateDenseRange(0, kFeatures - 1, 1), {100000}})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// A million long-lived particles in a turbulence field, on the threads given (0: all), against
// the same million without it on the same threads; wall time, the field's work being spread.
void BM_UpdateTurbulentMillion(benchmark::State& state) {
    constexpr int32_t kMillion = 1000000;
    WorkerPool pool(static_cast<int32_t>(state.range(0)));
    VirtualClock clock(1000);
    Engine plain(clock);
    Engine turbulent(clock);
    plain.Workers = turbulent.Workers = &pool;
    SteadyEmitter(plain, kMillion);
    Emitter* e = SteadyEmitter(turbulent, kMillion);
    SetFeature(e->Extras, kTurbulenceFeature);
    UpdateParticles(turbulent);  // makes the Life records
    const auto [turbulentSeconds, plainSeconds] =
        UpdatesInTurns(state, clock, turbulent, plain, WallSeconds);
    if (e->Particles.Count() != kMillion) state.SkipWithError("population changed");
    const auto n = static_cast<double>(state.iterations());
    state.counters["turbulent_ms"] = turbulentSeconds * 1e3 / n;
    state.counters["plain_ms"] = plainSeconds * 1e3 / n;
    state.counters["ratio_to_plain"] = turbulentSeconds / plainSeconds;
}
BENCHMARK(BM_UpdateTurbulentMillion)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pp

BENCHMARK_MAIN();
