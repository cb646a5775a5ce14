// The forces: an Attractor pulls each particle towards a point, a Vortex turns it about one.
// The rules, in 32-bit float in the written order, each update with frame time dt:
//   - the point: (X, Y) added to the emitter's position, or (X, Y) itself with Screen = 1;
//   - d = the distance from the particle's position before its move to the point; nothing
//     happens at the point itself (d = 0) nor at or beyond a Radius above 0;
//   - weight w = 1 without a Radius, else t^Falloff with t = 1 - d / Radius (0^0 is 1);
//   - k = dt * Strength * w, u = (point - position) / d; the Attractor adds k * u to the
//     velocity, the Vortex k * (-uy, ux) (clockwise on screen for a positive Strength, y
//     growing down); each Attractor point in the order written, then each Vortex point, all
//     after the move, the acceleration and Drag.
// The pull is bounded by Strength (never by 1 / d), so a particle crossing the point keeps a
// finite velocity; a state that is not finite ends the particle, as everywhere.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "particles/particles.h"

namespace pp {

inline bool HasForces(const ExtraParams& x) {
    for (const ForceList* list : {&x.Attractor, &x.Vortex}) {
        for (int32_t i = 0; i < list->Count; ++i) {
            if (list->Points[static_cast<std::size_t>(i)].Strength != 0.0f) return true;
        }
    }
    return false;
}

// One force of one pass: its point in screen pixels and its constants.
struct ForceAt {
    bool On;
    float X, Y, Step, Radius;  // Step = dt * Strength
    int32_t Falloff;
};

struct ForceFrame {
    int32_t Attractors, Vortices;  // points in use of each array
    std::array<ForceAt, kMaxForcePoints> Attractor, Vortex;
};

// The pass's forces for emitter e with frame time dt.
ForceFrame ForcesOf(const Emitter& e, float dt);

// The velocity (vx, vy) after the forces on a particle that stood at (x, y) before its move.
void ApplyForces(const ForceFrame& f, float x, float y, float& vx, float& vy);

}  // namespace pp
