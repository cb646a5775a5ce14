// What a world loads from one effect text, its parameters and optional keys, for tests that
// compare two texts by what they load to; and lists of records compared byte for byte.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "particleplayer/world.h"

namespace particleplayer {

struct Loaded {
    EffectParams Params{};
    EffectExtras Extras{};
};

inline Loaded Load(const std::string& text) {
    World world;
    const Result<Effect> effect = world.LoadEffectText(text, 0.0f, 0.0f);
    EXPECT_TRUE(effect.Ok()) << effect.Error;
    return {world.Params(effect.Value).Value, world.Extras(effect.Value).Value};
}

// Both lists hold the same records, every byte alike.
template <class T>
bool SameBytes(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

}  // namespace particleplayer
