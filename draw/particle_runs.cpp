#include "draw/particle_runs.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "runtime/convert.h"
#include "runtime/cpu_path.h"

namespace pp {
namespace {

#if defined(__x86_64__)
// CentreAndRoundEach from particle i on, eight particles per step. Returns where it stopped.
[[gnu::target("avx2")]] size_t CentreAndRoundAvx2(const ParticleRun& particles, QuadDrawRun& run,
                                                  size_t i, size_t n, float dx, float dy) {
    const __m256 offsetX = _mm256_set1_ps(dx);
    const __m256 offsetY = _mm256_set1_ps(dy);
    const __m256 half = _mm256_set1_ps(0.5f);
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

// The same from particle 0 on, sixteen particles per step; the eight-wide loop and the plain
// one take the rest.
[[gnu::target("avx512f")]] size_t CentreAndRoundAvx512(const ParticleRun& particles,
                                                       QuadDrawRun& run, size_t n, float dx,
                                                       float dy) {
    const __m512 offsetX = _mm512_set1_ps(dx);
    const __m512 offsetY = _mm512_set1_ps(dy);
    const __m512 half = _mm512_set1_ps(0.5f);
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m512 size = _mm512_loadu_ps(particles.Size + i);
        const __m512 centre = _mm512_mul_ps(size, half);
        RoundSixteenFloatsToInt(size, run.Size + i);
        RoundSixteenFloatsToInt(
            _mm512_sub_ps(_mm512_add_ps(offsetX, _mm512_loadu_ps(particles.X + i)), centre),
            run.X + i);
        RoundSixteenFloatsToInt(
            _mm512_sub_ps(_mm512_add_ps(offsetY, _mm512_loadu_ps(particles.Y + i)), centre),
            run.Y + i);
        RoundSixteenFloatsToInt(_mm512_loadu_ps(particles.Transparency + i), run.Alpha + i);
    }
    return i;
}
#endif

}  // namespace

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

void CentreAndRound(const ParticleRun& particles, QuadDrawRun& run, size_t n, float dx, float dy) {
    size_t i = 0;
#if defined(__x86_64__)
    if (UseAvx512()) i = CentreAndRoundAvx512(particles, run, n, dx, dy);
    if (UseAvx2()) i = CentreAndRoundAvx2(particles, run, i, n, dx, dy);
#endif
    CentreAndRoundEach(particles, run, i, n, dx, dy);
}

}  // namespace pp
