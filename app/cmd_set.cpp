// particleplayer set: the edit model from the command line, so that scripts batch-edit effect
// files and get the same minimal change a panel makes.
#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/cli_args.h"
#include "app/commands.h"
#include "particleplayer/check.h"
#include "particleplayer/edit.h"

namespace pp {
namespace {

constexpr std::string_view kCommand = "set";

constexpr const char* kUsage =
    "Usage: particleplayer set FILE KEY=VALUE...\n"
    "Sets each KEY of the effect file FILE to VALUE, in order, rewriting only the characters\n"
    "of the value (a key the file lacks is appended as one entry, in the file's own line end\n"
    "and indentation); everything else in the file stays byte for byte. VALUE is written as in\n"
    "the file: Size={Min = 4, Max = 8}. The file is replaced in one step, or not at all: a\n"
    "value that check reports as misread is refused with its finding, and so is an edit the\n"
    "reader would take otherwise (a stray comma, an unclosed brace before the new entry).\n"
    "Exit status: 0 saved, 1 FILE cannot be read or written, 2 bad usage or a refused value.\n";

// Line and column, from 1, of the byte at `offset` of a file as written: LF, CR, CR LF and NUL
// end a line, as check counts them.
std::pair<int32_t, int32_t> LineColumn(std::string_view bytes, std::size_t offset) {
    int32_t line = 1;
    std::size_t start = 0;
    for (std::size_t i = 0; i < offset && i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        if (c == '\n' || c == '\r' || c == '\0') {
            ++line;
            start = i + 1;
        }
    }
    return {line, static_cast<int32_t>(offset - start + 1)};
}

bool Within(const particleplayer::CheckFinding& f, std::pair<int32_t, int32_t> from,
            std::pair<int32_t, int32_t> to) {
    const std::pair<int32_t, int32_t> at{f.Line, f.Column};
    return from <= at && at <= to;
}

// The errors check finds in the entries just set.
std::vector<particleplayer::CheckFinding> RefusedFindings(const particleplayer::EffectEdit& edit,
                                                          const std::string& path,
                                                          const std::vector<std::string>& keys) {
    std::vector<particleplayer::CheckFinding> refused;
    const std::vector<particleplayer::CheckFinding> findings =
        particleplayer::CheckText(edit.Bytes(), path);
    for (const std::string& key : keys) {
        const std::optional<particleplayer::KeySpan> span = edit.Find(key);
        if (!span) continue;
        const auto from = LineColumn(edit.Bytes(), span->NameBegin);
        const auto to = LineColumn(edit.Bytes(), span->End);
        for (const particleplayer::CheckFinding& f : findings) {
            if (f.Level == particleplayer::Severity::Error && f.Path == path &&
                Within(f, from, to)) {
                refused.push_back(f);
            }
        }
    }
    return refused;
}

}  // namespace

int RunSet(CommandArgs args) {
    std::string file;
    std::vector<std::pair<std::string, std::string>> edits;
    for (const std::string_view arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (file.empty()) {
            if (arg.starts_with("-")) {
                return UsageError(kCommand, "unknown option '" + std::string(arg) + "'");
            }
            file = arg;
            continue;
        }
        const std::size_t equals = arg.find('=');
        if (equals == std::string_view::npos) {
            return UsageError(kCommand, "'" + std::string(arg) + "' is not KEY=VALUE");
        }
        std::string_view key = arg.substr(0, equals);
        while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
        while (!key.empty() && key.front() == ' ') key.remove_prefix(1);
        if (particleplayer::FindEffectKey(key) == nullptr) {
            return UsageError(kCommand, "'" + std::string(key) +
                                            "' is not a key of the effect text (see "
                                            "docs/effect-format.md)");
        }
        edits.emplace_back(std::string(key), std::string(arg.substr(equals + 1)));
    }
    if (file.empty()) return UsageError(kCommand, "missing FILE (see particleplayer set --help)");
    if (edits.empty()) return UsageError(kCommand, "missing KEY=VALUE after " + file);

    particleplayer::Result<particleplayer::EffectEdit> opened =
        particleplayer::EffectEdit::Open(file);
    if (!opened.Ok()) {
        std::fprintf(stderr, "particleplayer set: %s\n", opened.Error.c_str());
        return 1;
    }
    particleplayer::EffectEdit& edit = opened.Value;
    std::vector<std::string> keys;
    for (const auto& [key, value] : edits) {
        const particleplayer::Status status = edit.Set(key, value);
        if (!status.Ok()) return UsageError(kCommand, status.Error + "; " + file + " is unchanged");
        if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
    }
    const std::vector<particleplayer::CheckFinding> refused = RefusedFindings(edit, file, keys);
    if (!refused.empty()) {
        for (const particleplayer::CheckFinding& f : refused) {
            std::fprintf(stderr, "%s\n", particleplayer::FormatFinding(f).c_str());
        }
        std::fprintf(stderr, "particleplayer set: refused; %s is unchanged\n", file.c_str());
        return kExitUsage;
    }
    // Values already as written leave the file alone, so a running play does not reload it.
    if (!edit.CanUndo()) return 0;
    const particleplayer::Status saved = edit.Save(file);
    if (!saved.Ok()) {
        std::fprintf(stderr, "particleplayer set: %s\n", saved.Error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace pp
