// A minimal game loop on particleplayer: the game's own 800 x 600 window and OpenGL 3.3 context,
// into which the library's renderer draws an effect that follows the mouse, on the real clock.
//   sdl_game EFFECT.txt SPRITE.png
// Deterministic mode, for tests: --seed S --frames N --out FRAME.ppm draws N frames hidden at
// the clock readings 1000 + 16 k (the effect at the centre) and writes the last one.
#include <SDL.h>
#include <epoxy/gl.h>
#include <particleplayer/renderer.h>
#include <particleplayer/world.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    const char *effectPath = nullptr, *spritePath = nullptr, *out = nullptr;
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
        } else {
            (effectPath == nullptr ? effectPath : spritePath) = argv[i];
        }
    }
    if (effectPath == nullptr || spritePath == nullptr) {
        std::fputs("usage: sdl_game EFFECT.txt SPRITE.png [--seed S --frames N --out F.ppm]\n",
                   stderr);
        return 2;
    }
    const bool scripted = frames > 0;
    constexpr int kWidth = 800, kHeight = 600;
    // The game's own window and context; the renderer draws into whatever context is current.
    SDL_Init(SDL_INIT_VIDEO);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    for (SDL_GLattr size : {SDL_GL_RED_SIZE, SDL_GL_GREEN_SIZE, SDL_GL_BLUE_SIZE}) {
        SDL_GL_SetAttribute(size, 8);
    }
    SDL_Window* window = SDL_CreateWindow(
        "sdl_game", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kWidth, kHeight,
        SDL_WINDOW_OPENGL | (scripted ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN));
    if (window != nullptr) SDL_GL_CreateContext(window);
    // Without a host clock the world keeps a virtual one; the game sets it from SDL's ticks.
    particleplayer::World world(options);
    auto renderer = particleplayer::Renderer::Create();
    particleplayer::Status status{renderer.Error};
    if (status.Ok()) status = renderer.Value.LoadSprite(1, spritePath);
    const auto effect = world.LoadEffectFile(effectPath, kWidth / 2, kHeight / 2);
    if (!status.Ok() || !effect.Ok()) {  // Create fails without a context
        std::fprintf(stderr, "sdl_game: %s\n", (status.Ok() ? effect.Error : status.Error).c_str());
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
        glClear(GL_COLOR_BUFFER_BIT);  // the game's own scene would be drawn here
        renderer.Value.Draw(world, kWidth, kHeight);
        if (scripted && frame == frames) {  // bottom-up rows, read before the swap
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        }
        SDL_GL_SwapWindow(window);
    }
    if (out != nullptr) {
        std::FILE* file = std::fopen(out, "wb");
        if (file == nullptr) return 1;
        std::fprintf(file, "P6\n%d %d\n255\n", kWidth, kHeight);
        for (int row = kHeight - 1; row >= 0; --row) {
            std::fwrite(&rgb[row * kWidth * 3], 1, kWidth * 3, file);
        }
        std::fclose(file);
    }
    renderer.Value.Close();  // while its context is current; SDL_Quit then closes both
    SDL_Quit();
    return 0;
}
