// The checker: what the loader ends with after the whole Extends chain, for effects whose
// particles can never show or that ask for more than the player does.
#include <algorithm>
#include <cmath>
#include <limits>

#include "effects/check_text.h"
#include "particles/particles.h"
#include "particles/sub_effects.h"

namespace pp::effect_check {
namespace {

// The screen the player draws on, and how far beyond it an emitter counts as far off: a whole
// screen, so that particles flying in from just outside still count as seen.
constexpr float kScreenWidth = 800.0f;
constexpr float kScreenHeight = 600.0f;

// What an emitter has before any file sets a key.
const EmitterParams kDefaults{};

// The player emits at most one particle per millisecond.
constexpr float kMostParticlesPerSecond = 1000.0f;

// Spin is added every frame; below this many degrees per frame it reads as a gentle turn
// whatever the frame rate, above it the speed the author sees depends on the display.
constexpr float kLoudestQuietSpin = 30.0f;

// The drawn opacity is the low 8 bits of the rounded transparency: from here on it wraps.
constexpr float kFirstWrappingOpacity = 255.5f;

// A particle's square wider than this is far beyond any screen: it covers the whole picture
// with a sliver of its sprite, or, once its corners no longer fit the drawing's numbers, is
// not drawn at all.
constexpr float kWidestSensibleSize = 100000.0f;

// Where a key's effective value comes from: the outermost file of the chain that gives it.
struct Setting {
    std::string_view Text;  // empty: no file gives it, the emitter keeps its default
    std::string File;
    TextPosition At;     // where its name begins
    TextPosition Until;  // where its value ends
};

class EffectiveValues {
  public:
    explicit EffectiveValues(std::span<const LoadedFile> chain)
        : chain_(chain), tops_(chain.size()) {}

    Setting Find(std::string_view key) const {
        const std::string path = std::string(key) + "\\";
        for (std::size_t i = 0; i < chain_.size(); ++i) {
            const LoadedFile& file = chain_[i];
            const std::string_view text = file.Lines.Text();
            if (FindEntry(text, path).empty()) continue;
            // A path text standing in for a file that cannot be opened has no place of its own.
            if (file.IsPathText) break;
            // Scanned once per file however many keys it sets.
            if (!tops_[i]) tops_[i] = ScanEntries(text, TextRange{0, text.size()}, false);
            for (const ListEntry& e : tops_[i]->Entries) {
                if (e.Name.Of(text) != key) continue;
                return Setting{BlockInside(text, e.Value).Of(text), file.OpenPath,
                               file.Lines.At(e.Name.Begin), file.Lines.At(e.Value.End)};
            }
            break;
        }
        return Setting{{}, chain_.front().OpenPath, TextPosition{}, TextPosition{}};
    }

    // The stored triple, as the loader's setter stores the parsed form; `fallback` when no
    // file gives the key.
    ValueSpec Spec(const Setting& s, ValueSpec fallback) const {
        if (s.Text.empty()) return fallback;
        const ValueForm<float> form = ParseValueSpec(s.Text);
        ValueSpec spec{};
        SetValueSpec(spec, form.First, form.Second, form.Step);
        return spec;
    }

    // The stored number of a one-number key, `fallback` when no file gives it.
    static float Number(const Setting& s, float fallback) { return FloatOr(s.Text, fallback); }

  private:
    std::span<const LoadedFile> chain_;
    mutable std::vector<std::optional<EntryList>> tops_;
};

// The largest value a draw can give. With Min above Max the step count goes negative and the
// draws leave the range altogether, so nothing can be said: infinity.
float Largest(const ValueSpec& spec) {
    if (spec.Min > spec.Max) return std::numeric_limits<float>::infinity();
    return spec.Max;
}

// A lifetime as the engine holds it, 0 for ranges that say nothing (Min above Max, NaN).
double LongestLife(const ValueSpec& spec) {
    if (!(spec.Min <= spec.Max)) return 0.0;
    return std::clamp(static_cast<double>(spec.Max), 0.0, 2147483.647);
}

// The particles at most alive at once of the effects that `on` starts, when its effect's
// particles are born (or die) `births` times a second; `counts` gets the Counts along the
// branch that keeps the most.
double StartedAlive(const Engine& engine, const SubEffectParams& on, double births, int32_t depth,
                    std::vector<int32_t>& counts) {
    if (on.Effect < 0 || static_cast<std::size_t>(on.Effect) >= engine.SubEffects.size() ||
        on.Count < 1 || depth > kMaxSubEffectDepth) {
        return 0.0;
    }
    const EmitterParams& e = engine.SubEffects[static_cast<std::size_t>(on.Effect)];
    if (e.Disable != 0) return 0.0;
    const int32_t count = std::min(on.Count, kMaxBurstCount);
    const double started = births * count;
    std::vector<int32_t> viaBirth, viaDeath;
    const double fromBirth = StartedAlive(engine, e.Extras.OnBirth, started, depth + 1, viaBirth);
    const double fromDeath = StartedAlive(engine, e.Extras.OnDeath, started, depth + 1, viaDeath);
    counts.push_back(count);
    const std::vector<int32_t>& deeper = fromBirth > fromDeath ? viaBirth : viaDeath;
    counts.insert(counts.end(), deeper.begin(), deeper.end());
    return started * LongestLife(e.LifeTime) + fromBirth + fromDeath;
}

}  // namespace

std::vector<EffectFinding> CheckFanOut(std::span<const LoadedFile> chain, const Engine& engine,
                                       const EmitterParams& loaded, int64_t budget) {
    std::vector<EffectFinding> out;
    if (chain.empty() || loaded.Disable != 0) return out;
    // Births a second of the effect itself: a burst's count every interval, or the steady
    // rate, which the engine holds at one particle a millisecond.
    double births = 1000.0;
    const BurstParams& burst = loaded.Extras.Burst;
    if (burst.Count > 0) {
        const double interval = std::isfinite(burst.Interval) ? burst.Interval : 0.0;
        births = std::min(burst.Count, kMaxBurstCount) / std::max(interval, 0.001);
    } else if (const float rate = Largest(loaded.EmissionRate); rate > 0.0f && rate < 1000.0f) {
        births = rate;
    }
    std::vector<int32_t> viaBirth, viaDeath;
    const double fromBirth = StartedAlive(engine, loaded.Extras.OnBirth, births, 1, viaBirth);
    const double fromDeath = StartedAlive(engine, loaded.Extras.OnDeath, births, 1, viaDeath);
    // The engine keeps at most this many started effects alive, each with its Count.
    const double started =
        std::min(fromBirth + fromDeath, static_cast<double>(kMaxStartedEmitters) * kMaxBurstCount);
    const double alive = births * LongestLife(loaded.LifeTime) + started;
    if (started == 0.0 || !(alive > static_cast<double>(budget))) return out;
    const bool death = fromDeath >= fromBirth;
    const std::string key = death ? "OnDeath" : "OnBirth";
    std::string counts;
    for (const int32_t count : death ? viaDeath : viaBirth) {
        counts += (counts.empty() ? "" : " x ") + std::to_string(count);
    }
    const Setting at = EffectiveValues(chain).Find(key);
    out.push_back(EffectFinding{
        at.File,
        Located{at.At, "warning: the effects that '" + key + "' starts can keep up to " +
                           Show(static_cast<float>(alive)) + " particles alive at once (" +
                           Show(static_cast<float>(births)) +
                           " a second, times the Counts along the chain, " + counts +
                           ", times the lifetimes), more than the particle budget of " +
                           std::to_string(budget) +
                           ": births beyond it are dropped (--max-particles N sets it)"},
        at.Until});
    return out;
}

namespace {

// The warnings on the chain's effective values, one function per kind of trouble.
class EffectiveChecks {
  public:
    explicit EffectiveChecks(std::span<const LoadedFile> chain) : values_(chain) {}

    std::vector<EffectFinding> Run() {
        Disabled();
        RateAndLife();
        // Size and transparency die below 1 in the update that bears a particle, unless Raise
        // or Fade lifts them in that same update.
        BelowOne("Size", kDefaults.Size, "Raise", kDefaults.Raise, "below one pixel");
        BelowOne("Transparency", kDefaults.Transparency, "Fade", kDefaults.Fade,
                 "never reaching 1");
        Opacity();
        Sizes();
        Spin();
        Position();
        Durations();
        return std::move(out_);
    }

  private:
    void Report(const Setting& s, std::string message) {
        out_.push_back(
            EffectFinding{s.File, Located{s.At, "warning: " + std::move(message)}, s.Until});
    }
    void Disabled();
    void RateAndLife();
    void BelowOne(std::string_view key, ValueSpec fallback, std::string_view change,
                  float changeDefault, std::string_view why);
    void Opacity();
    void Sizes();
    // A key whose value a particle starts with and a change that grows it every second, and the
    // limit it must stay within: the key's own setting is reported when its largest start is
    // past the limit, else the change's when the longest life grows it past.
    struct Limit {
        std::string_view Key;
        ValueSpec KeyDefault;
        std::string_view Change;
        float ChangeDefault;
        bool (*Past)(float value);
        std::string (*StartText)(float most);
        std::string (*GrowthText)(float rate, float most, float grown, float longestLife);
    };
    void PastLimit(const Limit& limit);
    void Spin();
    void Position();
    void Durations();

    // What a particle reaches at the end of its longest life, growing by `change` a second.
    // Ranges with Min above Max have a finding of their own and say nothing here.
    float Grown(float start, float change) const {
        const ValueSpec lives = values_.Spec(values_.Find("LifeTime"), kDefaults.LifeTime);
        const float longest = lives.Min <= lives.Max ? std::max(lives.Max, 0.0f) : 0.0f;
        return change > 0.0f ? start + change * longest : start;
    }
    float LongestLife() const { return Grown(0.0f, 1.0f); }

    const EffectiveValues values_;
    std::vector<EffectFinding> out_;
};

void EffectiveChecks::Disabled() {
    const Setting disable = values_.Find("Disable");
    if (!disable.Text.empty() && IntOr(disable.Text, 1) != 0) {
        Report(disable, "'Disable = " + Escape(disable.Text) +
                            "' switches the emitter off: it never emits, so nothing shows");
    }
}

// The creation defaults are sane, so only a value some file gives can trip these.
void EffectiveChecks::RateAndLife() {
    const Setting rate = values_.Find("EmissionRate");
    const float mostRate = Largest(values_.Spec(rate, kDefaults.EmissionRate));
    if (!rate.Text.empty() && mostRate <= 0.0f) {
        // The engine reads a rate that is not above 0 as its shortest gap, 1 ms.
        Report(rate, "EmissionRate is at most " + Show(mostRate) +
                         " per second, which the player reads as its fastest rate: one "
                         "particle per millisecond (1000 per second); write a rate above 0");
    } else if (!rate.Text.empty() && mostRate > kMostParticlesPerSecond) {
        Report(rate, "EmissionRate up to " + Show(mostRate) +
                         " per second is more than the player emits: at most one particle "
                         "per millisecond (1000 per second)");
    }
    const Setting life = values_.Find("LifeTime");
    const float mostLife = Largest(values_.Spec(life, kDefaults.LifeTime));
    if (!life.Text.empty() && mostLife <= 0.0f) {
        Report(life, "LifeTime is at most " + Show(mostLife) +
                         " seconds: a particle is gone by the frame after its birth, so at "
                         "most a flicker shows");
    }
}

void EffectiveChecks::BelowOne(std::string_view key, ValueSpec fallback, std::string_view change,
                               float changeDefault, std::string_view why) {
    const Setting setting = values_.Find(key);
    const float most = Largest(values_.Spec(setting, fallback));
    const float lift = EffectiveValues::Number(values_.Find(change), changeDefault);
    if (!setting.Text.empty() && most < 1.0f && !(lift > 0.0f)) {
        Report(setting, std::string(key) + " is at most " + Show(most) + ", " + std::string(why) +
                            ": every particle is removed at its first update, so nothing "
                            "shows");
    }
}

void EffectiveChecks::Opacity() {
    PastLimit({"Transparency", kDefaults.Transparency, "Fade", kDefaults.Fade,
               [](float v) { return v >= kFirstWrappingOpacity; },
               [](float most) {
                   return "Transparency up to " + Show(most) +
                          " is above 255: the drawn opacity wraps around every 256 units (256 "
                          "looks like 0, 300 like 44)";
               },
               [](float rate, float most, float, float life) {
                   return "Fade " + Show(rate) + " takes the opacity from up to " + Show(most) +
                          " past 255 within a life of up to " + Show(life) +
                          " seconds: the drawn opacity wraps around every 256 units, so the "
                          "particle blinks out (256 looks like 0)";
               }});
}

void EffectiveChecks::Sizes() {
    static constexpr char kBeyond[] =
        " far beyond any screen: such a particle covers the whole picture with a sliver of its "
        "sprite, or is not drawn at all";
    PastLimit({"Size", kDefaults.Size, "Raise", kDefaults.Raise,
               [](float v) { return v > kWidestSensibleSize; },
               [](float most) { return "Size up to " + Show(most) + " pixels is" + kBeyond; },
               [](float rate, float, float grown, float) {
                   return "Raise " + Show(rate) + " grows particles to " + Show(grown) +
                          " pixels within a life," + kBeyond;
               }});
}

void EffectiveChecks::PastLimit(const Limit& limit) {
    const Setting setting = values_.Find(limit.Key);
    const ValueSpec starts = values_.Spec(setting, limit.KeyDefault);
    const Setting change = values_.Find(limit.Change);
    const float rate = EffectiveValues::Number(change, limit.ChangeDefault);
    if (!(starts.Min <= starts.Max)) return;
    if (!setting.Text.empty() && limit.Past(starts.Max)) {
        Report(setting, limit.StartText(starts.Max));
    } else if (!change.Text.empty() && limit.Past(Grown(starts.Max, rate))) {
        Report(change, limit.GrowthText(rate, starts.Max, Grown(starts.Max, rate), LongestLife()));
    }
}

void EffectiveChecks::Spin() {
    const Setting rotation = values_.Find("Rotation");
    const ValueSpec spin = values_.Spec(rotation, kDefaults.Rotation);
    const float mostSpin = std::max(std::fabs(spin.Min), std::fabs(spin.Max));
    if (!rotation.Text.empty() && mostSpin > kLoudestQuietSpin) {
        Report(rotation, "Rotation turns a particle up to " + Show(mostSpin) +
                             " degrees every frame, not every second, so how fast it spins "
                             "follows the frame rate (" +
                             Show(mostSpin * 60.0f) + " degrees per second at 60 frames)");
    }
}

// The player places an emitter itself unless a file gives its position.
void EffectiveChecks::Position() {
    const Setting position = values_.Find("EmitterPosition");
    if (position.Text.empty()) return;
    const float x = FloatOr(FindEntry(position.Text, "1"), 0.0f);
    const float y = FloatOr(FindEntry(position.Text, "2"), 0.0f);
    const Setting area = values_.Find("EmitterArea");
    float reach = 0.0f;
    if (!area.Text.empty() && !FindEntry(area.Text, "1").empty()) {
        reach = std::fabs(FloatOr(FindEntry(area.Text, "Width"), 0.0f)) +
                std::fabs(FloatOr(FindEntry(area.Text, "Height"), 0.0f));
    }
    if (x + reach < -kScreenWidth || x - reach > 2.0f * kScreenWidth ||
        y + reach < -kScreenHeight || y - reach > 2.0f * kScreenHeight) {
        Report(position, "the emitter at (" + Show(x) + ", " + Show(y) +
                             ") is more than a screen away from the 800x600 screen, so "
                             "its particles are never seen");
    }
}

// The curves over the duration and its repetition have nothing to run over without one.
void EffectiveChecks::Durations() {
    if (EffectiveValues::Number(values_.Find("Duration"), 0.0f) > 0.0f) return;
    for (const std::string_view key : {"EmissionOverDuration", "LifeOverDuration",
                                       "WidthOverDuration", "HeightOverDuration", "Continuous"}) {
        const Setting setting = values_.Find(key);
        if (setting.Text.empty() || (key == "Continuous" && IntOr(setting.Text, 1) == 0)) continue;
        Report(setting, "'" + std::string(key) +
                            "' changes nothing without a Duration above 0: it runs over the "
                            "emitter's Duration");
    }
}

}  // namespace

std::vector<EffectFinding> CheckEffective(std::span<const LoadedFile> chain) {
    if (chain.empty()) return {};
    return EffectiveChecks(chain).Run();
}

}  // namespace pp::effect_check
