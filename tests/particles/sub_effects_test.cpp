// Sub-effects started by particle births and deaths: where and in which order they start, what
// they inherit, the caps under a runaway effect, and the same result on every thread count.
#include "particles/sub_effects.h"

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

std::vector<Emitter*> EmittersOf(Engine& engine) {
    std::vector<Emitter*> out;
    ListRewind(engine.Emitters);
    while (Emitter* e = ListNext(engine.Emitters)) out.push_back(e);
    return out;
}

// Deaths start the effect where the last move left the particle, with its velocity; births
// where it was born; in emitter then particle order; spawned once; gone with their particles.
TEST(SubEffects, StartWhereParticlesDieAndAreBornInEmitterThenParticleOrder) {
    TestEngine t(4, 5000);
    EmitterParams spark = DefaultParamsAt(0, 0);
    SetValueSpec(spark.EmissionVelocity, 0, 0, 1);
    SetValueSpec(spark.LifeTime, 0.1f, 0.1f, 1);
    spark.Layer = 7;
    t.engine.SubEffects = {spark};
    Emitter* dying = CreateEmitter(t.engine, 100, 100);
    SetValueSpec(dying->LifeTime, 0.05f, 0.05f, 1);
    dying->AccelerationY = 300.0f;
    dying->Extras.OnDeath = {0, 3, 1};
    Emitter* born = CreateEmitter(t.engine, 400, 50);
    SetValueSpec(born->EmissionVelocity, 0, 0, 1);  // born where they stay
    born->AreaType = 1;
    born->AreaWidth = 100;
    UpdateParticles(t.engine);
    t.clock.Advance(30);
    UpdateParticles(t.engine);
    const std::vector<Particle> before = ParticlesOf(*dying);
    born->Extras.OnBirth = {0, 2, 0};
    t.clock.Advance(60);  // the three die (60 ms > 50 ms), six more are born
    UpdateParticles(t.engine);
    const std::vector<Particle> births = ParticlesOf(*born);
    std::vector<Emitter*> all = EmittersOf(t.engine);
    ASSERT_EQ(all.size(), 2u + 3u + 6u);
    for (size_t i = 0; i < 9; ++i) {
        const Particle& p = i < 3 ? before[i] : births[i];  // births[0..2] came before OnBirth
        const float dt = i < 3 ? 0.06f : 0.0f;
        const Emitter& s = *all[2 + i];
        EXPECT_TRUE(s.PositionX == p.X + dt * p.VelocityX && s.PositionY == p.Y + dt * p.VelocityY);
        EXPECT_EQ((std::vector<int>{s.Layer, s.AutoRemove, s.StartCount, s.SubEffectDepth,
                                    s.InheritedVelocity != nullptr}),
                  (std::vector<int>{7, 1, i < 3 ? 3 : 2, 1, i < 3}));
    }
    for (int u = 0; u < 2; ++u) {
        t.clock.Advance(16);
        UpdateParticles(t.engine);
        for (size_t i = 0; i < 3; ++i) {
            for (const Particle& p : ParticlesOf(*all[2 + i])) {
                EXPECT_EQ(p.VelocityX, before[i].VelocityX + 0.06f * 0.0f);
                EXPECT_EQ(p.VelocityY, before[i].VelocityY + 0.06f * 300.0f);
            }
            EXPECT_EQ(all[2 + i]->Particles.Count(), 3);
        }
    }
    dying->Disable = 1;
    born->Disable = 1;
    for (int i = 0; i < 10; ++i) {
        t.clock.Advance(500);
        UpdateParticles(t.engine);
    }
    EXPECT_EQ(t.engine.Emitters.Count(), 2);
}

TEST(SubEffects, RunawayEffectStaysWithinTheCaps) {
    // Every particle dies as it is born (size below 1) and starts 5000 of itself again.
    TestEngine t(6, 1000);
    EmitterParams runaway = DefaultParamsAt(0, 0);
    SetValueSpec(runaway.Size, 0.5f, 0.5f, 1);
    runaway.Extras.OnDeath = {0, 5000, 1};
    runaway.Extras.OnBirth = {0, 5000, 0};
    t.engine.SubEffects = {runaway};
    Emitter* root = CreateEmitter(t.engine, 300, 300);
    root->Params() = runaway;
    SetValueSpec(root->EmissionRate, 1000, 1000, 1);
    int32_t most = 0;
    for (int u = 0; u < 6; ++u) {
        t.clock.Advance(16);
        UpdateParticles(t.engine);
        for (Emitter* e : EmittersOf(t.engine)) {
            EXPECT_TRUE(e->SubEffectDepth <= kMaxSubEffectDepth && e->StartCount <= kMaxBurstCount);
        }
        EXPECT_TRUE(t.engine.PendingStarts.empty());
        most = std::max(most, t.engine.Emitters.Count() - 1);  // all but the root
    }
    EXPECT_EQ(most, kMaxStartedEmitters);
}

// Every emitter's particles and Life records, as bytes, behind their counts.
std::vector<uint8_t> StateOf(Engine& engine) {
    std::vector<uint8_t> bytes;
    for (Emitter* e : EmittersOf(engine)) {
        const int32_t counts[] = {e->Particles.Count(), e->Life.Count()};
        const auto* p = reinterpret_cast<const uint8_t*>(e->Particles.First());
        const auto* l = reinterpret_cast<const uint8_t*>(e->Life.First());
        bytes.insert(bytes.end(), reinterpret_cast<const uint8_t*>(counts),
                     reinterpret_cast<const uint8_t*>(counts + 2));
        if (counts[0] > 0) bytes.insert(bytes.end(), p, p + counts[0] * sizeof(Particle));
        if (counts[1] > 0) bytes.insert(bytes.end(), l, l + counts[1] * sizeof(ParticleLife));
    }
    return bytes;
}

// Starts, bursts, drag and random sheet frames: the same state on every thread count.
TEST(SubEffects, SameOnOneTwoAndThreeThreads) {
    const uint32_t steps[] = {16, 50, 17, 1000, 33, 16, 100, 16, 0, 250, 16, 40};
    std::vector<std::vector<uint8_t>> reference;
    for (const int32_t threads : {0, 1, 2, 3}) {
        SCOPED_TRACE(threads);
        TestEngine t(8, 3000);
        std::unique_ptr<WorkerPool> pool;
        if (threads > 0) pool = std::make_unique<WorkerPool>(threads);
        t.engine.Workers = pool.get();
        // A spark that inherits, dies and starts a smaller puff in turn.
        EmitterParams spark = DefaultParamsAt(0, 0);
        SetValueSpec(spark.LifeTime, 0.1f, 0.6f, 0.05f);
        SetValueSpec(spark.EmissionVelocity, 5, 60, 1);
        spark.Extras.OnDeath = {1, 2, 0};
        EmitterParams puff = DefaultParamsAt(0, 0);
        SetValueSpec(puff.LifeTime, 0.2f, 0.2f, 1);
        t.engine.SubEffects = {spark, puff};
        for (int32_t i = 0; i < 24; ++i) {
            Emitter* e = CreateEmitter(t.engine, 40 + 30 * i, 200 + 7 * i);
            SetValueSpec(e->EmissionRate, i % 4 == 0 ? 1000.0f : 200.0f, 1000, 50);
            SetValueSpec(e->LifeTime, 0.3f, 1.5f, 0.1f);
            e->AccelerationY = 20.0f * static_cast<float>(i % 5);
            if (i % 3 == 0) e->Extras.OnDeath = {0, 1 + i % 4, 1};
            if (i % 7 == 1) e->Extras.OnBirth = {1, 3, 0};
            if (i % 5 == 2) e->Extras.Burst = {400, 0.3f, 0};
            if (i % 4 == 1) e->Extras.Drag = 0.5f;
            if (i % 4 == 3) e->Extras.SpriteSheet = {2, 2, 4, 0.0f, 1};
        }
        size_t most = 0;
        for (size_t u = 0; u < 24; ++u) {
            t.clock.Advance(steps[u % std::size(steps)]);
            UpdateParticles(t.engine);
            std::vector<uint8_t> state = StateOf(t.engine);
            most = std::max(most, state.size());
            if (threads == 0) {
                reference.push_back(std::move(state));
            } else {
                ASSERT_TRUE(state == reference[u]) << "update " << u;
            }
        }
        EXPECT_GT(most, 20000 * sizeof(Particle));  // above 16384 particles: the shared update
    }
}

}  // namespace
}  // namespace pp
