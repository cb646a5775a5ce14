#include "app/stress_scene.h"

#include <cstdio>

#include "app/scene.h"
#include "particleplayer/effect_files.h"

namespace pp {
namespace {

// Each emitter makes up to 1000 particles a second that live 1 to 3 seconds (2 on average),
// the whole population there after kStressWarmUpMs.
constexpr const char* kStressEffect = "Data\\bench\\Stress.txt";
constexpr int64_t kStressPerEmitter = 2000;
constexpr float kStressLifeSeconds = 2.0f;

}  // namespace

std::optional<std::string> AddStressEmitters(particleplayer::World& world, int64_t n) {
    const std::string path = particleplayer::EffectOpenPath(kStressEffect);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return "cannot read " + path + ", the effect of --stress";
    std::fclose(file);
    const int64_t emitters = (n + kStressPerEmitter - 1) / kStressPerEmitter;
    const float rate = static_cast<float>(n) / static_cast<float>(emitters) / kStressLifeSeconds;
    for (int64_t i = 0; i < emitters; ++i) {
        particleplayer::LoadOptions stress;
        stress.Sprite =
            particleplayer::IntValueRange{kScene[0].Number, particleplayer::kSameAsMin, 1};
        const auto loaded =
            world.LoadEffectFile(kStressEffect, kSceneWidth / 2, kSceneHeight / 2, stress);
        if (!loaded.Ok() ||
            !world.SetEmissionRate(loaded.Value, rate, particleplayer::kSameAsMin, 1.0f).Ok()) {
            return std::string("out of memory for the --stress emitters");
        }
    }
    return std::nullopt;
}

void WarmUpWorld(particleplayer::World& world, particleplayer::VirtualClock& clock,
                 uint32_t clockStart, int64_t stepMs, int64_t spanMs,
                 const std::function<void()>& beforeEach) {
    for (int64_t t = stepMs; t <= spanMs; t += stepMs) {
        clock.Set(static_cast<uint32_t>(int64_t{clockStart} + t));
        if (beforeEach) beforeEach();
        world.Update();
    }
}

}  // namespace pp
