// Runs the built particleplayer binary for the end-to-end tests: arguments, working folder
// and environment chosen per run, stdout and stderr captured.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pp::test {

struct RunOptions {
    std::filesystem::path WorkingDir;  // empty: the test's own
    std::vector<std::pair<std::string, std::string>> SetEnv;
    std::vector<std::string> UnsetEnv;
};

struct RunResult {
    int Status = -1;  // the exit status, or -1 when the process did not exit normally
    std::string Out;
    std::string Err;
};

// A started process with its output going into files until Finish collects it.
class Child {
  public:
    // Starts program (a path) with args; Started() tells whether that worked.
    Child(const std::string& program, const std::vector<std::string>& args,
          const RunOptions& options = {});
    ~Child();  // kills a process that is still running
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    // True while the process has not ended.
    bool Running();
    // Waits up to `limit` for the end; nullopt if it is still running then.
    std::optional<RunResult> Finish(std::chrono::milliseconds limit);

  private:
    pid_t pid_ = -1;
    std::optional<int> waitStatus_;
    std::filesystem::path capture_;
};

// The particleplayer binary of this build.
std::string PlayerBinary();

// Runs particleplayer with args to the end.
RunResult RunBinary(const std::vector<std::string>& args, const RunOptions& options = {});

// The lines of text, without their line ends.
std::vector<std::string> Lines(const std::string& text);

std::string Slurp(const std::filesystem::path& path);

}  // namespace pp::test
