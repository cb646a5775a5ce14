// The sprites of the effect gallery (examples/effects/): white or near-white shapes with soft
// alpha, so that the effects' colours and curves tint them, and one sheet of animation cells.
#include <cmath>
#include <cstddef>
#include <functional>
#include <string>
#include <utility>

#include "tools/sprite_painter.h"

namespace pp {
namespace {

constexpr float kPi = 3.14159265f;

struct Texel {
    float R = 1.0f, G = 1.0f, B = 1.0f, A = 0.0f;
};

// Each pixel the mean of 4 x 4 samples of `shade` over u, v in -1..1 (cell by cell for a sheet
// of columns x rows cells, the cell's number passed along).
SpriteImage Paint(std::string name, int32_t cell, int32_t columns, int32_t rows,
                  const std::function<Texel(float u, float v, int32_t k)>& shade) {
    SpriteImage image;
    image.Name = std::move(name);
    image.Width = cell * columns;
    image.Height = cell * rows;
    image.Rgba.resize(static_cast<std::size_t>(image.Width) *
                      static_cast<std::size_t>(image.Height) * 4u);
    const float half = static_cast<float>(cell) * 0.5f;
    for (int32_t y = 0; y < image.Height; ++y) {
        for (int32_t x = 0; x < image.Width; ++x) {
            const int32_t k = (y / cell) * columns + x / cell;
            float r = 0.0f, g = 0.0f, b = 0.0f, a = 0.0f;
            for (int32_t s = 0; s < 16; ++s) {
                const float px =
                    static_cast<float>(x % cell) + (static_cast<float>(s % 4) + 0.5f) / 4;
                const float py =
                    static_cast<float>(y % cell) + (static_cast<float>(s / 4) + 0.5f) / 4;
                const Texel t = shade((px - half) / half, (py - half) / half, k);
                r += t.R * t.A, g += t.G * t.A, b += t.B * t.A, a += t.A;
            }
            uint8_t* p =
                &image.Rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(image.Width) +
                             static_cast<std::size_t>(x)) *
                            4u];
            const auto byte = [](float v) {
                return static_cast<uint8_t>(std::lround(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255));
            };
            p[0] = byte(a > 0 ? r / a : 1);
            p[1] = byte(a > 0 ? g / a : 1);
            p[2] = byte(a > 0 ? b / a : 1);
            p[3] = byte(a / 16);
        }
    }
    return image;
}

// Zero at and beyond the cell's edge, so neighbouring cells never bleed into each other.
float Edge(float u, float v) {
    const float r = std::sqrt(u * u + v * v);
    return r >= 0.95f ? 0.0f : 1.0f;
}

Texel Glow(float u, float v, int32_t) {
    const float r2 = u * u + v * v;
    return {1, 1, 1, Edge(u, v) * std::exp(-r2 * 6.0f)};
}

// A lumpy puff: a few soft blobs around the centre.
Texel Puff(float u, float v, int32_t) {
    static constexpr float kBlobs[][3] = {
        {0.0f, 0.0f, 0.45f}, {-0.3f, 0.15f, 0.3f}, {0.28f, 0.2f, 0.32f}, {0.1f, -0.3f, 0.3f}};
    float a = 0.0f;
    for (const auto& blob : kBlobs) {
        const float du = u - blob[0], dv = v - blob[1];
        a += std::exp(-(du * du + dv * dv) / (blob[2] * blob[2]));
    }
    return {1, 1, 1, Edge(u, v) * std::fmin(a * 0.6f, 1.0f)};
}

// A short streak along u, brightest at its front end: a drop flying at angle 0, which the
// engine turns to its direction of flight.
Texel Drop(float u, float v, int32_t) {
    const float across = std::exp(-(v * v) / 0.004f);
    const float along = u < -0.8f || u > 0.8f ? 0.0f : 0.35f + 0.65f * (u + 0.8f) / 1.6f;
    return {0.85f, 0.92f, 1.0f, Edge(u, v) * across * along};
}

// A comet flying at angle 0: a round head at the front (u = 0.5) and a tail that widens and
// fades behind it, for the engine to turn and stretch along the flight.
Texel Comet(float u, float v, int32_t) {
    const float du = u - 0.5f;
    const float head = std::exp(-(du * du + v * v) / 0.03f);
    const float behind = std::fmax(0.0f, std::fmin(1.0f, (u + 0.9f) / 1.4f));
    const float tail = u < 0.5f ? behind * std::exp(-(v * v) / (0.06f - 0.05f * behind)) : 0.0f;
    return {1.0f, 0.92f, 0.75f, Edge(u, v) * std::fmin(1.0f, head + 0.7f * tail)};
}

// A star of `points` rays turned by `turn` radians, its rays `length` long.
float Star(float u, float v, int32_t points, float turn, float length) {
    const float r = std::sqrt(u * u + v * v);
    const float phi = std::atan2(v, u) - turn;
    const float ray = std::pow(std::fabs(std::cos(phi * static_cast<float>(points) * 0.5f)), 24.0f);
    const float core = std::exp(-r * r * 30.0f);
    const float arms = ray * std::fmax(0.0f, 1.0f - r / length);
    return std::fmin(1.0f, core + arms);
}

Texel FourRays(float u, float v, int32_t) {
    return {1, 1, 1, Edge(u, v) * Star(u, v, 4, 0.0f, 0.9f)};
}

// Sixteen cells of a spark that flares and turns: rays grow and shrink twice over the cells.
Texel SparkCell(float u, float v, int32_t k) {
    const float phase = static_cast<float>(k) / 16.0f;
    const float length = 0.45f + 0.45f * (0.5f + 0.5f * std::sin(phase * 4.0f * kPi));
    const float a = Star(u, v, 6, phase * kPi / 3.0f, length);
    return {1.0f, 0.95f, 0.8f, Edge(u, v) * a};
}

}  // namespace

std::vector<SpriteImage> PaintGallerySprites() {
    std::vector<SpriteImage> sprites;
    sprites.push_back(Paint("Fire", 64, 1, 1, Puff));
    sprites.push_back(Paint("Firework", 32, 1, 1, Glow));
    sprites.push_back(Paint("Sparks", 64, 4, 4, SparkCell));
    sprites.push_back(Paint("MagicSwirl", 32, 1, 1, FourRays));
    sprites.push_back(Paint("Rain", 32, 1, 1, Drop));
    sprites.push_back(Paint("Explosion", 64, 1, 1, Puff));
    sprites.push_back(Paint("Smoke", 64, 1, 1, Puff));
    sprites.push_back(Paint("RainOnFloor", 32, 1, 1, Drop));
    sprites.push_back(Paint("SparkTrails", 32, 1, 1, Glow));
    sprites.push_back(Paint("Comet", 64, 1, 1, Comet));
    sprites.push_back(Paint("RocketTrail", 64, 1, 1, Puff));
    return sprites;
}

}  // namespace pp
