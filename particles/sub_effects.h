// Sub-effects that particles start where they are born or die (ExtraParams::OnBirth and
// OnDeath): the starts an update records, and the emitters made from them after its passes,
// within caps that no effect file can exceed.
#pragma once

#include <cstdint>

#include "particles/particles.h"

namespace pp {

// Started emitters alive at once; a start beyond them is skipped.
inline constexpr int32_t kMaxStartedEmitters = 4096;

// Records in Engine::PendingStarts that particle p of `starter` starts `on`: nothing when `on`
// names no loaded sub-effect or a Count below 1, when the start would nest deeper than
// kMaxSubEffectDepth, when p's position is not finite, or when kMaxStartedEmitters starts are
// already recorded (no more of them could be made).
void RecordSubEffect(Engine& engine, const Emitter& starter, const SubEffectParams& on,
                     const Particle& p);

// Makes an emitter of every recorded start, in order, until kMaxStartedEmitters started
// emitters are alive: a copy of the sub-effect's parameters at the particle's position with
// AutoRemove set, StartCount = Count, and the particle's velocity inherited when asked for.
// They are appended to Emitters (the cursor ends on the last). Empties PendingStarts.
void StartSubEffects(Engine& engine, int32_t now);

}  // namespace pp
