// The optional keys the benchmarks weigh one at a time against a plain emitter: a colour curve,
// a size curve, drag and spin, a sprite sheet, the motion keys, collision and a trail, each as an
// effect author would set it.
#pragma once

#include <cstdint>

#include "particles/particles.h"

namespace pp {

inline constexpr const char* kFeatureNames[] = {
    "colour curve",        "size curve", "drag + spin",      "sprite sheet",
    "radial + tangential", "orbit",      "end size + angle", "start + end colour",
    "align to motion",     "attached",   "turbulence",       "collide",
    "trail (8)",           "stretch"};
// How many features the benchmarks sweep.
inline constexpr int64_t kFeatures = 14;
// The turbulence feature, which the million-particle benchmark takes by name.
inline constexpr int64_t kTurbulenceFeature = 10;

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
        case 3:
            x.SpriteSheet = {4, 4, 16, 12.0f, 1};
            break;
        case 4:
            x.Motion.RadialAcceleration = {1, {20.0f, 40.0f, 1.0f}};
            x.Motion.TangentialAcceleration = {1, {-30.0f, 30.0f, 1.0f}};
            break;
        case 5:
            x.Motion.OrbitRadius = {1, {10.0f, 30.0f, 1.0f}};
            x.Motion.OrbitEndRadius = {1, {100.0f, 100.0f, 1.0f}};
            x.Motion.OrbitSpin = {1, {90.0f, 180.0f, 1.0f}};
            break;
        case 6:
            x.Motion.EndSize = {1, {4.0f, 4.0f, 1.0f}};
            x.Motion.Angle = {1, {0.0f, 359.0f, 1.0f}};
            x.Motion.EndAngle = {1, {720.0f, 720.0f, 1.0f}};
            break;
        case 7:
            x.Motion.StartColour = {1, {255.0f, 200.0f, 80.0f, 255.0f}};
            x.Motion.StartColourVariance = {1, {0.0f, 30.0f, 30.0f, 0.0f}};
            x.Motion.EndColour = {1, {200.0f, 0.0f, 0.0f, 0.0f}};
            break;
        case 8:
            x.AlignToMotion = 1;
            break;
        case 9:
            x.Attached = 1;
            break;
        case kTurbulenceFeature:
            x.Turbulence = {60.0f, 80.0f, 1.0f, 0};
            break;
        case 11: {
            // A box the particles bounce about in without losing speed, and a segment below it
            // that none reaches: five lines tested per particle, some of them hit.
            x.Collide.Count = 5;
            x.Collide.Lines[0].Form = CollideForm::Floor, x.Collide.Lines[0].A = 150.0f;
            x.Collide.Lines[1].Form = CollideForm::Ceiling, x.Collide.Lines[1].A = -150.0f;
            x.Collide.Lines[2].Form = CollideForm::Left, x.Collide.Lines[2].A = -150.0f;
            x.Collide.Lines[3].Form = CollideForm::Right, x.Collide.Lines[3].A = 150.0f;
            x.Collide.Lines[4] = {CollideForm::Segment, -100.0f, 400.0f, 100.0f, 420.0f};
            break;
        }
        case 12:
            x.Trail.Points = 8;
            break;
        default:
            x.Stretch = {0.02f, 4.0f};
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
