// The turbulence field and its pass (the rules are in turbulence.h).
#include "particles/turbulence.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "runtime/worker_pool.h"

namespace pp {
namespace {

constexpr float kSpeedScale = 0.8f;
constexpr uint32_t kCellMask = 0xFFFFu;     // the lattice repeats every 2^16 cells
constexpr uint32_t kSliceMask = 0xFFFFFFu;  // and every 2^24 slices
constexpr float kCellPeriod = 65536.0f;
constexpr float kSlicePeriod = 16777216.0f;
// The pass shares the field's work out in tasks of this many particles, once a list has this
// many: below it waking the threads costs more than they save.
constexpr size_t kTaskParticles = 2048;
constexpr size_t kParallelMin = 16384;

uint32_t Mix(uint32_t h) {
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

// The lattice value of point (i, j) of the slice whose seed is s, in [-1, 1).
inline float Lattice(uint32_t i, uint32_t j, uint32_t s) {
    const uint32_t h = Mix((i * 0x8DA6B343u + j * 0xD8163841u) ^ s);
    return static_cast<float>(h >> 8) * (1.0f / 8388608.0f) - 1.0f;
}

inline float Fade(float t) {
    return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f);
}

inline float FadeSlope(float t) {
    return 30.0f * t * t * (t * (t - 2.0f) + 1.0f);
}

// v mod period for a whole-valued v, exactly, as an index: every finite v gives 0 to period - 1
// (and what is not finite 0, never an undefined conversion).
inline uint32_t Wrapped(float v, float period) {
    const float r = v - period * std::floor(v / period);
    return r >= 0.0f && r < period ? static_cast<uint32_t>(r) : 0u;
}

// The four corners of the cell about (u, v) and the fractions within it.
struct Cell {
    float A, B, C, D;  // (i, j), (i + 1, j), (i, j + 1), (i + 1, j + 1)
    float Fu, Fv;
};

inline Cell CellAt(const TurbulenceFrame& f, float x, float y) {
    const float u = x * f.InvScale;
    const float v = y * f.InvScale;
    const float cu = std::floor(u);
    const float cv = std::floor(v);
    const uint32_t i = Wrapped(cu, kCellPeriod);
    const uint32_t j = Wrapped(cv, kCellPeriod);
    const uint32_t i1 = (i + 1u) & kCellMask;
    const uint32_t j1 = (j + 1u) & kCellMask;
    auto corner = [&f](uint32_t a, uint32_t b) {
        const float h0 = Lattice(a, b, f.Seed0);
        const float h1 = Lattice(a, b, f.Seed1);
        return h0 + (h1 - h0) * f.Blend;
    };
    return Cell{corner(i, j), corner(i1, j), corner(i, j1), corner(i1, j1), u - cu, v - cv};
}

uint32_t SliceSeed(uint32_t seed, uint32_t slice) {
    return Mix(seed ^ (slice * 0xCB1AB31Fu));
}

}  // namespace

NoiseClock AdvanceNoise(NoiseClock clock, float dt, float speed) {
    if (!(dt > 0.0f)) return clock;
    const float phase = clock.Phase + dt * speed;
    const float whole = std::floor(phase);
    clock.Phase = phase - whole;
    clock.Slice = (clock.Slice + Wrapped(whole, kSlicePeriod)) & kSliceMask;
    return clock;
}

TurbulenceFrame TurbulenceOf(const TurbulenceParams& t, NoiseClock clock, uint32_t worldSeed,
                             float dt) {
    const uint32_t seed = Mix(worldSeed ^ Mix(static_cast<uint32_t>(t.Seed) + 0x9E3779B9u));
    return TurbulenceFrame{t.Strength != 0.0f,
                           dt * t.Strength * kSpeedScale,
                           1.0f / t.Scale,
                           Fade(clock.Phase),
                           SliceSeed(seed, clock.Slice),
                           SliceSeed(seed, (clock.Slice + 1u) & kSliceMask)};
}

void TurbulenceAt(const TurbulenceFrame& f, float x, float y, float& dx, float& dy) {
    const Cell c = CellAt(f, x, y);
    const float k = ((c.A - c.B) - c.C) + c.D;
    const float du = FadeSlope(c.Fu) * ((c.B - c.A) + k * Fade(c.Fv));
    const float dv = FadeSlope(c.Fv) * ((c.C - c.A) + k * Fade(c.Fu));
    dx = f.Step * dv;
    dy = -(f.Step * du);
}

float TurbulencePotential(const TurbulenceFrame& f, float x, float y) {
    const Cell c = CellAt(f, x, y);
    const float su = Fade(c.Fu);
    const float sv = Fade(c.Fv);
    const float k = ((c.A - c.B) - c.C) + c.D;
    const float n = ((c.A + (c.B - c.A) * su) + (c.C - c.A) * sv) + k * su * sv;
    return f.Step / f.InvScale * n;
}

bool FillTurbulence(Engine& engine, const TurbulenceFrame& f, const Particle* particles, size_t n,
                    float*& drift) {
    WorkerPool* const pool = engine.Workers;
    if (pool == nullptr || pool->Threads() < 2 || n < kParallelMin) return false;
    if (engine.DriftCapacity < n) {
        engine.Drift.reset(new (std::nothrow) float[2 * n]);
        engine.DriftCapacity = engine.Drift ? n : 0;
        if (!engine.Drift) return false;
    }
    float* const out = engine.Drift.get();
    const size_t tasks = (n + kTaskParticles - 1) / kTaskParticles;
    pool->Run(tasks, [&](size_t t) {
        const size_t end = std::min(n, (t + 1) * kTaskParticles);
        for (size_t k = t * kTaskParticles; k < end; ++k) {
            TurbulenceAt(f, particles[k].X, particles[k].Y, out[2 * k], out[2 * k + 1]);
        }
    });
    drift = out;
    return true;
}

}  // namespace pp
