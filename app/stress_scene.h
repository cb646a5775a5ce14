// The scale scene of `render --stress N` and the page's stress run: emitters of one small
// effect at the centre of the screen that together keep about N particles alive, and the
// updates that build that population up before the first frame.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "particleplayer/clock.h"
#include "particleplayer/world.h"

namespace pp {

// The most particles the scale scene is asked to keep alive.
inline constexpr int64_t kMaxStress = 4000000;
// Milliseconds of updates after which the scale scene's population is complete.
inline constexpr int64_t kStressWarmUpMs = 3000;

// Adds the scale scene's emitters for about n particles, drawn with the star sprite. A
// one-line reason when the effect file cannot be read or the emitters find no memory.
std::optional<std::string> AddStressEmitters(particleplayer::World& world, int64_t n);

// Updates the world at clockStart + stepMs, + 2 * stepMs ... up to clockStart + spanMs, so that
// what the effects make in that span is there when drawing starts. beforeEach, when given,
// runs after each clock step and before its update (moving effects move there).
void WarmUpWorld(particleplayer::World& world, particleplayer::VirtualClock& clock,
                 uint32_t clockStart, int64_t stepMs, int64_t spanMs,
                 const std::function<void()>& beforeEach = {});

}  // namespace pp
