// The per-frame update: emit, then move, accelerate, grow, spin, fade and cull every particle.
#include <cstdint>

#include "particles/particles.h"
#include "runtime/convert.h"

namespace pp {
namespace {

// Explicit Euler: the position moves with the old velocity, then the velocity takes up the
// acceleration. Returns true when the particle has died by age, size or opacity.
bool AdvanceParticle(Particle& p, float dt, float ax, float ay, float raise, float fade,
                     int32_t now) {
    p.X += dt * p.VelocityX;
    p.Y += dt * p.VelocityY;
    p.VelocityX += dt * ax;
    p.VelocityY += dt * ay;
    p.Size += dt * raise;
    p.Angle += p.RotationStep;  // per update, whatever dt is
    p.Transparency += dt * fade;
    // A state that overflowed to an infinity or became NaN (inf - inf) ends the particle too:
    // a NaN size or opacity would never fall below 1 and would reach drawing.
    return ClockDiff(now, p.DeathTime) > 0 || p.Size < 1.0f || p.Transparency < 1.0f ||
           !ParticleStateIsFinite(p);
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
    while (Emitter* e = ListNext(emitters)) {
        EmitDueParticles(engine, *e, now);

        const float ax = e->AccelerationX;
        const float ay = e->AccelerationY;
        const float raise = e->Raise;
        const float fade = e->Fade;
        RecordList<Particle>& particles = e->Particles;
        bool metParticle = false;
        ListRewind(particles);
        while (Particle* p = ListNext(particles)) {
            metParticle = true;
            // Removal steps the cursor back, so the next ListNext yields the follower.
            if (AdvanceParticle(*p, dt, ax, ay, raise, fade, now)) ListRemove(particles);
        }
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
