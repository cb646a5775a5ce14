// The public key table, read out of the loader's own rows: names, kinds and ranges as the
// loader holds them, defaults written from the records an effect starts with.
#include "particleplayer/key_table.h"

#include <array>
#include <cstddef>
#include <deque>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "effects/check_text.h"
#include "effects/effect_keys.h"
#include "effects/float_text.h"

namespace particleplayer {
namespace {

using pp::EffectKey;
using pp::EffectValueKind;

KeyKind PublicKind(EffectValueKind kind) {
    switch (kind) {
        case EffectValueKind::Path:
        case EffectValueKind::SpriteFile:
            return KeyKind::Path;
        case EffectValueKind::Int:
            return KeyKind::Integer;
        case EffectValueKind::Float:
            return KeyKind::Number;
        case EffectValueKind::Pair:
            return KeyKind::Pair;
        case EffectValueKind::IntPair:
            return KeyKind::IntegerPair;
        case EffectValueKind::Area:
            return KeyKind::Area;
        case EffectValueKind::Spec:
            return KeyKind::RandomNumber;
        case EffectValueKind::IntSpec:
            return KeyKind::RandomInteger;
        case EffectValueKind::Colour:
            return KeyKind::Colour;
        case EffectValueKind::Curve:
            return KeyKind::Curve;
        case EffectValueKind::ColourCurve:
            return KeyKind::ColourCurve;
        case EffectValueKind::Amount:
            return KeyKind::Amount;
        case EffectValueKind::Randomised:
            return KeyKind::RandomNumber;
        case EffectValueKind::Rgba:
            return KeyKind::Rgba;
        case EffectValueKind::Whole:
            return KeyKind::Integer;
        case EffectValueKind::Block:
            return KeyKind::Block;
        case EffectValueKind::Collide:
        case EffectValueKind::BlockList:
        case EffectValueKind::Paths:
            return KeyKind::Lines;
    }
    return KeyKind::Number;
}

std::string Num(float value) {
    return pp::ShortestFloatText(value);
}

// "{a, b, ...}", the file's form of a list. Built by appending: GCC 12 takes the joins of
// `"{" + text` for overlapping copies and warns in optimised builds.
std::string Braced(std::initializer_list<std::string> parts) {
    std::string out = "{";
    const char* separator = "";
    for (const std::string& part : parts) {
        out += separator;
        out += part;
        separator = ", ";
    }
    out += '}';
    return out;
}

template <typename Spec>
std::string SpecText(const Spec& spec) {
    if (spec.Min == spec.Max) return Num(static_cast<float>(spec.Min));
    return "{Min = " + Num(static_cast<float>(spec.Min)) +
           ", Max = " + Num(static_cast<float>(spec.Max)) +
           ", Inc = " + Num(static_cast<float>(spec.Inc)) + "}";
}

// What an effect that no key has set holds for the row, in the file's own form.
struct DefaultText {
    const pp::EmitterParams params{};

    std::string operator()(std::monostate) const { return ""; }
    std::string operator()(const pp::IntKeyField& to) const {
        return std::to_string(params.*to.Field);
    }
    std::string operator()(float pp::EmitterParams::*to) const { return Num(params.*to); }
    std::string operator()(const pp::PairKeyFields& to) const {
        return Braced({Num(params.*to.X), Num(params.*to.Y)});
    }
    std::string operator()(const pp::IntPairKeyFields& to) const {
        return Braced({std::to_string(params.*to.First), std::to_string(params.*to.Second)});
    }
    std::string operator()(pp::ValueSpec pp::EmitterParams::*to) const {
        return SpecText(params.*to);
    }
    std::string operator()(pp::IntValueSpec pp::EmitterParams::*to) const {
        return SpecText(params.*to);
    }
    std::string operator()(std::array<float, 3> pp::ExtraParams::*to) const {
        const std::array<float, 3>& c = params.Extras.*to;
        return Braced({Num(c[0]), Num(c[1]), Num(c[2])});
    }
    std::string operator()(const pp::AmountKeyField& to) const {
        return Num(params.Extras.*to.Field);
    }
    std::string operator()(const pp::WholeKeyField& to) const {
        return std::to_string(params.Extras.*to.Field);
    }
    // Curves, sheets, bursts, the motion keys' randomised values and colours, started effects,
    // forces, lines and trails are absent until a key gives them.
    template <typename T>
    std::string operator()(const T&) const {
        return "";
    }
};

std::string AreaDefault() {
    const pp::EmitterParams params{};
    const std::size_t type = static_cast<std::size_t>(params.AreaType);
    const std::string_view name = type < pp::effect_check::kAreaTypeNames.size()
                                      ? pp::effect_check::kAreaTypeNames[type]
                                      : pp::effect_check::kAreaTypeNames[0];
    const auto& fields = pp::effect_check::kAreaNames;
    const auto named = [&](std::size_t i, std::string_view value) {
        return std::string(fields[i]).append(" = ").append(value);
    };
    return Braced({named(0, name), named(1, Num(params.AreaWidth)),
                   named(2, Num(params.AreaHeight)), named(3, "0")});
}

struct Table {
    std::deque<std::string> defaults;  // stable addresses for the views
    std::deque<std::vector<KeyField>> fields;
    std::vector<KeyInfo> keys;

    Table() {
        std::vector<KeyField>& area = fields.emplace_back();
        for (std::size_t i = 0; i < pp::effect_check::kAreaNames.size(); ++i) {
            area.push_back({pp::effect_check::kAreaNames[i], false, i == 0, 0.0f, 0.0f, 0.0f});
        }
        for (const EffectKey& key : pp::kEffectKeys) keys.push_back(Row(key, area));
    }

    KeyInfo Row(const EffectKey& key, const std::vector<KeyField>& area) {
        KeyInfo info;
        info.Name = key.Name;
        info.Kind = PublicKind(key.Kind);
        info.Description = key.Description;
        info.Default = defaults.emplace_back(key.Kind == EffectValueKind::Area
                                                 ? AreaDefault()
                                                 : std::visit(DefaultText{}, key.Target));
        if (key.Kind == EffectValueKind::Area) info.Fields = area;
        if (key.Kind == EffectValueKind::Colour) {
            info.Bounded = true;
            info.Max = 255.0f;
        }
        if (const auto* curve = std::get_if<pp::CurveKeyField>(&key.Target)) {
            info.Bounded = true;
            info.Min = curve->Min;
            info.Max = curve->Max;
        }
        if (key.Kind == EffectValueKind::ColourCurve) {
            info.Bounded = true;
            info.Max = 255.0f;
        }
        if (const auto* random = std::get_if<pp::RandomKeyField>(&key.Target)) {
            info.Bounded = true;
            info.Min = random->Min;
            info.Max = random->Max;
        }
        if (key.Kind == EffectValueKind::Rgba) {
            info.Bounded = true;
            info.Max = 255.0f;
        }
        if (const auto* amount = std::get_if<pp::AmountKeyField>(&key.Target)) {
            info.Bounded = true;
            info.Min = amount->Min;
            info.Max = amount->Max;
        }
        // Collide's lines are edited as written, a block or a list of them.
        const std::span<const pp::BlockField> block = pp::BlockFieldsOf(key);
        if (!block.empty() && info.Kind == KeyKind::Block) {
            std::vector<KeyField>& out = fields.emplace_back();
            for (const pp::BlockField& f : block) {
                out.push_back({f.Name, f.Integer, f.Path, f.Min, f.Max, f.Default});
            }
            info.Fields = out;
        }
        return info;
    }
};

const Table& TheTable() {
    static const Table table;
    return table;
}

}  // namespace

std::span<const KeyInfo> EffectKeys() {
    return TheTable().keys;
}

const KeyInfo* FindEffectKey(std::string_view name) {
    for (const KeyInfo& key : EffectKeys()) {
        if (key.Name == name) return &key;
    }
    return nullptr;
}

std::span<const std::string_view> AreaTypeNames() {
    return pp::effect_check::kAreaTypeNames;
}

std::string_view KeyKindName(KeyKind kind) {
    switch (kind) {
        case KeyKind::Path:
            return "file path";
        case KeyKind::Integer:
            return "whole number";
        case KeyKind::Number:
            return "number";
        case KeyKind::Pair:
            return "pair";
        case KeyKind::IntegerPair:
            return "pair of whole numbers";
        case KeyKind::RandomNumber:
            return "randomised number";
        case KeyKind::RandomInteger:
            return "randomised whole number";
        case KeyKind::Area:
            return "area";
        case KeyKind::Colour:
            return "colour";
        case KeyKind::Curve:
            return "curve";
        case KeyKind::ColourCurve:
            return "colour curve";
        case KeyKind::Amount:
            return "amount";
        case KeyKind::Block:
            return "block";
        case KeyKind::Rgba:
            return "colour with opacity";
        case KeyKind::Lines:
            return "lines";
    }
    return "";
}

}  // namespace particleplayer
