// The checker: the file as a whole (byte-order marks, braces, a wrapped file) and the names
// of entries (missing commas, unknown names, white space the reader keeps, repeated names).
#include <algorithm>

#include "effects/check_text.h"

namespace pp::effect_check {

TextCheck::TextCheck(std::string_view bytes, NameMap<int32_t>& areaTypes)
    : map_(bytes), text_(map_.Text()), areaTypes_(areaTypes) {
    bom_ = bytes.substr(0, 3) == "\xEF\xBB\xBF";
}

void TextCheck::Run(bool truncated, bool cutShort) {
    if (truncated) {
        findings_.push_back(
            Located{map_.End(), "the file is longer than " + Show(kMaxEffectFileBytes) +
                                    " bytes: the reader stops here and the rest is not read"});
    }
    if (text_.substr(0, 2) == "\xFF\xFE" || text_.substr(0, 2) == "\xFE\xFF") {
        Report(0,
               "UTF-16 byte-order mark: the reader takes one byte per character, so "
               "nothing in this file is found; save it as ASCII or UTF-8 without a "
               "byte-order mark");
        return;
    }
    const EntryList top = ScanEntries(text_, TextRange{0, text_.size()}, false);
    CheckBom(top);
    if (CheckWrappedFile(top)) return;
    // Nothing but line ends, spaces and commas: every key keeps the emitter's default.
    if (!cutShort && top.Entries.empty() && !top.SurplusClose && !top.UnclosedOpen) {
        findings_.push_back(Located{TextPosition{},
                                    "warning: the file is empty: it sets nothing, so the "
                                    "emitter keeps every default"});
        return;
    }
    CheckTopLevel(top);
    CheckBraces(top);
}

void TextCheck::CheckBom(const EntryList& top) {
    if (!bom_) return;
    std::string message = "byte-order mark at the start of the file: it becomes part of the ";
    std::string_view first;
    if (!top.Entries.empty() && !top.Entries.front().Name.Empty() &&
        top.Entries.front().Name.Begin == 0) {
        first = Slice(top.Entries.front().Name).substr(3);
    }
    if (Contains(kKeyNames, first)) {
        message += "first name, so '" + std::string(first) + "' is not found";
    } else {
        message += "first entry";
    }
    findings_.push_back(Located{TextPosition{}, message + "; save the file without it"});
}

// '{ Size = 10, ... }': one unnamed entry, no key found.
bool TextCheck::CheckWrappedFile(const EntryList& top) {
    const ListEntry* only = nullptr;
    for (const ListEntry& e : top.Entries) {
        if (TrimSpaces(text_, e.Whole).Empty()) continue;
        if (only != nullptr) return false;
        only = &e;
    }
    if (only == nullptr || only->HasEquals() || text_[only->Value.Begin] != '{') return false;
    const EntryList inner = ScanEntries(text_, BlockInside(text_, only->Value));
    if (inner.Entries.empty() || !inner.Entries.front().HasEquals()) return false;
    Report(only->Value.Begin,
           "the whole file is wrapped in braces, so no key is found: the top level is a "
           "bare list; remove the outer '{' and '}'");
    return true;
}

// The keys written in [begin, end) at the start of an entry, as far as one can tell
// without entries: after the start or a ',' at any depth, followed by '='.
std::string TextCheck::KeysWithin(std::size_t begin, std::size_t end) const {
    std::vector<std::string_view> keys;
    std::size_t start = begin;
    while (start < end) {
        std::size_t comma = text_.find(',', start);
        if (comma == std::string::npos || comma > end) comma = end;
        const std::size_t equals = text_.substr(start, comma - start).find('=');
        if (equals != std::string_view::npos) {
            TextRange name = TrimSpaces(text_, TextRange{start, start + equals});
            while (!name.Empty() && text_[name.Begin] == '{') {
                name = TrimSpaces(text_, TextRange{name.Begin + 1, name.End});
            }
            const std::string_view word = Slice(name);
            if (Contains(kKeyNames, word) && !Contains(keys, word)) keys.push_back(word);
        }
        start = comma + 1;
    }
    if (keys.empty()) return "";
    constexpr std::size_t kShown = 5;
    std::string out = " (lost: ";
    for (std::size_t i = 0; i < keys.size() && i < kShown; ++i) {
        if (i > 0) out += ", ";
        out += keys[i];
    }
    if (keys.size() > kShown) out += ", ...";
    return out + ")";
}

void TextCheck::CheckBraces(const EntryList& top) {
    if (top.SurplusClose) {
        // The text from the entry holding the '}' up to the next entry that ends again
        // (if the depth ever climbs back to 0) belongs to no entry.
        std::size_t end = text_.size();
        for (const ListEntry& e : top.Entries) {
            if (e.Whole.Begin == top.SurplusEntryStart) end = e.Whole.End;
        }
        Report(*top.SurplusClose,
               "surplus '}': from here on no ',' or '=' counts, so keys after this are not "
               "found, nor the entry that holds it" +
                   KeysWithin(top.SurplusEntryStart, end) + "; remove it");
        return;
    }
    if (top.UnclosedOpen) {
        Report(*top.UnclosedOpen,
               "unclosed '{': keys after this are not found, nor the entry that holds it" +
                   KeysWithin(top.UnclosedEntryStart, text_.size()) + "; add the missing '}'");
    }
}

// Where the author most likely left out a comma in `segment`, the text between two '='
// of one entry: at a line break outside braces, else before a known name, else after a
// block's closing brace, else after the last space outside braces.
std::optional<TextCheck::Split> TextCheck::FindSplit(TextRange segment) const {
    if (segment.Empty()) return std::nullopt;
    const std::vector<std::size_t> starts = map_.LineStartsWithin(segment.Begin, segment.End);
    std::optional<std::size_t> lineBreak, afterClose, afterSpace;
    int64_t depth = 0;
    std::size_t next = 0;
    for (std::size_t i = segment.Begin; i < segment.End; ++i) {
        for (; next < starts.size() && starts[next] <= i; ++next) {
            if (starts[next] == i && depth == 0) lineBreak = i;
        }
        const char c = text_[i];
        if (depth == 0 && text_[i - 1] == ' ' && c != ' ') afterSpace = i;
        if (c == '{') {
            ++depth;
        } else if (c == '}' && --depth == 0) {
            afterClose = i + 1;
        }
    }
    if (lineBreak) {
        const TextRange before = TrimSpaces(text_, TextRange{segment.Begin, *lineBreak});
        return Split{*lineBreak, map_.After(before.End - 1)};
    }
    const std::string_view seg = Slice(segment);
    std::size_t known = 0;
    for (std::string_view name : AllNames()) {
        if (seg.size() > name.size() && name.size() > known && seg.ends_with(name)) {
            known = name.size();
        }
    }
    if (known > 0) return Split{segment.End - known, std::nullopt};
    if (afterClose && *afterClose < segment.End) {
        return Split{TrimSpaces(text_, TextRange{*afterClose, segment.End}).Begin, std::nullopt};
    }
    if (afterSpace) return Split{*afterSpace, std::nullopt};
    return std::nullopt;
}

// An entry with two '=' or more swallowed the entries after it: 'Size = 10' and
// 'LifeTime = 2' on two lines without a comma are one entry named 'Size = 10LifeTime'.
void TextCheck::CheckMissingCommas(const ListEntry& e) {
    std::size_t leftBegin = e.Whole.Begin;
    for (std::size_t i = 0; i + 1 < e.Equals.size(); ++i) {
        const TextRange segment = TrimSpaces(text_, TextRange{e.Equals[i] + 1, e.Equals[i + 1]});
        const std::optional<Split> split = FindSplit(segment);
        if (!split) {
            Report(e.Equals[i + 1],
                   "a second '=' in one entry: " + Quote(Slice(TrimSpaces(text_, e.Whole))) +
                       " is read as the name " +
                       Quote(Slice(TrimSpaces(text_, TextRange{e.Whole.Begin, e.Equals.back()}))) +
                       "; missing comma?");
            return;
        }
        const std::string_view left = Slice(TrimSpaces(text_, TextRange{leftBegin, e.Equals[i]}));
        const std::string_view right =
            Slice(TrimSpaces(text_, TextRange{split->At, e.Equals[i + 1]}));
        const std::string pair = Quote(left) + " and " + Quote(right) +
                                 " run together into one entry, so neither is found";
        if (split->LineEnd) {
            findings_.push_back(Located{
                *split->LineEnd,
                "missing comma at the end of line " + Show(split->LineEnd->Line) + "? " + pair});
        } else {
            Report(split->At, "missing comma before " + Quote(right) + "? " + pair);
        }
        leftBegin = split->At;
    }
}

std::vector<std::string_view> TextCheck::AllNames() {
    std::vector<std::string_view> names(kKeyNames.begin(), kKeyNames.end());
    names.insert(names.end(), kSpecNames.begin(), kSpecNames.end());
    names.insert(names.end(), kAreaNames.begin(), kAreaNames.end());
    return names;
}

// The message for a name that `block` (empty: the top level) does not read.
std::string TextCheck::UnknownName(std::string_view shown, std::string_view cleaned,
                                   std::string_view block,
                                   std::span<const std::string_view> allowed,
                                   std::optional<Suggestion>& suggestion) const {
    suggestion = Suggest(cleaned, allowed);
    const std::string name = Quote(shown);
    if (block.empty()) {
        if (suggestion && suggestion->CaseOnly) {
            return name + " is not a key; keys are case-sensitive: did you mean '" +
                   std::string(suggestion->Name) + "'?";
        }
        if (Contains(kAreaNames, cleaned)) {
            return name +
                   " is not a key at the top level: it is read only inside "
                   "'EmitterArea = {...}'";
        }
        if (Contains(kSpecNames, cleaned)) {
            return name +
                   " is not a key at the top level: it is read only inside a "
                   "value block such as 'Size = {...}'";
        }
        if (suggestion) {
            return name + " is not a key: did you mean '" + std::string(suggestion->Name) + "'?";
        }
        return name + " is not a key and is ignored";
    }
    const std::string in = " is not read in '" + std::string(block) + "'";
    if (suggestion && suggestion->CaseOnly) {
        return name + in + "; names are case-sensitive: did you mean '" +
               std::string(suggestion->Name) + "'?";
    }
    if (Contains(kKeyNames, cleaned)) {
        return name + " is a top-level key, not read inside '" + std::string(block) +
               "': is a '}' missing before it?";
    }
    if (suggestion) {
        return name + in + ": did you mean '" + std::string(suggestion->Name) + "'?";
    }
    return name + in + " (it reads " + JoinNames(allowed) + ")";
}

namespace {

// A name without the spaces and the other white space at its ends: the kept part is
// name[Begin, End), and Odd is where white space the reader keeps (not a space) stands, if any.
struct TrimmedName {
    std::size_t Begin = 0;
    std::size_t End = 0;
    std::optional<std::size_t> Odd;
};

TrimmedName TrimAnySpace(std::string_view name) {
    TrimmedName t{0, name.size(), std::nullopt};
    while (t.Begin < t.End) {
        const std::size_t odd_length = OddSpaceLength(name, t.Begin);
        if (name[t.Begin] == ' ') {
            ++t.Begin;
        } else if (odd_length > 0) {
            if (!t.Odd) t.Odd = t.Begin;
            t.Begin += odd_length;
        } else {
            break;
        }
    }
    for (;;) {
        const std::size_t b = t.Begin;
        std::size_t& n = t.End;
        if (n > b && name[n - 1] == ' ') {
            --n;
        } else if (n > b && OddSpaceLength(name, n - 1) == 1) {
            if (!t.Odd || *t.Odd < b) t.Odd = n - 1;
            --n;
        } else if (n >= b + 2 && OddSpaceLength(name, n - 2) == 2) {
            if (!t.Odd || *t.Odd < b) t.Odd = n - 2;
            n -= 2;
        } else {
            break;
        }
    }
    return t;
}

}  // namespace

// Checks the names of a list's entries against `allowed`: missing commas, names without
// '=', white space the reader keeps, unknown names and repeated ones. Entries without '='
// are handed back; the top level reports them itself.
BlockEntries TextCheck::CheckNames(const EntryList& scan, std::string_view block,
                                   std::span<const std::string_view> allowed) {
    BlockEntries out;
    for (const ListEntry& e : scan.Entries) {
        if (TrimSpaces(text_, e.Whole).Empty()) continue;
        if (e.Equals.size() > 1) {
            CheckMissingCommas(e);
            continue;
        }
        if (!e.HasEquals()) {
            out.Unnamed.push_back(&e);
            continue;
        }
        if (e.Name.Empty()) {
            Report(e.Value.Begin, Quote(Slice(e.Value)) + " has no name before '=' and is ignored");
            continue;
        }
        const std::string_view name = Slice(e.Name);
        if (!Contains(allowed, name)) {
            CheckStrayName(e, block, allowed, out);
        } else if (const ListEntry* first = out.Find(name)) {
            Report(e.Name.Begin, Quote(name) +
                                     " is given again and ignored: the first, "
                                     "on line " +
                                     LineOf(first->Name.Begin) + ", wins");
        } else {
            out.Named.emplace_back(name, &e);
            out.Meant.push_back(name);
        }
    }
    return out;
}

// An entry whose name is not one of `allowed`: a byte-order mark, white space the reader
// keeps, or an unknown name. `out.Meant` gains the name the author most likely meant.
void TextCheck::CheckStrayName(const ListEntry& e, std::string_view block,
                               std::span<const std::string_view> allowed, BlockEntries& out) {
    std::string_view name = Slice(e.Name);
    std::size_t begin = e.Name.Begin;
    if (bom_ && begin == 0 && block.empty()) {
        name.remove_prefix(3);
        begin += 3;
        // The byte-order mark finding says what became of this name.
        if (Contains(allowed, name)) {
            out.Meant.push_back(name);
            return;
        }
    }
    const TrimmedName trimmed = TrimAnySpace(name);
    const std::string_view cleaned = name.substr(trimmed.Begin, trimmed.End - trimmed.Begin);
    if (const std::optional<std::size_t> odd = trimmed.Odd; odd && Contains(allowed, cleaned)) {
        Report(begin + *odd, std::string(OddSpaceName(name, *odd)) +
                                 (*odd < trimmed.Begin ? " before " : " after ") + Quote(cleaned) +
                                 ": only spaces are trimmed, so the name is " + Quote(name) +
                                 " and " + Quote(cleaned) + " is not found; use spaces");
        out.Meant.push_back(cleaned);
        return;
    }
    std::optional<Suggestion> suggestion;
    Report(begin, UnknownName(name, cleaned, block, allowed, suggestion));
    if (suggestion) out.Meant.push_back(suggestion->Name);
}

}  // namespace pp::effect_check
