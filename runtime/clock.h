// The millisecond clock behind a small interface: the real monotonic one for the player and a
// virtual one that tests and headless runs set by hand. Readings are unsigned 32-bit
// milliseconds that wrap; the engine holds them as int32 and compares signed differences.
#pragma once

#include <cstdint>

namespace pp {

class MillisecondClock {
  public:
    virtual ~MillisecondClock() = default;
    virtual uint32_t Now() = 0;
};

// Milliseconds since the program started, plus 1. Never reads 0 (a wrap to 0 reads 1), so
// that 0 keeps meaning "no reading taken yet".
class RealClock : public MillisecondClock {
  public:
    uint32_t Now() override;
};

// The real clock's reading after `ms` milliseconds since the start: ms + 1, wrapped to 32
// bits, with 0 read as 1.
uint32_t ClockReadingAfter(uint64_t ms);

// Reads whatever was last set; starts at start.
class VirtualClock : public MillisecondClock {
  public:
    explicit VirtualClock(uint32_t start = 1000) : now_(start) {}
    void Set(uint32_t ms) { now_ = ms; }
    void Advance(uint32_t ms) { now_ += ms; }
    uint32_t Now() override { return now_; }

  private:
    uint32_t now_;
};

// This thread's processor time in seconds. Timings on a shared machine read it: time spent
// waiting for a core, or in other threads such as the software rasteriser's, is not the
// measured code's.
double ThreadCpuSeconds();

}  // namespace pp
