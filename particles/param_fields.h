// The fields of EmitterParams with their names, in record order: one table for everything that
// writes or prints a whole parameter record field by field (inspect's JSON, test printers).
#pragma once

#include <array>
#include <cstddef>
#include <string_view>
#include <type_traits>
#include <variant>

#include "particles/particles.h"

namespace pp {

using ParamMember = std::variant<int32_t EmitterParams::*, float EmitterParams::*,
                                 ValueSpec EmitterParams::*, IntValueSpec EmitterParams::*>;

struct ParamField {
    std::string_view Name;
    ParamMember Member;
};

inline constexpr std::array<ParamField, 23> kParamFields{{
    {"Disable", &EmitterParams::Disable},
    {"AutoRemove", &EmitterParams::AutoRemove},
    {"Layer", &EmitterParams::Layer},
    {"PositionX", &EmitterParams::PositionX},
    {"PositionY", &EmitterParams::PositionY},
    {"AreaType", &EmitterParams::AreaType},
    {"AreaWidth", &EmitterParams::AreaWidth},
    {"AreaHeight", &EmitterParams::AreaHeight},
    {"AreaAngle", &EmitterParams::AreaAngle},
    {"EmissionAngle", &EmitterParams::EmissionAngle},
    {"EmissionVelocity", &EmitterParams::EmissionVelocity},
    {"AccelerationX", &EmitterParams::AccelerationX},
    {"AccelerationY", &EmitterParams::AccelerationY},
    {"LifeTime", &EmitterParams::LifeTime},
    {"EmissionRate", &EmitterParams::EmissionRate},
    {"Sprite", &EmitterParams::Sprite},
    {"Size", &EmitterParams::Size},
    {"Raise", &EmitterParams::Raise},
    {"Rotation", &EmitterParams::Rotation},
    {"Transparency", &EmitterParams::Transparency},
    {"Fade", &EmitterParams::Fade},
    {"BlendSource", &EmitterParams::BlendSource},
    {"BlendDestination", &EmitterParams::BlendDestination},
}};

// Calls visit(name, value) for every field of params in record order; value is a reference to
// the field (const when params is), of type int32_t, float, ValueSpec or IntValueSpec.
template <class Params, class Visit>
requires std::is_same_v<std::remove_const_t<Params>, EmitterParams>
constexpr void VisitParamFields(Params& params, Visit&& visit) {
    for (const ParamField& field : kParamFields) {
        std::visit([&](auto member) { visit(field.Name, params.*member); }, field.Member);
    }
}

// A field left out of the table would leave bytes of the record uncounted (the record has no
// padding); the order is checked by the tests. The optional keys' Extras and the SpriteFile
// index behind them are printed apart.
inline constexpr std::size_t kParamFieldBytes = [] {
    std::size_t bytes = 0;
    EmitterParams params;
    VisitParamFields(params, [&](std::string_view, const auto& value) { bytes += sizeof value; });
    return bytes;
}();
static_assert(kParamFieldBytes == offsetof(EmitterParams, Extras) &&
                  offsetof(EmitterParams, Extras) + sizeof(ExtraParams) ==
                      offsetof(EmitterParams, SpriteFile) &&
                  offsetof(EmitterParams, SpriteFile) + sizeof(int32_t) == sizeof(EmitterParams),
              "every parameter but Extras and SpriteFile is in kParamFields");

}  // namespace pp
