// Bursts, Duration and Prewarm: how many particles an emitter with them spawns over time, and
// a prewarmed emitter against the same emitter run by hand.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "effects/loader.h"
#include "engine_test_util.h"
#include "particles/particles.h"

namespace pp {
namespace {

// Steps "ADVANCE[d]:TOTAL": advance the clock, disabled with 'd', then the particles spawned so
// far (none die).
TEST(EmissionExtras, BurstAndDurationCountsOverTime) {
    const struct {
        const char* name;
        uint32_t start;  // clock reading at creation
        BurstParams burst;
        float duration;
        const char* steps;
    } rows[] = {
        // A burst due at t is spawned by the first update after t; Repeat 3 ends it.
        {"three bursts", 1000, {10, 0.5f, 3}, 0, "0:0 1:10 499:10 1:20 500:30 2000:30"},
        // A 5 s pause finds 50 bursts due: one is spawned, the rest dropped; the schedule goes on.
        {"pause", 1000, {5, 0.1f, 0}, 0, "1:5 100:10 5000:15 1:15 99:20"},
        {"disabled drops bursts", 1000, {4, 0.1f, 0}, 0, "1:4 100d:4 100d:4 100:8 100:12"},
        {"count held at 1000", 1000, {5000, 1.0f, 1}, 0, "1:1000 5000:1000"},
        // The steady rate (100 a second) stops after 0.5 s, even for a backlog spawned after.
        {"duration ends the rate", 1000, {}, 0.5f, "1:1 200:21 1000:50"},
        {"duration ends bursts", 1000, {3, 0.25f, 0}, 0.6f, "1:3 250:6 250:9 250:9 1000:9"},
        // Across the clock's wrap (296 ms after the start): bursts at 0, 200, 400, end at 500.
        {"clock wrap", 4294967000u, {2, 0.2f, 0}, 0.5f, "1:2 200:4 200:6 200:6 200:6"},
        // Once over, it stays over: 24.8 days on the clock would read as before the end again.
        {"over stays over", 1000, {}, 0.01f, "20d:0 2147484000d:0 1000:0"},
    };
    for (const auto& r : rows) {
        TestEngine t(3, r.start);
        Emitter* e = CreateEmitter(t.engine, 10, 10);
        SetValueSpec(e->LifeTime, 1e7f, 1e7f, 1);
        e->Extras.Burst = r.burst;
        e->Extras.Duration = r.duration;
        UpdateParticles(t.engine);
        std::istringstream steps(r.steps);
        for (std::string step; steps >> step;) {
            t.clock.Advance(static_cast<uint32_t>(std::stoul(step)));
            e->Disable = step.find('d') != std::string::npos ? 1 : 0;
            UpdateParticles(t.engine);
            EXPECT_EQ(e->Particles.Count(), std::stoi(step.substr(step.find(':') + 1)))
                << r.name << " " << step;
        }
    }
}

// An emitter with particles that die by age and opacity while the prewarm runs.
void MakeBusy(Emitter* e) {
    SetValueSpec(e->EmissionRate, 150, 400, 10);
    SetValueSpec(e->LifeTime, 0.25f, 2.0f, 0.25f);
    SetValueSpec(e->EmissionVelocity, 20, 90, 0.5f);
    SetValueSpec(e->Size, 4, 20, 1);
    e->AreaType = 4;
    e->AreaWidth = 30;
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
    // By hand: made 1.5 s earlier, updated every 16 ms and a last 12 ms (1500 = 93 * 16 + 12).
    TestEngine hand(9, now - 1500);
    Emitter* h = CreateEmitter(hand.engine, 200, 150);
    MakeBusy(h);
    UpdateParticles(hand.engine);
    for (int i = 0; i < 94; ++i) {
        hand.clock.Advance(i < 93 ? 16 : 12);
        UpdateParticles(hand.engine);
    }
    const std::vector<Particle> got = ParticlesOf(*e);
    const std::vector<Particle> want = ParticlesOf(*h);
    ASSERT_GT(want.size(), 100u);
    ASSERT_EQ(got.size(), want.size());
    EXPECT_EQ(std::memcmp(got.data(), want.data(), got.size() * sizeof(Particle)), 0);
    EXPECT_TRUE(e->NextEmission == h->NextEmission && e->StartTime == h->StartTime);
    EXPECT_EQ(RandomInt(warm.engine.Random, 1 << 30), RandomInt(hand.engine.Random, 1 << 30));
    EXPECT_TRUE(warm.engine.Clock == &warm.clock && other->Particles.Count() == 0);
    // Once only (a reload prewarms nothing), held at 10 seconds, and by a load once its keys
    // are in place.
    PrewarmEmitter(warm.engine, *e);
    EXPECT_EQ(e->Particles.Count(), static_cast<int32_t>(want.size()));
    Emitter* longer = CreateEmitter(warm.engine, 0, 0);
    longer->Extras.Prewarm = 1e9f;
    PrewarmEmitter(warm.engine, *longer);
    EXPECT_EQ(longer->StartTime, static_cast<int32_t>(now - 10000));
    Emitter* loaded = CreateEmitter(warm.engine, 0, 0);
    loaded->Extras.Prewarm = 0.5f;
    LoadEffectText(warm.engine, loaded, "");
    EXPECT_EQ(loaded->StartTime, static_cast<int32_t>(now - 500));
}

}  // namespace
}  // namespace pp
