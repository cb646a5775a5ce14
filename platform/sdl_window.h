// On the desktop a platform window is an SDL window: the platform's interfaces pass it as the
// opaque NativeWindow, and these turn one into the other without a record in between. For the
// desktop backend (window.cpp, gl_context.cpp) and tests that look at the SDL window itself.
#pragma once

struct SDL_Window;

namespace pp {

struct NativeWindow;

inline SDL_Window* SdlWindowOf(NativeWindow* window) {
    return reinterpret_cast<SDL_Window*>(window);
}

inline NativeWindow* NativeWindowOf(SDL_Window* window) {
    return reinterpret_cast<NativeWindow*>(window);
}

}  // namespace pp
