// What the screen, the sprites and the quad renderer share about the OpenGL device; not for
// use outside draw/.
#pragma once

namespace pp {

// True while a screen is open and its context is current: GL calls are safe.
bool DeviceReady();

// Makes the back buffer the draw target with a viewport covering the whole screen.
void BindBackBuffer();

// Draws the quads still waiting in the batch. The screen calls it before anything that reads,
// clears or shows the back buffer; sprites call it before releasing a texture.
void FlushQuadBatch();

// Forgets the quad renderer's GL objects and pending quads; called before the context goes.
void DropQuadDeviceObjects();

}  // namespace pp
