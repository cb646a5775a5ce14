// What a world loads from one effect text, its parameters and optional keys, for tests that
// compare two texts by what they load to.
#pragma once

#include <gtest/gtest.h>

#include <string>

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

}  // namespace particleplayer
