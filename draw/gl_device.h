// What the screen, the sprites and the quad renderer share about the OpenGL device; not for
// use outside draw/. The screen keeps the device and everything else draws through it; the
// one thing the screen needs of what queues draws (the quad batch) is handed to it as two
// calls, so that the dependency runs one way, from the queue to the screen.
#pragma once

namespace pp {

// True while a screen is open and its context is current: GL calls are safe.
bool DeviceReady();

// Makes the back buffer the draw target with a viewport covering the whole screen.
void BindBackBuffer();

// What the screen asks of the draws queued for its back buffer: Flush draws them now (before
// anything reads, clears or shows the back buffer); Drop forgets their GL objects and
// whatever is still queued (before the context goes).
struct QueuedDraws {
    void (*Flush)() = nullptr;
    void (*Drop)() = nullptr;
};

// Set by the queue when the program starts; the screen calls them from then on.
void SetQueuedDraws(QueuedDraws draws);

// Draws what is queued now: sprites call it before they release a texture.
void FlushQueuedDraws();

}  // namespace pp
