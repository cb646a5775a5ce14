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
        std::string quoted = "'";
        quoted += kImportFields[row].Name;
        FindAt(at_[row], quoted + "' " + message);
    }
    void FindAt(const ParticleDictField* field, std::string message) {
        out_.Findings.push_back(
            {field ? field->Line : 1, field ? field->Column : 1, std::move(message)});
    }
    void ReadValues();
    void TableFindings(ImportMode mode);
    void Motion(ImportMode mode, float flip);
    void Emission();
    void Sizes();
    void Colours();
    void Turns(double direction);
    int32_t BlendCode(std::size_t row, int32_t fallback);

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

void Composer::TableFindings(ImportMode mode) {
    for (std::size_t row = 0; row < kImportFieldCount; ++row) {
        const ImportField& spec = kImportFields[row];
        if (spec.Lost.empty() || V(row) == spec.Neutral) continue;
        if (spec.Mode != ImportMode::Any && spec.Mode != mode) continue;
        Find(row, std::string(spec.Lost));
    }
}

// Directions: the file's degrees turn counter-clockwise with y up; ours clockwise with y down.
// yCoordFlipped = -1 reverses the whole motion in gravity mode and mirrors y in radial mode,
// as cocos2d-x applies it.
void Composer::Motion(ImportMode mode, float flip) {
    double direction = -V(kAngle);
    if (mode == ImportMode::Radial) {
        // Particles start opposite the angle and move from maxRadius to minRadius.
        direction = flip < 0 ? V(kAngle) + 180 : 180 - V(kAngle);
        FindAt(at_[kEmitterType],
               "'emitterType' = 1 (radial): particles orbit the emitter there; here they fly "
               "straight out at (minRadius - maxRadius) / particleLifespan (OrbitRadius, "
               "OrbitEndRadius, OrbitSpin)");
        Key("EmissionVelocity", Num((V(kMinRadius) - V(kMaxRadius)) / life_));
    } else {
        if (flip < 0) direction += 180;
        Key("EmissionVelocity", Randomised(V(kSpeed), V(kSpeedVariance)));
        if (V(kGravityX) != 0 || V(kGravityY) != 0) {
            Key("Acceleration", std::string("{")
                                    .append(Num(flip * V(kGravityX)))
                                    .append(", ")
                                    .append(Num(-flip * V(kGravityY)))
                                    .append("}"));
        }
    }
    direction = std::fmod(direction, 360.0);
    if (direction < 0) direction += 360;
    Key("EmissionAngle", Randomised(direction, V(kAngleVariance)));
    Turns(direction);
}

void Composer::Emission() {
    const double count = V(kMaxParticles);
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
    if (V(kLifespanVariance) != 0) {
        Find(kMaxParticles, "caps the particles alive at " + Num(count) +
                                " there; here none is capped (MaxAlive)");
    }
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
    if (end == -1 || end == start) {
        // -1 keeps every particle at its start size.
        Key("Size", Randomised(start, start_var));
        if (end == start && end_var != 0) {
            Find(kFinishSizeVariance,
                 "is drawn per particle there; here every particle keeps "
                 "its start size (EndSize)");
        }
        return;
    }
    // The larger of the two is the size a particle is stored with; the curve scales it.
    const bool shrinks = start > end;
    const double base = shrinks ? start : end, base_var = shrinks ? start_var : end_var;
    Key("Size", Randomised(base, base_var));
    Key("SizeOverLife", shrinks ? "{0 = 1, 1 = " + Num(end / start) + "}"
                                : "{0 = " + Num(start / end) + ", 1 = 1}");
    const std::size_t other = shrinks ? kFinishSizeVariance : kStartSizeVariance;
    if (V(other) != 0) {
        Find(other,
             "is drawn per particle there; here each particle's size follows one curve "
             "(EndSize)");
    }
    if (base - std::fabs(base_var) < 1) {
        Find(shrinks ? kStartSize : kFinishSize,
             "gives particles below 1 pixel, which die at birth here");
    }
}

void Composer::Colours() {
    const auto byte = [&](std::size_t row) { return Num(V(row) * 255); };
    const auto rgb = [&](std::size_t red) {
        return std::string("{")
            .append(byte(red))
            .append(", ")
            .append(byte(red + 1))
            .append(", ")
            .append(byte(red + 2))
            .append("}");
    };
    const bool same = V(kStartRed) == V(kFinishRed) && V(kStartGreen) == V(kFinishGreen) &&
                      V(kStartBlue) == V(kFinishBlue);
    if (!same) {
        Key("ColourOverLife", "{0 = " + rgb(kStartRed) + ", 1 = " + rgb(kFinishRed) + "}");
    } else if (V(kStartRed) != 1 || V(kStartGreen) != 1 || V(kStartBlue) != 1) {
        Key("Colour", rgb(kStartRed));
    }
    if (V(kStartAlpha) != 1 || V(kFinishAlpha) != 1) {
        Key("TransparencyOverLife",
            "{0 = " + Num(V(kStartAlpha)) + ", 1 = " + Num(V(kFinishAlpha)) + "}");
    }
}

// The sprite's turn: ours starts at the direction of flight and turns at Spin degrees a
// second; the file's goes from rotationStart to rotationEnd over each particle's life.
void Composer::Turns(double direction) {
    const bool starts_alike = V(kRotationStartVariance) == 0 && V(kAngleVariance) == 0 &&
                              std::fmod(V(kRotationStart) - direction, 360.0) == 0;
    if (!starts_alike) {
        Find(kRotationStart,
             "turns the sprite at birth there; here each particle starts "
             "turned to its direction of flight (Angle)");
    }
    const double spin = (V(kRotationEnd) - V(kRotationStart)) / life_;
    if (spin == 0) return;
    Key("Spin", Num(std::clamp(spin, -kBig, kBig)));
    if (V(kLifespanVariance) != 0) {
        Find(kRotationEnd,
             "is reached at each particle's own death there; here every particle "
             "turns at the mean lifespan's rate (EndAngle)");
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
    TableFindings(mode);

    Key("LifeTime", Randomised(life_, V(kLifespanVariance)));
    Emission();
    Motion(mode, flip);
    if (V(kSourceVarianceX) != 0 || V(kSourceVarianceY) != 0) {
        Key("EmitterArea", "{Type = Rectangle, Width = " + Num(2 * std::fabs(V(kSourceVarianceX))) +
                               ", Height = " + Num(2 * std::fabs(V(kSourceVarianceY))) + "}");
    }
    Sizes();
    Colours();
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

    const double x = V(kSourceX), y = kImportCanvasHeight - V(kSourceY);
    if (x >= 0 && x <= kImportCanvasWidth && y >= 0 && y <= kImportCanvasHeight) {
        out_.PlaceX = static_cast<float>(x);
        out_.PlaceY = static_cast<float>(y);
    } else {
        Find(kSourceX, "places the emitter at (" + Num(V(kSourceX)) + ", " + Num(V(kSourceY)) +
                           "), off an 800 x 600 frame: placed at its centre");
    }

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

std::string FormatImportFinding(std::string_view path, const ImportFinding& finding) {
    return std::string(path) + ":" + std::to_string(finding.Line) + ": " + finding.Message;
}

}  // namespace pp
