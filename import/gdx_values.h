// The values of a libGDX emitter as the import computes with them: ranges drawn per particle,
// curves over a life or a duration, and the scaled values made of both. Internal to pp_import.
#pragma once

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "effects/float_text.h"

namespace pp {

struct GdxSection;

inline constexpr double kGdxBig = 1.0e6;  // the widest range a value is held to

inline std::string GdxNum(double value) {
    return ShortestFloatText(static_cast<float>(value) + 0.0f);
}

// The step a draw between lo and hi takes: a power of two, about 4096 steps across, so that
// every value drawn is an exact float.
inline double GdxDrawStep(double width) {
    int exponent = 0;
    std::frexp(width / 4096, &exponent);
    return std::ldexp(1.0, exponent - 1);
}

// A uniform draw between lo and hi as our randomised value.
inline std::string GdxUniform(double lo, double hi) {
    if (lo > hi) std::swap(lo, hi);
    const double step = GdxDrawStep(hi - lo);
    if (static_cast<float>(lo) == static_cast<float>(hi) || static_cast<float>(step) == 0.0f) {
        return GdxNum(lo);
    }
    return "{Min = " + GdxNum(lo) + ", Max = " + GdxNum(hi) + ", Inc = " + GdxNum(step) + "}";
}

struct GdxRange {
    double Lo = 0, Hi = 0;
    bool Fixed() const { return Lo == Hi; }
    double Mean() const { return (Lo + Hi) / 2; }
};

// A curve of the file: values at increasing times in [0, 1].
struct GdxCurve {
    std::vector<double> Time{0.0}, Value{1.0};

    bool Constant() const {
        return std::all_of(Value.begin(), Value.end(), [&](double v) { return v == Value[0]; });
    }
    // The mean over [0, 1]: what the value amounts to over a whole life or duration.
    double Mean() const {
        double sum = Time.front() * Value.front();
        for (std::size_t i = 1; i < Time.size(); ++i) {
            sum += (Time[i] - Time[i - 1]) * (Value[i] + Value[i - 1]) / 2;
        }
        return sum + (1 - Time.back()) * Value.back();
    }
};

struct GdxScaled {
    bool Active = false;
    GdxRange Low, High;
    bool Relative = false;
    GdxCurve Shape;
    const GdxSection* At = nullptr;

    // The value at curve value s for draws low and high.
    double Mix(double low, double high, double s) const {
        return low + (Relative ? high : high - low) * s;
    }
    bool LowZero() const { return Low.Lo == 0 && Low.Hi == 0; }
};

}  // namespace pp
