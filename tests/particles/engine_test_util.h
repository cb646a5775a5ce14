// A fresh engine on a virtual clock with a fixed seed, and small helpers for the engine tests.
#pragma once

#include <cstdint>
#include <cstring>
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
    int32_t Now() { return static_cast<int32_t>(clock.Now()); }
    // Advances the clock by ms and updates; returns the frame time.
    float Step(uint32_t ms) {
        clock.Advance(ms);
        return UpdateParticles(engine);
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

inline std::vector<Emitter*> EmittersOf(Engine& engine) {
    std::vector<Emitter*> out;
    ListRewind(engine.Emitters);
    while (Emitter* e = ListNext(engine.Emitters)) out.push_back(e);
    return out;
}

// Whether two runs of particles are the same, bit for bit and in order.
inline bool SameBytes(const std::vector<Particle>& x, const std::vector<Particle>& y) {
    return x.size() == y.size() &&
           (x.empty() || std::memcmp(x.data(), y.data(), x.size() * sizeof(Particle)) == 0);
}

inline bool SameParticles(Emitter& a, Emitter& b) {
    return SameBytes(ParticlesOf(a), ParticlesOf(b));
}

}  // namespace pp
