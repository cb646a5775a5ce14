// Windows and their events: opening, the codes raised for window and key events and close
// requests, the queue's order and the wait's time-out.
#include "platform/window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>

#include "tests/platform/platform_test_support.h"

namespace pp {
namespace {

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::KeepGraphicsDriverLoaded()) << SDL_GetError();
        window = WindowOpen(0, 0, 0, 800, 600, "SCREEN", 0x00C80001, nullptr);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        Collect();  // whatever opening the window queued
    }
    void TearDown() override { CloseAllWindows(); }
    void Push(uint32_t type, uint8_t windowEvent = 0, int32_t key = 0, uint32_t otherId = 0) {
        SDL_Event e{};
        e.type = type;
        e.window.windowID = SDL_GetWindowID(window) + otherId;
        e.window.event = windowEvent;
        if (type == SDL_KEYDOWN) e.key.keysym.sym = key;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    // Every code WaitEvent hands out until it times out.
    static std::vector<int32_t> Collect() {
        std::vector<int32_t> codes;
        for (int32_t code = WaitEvent(5); code != 0; code = WaitEvent(5)) codes.push_back(code);
        return codes;
    }
    SDL_Window* window = nullptr;
};

// One titled, fixed-size GL window per number (bad ones refused); a wait times out.
TEST_F(WindowTest, OpensOneTitledFixedSizeWindowPerNumberAndWaitsTimeOut) {
    EXPECT_STREQ(SDL_GetWindowTitle(window), "SCREEN");
    EXPECT_EQ(SDL_GetWindowFlags(window) & (SDL_WINDOW_RESIZABLE | SDL_WINDOW_OPENGL),
              SDL_WINDOW_OPENGL);
    for (const auto& [number, width, height] :
         {std::array{-2, 100, 100}, {1, 0, 100}, {1, 100, -5}, {1, 1 << 20, 100}})
        EXPECT_EQ(WindowOpen(number, 0, 0, width, height, "x", 1, nullptr), nullptr) << number;
    const uint32_t firstId = SDL_GetWindowID(window);
    SDL_Window* second = WindowOpen(0, 0, 0, 320, 200, "again", 0x00C80001, nullptr);
    EXPECT_EQ(SDL_GetWindowFromID(firstId), nullptr) << "the same number closes the first";
    EXPECT_EQ(WindowHandle(0), second);
    Collect();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitEvent(5), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4));
}

// The codes raised for SDL's events, in order (raw SDL numbers left out); a maximize or minimize
// is remembered until a restore; a quit or SIGTERM is a close request; the window stays open.
TEST_F(WindowTest, EventsRaiseTheirCodesInOrder) {
    const std::pair<std::vector<uint8_t>, std::vector<int32_t>> rows[] = {
        {{SDL_WINDOWEVENT_MOVED}, {kEventMoved}},
        {{SDL_WINDOWEVENT_SIZE_CHANGED}, {kEventResized}},
        {{SDL_WINDOWEVENT_RESIZED}, {}},  // always followed by SIZE_CHANGED
        {{SDL_WINDOWEVENT_EXPOSED}, {kEventExposed}},
        {{SDL_WINDOWEVENT_FOCUS_GAINED}, {kEventActivated}},
        {{SDL_WINDOWEVENT_FOCUS_LOST}, {}},
        {{SDL_WINDOWEVENT_RESTORED}, {kEventResized}},
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
    Push(SDL_QUIT);
    EXPECT_EQ(Collect(), (std::vector<int32_t>{SDL_QUIT, kEventCloseRequested}));
    ASSERT_EQ(std::raise(SIGTERM), 0);
    EXPECT_EQ(Collect(), (std::vector<int32_t>{SDL_QUIT, kEventCloseRequested}));
    EXPECT_EQ(WindowHandle(0), window);
    Push(SDL_WINDOWEVENT, SDL_WINDOWEVENT_CLOSE, 0, 1000);  // a window we do not know
    EXPECT_EQ(Collect(), std::vector<int32_t>{SDL_WINDOWEVENT});
}

// An event equal to the newest queued one is dropped; queued events come before new ones.
TEST_F(WindowTest, TheQueueDropsRepeatsAndKeepsItsOrder) {
    for (const auto& [code, window] : {std::pair{15, 0}, {15, 0}, {5, 0}, {15, 0}, {15, 1}})
        RaiseWindowEvent(code, 0, window, 0);
    EXPECT_EQ((std::vector<int32_t>{WaitEvent(0), WaitEvent(0), WaitEvent(0), WaitEvent(0)}),
              (std::vector<int32_t>{15, 5, 15, 15}));
    RaiseWindowEvent(15, 0, 1, 0);  // the equal one was handed out already: kept
    EXPECT_EQ(WaitEvent(0), 15);
    Push(SDL_WINDOWEVENT, SDL_WINDOWEVENT_MOVED);
    RaiseWindowEvent(kEventActivated, 0, 0, 0);
    EXPECT_EQ(Collect(), (std::vector<int32_t>{kEventActivated, SDL_WINDOWEVENT, kEventMoved}));
}

std::vector<int32_t> hooked;

TEST_F(WindowTest, TheKeyHookHearsKeyNames) {
    SetKeyPressHook([](int32_t key) { hooked.push_back(key); });
    for (int32_t key : {SDLK_ESCAPE, SDLK_SPACE, SDLK_r, SDLK_s, SDLK_a}) Push(SDL_KEYDOWN, 0, key);
    Collect();
    SetKeyPressHook(nullptr);
    EXPECT_EQ(hooked, (std::vector<int32_t>{kKeyEscape, kKeySpace, kKeyR, kKeyS, kKeyOther}));
}

}  // namespace
}  // namespace pp
