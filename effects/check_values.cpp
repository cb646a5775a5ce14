// The checker: every key's value read as the loader reads it, numbers, pairs and the area.
#include <algorithm>
#include <cmath>

#include "effects/check_text.h"
#include "effects/extra_values.h"

namespace pp::effect_check {

NumberScan ScanNumber(std::string_view text, NumberKind kind) {
    if (kind == NumberKind::Float) {
        const std::size_t end = FloatTextEnd(text);
        return NumberScan{end, end > 0, false};
    }
    const IntText scan = ScanIntText(text);
    return NumberScan{scan.End, scan.End > 0, !scan.Fits32};
}

// Reports a value that converts only partly or not at all, or beyond 32 bits.
void TextCheck::CheckNumber(TextRange r, NumberKind kind, std::string_view key) {
    const std::string_view value = Slice(r);
    const NumberScan scan = ScanNumber(value, kind);
    if (!scan.HasDigits) {
        std::string message = Quote(value) + " is not a number: read as 0";
        if (key == "Disable")
            message +=
                ", which leaves the emitter enabled; write 1 to "
                "disable it";
        Report(r.Begin, message);
        return;
    }
    const std::string read =
        kind == NumberKind::Float ? Show(TextToFloat(value)) : Show(TextToInt(value));
    const std::string_view rest = value.substr(scan.Length);
    // Trailing white space and commas ('{60, }') change nothing.
    const bool clean =
        std::all_of(rest.begin(), rest.end(), [](char c) { return IsCSpace(c) || c == ','; });
    if (!clean) {
        std::string message = Quote(value) + " is read as " + read;
        if (kind == NumberKind::Int && rest.size() >= 2 && rest[0] == '.' && IsDigit(rest[1])) {
            message += ": only whole numbers are read here";
        } else {
            message += ": the rest is ignored";
        }
        Report(r.Begin, message);
        return;
    }
    if (kind == NumberKind::Float && std::isinf(TextToFloat(value))) {
        Report(r.Begin, Quote(value) + " is too large for a 32-bit float: read as " + read);
    } else if (kind == NumberKind::Int && scan.OutOfRange) {
        Report(r.Begin, Quote(value) + " does not fit in 32 bits: read as " + read);
    }
}

void TextCheck::CheckTopLevel(const EntryList& top) {
    const BlockEntries keys = CheckNames(top, {}, kKeyNames);
    for (const ListEntry* e : keys.Unnamed) CheckUnnamed(*e);
    for (const EffectKey& key : kEffectKeys) {
        if (const ListEntry* e = keys.Find(key.Name)) CheckKeyValue(*e, key);
    }
}

// A top-level entry without '=': ignored by the reader; a key name and a space before the
// value is most likely a missing '='.
void TextCheck::CheckUnnamed(const ListEntry& e) {
    const std::string_view value = Slice(e.Value);
    // A file holding nothing but its byte-order mark has that finding already.
    if (bom_ && e.Value.Begin == 0 && value.size() == 3) return;
    std::string message = Quote(value) + " has no '=' and is ignored";
    const std::size_t space = value.find(' ');
    if (space != std::string_view::npos && value.size() <= kQuoteLimit &&
        Contains(kKeyNames, value.substr(0, space))) {
        message += ": write '" + Escape(value.substr(0, space)) + " =" +
                   Escape(value.substr(space)) + "'?";
    }
    Report(e.Value.Begin, message);
}

// A key's value by the kind the key reads.
void TextCheck::CheckKeyValue(const ListEntry& e, const EffectKey& key) {
    const TextRange v = BlockInside(text_, e.Value);
    if (v.Empty()) {
        // Appended rather than "'" + name + ...: gcc 12 at -O3 warns (-Wrestrict)
        // about the copy a leading literal makes, though nothing overlaps.
        Report(e.Name.Begin,
               std::string("'").append(key.Name).append("' has no value and is skipped"));
        return;
    }
    if (!CheckBlockEnd(e, key.Name)) return;
    switch (key.Kind) {
        case EffectValueKind::Path:
            extends_ = ExtendsRef{std::string(Slice(v)), v.Begin};
            break;
        case EffectValueKind::SpriteFile:
            CheckSpriteList(v);
            break;
        case EffectValueKind::Paths:
            // The members are files of their own: CheckFiles follows them through the group
            // reader, which names the ones left out.
            break;
        case EffectValueKind::Int:
            CheckNumber(v, NumberKind::Int, key.Name);
            if (key.Name == "Layer" && TextToInt(Slice(v)) != 0) {
                Report(v.Begin, "warning: Layer " + Show(TextToInt(Slice(v))) +
                                    " is never drawn: the player draws layer 0 only");
            }
            break;
        case EffectValueKind::Float:
            CheckNumber(v, NumberKind::Float);
            break;
        case EffectValueKind::Pair:
        case EffectValueKind::IntPair:
            CheckPair(e, v, key);
            break;
        case EffectValueKind::Area:
            CheckArea(e, v);
            break;
        case EffectValueKind::Spec:
        case EffectValueKind::IntSpec:
            CheckSpec(e, v, key);
            break;
        default:
            CheckExtra(e, v, key);
            break;
    }
}

// A block value loses its last character whatever it is: text after the closing brace
// ('{1, 2} junk') breaks the block. False when that happened.
bool TextCheck::CheckBlockEnd(const ListEntry& e, std::string_view key) {
    const TextRange value = e.Value;
    if (value.Empty() || text_[value.Begin] != '{') return true;
    int64_t depth = 0;
    for (std::size_t i = value.Begin; i < value.End; ++i) {
        if (text_[i] == '{') ++depth;
        if (text_[i] != '}' || --depth != 0) continue;
        if (i + 1 == value.End) return true;
        const TextRange after = TrimSpaces(text_, TextRange{i + 1, value.End});
        Report(after.Begin, Quote(Slice(after)) + " after the closing '}' of '" + std::string(key) +
                                "': the reader drops a block's last character whatever "
                                "it is, so '" +
                                std::string(key) + "' is misread; missing comma?");
        return false;
    }
    return true;
}

void TextCheck::CheckPair(const ListEntry& e, TextRange v, const EffectKey& key) {
    const bool integer = key.Kind == EffectValueKind::IntPair;
    const EntryList inner = ScanEntries(text_, v);
    std::vector<const ListEntry*> parts;
    for (const ListEntry& part : inner.Entries) {
        if (part.Equals.size() > 1) CheckMissingCommas(part);
        parts.push_back(&part);
    }
    // Parts go by position; their names do not matter.
    for (std::size_t i = 0; i < parts.size() && i < 2; ++i) {
        if (parts[i]->Value.Empty() || parts[i]->Equals.size() > 1) continue;
        const TextRange value = parts[i]->Value;
        CheckNumber(value, integer ? NumberKind::Int : NumberKind::Float);
        if (key.Name != "BlendingMode") continue;
        const int32_t code = TextToInt(Slice(value));
        if (code < kLowestBlendCode || code > kHighestBlendCode) {
            Report(value.Begin, "warning: blend factor " + Show(code) +
                                    " is not a code from 1 to 13: the player draws with " +
                                    (i == 0 ? "5 (source alpha)" : "6 (inverse source alpha)") +
                                    " instead");
        }
    }
    for (std::size_t i = 2; i < parts.size(); ++i) {
        if (TrimSpaces(text_, parts[i]->Whole).Empty()) continue;
        Report(parts[i]->Value.Begin, "only the first two entries of '" + std::string(key.Name) +
                                          "' are read: " + Quote(Slice(parts[i]->Value)) +
                                          " is ignored");
        break;
    }
    if (parts.size() >= 2 && parts[0]->Equals.size() == 1 && parts[1]->Equals.size() == 1) {
        const std::string_view first = Slice(parts[0]->Name);
        const std::string_view second = Slice(parts[1]->Name);
        if (EqualsIgnoringCase(first, "y") && EqualsIgnoringCase(second, "x")) {
            Report(parts[0]->Name.Begin,
                   "warning: the entries of '" + std::string(key.Name) +
                       "' are read by position, not by name: " + Quote(first) +
                       " (first) is read as x and " + Quote(second) + " as y");
        }
    }
    if (key.Name == "EmitterPosition" &&
        (parts.size() < 2 || parts[1]->Value.Empty() || parts[1]->Equals.size() > 1)) {
        Report(e.Value.Begin,
               "warning: 'EmitterPosition' has no second number, so the y position "
               "becomes 0, not the position the player gives");
    }
}

void TextCheck::CheckArea(const ListEntry& e, TextRange v) {
    const std::string_view block = "EmitterArea";
    if (FindEntry(Slice(v), "1").empty()) {
        Report(e.Value.Begin,
               "the first entry of 'EmitterArea' is empty, so the area is a Point of size "
               "0 and nothing else in it is read");
        return;
    }
    const EntryList inner = ScanEntries(text_, v);
    const BlockEntries names = CheckNames(inner, block, kAreaNames);
    for (const ListEntry* u : names.Unnamed) {
        const std::string_view value = Slice(u->Value);
        const std::optional<Suggestion> type = Suggest(value, kAreaTypeNames);
        if (type && text_[e.Value.Begin] != '{') {
            Report(e.Value.Begin, "'EmitterArea = " + Escape(value) +
                                      "' gives a Point: the type is read only from a "
                                      "block; write 'EmitterArea = {Type = " +
                                      std::string(type->Name) + "}'");
        } else if (type) {
            Report(u->Value.Begin, Quote(value) +
                                       " has no name, so it is not read as the type: "
                                       "write 'Type = " +
                                       std::string(type->Name) + "'");
        } else {
            Report(u->Value.Begin, Quote(value) + " has no name and is ignored (" +
                                       std::string(block) + " reads " + JoinNames(kAreaNames) +
                                       ")");
        }
    }
    for (const auto& [name, entry] : names.Named) {
        const std::string_view value = Slice(entry->Value);
        if (value.empty()) {
            std::string message = "'";
            message += name;
            message += name == "Type" ? "' has no value, so the area is a Point"
                                      : "' has no value: read as 0";
            Report(entry->Name.Begin, message);
        } else if (name == "Type") {
            CheckAreaType(entry->Value);
        } else {
            CheckNumber(entry->Value, NumberKind::Float);
        }
    }
}

void TextCheck::CheckAreaType(TextRange r) {
    const std::string type(Slice(r));
    if (MapFind(areaTypes_, type.c_str()) != nullptr) return;
    std::string_view cleaned = type;
    std::optional<std::size_t> odd;
    while (!cleaned.empty() && OddSpaceLength(cleaned, cleaned.size() - 1) == 1) {
        odd = cleaned.size() - 1;
        cleaned.remove_suffix(1);
    }
    while (cleaned.size() >= 2 && OddSpaceLength(cleaned, cleaned.size() - 2) == 2) {
        odd = cleaned.size() - 2;
        cleaned.remove_suffix(2);
    }
    const std::string shown = Quote(type);
    if (odd && MapFind(areaTypes_, std::string(cleaned).c_str()) != nullptr) {
        Report(r.Begin + *odd, std::string(OddSpaceName(type, *odd)) + " after " + Quote(cleaned) +
                                   ": only spaces are trimmed, so the type is " + shown +
                                   ", which is not an area type; the area is a Point");
        return;
    }
    const std::optional<Suggestion> suggestion = Suggest(cleaned, kAreaTypeNames);
    std::string message = shown + " is not an area type, so the area is a Point";
    if (suggestion && suggestion->CaseOnly) {
        message +=
            "; names are case-sensitive: did you mean '" + std::string(suggestion->Name) + "'?";
    } else if (suggestion) {
        message += ": did you mean '" + std::string(suggestion->Name) + "'?";
    } else {
        message += " (types: " + JoinNames(kAreaTypeNames) + ")";
    }
    Report(r.Begin, message);
}

// The images are looked for by the caller; beyond the loader's bound they are not loaded.
void TextCheck::CheckSpriteList(TextRange v) {
    const std::vector<TextRange> entries = SpriteFileEntries(text_, v);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i == static_cast<std::size_t>(kMaxListedSprites)) {
            Report(entries[i].Begin, "'SpriteFile' lists more than " + Show(kMaxListedSprites) +
                                         " images: this one and the rest are left out");
            break;
        }
        spriteFiles_.push_back(ExtendsRef{std::string(Slice(entries[i])), entries[i].Begin});
    }
}

}  // namespace pp::effect_check
