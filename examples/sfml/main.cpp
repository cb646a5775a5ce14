// A game loop on SFML: particleplayer's vertex array drawn as an sf::VertexArray of triangles,
// one draw per run with the run's sf::BlendMode and the sprite's sf::Texture, the effect
// following the mouse on the real clock.
//   sfml EFFECT.txt SPRITE.png
// Deterministic mode, for tests: --seed S --frames N --out FRAME.ppm draws N frames into an
// sf::RenderTexture at the clock readings 1000 + 16 k (the effect at the centre) and writes
// the last one.
#include <particleplayer/vertices.h>
#include <particleplayer/world.h>

#include <SFML/Graphics.hpp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

using Factor = sf::BlendMode::Factor;

// A blend code's SFML factor, the frame's alpha read as 1 (docs/embedding.md): destination
// alpha is one, its inverse and the saturated source alpha are zero.
Factor FactorOf(int32_t code, bool source) {
    static const Factor table[] = {sf::BlendMode::Zero,     sf::BlendMode::One,
                                   sf::BlendMode::SrcColor, sf::BlendMode::OneMinusSrcColor,
                                   sf::BlendMode::SrcAlpha, sf::BlendMode::OneMinusSrcAlpha,
                                   sf::BlendMode::One,      sf::BlendMode::Zero,
                                   sf::BlendMode::DstColor, sf::BlendMode::OneMinusDstColor,
                                   sf::BlendMode::Zero};
    if (code >= 1 && code <= 11) return table[code - 1];
    return source ? sf::BlendMode::SrcAlpha : sf::BlendMode::OneMinusSrcAlpha;
}

// The pair's blend mode, the target's alpha kept: 12 and 13 set both factors, from either
// place, the source place first.
sf::BlendMode BlendOf(int32_t source, int32_t destination) {
    Factor s = FactorOf(source, true), d = FactorOf(destination, false);
    for (const int32_t both : {destination, source}) {
        if (both == 12) s = sf::BlendMode::SrcAlpha, d = sf::BlendMode::OneMinusSrcAlpha;
        if (both == 13) s = sf::BlendMode::OneMinusSrcAlpha, d = sf::BlendMode::SrcAlpha;
    }
    return sf::BlendMode(s, d, sf::BlendMode::Add, sf::BlendMode::Zero, sf::BlendMode::One,
                         sf::BlendMode::Add);
}

// The layer's quads into `target`: SFML puts pixel centres at halves and takes texture
// coordinates in texels.
void DrawParticles(sf::RenderTarget& target, const particleplayer::VertexArray& quads,
                   const sf::Texture& sprite, sf::VertexArray& triangles) {
    const sf::Vector2f texels(sprite.getSize());
    for (const particleplayer::VertexRun& run : quads.Runs) {
        if (run.Sprite != 1) continue;  // no sprite under that number: nothing is drawn
        triangles.clear();
        for (uint32_t i = run.First; i < run.First + run.Count; ++i) {
            const particleplayer::Vertex& v = quads.Vertices[i];
            triangles.append(sf::Vertex({v.X + 0.5f, v.Y + 0.5f},
                                        sf::Color(v.Red, v.Green, v.Blue, v.Alpha),
                                        {v.U * texels.x, v.V * texels.y}));
        }
        sf::RenderStates states(BlendOf(run.BlendSource, run.BlendDestination));
        states.texture = &sprite;
        target.draw(triangles, states);
    }
}

}  // namespace

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
        std::fputs("usage: sfml EFFECT.txt SPRITE.png [--seed S --frames N --out F.ppm]\n", stderr);
        return 2;
    }
    const bool scripted = frames > 0;
    constexpr unsigned kWidth = 800, kHeight = 600;
    std::optional<sf::RenderWindow> window;
    sf::RenderTexture frame;
    if (scripted) {
        if (!frame.create(kWidth, kHeight)) return 1;
    } else {
        window.emplace(sf::VideoMode(kWidth, kHeight), "sfml");
        window->setVerticalSyncEnabled(true);
    }
    sf::RenderTarget& target = scripted ? static_cast<sf::RenderTarget&>(frame) : *window;
    sf::Texture sprite;
    particleplayer::World world(options);
    const auto effect = world.LoadEffectFile(effectPath, kWidth / 2, kHeight / 2);
    if (!sprite.loadFromFile(spritePath) || !effect.Ok()) {
        std::fprintf(stderr, "sfml: %s\n",
                     effect.Ok() ? "cannot read the sprite" : effect.Error.c_str());
        return 1;
    }
    world.SetSpriteRange(effect.Value, 1, particleplayer::kSameAsMin, 1);
    particleplayer::VertexArray quads;
    sf::VertexArray triangles(sf::Triangles);
    sf::Clock clock;
    for (long k = 1; !scripted || k <= frames; ++k) {
        if (window) {
            sf::Event event;
            while (window->pollEvent(event)) {
                if (event.type == sf::Event::Closed) window->close();
                if (event.type == sf::Event::MouseMoved) {
                    world.SetPosition(effect.Value, static_cast<float>(event.mouseMove.x),
                                      static_cast<float>(event.mouseMove.y));
                }
            }
            if (!window->isOpen()) break;
        }
        world.SetTime(scripted
                          ? static_cast<uint32_t>(1000 + 16 * k)
                          : 1000 + static_cast<uint32_t>(clock.getElapsedTime().asMilliseconds()));
        world.Update();
        particleplayer::BuildVertices(world, quads);
        target.clear(sf::Color::Black);
        DrawParticles(target, quads, sprite, triangles);
        if (window) window->display();
    }
    if (out != nullptr) {
        frame.display();
        const sf::Image image = frame.getTexture().copyToImage();
        std::FILE* file = std::fopen(out, "wb");
        if (file == nullptr) return 1;
        std::fprintf(file, "P6\n%u %u\n255\n", kWidth, kHeight);
        const sf::Uint8* rgba = image.getPixelsPtr();
        for (unsigned i = 0; i < kWidth * kHeight; ++i) std::fwrite(rgba + i * 4, 1, 3, file);
        std::fclose(file);
    }
    return 0;
}
