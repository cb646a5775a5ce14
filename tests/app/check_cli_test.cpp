// Runs 'particleplayer check' as a user does: the exit status, the exact lines on stdout, and
// one line on stderr for bad usage.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/effects/temp_dir.h"

extern char** environ;

namespace pp {
namespace {

using testing::TempDir;

struct RunResult {
    int Status = -1;
    std::string Out;
    std::string Err;
};

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs `particleplayer check ARGS...` in `folder`, stdout and stderr captured through files.
RunResult RunCheck(const std::vector<std::string>& args, const std::string& folder) {
    TempDir capture;
    const std::string outPath = (capture.Path() / "out").string();
    const std::string errPath = (capture.Path() / "err").string();
    std::string binary = PP_BINARY_DIR "/app/particleplayer";
    std::string command = "check";
    std::vector<std::string> copies(args);
    std::vector<char*> argv{binary.data(), command.data()};
    for (std::string& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = 0;
    RunResult result;
    const int spawned = posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << binary;
        return result;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.Out = Slurp(outPath);
    result.Err = Slurp(errPath);
    return result;
}

TEST(CheckCommand, SceneFilesAreCleanAndExitZero) {
    const RunResult r = RunCheck({"Data/Sternchen.txt", "Data/Feuer.txt", "Data/Energie.txt",
                                  "Data/Luftblase.txt", "Data\\Basis\\Glut.txt"},
                                 PP_SOURCE_DIR);
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(r.Err, "");
}

TEST(CheckCommand, FindingsAreLinesPerFileInArgumentOrderWithExitOne) {
    TempDir dir;
    dir.Write("base.txt", "Size = 10\r\nLifeTime = 2\r\n");
    dir.Write("clean.txt", "Fade = -40");
    dir.Write("top.txt", "Extends = base.txt,\nemissionrate = 5,\nRaise = 12px");
    const RunResult r = RunCheck({"clean.txt", "top.txt", "missing.txt"}, dir.Path().string());
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Out,
              "top.txt:2:1: 'emissionrate' is not a key; keys are case-sensitive: did you mean "
              "'EmissionRate'?\n"
              "top.txt:3:9: '12px' is read as 12: the rest is ignored\n"
              "base.txt:1:10: missing comma at the end of line 1? 'Size' and 'LifeTime' run "
              "together into one entry, so neither is found\n"
              "missing.txt:1:1: cannot open this file (No such file or directory)\n");
    EXPECT_EQ(r.Err, "");
}

TEST(CheckCommand, EffectsThatCanNeverShowAreWarnedAboutOnceWithExitOne) {
    TempDir dir;
    dir.Write("empty.txt", "");
    dir.Write("base.txt", "Transparency = 0.5,\nEmissionRate = 5000");
    dir.Write("top.txt", "Extends = base.txt,\nRotation = 90,\nSize = {Min = 4, Max = x}");
    dir.Write("off.txt",
              "Disable = 1,\nLifeTime = 0,\nSize = 0.5,\nEmissionRate = 0,\n"
              "EmitterPosition = {-5000, 0}");
    const RunResult r =
        RunCheck({"empty.txt", "top.txt", "base.txt", "off.txt"}, dir.Path().string());
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Out,
              "empty.txt:1:1: warning: the file is empty: it sets nothing, so the emitter keeps "
              "every default\n"
              "top.txt:2:1: warning: Rotation turns a particle up to 90 degrees every frame, not "
              "every second, so how fast it spins follows the frame rate (5400 degrees per "
              "second at 60 frames)\n"
              "top.txt:3:24: 'x' is not a number: read as 0\n"
              "base.txt:1:1: warning: Transparency is at most 0.5, never reaching 1: every "
              "particle is removed at its first update, so nothing shows\n"
              "base.txt:2:1: warning: EmissionRate up to 5000 per second is more than the player "
              "emits: at most one particle per millisecond (1000 per second)\n"
              "off.txt:1:1: warning: 'Disable = 1' switches the emitter off: it never emits, so "
              "nothing shows\n"
              "off.txt:2:1: warning: LifeTime is at most 0 seconds: a particle is gone by the "
              "frame after its birth, so at most a flicker shows\n"
              "off.txt:3:1: warning: Size is at most 0.5, below one pixel: every particle is "
              "removed at its first update, so nothing shows\n"
              "off.txt:4:1: warning: EmissionRate is at most 0 per second, which the player reads "
              "as its fastest rate: one particle per millisecond (1000 per second); write a rate "
              "above 0\n"
              "off.txt:5:1: warning: the emitter at (-5000, 0) is more than a screen away from "
              "the 800x600 screen, so its particles are never seen\n");
    EXPECT_EQ(r.Err, "");
}

TEST(CheckCommand, UnopenableFileAloneExitsOne) {
    TempDir dir;
    const RunResult r = RunCheck({"missing.txt"}, dir.Path().string());
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Out, "missing.txt:1:1: cannot open this file (No such file or directory)\n");
}

TEST(CheckCommand, BadUsageExitsTwoWithOneLineOnStderr) {
    TempDir dir;
    const std::string folder = dir.Path().string();
    const RunResult none = RunCheck({}, folder);
    EXPECT_EQ(none.Status, 2);
    EXPECT_EQ(none.Out, "");
    EXPECT_EQ(none.Err, "particleplayer check: missing FILE (see particleplayer check --help)\n");

    const RunResult option = RunCheck({"--strict", "a.txt"}, folder);
    EXPECT_EQ(option.Status, 2);
    EXPECT_EQ(option.Out, "");
    EXPECT_EQ(option.Err, "particleplayer check: unknown option '--strict'\n");
}

TEST(CheckCommand, HelpExitsZeroAndDashDashEndsOptions) {
    TempDir dir;
    const RunResult help = RunCheck({"--help"}, dir.Path().string());
    EXPECT_EQ(help.Status, 0);
    EXPECT_EQ(help.Out.rfind("Usage: particleplayer check FILE...\n", 0), 0u) << help.Out;

    dir.Write("-odd.txt", "Fade = 1");
    const RunResult odd = RunCheck({"--", "-odd.txt"}, dir.Path().string());
    EXPECT_EQ(odd.Status, 0);
    EXPECT_EQ(odd.Out, "");
}

}  // namespace
}  // namespace pp
