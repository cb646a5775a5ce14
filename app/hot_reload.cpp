#include "app/hot_reload.h"

#include <sys/stat.h>

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

}  // namespace pp
