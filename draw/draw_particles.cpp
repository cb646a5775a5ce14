#include "draw/draw_particles.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <memory>
#include <thread>
#include <vector>

#include "draw/particle_runs.h"
#include "draw/quad_draws.h"
#include "draw/quad_tinted.h"
#include "draw/trail_draws.h"
#include "particles/looks.h"
#include "particles/trails.h"
#include "runtime/convert.h"
#include "runtime/worker_pool.h"

namespace pp {
namespace {

constexpr size_t kRun = kParticleRun;

// CentreAndRound, then draws the run with the emitter's blend factors.
void SubmitRun(const Emitter& e, const ParticleRun& particles, QuadDrawRun& run, size_t n, float dx,
               float dy) {
    CentreAndRound(particles, run, n, dx, dy);
    // Each particle sets its emitter's blend factors, its size and its angle, then draws.
    DrawQuadSprites(e.BlendSource, e.BlendDestination, run, n);
}

// Whether an emitter is drawn with its optional keys: it has them and its Life records are
// in step (an emitter given keys since the last update draws without them until then).
bool DrawsWithExtras(const Emitter& e) {
    return e.Life.Count() == e.Particles.Count() && e.Particles.Count() != 0 && HasExtras(e);
}

// An emitter with optional keys, on this thread: each particle's size and transparency as its
// curves make them, centred and rounded as the plain runs are, with its colour and its
// sprite sheet cell, and its trail after it (or before it) when it has one. The list's cursor
// ends on its last record.
void DrawWithExtras(Emitter& e, float dx, float dy) {
    QuadDrawRun run;
    QuadLooksRun looks;
    const ParticleLife* life = e.Life.First();
    const ParticleMotion* motion =
        e.Motion.Count() == e.Particles.Count() ? e.Motion.First() : nullptr;
    const bool trails = HasTrail(e.Extras) && TrailsInStep(e);
    const bool behind = e.Extras.Trail.Behind != 0;
    int32_t index = 0;
    size_t n = 0;
    ListVisit(e.Particles, [&](const Particle& p) {
        const ParticleLooks l = LooksOf(e.Extras, p, *life++, motion);
        if (motion != nullptr) ++motion;
        run.Quad[n] = p.Sprite;
        run.Degrees[n] = p.Angle;
        const RoundedQuad q = RoundLooks(p, l, dx, dy);
        run.Size[n] = q.Width;
        run.X[n] = q.X;
        run.Y[n] = q.Y;
        run.Alpha[n] = q.Alpha;
        looks.Height[n] = q.Height;
        looks.Red[n] = l.Red;
        looks.Green[n] = l.Green;
        looks.Blue[n] = l.Blue;
        looks.U0[n] = l.Cell.U0;
        looks.V0[n] = l.Cell.V0;
        looks.U1[n] = l.Cell.U1;
        looks.V1[n] = l.Cell.V1;
        if (trails) {
            // Each particle drawn alone, so that its ribbon comes right before or after it.
            if (behind) DrawTrailOf(e, index, p, l, dx, dy);
            DrawTintedQuadSprites(e.BlendSource, e.BlendDestination, run, looks, 1);
            if (!behind) DrawTrailOf(e, index, p, l, dx, dy);
            ++index;
            return;
        }
        if (++n == kRun) {
            DrawTintedQuadSprites(e.BlendSource, e.BlendDestination, run, looks, n);
            n = 0;
        }
    });
    DrawTintedQuadSprites(e.BlendSource, e.BlendDestination, run, looks, n);
    EndTintedQuads();
}

// Below this many particles in the layer the drawing stays on the calling thread: waking the
// workers costs more than they save.
constexpr size_t kParallelDrawMin = 16384;
// Runs staged ahead of the drawing at most: enough to keep every thread busy while the calling
// thread hands runs to the quad batch, few enough that the staged vertices stay in the
// processor's caches (about 34 KB a run).
constexpr size_t kStagedRing = 64;

// kRun (or fewer, at an emitter's end) particles of one emitter, drawn as one run.
struct RunOfParticles {
    const Emitter* E;
    const Particle* First;
    size_t Count;
};

// Gathers a run's fields, centres and rounds them, and makes its vertices. Any thread.
void StageRun(const RunOfParticles& r, float dx, float dy, StagedQuadRun& staged) {
    QuadDrawRun run;
    ParticleRun particles;
    for (size_t n = 0; n < r.Count; ++n) {
        GatherParticle(r.First[n], n, run, particles);
    }
    CentreAndRound(particles, run, r.Count, dx, dy);
    StageQuadSprites(r.E->BlendSource, r.E->BlendDestination, run, r.Count, staged);
}

// DrawParticles with the gathering, centring, rounding and vertices of the runs on every
// thread of the pool. The runs are staged in order into a ring of kStagedRing slots, run k in
// slot k % kStagedRing once run k - kStagedRing has been drawn; the calling thread draws them
// in order, with every GL call, and stages runs itself whenever the next one is not ready.
// There is no barrier: a worker the system takes off its processor holds up at most the one
// run it is staging, while the calling thread goes on with those after it.
class StagedDrawing {
  public:
    StagedDrawing(const std::vector<RunOfParticles>& runs, float dx, float dy)
        : runs_(runs), dx_(dx), dy_(dy) {
        // Kept from frame to frame: a fresh 2 MB block each frame would be new pages, faulted
        // in by every thread that first writes them and unmapped at the frame's end, which
        // costs more than the staging itself. One ring a drawing thread.
        static thread_local std::unique_ptr<StagedQuadRun[]> kept;
        if (!kept) kept.reset(new StagedQuadRun[kStagedRing]);
        ring_ = kept.get();
        for (std::atomic<size_t>& r : ready_) r.store(0, std::memory_order_relaxed);
    }

    // A worker: stages runs until none is left to claim.
    void Stage() {
        while (claimed_.load(std::memory_order_relaxed) < runs_.size()) {
            if (!StageOne()) Pause();
        }
    }

    // The calling thread: draws every run in order.
    void Draw() {
        for (size_t k = 0; k < runs_.size(); ++k) {
            std::atomic<size_t>& ready = ready_[k % kStagedRing];
            while (ready.load(std::memory_order_acquire) != k + 1) {
                if (!StageOne()) Pause();
            }
            DrawStagedQuadSprites(ring_[k % kStagedRing]);
            drawn_.store(k + 1, std::memory_order_release);
        }
    }

  private:
    // Claims the next run and stages it, if there is one and its slot is free.
    bool StageOne() {
        size_t k = claimed_.load(std::memory_order_relaxed);
        do {
            if (k >= runs_.size() || k >= drawn_.load(std::memory_order_acquire) + kStagedRing) {
                return false;
            }
        } while (!claimed_.compare_exchange_weak(k, k + 1, std::memory_order_relaxed));
        StageRun(runs_[k], dx_, dy_, ring_[k % kStagedRing]);
        ready_[k % kStagedRing].store(k + 1, std::memory_order_release);
        return true;
    }

    static void Pause() { std::this_thread::yield(); }

    const std::vector<RunOfParticles>& runs_;
    float dx_, dy_;
    StagedQuadRun* ring_;
    std::atomic<size_t> claimed_{0};          // runs claimed for staging
    std::atomic<size_t> drawn_{0};            // runs drawn
    std::atomic<size_t> ready_[kStagedRing];  // run number + 1 once a slot's run is staged
};

void DrawParticlesOnPool(WorkerPool& pool, const std::vector<RunOfParticles>& runs, float dx,
                         float dy) {
    StagedDrawing drawing(runs, dx, dy);
    pool.RunBeside([&drawing] { drawing.Stage(); }, [&drawing] { drawing.Draw(); });
}

}  // namespace

int32_t DrawParticles(Engine& engine, int32_t offsetX, int32_t offsetY, int32_t layer) {
    const float dx = static_cast<float>(offsetX);
    const float dy = static_cast<float>(offsetY);
    if (WorkerPool* pool = engine.Workers; pool != nullptr && pool->Threads() > 1) {
        size_t total = 0;
        ListRewind(engine.Emitters);
        while (const Emitter* e = ListNext(engine.Emitters)) {
            if (e->Layer == layer) total += static_cast<size_t>(e->Particles.Count());
        }
        if (total >= kParallelDrawMin) {
            // The runs as the walk below cuts them: each emitter's particles in order, kRun
            // at a time. The lists end with their cursors where that walk leaves them.
            std::vector<RunOfParticles> runs;
            runs.reserve(total / kRun + 64);
            ListRewind(engine.Emitters);
            while (Emitter* e = ListNext(engine.Emitters)) {
                if (e->Layer != layer) continue;
                if (DrawsWithExtras(*e)) {
                    // Drawn here, in its place: the runs before it first.
                    DrawParticlesOnPool(*pool, runs, dx, dy);
                    runs.clear();
                    DrawWithExtras(*e, dx, dy);
                    continue;
                }
                const auto count = static_cast<size_t>(e->Particles.Count());
                for (size_t i = 0; i < count; i += kRun) {
                    runs.push_back({e, e->Particles.First() + i, std::min(kRun, count - i)});
                }
                e->Particles.CursorToLast();
            }
            DrawParticlesOnPool(*pool, runs, dx, dy);
            return 0;
        }
    }
    QuadDrawRun run;
    ParticleRun particles;
    ListRewind(engine.Emitters);
    while (Emitter* e = ListNext(engine.Emitters)) {
        if (e->Layer != layer) continue;
        if (DrawsWithExtras(*e)) {
            DrawWithExtras(*e, dx, dy);
            continue;
        }
        size_t n = 0;
        ListVisit(e->Particles, [&](const Particle& p) {
            GatherParticle(p, n, run, particles);
            if (++n == kRun) {
                SubmitRun(*e, particles, run, n, dx, dy);
                n = 0;
            }
        });
        SubmitRun(*e, particles, run, n, dx, dy);
    }
    return 0;
}

}  // namespace pp
