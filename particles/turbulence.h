// Turbulence: a smooth noise field that carries particles along without bunching them, the
// 2D curl of a noise potential psi, v = (dpsi/dy, -dpsi/dx), whose divergence is 0.
// The rules, in 32-bit float in the written order, each update with frame time dt:
//   - the field's time: before the pass, Phase += dt * Speed (dt above 0 only); its whole part
//     w = floor(Phase) moves Slice on by w (mod 2^24) and Phase keeps the rest, 0 to 1;
//   - the lattice: point (i, j) holds value number P[(P[i] + j) mod 256] of its slice, P a
//     permutation of 0 to 255 shuffled from the seed (the world's seed mixed with the block's
//     Seed), i and j taken mod 256; slice k's 256 values, in [-1, 1), are hashed from k and
//     the seed;
//   - at (x, y): u = x * (1 / Scale), v = y * (1 / Scale), cells floor(u), floor(v) and
//     fractions fu, fv; each of the cell's four corners takes the value of slice k blended
//     towards k + 1 by fade(Phase); psi = the corners blended by fade(fu) and fade(fv), with
//     fade(t) = t^3 (t (6t - 15) + 10); its slopes come from fade'(t) = 30 t^2 (t (t - 2) + 1),
//     written out, so the field is exact to the arithmetic and needs no libm;
//   - the particle, in gravity mode, read where it stood before its move (after the
//     attachment's shift): its position gains dt * Strength * 0.8 * (dpsi/dv, -dpsi/du) on top
//     of its own move; its velocity is left as it is. 0.8 makes Strength about the field's
//     root-mean-square speed. Orbit mode ignores it.
// Nothing but + - * / and floor reads the field, so every thread count and the browser build
// give the same particles; a state that is not finite still ends the particle as ever.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "particles/particles.h"

namespace pp {

inline bool HasTurbulence(const ExtraParams& x) {
    return x.Turbulence.Strength != 0.0f;
}

// One pass's field: its constants, the permutation and the lattice values of this pass's time
// (the two slices already blended). Both tables run on to 512 entries, entry m holding that of
// m mod 256, so that a cell's corners are read without wrapping their numbers.
struct TurbulenceFrame {
    bool On;
    float Step;                     // dt * Strength * 0.8
    float InvScale;                 // 1 / Scale
    std::array<int32_t, 512> Perm;  // P[m mod 256]
    std::array<float, 512> Value;   // value number P[m mod 256]
};

// The clock after an update of dt seconds at Speed.
NoiseClock AdvanceNoise(NoiseClock clock, float dt, float speed);

// The pass's field for the emitter's Turbulence at its clock, the world's seed and dt.
TurbulenceFrame TurbulenceOf(const TurbulenceParams& t, NoiseClock clock, uint32_t worldSeed,
                             float dt);

// What the field moves a particle that stood at (x, y) by in the pass: (dx, dy).
void TurbulenceAt(const TurbulenceFrame& f, float x, float y, float& dx, float& dy);

// The potential psi at (x, y), scaled as the field is (Step / InvScale); for checking the field.
float TurbulencePotential(const TurbulenceFrame& f, float x, float y);

// TurbulenceAt at each of the n particles' places into drift[2k], drift[2k + 1], eight at a time
// on the AVX2 path and sixteen on the AVX-512 one (the same sums and products, lane by lane).
void TurbulenceRun(const TurbulenceFrame& f, const Particle* particles, size_t n, float* drift);

// The engine's room for the moves of n particles, two floats each; nullptr when there is no
// memory for it (the pass then reads the field particle by particle, with the same results).
float* DriftRoom(Engine& engine, size_t n);

// TurbulenceRun over n particles into DriftRoom on the engine's threads; false when it has none,
// the list is too short for them to be worth waking, or there is no room.
bool FillTurbulence(Engine& engine, const TurbulenceFrame& f, const Particle* particles, size_t n,
                    float*& drift);

}  // namespace pp
