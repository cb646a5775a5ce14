// The public API's cost over the engine: the same population updated through World::Update
// and through the engine call it forwards to, alternating in one run; the counter "api/engine"
// is their ratio (target: within 1.05).
#include <benchmark/benchmark.h>
#include <time.h>

#include "lib/world_access.h"
#include "particleplayer/world.h"

namespace particleplayer {
namespace {

double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Two worlds with the same steady population of about n particles: a long-lived effect whose
// rate keeps n alive.
World MakeWorld(int64_t n) {
    WorldOptions options;
    options.Seed = 1;
    World world(options);
    const std::string text = "EmissionRate = " + std::to_string(n / 4) +
                             "\nLifeTime = 4\nEmissionVelocity = {Min = 10, Max = 90}\n";
    world.LoadEffectText(text, 400, 300);
    for (int i = 0; i < 300; ++i) {
        world.AdvanceTime(16);
        world.Update();
    }
    return world;
}

void BM_UpdateThroughApi(benchmark::State& state) {
    World api = MakeWorld(state.range(0));
    World direct = MakeWorld(state.range(0));
    pp::Engine& engine = WorldAccess::EngineOf(direct);
    double apiSeconds = 0.0;
    double engineSeconds = 0.0;
    for (auto _ : state) {
        api.AdvanceTime(16);
        direct.AdvanceTime(16);
        const double t0 = ThreadSeconds();
        benchmark::DoNotOptimize(api.Update());
        const double t1 = ThreadSeconds();
        benchmark::DoNotOptimize(pp::UpdateParticles(engine));
        engineSeconds += ThreadSeconds() - t1;
        apiSeconds += t1 - t0;
    }
    state.counters["particles"] = static_cast<double>(api.ParticleCount());
    state.counters["api/engine"] = engineSeconds > 0.0 ? apiSeconds / engineSeconds : 0.0;
}
BENCHMARK(BM_UpdateThroughApi)->Arg(1000)->Arg(20000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace particleplayer

BENCHMARK_MAIN();
