// Trails: each particle of an emitter with a Trail keeps the places it stood at after its last
// Points updates (its own among them), and is drawn with a ribbon through them. The rules:
//   - every update pass, after a particle's move, its new place goes into its ring at the slot
//     every ring shares (TrailHead), over the oldest; a new particle starts with an empty ring
//     at its place in the list (inside it too), and a ring goes with its particle when it dies;
//   - the ribbon runs through the places newest first, as many as are set and no older than
//     Length seconds before the last update (all of them with Length 0); fewer than two draw
//     nothing;
//   - along it t goes from 0 at the newest place to 1 at the oldest, by place; the width at a
//     place is W + (EndWidth - W) * t, with W the Width or, for 0, the particle's drawn size;
//     its edges lie half that width to either side, across the direction from the next place
//     to the previous one (from the place to its neighbour at either end);
//   - the opacity at a place is the particle's times (1 - Fade * t), the colour of the segment
//     from a place the particle's times (1 - Darken * t); the sprite's cell is stretched along
//     the whole ribbon, its top at the particle;
//   - every trail point counts against the particle budget (see budget.h): a particle with a
//     trail costs 1 + Points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "particles/particles.h"

namespace pp {

// Whether the emitter keeps rings: its trail has Points.
inline bool HasTrail(const ExtraParams& x) {
    return x.Trail.Points > 0;
}

// Whether the emitter's rings are in step with its particles.
bool TrailsInStep(const Emitter& e);

// For AddParticleLife: gives the particle just inserted at `index` an empty ring. A ring that
// cannot be kept in step leaves the rings out of step, which the next pass rebuilds.
void AddTrailRing(Emitter& e, int32_t index);

// Before an update pass over e's particles at clock reading now: drops the rings of an emitter
// without a trail, rebuilds rings out of step (empty), and moves TrailHead on. Returns the
// first ring's record, or nullptr when no rings are kept.
TrailPoint* BeginTrailPass(Emitter& e, int32_t now);

// In the pass: the ring of the particle that was at `in` follows it to `out`, and takes its
// new place p.
inline void KeepTrailPlace(TrailPoint* rings, int32_t points, int32_t head, size_t in, size_t out,
                           const Particle& p, int32_t now) {
    const auto n = static_cast<size_t>(points);
    TrailPoint* to = rings + out * n;
    if (out != in) std::memmove(to, rings + in * n, n * sizeof(TrailPoint));
    to[head] = TrailPoint{p.X, p.Y, now, 1};
}

// After the pass: the rings of the particles that died go.
void EndTrailPass(Emitter& e);

// The places particle `index`'s ribbon runs through, newest first, into `places`
// (kMaxTrailPoints of them at most). Returns how many; 0 when the rings are out of step.
int32_t TrailPlaces(const Emitter& e, int32_t index, TrailPoint* places);

// A ribbon's edges and what goes with them, place by place, newest first, moved by (dx, dy).
struct TrailRibbon {
    int32_t Count = 0;
    float LeftX[kMaxTrailPoints], LeftY[kMaxTrailPoints];
    float RightX[kMaxTrailPoints], RightY[kMaxTrailPoints];
    float Along[kMaxTrailPoints];  // t
    float Opacity[kMaxTrailPoints];
    float Shade[kMaxTrailPoints];  // the colour's factor
};

// The ribbon through `count` places, for a particle drawn `size` pixels wide with opacity
// `transparency`. Count is 0 when fewer than two places are given.
void RibbonOf(const TrailParams& trail, const TrailPoint* places, int32_t count, float size,
              float transparency, float dx, float dy, TrailRibbon& ribbon);

}  // namespace pp
