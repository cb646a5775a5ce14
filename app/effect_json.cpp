#include "app/effect_json.h"

#include "app/json_text.h"

namespace pp {
namespace {

void AppendKey(std::string& out, const char* key) {
    if (out.back() != '{') out += ", ";
    out += '"';
    out += key;
    out += "\": ";
}

void AppendFloatField(std::string& out, const char* key, float value) {
    AppendKey(out, key);
    AppendJsonFloat(out, value);
}

void AppendIntField(std::string& out, const char* key, int32_t value) {
    AppendKey(out, key);
    AppendJsonInt(out, value);
}

void AppendSpecField(std::string& out, const char* key, const ValueSpec& spec) {
    AppendKey(out, key);
    out += "{";
    AppendFloatField(out, "Min", spec.Min);
    AppendFloatField(out, "Max", spec.Max);
    AppendFloatField(out, "Inc", spec.Inc);
    out += "}";
}

void AppendSpecField(std::string& out, const char* key, const IntValueSpec& spec) {
    AppendKey(out, key);
    out += "{";
    AppendIntField(out, "Min", spec.Min);
    AppendIntField(out, "Max", spec.Max);
    AppendIntField(out, "Inc", spec.Inc);
    out += "}";
}

}  // namespace

void AppendEmitterJson(std::string& out, const Emitter& e) {
    out += "{";
    AppendIntField(out, "Disable", e.Disable);
    AppendIntField(out, "AutoRemove", e.AutoRemove);
    AppendIntField(out, "Layer", e.Layer);
    AppendFloatField(out, "PositionX", e.PositionX);
    AppendFloatField(out, "PositionY", e.PositionY);
    AppendIntField(out, "AreaType", e.AreaType);
    AppendFloatField(out, "AreaWidth", e.AreaWidth);
    AppendFloatField(out, "AreaHeight", e.AreaHeight);
    AppendFloatField(out, "AreaAngle", e.AreaAngle);
    AppendSpecField(out, "EmissionAngle", e.EmissionAngle);
    AppendSpecField(out, "EmissionVelocity", e.EmissionVelocity);
    AppendFloatField(out, "AccelerationX", e.AccelerationX);
    AppendFloatField(out, "AccelerationY", e.AccelerationY);
    AppendSpecField(out, "LifeTime", e.LifeTime);
    AppendSpecField(out, "EmissionRate", e.EmissionRate);
    AppendSpecField(out, "Sprite", e.Sprite);
    AppendSpecField(out, "Size", e.Size);
    AppendFloatField(out, "Raise", e.Raise);
    AppendSpecField(out, "Rotation", e.Rotation);
    AppendSpecField(out, "Transparency", e.Transparency);
    AppendFloatField(out, "Fade", e.Fade);
    AppendIntField(out, "BlendSource", e.BlendSource);
    AppendIntField(out, "BlendDestination", e.BlendDestination);
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
