// What a window is in the browser: the page's canvas, sized to the window's client area. The
// platform's interfaces name windows SDL_Window*, so the browser backend defines that type
// as this record. Not for use outside platform/web/.
#pragma once

struct SDL_Window {
    const char* Canvas;  // CSS selector of the canvas element
    int Width, Height;
};

namespace pp {

// The canvas every window of the page draws into.
inline constexpr char kCanvasSelector[] = "#canvas";

// Sets the video system's last error ("" clears it).
void SetVideoError(const char* text);

}  // namespace pp
