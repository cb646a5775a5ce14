#include "effects/extends_chain.h"

#include <algorithm>
#include <utility>

#include "effects/loader.h"
#if PP_IMPORT
#include "import/effect_file.h"
#endif

namespace pp {

std::string ChainFile::TakeText() {
    if (!File) return PathText;
#if PP_IMPORT
    // A Particle Designer effect is read as the effect text it imports to.
    if (std::optional<std::string> imported = EffectTextOfImport(File->Bytes, OpenPath)) {
        File->Bytes = std::string();
        return JoinedLines(*imported, false).TakeText();
    }
#endif
    std::string text = JoinedLines(File->Bytes, false).TakeText();
    File->Bytes = std::string();
    return text;
}

ExtendsChain::ExtendsChain() : bytesLeft_(kMaxEffectChainBytes) {}

ExtendsChain::ExtendsChain(std::size_t bytes) : bytesLeft_(std::min(bytes, kMaxEffectChainBytes)) {}

ChainFile ExtendsChain::Open(std::string_view path) const {
    ChainFile file;
    file.OpenPath = EffectOpenPathIn(folder_, path);
    // Without the first two a file extending itself, directly or through others, would
    // recurse until the stack ran out.
    if (links_.size() >= static_cast<std::size_t>(kMaxExtendsDepth)) {
        file.Stop = ChainStop::TooDeep;
        return file;
    }
    for (std::size_t i = 0; i < links_.size(); ++i) {
        if (links_[i].OpenPath != file.OpenPath) continue;
        file.Stop = ChainStop::Cycle;
        file.CycleFrom = i;
        return file;
    }
    if (bytesLeft_ == 0) {
        file.Stop = ChainStop::BudgetSpent;
        return file;
    }
    file.Limit = std::min(kMaxEffectFileBytes, bytesLeft_);
    file.File = ReadEffectFile(file.OpenPath, file.Limit, &file.WhyNot);
    if (file.File) {
        file.Identity = FileIdentity{file.File->Device, file.File->Inode};
    } else {
        // An ordinary path holds no '=' or ',' and so, as effect text, sets nothing.
        file.PathText = std::string(path.substr(0, bytesLeft_));
    }
    return file;
}

void ExtendsChain::Enter(const ChainFile& file) {
    // Line ends are read but leave no text; they count all the same.
    const std::size_t spent = file.File ? file.File->Bytes.size() : file.PathText.size();
    bytesLeft_ -= std::min(spent, bytesLeft_);
    links_.push_back(ChainLink{file.OpenPath, file.Identity});
}

void ExtendsChain::Leave() {
    if (!links_.empty()) links_.pop_back();
}

}  // namespace pp
