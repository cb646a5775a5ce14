// The chain of effect files that one load reads through "Extends\", walked by the loader's
// rules: at most kMaxExtendsDepth files deep, a file already in the chain contributes nothing
// (so cycles end), and the files together read at most kMaxEffectChainBytes. The loader, the
// checker and play's file watch all walk it here, so they agree on which files count.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "effects/effect_text.h"

namespace pp {

// Tells one file reached under two names.
struct FileIdentity {
    uint64_t Device = 0;
    uint64_t Inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// Why a file would contribute nothing where the chain stands.
enum class ChainStop {
    None,
    TooDeep,      // the chain is already kMaxExtendsDepth files deep
    Cycle,        // a file of that path is in the chain (CycleFrom says which)
    BudgetSpent,  // the files before it used all the chain's bytes
};

// A file as the chain would read it next.
struct ChainFile {
    ChainStop Stop = ChainStop::None;
    std::size_t CycleFrom = 0;       // for Cycle: its index in ExtendsChain::Links()
    std::string OpenPath;            // the path as opened: '/' for '\'
    std::optional<EffectFile> File;  // as read; std::nullopt when it cannot be opened
    std::string WhyNot;              // why it cannot be opened
    std::optional<FileIdentity> Identity;
    std::size_t Limit = 0;  // the most bytes it could give: one file's limit or what is left
    // The path as written, cut to what the chain has left: the effect text of a file that
    // cannot be opened.
    std::string PathText;

    // The effect text the loader applies for this file: its lines joined, or PathText when
    // it cannot be opened. Releases the bytes read.
    std::string TakeText();
};

// One file of the chain, outermost first.
struct ChainLink {
    std::string OpenPath;
    std::optional<FileIdentity> Identity;

    // Whether `other` is this very file: by identity, so that "./a.txt" and "a.txt" are one
    // file; by the path as opened only where either has no identity (it cannot be opened).
    bool SameFile(const ChainLink& other) const {
        if (Identity && other.Identity) return *Identity == *other.Identity;
        return OpenPath == other.OpenPath;
    }
};

class ExtendsChain {
  public:
    ExtendsChain();
    // A chain that may read at most `bytes` (a sub-effect's, sharing its parent's budget).
    explicit ExtendsChain(std::size_t bytes);

    // Relative paths are opened from this folder ("" for the working directory).
    void SetFolder(std::string folder) { folder_ = std::move(folder); }
    const std::string& Folder() const { return folder_; }

    // What reading the file at `path` (as written) next would give; the chain is unchanged.
    // The file is read only when Stop is None.
    ChainFile Open(std::string_view path) const;
    // Takes `file` into the chain: its bytes (or its path text) are spent from the budget, and
    // it stays a link until Leave.
    void Enter(const ChainFile& file);
    void Leave();

    const std::vector<ChainLink>& Links() const { return links_; }
    std::size_t BytesLeft() const { return bytesLeft_; }
    // What another chain spending the same budget left of it.
    void SetBytesLeft(std::size_t bytes) { bytesLeft_ = std::min(bytes, bytesLeft_); }

  private:
    std::vector<ChainLink> links_;
    std::size_t bytesLeft_;  // what the files still to come may read
    std::string folder_;
};

}  // namespace pp
