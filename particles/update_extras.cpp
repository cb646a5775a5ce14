// The update pass of emitters with optional keys, and their particles' Life records.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "particles/looks.h"
#include "particles/motion.h"
#include "particles/sub_effects.h"
#include "particles/trails.h"
#include "runtime/convert.h"
#include "runtime/worker_pool.h"

namespace pp {
namespace {

// Every particle restarts its life at now with what is left of it.
void RebuildLife(Emitter& e, int32_t now) {
    ListRemoveAll(e.Life);
    ListRewind(e.Particles);
    while (const Particle* p = ListNext(e.Particles)) {
        ParticleLife* life = ListInsert(e.Life);
        if (life == nullptr) return;
        *life = ParticleLife{now, static_cast<float>(ClockDiff(p->DeathTime, now)), 0, 0.0f, 0};
        life->Frame = SheetFrame(e.Extras.SpriteSheet, 0, 0, 0.0f);
    }
}

// The plain pass's explicit Euler step, one field at a time, then drag and spin. Returns
// whether the particle died by age, size, opacity or a state that is not finite.
inline bool AdvanceWithExtras(const Particle& in, Particle& out, const ExtraMotion& m) {
    const float vx = in.VelocityX;
    const float vy = in.VelocityY;
    const float x = in.X + m.Dt * vx;
    const float y = in.Y + m.Dt * vy;
    float newVx = vx + m.StepX;
    float newVy = vy + m.StepY;
    if (m.Drag) {
        newVx = newVx * m.DragFactor;
        newVy = newVy * m.DragFactor;
    }
    const float size = in.Size + m.Growth;
    const float step = in.RotationStep;
    float angle = in.Angle + step;
    // Skipped at 0 rather than adding 0, which would turn an angle of -0 into +0.
    if (m.Spin) angle = angle + m.SpinStep;
    const float transparency = in.Transparency + m.Fading;
    const int32_t deathTime = in.DeathTime;
    out = Particle{in.Sprite, size, x, y, newVx, newVy, transparency, deathTime, angle, step};
    // ParticleStateIsFinite of the new state, without reading it back: v - v is 0 for every
    // finite v and NaN otherwise, and a NaN survives every sum.
    const float zero =
        (((x - x) + (y - y)) + ((newVx - newVx) + (newVy - newVy))) +
        (((size - size) + (transparency - transparency)) + ((angle - angle) + (step - step)));
    const int old = static_cast<int>(ClockDiff(m.Now, deathTime) > 0);
    const int faded = static_cast<int>(size < 1.0f) | static_cast<int>(transparency < 1.0f);
    return (old | faded | static_cast<int>(!(zero == 0.0f))) != 0;
}

// Puts `record` at `index` of a list one record short of the particles'; false when the list
// was out of step or could not grow.
template <class T>
bool InsertAt(RecordArray<T>& list, int32_t index, int32_t particles, const T& record) {
    if (list.Count() != particles - 1) return false;
    // The cursor goes on the record in front of the particle's place, as the particle list's
    // stood before its insertion.
    if (index == list.Count()) {
        list.CursorToLast();
    } else {
        ListRewind(list);
        for (int32_t i = 0; i < index; ++i) ListNext(list);
    }
    T* slot = ListInsert(list);
    if (slot == nullptr) return false;
    *slot = record;
    return true;
}

// The life record at now: its fraction, and its sheet frame when there is a sheet.
[[gnu::always_inline]] inline ParticleLife AgedLife(ParticleLife life, const ExtraParams& extras,
                                                    bool sheet, int32_t now) {
    life.Fraction = LifeFractionAt(life, now);
    if (sheet) {
        life.Frame = SheetFrame(extras.SpriteSheet, life.StartFrame, ClockDiff(now, life.BirthTime),
                                life.Fraction);
    }
    return life;
}

// OnCollide's start at the hit, with the velocity the particle leaves the update with.
void RecordHit(Engine& engine, const Emitter& e, const Particle& p, const CollideHit& hit) {
    Particle at = p;
    at.X = hit.X;
    at.Y = hit.Y;
    RecordSubEffect(engine, e, e.Extras.OnCollide, at);
}

}  // namespace

void AddParticleLife(Engine& engine, Emitter& emitter, Particle* p, int32_t birth, float lifeMs) {
    const ParticleLife record = StartLife(engine, emitter.Extras, birth, lifeMs);
    const int32_t count = emitter.Particles.Count();
    const auto index = static_cast<int32_t>(p - emitter.Particles.First());
    const bool inStep = InsertAt(emitter.Life, index, count, record);
    if (HasTrail(emitter.Extras)) AddTrailRing(emitter, index);
    if (HasMotion(emitter.Extras)) {
        const ParticleMotion motion = StartMotion(engine, emitter, *p, lifeMs);
        if (inStep) InsertAt(emitter.Motion, index, count, motion);
    }
    const EmitterParams::SpriteFileList& list = emitter.SpriteList;
    if (emitter.Extras.SpriteMode == 1 && list.Count > 0) {
        const int32_t k = RandomInt(engine.Random, list.Count - 1);
        p->Sprite = engine.FirstSpriteFileNumber + list.Index[static_cast<size_t>(k)];
    }
}

namespace {

// Every particle keeps its place and looks, with no draws.
void RebuildMotion(Emitter& e) {
    ListRemoveAll(e.Motion);
    ListRewind(e.Particles);
    while (const Particle* p = ListNext(e.Particles)) {
        ParticleMotion* m = ListInsert(e.Motion);
        if (m == nullptr) return;
        *m = RestingMotion(e, *p);
    }
}

// A list of at least this many particles has its pass cut into chunks of about kChunkParticles
// on the world's threads; below it waking them costs more than they save.
constexpr size_t kChunkedMin = 16384;
constexpr size_t kChunkParticles = 2048;

// The records that go with the particles, `stride` to a particle: chunk k's survivors, records
// [begin[k], kept[k]) of particles, moved down behind those of the chunks before it.
template <class T>
void JoinRecords(T* records, size_t stride, const size_t* begin, const size_t* kept,
                 size_t chunks) {
    size_t out = kept[0];
    for (size_t k = 1; k < chunks; ++k) {
        const size_t n = kept[k] - begin[k];
        if (out != begin[k] && n != 0) {
            std::memmove(static_cast<void*>(records + out * stride),
                         static_cast<const void*>(records + begin[k] * stride),
                         n * stride * sizeof(T));
        }
        out += n;
    }
}

// The records that go with each particle, by its place in the list.
struct Companions {
    ParticleLife* Lives;
    ParticleMotion* Motions;
    TrailPoint* Rings;
    int32_t RingPoints;  // each particle's ring of trail points
};

// Whether e's pass runs in chunks on the world's threads: a long list whose pass records no
// sub-effects (their order is the list's) on a world with threads.
bool ChunkedPass(const Engine& engine, const Emitter& e, bool ordered) {
    const WorkerPool* const pool = engine.Workers;
    return !ordered && pool != nullptr && pool->Threads() > 1 &&
           static_cast<size_t>(e.Particles.Count()) >= kChunkedMin;
}

// The pass rewrite(in, out) over e's particles, as ListRewriteRemoving makes it, in chunks on
// the world's threads, each preceded by prepare(begin, end) over its particles' places: each
// chunk compacts its own particles and companions, and the chunks are joined in order after.
// Each particle's step reads nothing but the particle and the pass's constants, so the records
// come out the same on every thread count. When the pool runs the job on this thread alone
// (the machine busy), whole() makes the one-thread pass instead, which joins nothing.
template <class Prepare, class Rewriter, class Whole>
void RewriteInChunks(Engine& engine, Emitter& e, const Companions& with, Prepare&& prepare,
                     Rewriter&& rewrite, Whole&& whole) {
    const auto n = static_cast<size_t>(e.Particles.Count());
    const size_t chunks = std::min(n / kChunkParticles, RecordArray<Particle>::kMaxChunks);
    std::vector<size_t> begin(chunks + 1);
    for (size_t k = 0; k <= chunks; ++k) {
        begin[k] = static_cast<size_t>(static_cast<uint64_t>(n) * k / chunks);
    }
    std::vector<Particle*> kept(chunks);
    const bool cut = engine.Workers->RunOrWhole(
        chunks,
        [&](size_t k) {
            prepare(begin[k], begin[k + 1]);
            kept[k] = e.Particles.RewriteChunk(k, chunks, rewrite);
        },
        whole);
    if (!cut) return;
    std::vector<size_t> end(chunks);
    const Particle* const first = e.Particles.First();
    for (size_t k = 0; k < chunks; ++k) end[k] = static_cast<size_t>(kept[k] - first);
    if (with.Lives != nullptr) JoinRecords(with.Lives, 1, begin.data(), end.data(), chunks);
    if (with.Motions != nullptr) JoinRecords(with.Motions, 1, begin.data(), end.data(), chunks);
    if (with.Rings != nullptr) {
        JoinRecords(with.Rings, static_cast<size_t>(with.RingPoints), begin.data(), end.data(),
                    chunks);
    }
    e.Particles.JoinChunks(chunks, kept.data());
}

// ListRewriteRemoving with prepare(begin, end) over each block of kChunkParticles particles
// from `from` on, just before the first of them is rewritten: the pass has written no further
// than it has read, so their places are still the ones they had.
template <class Prepare, class Rewriter>
void RewriteReadingAhead(Emitter& e, size_t from, Prepare&& prepare, Rewriter&& rewrite) {
    const Particle* const first = e.Particles.First();
    const auto n = static_cast<size_t>(e.Particles.Count());
    size_t readTo = from;
    ListRewriteRemoving(e.Particles, [&](const Particle& in, Particle& out) {
        const auto at = static_cast<size_t>(&in - first);
        if (at == readTo) {
            readTo = std::min(n, at + kChunkParticles);
            prepare(at, readTo);
        }
        return rewrite(in, out);
    });
}

// One update's pass over an emitter with optional keys: the frame's steps, the records that
// move with the particles, and which of the features act.
struct ExtrasPass {
    Engine& engine;
    Emitter& e;
    const ExtraParams& extras;
    ExtraMotion m;
    MotionFrame f;
    const CollideFrame& lines;
    Companions with;
    const Particle* first;
    int32_t head, now;
    bool turbulent, sheet, animated, recordDeaths, collide, recordHits, chunked;
};

// The motion rules' frame of this update: the plain steps, then the emitter's place, the modes,
// the forces, the field and the lines.
MotionFrame MotionFrameOf(Engine& engine, Emitter& e, const ExtraMotion& m, bool turbulent,
                          const CollideFrame* lines) {
    const ExtraParams& extras = e.Extras;
    // The field's frame costs more than a few particles' steps, and effects started by
    // particles can make thousands of emitters, many with none alive yet or left.
    const bool field = turbulent && e.Particles.Count() != 0;
    return {
        m,
        e.PositionX,
        e.PositionY,
        InOrbit(extras.Motion),
        extras.Motion.RadialAcceleration.Set != 0 || extras.Motion.TangentialAcceleration.Set != 0,
        TurnsToMotion(extras),
        extras.Attached != 0,
        HasForces(extras),
        ForcesOf(e, m.Dt),
        field ? TurbulenceOf(extras.Turbulence, e.Noise, engine.Random.seed, m.Dt)
              : TurbulenceFrame{},
        lines,
        &extras,
        MovesOverLife(extras) && !InOrbit(extras.Motion)};
}

// One particle's step without motion records: the plain step, then (with Any) the forces, the
// field's move `drift` read ahead or here, the lines, the trail and the animated sprite; its
// Life record ages. `out` may be `in` itself: where it stood is read before the step writes it.
template <bool Any>
inline bool PlainStep(const ExtrasPass& p, const float* drift, const Particle& in, Particle& out) {
    const float x0 = in.X;
    const float y0 = in.Y;
    const ptrdiff_t at = &in - p.first;
    bool dead = AdvanceWithExtras(in, out, p.m);
    if (Any && p.f.Pulled) {
        ApplyForces(p.f.Pulls, x0, y0, out.VelocityX, out.VelocityY);
        dead = dead || !ParticleStateIsFinite(out);
    }
    if (Any && p.turbulent) {
        float dx;
        float dy;
        if (drift != nullptr) {
            dx = drift[2 * at];
            dy = drift[2 * at + 1];
        } else {
            TurbulenceAt(p.f.Turbulence, x0, y0, dx, dy);
        }
        const float x = out.X + dx;
        const float y = out.Y + dy;
        out.X = x;
        out.Y = y;
        // The rest of the state was finite unless dead says so: only the place moved.
        dead = dead || !((x - x) + (y - y) == 0.0f);
    }
    if (Any && p.collide) {
        const CollideHit hit = Collide(p.lines, x0, y0, out.X, out.Y, out.VelocityX, out.VelocityY);
        dead = dead || hit.Dies || !ParticleStateIsFinite(out);
        if (hit.Hit && p.recordHits) RecordHit(p.engine, p.e, out, hit);
    }
    // Where the particle died, for the effect it starts: where its last move left it.
    if (dead && p.recordDeaths) RecordSubEffect(p.engine, p.e, p.extras.OnDeath, out);
    if (Any && p.with.Rings != nullptr) {
        KeepTrailPlace(p.with.Rings, p.with.RingPoints, p.head, &in - p.first, &out - p.first, out,
                       p.now);
    }
    if (p.with.Lives != nullptr) {
        // AgedLife's steps written out: through the helper this pass measured 2 to 6 % slower.
        ParticleLife life = p.with.Lives[at];
        life.Fraction = LifeFractionAt(life, p.now);
        if (p.sheet) {
            life.Frame = SheetFrame(p.extras.SpriteSheet, life.StartFrame,
                                    ClockDiff(p.now, life.BirthTime), life.Fraction);
        }
        if (Any && p.animated) out.Sprite = AnimatedSprite(p.engine, p.e, life.Fraction);
        p.with.Lives[&out - p.first] = life;
    }
    return dead;
}

// The pass over particles without motion records. The field's moves where the particles
// stand are read many at a time before the pass reaches them: for each chunk before its pass,
// or, on this thread, block by block; a long list's pass that records sub-effects has them read
// on the threads first.
void PlainPass(const ExtrasPass& p) {
    const auto n = static_cast<size_t>(p.e.Particles.Count());
    float* drift = nullptr;
    const bool spread =
        p.turbulent && !p.chunked && FillTurbulence(p.engine, p.f.Turbulence, p.first, n, drift);
    if (p.turbulent && !spread) drift = DriftRoom(p.engine, n);
    const auto prepare = [&](size_t begin, size_t end) {
        if (drift != nullptr) {
            TurbulenceRun(p.f.Turbulence, p.first + begin, end - begin, drift + 2 * begin);
        }
    };
    const auto pass = [&](const auto& rewrite) {
        const auto alone = [&] { RewriteReadingAhead(p.e, spread ? n : 0, prepare, rewrite); };
        if (p.chunked) {
            RewriteInChunks(p.engine, p.e, p.with, prepare, rewrite, alone);
        } else {
            alone();
        }
    };
    // Built twice: with every feature's test, and for the emitters that have none of the
    // forces, the field, lines, trails or animated sprites, without those tests, whose cost a
    // particle pays at every step otherwise.
    if (p.f.Pulled || p.turbulent || p.collide || p.with.Rings != nullptr || p.animated) {
        pass([&](const Particle& in, Particle& out) { return PlainStep<true>(p, drift, in, out); });
    } else {
        pass(
            [&](const Particle& in, Particle& out) { return PlainStep<false>(p, drift, in, out); });
    }
}

// The pass over particles with motion records; the motion step reads the life fraction at now,
// so the life is aged first.
void MotionPass(const ExtrasPass& p) {
    const auto rewrite = [&](const Particle& in, Particle& out) {
        const ParticleLife life = AgedLife(p.with.Lives[&in - p.first], p.extras, p.sheet, p.now);
        ParticleMotion motion = p.with.Motions[&in - p.first];
        CollideHit hit;
        const bool dead = AdvanceWithMotion(in, out, motion, life, p.f, hit);
        if (p.animated) out.Sprite = AnimatedSprite(p.engine, p.e, life.Fraction);
        if (hit.Hit && p.recordHits) RecordHit(p.engine, p.e, out, hit);
        if (dead && p.recordDeaths) RecordSubEffect(p.engine, p.e, p.extras.OnDeath, out);
        if (p.with.Rings != nullptr) {
            KeepTrailPlace(p.with.Rings, p.with.RingPoints, p.head, &in - p.first, &out - p.first,
                           out, p.now);
        }
        p.with.Lives[&out - p.first] = life;
        p.with.Motions[&out - p.first] = motion;
        return dead;
    };
    const auto alone = [&] { ListRewriteRemoving(p.e.Particles, rewrite); };
    if (p.chunked) {
        RewriteInChunks(
            p.engine, p.e, p.with, [](size_t, size_t) {}, rewrite, alone);
    } else {
        alone();
    }
}

}  // namespace

bool UpdateParticlesWithExtras(Engine& engine, Emitter& e, float dt, int32_t now) {
    if (e.Life.Count() != e.Particles.Count()) RebuildLife(e, now);
    const bool motion = HasMotion(e.Extras);
    if (!motion && e.Motion.Count() != 0) ListRemoveAll(e.Motion);
    if (motion && e.Motion.Count() != e.Particles.Count()) RebuildMotion(e);
    const ExtraParams& extras = e.Extras;
    const bool turbulent = HasTurbulence(extras);
    if (turbulent) e.Noise = AdvanceNoise(e.Noise, dt, extras.Turbulence.Speed);
    float dragFactor = 1.0f - extras.Drag * dt;
    if (!(dragFactor > 0.0f)) dragFactor = 0.0f;
    const ExtraMotion m{dt,
                        dt * e.AccelerationX,
                        dt * e.AccelerationY,
                        dt * e.Raise,
                        dt * e.Fade,
                        extras.Drag != 0.0f,
                        extras.Spin != 0.0f,
                        dragFactor,
                        extras.Spin * dt,
                        now};
    // A list that could not be rebuilt (no memory) moves without its records.
    ParticleLife* const lives = e.Life.Count() == e.Particles.Count() ? e.Life.First() : nullptr;
    const bool collide = HasCollide(extras);
    // Filled only for an emitter with lines: the frame is a few hundred bytes.
    CollideFrame lines;
    lines.Count = 0;
    if (collide) lines = CollideOf(e);
    const bool recordDeaths = extras.OnDeath.Effect >= 0;
    const bool recordHits = collide && extras.OnCollide.Effect >= 0;
    // Motion records move only with their Life records.
    ParticleMotion* const motions =
        lives != nullptr && e.Motion.Count() == e.Particles.Count() ? e.Motion.First() : nullptr;
    TrailPoint* const rings = BeginTrailPass(e, now);
    const ExtrasPass pass{engine,
                          e,
                          extras,
                          m,
                          MotionFrameOf(engine, e, m, turbulent, collide ? &lines : nullptr),
                          lines,
                          {lives, motions, rings, extras.Trail.Points},
                          e.Particles.First(),
                          e.TrailHead,
                          now,
                          turbulent,
                          SheetFrames(extras.SpriteSheet) > 0,
                          extras.SpriteMode == 2 && e.SpriteList.Count > 0,
                          recordDeaths,
                          collide,
                          recordHits,
                          ChunkedPass(engine, e, recordDeaths || recordHits)};
    const bool met = e.Particles.Count() != 0;
    if (motions == nullptr) {
        PlainPass(pass);
    } else {
        MotionPass(pass);
    }
    e.Life.Truncate(e.Particles.Count());
    if (motions != nullptr) e.Motion.Truncate(e.Particles.Count());
    if (rings != nullptr) EndTrailPass(e);
    return met;
}

}  // namespace pp
