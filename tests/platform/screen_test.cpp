#include "platform/screen.h"

#include <SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "image/image_decoders.h"
#include "platform/quad_sprites.h"
#include "platform/sprites.h"
#include "platform/window.h"
#include "tests/platform/platform_test_support.h"

namespace pp {
namespace {

using test::Bgr;
using test::Frame;
using test::Rgba;

// What the window shows in the rectangle at (x, y), w x h, as top-down B, G, R rows like
// ReadScreenPixels; the window's own GL rows run bottom-up.
std::vector<uint8_t> ReadWindowPixels(int32_t x, int32_t y, int32_t w, int32_t h) {
    int drawW = 0, drawH = 0;
    SDL_GL_GetDrawableSize(WindowHandle(0), &drawW, &drawH);
    const size_t row = static_cast<size_t>(w) * 3u;
    std::vector<uint8_t> bottomUp(row * static_cast<size_t>(h));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, drawH - y - h, w, h, GL_BGR, GL_UNSIGNED_BYTE, bottomUp.data());
    ApplyDefaultStates();
    std::vector<uint8_t> topDown;
    for (int32_t r = h - 1; r >= 0; --r) {
        const auto begin = bottomUp.begin() + static_cast<ptrdiff_t>(row * static_cast<size_t>(r));
        topDown.insert(topDown.end(), begin, begin + static_cast<ptrdiff_t>(row));
    }
    return topDown;
}

// A picture that no turn or mirror maps onto itself: distinct 3 x 2 quads in three corners.
void DrawCornerQuads(int32_t width, int32_t height) {
    const std::vector<Rgba> texels = {{255, 0, 0, 255},   {0, 255, 0, 255},   {0, 0, 255, 255},
                                      {255, 255, 0, 255}, {0, 255, 255, 255}, {255, 0, 255, 255}};
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 3, 2, texels));
    ASSERT_EQ(BeginQuads(), 1);
    DrawQuadSprite(1, 1, 0, 255);
    DrawQuadSprite(1, width - 2, 1, 255);
    DrawQuadSprite(1, 1, height - 1, 128);
    EndQuads();
}

class ScreenTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(test::OpenTestScreen()) << SDL_GetError(); }
    static void TearDownTestSuite() { test::CloseTestScreen(); }
};

TEST_F(ScreenTest, BackBufferHasTheScreenSizeAndDepth) {
    EXPECT_EQ(ScreenWidth(), 800);
    EXPECT_EQ(ScreenHeight(), 600);
    EXPECT_EQ(ScreenDepth(), 32);
    std::vector<uint8_t> bgr;
    ASSERT_TRUE(ReadScreenPixels(bgr));
    EXPECT_EQ(bgr.size(), 800u * 600u * 3u);
}

struct Fill {
    int32_t Colour;
    Bgr Expected;
};

class FillScreenColours : public ScreenTest, public ::testing::WithParamInterface<Fill> {};

TEST_P(FillScreenColours, FillTheWholeBackBufferWithTheConvertedColour) {
    FillScreen(GetParam().Colour);
    const Frame frame;
    EXPECT_EQ(frame.CountNot(GetParam().Expected, 0, 0, 800, 600), 0);
    const Bgr corner = frame.At(799, 599);
    EXPECT_EQ(corner.R, GetParam().Expected.R);
    EXPECT_EQ(corner.G, GetParam().Expected.G);
    EXPECT_EQ(corner.B, GetParam().Expected.B);
}

// Red in bits 0-7, green 8-15, blue 16-23; a top byte lands in green, a set bit 31 fills
// the bits above 16 of the device colour.
INSTANTIATE_TEST_SUITE_P(Colours, FillScreenColours,
                         ::testing::Values(Fill{0, {0, 0, 0}}, Fill{255, {0, 0, 255}},
                                           Fill{0x00FF00, {0, 255, 0}}, Fill{0xFF0000, {255, 0, 0}},
                                           Fill{0x00406080, {0x40, 0x60, 0x80}},
                                           Fill{0x01000000, {0, 1, 0}},
                                           Fill{0x7F000000, {0, 0x7F, 0}},
                                           Fill{static_cast<int32_t>(0x80000000), {0, 0x80, 0xFF}},
                                           Fill{-1, {255, 255, 255}}));

TEST_F(ScreenTest, PresentingKeepsTheBackBufferForShowingItAgain) {
    FillScreen(0x00336699);
    const Frame before;
    EXPECT_EQ(EnsureScene(), 1);
    EXPECT_EQ(PresentFrame(), 1);
    EXPECT_EQ(PresentFrame(), 1);
    const Frame after;
    EXPECT_EQ(before.Bytes(), after.Bytes());
}

TEST_F(ScreenTest, ExposeBetweenFramesPresentsTheUnchangedFrame) {
    FillScreen(0x00102030);
    PresentFrame();
    const Frame before;
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = SDL_GetWindowID(WindowHandle(0));
    e.window.event = SDL_WINDOWEVENT_EXPOSED;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    while (WaitEvent(5) != 0) {
    }
    EXPECT_EQ(Frame().Bytes(), before.Bytes());
}

TEST_F(ScreenTest, PresentingShowsTheBackBufferInTheWindowTopRowFirst) {
    FillScreen(0x00203040);
    DrawCornerQuads(800, 600);
    const Frame frame;
    ASSERT_EQ(PresentFrame(), 1);
    EXPECT_EQ(ReadWindowPixels(0, 0, 800, 600), frame.Bytes());
    EXPECT_EQ(Frame().Bytes(), frame.Bytes()) << "presenting leaves the back buffer as it was";

    // The frame after it is drawn as usual, not over or from the presented picture.
    FillScreen(0);
    DrawCornerQuads(800, 600);
    const Frame next;
    // 3 x 2, 2 x 2 cut by the right edge and 3 x 1 cut by the bottom edge.
    EXPECT_EQ(next.CountNot({0, 0, 0}, 0, 0, 800, 600), 6 + 4 + 3);
    PresentFrame();
    EXPECT_EQ(ReadWindowPixels(0, 0, 800, 600), next.Bytes());
}

TEST_F(ScreenTest, ScreenAwayFromTheCornerIsShownAtItsPlaceWithBlackAround) {
    ASSERT_EQ(OpenScreenInWindow(WindowHandle(0), 10, 20, 320, 200, 0, 0, 0), 1);
    EnablePngDecoder();
    FillScreen(0x00FFFFFF);
    DrawCornerQuads(320, 200);
    const Frame frame;
    ASSERT_EQ(PresentFrame(), 1);
    EXPECT_EQ(ReadWindowPixels(10, 20, 320, 200), frame.Bytes());
    const std::vector<uint8_t> whole = ReadWindowPixels(0, 0, 800, 600);
    int32_t lit = 0;
    for (size_t i = 0; i < whole.size(); i += 3) {
        if (whole[i] != 0 || whole[i + 1] != 0 || whole[i + 2] != 0) ++lit;
    }
    // Nothing in the white frame is black, nothing outside it is lit.
    EXPECT_EQ(lit, 320 * 200);
    ReleaseScreen();
}

TEST_F(ScreenTest, EveryOperationDoesNothingOrFailsWithoutAScreen) {
    ReleaseScreen();
    EXPECT_EQ(ScreenWidth(), 0);
    EXPECT_EQ(ScreenHeight(), 0);
    FillScreen(255);
    EXPECT_EQ(EnsureScene(), 0);
    ApplyDefaultStates();
    EXPECT_EQ(PresentFrame(), 1);
    std::vector<uint8_t> bgr{1, 2, 3};
    EXPECT_FALSE(ReadScreenPixels(bgr));
    EXPECT_TRUE(bgr.empty());
    EXPECT_EQ(BeginQuads(), 0);
    const std::vector<uint8_t> png = test::EncodePng(1, 1, {{255, 0, 0, 255}});
    EXPECT_EQ(SpriteFromMemory(1, png, SpriteUsableAsQuad), nullptr);
    SetQuadBlending(2, 2);
    DrawQuadSprite(1, 0, 0, 255);
    EndQuads();
    ReleaseScreen();  // twice: nothing
}

TEST_F(ScreenTest, OpeningInNoWindowFailsAndFreesAllSprites) {
    const std::vector<uint8_t> png = test::EncodePng(1, 1, {{255, 0, 0, 255}});
    ASSERT_NE(SpriteFromMemory(3, png, SpriteUsableAsQuad), nullptr);
    EXPECT_EQ(OpenScreenInWindow(nullptr, 0, 0, 800, 600, 0, 0, 0), 0);
    EXPECT_EQ(LookupSprite(3), nullptr);
    EXPECT_EQ(ScreenWidth(), 0);
}

TEST_F(ScreenTest, OpeningASecondScreenClosesTheFirstAndItsSprites) {
    const std::vector<uint8_t> png = test::EncodePng(1, 1, {{255, 0, 0, 255}});
    ASSERT_NE(SpriteFromMemory(3, png, SpriteUsableAsQuad), nullptr);
    ASSERT_EQ(OpenScreenInWindow(WindowHandle(0), 0, 0, 320, 200, 0, 0, 0), 1);
    EXPECT_EQ(LookupSprite(3), nullptr);
    EXPECT_EQ(ScreenWidth(), 320);
    EXPECT_EQ(ScreenHeight(), 200);
    ReleaseScreen();
}

TEST_F(ScreenTest, UnusableSizesFailTheOpen) {
    EXPECT_EQ(OpenScreenInWindow(WindowHandle(0), 0, 0, 0, 600, 0, 0, 0), 0);
    EXPECT_EQ(OpenScreenInWindow(WindowHandle(0), 0, 0, 800, -1, 0, 0, 0), 0);
    EXPECT_EQ(OpenScreenInWindow(WindowHandle(0), 0, 0, 1 << 30, 600, 0, 0, 0), 0);
    EXPECT_EQ(ScreenWidth(), 0);
    EXPECT_EQ(EnsureScene(), 0);
}

TEST_F(ScreenTest, StretchedScreenPresentsIntoAResizedWindow) {
    ASSERT_EQ(OpenScreenInWindow(WindowHandle(0), 10, 20, 800, 600, 1, 30, 40), 1);
    SDL_SetWindowSize(WindowHandle(0), 1000, 700);
    while (WaitEvent(5) != 0) {
    }
    FillScreen(0x00FF00);
    EXPECT_EQ(PresentFrame(), 1);
    EXPECT_EQ(ScreenWidth(), 800) << "the back buffer keeps its size";
    SDL_SetWindowSize(WindowHandle(0), 800, 600);
    ReleaseScreen();
}

TEST_F(ScreenTest, ClosingTheWindowReleasesTheScreenInIt) {
    WindowClose(0);
    EXPECT_EQ(ScreenWidth(), 0);
    EXPECT_EQ(EnsureScene(), 0);
    EXPECT_EQ(PresentFrame(), 1);
}

TEST(GraphicsLifecycle, InitialisesOnceAndShutsDownCleanly) {
    test::CloseTestScreen();
    EXPECT_EQ(InitGraphics(), 1);
    EXPECT_EQ(InitGraphics(), 0);
    ShutdownGraphics();
    ShutdownGraphics();
    EXPECT_EQ(OpenScreenInWindow(nullptr, 0, 0, 8, 8, 0, 0, 0), 0);
}

}  // namespace
}  // namespace pp
