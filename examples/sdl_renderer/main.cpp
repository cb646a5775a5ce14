// A game loop on SDL's 2D renderer: the game's own 800 x 600 window and SDL_Renderer (whatever
// SDL picks: Direct3D, Metal, OpenGL or software), through which particleplayer draws an
// effect that follows the mouse, on the real clock, over the game's own backdrop.
//   sdl_renderer EFFECT.txt SPRITE.png [--software]
// Deterministic mode, for tests: --seed S --frames N --out FRAME.ppm draws N frames hidden at
// the clock readings 1000 + 16 k (the effect at the centre, no backdrop) and writes the last.
#include <SDL.h>
#include <particleplayer/sdl_renderer.h>
#include <particleplayer/world.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    const char *effectPath = nullptr, *spritePath = nullptr, *out = nullptr;
    long frames = 0;
    Uint32 flags = SDL_RENDERER_ACCELERATED;
    particleplayer::WorldOptions options;
    for (int i = 1; i < argc; ++i) {
        const bool value = i + 1 < argc;
        if (value && std::strcmp(argv[i], "--seed") == 0) {
            options.Seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (value && std::strcmp(argv[i], "--frames") == 0) {
            frames = std::strtol(argv[++i], nullptr, 10);
        } else if (value && std::strcmp(argv[i], "--out") == 0) {
            out = argv[++i];
        } else if (std::strcmp(argv[i], "--software") == 0) {
            flags = SDL_RENDERER_SOFTWARE;
        } else {
            (effectPath == nullptr ? effectPath : spritePath) = argv[i];
        }
    }
    if (effectPath == nullptr || spritePath == nullptr) {
        std::fputs(
            "usage: sdl_renderer EFFECT.txt SPRITE.png [--software] [--seed S --frames N "
            "--out F.ppm]\n",
            stderr);
        return 2;
    }
    const bool scripted = frames > 0;
    constexpr int kWidth = 800, kHeight = 600;
    SDL_Init(SDL_INIT_VIDEO);
    SDL_Window* window =
        SDL_CreateWindow("sdl_renderer", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kWidth,
                         kHeight, scripted ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN);
    SDL_Renderer* screen = window != nullptr ? SDL_CreateRenderer(window, -1, flags) : nullptr;
    if (screen == nullptr) {
        std::fprintf(stderr, "sdl_renderer: %s\n", SDL_GetError());
        return 1;
    }
    particleplayer::World world(options);
    auto particles = particleplayer::SdlRenderer::Create(screen);
    particleplayer::Status status{particles.Error};
    if (status.Ok()) status = particles.Value.LoadSprite(1, spritePath);
    const auto effect = world.LoadEffectFile(effectPath, kWidth / 2, kHeight / 2);
    if (!status.Ok() || !effect.Ok()) {
        std::fprintf(stderr, "sdl_renderer: %s\n",
                     (status.Ok() ? effect.Error : status.Error).c_str());
        return 1;
    }
    world.SetSpriteRange(effect.Value, 1, particleplayer::kSameAsMin, 1);
    std::vector<uint8_t> rgb(kWidth * kHeight * 3);
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
        world.Update();
        SDL_SetRenderDrawColor(screen, 0, 0, 0, 255);
        SDL_RenderClear(screen);
        if (!scripted) {  // the game's own scene: a floor under the effect
            const SDL_Rect floor{0, kHeight - 120, kWidth, 120};
            SDL_SetRenderDrawColor(screen, 40, 32, 48, 255);
            SDL_RenderFillRect(screen, &floor);
        }
        status = particles.Value.Draw(world);
        if (!status.Ok()) {
            std::fprintf(stderr, "sdl_renderer: %s\n", status.Error.c_str());
            return 1;
        }
        if (scripted && frame == frames) {  // top-down rows, read before the present
            SDL_RenderReadPixels(screen, nullptr, SDL_PIXELFORMAT_RGB24, rgb.data(), kWidth * 3);
        }
        SDL_RenderPresent(screen);
    }
    if (out != nullptr) {
        std::FILE* file = std::fopen(out, "wb");
        if (file == nullptr) return 1;
        std::fprintf(file, "P6\n%d %d\n255\n", kWidth, kHeight);
        std::fwrite(rgb.data(), 1, rgb.size(), file);
        std::fclose(file);
    }
    particles.Value.Close();  // before the SDL_Renderer that holds its textures
    SDL_DestroyRenderer(screen);
    SDL_Quit();
    return 0;
}
