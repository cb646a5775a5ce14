// The update shared out to worker threads gives the one-thread update's state bit for bit.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "engine_test_util.h"
#include "runtime/worker_pool.h"

namespace pp {
namespace {

// Over 16384 plain particles in long and short lists, beside sub-effects, bursts, drag, sheets.
Emitter* BuildCrowd(Engine& engine) {
    EmitterParams spark = DefaultParamsAt(0, 0), puff = DefaultParamsAt(0, 0);
    SetValueSpec(spark.LifeTime, 0.1f, 0.6f, 0.05f), SetValueSpec(spark.EmissionVelocity, 5, 60, 1);
    spark.Extras.OnDeath = {1, 2, 0};
    SetValueSpec(puff.LifeTime, 0.2f, 0.2f, 1);
    engine.SubEffects = {spark, puff};
    for (int32_t i = 0; i < 48; ++i) {
        Emitter* e = AddBusyEmitter(engine, i);
        if (i % 8 == 0) SetValueSpec(e->EmissionRate, 1000, 1000, 1);
        if (i % 8 == 0) SetValueSpec(e->LifeTime, 2, 4, 0.25f);
        if (i % 6 == 1) e->Extras.OnDeath = {0, 1 + i % 4, 1}, e->Extras.Drag = 0.5f;
        if (i % 6 == 3) e->Extras.OnBirth = {1, 3, 0}, e->Extras.SpriteSheet = {2, 2, 4, 0, 1};
        if (i % 6 == 5) e->Extras.Burst = {400, 0.3f, 0};
    }
    Emitter* dry = CreateEmitter(engine, 10, 10);  // removes itself once disabled and dry
    SetValueSpec(dry->LifeTime, 0.2f, 0.4f, 0.1f);
    dry->AutoRemove = 1;
    return dry;
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
    const uint32_t steps[] = {16, 50, 17, 33, 1, 250, 16, 0, 100, 1200, 40};
    std::vector<std::vector<uint8_t>> reference;
    for (const int32_t threads : {0, 1, 2, 3}) {
        TestEngine t(5, 2000);
        std::unique_ptr<WorkerPool> pool;
        if (threads > 0) pool = std::make_unique<WorkerPool>(threads);
        t.engine.Workers = pool.get();
        Emitter* dry = BuildCrowd(t.engine);
        size_t most = 0;
        for (size_t u = 0; u < 40; ++u) {
            if (u == 24) SetDisable(dry, 1, 0);
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
