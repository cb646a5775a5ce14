// Public face of the effect checker: the engine's findings with their severity made explicit.
#include "particleplayer/check.h"

#include <string_view>

#include "effects/check.h"

namespace particleplayer {
namespace {

// The checker marks warnings in the message itself, so the formatted line reads the same
// whether a host prints it or this library does.
constexpr std::string_view kWarningPrefix = "warning:";

std::vector<CheckFinding> ToPublic(std::vector<pp::CheckFinding> found) {
    std::vector<CheckFinding> out;
    out.reserve(found.size());
    for (pp::CheckFinding& f : found) {
        const Severity level = std::string_view(f.Message).starts_with(kWarningPrefix)
                                   ? Severity::Warning
                                   : Severity::Error;
        out.push_back({std::move(f.File), f.Line, f.Column, level, std::move(f.Message)});
    }
    return out;
}

}  // namespace

std::vector<CheckFinding> CheckFiles(std::span<const std::string> paths, int64_t max_particles) {
    return ToPublic(pp::CheckEffectFiles(paths, max_particles));
}

std::vector<CheckFinding> CheckText(std::string_view text, const std::string& path,
                                    int64_t max_particles) {
    return ToPublic(pp::CheckEffectBytes(text, path, max_particles));
}

std::string FormatFinding(const CheckFinding& finding) {
    return pp::FormatFinding({finding.Path, finding.Line, finding.Column, finding.Message});
}

}  // namespace particleplayer
