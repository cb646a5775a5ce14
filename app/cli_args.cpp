#include "app/cli_args.h"

#include <cstdio>
#include <string>

namespace pp {

std::optional<int64_t> ParseIntArg(std::string_view text, int64_t min, int64_t max) {
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) i = 1;
    if (i == text.size()) return std::nullopt;
    // Magnitudes beyond about 2^62 are rejected before they could overflow; no caller needs
    // them.
    constexpr int64_t kLimit = int64_t{1} << 62;
    int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return std::nullopt;
        if (magnitude > kLimit / 10) return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
    }
    const int64_t value = negative ? -magnitude : magnitude;
    if (value < min || value > max) return std::nullopt;
    return value;
}

std::optional<std::pair<int32_t, int32_t>> ParsePointArg(std::string_view text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    constexpr int64_t kMin = INT32_MIN;
    constexpr int64_t kMax = INT32_MAX;
    const std::optional<int64_t> x = ParseIntArg(text.substr(0, comma), kMin, kMax);
    const std::optional<int64_t> y = ParseIntArg(text.substr(comma + 1), kMin, kMax);
    if (!x || !y) return std::nullopt;
    return std::pair{static_cast<int32_t>(*x), static_cast<int32_t>(*y)};
}

int UsageError(std::string_view command, std::string_view message) {
    std::fprintf(stderr, "particleplayer %.*s: %.*s\n", static_cast<int>(command.size()),
                 command.data(), static_cast<int>(message.size()), message.data());
    return kExitUsage;
}

std::string UnknownOption(std::string_view name) {
    return "unknown option '" + std::string(name) + "'";
}

std::optional<int> ReadFileArgs(CommandArgs args, std::string_view command, const char* usage,
                                std::vector<std::string>& files, const OptionReader& option) {
    ArgWalker walk(args);
    while (walk.Next()) {
        const std::string_view name = walk.Name();
        if (!walk.IsOption()) {
            files.emplace_back(name);
        } else if (name == "--help" || name == "-h") {
            std::fputs(usage, stdout);
            return 0;
        } else if (const std::optional<std::string> error = option(name, walk)) {
            return UsageError(command, *error);
        }
    }
    if (files.empty()) {
        return UsageError(command,
                          "missing FILE (see particleplayer " + std::string(command) + " --help)");
    }
    return std::nullopt;
}

bool ArgWalker::Next() {
    if (next_ >= args_.size()) return false;
    const std::string_view arg = args_[next_++];
    inlineValue_.reset();
    if (!operandsOnly_ && arg == "--") {
        operandsOnly_ = true;
        return Next();
    }
    isOption_ = !operandsOnly_ && arg.size() > 1 && arg[0] == '-';
    name_ = arg;
    if (isOption_ && arg.starts_with("--")) {
        const std::size_t equals = arg.find('=');
        if (equals != std::string_view::npos) {
            name_ = arg.substr(0, equals);
            inlineValue_ = arg.substr(equals + 1);
        }
    }
    return true;
}

std::optional<std::string_view> ArgWalker::Value() {
    if (inlineValue_) return inlineValue_;
    if (next_ >= args_.size()) return std::nullopt;
    return args_[next_++];
}

std::optional<std::string> ReadIntOption(ArgWalker& walk, int64_t min, int64_t max,
                                         int64_t& result) {
    const std::string name(walk.Name());
    const std::optional<std::string_view> value = walk.Value();
    if (!value) return name + " needs a value";
    const std::optional<int64_t> number = ParseIntArg(*value, min, max);
    if (!number) {
        return name + " wants a whole number from " + std::to_string(min) + " to " +
               std::to_string(max) + ", not '" + std::string(*value) + "'";
    }
    result = *number;
    return std::nullopt;
}

std::optional<std::string> ReadCpuOption(ArgWalker& walk,
                                         std::optional<particleplayer::CpuPath>& cpu) {
    const std::optional<std::string_view> value = walk.Value();
    constexpr struct {
        std::string_view Name;
        particleplayer::CpuPath Path;
    } kPaths[] = {{"scalar", particleplayer::CpuPath::Scalar},
                  {"sse2", particleplayer::CpuPath::Sse2},
                  {"avx2", particleplayer::CpuPath::Avx2},
                  {"avx512", particleplayer::CpuPath::Avx512}};
    for (const auto& path : kPaths) {
        if (value && *value == path.Name) {
            cpu = path.Path;
            return std::nullopt;
        }
    }
    return "--cpu takes scalar, sse2, avx2 or avx512";
}

std::optional<std::string> ApplyCpuOption(const std::optional<particleplayer::CpuPath>& cpu) {
    if (!cpu) return std::nullopt;
    const particleplayer::Status forced = particleplayer::ForceCpuPath(*cpu);
    if (forced.Ok()) return std::nullopt;
    return "--cpu: " + forced.Error;
}

}  // namespace pp
