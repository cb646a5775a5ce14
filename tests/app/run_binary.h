// Runs the built particleplayer through the shell with chosen arguments, folder and environment,
// capturing stdout and stderr; safe from several threads at once.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace pp::test {

struct RunOptions {
    std::string WorkingDir = ".";
    std::vector<std::string> Env{}, UnsetEnv{};  // NAME=VALUE, NAME
    std::string Prefix{};                        // a command the binary runs under, e.g. timeout
    std::string Program{};                       // another copy of the player; empty: the built one
};

struct RunResult {
    int Status = -1;  // -1 when the process did not exit normally
    std::string Out, Err;
    long ErrLines() const { return std::count(Err.begin(), Err.end(), '\n'); }
};

inline std::string Slurp(const std::filesystem::path& path) {
    return (std::ostringstream() << std::ifstream(path, std::ios::binary).rdbuf()).str();
}

// Under the sanitizer build the display drivers' own leaks are suppressed.
inline RunResult RunBinary(const std::vector<std::string>& args, const RunOptions& options = {}) {
    static std::atomic<int> runs = 0;
    const auto quoted = [](const std::string& text) {
        std::string out = "'";
        for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return out + "'";
    };
    const std::string capture =
        ::testing::TempDir() + "pp_run_" + std::to_string(getpid()) + "_" + std::to_string(++runs);
    std::string command = "cd " + quoted(options.WorkingDir) + " && exec env";
    for (const std::string& name : options.UnsetEnv) command += " -u " + name;
    command += " LSAN_OPTIONS=suppressions=" PP_SOURCE_DIR
               "/tests/app/third_party_leaks.supp:print_suppressions=0";
    for (const std::string& entry : options.Env) command += " " + quoted(entry);
    command +=
        " " + options.Prefix + " " +
        (options.Program.empty() ? PP_BINARY_DIR "/app/particleplayer" : quoted(options.Program));
    for (const std::string& arg : args) command += " " + quoted(arg);
    const int status =
        std::system((command + " </dev/null >" + capture + ".out 2>" + capture + ".err").c_str());
    RunResult result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(capture + ".out"),
                     Slurp(capture + ".err")};
    for (const char* end : {".out", ".err"}) std::filesystem::remove(capture + end);
    return result;
}

}  // namespace pp::test
