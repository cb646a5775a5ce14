#include "app/budget_note.h"

#include <cstdio>

namespace pp {

void BudgetNote::Check(particleplayer::World& world) {
    if (said_ || world.DroppedBirths() <= before_) return;
    said_ = true;
    std::fprintf(stderr,
                 "particleplayer %.*s: the particle budget of %lld live particles is reached: "
                 "births beyond it are dropped (--max-particles N sets it)\n",
                 static_cast<int>(command_.size()), command_.data(),
                 static_cast<long long>(world.MaxParticles()));
}

}  // namespace pp
