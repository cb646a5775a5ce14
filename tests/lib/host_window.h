// A host's own GL window for the tests of the library drawing in someone else's context, and a
// framebuffer object of the host's.
#pragma once

#include <SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "platform/video.h"

namespace pp::testing {

// A hidden window with an OpenGL 3.3 core context of its own and an alpha channel (so that a
// renderer writing the host's alpha shows), current while it lives.
struct HostWindow {
    explicit HostWindow(int width, int height) {
        SDL_InitSubSystem(SDL_INIT_VIDEO);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
        Window = SDL_CreateWindow("", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        Context = SDL_GL_CreateContext(Window);
        if (Context == nullptr) ADD_FAILURE() << SDL_GetError();
    }
    ~HostWindow() {
        // Mesa's driver stays loaded until exit, as the library's own screen and renderer keep
        // it: once unloaded, what it leaves behind is a leak the checker cannot name.
        KeepLoadedLibrariesUntilExit();
        SDL_GL_DeleteContext(Context);
        SDL_DestroyWindow(Window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    SDL_Window* Window;
    SDL_GLContext Context;
};

// A framebuffer object over a new RGBA texture of the size given, bound for drawing and reading.
inline GLuint TextureFramebuffer(int width, int height, GLuint& texture) {
    GLuint framebuffer = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    return framebuffer;
}

}  // namespace pp::testing
