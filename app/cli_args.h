// Command-line parsing shared by the subcommands: a walker over options and operands, strict
// whole-argument numbers, X,Y pairs, and the one-line error convention (exit status 2).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "particleplayer/world.h"

namespace pp {

inline constexpr int kExitUsage = 2;

// The arguments after the subcommand's name.
using CommandArgs = std::span<const std::string_view>;

// Decimal integer filling the whole text (an optional leading '-', then digits only) within
// [min, max]; std::nullopt for anything else, overflow included.
std::optional<int64_t> ParseIntArg(std::string_view text, int64_t min, int64_t max);

// "X,Y" with two int32 parts, each as ParseIntArg reads it.
std::optional<std::pair<int32_t, int32_t>> ParsePointArg(std::string_view text);

// Prints "particleplayer COMMAND: MESSAGE" as one line on stderr and returns kExitUsage.
int UsageError(std::string_view command, std::string_view message);

// Walks one subcommand's arguments. An argument that starts with '-' (and is not "-" alone)
// is an option until "--", after which everything is an operand. "--name=value" carries its
// value inline; otherwise the value is the next argument, whatever it looks like, so that
// "--at -5,3" works.
class ArgWalker {
  public:
    explicit ArgWalker(CommandArgs args) : args_(args) {}

    // Moves to the next argument; false when there is none.
    bool Next();
    bool IsOption() const { return isOption_; }
    // The option's name without an inline value ("--at" for "--at=1,2"), or the operand.
    std::string_view Name() const { return name_; }
    bool HasInlineValue() const { return inlineValue_.has_value(); }
    // The option's value: inline, or the following argument (consumed). nullopt when missing.
    std::optional<std::string_view> Value();

  private:
    CommandArgs args_;
    std::size_t next_ = 0;
    bool operandsOnly_ = false;
    bool isOption_ = false;
    std::string_view name_;
    std::optional<std::string_view> inlineValue_;
};

// The message for an option a command does not take: "unknown option 'NAME'".
std::string UnknownOption(std::string_view name);

// Reads the value of option `name` from the walker; nullopt when it is good, else a one-line
// message (UnknownOption for a name the command does not take).
using OptionReader = std::function<std::optional<std::string>(std::string_view name, ArgWalker&)>;

// The arguments of a command that works on files: every operand is a file, appended to
// `files`; --help and -h print `usage` on stdout; every other option goes to `option`. At
// least one file is wanted. nullopt to go on, else the exit status to return: 0 after the
// usage, kExitUsage after a message on stderr ("particleplayer COMMAND: ...").
std::optional<int> ReadFileArgs(CommandArgs args, std::string_view command, const char* usage,
                                std::vector<std::string>& files, const OptionReader& option);

// Reads the current option's value as a whole number from min to max into result. Returns a
// one-line message ("--frames wants a whole number from 1 to 10, not 'x'") when the value is
// missing or not such a number; result is then unchanged.
std::optional<std::string> ReadIntOption(ArgWalker& walk, int64_t min, int64_t max,
                                         int64_t& result);

// --threads N: the worker threads of the update and drawing, 1 to kMaxThreadsOption (0, the
// default, is one per hardware thread).
inline constexpr int64_t kMaxThreadsOption = 256;
inline std::optional<std::string> ReadThreadsOption(ArgWalker& walk, int64_t& threads) {
    return ReadIntOption(walk, 1, kMaxThreadsOption, threads);
}

// --cpu scalar|sse2|avx2|avx512: the instructions of the update and the vertex work (the widest the
// processor has when not given).
std::optional<std::string> ReadCpuOption(ArgWalker& walk,
                                         std::optional<particleplayer::CpuPath>& cpu);

// Forces the path --cpu gave, if any; a one-line message when this processor or build lacks it.
std::optional<std::string> ApplyCpuOption(const std::optional<particleplayer::CpuPath>& cpu);

// --max-particles N: the particle budget of the world, 1 to kMaxParticlesOption (default
// particleplayer::kDefaultMaxParticles).
inline constexpr int64_t kMaxParticlesOption = 1000000000;
inline std::optional<std::string> ReadMaxParticlesOption(ArgWalker& walk, int64_t& max) {
    return ReadIntOption(walk, 1, kMaxParticlesOption, max);
}

}  // namespace pp
