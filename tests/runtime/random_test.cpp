#include "runtime/random.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>

namespace pp {
namespace {

TEST(Random, SeedZeroGivesReferenceRawOutputs) {
    RandomGenerator gen;
    SeedRandom(gen, 0);
    EXPECT_EQ(static_cast<uint32_t>(RandomInt(gen, -1)), 0x8B910D61u);
    EXPECT_EQ(static_cast<uint32_t>(RandomInt(gen, -1)), 0xC8AFE081u);
    EXPECT_EQ(static_cast<uint32_t>(RandomInt(gen, -1)), 0xA90E502Fu);
}

TEST(Random, Seed12345GivesReferenceValuesBelow100) {
    RandomGenerator gen;
    SeedRandom(gen, 12345);
    const int32_t expected[] = {27, 71, 66, 34, 58};
    for (int32_t value : expected) EXPECT_EQ(RandomInt(gen, 99), value);
}

// The bound only scales the step's output: compare each call with a twin drawing raw values.
TEST(Random, EveryCallAdvancesOnceWhateverTheBound) {
    RandomGenerator gen;
    RandomGenerator twin;
    SeedRandom(gen, 77);
    SeedRandom(twin, 77);
    const int32_t bounds[] = {0, 1, 99, 1799, 0x7FFFFFFF, -2, 0};
    for (int32_t max : bounds) {
        uint32_t raw = static_cast<uint32_t>(RandomInt(twin, -1));
        uint32_t n = static_cast<uint32_t>(max) + 1u;
        auto expected = static_cast<int32_t>((static_cast<uint64_t>(raw) * n) >> 32);
        EXPECT_EQ(RandomInt(gen, max), expected) << "max " << max;
    }
}

TEST(Random, MaxZeroAlwaysGivesZero) {
    RandomGenerator gen;
    SeedRandom(gen, 5);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(RandomInt(gen, 0), 0);
}

TEST(Random, ValuesCoverTheWholeInclusiveRange) {
    RandomGenerator gen;
    SeedRandom(gen, 9);
    std::set<int32_t> seen;
    for (int i = 0; i < 40000; ++i) {
        int32_t v = RandomInt(gen, 1799);
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 1799);
        seen.insert(v);
    }
    EXPECT_EQ(seen.size(), 1800u);
}

TEST(Random, SameSeedSameSequence) {
    RandomGenerator a;
    RandomGenerator b;
    SeedRandom(a, 0xDEADBEEF);
    SeedRandom(b, 0xDEADBEEF);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(RandomInt(a, -1), RandomInt(b, -1));
}

TEST(Random, FirstUseSeedsAnUnseededGenerator) {
    RandomGenerator gen;
    EXPECT_FALSE(gen.seeded);
    RandomInt(gen, 10);
    EXPECT_TRUE(gen.seeded);
    // A seeded state is never all zero (an all-zero state would output only zeros).
    bool anyNonZero = false;
    for (int i = 0; i < 17; ++i) anyNonZero = anyNonZero || gen.A[i] != 0 || gen.B[i] != 0;
    EXPECT_TRUE(anyNonZero);
}

}  // namespace
}  // namespace pp
