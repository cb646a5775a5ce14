// Public face of the effect checker: the engine's findings with their severity made explicit.
#include "particleplayer/check.h"

#include <optional>
#include <string_view>

#include "effects/check_files.h"
#include "effects/check_text.h"
#include "effects/effect_group.h"
#include "effects/effect_text.h"
#include "effects/loader.h"
#if PP_IMPORT
#include "import/effect_file.h"
#include "import/particle_dict.h"
#endif

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

// A Particle Designer effect's findings are what its import cannot reproduce, as warnings at
// its keys; nullopt for a file of ours.
std::optional<std::vector<CheckFinding>> ImportFindings([[maybe_unused]] const std::string& path) {
#if !PP_IMPORT
    return std::nullopt;
#else
    const std::optional<pp::EffectFile> file =
        pp::ReadEffectFile(pp::EffectOpenPath(path), pp::kMaxImportBytes);
    if (!file || !pp::LooksLikeImport(file->Bytes)) return std::nullopt;
    std::string why;
    const auto found = pp::ImportFindingsOf(file->Bytes, &why);
    const std::string shown = pp::EffectOpenPath(path);
    if (!found) {
        return std::vector<CheckFinding>{
            {shown, 1, 1, Severity::Error, "not an effect of another tool we read: " + why}};
    }
    std::vector<CheckFinding> out;
    for (const pp::ImportFinding& f : *found) {
        out.push_back({shown, f.Line, f.Column, Severity::Warning, "warning: " + f.Message});
    }
    return out;
#endif
}

std::vector<CheckFinding> CheckFiles(std::span<const std::string> paths, int64_t max_particles) {
    std::vector<CheckFinding> out;
    std::vector<std::string> ours;  // files of ours since the last imported one
    const auto flush = [&] {
        std::vector<CheckFinding> checked = ToPublic(pp::CheckEffectFiles(ours, max_particles));
        out.insert(out.end(), checked.begin(), checked.end());
        ours.clear();
    };
    const auto add = [&](const std::string& path) {
        if (auto found = ImportFindings(path)) {
            flush();
            out.insert(out.end(), found->begin(), found->end());
        } else {
            ours.push_back(path);
        }
    };
    for (const std::string& path : paths) {
        const std::optional<pp::EffectGroupFile> group = pp::ReadEffectGroupFile(path, "");
        if (!group) {
            add(path);
            continue;
        }
        // A group's own findings are the members it leaves out; then each member is checked.
        flush();
        for (const pp::GroupProblem& problem : group->Problems) {
            out.push_back({pp::EffectOpenPath(path), problem.Line, problem.Column, Severity::Error,
                           problem.Message});
        }
        for (const std::string& member : group->Members) add(member);
    }
    flush();
    return out;
}

std::vector<CheckFinding> CheckText(std::string_view text, const std::string& path,
                                    int64_t max_particles) {
    return ToPublic(pp::CheckEffectBytes(text, path, max_particles));
}

std::optional<std::string_view> NearestName(std::string_view name,
                                            std::span<const std::string_view> names) {
    const std::optional<pp::effect_check::Suggestion> near = pp::effect_check::Suggest(name, names);
    if (!near) return std::nullopt;
    return near->Name;
}

std::string FormatFinding(const CheckFinding& finding) {
    return pp::FormatFinding({finding.Path, finding.Line, finding.Column, finding.Message});
}

}  // namespace particleplayer
