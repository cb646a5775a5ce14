#include "effects/loader.h"

#include <algorithm>
#include <optional>
#include <variant>
#include <vector>

#include "effects/effect_keys.h"
#include "effects/effect_text.h"
#include "effects/extends_chain.h"
#include "effects/value_forms.h"

namespace pp {
namespace {

// The files being loaded, outermost first, and the effect text the chain may still take.
using LoadChain = ExtendsChain;

void ApplyEffectFile(Engine& engine, Emitter* emitter, const std::string& path, LoadChain& chain);

void ApplyArea(Engine& engine, Emitter* emitter, std::string_view v) {
    // An empty first entry means no usable area at all, not "keep the old one".
    if (FindEntry(v, "1").empty()) {
        SetArea(emitter, 0, 0.0f, 0.0f, 0.0f);
        return;
    }
    const std::string name = TextOr(FindEntry(v, "Type"), "Point");
    // An unknown name stays in the map with 0, so it reads as a Point from then on.
    const int32_t type = MapFindOrAdd(engine.AreaTypes, name.c_str());
    SetArea(emitter, type, FloatOr(FindEntry(v, "Width"), 0.0f),
            FloatOr(FindEntry(v, "Height"), 0.0f), FloatOr(FindEntry(v, "Angle"), 0.0f));
}

// Stores a key's non-empty value v where its row says, exactly as the row's setter would.
void Store(EmitterParams&, std::monostate, std::string_view) {}

void Store(EmitterParams& params, const IntKeyField& to, std::string_view v) {
    params.*to.Field = IntOr(v, to.Fallback);
}

void Store(EmitterParams& params, float EmitterParams::*to, std::string_view v) {
    params.*to = FloatOr(v, 0.0f);
}

// Two-number keys go by position, and a missing part takes its default, not the old value.
void Store(EmitterParams& params, const PairKeyFields& to, std::string_view v) {
    params.*to.X = FloatOr(FindEntry(v, "1"), 0.0f);
    params.*to.Y = FloatOr(FindEntry(v, "2"), 0.0f);
}

void Store(EmitterParams& params, const IntPairKeyFields& to, std::string_view v) {
    params.*to.First = IntOr(FindEntry(v, "1"), to.FirstFallback);
    params.*to.Second = IntOr(FindEntry(v, "2"), to.SecondFallback);
}

void Store(EmitterParams& params, ValueSpec EmitterParams::*to, std::string_view v) {
    const ValueForm<float> form = ParseValueSpec(v);
    SetValueSpec(params.*to, form.First, form.Second, form.Step);
}

void Store(EmitterParams& params, IntValueSpec EmitterParams::*to, std::string_view v) {
    const ValueForm<int32_t> form = ParseIntValueSpec(v);
    SetIntValueSpec(params.*to, form.First, form.Second, form.Step);
}

// The seventeen keys in the table's order. Every key path ends in '\' so that a block gives
// its inside and a plain value itself; an absent key or an empty value changes nothing.
void ApplyEffectText(Engine& engine, Emitter* emitter, std::string_view text, LoadChain& chain) {
    for (const EffectKey& key : kEffectKeys) {
        std::string path(key.Name);
        path += '\\';
        const std::string v = FindEntry(text, path);
        if (v.empty()) continue;
        if (key.Kind == EffectValueKind::Path) {
            // The parent goes first so that every key this file names overrides it.
            ApplyEffectFile(engine, emitter, v, chain);
        } else if (key.Kind == EffectValueKind::Area) {
            ApplyArea(engine, emitter, v);
        } else {
            // Loading never discards particles: Disable is stored like any other field.
            std::visit([&](const auto& to) { Store(emitter->Params(), to, v); }, key.Target);
        }
    }
}

void ApplyEffectFile(Engine& engine, Emitter* emitter, const std::string& path, LoadChain& chain) {
    ChainFile file = chain.Open(path);
    // Too deep, already being loaded, or beyond the chain's bytes: the file adds nothing.
    if (file.Stop != ChainStop::None) return;
    chain.Enter(file);
    // An unreadable file contributes its path text as written.
    ApplyEffectText(engine, emitter, file.TakeText(), chain);
    chain.Leave();
}

}  // namespace

std::string EffectOpenPath(std::string_view path) {
    std::string open(path);
    std::replace(open.begin(), open.end(), '\\', '/');
    return open;
}

Emitter* LoadEffect(Engine& engine, const std::string& path, int32_t x, int32_t y) {
    Emitter* emitter = CreateEmitter(engine, x, y);
    if (emitter != nullptr) LoadEffectFile(engine, emitter, path);
    return emitter;
}

void LoadEffectFile(Engine& engine, Emitter* emitter, const std::string& path) {
    if (emitter == nullptr) return;
    LoadChain chain;
    ApplyEffectFile(engine, emitter, path, chain);
    // With its keys in place, a looping effect can start full.
    PrewarmEmitter(engine, *emitter);
}

void LoadEffectText(Engine& engine, Emitter* emitter, std::string_view text) {
    if (emitter == nullptr) return;
    LoadChain chain;
    // Its lines joined as a file's are, so a text and a file of the same bytes agree.
    ApplyEffectText(engine, emitter, JoinedLines(text, false).Text(), chain);
    PrewarmEmitter(engine, *emitter);
}

int32_t SetLayer(Emitter* emitter, int32_t layer) {
    if (emitter != nullptr) emitter->Layer = layer;
    return 0;
}

int32_t SetPosition(Emitter* emitter, float x, float y) {
    if (emitter == nullptr) return 0;
    emitter->PositionX = x;
    emitter->PositionY = y;
    return 0;
}

int32_t SetArea(Emitter* emitter, int32_t type, float width, float height, float angle) {
    if (emitter == nullptr || type < 0 || type > 5) return 0;
    emitter->AreaType = type;
    emitter->AreaWidth = width;
    emitter->AreaHeight = height;
    // Multiplied before dividing, with pi as a float, as the angle has always been stored.
    emitter->AreaAngle = angle * 3.1415927f / 180.0f;
    return 0;
}

int32_t SetAcceleration(Emitter* emitter, float x, float y) {
    if (emitter == nullptr) return 0;
    emitter->AccelerationX = x;
    emitter->AccelerationY = y;
    return 0;
}

int32_t SetRaise(Emitter* emitter, float value) {
    if (emitter != nullptr) emitter->Raise = value;
    return 0;
}

int32_t SetFade(Emitter* emitter, float value) {
    if (emitter != nullptr) emitter->Fade = value;
    return 0;
}

int32_t SetBlendingMode(Emitter* emitter, int32_t source, int32_t destination) {
    if (emitter == nullptr) return 0;
    emitter->BlendSource = source;
    emitter->BlendDestination = destination;
    return 0;
}

int32_t SetEmissionAngle(Emitter* emitter, float min, float max, float inc) {
    if (emitter != nullptr) SetValueSpec(emitter->EmissionAngle, min, max, inc);
    return 0;
}

int32_t SetEmissionVelocity(Emitter* emitter, float min, float max, float inc) {
    if (emitter != nullptr) SetValueSpec(emitter->EmissionVelocity, min, max, inc);
    return 0;
}

int32_t SetLifeTime(Emitter* emitter, float min, float max, float inc) {
    if (emitter != nullptr) SetValueSpec(emitter->LifeTime, min, max, inc);
    return 0;
}

int32_t SetEmissionRate(Emitter* emitter, float min, float max, float inc) {
    if (emitter != nullptr) SetValueSpec(emitter->EmissionRate, min, max, inc);
    return 0;
}

int32_t SetSize(Emitter* emitter, float min, float max, float inc) {
    if (emitter != nullptr) SetValueSpec(emitter->Size, min, max, inc);
    return 0;
}

int32_t SetRotation(Emitter* emitter, float min, float max, float inc) {
    if (emitter != nullptr) SetValueSpec(emitter->Rotation, min, max, inc);
    return 0;
}

int32_t SetTransparency(Emitter* emitter, float min, float max, float inc) {
    if (emitter != nullptr) SetValueSpec(emitter->Transparency, min, max, inc);
    return 0;
}

}  // namespace pp
