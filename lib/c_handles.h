// The C interface's world handle, shared by the files that implement its entry points.
#pragma once

#include <string>

#include "particleplayer/world.h"

struct pp_world {
    explicit pp_world(const particleplayer::WorldOptions& options) : World(options) {}
    particleplayer::World World;
    std::string LastError;
    std::string SpritePath;   // what pp_world_sprite_file handed out last
    std::string StartedFile;  // the file pp_world_started_effect last gave out
    std::vector<particleplayer::Particle> Particles;
    std::vector<int32_t> StartedAs;
};
