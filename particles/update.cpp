// The per-frame update: emit, then move, accelerate, grow, spin, fade and cull every particle.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "particles/budget.h"
#include "particles/looks.h"
#include "particles/particles.h"
#include "particles/sub_effects.h"
#include "runtime/clock_readings.h"
#include "runtime/convert.h"
#include "runtime/cpu_path.h"
#include "runtime/worker_pool.h"

namespace pp {
namespace {

// What every particle of one emitter's pass shares.
struct Motion {
    float Dt;
    float AccelerationX, AccelerationY;
    float Raise, Fade;
    int32_t Now;
};

// ParticleStateIsFinite of the new state without a branch per field: x - x is 0 for every
// finite x and NaN for infinities and NaN, and a NaN survives every sum.
bool AllFinite(float a0, float a1, float a2, float a3, float b0, float b1, float b2, float b3) {
    const float zero = (((a0 - a0) + (a1 - a1)) + ((a2 - a2) + (a3 - a3))) +
                       (((b0 - b0) + (b1 - b1)) + ((b2 - b2) + (b3 - b3)));
    return zero == 0.0f;
}

// Whether a particle dies in its new state: by age, size or opacity, or a state that is no
// longer finite.
[[gnu::always_inline]] inline bool StateDies(const Particle& p, int32_t now) {
    const int old = static_cast<int>(ClockDiff(now, p.DeathTime) > 0);
    const int faded = static_cast<int>(p.Size < 1.0f) | static_cast<int>(p.Transparency < 1.0f);
    const int broken = static_cast<int>(!AllFinite(p.X, p.Y, p.VelocityX, p.VelocityY, p.Size,
                                                   p.Transparency, p.Angle, p.RotationStep));
    return (old | faded | broken) != 0;
}

// Explicit Euler: the position moves with the old velocity, then the velocity takes up the
// acceleration. Writes the new state to `out` (the particle's own place or an earlier one) and
// returns whether the particle has died in it. The vector paths below compute exactly these
// sums and products, lane by lane.
[[gnu::always_inline]] inline bool AdvancePlain(const Particle& in, Particle& out,
                                                const Motion& m) {
    const float vx = in.VelocityX;
    const float vy = in.VelocityY;
    const float x = in.X + m.Dt * vx;
    const float y = in.Y + m.Dt * vy;
    const float newVx = vx + m.Dt * m.AccelerationX;
    const float newVy = vy + m.Dt * m.AccelerationY;
    const float size = in.Size + m.Dt * m.Raise;
    const float step = in.RotationStep;
    const float angle = in.Angle + step;
    const float transparency = in.Transparency + m.Dt * m.Fade;
    const Particle next = {in.Sprite,    size,         x,     y,   newVx, newVy,
                           transparency, in.DeathTime, angle, step};
    out = next;
    return StateDies(next, m.Now);
}

#if defined(__SSE2__)

// The record seen as vectors: (Sprite, Size, X, Y), (VelocityX, VelocityY, Transparency,
// DeathTime) and (Angle, RotationStep).
static_assert(offsetof(Particle, Sprite) == 0 && offsetof(Particle, Size) == 4 &&
                  offsetof(Particle, X) == 8 && offsetof(Particle, Y) == 12 &&
                  offsetof(Particle, VelocityX) == 16 && offsetof(Particle, VelocityY) == 20 &&
                  offsetof(Particle, Transparency) == 24 && offsetof(Particle, DeathTime) == 28 &&
                  offsetof(Particle, Angle) == 32 && offsetof(Particle, RotationStep) == 36,
              "the update reads a particle as three vectors");

// The per-pass constants in the lanes where the vectors below need them.
struct Sse2Constants {
    explicit Sse2Constants(const Motion& m)
        : Dt(_mm_set1_ps(m.Dt)),
          Raise(_mm_setr_ps(0.0f, m.Raise, 0.0f, 0.0f)),
          // dt * acceleration and dt * fade are the same for every particle: worked out once,
          // they are the very products the per-particle sums take.
          VelocityStep(
              _mm_setr_ps(m.Dt * m.AccelerationX, m.Dt * m.AccelerationY, m.Dt * m.Fade, 0.0f)),
          // Sprite and DeathTime are integers: their lanes are cleared before any float
          // arithmetic, so that no integer read as a float (a denormal, a NaN) reaches it.
          NoSprite(_mm_castsi128_ps(_mm_setr_epi32(0, -1, -1, -1))),
          NoDeathTime(_mm_castsi128_ps(_mm_setr_epi32(-1, -1, -1, 0))),
          // Transparency and Size die below 1; the rest only when not finite.
          Floor(_mm_setr_ps(1.0f, 1.0f, -__builtin_inff(), -__builtin_inff())),
          Now(m.Now) {}
    __m128 Dt, Raise, VelocityStep, NoSprite, NoDeathTime, Floor;
    int32_t Now;
};

// AdvancePlain in SSE2. Each lane computes exactly the plain sum or product in the plain order: SSE
// arithmetic is IEEE single precision, lane by lane. The new state is tested in registers, never
// read back from the record being stored (that stalls the processor on every particle).
[[gnu::always_inline]] inline bool AdvanceSse2(const Particle& in, Particle& out,
                                               const Sse2Constants& c) {
    const auto* src = reinterpret_cast<const float*>(&in);
    const __m128 head = _mm_loadu_ps(src);        // Sprite, Size, X, Y
    const __m128 moving = _mm_loadu_ps(src + 4);  // VelocityX, VelocityY, Transparency, Death
    const __m128 turn = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(src + 8)));
    const int32_t deathTime = in.DeathTime;

    // Size + dt * raise, X + dt * VelocityX, Y + dt * VelocityY; the sprite lane as it was.
    const __m128 growth = _mm_mul_ps(c.Dt, _mm_movelh_ps(c.Raise, moving));
    const __m128 newHead = _mm_move_ss(_mm_add_ps(_mm_and_ps(head, c.NoSprite), growth), head);
    // VelocityX + dt * ax, VelocityY + dt * ay, Transparency + dt * fade.
    const __m128 newMoving = _mm_add_ps(_mm_and_ps(moving, c.NoDeathTime), c.VelocityStep);
    // Angle + RotationStep: per update, whatever dt is.
    const __m128 newTurn = _mm_add_ss(turn, _mm_shuffle_ps(turn, turn, _MM_SHUFFLE(1, 1, 1, 1)));

    auto* dst = reinterpret_cast<float*>(&out);
    _mm_storeu_ps(dst, newHead);
    _mm_storeu_ps(dst + 4, newMoving);
    out.DeathTime = deathTime;
    _mm_store_sd(reinterpret_cast<double*>(dst + 8), _mm_castps_pd(newTurn));

    // (Transparency, Size, X, Y) and (VelocityX, VelocityY, RotationStep, Angle) of the new
    // state. v - v is 0 for a finite v and NaN otherwise, and a NaN survives every sum, so a
    // lane of checked is its first vector's value while both lanes are finite and NaN as soon
    // as one is not: a state that overflowed to an infinity or became NaN (inf - inf) ends the
    // particle, as a NaN size or opacity would never fall below 1 and would reach drawing.
    const __m128 first = _mm_move_ss(newHead, _mm_movehl_ps(newMoving, newMoving));
    const __m128 second = _mm_shuffle_ps(newMoving, newTurn, _MM_SHUFFLE(0, 1, 1, 0));
    const __m128 nonFinite = _mm_add_ps(_mm_sub_ps(first, first), _mm_sub_ps(second, second));
    const __m128 checked = _mm_add_ps(first, nonFinite);
    // Not at or above the floor: below it, or NaN.
    const int faded = _mm_movemask_ps(_mm_cmpnge_ps(checked, c.Floor));
    // The tests are combined without branches: which of them holds follows no pattern.
    const int old = static_cast<int>(ClockDiff(c.Now, deathTime) > 0);
    return (faded | old) != 0;
}

#endif

#if defined(__x86_64__)

// AdvancePlain in AVX2: the record's first eight fields (Sprite, Size, X, Y, VelocityX,
// VelocityY, Transparency, DeathTime) as one vector, (Angle, RotationStep) as a pair. The
// same sums and products as the SSE2 path, lane by lane; Sprite and DeathTime are cleared
// before the arithmetic and put back bit for bit after it. The vector units bound this loop:
// the turn is tested by the same compare as the other floats, in an integer's lane, and the
// age stays a scalar test, which the integer units run beside them.
struct Avx2Constants {
    [[gnu::target("avx2")]] explicit Avx2Constants(const Motion& m)
        : Dt(_mm256_set1_ps(m.Dt)),
          // The steps that are the same for every particle, in their fields' lanes.
          Steps(_mm256_setr_ps(0.0f, m.Dt * m.Raise, 0.0f, 0.0f, m.Dt * m.AccelerationX,
                               m.Dt * m.AccelerationY, m.Dt * m.Fade, 0.0f)),
          NoIntegers(_mm256_castsi256_ps(_mm256_setr_epi32(0, -1, -1, -1, -1, -1, -1, 0))),
          // VelocityX and VelocityY into the lanes of X and Y; the others, whose products are
          // not used, take velocities too, never an integer's bits (which as a float can be
          // denormal, and slow).
          Velocities(_mm256_setr_epi32(4, 4, 4, 5, 4, 4, 4, 4)),
          Floor(_mm256_setr_ps(-__builtin_inff(), 1.0f, -__builtin_inff(), -__builtin_inff(),
                               -__builtin_inff(), -__builtin_inff(), 1.0f, -__builtin_inff())),
          Now(m.Now) {}
    __m256 Dt, Steps, NoIntegers;
    __m256i Velocities;
    __m256 Floor;
    int32_t Now;
};

[[gnu::target("avx2"), gnu::always_inline]] inline bool AdvanceAvx2(const Particle& in,
                                                                    Particle& out,
                                                                    const Avx2Constants& c) {
    const auto* src = reinterpret_cast<const float*>(&in);
    const __m256 fields = _mm256_loadu_ps(src);
    const __m128 turn = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(src + 8)));
    const int32_t deathTime = in.DeathTime;

    // (0, dt * Raise, dt * VelocityX, dt * VelocityY, dt * ax, dt * ay, dt * fade, 0).
    const __m256 moved = _mm256_mul_ps(c.Dt, _mm256_permutevar8x32_ps(fields, c.Velocities));
    const __m256 steps = _mm256_blend_ps(c.Steps, moved, 0x0C);
    const __m256 sums = _mm256_add_ps(_mm256_and_ps(fields, c.NoIntegers), steps);
    // Angle + RotationStep; the step is loaded again on its own, which costs a load rather
    // than a shuffle on the vector units.
    const __m128 newTurn = _mm_add_ss(turn, _mm_load_ss(src + 9));

    auto* dst = reinterpret_cast<float*>(&out);
    _mm256_storeu_ps(dst, _mm256_blend_ps(sums, fields, 0x81));
    _mm_store_sd(reinterpret_cast<double*>(dst + 8), _mm_castps_pd(newTurn));

    // Each float of the new state is itself while finite and NaN otherwise (v + (v - v)); not
    // at or above the floor is below it, or NaN. The new angle goes into Sprite's lane: it is
    // finite exactly when the angle and the step both are (a step that is not finite makes
    // the sum an infinity or NaN), so it stands for the turn. DeathTime's lane holds 0.
    const __m256 floats = _mm256_blend_ps(sums, _mm256_castps128_ps256(newTurn), 0x01);
    const __m256 checked = _mm256_add_ps(floats, _mm256_sub_ps(floats, floats));
    const __m256 low = _mm256_cmp_ps(checked, c.Floor, _CMP_NGE_UQ);
    const int expired = static_cast<int>(ClockDiff(c.Now, deathTime) > 0);
    return (_mm256_movemask_ps(low) | expired) != 0;
}

// AdvancePlain for eight records at once in AVX-512: their eighty floats are five vectors of
// sixteen, whose lanes hold the fields in a pattern that repeats every ten. Each lane takes its
// own field's sum in masked arithmetic, so Sprite, DeathTime and RotationStep are never
// computed with. A step that is not a constant comes from the lane two on (X and Y, dt times
// their velocities) or one on (Angle, its RotationStep times 1, which is exact), picked by one
// permutation; it never lies beyond the eight records. Every sum and product is the one
// AdvanceAvx2 takes, so the bits are the same.
constexpr int kGroupRecords = 8;
constexpr int kGroupVectors = kGroupRecords * 10 / 16;
static_assert(sizeof(Particle) == 40 && kGroupRecords * 10 == kGroupVectors * 16,
              "eight records are five vectors of sixteen floats");

// The lanes of vector j that hold one of `fields` (bit k for the record's k-th float).
constexpr __mmask16 LanesOf(int j, uint32_t fields) {
    uint32_t lanes = 0;
    for (int l = 0; l < 16; ++l) lanes |= ((fields >> ((16 * j + l) % 10)) & 1u) << l;
    return static_cast<__mmask16>(lanes);
}

constexpr uint32_t FieldBit(size_t offset) {
    return 1u << (offset / sizeof(float));
}

struct GroupLanes {
    __mmask16 Sums, Taken, Dated;  // a new float; its step from another lane; DeathTime
};

constexpr GroupLanes GroupLanesOf(int j) {
    const uint32_t taken = FieldBit(offsetof(Particle, X)) | FieldBit(offsetof(Particle, Y)) |
                           FieldBit(offsetof(Particle, Angle));
    const uint32_t constant =
        FieldBit(offsetof(Particle, Size)) | FieldBit(offsetof(Particle, Transparency)) |
        FieldBit(offsetof(Particle, VelocityX)) | FieldBit(offsetof(Particle, VelocityY));
    return {LanesOf(j, taken | constant), LanesOf(j, taken),
            LanesOf(j, FieldBit(offsetof(Particle, DeathTime)))};
}

// The group pass uses AVX-512 F and DQ, which the AVX-512 path requires.
#define PP_UPDATE_AVX512 "avx512f,avx512dq"

struct Avx512Constants {
    [[gnu::target(PP_UPDATE_AVX512)]] explicit Avx512Constants(const Motion& m)
        : Now(_mm512_set1_epi32(m.Now)) {
        constexpr size_t kSize = offsetof(Particle, Size) / sizeof(float);
        constexpr size_t kTransparency = offsetof(Particle, Transparency) / sizeof(float);
        // Per field: the step that is the same for every particle; the factor of the step taken
        // from another lane (X and Y: dt times their velocities, two lanes on; Angle: its
        // RotationStep, one lane on, times 1, which is exact); the floor (Size and Transparency
        // die below 1), and whether the sign counts (theirs alone).
        float step[10] = {};
        float factor[10] = {};
        int32_t from[10] = {};
        float floor[10] = {};
        uint32_t sign[10];
        std::fill(std::begin(sign), std::end(sign), 0x7FFFFFFFu);
        step[kSize] = m.Dt * m.Raise;
        step[offsetof(Particle, VelocityX) / sizeof(float)] = m.Dt * m.AccelerationX;
        step[offsetof(Particle, VelocityY) / sizeof(float)] = m.Dt * m.AccelerationY;
        step[kTransparency] = m.Dt * m.Fade;
        for (const size_t offset : {offsetof(Particle, X), offsetof(Particle, Y)}) {
            factor[offset / sizeof(float)] = m.Dt;
            from[offset / sizeof(float)] = 2;
        }
        factor[offsetof(Particle, Angle) / sizeof(float)] = 1.0f;
        from[offsetof(Particle, Angle) / sizeof(float)] = 1;
        floor[kSize] = floor[kTransparency] = 1.0f;
        sign[kSize] = sign[kTransparency] = 0xFFFFFFFFu;
        for (int j = 0; j < kGroupVectors; ++j) {
            float steps[16], factors[16], floors[16];
            int32_t froms[16];
            uint32_t signs[16];
            for (int l = 0; l < 16; ++l) {
                const int k = (16 * j + l) % 10;
                steps[l] = step[k];
                factors[l] = factor[k];
                froms[l] = l + from[k];  // beyond 15: the next vector's lanes
                floors[l] = floor[k];
                signs[l] = sign[k];
            }
            Steps[j] = _mm512_loadu_ps(steps);
            Factors[j] = _mm512_loadu_ps(factors);
            From[j] = _mm512_loadu_si512(froms);
            Floors[j] = _mm512_loadu_ps(floors);
            Signs[j] = _mm512_loadu_si512(signs);
        }
    }
    __m512i Now;
    __m512 Steps[kGroupVectors], Factors[kGroupVectors];
    __m512i From[kGroupVectors];
    __m512 Floors[kGroupVectors];
    __m512i Signs[kGroupVectors];
};

// Vector j of a group: its new floats stored at `to`, its tests folded into `found`, the
// largest lane so far as an unsigned integer. A lane is at least +infinity's bits where a
// particle may have died: a new float less its floor (1 for Size and Transparency, 0 for the
// others), its sign kept for those two alone, is so exactly when the float is not finite or
// is below its floor; DeathTime less the time is so once DeathTime has passed. (The new angle
// is finite exactly when the angle and the step both are.)
template <int J>
[[gnu::target(PP_UPDATE_AVX512), gnu::always_inline]] inline void AdvanceVectorAvx512(
    __m512 fields, __m512 next, float* to, const Avx512Constants& c, __m512i& found) {
    constexpr GroupLanes kLanes = GroupLanesOf(J);
    const __m512 taken = _mm512_permutex2var_ps(fields, c.From[J], next);
    const __m512 steps = _mm512_mask_mul_ps(c.Steps[J], kLanes.Taken, c.Factors[J], taken);
    const __m512 sums = _mm512_mask_add_ps(fields, kLanes.Sums, fields, steps);
    _mm512_storeu_ps(to, sums);
    const __m512 above = _mm512_maskz_sub_ps(kLanes.Sums, sums, c.Floors[J]);
    const __m512i tests = _mm512_mask_sub_epi32(_mm512_castps_si512(above) & c.Signs[J],
                                                kLanes.Dated, _mm512_castps_si512(fields), c.Now);
    found = _mm512_maskz_max_epu32(0xFFFF, found, tests);
}

// Moves the eight records at `in` to `out` (the same place, or an earlier one); returns
// whether any of them may have died. It says so for every group with a death, and for a
// group with a DeathTime between 2^31 - 2^23 and 2^31 milliseconds ahead (24 days) though
// none died: the group's records are then tested one by one.
[[gnu::target(PP_UPDATE_AVX512), gnu::always_inline]] inline bool AdvanceGroupAvx512(
    const Particle* in, Particle* out, const Avx512Constants& c) {
    const auto* src = reinterpret_cast<const float*>(in);
    auto* dst = reinterpret_cast<float*>(out);
    const __m512 v0 = _mm512_loadu_ps(src);
    const __m512 v1 = _mm512_loadu_ps(src + 16);
    const __m512 v2 = _mm512_loadu_ps(src + 32);
    const __m512 v3 = _mm512_loadu_ps(src + 48);
    const __m512 v4 = _mm512_loadu_ps(src + 64);
    __m512i found = _mm512_setzero_si512();
    AdvanceVectorAvx512<0>(v0, v1, dst, c, found);
    AdvanceVectorAvx512<1>(v1, v2, dst + 16, c, found);
    AdvanceVectorAvx512<2>(v2, v3, dst + 32, c, found);
    AdvanceVectorAvx512<3>(v3, v4, dst + 48, c, found);
    AdvanceVectorAvx512<4>(v4, _mm512_setzero_ps(), dst + 64, c, found);
    return _mm512_cmpge_epu32_mask(found, _mm512_set1_epi32(0x7F800000)) != 0;
}

#endif

// Each path's pass over records [begin, end): every particle moved, the dead left out, the
// survivors moved down in order; returns the end of the survivors. What the list's own
// rewriting pass does, with the path's arithmetic inlined.
using CompactFunction = Particle* (*)(Particle* begin, Particle* end, const Motion& m);

Particle* CompactPlain(Particle* begin, Particle* end, const Motion& m) {
    Particle* out = begin;
    for (const Particle* in = begin; in != end; ++in) out += AdvancePlain(*in, *out, m) ? 0 : 1;
    return out;
}

#if defined(__SSE2__)
Particle* CompactSse2(Particle* begin, Particle* end, const Motion& m) {
    const Sse2Constants constants(m);
    Particle* out = begin;
    for (const Particle* in = begin; in != end; ++in) {
        out += AdvanceSse2(*in, *out, constants) ? 0 : 1;
    }
    return out;
}
#endif

#if defined(__x86_64__)
[[gnu::target("avx2")]] Particle* CompactAvx2(Particle* begin, Particle* end, const Motion& m) {
    const Avx2Constants constants(m);
    Particle* out = begin;
    for (const Particle* in = begin; in != end; ++in) {
        out += AdvanceAvx2(*in, *out, constants) ? 0 : 1;
    }
    return out;
}

// One by one up to the first record on a cache line's start, so that each of the group's
// vector loads is one line, then eight at a time; the last few one by one again.
[[gnu::target(PP_UPDATE_AVX512)]] Particle* CompactAvx512(Particle* begin, Particle* end,
                                                          const Motion& m) {
    const Avx2Constants narrow(m);
    Particle* out = begin;
    const Particle* in = begin;
    for (int k = 0; k < kGroupRecords - 1 && in != end && reinterpret_cast<uintptr_t>(in) % 64;
         ++k, ++in) {
        out += AdvanceAvx2(*in, *out, narrow) ? 0 : 1;
    }
    const Avx512Constants wide(m);
    for (; end - in >= kGroupRecords; in += kGroupRecords) {
        if (!AdvanceGroupAvx512(in, out, wide)) {
            out += kGroupRecords;
            continue;
        }
        // The eight new states are at out: the survivors close up in order.
        Particle* kept = out;
        for (int r = 0; r < kGroupRecords; ++r) {
            if (StateDies(out[r], m.Now)) continue;
            if (kept != out + r) std::memcpy(kept, out + r, sizeof(Particle));
            ++kept;
        }
        out = kept;
    }
    for (; in != end; ++in) out += AdvanceAvx2(*in, *out, narrow) ? 0 : 1;
    return out;
}
#endif

// The pass of the path that runs (ActiveCpuPath).
CompactFunction ActiveCompact() {
    switch (ActiveCpuPath()) {
#if defined(__x86_64__)
        case CpuPath::Avx2:
            return CompactAvx2;
        case CpuPath::Avx512:
            return CompactAvx512;
#endif
#if defined(__SSE2__)
        case CpuPath::Sse2:
            return CompactSse2;
#endif
        default:
            return CompactPlain;
    }
}

// Below this many particles in all lists together the update stays on the calling thread:
// waking the workers costs more than they save.
constexpr size_t kParallelUpdateMin = 16384;
// The work is shared in tasks of about this many particles (a few microseconds each), claimed
// one at a time by whichever thread is free, the calling thread included: a thread that the
// system takes off its core holds up at most the one small task it has claimed, and the
// others go on with the rest. Lists of at least two tasks' worth are cut into chunks of that
// size; smaller ones are moved whole, several to a task.
constexpr size_t kTaskParticles = 2048;

// An emitter whose particles are to be moved, with the constants of its pass.
struct PendingUpdate {
    Emitter* E;
    Motion M;
    size_t Chunks = 0;          // the list is cut into this many chunks (0: moved whole)
    Particle** Kept = nullptr;  // where each chunk's survivors end
};

bool UpdateList(Emitter& e, const Motion& m) {
    // One pass in list order, removing the dead as it goes, exactly as ListRewind, ListNext
    // and ListRemove of each dead particle would.
    const CompactFunction compact = ActiveCompact();
    return e.Particles.CompactRemoving(
        [compact, &m](Particle* begin, Particle* end) { return compact(begin, end, m); });
}

// An emitter's pass: plain for a plain emitter, the one that keeps Life (and records where
// particles die, for OnDeath) for an emitter with optional keys. Returns whether the list held
// a particle.
bool MoveEmitter(Engine& engine, Emitter& e, const Motion& m, float dt, int32_t now) {
    if (e.ExtrasOn) return UpdateParticlesWithExtras(engine, e, dt, now);
    if (e.Life.Count() != 0) ListRemoveAll(e.Life);  // the keys are gone
    if (e.Motion.Count() != 0) ListRemoveAll(e.Motion);
    if (e.Trail.Count() != 0) ListRemoveAll(e.Trail);
    return UpdateList(e, m);
}

// Whether the emitter goes after its pass that met (or did not meet) a particle: an emitter
// with AutoRemove goes in the first update that finds it without particles.
bool AutoRemoved(Emitter& e, bool metParticle) {
    if (e.AutoRemove != 0 && metParticle) e.AutoRemove = -1;
    if (e.AutoRemove == 1) return true;
    if (e.AutoRemove == -1) e.AutoRemove = 1;
    return false;
}

// Takes the emitter under the cursor out of the list, telling its owner when it has a tag.
void RemoveEmitter(Engine& engine, const Emitter& e) {
    if (e.OwnerTag != 0) engine.RemovedTags.push_back(e.OwnerTag);
    ListRemove(engine.Emitters);
}

// A task is a run [Begin, End) of pending lists moved whole, or chunk Chunk of the cut list
// Begin. The threads claim them in this order.
struct UpdateTask {
    size_t Begin, End, Chunk;
};
constexpr size_t kWholeLists = ~size_t{0};

// The emissions, on this thread in list order as the random sequence requires; the lists with
// particles to move are left in `pending`, and their particles counted.
size_t EmitAll(Engine& engine, float dt, int32_t now, std::vector<PendingUpdate>& pending) {
    size_t total = 0;
    RecordList<Emitter>& emitters = engine.Emitters;
    ListRewind(emitters);
    while (Emitter* e = ListNext(emitters)) {
        if (HasExtras(*e)) {
            // Moved whole on this thread, in emitter order, as the one-thread update moves it
            // (so the places where its particles die are recorded in that order too).
            if (AutoRemoved(*e, UpdateEmitter(engine, *e, dt, now))) RemoveEmitter(engine, *e);
            continue;
        }
        e->ExtrasOn = false;
        EmitDueParticles(engine, *e, now);
        const Motion m{dt, e->AccelerationX, e->AccelerationY, e->Raise, e->Fade, now};
        const auto count = static_cast<size_t>(e->Particles.Count());
        if (count == 0) {
            UpdateList(*e, m);  // puts the cursor where the pass leaves it
        } else {
            pending.push_back({e, m});
            total += count;
        }
        // An emitter that goes has no particles, so nothing pending refers to it.
        if (AutoRemoved(*e, count != 0)) RemoveEmitter(engine, *e);
    }
    return total;
}

// Small lists go together into runs of about kTaskParticles; a large list is cut into chunks,
// each a task, whose survivors' ends go to `kept`.
std::vector<UpdateTask> PlanTasks(std::vector<PendingUpdate>& pending, size_t total,
                                  std::vector<Particle*>& kept) {
    std::vector<UpdateTask> tasks;
    tasks.reserve(total / kTaskParticles + pending.size() + 1);
    kept.assign(total / kTaskParticles + 1, nullptr);
    size_t used = 0;
    size_t open = 0;
    size_t openParticles = 0;
    for (size_t i = 0; i < pending.size(); ++i) {
        PendingUpdate& p = pending[i];
        const auto count = static_cast<size_t>(p.E->Particles.Count());
        if (count >= 2 * kTaskParticles) {
            p.Chunks = std::min(count / kTaskParticles, RecordArray<Particle>::kMaxChunks);
            p.Kept = kept.data() + used;
            used += p.Chunks;
            for (size_t k = 0; k < p.Chunks; ++k) tasks.push_back({i, i + 1, k});
            continue;
        }
        if (openParticles == 0) open = i;
        openParticles += count;
        if (openParticles >= kTaskParticles) {
            tasks.push_back({open, i + 1, kWholeLists});
            openParticles = 0;
        }
    }
    if (openParticles != 0) tasks.push_back({open, pending.size(), kWholeLists});
    return tasks;
}

// The update with the particle passes on the pool's threads. The emissions run first; no
// particle pass reads the generator or another emitter, so moving the passes behind all
// emissions changes nothing. Whether a pass meets a particle is known once its emission is
// done. All lists' tasks go to the threads in one go; the chunks of cut lists are then joined
// in order.
void UpdateOnPool(Engine& engine, WorkerPool& pool, float dt, int32_t now) {
    std::vector<PendingUpdate> pending;
    const size_t total = EmitAll(engine, dt, now, pending);
    if (total < kParallelUpdateMin) {
        for (const PendingUpdate& p : pending) UpdateList(*p.E, p.M);
        return;
    }
    std::vector<Particle*> kept;
    const std::vector<UpdateTask> tasks = PlanTasks(pending, total, kept);
    const CompactFunction compact = ActiveCompact();
    pool.Run(tasks.size(), [&](size_t t) {
        const UpdateTask& task = tasks[t];
        if (task.Chunk != kWholeLists) {
            const PendingUpdate& p = pending[task.Begin];
            p.Kept[task.Chunk] = p.E->Particles.CompactChunk(
                task.Chunk, p.Chunks, [compact, &m = p.M](Particle* begin, Particle* end) {
                    return compact(begin, end, m);
                });
            return;
        }
        for (size_t i = task.Begin; i < task.End; ++i) {
            // A cut list inside the run has tasks of its own.
            if (pending[i].Chunks == 0) UpdateList(*pending[i].E, pending[i].M);
        }
    });
    // The chunks of each cut list joined in order, as one pass would have left them.
    for (const PendingUpdate& p : pending) {
        if (p.Chunks != 0) p.E->Particles.JoinChunks(p.Chunks, p.Kept);
    }
}

// Prewarm's step.
constexpr int32_t kPrewarmStepMs = 16;

}  // namespace

bool UpdateEmitter(Engine& engine, Emitter& e, float dt, int32_t now) {
    e.ExtrasOn = HasExtras(e);  // before the emission: a spawn with extras starts a Life
    EmitDueParticles(engine, e, now);
    const Motion m{dt, e.AccelerationX, e.AccelerationY, e.Raise, e.Fade, now};
    return MoveEmitter(engine, e, m, dt, now);
}

void PrewarmEmitter(Engine& engine, Emitter& emitter) {
    const float seconds = emitter.Extras.Prewarm;
    if (!(seconds > 0.0f) || emitter.Prewarmed != 0 || emitter.StartCount >= 0) return;
    emitter.Prewarmed = 1;
    const int32_t span = RoundToInt(std::min(seconds, kMaxPrewarmSeconds) * 1000.0f);
    if (span <= 0) return;
    const auto now = static_cast<int32_t>(engine.Clock->Now());
    const int32_t start = WrapAdd(now, -span);
    emitter.StartTime = start;
    emitter.NextEmission = start;
    VirtualClock past(static_cast<uint32_t>(start));
    MillisecondClock* const clock = engine.Clock;
    engine.Clock = &past;
    const size_t recorded = engine.PendingStarts.size();
    // The emitter runs alone: the others' particles take the same room at every step.
    const bool budget = engine.MaxParticles != kNoBudget;
    const int64_t others = budget ? LiveParticles(engine) - BudgetCostOf(emitter) : 0;
    for (int32_t done = 0; done < span;) {
        const int32_t step = std::min(kPrewarmStepMs, span - done);
        done += step;
        const int32_t t = WrapAdd(start, done);
        past.Set(static_cast<uint32_t>(t));
        if (budget) SetBudgetLeft(engine, others + BudgetCostOf(emitter));
        UpdateEmitter(engine, emitter, static_cast<float>(step) * 0.001f, t);
    }
    engine.PendingStarts.resize(recorded);
    engine.Clock = clock;
}

float UpdateParticles(Engine& engine) {
    if (!engine.Updated) {
        engine.LastUpdateTime = static_cast<int32_t>(engine.Clock->Now());
        engine.Updated = true;
    }
    auto now = static_cast<int32_t>(engine.Clock->Now());
    float dt = static_cast<float>(ClockDiff(now, engine.LastUpdateTime)) * 0.001f;
    engine.LastUpdateTime = now;
    CountBudget(engine);

    if (engine.Workers != nullptr && engine.Workers->Threads() > 1) {
        UpdateOnPool(engine, *engine.Workers, dt, now);
    } else {
        RecordList<Emitter>& emitters = engine.Emitters;
        ListRewind(emitters);
        while (Emitter* e = ListNext(emitters)) {
            if (AutoRemoved(*e, UpdateEmitter(engine, *e, dt, now))) RemoveEmitter(engine, *e);
        }
    }
    DropStartsBeyondBudget(engine);
    StartSubEffects(engine, now);
    return dt;
}

}  // namespace pp
