// The drawing screen inside a window: an OpenGL 3.3 core context whose back buffer is an
// offscreen framebuffer of exactly ScreenWidth x ScreenHeight with an RGB colour buffer (no
// alpha: destination alpha reads as 1). Presenting copies it into the window, so the last
// frame can be shown again at any time. Every operation does nothing, or fails, while no
// screen is open.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace pp {

struct NativeWindow;  // platform/window.h

// Starts SDL video and prepares the context settings. Returns 1 when they run (started now or
// before), 0 when SDL video cannot start.
int32_t InitGraphics();

// Opens a screen of width x height at (x, y) in the window's client area, closing the screen
// that is open first; the back buffer is shown there pixel for pixel. Returns 1 or 0; every
// failure frees all sprites.
int32_t OpenScreenInWindow(NativeWindow* window, int32_t x, int32_t y, int32_t width,
                           int32_t height);

// Clears the whole back buffer; colour holds red in bits 0-7, green 8-15, blue 16-23.
void FillScreen(int32_t colour);

// What ClearToBackground fills the back buffer with: a colour word as FillScreen takes it
// (0, black, until set), or a picture of the screen's size as top-down rows of R, G, B bytes.
// Closing the screen goes back to black. The picture is refused (false) without a window
// screen or when its size is not the back buffer's.
void SetScreenBackground(int32_t colour);
bool SetScreenBackgroundImage(std::span<const uint8_t> rgb);

// Clears the whole back buffer to the background: the frame's first step.
void ClearToBackground();

// Begins the frame's scene unless begun. Returns 1 while a scene is begun, 0 without screen.
int32_t EnsureScene();

// Puts back the plain state the screen itself draws with (back buffer bound, full viewport).
void ApplyDefaultStates();

// Ends the scene and shows the back buffer in the window, waiting for the display's retrace
// when the driver allows. Returns 1 (0 is kept for a device lost beyond recovery, which
// OpenGL does not report here).
int32_t PresentFrame();

// Closes the screen: frees all sprites, drops the context. Does nothing when none is open.
void ReleaseScreen();

// Opens the screen in the OpenGL context current on the calling thread, made by the host: the
// same back buffer, sprites and quads, but no window, no swap and no window events. The back
// buffer is sized by SizeHostScreen. Returns 1, or 0 while a screen is open or when no context
// of OpenGL 3.3 or later is current.
int32_t OpenScreenInCurrentContext();

// True while the open screen lives in the host's context.
bool ScreenInHostContext();

// Gives the host-context screen a back buffer of width x height (1 to the device's texture
// limit), keeping the old one when the size is the same. Returns 1 or 0.
int32_t SizeHostScreen(int32_t width, int32_t height);

// Makes the host-context screen draw straight into the given framebuffer of the host's (0: its
// window) over its lower-left width x height pixels instead of its back buffer (which is kept
// when there is one): quads go there with the viewport width x height and the same
// projection, so the frame's top row lands on the area's bottom row unless the caller turns
// GL's window y axis over. SizeHostScreen goes back to the back buffer. Returns 1, or 0
// without a host-context screen or for a size below 1.
int32_t AimHostScreen(uint32_t framebuffer, int32_t width, int32_t height);

// Copies the lower-left ScreenWidth x ScreenHeight pixels of the given framebuffer (0: the
// host's window) into the back buffer, top row first, or back from the back buffer into it
// (alpha left as it is there); both do nothing while the screen draws straight into the
// host's framebuffer. Leave the framebuffer bindings, the viewport, the program,
// vertex array, texture binding of unit 0 and blending changed.
void CopyFramebufferToScreen(uint32_t framebuffer);
void CopyScreenToFramebuffer(uint32_t framebuffer);

// Releases the screen and ends the graphics system's use of SDL video.
void ShutdownGraphics();

// Size of the back buffer; 0 while no screen is open.
int32_t ScreenWidth();
int32_t ScreenHeight();

// Reads the back buffer as top-down rows of B, G, R bytes (ScreenWidth * 3 per row, no
// padding). Returns false, leaving bgr empty, when no screen is open or it has no back buffer
// (the host-context screen aimed at the host's framebuffer).
bool ReadScreenPixels(std::vector<uint8_t>& bgr);

}  // namespace pp
