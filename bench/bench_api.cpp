// The public API's cost over the engine: the same population updated through World::Update
// and through the engine call it forwards to, alternating in one run; the counter "api/engine"
// is their ratio (target: within 1.05). The world is made and filled through public calls
// alone, the engine through the engine's own, in the same steps.
#include <benchmark/benchmark.h>

#include "effects/loader.h"
#include "particleplayer/world.h"
#include "particles/particles.h"
#include "runtime/clock.h"

namespace particleplayer {
namespace {

// Long-lived particles that spin; emitted at 1000 a second.
constexpr const char* kEffect = "LifeTime = 100000,\nRotation = {Min = -2, Max = 2, Inc = 0.5}";

// A world holding about n long-lived particles of one effect, emitted in one-second steps and
// then stopped, so that the population stays.
World MakeWorld(int64_t n) {
    WorldOptions options;
    options.Seed = 1;
    World world(options);
    const Effect effect = world.LoadEffectText(kEffect, 400, 300).Value;
    world.SetEmissionRate(effect, 1000.0f, -65535.0f, 1.0f);
    world.Update();
    for (int64_t made = 0; made < n; made += 1000) {
        world.AdvanceTime(1000);
        world.Update();
    }
    world.SetDisabled(effect, true);
    return world;
}

// The same steps on a bare engine.
struct BareEngine {
    explicit BareEngine(int64_t n) : Engine(Clock) {
        pp::SeedRandom(Engine.Random, 1);
        pp::FillAreaTypes(Engine);
        pp::Emitter* emitter = pp::CreateEmitter(Engine, 400, 300);
        pp::LoadEffectText(Engine, emitter, kEffect);
        pp::SetValueSpec(emitter->EmissionRate, 1000.0f, -65535.0f, 1.0f);
        pp::UpdateParticles(Engine);
        for (int64_t made = 0; made < n; made += 1000) {
            Clock.Advance(1000);
            pp::UpdateParticles(Engine);
        }
        pp::SetDisable(emitter, 1, 0);
    }
    pp::VirtualClock Clock{1000};
    pp::Engine Engine;
};

void BM_UpdateThroughApi(benchmark::State& state) {
    World api = MakeWorld(state.range(0));
    BareEngine direct(state.range(0));
    double apiSeconds = 0.0;
    double engineSeconds = 0.0;
    for (auto _ : state) {
        api.AdvanceTime(16);
        direct.Clock.Advance(16);
        const double t0 = pp::ThreadCpuSeconds();
        benchmark::DoNotOptimize(api.Update());
        const double t1 = pp::ThreadCpuSeconds();
        benchmark::DoNotOptimize(pp::UpdateParticles(direct.Engine));
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
