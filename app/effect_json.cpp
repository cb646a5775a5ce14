#include "app/effect_json.h"

#include <array>
#include <cstddef>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>

#include "app/json_text.h"
#include "particleplayer/effect_files.h"
#include "particleplayer/key_table.h"

namespace pp {

particleplayer::Result<particleplayer::Effect> LoadEffectArgument(particleplayer::World& world,
                                                                  const std::string& path, float x,
                                                                  float y) {
    particleplayer::LoadOptions load;
    load.Missing = particleplayer::MissingFile::UseNameAsText;
    const std::string open = particleplayer::EffectOpenPath(path);
    const std::string folder = particleplayer::CommandLineFolder(open);
    if (folder.empty()) return world.LoadEffectFile(path, x, y, load);
    load.Folder = folder;
    return world.LoadEffectFile(particleplayer::NameInFolder(open, folder), x, y, load);
}

particleplayer::Result<particleplayer::EffectGroup> LoadGroupArgument(particleplayer::World& world,
                                                                      const std::string& path,
                                                                      float x, float y) {
    if (particleplayer::LoadsAsGroup(particleplayer::EffectOpenPath(path))) {
        return world.LoadEffectGroup(path, x, y);
    }
    const particleplayer::Result<particleplayer::Effect> one =
        LoadEffectArgument(world, path, x, y);
    particleplayer::EffectGroup group;
    if (one.Value.Id != 0) group.Members.push_back(one.Value);
    return {std::move(group), one.Error, one.Kind};
}

namespace {

using particleplayer::EffectExtras;
using particleplayer::EffectParams;
using particleplayer::IntValueRange;
using particleplayer::LifeCurve;
using particleplayer::SubEffect;
using particleplayer::ValueRange;

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
template <class Range>
requires std::is_same_v<Range, ValueRange> || std::is_same_v<Range, IntValueRange>
void AppendField(std::string& out, std::string_view key, const Range& range) {
    AppendKey(out, key);
    out += "{";
    AppendField(out, "Min", range.Min);
    AppendField(out, "Max", range.Max);
    AppendField(out, "Inc", range.Inc);
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

// A block key's record as {"Field": value, ...}: its fields named and ordered as the key table
// has them, each written as the whole number or the float it holds.
void AppendBlock(std::string& out, std::string_view key,
                 std::initializer_list<std::variant<int32_t, float>> values) {
    const std::span<const particleplayer::KeyField> fields =
        particleplayer::FindEffectKey(key)->Fields;
    AppendKey(out, key);
    out += "{";
    std::size_t i = 0;
    for (const auto& value : values) {
        std::visit([&](auto number) { AppendField(out, fields[i++].Name, number); }, value);
    }
    out += "}";
}

// A started effect with its number, and the effect itself when `started` knows it.
void AppendField(std::string& out, std::string_view key, const SubEffect& sub,
                 const StartedEffectLookup& started) {
    AppendKey(out, key);
    out += "{";
    AppendField(out, "Effect", sub.Effect);
    const auto effect = sub.Effect >= 0 && started
                            ? started(sub.Effect)
                            : particleplayer::Result<particleplayer::StartedEffect>{{}, "none"};
    if (effect.Ok()) {
        AppendKey(out, "File");
        AppendJsonString(out, effect.Value.File);
    }
    AppendField(out, "Count", sub.Count);
    AppendField(out, "Inherit", sub.Inherit);
    if (effect.Ok()) {
        AppendKey(out, "Params");
        AppendEffectJson(out, effect.Value.Params, effect.Value.Extras, started);
    }
    out += "}";
}

void AppendExtrasJson(std::string& out, const EffectExtras& x, const StartedEffectLookup& started) {
    AppendKey(out, "Extras");
    out += "{";
    AppendKey(out, "Colour");
    AppendFloats(out, x.Colour.data(), x.Colour.size());
    AppendField(out, "ColourOverLife", x.ColourOverLife);
    AppendField(out, "SizeOverLife", x.SizeOverLife);
    AppendField(out, "TransparencyOverLife", x.TransparencyOverLife);
    AppendField(out, "Drag", x.Drag);
    AppendField(out, "Spin", x.Spin);
    AppendBlock(out, "SpriteSheet",
                {x.SheetColumns, x.SheetRows, x.SheetFrames, x.SheetRate, x.SheetRandom});
    AppendBlock(out, "Burst", {x.BurstCount, x.BurstInterval, x.BurstRepeat});
    AppendField(out, "Duration", x.Duration);
    AppendField(out, "Prewarm", x.Prewarm);
    AppendField(out, "OnBirth", x.OnBirth, started);
    AppendField(out, "OnDeath", x.OnDeath, started);
    // Only an effect that names an image shows one, so the other objects stay as they were.
    if (!x.SpriteFile.empty()) {
        AppendKey(out, "SpriteFile");
        AppendJsonString(out, x.SpriteFile);
    }
    // The motion keys likewise, each only when the file gives it.
    const std::pair<std::string_view, const particleplayer::MotionValue*> values[] = {
        {"RadialAcceleration", &x.RadialAcceleration},
        {"TangentialAcceleration", &x.TangentialAcceleration},
        {"OrbitRadius", &x.OrbitRadius},
        {"OrbitEndRadius", &x.OrbitEndRadius},
        {"OrbitSpin", &x.OrbitSpin},
        {"EndSize", &x.EndSize},
        {"Angle", &x.Angle},
        {"EndAngle", &x.EndAngle}};
    for (const auto& [name, v] : values) {
        if (v->Set) AppendField(out, name, ValueRange{v->Min, v->Max, v->Inc});
    }
    const std::pair<std::string_view, const particleplayer::MotionColour*> colours[] = {
        {"StartColour", &x.StartColour},
        {"StartColourVariance", &x.StartColourVariance},
        {"EndColour", &x.EndColour},
        {"EndColourVariance", &x.EndColourVariance}};
    for (const auto& [name, c] : colours) {
        if (!c->Set) continue;
        AppendKey(out, name);
        AppendFloats(out, c->Value.data(), c->Value.size());
    }
    const std::pair<std::string_view, int32_t> switches[] = {
        {"AlignToMotion", x.AlignToMotion}, {"MaxAlive", x.MaxAlive}, {"Attached", x.Attached}};
    for (const auto& [name, v] : switches) {
        if (v != 0) AppendField(out, name, v);
    }
    if (x.Aspect != 0.0f) AppendField(out, "Aspect", x.Aspect);
    if (x.Delay != 0.0f) AppendField(out, "Delay", x.Delay);
    if (x.MinAlive != 0) AppendField(out, "MinAlive", x.MinAlive);
    if (const particleplayer::TurbulenceField& t = x.Turbulence;
        t != particleplayer::TurbulenceField{}) {
        AppendBlock(out, "Turbulence", {t.Strength, t.Scale, t.Speed, t.Seed});
    }
    if (!x.Collide.empty()) {
        static constexpr std::string_view kForms[] = {"Floor", "Ceiling", "Left", "Right"};
        AppendKey(out, "Collide");
        out += "[";
        for (const particleplayer::CollideLine& l : x.Collide) {
            if (&l != &x.Collide.front()) out += ", ";
            out += "{";
            const auto form = static_cast<size_t>(l.Shape);
            if (form < std::size(kForms)) {
                AppendField(out, kForms[form], l.A);
            } else {
                AppendField(out, "X1", l.A);
                AppendField(out, "Y1", l.B);
                AppendField(out, "X2", l.C);
                AppendField(out, "Y2", l.D);
            }
            AppendField(out, "Bounce", l.Bounce);
            AppendField(out, "Friction", l.Friction);
            AppendField(out, "Die", l.Die);
            AppendField(out, "Screen", l.Screen);
            out += "}";
        }
        out += "]";
    }
    if (x.OnCollide != particleplayer::SubEffect{})
        AppendField(out, "OnCollide", x.OnCollide, started);
    if (const particleplayer::Trail& t = x.Trail; t.Points != 0) {
        AppendBlock(out, "Trail",
                    {t.Points, t.Length, t.Width, t.EndWidth, t.Fade, t.Darken, t.Behind});
    }
    if (x.StretchFactor != 0.0f) {
        AppendField(out, "StretchFactor", x.StretchFactor);
        AppendField(out, "StretchMax", x.StretchMax);
    }
    if (x.EmitAlongPath != 0) AppendField(out, "EmitAlongPath", x.EmitAlongPath);
    if (x.EmitByDistance != 0.0f) AppendField(out, "EmitByDistance", x.EmitByDistance);
    // Written only when set, so that the text of an effect without them stays as it was.
    for (const auto& [name, curve] :
         {std::pair{"SpeedOverLife", &x.SpeedOverLife}, std::pair{"TurnOverLife", &x.TurnOverLife},
          std::pair{"AngleOverLife", &x.AngleOverLife},
          std::pair{"DriftXOverLife", &x.DriftXOverLife},
          std::pair{"DriftYOverLife", &x.DriftYOverLife}}) {
        if (curve->Count > 0) AppendField(out, name, *curve);
    }
    if (x.SpriteMode != 0) AppendField(out, "SpriteMode", x.SpriteMode);
    if (!x.SpriteFiles.empty()) {
        AppendKey(out, "SpriteFiles");
        out += "[";
        for (const std::string& file : x.SpriteFiles) {
            if (&file != &x.SpriteFiles.front()) out += ", ";
            AppendJsonString(out, file);
        }
        out += "]";
    }
    // The duration's curves and offsets, each only when the file gives it.
    const std::pair<std::string_view, const LifeCurve<1>*> overDuration[] = {
        {"EmissionOverDuration", &x.EmissionOverDuration},
        {"LifeOverDuration", &x.LifeOverDuration},
        {"WidthOverDuration", &x.WidthOverDuration},
        {"HeightOverDuration", &x.HeightOverDuration}};
    for (const auto& [name, c] : overDuration) {
        if (c->Count > 0) AppendField(out, name, *c);
    }
    if (x.Continuous != 0) AppendField(out, "Continuous", x.Continuous);
    const std::pair<std::string_view, const particleplayer::DrawnRange*> offsets[] = {
        {"LifeOffset", &x.LifeOffset},
        {"BirthOffsetX", &x.BirthOffsetX},
        {"BirthOffsetY", &x.BirthOffsetY}};
    for (const auto& [name, r] : offsets) {
        if (*r != particleplayer::DrawnRange{}) AppendBlock(out, name, {r->Min, r->Max, r->Step});
    }
    out += "}";
}

}  // namespace

void AppendEffectJson(std::string& out, const EffectParams& params, const EffectExtras& extras,
                      const StartedEffectLookup& started) {
    out += "{";
    // Every parameter under its name, in the table's order.
#define PP_APPEND_PARAM(kind, name, cName, doc, ...) AppendField(out, #name, params.name);
    PARTICLEPLAYER_EFFECT_PARAMS(PP_APPEND_PARAM)
#undef PP_APPEND_PARAM
    // Only an effect that uses the optional keys shows them, so other outputs stay as they were.
    if (extras != EffectExtras{}) AppendExtrasJson(out, extras, started);
    out += "}";
}

void AppendParticleJson(std::string& out, const particleplayer::Particle& p) {
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
