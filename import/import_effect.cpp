// Writes a Particle Designer effect as our effect text, row by row of kImportFields.
#include "import/import_effect.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "effects/float_text.h"
#include "import/import_fields.h"
#include "import/particle_dict.h"

namespace pp {
namespace {

// A number as the shortest text that reads back as the same float; -0 is written 0.
std::string Num(double value) {
    return ShortestFloatText(static_cast<float>(value) + 0.0f);
}

// OpenGL's blend factor numbers and our blend codes for the same factor.
constexpr std::array<std::pair<int32_t, int32_t>, 11> kBlendCodes{{
    {0, 1},       // ZERO
    {1, 2},       // ONE
    {0x300, 3},   // SRC_COLOR
    {0x301, 4},   // ONE_MINUS_SRC_COLOR
    {0x302, 5},   // SRC_ALPHA
    {0x303, 6},   // ONE_MINUS_SRC_ALPHA
    {0x304, 7},   // DST_ALPHA
    {0x305, 8},   // ONE_MINUS_DST_ALPHA
    {0x306, 9},   // DST_COLOR
    {0x307, 10},  // ONE_MINUS_DST_COLOR
    {0x308, 11},  // SRC_ALPHA_SATURATE
}};

// The step a variance is drawn in: a power of two, about 4096 steps across the range, so
// that every value drawn is an exact float and the spread is as even as the format's.
double VarianceStep(double blur) {
    int exponent = 0;
    std::frexp(2 * blur / 4096, &exponent);
    return std::ldexp(1.0, exponent - 1);
}

// A randomised value of ours: plain, or Value plus or minus Blur.
std::string Randomised(double value, double variance) {
    const double blur = std::fabs(variance);
    const double step = VarianceStep(blur);
    if (static_cast<float>(blur) == 0.0f || static_cast<float>(step) == 0.0f) return Num(value);
    return "{Value = " + Num(value) + ", Blur = " + Num(blur) + ", Inc = " + Num(step) + "}";
}

class Composer {
  public:
    explicit Composer(const ParticleDict& dict) : dict_(dict) {}

    ImportedEffect Run(std::string_view sprite_file);

  private:
    double V(std::size_t row) const { return values_[row]; }
    void Key(std::string name, std::string value) {
        keys_.emplace_back(std::move(name), std::move(value));
    }
    void Find(std::size_t row, const std::string& message) {
        FindAt(at_[row], "'" + std::string(kImportFields[row].Name) + "' " + message);
    }
    void FindAt(const ParticleDictField* field, std::string message) {
        out_.Findings.push_back(
            {field ? field->Line : 1, field ? field->Column : 1, std::move(message)});
    }
    void ReadValues();
    void Motion(ImportMode mode, float flip);
    void Emission();
    void Sizes();
    void Colours();
    void Turns(ImportMode mode);
    std::string AtLeast(std::size_t row, double value, double variance, double low);
    std::string Within(std::size_t row, double value, double variance);
    int32_t BlendCode(std::size_t row, int32_t fallback);
    void Blending();
    void Placement();
    void Sprite(std::string_view sprite_file);
    ImportedEffect Finish();

    const ParticleDict& dict_;
    std::array<double, kImportFieldCount> values_{};
    std::array<const ParticleDictField*, kImportFieldCount> at_{};
    std::vector<std::pair<std::string, std::string>> keys_;
    ImportedEffect out_;
    double life_ = 0;  // the mean lifespan the rates are worked out from
};

void Composer::ReadValues() {
    for (std::size_t row = 0; row < kImportFieldCount; ++row) {
        const ImportField& spec = kImportFields[row];
        const ParticleDictField* field = dict_.Find(spec.Name);
        at_[row] = field;
        double value = spec.Default;
        if (field != nullptr) {
            value = field->Number;
            if (!field->NumberRead || std::isnan(value)) {
                value = spec.Default;
                Find(row, std::string(field->NumberRead ? "is not a number" : "holds no number") +
                              ": read as " + Num(value));
            } else if (value < spec.Min || value > spec.Max) {
                const double held = std::clamp(value, spec.Min, spec.Max);
                Find(row, "= " + Num(value) + " is held to " + Num(held));
                value = held;
            }
        }
        values_[row] = value;
    }
    for (const ParticleDictField& field : dict_.Fields) {
        const auto known = [&](std::string_view name) { return name == field.Name; };
        if (std::none_of(kImportFields.begin(), kImportFields.end(),
                         [&](const ImportField& row) { return known(row.Name); }) &&
            std::none_of(kImportIgnored.begin(), kImportIgnored.end(), known)) {
            FindAt(&field, "'" + field.Name + "' is no key of this format we know: ignored");
        }
    }
}

// Directions: the file's degrees turn counter-clockwise with y up; ours clockwise with y down.
// yCoordFlipped = -1 reverses the whole motion in gravity mode and mirrors y in radial mode,
// as cocos2d-x applies it.
void Composer::Motion(ImportMode mode, float flip) {
    double direction = -V(kAngle);
    if (mode == ImportMode::Radial) {
        // The file puts a particle at -r (cos a, sin a) from the source, y up, turning a by
        // rotatePerSecond: opposite the angle, and the other way round on our y-down frame.
        direction = flip < 0 ? V(kAngle) + 180 : 180 - V(kAngle);
        Key("OrbitRadius", AtLeast(kMaxRadius, V(kMaxRadius), V(kMaxRadiusVariance), 0));
        // -1 keeps each particle on its start radius.
        if (V(kMinRadius) != -1) {
            Key("OrbitEndRadius", AtLeast(kMinRadius, V(kMinRadius), V(kMinRadiusVariance), 0));
        }
        const double spin = flip < 0 ? V(kRotatePerSecond) : -V(kRotatePerSecond);
        if (spin != 0 || V(kRotatePerSecondVariance) != 0) {
            Key("OrbitSpin", Within(kRotatePerSecond, spin, V(kRotatePerSecondVariance)));
        }
    } else {
        // yCoordFlipped = -1 reverses the whole step, the file's pushes included.
        if (flip < 0) direction += 180;
        Key("EmissionVelocity", Randomised(V(kSpeed), V(kSpeedVariance)));
        if (V(kGravityX) != 0 || V(kGravityY) != 0) {
            Key("Acceleration", std::string("{")
                                    .append(Num(flip * V(kGravityX)))
                                    .append(", ")
                                    .append(Num(-flip * V(kGravityY)))
                                    .append("}"));
        }
        if (V(kRadialAccel) != 0 || V(kRadialAccelVariance) != 0) {
            Key("RadialAcceleration",
                Within(kRadialAccel, flip * V(kRadialAccel), V(kRadialAccelVariance)));
        }
        // Counter-clockwise with y up is clockwise with y down: the push turns the other way.
        if (V(kTangentialAccel) != 0 || V(kTangentialAccelVariance) != 0) {
            Key("TangentialAcceleration",
                Within(kTangentialAccel, -flip * V(kTangentialAccel), V(kTangentialAccelVariance)));
        }
    }
    direction = std::fmod(direction, 360.0);
    if (direction < 0) direction += 360;
    Key("EmissionAngle", Randomised(direction, V(kAngleVariance)));
    Turns(mode);
}

// A randomised motion value whose draws must stay within our keys' range: a value and a
// variance each inside the range can still reach past it together, so the drawn range is cut
// at the range's ends (compared as the loader adds them, in float).
std::string Composer::Within(std::size_t row, double value, double variance) {
    const double blur = std::fabs(variance);
    const float limit = static_cast<float>(kBig);
    const float lowest = static_cast<float>(value) - static_cast<float>(blur);
    const float highest = static_cast<float>(value) + static_cast<float>(blur);
    if (lowest >= -limit && highest <= limit) return Randomised(value, variance);
    const double low = std::max(value - blur, -kBig), high = std::min(value + blur, kBig);
    Find(row, "= " + Num(value) + " can draw beyond " + Num(kBig) +
                  " either way: here drawn from " + Num(low) + " to " + Num(high));
    if (low >= high) return Num(low);
    return "{Min = " + Num(low) + ", Max = " + Num(high) +
           ", Inc = " + Num(VarianceStep((high - low) / 2)) + "}";
}

// A randomised value whose draws the file holds at `low` (sizes, radii): ours draws within the
// range cut at `low`, which spreads the draws the file piles on `low` across the rest.
std::string Composer::AtLeast(std::size_t row, double value, double variance, double low) {
    const double blur = std::fabs(variance);
    if (value - blur >= low) return Within(row, value, variance);
    const double high = std::clamp(value + blur, low, kBig);
    if (value < low || blur != 0) {
        Find(row, "= " + Num(value) + " can draw below " + Num(low) + ": held at " + Num(low) +
                      " there; here drawn from " + Num(low) + " to " + Num(high));
    }
    if (high == low) return Num(low);
    return "{Min = " + Num(low) + ", Max = " + Num(high) +
           ", Inc = " + Num(VarianceStep((high - low) / 2)) + "}";
}

void Composer::Emission() {
    // The file's pool holds a whole number of particles.
    const double count = std::floor(V(kMaxParticles));
    const double rate = count / life_;
    // Above 1000 a second our emitter emits 1000 all the same; the text says what plays.
    Key("EmissionRate", Num(std::min(rate, 1000.0)));
    if (count < 1) {
        Key("Disable", "1");
        Find(kMaxParticles, "below 1: the effect emits nothing");
        return;
    }
    // Our emitter times each particle in whole milliseconds, at least one apart.
    const double interval = std::max(1.0, std::nearbyint(1000.0 / rate));
    const double ours = 1000.0 / interval;
    if (std::fabs(ours - rate) > rate * 1e-6) {
        Find(kMaxParticles, "/ 'particleLifespan' emits " + Num(rate) +
                                " a second there; here one every " + Num(interval) + " ms, " +
                                Num(ours) + " a second");
    }
    Key("MaxAlive", std::to_string(static_cast<int64_t>(count)));
    const double duration = V(kDuration);
    if (duration == 0) {
        Key("Disable", "1");
        Find(kDuration,
             "= 0 stops the emitter after its first frame there; here it emits "
             "nothing");
    } else if (duration > 0) {
        Key("Duration", Num(duration));
    }
}

void Composer::Sizes() {
    const double start = V(kStartSize), start_var = V(kStartSizeVariance);
    double end = V(kFinishSize);
    const double end_var = V(kFinishSizeVariance);
    if (end < 0 && end != -1) {
        Find(kFinishSize, "= " + Num(end) + " is below 0: read as 0");
        end = 0;
    }
    // Our particles below 1 pixel at birth die at once; one that grows from there is stored at
    // the finish size and scaled up by a curve instead.
    if (start - std::fabs(start_var) < 1 && end != -1 && end > start) {
        Key("Size", Randomised(end, end_var));
        Key("SizeOverLife", "{0 = " + Num(start / end) + ", 1 = 1}");
        if (start_var != 0) {
            Find(kStartSizeVariance,
                 "is drawn per particle there; here each particle grows from the mean start "
                 "size's share of its finish size");
        }
        if (end - std::fabs(end_var) < 1) {
            Find(kFinishSize, "gives particles below 1 pixel, which die at birth here");
        }
        return;
    }
    Key("Size", Randomised(start, start_var));
    if (start - std::fabs(start_var) < 1) {
        Find(kStartSize, "gives particles below 1 pixel, which die at birth here");
    }
    // -1 keeps every particle at its start size.
    if (end != -1 && (end != start || end_var != 0)) {
        Key("EndSize", AtLeast(kFinishSize, end, end_var, 0));
    }
}

void Composer::Colours() {
    const auto channels = [&](std::size_t red, bool spread) {
        std::array<double, 4> c{};
        for (std::size_t i = 0; i < 4; ++i) {
            c[i] = (spread ? std::fabs(V(red + i)) : V(red + i)) * 255;
        }
        return c;
    };
    const auto text = [](const std::array<double, 4>& c) {
        std::string out = "{";
        for (std::size_t i = 0; i < c.size(); ++i) {
            out.append(i == 0 ? "" : ", ").append(Num(c[i]));
        }
        return out.append("}");
    };
    const std::array<double, 4> start = channels(kStartRed, false);
    const std::array<double, 4> end = channels(kFinishRed, false);
    const std::array<double, 4> start_var = channels(kStartVarianceRed, true);
    const std::array<double, 4> end_var = channels(kFinishVarianceRed, true);
    const std::array<double, 4> white{255, 255, 255, 255}, none{};
    if (start != white) Key("StartColour", text(start));
    if (start_var != none) Key("StartColourVariance", text(start_var));
    if (end != start) Key("EndColour", text(end));
    if (end_var != none) Key("EndColourVariance", text(end_var));
}

// The sprite's turn goes from rotationStart to rotationEnd over each particle's life, both
// clockwise as ours. rotationIsDir turns each particle to its direction of flight at birth only,
// as ours start without Angle, and adds the turn from start to end over the mean lifespan.
void Composer::Turns(ImportMode mode) {
    if (mode == ImportMode::Gravity && V(kRotationIsDir) != 0) {
        if (V(kSpeed) - std::fabs(V(kSpeedVariance)) < 0) {
            Find(kRotationIsDir,
                 "turns a particle flying backwards to its flight there; here to its emission "
                 "angle");
        }
        const double spin = (V(kRotationEnd) - V(kRotationStart)) / life_;
        if (spin != 0) Key("Spin", Num(std::clamp(spin, -kBig, kBig)));
        if (V(kRotationStartVariance) != 0 || V(kRotationEndVariance) != 0 ||
            (spin != 0 && V(kLifespanVariance) != 0)) {
            Find(kRotationIsDir,
                 "with rotationStart and rotationEnd turns each particle by its own draws "
                 "over its own life there; here every particle by the means at the mean "
                 "lifespan's rate");
        }
        return;
    }
    Key("Angle", Within(kRotationStart, V(kRotationStart), V(kRotationStartVariance)));
    if (V(kRotationEnd) != V(kRotationStart) || V(kRotationEndVariance) != 0) {
        Key("EndAngle", Within(kRotationEnd, V(kRotationEnd), V(kRotationEndVariance)));
    }
}

int32_t Composer::BlendCode(std::size_t row, int32_t fallback) {
    const auto number = static_cast<int32_t>(V(row));
    for (const auto& [gl, code] : kBlendCodes) {
        if (gl == number && gl == V(row)) return code;
    }
    Find(row, "= " + Num(V(row)) + " is no OpenGL blend factor we draw: " +
                  (fallback == 5 ? "SRC_ALPHA" : "ONE_MINUS_SRC_ALPHA") + " here");
    return fallback;
}

ImportedEffect Composer::Run(std::string_view sprite_file) {
    ReadValues();
    const ImportMode mode = V(kEmitterType) == 1 ? ImportMode::Radial : ImportMode::Gravity;
    if (V(kEmitterType) != 0 && V(kEmitterType) != 1) {
        Find(kEmitterType, "is neither 0 nor 1: read as 0 (gravity)");
    }
    const double flip_value = V(kYCoordFlipped);
    const float flip = flip_value < 0 ? -1.0f : 1.0f;
    if (flip_value != 1 && flip_value != -1) {
        Find(kYCoordFlipped, "is neither 1 nor -1: read as " + Num(flip));
    }
    life_ = V(kLifespan);
    if (life_ < 0.001) {
        Find(kLifespan, "is below a millisecond: read as 0.001");
        life_ = 0.001;
    }

    Key("LifeTime", Randomised(life_, V(kLifespanVariance)));
    Emission();
    Motion(mode, flip);
    if (V(kSourceVarianceX) != 0 || V(kSourceVarianceY) != 0) {
        Key("EmitterArea", "{Type = Rectangle, Width = " + Num(2 * std::fabs(V(kSourceVarianceX))) +
                               ", Height = " + Num(2 * std::fabs(V(kSourceVarianceY))) + "}");
    }
    Sizes();
    Colours();
    // Relative and grouped particles move with their emitter.
    if (V(kPositionType) != 0) Key("Attached", "1");
    Blending();
    Placement();
    Sprite(sprite_file);
    return Finish();
}

void Composer::Blending() {
    // The public loaders draw with textures whose colours are multiplied by their alpha, where
    // a source factor of ONE is what SRC_ALPHA is to our sprites, whose alpha is separate.
    int32_t source = BlendCode(kBlendSource, 5);
    if (source == 2) source = 5;
    const int32_t destination = BlendCode(kBlendDestination, 6);
    if (source != 5 || destination != 6) {
        Key("BlendingMode", std::string("{")
                                .append(std::to_string(source))
                                .append(", ")
                                .append(std::to_string(destination))
                                .append("}"));
    }
}

// The source position is measured up from the canvas's bottom; ours runs down from the top.
void Composer::Placement() {
    const double x = V(kSourceX), y = kImportCanvasHeight - V(kSourceY);
    if (x >= 0 && x <= kImportCanvasWidth && y >= 0 && y <= kImportCanvasHeight) {
        out_.PlaceX = static_cast<float>(x);
        out_.PlaceY = static_cast<float>(y);
    } else {
        Find(kSourceX, "places the emitter at (" + Num(V(kSourceX)) + ", " + Num(V(kSourceY)) +
                           "), off an 800 x 600 frame: placed at its centre");
    }
}

// The sprite's name and its embedded image, if any; the embedded one wins the line shown.
void Composer::Sprite(std::string_view sprite_file) {
    if (const ParticleDictField* name = dict_.Find("textureFileName")) {
        out_.SpriteName = name->Text;
        out_.SpriteLine = name->Line;
    }
    if (const ParticleDictField* data = dict_.Find("textureImageData");
        data && !data->Text.empty()) {
        out_.EmbeddedSprite = data->Text;
        out_.SpriteLine = data->Line;
    }
    if (!sprite_file.empty()) Key("SpriteFile", std::string(sprite_file));
}

// The keys become the effect text in the order they were composed; the findings go in the
// order of the source file's lines.
ImportedEffect Composer::Finish() {
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        out_.Text +=
            keys_[i].first + " = " + keys_[i].second + (i + 1 < keys_.size() ? ",\n" : "\n");
    }
    std::stable_sort(out_.Findings.begin(), out_.Findings.end(),
                     [](const ImportFinding& a, const ImportFinding& b) {
                         return a.Line != b.Line ? a.Line < b.Line : a.Column < b.Column;
                     });
    return std::move(out_);
}

}  // namespace

std::optional<ImportedEffect> ImportParticleEffect(std::string_view bytes,
                                                   std::string_view sprite_file,
                                                   std::string* error) {
    const std::optional<ParticleDict> dict = ReadParticleDict(bytes, error);
    if (!dict) return std::nullopt;
    return Composer(*dict).Run(sprite_file);
}

ImportedEffect ImportParticleDict(const ParticleDict& dict, std::string_view sprite_file) {
    return Composer(dict).Run(sprite_file);
}

std::string ImportTooLarge() {
    return "larger than any effect file (" + std::to_string(kMaxImportBytes >> 20) + " MiB)";
}

std::string FormatImportFinding(std::string_view path, const ImportFinding& finding) {
    return std::string(path) + ":" + std::to_string(finding.Line) + ": " + finding.Message;
}

}  // namespace pp
