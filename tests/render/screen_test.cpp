#include "render/screen.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include "render/quad_sprites.h"
#include "render/sprites.h"
#include "render/window.h"
#include "tests/render/render_test_support.h"

namespace pp {
namespace {

using test::Bgr;
using test::Frame;

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
