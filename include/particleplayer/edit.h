/// @file
/// particleplayer/edit.h - editing an effect file as its author wrote it.
///
/// The text stays the file of record: setting a key rewrites only the characters of its value
/// (or appends one `Key = value` entry where the file has none, in the file's own line end and
/// indentation), so the author's order, spacing, line breaks and any text the reader ignores
/// are kept byte for byte. Every edit is checked against the reader before it is kept: the key
/// must then read back exactly the new value and every other key as before. Undo and redo go
/// over whole edits; a run of edits marked as one drag is one step. C++ only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "particleplayer/key_table.h"
#include "particleplayer/world.h"

namespace particleplayer {

/// Where a key's value stands in the file's bytes, and its text there (without the spaces
/// around it; a value broken over lines keeps its line ends).
struct KeySpan {
    std::size_t NameBegin = 0;  ///< The first byte of the key's name.
    std::size_t Begin = 0;      ///< The first byte of the value.
    std::size_t End = 0;        ///< Just after its last byte.
    std::string Text;           ///< The bytes [Begin, End).
};

/// An effect file's bytes, edited key by key.
class EffectEdit {
  public:
    /// The bytes of a file as written (line ends and all).
    explicit EffectEdit(std::string bytes = {});

    /// Reads the file at `path` (at most 1 MiB; a longer file is refused, as it cannot be
    /// saved whole). Errors are of kind File.
    static Result<EffectEdit> Open(const std::string& path);

    /// The file as it stands after the edits.
    const std::string& Bytes() const { return bytes_; }

    /// The value the reader takes for `key` (its first entry of that name at the top level),
    /// or std::nullopt when the file has none.
    std::optional<KeySpan> Find(std::string_view key) const;

    /// Sets `key` (a name of EffectKeys()) to the value text `value`. Refused, with nothing
    /// changed, when the key is unknown, the value holds a line end, or the file read back
    /// would not give exactly `value` for the key and the old values for every other key (a
    /// value with a stray ',' or '=', a file whose unbalanced braces hide the new entry).
    Status Set(std::string_view key, std::string_view value);

    /// Replaces the whole text, as a typing author does; one undo step.
    void SetBytes(std::string bytes);

    /// From here to EndDrag, every Set and SetBytes is one undo step together (a drag of a
    /// widget, a typed value).
    void BeginDrag();
    /// Ends the step BeginDrag opened.
    void EndDrag();

    /// Back to before the last step; false when there is nothing to undo.
    bool Undo();
    /// Forward again over the last undone step; false when there is none. An edit after an
    /// undo drops the steps that could be redone.
    bool Redo();
    /// Whether Undo has a step to take back.
    bool CanUndo() const { return !undo_.empty(); }
    /// Whether Redo has a step to take again.
    bool CanRedo() const { return !redo_.empty(); }

    /// Writes Bytes() to `path` atomically: a temporary file beside it, then renamed over it,
    /// so that a reader never sees half a file. Errors are of kind File.
    Status Save(const std::string& path) const;

  private:
    void Step();
    std::string bytes_;
    std::vector<std::string> undo_;
    std::vector<std::string> redo_;
    bool dragging_ = false;
    bool dragStepped_ = false;
};

/// One file up an effect's Extends chain, as the loader opens it.
struct ParentFile {
    std::string Path;  ///< The path opened ('/' for '\\', inside the folder when relative).
    EffectEdit Edit;   ///< Its bytes.
};

/// The files that `edit`, the file opened at `path`, extends: nearest first, each Extends path
/// opened as the loader opens it (relative to `folder`, the working directory when empty). The
/// chain ends at a file already in it, after 64 files, or at one that cannot be read whole.
std::vector<ParentFile> OpenParents(const EffectEdit& edit, const std::string& path,
                                    const std::string& folder = {});

/// Where a file that does not set `key` itself (no entry, or an empty one) takes the key's
/// value from: the nearest of `parents` that sets it, or nullptr when none does (the key's
/// default then stands).
const ParentFile* InheritedFrom(std::span<const ParentFile> parents, std::string_view key);

/// A randomised value as the file writes it.
enum class RandomForm : int32_t {
    Plain,       ///< One number (First).
    MinMax,      ///< {Min = First, Max = Second, Inc}.
    ValueRange,  ///< {Value = First, Range = Second, Inc}.
    ValueBlur,   ///< {Value = First, Blur = Second, Inc}.
};

/// A randomised number or whole number, its 32-bit floats or integers held exactly in doubles.
struct RandomValue {
    RandomForm Form = RandomForm::Plain;  ///< Which form the file writes.
    double First = 0;                     ///< Min, or Value, or the plain number.
    double Second = 0;                    ///< Max, Range or Blur; unused when Plain.
    std::optional<double> Inc;            ///< The step, written only when present.
    /// Field by field.
    bool operator==(const RandomValue&) const = default;
};

/// An emission area: its Type name and sizes, Angle in degrees as written.
struct AreaValue {
    std::string Type = "Point";  ///< One of AreaTypeNames(), or any other name (a Point).
    float Width = 0.0f;          ///< Pixels; a circle's diameter.
    float Height = 0.0f;         ///< Pixels.
    float Angle = 0.0f;          ///< Degrees, clockwise.
    /// Field by field.
    bool operator==(const AreaValue&) const = default;
};

/// One point of a curve: its time and its value (one channel, or R, G, B for a colour curve).
struct CurvePoint {
    float Time = 0.0f;             ///< Fraction of the particle's life, 0 to 1.
    std::array<float, 3> Value{};  ///< Value[0] for a curve; R, G, B for a colour curve.
    /// Field by field.
    bool operator==(const CurvePoint&) const = default;
};

/// A block's fields in KeyInfo::Fields order: numbers, and the text of a Text field.
struct BlockValue {
    std::vector<double> Numbers;  ///< One per field; a Text field's is unused.
    std::string Text;             ///< The Text field's value (a started effect's file).
    /// Field by field.
    bool operator==(const BlockValue&) const = default;
};

/// A key's value split into what a panel edits. The alternative follows the key's kind:
/// Path: std::string; Integer: int32_t; Number and Amount: float; Pair, Colour (three) and
/// Rgba (four): std::vector<float>; IntegerPair: std::array<int32_t, 2>; RandomNumber and
/// RandomInteger: RandomValue; Area: AreaValue; Curve and ColourCurve:
/// std::vector<CurvePoint>; Block: BlockValue. Of any kind, std::monostate is an empty value
/// (`Key = {}`), which sets nothing: the effect keeps its default or its parent's value.
using KeyValue =
    std::variant<std::string, int32_t, float, std::vector<float>, std::array<int32_t, 2>,
                 RandomValue, AreaValue, std::vector<CurvePoint>, BlockValue, std::monostate>;

/// The value text `text` (as KeySpan::Text, line ends dropped as the reader drops them) read
/// into its parts as the file writes them; a part the text lacks takes what the reader gives
/// it, and an empty value (nothing but spaces, or an empty block) gives std::monostate. The key is looked up by its name in EffectKeys();
/// a name that is no key gives the text itself.
KeyValue ReadKeyValue(const KeyInfo& key, std::string_view text);

/// The value an effect has without the key, in parts (its Default read; for a key whose
/// absence means none, the parts a missing entry gives: no curve points, the block's field
/// defaults), so that a panel has widgets to start from. std::monostate when the name is no
/// key.
KeyValue DefaultKeyValue(const KeyInfo& key);

/// The text of a value in the file's syntax. Every number is written as the shortest text
/// that reads back as the same 32-bit float, so ReadKeyValue gives the value back exactly.
/// std::monostate is written "{}". std::nullopt when the name is no key, the alternative does not
/// fit the key's kind, a whole number is not one, or a number is not finite.
std::optional<std::string> KeyValueText(const KeyInfo& key, const KeyValue& value);

}  // namespace particleplayer
