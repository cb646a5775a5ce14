#include "platform/window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <vector>

#include "tests/platform/platform_test_support.h"

namespace pp {
namespace {

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::KeepGraphicsDriverLoaded()) << SDL_GetError();
        window = WindowOpen(0, 0, 0, 800, 600, "SCREEN", 0x00C80001, nullptr);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        Drain();
    }
    void TearDown() override {
        SetWindowEventHook(nullptr);
        CloseAllWindows();
    }
    // Hands out whatever window creation queued, so each test starts from silence.
    static void Drain() {
        while (WaitEvent(0) != 0) {
        }
    }
    void PushWindowEvent(uint8_t event) const {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = SDL_GetWindowID(window);
        e.window.event = event;
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

TEST_F(WindowTest, OpensTitledFixedSizeWindowWithExactClientArea) {
    EXPECT_EQ(WindowHandle(0), window);
    EXPECT_STREQ(SDL_GetWindowTitle(window), "SCREEN");
    int w = 0, h = 0;
    SDL_GetWindowSize(window, &w, &h);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    const uint32_t flags = SDL_GetWindowFlags(window);
    EXPECT_EQ(flags & SDL_WINDOW_RESIZABLE, 0u);
    EXPECT_EQ(flags & SDL_WINDOW_BORDERLESS, 0u);
    EXPECT_NE(flags & SDL_WINDOW_OPENGL, 0u);
}

TEST_F(WindowTest, OpeningTheSameNumberAgainClosesTheFirstWindow) {
    const uint32_t firstId = SDL_GetWindowID(window);
    SDL_Window* second = WindowOpen(0, 0, 0, 320, 200, "again", 0x00C80001, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(SDL_GetWindowFromID(firstId), nullptr);
    EXPECT_EQ(WindowHandle(0), second);
}

TEST_F(WindowTest, BadNumbersAndSizesOpenNothing) {
    EXPECT_EQ(WindowOpen(-2, 0, 0, 100, 100, "x", 1, nullptr), nullptr);
    EXPECT_EQ(WindowOpen(1, 0, 0, 0, 100, "x", 1, nullptr), nullptr);
    EXPECT_EQ(WindowOpen(1, 0, 0, 100, -5, "x", 1, nullptr), nullptr);
    EXPECT_EQ(WindowOpen(1, 0, 0, 1 << 20, 100, "x", 1, nullptr), nullptr);
    EXPECT_EQ(WindowHandle(1), nullptr);
    EXPECT_EQ(WindowHandle(-1), nullptr);
    WindowClose(7);  // not open: nothing
    EXPECT_EQ(WindowHandle(0), window);
}

TEST_F(WindowTest, WaitWithoutInputReturnsZeroAfterTheTimeOut) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitEvent(5), 0);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // Generous bounds: the wait must really wait, and must not hang.
    EXPECT_GE(elapsed, std::chrono::milliseconds(4));
    EXPECT_LT(elapsed, std::chrono::seconds(2));
    EXPECT_EQ(WaitEvent(0), 0);
}

TEST_F(WindowTest, CloseButtonGivesTheRawEventThenSixteenAndTheWindowStaysOpen) {
    PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    EXPECT_EQ(WaitEvent(5), static_cast<int32_t>(SDL_WINDOWEVENT));
    EXPECT_EQ(WaitEvent(5), kEventCloseRequested);
    EXPECT_EQ(WaitEvent(5), 0);
    EXPECT_EQ(WindowHandle(0), window);
}

TEST_F(WindowTest, QuitRequestIsACloseRequest) {
    SDL_Event e{};
    e.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    EXPECT_EQ(Collect(), (std::vector<int32_t>{SDL_QUIT, kEventCloseRequested}));
    EXPECT_EQ(WindowHandle(0), window);
}

TEST_F(WindowTest, TerminationSignalBecomesACloseRequest) {
    ASSERT_EQ(std::raise(SIGTERM), 0);
    EXPECT_EQ(Collect(), (std::vector<int32_t>{SDL_QUIT, kEventCloseRequested}));
}

struct Translation {
    const char* Name;
    std::vector<uint8_t> SdlEvents;
    std::vector<int32_t> Codes;  // event codes handed out, raw SDL numbers left out
};

class WindowEventTranslation : public WindowTest,
                               public ::testing::WithParamInterface<Translation> {};

TEST_P(WindowEventTranslation, RaisesTheEventCodesInOrder) {
    for (uint8_t event : GetParam().SdlEvents) PushWindowEvent(event);
    std::vector<int32_t> codes;
    for (int32_t code : Collect()) {
        if (code != static_cast<int32_t>(SDL_WINDOWEVENT)) codes.push_back(code);
    }
    EXPECT_EQ(codes, GetParam().Codes);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, WindowEventTranslation,
    ::testing::Values(
        Translation{"Moved", {SDL_WINDOWEVENT_MOVED}, {kEventMoved}},
        Translation{"SizeChanged", {SDL_WINDOWEVENT_SIZE_CHANGED}, {kEventResized}},
        Translation{"ResizedAloneRaisesNothing", {SDL_WINDOWEVENT_RESIZED}, {}},
        Translation{"Exposed", {SDL_WINDOWEVENT_EXPOSED}, {kEventExposed}},
        Translation{"Activated", {SDL_WINDOWEVENT_FOCUS_GAINED}, {kEventActivated}},
        Translation{"FocusLostRaisesNothing", {SDL_WINDOWEVENT_FOCUS_LOST}, {}},
        Translation{"Minimized", {SDL_WINDOWEVENT_MINIMIZED}, {kEventMinimized}},
        Translation{
            "MaximizedThenResized", {SDL_WINDOWEVENT_MAXIMIZED}, {kEventMaximized, kEventResized}},
        Translation{
            "RestoredWithoutMinimizeIsAResize", {SDL_WINDOWEVENT_RESTORED}, {kEventResized}},
        Translation{"RestoredAfterMinimize",
                    {SDL_WINDOWEVENT_MINIMIZED, SDL_WINDOWEVENT_RESTORED},
                    {kEventMinimized, kEventRestored, kEventResized}},
        Translation{
            "RestoreFlagIsClearedOnce",
            {SDL_WINDOWEVENT_MAXIMIZED, SDL_WINDOWEVENT_RESTORED, SDL_WINDOWEVENT_RESTORED},
            {kEventMaximized, kEventResized, kEventRestored, kEventResized, kEventResized}}),
    [](const ::testing::TestParamInfo<Translation>& info) { return info.param.Name; });

TEST_F(WindowTest, EventsOfUnknownWindowsRaiseNothing) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = SDL_GetWindowID(window) + 1000;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    EXPECT_EQ(Collect(), std::vector<int32_t>{SDL_WINDOWEVENT});
}

TEST_F(WindowTest, AnEventEqualToTheNewestQueuedOneIsDropped) {
    RaiseWindowEvent(15, 0, 0, 0);
    RaiseWindowEvent(15, 0, 0, 0);
    RaiseWindowEvent(5, 0, 0, 0);
    RaiseWindowEvent(15, 0, 0, 0);  // differs from the newest (5): kept
    RaiseWindowEvent(15, 0, 1, 0);  // another window: kept
    EXPECT_EQ(WaitEvent(0), 15);
    EXPECT_EQ(WaitEvent(0), 5);
    EXPECT_EQ(WaitEvent(0), 15);
    EXPECT_EQ(WaitEvent(0), 15);
    RaiseWindowEvent(15, 0, 1, 0);  // the equal one was handed out already: kept
    EXPECT_EQ(WaitEvent(0), 15);
    EXPECT_EQ(WaitEvent(0), 0);
}

TEST_F(WindowTest, QueuedEventsComeBeforeNewWindowEvents) {
    PushWindowEvent(SDL_WINDOWEVENT_MOVED);
    RaiseWindowEvent(kEventActivated, 0, 0, 0);
    EXPECT_EQ(WaitEvent(5), kEventActivated);
    EXPECT_EQ(WaitEvent(5), static_cast<int32_t>(SDL_WINDOWEVENT));
    EXPECT_EQ(WaitEvent(5), kEventMoved);
}

std::vector<int32_t> hookCodes;
SDL_Window* hookWindow = nullptr;
void RecordHook(SDL_Window* w, int32_t code) {
    hookWindow = w;
    hookCodes.push_back(code);
}

TEST_F(WindowTest, HookSeesRaisedEventsAndTheWindowGoing) {
    hookCodes.clear();
    SetWindowEventHook(&RecordHook);
    PushWindowEvent(SDL_WINDOWEVENT_EXPOSED);
    Collect();
    WindowClose(0);
    // A real window server may add focus or move events of its own in between.
    ASSERT_GE(hookCodes.size(), 2u);
    EXPECT_NE(std::find(hookCodes.begin(), hookCodes.end(), kEventExposed), hookCodes.end());
    EXPECT_EQ(hookCodes.back(), kWindowDestroying);
    EXPECT_EQ(hookWindow, window);
    EXPECT_EQ(WindowHandle(0), nullptr);
}

std::vector<int32_t>& HookedKeys() {
    static std::vector<int32_t> keys;
    return keys;
}

// The key hook hears the window layer's key names, one per press, in order; keys without a
// name come as kKeyOther.
TEST_F(WindowTest, KeyPressesReachTheHookByName) {
    const struct {
        SDL_Keycode Sdl;
        int32_t Name;
    } keys[] = {{SDLK_ESCAPE, kKeyEscape}, {SDLK_SPACE, kKeySpace}, {SDLK_r, kKeyR},
                {SDLK_s, kKeyS},           {SDLK_a, kKeyOther},     {SDLK_RETURN, kKeyOther}};
    HookedKeys().clear();
    SetKeyPressHook([](int32_t key) { HookedKeys().push_back(key); });
    std::vector<int32_t> expected;
    for (const auto& key : keys) {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.windowID = SDL_GetWindowID(window);
        e.key.keysym.sym = key.Sdl;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
        expected.push_back(key.Name);
    }
    Collect();
    SetKeyPressHook(nullptr);
    EXPECT_EQ(HookedKeys(), expected);
}

TEST(WindowWithoutAnyWindow, WaitStillTimesOut) {
    ASSERT_TRUE(test::KeepGraphicsDriverLoaded());
    CloseAllWindows();
    const auto start = std::chrono::steady_clock::now();
    while (WaitEvent(5) != 0) {
    }
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4));
}

}  // namespace
}  // namespace pp
