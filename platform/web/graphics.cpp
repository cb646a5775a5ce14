// The browser's video system: a WebGL 2 context on the page's canvas, presented by the
// browser when the frame's task returns.
#include <emscripten/html5.h>

#include <string>

#include "platform/gl_context.h"
#include "platform/video.h"
#include "platform/web/canvas_window.h"

namespace pp {
namespace {

std::string& LastError() {
    static std::string text;
    return text;
}

}  // namespace

void SetVideoError(const char* text) {
    LastError() = text;
}

bool StartContextVideo() {
    return true;
}

void EndContextVideo() {}

GlContext CreateGlContext(NativeWindow* window) {
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    // Like the desktop's window: opaque, no depth, stencil or multisampling.
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_FALSE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    attributes.premultipliedAlpha = EM_FALSE;
    // WebGL 2 itself is all the drawing needs; turning on every extension the browser offers
    // would cost the start-up a wait on the GPU process for each.
    attributes.enableExtensionsByDefault = EM_FALSE;
    // The page (index.html) makes the canvas's context with these same attributes while the
    // WebAssembly compiles; a canvas has one context, so this call gets that one.
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context =
        emscripten_webgl_create_context(window->Canvas, &attributes);
    if (context <= 0) {
        SetVideoError("this browser offers no WebGL 2 context on the page's canvas");
        return nullptr;
    }
    if (emscripten_webgl_make_context_current(context) != EMSCRIPTEN_RESULT_SUCCESS) {
        emscripten_webgl_destroy_context(context);
        SetVideoError("cannot make the WebGL 2 context current");
        return nullptr;
    }
    return reinterpret_cast<GlContext>(context);
}

void MakeGlContextCurrent(NativeWindow*, GlContext context) {
    emscripten_webgl_make_context_current(
        reinterpret_cast<EMSCRIPTEN_WEBGL_CONTEXT_HANDLE>(context));
}

void DeleteGlContext(GlContext context) {
    emscripten_webgl_destroy_context(reinterpret_cast<EMSCRIPTEN_WEBGL_CONTEXT_HANDLE>(context));
}

// A page has only the canvas's context, which is ours.
bool CurrentContextIsGl33() {
    return false;
}

// The browser shows frames at the display's rate by itself.
void SwapOnRetrace() {}

WindowSizes SizesOf(NativeWindow* window) {
    WindowSizes sizes;
    emscripten_get_canvas_element_size(window->Canvas, &sizes.DrawableWidth, &sizes.DrawableHeight);
    sizes.Width = window->Width;
    sizes.Height = window->Height;
    return sizes;
}

// The browser composites the canvas when the frame's task returns.
void SwapWindowBuffers(NativeWindow*) {}

DisplayDrivers ChooseDisplayDrivers() {
    return DisplayDrivers::Chosen;
}

void UseOffscreenVideo() {}

void ClearVideoError() {
    LastError().clear();
}

std::string VideoErrorText() {
    return LastError().empty() ? "" : "WebGL 2: " + LastError();
}

void EndVideo() {}

void KeepLoadedLibrariesUntilExit() {}

}  // namespace pp
