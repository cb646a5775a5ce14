// One frame of particles on the screen: clear to black, update every emitter against the
// engine's clock, draw layer 0 as quad sprites and show the frame.
#pragma once

#include "draw/quad_stats.h"
#include "particles/particles.h"

namespace pp {

enum class FrameUpdate { Run, Skip };

// What a timed frame took. CPU times are of the calling thread; the software renderer's own
// threads are not counted in them. When the engine's worker pool has more than one thread the
// update and the drawing are timed in wall time instead (Threads says how many), so that no
// work moved to a worker goes uncounted.
struct FrameTiming {
    bool WallTime = false;        // set by the caller for wall time on one thread too; set
                                  // by RunEngineFrame when more than one thread works
    int32_t Threads = 1;          // threads the update and drawing could use
    double UpdateSeconds = 0.0;   // time of the update
    double DrawSeconds = 0.0;     // time from BeginQuads to EndQuads, GL's calls included
    QuadDrawStats Quads;          // of this frame's quads alone (the counters start at 0)
    double PresentSeconds = 0.0;  // wall time of the present
};

// Clears, updates the engine (unless Skip), draws and shows one frame; Skip leaves the particles as
// they are (a paused clock). With timing the steps are timed and the quad counters are reset before
// the quads; without it no clock is read.
void RunEngineFrame(Engine& engine, FrameUpdate update = FrameUpdate::Run,
                    FrameTiming* timing = nullptr);

}  // namespace pp
