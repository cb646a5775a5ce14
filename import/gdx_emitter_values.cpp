// Reads a libGDX emitter's values with findings and writes them as our value texts.
#include "import/gdx_emitter_values.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "import/gdx_fields.h"
#include "particles/extra_params.h"

namespace pp {

void GdxEmitterValues::Find(std::size_t row, const std::string& message) {
    const GdxSection* s = e_.Find(kGdxSections[row].Name);
    FindAt(s ? s->Line : e_.Line, "'" + std::string(kGdxSections[row].Name) + "' " + message);
}

const GdxSection* GdxEmitterValues::Section(std::size_t row, bool needed) {
    const GdxSection* s = e_.Find(kGdxSections[row].Name);
    if (s == nullptr && needed) {
        FindAt(e_.Line, "'" + std::string(kGdxSections[row].Name) + "' is missing in emitter '" +
                            e_.Name + "': read as the editor's default");
    }
    return s;
}

double GdxEmitterValues::Number(const GdxSection* s, std::string_view key, double fallback,
                                double lo, double hi) {
    const GdxField* field = s ? s->Find(key) : nullptr;
    if (field == nullptr) return fallback;
    std::string_view text = field->Value;
    // Java's number reader takes a type letter after the digits.
    if (!text.empty() && std::string_view("fFdD").find(text.back()) != std::string_view::npos) {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    const auto where = "'" + s->Name + "' " + std::string(key) + ": ";
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        FindAt(field->Line,
               where + "'" + field->Value + "' is no number: read as " + GdxNum(fallback));
        return fallback;
    }
    if (value < lo || value > hi) {
        const double held = std::clamp(value, lo, hi);
        FindAt(field->Line, where + GdxNum(value) + " is held to " + GdxNum(held));
        return held;
    }
    return value;
}

bool GdxEmitterValues::Flag(const GdxSection* s, std::string_view key, bool fallback) {
    const GdxField* field = s ? s->Find(key) : nullptr;
    if (field == nullptr) return fallback;
    std::string lower = field->Value;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // Java reads anything but "true" as false.
    if (lower != "true" && lower != "false") {
        FindAt(field->Line, "'" + s->Name + "' " + std::string(key) + ": '" + field->Value +
                                "' is neither true nor false: read as false");
    }
    return lower == "true";
}

// name0, name1 ... up to nameCount; a missing entry ends the list there.
std::vector<double> GdxEmitterValues::List(const GdxSection* s, std::string_view name,
                                           std::size_t per) {
    const std::string count_key = std::string(name) + "Count";
    const auto count = static_cast<std::size_t>(
        Number(s, count_key, 0, 0, static_cast<double>(kMaxGdxCurvePoints * per)));
    std::vector<double> out;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string key = std::string(name) + std::to_string(i);
        if (s->Find(key) == nullptr) {
            FindAt(s->Line, "'" + s->Name + "' has " + std::to_string(count) + " " +
                                std::string(name) + " entries but no " + key + ": " +
                                std::to_string(i) + " read");
            break;
        }
        out.push_back(Number(s, key, 0, -kGdxBig, kGdxBig));
    }
    return out;
}

GdxCurve GdxEmitterValues::CurveOf(const GdxSection* s, std::string_view values, std::size_t per) {
    GdxCurve curve;
    if (s == nullptr) {
        curve.Value.assign(per, 1.0);
        return curve;
    }
    std::vector<double> value = List(s, values, per);
    std::vector<double> time = List(s, "timeline", 1);
    std::size_t n = std::min(value.size() / per, time.size());
    if (n != value.size() / per || n != time.size() || value.size() % per != 0) {
        FindAt(s->Line, "'" + s->Name + "' has " + std::to_string(value.size()) + " values for " +
                            std::to_string(time.size()) + " times: the first " + std::to_string(n) +
                            " keys read");
    }
    if (n == 0) {
        curve.Value.assign(per, 1.0);
        return curve;
    }
    curve.Time.clear();
    curve.Value.clear();
    bool dropped = false;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = std::clamp(time[i], 0.0, 1.0);
        if (!curve.Time.empty() && t <= curve.Time.back()) {
            dropped = true;
            continue;
        }
        curve.Time.push_back(t);
        curve.Value.insert(curve.Value.end(), value.begin() + static_cast<std::ptrdiff_t>(i * per),
                           value.begin() + static_cast<std::ptrdiff_t>((i + 1) * per));
    }
    // The file's curves hold factors and colours of 0 to 1; a value outside would reach past
    // what our curve keys take.
    bool held = false;
    for (double& v : curve.Value) {
        const double in = std::clamp(v, 0.0, 1.0);
        held = held || in != v;
        v = in;
    }
    if (held) FindAt(s->Line, "'" + s->Name + "' has values outside 0 to 1: held within them");
    if (dropped || time[0] != curve.Time[0]) {
        FindAt(s->Line, "'" + s->Name +
                            "' has times outside 0 to 1 or out of order: those "
                            "keys are left out");
    }
    return curve;
}

GdxScaled GdxEmitterValues::Read(std::size_t row, bool needed) {
    const GdxSectionSpec& spec = kGdxSections[row];
    GdxScaled v;
    v.At = Section(row, needed);
    const GdxSection* s = v.At;
    v.Active = spec.AlwaysActive || Flag(s, "active", false);
    if (!v.Active || s == nullptr) return v;
    v.Low = {Number(s, "lowMin", 0, -kGdxBig, kGdxBig), Number(s, "lowMax", 0, -kGdxBig, kGdxBig)};
    if (spec.Kind != GdxKind::Scaled) return v;
    v.High = {Number(s, "highMin", 0, -kGdxBig, kGdxBig),
              Number(s, "highMax", 0, -kGdxBig, kGdxBig)};
    v.Relative = Flag(s, "relative", false);
    v.Shape = CurveOf(s, "scaling", 1);
    return v;
}

std::string GdxEmitterValues::Drawn(std::size_t row, const GdxScaled& v, double s, double scale) {
    // low * (1 - s) + high * s (or low + high * s): one uniform draw when either draw is fixed
    // or weighs nothing, else the sum of two, which ours draws as one over the same range.
    const double wl = v.Relative ? 1 : 1 - s;
    const GdxRange a{v.Low.Lo * wl, v.Low.Hi * wl}, b{v.High.Lo * s, v.High.Hi * s};
    if (!a.Fixed() && !b.Fixed()) {
        Find(row,
             "adds two draws per particle there (low and high): here one draw over the same "
             "range");
    }
    return GdxUniform((a.Lo + b.Lo) * scale, (a.Hi + b.Hi) * scale);
}

std::string GdxEmitterValues::CurveText(std::size_t row, const std::vector<double>& time,
                                        const std::vector<std::string>& value) {
    std::size_t n = time.size();
    if (n > static_cast<std::size_t>(kMaxLifeKeys)) {
        Find(row, "has " + std::to_string(n) + " keys on its curve: here its first " +
                      std::to_string(kMaxLifeKeys - 1) + " and its last");
    }
    std::string out = "{";
    for (std::size_t i = 0; i < n; ++i) {
        if (n > static_cast<std::size_t>(kMaxLifeKeys) && i + 1 >= kMaxLifeKeys && i + 1 < n) {
            continue;
        }
        out.append(out.size() > 1 ? ", " : "")
            .append(GdxNum(time[i]))
            .append(" = ")
            .append(value[i]);
    }
    return out.append("}");
}

std::string GdxEmitterValues::BaseAndCurve(std::size_t row, const GdxScaled& v, double scale,
                                           std::string* curve) {
    curve->clear();
    if (v.Shape.Constant()) return Drawn(row, v, v.Shape.Value[0], scale);
    std::vector<std::string> factors;
    if (v.LowZero() || (!v.Relative && v.High.Lo == 0 && v.High.Hi == 0)) {
        // One draw times the curve (or times one less the curve).
        const bool low = !v.LowZero();
        const GdxRange draw = low ? v.Low : v.High;
        for (double s : v.Shape.Value) factors.push_back(GdxNum(low ? 1 - s : s));
        *curve = CurveText(row, v.Shape.Time, factors);
        return GdxUniform(draw.Lo * scale, draw.Hi * scale);
    }
    if (!v.Low.Fixed() || !v.High.Fixed()) {
        Find(row, "draws low and high per particle there: here their means, on the same curve");
    }
    std::vector<double> values;
    for (double s : v.Shape.Value) values.push_back(v.Mix(v.Low.Mean(), v.High.Mean(), s));
    double base = 0;
    for (double value : values) base = std::max(base, std::fabs(value));
    if (base == 0) return GdxNum(0);
    for (double value : values) factors.push_back(GdxNum(std::max(value, 0.0) / base));
    if (*std::min_element(values.begin(), values.end()) < 0) {
        Find(row, "goes below 0 on its curve: held at 0 there");
    }
    *curve = CurveText(row, v.Shape.Time, factors);
    return GdxNum(base * scale);
}

}  // namespace pp
