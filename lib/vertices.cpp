#include "particleplayer/vertices.h"

#include <cmath>

#include "lib/world_access.h"
#include "particles/looks.h"
#include "platform/quad_geometry.h"
#include "runtime/convert.h"

namespace particleplayer {
namespace {

// Corner order of the quad geometry (top-left, top-right, bottom-left, bottom-right) and the
// two triangles drawn from it.
constexpr int kTriangleCorners[6] = {0, 1, 2, 2, 1, 3};

// How a particle of a plain emitter is drawn: its own size and transparency, white, the whole
// texture.
pp::ParticleLooks PlainLooks(const pp::Particle& p) {
    return {p.Size, p.Transparency, 255, 255, 255, {0.0f, 0.0f, 1.0f, 1.0f}};
}

// Appends one particle's quad unless it shows nothing; the rounding and corners are those of
// the bundled renderer, the size, transparency, colour and cell those it draws with.
bool AppendQuad(const pp::Particle& p, const pp::ParticleLooks& looks, float dx, float dy,
                std::vector<Vertex>& out) {
    const float half = looks.Size * 0.5f;
    const float values[4] = {looks.Size, dx + p.X - half, dy + p.Y - half, looks.Transparency};
    int32_t rounded[4];
    pp::RoundFloatsToInt(values, rounded);
    const int32_t size = rounded[0];
    if (size == 0) return false;
    pp::CornerFloats x;
    pp::CornerFloats y;
    pp::QuadCornersOf(size, size, pp::QuadAngleRadians(p.Angle, 0.0f, 0), x, y);
    const float left = static_cast<float>(rounded[1]);
    const float top = static_cast<float>(rounded[2]);
    for (int c = 0; c < 4; ++c) {
        if (!std::isfinite(x[c] + left) || !std::isfinite(y[c] + top)) return false;
    }
    const auto alpha = static_cast<uint8_t>(static_cast<uint32_t>(rounded[3]) & 0xFFu);
    for (const int c : kTriangleCorners) {
        const float u = (c & 1) != 0 ? looks.Cell.U1 : looks.Cell.U0;
        const float v = (c & 2) != 0 ? looks.Cell.V1 : looks.Cell.V0;
        out.push_back({x[c] + left, y[c] + top, u, v, looks.Red, looks.Green, looks.Blue, alpha});
    }
    return true;
}

}  // namespace

Status BuildVertices(World& world, VertexArray& out, int32_t layer, int32_t offsetX,
                     int32_t offsetY) {
    out.Vertices.clear();
    out.Runs.clear();
    pp::Engine& engine = WorldAccess::EngineOf(world);
    const float dx = static_cast<float>(offsetX);
    const float dy = static_cast<float>(offsetY);
    pp::ListRewind(engine.Emitters);
    while (pp::Emitter* e = pp::ListNext(engine.Emitters)) {
        if (e->Layer != layer) continue;
        // An emitter with optional keys draws by its Life records while they are in step.
        const pp::ParticleLife* life = e->Life.Count() == e->Particles.Count() && pp::HasExtras(*e)
                                           ? e->Life.First()
                                           : nullptr;
        pp::ListVisit(e->Particles, [&](const pp::Particle& p) {
            const auto first = static_cast<uint32_t>(out.Vertices.size());
            const pp::ParticleLooks looks =
                life != nullptr ? pp::LooksOf(e->Extras, p, *life++) : PlainLooks(p);
            if (!AppendQuad(p, looks, dx, dy, out.Vertices)) return;
            VertexRun* last = out.Runs.empty() ? nullptr : &out.Runs.back();
            if (last != nullptr && last->Sprite == p.Sprite &&
                last->BlendSource == e->BlendSource &&
                last->BlendDestination == e->BlendDestination) {
                last->Count += 6;
            } else {
                out.Runs.push_back({p.Sprite, e->BlendSource, e->BlendDestination, first, 6});
            }
        });
    }
    return {};
}

}  // namespace particleplayer
