// particleplayer check: tells effect authors what the forgiving effect reader ignores or reads
// differently from what they probably meant, one line per finding.
#include <cstdio>
#include <string>
#include <vector>

#include "app/cli_args.h"
#include "app/commands.h"
#include "particleplayer/check.h"

namespace pp {
namespace {

constexpr std::string_view kCommand = "check";

constexpr const char* kUsage =
    "Usage: particleplayer check [--max-particles N] FILE...\n"
    "Reads each effect file the way the player does, following Extends, and prints one line\n"
    "per finding as FILE:LINE:COLUMN: message, sorted by position, files in argument order\n"
    "(a file reached through Extends under its own name). Line and column refer to the file\n"
    "as written, although the reader joins its lines. The files are only read.\n"
    "A file named whose particles start effects that can keep more than N particles alive\n"
    "at once gets a warning; N is the particle budget of render, play and simulate\n"
    "(--max-particles, 1 to 1000000000, default 1000000).\n"
    "Exit status: 0 nothing found, 1 something was reported (a FILE that cannot be opened\n"
    "included), 2 bad usage.\n";

}  // namespace

int RunCheck(CommandArgs args) {
    std::vector<std::string> files;
    int64_t budget = particleplayer::kDefaultMaxParticles;
    const auto option = [&budget](std::string_view name,
                                  ArgWalker& walk) -> std::optional<std::string> {
        if (name == "--max-particles") return ReadMaxParticlesOption(walk, budget);
        return UnknownOption(name);
    };
    if (const std::optional<int> status = ReadFileArgs(args, kCommand, kUsage, files, option)) {
        return *status;
    }

    const std::vector<particleplayer::CheckFinding> findings =
        particleplayer::CheckFiles(files, budget);
    std::string out;
    for (const particleplayer::CheckFinding& finding : findings) {
        out += particleplayer::FormatFinding(finding);
        out += '\n';
    }
    const bool written =
        std::fwrite(out.data(), 1, out.size(), stdout) == out.size() && std::fflush(stdout) == 0;
    return findings.empty() && written ? 0 : 1;
}

}  // namespace pp
