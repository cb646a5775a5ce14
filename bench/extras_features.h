// The optional keys the benchmarks weigh one at a time against a plain emitter: a colour curve,
// a size curve, drag and spin, and a sprite sheet, each as an effect author would set it.
#pragma once

#include <cstdint>

#include "particles/particles.h"

namespace pp {

inline constexpr const char* kFeatureNames[] = {"colour curve", "size curve", "drag + spin",
                                                "sprite sheet"};

inline void SetFeature(ExtraParams& x, int64_t feature) {
    switch (feature) {
        case 0:
            x.Colour = {255.0f, 200.0f, 160.0f};
            x.ColourOverLife.Count = 3;
            x.ColourOverLife.Time = {0.0f, 0.5f, 1.0f};
            x.ColourOverLife.Value[0] = {255.0f, 230.0f, 120.0f};
            x.ColourOverLife.Value[1] = {255.0f, 90.0f, 20.0f};
            x.ColourOverLife.Value[2] = {60.0f, 60.0f, 60.0f};
            break;
        case 1:
            x.SizeOverLife.Count = 2;
            x.SizeOverLife.Time = {0.0f, 1.0f};
            x.SizeOverLife.Value = {{{0.5f}, {2.0f}}};
            break;
        case 2:
            x.Drag = 0.5f;
            x.Spin = 45.0f;
            break;
        default:
            x.SpriteSheet = {4, 4, 16, 12.0f, 1};
            break;
    }
}

// Spreads the particles' Life records over their lives and the sheet's frames, as a running
// effect has them.
inline void SpreadLives(Emitter& e) {
    ParticleLife* life = e.Life.First();
    for (int32_t i = 0; i < e.Life.Count(); ++i) {
        life[i].Fraction = static_cast<float>(i % 101) * 0.01f;
        life[i].Frame = i % 16;
    }
}

}  // namespace pp
