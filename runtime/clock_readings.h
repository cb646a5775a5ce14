// The millisecond clocks are the library's own public ones; the engine reads them through
// these names. Readings are unsigned 32-bit milliseconds that wrap; the engine holds them as
// int32 and compares signed differences.
#pragma once

#include <cstdint>

#include "particleplayer/clock.h"

namespace pp {

using particleplayer::MillisecondClock;
using particleplayer::RealClock;
using particleplayer::VirtualClock;

// The real clock's reading after `ms` milliseconds since the start: ms + 1, wrapped to 32
// bits, with 0 read as 1.
uint32_t ClockReadingAfter(uint64_t ms);

// This thread's processor time in seconds. Timings on a shared machine read it: time spent
// waiting for a core, or in other threads such as the software rasteriser's, is not the
// measured code's.
double ThreadCpuSeconds();

}  // namespace pp
