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

// The files that loading the effect file at path reads, as paths to open: the file itself,
// then the file it extends, and so on, followed as the loader follows them (paths as written,
// relative to folder, "" being the working directory; a file that cannot be read takes its path
// text as its content; the chain ends at a repeated file, at the loader's depth limit or where the
// loader's bytes for one effect are spent). Then, as deep as the loader nests sub-effects, the
// files of the effects that OnBirth and OnDeath name (those that can be opened), each once.
std::vector<std::string> EffectFileChain(const std::string& path, const std::string& folder = "");

}  // namespace pp
