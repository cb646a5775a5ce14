// The keys of an effect file, in the order the loader applies them: one table that the loader,
// check, inspect and the fuzz targets all read. Each row also says which parameters its value
// is stored in, and the loader applies the rows as they stand. The optional keys whose value is
// one public field are built from their KEY rows of particleplayer/effect_extras_list.h (name,
// kind, limits, description), so that a new key is written nowhere here.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>
#include <variant>

#include "effects/block_fields.h"
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

// The kinds of the public list's rows, as template arguments.
enum class ListedKind {
    FLOAT,
    INT,
    COLOUR,
    CURVE1,
    CURVE3,
    SUB_EFFECT,
    STRING,
    MOTION_VALUE,
    MOTION_COLOUR,
    FORCE,
    TURBULENCE,
    COLLIDE_LIST,
    TRAIL,
    FORCE_LIST,
    STRING_LIST,
    DRAWN_RANGE,
};

// How a KEY row's value is read, by its field's kind; a kind that is no key's whole value stops
// the build.
consteval EffectValueKind ReadAs(ListedKind kind) {
    switch (kind) {
        case ListedKind::FLOAT:
            return EffectValueKind::Amount;
        case ListedKind::INT:
            return EffectValueKind::Whole;
        case ListedKind::COLOUR:
            return EffectValueKind::Colour;
        case ListedKind::CURVE1:
            return EffectValueKind::Curve;
        case ListedKind::CURVE3:
            return EffectValueKind::ColourCurve;
        case ListedKind::MOTION_VALUE:
            return EffectValueKind::Randomised;
        case ListedKind::MOTION_COLOUR:
            return EffectValueKind::Rgba;
        case ListedKind::COLLIDE_LIST:
            return EffectValueKind::Collide;
        case ListedKind::SUB_EFFECT:
        case ListedKind::TURBULENCE:
        case ListedKind::TRAIL:
        case ListedKind::DRAWN_RANGE:
            return EffectValueKind::Block;
        default:
            throw "no key reads a field of this kind whole";
    }
}

// A KEY row's limits (see effect_extras_list.h), in the order the row gives them.
struct KeyLimits {
    double First = 0.0, Second = 0.0, Third = 0.0;
};

// Each row of the public list as a type: its kind, whether it is a KEY row and with what
// limits, and the engine's field of its Name, which only a KEY row's key looks up (a FIELD row
// names no engine field).
#define PP_IS_KEY_KEY(...) true
#define PP_IS_KEY_FIELD false
#define PP_LIMITS_KEY(...) \
    KeyLimits {            \
        __VA_ARGS__        \
    }
#define PP_LIMITS_FIELD \
    KeyLimits {}
namespace listed_rows {
#define PP_ROW_TYPE(kind, name, cName, shown, key, ...)      \
    struct name {                                            \
        static constexpr ListedKind Kind = ListedKind::kind; \
        static constexpr bool Key = PP_IS_KEY_##key;         \
        static constexpr KeyLimits Limits = PP_LIMITS_##key; \
        template <class Record>                              \
        static consteval auto In() {                         \
            return &Record::name;                            \
        }                                                    \
    };
PARTICLEPLAYER_EFFECT_EXTRAS(PP_ROW_TYPE)
#undef PP_ROW_TYPE
}  // namespace listed_rows
#undef PP_LIMITS_FIELD
#undef PP_LIMITS_KEY
#undef PP_IS_KEY_FIELD
#undef PP_IS_KEY_KEY

// A drawn range's fields under the limits of Row.
template <class Row>
inline constexpr auto kDrawnRangeOf = DrawnRangeFields(static_cast<float>(Row::Limits.First),
                                                       static_cast<float>(Row::Limits.Second),
                                                       static_cast<float>(Row::Limits.Third));

// Where a KEY row's value goes: the engine field of its Name, read as its kind says and held to
// its limits; nothing for a FIELD row.
template <class Row>
consteval EffectKeyTarget ListedTarget() {
    constexpr auto lo = static_cast<float>(Row::Limits.First);
    constexpr auto hi = static_cast<float>(Row::Limits.Second);
    constexpr ListedKind kind = Row::Kind;
    if constexpr (!Row::Key) {
        return {};
    } else if constexpr (kind == ListedKind::FLOAT) {
        return AmountKeyField{Row::template In<ExtraParams>(), lo, hi};
    } else if constexpr (kind == ListedKind::INT) {
        return WholeKeyField{Row::template In<ExtraParams>(),
                             static_cast<int32_t>(Row::Limits.First),
                             static_cast<int32_t>(Row::Limits.Second)};
    } else if constexpr (kind == ListedKind::CURVE1) {
        return CurveKeyField{Row::template In<ExtraParams>(), lo, hi};
    } else if constexpr (kind == ListedKind::COLOUR || kind == ListedKind::CURVE3) {
        return Row::template In<ExtraParams>();
    } else if constexpr (kind == ListedKind::MOTION_VALUE) {
        return RandomKeyField{Row::template In<MotionParams>(), lo, hi};
    } else if constexpr (kind == ListedKind::MOTION_COLOUR) {
        return RgbaKeyField{Row::template In<MotionParams>(), lo};
    } else if constexpr (kind == ListedKind::SUB_EFFECT) {
        return kBlockOf<Row::template In<ExtraParams>(), kSubEffectFields>;
    } else if constexpr (kind == ListedKind::TURBULENCE) {
        return kBlockOf<Row::template In<ExtraParams>(), kTurbulenceFields>;
    } else if constexpr (kind == ListedKind::TRAIL) {
        return kBlockOf<Row::template In<ExtraParams>(), kTrailFields>;
    } else if constexpr (kind == ListedKind::COLLIDE_LIST) {
        return BlockKeyTarget{kCollideFields, &StoreCollide};
    } else {
        static_assert(kind == ListedKind::DRAWN_RANGE, "no key reads a field of this kind whole");
        return kBlockOf<Row::template In<ExtraParams>(), kDrawnRangeOf<Row>>;
    }
}

// A FIELD row's kind is no key's whole value, so only a KEY row's is read.
consteval EffectValueKind ReadAsIf(bool key, ListedKind kind) {
    return key ? ReadAs(kind) : EffectValueKind{};
}

// A row of the public list as the key table reads it: a KEY row's key, or a FIELD row (Key
// false), which reads no value of its own.
struct ListedKey {
    bool Key;
    EffectKey Row;
};

#define PP_LISTED_ROW(kind, name, cName, shown, key, description, ...)           \
    ListedKey{listed_rows::name::Key,                                            \
              {#name, ReadAsIf(listed_rows::name::Key, listed_rows::name::Kind), \
               ListedTarget<listed_rows::name>(), description}},
inline constexpr ListedKey kListedRows[] = {PARTICLEPLAYER_EFFECT_EXTRAS(PP_LISTED_ROW)};
#undef PP_LISTED_ROW

// The keys whose value is the engine's parameter of the same name (LifeTime, Size, ...): that
// row of particleplayer/effect_params.h gives the description and, by its kind, the reading.
consteval EffectValueKind ReadParamAs(std::string_view paramKind) {
    if (paramKind == "INT") return EffectValueKind::Int;
    if (paramKind == "FLOAT") return EffectValueKind::Float;
    if (paramKind == "RANGE") return EffectValueKind::Spec;
    if (paramKind == "INT_RANGE") return EffectValueKind::IntSpec;
    throw "no key reads a parameter of this kind";
}

struct ParamKey {
    std::string_view Name;
    EffectValueKind Kind;
    std::string_view Description;
};
#define PP_PARAM_KEY(kind, name, cName, description, ...) \
    ParamKey{#name, ReadParamAs(#kind), description},
inline constexpr ParamKey kParamKeys[] = {PARTICLEPLAYER_EFFECT_PARAMS(PP_PARAM_KEY)};
#undef PP_PARAM_KEY

// The key of the engine parameter `name`, stored into `target`. A name with no row of
// effect_params.h stops the build.
consteval EffectKey Param(std::string_view name, EffectKeyTarget target) {
    for (const ParamKey& key : kParamKeys) {
        if (key.Name == name) return {key.Name, key.Kind, target, key.Description};
    }
    throw "no parameter of this name";
}

// The seventeen keys every effect has, in the order the loader applies them.
inline constexpr EffectKey kFixedKeys[] = {
    {"Extends", EffectValueKind::Path, {}, "A file applied first; this file's own keys then win."},
    Param("Layer", IntKeyField{&EmitterParams::Layer, 0}),
    {"EmitterPosition", EffectValueKind::Pair,
     PairKeyFields{&EmitterParams::PositionX, &EmitterParams::PositionY},
     "Centre of the emission area, in pixels."},
    {"EmitterArea",
     EffectValueKind::Area,
     {},
     "Where particles are born: a point, line, square, rectangle, circle or ellipse."},
    Param("EmissionAngle", &EmitterParams::EmissionAngle),
    Param("EmissionVelocity", &EmitterParams::EmissionVelocity),
    {"Acceleration", EffectValueKind::Pair,
     PairKeyFields{&EmitterParams::AccelerationX, &EmitterParams::AccelerationY},
     "Constant pull on every particle, in pixels per second squared."},
    Param("LifeTime", &EmitterParams::LifeTime),
    Param("EmissionRate", &EmitterParams::EmissionRate),
    Param("Sprite", &EmitterParams::Sprite),
    Param("Size", &EmitterParams::Size),
    Param("Raise", &EmitterParams::Raise),
    Param("Rotation", &EmitterParams::Rotation),
    Param("Transparency", &EmitterParams::Transparency),
    Param("Fade", &EmitterParams::Fade),
    {"BlendingMode", EffectValueKind::IntPair,
     // A missing part takes the creation default.
     IntPairKeyFields{&EmitterParams::BlendSource, EmitterParams{}.BlendSource,
                      &EmitterParams::BlendDestination, EmitterParams{}.BlendDestination},
     "Source and destination blend factor codes, 1 to 13."},
    Param("Disable", IntKeyField{&EmitterParams::Disable, 1}),
};

// The optional keys that are no one public field, so describe themselves: each comes right
// after the key named in After (after those placed there before it).
struct PlacedKey {
    std::string_view After;
    EffectKey Key;
};
inline constexpr PlacedKey kPlacedKeys[] = {
    {"Spin",
     {"SpriteSheet", EffectValueKind::Block,
      kBlockOf<&ExtraParams::SpriteSheet, kSpriteSheetFields>,
      "Animates the sprite through the cells of one texture."}},
    {"SpriteSheet",
     {"Burst", EffectValueKind::Block, kBlockOf<&ExtraParams::Burst, kBurstFields>,
      "Emits Count particles at once, in place of the steady rate."}},
    {"OnDeath",
     {"SpriteFile",
      EffectValueKind::SpriteFile,
      {},
      "The PNG or BMP image the particles draw with, beside this file; {A.png, B.png, ...} "
      "lists up to 16 for SpriteMode."}},
    // The forces (particles/forces.h).
    {"Attached",
     {"Attractor", EffectValueKind::BlockList, kForcesOf<&ExtraParams::Attractor>,
      "A point that pulls particles (or pushes, with a negative Strength), px/s²; a list of up "
      "to 8 blocks gives several."}},
    {"Attractor",
     {"Vortex", EffectValueKind::BlockList, kForcesOf<&ExtraParams::Vortex>,
      "A point that particles swirl about, px/s², clockwise on screen when positive; a list of "
      "up to 8 blocks gives several."}},
    // The same switch as AlignToMotion under the name other tools give it; the later of the two
    // in a file wins, as the rows apply in order.
    {"Vortex",
     {"AlignToVelocity", EffectValueKind::Whole, WholeKeyField{&ExtraParams::AlignToMotion, 0, 1},
      "1: the sprite turns to its direction of travel (the same as AlignToMotion)."}},
    // The drawn shape (particles/looks.h): it turns the sprites as AlignToMotion does.
    {"Trail",
     {"Stretch", EffectValueKind::Block, kBlockOf<&ExtraParams::Stretch, kStretchFields>,
      "Lengthens each quad along its velocity: width times 1 + Factor x speed, at most Max."}},
    // A group file's one key (effects/effect_group.h): the members load as effects of their own,
    // so the loader of one effect passes over it.
    {"DriftYOverLife",
     {"Group",
      EffectValueKind::Paths,
      {},
      "Effect files played together at one place, in this order, each drawn over those "
      "before."}},
};

// The fixed keys, then the optional ones in the public list's order with the placed keys
// among them; each optional key changes nothing when left out, so that a file without them
// loads to the same parameters. A placed key whose After is no key stops the build.
template <std::size_t Count>
consteval std::array<EffectKey, Count> AllKeys() {
    std::array<EffectKey, Count> keys{};
    std::size_t n = 0;
    const auto add = [&](const EffectKey& key, const auto& self) -> void {
        if (n == Count) throw "more keys than counted";
        keys[n++] = key;
        for (const PlacedKey& placed : kPlacedKeys) {
            if (placed.After == key.Name) self(placed.Key, self);
        }
    };
    for (const EffectKey& key : kFixedKeys) add(key, add);
    for (const ListedKey& row : kListedRows) {
        if (row.Key) add(row.Row, add);
    }
    if (n != Count) throw "a placed key follows no key";
    return keys;
}
inline constexpr std::size_t kEffectKeyCount =
    std::size(kFixedKeys) + std::size(kPlacedKeys) +
    static_cast<std::size_t>(std::count_if(std::begin(kListedRows), std::end(kListedRows),
                                           [](const ListedKey& row) { return row.Key; }));
inline constexpr std::array<EffectKey, kEffectKeyCount> kEffectKeys = AllKeys<kEffectKeyCount>();

// Every key is named once, so that a file's key has one meaning.
constexpr bool EveryKeyNamedOnce() {
    for (const EffectKey& key : kEffectKeys) {
        const auto named = [&](const EffectKey& other) { return other.Name == key.Name; };
        if (std::count_if(std::begin(kEffectKeys), std::end(kEffectKeys), named) != 1) return false;
    }
    return true;
}
static_assert(EveryKeyNamedOnce());

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
