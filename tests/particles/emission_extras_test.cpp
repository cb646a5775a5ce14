// Bursts, Duration and Prewarm: how many particles an emitter with them spawns over time, and
// a prewarmed emitter against the same emitter run by hand.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "effects/loader.h"
#include "engine_test_util.h"
#include "particles/particles.h"

namespace pp {
namespace {

struct Step {
    uint32_t AdvanceMs;
    int32_t Disable;
    int32_t Total;  // particles spawned so far (none die)
};

struct ScheduleCase {
    const char* Name;
    uint32_t Start;  // clock reading at creation
    BurstParams Burst;
    float Duration;
    std::vector<Step> Steps;
};

TEST(EmissionExtras, BurstAndDurationCountsOverTime) {
    const uint32_t kNearWrap = 4294967000u;  // the clock passes 2^32 ms 296 ms later
    const std::vector<ScheduleCase> cases = {
        // A burst due at t is spawned by the first update after t; Repeat 3 ends it.
        {"three bursts",
         1000,
         {10, 0.5f, 3},
         0,
         {{0, 0, 0}, {1, 0, 10}, {499, 0, 10}, {1, 0, 20}, {500, 0, 30}, {2000, 0, 30}}},
        // A 5 s pause finds 50 bursts due: one is spawned, the rest dropped; the schedule goes on.
        {"pause drops missed bursts",
         1000,
         {5, 0.1f, 0},
         0,
         {{1, 0, 5}, {100, 0, 10}, {5000, 0, 15}, {1, 0, 15}, {99, 0, 20}}},
        // Disabled, the bursts that fall due are dropped; enabled, the schedule resumes.
        {"disabled drops bursts",
         1000,
         {4, 0.1f, 0},
         0,
         {{1, 0, 4}, {100, 1, 4}, {100, 1, 4}, {100, 0, 8}, {100, 0, 12}}},
        {"count held at 1000", 1000, {5000, 1.0f, 1}, 0, {{1, 0, 1000}, {5000, 0, 1000}}},
        // The steady rate (100 a second) stops after half a second: 50 particles, even when
        // the backlog is spawned after the end.
        {"duration ends the rate", 1000, {}, 0.5f, {{1, 0, 1}, {200, 0, 21}, {1000, 0, 50}}},
        {"duration ends bursts",
         1000,
         {3, 0.25f, 0},
         0.6f,
         {{1, 0, 3}, {250, 0, 6}, {250, 0, 9}, {250, 0, 9}, {1000, 0, 9}}},
        // Across the clock's wrap: bursts at start + 0, 200, 400 (after the wrap), end at 500.
        {"clock wrap",
         kNearWrap,
         {2, 0.2f, 0},
         0.5f,
         {{1, 0, 2}, {200, 0, 4}, {200, 0, 6}, {200, 0, 6}, {200, 0, 6}}},
        // Once over, the emission stays over: enabled again 24.8 days on, the clock would
        // read as before the end once more.
        {"over stays over", 1000, {}, 0.01f, {{20, 1, 0}, {2147484000u, 1, 0}, {1000, 0, 0}}},
    };
    for (const ScheduleCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TestEngine t(3, c.Start);
        Emitter* e = CreateEmitter(t.engine, 10, 10);
        SetValueSpec(e->LifeTime, 1e7f, 1e7f, 1);
        e->Extras.Burst = c.Burst;
        e->Extras.Duration = c.Duration;
        UpdateParticles(t.engine);
        for (size_t i = 0; i < c.Steps.size(); ++i) {
            SCOPED_TRACE(i);
            t.clock.Advance(c.Steps[i].AdvanceMs);
            e->Disable = c.Steps[i].Disable;
            UpdateParticles(t.engine);
            EXPECT_EQ(e->Particles.Count(), c.Steps[i].Total);
        }
    }
}

// An emitter with particles that die by age and opacity while the prewarm runs.
void MakeBusy(Emitter* e) {
    SetValueSpec(e->EmissionRate, 150, 400, 10);
    SetValueSpec(e->LifeTime, 0.25f, 2.0f, 0.25f);
    SetValueSpec(e->EmissionVelocity, 20, 90, 0.5f);
    SetValueSpec(e->Size, 4, 20, 1);
    SetValueSpec(e->Rotation, -3, 3, 0.5f);
    e->AreaType = 4;
    e->AreaWidth = 30;
    e->AccelerationY = 40.0f;
    e->Raise = 3.0f;
    e->Fade = -150.0f;
}

TEST(EmissionExtras, PrewarmEqualsTheSameEmitterRunByHand) {
    const uint32_t now = 60000;
    TestEngine warm(9, now);
    Emitter* other = CreateEmitter(warm.engine, 0, 0);
    Emitter* e = CreateEmitter(warm.engine, 200, 150);
    MakeBusy(e);
    e->Extras.Prewarm = 1.5f;
    PrewarmEmitter(warm.engine, *e);

    // By hand: made 1.5 s earlier, then updated every 16 ms and a last 12 ms (1500 = 93 * 16
    // + 12).
    TestEngine hand(9, now - 1500);
    Emitter* h = CreateEmitter(hand.engine, 200, 150);
    MakeBusy(h);
    UpdateParticles(hand.engine);
    for (int i = 0; i < 94; ++i) {
        hand.clock.Advance(i < 93 ? 16 : 12);
        UpdateParticles(hand.engine);
    }
    ASSERT_EQ(hand.clock.Now(), now);
    const std::vector<Particle> got = ParticlesOf(*e);
    const std::vector<Particle> want = ParticlesOf(*h);
    ASSERT_GT(want.size(), 100u);
    ASSERT_EQ(got.size(), want.size());
    EXPECT_EQ(std::memcmp(got.data(), want.data(), got.size() * sizeof(Particle)), 0);
    EXPECT_EQ(e->NextEmission, h->NextEmission);
    EXPECT_EQ(e->StartTime, h->StartTime);
    EXPECT_EQ(RandomInt(warm.engine.Random, 1 << 30), RandomInt(hand.engine.Random, 1 << 30));
    EXPECT_EQ(warm.engine.Clock, &warm.clock);
    EXPECT_EQ(other->Particles.Count(), 0);

    // Once only (a reload prewarms nothing), and held at 10 seconds.
    PrewarmEmitter(warm.engine, *e);
    EXPECT_EQ(e->Particles.Count(), static_cast<int32_t>(want.size()));
    Emitter* longer = CreateEmitter(warm.engine, 0, 0);
    longer->Extras.Prewarm = 1e9f;
    PrewarmEmitter(warm.engine, *longer);
    EXPECT_EQ(longer->StartTime, static_cast<int32_t>(now - 10000));

    // A load prewarms once its keys are in place.
    Emitter* loaded = CreateEmitter(warm.engine, 0, 0);
    loaded->Extras.Prewarm = 0.5f;
    LoadEffectText(warm.engine, loaded, "");
    EXPECT_EQ(loaded->Prewarmed, 1);
    EXPECT_EQ(loaded->StartTime, static_cast<int32_t>(now - 500));
}

}  // namespace
}  // namespace pp
