// What a window is in the browser: the page's canvas, sized to the window's client area. Not
// for use outside platform/web/.
#pragma once

namespace pp {

// The browser backend's NativeWindow (platform/window.h).
struct NativeWindow {
    const char* Canvas;  // CSS selector of the canvas element
    int Width, Height;
};

// The canvas every window of the page draws into.
inline constexpr char kCanvasSelector[] = "#canvas";

// Sets the video system's last error ("" clears it).
void SetVideoError(const char* text);

}  // namespace pp
