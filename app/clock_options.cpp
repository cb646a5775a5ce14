#include "app/clock_options.h"

namespace pp {

bool ReadClockOption(ArgWalker& walk, int64_t maxFrames, ClockOptions& options,
                     std::optional<std::string>& error) {
    const std::string_view name = walk.Name();
    if (name == "--frames") {
        error = ReadIntOption(walk, 1, maxFrames, options.Frames);
    } else if (name == "--frame-ms") {
        error = ReadIntOption(walk, 0, INT32_MAX, options.FrameMs);
    } else if (name == "--seed") {
        int64_t seed = 0;
        error = ReadIntOption(walk, 0, UINT32_MAX, seed);
        if (!error) options.Seed = static_cast<uint32_t>(seed);
    } else if (name == "--clock-start") {
        int64_t start = 0;
        // A signed reading (as the engine compares them) or an unsigned one (as the system
        // clock counts): the same 32 bits either way.
        error = ReadIntOption(walk, INT32_MIN, UINT32_MAX, start);
        if (!error) options.ClockStart = static_cast<uint32_t>(start);
    } else {
        return false;
    }
    return true;
}

std::optional<std::string> CheckClockRange(const ClockOptions& options, int64_t warmUpMs) {
    // The clock may wrap (the engine is built for it), but a run longer than one turn of the
    // clock would give different frames the same reading.
    if (options.Frames * options.FrameMs + warmUpMs > int64_t{UINT32_MAX} - kVirtualStartTime) {
        return "--frames times --frame-ms runs past the clock's range (" +
               std::to_string(UINT32_MAX - kVirtualStartTime) + " ms)";
    }
    return std::nullopt;
}

}  // namespace pp
