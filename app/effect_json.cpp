#include "app/effect_json.h"

#include <array>
#include <cstddef>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

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

void AppendField(std::string& out, std::string_view key, const std::array<float, 3>& colour) {
    AppendKey(out, key);
    AppendFloats(out, colour.data(), colour.size());
}

void AppendField(std::string& out, std::string_view key, const std::string& path) {
    AppendKey(out, key);
    AppendJsonString(out, path);
}

void AppendField(std::string& out, std::string_view key, const std::vector<std::string>& paths) {
    AppendKey(out, key);
    out += "[";
    for (const std::string& path : paths) {
        if (&path != &paths.front()) out += ", ";
        AppendJsonString(out, path);
    }
    out += "]";
}

void AppendField(std::string& out, std::string_view key, const particleplayer::MotionValue& v) {
    AppendField(out, key, ValueRange{v.Min, v.Max, v.Inc});
}

void AppendField(std::string& out, std::string_view key, const particleplayer::MotionColour& c) {
    AppendKey(out, key);
    AppendFloats(out, c.Value.data(), c.Value.size());
}

void AppendField(std::string& out, std::string_view key, const particleplayer::TurbulenceField& t) {
    AppendBlock(out, key, {t.Strength, t.Scale, t.Speed, t.Seed});
}

void AppendField(std::string& out, std::string_view key, const particleplayer::Trail& t) {
    AppendBlock(out, key, {t.Points, t.Length, t.Width, t.EndWidth, t.Fade, t.Darken, t.Behind});
}

void AppendField(std::string& out, std::string_view key, const particleplayer::DrawnRange& r) {
    AppendBlock(out, key, {r.Min, r.Max, r.Step});
}

// Each line as the key reads it: a floor, ceiling or wall by its one number, a segment by its
// ends, then what every line has.
void AppendField(std::string& out, std::string_view key,
                 const std::vector<particleplayer::CollideLine>& lines) {
    static constexpr std::string_view kForms[] = {"Floor", "Ceiling", "Left", "Right"};
    AppendKey(out, key);
    out += "[";
    for (const particleplayer::CollideLine& l : lines) {
        if (&l != &lines.front()) out += ", ";
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

// Whether the effect gives a field that is shown only then: a number other than 0, a curve
// with keys, a motion key the file sets, a trail with points, any other value unlike its
// record's default.
template <class T>
bool Given(const T& value) {
    return value != T{};
}
template <int Channels>
bool Given(const LifeCurve<Channels>& curve) {
    return curve.Count > 0;
}
bool Given(const particleplayer::MotionValue& v) {
    return v.Set;
}
bool Given(const particleplayer::MotionColour& c) {
    return c.Set;
}
bool Given(const particleplayer::Trail& t) {
    return t.Points != 0;
}

// The SHOWN column of the optional fields' list: when a field is written, and where.
struct Always {};
struct WhenGiven {};
struct Never {};
struct With {
    bool OtherGiven;
};
struct In {
    std::string_view Key;
};

// Writes the optional fields one row at a time, keeping the rows of one block key (IN) inside
// one object.
class ExtrasWriter {
  public:
    ExtrasWriter(std::string& out, const StartedEffectLookup& started)
        : out_(out), started_(started) {}

    template <class T>
    void Row(std::string_view name, const T& value, Always) {
        Close();
        Write(name, value);
    }
    template <class T>
    void Row(std::string_view name, const T& value, WhenGiven) {
        if (Given(value)) Row(name, value, Always{});
    }
    template <class T>
    void Row(std::string_view, const T&, Never) {}
    template <class T>
    void Row(std::string_view name, const T& value, With with) {
        if (with.OtherGiven) Row(name, value, Always{});
    }
    template <class T>
    void Row(std::string_view, const T& value, In in) {
        if (in.Key != block_) {
            Close();
            AppendKey(out_, in.Key);
            out_ += "{";
            block_ = in.Key;
            field_ = 0;
        }
        AppendField(out_, particleplayer::FindEffectKey(in.Key)->Fields[field_++].Name, value);
    }

    // Ends the open block, if any.
    void Close() {
        if (block_.empty()) return;
        out_ += "}";
        block_ = {};
    }

  private:
    template <class T>
    void Write(std::string_view name, const T& value) {
        AppendField(out_, name, value);
    }
    void Write(std::string_view name, const SubEffect& sub) {
        AppendField(out_, name, sub, started_);
    }

    std::string& out_;
    const StartedEffectLookup& started_;
    std::string_view block_;
    std::size_t field_ = 0;
};

void AppendExtrasJson(std::string& out, const EffectExtras& x, const StartedEffectLookup& started) {
    AppendKey(out, "Extras");
    out += "{";
    ExtrasWriter json(out, started);
#define PP_SHOWN_ALWAYS \
    Always {}
#define PP_SHOWN_GIVEN \
    WhenGiven {}
#define PP_SHOWN_NEVER \
    Never {}
#define PP_SHOWN_WITH(other) \
    With {                   \
        Given(x.other)       \
    }
#define PP_SHOWN_IN(key) \
    In {                 \
#key             \
    }
#define PP_JSON_ROW(kind, name, cName, shown, ...) json.Row(#name, x.name, PP_SHOWN_##shown);
    PARTICLEPLAYER_EFFECT_EXTRAS(PP_JSON_ROW)
#undef PP_JSON_ROW
#undef PP_SHOWN_IN
#undef PP_SHOWN_WITH
#undef PP_SHOWN_NEVER
#undef PP_SHOWN_GIVEN
#undef PP_SHOWN_ALWAYS
    json.Close();
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
