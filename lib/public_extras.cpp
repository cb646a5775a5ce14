// The public record of an effect's optional keys made from the engine's: every field of the
// list the public records are written from, converted by its type.
#include "lib/public_extras.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <type_traits>
#include <vector>

namespace particleplayer {
namespace {

// One optional key's field in its public form, by the engine's record it is kept in.
template <class T>
void ToPublic(T& to, const T& from) {
    to = from;
}
template <int Channels>
void ToPublic(LifeCurve<Channels>& to, const pp::LifeCurve<Channels>& from) {
    to.Count = from.Count;
    to.Time = from.Time;
    to.Value = from.Value;
}
void ToPublic(SubEffect& to, const pp::SubEffectParams& from) {
    to = {from.Effect >= 0, from.Count, from.Inherit, from.Effect >= 0 ? from.Effect : -1};
}
void ToPublic(MotionValue& to, const pp::RandomKey& from) {
    to = {from.Set != 0, from.Spec.Min, from.Spec.Max, from.Spec.Inc};
}
void ToPublic(MotionColour& to, const pp::ColourKey& from) {
    to = {from.Set != 0, from.Value};
}
void ToPublic(ForcePoint& to, const pp::ForcePoint& f) {
    to = {f.X, f.Y, f.Strength, f.Radius, f.Falloff, f.Screen};
}
// The first point stands whether the file gives it or not.
void ToPublic(ForcePoint& to, const pp::ForceList& from) {
    ToPublic(to, from.Points[0]);
}
void ToPublic(std::vector<ForcePoint>& to, const pp::ForceList& from) {
    to.resize(static_cast<size_t>(std::clamp(from.Count, 0, pp::kMaxForcePoints)));
    for (size_t i = 0; i < to.size(); ++i) ToPublic(to[i], from.Points[i]);
}
void ToPublic(TurbulenceField& to, const pp::TurbulenceParams& t) {
    to = {t.Strength, t.Scale, t.Speed, t.Seed};
}
void ToPublic(std::vector<CollideLine>& to, const pp::CollideParams& from) {
    to.clear();
    for (int32_t i = 0; i < from.Count && i < pp::kMaxCollideLines; ++i) {
        const pp::CollideLine& l = from.Lines[static_cast<size_t>(i)];
        to.push_back({static_cast<CollideLine::Form>(l.Form), l.A, l.B, l.C, l.D, l.Bounce,
                      l.Friction, l.Die, l.Screen});
    }
}
void ToPublic(Trail& to, const pp::TrailParams& r) {
    to = {r.Points, r.Length, r.Width, r.EndWidth, r.Fade, r.Darken, r.Behind};
}
void ToPublic(DrawnRange& to, const pp::DrawnRange& r) {
    to = {r.Min, r.Max, r.Step};
}

std::string SpriteFileOf(const pp::Engine& engine, const pp::EmitterParams& params) {
    return params.SpriteFile >= 0 ? engine.SpriteFiles[size_t(params.SpriteFile)] : "";
}
std::vector<std::string> SpriteFilesOf(const pp::Engine& engine, const pp::EmitterParams& params) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < params.SpriteList.Count; ++i) {
        out.push_back(
            engine
                .SpriteFiles[static_cast<size_t>(params.SpriteList.Index[static_cast<size_t>(i)])]);
    }
    return out;
}

// The public fields the engine keeps under other names or outside its ExtraParams; every other
// field is the one of the same name in ExtraParams or in its Motion group.
#define PP_KEPT_ELSEWHERE(X)                           \
    X(SheetColumns, params.Extras.SpriteSheet.Columns) \
    X(SheetRows, params.Extras.SpriteSheet.Rows)       \
    X(SheetFrames, params.Extras.SpriteSheet.Frames)   \
    X(SheetRate, params.Extras.SpriteSheet.Rate)       \
    X(SheetRandom, params.Extras.SpriteSheet.Random)   \
    X(BurstCount, params.Extras.Burst.Count)           \
    X(BurstInterval, params.Extras.Burst.Interval)     \
    X(BurstRepeat, params.Extras.Burst.Repeat)         \
    X(SpriteFile, SpriteFileOf(engine, params))        \
    X(StretchFactor, params.Extras.Stretch.Factor)     \
    X(StretchMax, params.Extras.Stretch.Max)           \
    X(Attractors, params.Extras.Attractor)             \
    X(Vortices, params.Extras.Vortex)                  \
    X(SpriteFiles, SpriteFilesOf(engine, params))

// Whether the engine's Extras keeps a field of this name, itself or in its Motion group.
#define PP_SAME_NAMED(Extras, name) \
    (                               \
        requires(const Extras& e) { e.name; } || requires(const Extras& e) { e.Motion.name; })

// Each public field is converted once: from the engine's field of the same name, or from the
// place PP_KEPT_ELSEWHERE names, never both, and none is left out.
template <class Extras>
constexpr bool EveryFieldOnce() {
    int sameNamed = 0, rows = 0, elsewhere = 0;
    bool overlap = false;
#define PP_COUNT_ROW(kind, name, ...) \
    ++rows;                           \
    sameNamed += PP_SAME_NAMED(Extras, name) ? 1 : 0;
#define PP_COUNT_ELSEWHERE(name, from) \
    ++elsewhere;                       \
    overlap = overlap || PP_SAME_NAMED(Extras, name);
    PARTICLEPLAYER_EFFECT_EXTRAS(PP_COUNT_ROW)
    PP_KEPT_ELSEWHERE(PP_COUNT_ELSEWHERE)
#undef PP_COUNT_ELSEWHERE
#undef PP_COUNT_ROW
    return !overlap && sameNamed + elsewhere == rows;
}
static_assert(EveryFieldOnce<pp::ExtraParams>());

// A field's default as the list writes it, where its type can be a constant; a string's or a
// list's is NotCompared. `make` builds it only then.
struct NotCompared {};
template <class T, class Make>
constexpr auto ListedDefault(Make make) {
    if constexpr (std::is_trivially_destructible_v<T>) {
        return make();
    } else {
        return NotCompared{};
    }
}
struct ListedDefaults {
#define PP_LISTED_DEFAULT(kind, name, cName, shown, key, doc, ...)            \
    static constexpr auto name = ListedDefault<decltype(EffectExtras::name)>( \
        [] { return decltype(EffectExtras::name){__VA_ARGS__}; });
    PARTICLEPLAYER_EFFECT_EXTRAS(PP_LISTED_DEFAULT)
#undef PP_LISTED_DEFAULT
};

// The list's default of each number and colour field is the engine's default of it, so that
// an effect without the key shows what it runs with. Templates over the engine's records only
// so that a field they keep otherwise makes a requirement false instead of an error.
template <class Extras>
constexpr bool SameDefaultsAsNamed() {
    const Extras engine{};
    bool same = true;
#define PP_SAME_DEFAULT(kind, name, ...)                                     \
    if constexpr (requires { bool{engine.name == ListedDefaults::name}; }) { \
        same = same && engine.name == ListedDefaults::name;                  \
    }
    PARTICLEPLAYER_EFFECT_EXTRAS(PP_SAME_DEFAULT)
#undef PP_SAME_DEFAULT
    return same;
}
static_assert(SameDefaultsAsNamed<pp::ExtraParams>());

// The same for the number fields the engine keeps elsewhere; `engine` only names what the
// sprite-file rows read, which are strings and not compared.
template <class Params, class Engine>
constexpr bool SameDefaultsAsKeptElsewhere() {
    const Params params{};
    const Engine* engine = nullptr;
    bool same = true;
#define PP_SAME_DEFAULT(name, from)                                     \
    if constexpr (std::is_arithmetic_v<decltype(EffectExtras::name)>) { \
        same = same && (from) == ListedDefaults::name;                  \
    }
    PP_KEPT_ELSEWHERE(PP_SAME_DEFAULT)
#undef PP_SAME_DEFAULT
    static_cast<void>(engine);
    return same;
}
static_assert(SameDefaultsAsKeptElsewhere<pp::EmitterParams, pp::Engine>());

// A template over the engine's record only so that a name it lacks makes a requirement false
// instead of an error.
template <class Extras>
EffectExtras PublicExtrasOf(const pp::Engine& engine, const pp::EmitterParams& params,
                            const Extras& x) {
    EffectExtras out;
#define PP_PUBLIC_ROW(kind, name, ...)                  \
    if constexpr (requires { x.name; }) {               \
        ToPublic(out.name, x.name);                     \
    } else if constexpr (requires { x.Motion.name; }) { \
        ToPublic(out.name, x.Motion.name);              \
    }
#define PP_PUBLIC_ELSEWHERE(name, from) ToPublic(out.name, from);
    PARTICLEPLAYER_EFFECT_EXTRAS(PP_PUBLIC_ROW)
    PP_KEPT_ELSEWHERE(PP_PUBLIC_ELSEWHERE)
#undef PP_PUBLIC_ELSEWHERE
#undef PP_PUBLIC_ROW
    return out;
}

}  // namespace
}  // namespace particleplayer

particleplayer::EffectExtras PublicExtras(const pp::Engine& engine,
                                          const pp::EmitterParams& params) {
    return particleplayer::PublicExtrasOf(engine, params, params.Extras);
}
