// The particles' move in each vector path: the plain code, SSE2, AVX2 and AVX-512.
#include "particles/update_passes.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "runtime/convert.h"
#include "runtime/cpu_path.h"

namespace pp {
namespace {

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

// Per vector j of a group and lane l: the field (16 j + l) % 10 that the lane holds, the lane
// its step is taken from (16 and beyond: the next vector's), its floor (Size and Transparency
// die below 1, the others only when not finite) and whether its sign counts (theirs alone);
// per vector, the lanes of a new float, of a step taken from another lane, and of DeathTime.
struct GroupTables {
    alignas(64) int32_t Field[kGroupVectors][16];
    alignas(64) int32_t From[kGroupVectors][16];
    alignas(64) float Floors[kGroupVectors][16];
    alignas(64) uint32_t Signs[kGroupVectors][16];
    __mmask16 Sums[kGroupVectors], Taken[kGroupVectors], Dated[kGroupVectors];
};

// The place of a record's field among its ten floats.
constexpr size_t FieldLane(size_t offset) {
    return offset / sizeof(float);
}

constexpr GroupTables MakeGroupTables() {
    constexpr auto of = FieldLane;
    GroupTables t{};
    for (int j = 0; j < kGroupVectors; ++j) {
        for (int l = 0; l < 16; ++l) {
            const auto k = static_cast<size_t>((16 * j + l) % 10);
            const bool moved = k == of(offsetof(Particle, X)) || k == of(offsetof(Particle, Y));
            const bool turned = k == of(offsetof(Particle, Angle));
            const bool floored =
                k == of(offsetof(Particle, Size)) || k == of(offsetof(Particle, Transparency));
            const bool constant = floored || k == of(offsetof(Particle, VelocityX)) ||
                                  k == of(offsetof(Particle, VelocityY));
            t.Field[j][l] = static_cast<int32_t>(k);
            t.From[j][l] = l + (moved ? 2 : turned ? 1 : 0);
            t.Floors[j][l] = floored ? 1.0f : 0.0f;
            t.Signs[j][l] = floored ? 0xFFFFFFFFu : 0x7FFFFFFFu;
            const auto lane = static_cast<__mmask16>(1u << l);
            if (moved || turned || constant) t.Sums[j] |= lane;
            if (moved || turned) t.Taken[j] |= lane;
            if (k == of(offsetof(Particle, DeathTime))) t.Dated[j] |= lane;
        }
    }
    return t;
}

constexpr GroupTables kGroupTables = MakeGroupTables();

// The group pass uses AVX-512 F and DQ, which the AVX-512 path requires.
#define PP_UPDATE_AVX512 "avx512f,avx512dq"

// Where an intrinsic's unmasked form passes an undefined source, GCC 12 warns that it may be
// used uninitialized; the form masked to every lane is the same instruction.
constexpr __mmask16 kAllLanes = 0xFFFF;

// What depends on the pass: the time, and per vector the step that is the same for every
// particle and the factor of the step taken from another lane (X and Y: dt, for dt times
// their velocities; Angle: 1, for its RotationStep, which is exact).
struct Avx512Constants {
    [[gnu::target(PP_UPDATE_AVX512)]] explicit Avx512Constants(const Motion& m)
        : Now(_mm512_set1_epi32(m.Now)) {
        // By field: lane k holds the record's k-th float's.
        alignas(64) float step[16] = {};
        alignas(64) float factor[16] = {};
        step[FieldLane(offsetof(Particle, Size))] = m.Dt * m.Raise;
        step[FieldLane(offsetof(Particle, VelocityX))] = m.Dt * m.AccelerationX;
        step[FieldLane(offsetof(Particle, VelocityY))] = m.Dt * m.AccelerationY;
        step[FieldLane(offsetof(Particle, Transparency))] = m.Dt * m.Fade;
        factor[FieldLane(offsetof(Particle, X))] = m.Dt;
        factor[FieldLane(offsetof(Particle, Y))] = m.Dt;
        factor[FieldLane(offsetof(Particle, Angle))] = 1.0f;
        const __m512 steps = _mm512_load_ps(step);
        const __m512 factors = _mm512_load_ps(factor);
        for (int j = 0; j < kGroupVectors; ++j) {
            const __m512i field = _mm512_load_si512(kGroupTables.Field[j]);
            Steps[j] = _mm512_maskz_permutexvar_ps(kAllLanes, field, steps);
            Factors[j] = _mm512_maskz_permutexvar_ps(kAllLanes, field, factors);
        }
    }
    __m512i Now;
    __m512 Steps[kGroupVectors], Factors[kGroupVectors];
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
    constexpr __mmask16 kSums = kGroupTables.Sums[J];
    const __m512 taken =
        _mm512_permutex2var_ps(fields, _mm512_load_si512(kGroupTables.From[J]), next);
    const __m512 steps = _mm512_mask_mul_ps(c.Steps[J], kGroupTables.Taken[J], c.Factors[J], taken);
    const __m512 sums = _mm512_mask_add_ps(fields, kSums, fields, steps);
    _mm512_storeu_ps(to, sums);
    const __m512 above = _mm512_maskz_sub_ps(kSums, sums, _mm512_load_ps(kGroupTables.Floors[J]));
    const __m512i signs = _mm512_load_si512(kGroupTables.Signs[J]);
    const __m512i tests =
        _mm512_mask_sub_epi32(_mm512_castps_si512(above) & signs, kGroupTables.Dated[J],
                              _mm512_castps_si512(fields), c.Now);
    found = _mm512_maskz_max_epu32(kAllLanes, found, tests);
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

// Each path's pass (CompactFunction) over records [begin, end).
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
    if (end - in >= kGroupRecords) {
        // Made only for a list that has a group: a pass over a handful of particles (an
        // effect's small emitters, every frame) costs no more than the AVX2 pass.
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
    }
    for (; in != end; ++in) out += AdvanceAvx2(*in, *out, narrow) ? 0 : 1;
    return out;
}
#endif

}  // namespace

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

}  // namespace pp
