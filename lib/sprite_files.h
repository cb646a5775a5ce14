// The images effects name with SpriteFile, loaded by the bundled renderers under the numbers
// their world gives them, once per number and path. Shared by the library's screen and the
// Renderer, which are one per process like the sprites themselves.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "particles/particles.h"

namespace particleplayer {

// Loads each sprite file of the engine that is not yet loaded under its number from the same
// path, through load(number, path). A number the host loaded itself is left to the host's
// sprite, a path that is no regular file is not opened (and draws nothing), and a file that
// fails to load (load returns false) is not tried again until its number names another path.
// A sprite freed since (its screen closed) is loaded again.
void LoadWorldSpriteFiles(const pp::Engine& engine,
                          const std::function<bool(int32_t, const std::string&)>& load);

// The host loaded sprite `number` itself: no world's sprite file replaces it.
void KeepHostSprite(int32_t number);

// The screen or renderer closed: its sprites, and what was loaded under which number, are gone.
void ForgetSpriteFiles();

}  // namespace particleplayer
