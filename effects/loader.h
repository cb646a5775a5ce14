// Effect loader: creates an emitter and applies an effect description file to it, with
// inheritance through "Extends\". Never fails and reports nothing: a file that cannot be read
// or a key that is absent simply changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "particles/particles.h"

namespace pp {

// An "Extends\" chain longer than this stops: the file that would come next contributes nothing.
inline constexpr int kMaxExtendsDepth = 64;

// One LoadEffectFile reads at most this many bytes over its whole "Extends\" chain (16 MiB),
// path texts of files that cannot be opened included. Each file reads at most
// kMaxEffectFileBytes and at most what is left of the budget; once it is spent, the files that
// would come next contribute nothing. Every key scans its text anew, so this bounds the time a
// chain of large files can take to well under a second.
inline constexpr std::size_t kMaxEffectChainBytes = std::size_t{16} << 20;

// Engine::SubEffects holds at most this many effects; a sub-effect beyond them is not started.
inline constexpr std::size_t kMaxSubEffects = 1024;

// A SpriteFile path longer than this names no sprite.
inline constexpr std::size_t kMaxSpriteFilePath = 4096;

// Effect files name folders with '\'; the path to open has '/' in its place.
std::string EffectOpenPath(std::string_view path);
// EffectOpenPath(path), inside folder when the path is relative and folder is not empty.
std::string EffectOpenPathIn(std::string_view folder, std::string_view path);
// The folder part of an opened path ("" for a bare name).
std::string FolderOf(std::string_view openPath);

// A sprite range set by the setting rule of SetSpriteRange.
struct SpriteRange {
    int32_t Min = 0, Max = kSameAsMin<int32_t>, Inc = 1;
};

// What a load applies beyond the effect's text. The sprite is set before the prewarm, so the
// particles a prewarm makes take it like every later one.
struct LoadSettings {
    // Relative paths (the effect file's, "Extends\", OnBirth and OnDeath) are opened from here;
    // "" is the working directory.
    std::string Folder;
    // Replaces whatever sprite the text gives (Sprite, SpriteFile).
    std::optional<SpriteRange> Sprite;
    // Replaces the Sprite key only when the text names no SpriteFile.
    std::optional<SpriteRange> SpriteUnlessFile;
};

// CreateEmitter(x, y), then LoadEffectFile. nullptr only when no emitter could be created.
Emitter* LoadEffect(Engine& engine, const std::string& path, float x, float y);

// Applies the file's keys in their fixed order, "Extends\" first and depth-first. A file that
// cannot be opened contributes its path text as effect text. A file already being loaded
// further up the same chain contributes nothing, so cycles end.
// The effects that the OnBirth and OnDeath keys name (the last of each in the chain) are then
// loaded into engine.SubEffects, each as DefaultParamsAt(0, 0) and its own keys, its own
// "Extends\" chain and its own sub-effects, and their indices stored. None is started (Effect
// stays -1) for a file that cannot be opened, one that an effect above it already started
// (so no file starts itself), one deeper than kMaxSubEffectDepth, or once kMaxSubEffects are
// kept; an effect equal to one kept shares its entry. The sub-effects' files spend the same
// kMaxEffectChainBytes as the chain that names them.
// The last SpriteFile of the chain, a path relative to the folder of the file that names it
// (of settings.Folder for a text), gets its index in engine.SpriteFiles (the same file shares
// one) and the Sprite triple of its number; none is kept past kMaxSpriteFiles, for a path
// longer than kMaxSpriteFilePath or one holding a zero byte. Then the settings' sprite, then
// PrewarmEmitter.
void LoadEffectFile(Engine& engine, Emitter* emitter, const std::string& path,
                    const LoadSettings& settings = {});

// Applies the bytes of an effect text as if they were the content of a file (line ends
// removed, as the reader joins a file's lines): "Extends\" paths in it start a fresh chain,
// opened relative to settings.Folder. Then the settings' sprite and PrewarmEmitter.
void LoadEffectText(Engine& engine, Emitter* emitter, std::string_view text,
                    const LoadSettings& settings = {});

// Whether the effect file at openPath names SpriteFile itself (its Extends chain aside).
bool NamesSpriteFile(const std::string& openPath);
// The folder the command line opens the relative paths of the effect file at openPath from:
// its own when the file itself names SpriteFile, so that such a folder can move as a whole;
// "" (the working directory) for every other file and for a file in the working directory.
std::string CommandLineFolder(const std::string& openPath);
// The effect file's path to open from folder: its name alone inside its own folder, the path
// unchanged for "".
std::string NameInFolder(const std::string& openPath, const std::string& folder);

// The sprite number the emitter's SpriteFile has, or -1 for none.
int32_t SpriteFileNumber(const Engine& engine, const EmitterParams& params);

}  // namespace pp
