#include "app/effect_json.h"

#include <array>
#include <cstddef>
#include <string_view>
#include <type_traits>

#include "app/json_text.h"
#include "particles/param_fields.h"

namespace pp {
namespace {

void AppendKey(std::string& out, std::string_view key) {
    if (out.back() != '{') out += ", ";
    out += '"';
    out += key;
    out += "\": ";
}

void AppendField(std::string& out, std::string_view key, float value) {
    AppendKey(out, key);
    AppendJsonFloat(out, value);
}

void AppendField(std::string& out, std::string_view key, int32_t value) {
    AppendKey(out, key);
    AppendJsonInt(out, value);
}

// A triple as {"Min": .., "Max": .., "Inc": ..}, in floats or integers as it holds them.
template <class Spec>
requires std::is_same_v<Spec, ValueSpec> || std::is_same_v<Spec, IntValueSpec>
void AppendField(std::string& out, std::string_view key, const Spec& spec) {
    AppendKey(out, key);
    out += "{";
    AppendField(out, "Min", spec.Min);
    AppendField(out, "Max", spec.Max);
    AppendField(out, "Inc", spec.Inc);
    out += "}";
}

void AppendFloats(std::string& out, const float* values, std::size_t count) {
    out += "[";
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) out += ", ";
        AppendJsonFloat(out, values[i]);
    }
    out += "]";
}

// A curve as [[time, value...], ...] in the order of its keys.
template <int Channels>
void AppendField(std::string& out, std::string_view key, const LifeCurve<Channels>& curve) {
    AppendKey(out, key);
    out += "[";
    for (int32_t k = 0; k < curve.Count; ++k) {
        if (k > 0) out += ", ";
        std::array<float, Channels + 1> row{};
        row[0] = curve.Time[k];
        for (int c = 0; c < Channels; ++c) row[c + 1] = curve.Value[k][c];
        AppendFloats(out, row.data(), row.size());
    }
    out += "]";
}

// A started effect with its index, and the effect itself when it is one.
void AppendField(std::string& out, std::string_view key, const SubEffectParams& sub,
                 const std::vector<EmitterParams>& subEffects) {
    AppendKey(out, key);
    out += "{";
    AppendField(out, "Effect", sub.Effect);
    AppendField(out, "Count", sub.Count);
    AppendField(out, "Inherit", sub.Inherit);
    if (sub.Effect >= 0 && static_cast<std::size_t>(sub.Effect) < subEffects.size()) {
        AppendKey(out, "Params");
        AppendEmitterJson(out, subEffects[static_cast<std::size_t>(sub.Effect)], subEffects);
    }
    out += "}";
}

void AppendExtrasJson(std::string& out, const ExtraParams& x,
                      const std::vector<EmitterParams>& subEffects) {
    AppendKey(out, "Extras");
    out += "{";
    AppendKey(out, "Colour");
    AppendFloats(out, x.Colour.data(), x.Colour.size());
    AppendField(out, "ColourOverLife", x.ColourOverLife);
    AppendField(out, "SizeOverLife", x.SizeOverLife);
    AppendField(out, "TransparencyOverLife", x.TransparencyOverLife);
    AppendField(out, "Drag", x.Drag);
    AppendField(out, "Spin", x.Spin);
    AppendKey(out, "SpriteSheet");
    out += "{";
    AppendField(out, "Columns", x.SpriteSheet.Columns);
    AppendField(out, "Rows", x.SpriteSheet.Rows);
    AppendField(out, "Frames", x.SpriteSheet.Frames);
    AppendField(out, "Rate", x.SpriteSheet.Rate);
    AppendField(out, "Random", x.SpriteSheet.Random);
    out += "}";
    AppendKey(out, "Burst");
    out += "{";
    AppendField(out, "Count", x.Burst.Count);
    AppendField(out, "Interval", x.Burst.Interval);
    AppendField(out, "Repeat", x.Burst.Repeat);
    out += "}";
    AppendField(out, "Duration", x.Duration);
    AppendField(out, "Prewarm", x.Prewarm);
    AppendField(out, "OnBirth", x.OnBirth, subEffects);
    AppendField(out, "OnDeath", x.OnDeath, subEffects);
    out += "}";
}

}  // namespace

void AppendEmitterJson(std::string& out, const EmitterParams& params,
                       const std::vector<EmitterParams>& subEffects) {
    out += "{";
    VisitParamFields(params, [&out](std::string_view name, const auto& value) {
        AppendField(out, name, value);
    });
    // Only an emitter that uses the optional keys shows them, so other outputs stay as they were.
    if (params.Extras != ExtraParams{}) AppendExtrasJson(out, params.Extras, subEffects);
    out += "}";
}

void AppendParticleJson(std::string& out, const Particle& p) {
    out += "[";
    AppendJsonInt(out, p.Sprite);
    const float floats[] = {p.Size, p.X, p.Y, p.VelocityX, p.VelocityY, p.Transparency};
    for (float value : floats) {
        out += ", ";
        AppendJsonFloat(out, value);
    }
    out += ", ";
    AppendJsonInt(out, p.DeathTime);
    out += ", ";
    AppendJsonFloat(out, p.Angle);
    out += ", ";
    AppendJsonFloat(out, p.RotationStep);
    out += "]";
}

}  // namespace pp
