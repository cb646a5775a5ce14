// A fresh engine on a virtual clock with a fixed seed, and small helpers for the engine tests.
#pragma once

#include <cstdint>
#include <vector>

#include "particles/particles.h"
#include "runtime/clock.h"
#include "runtime/random.h"

namespace pp {

struct TestEngine {
    explicit TestEngine(uint32_t seed = 1, uint32_t start = 1000) : clock(start), engine(clock) {
        SeedRandom(engine.Random, seed);
        FillAreaTypes(engine);
    }
    VirtualClock clock;
    Engine engine;
};

// Copies of the emitter's particles, oldest first.
inline std::vector<Particle> ParticlesOf(Emitter& emitter) {
    std::vector<Particle> out;
    ListRewind(emitter.Particles);
    while (Particle* p = ListNext(emitter.Particles)) out.push_back(*p);
    return out;
}

}  // namespace pp
