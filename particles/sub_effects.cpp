// Recording and starting the sub-effects of particle births and deaths.
#include "particles/sub_effects.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pp {

void RecordSubEffect(Engine& engine, const Emitter& starter, const SubEffectParams& on,
                     const Particle& p) {
    std::vector<SubEffectStart>& starts = engine.PendingStarts;
    // Beyond this many not one more could be made, so a runaway effect records no more.
    if (starts.size() >= static_cast<size_t>(kMaxStartedEmitters)) return;
    if (on.Effect < 0 || static_cast<size_t>(on.Effect) >= engine.SubEffects.size()) return;
    if (on.Count < 1) return;
    const int32_t depth = starter.SubEffectDepth + 1;
    if (depth > kMaxSubEffectDepth) return;
    // A particle that died of a broken state has no place to start anything.
    if (!std::isfinite(p.X) || !std::isfinite(p.Y)) return;
    starts.push_back({on.Effect, std::min(on.Count, kMaxBurstCount), depth, on.Inherit != 0 ? 1 : 0,
                      p.X, p.Y, p.VelocityX, p.VelocityY});
}

void StartSubEffects(Engine& engine, int32_t now) {
    std::vector<SubEffectStart>& starts = engine.PendingStarts;
    if (starts.empty()) return;
    int32_t alive = 0;
    // The walk leaves the cursor on the last emitter, so each insertion below appends.
    ListVisit(engine.Emitters, [&alive](const Emitter& e) {
        if (e.SubEffectDepth > 0) ++alive;
    });
    for (const SubEffectStart& s : starts) {
        if (alive >= kMaxStartedEmitters) break;
        Emitter* e = ListInsert(engine.Emitters);
        if (e == nullptr) break;
        e->Params() = engine.SubEffects[static_cast<size_t>(s.Effect)];
        e->PositionX = s.X;
        e->PositionY = s.Y;
        e->AutoRemove = 1;
        e->NextEmission = now;
        e->StartTime = now;
        e->Prewarmed = 1;
        e->StartCount = s.Count;
        e->SubEffectDepth = s.Depth;
        e->StartedAs = s.Effect;
        if (s.Inherit != 0) {
            e->StartVelocity[0] = s.VelocityX;
            e->StartVelocity[1] = s.VelocityY;
            // The emitter stays where the list put it, so the pointer holds as long as it lives.
            e->InheritedVelocity = e->StartVelocity;
        }
        ++alive;
    }
    starts.clear();
}

}  // namespace pp
