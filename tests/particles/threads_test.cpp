// The update gives the same emitters and particles, bit for bit and in the same order, whether
// it runs on the calling thread alone or shares its lists out to worker threads.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "engine_test_util.h"
#include "runtime/worker_pool.h"

namespace pp {
namespace {

// Over 16384 particles in plain emitters (the shared update), long lists cut into chunks and
// short ones shared out whole; beside them emitters with sub-effects, bursts, drag and random
// sheet frames; deaths of every kind, one emitter whose particles die of a NaN, one removing
// itself once dry.
void BuildCrowd(Engine& engine) {
    EmitterParams spark = DefaultParamsAt(0, 0), puff = DefaultParamsAt(0, 0);
    SetValueSpec(spark.LifeTime, 0.1f, 0.6f, 0.05f), SetValueSpec(spark.EmissionVelocity, 5, 60, 1);
    spark.Extras.OnDeath = {1, 2, 0};
    SetValueSpec(puff.LifeTime, 0.2f, 0.2f, 1);
    engine.SubEffects = {spark, puff};
    for (int32_t i = 0; i < 42; ++i) {
        Emitter* e = CreateEmitter(engine, 50 + 17 * i, 100 + 11 * i);
        e->AreaType = i % 6, e->AreaWidth = 40.0f + static_cast<float>(i), e->AreaHeight = 25.0f;
        SetValueSpec(e->EmissionRate, i % 4 == 0 ? 1000.0f : 40.0f + i, 1000.0f, 7.0f);
        SetValueSpec(e->LifeTime, 0.5f, 4.0f, 0.25f), SetValueSpec(e->Size, 2, 30, 0.5f);
        SetValueSpec(e->EmissionVelocity, 10, 200, 3.5f), SetSpriteRange(e, 1, 3, 1);
        SetValueSpec(e->Rotation, -5, 5, 0.25f), SetValueSpec(e->Transparency, 60, 255, 3);
        e->AccelerationY = 30.0f - static_cast<float>(i), e->Fade = -20.0f - i;
        e->Raise = i % 3 == 0 ? -4.0f : 2.5f;
        if (i % 6 == 1) e->Extras.OnDeath = {0, 1 + i % 4, 1}, e->Extras.Drag = 0.5f;
        if (i % 6 == 3) e->Extras.OnBirth = {1, 3, 0}, e->Extras.SpriteSheet = {2, 2, 4, 0, 1};
        if (i % 6 == 5) e->Extras.Burst = {400, 0.3f, 0};
    }
    SetValueSpec(engine.Emitters.Last()->LifeTime, 0.2f, 0.4f, 0.1f);
    engine.Emitters.Last()->AutoRemove = 1;
    engine.Emitters.First()->AccelerationX = __builtin_nanf("");
}

// Every emitter's state that the update writes, as bytes.
std::vector<uint8_t> StateOf(Engine& engine) {
    std::vector<uint8_t> bytes;
    auto add = [&bytes](const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        if (n > 0) bytes.insert(bytes.end(), b, b + n);
    };
    for (Emitter* e : EmittersOf(engine)) {
        const Particle* cursor = e->Particles.Cursor();
        const int32_t fields[] = {e->AutoRemove, e->NextEmission, e->Particles.Count(),
                                  e->Life.Count(),
                                  cursor != nullptr ? int32_t(cursor - e->Particles.First()) : -1};
        add(fields, sizeof fields);
        add(e->Particles.First(), e->Particles.Count() * sizeof(Particle));
        add(e->Life.First(), e->Life.Count() * sizeof(ParticleLife));
    }
    return bytes;
}

TEST(Threads, UpdateIsTheSameOnOneTwoAndThreeThreads) {
    // Irregular frame times, a long stall included; the dry emitter stops emitting halfway.
    const uint32_t steps[] = {16, 50, 17, 33, 1, 250, 16, 0, 100, 1200, 40};
    std::vector<std::vector<uint8_t>> reference;
    for (const int32_t threads : {0, 1, 2, 3}) {
        TestEngine t(5, 2000);
        std::unique_ptr<WorkerPool> pool;
        if (threads > 0) pool = std::make_unique<WorkerPool>(threads);
        t.engine.Workers = pool.get();
        BuildCrowd(t.engine);
        size_t most = 0;
        for (size_t u = 0; u < 40; ++u) {
            if (u == 24) SetDisable(t.engine.Emitters.Last(), 1, 0);
            t.Step(steps[u % std::size(steps)]);
            std::vector<uint8_t> state = StateOf(t.engine);
            most = std::max(most, state.size());
            if (threads == 0) reference.push_back(state);
            ASSERT_TRUE(state == reference[u]) << threads << " threads, update " << u;
        }
        EXPECT_GT(most, 20000 * sizeof(Particle));
    }
}

}  // namespace
}  // namespace pp
