// The checker's pieces shared by its files: the names it knows, how it shows text and suggests
// names, and the check of one effect text. Internal to the checker; check.h is its interface.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "effects/effect_keys.h"
#include "effects/effect_text.h"
#include "effects/value_forms.h"
#include "particles/particles.h"
#include "runtime/name_map.h"

namespace pp::effect_check {

// The names the loader reads: the keys, then the names inside value blocks and the area.
inline constexpr std::array<std::string_view, kEffectKeys.size()> kKeyNames = [] {
    std::array<std::string_view, kEffectKeys.size()> names{};
    for (std::size_t i = 0; i < kEffectKeys.size(); ++i) names[i] = kEffectKeys[i].Name;
    return names;
}();
constexpr std::array<std::string_view, 6> kSpecNames{"Min", "Max", "Inc", "Value", "Range", "Blur"};
constexpr std::array<std::string_view, 4> kAreaNames{"Type", "Width", "Height", "Angle"};
// Only for suggestions; whether a name is an area type is decided by the engine's own map.
constexpr std::array<std::string_view, 6> kAreaTypeNames{"Point",     "Line",   "Square",
                                                         "Rectangle", "Circle", "Ellipse"};

// The blend factor codes the player draws with; others fall back to the defaults 5 and 6.
constexpr int32_t kLowestBlendCode = 1;
constexpr int32_t kHighestBlendCode = 13;

// Quoted texts are cut here so that a runaway value cannot make a finding huge.
inline constexpr std::size_t kQuoteLimit = 48;

// Text shown in messages: control bytes, invalid UTF-8 and characters that look like nothing
// spelled out as bytes; Quote adds quotes and cuts at kQuoteLimit.
std::string Escape(std::string_view text);
std::string Quote(std::string_view text);
std::string Show(float value);
std::string Show(int32_t value);
std::string Show(std::size_t value);

bool IsCSpace(char c);
bool IsDigit(char c);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
// White space other than the space character, which the reader does not trim: its length in
// bytes at text[i], or 0; and its name.
std::size_t OddSpaceLength(std::string_view text, std::size_t i);
std::string_view OddSpaceName(std::string_view text, std::size_t i);

struct Suggestion {
    std::string_view Name;
    bool CaseOnly = false;
};

// The candidate that `name` most likely meant: one that differs only in case, else the
// nearest within a small edit distance (1 for names of up to 3 letters, 2 up to 8, else 3).
std::optional<Suggestion> Suggest(std::string_view name, std::span<const std::string_view> from);
bool Contains(std::span<const std::string_view> names, std::string_view name);
std::string JoinNames(std::span<const std::string_view> names);

struct Located {
    TextPosition At;
    std::string Message;
};

struct ExtendsRef {
    std::string Path;    // as written
    std::size_t Offset;  // of the value in the text
};

enum class NumberKind { Float, Int };

struct BlockEntries {
    std::vector<std::pair<std::string_view, const ListEntry*>> Named;  // first of each known name
    std::vector<const ListEntry*> Unnamed;                             // no '=', not empty
    std::vector<std::string_view> Meant;  // names written or probably meant

    const ListEntry* Find(std::string_view name) const {
        for (const auto& [n, e] : Named) {
            if (n == name) return e;
        }
        return nullptr;
    }
};

// Where a number ends as the reader scans it, read as a float or as an integer.
struct NumberScan {
    std::size_t Length = 0;  // through the last character of the number
    bool HasDigits = false;
    bool OutOfRange = false;  // integers only: does not fit in 32 bits before wrapping
};
NumberScan ScanNumber(std::string_view text, NumberKind kind);

// One file of an Extends chain as the loader applies it, outermost first.
struct LoadedFile {
    std::string OpenPath;
    JoinedLines Lines;
    bool IsPathText = false;  // the path text of a file that cannot be opened
};

// A finding for the file named File.
struct EffectFinding {
    std::string File;
    Located Where;
    TextPosition Until;  // the end of the entry that set the value
};

// Warnings on what the loader ends with after the whole chain, each at the key that set the
// value, or at 1:1 of the first file when it is the default.
std::vector<EffectFinding> CheckEffective(std::span<const LoadedFile> chain);

// A warning, at its OnBirth or OnDeath key, when the effects that `loaded` (the effect the
// chain loads into `engine`) starts can keep more particles alive at once than `budget`: the
// effect's births a second times the Counts along each chain times the lifetimes.
std::vector<EffectFinding> CheckFanOut(std::span<const LoadedFile> chain, const Engine& engine,
                                       const EmitterParams& loaded, int64_t budget);

// Checks one effect text: the findings at their lines and columns, and the file it extends.
class TextCheck {
  public:
    TextCheck(std::string_view bytes, NameMap<int32_t>& areaTypes);
    // truncated: the file goes on beyond the reader's limit; cutShort: the Extends chain's
    // bytes ran out within it.
    void Run(bool truncated, bool cutShort);

    std::vector<Located>& Findings() { return findings_; }
    const std::optional<ExtendsRef>& Extends() const { return extends_; }
    // The effect files that OnBirth and OnDeath name, in the order written.
    const std::vector<ExtendsRef>& SubEffects() const { return subEffects_; }
    // The images SpriteFile names, as written: one, or each of its list.
    const std::vector<ExtendsRef>& SpriteFiles() const { return spriteFiles_; }
    TextPosition At(std::size_t offset) const { return map_.At(offset); }

  private:
    std::string_view Slice(TextRange r) const { return text_.substr(r.Begin, r.End - r.Begin); }
    void Report(std::size_t offset, std::string message) {
        findings_.push_back(Located{map_.At(offset), std::move(message)});
    }
    std::string LineOf(std::size_t offset) const { return Show(map_.At(offset).Line); }

    // The file as a whole and its names (check_names.cpp).
    void CheckBom(const EntryList& top);
    bool CheckWrappedFile(const EntryList& top);
    std::string KeysWithin(std::size_t begin, std::size_t end) const;
    void CheckBraces(const EntryList& top);

    struct Split {
        std::size_t At;                       // where the second name begins
        std::optional<TextPosition> LineEnd;  // set when the comma belongs at the end of a line
    };
    std::optional<Split> FindSplit(TextRange segment) const;
    void CheckMissingCommas(const ListEntry& e);
    static std::vector<std::string_view> AllNames();
    std::string UnknownName(std::string_view shown, std::string_view cleaned,
                            std::string_view block, std::span<const std::string_view> allowed,
                            std::optional<Suggestion>& suggestion) const;
    BlockEntries CheckNames(const EntryList& scan, std::string_view block,
                            std::span<const std::string_view> allowed);
    void CheckStrayName(const ListEntry& e, std::string_view block,
                        std::span<const std::string_view> allowed, BlockEntries& out);

    // Keys and numbers (check_values.cpp).
    void CheckNumber(TextRange r, NumberKind kind, std::string_view key = {});
    void CheckTopLevel(const EntryList& top);
    void CheckUnnamed(const ListEntry& e);
    void CheckKeyValue(const ListEntry& e, const EffectKey& key);
    bool CheckBlockEnd(const ListEntry& e, std::string_view key);
    void CheckPair(const ListEntry& e, TextRange v, const EffectKey& key);
    void CheckArea(const ListEntry& e, TextRange v);
    void CheckAreaType(TextRange r);

    // Value forms (check_specs.cpp).
    void CheckSpec(const ListEntry& e, TextRange v, const EffectKey& key);
    void CheckNamedPlainSpec(const ListEntry& e, const EntryList& inner, const EffectKey& key,
                             NumberKind kind);
    void CheckFormless(const ListEntry& e, const BlockEntries& names, const EffectKey& key);
    void CheckFormNumbers(const ListEntry* first, const ListEntry* second, const ListEntry* inc,
                          NumberKind kind);
    void CheckEmptyNamed(const BlockEntries& names, const EffectKey& key);
    void CheckIgnoredForms(const BlockEntries& names, bool minMax, bool value, bool range,
                           bool blur);
    void CheckIntOrder(const EffectKey& key, const ValueForm<int32_t>& form, const ListEntry* max,
                       const ListEntry* blur, const ListEntry* inc, bool minMax, bool valueBlur,
                       bool swappable);
    void CheckFloatOrder(const EffectKey& key, const ValueForm<float>& form, const ListEntry* min,
                         const ListEntry* max, const ListEntry* range, const ListEntry* blur,
                         const ListEntry* inc, bool minMax, bool valueRange, const ListEntry& e,
                         bool swappable);

    // The optional keys (check_extras.cpp).
    void CheckExtra(const ListEntry& e, TextRange v, const EffectKey& key);
    void CheckHeld(TextRange r, const std::string& what, float value, float min, float max);
    void CheckHeld(TextRange r, const std::string& what, int32_t value, int32_t min, int32_t max);
    void CheckColour(TextRange v, const std::string& what, std::size_t channels = 3,
                     float absent = 255.0f);
    void CheckCurve(TextRange v, const std::string& name, bool colours, float min, float max);
    void CheckBlock(const ListEntry& e, TextRange v, const EffectKey& key);
    std::vector<const ListEntry*> GivenByPosition(const EntryList& inner,
                                                  std::span<const BlockField> fields,
                                                  const std::string& what);
    std::vector<const ListEntry*> GivenByName(const EntryList& inner, const EffectKey& key,
                                              std::span<const BlockField> fields,
                                              const std::string& what);
    void CheckBlockField(const BlockField& field, TextRange r);
    void CheckBlockList(const ListEntry& e, TextRange v, const EffectKey& key);
    void CheckSpriteList(TextRange v);

    JoinedLines map_;
    std::string_view text_;
    NameMap<int32_t>& areaTypes_;
    bool bom_ = false;
    std::vector<Located> findings_;
    std::optional<ExtendsRef> extends_;
    std::vector<ExtendsRef> subEffects_;
    std::vector<ExtendsRef> spriteFiles_;
};

}  // namespace pp::effect_check
