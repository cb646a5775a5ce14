// Windows, screen, sprites and quads, and particles drawn as quads, through SDL's offscreen GL.
#include <SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "draw/draw_particles.h"
#include "draw/frame.h"
#include "draw/gl_screen.h"
#include "draw/quad_sprites.h"
#include "draw/quad_tinted.h"
#include "draw/sprites.h"
#include "image/image_decoders.h"
#include "platform/sdl_window.h"
#include "platform/window.h"
#include "runtime/clock_readings.h"
#include "runtime/convert.h"
#include "runtime/cpu_path.h"
#include "runtime/random.h"
#include "runtime/worker_pool.h"
#include "tests/runtime/cpu_path_helpers.h"

namespace pp {
namespace {

// A test on window 0's 800 x 600 screen (opened unless open) cleared to black, with an engine.
class Gl : public ::testing::Test {
  protected:
    void SetUp() override {
        // SDL video and its GL library stay loaded for the whole binary (unloading Mesa leaks).
        static const bool loaded = setenv("SDL_VIDEODRIVER", "offscreen", 0) == 0 &&
                                   setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0) == 0 &&
                                   SDL_InitSubSystem(SDL_INIT_VIDEO) == 0 &&
                                   SDL_GL_LoadLibrary(nullptr) == 0;
        ASSERT_TRUE(loaded) << SDL_GetError();
        if (ScreenWidth() != 800 || WindowHandle(0) == nullptr) {
            InitGraphics();
            NativeWindow* window = WindowOpen(0, 0, 0, 800, 600, "SCREEN", 0x00C80001);
            ASSERT_EQ(OpenScreenInWindow(window, 0, 0, 800, 600), 1) << SDL_GetError();
            EnablePngDecoder();
        }
        InitQuadSprites();
        FillScreen(0);
    }
    static void TearDownTestSuite() { CloseAllWindows(), ShutdownGraphics(); }
    VirtualClock clock;
    Engine engine{clock};
};

// PNG bytes of top-down 0xAARRGGBB pixels.
std::vector<uint8_t> EncodePng(int32_t width, int32_t height, const std::vector<uint32_t>& pixels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION, image.format = PNG_FORMAT_BGRA;
    image.width = png_uint_32(width), image.height = png_uint_32(height);
    std::vector<uint8_t> png(1024 + pixels.size() * 8);
    png_alloc_size_t size = png.size();
    if (!png_image_write_to_memory(&image, png.data(), &size, 0, pixels.data(), 0, nullptr))
        size = 0;
    png.resize(size);
    return png;
}

bool MakeQuad(int32_t number, int32_t width, int32_t height, const std::vector<uint32_t>& pixels) {
    return SpriteFromMemory(number, EncodePng(width, height, pixels),
                            SpriteUsableAsQuad | SpriteKeepAlpha) != nullptr &&
           CreateQuadSprite(number, number) != nullptr;
}

// Distinct opaque colours without a zero channel, so that every texel can be found.
std::vector<uint32_t> Palette(int32_t count) {
    std::vector<uint32_t> colours;
    for (uint32_t i = 0; i < uint32_t(count); ++i)
        colours.push_back(0xFF000032 | (40 + 25 * i) << 16 | (200 - 20 * i) << 8 | i % 2 * 150);
    return colours;
}

// A particle, with its Life record (life fraction, sheet frame) when the emitter keeps them.
void AddParticle(Emitter* e, int32_t sprite, float size, float x, float y, float alpha = 255.0f,
                 float angle = 0.0f, float fraction = 0.0f, int32_t frame = 0) {
    *ListInsert(e->Particles) = Particle{sprite, size, x, y, 0.0f, 0.0f, alpha, 0, angle, 0.0f};
    if (HasExtras(*e)) *ListInsert(e->Life) = ParticleLife{0, 1000.0f, 0, fraction, frame};
}

// The back buffer (B, G, R rows), read when made; pixels as 0xRRGGBB.
struct Frame {
    Frame() { ReadScreenPixels(Bytes); }
    uint32_t At(int32_t x, int32_t y) const {
        const size_t i = (static_cast<size_t>(y) * 800 + static_cast<size_t>(x)) * 3;
        return uint32_t(Bytes.at(i + 2)) << 16 | Bytes.at(i + 1) << 8 | Bytes.at(i);
    }
    // Pixels other than rgb inside [x0, x1) x [y0, y1).
    int32_t CountNot(uint32_t rgb, int32_t x0 = 0, int32_t y0 = 0, int32_t x1 = 800,
                     int32_t y1 = 600) const {
        int32_t count = 0;
        for (int32_t y = y0; y < y1; ++y)
            for (int32_t x = x0; x < x1; ++x) count += At(x, y) != rgb;
        return count;
    }
    std::vector<uint8_t> Bytes;
};

// The engine's layer 0 drawn on a black screen, read back.
Frame DrawnOnBlack(Engine& engine) {
    FillScreen(0);
    EXPECT_EQ(BeginQuads(), 1);
    DrawParticles(engine, 0, 0, 0);
    EndQuads();
    return Frame();
}

// What window 0 shows in the rectangle at (x, y), w x h, as top-down B, G, R rows.
std::vector<uint8_t> WindowPixels(int32_t x, int32_t y, int32_t w, int32_t h) {
    std::vector<uint8_t> topDown(size_t(w) * 3 * size_t(h));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int32_t r = 0; r < h; ++r)
        glReadPixels(x, 599 - y - r, w, 1, GL_BGR, GL_UNSIGNED_BYTE, &topDown[size_t(r) * w * 3]);
    ApplyDefaultStates();
    return topDown;
}

void DrawOne(int32_t quad, int32_t x, int32_t y, int32_t alpha = 255) {
    ASSERT_EQ(BeginQuads(), 1);
    DrawQuadSprite(quad, x, y, alpha);
    EndQuads();
}

void Push(uint32_t type, uint8_t windowEvent = 0, int32_t key = 0) {
    SDL_Event e{};
    e.type = type;
    e.window.windowID = SDL_GetWindowID(SdlWindowOf(WindowHandle(0)));
    e.window.event = windowEvent;
    if (type == SDL_KEYDOWN)
        e.key = {type, 0, e.window.windowID, 0, windowEvent, 0, 0, {{}, key, 0, 0}};
    ASSERT_EQ(SDL_PushEvent(&e), 1);
}

std::vector<int32_t> Collect() {
    std::vector<int32_t> codes;
    for (int32_t code = WaitEvent(5); code != 0; code = WaitEvent(5)) codes.push_back(code);
    return codes;
}

std::vector<int32_t> hooked;

// Bad windows refused; the codes raised for each event, in order; key names; the queue; the wait.
TEST_F(Gl, EventsRaiseTheirCodesInOrder) {
    EXPECT_EQ(SDL_GetWindowFlags(SdlWindowOf(WindowHandle(0))) &
                  (SDL_WINDOW_RESIZABLE | SDL_WINDOW_OPENGL),
              SDL_WINDOW_OPENGL);
    for (const auto& [number, width, height] :
         {std::array{-2, 100, 100}, {1, 0, 100}, {1, 100, -5}, {1, 1 << 20, 100}})
        EXPECT_EQ(WindowOpen(number, 0, 0, width, height, "x", 1), nullptr) << number;
    Collect();
    const std::pair<std::vector<uint8_t>, std::vector<int32_t>> rows[] = {
        {{SDL_WINDOWEVENT_MOVED}, {kEventMoved}},
        {{SDL_WINDOWEVENT_SIZE_CHANGED}, {kEventResized}},
        {{SDL_WINDOWEVENT_RESIZED}, {}},  // always followed by SIZE_CHANGED
        {{SDL_WINDOWEVENT_EXPOSED}, {kEventExposed}},
        {{SDL_WINDOWEVENT_FOCUS_GAINED}, {kEventActivated}},
        {{SDL_WINDOWEVENT_MINIMIZED, SDL_WINDOWEVENT_RESTORED},
         {kEventMinimized, kEventRestored, kEventResized}},
        {{SDL_WINDOWEVENT_MAXIMIZED, SDL_WINDOWEVENT_RESTORED, SDL_WINDOWEVENT_RESTORED},
         {kEventMaximized, kEventResized, kEventRestored, kEventResized, kEventResized}},
        {{SDL_WINDOWEVENT_CLOSE}, {kEventCloseRequested}}};
    for (size_t k = 0; k < std::size(rows); ++k) {
        for (uint8_t event : rows[k].first) Push(SDL_WINDOWEVENT, event);
        std::vector<int32_t> codes = Collect();
        std::erase(codes, static_cast<int32_t>(SDL_WINDOWEVENT));
        EXPECT_EQ(codes, rows[k].second) << "row " << k;
    }
    SetKeyPressHook([](int32_t key) { hooked.push_back(key); });
    for (int32_t key : {SDLK_ESCAPE, SDLK_SPACE, SDLK_r, SDLK_s, SDLK_a}) Push(SDL_KEYDOWN, 0, key);
    Push(SDL_KEYDOWN, 1, SDLK_SPACE);  // a held key's repeat is no new press
    Collect();
    SetKeyPressHook(nullptr);
    EXPECT_EQ(hooked, (std::vector<int32_t>{kKeyEscape, kKeySpace, kKeyR, kKeyS, kKeyOther}));
    for (const auto& [code, window] : {std::pair{15, 0}, {15, 0}, {5, 0}, {15, 0}, {15, 1}})
        RaiseWindowEvent(code, 0, window, 0);
    EXPECT_EQ((std::vector<int32_t>{WaitEvent(0), WaitEvent(0), WaitEvent(0), WaitEvent(0)}),
              (std::vector<int32_t>{15, 5, 15, 15}));
    RaiseWindowEvent(15, 0, 1, 0);  // the equal one was handed out already: kept
    EXPECT_EQ(WaitEvent(0), 15);
    Push(SDL_WINDOWEVENT, SDL_WINDOWEVENT_MOVED);
    RaiseWindowEvent(kEventActivated, 0, 0, 0);
    EXPECT_EQ(Collect(), (std::vector<int32_t>{kEventActivated, SDL_WINDOWEVENT, kEventMoved}));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitEvent(5), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4));
}

// Red in bits 0-7, green 8-15, blue 16-23; a top byte lands in green, bit 31 fills the rest.
TEST_F(Gl, FillScreenConvertsTheColourForTheWholeBackBuffer) {
    const uint32_t rows[][2] = {
        {0x406080, 0x806040}, {0x01000000, 0x100}, {0x80000000, 0xFF8000}, {~0u, 0xFFFFFF}};
    for (const auto& [colour, rgb] : rows) {
        FillScreen(static_cast<int32_t>(colour));
        EXPECT_EQ(Frame().CountNot(rgb), 0) << std::hex << colour;
    }
}

// Presenting shows the back buffer top row first at the screen's place, black around, kept.
TEST_F(Gl, PresentingShowsTheBackBufferAtItsPlaceTopRowFirst) {
    for (const auto& [x, y, w, h] : {std::array{0, 0, 800, 600}, std::array{10, 20, 320, 200}}) {
        ASSERT_EQ(OpenScreenInWindow(WindowHandle(0), x, y, w, h), 1);
        ASSERT_TRUE(MakeQuad(1, 3, 2, Palette(6)));
        FillScreen(0x00FFFFFF);
        DrawOne(1, 1, 0);
        DrawOne(1, w - 2, h - 1, 128);
        const Frame frame;
        ASSERT_EQ(PresentFrame(), 1);
        EXPECT_EQ(WindowPixels(x, y, w, h), frame.Bytes) << w;
        const std::vector<uint8_t> whole = WindowPixels(0, 0, 800, 600);
        EXPECT_EQ(std::count(whole.begin(), whole.end(), 0), (800 * 600 - w * h) * 3);
        EXPECT_TRUE(Frame().Bytes == frame.Bytes);
    }
}

// Bad sizes or no window open no screen; without one every call does nothing or fails.
TEST_F(Gl, WithoutAScreenEverythingDoesNothingOrFails) {
    for (const auto& [w, h] : {std::pair{0, 600}, {800, -1}, {1 << 30, 600}})
        EXPECT_EQ(OpenScreenInWindow(WindowHandle(0), 0, 0, w, h), 0);
    EXPECT_EQ(OpenScreenInWindow(nullptr, 0, 0, 800, 600), 0);
    FillScreen(255), ApplyDefaultStates(), DrawQuadSprite(1, 0, 0, 255), EndQuads();
    EXPECT_EQ(ScreenWidth() + ScreenHeight() + EnsureScene() + BeginQuads() + PresentFrame(), 1);
    std::vector<uint8_t> bgr{1, 2, 3};
    EXPECT_FALSE(ReadScreenPixels(bgr) || !bgr.empty());
    EXPECT_EQ(SpriteFromMemory(1, EncodePng(1, 1, {~0u}), SpriteUsableAsQuad), nullptr);
    ReleaseScreen();
    SetUp();
    WindowClose(0);
    EXPECT_EQ(ScreenWidth() + EnsureScene(), 0) << "the screen goes with its window";
}

// A failed load empties the number; a file that cannot be read keeps what was there.
TEST_F(Gl, AFailedLoadEmptiesTheNumberAndAnUnreadableFileKeepsIt) {
    const std::vector<uint8_t> png = EncodePng(3, 2, std::vector<uint32_t>(6, 0x09090909));
    const SpriteRecord* kept = SpriteFromMemory(7, png, 12);
    for (const char* unreadable : {"Data\\no such file.png", PP_BINARY_DIR, (const char*)nullptr}) {
        EXPECT_EQ(LoadSpriteImage(7, unreadable, 12), nullptr);
        EXPECT_EQ(LookupSprite(7), kept) << "kept";
    }
    const std::pair<std::vector<uint8_t>, int32_t> refused[] = {
        {png, SpriteKeepAlpha}, {{'n', 'o', 't'}, 12}, {{}, 12}};
    for (const auto& [bytes, flags] : refused) {
        ASSERT_NE(SpriteFromMemory(5, png, 12), nullptr);
        EXPECT_EQ(SpriteFromMemory(5, bytes, flags), nullptr);
        EXPECT_EQ(LookupSprite(5), nullptr);
    }
}

// Texel (i, j) of a remade quad lands on (100 + Xi i + Xj j + X0, 100 + Yi i + Yj j + Y0).
TEST_F(Gl, EveryTexelOfAQuadLandsWhereSizeAndAngleSay) {
    const struct {
        int32_t Texels, Width, Height;
        float Angle, Added;
        int32_t Xi, Xj, X0, Yi, Yj, Y0, Lit;
    } rows[] = {{3, 6, 4, 0, 0, 2, 0, 1, 0, 2, 1, 24},     // scaled: the far end of doubled texels
                {4, 0, 0, 45, 45, 0, -1, 2, 1, 0, -1, 8},  // clockwise about (1.5, 0.5)
                {3, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 6},
                {3, -3, -2, 0, 0, -1, 0, -1, 0, -1, -1, 6},  // both sides negative: half a turn
                {3, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                {3, 3, -2, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                {3, 0, 0, NAN, 0, 0, 0, 0, 0, 0, 0, 0}};
    for (size_t r = 0; r < std::size(rows); ++r) {
        const auto& row = rows[r];
        const std::vector<uint32_t> texels = Palette(row.Texels * 2);
        ASSERT_TRUE(MakeQuad(1, row.Texels, 2, texels));
        FillScreen(0);
        if (row.Width != 0 || row.Height != 0) SetQuadSize(1, row.Width, row.Height);
        if (row.Angle != 0) SetQuadAngle(1, row.Angle, 0);
        if (row.Added != 0) SetQuadAngle(1, row.Added, 1);
        DrawOne(1, 100, 100);
        const Frame frame;
        for (int32_t k = 0; row.Lit != 0 && k < 2 * row.Texels; ++k) {
            const int32_t i = k % row.Texels, j = k / row.Texels;
            EXPECT_EQ(frame.At(100 + row.Xi * i + row.Xj * j + row.X0,
                               100 + row.Yi * i + row.Yj * j + row.Y0),
                      texels[k] & 0xFFFFFF)
                << "row " << r << " texel " << i << ", " << j;
        }
        EXPECT_EQ(frame.CountNot(0), row.Lit) << "row " << r;
    }
}

// Outside the bracket, missing, unusable, freed or replaced sprites, a freed table: nothing.
TEST_F(Gl, WhatCannotShowDrawsNothing) {
    ASSERT_TRUE(MakeQuad(1, 3, 2, Palette(6)));
    DrawQuadSprite(1, 10, 10, 255);
    DrawOne(-1, 0, 0);
    DrawQuadSprite(1, 10, 10, 255);
    EXPECT_EQ(CreateQuadSprite(2, 40), nullptr) << "no sprite 40";
    ASSERT_NE(SpriteFromMemory(3, EncodePng(1, 1, {~0u}), 0), nullptr);
    EXPECT_EQ(CreateQuadSprite(3, 3), nullptr) << "sprite 3 cannot back a quad";
    const auto nothing = [](int32_t quad, const char* what) {
        DrawOne(quad, 10, 10);
        EXPECT_EQ(Frame().CountNot(0), 0) << what;
    };
    for (int32_t quad : {2, 3, 64}) nothing(quad, "outside the bracket, missing or unusable");
    FreeSprite(1);
    nothing(1, "a freed sprite");
    ASSERT_TRUE(MakeQuad(1, 3, 2, Palette(6)));
    SpriteFromMemory(1, EncodePng(1, 1, {~0u}), 12);
    nothing(1, "a replaced sprite");
    ASSERT_TRUE(MakeQuad(1, 3, 2, Palette(6)));
    FreeAllQuadSprites();
    nothing(1, "a freed table");
}

// Blend codes (12, 13 set both factors from either side) and the draw's alpha's low byte.
TEST_F(Gl, BlendCodesAndAlphaFollowTheBlendArithmetic) {
    ASSERT_TRUE(MakeQuad(1, 1, 1, {0xC8C86432}));
    const int32_t rows[][4] = {{2, 1, 77, 0xC86432},  {3, 4, 77, 0xB8623D},  {9, 10, 77, 0xA4623C},
                               {5, 6, 77, 0x91613D},  {7, 8, 77, 0xC86432},  {11, 2, 77, 0x806040},
                               {12, 1, 77, 0x91613D}, {2, 13, 77, 0xB76335}, {0, 14, 77, 0x91613D},
                               {-7, 2, 77, 0xAF784C}, {5, 6, 300, 0x8A613E}};
    FillScreen(0x406080);
    ASSERT_EQ(BeginQuads(), 1);
    for (size_t k = 0; k < std::size(rows); ++k) {
        SetQuadBlending(rows[k][0], rows[k][1]);
        DrawQuadSprite(1, static_cast<int32_t>(2 * k), 0, rows[k][2]);
    }
    EndQuads();
    const Frame frame;
    for (size_t k = 0; k < std::size(rows); ++k)
        for (const int32_t shift : {0, 8, 16})
            EXPECT_NEAR(frame.At(int32_t(2 * k), 0) >> shift & 0xFF, rows[k][3] >> shift & 0xFF, 1)
                << "row " << k << " channel " << shift;
}

// DrawParticles as plainly written, one quad call after the other for each particle.
void DrawOneByOne(Engine& engine, int32_t offsetX, int32_t offsetY, int32_t layer) {
    ListVisit(engine.Emitters, [&](Emitter& e) {
        if (e.Layer != layer) return;
        ListVisit(e.Particles, [&](const Particle& p) {
            SetQuadBlending(e.BlendSource, e.BlendDestination);
            const int32_t size = RoundToInt(static_cast<double>(p.Size));
            SetQuadSize(p.Sprite, size, size);
            SetQuadAngle(p.Sprite, p.Angle, 0);
            DrawQuadSprite(p.Sprite, RoundToInt(double(float(offsetX) + p.X - p.Size * 0.5f)),
                           RoundToInt(double(float(offsetY) + p.Y - p.Size * 0.5f)),
                           RoundToInt(double(p.Transparency)));
        });
    });
}

// The run paths (plain, tinted; batched or not) against one call per particle, pixel for pixel.
// Every emitter's particles start and end on the coloured, translucent sprite 2, and the plain
// emitters drawn one after another differ in one blend factor at a time (the last one only in
// being tinted), so a batch must split on each.
TEST_F(Gl, BatchedDrawingMatchesOneCallPerParticleExactly) {
    ASSERT_TRUE(MakeQuad(1, 1, 1, {~0u}));
    ASSERT_TRUE(MakeQuad(2, 2, 2, {0xFFFF0000, 0x8000FF00, 0x3C0000FF, 0xFFFFFF00}));
    const int32_t blends[][2] = {{5, 6}, {5, 2}, {2, 2}, {12, 99}, {2, 6}, {2, 6}};
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int32_t k = 0; k < 6; ++k) {
        Emitter* e = CreateEmitter(engine, 0, 0);
        e->Layer = k == 3, e->BlendSource = blends[k][0], e->BlendDestination = blends[k][1];
        if (k == 5) e->Extras.Drag = 0.5f;  // drawn white through the tinted quads
        for (int32_t i = 0; i < (k == 0 ? 1300 : 400); ++i) {
            const float pick = unit(rng);
            const float size = pick < 0.02f    ? 0.3f
                               : pick > 0.995f ? 3000.0f
                               : pick > 0.98f  ? -6.0f
                                               : 1.0f + 30.0f * unit(rng);
            float angle = std::floor(unit(rng) * 720.0f - 360.0f) + (pick < 0.6f ? 0.5f : 0.0f);
            if (pick > 0.3f && pick < 0.33f) angle = 0.0f;
            if (pick > 0.4f && pick < 0.405f) angle = std::nanf("");
            if (pick > 0.5f && pick < 0.505f) angle = INFINITY;
            const int32_t sprite = i % 97 == 0 ? 5 : 2 - (i / 80) % 2;
            AddParticle(e, sprite, size, unit(rng) * 900.0f - 50.0f, unit(rng) * 700.0f - 50.0f,
                        unit(rng) * 400.0f - 50.0f, angle);
        }
    }
    // On every path: the batch centres and rounds its runs in the path's vector loops.
    auto compare = [&](int32_t dx, int32_t dy, bool batchRuns, int32_t layer) {
        OnEachCpuPath(AvailableCpuPaths(), [&] {
            std::vector<uint8_t> pixels[2];
            for (const bool oneByOne : {false, true}) {
                SetQuadBatching(batchRuns != oneByOne);
                FillScreen(0);
                ASSERT_EQ(BeginQuads(), 1);
                oneByOne ? DrawOneByOne(engine, dx, dy, layer)
                         : void(DrawParticles(engine, dx, dy, layer));
                DrawQuadSprite(1, 300, 300, 255);
                DrawQuadSprite(2, 500, 300, 255);
                EndQuads();
                pixels[oneByOne] = Frame().Bytes;
            }
            SetQuadBatching(true);
            EXPECT_GT(Frame().CountNot(0), 2000);
            EXPECT_TRUE(pixels[0] == pixels[1]) << batchRuns << " layer " << layer;
        });
    };
    compare(3, -2, true, 0);
    compare(3, -2, false, 0);
    compare(0, 0, true, 1);
    ListRemoveAll(engine.Emitters);
    Emitter* e = CreateEmitter(engine, 0, 0);
    e->BlendDestination = 2;  // (source alpha, one) makes every alpha visible
    const float sizes[] = {1.5f, 2.5f, 3.0f, 3.5f, std::nextafter(2.5f, 3.0f), 4.0f};
    const float nudges[] = {0.0f, 0.5f, -0.5f, 0.25f, 1.5f, std::nextafter(0.5f, 1.0f)};
    const float far[] = {8388608.5f, -8388609.0f, 3e9f, -3e9f, 1e30f, std::nanf("")};
    for (int32_t k = 0; k < 30 * 37; ++k) {
        const float x = 10.0f + 21.0f * static_cast<float>(k % 37) + nudges[k / 6 % 6];
        const float y = 10.0f + 19.0f * static_cast<float>(k / 37) + nudges[k / 36 % 6];
        AddParticle(e, 1, sizes[k % 6], k % 41 == 40 ? far[k / 41 % 6] : x, y,
                    100.5f + static_cast<float>(k % 7) * 0.5f);
    }
    compare(1, 0, true, 0);
    SetQuadBlending(5, 6);
}

// Each tinted quad its colour, curve size and sheet cell; left-out quads between them.
TEST_F(Gl, TintedQuadsTakeTheirColourCurveSizeAndSheetCell) {
    std::vector<uint32_t> cells;  // a 4 x 2 sheet of one texel per cell, cell k (255, 32 k, 255)
    for (uint32_t k = 0; k < 8; ++k) cells.push_back(0xFFFF00FF | 32 * k << 8);
    ASSERT_TRUE(MakeQuad(1, 4, 2, cells));
    Emitter* e = CreateEmitter(engine, 0, 0);
    e->Extras.Colour = {200.0f, 255.0f, 100.0f};
    e->Extras.SizeOverLife.Count = 1;
    e->Extras.SizeOverLife.Value[0] = {2.0f};
    e->Extras.SpriteSheet = {4, 2, 8, 0.0f, 0};
    const int32_t frames[] = {0, 5, 7, 3};
    for (int32_t k = 0; k < 4; ++k) {
        AddParticle(e, 1, 5.0f, 100.0f * float(k + 1), 100.0f, 255.0f, 90.0f, 0.0f, frames[k]);
        AddParticle(e, 1, 0.2f, 100.0f * float(k + 1), 100.0f, 255.0f, 0.0f, 0.5f, 1);
        AddParticle(e, 1, 5.0f, std::nanf(""), 100.0f, 255.0f, 0.0f, 0.5f, 1);
    }
    for (const bool batching : {true, false}) {
        SetQuadBatching(batching);
        const Frame frame = DrawnOnBlack(engine);
        SetQuadBatching(true);
        for (int32_t k = 0; k < 4; ++k) {
            const int32_t left = 100 * k + 95;  // side 5 doubled by its curve
            const uint32_t rgb = 0xC80064 | 32 * frames[k] << 8;
            EXPECT_EQ(frame.CountNot(rgb, left, 95, left + 10, 105), 0) << k;
            EXPECT_EQ(frame.CountNot(0, left - 20, 75, left + 30, 125), 100) << k;
        }
    }
    // A plain quad of the same sprite and blend right after a red tinted one: each as alone.
    const float xy[8] = {100, 300, 120, 300, 100, 320, 120, 320}, uv[8] = {0, 0, 1, 0, 0, 1, 1, 1};
    const uint8_t alpha[4] = {255, 255, 255, 255}, red[3] = {255, 0, 0};
    auto drawn = [&](bool tinted, bool plain) {
        FillScreen(0);
        EXPECT_EQ(BeginQuads(), 1);
        if (tinted) DrawTintedQuads(5, 6, 1, {1, xy, alpha, red, uv});
        SetQuadBlending(5, 6), SetQuadSize(1, 20, 20), SetQuadAngle(1, 0.0f, 0);
        if (plain) DrawQuadSprite(1, 600, 300, 255);
        EndQuads();
        return Frame();
    };
    const Frame both = drawn(true, true), tinted = drawn(true, false), plain = drawn(false, true);
    EXPECT_EQ(tinted.CountNot(0), 400);
    EXPECT_EQ(plain.CountNot(0), 400);
    for (int32_t y = 0; y < 600; ++y) {
        for (int32_t x = 0; x < 800; ++x) {
            const bool quad = x >= 600 && x < 620 && y >= 300 && y < 320;
            ASSERT_EQ(both.At(x, y), (quad ? plain : tinted).At(x, y)) << x << ',' << y;
        }
    }
}

// A trail's ribbon covers the way back through its places, whichever way its particle flew
// (every quad wound as a sprite's, so that culling keeps it), and nothing beyond its end.
TEST_F(Gl, TrailRibbonsCoverTheWayBackInEveryDirection) {
    ASSERT_TRUE(MakeQuad(1, 1, 1, {0xFFFFFFFF}));
    Emitter* e = CreateEmitter(engine, 0, 0);
    e->Extras.Trail = {3, 0.0f, 8.0f, 8.0f, 0.0f, 0.0f, 0};
    const int32_t ways[][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    for (int32_t k = 0; k < 4; ++k) AddParticle(e, 1, 2.0f, 150.0f * float(k + 1), 300.0f);
    // Slot 0 of each ring (TrailHead) is the particle's place, slot 2 the one 20 pixels back,
    // slot 1 the one 40 back.
    for (int32_t k = 0; k < 4; ++k) {
        for (const int32_t back : {0, 40, 20}) {
            *ListInsert(e->Trail) = TrailPoint{150.0f * float(k + 1) - float(back * ways[k][0]),
                                               300.0f - float(back * ways[k][1]), 0, 1};
        }
    }
    const Frame frame = DrawnOnBlack(engine);
    for (int32_t k = 0; k < 4; ++k) {
        const int32_t x = 150 * (k + 1), dx = ways[k][0], dy = ways[k][1];
        // The box from 4 to 36 pixels back, 2 to either side, and the one from 44 to 60 back.
        auto box = [&](int32_t from, int32_t to, int32_t side) {
            const int32_t ax = x - from * dx, bx = x - to * dx, ay = 300 - from * dy,
                          by = 300 - to * dy;
            return std::array<int32_t, 4>{
                std::min(ax, bx) - side * (dx == 0), std::min(ay, by) - side * (dy == 0),
                std::max(ax, bx) + side * (dx == 0), std::max(ay, by) + side * (dy == 0)};
        };
        const auto inside = box(4, 36, 2);
        EXPECT_EQ(frame.CountNot(0xFFFFFF, inside[0], inside[1], inside[2], inside[3]), 0) << k;
        const auto beyond = box(44, 60, 6);
        EXPECT_EQ(frame.CountNot(0, beyond[0], beyond[1], beyond[2], beyond[3]), 0) << k;
    }
}

// A trail drawn after its particle (Behind = 0) covers the particle's half on its side, one
// drawn before it (Behind = 1) lies under it: with a sprite red on top and green below, the
// particle's lower half is the ribbon's red (the cell's top at the particle) or its own green.
TEST_F(Gl, TrailsAreDrawnAfterOrBeforeTheirParticle) {
    ASSERT_TRUE(MakeQuad(1, 1, 2, {0xFFFF0000, 0xFF00FF00}));
    for (const auto& [behind, lower] : {std::pair(0, 0xFF0000u), std::pair(1, 0x00FF00u)}) {
        ListRemoveAll(engine.Emitters);
        Emitter* e = CreateEmitter(engine, 0, 0);
        e->BlendSource = kBlendOne, e->BlendDestination = kBlendZero;
        e->Extras.Trail = {2, 0.0f, 8.0f, 8.0f, 0.0f, 0.0f, behind};
        AddParticle(e, 1, 20.0f, 100.0f, 100.0f);
        *ListInsert(e->Trail) = TrailPoint{100.0f, 100.0f, 0, 1};  // slot 0 (TrailHead): here
        *ListInsert(e->Trail) = TrailPoint{100.0f, 160.0f, 0, 1};  // 60 pixels below
        const Frame frame = DrawnOnBlack(engine);
        EXPECT_EQ(frame.CountNot(0xFF0000, 91, 91, 109, 99), 0) << behind;
        EXPECT_EQ(frame.CountNot(lower, 97, 101, 103, 109), 0) << behind;
    }
}

// A quad of a motion effect takes its end size's share and its start-to-end colour at its life
// fraction: 5 + 10 * 0.5 pixels, red and blue halfway from 255 to 0 (127.5, rounded to 128).
TEST_F(Gl, MotionQuadsTakeTheirEndSizeAndColours) {
    ASSERT_TRUE(MakeQuad(1, 1, 1, {0xFFFFFFFF}));
    Emitter* e = CreateEmitter(engine, 0, 0);
    e->Extras.Motion.EndSize = {1, {15.0f, 15.0f, 1.0f}};
    e->Extras.Motion.EndColour = {1, {0.0f, 255.0f, 0.0f, 255.0f}};
    AddParticle(e, 1, 5.0f, 100.0f, 100.0f, 255.0f, 0.0f, 0.5f);
    ParticleMotion m{};
    m.SizeChange = 10.0f;
    m.Colour = {255.0f, 255.0f, 255.0f, 255.0f};
    m.ColourChange = {-255.0f, 0.0f, -255.0f, 0.0f};
    *ListInsert(e->Motion) = m;
    const Frame frame = DrawnOnBlack(engine);
    EXPECT_EQ(frame.CountNot(0x80FF80, 95, 95, 105, 105), 0);
    EXPECT_EQ(frame.CountNot(0, 75, 75, 125, 125), 100);
}

// Pixels, quads and GL draws of each frame of 24 emitters, above the size the workers take on;
// with a particle budget below what they would bear, also the births it dropped.
using Frames = std::vector<std::pair<std::vector<uint8_t>, std::array<int64_t, 2>>>;
Frames DrawCrowd(int32_t threads, int32_t frames, bool batching, int64_t budget = kNoBudget) {
    WorkerPool pool(threads);
    VirtualClock clock{1000};
    Engine engine{clock};
    SeedRandom(engine.Random, 3);
    engine.Workers = &pool;
    engine.MaxParticles = budget;
    EmitterParams spark;  // started where the particles of every sixth emitter die
    SetValueSpec(spark.LifeTime, 0.4f, 0.8f, 0.1f);
    SetValueSpec(spark.Size, 3.0f, kSameAsMin<float>, 1.0f);
    spark.Sprite = {2, 2, 1};
    engine.SubEffects.push_back(spark);
    for (int32_t i = 0; i < 24; ++i) {
        Emitter* e = CreateEmitter(engine, 30 + 31 * i, 40 + 21 * i);
        SetValueSpec(e->EmissionRate, 1000.0f, kSameAsMin<float>, 1.0f);
        SetValueSpec(e->LifeTime, 0.3f, 1.5f, 0.1f);
        SetValueSpec(e->Size, 1.0f, 12.0f, 0.5f);
        SetValueSpec(e->EmissionVelocity, 5.0f, 90.0f, 1.0f);
        SetValueSpec(e->Rotation, i % 2 == 0 ? 0.0f : -7.0f, 7.0f, 0.5f);
        SetSpriteRange(e, 1, 3, 1);
        e->Layer = i == 6 ? 1 : 0;
        if (i % 3 == 0) e->BlendDestination = 2;
        if (i % 4 == 1) e->Extras.Colour = {255.0f, 90.0f, 20.0f};  // tinted, in a sheet
        if (i % 4 == 1) e->Extras.SpriteSheet = {2, 2, 4, 0.0f, 0};
        if (budget != kNoBudget && i % 6 == 5) e->Extras.OnDeath = {0, 30, 0};
    }
    SetQuadBatching(batching);
    Frames run;
    for (int32_t k = 1; k <= frames; ++k) {
        clock.Set(static_cast<uint32_t>(1000 + 400 * k));
        FrameTiming timing;
        RunEngineFrame(engine, FrameUpdate::Run, &timing);
        run.push_back({Frame().Bytes, {timing.Quads.Quads, timing.Quads.Batches}});
        EXPECT_GT(timing.Quads.Quads, k == 4 ? 16384 : 0);
        EXPECT_LE(timing.Quads.Quads, budget);
    }
    if (budget != kNoBudget) run.push_back({{}, {engine.DroppedBirths, 0}});
    SetQuadBatching(true);
    return run;
}

// On two, three and eight threads; one frame also with one GL draw per quad.
TEST_F(Gl, CrowdFramesAreTheSameOnAnyNumberOfThreads) {
    ASSERT_TRUE(MakeQuad(1, 2, 2, {~0u, 0xFFFF0000, 0x8000FF00, 0xFF0000FF}));
    ASSERT_TRUE(MakeQuad(2, 3, 1, {0xC809C828, 0x5A5A14F0, 0xFFFFFF00}));
    const auto one = DrawCrowd(1, 4, true);
    EXPECT_TRUE(DrawCrowd(2, 1, false) == DrawCrowd(1, 1, false));
    for (const int32_t threads : {2, 3, 8}) EXPECT_TRUE(DrawCrowd(threads, 4, true) == one);
    // With sparks where some die, the crowd asks for more than 40000 from the third frame on:
    // with the budget reached, every thread count drops the same births.
    const auto held = DrawCrowd(1, 4, true, 40000);
    ASSERT_GT(held.back().second[0], 0);
    for (const int32_t threads : {2, 3, 8}) EXPECT_TRUE(DrawCrowd(threads, 4, true, 40000) == held);
}

}  // namespace
}  // namespace pp
