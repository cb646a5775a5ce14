// What emission patterns and sub-effects cost per particle, each beside a plain emitter in the
// same run: twenty emitters at 1000 particles a second living 0.9 s, as a steady rate, as a
// burst of 1000 every second, and as the steady rate with OnDeath starting a one-particle
// sub-effect (living 0.1 s) where each particle dies. The three engines are updated in turn,
// 16 ms apart, on one thread; the time per update is divided by the particles of the twenty
// emitters alive after it, so that the sub-effects' own emitters and particles count as the
// cost of OnDeath. Thread processor time: the machine is shared.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "particles/particles.h"
#include "runtime/clock_readings.h"
#include "runtime/random.h"

namespace pp {
namespace {

constexpr int32_t kEmitters = 20;

enum class Pattern { Plain, Burst, OnDeath };

struct Scene {
    explicit Scene(Pattern pattern) : engine(clock) {
        SeedRandom(engine.Random, 11);
        EmitterParams spark = DefaultParamsAt(0, 0);
        SetValueSpec(spark.LifeTime, 0.1f, 0.1f, 1.0f);
        SetValueSpec(spark.EmissionVelocity, 0.0f, 0.0f, 1.0f);
        engine.SubEffects = {spark};
        for (int32_t i = 0; i < kEmitters; ++i) {
            Emitter* e = CreateEmitter(engine, 40 * i, 300);
            SetValueSpec(e->EmissionRate, 1000.0f, 1000.0f, 1.0f);
            SetValueSpec(e->LifeTime, 0.9f, 0.9f, 1.0f);
            SetValueSpec(e->Rotation, -2.0f, 2.0f, 0.5f);
            e->AccelerationY = 50.0f;
            if (pattern == Pattern::Burst) e->Extras.Burst = {1000, 1.0f, 0};
            if (pattern == Pattern::OnDeath) e->Extras.OnDeath = {0, 1, 1};
            parents[static_cast<size_t>(i)] = e;
        }
        // Two seconds, so that the populations are steady.
        for (int i = 0; i < 125; ++i) Step();
    }
    void Step() {
        clock.Advance(16);
        UpdateParticles(engine);
    }
    double Parents() const {
        int64_t n = 0;
        for (const Emitter* e : parents) n += e->Particles.Count();
        return static_cast<double>(n);
    }

    VirtualClock clock{1000};
    Engine engine;
    std::array<Emitter*, kEmitters> parents{};
};

void BM_EmissionPatterns(benchmark::State& state) {
    std::array<Scene, 3> scenes{Scene(Pattern::Plain), Scene(Pattern::Burst),
                                Scene(Pattern::OnDeath)};
    std::array<double, 3> seconds{};
    std::array<double, 3> particles{};
    for (auto _ : state) {
        for (size_t k = 0; k < scenes.size(); ++k) {
            const double t0 = ThreadCpuSeconds();
            scenes[k].Step();
            seconds[k] += ThreadCpuSeconds() - t0;
            particles[k] += scenes[k].Parents();
        }
    }
    state.counters["plain_ns_per_particle"] = seconds[0] * 1e9 / particles[0];
    state.counters["burst_ns_per_particle"] = seconds[1] * 1e9 / particles[1];
    state.counters["ondeath_ns_per_particle"] = seconds[2] * 1e9 / particles[2];
    state.counters["burst_ratio_to_plain"] =
        (seconds[1] / particles[1]) / (seconds[0] / particles[0]);
    state.counters["ondeath_ratio_to_plain"] =
        (seconds[2] / particles[2]) / (seconds[0] / particles[0]);
    state.counters["started_emitters"] =
        static_cast<double>(scenes[2].engine.Emitters.Count() - kEmitters);
}
BENCHMARK(BM_EmissionPatterns)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pp

BENCHMARK_MAIN();
