// The particle budget of a world: never more particles alive than it allows, births dropped in
// load order, started effects held to it too, and the same particles on any thread count.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "particleplayer/world.h"
#include "tests/effects/temp_dir.h"
#include "tests/lib/loaded_effect.h"

namespace particleplayer {
namespace {

// Every particle, started effects' too, as the world lists them.
std::vector<Particle> AllParticles(World& world) {
    std::vector<Particle> all;
    world.AllParticles(all);
    return all;
}

using Counts = std::pair<int64_t, int64_t>;

World Seeded(int64_t budget) {
    WorldOptions options;
    options.Seed = 11;
    options.MaxParticles = budget;
    return World(options);
}

constexpr const char* kLongLived = "EmissionRate = 500,\nLifeTime = 100";
constexpr const char* kPrewarmed = "Prewarm = 10,\nEmissionRate = 1000";

// Nothing dies, so the budgeted world holds exactly the first particles the unbounded one
// bore (the draws are the same until the first birth is dropped); after it, no birth at all.
// Below the budget a world runs as one without (the default budget is a million).
TEST(Budget, HoldsTheFirstBirthsAndBelowItChangesNothing) {
    World unbounded = Seeded(1'000'000'000), held = Seeded(777), below = Seeded(2000);
    EXPECT_EQ(World().MaxParticles(), kDefaultMaxParticles);
    for (World* w : {&unbounded, &held, &below}) {
        ASSERT_TRUE(w->LoadEffectText(kLongLived, 100, 100).Ok());
        for (uint32_t t = 1016; t <= 3000; t += 16) {
            w->SetTime(t);
            w->Update();
            ASSERT_LE(w->ParticleCount(), w->MaxParticles());
        }
    }
    const std::vector<Particle> all = AllParticles(unbounded);
    ASSERT_GT(all.size(), 777u);
    EXPECT_TRUE(SameBytes(AllParticles(held), {all.begin(), all.begin() + 777}));
    EXPECT_TRUE(SameBytes(AllParticles(below), all));
    EXPECT_EQ(below.DroppedBirths(), 0);
    EXPECT_EQ(held.DroppedBirths(), static_cast<int64_t>(all.size()) - 777);
    held.RemoveAllEffects();
    EXPECT_EQ(held.DroppedBirths(), 0);
}

// One update that is due a second of births from each effect: the effect loaded first takes
// the room first, whatever their rates. Deaths make room only at the next update's count.
TEST(Budget, TheEffectLoadedFirstTakesTheRoomFirst) {
    World world = Seeded(150);
    const Effect first = world.LoadEffectText("EmissionRate = 100,\nLifeTime = 1.5", 0, 0).Value;
    const Effect second = world.LoadEffectText("EmissionRate = 400,\nLifeTime = 5", 0, 0).Value;
    const auto counts = [&](uint32_t t) {
        world.SetTime(t);
        world.Update();
        return std::pair(world.ParticleCount(first).Value, world.ParticleCount(second).Value);
    };
    EXPECT_EQ(counts(1000), Counts(0, 0));
    EXPECT_EQ(counts(2000), Counts(100, 50));
    // Every particle of the first dies in this update, and none is born in its place ...
    EXPECT_EQ(counts(3600), Counts(0, 50));
    // ... until the next update counts the room their deaths made.
    EXPECT_EQ(counts(4600), Counts(100, 50));
    EXPECT_EQ(world.DroppedBirths(), 450 + 100 + 500 + 500);
}

// A three-level fan-out of started effects, a prewarm, and the budget changed on a live
// world: never above the budget, and the same particles and counts on every thread count.
TEST(Budget, StartedEffectsAndPrewarmKeepToItOnAnyThreadCount) {
    pp::testing::TempDir dir;
    const std::string leaf = dir.Write("leaf.txt", "LifeTime = 2,\nSize = 2");
    const std::string middle =
        dir.Write("middle.txt", "LifeTime = 0.1,\nOnDeath = {Effect = " + leaf + ", Count = 1000}");
    const std::string top =
        dir.Write("top.txt", "EmissionRate = 50,\nLifeTime = 0.1,\nOnDeath = {Effect = " + middle +
                                 ", Count = 1000}");
    // A prewarm alone bears up to the budget, its own particles counted at every 16 ms step:
    // the last step's deaths (one a millisecond) leave at most 16 short of it.
    World small = Seeded(1000);
    ASSERT_TRUE(small.LoadEffectText(kPrewarmed, 0, 0).Ok());
    EXPECT_LE(small.ParticleCount(), 1000);
    EXPECT_GE(small.ParticleCount(), 1000 - 16);
    EXPECT_GT(small.DroppedBirths(), 0);
    std::vector<std::vector<Particle>> runs;
    std::vector<int64_t> counts;
    for (const int32_t threads : {1, 2, 3, 8}) {
        World world = Seeded(60'000), unbounded = Seeded(1'000'000'000);
        ASSERT_TRUE(world.SetThreads(threads).Ok());
        for (World* w : {&world, &unbounded}) {
            ASSERT_TRUE(w->LoadEffectFile(top, 400, 300).Ok());
            ASSERT_TRUE(w->LoadEffectText(kPrewarmed, 0, 0).Ok());
        }
        ASSERT_TRUE(SameBytes(AllParticles(world), AllParticles(unbounded)));  // below it
        for (uint32_t t = 1016; t <= 2600; t += 16) {
            world.SetTime(t);
            world.Update();
            ASSERT_LE(world.ParticleCount(), world.MaxParticles()) << t;
            counts.push_back(world.ParticleCount());
        }
        EXPECT_GT(world.DroppedBirths(), 0);
        EXPECT_FALSE(world.SetMaxParticles(-1).Ok());
        ASSERT_TRUE(world.SetMaxParticles(3100).Ok());
        ASSERT_TRUE(world.LoadEffectText(kPrewarmed, 0, 0).Ok());
        EXPECT_EQ(world.ParticleCount(world.Effects().back()).Value,
                  std::max<int64_t>(0, 3100 - (world.ParticleCount() -
                                               world.ParticleCount(world.Effects().back()).Value)));
        counts.push_back(world.ParticleCount());
        runs.push_back(AllParticles(world));
    }
    const size_t frames = counts.size() / 4;
    for (size_t k = 1; k < 4; ++k) {
        EXPECT_TRUE(SameBytes(runs[k], runs[0])) << k;
        EXPECT_TRUE(
            std::equal(counts.begin(), counts.begin() + frames, counts.begin() + k * frames))
            << k;
    }
}

}  // namespace
}  // namespace particleplayer
