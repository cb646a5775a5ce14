// The particle budget: one limit on the particles alive in an engine at once. Births beyond
// it are dropped, in the order the births come (emitters in list order, each emitter's births
// in its own order), so a seed gives the same particles on every run and thread count.
#pragma once

#include <cstdint>

#include "particles/particles.h"

namespace pp {

// The budget of a world made with the default options (particleplayer::kDefaultMaxParticles).
inline constexpr int64_t kDefaultParticleBudget = 1000000;

// What one particle of the effect takes of the budget: 1, and 1 more for each place its trail
// keeps (see trails.h).
inline int64_t ParticleCost(const EmitterParams& e) {
    return 1 + int64_t{e.Extras.Trail.Points};
}

// What the emitter's live particles take of the budget.
inline int64_t BudgetCostOf(const Emitter& e) {
    return int64_t{e.Particles.Count()} * ParticleCost(e);
}

// What the particles alive in every emitter take of the budget (their count, without trails).
// Leaves the emitter list's cursor on the last emitter.
int64_t LiveParticles(Engine& engine);

// Sets BudgetLeft to MaxParticles less `live` (at least 0). An update counts once, before its
// first emission, and deaths free room only at the next count: the births of an update never
// depend on the order in which its passes run, and no more than MaxParticles are ever alive.
void SetBudgetLeft(Engine& engine, int64_t live);

// SetBudgetLeft with every live particle counted; nothing to count without a budget.
void CountBudget(Engine& engine);

// Drops the recorded sub-effect starts that no room is left for: the budget the next update
// counts is MaxParticles less the particles alive after this update's passes, and the starts
// are born in the order recorded, so a start whose enabled predecessors already bring that
// many particles could bear none. Its births count as dropped. Nothing without a budget.
void DropStartsBeyondBudget(Engine& engine);

}  // namespace pp
