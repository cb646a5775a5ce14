// The OpenGL context a screen draws with in its window, and the video system under it: SDL2
// with an OpenGL 3.3 core context on the desktop (gl_context.cpp), a WebGL 2 context on the
// page's canvas in the browser (web/graphics.cpp). Not for use outside platform/.
#pragma once

namespace pp {

struct NativeWindow;  // platform/window.h

using GlContext = void*;

// Starts the video system and sets the context settings before any window exists (some
// drivers choose a window's pixel format from them). False when the video system cannot
// start.
bool StartContextVideo();

// Ends the video system's use by the graphics.
void EndContextVideo();

// Creates the window's context and makes it current; nullptr when that fails or it offers
// less than OpenGL 3.3 (WebGL 2 in the browser).
GlContext CreateGlContext(NativeWindow* window);

// Makes the context current again for the window.
void MakeGlContextCurrent(NativeWindow* window, GlContext context);

void DeleteGlContext(GlContext context);

// True when a context the caller made is current on this thread and offers OpenGL 3.3 or more
// (a host's own context, drawn into without a window of ours).
bool CurrentContextIsGl33();

// Presents once per display retrace when the driver allows.
void SwapOnRetrace();

// The window's client size and the size of its drawable in pixels (they differ on
// high-density displays).
struct WindowSizes {
    int Width = 0, Height = 0, DrawableWidth = 0, DrawableHeight = 0;
};
WindowSizes SizesOf(NativeWindow* window);

// Shows what was drawn into the window's default framebuffer.
void SwapWindowBuffers(NativeWindow* window);

}  // namespace pp
