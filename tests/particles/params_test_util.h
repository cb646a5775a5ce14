// Printers naming every field of a record, and an all-zero record to spell expectations from.
#pragma once

#include <cstring>
#include <ostream>
#include <string_view>
#include <type_traits>

#include "particles/param_fields.h"

namespace pp {

template <class Spec>
requires std::is_same_v<Spec, ValueSpec> || std::is_same_v<Spec, IntValueSpec>
void PrintTo(const Spec& spec, std::ostream* out) {
    const std::streamsize precision = out->precision(9);
    *out << "{" << spec.Min << ", " << spec.Max << ", " << spec.Inc << "}";
    out->precision(precision);
}

inline void PrintTo(const EmitterParams& params, std::ostream* out) {
    const std::streamsize precision = out->precision(9);
    VisitParamFields(params, [out](std::string_view name, const auto& value) {
        *out << "\n  " << name << " ";
        if constexpr (requires { value.Inc; }) {
            PrintTo(value, out);
        } else {
            *out << value;
        }
    });
    out->precision(precision);
}

inline EmitterParams ZeroParams() {
    EmitterParams params;
    std::memset(static_cast<void*>(&params), 0, sizeof params);
    return params;
}

}  // namespace pp
