// The checker: the optional keys (colours, curves over the life, held amounts, and the blocks
// SpriteSheet, Burst, OnBirth and OnDeath), each value held to its range as the loader holds it.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "effects/check_text.h"
#include "effects/extra_values.h"

namespace pp::effect_check {
namespace {

constexpr std::string_view kChannels[] = {"red", "green", "blue", "alpha"};

std::vector<std::string_view> NamesOf(std::span<const BlockField> fields) {
    std::vector<std::string_view> names;
    for (const BlockField& field : fields) names.push_back(field.Name);
    return names;
}

}  // namespace

// A number the loader holds to [min, max]: where it was outside, what it became.
void TextCheck::CheckHeld(TextRange r, const std::string& what, float value, float min, float max) {
    if (value < min) {
        Report(r.Begin,
               what + " " + Show(value) + " is below " + Show(min) + ": held at " + Show(min));
    } else if (value > max) {
        Report(r.Begin,
               what + " " + Show(value) + " is above " + Show(max) + ": held at " + Show(max));
    }
}

// A whole number the loader holds to [min, max], shown as the whole number it reads.
void TextCheck::CheckHeld(TextRange r, const std::string& what, int32_t value, int32_t min,
                          int32_t max) {
    if (value < min) {
        Report(r.Begin,
               what + " " + Show(value) + " is below " + Show(min) + ": held at " + Show(min));
    } else if (value > max) {
        Report(r.Begin,
               what + " " + Show(value) + " is above " + Show(max) + ": held at " + Show(max));
    }
}

void TextCheck::CheckExtra(const ListEntry& e, TextRange v, const EffectKey& key) {
    const std::string name(key.Name);
    switch (key.Kind) {
        case EffectValueKind::Colour:
            CheckColour(v, "'" + name + "'");
            break;
        case EffectValueKind::Curve: {
            const auto& to = std::get<CurveKeyField>(key.Target);
            CheckCurve(v, name, false, to.Min, to.Max);
            break;
        }
        case EffectValueKind::ColourCurve:
            CheckCurve(v, name, true, 0.0f, 255.0f);
            break;
        case EffectValueKind::Amount: {
            const auto& to = std::get<AmountKeyField>(key.Target);
            CheckNumber(v, NumberKind::Float);
            CheckHeld(v, "'" + name + "'", TextToFloat(Slice(v)), to.Min, to.Max);
            break;
        }
        case EffectValueKind::Randomised: {
            CheckSpec(e, v, key);
            const auto& to = std::get<RandomKeyField>(key.Target);
            const float inf = std::numeric_limits<float>::infinity();
            const ValueSpec raw = ParseRandomKey(Slice(v), -inf, inf).Spec;
            if (raw.Min == raw.Max) {
                CheckHeld(v, "'" + name + "'", raw.Min, to.Min, to.Max);
            } else {
                CheckHeld(v, "the lowest '" + name + "'", raw.Min, to.Min, to.Max);
                CheckHeld(v, "the highest '" + name + "'", raw.Max, to.Min, to.Max);
            }
            break;
        }
        case EffectValueKind::Rgba:
            CheckColour(v, "'" + name + "'", 4, std::get<RgbaKeyField>(key.Target).Missing);
            break;
        case EffectValueKind::Whole: {
            const auto& to = std::get<WholeKeyField>(key.Target);
            CheckNumber(v, NumberKind::Int);
            CheckHeld(v, "'" + name + "'", TextToInt(Slice(v)), to.Min, to.Max);
            break;
        }
        case EffectValueKind::Collide:
        case EffectValueKind::BlockList:
            CheckBlockList(e, v, key);
            break;
        default:
            CheckBlock(e, v, key);
            break;
    }
}

// One block, or a list of them (Collide's lines, Attractor's and Vortex's points); each block is
// checked as a block, and a block of lines that names none, the blocks beyond the bound and
// entries of a list that are no blocks are said.
void TextCheck::CheckBlockList(const ListEntry& e, TextRange v, const EffectKey& key) {
    const std::string what = "'" + std::string(key.Name) + "'";
    const bool lines = key.Kind == EffectValueKind::Collide;
    std::vector<std::pair<const ListEntry*, TextRange>> blocks;
    const EntryList inner = ScanEntries(text_, v, false);
    if (!IsBlockList(Slice(v))) {
        blocks.emplace_back(&e, v);
    } else {
        for (const ListEntry& part : inner.Entries) {
            if (!part.HasEquals() && Slice(part.Value).starts_with('{')) {
                blocks.emplace_back(&part, BlockInside(text_, part.Value));
                continue;
            }
            Report(part.Value.Begin, Quote(Slice(part.Value)) + " is no block" +
                                         (lines ? " of lines" : "") + ", so " + what +
                                         " ignores it");
        }
    }
    const int32_t most = lines ? kMaxCollideLines : kMaxForcePoints;
    int32_t taken = 0;
    for (const auto& [entry, range] : blocks) {
        CheckBlock(*entry, range, key);
        const int32_t named = lines ? ParseCollide(Slice(range)).Count : 1;
        if (named == 0) {
            Report(range.Begin, "a block of " + what +
                                    " names no line (Floor, Ceiling, Left, Right or X1, Y1, X2, "
                                    "Y2), so it collides with nothing");
        } else if (taken + named > most) {
            Report(range.Begin, what + " takes the first " + Show(most) +
                                    (lines ? " lines" : " blocks") +
                                    ": the ones beyond are left out");
        }
        taken += named;
    }
}

// {R, G, B} (or {R, G, B, A}) by position; a missing channel reads `absent`.
void TextCheck::CheckColour(TextRange v, const std::string& what, std::size_t channels,
                            float absent) {
    const EntryList inner = ScanEntries(text_, v);
    std::vector<std::string_view> missing;
    for (std::size_t i = 0; i < inner.Entries.size() || i < channels; ++i) {
        const ListEntry* part = i < inner.Entries.size() ? &inner.Entries[i] : nullptr;
        if (i >= channels) {
            if (TrimSpaces(text_, part->Whole).Empty()) continue;
            Report(part->Value.Begin,
                   "only the first " + std::string(channels == 3 ? "three" : "four") +
                       " entries of " + what + " are read: " + Quote(Slice(part->Value)) +
                       " is ignored");
            break;
        }
        if (part == nullptr || part->Value.Empty()) {
            missing.push_back(kChannels[i]);
            continue;
        }
        if (part->Equals.size() > 1) {
            CheckMissingCommas(*part);
            continue;
        }
        CheckNumber(part->Value, NumberKind::Float);
        CheckHeld(part->Value, std::string(kChannels[i]), TextToFloat(Slice(part->Value)), 0.0f,
                  255.0f);
    }
    if (missing.empty()) return;
    std::string names;
    for (std::size_t i = 0; i < missing.size(); ++i) {
        names += (i == 0 ? "" : i + 1 == missing.size() ? " and " : ", ") + std::string(missing[i]);
    }
    Report(v.Begin, "warning: " + what + " gives no " + names + ": " +
                        (missing.size() == 1 ? "it is " : "they are ") + Show(absent) + "; write " +
                        (channels == 3 ? "{R, G, B}" : "{R, G, B, A}") + ", each from 0 to 255");
}

// {t = v, ...}: times that are fractions of the life, in order, at most kMaxLifeKeys of them.
void TextCheck::CheckCurve(TextRange v, const std::string& name, bool colours, float min,
                           float max) {
    const std::string what = "'" + name + "'";
    const EntryList inner = ScanEntries(text_, v);
    int32_t count = 0;
    float last = 0.0f;
    for (const ListEntry& e : inner.Entries) {
        if (TrimSpaces(text_, e.Whole).Empty()) continue;
        if (e.Equals.size() > 1) {
            CheckMissingCommas(e);
            continue;
        }
        if (!e.HasEquals()) {
            Report(e.Value.Begin, Quote(Slice(e.Value)) + " has no time and is ignored: a key of " +
                                      what +
                                      " is written 'time = value', the time a fraction of the "
                                      "life from 0 to 1");
            continue;
        }
        if (!ScanNumber(Slice(e.Name), NumberKind::Float).HasDigits) {
            Report(e.Name.Begin, Quote(Slice(e.Name)) + " is not a time, so this key of " + what +
                                     " is ignored: name each key by a fraction of the life "
                                     "from 0 to 1");
            continue;
        }
        if (count == kMaxLifeKeys) {
            Report(e.Name.Begin, what + " keeps at most " + Show(kMaxLifeKeys) +
                                     " keys: " + Quote(Slice(TrimSpaces(text_, e.Whole))) +
                                     " and any after it are ignored");
            break;
        }
        CheckNumber(e.Name, NumberKind::Float);
        const float time = TextToFloat(Slice(e.Name));
        CheckHeld(e.Name, "time", time, 0.0f, 1.0f);
        const float held = HoldInRange(time, 0.0f, 1.0f, 0.0f);
        if (count > 0 && held < last) {
            Report(e.Name.Begin, "time " + Show(held) + " comes after time " + Show(last) +
                                     ": the keys of " + what + " are sorted by time");
        }
        last = std::max(last, held);
        ++count;
        // The loader reads a value in braces by its inside, as every key's value.
        const TextRange inside = BlockInside(text_, e.Value);
        if (e.Value.Empty() || (!colours && inside.Empty())) {
            Report(e.Name.Begin, "the key at time " + Show(held) + " has no value: read as " +
                                     (colours ? "white" : "1"));
        } else if (colours) {
            CheckColour(inside, "the colour at time " + Show(held));
        } else {
            CheckNumber(inside, NumberKind::Float);
            CheckHeld(inside, "the value", TextToFloat(Slice(inside)), min, max);
        }
    }
}

// The entries of a block read by position, one for each field (nullptr where it is empty or
// missing); what lies past the fields has its finding.
std::vector<const ListEntry*> TextCheck::GivenByPosition(const EntryList& inner,
                                                         std::span<const BlockField> fields,
                                                         const std::string& what) {
    const std::vector<std::string_view> names = NamesOf(fields);
    std::vector<const ListEntry*> given(fields.size(), nullptr);
    for (std::size_t i = 0; i < inner.Entries.size(); ++i) {
        const ListEntry& part = inner.Entries[i];
        if (i < fields.size()) {
            if (!part.Value.Empty()) given[i] = &part;
            continue;
        }
        if (TrimSpaces(text_, part.Whole).Empty()) continue;
        Report(part.Value.Begin, "only the first " + Show(fields.size()) + " entries of " + what +
                                     " are read (" + JoinNames(names) +
                                     "): " + Quote(Slice(part.Value)) + " is ignored");
        break;
    }
    return given;
}

// The entries of a block read by name, one for each field (nullptr where it is not written or
// has no value); unnamed and empty entries have their findings.
std::vector<const ListEntry*> TextCheck::GivenByName(const EntryList& inner, const EffectKey& key,
                                                     std::span<const BlockField> fields,
                                                     const std::string& what) {
    const std::vector<std::string_view> names = NamesOf(fields);
    std::vector<const ListEntry*> given(fields.size(), nullptr);
    const BlockEntries named = CheckNames(inner, key.Name, names);
    for (const ListEntry* u : named.Unnamed) {
        Report(u->Value.Begin, Quote(Slice(u->Value)) + " has no name and is ignored: " + what +
                                   " reads " + JoinNames(names) +
                                   " by name once any entry has a name");
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const ListEntry* entry = named.Find(fields[i].Name);
        if (entry == nullptr) continue;
        if (entry->Value.Empty()) {
            std::string message = "'";
            message += fields[i].Name;
            message += "' in " + what + " has no value, so it is ignored";
            Report(entry->Name.Begin, message);
            continue;
        }
        given[i] = entry;
    }
    return given;
}

// One field's value: a sub-effect's name to follow, or a number in the field's range.
void TextCheck::CheckBlockField(const BlockField& field, TextRange r) {
    if (field.Name == "Effect") {
        subEffects_.push_back(ExtendsRef{std::string(Slice(r)), r.Begin});
        return;
    }
    std::string what = "'";
    what += field.Name;
    what += '\'';
    if (!field.Integer) {
        CheckNumber(r, NumberKind::Float);
        CheckHeld(r, what, TextToFloat(Slice(r)), field.Min, field.Max);
        return;
    }
    CheckNumber(r, NumberKind::Int);
    // Frames beyond the sheet's cells are said below, with the cells.
    const auto max = field.Name == "Frames" ? INT32_MAX : static_cast<int32_t>(field.Max);
    CheckHeld(r, what, TextToInt(Slice(r)), static_cast<int32_t>(field.Min), max);
}

// The named fields of SpriteSheet, Burst, OnBirth and OnDeath, or their entries by position
// when none has a name.
void TextCheck::CheckBlock(const ListEntry& e, TextRange v, const EffectKey& key) {
    const std::span<const BlockField> fields = BlockFieldsOf(key);
    std::string what = "'";
    what += key.Name;
    what += '\'';
    const EntryList inner = ScanEntries(text_, v);
    const std::vector<const ListEntry*> given = BlockIsPositional(Slice(v))
                                                    ? GivenByPosition(inner, fields, what)
                                                    : GivenByName(inner, key, fields, what);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (given[i] != nullptr) CheckBlockField(fields[i], given[i]->Value);
    }
    if (fields.data() == kReadRulesOf<kSpriteSheetFields>.data() && given[2] != nullptr) {
        const SpriteSheetParams sheet = ReadRecord(Slice(v), kSpriteSheetFields);
        const int32_t frames = TextToInt(Slice(given[2]->Value));
        if (frames > sheet.Frames) {
            Report(given[2]->Value.Begin, "'Frames' " + Show(frames) + " is more than the " +
                                              Show(sheet.Columns) + " x " + Show(sheet.Rows) +
                                              " cells of the sheet: held at " + Show(sheet.Frames));
        }
    }
    if (StartsEffect(key) && given[0] == nullptr) {
        Report(e.Value.Begin, what + " names no 'Effect', so no effect is started");
    }
}

}  // namespace pp::effect_check
