#include "effects/value_forms.h"

#include <string>

#include "effects/effect_text.h"

namespace pp {
namespace {

std::string Lookup(std::string_view text, std::string_view key) {
    return FindEntry(text, key);
}

// The arithmetic of each kind of value: floats round after each operation; integers wrap
// around at 32 bits as the machine's registers do.
float ReadNumber(std::string_view text, float) {
    return FloatOr(text, 0.0f);
}

int32_t ReadNumber(std::string_view text, int32_t) {
    return IntOr(text, 0);
}

float Add(float a, float b) {
    return a + b;
}

float Sub(float a, float b) {
    return a - b;
}

int32_t Add(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

int32_t Sub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// A text with a second entry: the first of Min/Max, Value/Range, Value/Blur that is complete
// sets First and Second, and "Inc" the step. What no complete pair names keeps its default.
template <typename T>
void ReadNamedForm(std::string_view text, ValueForm<T>& form) {
    const std::string min = Lookup(text, "Min");
    const std::string max = Lookup(text, "Max");
    const std::string value = Lookup(text, "Value");
    const std::string range = Lookup(text, "Range");
    const std::string blur = Lookup(text, "Blur");
    if (!min.empty() && !max.empty()) {
        form.First = ReadNumber(min, T{});
        form.Second = ReadNumber(max, T{});
    } else if (!value.empty() && !range.empty()) {
        const T v = ReadNumber(value, T{});
        const T r = ReadNumber(range, T{});
        // A negative range reaches below the value, so the pair stays in ascending order.
        if (r < T{}) {
            form.First = Add(v, r);
            form.Second = v;
        } else {
            form.First = v;
            form.Second = Add(v, r);
        }
    } else if (!value.empty() && !blur.empty()) {
        const T v = ReadNumber(value, T{});
        const T b = ReadNumber(blur, T{});
        form.First = Sub(v, b);
        form.Second = Add(v, b);
    }
    const std::string inc = Lookup(text, "Inc");
    if (!inc.empty()) form.Step = ReadNumber(inc, T{});
}

}  // namespace

ValueForm<float> ParseValueSpec(std::string_view text) {
    ValueForm<float> form{0.0f, kSameAsMin<float>, 1.0f};
    // Without a second entry the whole text is one number, however it is written.
    if (Lookup(text, "2").empty()) {
        form.First = FloatOr(text, 0.0f);
        return form;
    }
    ReadNamedForm(text, form);
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
    ReadNamedForm(text, form);
    return form;
}

}  // namespace pp
