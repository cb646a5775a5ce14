#include "platform/draw_particles.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <cstddef>

#include "platform/quad_draws.h"
#include "runtime/convert.h"

namespace pp {
namespace {

// Particles go to the quad sprites in runs of this many, each run with its emitter's blend.
constexpr size_t kRun = QuadDrawRun::kCapacity;

// The float fields of a run of particles as they are read; they are centred and rounded for
// the whole run at once, eight particles per instruction where the processor has AVX2.
struct ParticleRun {
    alignas(64) float Size[kRun];
    alignas(64) float X[kRun];
    alignas(64) float Y[kRun];
    alignas(64) float Transparency[kRun];
};

// Centres and rounds particles [0, n): one by one, for processors without AVX2 and for the
// rest of a run.
void CentreAndRoundEach(const ParticleRun& particles, QuadDrawRun& run, size_t first, size_t n,
                        float dx, float dy) {
    for (size_t i = first; i < n; ++i) {
        // Centred with the unrounded size, in float: (offset + X) - Size * 0.5, then rounded
        // half to even, so 97.5 and 98.5 both land on 98.
        const float half = particles.Size[i] * 0.5f;
        const float values[4] = {particles.Size[i], dx + particles.X[i] - half,
                                 dy + particles.Y[i] - half, particles.Transparency[i]};
        int32_t rounded[4];
        RoundFloatsToInt(values, rounded);
        run.Size[i] = rounded[0];
        run.X[i] = rounded[1];
        run.Y[i] = rounded[2];
        run.Alpha[i] = rounded[3];
    }
}

#if defined(__x86_64__)
// CentreAndRoundEach, eight particles per step. Returns how many were done.
[[gnu::target("avx2")]] size_t CentreAndRoundAvx2(const ParticleRun& particles, QuadDrawRun& run,
                                                  size_t n, float dx, float dy) {
    const __m256 offsetX = _mm256_set1_ps(dx);
    const __m256 offsetY = _mm256_set1_ps(dy);
    const __m256 half = _mm256_set1_ps(0.5f);
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256 size = _mm256_loadu_ps(particles.Size + i);
        const __m256 centre = _mm256_mul_ps(size, half);
        RoundEightFloatsToInt(size, run.Size + i);
        RoundEightFloatsToInt(
            _mm256_sub_ps(_mm256_add_ps(offsetX, _mm256_loadu_ps(particles.X + i)), centre),
            run.X + i);
        RoundEightFloatsToInt(
            _mm256_sub_ps(_mm256_add_ps(offsetY, _mm256_loadu_ps(particles.Y + i)), centre),
            run.Y + i);
        RoundEightFloatsToInt(_mm256_loadu_ps(particles.Transparency + i), run.Alpha + i);
    }
    return i;
}

const bool kCentreAndRoundAvx2 = __builtin_cpu_supports("avx2");
#endif

// Centres and rounds particles [0, n) of `particles` into run and draws them with the
// emitter's blend factors.
void SubmitRun(const Emitter& e, const ParticleRun& particles, QuadDrawRun& run, size_t n, float dx,
               float dy) {
    size_t i = 0;
#if defined(__x86_64__)
    if (kCentreAndRoundAvx2) i = CentreAndRoundAvx2(particles, run, n, dx, dy);
#endif
    CentreAndRoundEach(particles, run, i, n, dx, dy);
    // Each particle sets its emitter's blend factors, its size and its angle, then draws.
    DrawQuadSprites(e.BlendSource, e.BlendDestination, run, n);
}

}  // namespace

int32_t DrawParticles(Engine& engine, int32_t offsetX, int32_t offsetY, int32_t layer) {
    const float dx = static_cast<float>(offsetX);
    const float dy = static_cast<float>(offsetY);
    QuadDrawRun run;
    ParticleRun particles;
    ListRewind(engine.Emitters);
    while (Emitter* e = ListNext(engine.Emitters)) {
        if (e->Layer != layer) continue;
        size_t n = 0;
        ListVisit(e->Particles, [&](const Particle& p) {
            run.Quad[n] = p.Sprite;
            run.Degrees[n] = p.Angle;
            particles.Size[n] = p.Size;
            particles.X[n] = p.X;
            particles.Y[n] = p.Y;
            particles.Transparency[n] = p.Transparency;
            if (++n == kRun) {
                SubmitRun(*e, particles, run, n, dx, dy);
                n = 0;
            }
        });
        SubmitRun(*e, particles, run, n, dx, dy);
    }
    return 0;
}

}  // namespace pp
