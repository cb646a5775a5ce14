// Noticing edits to files by polling: a file's stamp (size, times, identity) is taken now and
// compared at the next look. Portable and cheap for the handful of small files an effect
// reads; no change notification service is needed.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pp {

// What a file looked like at one look. A file that cannot be examined is Exists false.
struct FileStamp {
    bool Exists = false;
    uint64_t Size = 0;
    int64_t ModifiedNs = 0;
    // Status change time: also moves when a tool writes and then puts the old modification
    // time back.
    int64_t ChangedNs = 0;
    // A save by writing a new file and renaming it over the old one changes these.
    uint64_t Device = 0, Inode = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file the path leads to (symbolic links followed).
FileStamp StampFile(const std::string& path);

// A set of files, each with the stamp it had at the last look.
class FileWatch {
  public:
    // Replaces the set, stamping every file now; a missing file is watched for appearing.
    void Watch(std::vector<std::string> paths);
    // Looks again: true when any file differs from its last stamp (appeared, vanished,
    // written, replaced). Every stamp is renewed, so one edit is reported once.
    bool Changed();
    const std::vector<std::string>& Paths() const { return paths_; }

  private:
    std::vector<std::string> paths_;
    std::vector<FileStamp> stamps_;
};

}  // namespace pp
