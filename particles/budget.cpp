// Counting the particle budget and the sub-effect starts it has no room for.
#include "particles/budget.h"

#include <cstddef>
#include <vector>

namespace pp {
namespace {

void CountDropped(Engine& engine, int64_t births) {
    engine.DroppedBirths =
        births > INT64_MAX - engine.DroppedBirths ? INT64_MAX : engine.DroppedBirths + births;
}

}  // namespace

int64_t LiveParticles(Engine& engine) {
    int64_t live = 0;
    ListVisit(engine.Emitters, [&live](const Emitter& e) { live += BudgetCostOf(e); });
    return live;
}

void SetBudgetLeft(Engine& engine, int64_t live) {
    engine.BudgetLeft = live >= engine.MaxParticles ? 0 : engine.MaxParticles - live;
}

void CountBudget(Engine& engine) {
    if (engine.MaxParticles == kNoBudget) {
        engine.BudgetLeft = kNoBudget;
        return;
    }
    SetBudgetLeft(engine, LiveParticles(engine));
}

void DropStartsBeyondBudget(Engine& engine) {
    std::vector<SubEffectStart>& starts = engine.PendingStarts;
    if (engine.MaxParticles == kNoBudget || starts.empty()) return;
    const int64_t live = LiveParticles(engine);
    const int64_t room = live >= engine.MaxParticles ? 0 : engine.MaxParticles - live;
    int64_t coming = 0;
    std::size_t kept = 0;
    for (; kept < starts.size() && coming < room; ++kept) {
        const EmitterParams& started =
            engine.SubEffects[static_cast<std::size_t>(starts[kept].Effect)];
        // A disabled effect bears nothing when started.
        if (started.Disable == 0) coming += starts[kept].Count * ParticleCost(started);
    }
    for (std::size_t i = kept; i < starts.size(); ++i) {
        if (engine.SubEffects[static_cast<std::size_t>(starts[i].Effect)].Disable == 0) {
            CountDropped(engine, starts[i].Count);
        }
    }
    starts.resize(kept);
}

}  // namespace pp
