// Counters of the quad sprite batches, for benchmarks and `render --stats`: how many quads
// went to the GPU in how many draws, how long the upload of their vertices took and how long
// the rest of the GL calls of the batches took (with a software renderer, the draw call runs
// its vertex stage and triangle setup on the calling thread).
#pragma once

#include <cstdint>

namespace pp {

struct QuadDrawStats {
    int64_t Quads = 0;    // quads handed to GL
    int64_t Batches = 0;  // GL draws that carried them
    // CPU time of the calling thread (the software renderer's own threads not included), or
    // wall time after TimeQuadsInWallTime(true), counted while batching is on:
    double UploadSeconds = 0.0;  // copying vertices into GL buffers
    double DrawSeconds = 0.0;    // in the other GL calls of the batches, mapping included
};

// Totals since the last ResetQuadDrawStats (or the start of the program).
QuadDrawStats ReadQuadDrawStats();
void ResetQuadDrawStats();

// Whether the counters above take wall time (for frames whose work is shared with other
// threads) instead of the calling thread's CPU time.
void TimeQuadsInWallTime(bool wall);

}  // namespace pp
