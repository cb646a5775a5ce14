// Drawing through SDL's 2D renderer: every blend pair against a plain computation of its
// blend (composed on SDL's OpenGL renderer, the nearest built-in mode on the software one),
// the host renderer's state left as found, and the library screen's pixels where SDL's own
// arithmetic is the same.
#include "particleplayer/sdl_renderer.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "particleplayer/screen.h"
#include "particleplayer/world.h"
#include "tests/effects/temp_dir.h"

namespace particleplayer {
namespace {

constexpr int kSide = 16;
constexpr uint8_t kBack[] = {60, 150, 220};  // the background the blends draw over

// One factor of a blend code at a position, as the bundled renderer takes it (the destination
// alpha read as 1): a multiplier of a channel given the source and destination colours.
double Factor(int code, bool source, double s, double sa, double d) {
    // Codes 1 to 11: 7 and 8 read the destination alpha as 1; 12 and 13 set both factors.
    const double factors[] = {
        0, 1, s, 1 - s, sa, 1 - sa, 1, 0, d, 1 - d, source ? std::min(sa, 0.0) : 0};
    return factors[code - 1];
}

// A channel after blending s (alpha sa) over d with the codes, clamped to 0..1.
double Blend(int source, int destination, double s, double sa, double d) {
    for (const int both : {source, destination}) {
        if (both == 12) return std::clamp(s * sa + d * (1 - sa), 0.0, 1.0);
        if (both == 13) return std::clamp(s * (1 - sa) + d * sa, 0.0, 1.0);
    }
    return std::clamp(s * Factor(source, true, s, sa, d) + d * Factor(destination, false, s, sa, d),
                      0.0, 1.0);
}

// An effect of one still particle of side kSide at (kSide, kSide), with the blend codes.
std::string OneParticle(int source, int destination) {
    return "Burst = {Count = 1, Interval = 100, Repeat = 1}, LifeTime = 10, Size = " +
           std::to_string(kSide) + ", EmissionVelocity = 0, EmissionAngle = 0, BlendingMode = {" +
           std::to_string(source) + ", " + std::to_string(destination) + "}";
}

// SDL's built-in modes on one channel (SDL_blendmode.h), and "nothing drawn".
enum class BuiltIn { None, Blend, Add, Mod, Mul, Nothing };

double BuiltInBlend(BuiltIn mode, double s, double sa, double d) {
    const double results[] = {s,
                              s * sa + d * (1 - sa),
                              std::min(s * sa + d, 1.0),
                              s * d,
                              std::min(s * d + d * (1 - sa), 1.0),
                              d};
    return results[static_cast<int>(mode)];
}

// SDL's OpenGL renderer on a hidden 96 x 72 window of SDL's offscreen driver, made once and
// kept to the end of the process: SDL unloads libGL with the last OpenGL window, and the
// function stubs libGL made for the renderer's look-ups would then count as leaks.
SDL_Renderer* OpenGlRenderer() {
    static SDL_Renderer* const renderer = [] {
        SDL_SetHint(SDL_HINT_RENDER_DRIVER, "opengl");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return static_cast<SDL_Renderer*>(nullptr);
        SDL_Window* window =
            SDL_CreateWindow("", 0, 0, 96, 72, SDL_WINDOW_HIDDEN | SDL_WINDOW_OPENGL);
        return window != nullptr ? SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED)
                                 : nullptr;
    }();
    return renderer;
}

void CountWarning(void* user, int, SDL_LogPriority priority, const char*) {
    if (priority == SDL_LOG_PRIORITY_WARN) ++*static_cast<int*>(user);
}

// Draws one particle of a one-colour sprite with alpha 64 over a blue-green background with
// every pair of codes (each twice), and hands each pair's centre pixel to check.
template <class Check>
void DrawEveryPair(SDL_Renderer* renderer, int& warnings, Check&& check) {
    auto particles = SdlRenderer::Create(renderer);
    ASSERT_TRUE(particles.Ok()) << particles.Error;
    const std::array<uint8_t, 4> texel{200, 90, 40, 64};
    std::vector<uint8_t> rgba;
    for (int i = 0; i < 4; ++i) rgba.insert(rgba.end(), texel.begin(), texel.end());
    ASSERT_TRUE(particles.Value.LoadSpritePixels(0, 2, 2, rgba.data(), rgba.size()).Ok());
    SDL_LogOutputFunction saved = nullptr;
    void* savedUser = nullptr;
    SDL_LogGetOutputFunction(&saved, &savedUser);
    SDL_LogSetOutputFunction(CountWarning, &warnings);
    for (int source = 1; source <= 13; ++source) {
        for (int destination = 1; destination <= 13; ++destination) {
            World world;
            ASSERT_TRUE(world.LoadEffectText(OneParticle(source, destination), kSide, kSide).Ok());
            world.Update();
            world.AdvanceTime(20);
            world.Update();
            ASSERT_EQ(world.ParticleCount(), 1);
            for (int twice = 0; twice < 2; ++twice) {  // the second draw warns no more
                SDL_SetRenderDrawColor(renderer, kBack[0], kBack[1], kBack[2], 255);
                SDL_RenderClear(renderer);
                ASSERT_TRUE(particles.Value.Draw(world).Ok());
            }
            uint8_t got[4] = {};
            const SDL_Rect centre{kSide, kSide, 1, 1};
            ASSERT_EQ(SDL_RenderReadPixels(renderer, &centre, SDL_PIXELFORMAT_RGBA32, got, 4), 0);
            // Each channel against a formula: near by SDL's rounding of its 8-bit arithmetic.
            const auto near = [&](auto&& formula) {
                for (int c = 0; c < 3; ++c) {
                    const double want =
                        formula(texel[c] / 255.0, texel[3] / 255.0, kBack[c] / 255.0);
                    if (std::abs(want * 255 - got[c]) > 1.5) return false;
                }
                return true;
            };
            check(source, destination, near,
                  "pair " + std::to_string(source) + ", " + std::to_string(destination) + " gave " +
                      std::to_string(got[0]) + " " + std::to_string(got[1]) + " " +
                      std::to_string(got[2]));
        }
    }
    SDL_LogSetOutputFunction(saved, savedUser);
}

// SDL's software renderer draws no composed mode: every pair takes a built-in one, exact in
// colour for the pairs the header lists and for those whose codes mean the same (7 is 2, 8
// and 11 are 1, 12 is {5, 6}), one warning for each other pair.
TEST(SdlRenderer, SoftwareRendererTakesTheNearestBuiltInMode) {
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormat(0, kSide * 3, kSide * 3, 32, SDL_PIXELFORMAT_ARGB8888);
    ASSERT_NE(surface, nullptr);
    SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(surface);
    ASSERT_NE(renderer, nullptr) << SDL_GetError();
    const auto same = [](int code) { return code == 7 ? 2 : code == 8 || code == 11 ? 1 : code; };
    const struct {
        int Source, Destination;
        BuiltIn Mode;
        bool Exact;
    } rows[] = {
        {5, 6, BuiltIn::Blend, true},   {12, 1, BuiltIn::Blend, true},
        {5, 2, BuiltIn::Add, true},     {1, 3, BuiltIn::Mod, true},
        {9, 1, BuiltIn::Mod, true},     {9, 6, BuiltIn::Mul, true},
        {2, 1, BuiltIn::None, true},    {1, 2, BuiltIn::Nothing, true},
        {2, 2, BuiltIn::Add, false},    {6, 2, BuiltIn::Add, false},
        {5, 1, BuiltIn::None, false},   {3, 4, BuiltIn::Blend, false},
        {13, 5, BuiltIn::Blend, false}, {4, 3, BuiltIn::Mod, false},
        {10, 9, BuiltIn::Blend, false}, {1, 1, BuiltIn::None, false},
    };
    // The pair as factors: a 12 or 13 sets both, the source place first.
    const auto factors = [&](int s, int d) {
        if (s == 12 || (s != 13 && d == 12)) return std::pair{5, 6};
        if (s == 13 || d == 13) return std::pair{6, 5};
        return std::pair{same(s), same(d)};
    };
    int warnings = 0, listed = 0;
    std::set<std::pair<int, int>> inexact;
    DrawEveryPair(renderer, warnings, [&](int s, int d, auto&& near, const std::string& what) {
        const bool exact = near([&](double c, double a, double b) { return Blend(s, d, c, a, b); });
        if (!exact) inexact.insert(factors(s, d));
        for (const auto& row : rows) {
            if (same(row.Source) != same(s) || same(row.Destination) != same(d)) continue;
            if (row.Source == s && row.Destination == d) ++listed;
            EXPECT_TRUE(near([&](double c, double a, double b) {
                return BuiltInBlend(row.Mode, c, a, b);
            })) << what;
            EXPECT_EQ(exact, row.Exact) << what;
        }
    });
    EXPECT_EQ(listed, static_cast<int>(std::size(rows)));
    EXPECT_FALSE(inexact.empty());
    EXPECT_EQ(warnings, static_cast<int>(inexact.size()))
        << "one warning for each pair of factors drawn otherwise than its blend";
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(surface);
}

// SDL's OpenGL renderer composes every pair: each pixel is its pair's blend, and nothing warns.
TEST(SdlRenderer, OpenGlRendererComposesEveryPair) {
    SDL_Renderer* renderer = OpenGlRenderer();
    ASSERT_NE(renderer, nullptr) << SDL_GetError();
    int warnings = 0;
    DrawEveryPair(renderer, warnings, [&](int s, int d, auto&& near, const std::string& what) {
        EXPECT_TRUE(near([&](double c, double a, double b) { return Blend(s, d, c, a, b); }))
            << what;
    });
    EXPECT_EQ(warnings, 0);
}

// A fire and a tinted, turned effect whose blend reads the destination alpha, 400 ms in.
void FireAndTurned(World& world) {
    world.Seed(3);
    const auto fire = world.LoadEffectFile("Data/Feuer.txt", 48, 50);
    const auto turned = world.LoadEffectText(
        "EmissionRate = 200,\nSize = 14,\nRotation = {Min = 0, Max = 90, Inc = 1},\n"
        "Transparency = 160,\nBlendingMode = {7, 6},\nColour = {200, 120, 60}",
        30, 30);
    ASSERT_TRUE(fire.Ok() && turned.Ok());
    for (const Effect e : {fire.Value, turned.Value}) world.SetSpriteRange(e, 1, kSameAsMin, 1);
    world.Update();
    world.AdvanceTime(400);
    world.Update();
}

// Through SDL's OpenGL renderer the frame is the library screen's, byte for byte: the same
// rasteriser draws the same corners with the same factors.
TEST(SdlRenderer, OpenGlRendererDrawsTheLibraryScreensPixels) {
    pp::testing::InFolder root(PP_SOURCE_DIR);
    constexpr int kWidth = 96, kHeight = 72;
    World world;
    FireAndTurned(world);
    SDL_Renderer* renderer = OpenGlRenderer();
    ASSERT_NE(renderer, nullptr) << SDL_GetError();
    std::vector<uint8_t> frame(kWidth * kHeight * 3);
    {
        auto particles = SdlRenderer::Create(renderer);
        ASSERT_TRUE(particles.Ok() && particles.Value.LoadSprite(1, "Data/Feuer.png").Ok());
        EXPECT_FALSE(particles.Value.LoadSprite(2, "/no/such.png").Ok());
        EXPECT_FALSE(particles.Value.LoadSprite(2, "Data/Feuer.txt").Ok()) << "not an image";
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        const Status drawn = particles.Value.Draw(world);
        ASSERT_TRUE(drawn.Ok()) << drawn.Error;
        ASSERT_EQ(SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGB24, frame.data(),
                                       kWidth * 3),
                  0);
        EXPECT_GT(std::count(frame.begin(), frame.end(), 0), 0);
    }
    // The library's screen afterwards, its textures gone: it ends SDL's video when it closes.
    ScreenOptions options;
    options.Width = kWidth;
    options.Height = kHeight;
    options.Hidden = true;
    std::vector<uint8_t> screen;
    ASSERT_TRUE(OpenScreen(options).Ok() && LoadSprite(1, "Data/Feuer.png").Ok() &&
                DrawFrame(world, false).Ok() && ReadPixels(screen).Ok());
    CloseScreen();
    EXPECT_TRUE(frame == screen) << "not the library screen's frame";
}

// The host's draw colour, blend mode, target, viewport, clip and scale come back as they
// were; the particle lands in the host's target, moved by its viewport, cut by its clip.
TEST(SdlRenderer, DrawLeavesTheHostRenderersState) {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 64, 64, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(surface);
    ASSERT_NE(renderer, nullptr) << SDL_GetError();
    SDL_Texture* target =
        SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET, 48, 48);
    ASSERT_NE(target, nullptr) << SDL_GetError();
    auto particles = SdlRenderer::Create(renderer);
    ASSERT_TRUE(particles.Ok());
    const std::vector<uint8_t> white(4 * 4 * 4, 255);
    ASSERT_TRUE(particles.Value.LoadSpritePixels(0, 4, 4, white.data(), white.size()).Ok());
    World world;
    ASSERT_TRUE(world.LoadEffectText(OneParticle(5, 6), 10, 10).Ok());  // covers 2..17
    world.Update();
    world.AdvanceTime(20);
    world.Update();
    SDL_SetRenderTarget(renderer, target);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    const SDL_Rect viewport{4, 6, 40, 36}, clip{0, 0, 12, 30};
    SDL_RenderSetViewport(renderer, &viewport);
    SDL_RenderSetClipRect(renderer, &clip);
    SDL_RenderSetScale(renderer, 1.0f, 1.0f);
    SDL_SetRenderDrawColor(renderer, 11, 22, 33, 44);
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_MOD);
    ASSERT_TRUE(particles.Value.Draw(world).Ok());

    Uint8 colour[4] = {};
    SDL_GetRenderDrawColor(renderer, &colour[0], &colour[1], &colour[2], &colour[3]);
    SDL_BlendMode mode = SDL_BLENDMODE_INVALID;
    SDL_GetRenderDrawBlendMode(renderer, &mode);
    SDL_Rect gotViewport{}, gotClip{};
    SDL_RenderGetViewport(renderer, &gotViewport);
    SDL_RenderGetClipRect(renderer, &gotClip);
    float scaleX = 0, scaleY = 0;
    SDL_RenderGetScale(renderer, &scaleX, &scaleY);
    const struct {
        const char* What;
        bool Same;
    } rows[] = {
        {"draw colour", colour[0] == 11 && colour[1] == 22 && colour[2] == 33 && colour[3] == 44},
        {"draw blend mode", mode == SDL_BLENDMODE_MOD},
        {"target", SDL_GetRenderTarget(renderer) == target},
        {"viewport", SDL_RectEquals(&gotViewport, &viewport) == SDL_TRUE},
        {"clip", SDL_RenderIsClipEnabled(renderer) == SDL_TRUE &&
                     SDL_RectEquals(&gotClip, &clip) == SDL_TRUE},
        {"scale", scaleX == 1.0f && scaleY == 1.0f},
    };
    for (const auto& row : rows) EXPECT_TRUE(row.Same) << row.What;

    // Target rows: the square 2..17 each way, moved by (4, 6), cut at x 12 of the viewport.
    SDL_RenderSetViewport(renderer, nullptr);
    SDL_RenderSetClipRect(renderer, nullptr);
    std::vector<uint8_t> rgb(48 * 48 * 3);
    ASSERT_EQ(SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGB24, rgb.data(), 48 * 3),
              0);
    int wrong = 0;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 48; ++x) {
            const bool inside = x >= 6 && x < 4 + 12 && y >= 8 && y < 24;
            wrong += (rgb[(y * 48 + x) * 3] == 255) != inside ? 1 : 0;
        }
    }
    EXPECT_EQ(wrong, 0) << "pixels outside the moved and clipped square, or missing in it";
    particles.Value.Close();
    EXPECT_FALSE(particles.Value.Draw(world).Ok()) << "closed";
    SDL_DestroyTexture(target);
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(surface);
}

}  // namespace
}  // namespace particleplayer
