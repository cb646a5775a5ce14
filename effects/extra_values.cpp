#include "effects/extra_values.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "effects/effect_text.h"
#include "effects/value_forms.h"

namespace pp {
namespace {

constexpr float kWhite = 255.0f;

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

float ReadBlockField(std::string_view text, const BlockField& field, std::size_t index) {
    const std::string value =
        FindEntry(text, BlockIsPositional(text) ? std::to_string(index + 1) : field.Name);
    if (value.empty()) return field.Default;
    if (!field.Integer) return HoldInRange(TextToFloat(value), field.Min, field.Max, field.Default);
    return static_cast<float>(std::clamp<int64_t>(TextToInt(value), static_cast<int64_t>(field.Min),
                                                  static_cast<int64_t>(field.Max)));
}

namespace {

// The lines one Collide block names, appended while there is room.
void AddCollideLines(CollideParams& c, std::string_view text) {
    auto given = [&](std::size_t i) { return !BlockFieldText(text, kCollideFields, i).empty(); };
    auto number = [&](std::size_t i) { return ReadBlockField(text, kCollideFields[i], i); };
    CollideLine line;
    line.Bounce = number(8);
    line.Friction = number(9);
    line.Die = static_cast<int32_t>(number(10));
    line.Screen = static_cast<int32_t>(number(11));
    auto add = [&c](const CollideLine& l) {
        if (c.Count < kMaxCollideLines) c.Lines[static_cast<std::size_t>(c.Count++)] = l;
    };
    for (std::size_t i = 0; i < 4; ++i) {
        if (!given(i)) continue;
        line.Form = static_cast<CollideForm>(i);
        line.A = number(i);
        add(line);
    }
    if (given(4) || given(5) || given(6) || given(7)) {
        line.Form = CollideForm::Segment;
        line.A = number(4);
        line.B = number(5);
        line.C = number(6);
        line.D = number(7);
        add(line);
    }
}

}  // namespace

bool IsBlockList(std::string_view text) {
    const EntryList list = ScanEntries(text, TextRange{0, text.size()}, false);
    return !list.Entries.empty() && !list.Entries.front().HasEquals() &&
           list.Entries.front().Value.Of(text).starts_with('{');
}

namespace {

// Calls each(block) for the one block `text` is, or for each block of the list it is, in the
// order written; entries of a list that are no blocks are passed over (check says so).
template <class Each>
void ForEachBlock(std::string_view text, Each&& each) {
    if (!IsBlockList(text)) {
        each(text);
        return;
    }
    const EntryList list = ScanEntries(text, TextRange{0, text.size()}, false);
    for (const ListEntry& e : list.Entries) {
        if (!e.HasEquals() && e.Value.Of(text).starts_with('{')) {
            each(BlockInside(text, e.Value).Of(text));
        }
    }
}

}  // namespace

CollideParams ParseCollide(std::string_view text) {
    CollideParams c;
    ForEachBlock(text, [&c](std::string_view block) { AddCollideLines(c, block); });
    return c;
}

ForceList ReadForceList(std::string_view text) {
    ForceList forces;
    ForEachBlock(text, [&forces](std::string_view block) {
        if (forces.Count == kMaxForcePoints) return;
        forces.Points[static_cast<std::size_t>(forces.Count++)] = ReadRecord(block, kForceFields);
    });
    return forces;
}

void StoreCollide(ExtraParams& extras, std::string_view text) {
    extras.Collide = ParseCollide(text);
}

std::string SubEffectPath(std::string_view text) {
    return BlockFieldText(text, kReadRulesOf<kSubEffectFields>, 0);
}

std::vector<TextRange> SpriteFileEntries(std::string_view text, TextRange value) {
    std::vector<TextRange> out;
    for (const ListEntry& entry : ScanEntries(text, value, false).Entries) {
        if (!entry.Value.Empty()) out.push_back(entry.Value);
    }
    if (out.size() < 2) return {value};
    return out;
}

}  // namespace pp
