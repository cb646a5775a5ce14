// The public API's cost over the engine: the same population updated through World::Update
// and through the engine call it forwards to, alternating in one run; the counter "api/engine"
// is their ratio (target: within 1.05).
#include <benchmark/benchmark.h>

#include "lib/world_access.h"
#include "particleplayer/world.h"
#include "runtime/clock.h"

namespace particleplayer {
namespace {

// A world holding n long-lived particles of one disabled effect, so that the population
// stays n.
World MakeWorld(int64_t n) {
    WorldOptions options;
    options.Seed = 1;
    World world(options);
    const Effect effect =
        world
            .LoadEffectText("LifeTime = 100000,\nRotation = {Min = -2, Max = 2, Inc = 0.5}", 400,
                            300)
            .Value;
    pp::Engine& engine = WorldAccess::EngineOf(world);
    pp::Emitter* emitter = WorldAccess::EmitterOf(world, effect);
    for (int64_t i = 0; i < n; ++i) pp::SpawnParticle(engine, *emitter);
    pp::SetDisable(emitter, 1, 0);
    world.Update();
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
        const double t0 = pp::ThreadCpuSeconds();
        benchmark::DoNotOptimize(api.Update());
        const double t1 = pp::ThreadCpuSeconds();
        benchmark::DoNotOptimize(pp::UpdateParticles(engine));
        engineSeconds += pp::ThreadCpuSeconds() - t1;
        apiSeconds += t1 - t0;
    }
    state.counters["particles"] = static_cast<double>(api.ParticleCount());
    state.counters["api/engine"] = engineSeconds > 0.0 ? apiSeconds / engineSeconds : 0.0;
}
BENCHMARK(BM_UpdateThroughApi)->Arg(1000)->Arg(20000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace particleplayer

BENCHMARK_MAIN();
