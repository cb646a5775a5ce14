// Drawing into an OpenGL context the host made and keeps current: the screen of screen.h opened
// in that context, its sprites and the frames of a world's layer 0, with exactly the pixels the
// library's own window composes: drawn straight into the host's SDL window when the frame is
// as tall as it, else composed in the screen's back buffer and copied over (see
// host_context.cpp). Every call leaves the host's GL state as it found it (see
// host_context.cpp) and does nothing, or fails, unless that screen is open. Call from the host's GL
// thread with its context current.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "particles/particles.h"

namespace pp {

// Opens the screen in the current context. Returns "" or why it cannot be opened.
std::string OpenHostContextScreen();

// Loads an image file, or top-down R, G, B, A rows of width x height, as sprite number and its
// quad sprite. Returns "" or why it could not be loaded.
std::string LoadHostSprite(int32_t number, const char* path);
std::string LoadHostSpritePixels(int32_t number, int32_t width, int32_t height,
                                 std::span<const uint8_t> rgba);

// Draws the engine's layer 0 over the lower-left width x height pixels of the draw framebuffer
// bound now, after clearing them to black when clear is set. Returns "" or why it could not.
std::string DrawIntoHostFramebuffer(Engine& engine, int32_t width, int32_t height, bool clear);

// With on, frames go through the screen's back buffer and two copies even where they could be
// drawn straight, for contexts without clip control and to compare the two ways.
void DrawHostFramesThroughCopies(bool on);

// Frees the sprites and every GL object of the screen, and closes it.
void CloseHostContextScreen();

}  // namespace pp
