// The checker's driver: the files named, the Extends chain each one starts, walked as the
// loader walks it, and the findings grouped per file.
#include "effects/check_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

#include "effects/check_text.h"
#include "effects/extends_chain.h"
#include "effects/loader.h"
#include "effects/value_forms.h"
#include "particleplayer/world.h"
#include "particles/particles.h"
#include "runtime/clock_readings.h"

#if PP_IMPORT
#include <fstream>
#include <iterator>
#include <string>

#include "import/effect_file.h"
#include "import/particle_dict.h"
#endif

namespace pp {
namespace {

using namespace effect_check;

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return std::nullopt;
    return FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

ChainLink StartedLink(const std::string& path) {
    const std::string open = EffectOpenPath(path);
    return ChainLink{open, IdentityOf(open)};
}

class Checker {
  public:
    explicit Checker(int64_t budget) : engine_(clock_), budget_(budget) { FillAreaTypes(engine_); }

    // A file that names SpriteFile itself has its paths opened from its own folder, as the
    // command line loads it.
    void CheckPath(const std::string& path) {
        const std::string open = EffectOpenPath(path);
        folder_ = CommandLineFolder(open);
        started_ = {ChainLink{open, IdentityOf(open)}};
        CheckFile(folder_.empty() ? path : NameInFolder(open, folder_));
    }

    void CheckBytes(std::string_view bytes, const std::string& name) {
        folder_.clear();
        started_ = {StartedLink(name)};
        CheckText(bytes, name);
    }

  private:
    void CheckFile(const std::string& path) {
        ExtendsChain chain;
        chain.SetFolder(folder_);
        ChainFile file = chain.Open(path);
        if (AlreadyChecked(file.OpenPath, file.Identity)) return;
        const std::size_t group = NewGroup(file.OpenPath, file.Identity);
        if (!file.File) {
            groups_[group].Findings.push_back(
                Located{TextPosition{}, "cannot open this file (" + file.WhyNot + ")"});
            return;
        }
        chain.Enter(file);
        CheckContents(group, file.File->Bytes, file.File->More, chain);
        AddEffective(group, file);
        // A sub-effect's own rate is never used: only the file named is judged by it.
        if (started_.size() == 1) {
            AddFanOut(group, file, [&](Engine& e, Emitter* to) { LoadEffectFile(e, to, path); });
        }
    }

    // CheckBytes without the list of effects being started.
    void CheckText(std::string_view bytes, const std::string& name) {
        ChainFile file;
        file.OpenPath = EffectOpenPath(name);
        file.Identity = IdentityOf(file.OpenPath);
        // The same limit as for a file read from disk.
        const bool truncated = bytes.size() > kMaxEffectFileBytes;
        file.File = EffectFile{std::string(bytes.substr(0, kMaxEffectFileBytes)), truncated};
        const std::size_t group = NewGroup(file.OpenPath, file.Identity);
        ExtendsChain chain;
        chain.Enter(file);
        CheckContents(group, file.File->Bytes, truncated, chain);
        AddEffective(group, file);
        AddFanOut(group, file, [&](Engine& e, Emitter* to) { LoadEffectText(e, to, bytes); });
    }

  public:
    std::vector<CheckFinding> Take() {
        std::vector<CheckFinding> out;
        for (Group& group : groups_) {
            std::stable_sort(group.Findings.begin(), group.Findings.end(),
                             [](const Located& a, const Located& b) {
                                 return std::pair(a.At.Line, a.At.Column) <
                                        std::pair(b.At.Line, b.At.Column);
                             });
            for (Located& f : group.Findings) {
                out.push_back(
                    CheckFinding{group.Name, f.At.Line, f.At.Column, std::move(f.Message)});
            }
        }
        groups_.clear();
        return out;
    }

  private:
    struct Group {
        std::string Name;
        std::optional<FileIdentity> Identity;
        std::vector<Located> Findings;
    };

    bool AlreadyChecked(const std::string& openPath,
                        const std::optional<FileIdentity>& identity) const {
        for (const Group& group : groups_) {
            if (identity ? group.Identity == identity : group.Name == openPath) return true;
        }
        return false;
    }

    std::size_t NewGroup(const std::string& openPath, const std::optional<FileIdentity>& id) {
        groups_.push_back(Group{openPath, id, {}});
        return groups_.size() - 1;
    }

    // The chain from `first` as the loader applies it, each file's text with its positions.
    std::vector<LoadedFile> LoadedChain(ChainFile file) const {
        std::vector<LoadedFile> files;
        ExtendsChain chain;
        chain.SetFolder(folder_);
        for (;;) {
            chain.Enter(file);
            const bool opened = file.File.has_value();
            files.push_back(LoadedFile{
                file.OpenPath, JoinedLines(opened ? file.File->Bytes : file.PathText), !opened});
            const std::string next = FindEntry(files.back().Lines.Text(), "Extends\\");
            if (next.empty()) break;
            file = chain.Open(next);
            if (file.Stop != ChainStop::None) break;
        }
        return files;
    }

    // The warnings on the effect the chain from `first` loads, each once, in the group of the
    // file that set the value (the first file's group when no group has that name).
    void AddEffective(std::size_t firstGroup, const ChainFile& first) {
        for (EffectFinding& f : CheckEffective(LoadedChain(first))) {
            const std::size_t group = GroupOf(f.File, firstGroup);
            // A finding inside the entry that set the value already names the cause (a value
            // that is no number, a block read as 0), or this very warning came from an
            // earlier file of the same chain.
            const auto order = [](const TextPosition& p) { return std::pair(p.Line, p.Column); };
            std::vector<Located>& findings = groups_[group].Findings;
            const bool known = std::any_of(findings.begin(), findings.end(), [&](const Located& l) {
                return order(l.At) >= order(f.Where.At) && order(l.At) <= order(f.Until);
            });
            if (!known) findings.push_back(std::move(f.Where));
        }
    }

    // The warning on what the effects that the effect starts can keep alive, loaded by `load`
    // into an engine of its own (not prewarmed: only its parameters are read).
    template <class Load>
    void AddFanOut(std::size_t group, const ChainFile& first, Load&& load) {
        VirtualClock clock;
        Engine engine(clock);
        FillAreaTypes(engine);
        Emitter* emitter = CreateEmitter(engine, 0, 0);
        if (emitter == nullptr) return;
        emitter->Prewarmed = 1;
        load(engine, emitter);
        for (EffectFinding& f :
             CheckFanOut(LoadedChain(first), engine, emitter->Params(), budget_)) {
            groups_[GroupOf(f.File, group)].Findings.push_back(std::move(f.Where));
        }
    }

    // The group of the file named `file`, `fallback` when no group has that name.
    std::size_t GroupOf(const std::string& file, std::size_t fallback) const {
        for (std::size_t i = 0; i < groups_.size(); ++i) {
            if (groups_[i].Name == file) return i;
        }
        return fallback;
    }

    // Checks the text of the file last entered into `chain`, then the file it extends.
    void CheckContents(std::size_t group, std::string_view bytes, bool truncated,
                       ExtendsChain& chain, bool cutShort = false) {
        TextCheck check(bytes, engine_.AreaTypes);
        check.Run(truncated, cutShort);
        std::vector<Located>& found = check.Findings();
        groups_[group].Findings.insert(groups_[group].Findings.end(),
                                       std::make_move_iterator(found.begin()),
                                       std::make_move_iterator(found.end()));
        if (check.Extends()) {
            FollowExtends(group, *check.Extends(), check.At(check.Extends()->Offset), chain);
        }
        for (const ExtendsRef& ref : check.SpriteFiles()) {
            CheckSpriteFile(group, ref, check.At(ref.Offset));
        }
        for (const ExtendsRef& ref : check.SubEffects()) {
            FollowSubEffect(group, ref, check.At(ref.Offset));
        }
    }

    // The image is looked for as the loader looks for it, beside the file that names it.
    void CheckSpriteFile(std::size_t group, const ExtendsRef& ref, TextPosition at) {
        auto report = [&](std::string message) {
            groups_[group].Findings.push_back(Located{at, std::move(message)});
        };
        if (ref.Path.size() > kMaxSpriteFilePath || ref.Path.find('\0') != std::string::npos) {
            report("'SpriteFile' is longer than " + Show(kMaxSpriteFilePath) +
                   " bytes or holds a zero byte, which no file name does: it is ignored");
            return;
        }
        const std::string path = EffectOpenPathIn(FolderOf(groups_[group].Name), ref.Path);
        const std::string problem = ImageFileProblem(path);
        if (problem.empty()) return;
        const std::string where = path == EffectOpenPath(ref.Path)
                                      ? " "
                                      : " (" + path + ", relative to the folder of this file) ";
        report("the sprite " + Quote(ref.Path) + where + problem + ": its particles draw nothing");
    }

    // Why the file cannot serve as a sprite, as far as its first bytes tell; "" when it can.
    static std::string ImageFileProblem(const std::string& path) {
        struct stat info {};
        if (stat(path.c_str(), &info) != 0) return "cannot be opened (" + ErrnoText() + ")";
        if (!S_ISREG(info.st_mode)) return "is not a regular file";
        if (info.st_size > particleplayer::kMaxSpriteFileBytes)
            return "is larger than " + std::to_string(particleplayer::kMaxSpriteFileBytes >> 20) +
                   " MiB";
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (file == nullptr) return "cannot be opened (" + ErrnoText() + ")";
        unsigned char magic[4] = {};
        const std::size_t got = std::fread(magic, 1, sizeof magic, file);
        std::fclose(file);
        const bool png =
            got == 4 && magic[0] == 0x89 && magic[1] == 'P' && magic[2] == 'N' && magic[3] == 'G';
        const bool bmp = got >= 2 && magic[0] == 'B' && magic[1] == 'M';
        if (png || bmp) return "";
#if PP_IMPORT
        // A .plist or .pex serves with the sprite it embeds, as the loader names it for them.
        if (magic[0] != 0x89 && info.st_size <= static_cast<off_t>(kMaxImportBytes)) {
            std::ifstream in(path, std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(in), {}};
            if (EmbedsSprite(bytes)) return "";
            if (LooksLikeParticleDict(bytes)) return "is a .plist or .pex that embeds no sprite";
        }
#endif
        return "is no PNG or BMP image";
    }

    static std::string ErrnoText() {
        return std::strerror(errno);
    }

    // A started effect that names no image draws with its Sprite number; one below 1 is a
    // number the player, play and render never load.
    void CheckStartedSprite(std::size_t group, const ExtendsRef& ref, TextPosition at) {
        ExtendsChain chain;
        chain.SetFolder(folder_);
        ChainFile file = chain.Open(ref.Path);
        if (file.Stop != ChainStop::None || !file.File) return;
        std::optional<std::string> sprite;
        for (const LoadedFile& loaded : LoadedChain(std::move(file))) {
            const std::string text(loaded.Lines.Text());
            if (!FindEntry(text, "SpriteFile\\").empty()) return;
            if (std::string v = FindEntry(text, "Sprite\\"); !sprite && !v.empty()) sprite = v;
        }
        const ValueForm<int32_t> form = ParseIntValueSpec(sprite.value_or(""));
        if (form.First >= 1 || form.Second >= 1) return;
        groups_[group].Findings.push_back(Located{
            at, "warning: " + Quote(ref.Path) + " names no SpriteFile, so the particles it " +
                    "starts draw with sprite " + Show(form.First) +
                    ", a number the player, play and render never load (they number their " +
                    "sprites from 1): they draw nothing; give it an image of its own with " +
                    "'SpriteFile = IMAGE.png'"});
    }

    // As the loader does: an effect already being started is refused, so are effects nested
    // deeper than it loads; a file that cannot be opened starts nothing; any other is checked
    // (once) as a file of its own.
    void FollowSubEffect(std::size_t group, const ExtendsRef& ref, TextPosition at) {
        auto report = [&](std::string message) {
            groups_[group].Findings.push_back(Located{at, std::move(message)});
        };
        const std::string target = EffectOpenPathIn(folder_, ref.Path);
        const ChainLink link{target, IdentityOf(target)};
        if (std::any_of(started_.begin(), started_.end(),
                        [&link](const ChainLink& s) { return s.SameFile(link); })) {
            std::string route;
            for (const ChainLink& s : started_) route += s.OpenPath + " -> ";
            report(Quote(ref.Path) + " is an effect already being started (" + route + target +
                   "): an effect never starts itself, so the loader starts nothing here");
            return;
        }
        if (started_.size() > static_cast<std::size_t>(kMaxSubEffectDepth)) {
            report(Quote(ref.Path) + " is not started: sub-effects nest at most " +
                   Show(kMaxSubEffectDepth) + " deep");
            return;
        }
        std::string whyNot;
        if (!ReadEffectFile(target, 0, &whyNot)) {
            report("cannot open " + Quote(ref.Path) + " from " + From() + " (" + whyNot +
                   "): no effect is started" + RelativeHint(groups_[group].Name, ref.Path));
            return;
        }
        started_.push_back(link);
        CheckFile(ref.Path);
        started_.pop_back();
        CheckStartedSprite(group, ref, at);
    }

    static std::string ChainText(const ExtendsChain& chain, std::size_t from,
                                 const std::string& last) {
        std::string out;
        for (std::size_t i = from; i < chain.Links().size(); ++i) {
            out += chain.Links()[i].OpenPath + " -> ";
        }
        return out + last;
    }

    // As the loader does: stop at its depth limit, at a file already being loaded or where
    // the chain's bytes are spent, else read the file and check it (once).
    void FollowExtends(std::size_t group, const ExtendsRef& ref, TextPosition at,
                       ExtendsChain& chain) {
        auto report = [&](std::string message) {
            groups_[group].Findings.push_back(Located{at, std::move(message)});
        };
        ChainFile file = chain.Open(ref.Path);
        const std::string& target = file.OpenPath;
        const std::string shown = Quote(ref.Path);
        switch (file.Stop) {
            case ChainStop::TooDeep:
                report(shown + " is not read: the Extends chain is already " +
                       Show(static_cast<std::size_t>(kMaxExtendsDepth)) +
                       " files deep, the most the loader follows");
                return;
            case ChainStop::Cycle:
                report(shown + " closes a cycle (" + ChainText(chain, file.CycleFrom, target) +
                       "): the loader skips it here");
                return;
            case ChainStop::BudgetSpent:
                if (AlreadyChecked(target, IdentityOf(target))) return;
                groups_[NewGroup(target, IdentityOf(target))].Findings.push_back(Located{
                    TextPosition{}, "not read: the files before it in the Extends chain use all " +
                                        ChainBudgetText()});
                return;
            case ChainStop::None:
                break;
        }
        if (!file.File) {
            std::string message = "cannot open " + shown + " from " + From() + " (" + file.WhyNot +
                                  "): it adds nothing";
            if (ref.Path.find('=') != std::string::npos) {
                message += ", and the loader reads its name as effect text instead";
            }
            message += RelativeHint(chain.Links().back().OpenPath, ref.Path);
            report(message);
            return;
        }
        const std::vector<ChainLink>& links = chain.Links();
        for (std::size_t i = 0; i < links.size(); ++i) {
            if (links[i].Identity != file.Identity) continue;
            report(shown + " closes a cycle under another name (" + ChainText(chain, i, target) +
                   "), which the loader follows until the chain is " +
                   Show(static_cast<std::size_t>(kMaxExtendsDepth)) + " files deep");
            return;
        }
        if (AlreadyChecked(target, file.Identity)) return;
        const std::size_t next = NewGroup(target, file.Identity);
        // Cut short by what the chain has left rather than by the limit of one file: said
        // once, where the file begins.
        const bool cutByChain = file.File->More && file.Limit < kMaxEffectFileBytes;
        if (cutByChain) {
            groups_[next].Findings.push_back(
                Located{TextPosition{}, "only the first " + Show(file.Limit) +
                                            " bytes are read: the files before it in the Extends "
                                            "chain use " +
                                            Show(kMaxEffectChainBytes - file.Limit) + " of " +
                                            ChainBudgetText()});
        }
        chain.Enter(file);
        CheckContents(next, file.File->Bytes, file.File->More && !cutByChain, chain, cutByChain);
        chain.Leave();
    }

    static std::string ChainBudgetText() {
        return "the " + Show(kMaxEffectChainBytes) + " bytes the loader reads for one effect";
    }

    // Where relative paths are opened from, in words.
    std::string From() const {
        return folder_.empty() ? "the working directory" : "the folder " + folder_;
    }

    // Authors often write the path relative to the including file; the loader does not,
    // unless the file names SpriteFile.
    std::string RelativeHint(const std::string& including, const std::string& written) const {
        if (!folder_.empty()) return "";
        const std::string target = EffectOpenPath(written);
        const std::size_t slash = including.rfind('/');
        if (target.empty() || target.front() == '/' || slash == std::string::npos) return "";
        const std::string folder = including.substr(0, slash);
        if (!ReadEffectFile(folder + "/" + target, 0)) return "";
        std::string suggestion = folder + "/" + written;
        if (written.find('\\') != std::string::npos) {
            std::replace(suggestion.begin(), suggestion.end(), '/', '\\');
        }
        return "; paths are relative to the working directory, not to the file that names "
               "them: write " +
               Quote(suggestion);
    }

    VirtualClock clock_;
    Engine engine_;
    int64_t budget_;
    std::vector<Group> groups_;
    // The effect files being started, the file named first: a sub-effect among them would
    // start itself.
    std::vector<ChainLink> started_;
    // Where the file being checked has its relative paths opened from ("": the working
    // directory).
    std::string folder_;
};

}  // namespace

std::vector<CheckFinding> CheckEffectFiles(std::span<const std::string> paths, int64_t budget) {
    Checker checker(budget);
    for (const std::string& path : paths) checker.CheckPath(path);
    return checker.Take();
}

std::vector<CheckFinding> CheckEffectBytes(std::string_view bytes, const std::string& name,
                                           int64_t budget) {
    Checker checker(budget);
    checker.CheckBytes(bytes, name);
    return checker.Take();
}

std::string FormatFinding(const CheckFinding& finding) {
    return finding.File + ":" + std::to_string(finding.Line) + ":" +
           std::to_string(finding.Column) + ": " + finding.Message;
}

}  // namespace pp
