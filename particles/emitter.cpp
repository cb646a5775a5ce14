// Emitter creation, the setters and the sampling of randomised parameters.
#include <cstdint>

#include "particles/particles.h"
#include "runtime/convert.h"

namespace pp {

void FillAreaTypes(Engine& engine) {
    static const char* const kNames[] = {"Point",     "Line",   "Square",
                                         "Rectangle", "Circle", "Ellipse"};
    int32_t number = 0;
    for (const char* name : kNames) MapFindOrAdd(engine.AreaTypes, name) = number++;
}

EmitterParams DefaultParamsAt(float x, float y) {
    EmitterParams params;
    params.PositionX = x;
    params.PositionY = y;
    return params;
}

Emitter* CreateEmitter(Engine& engine, float x, float y) {
    Emitter* e = ListInsert(engine.Emitters);
    if (e == nullptr) return nullptr;
    e->Params() = DefaultParamsAt(x, y);
    e->NextEmission = static_cast<int32_t>(engine.Clock->Now());
    e->StartTime = e->NextEmission;
    return e;
}

void SetSpriteRange(Emitter* emitter, int32_t min, int32_t max, int32_t inc) {
    if (emitter != nullptr) SetIntValueSpec(emitter->Sprite, min, max, inc);
}

void SetValueSpec(ValueSpec& spec, float min, float max, float inc) {
    spec.Min = min;
    spec.Max = max == kSameAsMin<float> ? min : max;
    // Written as "not above 0" so that a NaN step becomes 1 too: a stored Inc is always > 0.
    spec.Inc = inc > 0.0f ? inc : 1.0f;
}

void SetIntValueSpec(IntValueSpec& spec, int32_t min, int32_t max, int32_t inc) {
    spec.Min = min;
    spec.Max = max == kSameAsMin<int32_t> ? min : max;
    spec.Inc = inc > 0 ? inc : 1;
}

float SampleValueSpec(Engine& engine, const ValueSpec& spec) {
    // In float on purpose: 1 / 0.1 must come out as exactly 10 so that 0, 1, 0.1 reaches 1.0.
    float quotient = (spec.Max - spec.Min) / spec.Inc;
    int32_t k = RandomInt(engine.Random, TruncToInt(quotient));
    return spec.Min + static_cast<float>(k) * spec.Inc;
}

int32_t SampleValueSpec(Engine& engine, const IntValueSpec& spec) {
    // The bound in float as for the float kind; 0 / 0 of the all-zero default is NaN, which
    // TruncToInt turns into 0.
    float quotient = (static_cast<float>(spec.Max) - static_cast<float>(spec.Min)) /
                     static_cast<float>(spec.Inc);
    int32_t k = RandomInt(engine.Random, TruncToInt(quotient));
    // Wrapping, so that extreme triples cannot overflow signed arithmetic.
    uint32_t product = static_cast<uint32_t>(k) * static_cast<uint32_t>(spec.Inc);
    return static_cast<int32_t>(static_cast<uint32_t>(spec.Min) + product);
}

}  // namespace pp
