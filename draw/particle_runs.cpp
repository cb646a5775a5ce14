#include "draw/particle_runs.h"

#include "runtime/convert.h"
#include "runtime/cpu_path.h"
#include "runtime/vector_lanes.h"

namespace pp {
namespace {

#define PP_LANES_LOOP "draw/centre_round_lanes.h"
#include "runtime/each_vector_lanes.h"

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
    // The sixteen-wide loop leaves at most fifteen particles: the eight-wide one takes eight of
    // them, the plain one the rest.
    if (UseAvx512()) i = avx512::CentreAndRoundFrom(particles, run, i, n, dx, dy);
    if (UseAvx2()) i = avx2::CentreAndRoundFrom(particles, run, i, n, dx, dy);
#endif
    CentreAndRoundEach(particles, run, i, n, dx, dy);
}

}  // namespace pp
