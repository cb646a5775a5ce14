// The windowed player end to end: under a private X server (Xvfb) it draws the scene into its
// window until a SIGTERM closes it cleanly; without any display it says so and exits 1.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "tests/app/run_binary.h"
#include "tests/app/x_server.h"

namespace pp {
namespace {

using test::Child;
using test::CountLitPixels;
using test::Lines;
using test::LitCounts;
using test::RunOptions;
using test::RunResult;
using test::XServer;

RunOptions PlayerOptions() {
    RunOptions options;
    options.WorkingDir = PP_SOURCE_DIR;
    options.UnsetEnv = {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};
    return options;
}

// The sanitizers' leak check at exit walks the whole heap, Mesa's included; it may take
// longer than the plain player's shut-down.
#if defined(__SANITIZE_ADDRESS__)
constexpr auto kExitLimit = std::chrono::seconds(10);
#else
constexpr auto kExitLimit = std::chrono::seconds(1);
#endif

TEST(Player, UnderXvfbDrawsTheSceneAndExitsCleanlyOnSigterm) {
    XServer server;
    ASSERT_FALSE(server.Display().empty()) << "Xvfb did not start (Debian package xvfb)";
    RunOptions options = PlayerOptions();
    options.SetEnv = {{"DISPLAY", server.Display()}};
    Child player(test::PlayerBinary(), {}, options);
    ASSERT_TRUE(player.Started());

    std::this_thread::sleep_for(std::chrono::seconds(2));
    ASSERT_TRUE(player.Running()) << "the player ended on its own";
    const std::optional<LitCounts> lit = CountLitPixels(server.Display());

    ASSERT_EQ(kill(player.Pid(), SIGTERM), 0);
    const std::optional<RunResult> result = player.Finish(kExitLimit);
    ASSERT_TRUE(result) << "no exit after SIGTERM";
    EXPECT_EQ(result->Status, 0) << result->Err;
    EXPECT_EQ(result->Err, "");

    ASSERT_TRUE(lit) << "no window titled SCREEN on " << server.Display();
    RecordProperty("lit", std::to_string(lit->Total));
    EXPECT_GT(lit->Total, 5000);
    for (int b = 0; b < 4; ++b) {
        RecordProperty("lit" + std::to_string(b + 1), std::to_string(lit->Boxes[b]));
        EXPECT_GT(lit->Boxes[b], 500) << "effect " << b + 1;
    }
}

TEST(Player, WithoutDisplaySaysSoInOneLineAndExitsOne) {
    Child player(test::PlayerBinary(), {}, PlayerOptions());
    ASSERT_TRUE(player.Started());
    const std::optional<RunResult> result = player.Finish(std::chrono::seconds(60));
    ASSERT_TRUE(result) << "the player kept running without a display";
    EXPECT_EQ(result->Status, 1);
    EXPECT_EQ(result->Out, "");
    ASSERT_EQ(Lines(result->Err).size(), 1u) << result->Err;
    EXPECT_NE(result->Err.find("no display found"), std::string::npos) << result->Err;
    EXPECT_NE(result->Err.find("particleplayer render"), std::string::npos) << result->Err;
}

}  // namespace
}  // namespace pp
