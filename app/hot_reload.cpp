#include "app/hot_reload.h"

#include <sys/stat.h>

#include <algorithm>

#include "effects/effect_text.h"
#include "effects/extends_chain.h"
#include "effects/extra_values.h"
#include "effects/loader.h"

namespace pp {
namespace {

int64_t Nanoseconds(const timespec& t) {
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + static_cast<int64_t>(t.tv_nsec);
}

}  // namespace

FileStamp StampFile(const std::string& path) {
    struct stat s;
    if (::stat(path.c_str(), &s) != 0) return {};
    FileStamp stamp;
    stamp.Exists = true;
    stamp.Size = static_cast<uint64_t>(s.st_size);
    stamp.ModifiedNs = Nanoseconds(s.st_mtim);
    stamp.ChangedNs = Nanoseconds(s.st_ctim);
    stamp.Device = static_cast<uint64_t>(s.st_dev);
    stamp.Inode = static_cast<uint64_t>(s.st_ino);
    return stamp;
}

void FileWatch::Watch(std::vector<std::string> paths) {
    paths_ = std::move(paths);
    stamps_.clear();
    for (const std::string& path : paths_) stamps_.push_back(StampFile(path));
}

bool FileWatch::Changed() {
    bool changed = false;
    for (std::size_t i = 0; i < paths_.size(); ++i) {
        FileStamp now = StampFile(paths_[i]);
        if (now != stamps_[i]) {
            stamps_[i] = now;
            changed = true;
        }
    }
    return changed;
}

namespace {

// The Extends chain from `path` into `files`, then the chains of the effects its files start,
// as deep as the loader loads them; a file already in `files` is not walked again.
void AddEffectFiles(const std::string& path, const std::string& folder, int32_t depth,
                    std::vector<std::string>& files) {
    ExtendsChain chain;
    chain.SetFolder(folder);
    std::vector<std::string> started;
    std::string next = path;
    while (!next.empty()) {
        ChainFile file = chain.Open(next);
        if (file.Stop != ChainStop::None) break;
        chain.Enter(file);
        files.push_back(file.OpenPath);
        const std::string text = file.TakeText();
        for (const char* key : {"OnBirth\\", "OnDeath\\"}) {
            std::string sub = SubEffectPath(FindEntry(text, key));
            if (!sub.empty()) started.push_back(std::move(sub));
        }
        next = FindEntry(text, "Extends\\");
    }
    if (depth >= kMaxSubEffectDepth) return;
    for (const std::string& sub : started) {
        const std::string open = EffectOpenPathIn(folder, sub);
        if (std::find(files.begin(), files.end(), open) != files.end()) continue;
        if (!ReadEffectFile(open, 0)) continue;
        AddEffectFiles(sub, folder, depth + 1, files);
    }
}

}  // namespace

std::vector<std::string> EffectFileChain(const std::string& path, const std::string& folder) {
    std::vector<std::string> files;
    AddEffectFiles(path, folder, 0, files);
    return files;
}

}  // namespace pp
