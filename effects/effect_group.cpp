// Group files: the member list read with the effect grammar, each member checked as the loader
// would open it.
#include "effects/effect_group.h"

#include "effects/effect_text.h"
#include "effects/loader.h"

namespace pp {
namespace {

constexpr std::string_view kGroupKey = "Group\\";

}  // namespace

bool IsGroupText(std::string_view text) {
    return !FindEntry(text, kGroupKey).empty();
}

std::optional<EffectGroupFile> ReadEffectGroup(std::string_view bytes, const std::string& path,
                                               const std::string& folder) {
    const JoinedLines lines(bytes, true);
    const std::string& text = lines.Text();
    if (!IsGroupText(text)) return std::nullopt;
    const std::size_t key = text.find("Group");
    const std::size_t open = text.find('{', key);
    EffectGroupFile group;
    const auto problem = [&](std::size_t at, std::string message) {
        const TextPosition p = lines.At(at);
        group.Problems.push_back({p.Line, p.Column, "'Group': " + std::move(message)});
    };
    if (open == std::string::npos) {
        problem(key, "wants a list of effect files in braces, {A.txt, B.txt}");
        return group;
    }
    const std::size_t close = text.find('}', open);
    const TextRange inside{open + 1, close == std::string::npos ? text.size() : close};
    const std::string beside = FolderOf(EffectOpenPath(path));
    for (const ListEntry& entry : ScanEntries(text, inside, false).Entries) {
        const std::string written(entry.Value.Of(text));
        if (written.empty()) continue;
        if (group.Members.size() >= kMaxGroupMembers) {
            problem(entry.Value.Begin, "more than " + std::to_string(kMaxGroupMembers) +
                                           " members: " + written + " and the rest are left out");
            break;
        }
        const std::string member = EffectOpenPathIn(beside, written);
        std::string whyNot;
        const std::optional<EffectFile> file =
            ReadEffectFile(EffectOpenPathIn(folder, member), kMaxEffectFileBytes, &whyNot);
        if (!file) {
            problem(entry.Value.Begin, member + " cannot be read (" + whyNot + "): left out");
        } else if (IsGroupText(JoinedLines(file->Bytes, false).Text())) {
            problem(entry.Value.Begin, member + " is a group itself; groups do not nest: left out");
        } else {
            group.Members.push_back(member);
        }
    }
    if (group.Members.empty() && group.Problems.empty()) problem(key, "lists no effect file");
    return group;
}

std::optional<EffectGroupFile> ReadEffectGroupFile(const std::string& path,
                                                   const std::string& folder) {
    const std::optional<EffectFile> file =
        ReadEffectFile(EffectOpenPathIn(folder, path), kMaxEffectFileBytes);
    if (!file) return std::nullopt;
    return ReadEffectGroup(file->Bytes, path, folder);
}

}  // namespace pp
