// Writes each emitter of a libGDX effect as our effect text, section by section of
// kGdxSections.
//
// A scaled value of the file is drawn per particle (or per cycle of the emitter's duration) as
// low in [lowMin, lowMax] and high in [highMin, highMax], and at time t of its curve it is
// low + (high - low) * curve(t), or low + high * curve(t) when relative. Ours is a draw at
// birth times a curve over the life (or over the Duration): the two agree exactly when low is
// 0 or both draws are fixed, and otherwise the import says what differs.
#include "import/gdx_import.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>

#include "import/gdx_emitter_values.h"
#include "import/gdx_fields.h"
#include "import/gdx_reader.h"
#include "particles/extra_params.h"

namespace pp {
namespace {

class Composer : GdxEmitterValues {
  public:
    Composer(const GdxEmitter& emitter, std::vector<ImportFinding>& findings, double ms)
        : GdxEmitterValues(emitter, findings), ms_(ms) {}
    ImportedEffect Run(const GdxSpriteNamer& sprite, std::size_t index);

  private:
    void Key(std::string name, std::string value) {
        keys_.emplace_back(std::move(name), std::move(value));
    }

    void OverDuration(std::size_t row, const GdxScaled& v, double scale, const char* key,
                      const char* curve_key);
    void Emission();
    void Lives(bool moving);
    void Cycle(const GdxScaled& duration, bool continuous);
    void Offsets();
    double AreaSide(std::size_t row, const GdxScaled& v, std::string* curve);
    void Sizes();
    void Motion(bool aligned);
    void Turn(const GdxScaled& angle);
    void Drift(bool moving);
    void Area();
    void Colours();
    void Options(bool* continuous, bool* aligned);

    std::vector<std::pair<std::string, std::string>> keys_;
    double ms_;                // milliseconds in one of the file's time units
    bool disabled_ = false;    // the emitter emits nothing: one Disable key
    std::size_t sprites_ = 1;  // the images it takes: several under random or animated
    bool cycles_ = false;      // a Duration is written: the curves over it can run
    bool moving_ = false;      // an active Velocity: the file's particles move
};

// A scaled value over the emitter's duration as a base key and its curve key over our
// Duration; without a duration to run over, the curve's mean.
void Composer::OverDuration(std::size_t row, const GdxScaled& v, double scale, const char* key,
                            const char* curve_key) {
    if (!cycles_) {
        if (!v.Shape.Constant()) {
            Find(row,
                 "follows a curve over the emitter's duration there: here its mean, as "
                 "it has no duration");
        }
        Key(key, Drawn(row, v, v.Shape.Mean(), scale));
        return;
    }
    std::string curve;
    Key(key, BaseAndCurve(row, v, scale, &curve));
    if (!curve.empty()) Key(curve_key, curve);
}

void Composer::Emission() {
    const GdxScaled rate = Read(kGdxEmission);
    const double mean_rate = rate.Mix(rate.Low.Mean(), rate.High.Mean(), rate.Shape.Mean());
    if (!(rate.Low.Fixed() && rate.High.Fixed())) {
        Find(kGdxEmission, "is drawn once per cycle of the duration there: here for each particle");
    }
    if (cycles_ && !rate.Shape.Constant()) {
        OverDuration(kGdxEmission, rate, 1, "EmissionRate", "EmissionOverDuration");
        double peak = 0;
        for (double v : rate.Shape.Value)
            peak = std::max(peak, rate.Mix(rate.Low.Mean(), rate.High.Mean(), v));
        if (peak > 1000) {
            Find(kGdxEmission, "reaches " + GdxNum(peak) + " a second there: here 1000 at most");
        }
        // The file reads its rate every frame; ours where each birth falls due, so that a
        // birth timed at a slow rate waits out its gap though the rate rises meanwhile.
        Find(kGdxEmission,
             "is read every frame there: here at each birth, so a birth due at a slow rate "
             "comes late when the rate rises before it");
    } else {
        if (!rate.Shape.Constant()) {
            Find(kGdxEmission,
                 "follows a curve over the emitter's duration there: here its mean, as it "
                 "has no duration");
        }
        // Above 1000 a second our emitter emits 1000 all the same; the text says what plays.
        Key("EmissionRate", mean_rate > 1000 ? std::string("1000")
                                             : Drawn(kGdxEmission, rate, rate.Shape.Mean(), 1));
    }
    if (mean_rate <= 0) {
        disabled_ = true;
        Find(kGdxEmission, "is 0: the emitter emits nothing (its minimum count aside)");
    } else {
        // Our emitter times each particle in whole milliseconds, at least one apart.
        const double gap = std::clamp(std::nearbyint(1000 / mean_rate), 1.0, 1.0e9);
        if (std::fabs(1000 / gap - mean_rate) > mean_rate * 1e-6) {
            Find(kGdxEmission, "emits " + GdxNum(mean_rate) + " a second there; here one every " +
                                   GdxNum(gap) + " ms, " + GdxNum(1000 / gap) + " a second");
        }
    }
    const GdxSection* count = Section(kGdxCount, true);
    const double min = Number(count, "min", 0, 0, 1.0e9);
    const double max = Number(count, "max", 4, 0, 1.0e9);
    if (min > kMaxBurstCount) {
        Find(kGdxCount, "min = " + GdxNum(min) + " is held to " + std::to_string(kMaxBurstCount));
    }
    if (min >= 1) {
        Key("MinAlive",
            std::to_string(std::min(static_cast<int64_t>(min), int64_t{kMaxBurstCount})));
    }
    if (max < 1) {
        disabled_ = true;
        Find(kGdxCount, "max below 1: the emitter emits nothing");
    } else {
        Key("MaxAlive", std::to_string(static_cast<int64_t>(max)));
    }
}

// The lifetime over the duration, and how far into it particles start: the file's offset is
// a scaled value over the duration, drawn once per cycle and cut to whole milliseconds.
void Composer::Lives(bool moving) {
    OverDuration(kGdxLife, Read(kGdxLife), ms_ / 1000, "LifeTime", "LifeOverDuration");
    const GdxScaled offset = Read(kGdxLifeOffset, false);
    if (!offset.Active) return;
    double s = offset.Shape.Value[0];
    if (!offset.Shape.Constant()) {
        s = offset.Shape.Mean();
        Find(kGdxLifeOffset, "follows a curve over the emitter's duration there: here its mean");
    }
    const double wl = offset.Relative ? 1 : 1 - s;
    const GdxRange a{offset.Low.Lo * wl, offset.Low.Hi * wl};
    const GdxRange b{offset.High.Lo * s, offset.High.Hi * s};
    if (!a.Fixed() || !b.Fixed()) {
        Find(kGdxLifeOffset, "is drawn once per cycle there: here for each particle");
    }
    const auto ms = [&](double v) { return std::clamp(std::floor(v * ms_), 0.0, 1.0e9); };
    const double lo = ms(std::min(a.Lo, a.Hi) + std::min(b.Lo, b.Hi));
    const double hi = ms(std::max(a.Lo, a.Hi) + std::max(b.Lo, b.Hi));
    if (hi <= 0) return;
    Key("LifeOffset", "{Min = " + GdxNum(lo / 1000) + ", Max = " + GdxNum(hi / 1000) + "}");
    if (moving) {
        Find(kGdxLifeOffset,
             "moves particles as far as that part of their life takes them there: here they "
             "start where they are born");
    }
}

// Duration and Delay; a continuous emitter repeats its duration, its delay before each cycle.
void Composer::Cycle(const GdxScaled& duration, bool continuous) {
    const double ms = duration.Low.Mean() * ms_;
    cycles_ = ms > 0;
    if (!duration.Low.Fixed()) {
        Find(kGdxDuration, "is drawn once per cycle there: here its mean");
    }
    if (ms > 0) {
        Key("Duration", GdxNum(std::min(ms / 1000, kGdxBig)));
        if (continuous) Key("Continuous", "1");
    } else if (!continuous) {
        disabled_ = true;
        Find(kGdxDuration, "is 0 for a one-shot emitter: it emits nothing");
    }
    const GdxScaled delay = Read(kGdxDelay);
    const double delay_ms = delay.Low.Mean() * ms_;
    if (delay.Active && delay_ms > 0) {
        Key("Delay", GdxNum(std::min(delay_ms / 1000, kGdxBig)));
        if (!delay.Low.Fixed()) Find(kGdxDelay, "is drawn once per cycle there: here its mean");
        if (continuous && !cycles_) {
            Find(kGdxDelay,
                 "comes again before each cycle of the duration there: here once, at "
                 "the start");
        }
    }
}

// X and Y Offset: pixels added to each particle's birth place, drawn per particle; y up.
void Composer::Offsets() {
    for (const auto& [row, key, sign] : {std::tuple{kGdxXOffset, "BirthOffsetX", 1.0},
                                         std::tuple{kGdxYOffset, "BirthOffsetY", -1.0}}) {
        const GdxScaled v = Read(row, false);
        if (!v.Active || (v.Low.Lo == 0 && v.Low.Hi == 0)) continue;
        const double lo = std::clamp(sign * v.Low.Lo, -kGdxBig, kGdxBig);
        const double hi = std::clamp(sign * v.Low.Hi, -kGdxBig, kGdxBig);
        std::string text =
            "{Min = " + GdxNum(std::min(lo, hi)) + ", Max = " + GdxNum(std::max(lo, hi));
        if (lo != hi) text += ", Step = " + GdxNum(std::max(GdxDrawStep(std::fabs(hi - lo)), 0.01));
        Key(key, text + "}");
    }
}

void Composer::Sizes() {
    const bool old = e_.Find("Scale") != nullptr;
    const std::size_t x_row = old ? kGdxScale : kGdxXScale;
    const GdxScaled x = Read(x_row);
    std::string curve;
    const std::string base = BaseAndCurve(x_row, x, 1, &curve);
    Key("Size", base);
    if (!curve.empty()) Key("SizeOverLife", curve);
    const double birth = x.Mix(x.Low.Mean(), x.High.Mean(), x.Shape.Value[0]);
    if (x.Mix(x.Low.Mean(), x.High.Mean(), 1) < 1 && birth < 1 && curve.empty()) {
        Find(x_row, "gives particles below 1 pixel, which die at birth here");
    }
    if (old) return;
    const GdxScaled y = Read(kGdxYScale);
    if (!y.Active) return;
    // Ours keeps one aspect for the life: the height's curve must follow the width's.
    const double xm = x.Mix(x.Low.Mean(), x.High.Mean(), x.Shape.Mean());
    const double ym = y.Mix(y.Low.Mean(), y.High.Mean(), y.Shape.Mean());
    if (ym <= 0 || xm <= 0) {
        Find(kGdxYScale, "is 0 or below: drawn square here");
        return;
    }
    if (y.Shape.Value != x.Shape.Value || y.Shape.Time != x.Shape.Time || !y.Low.Fixed() ||
        !y.High.Fixed()) {
        Find(kGdxYScale,
             "draws the height apart over the life there: here at the width's mean "
             "aspect");
    }
    Key("Aspect", GdxNum(std::clamp(xm / ym, 0.01, 100.0)));
}

void Composer::Motion(bool aligned) {
    const GdxScaled speed = Read(kGdxVelocity);
    const GdxScaled angle = Read(kGdxAngle);
    const GdxScaled rotation = Read(kGdxRotation);
    moving_ = speed.Active;
    std::string speed_curve;
    Key("EmissionVelocity",
        speed.Active ? BaseAndCurve(kGdxVelocity, speed, 1, &speed_curve) : std::string("0"));
    if (!speed_curve.empty()) Key("SpeedOverLife", speed_curve);
    Drift(speed.Active);
    // Counter-clockwise with y up is clockwise with y down: the angle's negative, with the
    // range moved into 0 to 360.
    double lo = 0, hi = 0;
    if (angle.Active) {
        const double s = angle.Shape.Value[0];
        const double wl = angle.Relative ? 1 : 1 - s;
        lo = -(std::max(angle.Low.Lo, angle.Low.Hi) * wl +
               std::max(angle.High.Lo, angle.High.Hi) * s);
        hi = -(std::min(angle.Low.Lo, angle.Low.Hi) * wl +
               std::min(angle.High.Lo, angle.High.Hi) * s);
        if (wl != 0 && s != 0 && !angle.Low.Fixed() && !angle.High.Fixed()) {
            Find(kGdxAngle, "adds two draws per particle there: here one over the same range");
        }
    }
    const double turns = std::floor(lo / 360);
    Key("EmissionAngle", GdxUniform(lo - 360 * turns, hi - 360 * turns));
    if (speed.Active && angle.Active && !angle.Shape.Constant()) Turn(angle);
    // The sprite: upright unless turned; aligned adds the direction of travel.
    if (aligned) Key("AlignToMotion", "1");
    if (!rotation.Active) {
        Key("Angle", "0");
        return;
    }
    const GdxCurve& c = rotation.Shape;
    // The end angle is the one at the curve's value farthest from its first; AngleOverLife
    // then goes the curve's way between the two.
    double end = c.Value[0];
    for (double v : c.Value) {
        if (std::fabs(v - c.Value[0]) > std::fabs(end - c.Value[0])) end = v;
    }
    const bool exact = (rotation.Low.Fixed() && rotation.High.Fixed()) ||
                       (!rotation.Relative && c.Value[0] == 0 && (c.Constant() || end == 1));
    if (!exact) {
        Find(kGdxRotation,
             "draws low and high per particle there: here the birth and end "
             "angles apart");
    }
    const auto at = [&](double s) {
        const double wl = rotation.Relative ? 1 : 1 - s;
        return std::pair{-(rotation.Low.Hi * wl + rotation.High.Hi * s),
                         -(rotation.Low.Lo * wl + rotation.High.Lo * s)};
    };
    const auto [blo, bhi] = at(c.Value[0]);
    Key("Angle", GdxUniform(blo, bhi));
    if (c.Constant()) return;
    const auto [elo, ehi] = at(end);
    Key("EndAngle", GdxUniform(elo, ehi));
    std::vector<std::string> shares;
    for (double v : c.Value) shares.push_back(GdxNum((v - c.Value[0]) / (end - c.Value[0])));
    const bool straight = c.Time == std::vector<double>{0, 1} && shares.back() == "1";
    if (!straight) Key("AngleOverLife", CurveText(kGdxRotation, c.Time, shares));
}

// The direction's change from its birth over the life, clockwise with y down: the negative
// of the file's.
void Composer::Turn(const GdxScaled& angle) {
    const GdxRange& high = angle.High;
    const bool fixed = angle.Relative ? high.Fixed() : angle.Low.Fixed() && high.Fixed();
    if (!fixed) Find(kGdxAngle, "turns each particle its own way there: here all by the mean");
    const double diff = angle.Relative ? high.Mean() : high.Mean() - angle.Low.Mean();
    std::vector<std::string> degrees;
    for (double v : angle.Shape.Value)
        degrees.push_back(GdxNum(-diff * (v - angle.Shape.Value[0])));
    Key("TurnOverLife", CurveText(kGdxAngle, angle.Shape.Time, degrees));
}

// Wind and Gravity: pixels a second added to the move in x and y over the life, y up; the file
// moves nothing, and adds neither, without a Velocity.
void Composer::Drift(bool moving) {
    for (const auto& [row, key, sign] : {std::tuple{kGdxWind, "DriftXOverLife", 1.0},
                                         std::tuple{kGdxGravity, "DriftYOverLife", -1.0}}) {
        const GdxScaled v = Read(row, false);
        const bool zero = v.Low.Lo == 0 && v.Low.Hi == 0 && v.High.Lo == 0 && v.High.Hi == 0;
        if (!v.Active || zero || !moving) continue;
        if (!v.Low.Fixed() || !v.High.Fixed()) {
            Find(row, "is drawn per particle there: here its mean");
        }
        std::vector<std::string> values;
        for (double s : v.Shape.Value) {
            values.push_back(
                GdxNum(std::clamp(sign * v.Mix(v.Low.Mean(), v.High.Mean(), s), -1.0e6, 1.0e6)));
        }
        Key(key, CurveText(row, v.Shape.Time, values));
    }
}

// One side of the area: its mean over the duration without one to run over, else its largest
// value, with the factors over the duration in `curve`.
double Composer::AreaSide(std::size_t row, const GdxScaled& v, std::string* curve) {
    curve->clear();
    if (!v.Low.Fixed() || !v.High.Fixed()) {
        Find(row, "is drawn once per cycle of the duration there: here its mean");
    }
    if (!cycles_ || v.Shape.Constant()) {
        if (!v.Shape.Constant()) {
            Find(row,
                 "changes over the emitter's duration there: here its mean, as it has no "
                 "duration");
        }
        return std::fabs(v.Mix(v.Low.Mean(), v.High.Mean(), v.Shape.Mean()));
    }
    std::vector<double> values;
    double side = 0;
    for (double s : v.Shape.Value) {
        values.push_back(std::fabs(v.Mix(v.Low.Mean(), v.High.Mean(), s)));
        side = std::max(side, values.back());
    }
    if (side == 0) return 0;
    std::vector<std::string> factors;
    for (double value : values) factors.push_back(GdxNum(value / side));
    *curve = CurveText(row, v.Shape.Time, factors);
    return side;
}

void Composer::Area() {
    const GdxSection* shape = Section(kGdxSpawnShape, true);
    const GdxField* field = shape ? shape->Find("shape") : nullptr;
    const std::string kind = field ? field->Value : "point";
    const GdxScaled width = Read(kGdxSpawnWidth), height = Read(kGdxSpawnHeight);
    if (kind == "point") return;
    std::string wc, hc;
    const double w = AreaSide(kGdxSpawnWidth, width, &wc);
    const double h = AreaSide(kGdxSpawnHeight, height, &hc);
    const auto curves = [&] {
        if (!wc.empty()) Key("WidthOverDuration", wc);
        if (!hc.empty()) Key("HeightOverDuration", hc);
    };
    if (kind == "square") {
        Key("EmitterArea",
            "{Type = Rectangle, Width = " + GdxNum(w) + ", Height = " + GdxNum(h) + "}");
        curves();
    } else if (kind == "ellipse") {
        Key("EmitterArea",
            "{Type = Ellipse, Width = " + GdxNum(w) + ", Height = " + GdxNum(h) + "}");
        curves();
        Find(kGdxSpawnShape,
             "ellipse: spread evenly over its area there, crowding towards its "
             "centre here");
        if (Flag(shape, "edges", false)) {
            Find(kGdxSpawnShape, "edges: on the rim only there: here over the whole ellipse");
        }
    } else if (kind == "line") {
        // The file's line runs from the emitter to (width, height), y up; ours is centred. Its
        // length follows the sides' curves when they are one curve, which keeps its angle.
        const double length = std::hypot(w, h);
        const double turn = -std::atan2(h, w) * 180 / 3.14159265358979323846;
        Key("EmitterArea",
            "{Type = Line, Width = " + GdxNum(length) + ", Angle = " + GdxNum(turn) + "}");
        if (wc == hc || (hc.empty() && h == 0)) {
            if (!wc.empty()) Key("WidthOverDuration", wc);
        } else if (wc.empty() && w == 0) {
            Key("WidthOverDuration", hc);
        } else {
            Find(kGdxSpawnShape,
                 "line: turns as its sides change apart over the duration there: here its "
                 "largest sides");
        }
        Find(kGdxSpawnShape, "line: starts at the emitter there, centred on it here");
    } else {
        FindAt(field->Line, "'Spawn Shape' shape: '" + kind + "' is no shape we know: a point");
    }
}

void Composer::Colours() {
    const GdxSection* tint = Section(kGdxTint, true);
    const GdxCurve colours = CurveOf(tint, "colors", 3);
    const auto rgb = [&](std::size_t i) {
        std::string out = "{";
        for (std::size_t c = 0; c < 3; ++c) {
            out.append(c ? ", " : "")
                .append(GdxNum(std::clamp(colours.Value[i * 3 + c], 0.0, 1.0) * 255));
        }
        return out.append("}");
    };
    const std::size_t stops = colours.Time.size();
    if (stops == 1) {
        if (rgb(0) != "{255, 255, 255}") Key("Colour", rgb(0));
    } else {
        std::vector<std::string> values;
        for (std::size_t i = 0; i < stops; ++i) values.push_back(rgb(i));
        Key("ColourOverLife", CurveText(kGdxTint, colours.Time, values));
    }
    GdxScaled alpha = Read(kGdxTransparency);
    alpha.Relative = false;  // the file's particles ignore it for the transparency
    std::string curve;
    const std::string base = BaseAndCurve(kGdxTransparency, alpha, 255, &curve);
    Key("Transparency", base);
    if (!curve.empty()) Key("TransparencyOverLife", curve);
}

void Composer::Options(bool* continuous, bool* aligned) {
    const GdxSection* s = Section(kGdxOptions, true);
    std::array<bool, kGdxOptionLines.size()> on{};
    for (std::size_t i = 0; i < on.size(); ++i) {
        on[i] = Flag(s, kGdxOptionLines[i].Name, kGdxOptionLines[i].Default);
    }
    const auto [attached, cont, align, additive, behind, premultiplied] = on;
    *continuous = cont;
    *aligned = align;
    if (attached) Key("Attached", "1");
    if (behind) Find(kGdxOptions, "behind: drawn behind the host's own drawing there: not here");
    // Premultiplied sprites add their colour as it is; ours are drawn as stored.
    const int32_t source = premultiplied ? 2 : 5;
    const int32_t destination = additive ? 2 : 6;
    if (source != 5 || destination != 6) {
        Key("BlendingMode",
            "{" + std::to_string(source) + ", " + std::to_string(destination) + "}");
    }
    const GdxField* mode = s ? s->Find("spriteMode") : nullptr;
    const std::string kind = mode ? mode->Value : "single";
    const std::size_t paths = e_.ImagePaths.size();
    if (kind != "single" && kind != "random" && kind != "animated") {
        FindAt(mode->Line, "'Options' spriteMode: '" + kind + "' is no mode we know: single");
    } else if (kind != "single" && paths > 1) {
        Key("SpriteMode", kind == "random" ? "1" : "2");
        sprites_ = std::min(paths, static_cast<std::size_t>(kMaxListedSprites));
        if (paths > sprites_) {
            FindAt(e_.ImagePaths[sprites_].Line, "'Image Paths' lists " + std::to_string(paths) +
                                                     " images: here the first " +
                                                     std::to_string(sprites_));
        }
    }
}

ImportedEffect Composer::Run(const GdxSpriteNamer& sprite, std::size_t index) {
    const GdxScaled duration = Read(kGdxDuration);
    bool continuous = false, aligned = false;
    // The options come last in the file but decide the duration's meaning.
    std::vector<std::pair<std::string, std::string>> options;
    Options(&continuous, &aligned);
    options.swap(keys_);
    Cycle(duration, continuous);
    Emission();
    Motion(aligned);
    Lives(moving_);
    Area();
    Offsets();
    Sizes();
    Colours();
    keys_.insert(keys_.end(), options.begin(), options.end());
    if (disabled_) Key("Disable", "1");
    for (const GdxSection& s : e_.Sections) {
        if (std::none_of(kGdxSections.begin(), kGdxSections.end(),
                         [&](const GdxSectionSpec& spec) { return spec.Name == s.Name; })) {
            FindAt(s.Line, "'" + s.Name + "' is no section of this format we know: ignored");
        }
    }
    ImportedEffect out;
    if (e_.ImagePaths.empty()) FindAt(e_.Line, "emitter '" + e_.Name + "' names no image");
    std::vector<std::string> files;
    for (std::size_t k = 0; k < sprites_; ++k) {
        const std::string name =
            k < e_.ImagePaths.size() ? std::string(GdxFileName(e_.ImagePaths[k].Path)) : "";
        if (k == 0 && !e_.ImagePaths.empty()) {
            out.SpriteName = name;
            out.SpriteLine = e_.ImagePaths[0].Line;
        } else if (k > 0) {
            out.MoreSprites.push_back({name, e_.ImagePaths[k].Line});
        }
        std::string file = sprite ? sprite(index, k, name) : name;
        if (!file.empty()) files.push_back(std::move(file));
    }
    if (files.size() == 1) Key("SpriteFile", files[0]);
    if (files.size() > 1) {
        std::string list = "{";
        for (const std::string& file : files) list += (list.size() > 1 ? ", " : "") + file;
        Key("SpriteFile", list + "}");
    }
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        out.Text +=
            keys_[i].first + " = " + keys_[i].second + (i + 1 < keys_.size() ? ",\n" : "\n");
    }
    return out;
}

bool ByLine(const ImportFinding& a, const ImportFinding& b) {
    return a.Line < b.Line;
}

}  // namespace

GdxImport ImportGdxFile(const GdxFile& file, const GdxSpriteNamer& sprite) {
    GdxImport out;
    out.Findings = file.Findings;
    const bool seconds = GdxTimesInSeconds(file);
    if (seconds) {
        out.Findings.push_back({file.Emitters[0].Line, 1,
                                "every duration and lifetime is at most 10: read as seconds, as "
                                "the oldest files give them"});
    }
    for (std::size_t i = 0; i < file.Emitters.size(); ++i) {
        const GdxEmitter& emitter = file.Emitters[i];
        std::vector<ImportFinding> findings;
        ImportedEffect effect = Composer(emitter, findings, seconds ? 1000 : 1).Run(sprite, i);
        std::stable_sort(findings.begin(), findings.end(), ByLine);
        out.Findings.insert(out.Findings.end(), findings.begin(), findings.end());
        effect.Findings = std::move(findings);
        out.Emitters.push_back(std::move(effect));
        out.Names.push_back(emitter.Name);
        out.Lines.push_back(emitter.Line);
    }
    std::stable_sort(out.Findings.begin(), out.Findings.end(), ByLine);
    return out;
}

std::optional<GdxImport> ImportGdxEffect(std::string_view bytes, const GdxSpriteNamer& sprite,
                                         std::string* error) {
    const std::optional<GdxFile> file = ReadGdxFile(bytes, error);
    if (!file) return std::nullopt;
    return ImportGdxFile(*file, sprite);
}

}  // namespace pp
