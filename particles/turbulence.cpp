// The turbulence field and its pass (the rules are in turbulence.h).
#include "particles/turbulence.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

#include "runtime/cpu_path.h"
#include "runtime/vector_lanes.h"
#include "runtime/worker_pool.h"

namespace pp {
namespace {

constexpr float kSpeedScale = 0.8f;
constexpr uint32_t kCellMask = 0xFFu;       // the lattice repeats every 256 cells
constexpr uint32_t kSliceMask = 0xFFFFFFu;  // and every 2^24 slices
constexpr float kSlicePeriod = 16777216.0f;
// Below this a float may have a fraction; at or above it every float is whole.
constexpr float kWholeFrom = 8388608.0f;
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

// Value m of the slice whose seed is s, in [-1, 1).
float Lattice(uint32_t m, uint32_t s) {
    const uint32_t h = Mix((m * 0x8DA6B343u) ^ s);
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

// floor(u) mod 256 and u - floor(u); through a whole number where u may have a fraction, which
// is exact and spares the library's floor.
inline void Split(float u, uint32_t& cell, float& fraction) {
    if (u > -kWholeFrom && u < kWholeFrom) {
        auto i = static_cast<int32_t>(u);
        if (static_cast<float>(i) > u) --i;
        fraction = u - static_cast<float>(i);
        cell = static_cast<uint32_t>(i) & kCellMask;
    } else {
        fraction = u - u;  // 0, or NaN for what is not finite
        cell = Wrapped(u, 256.0f);
    }
}

// The four corners of the cell about (u, v) and the fractions within it.
struct Cell {
    float A, B, C, D;  // (i, j), (i + 1, j), (i, j + 1), (i + 1, j + 1)
    float Fu, Fv;
};

inline Cell CellAt(const TurbulenceFrame& f, float x, float y) {
    uint32_t i;
    uint32_t j;
    Cell c;
    Split(x * f.InvScale, i, c.Fu);
    Split(y * f.InvScale, j, c.Fv);
    // Cells below 256 and permuted numbers below 256: every index below 512.
    const auto pi = static_cast<uint32_t>(f.Perm[i]);
    const auto pi1 = static_cast<uint32_t>(f.Perm[i + 1u]);
    c.A = f.Value[pi + j];
    c.B = f.Value[pi1 + j];
    c.C = f.Value[pi + j + 1u];
    c.D = f.Value[pi1 + j + 1u];
    return c;
}

#define PP_LANES_LOOP "particles/turbulence_lanes.h"
#include "runtime/each_vector_lanes.h"

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
    TurbulenceFrame f{t.Strength != 0.0f, dt * t.Strength * kSpeedScale, 1.0f / t.Scale, {}, {}};
    for (uint32_t m = 0; m < 256; ++m) f.Perm[m] = static_cast<int32_t>(m);
    for (uint32_t m = 255; m > 0; --m) {
        const uint32_t k = Mix(seed + m * 0x632BE5ABu) % (m + 1u);
        std::swap(f.Perm[m], f.Perm[k]);
    }
    const uint32_t s0 = SliceSeed(seed, clock.Slice);
    const uint32_t s1 = SliceSeed(seed, (clock.Slice + 1u) & kSliceMask);
    const float blend = Fade(clock.Phase);
    std::array<float, 256> lattice;
    for (uint32_t m = 0; m < 256; ++m) {
        const float h0 = Lattice(m, s0);
        lattice[m] = h0 + (Lattice(m, s1) - h0) * blend;
    }
    for (uint32_t m = 0; m < 512; ++m) {
        f.Perm[m] = f.Perm[m & kCellMask];
        f.Value[m] = lattice[static_cast<uint32_t>(f.Perm[m])];
    }
    return f;
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

void TurbulenceRun(const TurbulenceFrame& f, const Particle* particles, size_t n, float* drift) {
    size_t k = 0;
#if defined(__x86_64__)
    if (UseAvx512()) k = avx512::TurbulenceFrom(f, particles, k, n, drift);
    if (UseAvx2()) k = avx2::TurbulenceFrom(f, particles, k, n, drift);
#endif
    for (; k < n; ++k) {
        TurbulenceAt(f, particles[k].X, particles[k].Y, drift[2 * k], drift[2 * k + 1]);
    }
}

float* DriftRoom(Engine& engine, size_t n) {
    if (engine.DriftCapacity < n) {
        engine.Drift.reset(new (std::nothrow) float[2 * n]);
        engine.DriftCapacity = engine.Drift ? n : 0;
    }
    return engine.Drift.get();
}

bool FillTurbulence(Engine& engine, const TurbulenceFrame& f, const Particle* particles, size_t n,
                    float*& drift) {
    WorkerPool* const pool = engine.Workers;
    if (pool == nullptr || pool->Threads() < 2 || n < kParallelMin) return false;
    float* const out = DriftRoom(engine, n);
    if (out == nullptr) return false;
    const size_t tasks = (n + kTaskParticles - 1) / kTaskParticles;
    pool->Run(tasks, [&](size_t t) {
        const size_t begin = t * kTaskParticles;
        const size_t end = std::min(n, begin + kTaskParticles);
        TurbulenceRun(f, particles + begin, end - begin, out + 2 * begin);
    });
    drift = out;
    return true;
}

}  // namespace pp
