#include "tests/app/run_binary.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace pp::test {
namespace {

// The environment of this process with the run's changes. Under the sanitizer build the
// binary reports leaks at exit; the display drivers' own allocations are suppressed there.
std::vector<std::string> ChildEnvironment(const RunOptions& options) {
    std::vector<std::pair<std::string, std::string>> set = options.SetEnv;
    set.emplace_back("LSAN_OPTIONS", "suppressions=" PP_SOURCE_DIR
                                     "/tests/app/third_party_leaks.supp:print_suppressions=0");
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        bool dropped = false;
        for (const std::string& unset : options.UnsetEnv) dropped |= name == unset;
        for (const auto& [key, value] : set) dropped |= name == key;
        if (!dropped) env.push_back(text);
    }
    for (const auto& [key, value] : set) env.push_back(key + "=" + value);
    return env;
}

}  // namespace

Child::Child(const std::string& program, const std::vector<std::string>& args,
             const RunOptions& options) {
    std::string pattern = ::testing::TempDir() + "pp_run_XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed for " << pattern;
        return;
    }
    capture_ = pattern;
    const std::string outPath = (capture_ / "out").string();
    const std::string errPath = (capture_ / "err").string();

    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argStrings) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStrings = ChildEnvironment(options);
    std::vector<char*> envp;
    for (std::string& entry : envStrings) envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    const std::string dir = options.WorkingDir.string();
    if (!dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    pid_t pid = -1;
    const int spawned =
        posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << program;
        return;
    }
    pid_ = pid;
}

Child::~Child() {
    if (pid_ > 0 && !waitStatus_) {
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    std::error_code ignored;
    if (!capture_.empty()) std::filesystem::remove_all(capture_, ignored);
}

bool Child::Running() {
    if (pid_ <= 0 || waitStatus_) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) waitStatus_ = status;
    return !waitStatus_;
}

std::optional<RunResult> Child::Finish(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (Running()) {
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!waitStatus_) return std::nullopt;
    RunResult result;
    result.Status = WIFEXITED(*waitStatus_) ? WEXITSTATUS(*waitStatus_) : -1;
    result.Out = Slurp(capture_ / "out");
    result.Err = Slurp(capture_ / "err");
    return result;
}

std::string PlayerBinary() {
    return PP_BINARY_DIR "/app/particleplayer";
}

RunResult RunBinary(const std::vector<std::string>& args, const RunOptions& options) {
    Child child(PlayerBinary(), args, options);
    if (!child.Started()) return {};
    // Generous: the slowest run here renders a few frames in software under the sanitizers.
    std::optional<RunResult> result = child.Finish(std::chrono::minutes(5));
    if (!result) {
        ADD_FAILURE() << "particleplayer did not end within five minutes";
        return {};
    }
    return *result;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace pp::test
