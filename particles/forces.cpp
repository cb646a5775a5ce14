// The Attractor's and the Vortex's step (the rules are in forces.h).
#include "particles/forces.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace pp {
namespace {

ForceAt At(const ForcePoint& p, const Emitter& e, float dt) {
    const bool screen = p.Screen != 0;
    return ForceAt{p.Strength != 0.0f,
                   screen ? p.X : e.PositionX + p.X,
                   screen ? p.Y : e.PositionY + p.Y,
                   dt * p.Strength,
                   p.Radius,
                   p.Falloff};
}

// k and the unit vector towards the force's point; false where the force does nothing.
bool Pull(const ForceAt& f, float x, float y, float& k, float& ux, float& uy) {
    const float dx = f.X - x;
    const float dy = f.Y - y;
    const float d = std::sqrt(dx * dx + dy * dy);
    if (!(d > 0.0f)) return false;
    float w = 1.0f;
    if (f.Radius > 0.0f) {
        if (!(d < f.Radius)) return false;
        const float t = 1.0f - d / f.Radius;
        for (int32_t i = 0; i < f.Falloff; ++i) w = w * t;
    }
    k = f.Step * w;
    ux = dx / d;
    uy = dy / d;
    return true;
}

}  // namespace

ForceFrame ForcesOf(const Emitter& e, float dt) {
    ForceFrame f{};
    f.Attractors = e.Extras.Attractor.Count;
    f.Vortices = e.Extras.Vortex.Count;
    for (int32_t i = 0; i < f.Attractors; ++i) {
        f.Attractor[static_cast<std::size_t>(i)] =
            At(e.Extras.Attractor.Points[static_cast<std::size_t>(i)], e, dt);
    }
    for (int32_t i = 0; i < f.Vortices; ++i) {
        f.Vortex[static_cast<std::size_t>(i)] =
            At(e.Extras.Vortex.Points[static_cast<std::size_t>(i)], e, dt);
    }
    return f;
}

void ApplyForces(const ForceFrame& f, float x, float y, float& vx, float& vy) {
    float k;
    float ux;
    float uy;
    for (int32_t i = 0; i < f.Attractors; ++i) {
        const ForceAt& a = f.Attractor[static_cast<std::size_t>(i)];
        if (!a.On || !Pull(a, x, y, k, ux, uy)) continue;
        vx = vx + k * ux;
        vy = vy + k * uy;
    }
    for (int32_t i = 0; i < f.Vortices; ++i) {
        const ForceAt& v = f.Vortex[static_cast<std::size_t>(i)];
        if (!v.On || !Pull(v, x, y, k, ux, uy)) continue;
        vx = vx - k * uy;
        vy = vy + k * ux;
    }
}

}  // namespace pp
