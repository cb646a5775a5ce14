// The keys of an effect file, in the order the loader applies them: one table that the loader,
// check, inspect and the fuzz targets all read. Each row also says which parameters its value
// is stored in, and the loader applies the rows as they stand. An optional key whose value is
// one public field takes its description and how its value is read from that field's KEY row
// of particleplayer/effect_extras_list.h (Listed), so that its row here says only where the
// value goes and the range it is held to.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>
#include <variant>

#include "particleplayer/effect_extras_list.h"
#include "particles/particles.h"

namespace pp {

// How a key's value is read.
enum class EffectValueKind {
    Path,     // a file name ('\' separates folders)
    Int,      // one integer
    Float,    // one number
    Pair,     // {x, y}: two numbers by position
    IntPair,  // {a, b}: two integers by position
    Area,     // {Type = name, Width, Height, Angle}
    Spec,     // a randomised number: plain, {Min, Max}, {Value, Range} or {Value, Blur}, + Inc
    IntSpec,  // the same forms over integers
    // The optional keys, into EmitterParams::Extras:
    Colour,       // {R, G, B}: three numbers by position, each held to 0..255
    Curve,        // {t = v, ...}: keys at fractions of a particle's life
    ColourCurve,  // {t = {R, G, B}, ...}
    Amount,       // one number held to a range
    Block,        // {Name = number, ...}: a record's fields by name, or by position
    SpriteFile,   // an image file, relative to the folder of the file that names it
    Randomised,   // a Spec form into a RandomKey of Extras.Motion, its bounds held to a range
    Rgba,         // {R, G, B, A}: four numbers by position, each held to 0..255
    Whole,        // one whole number, read as Layer is, held to a range
    Collide,      // {Floor = Y, ..., Bounce, ...}: lines by name, or a list of such blocks
    BlockList,    // one Block, or a list of such blocks: {{X = 1, ...}, {X = 2, ...}}
    Paths,        // {A.txt, B.txt}: effect files, read by the group reader (effect_group.h)
};

// Int rows: IntOr(value, Fallback) into Field.
struct IntKeyField {
    int32_t EmitterParams::*Field;
    int32_t Fallback;
};

// Pair rows: the entries "1" and "2" of the value, each FloatOr(entry, 0), into X and Y.
struct PairKeyFields {
    float EmitterParams::*X;
    float EmitterParams::*Y;
};

// IntPair rows: IntOr("1", FirstFallback) into First, IntOr("2", SecondFallback) into Second.
// A missing part takes its fallback, not the value the field had.
struct IntPairKeyFields {
    int32_t EmitterParams::*First;
    int32_t FirstFallback;
    int32_t EmitterParams::*Second;
    int32_t SecondFallback;
};

// Curve rows: the keys' values held to [Min, Max].
struct CurveKeyField {
    LifeCurve<1> ExtraParams::*Field;
    float Min;
    float Max;
};

// Amount rows: the number held to [Min, Max] into Field.
struct AmountKeyField {
    float ExtraParams::*Field;
    float Min;
    float Max;
};

// Randomised rows: the form's Min and Max (after the setting rule) each held to [Min, Max].
struct RandomKeyField {
    RandomKey MotionParams::*Field;
    float Min;
    float Max;
};

// Rgba rows: a missing channel reads Missing.
struct RgbaKeyField {
    ColourKey MotionParams::*Field;
    float Missing;
};

// Whole rows: the number held to [Min, Max] into Field.
struct WholeKeyField {
    int32_t ExtraParams::*Field;
    int32_t Min;
    int32_t Max;
};

// The motion keys' ranges: far beyond any effect's use, small enough that no sum of them
// overflows a float.
inline constexpr float kMaxMotionAmount = 1.0e6f;
// The widest quad over its height Aspect asks for (and its inverse the tallest).
inline constexpr float kMaxAspect = 100.0f;
// The most particles MaxAlive caps an effect at.
inline constexpr int32_t kMaxAliveCap = 1000000000;

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
// Size and transparency curves multiply by at most this much.
inline constexpr float kMaxLifeFactor = 1000.0f;

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

// The offsets drawn per particle: seconds of life past at birth, and pixels along x or y. A Max
// below Min is held at Min (see FinishRecord).
inline constexpr std::array<RecordField<DrawnRange>, 3> kLifeOffsetFields{{
    {{"Min", false, 0.0f, 1.0e6f, 0.0f}, &DrawnRange::Min},
    {{"Max", false, 0.0f, 1.0e6f, 0.0f}, &DrawnRange::Max},
    {{"Step", false, 0.001f, 1.0e6f, 0.001f}, &DrawnRange::Step},
}};
inline constexpr std::array<RecordField<DrawnRange>, 3> kBirthOffsetFields{{
    {{"Min", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f}, &DrawnRange::Min},
    {{"Max", false, -kMaxMotionAmount, kMaxMotionAmount, 0.0f}, &DrawnRange::Max},
    {{"Step", false, 0.01f, kMaxMotionAmount, 0.01f}, &DrawnRange::Step},
}};

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

// Where a row's value goes; the alternative follows the row's Kind:
//   Path, Area, SpriteFile, Paths: none here (the loader's chain walk, SetArea with its own rule,
//   the group reader);
//   Int: IntKeyField; Float: the field, FloatOr(value, 0); Pair: PairKeyFields;
//   IntPair: IntPairKeyFields; Spec and IntSpec: the triple, stored by the setting rule;
//   Colour: the triple of Extras; Curve: CurveKeyField; ColourCurve: the curve of Extras;
//   Amount: AmountKeyField; Randomised: RandomKeyField; Rgba: RgbaKeyField;
//   Whole: WholeKeyField; Block, Collide and BlockList: BlockKeyTarget.
using EffectKeyTarget =
    std::variant<std::monostate, IntKeyField, float EmitterParams::*, PairKeyFields,
                 IntPairKeyFields, ValueSpec EmitterParams::*, IntValueSpec EmitterParams::*,
                 std::array<float, 3> ExtraParams::*, CurveKeyField, LifeCurve<3> ExtraParams::*,
                 AmountKeyField, RandomKeyField, RgbaKeyField, WholeKeyField, BlockKeyTarget>;

// Description: one line for an author, what the key does (the editor's panel shows it).
struct EffectKey {
    std::string_view Name;
    EffectValueKind Kind;
    EffectKeyTarget Target{};
    std::string_view Description{};
};

// The optional keys whose value is one public field of the same name (the KEY rows of
// particleplayer/effect_extras_list.h): that row gives the key's description and, by its
// field's kind, how the value is read.
struct ListedKey {
    std::string_view Name;
    EffectValueKind Kind;
    std::string_view Description;
};

// How a KEY row's value is read, by its field's kind; a kind that is no key's whole value stops
// the build.
consteval EffectValueKind ReadAs(std::string_view fieldKind) {
    if (fieldKind == "FLOAT") return EffectValueKind::Amount;
    if (fieldKind == "INT") return EffectValueKind::Whole;
    if (fieldKind == "COLOUR") return EffectValueKind::Colour;
    if (fieldKind == "CURVE1") return EffectValueKind::Curve;
    if (fieldKind == "CURVE3") return EffectValueKind::ColourCurve;
    if (fieldKind == "MOTION_VALUE") return EffectValueKind::Randomised;
    if (fieldKind == "MOTION_COLOUR") return EffectValueKind::Rgba;
    if (fieldKind == "COLLIDE_LIST") return EffectValueKind::Collide;
    if (fieldKind == "SUB_EFFECT" || fieldKind == "TURBULENCE" || fieldKind == "TRAIL" ||
        fieldKind == "DRAWN_RANGE") {
        return EffectValueKind::Block;
    }
    throw "no key reads a field of this kind whole";
}

#define PP_LISTED_KEY(kind, name, description) ListedKey{#name, ReadAs(#kind), description},
#define PP_LISTED_FIELD(kind, name, description)
#define PP_LISTED_ROW(kind, name, cName, shown, key, description, ...) \
    PP_LISTED_##key(kind, name, description)
inline constexpr ListedKey kListedKeys[] = {PARTICLEPLAYER_EFFECT_EXTRAS(PP_LISTED_ROW)};
#undef PP_LISTED_ROW
#undef PP_LISTED_FIELD
#undef PP_LISTED_KEY

// The keys whose value is the engine's parameter of the same name (LifeTime, Size, ...): that
// row of particleplayer/effect_params.h gives the description and, by its kind, the reading.
consteval EffectValueKind ReadParamAs(std::string_view paramKind) {
    if (paramKind == "INT") return EffectValueKind::Int;
    if (paramKind == "FLOAT") return EffectValueKind::Float;
    if (paramKind == "RANGE") return EffectValueKind::Spec;
    if (paramKind == "INT_RANGE") return EffectValueKind::IntSpec;
    throw "no key reads a parameter of this kind";
}

#define PP_PARAM_KEY(kind, name, cName, description, ...) \
    ListedKey{#name, ReadParamAs(#kind), description},
inline constexpr ListedKey kParamKeys[] = {PARTICLEPLAYER_EFFECT_PARAMS(PP_PARAM_KEY)};
#undef PP_PARAM_KEY

// The row of a listed key, stored into `target`: a KEY row of effect_extras_list.h or a row of
// effect_params.h. A name with no such row stops the build.
consteval EffectKey Listed(std::string_view name, EffectKeyTarget target) {
    for (const auto& rows :
         {std::span<const ListedKey>(kListedKeys), std::span<const ListedKey>(kParamKeys)}) {
        for (const ListedKey& key : rows) {
            if (key.Name == name) return {key.Name, key.Kind, target, key.Description};
        }
    }
    throw "no KEY row or parameter of this name";
}

// The seventeen keys every effect has first, then the optional ones, each of which changes
// nothing when left out, so that a file without them loads to the same parameters.
inline constexpr std::array<EffectKey, 73> kEffectKeys{{
    {"Extends", EffectValueKind::Path, {}, "A file applied first; this file's own keys then win."},
    Listed("Layer", IntKeyField{&EmitterParams::Layer, 0}),
    {"EmitterPosition", EffectValueKind::Pair,
     PairKeyFields{&EmitterParams::PositionX, &EmitterParams::PositionY},
     "Centre of the emission area, in pixels."},
    {"EmitterArea",
     EffectValueKind::Area,
     {},
     "Where particles are born: a point, line, square, rectangle, circle or ellipse."},
    Listed("EmissionAngle", &EmitterParams::EmissionAngle),
    Listed("EmissionVelocity", &EmitterParams::EmissionVelocity),
    {"Acceleration", EffectValueKind::Pair,
     PairKeyFields{&EmitterParams::AccelerationX, &EmitterParams::AccelerationY},
     "Constant pull on every particle, in pixels per second squared."},
    Listed("LifeTime", &EmitterParams::LifeTime),
    Listed("EmissionRate", &EmitterParams::EmissionRate),
    Listed("Sprite", &EmitterParams::Sprite),
    Listed("Size", &EmitterParams::Size),
    Listed("Raise", &EmitterParams::Raise),
    Listed("Rotation", &EmitterParams::Rotation),
    Listed("Transparency", &EmitterParams::Transparency),
    Listed("Fade", &EmitterParams::Fade),
    {"BlendingMode", EffectValueKind::IntPair,
     // A missing part takes the creation default.
     IntPairKeyFields{&EmitterParams::BlendSource, EmitterParams{}.BlendSource,
                      &EmitterParams::BlendDestination, EmitterParams{}.BlendDestination},
     "Source and destination blend factor codes, 1 to 13."},
    Listed("Disable", IntKeyField{&EmitterParams::Disable, 1}),
    Listed("Colour", &ExtraParams::Colour),
    Listed("ColourOverLife", &ExtraParams::ColourOverLife),
    Listed("SizeOverLife", CurveKeyField{&ExtraParams::SizeOverLife, 0.0f, kMaxLifeFactor}),
    Listed("TransparencyOverLife",
           CurveKeyField{&ExtraParams::TransparencyOverLife, 0.0f, kMaxLifeFactor}),
    Listed("Drag", AmountKeyField{&ExtraParams::Drag, 0.0f, 1000.0f}),
    Listed("Spin", AmountKeyField{&ExtraParams::Spin, -1.0e6f, 1.0e6f}),
    {"SpriteSheet", EffectValueKind::Block, kBlockOf<&ExtraParams::SpriteSheet, kSpriteSheetFields>,
     "Animates the sprite through the cells of one texture."},
    {"Burst", EffectValueKind::Block, kBlockOf<&ExtraParams::Burst, kBurstFields>,
     "Emits Count particles at once, in place of the steady rate."},
    // Below 2^31 ms, so that the end of the emission is a clock difference read exactly.
    Listed("Duration", AmountKeyField{&ExtraParams::Duration, 0.0f, 1.0e6f}),
    Listed("Prewarm", AmountKeyField{&ExtraParams::Prewarm, 0.0f, kMaxPrewarmSeconds}),
    Listed("OnBirth", kBlockOf<&ExtraParams::OnBirth, kSubEffectFields>),
    Listed("OnDeath", kBlockOf<&ExtraParams::OnDeath, kSubEffectFields>),
    {"SpriteFile",
     EffectValueKind::SpriteFile,
     {},
     "The PNG or BMP image the particles draw with, beside this file; {A.png, B.png, ...} "
     "lists up to 16 for SpriteMode."},
    // The motion keys (particles/motion.h), in the order a birth draws them.
    Listed("RadialAcceleration",
           RandomKeyField{&MotionParams::RadialAcceleration, -kMaxMotionAmount, kMaxMotionAmount}),
    Listed("TangentialAcceleration", RandomKeyField{&MotionParams::TangentialAcceleration,
                                                    -kMaxMotionAmount, kMaxMotionAmount}),
    Listed("OrbitRadius", RandomKeyField{&MotionParams::OrbitRadius, 0.0f, kMaxMotionAmount}),
    Listed("OrbitEndRadius", RandomKeyField{&MotionParams::OrbitEndRadius, 0.0f, kMaxMotionAmount}),
    Listed("OrbitSpin",
           RandomKeyField{&MotionParams::OrbitSpin, -kMaxMotionAmount, kMaxMotionAmount}),
    Listed("EndSize", RandomKeyField{&MotionParams::EndSize, 0.0f, kMaxMotionAmount}),
    Listed("Angle", RandomKeyField{&MotionParams::Angle, -kMaxMotionAmount, kMaxMotionAmount}),
    Listed("EndAngle",
           RandomKeyField{&MotionParams::EndAngle, -kMaxMotionAmount, kMaxMotionAmount}),
    Listed("StartColour", RgbaKeyField{&MotionParams::StartColour, 255.0f}),
    Listed("StartColourVariance", RgbaKeyField{&MotionParams::StartColourVariance, 0.0f}),
    Listed("EndColour", RgbaKeyField{&MotionParams::EndColour, 255.0f}),
    Listed("EndColourVariance", RgbaKeyField{&MotionParams::EndColourVariance, 0.0f}),
    Listed("AlignToMotion", WholeKeyField{&ExtraParams::AlignToMotion, 0, 1}),
    Listed("MaxAlive", WholeKeyField{&ExtraParams::MaxAlive, 0, kMaxAliveCap}),
    Listed("Attached", WholeKeyField{&ExtraParams::Attached, 0, 1}),
    // The forces (particles/forces.h).
    {"Attractor", EffectValueKind::BlockList, kForcesOf<&ExtraParams::Attractor>,
     "A point that pulls particles (or pushes, with a negative Strength), px/s²; a list of up to "
     "8 blocks gives several."},
    {"Vortex", EffectValueKind::BlockList, kForcesOf<&ExtraParams::Vortex>,
     "A point that particles swirl about, px/s², clockwise on screen when positive; a list of up "
     "to 8 blocks gives several."},
    // The same switch as AlignToMotion under the name other tools give it; the later of the two
    // in a file wins, as the rows apply in order.
    {"AlignToVelocity", EffectValueKind::Whole, WholeKeyField{&ExtraParams::AlignToMotion, 0, 1},
     "1: the sprite turns to its direction of travel (the same as AlignToMotion)."},
    // The drawn shape (particles/looks.h).
    Listed("Aspect", AmountKeyField{&ExtraParams::Aspect, 0.0f, kMaxAspect}),
    // The start of emission (particles/emission.cpp). Delay and Duration together stay below
    // 2^31 ms, so that both ends are clock differences read exactly.
    Listed("Delay", AmountKeyField{&ExtraParams::Delay, 0.0f, 1.0e6f}),
    Listed("MinAlive", WholeKeyField{&ExtraParams::MinAlive, 0, kMaxBurstCount}),
    // The noise field (particles/turbulence.h).
    Listed("Turbulence", kBlockOf<&ExtraParams::Turbulence, kTurbulenceFields>),
    // Collision (particles/collide.h).
    Listed("Collide", BlockKeyTarget{kCollideFields, &StoreCollide}),
    Listed("OnCollide", kBlockOf<&ExtraParams::OnCollide, kSubEffectFields>),
    // The ribbons behind particles (particles/trails.h).
    Listed("Trail", kBlockOf<&ExtraParams::Trail, kTrailFields>),
    // The drawn shape again (particles/looks.h): it turns the sprites as AlignToMotion does.
    {"Stretch", EffectValueKind::Block, kBlockOf<&ExtraParams::Stretch, kStretchFields>,
     "Lengthens each quad along its velocity: width times 1 + Factor x speed, at most Max."},
    // Emission along the emitter's move (particles/emission.cpp).
    Listed("EmitAlongPath", WholeKeyField{&ExtraParams::EmitAlongPath, 0, 1}),
    Listed("EmitByDistance", AmountKeyField{&ExtraParams::EmitByDistance, 0.0f, kMaxBurstCount}),
    // Motion over each particle's life (particles/motion.h).
    Listed("SpeedOverLife",
           CurveKeyField{&ExtraParams::SpeedOverLife, -kMaxLifeFactor, kMaxLifeFactor}),
    Listed("TurnOverLife",
           CurveKeyField{&ExtraParams::TurnOverLife, -kMaxMotionAmount, kMaxMotionAmount}),
    Listed("AngleOverLife",
           CurveKeyField{&ExtraParams::AngleOverLife, -kMaxLifeFactor, kMaxLifeFactor}),
    Listed("DriftXOverLife",
           CurveKeyField{&ExtraParams::DriftXOverLife, -kMaxMotionAmount, kMaxMotionAmount}),
    Listed("DriftYOverLife",
           CurveKeyField{&ExtraParams::DriftYOverLife, -kMaxMotionAmount, kMaxMotionAmount}),
    // A group file's one key (effects/effect_group.h): the members load as effects of their own,
    // so the loader of one effect passes over it.
    {"Group",
     EffectValueKind::Paths,
     {},
     "Effect files played together at one place, in this order, each drawn over those before."},
    // How a particle picks among the images of a SpriteFile list (particles/looks.h).
    Listed("SpriteMode", WholeKeyField{&ExtraParams::SpriteMode, 0, 2}),
    // Curves over the emitter's Duration and its repetition (particles/emission.cpp): each
    // time is a fraction of the cycle.
    Listed("EmissionOverDuration",
           CurveKeyField{&ExtraParams::EmissionOverDuration, 0.0f, kMaxLifeFactor}),
    Listed("LifeOverDuration", CurveKeyField{&ExtraParams::LifeOverDuration, 0.0f, kMaxLifeFactor}),
    Listed("WidthOverDuration",
           CurveKeyField{&ExtraParams::WidthOverDuration, 0.0f, kMaxLifeFactor}),
    Listed("HeightOverDuration",
           CurveKeyField{&ExtraParams::HeightOverDuration, 0.0f, kMaxLifeFactor}),
    Listed("Continuous", WholeKeyField{&ExtraParams::Continuous, 0, 1}),
    Listed("LifeOffset", kBlockOf<&ExtraParams::LifeOffset, kLifeOffsetFields>),
    Listed("BirthOffsetX", kBlockOf<&ExtraParams::BirthOffsetX, kBirthOffsetFields>),
    Listed("BirthOffsetY", kBlockOf<&ExtraParams::BirthOffsetY, kBirthOffsetFields>),
}};

// Every KEY row of the list is read by exactly one row here, its Listed one, so that no public
// field waits for a key the loader lacks and no key is described twice.
constexpr bool EveryListedKeyReadOnce() {
    for (const ListedKey& listed : kListedKeys) {
        const auto named = [&](const EffectKey& key) { return key.Name == listed.Name; };
        const auto* row = std::find_if(std::begin(kEffectKeys), std::end(kEffectKeys), named);
        if (std::count_if(std::begin(kEffectKeys), std::end(kEffectKeys), named) != 1 ||
            row->Kind != listed.Kind || row->Description != listed.Description) {
            return false;
        }
    }
    return true;
}
static_assert(EveryListedKeyReadOnce());

// The named fields of a block row's value; empty for the other kinds.
constexpr std::span<const BlockField> BlockFieldsOf(const EffectKey& key) {
    const auto* block = std::get_if<BlockKeyTarget>(&key.Target);
    return block != nullptr ? block->Fields : std::span<const BlockField>{};
}

// Whether a row's value names an effect started from each particle (OnBirth, OnDeath, ...).
constexpr bool StartsEffect(const EffectKey& key) {
    const std::span<const BlockField> fields = BlockFieldsOf(key);
    return !fields.empty() && fields.front().Path;
}
// Whether a row's Target is the alternative its Kind reads into.
constexpr bool TargetFitsKind(const EffectKey& key) {
    switch (key.Kind) {
        case EffectValueKind::Path:
        case EffectValueKind::Area:
        case EffectValueKind::SpriteFile:
        case EffectValueKind::Paths:
            return std::holds_alternative<std::monostate>(key.Target);
        case EffectValueKind::Int:
            return std::holds_alternative<IntKeyField>(key.Target);
        case EffectValueKind::Float:
            return std::holds_alternative<float EmitterParams::*>(key.Target);
        case EffectValueKind::Pair:
            return std::holds_alternative<PairKeyFields>(key.Target);
        case EffectValueKind::IntPair:
            return std::holds_alternative<IntPairKeyFields>(key.Target);
        case EffectValueKind::Spec:
            return std::holds_alternative<ValueSpec EmitterParams::*>(key.Target);
        case EffectValueKind::IntSpec:
            return std::holds_alternative<IntValueSpec EmitterParams::*>(key.Target);
        case EffectValueKind::Colour:
            return std::holds_alternative<std::array<float, 3> ExtraParams::*>(key.Target);
        case EffectValueKind::Curve:
            return std::holds_alternative<CurveKeyField>(key.Target);
        case EffectValueKind::ColourCurve:
            return std::holds_alternative<LifeCurve<3> ExtraParams::*>(key.Target);
        case EffectValueKind::Amount:
            return std::holds_alternative<AmountKeyField>(key.Target);
        case EffectValueKind::Randomised:
            return std::holds_alternative<RandomKeyField>(key.Target);
        case EffectValueKind::Rgba:
            return std::holds_alternative<RgbaKeyField>(key.Target);
        case EffectValueKind::Whole:
            return std::holds_alternative<WholeKeyField>(key.Target);
        case EffectValueKind::Block:
        case EffectValueKind::Collide:
        case EffectValueKind::BlockList:
            return std::holds_alternative<BlockKeyTarget>(key.Target);
    }
    return false;
}
static_assert(std::all_of(std::begin(kEffectKeys), std::end(kEffectKeys), TargetFitsKind),
              "each row stores as it reads");

}  // namespace pp
