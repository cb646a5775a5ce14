// render's --stats: the time of each part of every frame, and the table of their medians and
// tails it prints on stderr.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "particleplayer/world.h"

namespace pp {

// Seconds from `start` to now, on the steady clock.
double SecondsSince(std::chrono::steady_clock::time_point start);

// What --stats collects: one value per frame and part, in milliseconds.
struct FrameStats {
    std::vector<double> Update, Submission, DrawCalls, Present, Output, Frame, Particles;
    int32_t Threads = 1;        // threads of the update and submission; above 1 they are wall times
    double SceneStartMs = 0.0;  // graphics, window, screen, sprites and effects
    double WarmUpMs = 0.0;      // the updates before frame 1 (scale scene, loop)
    int64_t WarmUpSpanMs = 0;   // the clock time they covered
    double FirstFrameMs = -1.0;  // program start to the end of frame 1's present
};

// One frame as the window draws it, with the time of each step.
void DrawFrameWithStats(particleplayer::World& world, FrameStats& stats);

// The table: per part of the frame its minimum, median, 95th percentile and maximum, then the
// start-up's times.
void PrintStats(const FrameStats& stats);

}  // namespace pp
