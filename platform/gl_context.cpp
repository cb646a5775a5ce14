#include "platform/gl_context.h"

#include <SDL.h>
#include <epoxy/gl.h>

namespace pp {
namespace {

void SetContextAttributes() {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
}

}  // namespace

bool StartContextVideo() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    SetContextAttributes();
    return true;
}

void EndContextVideo() {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

GlContext CreateGlContext(SDL_Window* window) {
    SetContextAttributes();
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (context == nullptr) return nullptr;
    if (SDL_GL_MakeCurrent(window, context) != 0 || epoxy_gl_version() < 33) {
        SDL_GL_DeleteContext(context);
        return nullptr;
    }
    return context;
}

void MakeGlContextCurrent(SDL_Window* window, GlContext context) {
    SDL_GL_MakeCurrent(window, context);
}

void DeleteGlContext(GlContext context) {
    SDL_GL_DeleteContext(context);
}

bool CurrentContextIsGl33() {
    // Without a current context the version string is missing and this reads 0.
    return epoxy_gl_version() >= 33;
}

void SwapOnRetrace() {
    // A driver that refuses vsync presents without it.
    if (SDL_GL_SetSwapInterval(1) != 0) SDL_GL_SetSwapInterval(0);
}

WindowSizes SizesOf(SDL_Window* window) {
    WindowSizes sizes;
    SDL_GetWindowSize(window, &sizes.Width, &sizes.Height);
    SDL_GL_GetDrawableSize(window, &sizes.DrawableWidth, &sizes.DrawableHeight);
    return sizes;
}

void SwapWindowBuffers(SDL_Window* window) {
    SDL_GL_SwapWindow(window);
}

}  // namespace pp
