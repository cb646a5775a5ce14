// The pass that moves one list's particles and leaves out the dead, in the form of each vector
// path; every form gives the same bits.
#pragma once

#include <cstdint>

#include "particles/particles.h"

namespace pp {

// What every particle of one emitter's pass shares.
struct Motion {
    float Dt;
    float AccelerationX, AccelerationY;
    float Raise, Fade;
    int32_t Now;
};

// A pass over records [begin, end): every particle moved, the dead left out, the survivors
// moved down in order; returns the end of the survivors. What the list's own rewriting pass
// does, with the path's arithmetic inlined.
using CompactFunction = Particle* (*)(Particle* begin, Particle* end, const Motion& m);

// The pass of the path that runs (ActiveCpuPath).
CompactFunction ActiveCompact();

}  // namespace pp
