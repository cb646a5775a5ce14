/// @file
/// particleplayer/clock.h - millisecond clocks a host can hand a world (WorldOptions::HostClock).
///
/// Readings are unsigned 32-bit milliseconds that wrap; the engine holds them as int32 and
/// compares signed differences.
#pragma once

#include <cstdint>

namespace particleplayer {

/// A source of millisecond readings.
class MillisecondClock {
  public:
    virtual ~MillisecondClock() = default;
    /// The reading now.
    virtual uint32_t Now() = 0;
};

/// Milliseconds since the program started, plus 1. Never reads 0 (a wrap to 0 reads 1), so
/// that 0 keeps meaning "no reading taken yet".
class RealClock : public MillisecondClock {
  public:
    /// The reading now.
    uint32_t Now() override;
};

/// Reads whatever was last set; starts at `start`. The way to deterministic runs.
class VirtualClock : public MillisecondClock {
  public:
    /// A clock that reads `start` until set or advanced.
    explicit VirtualClock(uint32_t start = 1000) : now_(start) {}
    /// Makes the clock read ms.
    void Set(uint32_t ms) { now_ = ms; }
    /// Moves the reading on by ms, wrapping.
    void Advance(uint32_t ms) { now_ += ms; }
    /// The reading now.
    uint32_t Now() override { return now_; }

  private:
    uint32_t now_;
};

}  // namespace particleplayer
