#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "effects/effect_keys.h"
#include "effects/effect_text.h"
#include "effects/loader.h"
#include "effects/value_forms.h"
#include "fuzz/harness.h"
#include "particles/particles.h"
#include "runtime/clock_readings.h"
#include "runtime/convert.h"
#include "runtime/random.h"

namespace pp::fuzz {
namespace {

std::string_view AsText(std::span<const uint8_t> data) {
    return {reinterpret_cast<const char*>(data.data()), data.size()};
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// The entry lookup written as plainly as it is described, one character at a time, to check
// the fast scan against.
std::optional<std::string_view> ReferenceFindInList(std::string_view text, std::string_view head,
                                                    int32_t index, std::string_view d) {
    int64_t depth = 0;
    int64_t number = 1;
    std::size_t start = 0;
    std::size_t lastEquals = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        bool entryEnds = false;
        if (i == text.size()) {
            if (depth != 0) return std::nullopt;
            entryEnds = true;
        } else if (text[i] == d[0]) {
            if (depth == 0) lastEquals = i;
        } else if (text[i] == d[1]) {
            ++depth;
        } else if (text[i] == d[2]) {
            --depth;
        } else if (text[i] == d[3]) {
            entryEnds = depth == 0;
        }
        if (!entryEnds) continue;
        const std::string_view name = Trim(text.substr(start, lastEquals - start));
        if (number == index || name == head) {
            if (name.empty()) return Trim(text.substr(start, i - start));
            return Trim(text.substr(lastEquals + 1, i - lastEquals - 1));
        }
        start = i + 1;
        lastEquals = start;
        ++number;
    }
    return std::nullopt;
}

std::string ReferenceFindEntry(std::string_view text, std::string_view keyPath, std::string_view d,
                               std::string_view fallback) {
    for (;;) {
        const std::size_t slash = keyPath.find('\\');
        const std::string_view head = Trim(keyPath.substr(0, slash));
        if (head.empty()) return std::string(text);
        const auto value = ReferenceFindInList(text, head, TextToInt(head), d);
        if (!value) return std::string(fallback);
        if (slash == std::string_view::npos) return std::string(*value);
        std::string_view inside = *value;
        if (!inside.empty() && inside.front() == d[1]) {
            inside = Trim(inside.substr(1, inside.size() >= 2 ? inside.size() - 2 : 0));
        }
        text = inside;
        keyPath = keyPath.substr(slash + 1);
    }
}

// What the setters keep true whatever a file says: a known area type, and a step above 0 in
// every triple a key stores (only the all-zero creation defaults hold a step of 0). The
// triples are found through the key table, so a key added there is checked too.
std::string StoredParamsProblem(const EmitterParams& params) {
    if (params.AreaType < 0 || params.AreaType > 5) return "the area type is outside 0..5";
    for (const EffectKey& key : kEffectKeys) {
        bool stepOk = true;
        std::visit(
            [&](const auto& target) {
                using Target = std::decay_t<decltype(target)>;
                if constexpr (std::is_same_v<Target, ValueSpec EmitterParams::*> ||
                              std::is_same_v<Target, IntValueSpec EmitterParams::*>) {
                    const auto& spec = params.*target;
                    stepOk = spec.Inc > 0 || spec == std::decay_t<decltype(spec)>{};
                }
            },
            key.Target);
        if (!stepOk) return std::string(key.Name) + " holds a step that is not above 0";
    }
    return {};
}

// What the optional keys' rows keep true whatever a file says: every number within its row's
// range, curves of at most kMaxLifeKeys keys in order of time, sheets within their cells, and
// sub-effect indices into the engine's list, whose own effects hold to the same.
std::string ExtrasProblem(const ExtraParams& x, const std::vector<EmitterParams>& subEffects) {
    auto inRange = [](float v, float lo, float hi) { return v >= lo && v <= hi; };
    auto curveOk = [&](const auto& curve, float lo, float hi) {
        if (curve.Count < 0 || curve.Count > kMaxLifeKeys) return false;
        for (int32_t k = 0; k < curve.Count; ++k) {
            if (!inRange(curve.Time[k], 0, 1) || (k > 0 && curve.Time[k] < curve.Time[k - 1])) {
                return false;
            }
            for (float v : curve.Value[k]) {
                if (!inRange(v, lo, hi)) return false;
            }
        }
        return true;
    };
    const SpriteSheetParams& sheet = x.SpriteSheet;
    if (sheet != SpriteSheetParams{} &&
        (sheet.Columns < 1 || sheet.Columns > kMaxSheetSide || sheet.Rows < 1 ||
         sheet.Rows > kMaxSheetSide || sheet.Frames < 1 ||
         sheet.Frames > sheet.Columns * sheet.Rows || !inRange(sheet.Rate, 0, 1000))) {
        return "a sprite sheet is outside its cells";
    }
    if (x.Burst.Count < 0 || x.Burst.Count > kMaxBurstCount || !(x.Burst.Interval >= 0) ||
        x.Burst.Repeat < 0) {
        return "a burst is outside its range";
    }
    // The keys of one field each, within the ranges their rows give.
    for (const EffectKey& key : kEffectKeys) {
        std::string problem;
        std::visit(
            [&](const auto& to) {
                using Target = std::decay_t<decltype(to)>;
                if constexpr (std::is_same_v<Target, std::array<float, 3> ExtraParams::*>) {
                    for (float c : x.*to) {
                        if (!inRange(c, 0, 255)) problem = "a colour channel is outside 0..255";
                    }
                } else if constexpr (std::is_same_v<Target, LifeCurve<3> ExtraParams::*>) {
                    if (!curveOk(x.*to, 0, 255))
                        problem = "a colour curve is out of order or range";
                } else if constexpr (std::is_same_v<Target, CurveKeyField>) {
                    if (!curveOk(x.*to.Field, to.Min, to.Max))
                        problem = "a curve is out of order or out of range";
                } else if constexpr (std::is_same_v<Target, AmountKeyField>) {
                    if (!inRange(x.*to.Field, to.Min, to.Max))
                        problem = "an amount is outside its range";
                } else if constexpr (std::is_same_v<Target, RandomKeyField>) {
                    const RandomKey& k = x.Motion.*to.Field;
                    if (k.Set != 0 && (!inRange(k.Spec.Min, to.Min, to.Max) ||
                                       !inRange(k.Spec.Max, to.Min, to.Max) || !(k.Spec.Inc > 0))) {
                        problem = "a randomised motion key is outside its range";
                    }
                } else if constexpr (std::is_same_v<Target, RgbaKeyField>) {
                    for (float c : (x.Motion.*to.Field).Value) {
                        if (!inRange(c, 0, 255)) problem = "a motion colour is outside 0..255";
                    }
                } else if constexpr (std::is_same_v<Target, WholeKeyField>) {
                    const int32_t v = x.*to.Field;
                    if (v < to.Min || v > to.Max)
                        problem = "a whole motion key is outside its range";
                }
            },
            key.Target);
        if (!problem.empty()) return std::string(key.Name) + ": " + problem;
    }
    for (const SubEffectParams* sub : {&x.OnBirth, &x.OnDeath, &x.OnCollide}) {
        if (sub->Count < 0 || sub->Count > kMaxBurstCount) return "a sub-effect count is too large";
        if (sub->Effect < -1 || sub->Effect >= static_cast<int32_t>(subEffects.size())) {
            return "a sub-effect index is outside the list";
        }
    }
    if (x.Collide.Count < 0 || x.Collide.Count > kMaxCollideLines) return "too many lines";
    for (const CollideLine& l : x.Collide.Lines) {
        if (!inRange(l.Bounce, 0, 1) || !inRange(l.Friction, 0, 1) || !inRange(l.A, -1e6f, 1e6f) ||
            !inRange(l.B, -1e6f, 1e6f) || !inRange(l.C, -1e6f, 1e6f) ||
            !inRange(l.D, -1e6f, 1e6f)) {
            return "a line is outside its ranges";
        }
    }
    return {};
}

void WriteFile(const char* name, std::string_view bytes) {
    FILE* f = std::fopen(name, "wb");
    if (f == nullptr) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

}  // namespace

std::string FindEntryInput(std::span<const uint8_t> data) {
    std::string_view rest = AsText(data);
    if (rest.empty()) return {};
    const auto flags = static_cast<uint8_t>(rest.front());
    rest.remove_prefix(1);
    std::string_view delimiters = kEffectDelimiters;
    if ((flags & 1) != 0) {
        if (rest.size() < 4) return {};
        delimiters = rest.substr(0, 4);
        rest.remove_prefix(4);
    }
    const std::size_t nul = rest.find('\0');
    const std::string_view keyPath = rest.substr(0, nul);
    const std::string_view text = nul == std::string_view::npos ? "" : rest.substr(nul + 1);
    // A non-empty fallback, so that a miss and an empty value look different.
    static constexpr char kFallback[] = {'\x01', 'f', 'b', '\0'};
    const std::string_view fallback = (flags & 2) != 0 ? kFallback : "";

    const std::string found = FindEntry(text, keyPath, delimiters, fallback);
    const std::string expected = ReferenceFindEntry(text, keyPath, delimiters, fallback);
    if (found != expected) return "FindEntry differs from the reference scan";
    (void)FloatOr(found, 1.5f);
    (void)IntOr(found, 7);
    (void)TextOr(found, "x");
    return {};
}

std::string ValueSpecInput(std::span<const uint8_t> data) {
    const std::string_view text = AsText(data);
    VirtualClock clock;
    Engine engine(clock);
    SeedRandom(engine.Random, 1);

    const ValueForm<float> form = ParseValueSpec(text);
    ValueSpec spec{};
    SetValueSpec(spec, form.First, form.Second, form.Step);
    if (!(spec.Inc > 0.0f)) return "a stored float Inc is not above 0";
    const ValueForm<int32_t> intForm = ParseIntValueSpec(text);
    IntValueSpec intSpec{};
    SetIntValueSpec(intSpec, intForm.First, intForm.Second, intForm.Step);
    if (intSpec.Inc <= 0) return "a stored integer Inc is not above 0";
    for (int i = 0; i < 8; ++i) {
        (void)SampleValueSpec(engine, spec);
        (void)SampleValueSpec(engine, intSpec);
    }
    return {};
}

// The particles (and trail places) the loader target keeps alive at once at most.
constexpr int64_t kLoaderParticleBudget = 500;

std::string LoaderInput(std::span<const uint8_t> data) {
    const std::string_view all = AsText(data);
    static const char* const kNames[] = {"a.txt", "b.txt", "c.txt", "d.txt"};
    std::size_t from = 0;
    bool done = false;
    for (const char* name : kNames) {
        const std::size_t bar = done ? std::string_view::npos : all.find("|||", from);
        if (done) {
            WriteFile(name, "");
        } else if (bar == std::string_view::npos) {
            WriteFile(name, all.substr(from));
            done = true;
        } else {
            WriteFile(name, all.substr(from, bar - from));
            from = bar + 3;
        }
    }

    const uint32_t start = data.size() % 2 == 0 ? 1000u : 0x80000000u - 1500u;
    VirtualClock clock(start);
    Engine engine(clock);
    SeedRandom(engine.Random, 1);
    FillAreaTypes(engine);
    // A few short lines can ask for a thousand births a millisecond that live for minutes, so
    // the run holds the particles (and trail places) alive at once to the budget a game sets,
    // small enough that the slowest inputs found take under two seconds with the sanitizers on:
    // the budget bounds the prewarm and every update alike, and its own path is fuzzed too.
    engine.MaxParticles = kLoaderParticleBudget;
    Emitter* e = LoadEffect(engine, "a.txt", 400, 300);
    if (e == nullptr) return "LoadEffect gave no emitter";
    if (std::string problem = StoredParamsProblem(e->Params()); !problem.empty()) return problem;
    if (engine.SubEffects.size() > kMaxSubEffects) return "too many sub-effects";
    for (const EmitterParams& params : engine.SubEffects) {
        if (std::string problem = ExtrasProblem(params.Extras, engine.SubEffects);
            !problem.empty()) {
            return "sub-effect: " + problem;
        }
    }
    if (std::string problem = ExtrasProblem(e->Extras, engine.SubEffects); !problem.empty()) {
        return problem;
    }
    // Every image named is numbered once and within the bounds, and every effect naming one
    // draws with its number.
    if (engine.SpriteFiles.size() > static_cast<std::size_t>(kMaxSpriteFiles)) {
        return "too many sprite files";
    }
    for (std::size_t i = 0; i < engine.SpriteFiles.size(); ++i) {
        const std::string& path = engine.SpriteFiles[i];
        if (path.size() > kMaxSpriteFilePath || path.find('\0') != std::string::npos ||
            std::find(engine.SpriteFiles.begin(), engine.SpriteFiles.begin() + i, path) !=
                engine.SpriteFiles.begin() + i) {
            return "a sprite file path is too long, holds a zero byte or is numbered twice";
        }
    }
    std::vector<const EmitterParams*> loaded = {&e->Params()};
    for (const EmitterParams& params : engine.SubEffects) loaded.push_back(&params);
    for (const EmitterParams* params : loaded) {
        if (params->SpriteFile < -1 ||
            params->SpriteFile >= static_cast<int32_t>(engine.SpriteFiles.size())) {
            return "a sprite file index is outside the list";
        }
        const int32_t number = SpriteFileNumber(engine, *params);
        if (number >= 0 && (params->Sprite.Min != number || params->Sprite.Max != number)) {
            return "an effect with a sprite file draws with another number";
        }
        const EmitterParams::SpriteFileList& list = params->SpriteList;
        if (list.Count < 0 || list.Count > kMaxListedSprites || list.Count == 1 ||
            (list.Count > 0 && list.Index[0] != params->SpriteFile)) {
            return "a sprite file list is out of its bounds or misses its first image";
        }
        for (int32_t i = 0; i < list.Count; ++i) {
            if (list.Index[static_cast<std::size_t>(i)] < 0 ||
                list.Index[static_cast<std::size_t>(i)] >=
                    static_cast<int32_t>(engine.SpriteFiles.size())) {
                return "a sprite file list index is outside the list";
            }
        }
    }

    // Ordinary frames, now and then one of no time at all, and one long stall that brings a
    // second's backlog at once.
    static const uint32_t kSteps[] = {16, 17, 16, 0, 33, 16, 1, 16};
    for (int u = 0; u < 200; ++u) {
        const uint32_t step = u == 150 ? 1200 : kSteps[u % (sizeof kSteps / sizeof kSteps[0])];
        const int32_t before = e->Particles.Count();
        clock.Advance(step);
        const float dt = UpdateParticles(engine);
        const auto now = static_cast<int32_t>(clock.Now());
        if (u > 0 && dt != static_cast<float>(step) * 0.001f) return "dt is not the frame step";
        // A steady rate spawns at most one particle a millisecond, bursts at most one burst a
        // millisecond, and neither more than a thousand of them in one update; MinAlive tops
        // up by at most its own count.
        const int32_t most =
            std::max(e->Extras.Burst.Count, 1) * static_cast<int32_t>(std::min(step, 1000u)) +
            e->Extras.MinAlive;
        if (e->Particles.Count() - before > most) return "more particles than the schedule allows";
        // A steady schedule keeps up with the clock; one with an end (Burst's Repeat,
        // Duration) stays where it ended.
        const bool ends = e->Extras.Burst.Count > 0 || e->Extras.Duration > 0.0f;
        if (!ends && ClockDiff(now, e->NextEmission) > 0) {
            return "the schedule fell behind the clock";
        }
        if (ClockDiff(e->NextEmission, now) > (1 << 30)) return "the next emission is too far";
        // A particle left non-finite would stay so, so a look every few frames finds it and
        // keeps the runs quick.
        if (u % 8 != 7) continue;
        ListRewind(e->Particles);
        while (const Particle* p = ListNext(e->Particles)) {
            if (!ParticleStateIsFinite(*p)) return "a particle kept a non-finite state";
        }
    }
    return {};
}

}  // namespace pp::fuzz
