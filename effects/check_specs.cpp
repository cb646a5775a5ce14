// The checker: randomised values, their forms (Min and Max, Value and TextRange, Value and Blur),
// their order and steps.
#include <algorithm>
#include <cmath>
#include <string>

#include "effects/check_text.h"
#include "runtime/convert.h"

namespace pp::effect_check {
namespace {

// A Max written as the "same as Min" value is read as no Max at all.
std::string SameAsMinMessage(const EffectKey& key) {
    return "Max " + std::to_string(kSameAsMin<int32_t>) + " means 'no Max' to the reader: '" +
           std::string(key.Name) + "' is fixed at Min";
}

}  // namespace

// The numbers of the form in use (two entries, and Inc when given), in the text's order.
void TextCheck::CheckFormNumbers(const ListEntry* first, const ListEntry* second,
                                 const ListEntry* inc, NumberKind kind) {
    std::vector<const ListEntry*> used = {first, second};
    if (inc) used.push_back(inc);
    std::sort(used.begin(), used.end(), [](const ListEntry* a, const ListEntry* b) {
        return a->Value.Begin < b->Value.Begin;
    });
    for (const ListEntry* u : used) CheckNumber(u->Value, kind);
}

// A named entry without a value counts as not written.
void TextCheck::CheckEmptyNamed(const BlockEntries& names, const EffectKey& key) {
    for (const auto& [name, entry] : names.Named) {
        if (entry->Value.Empty()) {
            std::string message = "'";
            message += name;
            message += "' in '";
            message += key.Name;
            message += "' has no value, so it is ignored";
            Report(entry->Name.Begin, message);
        }
    }
}

// The entries of a form that gives way to an earlier one: Min and Max come before Value, Range
// and Blur; Range before Blur. Each flag says the entry is given and ignored.
void TextCheck::CheckIgnoredForms(const BlockEntries& names, bool minMax, bool value, bool range,
                                  bool blur) {
    std::vector<std::string_view> ignored;
    if (value) ignored.push_back("Value");
    if (range) ignored.push_back("Range");
    if (blur) ignored.push_back("Blur");
    if (ignored.empty()) return;
    const ListEntry* first = names.Find(ignored.front());
    std::string list;
    for (std::size_t i = 0; i < ignored.size(); ++i) {
        if (i > 0) list += i + 1 == ignored.size() ? " and " : ", ";
        list += '\'';
        list += ignored[i];
        list += '\'';
    }
    Report(first->Name.Begin,
           "warning: " + list + (ignored.size() > 1 ? " are" : " is") +
               " ignored: " + (minMax ? "'Min' and 'Max' come first" : "'Range' comes first"));
}

void TextCheck::CheckSpec(const ListEntry& e, TextRange v, const EffectKey& key) {
    const bool integer = key.Kind == EffectValueKind::IntSpec;
    const NumberKind kind = integer ? NumberKind::Int : NumberKind::Float;
    const std::string_view vt = Slice(v);
    const EntryList inner = ScanEntries(text_, v);
    // Without a second entry the whole text is read as one number.
    if (FindEntry(vt, "2").empty()) {
        if (!inner.Entries.empty() && inner.Entries.front().Equals.size() > 1) {
            CheckMissingCommas(inner.Entries.front());
        } else if (!inner.Entries.empty() && inner.Entries.front().HasEquals()) {
            CheckNamedPlainSpec(e, inner, key, kind);
        } else {
            CheckNumber(v, kind);
        }
        return;
    }
    const BlockEntries names = CheckNames(inner, key.Name, kSpecNames);
    auto given = [&](std::string_view name) -> const ListEntry* {
        const ListEntry* found = names.Find(name);
        return found != nullptr && !found->Value.Empty() ? found : nullptr;
    };
    CheckEmptyNamed(names, key);
    const ListEntry* min = given("Min");
    const ListEntry* max = given("Max");
    const ListEntry* value = given("Value");
    const ListEntry* range = given("Range");
    const ListEntry* blur = given("Blur");
    const ListEntry* inc = given("Inc");
    const bool minMax = min && max;
    const bool valueRange = !minMax && value && range;
    const bool valueBlur = !minMax && !valueRange && value && blur;
    if (!minMax && !valueRange && !valueBlur) {
        CheckFormless(e, names, key);
        return;
    }
    for (const ListEntry* u : names.Unnamed) {
        Report(u->Value.Begin, Quote(Slice(u->Value)) + " has no name and is ignored");
    }
    const ListEntry* first = minMax ? min : value;
    const ListEntry* second = minMax ? max : valueRange ? range : blur;
    CheckFormNumbers(first, second, inc, kind);
    CheckIgnoredForms(names, minMax, minMax && value, minMax && range,
                      blur && (minMax || valueRange));
    // Swapping cannot help when one of Min and Max is not a number: that has its finding.
    const bool swappable = minMax && ScanNumber(Slice(min->Value), kind).HasDigits &&
                           ScanNumber(Slice(max->Value), kind).HasDigits;
    if (integer) {
        CheckIntOrder(key, ParseIntValueSpec(vt), max, blur, inc, minMax, valueBlur, swappable);
    } else {
        CheckFloatOrder(key, ParseValueSpec(vt), min, max, range, blur, inc, minMax, valueRange, e,
                        swappable);
    }
}

// '{Value = 60}': a block whose second entry is missing or empty is one plain number.
void TextCheck::CheckNamedPlainSpec(const ListEntry& e, const EntryList& inner,
                                    const EffectKey& key, NumberKind kind) {
    const std::string_view vt = Slice(BlockInside(text_, e.Value));
    const std::string read =
        kind == NumberKind::Float ? Show(FloatOr(vt, 0.0f)) : Show(IntOr(vt, 0));
    const ListEntry& first = inner.Entries.front();
    if (inner.Entries.size() >= 2 && !TrimSpaces(text_, inner.Entries[1].Whole).Empty()) {
        const ListEntry& second = inner.Entries[1];
        const std::string_view shown =
            second.Name.Empty() ? Slice(TrimSpaces(text_, second.Whole)) : Slice(second.Name);
        Report(TrimSpaces(text_, second.Whole).Begin,
               "the second entry of '" + std::string(key.Name) + "' (" + Quote(shown) +
                   ") has no value, so the block is read as one plain number: " + read);
        return;
    }
    std::string message =
        "a block with one entry is read as a plain number: " + Quote(Slice(e.Value)) +
        " reads as " + read;
    const std::string_view number = Slice(first.Value);
    const NumberScan scan = ScanNumber(number, kind);
    if (scan.HasDigits && scan.Length == number.size()) {
        message += "; write '" + std::string(key.Name) + " = " + std::string(number) + "'";
    }
    Report(e.Value.Begin, message);
}

// A block with two entries or more that names none of the three forms.
void TextCheck::CheckFormless(const ListEntry& e, const BlockEntries& names, const EffectKey& key) {
    const std::string k(key.Name);
    bool anyNamed = false;
    for (const auto& [name, entry] : names.Named) anyNamed |= !entry->Value.Empty();
    if (!anyNamed && names.Unnamed.size() >= 2 && names.Meant.empty()) {
        Report(e.Value.Begin, Quote(Slice(e.Value)) +
                                  " is not a range: bare numbers read as 0; write '" + k +
                                  " = {Min = " + Escape(Slice(names.Unnamed[0]->Value)) +
                                  ", Max = " + Escape(Slice(names.Unnamed[1]->Value)) + "}'");
        return;
    }
    for (const ListEntry* u : names.Unnamed) {
        Report(u->Value.Begin, Quote(Slice(u->Value)) + " has no name and is ignored");
    }
    // A misspelt or hidden name already has its finding, which is the cause.
    auto meant = [&](std::string_view n) { return Contains(names.Meant, n); };
    if ((meant("Min") && meant("Max")) || (meant("Value") && (meant("Range") || meant("Blur"))))
        return;
    auto given = [&](std::string_view name) {
        const ListEntry* found = names.Find(name);
        return found != nullptr && !found->Value.Empty();
    };
    std::string message;
    if (given("Value")) {
        message = "'Value' needs 'Range' or 'Blur' beside it: '" + k + "' reads as 0";
        const ListEntry* value = names.Find("Value");
        const std::string_view number = Slice(value->Value);
        const NumberScan scan = ScanNumber(number, NumberKind::Float);
        if (scan.HasDigits && scan.Length == number.size()) {
            message += "; for a fixed value write '" + k + " = " + std::string(number) + "'";
        }
    } else if (given("Min")) {
        message = "'Min' without 'Max': '" + k + "' reads as 0; add 'Max'";
    } else if (given("Max")) {
        message = "'Max' without 'Min': '" + k + "' reads as 0; add 'Min'";
    } else if (given("Range") || given("Blur")) {
        message = std::string(given("Range") ? "'Range'" : "'Blur'") + " without 'Value': '" + k +
                  "' reads as 0; add 'Value'";
    } else {
        message = Quote(Slice(e.Value)) +
                  " matches no value form (Min and Max, Value and Range, Value and Blur): "
                  "'" +
                  k + "' reads as 0";
    }
    Report(e.Value.Begin, message);
}

void TextCheck::CheckIntOrder(const EffectKey& key, const ValueForm<int32_t>& form,
                              const ListEntry* max, const ListEntry* blur, const ListEntry* inc,
                              bool minMax, bool valueBlur, bool swappable) {
    if (minMax && form.Second == kSameAsMin<int32_t>) {
        Report(max->Value.Begin, SameAsMinMessage(key));
    } else if (form.First > form.Second) {
        if (minMax) {
            if (swappable) {
                Report(max->Value.Begin, "Max " + Show(form.Second) + " is below Min " +
                                             Show(form.First) + ": swap them");
            }
        } else if (valueBlur) {
            Report(blur->Value.Begin, "negative Blur " + std::string(Slice(blur->Value)) +
                                          " puts Max below Min; make it positive");
        }
    }
    if (inc && form.Step <= 0) {
        Report(inc->Value.Begin,
               "Inc " + Show(form.Step) + " is not a step above 0: the step is 1");
    }
}

// Max below Min, a step that is no step, and an upper end that 32-bit float steps miss.
void TextCheck::CheckFloatOrder(const EffectKey& key, const ValueForm<float>& form,
                                const ListEntry* min, const ListEntry* max, const ListEntry* range,
                                const ListEntry* blur, const ListEntry* inc, bool minMax,
                                bool valueRange, const ListEntry& e, bool swappable) {
    if (minMax && form.Second == kSameAsMin<float>) {
        Report(max->Value.Begin, SameAsMinMessage(key));
        return;
    }
    const float low = form.First;
    const float high = form.Second == kSameAsMin<float> ? form.First : form.Second;
    if (low > high) {
        if (minMax) {
            if (swappable) {
                Report(max->Value.Begin,
                       "Max " + Show(high) + " is below Min " + Show(low) + ": swap them");
            }
        } else if (blur != nullptr) {
            Report(blur->Value.Begin, "negative Blur " + std::string(Slice(blur->Value)) +
                                          " puts Max below Min; make it positive");
        }
        return;
    }
    const bool stepGiven = inc != nullptr;
    if (stepGiven && !(form.Step > 0.0f)) {
        Report(inc->Value.Begin,
               "Inc " + Show(form.Step) + " is not a step above 0: the step is 1");
        return;
    }
    if (!std::isfinite(low) || !std::isfinite(high)) return;
    // What the author asked for, in exact decimal terms as far as a double holds them.
    double span = 0.0;
    if (minMax) {
        span = TextToDouble(Slice(max->Value)) - TextToDouble(Slice(min->Value));
    } else if (valueRange) {
        span = std::fabs(TextToDouble(Slice(range->Value)));
    } else {
        span = 2.0 * std::fabs(TextToDouble(Slice(blur->Value)));
    }
    const float step = stepGiven ? form.Step : 1.0f;
    const double wanted = span / (stepGiven ? TextToDouble(Slice(inc->Value)) : 1.0);
    if (!(wanted >= 1.0 && wanted < 1e9)) return;
    const double whole = std::nearbyint(wanted);
    if (std::fabs(wanted - whole) > 1e-9 * whole) return;
    // The bound the engine draws from, in 32-bit float as it computes it.
    const float quotient = (high - low) / step;
    const int32_t steps = TruncToInt(quotient);
    if (static_cast<double>(steps) >= whole) return;
    const float largest = low + static_cast<float>(steps) * step;
    Report(inc ? inc->Value.Begin : e.Value.Begin,
           "warning: the upper end " + Show(high) + " of '" + std::string(key.Name) +
               "' is never picked: in 32-bit float (" + Show(high) + " - " + Show(low) + ") / " +
               Show(step) + " is " + Show(quotient) + ", which truncates to " + Show(steps) +
               " steps, so the largest value is " + Show(largest) +
               "; widen the range by half a step or use a step that is a power of two");
}

}  // namespace pp::effect_check
