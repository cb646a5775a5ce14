// Reaches a world's engine from inside the project (the screen, the renderer, the vertex builder
// and the tests); not installed, so hosts see only the public records.
#pragma once

#include "particleplayer/world.h"
#include "particles/particles.h"

namespace particleplayer {

struct WorldAccess {
    // The engine's record for the public one (the same fields in the same places).
    static pp::Particle EngineParticle(const Particle& particle);
    static pp::Engine& EngineOf(World& world);
    // The effect's emitter, or nullptr for a handle this world never gave out.
    static pp::Emitter* EmitterOf(World& world, Effect effect);
    // The folder a load with `options` opens relative paths from.
    static std::string LoadFolder(World& world, const LoadOptions& options);
    // Why the file at `open_path` (named `name`) is more than one effect: a .p file of several
    // emitters, which one handle cannot hold; "" for any other file (world_group.cpp).
    static std::string SeveralEffects(const std::string& open_path, const std::string& name);
};

}  // namespace particleplayer
