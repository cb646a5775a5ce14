// Runs of particles as the drawing reads them: one array per field, centred on their
// positions and rounded for the whole run at once. Shared by the bundled renderer and the
// public vertex array, so that both give every quad from the same arithmetic. CPU only.
#pragma once

#include <cstddef>

#include "draw/quad_draws.h"
#include "particles/particles.h"

namespace pp {

// Particles go to the quad sprites in runs of this many, each run with its emitter's blend.
constexpr size_t kParticleRun = QuadDrawRun::kCapacity;

// The float fields of a run of particles as they are read; they are centred and rounded for
// the whole run at once, eight or sixteen particles per instruction where the processor has
// AVX2 or AVX-512.
struct ParticleRun {
    alignas(64) float Size[kParticleRun];
    alignas(64) float X[kParticleRun];
    alignas(64) float Y[kParticleRun];
    alignas(64) float Transparency[kParticleRun];
};

// Puts particle n of a run into the run's fields, one array per field.
[[gnu::always_inline]] inline void GatherParticle(const Particle& p, size_t n, QuadDrawRun& run,
                                                  ParticleRun& particles) {
    run.Quad[n] = p.Sprite;
    run.Degrees[n] = p.Angle;
    particles.Size[n] = p.Size;
    particles.X[n] = p.X;
    particles.Y[n] = p.Y;
    particles.Transparency[n] = p.Transparency;
}

// Centres and rounds particles [0, n) of `particles` into run: Size, X and Y are the rounded
// size and the rounded top-left corner ((offset + X) - Size * 0.5 in float, then rounded half
// to even), Alpha the rounded transparency. Eight or sixteen at a time where the processor has
// AVX2 or AVX-512.
void CentreAndRound(const ParticleRun& particles, QuadDrawRun& run, size_t n, float dx, float dy);

// The same for particles [first, n), one by one: the plain computation.
void CentreAndRoundEach(const ParticleRun& particles, QuadDrawRun& run, size_t first, size_t n,
                        float dx, float dy);

}  // namespace pp
