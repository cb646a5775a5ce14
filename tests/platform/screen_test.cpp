// The screen (clearing, presenting, life without one) and sprite loading.
#include "platform/screen.h"

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>

#include "tests/platform/platform_test_support.h"

namespace pp {
namespace {

using test::Frame;

// What window 0 shows in the rectangle at (x, y), w x h, as top-down B, G, R rows.
std::vector<uint8_t> WindowPixels(int32_t x, int32_t y, int32_t w, int32_t h) {
    std::vector<uint8_t> topDown(size_t(w) * 3 * size_t(h));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int32_t r = 0; r < h; ++r)
        glReadPixels(x, 600 - y - 1 - r, w, 1, GL_BGR, GL_UNSIGNED_BYTE,
                     &topDown[size_t(r) * w * 3]);
    ApplyDefaultStates();
    return topDown;
}

using ScreenTest = test::OnScreen;

// Red in bits 0-7, green 8-15, blue 16-23; a top byte lands in green, a set bit 31 fills the
// bits above 16 of the device colour. Expected pixels as 0xRRGGBB.
TEST_F(ScreenTest, FillScreenConvertsTheColourForTheWholeBackBuffer) {
    const uint32_t colours[][2] = {{0x406080, 0x806040},
                                   {0x01000000, 0x100},
                                   {0x7F000000, 0x7F00},
                                   {0x80000000, 0xFF8000},
                                   {0xFFFFFFFF, 0xFFFFFF}};
    for (const auto& [colour, rgb] : colours) {
        FillScreen(static_cast<int32_t>(colour));
        EXPECT_EQ(Frame().CountNot({uint8_t(rgb), uint8_t(rgb >> 8), uint8_t(rgb >> 16)}), 0)
            << std::hex << colour;
    }
}

// Presenting shows the back buffer in the window, top row first, at the screen's place with
// black around it, and leaves the back buffer for the next frame or an expose.
TEST_F(ScreenTest, PresentingShowsTheBackBufferAtItsPlaceTopRowFirst) {
    for (const auto& [x, y, w, h] : {std::array{0, 0, 800, 600}, std::array{10, 20, 320, 200}}) {
        ASSERT_EQ(OpenScreenInWindow(WindowHandle(0), x, y, w, h, 0, 0, 0), 1);
        std::vector<test::Rgba> texels;
        for (uint8_t i = 0; i < 6; ++i)
            texels.push_back({uint8_t(i * 50), uint8_t(250 - i * 40), uint8_t(i % 2 * 200), 255});
        ASSERT_TRUE(test::MakeQuadFromPixels(1, 3, 2, texels));
        FillScreen(0x00FFFFFF);
        ASSERT_EQ(BeginQuads(), 1);
        DrawQuadSprite(1, 1, 0, 255);
        DrawQuadSprite(1, w - 2, h - 1, 128);
        EndQuads();
        const Frame frame;
        ASSERT_EQ(PresentFrame(), 1);
        EXPECT_EQ(WindowPixels(x, y, w, h), frame.Bytes) << w;
        const std::vector<uint8_t> whole = WindowPixels(0, 0, 800, 600);
        int32_t lit = 0;  // nothing in the white frame is black, nothing outside it lit
        for (size_t i = 0; i < whole.size(); i += 3)
            lit += (whole[i] | whole[i + 1] | whole[i + 2]) != 0;
        EXPECT_EQ(lit, w * h);
        SDL_Event e{};  // an expose shows the frame again
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = SDL_GetWindowID(WindowHandle(0));
        e.window.event = SDL_WINDOWEVENT_EXPOSED;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
        while (WaitEvent(5) != 0) {
        }
        EXPECT_EQ(PresentFrame(), 1);
        EXPECT_TRUE(Frame().Bytes == frame.Bytes);
        EXPECT_EQ(WindowPixels(x, y, w, h), frame.Bytes);
    }
}

// Bad sizes or no window open no screen (and opening one frees the sprites); without a screen
// every call does nothing or fails; a screen goes with its window; graphics start once.
TEST_F(ScreenTest, WithoutAScreenEverythingDoesNothingOrFails) {
    const std::vector<uint8_t> png = test::EncodePng(1, 1, {{255, 0, 0, 255}});
    ASSERT_NE(SpriteFromMemory(3, png, SpriteUsableAsQuad), nullptr);
    for (const auto& [w, h] : {std::pair{0, 600}, {800, -1}, {1 << 30, 600}})
        EXPECT_EQ(OpenScreenInWindow(WindowHandle(0), 0, 0, w, h, 0, 0, 0), 0);
    EXPECT_EQ(LookupSprite(3), nullptr) << "opening a screen frees the sprites";
    EXPECT_EQ(OpenScreenInWindow(nullptr, 0, 0, 800, 600, 0, 0, 0), 0);
    FillScreen(255);
    ApplyDefaultStates();
    EXPECT_EQ(ScreenWidth() + ScreenHeight() + EnsureScene() + BeginQuads(), 0);
    EXPECT_EQ(PresentFrame(), 1);
    std::vector<uint8_t> bgr{1, 2, 3};
    EXPECT_FALSE(ReadScreenPixels(bgr) || !bgr.empty());
    EXPECT_EQ(SpriteFromMemory(1, png, SpriteUsableAsQuad), nullptr);
    DrawQuadSprite(1, 0, 0, 255);
    EndQuads();
    ReleaseScreen();
    ASSERT_TRUE(test::OpenTestScreen());
    WindowClose(0);
    EXPECT_EQ(ScreenWidth() + EnsureScene(), 0) << "the screen goes with its window";
    test::CloseTestScreen();
    EXPECT_EQ(InitGraphics(), 1);
    EXPECT_EQ(InitGraphics(), 0) << "once";
    ShutdownGraphics();
    ShutdownGraphics();
}

// A failed load empties the number (a file read goes the same way); a file that cannot be read
// keeps what was there; names may use backslashes; numbers past the table grow it.
TEST_F(ScreenTest, SpritesLoadReplaceAndFree) {
    const std::vector<uint8_t> png =
        test::EncodePng(3, 2, std::vector<test::Rgba>(6, {9, 9, 9, 9}));
    const std::filesystem::path dir = std::filesystem::path(PP_BINARY_DIR) / "screen_test";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "star.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), png.size());
    const SpriteRecord* fromFile = LoadSpriteImage(7, (dir.string() + "\\star.png").c_str(), 12);
    ASSERT_TRUE(fromFile != nullptr && fromFile->Width == 3);
    for (const char* unreadable : {"Data\\no such file.png", PP_BINARY_DIR, (const char*)nullptr}) {
        EXPECT_EQ(LoadSpriteImage(7, unreadable, 12), nullptr);
        EXPECT_EQ(LookupSprite(7), fromFile) << "kept";
    }
    const std::pair<std::vector<uint8_t>, int32_t> refused[] = {
        {png, SpriteKeepAlpha}, {{'n', 'o', 't'}, 12}, {{}, 12}};
    for (const auto& [bytes, flags] : refused) {
        ASSERT_NE(SpriteFromMemory(5, png, 12), nullptr);
        EXPECT_EQ(SpriteFromMemory(5, bytes, flags), nullptr);
        EXPECT_EQ(LookupSprite(5), nullptr);
    }
    EXPECT_EQ(SpriteFromMemory(-1, png, 12), nullptr);
    EXPECT_NE(SpriteFromMemory(1000, png, 12), nullptr);
    FreeSprite(1000);
    EXPECT_EQ(LookupSprite(1000), nullptr);
}

}  // namespace
}  // namespace pp
