// The virtual-clock options that simulate and render share: --frames, --frame-ms, --seed and
// --clock-start, read with the same messages by both.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/cli_args.h"
#include "app/commands.h"

namespace pp {

// The milliseconds between two frames without --frame-ms.
inline constexpr int64_t kDefaultFrameMs = 16;

struct ClockOptions {
    explicit ClockOptions(int64_t frames) : Frames(frames) {}

    int64_t Frames;
    int64_t FrameMs = kDefaultFrameMs;
    std::optional<uint32_t> Seed;
    // The clock reading through start-up; frame k reads ClockStart + k * FrameMs.
    uint32_t ClockStart = kVirtualStartTime;
};

// Reads the walker's current option into `options` when it is one of the four (--frames from 1
// to maxFrames) and returns true; `error` then holds the message for a bad value. False, with
// nothing changed, for any other argument.
bool ReadClockOption(ArgWalker& walk, int64_t maxFrames, ClockOptions& options,
                     std::optional<std::string>& error);

// The message when frames * frame-ms, after warmUpMs of updates, would run the clock a whole
// turn: different frames would then read the same time.
std::optional<std::string> CheckClockRange(const ClockOptions& options, int64_t warmUpMs);

}  // namespace pp
