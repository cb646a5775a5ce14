// The public API's cost over the engine: the same population updated through World::Update
// and through the engine call it forwards to, alternating in one run; the counter "api/engine"
// is their ratio (target: within 1.05). The world is made and filled through public calls
// alone, the engine through the engine's own, in the same steps.
// The renderer's draw of the player's scene into a host's window, straight beside
// composing in the screen's back buffer with two full-frame copies, alternating in one run on
// SDL's offscreen driver; the counter "straight/copies" is their ratio.
// The public vertex array in its three forms beside the renderer's own submission of the same
// world (its CPU time less the driver's GL calls), alternating in one run; the counters
// "vertices/renderer", "indexed/renderer" and "instances/renderer" are their ratios.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/scene.h"
#include "draw/host_context.h"
#include "draw/quad_stats.h"
#include "effects/loader.h"
#include "particleplayer/renderer.h"
#include "particleplayer/vertices.h"
#include "particleplayer/world.h"
#include "particles/particles.h"
#include "runtime/clock_readings.h"

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
    world.SetEmissionRate(effect, 1000.0f, particleplayer::kSameAsMin, 1.0f);
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
        pp::SetValueSpec(emitter->EmissionRate, 1000.0f, pp::kSameAsMin<float>, 1.0f);
        pp::UpdateParticles(Engine);
        for (int64_t made = 0; made < n; made += 1000) {
            Clock.Advance(1000);
            pp::UpdateParticles(Engine);
        }
        emitter->Disable = 1;
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

// A hidden window with its own GL 3.3 context on SDL's offscreen driver, for the renderer.
struct HiddenWindow {
    HiddenWindow() {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        if (chdir(PP_SOURCE_DIR) != 0 || SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return;
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        Window = SDL_CreateWindow("", 0, 0, 800, 600, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        Context = Window != nullptr ? SDL_GL_CreateContext(Window) : nullptr;
    }
    ~HiddenWindow() {
        if (Context != nullptr) SDL_GL_DeleteContext(Context);
        if (Window != nullptr) SDL_DestroyWindow(Window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    SDL_Window* Window = nullptr;
    SDL_GLContext Context = nullptr;
};

// The scene three seconds in, drawn through the renderer in a hidden window's own context:
// each iteration draws it straight (the time reported) and through the copies.
void BM_RendererScene(benchmark::State& state) {
    HiddenWindow window;
    if (window.Context == nullptr) {
        state.SkipWithError("no source tree or video");
        return;
    }
    WorldOptions options;
    options.Seed = 1;
    World world(options);
    auto renderer = Renderer::Create();
    if (!renderer.Error.empty()) {
        state.SkipWithError(renderer.Error.c_str());
        return;
    }
    for (const pp::SceneEffect& row : pp::kScene) {
        renderer.Value.LoadSprite(row.Number, row.Image);
        const auto loaded =
            world.LoadEffectFile(row.Effect, row.X, row.Y, MissingFile::UseNameAsText);
        world.SetSpriteRange(loaded.Value, row.Number, particleplayer::kSameAsMin, 1);
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
BENCHMARK(BM_RendererScene)->UseManualTime()->Unit(benchmark::kMillisecond);

// Small spinning particles over the frame, emitted at 1000 a second from a frame-sized area.
constexpr const char* kSmallEffect =
    "LifeTime = 100000,\nSize = {Min = 2, Max = 8, Inc = 1},\n"
    "EmitterArea = {Type = Rectangle, Width = 800, Height = 600},\n"
    "Rotation = {Min = -3, Max = 3, Inc = 0.5}";

// The renderer's submission of the world (this thread's CPU time in its draw, less the driver's
// GL calls, which llvmpipe runs here) beside one vertex form of the same quads (0 the six
// vertices, 1 the indexed four, 2 the instances; 3 to 5 the same forms' bytes alone, their
// stores' floor), thread CPU time per particle. A host builds the one form it draws with, so a
// row builds only that form: the others' arrays would push this one's out of the caches, which
// no host's frame does. With threads the calling thread's
// CPU time leaves out what the workers do (the renderer hands them all its staging), so the
// "_wall" counters give both in wall time, the GL calls' time taken from the renderer's.
void BM_VertexArrayBesideRenderer(benchmark::State& state) {
    HiddenWindow window;
    auto renderer = window.Context != nullptr ? Renderer::Create() : Result<Renderer>{};
    if (window.Context == nullptr || !renderer.Error.empty()) {
        state.SkipWithError("no video or renderer");
        return;
    }
    renderer.Value.LoadSprite(1, "Data/Sternchen.png");
    WorldOptions options;
    options.Seed = 1;
    World world(options);
    world.SetThreads(static_cast<int32_t>(state.range(1)));
    const Effect effect = world.LoadEffectText(kSmallEffect, 400, 300).Value;
    world.SetSpriteRange(effect, 1, particleplayer::kSameAsMin, 1);
    world.SetEmissionRate(effect, 1000.0f, particleplayer::kSameAsMin, 1.0f);
    world.Update();
    for (int64_t made = 0; made < state.range(0); made += 1000) {
        world.AdvanceTime(1000);
        world.Update();
    }
    world.SetDisabled(effect, true);
    const int64_t form = state.range(2);
    VertexArray vertices;
    IndexedVertexArray indexed;
    InstanceArray instances;
    double drawn = 0.0, drawnWall = 0.0;
    double built = 0.0, builtWall = 0.0;
    // Rows 3 to 5 write only the bytes of form 0 to 2 (one for every particle's quad), by memset
    // into an array of that size: what storing them costs without working any of them out.
    const size_t sizes[3] = {6 * sizeof(Vertex), 4 * sizeof(Vertex), sizeof(QuadInstance)};
    std::vector<unsigned char> bytes(form >= 3 ? world.ParticleCount() * sizes[form - 3] : 0);
    using Clock = std::chrono::steady_clock;
    const auto since = [](Clock::time_point t) {
        return std::chrono::duration<double>(Clock::now() - t).count();
    };
    for (auto _ : state) {
        glFinish();
        pp::ResetQuadDrawStats();
        const double t0 = pp::ThreadCpuSeconds();
        const Clock::time_point w0 = Clock::now();
        renderer.Value.Draw(world, 800, 600, true);
        const double t1 = pp::ThreadCpuSeconds();
        const double gl = pp::ReadQuadDrawStats().DrawSeconds;
        drawnWall += since(w0) - gl;
        drawn += (t1 - t0) - gl;
        glFinish();
        const double t2 = pp::ThreadCpuSeconds();
        const Clock::time_point w2 = Clock::now();
        if (form == 0) BuildVertices(world, vertices);
        if (form == 1) BuildIndexedVertices(world, indexed);
        if (form == 2) BuildInstances(world, instances);
        if (form >= 3) {
            std::memset(bytes.data(), 0x5A, bytes.size());
            benchmark::DoNotOptimize(bytes.data());
        }
        builtWall += since(w2);
        built += pp::ThreadCpuSeconds() - t2;
        benchmark::DoNotOptimize(vertices.Vertices.data());
        benchmark::DoNotOptimize(indexed.Vertices.data());
        benchmark::DoNotOptimize(instances.Instances.data());
    }
    const double particles = static_cast<double>(world.ParticleCount());
    const double per = 1e9 / (particles * static_cast<double>(state.iterations()));
    state.counters["particles"] = particles;
    state.counters["renderer_ns"] = drawn * per;
    state.counters["form_ns"] = built * per;
    state.counters["form/renderer"] = drawn > 0.0 ? built / drawn : 0.0;
    state.counters["renderer_wall_ns"] = drawnWall * per;
    state.counters["form_wall_ns"] = builtWall * per;
    state.counters["form/renderer_wall"] = drawnWall > 0.0 ? builtWall / drawnWall : 0.0;
    renderer.Value.Close();
}
BENCHMARK(BM_VertexArrayBesideRenderer)
    ->ArgNames({"particles", "threads", "form"})
    ->ArgsProduct({{20000, 100000}, {1}, {0, 1, 2, 3, 4, 5}})
    ->ArgsProduct({{100000}, {2}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace particleplayer

BENCHMARK_MAIN();
