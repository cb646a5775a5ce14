// The update gives the same particles, bit for bit and in the same order, whether it runs on
// the calling thread alone or shares its lists out to worker threads.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "engine_test_util.h"
#include "particles/particles.h"
#include "runtime/worker_pool.h"

namespace pp {
namespace {

// Over 20000 particles in long lists (cut into chunks) and short ones (shared out whole), deaths
// of every kind, an emitter removing itself once dry, one whose particles die of a NaN.
void BuildCrowd(Engine& engine) {
    for (int32_t i = 0; i < 42; ++i) {
        Emitter* e = CreateEmitter(engine, 50 + 17 * i, 100 + 11 * i);
        e->AreaType = i % 6, e->AreaWidth = 40.0f + static_cast<float>(i), e->AreaHeight = 25.0f;
        SetValueSpec(e->EmissionRate, i % 10 == 0 ? 1000.0f : 40.0f + i, 1000.0f, 7.0f);
        SetValueSpec(e->LifeTime, 0.5f, 4.0f, 0.25f), SetValueSpec(e->Size, 2, 30, 0.5f);
        SetValueSpec(e->EmissionVelocity, 10, 200, 3.5f), SetSpriteRange(e, 1, 3, 1);
        SetValueSpec(e->Rotation, -5, 5, 0.25f), SetValueSpec(e->Transparency, 60, 255, 3);
        e->AccelerationY = 30.0f - static_cast<float>(i), e->Fade = -20.0f - i;
        e->Raise = i % 3 == 0 ? -4.0f : 2.5f;
    }
    SetValueSpec(engine.Emitters.Last()->LifeTime, 0.2f, 0.4f, 0.1f);
    engine.Emitters.Last()->AutoRemove = 1;
    engine.Emitters.First()->AccelerationX = __builtin_nanf("");
}

// Every emitter's state that the update writes, as bytes.
std::vector<uint8_t> StateOf(Engine& engine) {
    std::vector<uint8_t> bytes;
    ListRewind(engine.Emitters);
    while (Emitter* e = ListNext(engine.Emitters)) {
        const std::vector<Particle> particles = ParticlesOf(*e);
        const Particle* cursor = e->Particles.Cursor();
        const int32_t fields[] = {e->AutoRemove, e->NextEmission,
                                  cursor != nullptr ? int32_t(cursor - e->Particles.First()) : -1};
        const auto* p = reinterpret_cast<const uint8_t*>(particles.data());
        bytes.insert(bytes.end(), p, p + particles.size() * sizeof(Particle));
        bytes.insert(bytes.end(), reinterpret_cast<const uint8_t*>(fields),
                     reinterpret_cast<const uint8_t*>(fields) + sizeof fields);
    }
    return bytes;
}

TEST(Threads, UpdateIsTheSameOnOneTwoThreeAndEightThreads) {
    // Irregular frame times, a long stall included; the dry emitter stops emitting halfway.
    const uint32_t steps[] = {16, 50, 17, 33, 1, 250, 16, 0, 100, 1200, 40};
    std::vector<std::vector<uint8_t>> reference;
    for (const int32_t threads : {0, 1, 2, 3, 8}) {
        TestEngine t(5, 2000);
        std::unique_ptr<WorkerPool> pool;
        if (threads > 0) pool = std::make_unique<WorkerPool>(threads);
        t.engine.Workers = pool.get();
        BuildCrowd(t.engine);
        size_t most = 0;
        for (size_t u = 0; u < 40; ++u) {
            t.clock.Advance(steps[u % std::size(steps)]);
            if (u == 24) SetDisable(t.engine.Emitters.Last(), 1, 0);
            UpdateParticles(t.engine);
            std::vector<uint8_t> state = StateOf(t.engine);
            most = std::max(most, state.size());
            if (threads == 0) reference.push_back(state);
            ASSERT_TRUE(state == reference[u]) << threads << " threads, update " << u;
        }
        EXPECT_GT(most, 20000 * sizeof(Particle));  // above the shared update's 16384 particles
        EXPECT_EQ(t.engine.Emitters.Count(), 41);   // the dry emitter went
    }
}

}  // namespace
}  // namespace pp
