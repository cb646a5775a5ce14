#include "tools/sprite_painter.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>

namespace pp {
namespace {

constexpr float Pi = 3.14159265f;

// Each pixel averages a 4 x 4 grid of samples, so thin rays and the bubble's rim come out
// anti-aliased instead of stair-stepped.
constexpr int32_t SubSamples = 4;

// A colour with straight alpha, every channel in 0..1.
struct Shade {
    float R = 0.0f;
    float G = 0.0f;
    float B = 0.0f;
    float A = 0.0f;
};

// u and v run from -1 to 1 across the sprite, v downwards like the screen.
using ShadeFunction = std::function<Shade(float u, float v)>;

float Clamp01(float x) {
    if (!(x > 0.0f)) return 0.0f;  // also NaN
    return x < 1.0f ? x : 1.0f;
}

float SmoothStep(float edge0, float edge1, float x) {
    const float t = Clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

float Mix(float a, float b, float t) {
    return a + (b - a) * t;
}

float Gauss(float x, float width) {
    const float q = x / width;
    return std::exp(-(q * q));
}

// Clamped first, so the conversion never meets NaN or a value out of the byte's range.
uint8_t ToByte(float x) {
    return static_cast<uint8_t>(Clamp01(x) * 255.0f + 0.5f);
}

// Falls from 1 to 0 between the two radii: keeps every sprite's outer ring fully transparent.
float EdgeFade(float r, float inner, float outer) {
    return 1.0f - SmoothStep(inner, outer, r);
}

// Integer hash to 0..1: the lattice values of the fire's noise, the same on every machine.
float LatticeValue(int32_t x, int32_t y) {
    uint32_t h = static_cast<uint32_t>(x) * 0x8da6b343u ^ static_cast<uint32_t>(y) * 0xd8163841u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return static_cast<float>(h & 0xffffu) / 65535.0f;
}

float ValueNoise(float x, float y) {
    const float fx = std::floor(x);
    const float fy = std::floor(y);
    const int32_t ix = static_cast<int32_t>(fx);
    const int32_t iy = static_cast<int32_t>(fy);
    const float tx = SmoothStep(0.0f, 1.0f, x - fx);
    const float ty = SmoothStep(0.0f, 1.0f, y - fy);
    const float top = Mix(LatticeValue(ix, iy), LatticeValue(ix + 1, iy), tx);
    const float bottom = Mix(LatticeValue(ix, iy + 1), LatticeValue(ix + 1, iy + 1), tx);
    return Mix(top, bottom, ty);
}

// Two octaves: broad lumps and finer wisps, 0..1.
float FireNoise(float u, float v) {
    return 0.65f * ValueNoise(u * 2.6f + 7.0f, v * 2.6f + 3.0f) +
           0.35f * ValueNoise(u * 6.1f + 1.0f, v * 6.1f + 11.0f);
}

// A ray through the centre at angle phi (both directions), tapering to nothing at length.
float Ray(float u, float v, float phi, float length, float width) {
    const float along = std::fabs(u * std::cos(phi) + v * std::sin(phi));
    const float across = -u * std::sin(phi) + v * std::cos(phi);
    const float taper = Clamp01(1.0f - along / length);
    return taper * std::sqrt(taper) * Gauss(across, width * taper + 0.02f);
}

// Bright white core, warm gold glow, four long points and four short diagonal glints.
Shade ShadeStar(float u, float v) {
    const float r = std::hypot(u, v);
    const float core = Gauss(r, 0.13f);
    const float glow = 0.5f * Gauss(r, 0.34f);
    const float rays = Ray(u, v, 0.0f, 0.97f, 0.10f) + Ray(u, v, 0.5f * Pi, 0.97f, 0.10f) +
                       0.6f * Ray(u, v, 0.25f * Pi, 0.55f, 0.07f) +
                       0.6f * Ray(u, v, 0.75f * Pi, 0.55f, 0.07f);
    const float white = Clamp01(1.6f * core + 0.35f * rays);
    Shade s;
    s.R = 1.0f;
    s.G = Mix(0.86f, 1.0f, white);
    s.B = Mix(0.50f, 1.0f, white);
    s.A = Clamp01(core + glow + rays) * EdgeFade(r, 0.86f, 0.96f);
    return s;
}

// A lumpy soft puff whose colour follows its heat: yellow inside, then orange, then red at
// the thin edge. Colours stay below white so that overlapping puffs, added up, still show a
// gradient from red to yellow before they saturate.
Shade ShadeFlame(float u, float v) {
    const float r = std::hypot(u, v);
    const float n = FireNoise(u, v);
    const float heat = Gauss(r * (0.72f + 0.5f * n), 0.5f);
    Shade s;
    if (heat < 0.4f) {
        const float t = heat / 0.4f;
        s.R = Mix(0.85f, 1.0f, t);
        s.G = Mix(0.16f, 0.46f, t);
        s.B = Mix(0.03f, 0.06f, t);
    } else {
        const float t = (heat - 0.4f) / 0.6f;
        s.R = 1.0f;
        s.G = Mix(0.46f, 0.84f, t);
        s.B = Mix(0.06f, 0.38f, t);
    }
    s.A = Clamp01(0.95f * heat) * EdgeFade(r, 0.86f, 0.96f);
    return s;
}

// A white-cyan core in a violet halo with three cyan arms wound into a spiral, so that a
// spinning orb reads as a swirl.
Shade ShadeEnergy(float u, float v) {
    const float r = std::hypot(u, v);
    const float theta = std::atan2(v, u);
    const float core = 1.3f * Gauss(r, 0.13f);
    const float halo = 0.55f * Gauss(r, 0.46f);
    const float wave = 0.5f + 0.5f * std::cos(3.0f * theta - 7.0f * r);
    const float wave2 = wave * wave;
    const float wave4 = wave2 * wave2;
    const float arms =
        0.95f * wave4 * wave4 * SmoothStep(0.06f, 0.28f, r) * (1.0f - SmoothStep(0.55f, 0.9f, r));
    const float weight = core + halo + arms;
    Shade s;
    if (weight > 0.0f) {
        s.R = (core * 0.88f + halo * 0.58f + arms * 0.35f) / weight;
        s.G = (core * 1.00f + halo * 0.28f + arms * 0.92f) / weight;
        s.B = (core * 1.00f + halo * 1.00f + arms * 1.00f) / weight;
    }
    s.A = Clamp01(weight) * EdgeFade(r, 0.84f, 0.96f);
    return s;
}

// A bubble: a faint body that thickens towards the edge, a thin bright rim, a highlight at
// the top right and a faint reflection low on the left. Particles start turned towards their
// flight; bubbles fly up, a turn of 270 degrees, which brings the highlight to the top left.
Shade ShadeBubble(float u, float v) {
    const float r = std::hypot(u, v);
    const float theta = std::atan2(v, u);
    const float rimRadius = 0.86f;
    const float inside = 1.0f - SmoothStep(rimRadius - 0.03f, rimRadius + 0.02f, r);
    const float q = r / rimRadius;
    const float body = (0.10f + 0.28f * q * q * q * q) * inside;
    const float rim = 0.9f * Gauss(r - rimRadius, 0.05f);
    const float du = u - 0.34f;
    const float dv = v + 0.38f;
    const float along = (du + dv) * 0.70710678f;
    const float across = (du - dv) * 0.70710678f;
    const float highlight =
        std::exp(-(along * along / (0.17f * 0.17f) + across * across / (0.075f * 0.075f)));
    const float facing = std::max(0.0f, std::cos(theta - 0.75f * Pi));
    const float facing2 = facing * facing;
    const float reflection = 0.4f * Gauss(r - 0.72f, 0.05f) * facing2 * facing2 * facing2;
    const float weight = body + rim + highlight + reflection;
    Shade s;
    if (weight > 0.0f) {
        s.R = (body * 0.55f + rim * 0.80f + highlight + reflection * 0.85f) / weight;
        s.G = (body * 0.80f + rim * 0.93f + highlight + reflection * 0.95f) / weight;
        s.B = (body * 1.00f + rim * 1.00f + highlight + reflection * 1.00f) / weight;
    }
    s.A = Clamp01(weight) * EdgeFade(r, 0.92f, 0.96f);
    return s;
}

SpriteImage PaintSprite(std::string name, int32_t size, const ShadeFunction& shade) {
    SpriteImage image;
    image.Name = std::move(name);
    image.Width = size;
    image.Height = size;
    image.Rgba.resize(static_cast<size_t>(size) * static_cast<size_t>(size) * 4u);
    const float half = static_cast<float>(size) * 0.5f;
    const float step = 1.0f / static_cast<float>(SubSamples);
    const float count = static_cast<float>(SubSamples * SubSamples);
    for (int32_t y = 0; y < size; ++y) {
        for (int32_t x = 0; x < size; ++x) {
            // Averaged premultiplied, so that nearly transparent samples lend little colour.
            float r = 0.0f, g = 0.0f, b = 0.0f, a = 0.0f;
            for (int32_t sy = 0; sy < SubSamples; ++sy) {
                for (int32_t sx = 0; sx < SubSamples; ++sx) {
                    const float px = static_cast<float>(x) + (static_cast<float>(sx) + 0.5f) * step;
                    const float py = static_cast<float>(y) + (static_cast<float>(sy) + 0.5f) * step;
                    const Shade s = shade((px - half) / half, (py - half) / half);
                    r += s.R * s.A;
                    g += s.G * s.A;
                    b += s.B * s.A;
                    a += s.A;
                }
            }
            // Fully transparent pixels keep the colour of the centre, not black, so that a
            // filtering sampler would not pull a dark fringe into the sprite's edge.
            Shade out = shade(0.0f, 0.0f);
            if (a > 0.0f) {
                out.R = r / a;
                out.G = g / a;
                out.B = b / a;
            }
            out.A = a / count;
            uint8_t* p = &image.Rgba[(static_cast<size_t>(y) * static_cast<size_t>(size) +
                                      static_cast<size_t>(x)) *
                                     4u];
            p[0] = ToByte(out.R);
            p[1] = ToByte(out.G);
            p[2] = ToByte(out.B);
            p[3] = out.A > 0.0f ? ToByte(out.A) : 0;
        }
    }
    return image;
}

}  // namespace

std::vector<SpriteImage> PaintSceneSprites() {
    std::vector<SpriteImage> sprites;
    sprites.push_back(PaintSprite("Sternchen", 32, ShadeStar));
    sprites.push_back(PaintSprite("Feuer", 64, ShadeFlame));
    sprites.push_back(PaintSprite("Energie", 64, ShadeEnergy));
    sprites.push_back(PaintSprite("Luftblase", 64, ShadeBubble));
    return sprites;
}

std::optional<std::vector<uint8_t>> EncodeSpritePng(const SpriteImage& sprite) {
    if (sprite.Width <= 0 || sprite.Height <= 0 || sprite.Width > 4096 || sprite.Height > 4096 ||
        sprite.Rgba.size() !=
            static_cast<size_t>(sprite.Width) * static_cast<size_t>(sprite.Height) * 4u) {
        return std::nullopt;
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(sprite.Width);
    image.height = static_cast<png_uint_32>(sprite.Height);
    image.format = PNG_FORMAT_RGBA;
    // Plain 8-bit data, no colour-space chunk: the player's decoder applies no gamma anyway.
    image.flags = PNG_IMAGE_FLAG_COLORSPACE_NOT_sRGB;
    const png_int_32 stride = static_cast<png_int_32>(sprite.Width) * 4;
    png_alloc_size_t size = 0;
    // The first call only measures; the second writes into a buffer of that size.
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, sprite.Rgba.data(), stride,
                                   nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(size);
    if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, sprite.Rgba.data(), stride,
                                   nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    bytes.resize(size);
    return bytes;
}

}  // namespace pp
