// The block keys' fields (SpriteSheet, Burst, the sub-effects, the forces, Turbulence,
// Collide, Trail, Stretch, the drawn ranges): how each number of a block is read, and how a
// block's value is stored into its record of the engine's optional parameters. The key table
// (effect_keys.h) points its block rows here.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>
#include <variant>

#include "particleplayer/effect_extras_list.h"
#include "particles/particles.h"

namespace pp {

// The limit the public list names for motion amounts, which the block fields share.
inline constexpr float kMaxMotionAmount = PP_MAX_MOTION_AMOUNT;

// One number of a block key (SpriteSheet, Burst, OnBirth, OnDeath, Attractor, Vortex, Collide,
// Trail, ...): its name, whether only whole numbers are read, the range it is held to and what a
// missing entry gives. A block whose entries all lack names is read by position, in the order of
// its fields. A Path field holds a file name instead, and its numbers mean nothing.
struct BlockField {
    std::string_view Name;
    bool Integer;
    float Min;
    float Max;
    float Default;
    bool Path = false;
};

// A block field and the member of Record its number is stored in: a float, or a whole number
// for an Integer field; none for a Path field, which the loader follows by itself.
template <class Record>
struct RecordField {
    BlockField Read;
    std::variant<std::monostate, float Record::*, int32_t Record::*> Member{};
};

// The most cells a sprite sheet has along either side.
inline constexpr int32_t kMaxSheetSide = 256;

// Frames is held to 1..Columns * Rows (see FinishRecord); a sheet without Frames shows every
// cell.
inline constexpr std::array<RecordField<SpriteSheetParams>, 5> kSpriteSheetFields{{
    {{"Columns", true, 1.0f, kMaxSheetSide, 1.0f}, &SpriteSheetParams::Columns},
    {{"Rows", true, 1.0f, kMaxSheetSide, 1.0f}, &SpriteSheetParams::Rows},
    {{"Frames", true, 1.0f, kMaxSheetSide* kMaxSheetSide, kMaxSheetSide* kMaxSheetSide},
     &SpriteSheetParams::Frames},
    {{"Rate", false, 0.0f, 1000.0f, 0.0f}, &SpriteSheetParams::Rate},
    {{"Random", true, 0.0f, 1.0f, 0.0f}, &SpriteSheetParams::Random},
}};
inline constexpr std::array<RecordField<BurstParams>, 3> kBurstFields{{
    {{"Count", true, 0.0f, kMaxBurstCount, 0.0f}, &BurstParams::Count},
    {{"Interval", false, 0.0f, 1.0e6f, 1.0f}, &BurstParams::Interval},
    // A million is as good as forever.
    {{"Repeat", true, 0.0f, 1.0e6f, 0.0f}, &BurstParams::Repeat},
}};
// Effect is a path, not a number: the loader loads it once the whole chain is applied, and
// SubEffectParams::Effect stays -1 until then.
inline constexpr std::array<RecordField<SubEffectParams>, 3> kSubEffectFields{{
    {{"Effect", false, 0.0f, 0.0f, 0.0f, true}},
    {{"Count", true, 0.0f, kMaxBurstCount, 1.0f}, &SubEffectParams::Count},
    {{"Inherit", true, 0.0f, 1.0f, 0.0f}, &SubEffectParams::Inherit},
}};
inline constexpr std::array<RecordField<ForcePoint>, 6> kForceFields{{
    {{"X", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f}, &ForcePoint::X},
    {{"Y", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f}, &ForcePoint::Y},
    {{"Strength", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f}, &ForcePoint::Strength},
    {{"Radius", false, 0.0f, kMaxMotionAmount, 0.0f}, &ForcePoint::Radius},
    {{"Falloff", true, 0.0f, 4.0f, 0.0f}, &ForcePoint::Falloff},
    {{"Screen", true, 0.0f, 1.0f, 0.0f}, &ForcePoint::Screen},
}};
// The defaults are TurbulenceParams'; a Scale of at least a pixel keeps 1 / Scale finite.
inline constexpr std::array<RecordField<TurbulenceParams>, 4> kTurbulenceFields{{
    {{"Strength", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f}, &TurbulenceParams::Strength},
    {{"Scale", false, 1.0f, kMaxMotionAmount, 100.0f}, &TurbulenceParams::Scale},
    {{"Speed", false, 0.0f, 1000.0f, 1.0f}, &TurbulenceParams::Speed},
    {{"Seed", true, 0.0f, 1.0e6f, 0.0f}, &TurbulenceParams::Seed},
}};
// The fields of one Collide block: each of Floor, Ceiling, Left and Right it names gives a line,
// and any of X1, Y1, X2, Y2 a segment (a missing end number 0), all sharing the rest; its own
// reader (ParseCollide) turns them into lines.
inline constexpr std::array<BlockField, 12> kCollideFields{{
    {"Floor", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f},
    {"Ceiling", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f},
    {"Left", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f},
    {"Right", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f},
    {"X1", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f},
    {"Y1", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f},
    {"X2", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f},
    {"Y2", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f},
    {"Bounce", false, 0.0f, 1.0f, 1.0f},
    {"Friction", false, 0.0f, 1.0f, 0.0f},
    {"Die", true, 0.0f, 1.0f, 0.0f},
    {"Screen", true, 0.0f, 1.0f, 0.0f},
}};
inline constexpr std::array<RecordField<TrailParams>, 7> kTrailFields{{
    {{"Points", true, 0.0f, kMaxTrailPoints, 8.0f}, &TrailParams::Points},
    {{"Length", false, 0.0f, 1.0e6f, 0.0f}, &TrailParams::Length},
    {{"Width", false, 0.0f, kMaxMotionAmount, 0.0f}, &TrailParams::Width},
    {{"EndWidth", false, 0.0f, kMaxMotionAmount, 0.0f}, &TrailParams::EndWidth},
    {{"Fade", false, 0.0f, 1.0f, 1.0f}, &TrailParams::Fade},
    {{"Darken", false, 0.0f, 1.0f, 0.0f}, &TrailParams::Darken},
    {{"Behind", true, 0.0f, 1.0f, 0.0f}, &TrailParams::Behind},
}};
// Max's default is its top, so that a Factor alone stretches up to a thousand sizes.
inline constexpr float kMaxStretch = StretchParams{}.Max;
inline constexpr std::array<RecordField<StretchParams>, 2> kStretchFields{{
    {{"Factor", false, 0.0f, 1000.0f, 0.0f}, &StretchParams::Factor},
    {{"Max", false, 1.0f, kMaxStretch, kMaxStretch}, &StretchParams::Max},
}};

// The offsets drawn per particle (seconds of life past at birth, pixels along x or y): Min and
// Max within [least, most], Step at least leastStep. A Max below Min is held at Min (see
// FinishRecord).
constexpr std::array<RecordField<DrawnRange>, 3> DrawnRangeFields(float least, float most,
                                                                  float leastStep) {
    return {{
        {{"Min", false, least, most, 0.0f}, &DrawnRange::Min},
        {{"Max", false, least, most, 0.0f}, &DrawnRange::Max},
        {{"Step", false, leastStep, most, leastStep}, &DrawnRange::Step},
    }};
}

// The reading rules of a record's fields alone, for the readers that fill no record (the
// checker, the editor's table).
template <const auto& Record>
inline constexpr auto kReadRulesOf = [] {
    std::array<BlockField, std::tuple_size_v<std::remove_cvref_t<decltype(Record)>>> rules{};
    for (std::size_t i = 0; i < rules.size(); ++i) rules[i] = Record[i].Read;
    return rules;
}();

// A block field's number as the loader stores it: the entry of that name, or the one at
// position index + 1 when no entry of `text` has a name, held to the field's range; a missing
// entry gives its Default, and an Integer field reads as Layer does (extra_values.cpp).
float ReadBlockField(std::string_view text, const BlockField& field, std::size_t index);

// What the fields of a record keep between them once read: a sheet shows no more frames than
// it has cells.
template <class Record>
constexpr void FinishRecord(Record&) {}
constexpr void FinishRecord(SpriteSheetParams& sheet) {
    sheet.Frames = std::min(sheet.Frames, sheet.Columns * sheet.Rows);
}
// A drawn range runs upwards: the draws stay between its ends.
constexpr void FinishRecord(DrawnRange& range) {
    range.Max = std::max(range.Max, range.Min);
}

// A block's record: each field read by its rule into its member, from the record's defaults.
template <class Record, std::size_t N>
Record ReadRecord(std::string_view text, const std::array<RecordField<Record>, N>& fields) {
    Record record;
    for (std::size_t i = 0; i < N; ++i) {
        const auto& member = fields[i].Member;
        if (const auto* to = std::get_if<float Record::*>(&member)) {
            record.** to = ReadBlockField(text, fields[i].Read, i);
        } else if (const auto* to = std::get_if<int32_t Record::*>(&member)) {
            // Held to a range within 32 bits, so the conversion is exact.
            record.** to = static_cast<int32_t>(ReadBlockField(text, fields[i].Read, i));
        }
    }
    FinishRecord(record);
    return record;
}

// Block and Collide rows: the fields of the value, and the reader that stores the whole of it
// into its record of Extras, replacing what an earlier file set.
struct BlockKeyTarget {
    std::span<const BlockField> Fields;
    void (*Store)(ExtraParams&, std::string_view);
};

template <auto Member, const auto& Fields>
void StoreRecord(ExtraParams& extras, std::string_view text) {
    extras.*Member = ReadRecord(text, Fields);
}

// The row target of a block read by the table `Fields` into the record `Member` of Extras.
template <auto Member, const auto& Fields>
inline constexpr BlockKeyTarget kBlockOf{kReadRulesOf<Fields>, &StoreRecord<Member, Fields>};

// Collide's reader (extra_values.cpp): one block of lines or a list of them.
void StoreCollide(ExtraParams& extras, std::string_view text);

// The points of an Attractor or a Vortex: one block of kForceFields, or a list of up to
// kMaxForcePoints of them in the order written (extra_values.cpp).
ForceList ReadForceList(std::string_view text);
template <auto Member>
void StoreForces(ExtraParams& extras, std::string_view text) {
    extras.*Member = ReadForceList(text);
}
template <auto Member>
inline constexpr BlockKeyTarget kForcesOf{kReadRulesOf<kForceFields>, &StoreForces<Member>};

}  // namespace pp
