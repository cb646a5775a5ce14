#include "draw/trail_draws.h"

#include <cstddef>

#include "draw/quad_tinted.h"
#include "particles/trails.h"
#include "runtime/convert.h"

namespace pp {
namespace {

constexpr size_t kSegments = kMaxTrailPoints - 1;

// A ribbon's quads, one from each place to the next.
struct RibbonQuads {
    float Xy[kSegments * 8];
    uint8_t Alpha[kSegments * 4];
    uint8_t Rgb[kSegments * 3];
    float Uv[kSegments * 8];
};

uint8_t Shaded(uint8_t channel, float shade) {
    // shade is 0 to 1, so the product stays within 0 to 255.
    return static_cast<uint8_t>(RoundFloatToInt(static_cast<float>(channel) * shade));
}

}  // namespace

void DrawTrailOf(const Emitter& e, int32_t index, const Particle& p, const ParticleLooks& l,
                 float dx, float dy) {
    TrailPoint places[kMaxTrailPoints];
    const int32_t count = TrailPlaces(e, index, places);
    if (count < 2) return;
    TrailRibbon ribbon;
    RibbonOf(e.Extras.Trail, places, count, l.Size, l.Transparency, dx, dy, ribbon);
    RibbonQuads q;
    uint8_t alpha[kMaxTrailPoints];
    float v[kMaxTrailPoints];
    for (int32_t k = 0; k < ribbon.Count; ++k) {
        // Wrapped as a quad's alpha is.
        alpha[k] = static_cast<uint8_t>(RoundFloatToInt(ribbon.Opacity[k]) & 0xFF);
        v[k] = l.Cell.V0 + (l.Cell.V1 - l.Cell.V0) * ribbon.Along[k];
    }
    const auto segments = static_cast<size_t>(ribbon.Count - 1);
    for (size_t s = 0; s < segments; ++s) {
        const size_t a = s;
        const size_t b = s + 1;
        // Right edge first: seen from the particle down the ribbon, that winds each quad as a
        // sprite's quad winds, so that culling keeps it.
        const float xy[8] = {ribbon.RightX[a], ribbon.RightY[a], ribbon.LeftX[a], ribbon.LeftY[a],
                             ribbon.RightX[b], ribbon.RightY[b], ribbon.LeftX[b], ribbon.LeftY[b]};
        const float uv[8] = {l.Cell.U0, v[a], l.Cell.U1, v[a], l.Cell.U0, v[b], l.Cell.U1, v[b]};
        const uint8_t corners[4] = {alpha[a], alpha[a], alpha[b], alpha[b]};
        for (size_t c = 0; c < 8; ++c) {
            q.Xy[s * 8 + c] = xy[c];
            q.Uv[s * 8 + c] = uv[c];
        }
        for (size_t c = 0; c < 4; ++c) q.Alpha[s * 4 + c] = corners[c];
        q.Rgb[s * 3] = Shaded(l.Red, ribbon.Shade[a]);
        q.Rgb[s * 3 + 1] = Shaded(l.Green, ribbon.Shade[a]);
        q.Rgb[s * 3 + 2] = Shaded(l.Blue, ribbon.Shade[a]);
    }
    DrawTintedQuads(e.BlendSource, e.BlendDestination, p.Sprite,
                    TintedQuads{segments, q.Xy, q.Alpha, q.Rgb, q.Uv});
}

}  // namespace pp
