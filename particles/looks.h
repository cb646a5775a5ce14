// How a particle of an emitter with optional keys looks at a point of its life: the curves
// over life, the colour, the sprite sheet frame and its texture cell, and the per-particle
// state behind them (Emitter::Life). Shared by the update, the renderer and the vertex array.
// All arithmetic is 32-bit float in the written order.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

#include "particles/particles.h"
#include "runtime/convert.h"

namespace pp {

// The curve's value at life fraction t: the first key's value up to its time (and for a NaN
// t), the last key's from its time on, and between keys i and i + 1 (Time[i] <= t <
// Time[i + 1]) V[i] + (V[i + 1] - V[i]) * ((t - Time[i]) / (Time[i + 1] - Time[i])) per
// channel. Keys of equal time make a step: from that time on the later key holds. Times out
// of order never divide by zero or a negative span (the search only stops where t has
// reached one key and not the next). Count beyond kMaxLifeKeys counts as kMaxLifeKeys; a
// curve without keys gives 1 in every channel.
template <int N>
std::array<float, N> EvaluateLifeCurve(const LifeCurve<N>& curve, float t) {
    const int32_t n = curve.Count < kMaxLifeKeys ? curve.Count : kMaxLifeKeys;
    std::array<float, N> out;
    if (n <= 0) {
        out.fill(1.0f);
        return out;
    }
    if (!(t > curve.Time[0])) return curve.Value[0];
    for (int32_t i = 0; i + 1 < n; ++i) {
        const float next = curve.Time[static_cast<size_t>(i) + 1];
        if (t < next) {
            const auto k = static_cast<size_t>(i);
            const float f = (t - curve.Time[k]) / (next - curve.Time[k]);
            for (size_t c = 0; c < static_cast<size_t>(N); ++c) {
                const float a = curve.Value[k][c];
                out[c] = a + (curve.Value[k + 1][c] - a) * f;
            }
            return out;
        }
    }
    return curve.Value[static_cast<size_t>(n) - 1];
}

// The frames a sprite sheet shows: Frames, at most Columns x Rows (a side below 1 counts as
// 1); 0 when there is no sheet.
int32_t SheetFrames(const SpriteSheetParams& sheet);

// The frame a particle shows ageMs after its birth at life fraction `fraction`: with Rate > 0,
// (startFrame + floor(ageSeconds * Rate)) mod frames, else floor(fraction * frames) held in
// [0, frames - 1]. Always in [0, frames) for frames > 0, whatever the inputs; 0 without a
// sheet.
int32_t SheetFrame(const SpriteSheetParams& sheet, int32_t startFrame, int32_t ageMs,
                   float fraction);

// Texture coordinates of a frame's cell: column k mod Columns, row k / Columns, each cell
// 1 / Columns x 1 / Rows of the texture. The whole texture (0, 0, 1, 1) without a sheet.
struct SheetCell {
    float U0, V0, U1, V1;
};
SheetCell SheetCellOf(const SpriteSheetParams& sheet, int32_t frame);

// (now - BirthTime) / LifeMs in float, held in [0, 1] (NaN gives 0).
inline float LifeFractionAt(const ParticleLife& life, int32_t now) {
    const float t = static_cast<float>(ClockDiff(now, life.BirthTime)) / life.LifeMs;
    if (!(t > 0.0f)) return 0.0f;
    return t > 1.0f ? 1.0f : t;
}

// A new particle's record: born at `birth` with lifeMs to live. Draws the random start frame
// when the sheet asks for one (one generator step), and nothing otherwise.
ParticleLife StartLife(Engine& engine, const ExtraParams& extras, int32_t birth, float lifeMs);

// Fraction and Frame at clock reading now.
void AdvanceLife(const ExtraParams& extras, ParticleLife& life, int32_t now);

// What the renderer draws for one particle: its size and transparency as drawn (before
// rounding; the curves multiply the stored ones), the colour multiplying its sprite (0 to
// 255: Colour times ColourOverLife / 255 per channel, held in range and rounded half to even),
// its texture cell, and the quad's height: Size is its width, along the sprite's own x axis.
// The height is the width, or with Aspect above 0 the width / Aspect. With Stretch the width
// then grows by its speed (StretchOf); the height stays.
struct ParticleLooks {
    float Size, Transparency;
    uint8_t Red, Green, Blue;
    SheetCell Cell;
    float Height;
};
// How many times its size a particle of speed |(vx, vy)| is drawn long: 1 + Factor * speed,
// at most Max (a speed too large for a float, or NaN, gives Max).
inline float StretchOf(const StretchParams& stretch, float vx, float vy) {
    const float m = 1.0f + stretch.Factor * std::sqrt(vx * vx + vy * vy);
    return m < stretch.Max ? m : stretch.Max;
}
// With the particle's Motion record (nullptr for none), EndSize adds its share to the size
// before SizeOverLife, and the start and end colours multiply the colour and the transparency
// (see motion.h).
ParticleLooks LooksOf(const ExtraParams& extras, const Particle& p, const ParticleLife& life,
                      const ParticleMotion* motion = nullptr);

// A particle's quad as drawn from its looks, moved by (dx, dy): the width and height rounded
// half to even, the top-left corner the position less half of each, rounded the same way, and
// the transparency rounded. A square's four numbers are rounded together, as the plain runs
// round theirs.
struct RoundedQuad {
    int32_t Width, Height, X, Y, Alpha;
};
inline RoundedQuad RoundLooks(const Particle& p, const ParticleLooks& l, float dx, float dy) {
    const float half = l.Size * 0.5f;
    const float values[4] = {l.Size, dx + p.X - half, dy + p.Y - half, l.Transparency};
    int32_t rounded[4];
    RoundFloatsToInt(values, rounded);
    RoundedQuad q{rounded[0], rounded[0], rounded[1], rounded[2], rounded[3]};
    if (!(l.Height == l.Size)) {
        q.Height = RoundFloatToInt(l.Height);
        q.Y = RoundFloatToInt(dy + p.Y - l.Height * 0.5f);
    }
    return q;
}

// The sprite number a particle of an emitter with a SpriteFile list (SpriteList.Count > 0)
// shows at life fraction `fraction` (0 to 1) under SpriteMode 2: its image
// min(Count - 1, floor(fraction x Count)).
int32_t AnimatedSprite(const Engine& engine, const EmitterParams& e, float fraction);

// For the engine. Gives the particle `p`, just inserted into emitter.Particles, its Life
// record at the same place (StartLife, so its random draw comes after all of the spawn's),
// and with motion keys its Motion record (StartMotion's draws after that; it may place and
// turn the particle); under SpriteMode 1 with a SpriteFile list, last, the image it draws with.
// When the lists are out of step the record is dropped; the next update rebuilds them.
void AddParticleLife(Engine& engine, Emitter& emitter, Particle* p, int32_t birth, float lifeMs);

// For the engine: one update pass over an emitter with optional keys, as the plain pass
// moves, ages and removes the particles (the same float operations on the same fields), then
// Drag (velocity times max(0, 1 - Drag * dt) after the acceleration) and Spin (Spin * dt
// degrees after Rotation's step), and the Life records advanced to now and compacted with
// the particles. Lists out of step (keys set on an emitter with live particles) are rebuilt
// first: each particle counts as born at now, with the rest of its life to live. Returns
// whether the list held a particle. With OnDeath, each particle that dies is recorded for the
// effect it starts (RecordSubEffect), in list order, so the pass runs on the calling thread.
bool UpdateParticlesWithExtras(Engine& engine, Emitter& e, float dt, int32_t now);

}  // namespace pp
