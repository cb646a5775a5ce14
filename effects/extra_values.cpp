#include "effects/extra_values.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "effects/effect_text.h"
#include "effects/value_forms.h"

namespace pp {
namespace {

constexpr float kWhite = 255.0f;

// A field's number held to its range; a whole-number field reads as Layer does (a fraction cut
// off, '$' hex and '%' binary, the low 32 bits of a longer number).
float ReadFieldAt(std::string_view text, std::span<const BlockField> fields, std::size_t index) {
    const std::string value = BlockFieldText(text, fields, index);
    const BlockField& field = fields[index];
    if (value.empty()) return field.Default;
    if (!field.Integer) return HoldInRange(TextToFloat(value), field.Min, field.Max, field.Default);
    return static_cast<float>(std::clamp<int64_t>(TextToInt(value), static_cast<int64_t>(field.Min),
                                                  static_cast<int64_t>(field.Max)));
}

int32_t ReadIntAt(std::string_view text, std::span<const BlockField> fields, std::size_t index) {
    // Held to a range within 32 bits, so the conversion is exact.
    return static_cast<int32_t>(ReadFieldAt(text, fields, index));
}

template <int Channels, typename ReadValue>
LifeCurve<Channels> ParseCurve(std::string_view text, ReadValue readValue) {
    LifeCurve<Channels> curve;
    const EntryList list = ScanEntries(text, TextRange{0, text.size()}, false);
    for (const ListEntry& e : list.Entries) {
        if (curve.Count == kMaxLifeKeys) break;
        const std::string_view name = e.Name.Of(text);
        if (!e.HasEquals() || FloatTextEnd(name) == 0) continue;
        const int32_t k = curve.Count++;
        curve.Time[k] = HoldInRange(TextToFloat(name), 0.0f, 1.0f, 0.0f);
        curve.Value[k] = readValue(BlockInside(text, e.Value).Of(text));
    }
    // Insertion sort: stable, and a curve has at most kMaxLifeKeys keys.
    for (int32_t i = 1; i < curve.Count; ++i) {
        for (int32_t j = i; j > 0 && curve.Time[j] < curve.Time[j - 1]; --j) {
            std::swap(curve.Time[j], curve.Time[j - 1]);
            std::swap(curve.Value[j], curve.Value[j - 1]);
        }
    }
    return curve;
}

}  // namespace

float HoldInRange(float value, float min, float max, float fallback) {
    if (std::isnan(value)) return fallback;
    return std::min(std::max(value, min), max);
}

std::array<float, 3> ParseColour(std::string_view text) {
    std::array<float, 3> colour{};
    static constexpr std::string_view kPositions[] = {"1", "2", "3"};
    for (std::size_t i = 0; i < colour.size(); ++i) {
        colour[i] =
            HoldInRange(FloatOr(FindEntry(text, kPositions[i]), kWhite), 0.0f, kWhite, kWhite);
    }
    return colour;
}

LifeCurve<1> ParseLifeCurve(std::string_view text, float min, float max) {
    return ParseCurve<1>(text, [&](std::string_view v) {
        return std::array<float, 1>{HoldInRange(FloatOr(v, 1.0f), min, max, 1.0f)};
    });
}

LifeCurve<3> ParseColourCurve(std::string_view text) {
    return ParseCurve<3>(text, [](std::string_view v) { return ParseColour(v); });
}

float ParseAmount(std::string_view text, float min, float max) {
    return HoldInRange(FloatOr(text, 0.0f), min, max, 0.0f);
}

RandomKey ParseRandomKey(std::string_view text, float min, float max) {
    const ValueForm<float> form = ParseValueSpec(text);
    RandomKey key;
    key.Set = 1;
    SetValueSpec(key.Spec, form.First, form.Second, form.Step);
    const float nearZero = HoldInRange(0.0f, min, max, 0.0f);
    key.Spec.Min = HoldInRange(key.Spec.Min, min, max, nearZero);
    key.Spec.Max = HoldInRange(key.Spec.Max, min, max, nearZero);
    return key;
}

ColourKey ParseRgba(std::string_view text, float missing) {
    ColourKey colour;
    colour.Set = 1;
    static constexpr std::string_view kPositions[] = {"1", "2", "3", "4"};
    for (std::size_t i = 0; i < colour.Value.size(); ++i) {
        colour.Value[i] =
            HoldInRange(FloatOr(FindEntry(text, kPositions[i]), missing), 0.0f, kWhite, missing);
    }
    return colour;
}

int32_t ParseWhole(std::string_view text, int32_t min, int32_t max) {
    return static_cast<int32_t>(std::clamp<int64_t>(TextToInt(text), min, max));
}

bool BlockIsPositional(std::string_view text) {
    const EntryList list = ScanEntries(text, TextRange{0, text.size()}, false);
    return std::none_of(list.Entries.begin(), list.Entries.end(),
                        [](const ListEntry& e) { return e.HasEquals(); });
}

std::string BlockFieldText(std::string_view text, std::span<const BlockField> fields,
                           std::size_t index) {
    if (!BlockIsPositional(text)) return FindEntry(text, fields[index].Name);
    return FindEntry(text, std::to_string(index + 1));
}

SpriteSheetParams ParseSpriteSheet(std::string_view text) {
    SpriteSheetParams sheet;
    sheet.Columns = ReadIntAt(text, kSpriteSheetFields, 0);
    sheet.Rows = ReadIntAt(text, kSpriteSheetFields, 1);
    sheet.Frames = std::min(ReadIntAt(text, kSpriteSheetFields, 2), sheet.Columns * sheet.Rows);
    sheet.Rate = ReadFieldAt(text, kSpriteSheetFields, 3);
    sheet.Random = ReadIntAt(text, kSpriteSheetFields, 4);
    return sheet;
}

BurstParams ParseBurst(std::string_view text) {
    BurstParams burst;
    burst.Count = ReadIntAt(text, kBurstFields, 0);
    burst.Interval = ReadFieldAt(text, kBurstFields, 1);
    burst.Repeat = ReadIntAt(text, kBurstFields, 2);
    return burst;
}

SubEffectParams ParseSubEffect(std::string_view text) {
    SubEffectParams sub;
    sub.Count = ReadIntAt(text, kSubEffectFields, 1);
    sub.Inherit = ReadIntAt(text, kSubEffectFields, 2);
    return sub;
}

ForcePoint ParseForcePoint(std::string_view text) {
    ForcePoint point;
    point.X = ReadFieldAt(text, kForceFields, 0);
    point.Y = ReadFieldAt(text, kForceFields, 1);
    point.Strength = ReadFieldAt(text, kForceFields, 2);
    point.Radius = ReadFieldAt(text, kForceFields, 3);
    point.Falloff = ReadIntAt(text, kForceFields, 4);
    point.Screen = ReadIntAt(text, kForceFields, 5);
    return point;
}

TurbulenceParams ParseTurbulence(std::string_view text) {
    TurbulenceParams t;
    t.Strength = ReadFieldAt(text, kTurbulenceFields, 0);
    t.Scale = ReadFieldAt(text, kTurbulenceFields, 1);
    t.Speed = ReadFieldAt(text, kTurbulenceFields, 2);
    t.Seed = ReadIntAt(text, kTurbulenceFields, 3);
    return t;
}

namespace {

// The lines one Collide block names, appended while there is room.
void AddCollideLines(CollideParams& c, std::string_view text) {
    auto given = [&](std::size_t i) { return !BlockFieldText(text, kCollideFields, i).empty(); };
    CollideLine line;
    line.Bounce = ReadFieldAt(text, kCollideFields, 8);
    line.Friction = ReadFieldAt(text, kCollideFields, 9);
    line.Die = ReadIntAt(text, kCollideFields, 10);
    line.Screen = ReadIntAt(text, kCollideFields, 11);
    auto add = [&c](const CollideLine& l) {
        if (c.Count < kMaxCollideLines) c.Lines[static_cast<std::size_t>(c.Count++)] = l;
    };
    for (std::size_t i = 0; i < 4; ++i) {
        if (!given(i)) continue;
        line.Form = static_cast<CollideForm>(i);
        line.A = ReadFieldAt(text, kCollideFields, i);
        add(line);
    }
    if (given(4) || given(5) || given(6) || given(7)) {
        line.Form = CollideForm::Segment;
        line.A = ReadFieldAt(text, kCollideFields, 4);
        line.B = ReadFieldAt(text, kCollideFields, 5);
        line.C = ReadFieldAt(text, kCollideFields, 6);
        line.D = ReadFieldAt(text, kCollideFields, 7);
        add(line);
    }
}

}  // namespace

bool IsCollideList(std::string_view text) {
    const EntryList list = ScanEntries(text, TextRange{0, text.size()}, false);
    return !list.Entries.empty() && !list.Entries.front().HasEquals() &&
           list.Entries.front().Value.Of(text).starts_with('{');
}

CollideParams ParseCollide(std::string_view text) {
    CollideParams c;
    if (!IsCollideList(text)) {
        AddCollideLines(c, text);
        return c;
    }
    const EntryList list = ScanEntries(text, TextRange{0, text.size()}, false);
    for (const ListEntry& e : list.Entries) {
        if (e.HasEquals() || !e.Value.Of(text).starts_with('{')) continue;
        AddCollideLines(c, BlockInside(text, e.Value).Of(text));
    }
    return c;
}

TrailParams ParseTrail(std::string_view text) {
    TrailParams trail;
    trail.Points = ReadIntAt(text, kTrailFields, 0);
    trail.Length = ReadFieldAt(text, kTrailFields, 1);
    trail.Width = ReadFieldAt(text, kTrailFields, 2);
    trail.EndWidth = ReadFieldAt(text, kTrailFields, 3);
    trail.Fade = ReadFieldAt(text, kTrailFields, 4);
    trail.Darken = ReadFieldAt(text, kTrailFields, 5);
    trail.Behind = ReadIntAt(text, kTrailFields, 6);
    return trail;
}

StretchParams ParseStretch(std::string_view text) {
    StretchParams stretch;
    stretch.Factor = ReadFieldAt(text, kStretchFields, 0);
    stretch.Max = ReadFieldAt(text, kStretchFields, 1);
    return stretch;
}

std::string SubEffectPath(std::string_view text) {
    return BlockFieldText(text, kSubEffectFields, 0);
}

}  // namespace pp
