// A key's value text split into the parts a panel edits, and written back, read with the
// effect reader's own lookups and number conversions so that both directions agree with it.
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

#include "effects/effect_keys.h"
#include "effects/effect_text.h"
#include "effects/extra_values.h"
#include "effects/float_text.h"
#include "effects/value_forms.h"
#include "particleplayer/edit.h"

namespace particleplayer {
namespace {

using pp::FindEntry;
using pp::FloatOr;
using pp::IntOr;
using pp::TextToFloat;
using pp::TextToInt;

// The internal row behind a row of the public table: the tables share their order.
const pp::EffectKey& RowOf(const KeyInfo& key) {
    return pp::kEffectKeys[static_cast<std::size_t>(&key - EffectKeys().data())];
}

constexpr std::string_view kFormNames[][2] = {
    {"", ""}, {"Min", "Max"}, {"Value", "Range"}, {"Value", "Blur"}};

RandomValue ReadRandom(std::string_view inside, bool integer) {
    auto number = [&](std::string_view text) -> double {
        return integer ? static_cast<double>(TextToInt(text)) : TextToFloat(text);
    };
    RandomValue value;
    if (!FindEntry(inside, "2").empty()) {
        for (int form = 1; form <= 3; ++form) {
            const std::string first = FindEntry(inside, kFormNames[form][0]);
            const std::string second = FindEntry(inside, kFormNames[form][1]);
            if (first.empty() || second.empty()) continue;
            value.Form = static_cast<RandomForm>(form);
            value.First = number(first);
            value.Second = number(second);
            const std::string inc = FindEntry(inside, "Inc");
            if (!inc.empty()) value.Inc = number(inc);
            return value;
        }
    }
    // One number, or a block with no complete form: what the setting rule takes as Min.
    if (integer) {
        value.First = pp::ParseIntValueSpec(inside).First;
    } else {
        value.First = pp::ParseValueSpec(inside).First;
    }
    return value;
}

std::array<float, 3> ReadColour(std::string_view inside) {
    return {FloatOr(FindEntry(inside, "1"), 255.0f), FloatOr(FindEntry(inside, "2"), 255.0f),
            FloatOr(FindEntry(inside, "3"), 255.0f)};
}

std::vector<CurvePoint> ReadCurve(std::string_view inside, bool colour) {
    std::vector<CurvePoint> points;
    const pp::EntryList list = pp::ScanEntries(inside, {0, inside.size()}, false);
    for (const pp::ListEntry& e : list.Entries) {
        const std::string_view name = e.Name.Of(inside);
        if (!e.HasEquals() || pp::FloatTextEnd(name) == 0) continue;
        const std::string_view v = pp::BlockInside(inside, e.Value).Of(inside);
        CurvePoint point;
        point.Time = TextToFloat(name);
        if (colour) {
            point.Value = ReadColour(v);
        } else {
            point.Value[0] = FloatOr(v, 1.0f);
        }
        points.push_back(point);
    }
    return points;
}

std::optional<std::string> Num(double value) {
    const float f = static_cast<float>(value);
    if (!std::isfinite(f)) return std::nullopt;
    return pp::ShortestFloatText(f);
}

std::optional<std::string> Whole(double value) {
    if (!(value >= std::numeric_limits<int32_t>::min() &&
          value <= std::numeric_limits<int32_t>::max()) ||
        value != std::trunc(value)) {
        return std::nullopt;
    }
    return std::to_string(static_cast<int32_t>(value));
}

// "{a, b, c}" of the texts, or std::nullopt when one of them is.
std::optional<std::string> Braced(std::initializer_list<std::optional<std::string>> parts) {
    std::string out = "{";
    for (const auto& part : parts) {
        if (!part) return std::nullopt;
        if (out.size() > 1) out += ", ";
        out += *part;
    }
    return out + "}";
}

std::optional<std::string> Named(std::string_view name, std::optional<std::string> text) {
    if (!text) return std::nullopt;
    return std::string(name) + " = " + *text;
}

std::optional<std::string> RandomText(const RandomValue& v, bool integer) {
    auto number = [&](double d) { return integer ? Whole(d) : Num(d); };
    const auto form = static_cast<std::size_t>(v.Form);
    if (form >= std::size(kFormNames)) return std::nullopt;
    if (v.Form == RandomForm::Plain) return number(v.First);
    if (!v.Inc) {
        return Braced({Named(kFormNames[form][0], number(v.First)),
                       Named(kFormNames[form][1], number(v.Second))});
    }
    return Braced({Named(kFormNames[form][0], number(v.First)),
                   Named(kFormNames[form][1], number(v.Second)), Named("Inc", number(*v.Inc))});
}

std::optional<std::string> CurveText(const std::vector<CurvePoint>& points, bool colour) {
    std::string out = "{";
    for (const CurvePoint& p : points) {
        const std::optional<std::string> value =
            colour ? Braced({Num(p.Value[0]), Num(p.Value[1]), Num(p.Value[2])}) : Num(p.Value[0]);
        const std::optional<std::string> entry = Named(Num(p.Time).value_or(""), value);
        if (!entry || !std::isfinite(p.Time)) return std::nullopt;
        if (out.size() > 1) out += ", ";
        out += *entry;
    }
    return out + "}";
}

std::string_view InsideOf(std::string_view text) {
    return pp::BlockInside(text, {0, text.size()}).Of(text);
}

// The parts of a value whose inside (a block's, or a plain value itself) is `inside`; an
// empty inside gives what the reader gives each missing part.
KeyValue ReadParts(const KeyInfo& key, std::string_view inside) {
    const pp::EffectKey& row = RowOf(key);
    switch (key.Kind) {
        case KeyKind::Path:
        case KeyKind::Lines:
            return std::string(inside);
        case KeyKind::Integer:
            if (std::holds_alternative<pp::WholeKeyField>(row.Target)) return IntOr(inside, 0);
            return IntOr(inside, std::get<pp::IntKeyField>(row.Target).Fallback);
        case KeyKind::Number:
        case KeyKind::Amount:
            return TextToFloat(inside);
        case KeyKind::Pair:
            return std::vector<float>{FloatOr(FindEntry(inside, "1"), 0.0f),
                                      FloatOr(FindEntry(inside, "2"), 0.0f)};
        case KeyKind::Colour: {
            const std::array<float, 3> c = ReadColour(inside);
            return std::vector<float>(c.begin(), c.end());
        }
        case KeyKind::Rgba: {
            const float missing = std::get<pp::RgbaKeyField>(row.Target).Missing;
            return std::vector<float>{
                FloatOr(FindEntry(inside, "1"), missing), FloatOr(FindEntry(inside, "2"), missing),
                FloatOr(FindEntry(inside, "3"), missing), FloatOr(FindEntry(inside, "4"), missing)};
        }
        case KeyKind::IntegerPair: {
            const auto& to = std::get<pp::IntPairKeyFields>(row.Target);
            return std::array<int32_t, 2>{IntOr(FindEntry(inside, "1"), to.FirstFallback),
                                          IntOr(FindEntry(inside, "2"), to.SecondFallback)};
        }
        case KeyKind::RandomNumber:
        case KeyKind::RandomInteger:
            return ReadRandom(inside, key.Kind == KeyKind::RandomInteger);
        case KeyKind::Area:
            // Fields: Type, Width, Height, Angle.
            return AreaValue{pp::TextOr(FindEntry(inside, key.Fields[0].Name), "Point"),
                             FloatOr(FindEntry(inside, key.Fields[1].Name), 0.0f),
                             FloatOr(FindEntry(inside, key.Fields[2].Name), 0.0f),
                             FloatOr(FindEntry(inside, key.Fields[3].Name), 0.0f)};
        case KeyKind::Curve:
        case KeyKind::ColourCurve:
            return ReadCurve(inside, key.Kind == KeyKind::ColourCurve);
        case KeyKind::Block: {
            const std::span<const pp::BlockField> fields = pp::BlockFieldsOf(row);
            BlockValue block;
            for (std::size_t i = 0; i < fields.size(); ++i) {
                const std::string field = pp::BlockFieldText(inside, fields, i);
                if (fields[i].Path) {
                    block.Text = field;
                    block.Numbers.push_back(0);
                } else if (field.empty()) {
                    block.Numbers.push_back(fields[i].Default);
                } else {
                    block.Numbers.push_back(fields[i].Integer ? TextToInt(field)
                                                              : TextToFloat(field));
                }
            }
            return block;
        }
    }
    return std::string(inside);
}

// A Pair, Colour, Rgba or IntegerPair in braces; nullopt when the value has another form or
// count.
std::optional<std::string> NumbersText(KeyKind kind, const KeyValue& value) {
    if (kind == KeyKind::IntegerPair) {
        const auto* n = std::get_if<std::array<int32_t, 2>>(&value);
        if (n == nullptr) return std::nullopt;
        return Braced({std::to_string((*n)[0]), std::to_string((*n)[1])});
    }
    const auto* n = std::get_if<std::vector<float>>(&value);
    const std::size_t size = kind == KeyKind::Pair ? 2 : kind == KeyKind::Colour ? 3 : 4;
    if (n == nullptr || n->size() != size) return std::nullopt;
    if (size == 2) return Braced({Num((*n)[0]), Num((*n)[1])});
    if (size == 3) return Braced({Num((*n)[0]), Num((*n)[1]), Num((*n)[2])});
    return Braced({Num((*n)[0]), Num((*n)[1]), Num((*n)[2]), Num((*n)[3])});
}

// An Area block by its fields' names.
std::optional<std::string> AreaText(const KeyInfo& key, const AreaValue& a) {
    const std::span<const KeyField> f = key.Fields;
    return Braced({Named(f[0].Name, a.Type), Named(f[1].Name, Num(a.Width)),
                   Named(f[2].Name, Num(a.Height)), Named(f[3].Name, Num(a.Angle))});
}

// A Block's fields in the table's order; nullopt when the count differs or a number has no
// text of its field's kind.
std::optional<std::string> BlockText(const KeyInfo& key, const BlockValue& b) {
    if (b.Numbers.size() != key.Fields.size()) return std::nullopt;
    std::string out = "{";
    for (std::size_t i = 0; i < key.Fields.size(); ++i) {
        const KeyField& field = key.Fields[i];
        const std::optional<std::string> text = field.Text      ? b.Text
                                                : field.Integer ? Whole(b.Numbers[i])
                                                                : Num(b.Numbers[i]);
        if (!text) return std::nullopt;
        if (i > 0) out += ", ";
        out += std::string(field.Name) + " = " + *text;
    }
    return out + "}";
}

}  // namespace

// Both directions use the table's own row of the key, so a caller's copy of a KeyInfo, or
// one made up, never reaches past the table.
KeyValue ReadKeyValue(const KeyInfo& asked, std::string_view text) {
    const KeyInfo* key = FindEffectKey(asked.Name);
    if (key == nullptr) return std::string(text);
    // The reader joins a file's lines before it reads a value, so one broken over lines reads
    // as the same value on one line.
    std::string joined;
    for (const char c : text) {
        if (c != '\n' && c != '\r' && c != '\0') joined += c;
    }
    const std::string_view inside = InsideOf(joined);
    // An empty value sets nothing, as the loader skips it: it stays empty.
    if (inside.find_first_not_of(" \t\r\n") == std::string_view::npos) return std::monostate{};
    return ReadParts(*key, inside);
}

KeyValue DefaultKeyValue(const KeyInfo& asked) {
    const KeyInfo* key = FindEffectKey(asked.Name);
    if (key == nullptr) return std::monostate{};
    return ReadParts(*key, InsideOf(key->Default));
}

std::optional<std::string> KeyValueText(const KeyInfo& asked, const KeyValue& value) {
    const KeyInfo* table = FindEffectKey(asked.Name);
    if (table == nullptr) return std::nullopt;
    const KeyInfo& key = *table;
    if (std::holds_alternative<std::monostate>(value)) return "{}";
    switch (key.Kind) {
        case KeyKind::Path:
            if (const auto* path = std::get_if<std::string>(&value)) return *path;
            break;
        case KeyKind::Lines:
            if (const auto* lines = std::get_if<std::string>(&value)) return "{" + *lines + "}";
            break;
        case KeyKind::Integer:
            if (const auto* n = std::get_if<int32_t>(&value)) return std::to_string(*n);
            break;
        case KeyKind::Number:
        case KeyKind::Amount:
            if (const auto* n = std::get_if<float>(&value)) return Num(*n);
            break;
        case KeyKind::Pair:
        case KeyKind::Colour:
        case KeyKind::Rgba:
        case KeyKind::IntegerPair:
            return NumbersText(key.Kind, value);
        case KeyKind::RandomNumber:
        case KeyKind::RandomInteger:
            if (const auto* r = std::get_if<RandomValue>(&value)) {
                return RandomText(*r, key.Kind == KeyKind::RandomInteger);
            }
            break;
        case KeyKind::Area:
            if (const auto* a = std::get_if<AreaValue>(&value)) return AreaText(key, *a);
            break;
        case KeyKind::Curve:
        case KeyKind::ColourCurve:
            if (const auto* c = std::get_if<std::vector<CurvePoint>>(&value)) {
                return CurveText(*c, key.Kind == KeyKind::ColourCurve);
            }
            break;
        case KeyKind::Block:
            if (const auto* b = std::get_if<BlockValue>(&value)) return BlockText(key, *b);
            break;
    }
    return std::nullopt;
}

}  // namespace particleplayer
