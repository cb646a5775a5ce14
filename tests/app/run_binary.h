// Runs the built particleplayer binary through the shell for the end-to-end tests: arguments,
// working folder and environment chosen per run, stdout and stderr captured. Safe to call from
// several threads at once.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

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
    std::vector<std::string> Env;       // NAME=VALUE
    std::vector<std::string> UnsetEnv;  // NAME
    std::string Prefix;                 // a command the binary runs under, e.g. timeout
};

struct RunResult {
    int Status = -1;  // the exit status, or -1 when the process did not exit normally
    std::string Out, Err;
};

inline std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

inline std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs particleplayer with args to the end. Under the sanitizer build the display drivers'
// own leaks are suppressed.
inline RunResult RunBinary(const std::vector<std::string>& args, const RunOptions& options = {}) {
    static std::atomic<int> runs = 0;
    const std::string capture =
        ::testing::TempDir() + "pp_run_" + std::to_string(getpid()) + "_" + std::to_string(++runs);
    std::string command = "cd " + Quoted(options.WorkingDir) + " && exec env";
    for (const std::string& name : options.UnsetEnv) command += " -u " + name;
    command += " LSAN_OPTIONS=suppressions=" PP_SOURCE_DIR
               "/tests/app/third_party_leaks.supp:print_suppressions=0";
    for (const std::string& entry : options.Env) command += " " + Quoted(entry);
    command += " " + options.Prefix + " " PP_BINARY_DIR "/app/particleplayer";
    for (const std::string& arg : args) command += " " + Quoted(arg);
    command += " </dev/null >" + capture + ".out 2>" + capture + ".err";
    const int status = std::system(command.c_str());
    RunResult result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(capture + ".out"),
                     Slurp(capture + ".err")};
    std::filesystem::remove(capture + ".out");
    std::filesystem::remove(capture + ".err");
    return result;
}

}  // namespace pp::test
