#include "particles/draw_particles.h"

#include "render/quad_sprites.h"
#include "runtime/convert.h"

namespace pp {

int32_t DrawParticles(Engine& engine, int32_t offsetX, int32_t offsetY, int32_t layer) {
    const float dx = static_cast<float>(offsetX);
    const float dy = static_cast<float>(offsetY);
    ListRewind(engine.Emitters);
    while (Emitter* e = ListNext(engine.Emitters)) {
        if (e->Layer != layer) continue;
        ListRewind(e->Particles);
        while (Particle* p = ListNext(e->Particles)) {
            SetQuadBlending(e->BlendSource, e->BlendDestination);
            const int32_t size = RoundToInt(p->Size);
            SetQuadSize(p->Sprite, size, size);
            SetQuadAngle(p->Sprite, p->Angle, 0);
            // Centred with the unrounded size, in float: (offset + X) - Size * 0.5, then
            // rounded half to even, so 97.5 and 98.5 both land on 98.
            const float half = p->Size * 0.5f;
            const float left = dx + p->X - half;
            const float top = dy + p->Y - half;
            DrawQuadSprite(p->Sprite, RoundToInt(left), RoundToInt(top),
                           RoundToInt(p->Transparency));
        }
    }
    return 0;
}

}  // namespace pp
