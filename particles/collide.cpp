// Collide's lines and its step (the rules are in collide.h).
#include "particles/collide.h"

#include <cmath>
#include <cstdint>

namespace pp {
namespace {

CollideAt At(const CollideLine& l, const Emitter& e) {
    const float ox = l.Screen != 0 ? 0.0f : e.PositionX;
    const float oy = l.Screen != 0 ? 0.0f : e.PositionY;
    CollideAt at{0.0f,
                 0.0f,
                 0.0f,
                 0.0f,
                 0.0f,
                 0.0f,
                 0.0f,
                 l.Bounce,
                 1.0f + l.Bounce,
                 1.0f - l.Friction,
                 l.Die != 0,
                 false};
    switch (l.Form) {
        case CollideForm::Floor:
            at.AY = oy + l.A, at.NY = -1.0f;
            break;
        case CollideForm::Ceiling:
            at.AY = oy + l.A, at.NY = 1.0f;
            break;
        case CollideForm::Left:
            at.AX = ox + l.A, at.NX = 1.0f;
            break;
        case CollideForm::Right:
            at.AX = ox + l.A, at.NX = -1.0f;
            break;
        case CollideForm::Segment: {
            at.AX = ox + l.A, at.AY = oy + l.B;
            at.DX = (ox + l.C) - at.AX, at.DY = (oy + l.D) - at.AY;
            at.Length2 = at.DX * at.DX + at.DY * at.DY;
            const float length = std::sqrt(at.Length2);
            at.NX = -at.DY / length, at.NY = at.DX / length;
            at.Segment = true;
            break;
        }
    }
    return at;
}

}  // namespace

CollideFrame CollideOf(const Emitter& e) {
    CollideFrame c{};
    const CollideParams& p = e.Extras.Collide;
    for (int32_t i = 0; i < p.Count && i < kMaxCollideLines; ++i) {
        const CollideAt at = At(p.Lines[static_cast<size_t>(i)], e);
        // Ends that coincide (or a length that overflows) give no normal.
        if (!std::isfinite(at.NX) || !std::isfinite(at.NY) || (at.NX == 0.0f && at.NY == 0.0f)) {
            continue;
        }
        c.Lines[static_cast<size_t>(c.Count++)] = at;
    }
    return c;
}

CollideHit Collide(const CollideFrame& c, float x0, float y0, float& x, float& y, float& vx,
                   float& vy) {
    CollideHit hit;
    for (int32_t i = 0; i < c.Count; ++i) {
        const CollideAt& l = c.Lines[static_cast<size_t>(i)];
        float nx = l.NX;
        float ny = l.NY;
        float s0 = (x0 - l.AX) * nx + (y0 - l.AY) * ny;
        float s = (x - l.AX) * nx + (y - l.AY) * ny;
        if (l.Segment && s0 < 0.0f) nx = -nx, ny = -ny, s0 = -s0, s = -s;
        if (!(s0 >= 0.0f && s < 0.0f)) continue;
        const float t = s0 / (s0 - s);
        const float hx = x0 + t * (x - x0);
        const float hy = y0 + t * (y - y0);
        if (l.Segment) {
            const float along = (hx - l.AX) * l.DX + (hy - l.AY) * l.DY;
            if (!(along >= 0.0f && along <= l.Length2)) continue;
        }
        if (!hit.Hit) hit.Hit = true, hit.X = hx, hit.Y = hy;
        if (l.Die) {
            hit.Dies = true;
            x = hx, y = hy;
            return hit;
        }
        const float fold = s * l.Fold;
        x = x - nx * fold, y = y - ny * fold;
        const float vn = vx * nx + vy * ny;
        const float tx = vx - nx * vn;
        const float ty = vy - ny * vn;
        const float w = vn < 0.0f ? -l.Bounce * vn : vn;
        vx = tx * l.Keep + nx * w, vy = ty * l.Keep + ny * w;
    }
    return hit;
}

}  // namespace pp
