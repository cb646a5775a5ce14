#include "effects/value_forms.h"

#include <string>

#include "effects/effect_text.h"

namespace pp {
namespace {

std::string Lookup(std::string_view text, std::string_view key) {
    return FindEntry(text, key);
}

int32_t WrappingAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

int32_t WrappingSub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

}  // namespace

ValueForm<float> ParseValueSpec(std::string_view text) {
    ValueForm<float> form{0.0f, kNoSecondValue, 1.0f};
    // Without a second entry the whole text is one number, however it is written.
    if (Lookup(text, "2").empty()) {
        form.First = FloatOr(text, 0.0f);
        return form;
    }
    const std::string min = Lookup(text, "Min");
    const std::string max = Lookup(text, "Max");
    const std::string value = Lookup(text, "Value");
    const std::string range = Lookup(text, "Range");
    const std::string blur = Lookup(text, "Blur");
    if (!min.empty() && !max.empty()) {
        form.First = FloatOr(min, 0.0f);
        form.Second = FloatOr(max, 0.0f);
    } else if (!value.empty() && !range.empty()) {
        const float v = FloatOr(value, 0.0f);
        const float r = FloatOr(range, 0.0f);
        // A negative range reaches below the value, so the pair stays in ascending order.
        if (r < 0.0f) {
            form.First = v + r;
            form.Second = v;
        } else {
            form.First = v;
            form.Second = v + r;
        }
    } else if (!value.empty() && !blur.empty()) {
        const float v = FloatOr(value, 0.0f);
        const float b = FloatOr(blur, 0.0f);
        form.First = v - b;
        form.Second = v + b;
    }
    const std::string inc = Lookup(text, "Inc");
    if (!inc.empty()) form.Step = FloatOr(inc, 0.0f);
    return form;
}

ValueForm<int32_t> ParseIntValueSpec(std::string_view text) {
    ValueForm<int32_t> form{0, 0, 0};
    if (Lookup(text, "2").empty()) {
        form.First = IntOr(text, 0);
        form.Second = form.First;
        form.Step = 1;
        return form;
    }
    const std::string min = Lookup(text, "Min");
    const std::string max = Lookup(text, "Max");
    const std::string value = Lookup(text, "Value");
    const std::string range = Lookup(text, "Range");
    const std::string blur = Lookup(text, "Blur");
    if (!min.empty() && !max.empty()) {
        form.First = IntOr(min, 0);
        form.Second = IntOr(max, 0);
    } else if (!value.empty() && !range.empty()) {
        const int32_t v = IntOr(value, 0);
        const int32_t r = IntOr(range, 0);
        if (r < 0) {
            form.First = WrappingAdd(v, r);
            form.Second = v;
        } else {
            form.First = v;
            form.Second = WrappingAdd(v, r);
        }
    } else if (!value.empty() && !blur.empty()) {
        const int32_t v = IntOr(value, 0);
        const int32_t b = IntOr(blur, 0);
        form.First = WrappingSub(v, b);
        form.Second = WrappingAdd(v, b);
    }
    const std::string inc = Lookup(text, "Inc");
    if (!inc.empty()) form.Step = IntOr(inc, 0);
    return form;
}

}  // namespace pp
