/// @file
/// particleplayer/effect_files.h - effect paths as the loader opens them, and the files a load
/// reads.
///
/// Effect texts, and the command lines of the project's tools, name folders with '\' or '/'.
/// These calls give the path a load opens for such a name, the folder a command line opens an
/// effect's relative paths from, and every file loading an effect reads, so that a host can
/// watch them for edits. They read files but change nothing and need no world.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace particleplayer {

/// The path a load opens for a path as effect texts write it: '/' in place of every '\'.
std::string EffectOpenPath(std::string_view path);

/// Whether the effect file at `open_path` names SpriteFile itself (its Extends chain aside; a
/// .plist or .pex effect's sprite counts).
bool NamesSpriteFile(const std::string& open_path);

/// The folder a command line opens the relative paths of the effect file at `open_path` from
/// (LoadOptions::Folder): its own when the file names SpriteFile itself, so that such a folder
/// can move as a whole; "" (the working directory) for every other file.
std::string CommandLineFolder(const std::string& open_path);

/// The effect file's path to open from `folder`: its name alone inside its own folder, the
/// path unchanged for "".
std::string NameInFolder(const std::string& open_path, const std::string& folder);

/// "" when the effect file at `open_path` can be read; otherwise why not, in a few words ("No
/// such file or directory", "it is a folder", "it is a pipe, not a regular file").
std::string EffectFileProblem(const std::string& open_path);

/// The files that loading the effect file at `path` reads, as paths to open: the file itself,
/// then the file it extends, and so on, followed as the loader follows them (paths as written,
/// relative to `folder`, "" being the working directory; a file that cannot be read takes its
/// path text as its content; the chain ends at a repeated file, at the loader's depth limit or
/// where the loader's bytes for one effect are spent). Then, as deep as the loader nests the
/// effects particles start, the files of the effects that OnBirth, OnDeath and OnCollide name
/// (those that can be opened), each once.
std::vector<std::string> EffectFileChain(const std::string& path, const std::string& folder = "");

/// The members of the group file at `path` (see World::LoadEffectGroup) that load, named as
/// `path` is, to be opened from the same `folder`; nullopt when the file cannot be read or is no
/// group.
std::optional<std::vector<std::string>> EffectGroupMembers(const std::string& path,
                                                           const std::string& folder = "");

/// Whether the effect file at `open_path` loads as several effects (World::LoadEffectGroup): a
/// group file, or a libGDX effect (.p), told by its content.
bool LoadsAsGroup(const std::string& open_path);

}  // namespace particleplayer
