// The public API's cost over the engine: the same population updated through World::Update
// and through the engine call it forwards to, alternating in one run; the counter "api/engine"
// is their ratio (target: within 1.05). The world is made and filled through public calls
// alone, the engine through the engine's own, in the same steps.
// The renderer's draw of the player's scene into a host's window, straight beside the older
// composing in the screen's back buffer with two full-frame copies, alternating in one run on
// SDL's offscreen driver; the counter "straight/copies" is their ratio.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "app/scene.h"
#include "effects/loader.h"
#include "particleplayer/renderer.h"
#include "particleplayer/world.h"
#include "particles/particles.h"
#include "platform/host_context.h"
#include "runtime/clock.h"

namespace particleplayer {
namespace {

// Long-lived particles that spin; emitted at 1000 a second.
constexpr const char* kEffect = "LifeTime = 100000,\nRotation = {Min = -2, Max = 2, Inc = 0.5}";

// A world holding about n long-lived particles of one effect, emitted in one-second steps and
// then stopped, so that the population stays.
World MakeWorld(int64_t n) {
    WorldOptions options;
    options.Seed = 1;
    World world(options);
    const Effect effect = world.LoadEffectText(kEffect, 400, 300).Value;
    world.SetEmissionRate(effect, 1000.0f, -65535.0f, 1.0f);
    world.Update();
    for (int64_t made = 0; made < n; made += 1000) {
        world.AdvanceTime(1000);
        world.Update();
    }
    world.SetDisabled(effect, true);
    return world;
}

// The same steps on a bare engine.
struct BareEngine {
    explicit BareEngine(int64_t n) : Engine(Clock) {
        pp::SeedRandom(Engine.Random, 1);
        pp::FillAreaTypes(Engine);
        pp::Emitter* emitter = pp::CreateEmitter(Engine, 400, 300);
        pp::LoadEffectText(Engine, emitter, kEffect);
        pp::SetValueSpec(emitter->EmissionRate, 1000.0f, -65535.0f, 1.0f);
        pp::UpdateParticles(Engine);
        for (int64_t made = 0; made < n; made += 1000) {
            Clock.Advance(1000);
            pp::UpdateParticles(Engine);
        }
        pp::SetDisable(emitter, 1, 0);
    }
    pp::VirtualClock Clock{1000};
    pp::Engine Engine;
};

void BM_UpdateThroughApi(benchmark::State& state) {
    World api = MakeWorld(state.range(0));
    BareEngine direct(state.range(0));
    double apiSeconds = 0.0;
    double engineSeconds = 0.0;
    for (auto _ : state) {
        api.AdvanceTime(16);
        direct.Clock.Advance(16);
        const double t0 = pp::ThreadCpuSeconds();
        benchmark::DoNotOptimize(api.Update());
        const double t1 = pp::ThreadCpuSeconds();
        benchmark::DoNotOptimize(pp::UpdateParticles(direct.Engine));
        engineSeconds += pp::ThreadCpuSeconds() - t1;
        apiSeconds += t1 - t0;
    }
    state.counters["particles"] = static_cast<double>(api.ParticleCount());
    state.counters["api/engine"] = engineSeconds > 0.0 ? apiSeconds / engineSeconds : 0.0;
}
BENCHMARK(BM_UpdateThroughApi)->Arg(1000)->Arg(20000)->Unit(benchmark::kMicrosecond);

// Wall seconds of one draw of the world into the window's 800 x 600 framebuffer, the
// rasteriser's threads finished before and after.
double TimeDraw(Renderer& renderer, World& world, bool copies) {
    pp::DrawHostFramesThroughCopies(copies);
    glFinish();
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(renderer.Draw(world, 800, 600, true));
    glFinish();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The scene three seconds in, drawn through the renderer in a hidden window's own context:
// each iteration draws it straight (the time reported) and through the copies.
void BM_RendererScene(benchmark::State& state) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    if (chdir(PP_SOURCE_DIR) != 0 || SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        state.SkipWithError("no source tree or video");
        return;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_Window* window =
        SDL_CreateWindow("", 0, 0, 800, 600, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    SDL_GLContext context = window != nullptr ? SDL_GL_CreateContext(window) : nullptr;
    {
        WorldOptions options;
        options.Seed = 1;
        World world(options);
        auto renderer = Renderer::Create();
        if (!renderer.Error.empty()) {
            state.SkipWithError(renderer.Error.c_str());
        } else {
            for (const pp::SceneEffect& row : pp::kScene) {
                renderer.Value.LoadSprite(row.Number, row.Image);
                const auto loaded =
                    world.LoadEffectFile(row.Effect, row.X, row.Y, MissingFile::UseNameAsText);
                world.SetSpriteRange(loaded.Value, row.Number, -65535, 1);
            }
            for (int i = 0; i < 3000 / 16; ++i) {
                world.AdvanceTime(16);
                world.Update();
            }
            double straight = 0.0, copies = 0.0;
            for (auto _ : state) {
                const double seconds = TimeDraw(renderer.Value, world, false);
                straight += seconds;
                copies += TimeDraw(renderer.Value, world, true);
                state.SetIterationTime(seconds);
            }
            pp::DrawHostFramesThroughCopies(false);
            const auto count = static_cast<double>(state.iterations());
            state.counters["particles"] = static_cast<double>(world.ParticleCount());
            state.counters["straight_ms"] = straight * 1e3 / count;
            state.counters["copies_ms"] = copies * 1e3 / count;
            state.counters["straight/copies"] = copies > 0.0 ? straight / copies : 0.0;
            renderer.Value.Close();
        }
    }
    if (context != nullptr) SDL_GL_DeleteContext(context);
    if (window != nullptr) SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}
BENCHMARK(BM_RendererScene)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace particleplayer

BENCHMARK_MAIN();
