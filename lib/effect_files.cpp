#include "particleplayer/effect_files.h"

#include <algorithm>

#include "effects/effect_group.h"
#include "effects/effect_text.h"
#include "effects/extends_chain.h"
#include "effects/extra_values.h"
#include "effects/loader.h"
#if PP_IMPORT
#include "import/gdx_reader.h"
#endif

namespace particleplayer {

std::string EffectOpenPath(std::string_view path) {
    return pp::EffectOpenPath(path);
}

bool NamesSpriteFile(const std::string& open_path) {
    return pp::NamesSpriteFile(open_path);
}

std::string CommandLineFolder(const std::string& open_path) {
    return pp::CommandLineFolder(open_path);
}

std::string NameInFolder(const std::string& open_path, const std::string& folder) {
    return pp::NameInFolder(open_path, folder);
}

std::string EffectFileProblem(const std::string& open_path) {
    std::string whyNot;
    // One byte is enough to know the file opens as a regular file.
    if (pp::ReadEffectFile(open_path, 1, &whyNot)) return "";
    return whyNot;
}

namespace {

// The Extends chain from `path` into `files`, then the chains of the effects its files start,
// as deep as the loader loads them; a file already in `files` is not walked again.
void AddEffectFiles(const std::string& path, const std::string& folder, int32_t depth,
                    std::vector<std::string>& files) {
    pp::ExtendsChain chain;
    chain.SetFolder(folder);
    std::vector<std::string> started;
    std::string next = path;
    while (!next.empty()) {
        pp::ChainFile file = chain.Open(next);
        if (file.Stop != pp::ChainStop::None) break;
        chain.Enter(file);
        files.push_back(file.OpenPath);
        const std::string text = file.TakeText();
        for (const char* key : {"OnBirth\\", "OnDeath\\", "OnCollide\\"}) {
            std::string sub = pp::SubEffectPath(pp::FindEntry(text, key));
            if (!sub.empty()) started.push_back(std::move(sub));
        }
        next = pp::FindEntry(text, "Extends\\");
    }
    if (depth >= pp::kMaxSubEffectDepth) return;
    for (const std::string& sub : started) {
        const std::string open = pp::EffectOpenPathIn(folder, sub);
        if (std::find(files.begin(), files.end(), open) != files.end()) continue;
        if (!pp::ReadEffectFile(open, 0)) continue;
        AddEffectFiles(sub, folder, depth + 1, files);
    }
}

}  // namespace

std::vector<std::string> EffectFileChain(const std::string& path, const std::string& folder) {
    std::vector<std::string> files;
    AddEffectFiles(path, folder, 0, files);
    return files;
}

std::optional<std::vector<std::string>> EffectGroupMembers(const std::string& path,
                                                           const std::string& folder) {
    std::optional<pp::EffectGroupFile> group = pp::ReadEffectGroupFile(path, folder);
    if (!group) return std::nullopt;
    return std::move(group->Members);
}

bool LoadsAsGroup(const std::string& open_path) {
    const std::optional<pp::EffectFile> file =
        pp::ReadEffectFile(open_path, pp::kMaxEffectFileBytes);
    if (!file) return false;
#if PP_IMPORT
    if (pp::LooksLikeGdxEffect(file->Bytes)) return true;
#endif
    return pp::IsGroupText(pp::JoinedLines(file->Bytes, false).Text());
}

}  // namespace particleplayer
