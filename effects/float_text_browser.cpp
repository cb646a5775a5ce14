// ShortestFloatText for the browser build, whose C++ library has no floating-point
// std::to_chars: the fewest significant digits that read back as the value, then the shorter
// of the plain and the exponent form, as std::to_chars chooses.
#include "effects/float_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace pp {
namespace {

// The digits and decimal exponent of value with `digits` significant digits, and whether
// that text reads back as value. Neighbours one unit in the last digit away are tried too:
// next to a power of two the float's rounding interval is lopsided, and the nearest decimal
// can miss it while a neighbour hits it.
bool ShortDigits(float value, int digits, std::string& mantissa, int& exponent) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*e", digits - 1, static_cast<double>(value));
    const char* e = text;
    while (*e != 'e') ++e;
    exponent = std::atoi(e + 1);
    std::string all;
    for (const char* c = text; c < e; ++c) {
        if (*c >= '0' && *c <= '9') all += *c;
    }
    const auto readsBack = [&](const std::string& d, int x) {
        const std::string candidate = "0." + d + "e" + std::to_string(x + 1);
        return std::strtof(candidate.c_str(), nullptr) == std::fabs(value);
    };
    if (readsBack(all, exponent)) {
        mantissa = all;
        return true;
    }
    // One unit up and one down in the last digit.
    for (const int step : {1, -1}) {
        std::string d = all;
        int x = exponent;
        int i = static_cast<int>(d.size()) - 1;
        while (i >= 0 && d[static_cast<size_t>(i)] == (step > 0 ? '9' : '0')) {
            d[static_cast<size_t>(i)] = step > 0 ? '0' : '9';
            --i;
        }
        if (i < 0) continue;
        d[static_cast<size_t>(i)] = static_cast<char>(d[static_cast<size_t>(i)] + step);
        if (d[0] == '0') continue;
        if (readsBack(d, x)) {
            mantissa = d;
            return true;
        }
    }
    return false;
}

}  // namespace

std::string ShortestFloatText(float value) {
    std::string sign = std::signbit(value) ? "-" : "";
    if (value == 0.0f) return sign + "0";
    std::string digits;
    int exponent = 0;
    for (int n = 1; n <= 9; ++n) {
        if (ShortDigits(value, n, digits, exponent)) break;
    }
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    const int count = static_cast<int>(digits.size());
    // Exponent form: d[.ddd]e+XX with at least two exponent digits.
    std::string scientific = digits.substr(0, 1);
    if (count > 1) scientific += "." + digits.substr(1);
    char tail[16];
    std::snprintf(tail, sizeof tail, "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    scientific += tail;
    // Plain form.
    std::string plain;
    if (exponent >= count - 1) {
        // A whole number: every digit of the same length reads back, so the exact value,
        // the closest of them, is written.
        char whole[48];
        std::snprintf(whole, sizeof whole, "%.0f", std::fabs(static_cast<double>(value)));
        plain = whole;
    } else if (exponent >= 0) {
        plain = digits.substr(0, static_cast<size_t>(exponent + 1)) + "." +
                digits.substr(static_cast<size_t>(exponent + 1));
    } else {
        plain = "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    }
    return sign + (plain.size() <= scientific.size() ? plain : scientific);
}

}  // namespace pp
