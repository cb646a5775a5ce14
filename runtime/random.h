// The process-wide lagged random generator: two 17-word tables, bit-exact, so that a given
// seed always produces the same particles. Unseeded until first use, then seeds itself.
#pragma once

#include <cstdint>

namespace pp {

struct RandomGenerator {
    uint32_t A[17] = {};
    uint32_t B[17] = {};
    int32_t i = 0;
    int32_t j = 0;
    bool seeded = false;
    uint32_t seed = 0;  // the last seed SeedRandom took (the turbulence field is made from it)
};

// Sets the whole state from seed and discards the first 31 outputs.
void SeedRandom(RandomGenerator& gen, uint32_t seed);

// One generator step. For max >= 0 returns a value from 0 to max inclusive; max -1 returns
// the raw 32-bit output; any other negative max maps onto 0 .. max + 2^32 (read as signed).
// Seeds from the thread and the time on the first call of an unseeded generator.
int32_t RandomInt(RandomGenerator& gen, int32_t max);

}  // namespace pp
