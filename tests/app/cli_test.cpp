// Runs the built particleplayer binary: argument errors, and the exact output of inspect and
// simulate that other tools parse.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/effect_json.h"
#include "app/json_text.h"
#include "effects/loader.h"
#include "runtime/clock.h"
#include "tests/app/run_binary.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

using test::Lines;
using test::RunBinary;
using test::RunResult;
using testing::TempDir;

TEST(Cli, HelpListsSubcommands) {
    for (const char* flag : {"--help", "-h"}) {
        const RunResult r = RunBinary({flag});
        EXPECT_EQ(r.Status, 0);
        EXPECT_NE(r.Out.find("inspect FILE"), std::string::npos);
        EXPECT_NE(r.Out.find("simulate FILE"), std::string::npos);
        EXPECT_NE(r.Out.find("render [--frames N]"), std::string::npos);
        EXPECT_EQ(r.Err, "");
    }
    for (const char* command : {"inspect", "simulate", "render"}) {
        const RunResult r = RunBinary({command, "--help"});
        EXPECT_EQ(r.Status, 0);
        EXPECT_NE(r.Out.find("Usage: particleplayer"), std::string::npos);
    }
}

struct BadArgsRow {
    std::vector<std::string> Args;
    std::string Message;
};

class CliBadArguments : public ::testing::TestWithParam<BadArgsRow> {};

TEST_P(CliBadArguments, ExitTwoWithOneLineOnStderr) {
    const RunResult r = RunBinary(GetParam().Args);
    EXPECT_EQ(r.Status, 2);
    EXPECT_EQ(r.Out, "");
    ASSERT_EQ(Lines(r.Err).size(), 1u) << r.Err;
    EXPECT_EQ(r.Err.back(), '\n');
    EXPECT_EQ(r.Err.rfind("particleplayer", 0), 0u) << r.Err;
    EXPECT_NE(r.Err.find(GetParam().Message), std::string::npos) << r.Err;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CliBadArguments,
    ::testing::Values(
        BadArgsRow{{"bogus"}, "unknown command"}, BadArgsRow{{"--verbose"}, "unknown command"},
        BadArgsRow{{"help", "bogus"}, "no command 'bogus'"},
        BadArgsRow{{"help", "inspect", "simulate"}, "one COMMAND at most"},
        BadArgsRow{{"inspect"}, "missing FILE"},
        BadArgsRow{{"inspect", "a", "b"}, "unexpected argument 'b'"},
        BadArgsRow{{"inspect", "a", "--at"}, "--at needs a value"},
        BadArgsRow{{"inspect", "a", "--at", "1"}, "not '1'"},
        BadArgsRow{{"inspect", "a", "--at", "1,2147483648"}, "--at"},
        BadArgsRow{{"inspect", "a", "--seed", "1"}, "unknown option '--seed'"},
        BadArgsRow{{"simulate"}, "missing FILE"},
        BadArgsRow{{"simulate", "a", "--frames", "0"}, "--frames"},
        BadArgsRow{{"simulate", "a", "--frames", "2x"}, "not '2x'"},
        BadArgsRow{{"simulate", "a", "--frames"}, "--frames needs a value"},
        BadArgsRow{{"simulate", "a", "--frame-ms", "-1"}, "--frame-ms"},
        BadArgsRow{{"simulate", "a", "--seed", "4294967296"}, "--seed"},
        BadArgsRow{{"simulate", "a", "--seed=-1"}, "--seed"},
        BadArgsRow{{"simulate", "a", "--print", "first"}, "--print"},
        BadArgsRow{{"simulate", "a", "--clock-start", "-2147483649"}, "--clock-start"},
        BadArgsRow{{"simulate", "a", "--frames", "2147483647", "--frame-ms", "2"}, "clock"},
        BadArgsRow{{"simulate", "a", "-x"}, "unknown option '-x'"},
        BadArgsRow{{"render", "frames"}, "cannot read the effect file 'frames'"},
        BadArgsRow{{"render", "--frames", "0"}, "--frames"},
        BadArgsRow{{"render", "--frames", "100000"}, "from 1 to 99999"},
        BadArgsRow{{"render", "--frame-ms", "x"}, "not 'x'"},
        BadArgsRow{{"render", "--seed"}, "--seed needs a value"},
        BadArgsRow{{"render", "--out"}, "--out needs"},
        BadArgsRow{{"render", "--out="}, "--out needs"},
        BadArgsRow{{"render", "--frames", "99999", "--frame-ms", "50000"}, "clock"},
        BadArgsRow{{"render", "--fps", "60"}, "--fps is for .mp4, .webm and .gif"},
        BadArgsRow{{"render", "--fps", "0", "--out", "c.gif"}, "0.001 to 1000"},
        BadArgsRow{{"render", "--fps", "1.0001", "--out", "c.gif"}, "not '1.0001'"},
        BadArgsRow{{"render", "--frame-ms", "0", "--out", "c.webm"}, "needs --fps"},
        BadArgsRow{{"render", "--out", "clip.AVI"}, ".mp4, .webm or .gif video"},
        BadArgsRow{{"render", "--threads", "0"}, "--threads wants a whole number from 1 to 256"},
        BadArgsRow{{"play", "--threads", "257"}, "from 1 to 256"},
        BadArgsRow{{"play", "--threads"}, "--threads needs a value"},
        BadArgsRow{{"--threads", "two"}, "not 'two'"},
        BadArgsRow{{"--threads", "2", "render"}, "unknown command or option 'render'"}));

// Statuses and messages scripts rely on. "FILE" in the arguments stands for a readable effect
// file that disables its emitter, "DIR" for a folder.
struct StatusRow {
    std::vector<std::string> Args;
    int Status;
    std::string Out;  // a part of stdout
    std::string Err;  // a part of stderr; "" for an empty stderr
};

class CliStatus : public ::testing::TestWithParam<StatusRow> {};

TEST_P(CliStatus, ExitsWithItsStatusAndSaysWhatItShould) {
    TempDir dir;
    const std::string file = dir.Write("e.txt", "Disable = 1");
    std::vector<std::string> args = GetParam().Args;
    for (std::string& arg : args) {
        if (arg == "FILE") arg = file;
        if (arg == "DIR") arg = dir.Path().string();
    }
    const RunResult r = RunBinary(args);
    EXPECT_EQ(r.Status, GetParam().Status) << r.Err;
    EXPECT_NE(r.Out.find(GetParam().Out), std::string::npos) << r.Out;
    if (GetParam().Err.empty()) {
        EXPECT_EQ(r.Err, "");
    } else {
        EXPECT_EQ(Lines(r.Err).size(), 1u) << r.Err;
        EXPECT_NE(r.Err.find(GetParam().Err), std::string::npos) << r.Err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CliStatus,
    ::testing::Values(
        StatusRow{{"--version"}, 0, "particleplayer 1.0.0\n", ""},
        StatusRow{{"help"}, 0, "Usage: particleplayer [COMMAND", ""},
        StatusRow{{"help", "simulate"}, 0, "Usage: particleplayer simulate FILE", ""},
        StatusRow{{"help", "play"}, 0, "Usage: particleplayer play", ""},
        StatusRow{{"inspect", "no-such.txt"}, 1, "\"Layer\": 0,", "could not read 'no-such.txt'"},
        StatusRow{{"inspect", "DIR"}, 1, "\"Layer\": 0,", "could not read"},
        StatusRow{{"inspect", "FILE"}, 0, "\"Disable\": 1,", ""},
        StatusRow{{"simulate", "no-such.txt"}, 1, "\"frame\": 1,", "could not read 'no-such.txt'"},
        StatusRow{{"simulate", "DIR", "--frames", "2"}, 1, "\"frame\": 2,", "could not read"},
        // The time is the signed reading the engine compares, as DeathTime is.
        StatusRow{
            {"simulate", "FILE", "--clock-start", "2147483640"}, 0, "\"time\": -2147483640,", ""},
        StatusRow{
            {"simulate", "FILE", "--clock-start=-2147483648"}, 0, "\"time\": -2147483632,", ""},
        StatusRow{{"simulate", "FILE", "--clock-start", "-20"}, 0, "\"time\": -4,", ""},
        StatusRow{{"simulate", "FILE", "--clock-start", "4294967290"}, 0, "\"time\": 10,", ""}));

class CliOutput : public ::testing::Test {
  protected:
    TempDir dir_;
};

TEST_F(CliOutput, InspectPrintsEveryFieldInRecordOrder) {
    const std::string file = dir_.Write(
        "e.txt",
        "Layer = 1, EmitterPosition = {400, 300},\r\n"
        "EmitterArea = {Type = Ellipse, Width = 120, Height = 40, Angle = 30},\r\n"
        "EmissionAngle = {Value = 270, Blur = 20}, Acceleration = {0, -50},\r\n"
        "LifeTime = {Value = 1, Range = 2, Inc = 0.25}, Sprite = {Min = 1, Max = 3},\r\n"
        "Size = 0.1, Raise = 2, Transparency = {Value = 255, Range = -100}, Fade = -100,\r\n"
        "BlendingMode = {5, 2}, Disable = 1\r\n");
    const RunResult r = RunBinary({"inspect", file});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Err, "");
    EXPECT_EQ(r.Out,
              "{\"Disable\": 1, \"AutoRemove\": 0, \"Layer\": 1, \"PositionX\": 400, "
              "\"PositionY\": 300, \"AreaType\": 5, \"AreaWidth\": 120, \"AreaHeight\": 40, "
              "\"AreaAngle\": 0.52359879, "
              "\"EmissionAngle\": {\"Min\": 250, \"Max\": 290, \"Inc\": 1}, "
              "\"EmissionVelocity\": {\"Min\": 100, \"Max\": 100, \"Inc\": 1}, "
              "\"AccelerationX\": 0, \"AccelerationY\": -50, "
              "\"LifeTime\": {\"Min\": 1, \"Max\": 3, \"Inc\": 0.25}, "
              "\"EmissionRate\": {\"Min\": 100, \"Max\": 100, \"Inc\": 1}, "
              "\"Sprite\": {\"Min\": 1, \"Max\": 3, \"Inc\": 1}, "
              "\"Size\": {\"Min\": 0.100000001, \"Max\": 0.100000001, \"Inc\": 1}, "
              "\"Raise\": 2, \"Rotation\": {\"Min\": 0, \"Max\": 0, \"Inc\": 0}, "
              "\"Transparency\": {\"Min\": 155, \"Max\": 255, \"Inc\": 1}, \"Fade\": -100, "
              "\"BlendSource\": 5, \"BlendDestination\": 2}\n");
}

TEST_F(CliOutput, InspectPlacesEmitterAtGivenPoint) {
    const std::string file = dir_.Write("e.txt", "Layer = 2");
    for (const auto& args : {std::vector<std::string>{"inspect", "--at", "-5,7", file},
                             std::vector<std::string>{"inspect", file, "--at=-5,7"}}) {
        const RunResult r = RunBinary(args);
        EXPECT_EQ(r.Status, 0);
        EXPECT_NE(r.Out.find("\"Layer\": 2, \"PositionX\": -5, \"PositionY\": 7,"),
                  std::string::npos)
            << r.Out;
    }
}

TEST_F(CliOutput, InspectOpensBackslashPaths) {
    dir_.Write("e.txt", "Layer = 3");
    std::string path = (dir_.Path() / "e.txt").string();
    std::replace(path.begin(), path.end(), '/', '\\');
    const RunResult r = RunBinary({"inspect", path});
    EXPECT_EQ(r.Err, "");
    EXPECT_NE(r.Out.find("\"Layer\": 3,"), std::string::npos) << r.Out;
}

TEST_F(CliOutput, InspectOfUnreadableFileStillPrintsEmitter) {
    ASSERT_FALSE(std::filesystem::exists("Size=5.txt"));
    const RunResult r = RunBinary({"inspect", "Size=5.txt"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(Lines(r.Err).size(), 1u) << r.Err;
    EXPECT_NE(r.Err.find("could not read 'Size=5.txt'"), std::string::npos);
    EXPECT_NE(r.Out.find("\"Size\": {\"Min\": 5, \"Max\": 5, \"Inc\": 1}"), std::string::npos);
    EXPECT_EQ(Lines(r.Out).size(), 1u);
}

const std::regex kFrameLine(
    R"(\{"frame": (\d+), "time": (\d+), "dt": ([-0-9.e]+), "particles": \[(.*)\]\})");

TEST_F(CliOutput, SimulatePrintsOneLinePerFrameOnVirtualClock) {
    const std::string file = dir_.Write("e.txt", "EmissionRate = 100, LifeTime = 10");
    const RunResult r = RunBinary(
        {"simulate", file, "--seed", "1", "--frames", "3", "--frame-ms", "20", "--print", "all"});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Err, "");
    const std::vector<std::string> lines = Lines(r.Out);
    ASSERT_EQ(lines.size(), 3u) << r.Out;
    const char* const dts[] = {"0", "0.0200000014", "0.0200000014"};
    for (int k = 1; k <= 3; ++k) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(lines[k - 1], m, kFrameLine)) << lines[k - 1];
        EXPECT_EQ(m[1], std::to_string(k));
        EXPECT_EQ(m[2], std::to_string(1000 + 20 * k));
        EXPECT_EQ(m[3], dts[k - 1]);
    }
    // Printing only the last frame gives exactly the last line of the full run.
    const RunResult last =
        RunBinary({"simulate", file, "--seed", "1", "--frames", "3", "--frame-ms", "20"});
    EXPECT_EQ(Lines(last.Out), std::vector<std::string>{lines.back()});
}

TEST_F(CliOutput, SimulateDefaultsToOneFrameOfSixteenMilliseconds) {
    const std::string file = dir_.Write("e.txt", "Disable = 1");
    const RunResult r = RunBinary({"simulate", file});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out, "{\"frame\": 1, \"time\": 1016, \"dt\": 0, \"particles\": []}\n");
}

// The command must follow exactly the documented sequence: seed, area names, load at clock
// 1000, then one update per frame at 1000 + k * MS. Replaying it in-process must agree.
TEST_F(CliOutput, SimulateMatchesEngineReplay) {
    const std::string file =
        dir_.Write("e.txt",
                   "EmitterArea = {Type = Circle, Width = 50}, EmissionRate = {Min = 20, Max = "
                   "200}, LifeTime = {Min = 0.05, Max = 0.2, Inc = 0.01}, Acceleration = {3, 40},"
                   "Size = {Value = 20, Blur = 10}, Raise = -30, Rotation = {Min = -4, Max = 4},"
                   "Fade = -300, Sprite = {Min = 1, Max = 3}");
    const RunResult r = RunBinary({"simulate", file, "--at", "320,-40", "--seed", "4242",
                                   "--frames", "12", "--frame-ms", "17", "--print", "all"});
    ASSERT_EQ(r.Status, 0) << r.Err;

    VirtualClock clock(1000);
    Engine engine(clock);
    SeedRandom(engine.Random, 4242);
    FillAreaTypes(engine);
    Emitter* emitter = LoadEffect(engine, file, 320, -40);
    std::string expected;
    int32_t seen = 0;
    for (int k = 1; k <= 12; ++k) {
        clock.Set(1000 + 17 * k);
        const float dt = UpdateParticles(engine);
        expected += "{\"frame\": " + std::to_string(k) +
                    ", \"time\": " + std::to_string(1000 + 17 * k) + ", \"dt\": ";
        AppendJsonFloat(expected, dt);
        expected += ", \"particles\": [";
        ListRewind(emitter->Particles);
        bool first = true;
        while (const Particle* p = ListNext(emitter->Particles)) {
            if (!first) expected += ", ";
            first = false;
            AppendParticleJson(expected, *p);
            ++seen;
        }
        expected += "]}\n";
    }
    ASSERT_GT(seen, 12);
    EXPECT_EQ(r.Out, expected);
}

TEST_F(CliOutput, SimulateWithSameSeedRepeats) {
    const std::string file = dir_.Write("e.txt", "EmissionAngle = {Min = 0, Max = 359}");
    const std::vector<std::string> args = {"simulate", file, "--seed", "99", "--frames", "5"};
    const RunResult a = RunBinary(args);
    const RunResult b = RunBinary(args);
    EXPECT_EQ(a.Status, 0);
    EXPECT_EQ(a.Out, b.Out);
    EXPECT_NE(a.Out.find("\"particles\": [["), std::string::npos);
}

}  // namespace
}  // namespace pp
