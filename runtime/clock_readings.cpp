#include "runtime/clock_readings.h"

#include <time.h>

#include <chrono>

namespace pp {
namespace {

// Taken during static initialisation, before main: "since the program started".
const std::chrono::steady_clock::time_point kProgramStart = std::chrono::steady_clock::now();

}  // namespace

uint32_t ClockReadingAfter(uint64_t ms) {
    // The + 1 keeps the first readings away from 0; after the 49.7-day wrap 0 reads as 1.
    auto reading = static_cast<uint32_t>(ms + 1);
    return reading == 0 ? 1u : reading;
}

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace pp

namespace particleplayer {

uint32_t RealClock::Now() {
    auto elapsed = std::chrono::steady_clock::now() - pp::kProgramStart;
    return pp::ClockReadingAfter(static_cast<uint64_t>(elapsed / std::chrono::milliseconds(1)));
}

}  // namespace particleplayer
