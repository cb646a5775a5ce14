// The per-frame update: emit, then move, accelerate, grow, spin, fade and cull every particle.
#include <cstdint>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "particles/particles.h"
#include "runtime/convert.h"

namespace pp {
namespace {

// ParticleStateIsFinite of the new state without a branch per field: x - x is 0 for every
// finite x and NaN for infinities and NaN, and a NaN survives every sum.
bool AllFinite(float a0, float a1, float a2, float a3, float b0, float b1, float b2, float b3) {
#if defined(__SSE__)
    const __m128 a = _mm_setr_ps(a0, a1, a2, a3);
    const __m128 b = _mm_setr_ps(b0, b1, b2, b3);
    const __m128 zero = _mm_add_ps(_mm_sub_ps(a, a), _mm_sub_ps(b, b));
    // Not-equal is true for NaN lanes too.
    return _mm_movemask_ps(_mm_cmpneq_ps(zero, _mm_setzero_ps())) == 0;
#else
    const float zero = (((a0 - a0) + (a1 - a1)) + ((a2 - a2) + (a3 - a3))) +
                       (((b0 - b0) + (b1 - b1)) + ((b2 - b2) + (b3 - b3)));
    return zero == 0.0f;
#endif
}

// Explicit Euler: the position moves with the old velocity, then the velocity takes up the
// acceleration. Returns true when the particle has died by age, size or opacity.
// The new state is worked out in registers and stored once, and the death test reads those
// registers, not the record just written (reading back a record that is still being stored
// stalls the processor on every particle).
bool AdvanceParticle(Particle& p, float dt, float ax, float ay, float raise, float fade,
                     int32_t now) {
    const float vx = p.VelocityX;
    const float vy = p.VelocityY;
    const float x = p.X + dt * vx;
    const float y = p.Y + dt * vy;
    const float newVx = vx + dt * ax;
    const float newVy = vy + dt * ay;
    const float size = p.Size + dt * raise;
    const float step = p.RotationStep;
    const float angle = p.Angle + step;  // per update, whatever dt is
    const float transparency = p.Transparency + dt * fade;
    p.X = x;
    p.Y = y;
    p.VelocityX = newVx;
    p.VelocityY = newVy;
    p.Size = size;
    p.Angle = angle;
    p.Transparency = transparency;
    // A state that overflowed to an infinity or became NaN (inf - inf) ends the particle too:
    // a NaN size or opacity would never fall below 1 and would reach drawing. The four tests
    // are combined without branches: which of them holds follows no pattern.
    const int old = static_cast<int>(ClockDiff(now, p.DeathTime) > 0);
    const int faded = static_cast<int>(size < 1.0f) | static_cast<int>(transparency < 1.0f);
    const int broken =
        static_cast<int>(!AllFinite(x, y, newVx, newVy, size, transparency, angle, step));
    return (old | faded | broken) != 0;
}

}  // namespace

float UpdateParticles(Engine& engine) {
    if (!engine.Updated) {
        engine.LastUpdateTime = static_cast<int32_t>(engine.Clock->Now());
        engine.Updated = true;
    }
    auto now = static_cast<int32_t>(engine.Clock->Now());
    float dt = static_cast<float>(ClockDiff(now, engine.LastUpdateTime)) * 0.001f;
    engine.LastUpdateTime = now;

    RecordList<Emitter>& emitters = engine.Emitters;
    ListRewind(emitters);
    // Each emitter's particles are loaded while the one before is updated, so that its pass
    // finds them in the cache (see RecordPool::PrefetchStream); the first are asked for now.
    if (const Emitter* first = emitters.Peek())
        first->Particles.Pool().Prefetch(kPassPrefetchBytes);
    while (Emitter* e = ListNext(emitters)) {
        RecordPool::PrefetchStream ahead;
        if (const Emitter* next = emitters.Peek()) {
            ahead = RecordPool::PrefetchStream(next->Particles.Pool(), kPassPrefetchBytes);
        }
        EmitDueParticles(engine, *e, now);

        const float ax = e->AccelerationX;
        const float ay = e->AccelerationY;
        const float raise = e->Raise;
        const float fade = e->Fade;
        // One pass in list order, removing the dead as it goes, exactly as ListRewind,
        // ListNext and ListRemove of each dead particle would.
        const bool metParticle = ListVisitRemoving(
            e->Particles,
            [&](Particle& p) { return AdvanceParticle(p, dt, ax, ay, raise, fade, now); }, ahead);
        if (e->AutoRemove != 0 && metParticle) e->AutoRemove = -1;

        if (e->AutoRemove == 1) {
            ListRemove(emitters);
        } else if (e->AutoRemove == -1) {
            e->AutoRemove = 1;
        }
    }
    return dt;
}

}  // namespace pp
