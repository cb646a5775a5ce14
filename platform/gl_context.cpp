#include "platform/gl_context.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include "platform/sdl_window.h"

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

GlContext CreateGlContext(NativeWindow* window) {
    SetContextAttributes();
    SDL_GLContext context = SDL_GL_CreateContext(SdlWindowOf(window));
    if (context == nullptr) return nullptr;
    if (SDL_GL_MakeCurrent(SdlWindowOf(window), context) != 0 || epoxy_gl_version() < 33) {
        SDL_GL_DeleteContext(context);
        return nullptr;
    }
    return context;
}

void MakeGlContextCurrent(NativeWindow* window, GlContext context) {
    SDL_GL_MakeCurrent(SdlWindowOf(window), context);
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

WindowSizes SizesOf(NativeWindow* window) {
    WindowSizes sizes;
    SDL_GetWindowSize(SdlWindowOf(window), &sizes.Width, &sizes.Height);
    SDL_GL_GetDrawableSize(SdlWindowOf(window), &sizes.DrawableWidth, &sizes.DrawableHeight);
    return sizes;
}

void SwapWindowBuffers(NativeWindow* window) {
    SDL_GL_SwapWindow(SdlWindowOf(window));
}

}  // namespace pp
