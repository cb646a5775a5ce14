// The blend pair's widgets: each code chosen by name from a list that shows a small picture of
// what it does, and both typed as numbers.
#pragma once

#include <array>
#include <cstdint>

namespace pp {

// The source and destination codes; true when the author changed either.
bool BlendPairWidgets(std::array<int32_t, 2>& codes);

}  // namespace pp
