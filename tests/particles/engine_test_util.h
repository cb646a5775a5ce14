// A fresh engine on a virtual clock with a fixed seed, and small helpers for the engine tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "particles/particles.h"
#include "runtime/clock_readings.h"
#include "runtime/random.h"

namespace pp {

struct TestEngine {
    explicit TestEngine(uint32_t seed = 1, uint32_t start = 1000) : clock(start), engine(clock) {
        SeedRandom(engine.Random, seed);
        FillAreaTypes(engine);
    }
    int32_t Now() { return static_cast<int32_t>(clock.Now()); }
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

inline bool SameBytes(const std::vector<Particle>& x, const std::vector<Particle>& y) {
    return x.size() == y.size() &&
           (x.empty() || std::memcmp(x.data(), y.data(), x.size() * sizeof(Particle)) == 0);
}

inline bool SameParticles(Emitter& a, Emitter& b) {
    return SameBytes(ParticlesOf(a), ParticlesOf(b));
}

// An emitter of every sort of particle, non-finite ones included.
inline Emitter* AddBusyEmitter(Engine& engine, int32_t i) {
    Emitter* e = CreateEmitter(engine, 100 + 30 * i, 200);
    e->AreaType = i % 6, e->AreaWidth = 40.0f, e->AreaHeight = 20.0f;
    SetValueSpec(e->EmissionRate, 200, 900, 7), SetValueSpec(e->LifeTime, 0.1f, 2, 0.05f);
    SetValueSpec(e->EmissionVelocity, -50, 300, 3.5f), SetValueSpec(e->Size, 0.5f, 30, 0.5f);
    SetValueSpec(e->Rotation, -5, 5, 0.25f), SetValueSpec(e->Transparency, 0, 255, 3);
    SetValueSpec(e->EmissionAngle, -180, 180, 0.5f);
    e->AccelerationY = 40.0f - static_cast<float>(10 * i), e->Fade = -90.0f;
    e->Raise = i == 4 ? __builtin_nanf("") : i % 2 == 0 ? -7.5f : 3.0f;
    if (i == 3) e->AccelerationX = 3e38f;  // overflows to infinity
    return e;
}

}  // namespace pp
