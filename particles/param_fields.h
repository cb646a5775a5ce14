// The fields of EmitterParams with their names, in record order, as the parameter table lists
// them: for everything that goes through a whole parameter record field by field (the test
// printers among them). The optional keys' Extras and the SpriteFile index
// behind them are not among them.
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

#define PP_PARAM_ROW(kind, name, cName, doc, ...) ParamField{#name, &EmitterParams::name},
inline constexpr auto kParamFields =
    std::to_array<ParamField>({PARTICLEPLAYER_EFFECT_PARAMS(PP_PARAM_ROW)});
#undef PP_PARAM_ROW

// Calls visit(name, value) for every field of params in record order; value is a reference to
// the field (const when params is), of type int32_t, float, ValueSpec or IntValueSpec.
template <class Params, class Visit>
requires std::is_same_v<std::remove_const_t<Params>, EmitterParams>
constexpr void VisitParamFields(Params& params, Visit&& visit) {
    for (const ParamField& field : kParamFields) {
        std::visit([&](auto member) { visit(field.Name, params.*member); }, field.Member);
    }
}

}  // namespace pp
