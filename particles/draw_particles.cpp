#include "particles/draw_particles.h"

#include <cstddef>
#include <cstring>

#include "render/quad_draws.h"
#include "runtime/convert.h"

namespace pp {
namespace {

// Particles go to the quad sprites in runs of this many, each run with its emitter's blend.
constexpr size_t kRun = 512;

}  // namespace

int32_t DrawParticles(Engine& engine, int32_t offsetX, int32_t offsetY, int32_t layer) {
    const float dx = static_cast<float>(offsetX);
    const float dy = static_cast<float>(offsetY);
    QuadDraw run[kRun];
    ListRewind(engine.Emitters);
    // Each emitter's particles are loaded while the one before is drawn (see
    // RecordPool::PrefetchStream); the first are asked for now.
    if (const Emitter* first = engine.Emitters.Peek()) {
        first->Particles.Pool().Prefetch(kPassPrefetchBytes);
    }
    while (Emitter* e = ListNext(engine.Emitters)) {
        if (e->Layer != layer) continue;
        RecordPool::PrefetchStream ahead;
        if (const Emitter* next = engine.Emitters.Peek()) {
            ahead = RecordPool::PrefetchStream(next->Particles.Pool(), kPassPrefetchBytes);
        }
        size_t n = 0;
        ListVisit(
            e->Particles,
            [&](const Particle& p) {
                // Centred with the unrounded size, in float: (offset + X) - Size * 0.5, then
                // rounded half to even, so 97.5 and 98.5 both land on 98.
                const float half = p.Size * 0.5f;
                const float left = dx + p.X - half;
                const float top = dy + p.Y - half;
                const float values[4] = {p.Size, left, top, p.Transparency};
                int32_t rounded[4];
                RoundFloatsToInt(values, rounded);
                QuadDraw& d = run[n++];
                d.Quad = p.Sprite;
                d.Degrees = p.Angle;
                std::memcpy(&d.Size, rounded, sizeof rounded);  // Size, X, Y, Alpha
                if (n == kRun) {
                    DrawQuadSprites(e->BlendSource, e->BlendDestination, run, n);
                    n = 0;
                }
            },
            ahead);
        // Each particle sets its emitter's blend factors, its size and its angle, then draws.
        DrawQuadSprites(e->BlendSource, e->BlendDestination, run, n);
    }
    return 0;
}

}  // namespace pp
