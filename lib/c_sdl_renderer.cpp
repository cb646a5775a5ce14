// The C entry points of the SDL_Renderer back-end: each checks its pointers, then forwards to
// SdlRenderer and keeps the message of a failure in the handle.
#include <new>
#include <string>

#include "lib/c_handles.h"
#include "particleplayer.h"
#include "particleplayer/sdl_renderer.h"

struct pp_sdl_renderer {
    particleplayer::SdlRenderer Renderer;
    std::string LastError;
};

namespace {

pp_status Report(pp_sdl_renderer* renderer, const particleplayer::Status& status, pp_status code) {
    if (status.Ok()) return PP_OK;
    renderer->LastError = status.Error;
    return code;
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

}  // namespace

extern "C" {

pp_status pp_sdl_renderer_create(struct SDL_Renderer* renderer, pp_sdl_renderer** out) {
    if (out == nullptr) return PP_ERROR_NULL;
    *out = nullptr;
    if (renderer == nullptr) return PP_ERROR_NULL;
    return Guard([&] {
        auto created = particleplayer::SdlRenderer::Create(renderer);
        if (!created.Ok()) return PP_ERROR_STATE;
        *out = new pp_sdl_renderer{std::move(created.Value), {}};
        return PP_OK;
    });
}

void pp_sdl_renderer_destroy(pp_sdl_renderer* renderer) {
    delete renderer;
}

const char* pp_sdl_renderer_last_error(const pp_sdl_renderer* renderer) {
    return renderer == nullptr ? "null renderer" : renderer->LastError.c_str();
}

pp_status pp_sdl_renderer_load_sprite(pp_sdl_renderer* renderer, int32_t number, const char* path) {
    if (renderer == nullptr || path == nullptr) return PP_ERROR_NULL;
    if (number < 0) return PP_ERROR_ARGUMENT;
    return Guard([&] {
        return Report(renderer, renderer->Renderer.LoadSprite(number, path), PP_ERROR_FILE);
    });
}

pp_status pp_sdl_renderer_load_sprite_rgba(pp_sdl_renderer* renderer, int32_t number, int32_t width,
                                           int32_t height, const uint8_t* rgba, size_t size) {
    if (renderer == nullptr || rgba == nullptr) return PP_ERROR_NULL;
    return Guard([&] {
        return Report(renderer,
                      renderer->Renderer.LoadSpritePixels(number, width, height, rgba, size),
                      PP_ERROR_ARGUMENT);
    });
}

pp_status pp_sdl_renderer_draw(pp_sdl_renderer* renderer, pp_world* world, int32_t layer,
                               int32_t offset_x, int32_t offset_y) {
    if (renderer == nullptr || world == nullptr) return PP_ERROR_NULL;
    return Guard([&] {
        return Report(renderer, renderer->Renderer.Draw(world->World, layer, offset_x, offset_y),
                      PP_ERROR_STATE);
    });
}

}  // extern "C"
