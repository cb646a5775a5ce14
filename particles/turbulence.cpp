// The turbulence field and its pass (the rules are in turbulence.h).
#include "particles/turbulence.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "runtime/cpu_path.h"
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

#if defined(__x86_64__)

// Split for eight values at once: the whole number through truncation where that is exact, as
// Split does, and the cell of a value beyond it its truncation's low byte, which is Wrapped's:
// a float of 2^31 or more is a multiple of 256, and one that is not finite or beyond int32
// truncates to -2^31, a multiple of 256 too.
[[gnu::target("avx2")]] inline void SplitAvx2(__m256 u, __m256i& cell, __m256& fraction) {
    const __m256i whole = _mm256_cvttps_epi32(u);
    const __m256 truncated = _mm256_cvtepi32_ps(whole);
    const __m256 above = _mm256_cmp_ps(truncated, u, _CMP_GT_OQ);
    const __m256i floorWhole = _mm256_add_epi32(whole, _mm256_castps_si256(above));
    const __m256 floor = _mm256_sub_ps(truncated, _mm256_and_ps(above, _mm256_set1_ps(1.0f)));
    const __m256 magnitude = _mm256_andnot_ps(_mm256_set1_ps(-0.0f), u);
    const __m256 inside = _mm256_cmp_ps(magnitude, _mm256_set1_ps(kWholeFrom), _CMP_LT_OQ);
    fraction = _mm256_blendv_ps(_mm256_sub_ps(u, u), _mm256_sub_ps(u, floor), inside);
    const __m256i chosen = _mm256_blendv_epi8(whole, floorWhole, _mm256_castps_si256(inside));
    cell = _mm256_and_si256(chosen, _mm256_set1_epi32(static_cast<int32_t>(kCellMask)));
}

[[gnu::target("avx2")]] inline __m256 FadeAvx2(__m256 t) {
    const __m256 cube = _mm256_mul_ps(_mm256_mul_ps(t, t), t);
    const __m256 inner =
        _mm256_sub_ps(_mm256_mul_ps(t, _mm256_set1_ps(6.0f)), _mm256_set1_ps(15.0f));
    return _mm256_mul_ps(cube, _mm256_add_ps(_mm256_mul_ps(t, inner), _mm256_set1_ps(10.0f)));
}

[[gnu::target("avx2")]] inline __m256 FadeSlopeAvx2(__m256 t) {
    const __m256 square = _mm256_mul_ps(_mm256_mul_ps(_mm256_set1_ps(30.0f), t), t);
    const __m256 inner = _mm256_mul_ps(t, _mm256_sub_ps(t, _mm256_set1_ps(2.0f)));
    return _mm256_mul_ps(square, _mm256_add_ps(inner, _mm256_set1_ps(1.0f)));
}

// TurbulenceAt for particles from k on, eight at a time while eight are left; returns where it
// stopped.
[[gnu::target("avx2")]] size_t TurbulenceRunAvx2(const TurbulenceFrame& f, const Particle* p,
                                                 size_t k, size_t n, float* drift) {
    constexpr int kFloats = sizeof(Particle) / sizeof(float);
    static_assert(sizeof(Particle) % sizeof(float) == 0, "particles read as floats");
    const __m256i records =
        _mm256_mullo_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), _mm256_set1_epi32(kFloats));
    const __m256 invScale = _mm256_set1_ps(f.InvScale);
    const __m256 step = _mm256_set1_ps(f.Step);
    const int* const perm = f.Perm.data();
    const float* const value = f.Value.data();
    constexpr size_t kAhead = 128;
    for (; k + 8 <= n; k += 8) {
        // The places are read in a stride that the processor's own prefetching follows too
        // late: the records kAhead further on are asked for now, each cache line once.
        if (k + kAhead + 8 <= n) {
            const char* const ahead = reinterpret_cast<const char*>(p + k + kAhead);
            for (size_t b = 0; b < 8 * sizeof(Particle); b += 64) {
                _mm_prefetch(ahead + b, _MM_HINT_T0);
            }
        }
        const float* const x = &p[k].X;
        const float* const y = &p[k].Y;
        __m256i i;
        __m256i j;
        __m256 fu;
        __m256 fv;
        SplitAvx2(_mm256_mul_ps(_mm256_i32gather_ps(x, records, 4), invScale), i, fu);
        SplitAvx2(_mm256_mul_ps(_mm256_i32gather_ps(y, records, 4), invScale), j, fv);
        const __m256i pi = _mm256_add_epi32(_mm256_i32gather_epi32(perm, i, 4), j);
        const __m256i pi1 = _mm256_add_epi32(_mm256_i32gather_epi32(perm + 1, i, 4), j);
        const __m256 a = _mm256_i32gather_ps(value, pi, 4);
        const __m256 b = _mm256_i32gather_ps(value, pi1, 4);
        const __m256 c = _mm256_i32gather_ps(value + 1, pi, 4);
        const __m256 d = _mm256_i32gather_ps(value + 1, pi1, 4);
        const __m256 corners = _mm256_add_ps(_mm256_sub_ps(_mm256_sub_ps(a, b), c), d);
        const __m256 du =
            _mm256_mul_ps(FadeSlopeAvx2(fu),
                          _mm256_add_ps(_mm256_sub_ps(b, a), _mm256_mul_ps(corners, FadeAvx2(fv))));
        const __m256 dv =
            _mm256_mul_ps(FadeSlopeAvx2(fv),
                          _mm256_add_ps(_mm256_sub_ps(c, a), _mm256_mul_ps(corners, FadeAvx2(fu))));
        const __m256 dx = _mm256_mul_ps(step, dv);
        const __m256 dy = _mm256_xor_ps(_mm256_mul_ps(step, du), _mm256_set1_ps(-0.0f));
        const __m256 low = _mm256_unpacklo_ps(dx, dy);
        const __m256 high = _mm256_unpackhi_ps(dx, dy);
        _mm256_storeu_ps(drift + 2 * k, _mm256_permute2f128_ps(low, high, 0x20));
        _mm256_storeu_ps(drift + 2 * k + 8, _mm256_permute2f128_ps(low, high, 0x31));
    }
    return k;
}

// GCC 12 takes the wide intrinsics' deliberately undefined inputs for uninitialised values.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"

// The same steps sixteen at a time, the AVX2 lanes' selections as masks.
[[gnu::target("avx512f")]] inline void SplitAvx512(__m512 u, __m512i& cell, __m512& fraction) {
    const __m512i whole = _mm512_cvttps_epi32(u);
    const __m512 truncated = _mm512_cvtepi32_ps(whole);
    const __mmask16 above = _mm512_cmp_ps_mask(truncated, u, _CMP_GT_OQ);
    const __m512i floorWhole = _mm512_mask_sub_epi32(whole, above, whole, _mm512_set1_epi32(1));
    const __m512 floor = _mm512_mask_sub_ps(truncated, above, truncated, _mm512_set1_ps(1.0f));
    const __mmask16 inside =
        _mm512_cmp_ps_mask(_mm512_abs_ps(u), _mm512_set1_ps(kWholeFrom), _CMP_LT_OQ);
    fraction = _mm512_mask_blend_ps(inside, _mm512_sub_ps(u, u), _mm512_sub_ps(u, floor));
    const __m512i chosen = _mm512_mask_blend_epi32(inside, whole, floorWhole);
    cell = _mm512_and_si512(chosen, _mm512_set1_epi32(static_cast<int32_t>(kCellMask)));
}

[[gnu::target("avx512f")]] inline __m512 FadeAvx512(__m512 t) {
    const __m512 cube = _mm512_mul_ps(_mm512_mul_ps(t, t), t);
    const __m512 inner =
        _mm512_sub_ps(_mm512_mul_ps(t, _mm512_set1_ps(6.0f)), _mm512_set1_ps(15.0f));
    return _mm512_mul_ps(cube, _mm512_add_ps(_mm512_mul_ps(t, inner), _mm512_set1_ps(10.0f)));
}

[[gnu::target("avx512f")]] inline __m512 FadeSlopeAvx512(__m512 t) {
    const __m512 square = _mm512_mul_ps(_mm512_mul_ps(_mm512_set1_ps(30.0f), t), t);
    const __m512 inner = _mm512_mul_ps(t, _mm512_sub_ps(t, _mm512_set1_ps(2.0f)));
    return _mm512_mul_ps(square, _mm512_add_ps(inner, _mm512_set1_ps(1.0f)));
}

// TurbulenceAt for particles from 0 on, sixteen at a time while sixteen are left; returns
// where it stopped.
[[gnu::target("avx512f")]] size_t TurbulenceRunAvx512(const TurbulenceFrame& f, const Particle* p,
                                                      size_t n, float* drift) {
    constexpr int kFloats = sizeof(Particle) / sizeof(float);
    const __m512i records =
        _mm512_mullo_epi32(_mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                           _mm512_set1_epi32(kFloats));
    // (dx, dy) pairs of lanes 0-7, then of lanes 8-15.
    const __m512i front = _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
    const __m512i back =
        _mm512_setr_epi32(8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31);
    const __m512 invScale = _mm512_set1_ps(f.InvScale);
    const __m512 step = _mm512_set1_ps(f.Step);
    const int* const perm = f.Perm.data();
    const float* const value = f.Value.data();
    constexpr size_t kAhead = 128;
    size_t k = 0;
    for (; k + 16 <= n; k += 16) {
        if (k + kAhead + 16 <= n) {
            const char* const ahead = reinterpret_cast<const char*>(p + k + kAhead);
            for (size_t b = 0; b < 16 * sizeof(Particle); b += 64) {
                _mm_prefetch(ahead + b, _MM_HINT_T0);
            }
        }
        __m512i i;
        __m512i j;
        __m512 fu;
        __m512 fv;
        SplitAvx512(_mm512_mul_ps(_mm512_i32gather_ps(records, &p[k].X, 4), invScale), i, fu);
        SplitAvx512(_mm512_mul_ps(_mm512_i32gather_ps(records, &p[k].Y, 4), invScale), j, fv);
        const __m512i pi = _mm512_add_epi32(_mm512_i32gather_epi32(i, perm, 4), j);
        const __m512i pi1 = _mm512_add_epi32(_mm512_i32gather_epi32(i, perm + 1, 4), j);
        const __m512 a = _mm512_i32gather_ps(pi, value, 4);
        const __m512 b = _mm512_i32gather_ps(pi1, value, 4);
        const __m512 c = _mm512_i32gather_ps(pi, value + 1, 4);
        const __m512 d = _mm512_i32gather_ps(pi1, value + 1, 4);
        const __m512 corners = _mm512_add_ps(_mm512_sub_ps(_mm512_sub_ps(a, b), c), d);
        const __m512 du = _mm512_mul_ps(
            FadeSlopeAvx512(fu),
            _mm512_add_ps(_mm512_sub_ps(b, a), _mm512_mul_ps(corners, FadeAvx512(fv))));
        const __m512 dv = _mm512_mul_ps(
            FadeSlopeAvx512(fv),
            _mm512_add_ps(_mm512_sub_ps(c, a), _mm512_mul_ps(corners, FadeAvx512(fu))));
        const __m512 dx = _mm512_mul_ps(step, dv);
        const __m512 dy = _mm512_castsi512_ps(_mm512_xor_si512(
            _mm512_castps_si512(_mm512_mul_ps(step, du)), _mm512_set1_epi32(INT32_MIN)));
        _mm512_storeu_ps(drift + 2 * k, _mm512_permutex2var_ps(dx, front, dy));
        _mm512_storeu_ps(drift + 2 * k + 16, _mm512_permutex2var_ps(dx, back, dy));
    }
    return k;
}
#pragma GCC diagnostic pop

#endif

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
    if (UseAvx512()) k = TurbulenceRunAvx512(f, particles, n, drift);
    if (UseAvx2()) k = TurbulenceRunAvx2(f, particles, k, n, drift);
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
