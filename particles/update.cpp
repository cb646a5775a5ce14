// The per-frame update: emit, then move, accelerate, grow, spin, fade and cull every particle.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "particles/budget.h"
#include "particles/looks.h"
#include "particles/particles.h"
#include "particles/sub_effects.h"
#include "particles/update_passes.h"
#include "runtime/clock_readings.h"
#include "runtime/convert.h"
#include "runtime/worker_pool.h"

namespace pp {
namespace {

// Below this many particles in all lists together the update stays on the calling thread:
// waking the workers costs more than they save.
constexpr size_t kParallelUpdateMin = 16384;
// The work is shared in tasks of about this many particles (a few microseconds each), claimed
// one at a time by whichever thread is free, the calling thread included: a thread that the
// system takes off its core holds up at most the one small task it has claimed, and the
// others go on with the rest. Lists of at least two tasks' worth are cut into chunks of that
// size; smaller ones are moved whole, several to a task.
constexpr size_t kTaskParticles = 2048;

// An emitter whose particles are to be moved, with the constants of its pass.
struct PendingUpdate {
    Emitter* E;
    Motion M;
    size_t Chunks = 0;          // the list is cut into this many chunks (0: moved whole)
    Particle** Kept = nullptr;  // where each chunk's survivors end
};

bool UpdateList(Emitter& e, const Motion& m) {
    // One pass in list order, removing the dead as it goes, exactly as ListRewind, ListNext
    // and ListRemove of each dead particle would.
    const CompactFunction compact = ActiveCompact();
    return e.Particles.CompactRemoving(
        [compact, &m](Particle* begin, Particle* end) { return compact(begin, end, m); });
}

// An emitter's pass: plain for a plain emitter, the one that keeps Life (and records where
// particles die, for OnDeath) for an emitter with optional keys. Returns whether the list held
// a particle.
bool MoveEmitter(Engine& engine, Emitter& e, const Motion& m, float dt, int32_t now) {
    if (e.ExtrasOn) return UpdateParticlesWithExtras(engine, e, dt, now);
    if (e.Life.Count() != 0) ListRemoveAll(e.Life);  // the keys are gone
    if (e.Motion.Count() != 0) ListRemoveAll(e.Motion);
    if (e.Trail.Count() != 0) ListRemoveAll(e.Trail);
    return UpdateList(e, m);
}

// Whether the emitter goes after its pass that met (or did not meet) a particle: an emitter
// with AutoRemove goes in the first update that finds it without particles.
bool AutoRemoved(Emitter& e, bool metParticle) {
    if (e.AutoRemove != 0 && metParticle) e.AutoRemove = -1;
    if (e.AutoRemove == 1) return true;
    if (e.AutoRemove == -1) e.AutoRemove = 1;
    return false;
}

// Takes the emitter under the cursor out of the list, telling its owner when it has a tag.
void RemoveEmitter(Engine& engine, const Emitter& e) {
    if (e.OwnerTag != 0) engine.RemovedTags.push_back(e.OwnerTag);
    ListRemove(engine.Emitters);
}

// A task is a run [Begin, End) of pending lists moved whole, or chunk Chunk of the cut list
// Begin. The threads claim them in this order.
struct UpdateTask {
    size_t Begin, End, Chunk;
};
constexpr size_t kWholeLists = ~size_t{0};

// The emissions, on this thread in list order as the random sequence requires; the lists with
// particles to move are left in `pending`, and their particles counted.
size_t EmitAll(Engine& engine, float dt, int32_t now, std::vector<PendingUpdate>& pending) {
    size_t total = 0;
    RecordList<Emitter>& emitters = engine.Emitters;
    ListRewind(emitters);
    while (Emitter* e = ListNext(emitters)) {
        if (HasExtras(*e)) {
            // Moved whole on this thread, in emitter order, as the one-thread update moves it
            // (so the places where its particles die are recorded in that order too).
            if (AutoRemoved(*e, UpdateEmitter(engine, *e, dt, now))) RemoveEmitter(engine, *e);
            continue;
        }
        e->ExtrasOn = false;
        EmitDueParticles(engine, *e, now);
        const Motion m{dt, e->AccelerationX, e->AccelerationY, e->Raise, e->Fade, now};
        const auto count = static_cast<size_t>(e->Particles.Count());
        if (count == 0) {
            UpdateList(*e, m);  // puts the cursor where the pass leaves it
        } else {
            pending.push_back({e, m});
            total += count;
        }
        // An emitter that goes has no particles, so nothing pending refers to it.
        if (AutoRemoved(*e, count != 0)) RemoveEmitter(engine, *e);
    }
    return total;
}

// Small lists go together into runs of about kTaskParticles; a large list is cut into chunks,
// each a task, whose survivors' ends go to `kept`.
std::vector<UpdateTask> PlanTasks(std::vector<PendingUpdate>& pending, size_t total,
                                  std::vector<Particle*>& kept) {
    std::vector<UpdateTask> tasks;
    tasks.reserve(total / kTaskParticles + pending.size() + 1);
    kept.assign(total / kTaskParticles + 1, nullptr);
    size_t used = 0;
    size_t open = 0;
    size_t openParticles = 0;
    for (size_t i = 0; i < pending.size(); ++i) {
        PendingUpdate& p = pending[i];
        const auto count = static_cast<size_t>(p.E->Particles.Count());
        if (count >= 2 * kTaskParticles) {
            p.Chunks = std::min(count / kTaskParticles, RecordArray<Particle>::kMaxChunks);
            p.Kept = kept.data() + used;
            used += p.Chunks;
            for (size_t k = 0; k < p.Chunks; ++k) tasks.push_back({i, i + 1, k});
            continue;
        }
        if (openParticles == 0) open = i;
        openParticles += count;
        if (openParticles >= kTaskParticles) {
            tasks.push_back({open, i + 1, kWholeLists});
            openParticles = 0;
        }
    }
    if (openParticles != 0) tasks.push_back({open, pending.size(), kWholeLists});
    return tasks;
}

// The update with the particle passes on the pool's threads. The emissions run first; no
// particle pass reads the generator or another emitter, so moving the passes behind all
// emissions changes nothing. Whether a pass meets a particle is known once its emission is
// done. All lists' tasks go to the threads in one go; the chunks of cut lists are then joined
// in order.
void UpdateOnPool(Engine& engine, WorkerPool& pool, float dt, int32_t now) {
    std::vector<PendingUpdate> pending;
    const size_t total = EmitAll(engine, dt, now, pending);
    // One pass a list, on this thread: below the threads' threshold, and as the whole job when
    // the pool runs it alone, where it leaves the same records without moving the survivors of
    // every chunk a second time to join them.
    const auto moveAll = [&pending] {
        for (const PendingUpdate& p : pending) UpdateList(*p.E, p.M);
    };
    if (total < kParallelUpdateMin) {
        moveAll();
        return;
    }
    std::vector<Particle*> kept;
    const std::vector<UpdateTask> tasks = PlanTasks(pending, total, kept);
    const CompactFunction compact = ActiveCompact();
    const bool cut = pool.RunOrWhole(
        tasks.size(),
        [&](size_t t) {
            const UpdateTask& task = tasks[t];
            if (task.Chunk != kWholeLists) {
                const PendingUpdate& p = pending[task.Begin];
                p.Kept[task.Chunk] = p.E->Particles.CompactChunk(
                    task.Chunk, p.Chunks, [compact, &m = p.M](Particle* begin, Particle* end) {
                        return compact(begin, end, m);
                    });
                return;
            }
            for (size_t i = task.Begin; i < task.End; ++i) {
                // A cut list inside the run has tasks of its own.
                if (pending[i].Chunks == 0) UpdateList(*pending[i].E, pending[i].M);
            }
        },
        moveAll);
    if (!cut) return;
    // The chunks of each cut list joined in order, as one pass would have left them.
    for (const PendingUpdate& p : pending) {
        if (p.Chunks != 0) p.E->Particles.JoinChunks(p.Chunks, p.Kept);
    }
}

// Prewarm's step.
constexpr int32_t kPrewarmStepMs = 16;

}  // namespace

bool UpdateEmitter(Engine& engine, Emitter& e, float dt, int32_t now) {
    e.ExtrasOn = HasExtras(e);  // before the emission: a spawn with extras starts a Life
    EmitDueParticles(engine, e, now);
    const Motion m{dt, e.AccelerationX, e.AccelerationY, e.Raise, e.Fade, now};
    return MoveEmitter(engine, e, m, dt, now);
}

void PrewarmEmitter(Engine& engine, Emitter& emitter) {
    const float seconds = emitter.Extras.Prewarm;
    if (!(seconds > 0.0f) || emitter.Prewarmed != 0 || emitter.StartCount >= 0) return;
    emitter.Prewarmed = 1;
    const int32_t span = RoundToInt(std::min(seconds, kMaxPrewarmSeconds) * 1000.0f);
    if (span <= 0) return;
    const auto now = static_cast<int32_t>(engine.Clock->Now());
    const int32_t start = WrapAdd(now, -span);
    emitter.StartTime = start;
    emitter.NextEmission = start;
    VirtualClock past(static_cast<uint32_t>(start));
    MillisecondClock* const clock = engine.Clock;
    engine.Clock = &past;
    const size_t recorded = engine.PendingStarts.size();
    // The emitter runs alone: the others' particles take the same room at every step.
    const bool budget = engine.MaxParticles != kNoBudget;
    const int64_t others = budget ? LiveParticles(engine) - BudgetCostOf(emitter) : 0;
    for (int32_t done = 0; done < span;) {
        const int32_t step = std::min(kPrewarmStepMs, span - done);
        done += step;
        const int32_t t = WrapAdd(start, done);
        past.Set(static_cast<uint32_t>(t));
        if (budget) SetBudgetLeft(engine, others + BudgetCostOf(emitter));
        UpdateEmitter(engine, emitter, static_cast<float>(step) * 0.001f, t);
    }
    engine.PendingStarts.resize(recorded);
    engine.Clock = clock;
}

float UpdateParticles(Engine& engine) {
    if (!engine.Updated) {
        engine.LastUpdateTime = static_cast<int32_t>(engine.Clock->Now());
        engine.Updated = true;
    }
    auto now = static_cast<int32_t>(engine.Clock->Now());
    float dt = static_cast<float>(ClockDiff(now, engine.LastUpdateTime)) * 0.001f;
    engine.LastUpdateTime = now;
    CountBudget(engine);

    if (engine.Workers != nullptr && engine.Workers->Threads() > 1) {
        UpdateOnPool(engine, *engine.Workers, dt, now);
    } else {
        RecordList<Emitter>& emitters = engine.Emitters;
        ListRewind(emitters);
        while (Emitter* e = ListNext(emitters)) {
            if (AutoRemoved(*e, UpdateEmitter(engine, *e, dt, now))) RemoveEmitter(engine, *e);
        }
    }
    DropStartsBeyondBudget(engine);
    StartSubEffects(engine, now);
    return dt;
}

}  // namespace pp
