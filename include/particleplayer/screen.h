/// @file
/// particleplayer/screen.h - the bundled OpenGL 3.3 renderer and its window.
///
/// The library can open one window with an OpenGL 3.3 core screen of a fixed size (through
/// SDL2; the host may use SDL itself for its events), keep numbered sprites (PNG or BMP files)
/// and draw a world's layer 0 into it: cleared to black (or a chosen background), every particle a
/// textured quad with its effect's blend factors, shown in the window. A hidden window draws the
/// same pixels without a display (SDL's offscreen video driver works on any machine with Mesa).
///
/// The window, its screen and the sprites are one per process, shared by every world drawn
/// into them; call these functions from the thread that opened the screen. Failures come back
/// as a Status with a message.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "particleplayer/world.h"

namespace particleplayer {

/// Which displays a screen may open on.
enum class ScreenDisplay : uint8_t {
    /// The video system's own choice (SDL_VIDEODRIVER where set).
    Any,
    /// Only a display the environment announces (X11 for DISPLAY, Wayland for
    /// WAYLAND_DISPLAY) unless SDL_VIDEODRIVER names the drivers: left alone, the video system
    /// falls back to drawing offscreen, where a window shows frames nobody can see. A NoVideo
    /// error when neither is set.
    Announced,
    /// No display, whatever DISPLAY says: SDL's offscreen driver, for hidden screens. SIGINT
    /// and SIGTERM then end the process as usual instead of turning into close requests.
    None,
};

/// How a screen is opened.
struct ScreenOptions {
    const char* Title = "particleplayer";        ///< Window caption.
    int32_t Width = 800;                         ///< Back buffer width, 1 to kMaxPixelSide.
    int32_t Height = 600;                        ///< Back buffer height, 1 to kMaxPixelSide.
    bool Hidden = false;                         ///< Draw without showing a window.
    ScreenDisplay Display = ScreenDisplay::Any;  ///< Which displays it may open on.
};

/// Starts SDL video, opens the window and its screen. Opening again closes the old one first.
/// Fails while a Renderer (renderer.h) is open: the sprites are shared with it.
Status OpenScreen(const ScreenOptions& options);

/// Loads an image file as sprite `number` (0 or more), replacing an older one; particles of
/// that sprite number draw with it. Needs an open screen.
Status LoadSprite(int32_t number, std::string_view path);

/// What DrawFrame clears to before it draws: black until set, and again once the screen
/// closes. Factors that read the destination's alpha see 1 over any background.
Status SetBackground(uint8_t red, uint8_t green, uint8_t blue);

/// A picture as the background: top-down rows of R, G, B bytes (width * 3 each), exactly the
/// open screen's size.
Status SetBackgroundImage(std::span<const uint8_t> rgb, int32_t width, int32_t height);

/// One frame: clears to the background (black unless set), updates the world (unless update is
/// false), draws its layer 0 and shows the frame.
Status DrawFrame(World& world, bool update = true);

/// How long the parts of one frame took, in seconds. With one thread the update and the
/// submission are CPU time of the calling thread (the GL driver's own threads not counted);
/// when the world works on more threads they are wall time, so that no work moved to another
/// thread goes uncounted.
struct FrameTimes {
    double UpdateSeconds = 0.0;      ///< The world's update; 0 when not updated.
    double SubmissionSeconds = 0.0;  ///< Particles to vertices in GL's buffers.
    double DrawCallSeconds = 0.0;    ///< GL's draw calls (a software renderer works in them).
    double PresentSeconds = 0.0;     ///< Wall time of showing the frame; it is rasterised then.
    int64_t Quads = 0;               ///< Particles drawn.
    int32_t Threads = 1;             ///< Threads the update and the drawing could use.
};

/// DrawFrame, with the time each part of the frame took written to `times`.
Status DrawTimedFrame(World& world, FrameTimes& times, bool update = true);

/// The last frame drawn, as top-down rows of R, G, B bytes (Width * 3 bytes each).
Status ReadPixels(std::vector<uint8_t>& rgb);

/// The order of the bytes of one pixel.
enum class PixelOrder : uint8_t {
    Rgb,  ///< Red, green, blue.
    Bgr,  ///< Blue, green, red: the screen's own order, read without reordering.
};

/// ReadPixels with each pixel's bytes in `order`.
Status ReadPixels(std::vector<uint8_t>& pixels, PixelOrder order);

/// A size in pixels.
struct PixelSize {
    int32_t Width = 0;   ///< Pixels across.
    int32_t Height = 0;  ///< Pixels down.
};

/// The open screen's size; 0 x 0 while none is open.
PixelSize ScreenSize();

/// Sets the window's caption; does nothing while no screen is open.
void SetScreenTitle(const char* title);

/// What WaitScreenEvent saw.
enum class ScreenEvent : uint8_t {
    None,            ///< Nothing came in time.
    CloseRequested,  ///< The user asked to close the window (or the process was told to end).
    Other,           ///< Any other event; the screen has handled what it needs to (repaints).
};

/// Waits up to `timeout_ms` milliseconds (0: just look, -1: no limit) for the window's next
/// event.
ScreenEvent WaitScreenEvent(int32_t timeout_ms);

/// The keyboard keys a KeyboardHook names; every other key comes as Other.
enum class KeyboardKey : int32_t { Other = 0, Escape = 1, Space = 2, R = 3, S = 4 };

/// Called for every keyboard key pressed while the window has the focus (a held key's repeats
/// excluded), as WaitScreenEvent takes the event in.
using KeyboardHook = void (*)(KeyboardKey key);

/// Sets the one keyboard hook; nullptr removes it.
void SetKeyboardHook(KeyboardHook hook);

/// "" when the bytes are an image LoadSprite can use (a PNG or BMP file that decodes);
/// otherwise why not, in a few words ("a broken PNG (...)", "not a PNG or BMP image").
std::string SpriteImageProblem(std::span<const uint8_t> bytes);

/// Closes the window, frees the sprites and ends the library's use of SDL video.
void CloseScreen();

}  // namespace particleplayer
