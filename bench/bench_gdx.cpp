// A libGDX effect's way in and its frames: importing and loading a .p file of two emitters as a
// group, beside loading the texts its import writes (the counter "p/texts" is their ratio, the
// import's share of a load), and updating that group a frame at a time with its particles alive
// (the counter "ns/particle").
#include <benchmark/benchmark.h>

#include <string>

#include "particleplayer/import.h"
#include "particleplayer/world.h"
#include "runtime/clock_readings.h"

namespace particleplayer {
namespace {

const std::string kSample = PP_SOURCE_DIR "/tests/data/import/p/gdxjam__explosion.p";

WorldOptions Seeded() {
    WorldOptions options;
    options.Seed = 1;
    return options;
}

void BM_GdxLoadGroup(benchmark::State& state) {
    const Result<EffectImport> imported = ImportEffectFile(kSample);
    if (!imported.Ok()) return state.SkipWithError(imported.Error.c_str());
    LoadOptions beside;
    beside.Folder = PP_SOURCE_DIR "/tests/data/import/p";
    double pSeconds = 0.0, textSeconds = 0.0;
    for (auto _ : state) {
        World p(Seeded()), texts(Seeded());
        const double t0 = pp::ThreadCpuSeconds();
        benchmark::DoNotOptimize(p.LoadEffectGroup(kSample, 400, 300));
        const double t1 = pp::ThreadCpuSeconds();
        for (const ImportedText& text : imported.Value.Texts) {
            benchmark::DoNotOptimize(texts.LoadEffectText(text.Text, 400, 300, beside));
        }
        textSeconds += pp::ThreadCpuSeconds() - t1;
        pSeconds += t1 - t0;
    }
    state.counters["p/texts"] = textSeconds > 0.0 ? pSeconds / textSeconds : 0.0;
}
BENCHMARK(BM_GdxLoadGroup)->Unit(benchmark::kMicrosecond);

void BM_GdxUpdateGroup(benchmark::State& state) {
    World world(Seeded());
    Result<EffectGroup> group = world.LoadEffectGroup(kSample, 400, 300);
    if (!group.Ok()) return state.SkipWithError(group.Error.c_str());
    double seconds = 0.0;
    int64_t particles = 0;
    int frame = 0;
    for (auto _ : state) {
        // The explosion is one-shot: it starts again every second so that particles stay.
        if (++frame % 60 == 0) {
            state.PauseTiming();
            (void)world.RemoveGroup(group.Value);
            group = world.LoadEffectGroup(kSample, 400, 300);
            state.ResumeTiming();
        }
        world.AdvanceTime(16);
        const double t0 = pp::ThreadCpuSeconds();
        benchmark::DoNotOptimize(world.Update());
        seconds += pp::ThreadCpuSeconds() - t0;
        particles += world.ParticleCount();
    }
    state.counters["ns/particle"] = particles > 0 ? seconds * 1e9 / particles : 0.0;
}
BENCHMARK(BM_GdxUpdateGroup)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace particleplayer

BENCHMARK_MAIN();
