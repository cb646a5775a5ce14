#include "app/effect_json.h"

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

}  // namespace

void AppendEmitterJson(std::string& out, const EmitterParams& params) {
    out += "{";
    VisitParamFields(params, [&out](std::string_view name, const auto& value) {
        AppendField(out, name, value);
    });
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
