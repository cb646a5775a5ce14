#include "runtime/random.h"

#include <chrono>
#include <functional>
#include <thread>

namespace pp {
namespace {

constexpr uint32_t kSeedMultiplier = 0x53A9B4FBu;

uint32_t RotateRight(uint32_t value, int bits) {
    return (value >> bits) | (value << (32 - bits));
}

uint32_t Step(RandomGenerator& gen) {
    uint32_t x = RotateRight(gen.B[gen.i], 13) + gen.B[gen.j];
    uint32_t y = RotateRight(gen.A[gen.i], 5) + gen.A[gen.j];
    gen.A[gen.i] = x;
    gen.B[gen.i] = y;
    if (--gen.i < 0) gen.i = 16;
    if (--gen.j < 0) gen.j = 16;
    return x;
}

// Thread identity XOR the time, so that runs differ.
uint32_t AutomaticSeed() {
    auto thread = static_cast<uint32_t>(std::hash<std::thread::id>{}(std::this_thread::get_id()));
    auto ticks = static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch() /
                                       std::chrono::milliseconds(1));
    return thread ^ ticks;
}

}  // namespace

void SeedRandom(RandomGenerator& gen, uint32_t seed) {
    gen.seeded = true;
    gen.seed = seed;
    uint32_t s = seed;
    for (int k = 0; k < 17; ++k) {
        s = 1u - s * kSeedMultiplier;
        gen.B[k] = s;
        s = 1u - s * kSeedMultiplier;
        gen.A[k] = s;
    }
    gen.i = 0;
    gen.j = 10;
    for (int k = 0; k < 31; ++k) Step(gen);
}

int32_t RandomInt(RandomGenerator& gen, int32_t max) {
    if (!gen.seeded) SeedRandom(gen, AutomaticSeed());
    // max + 1 wraps unsigned, so max -1 asks for the raw output.
    uint32_t n = static_cast<uint32_t>(max) + 1u;
    uint32_t x = Step(gen);
    if (n == 0) return static_cast<int32_t>(x);
    return static_cast<int32_t>(static_cast<uint32_t>((static_cast<uint64_t>(x) * n) >> 32));
}

}  // namespace pp
