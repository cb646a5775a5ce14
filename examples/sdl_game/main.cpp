// A minimal game loop on particleplayer: an effect follows the mouse in an 800 x 600 window
// drawn by the library's OpenGL 3.3 renderer, on the real clock, until the window is closed.
//   sdl_game EFFECT.txt SPRITE.png
// Deterministic mode, for tests: --seed S --frames N --out FRAME.ppm draws N frames hidden at
// the clock readings 1000 + 16 k (the effect at the centre) and writes the last one.
#include <SDL.h>
#include <particleplayer/screen.h>
#include <particleplayer/world.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const char* effectPath = nullptr;
    const char* spritePath = nullptr;
    const char* out = nullptr;
    long frames = 0;
    particleplayer::WorldOptions options;
    for (int i = 1; i < argc; ++i) {
        const bool value = i + 1 < argc;
        if (value && std::strcmp(argv[i], "--seed") == 0) {
            options.Seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (value && std::strcmp(argv[i], "--frames") == 0) {
            frames = std::strtol(argv[++i], nullptr, 10);
        } else if (value && std::strcmp(argv[i], "--out") == 0) {
            out = argv[++i];
        } else if (effectPath == nullptr) {
            effectPath = argv[i];
        } else {
            spritePath = argv[i];
        }
    }
    if (effectPath == nullptr || spritePath == nullptr) {
        std::fputs("usage: sdl_game EFFECT.txt SPRITE.png [--seed S --frames N --out F.ppm]\n",
                   stderr);
        return 2;
    }
    const bool scripted = frames > 0;
    SDL_Init(SDL_INIT_VIDEO);  // the host's own events; the library shares SDL
    particleplayer::ScreenOptions screen;
    screen.Title = "sdl_game";
    screen.Hidden = scripted;
    // Without a host clock the world keeps a virtual one; the game sets it from SDL's ticks.
    particleplayer::World world(options);
    particleplayer::Status status = particleplayer::OpenScreen(screen);
    if (status.Ok()) status = particleplayer::LoadSprite(1, spritePath);
    const auto effect = world.LoadEffectFile(effectPath, 400, 300);
    if (!status.Ok() || !effect.Ok()) {
        std::fprintf(stderr, "sdl_game: %s\n", (status.Ok() ? effect.Error : status.Error).c_str());
        return 1;
    }
    world.SetSpriteRange(effect.Value, 1, -65535, 1);
    const uint32_t start = SDL_GetTicks();
    for (long frame = 1; !scripted || frame <= frames; ++frame) {
        SDL_Event event;
        bool quit = false;
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_QUIT) quit = true;
            if (event.type == SDL_MOUSEMOTION && !scripted) {
                world.SetPosition(effect.Value, static_cast<float>(event.motion.x),
                                  static_cast<float>(event.motion.y));
            }
        }
        if (quit) break;
        world.SetTime(scripted ? static_cast<uint32_t>(1000 + 16 * frame)
                               : 1000 + (SDL_GetTicks() - start));
        particleplayer::DrawFrame(world);
    }
    if (out != nullptr) {
        std::vector<uint8_t> rgb;
        particleplayer::ReadPixels(rgb);
        std::FILE* file = std::fopen(out, "wb");
        if (file == nullptr) return 1;
        std::fprintf(file, "P6\n%d %d\n255\n", screen.Width, screen.Height);
        std::fwrite(rgb.data(), 1, rgb.size(), file);
        std::fclose(file);
    }
    particleplayer::CloseScreen();
    SDL_Quit();
    return 0;
}
