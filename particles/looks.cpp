// Curves over life, colours, sprite sheet frames and cells of particles with optional keys.
#include "particles/looks.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "particles/motion.h"
#include "runtime/convert.h"

namespace pp {
namespace {

int32_t AtLeastOne(int32_t n) {
    return n < 1 ? 1 : n;
}

// A colour channel in bytes: held in [0, 255] first (NaN gives 0), then rounded half to even.
uint8_t ChannelByte(float value) {
    if (!(value > 0.0f)) return 0;
    if (value > 255.0f) return 255;
    return static_cast<uint8_t>(RoundFloatToInt(value));
}

}  // namespace

int32_t SheetFrames(const SpriteSheetParams& sheet) {
    if (sheet.Frames <= 0) return 0;
    const int64_t cells = static_cast<int64_t>(AtLeastOne(sheet.Columns)) * AtLeastOne(sheet.Rows);
    return sheet.Frames < cells ? sheet.Frames : static_cast<int32_t>(cells);
}

int32_t SheetFrame(const SpriteSheetParams& sheet, int32_t startFrame, int32_t ageMs,
                   float fraction) {
    const int32_t frames = SheetFrames(sheet);
    if (frames == 0) return 0;
    if (sheet.Rate > 0.0f) {
        const float ageSeconds = static_cast<float>(ageMs) * 0.001f;
        const float product = ageSeconds * sheet.Rate;
        int32_t k = 0;
        if (product >= 0.0f && product < 2147483648.0f) {
            k = TruncToInt(product) % frames;  // truncation is the floor here
        } else {
            const float steps = std::floor(product);
            // Far out of range, or negative: fmod is exact; a negative remainder moves into
            // [0, frames), a NaN one (from an infinite count of steps) counts as 0.
            double r = std::fmod(static_cast<double>(steps), static_cast<double>(frames));
            if (!(r >= 0.0)) r = r < 0.0 ? r + frames : 0.0;
            k = TruncToInt(r);
        }
        // Both in [0, frames): their sum wraps at most once.
        int32_t start = startFrame;
        if (start < 0 || start >= frames) {
            start %= frames;
            if (start < 0) start += frames;
        }
        const int64_t frame = static_cast<int64_t>(start) + k;
        return static_cast<int32_t>(frame >= frames ? frame - frames : frame);
    }
    const float k = std::floor(fraction * static_cast<float>(frames));
    if (!(k > 0.0f)) return 0;
    if (k >= static_cast<float>(frames)) return frames - 1;
    const int32_t frame = TruncToInt(k);
    return frame < frames ? frame : frames - 1;
}

SheetCell SheetCellOf(const SpriteSheetParams& sheet, int32_t frame) {
    const int32_t frames = SheetFrames(sheet);
    if (frames == 0) return {0.0f, 0.0f, 1.0f, 1.0f};
    if (frame < 0 || frame >= frames) frame = 0;
    const int32_t columns = AtLeastOne(sheet.Columns);
    const auto across = static_cast<float>(columns);
    const auto down = static_cast<float>(AtLeastOne(sheet.Rows));
    const int32_t column = frame % columns;
    const int32_t row = frame / columns;
    return {static_cast<float>(column) / across, static_cast<float>(row) / down,
            static_cast<float>(column + 1) / across, static_cast<float>(row + 1) / down};
}

ParticleLife StartLife(Engine& engine, const ExtraParams& extras, int32_t birth, float lifeMs) {
    const int32_t frames = SheetFrames(extras.SpriteSheet);
    int32_t start = 0;
    if (frames > 0 && extras.SpriteSheet.Random != 0) start = RandomInt(engine.Random, frames - 1);
    ParticleLife life{birth, lifeMs, start, 0.0f, 0};
    life.Frame = SheetFrame(extras.SpriteSheet, start, 0, 0.0f);
    return life;
}

void AdvanceLife(const ExtraParams& extras, ParticleLife& life, int32_t now) {
    life.Fraction = LifeFractionAt(life, now);
    life.Frame = SheetFrame(extras.SpriteSheet, life.StartFrame, ClockDiff(now, life.BirthTime),
                            life.Fraction);
}

int32_t AnimatedSprite(const Engine& engine, const EmitterParams& e, float fraction) {
    const int32_t count = e.SpriteList.Count;
    // fraction x count lies in [0, 16], so the conversion is defined.
    const int32_t k = std::min(count - 1, TruncToInt(fraction * static_cast<float>(count)));
    return engine.FirstSpriteFileNumber + e.SpriteList.Index[static_cast<size_t>(k)];
}

ParticleLooks LooksOf(const ExtraParams& extras, const Particle& p, const ParticleLife& life,
                      const ParticleMotion* motion) {
    const float t = life.Fraction;
    const bool endSize = motion != nullptr && extras.Motion.EndSize.Set != 0;
    const bool colours = motion != nullptr && HasColours(extras.Motion);
    ParticleLooks looks{};
    float size = p.Size;
    if (endSize) {
        size = p.Size + motion->SizeChange * t;
        if (!(size > 0.0f)) size = 0.0f;
    }
    looks.Size = size;
    if (extras.SizeOverLife.Count > 0)
        looks.Size = size * EvaluateLifeCurve(extras.SizeOverLife, t)[0];
    looks.Height = looks.Size;
    if (extras.Aspect > 0.0f) looks.Height = looks.Size / extras.Aspect;
    if (extras.Stretch.Factor > 0.0f) {
        looks.Size = looks.Size * StretchOf(extras.Stretch, p.VelocityX, p.VelocityY);
    }
    looks.Transparency = p.Transparency;
    if (extras.TransparencyOverLife.Count > 0) {
        looks.Transparency = p.Transparency * EvaluateLifeCurve(extras.TransparencyOverLife, t)[0];
    }
    std::array<float, 3> colour = extras.Colour;
    if (extras.ColourOverLife.Count > 0) {
        const std::array<float, 3> curve = EvaluateLifeCurve(extras.ColourOverLife, t);
        for (size_t c = 0; c < 3; ++c) colour[c] = colour[c] * curve[c] / 255.0f;
    }
    if (colours) {
        std::array<float, 4> own;
        for (size_t c = 0; c < 4; ++c) own[c] = motion->Colour[c] + motion->ColourChange[c] * t;
        for (size_t c = 0; c < 3; ++c) colour[c] = colour[c] * own[c] / 255.0f;
        looks.Transparency = looks.Transparency * own[3] / 255.0f;
    }
    looks.Red = ChannelByte(colour[0]);
    looks.Green = ChannelByte(colour[1]);
    looks.Blue = ChannelByte(colour[2]);
    looks.Cell = SheetCellOf(extras.SpriteSheet, life.Frame);
    return looks;
}

}  // namespace pp
