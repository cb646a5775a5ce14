/// @file
/// particleplayer/key_table.h - every key of the effect text, for tools that show or edit
/// effect files (a parameter panel, a batch editor, a format reference).
///
/// The table lists the keys in the order the loader applies them, each with the kind of value
/// it takes, its default as the file would write it, the range its numbers are held to and a
/// one-line description. It is the loader's own table, read out: a key the loader learns
/// appears here without further work. C++ only.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace particleplayer {

/// What a key's value is, as a panel edits it.
enum class KeyKind : int32_t {
    Path,           ///< A file name ('\' or '/' separates folders).
    Integer,        ///< One whole number.
    Number,         ///< One number.
    Pair,           ///< {X, Y}: two numbers by position.
    IntegerPair,    ///< {A, B}: two whole numbers by position (the blend codes).
    RandomNumber,   ///< Plain, {Min, Max, Inc}, {Value, Range, Inc} or {Value, Blur, Inc}.
    RandomInteger,  ///< The same forms over whole numbers.
    Area,           ///< {Type = name, Width, Height, Angle}.
    Colour,         ///< {R, G, B}: three numbers by position, 0 to 255.
    Curve,          ///< {t = v, ...}: values at fractions of a particle's life.
    ColourCurve,    ///< {t = {R, G, B}, ...}.
    Amount,         ///< One number held to the key's range.
    Block,          ///< {Name = number, ...}: the named fields of KeyInfo::Fields.
    Rgba,           ///< {R, G, B, A}: four numbers by position, 0 to 255.
    Lines,  ///< A block or a list of such blocks (Collide, Attractor, Vortex), or Group's list of
            ///< files, kept as written.
};

/// One named field inside a key's block (Block and Area keys).
struct KeyField {
    std::string_view Name;  ///< As the file writes it.
    bool Integer = false;   ///< Only whole numbers are read.
    bool Text = false;      ///< A name or a file name, not a number (Min, Max, Default unused).
    float Min = 0.0f;       ///< Smallest value kept; smaller values are held here.
    float Max = 0.0f;       ///< Largest value kept.
    float Default = 0.0f;   ///< What a missing entry gives.
};

/// One key of the effect text.
struct KeyInfo {
    std::string_view Name;           ///< As the file writes it, case included.
    KeyKind Kind = KeyKind::Number;  ///< What its value is.
    /// The value an effect has without the key, written as the file would write it; empty when
    /// the key's absence means "none" (no parent, no curve, no sheet, ...).
    std::string_view Default;
    /// Whether the key's numbers are held to [Min, Max] (for curves: their values; the times
    /// are always held to 0..1). Without a range any number is stored as written.
    bool Bounded = false;
    float Min = 0.0f;                    ///< Smallest number kept, when Bounded.
    float Max = 0.0f;                    ///< Largest number kept, when Bounded.
    std::string_view Description;        ///< One line for an author.
    std::span<const KeyField> Fields{};  ///< The named fields of a Block or Area value.
};

/// Every key, in the order the loader applies them. The table lives as long as the program.
std::span<const KeyInfo> EffectKeys();

/// The key of that exact name (case and spaces count), or nullptr.
const KeyInfo* FindEffectKey(std::string_view name);

/// The names an Area's Type takes, its shape codes in order (0 is Point); any other name is a
/// Point.
std::span<const std::string_view> AreaTypeNames();

/// The kind as a word of the format reference ("randomised number", "colour curve", ...).
std::string_view KeyKindName(KeyKind kind);

}  // namespace particleplayer
