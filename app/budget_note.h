// The one line a command prints once its world's particle budget has dropped births.
#pragma once

#include <cstdint>
#include <string_view>

#include "particleplayer/world.h"

namespace pp {

// Prints "particleplayer COMMAND: ..." on stderr the first time the world has dropped births
// since it was made or the note was reset, and not again until the next reset: once per load,
// not once per frame.
class BudgetNote {
  public:
    explicit BudgetNote(std::string_view command) : command_(command) {}
    void Check(particleplayer::World& world);
    // A new load: the next drop is said again.
    void Reset(particleplayer::World& world) {
        said_ = false;
        before_ = world.DroppedBirths();
    }

  private:
    std::string_view command_;
    bool said_ = false;
    int64_t before_ = 0;  // the world's dropped births at the last reset
};

}  // namespace pp
