// The C interface: each call checks its pointers, then forwards to the C++ API and turns its
// Status into a code, keeping the message in the world.
#include <algorithm>
#include <cstddef>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "lib/c_handles.h"
#include "lib/c_records.h"
#include "particleplayer.h"
#include "particleplayer/renderer.h"
#include "particleplayer/screen.h"
#include "particleplayer/vertices.h"
#include "particleplayer/world.h"

struct pp_vertices {
    particleplayer::VertexArray Array;
};

struct pp_renderer {
    particleplayer::Renderer Renderer;
    std::string LastError;
};

namespace {

pp_status Fail(pp_world* world, pp_status status, std::string message) {
    world->LastError = std::move(message);
    return status;
}

// The code of each ErrorKind, in the enum's order; Other stands for the call's own code.
constexpr pp_status kCodeOfKind[] = {PP_OK,          PP_ERROR_ARGUMENT, PP_ERROR_FILE,
                                     PP_ERROR_STATE, PP_ERROR_MEMORY,   PP_ERROR_STATE,
                                     PP_ERROR_STATE, PP_ERROR_STATE};
static_assert(std::size(kCodeOfKind) ==
              static_cast<size_t>(particleplayer::ErrorKind::NoScreen) + 1);

// A Status's or a Result's code: by its kind, `code` for a failure of no particular kind.
template <class Outcome>
pp_status CodeOf(const Outcome& outcome, pp_status code) {
    if (outcome.Ok()) return PP_OK;
    if (outcome.Kind == particleplayer::ErrorKind::Other) return code;
    return kCodeOfKind[static_cast<size_t>(outcome.Kind)];
}

template <class Outcome>
pp_status Report(pp_world* world, const Outcome& outcome, pp_status code) {
    if (!outcome.Ok()) world->LastError = outcome.Error;
    return CodeOf(outcome, code);
}

pp_status Report(pp_renderer* renderer, const particleplayer::Status& status, pp_status code) {
    if (!status.Ok()) renderer->LastError = status.Error;
    return CodeOf(status, code);
}

// Runs f, turning an allocation failure into a code instead of letting it cross into C.
template <class F>
pp_status Guard(F&& f) {
    try {
        return f();
    } catch (const std::bad_alloc&) {
        return PP_ERROR_MEMORY;
    } catch (...) {
        return PP_ERROR_ARGUMENT;
    }
}

// The group whose members' numbers the host gives.
particleplayer::EffectGroup GroupOf(const uint32_t* members, size_t count) {
    particleplayer::EffectGroup group;
    for (size_t i = 0; i < count; ++i) group.Members.push_back({members[i]});
    return group;
}

}  // namespace

extern "C" {

const char* pp_version(void) {
    return particleplayer::Version();
}

uint32_t pp_version_number(void) {
    return PP_VERSION_MAJOR * 10000u + PP_VERSION_MINOR * 100u + PP_VERSION_PATCH;
}

const char* pp_status_text(pp_status status) {
    switch (status) {
        case PP_OK:
            return "ok";
        case PP_ERROR_NULL:
            return "null handle or pointer";
        case PP_ERROR_ARGUMENT:
            return "bad argument";
        case PP_ERROR_FILE:
            return "file cannot be read";
        case PP_ERROR_STATE:
            return "not possible in this state";
        case PP_ERROR_MEMORY:
            return "out of memory";
    }
    return "unknown status";
}

pp_status pp_world_create(pp_world** out, uint32_t start_ms) {
    if (out == nullptr) return PP_ERROR_NULL;
    *out = nullptr;
    return Guard([&] {
        particleplayer::WorldOptions options;
        options.StartTime = start_ms;
        *out = new pp_world(options);
        return PP_OK;
    });
}

pp_status pp_world_create_in(pp_world** out, uint32_t start_ms, const char* base_folder,
                             int32_t first_sprite_file) {
    if (out == nullptr) return PP_ERROR_NULL;
    *out = nullptr;
    return Guard([&] {
        particleplayer::WorldOptions options;
        options.StartTime = start_ms;
        options.BaseFolder = base_folder == nullptr ? "" : base_folder;
        options.FirstSpriteFileNumber = first_sprite_file;
        *out = new pp_world(options);
        return PP_OK;
    });
}

pp_status pp_world_create_with_clock(pp_world** out, pp_clock_fn clock, void* user) {
    if (out == nullptr) return PP_ERROR_NULL;
    *out = nullptr;
    if (clock == nullptr) return PP_ERROR_NULL;
    return Guard([&] {
        particleplayer::WorldOptions options;
        options.HostClock = [clock, user] { return clock(user); };
        *out = new pp_world(options);
        return PP_OK;
    });
}

void pp_world_destroy(pp_world* world) {
    delete world;
}

const char* pp_world_last_error(const pp_world* world) {
    return world == nullptr ? "null world" : world->LastError.c_str();
}

pp_status pp_world_set_time(pp_world* world, uint32_t ms) {
    if (world == nullptr) return PP_ERROR_NULL;
    return Report(world, world->World.SetTime(ms), PP_ERROR_STATE);
}

pp_status pp_world_advance_time(pp_world* world, uint32_t ms) {
    if (world == nullptr) return PP_ERROR_NULL;
    return Report(world, world->World.AdvanceTime(ms), PP_ERROR_STATE);
}

pp_status pp_world_seed(pp_world* world, uint32_t seed) {
    if (world == nullptr) return PP_ERROR_NULL;
    world->World.Seed(seed);
    return PP_OK;
}

pp_status pp_world_load_effect_file(pp_world* world, const char* path, float x, float y,
                                    uint32_t* effect) {
    if (world == nullptr) return PP_ERROR_NULL;
    if (path == nullptr || effect == nullptr) return Fail(world, PP_ERROR_NULL, "null argument");
    *effect = 0;
    return Guard([&] {
        const auto result = world->World.LoadEffectFile(path, x, y);
        if (result.Ok()) *effect = result.Value.Id;
        return Report(world, result, PP_ERROR_FILE);
    });
}

pp_status pp_world_load_effect_text(pp_world* world, const char* text, size_t length, float x,
                                    float y, uint32_t* effect) {
    if (world == nullptr) return PP_ERROR_NULL;
    if ((text == nullptr && length != 0) || effect == nullptr) {
        return Fail(world, PP_ERROR_NULL, "null argument");
    }
    *effect = 0;
    return Guard([&] {
        const auto result = world->World.LoadEffectText(
            std::string_view(text == nullptr ? "" : text, length), x, y);
        if (result.Ok()) *effect = result.Value.Id;
        return Report(world, result, PP_ERROR_ARGUMENT);
    });
}

pp_status pp_world_set_sprite_range(pp_world* world, uint32_t effect, int32_t min, int32_t max,
                                    int32_t inc) {
    if (world == nullptr) return PP_ERROR_NULL;
    return Report(world, world->World.SetSpriteRange({effect}, min, max, inc), PP_ERROR_ARGUMENT);
}

pp_status pp_world_set_position(pp_world* world, uint32_t effect, float x, float y) {
    if (world == nullptr) return PP_ERROR_NULL;
    return Report(world, world->World.SetPosition({effect}, x, y), PP_ERROR_ARGUMENT);
}

pp_status pp_world_set_force_point(pp_world* world, uint32_t effect, int vortex, float x, float y) {
    if (world == nullptr) return PP_ERROR_NULL;
    return Report(world, world->World.SetForcePoint({effect}, vortex != 0, x, y),
                  PP_ERROR_ARGUMENT);
}

pp_status pp_world_set_emission_rate(pp_world* world, uint32_t effect, float min, float max,
                                     float inc) {
    if (world == nullptr) return PP_ERROR_NULL;
    return Report(world, world->World.SetEmissionRate({effect}, min, max, inc), PP_ERROR_ARGUMENT);
}

pp_status pp_world_set_disabled(pp_world* world, uint32_t effect, int disabled) {
    if (world == nullptr) return PP_ERROR_NULL;
    return Report(world, world->World.SetDisabled({effect}, disabled != 0), PP_ERROR_ARGUMENT);
}

pp_status pp_world_remove_effect(pp_world* world, uint32_t effect) {
    if (world == nullptr) return PP_ERROR_NULL;
    return Report(world, world->World.RemoveEffect({effect}), PP_ERROR_ARGUMENT);
}

pp_status pp_world_load_effect_group(pp_world* world, const char* path, float x, float y,
                                     uint32_t* members, size_t capacity, size_t* count) {
    if (world == nullptr) return PP_ERROR_NULL;
    if (path == nullptr || count == nullptr || (members == nullptr && capacity != 0)) {
        return Fail(world, PP_ERROR_NULL, "null argument");
    }
    *count = 0;
    return Guard([&] {
        const auto result = world->World.LoadEffectGroup(path, x, y);
        if (!result.Ok()) return Report(world, result, PP_ERROR_FILE);
        const std::vector<particleplayer::Effect>& loaded = result.Value.Members;
        *count = loaded.size();
        if (loaded.size() > capacity) {
            // Kept only whole: a host that cannot name every member could never remove them.
            (void)world->World.RemoveGroup(result.Value);
            return Fail(world, PP_ERROR_ARGUMENT,
                        "the group has " + std::to_string(loaded.size()) +
                            " members, more than "
                            "the " +
                            std::to_string(capacity) + " places given: nothing loaded");
        }
        for (size_t i = 0; i < loaded.size(); ++i) members[i] = loaded[i].Id;
        return PP_OK;
    });
}

pp_status pp_world_set_group_position(pp_world* world, const uint32_t* members, size_t count,
                                      float x, float y) {
    if (world == nullptr) return PP_ERROR_NULL;
    if (members == nullptr && count != 0) return Fail(world, PP_ERROR_NULL, "null argument");
    return Guard([&] {
        return Report(world, world->World.SetGroupPosition(GroupOf(members, count), x, y),
                      PP_ERROR_ARGUMENT);
    });
}

pp_status pp_world_remove_group(pp_world* world, const uint32_t* members, size_t count) {
    if (world == nullptr) return PP_ERROR_NULL;
    if (members == nullptr && count != 0) return Fail(world, PP_ERROR_NULL, "null argument");
    return Guard([&] {
        return Report(world, world->World.RemoveGroup(GroupOf(members, count)), PP_ERROR_ARGUMENT);
    });
}

pp_status pp_world_set_force_point_at(pp_world* world, uint32_t effect, int vortex, int32_t index,
                                      float x, float y) {
    if (world == nullptr) return PP_ERROR_NULL;
    return Report(world, world->World.SetForcePoint({effect}, vortex != 0, x, y, index),
                  PP_ERROR_ARGUMENT);
}

pp_status pp_world_set_threads(pp_world* world, int32_t threads) {
    if (world == nullptr) return PP_ERROR_NULL;
    return Guard(
        [&] { return Report(world, world->World.SetThreads(threads), PP_ERROR_ARGUMENT); });
}

pp_status pp_force_cpu_path(pp_cpu_path path) {
    static_assert(PP_CPU_AVX512 == static_cast<int>(particleplayer::CpuPath::Avx512));
    // Checked before the cast: an enum from C may hold any int.
    if (path < PP_CPU_SCALAR || path > PP_CPU_AVX512) return PP_ERROR_ARGUMENT;
    const particleplayer::Status forced =
        particleplayer::ForceCpuPath(static_cast<particleplayer::CpuPath>(path));
    return forced.Ok() ? PP_OK : PP_ERROR_ARGUMENT;
}

pp_cpu_path pp_active_cpu_path(void) {
    return static_cast<pp_cpu_path>(particleplayer::ActiveCpuPath());
}

pp_status pp_world_reapply_effect_file(pp_world* world, uint32_t effect, const char* path, float x,
                                       float y) {
    if (world == nullptr) return PP_ERROR_NULL;
    if (path == nullptr) return Fail(world, PP_ERROR_NULL, "null argument");
    return Guard([&] {
        return Report(world, world->World.ReapplyEffectFile({effect}, path, x, y), PP_ERROR_FILE);
    });
}

pp_status pp_world_remove_all_effects(pp_world* world) {
    if (world == nullptr) return PP_ERROR_NULL;
    world->World.RemoveAllEffects();
    return PP_OK;
}

pp_status pp_world_effect_particle_count(pp_world* world, uint32_t effect, int64_t* count) {
    if (world == nullptr) return PP_ERROR_NULL;
    if (count == nullptr) return Fail(world, PP_ERROR_NULL, "null argument");
    const auto result = world->World.ParticleCount({effect});
    *count = result.Value;
    return Report(world, result, PP_ERROR_ARGUMENT);
}

pp_status pp_world_update(pp_world* world, float* seconds) {
    if (world == nullptr) return PP_ERROR_NULL;
    return Guard([&] {
        const float dt = world->World.Update();
        if (seconds != nullptr) *seconds = dt;
        return PP_OK;
    });
}

pp_status pp_world_particle_count(pp_world* world, int64_t* count) {
    if (world == nullptr) return PP_ERROR_NULL;
    if (count == nullptr) return Fail(world, PP_ERROR_NULL, "null argument");
    *count = world->World.ParticleCount();
    return PP_OK;
}

pp_status pp_world_sprite_file_count(pp_world* world, size_t* count) {
    if (world == nullptr) return PP_ERROR_NULL;
    if (count == nullptr) return Fail(world, PP_ERROR_NULL, "null argument");
    return Guard([&] {
        *count = world->World.SpriteFiles().size();
        return PP_OK;
    });
}

pp_status pp_world_sprite_file(pp_world* world, size_t index, int32_t* number, const char** path) {
    if (world == nullptr) return PP_ERROR_NULL;
    if (number == nullptr || path == nullptr) return Fail(world, PP_ERROR_NULL, "null argument");
    return Guard([&] {
        const std::vector<particleplayer::SpriteFile> files = world->World.SpriteFiles();
        if (index >= files.size())
            return Fail(world, PP_ERROR_ARGUMENT, "no sprite file has this index");
        world->SpritePath = files[index].Path;
        *number = files[index].Number;
        *path = world->SpritePath.c_str();
        return PP_OK;
    });
}

pp_status pp_world_set_max_particles(pp_world* world, int64_t max) {
    if (world == nullptr) return PP_ERROR_NULL;
    return Guard(
        [&] { return Report(world, world->World.SetMaxParticles(max), PP_ERROR_ARGUMENT); });
}

pp_status pp_world_dropped_births(pp_world* world, int64_t* count) {
    if (world == nullptr) return PP_ERROR_NULL;
    if (count == nullptr) return Fail(world, PP_ERROR_NULL, "null argument");
    *count = world->World.DroppedBirths();
    return PP_OK;
}

pp_status pp_world_particles(pp_world* world, uint32_t effect, pp_particle* out, size_t capacity,
                             size_t* count) {
    if (world == nullptr) return PP_ERROR_NULL;
    if (count == nullptr || (out == nullptr && capacity != 0)) {
        return Fail(world, PP_ERROR_NULL, "null argument");
    }
    return Guard([&] {
        const particleplayer::Status status = world->World.Particles({effect}, world->Particles);
        if (!status.Ok()) return Report(world, status, PP_ERROR_ARGUMENT);
        return GiveParticles(world->Particles, nullptr, out, nullptr, capacity, count);
    });
}

pp_status pp_world_all_particles(pp_world* world, pp_particle* out, int32_t* started_as,
                                 size_t capacity, size_t* count) {
    if (world == nullptr) return PP_ERROR_NULL;
    if (count == nullptr || (out == nullptr && capacity != 0)) {
        return Fail(world, PP_ERROR_NULL, "null argument");
    }
    return Guard([&] {
        world->World.AllParticles(world->Particles, &world->StartedAs);
        return GiveParticles(world->Particles, &world->StartedAs, out, started_as, capacity, count);
    });
}

pp_status pp_world_effect_params(pp_world* world, uint32_t effect, pp_effect_params* params) {
    if (world == nullptr) return PP_ERROR_NULL;
    if (params == nullptr) return Fail(world, PP_ERROR_NULL, "null argument");
    const auto result = world->World.Params({effect});
    if (!result.Ok()) return Report(world, result, PP_ERROR_ARGUMENT);
    *params = CParams(result.Value);
    return PP_OK;
}

pp_status pp_world_effect_extras(pp_world* world, uint32_t effect, pp_effect_extras* extras) {
    if (world == nullptr) return PP_ERROR_NULL;
    if (extras == nullptr) return Fail(world, PP_ERROR_NULL, "null argument");
    const auto result = world->World.Extras({effect});
    if (!result.Ok()) return Report(world, result, PP_ERROR_ARGUMENT);
    *extras = CExtras(result.Value);
    return PP_OK;
}

pp_status pp_world_started_effect(pp_world* world, int32_t number, pp_effect_params* params,
                                  pp_effect_extras* extras, const char** file) {
    if (world == nullptr) return PP_ERROR_NULL;
    return Guard([&] {
        auto result = world->World.StartedEffectOf(number);
        if (!result.Ok()) return Report(world, result, PP_ERROR_ARGUMENT);
        if (params != nullptr) *params = CParams(result.Value.Params);
        if (extras != nullptr) *extras = CExtras(result.Value.Extras);
        world->StartedFile = std::move(result.Value.File);
        if (file != nullptr) *file = world->StartedFile.c_str();
        return PP_OK;
    });
}

pp_status pp_vertices_create(pp_vertices** out) {
    if (out == nullptr) return PP_ERROR_NULL;
    *out = nullptr;
    return Guard([&] {
        *out = new pp_vertices();
        return PP_OK;
    });
}

void pp_vertices_destroy(pp_vertices* vertices) {
    delete vertices;
}

pp_status pp_world_build_vertices(pp_world* world, int32_t layer, pp_vertices* vertices) {
    if (world == nullptr) return PP_ERROR_NULL;
    if (vertices == nullptr) return Fail(world, PP_ERROR_NULL, "null vertex array");
    return Guard([&] {
        return Report(world, particleplayer::BuildVertices(world->World, vertices->Array, layer),
                      PP_ERROR_ARGUMENT);
    });
}

// The C records are the C++ ones under other names.
static_assert(sizeof(pp_vertex) == sizeof(particleplayer::Vertex));
static_assert(sizeof(pp_vertex_run) == sizeof(particleplayer::VertexRun));

pp_status pp_vertices_data(const pp_vertices* vertices, const pp_vertex** data, size_t* count) {
    if (vertices == nullptr || data == nullptr || count == nullptr) return PP_ERROR_NULL;
    *data = reinterpret_cast<const pp_vertex*>(vertices->Array.Vertices.data());
    *count = vertices->Array.Vertices.size();
    return PP_OK;
}

pp_status pp_vertices_runs(const pp_vertices* vertices, const pp_vertex_run** runs, size_t* count) {
    if (vertices == nullptr || runs == nullptr || count == nullptr) return PP_ERROR_NULL;
    *runs = reinterpret_cast<const pp_vertex_run*>(vertices->Array.Runs.data());
    *count = vertices->Array.Runs.size();
    return PP_OK;
}

pp_status pp_screen_open(const char* title, int32_t width, int32_t height, int hidden) {
    if (title == nullptr) return PP_ERROR_NULL;
    return Guard([&] {
        particleplayer::ScreenOptions options;
        options.Title = title;
        options.Width = width;
        options.Height = height;
        options.Hidden = hidden != 0;
        return CodeOf(particleplayer::OpenScreen(options), PP_ERROR_STATE);
    });
}

pp_status pp_screen_load_sprite(int32_t number, const char* path) {
    if (path == nullptr) return PP_ERROR_NULL;
    return Guard([&] { return CodeOf(particleplayer::LoadSprite(number, path), PP_ERROR_FILE); });
}

pp_status pp_screen_set_background(uint8_t red, uint8_t green, uint8_t blue) {
    return CodeOf(particleplayer::SetBackground(red, green, blue), PP_ERROR_STATE);
}

pp_status pp_screen_set_background_image(const uint8_t* rgb, size_t size, int32_t width,
                                         int32_t height) {
    if (rgb == nullptr) return PP_ERROR_NULL;
    return Guard([&] {
        return CodeOf(particleplayer::SetBackgroundImage({rgb, size}, width, height),
                      PP_ERROR_ARGUMENT);
    });
}

pp_status pp_screen_draw(pp_world* world, int update) {
    if (world == nullptr) return PP_ERROR_NULL;
    return Report(world, particleplayer::DrawFrame(world->World, update != 0), PP_ERROR_STATE);
}

pp_status pp_screen_draw_timed(pp_world* world, int update, pp_frame_times* times) {
    if (world == nullptr || times == nullptr) return PP_ERROR_NULL;
    particleplayer::FrameTimes t;
    const particleplayer::Status status =
        particleplayer::DrawTimedFrame(world->World, t, update != 0);
    if (!status.Ok()) return Report(world, status, PP_ERROR_STATE);
    *times = {t.UpdateSeconds, t.SubmissionSeconds, t.DrawCallSeconds, t.PresentSeconds, t.Quads,
              t.Threads};
    return PP_OK;
}

pp_status pp_screen_read_pixels(uint8_t* rgb, size_t size) {
    if (rgb == nullptr) return PP_ERROR_NULL;
    return Guard([&] {
        std::vector<uint8_t> pixels;
        if (!particleplayer::ReadPixels(pixels).Ok()) return PP_ERROR_STATE;
        if (size < pixels.size()) return PP_ERROR_ARGUMENT;
        std::copy(pixels.begin(), pixels.end(), rgb);
        return PP_OK;
    });
}

void pp_screen_close(void) {
    particleplayer::CloseScreen();
}

pp_status pp_renderer_create(pp_renderer** out) {
    if (out == nullptr) return PP_ERROR_NULL;
    *out = nullptr;
    return Guard([&] {
        auto created = particleplayer::Renderer::Create();
        if (!created.Ok()) return PP_ERROR_STATE;
        *out = new pp_renderer{std::move(created.Value), {}};
        return PP_OK;
    });
}

void pp_renderer_destroy(pp_renderer* renderer) {
    delete renderer;
}

const char* pp_renderer_last_error(const pp_renderer* renderer) {
    return renderer == nullptr ? "null renderer" : renderer->LastError.c_str();
}

pp_status pp_renderer_load_sprite(pp_renderer* renderer, int32_t number, const char* path) {
    if (renderer == nullptr || path == nullptr) return PP_ERROR_NULL;
    if (number < 0) return PP_ERROR_ARGUMENT;
    return Guard([&] {
        return Report(renderer, renderer->Renderer.LoadSprite(number, path), PP_ERROR_FILE);
    });
}

pp_status pp_renderer_load_sprite_rgba(pp_renderer* renderer, int32_t number, int32_t width,
                                       int32_t height, const uint8_t* rgba, size_t size) {
    if (renderer == nullptr || rgba == nullptr) return PP_ERROR_NULL;
    return Guard([&] {
        return Report(renderer,
                      renderer->Renderer.LoadSpritePixels(number, width, height, rgba, size),
                      PP_ERROR_ARGUMENT);
    });
}

pp_status pp_renderer_draw(pp_renderer* renderer, pp_world* world, int32_t width, int32_t height,
                           int clear) {
    if (renderer == nullptr || world == nullptr) return PP_ERROR_NULL;
    return Guard([&] {
        return Report(renderer, renderer->Renderer.Draw(world->World, width, height, clear != 0),
                      PP_ERROR_ARGUMENT);
    });
}

}  // extern "C"
