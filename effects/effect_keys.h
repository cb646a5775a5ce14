// The keys of an effect file, in the order the loader applies them: one table that the loader,
// check, inspect and the fuzz targets all read, so that a key is named in one place only. Each
// row also says which parameters its value is stored in, and the loader applies the rows as
// they stand.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>
#include <variant>

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

// The seventeen keys every effect has first, then the optional ones, each of which changes
// nothing when left out, so that a file without them loads to the same parameters.
inline constexpr std::array<EffectKey, 73> kEffectKeys{{
    {"Extends", EffectValueKind::Path, {}, "A file applied first; this file's own keys then win."},
    {"Layer", EffectValueKind::Int, IntKeyField{&EmitterParams::Layer, 0},
     "Drawing layer; only layer 0 is drawn."},
    {"EmitterPosition", EffectValueKind::Pair,
     PairKeyFields{&EmitterParams::PositionX, &EmitterParams::PositionY},
     "Centre of the emission area, in pixels."},
    {"EmitterArea",
     EffectValueKind::Area,
     {},
     "Where particles are born: a point, line, square, rectangle, circle or ellipse."},
    {"EmissionAngle", EffectValueKind::Spec, &EmitterParams::EmissionAngle,
     "Direction of flight of a new particle, in degrees (90 points down)."},
    {"EmissionVelocity", EffectValueKind::Spec, &EmitterParams::EmissionVelocity,
     "Starting speed, in pixels per second."},
    {"Acceleration", EffectValueKind::Pair,
     PairKeyFields{&EmitterParams::AccelerationX, &EmitterParams::AccelerationY},
     "Constant pull on every particle, in pixels per second squared."},
    {"LifeTime", EffectValueKind::Spec, &EmitterParams::LifeTime,
     "Seconds a particle lives at most."},
    {"EmissionRate", EffectValueKind::Spec, &EmitterParams::EmissionRate,
     "Particles per second, at most 1000."},
    {"Sprite", EffectValueKind::IntSpec, &EmitterParams::Sprite,
     "Sprite number a new particle draws with."},
    {"Size", EffectValueKind::Spec, &EmitterParams::Size,
     "Starting edge of a particle's square, in pixels."},
    {"Raise", EffectValueKind::Float, &EmitterParams::Raise,
     "Growth of the size, in pixels per second."},
    {"Rotation", EffectValueKind::Spec, &EmitterParams::Rotation,
     "Spin of a new particle, in degrees added every frame."},
    {"Transparency", EffectValueKind::Spec, &EmitterParams::Transparency,
     "Starting opacity, 0 (invisible) to 255 (opaque)."},
    {"Fade", EffectValueKind::Float, &EmitterParams::Fade, "Change of opacity per second."},
    {"BlendingMode", EffectValueKind::IntPair,
     // A missing part takes the creation default.
     IntPairKeyFields{&EmitterParams::BlendSource, EmitterParams{}.BlendSource,
                      &EmitterParams::BlendDestination, EmitterParams{}.BlendDestination},
     "Source and destination blend factor codes, 1 to 13."},
    {"Disable", EffectValueKind::Int, IntKeyField{&EmitterParams::Disable, 1},
     "Anything but 0 stops emission."},
    {"Colour", EffectValueKind::Colour, &ExtraParams::Colour,
     "Multiplies the sprite's red, green and blue, 0 to 255 each."},
    {"ColourOverLife", EffectValueKind::ColourCurve, &ExtraParams::ColourOverLife,
     "A colour over each particle's life, multiplying Colour."},
    {"SizeOverLife", EffectValueKind::Curve,
     CurveKeyField{&ExtraParams::SizeOverLife, 0.0f, kMaxLifeFactor},
     "A factor over each particle's life, multiplying its drawn size."},
    {"TransparencyOverLife", EffectValueKind::Curve,
     CurveKeyField{&ExtraParams::TransparencyOverLife, 0.0f, kMaxLifeFactor},
     "A factor over each particle's life, multiplying its drawn opacity."},
    {"Drag", EffectValueKind::Amount, AmountKeyField{&ExtraParams::Drag, 0.0f, 1000.0f},
     "Fraction of the speed lost per second."},
    {"Spin", EffectValueKind::Amount, AmountKeyField{&ExtraParams::Spin, -1.0e6f, 1.0e6f},
     "Turn in degrees per second, beside Rotation's per-frame step."},
    {"SpriteSheet", EffectValueKind::Block, kBlockOf<&ExtraParams::SpriteSheet, kSpriteSheetFields>,
     "Animates the sprite through the cells of one texture."},
    {"Burst", EffectValueKind::Block, kBlockOf<&ExtraParams::Burst, kBurstFields>,
     "Emits Count particles at once, in place of the steady rate."},
    // Below 2^31 ms, so that the end of the emission is a clock difference read exactly.
    {"Duration", EffectValueKind::Amount, AmountKeyField{&ExtraParams::Duration, 0.0f, 1.0e6f},
     "Seconds of emission after creation; 0 is no end."},
    {"Prewarm", EffectValueKind::Amount,
     AmountKeyField{&ExtraParams::Prewarm, 0.0f, kMaxPrewarmSeconds},
     "Seconds run while loading, so that the effect starts full."},
    {"OnBirth", EffectValueKind::Block, kBlockOf<&ExtraParams::OnBirth, kSubEffectFields>,
     "An effect started where each particle is born."},
    {"OnDeath", EffectValueKind::Block, kBlockOf<&ExtraParams::OnDeath, kSubEffectFields>,
     "An effect started where each particle dies."},
    {"SpriteFile",
     EffectValueKind::SpriteFile,
     {},
     "The PNG or BMP image the particles draw with, beside this file; {A.png, B.png, ...} "
     "lists up to 16 for SpriteMode."},
    // The motion keys (particles/motion.h), in the order a birth draws them.
    {"RadialAcceleration", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::RadialAcceleration, -kMaxMotionAmount, kMaxMotionAmount},
     "Push away from the point a particle was born around, pixels per second squared (negative "
     "pulls)."},
    {"TangentialAcceleration", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::TangentialAcceleration, -kMaxMotionAmount, kMaxMotionAmount},
     "Push at right angles to that point, pixels per second squared, clockwise on screen when "
     "positive."},
    {"OrbitRadius", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::OrbitRadius, 0.0f, kMaxMotionAmount},
     "Orbit mode: the start radius of a particle's circle about the emitter, in pixels."},
    {"OrbitEndRadius", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::OrbitEndRadius, 0.0f, kMaxMotionAmount},
     "Orbit mode: the radius reached at death, in pixels."},
    {"OrbitSpin", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::OrbitSpin, -kMaxMotionAmount, kMaxMotionAmount},
     "Orbit mode: degrees a second a particle turns about the emitter."},
    {"EndSize", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::EndSize, 0.0f, kMaxMotionAmount},
     "The size a particle reaches at death, linear from its birth size."},
    {"Angle", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::Angle, -kMaxMotionAmount, kMaxMotionAmount},
     "The sprite's angle at birth, degrees clockwise."},
    {"EndAngle", EffectValueKind::Randomised,
     RandomKeyField{&MotionParams::EndAngle, -kMaxMotionAmount, kMaxMotionAmount},
     "The sprite's angle at death, degrees clockwise, reached linearly."},
    {"StartColour", EffectValueKind::Rgba, RgbaKeyField{&MotionParams::StartColour, 255.0f},
     "Colour and opacity at birth, {R, G, B, A} 0 to 255."},
    {"StartColourVariance", EffectValueKind::Rgba,
     RgbaKeyField{&MotionParams::StartColourVariance, 0.0f},
     "Plus or minus this much of each StartColour channel, drawn at birth."},
    {"EndColour", EffectValueKind::Rgba, RgbaKeyField{&MotionParams::EndColour, 255.0f},
     "Colour and opacity at death, {R, G, B, A} 0 to 255."},
    {"EndColourVariance", EffectValueKind::Rgba,
     RgbaKeyField{&MotionParams::EndColourVariance, 0.0f},
     "Plus or minus this much of each EndColour channel, drawn at birth."},
    {"AlignToMotion", EffectValueKind::Whole, WholeKeyField{&ExtraParams::AlignToMotion, 0, 1},
     "1: the sprite turns to its direction of travel."},
    {"MaxAlive", EffectValueKind::Whole, WholeKeyField{&ExtraParams::MaxAlive, 0, kMaxAliveCap},
     "At most this many live particles of this effect; 0 is no cap."},
    {"Attached", EffectValueKind::Whole, WholeKeyField{&ExtraParams::Attached, 0, 1},
     "1: particles move with their emitter."},
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
    {"Aspect", EffectValueKind::Amount, AmountKeyField{&ExtraParams::Aspect, 0.0f, kMaxAspect},
     "Width over height of the drawn quad, to keep a sprite that is not square in its shape; 0 "
     "draws squares."},
    // The start of emission (particles/emission.cpp). Delay and Duration together stay below
    // 2^31 ms, so that both ends are clock differences read exactly.
    {"Delay", EffectValueKind::Amount, AmountKeyField{&ExtraParams::Delay, 0.0f, 1.0e6f},
     "Seconds after creation before emission starts; Duration and bursts count from then."},
    {"MinAlive", EffectValueKind::Whole, WholeKeyField{&ExtraParams::MinAlive, 0, kMaxBurstCount},
     "Each emitting frame, particles are born until at least this many are alive."},
    // The noise field (particles/turbulence.h).
    {"Turbulence", EffectValueKind::Block, kBlockOf<&ExtraParams::Turbulence, kTurbulenceFields>,
     "A swirling noise field that carries particles along, px/s, swirls Scale px wide."},
    // Collision (particles/collide.h).
    {"Collide", EffectValueKind::Collide, BlockKeyTarget{kCollideFields, &StoreCollide},
     "Lines particles bounce off or die at: a Floor, Ceiling, Left or Right wall, or a segment."},
    {"OnCollide", EffectValueKind::Block, kBlockOf<&ExtraParams::OnCollide, kSubEffectFields>,
     "An effect started where a particle hits a Collide line."},
    // The ribbons behind particles (particles/trails.h).
    {"Trail", EffectValueKind::Block, kBlockOf<&ExtraParams::Trail, kTrailFields>,
     "A ribbon behind each particle through its last Points places, fading along it."},
    // The drawn shape again (particles/looks.h): it turns the sprites as AlignToMotion does.
    {"Stretch", EffectValueKind::Block, kBlockOf<&ExtraParams::Stretch, kStretchFields>,
     "Lengthens each quad along its velocity: width times 1 + Factor x speed, at most Max."},
    // Emission along the emitter's move (particles/emission.cpp).
    {"EmitAlongPath", EffectValueKind::Whole, WholeKeyField{&ExtraParams::EmitAlongPath, 0, 1},
     "1: a moving emitter's births spread along its move and over the frame."},
    {"EmitByDistance", EffectValueKind::Amount,
     AmountKeyField{&ExtraParams::EmitByDistance, 0.0f, kMaxBurstCount},
     "Particles per 100 pixels the emitter moves, in place of the steady rate."},
    // Motion over each particle's life (particles/motion.h).
    {"SpeedOverLife", EffectValueKind::Curve,
     CurveKeyField{&ExtraParams::SpeedOverLife, -kMaxLifeFactor, kMaxLifeFactor},
     "A factor over each particle's life, multiplying the velocity it moves with."},
    {"TurnOverLife", EffectValueKind::Curve,
     CurveKeyField{&ExtraParams::TurnOverLife, -kMaxMotionAmount, kMaxMotionAmount},
     "Degrees over each particle's life, turning its direction of travel clockwise."},
    {"AngleOverLife", EffectValueKind::Curve,
     CurveKeyField{&ExtraParams::AngleOverLife, -kMaxLifeFactor, kMaxLifeFactor},
     "The share of the way from Angle to EndAngle over each particle's life, in place of "
     "straight."},
    {"DriftXOverLife", EffectValueKind::Curve,
     CurveKeyField{&ExtraParams::DriftXOverLife, -kMaxMotionAmount, kMaxMotionAmount},
     "Pixels per second added to each particle's move in x, over its life."},
    {"DriftYOverLife", EffectValueKind::Curve,
     CurveKeyField{&ExtraParams::DriftYOverLife, -kMaxMotionAmount, kMaxMotionAmount},
     "Pixels per second added to each particle's move in y (down), over its life."},
    // A group file's one key (effects/effect_group.h): the members load as effects of their own,
    // so the loader of one effect passes over it.
    {"Group",
     EffectValueKind::Paths,
     {},
     "Effect files played together at one place, in this order, each drawn over those before."},
    // How a particle picks among the images of a SpriteFile list (particles/looks.h).
    {"SpriteMode", EffectValueKind::Whole, WholeKeyField{&ExtraParams::SpriteMode, 0, 2},
     "With a SpriteFile list: 0 the first image, 1 a random one per particle, 2 each in turn "
     "over the life."},
    // Curves over the emitter's Duration and its repetition (particles/emission.cpp): each
    // time is a fraction of the cycle.
    {"EmissionOverDuration", EffectValueKind::Curve,
     CurveKeyField{&ExtraParams::EmissionOverDuration, 0.0f, kMaxLifeFactor},
     "A factor over the emitter's Duration, multiplying the emission rate."},
    {"LifeOverDuration", EffectValueKind::Curve,
     CurveKeyField{&ExtraParams::LifeOverDuration, 0.0f, kMaxLifeFactor},
     "A factor over the emitter's Duration, multiplying the lifetime of particles born then."},
    {"WidthOverDuration", EffectValueKind::Curve,
     CurveKeyField{&ExtraParams::WidthOverDuration, 0.0f, kMaxLifeFactor},
     "A factor over the emitter's Duration, multiplying the emission area's width."},
    {"HeightOverDuration", EffectValueKind::Curve,
     CurveKeyField{&ExtraParams::HeightOverDuration, 0.0f, kMaxLifeFactor},
     "A factor over the emitter's Duration, multiplying the emission area's height."},
    {"Continuous", EffectValueKind::Whole, WholeKeyField{&ExtraParams::Continuous, 0, 1},
     "1: the Duration repeats, with Delay before each cycle, instead of ending."},
    {"LifeOffset", EffectValueKind::Block, kBlockOf<&ExtraParams::LifeOffset, kLifeOffsetFields>,
     "Seconds of its life a particle has already lived at birth, drawn from Min to Max."},
    {"BirthOffsetX", EffectValueKind::Block,
     kBlockOf<&ExtraParams::BirthOffsetX, kBirthOffsetFields>,
     "Pixels added to a particle's birth x, drawn from Min to Max."},
    {"BirthOffsetY", EffectValueKind::Block,
     kBlockOf<&ExtraParams::BirthOffsetY, kBirthOffsetFields>,
     "Pixels added to a particle's birth y (down), drawn from Min to Max."},
}};

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
