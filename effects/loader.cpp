#include "effects/loader.h"

#include <algorithm>
#include <optional>
#include <variant>
#include <vector>

#include "effects/effect_keys.h"
#include "effects/effect_text.h"
#include "effects/extends_chain.h"
#include "effects/extra_values.h"
#include "effects/value_forms.h"
#if PP_IMPORT
#include "import/effect_file.h"
#endif

namespace pp {
namespace {

// The files being loaded, outermost first, and the effect text the chain may still take; and
// for the sub-effects named by what is loaded: the effect files started above this one (so a
// file cannot start itself), how deep it is, and the paths its OnBirth, OnDeath and OnCollide
// name.
struct LoadChain : ExtendsChain {
    LoadChain() = default;
    LoadChain(std::size_t bytes, std::vector<ChainLink> started, int32_t depth)
        : ExtendsChain(bytes), Started(std::move(started)), Depth(depth) {}

    std::vector<ChainLink> Started;
    int32_t Depth = 0;     // 0 for an effect of its own, 1 for its sub-effects, ...
    int32_t Applying = 0;  // effect texts being applied, the parents' included
    std::optional<std::string> OnBirth, OnDeath, OnCollide;  // the last path each key named
    std::vector<std::string> SpriteFiles;  // the images the last SpriteFile named, as opened
};

void ApplyEffectFile(Engine& engine, EmitterParams& params, const std::string& path,
                     LoadChain& chain);
void ApplyEffectText(Engine& engine, EmitterParams& params, std::string_view text,
                     LoadChain& chain);

void StoreArea(EmitterParams& params, int32_t type, float width, float height, float angle) {
    if (type < 0 || type > 5) return;
    params.AreaType = type;
    params.AreaWidth = width;
    params.AreaHeight = height;
    // Multiplied before dividing, with pi as a float: this order gives the stored angle's bits.
    params.AreaAngle = angle * 3.1415927f / 180.0f;
}

void ApplyArea(Engine& engine, EmitterParams& params, std::string_view v) {
    // An empty first entry means no usable area at all, not "keep the old one".
    if (FindEntry(v, "1").empty()) {
        StoreArea(params, 0, 0.0f, 0.0f, 0.0f);
        return;
    }
    const std::string name = TextOr(FindEntry(v, "Type"), "Point");
    // An unknown name stays in the map with 0, so it reads as a Point from then on.
    const int32_t type = MapFindOrAdd(engine.AreaTypes, name.c_str());
    StoreArea(params, type, FloatOr(FindEntry(v, "Width"), 0.0f),
              FloatOr(FindEntry(v, "Height"), 0.0f), FloatOr(FindEntry(v, "Angle"), 0.0f));
}

// Stores a key's non-empty value v where its row says, exactly as the row's setter would.
void Store(EmitterParams&, std::monostate, std::string_view) {}

void Store(EmitterParams& params, const IntKeyField& to, std::string_view v) {
    params.*to.Field = IntOr(v, to.Fallback);
}

void Store(EmitterParams& params, float EmitterParams::*to, std::string_view v) {
    params.*to = FloatOr(v, 0.0f);
}

// Two-number keys go by position, and a missing part takes its default, not the old value.
void Store(EmitterParams& params, const PairKeyFields& to, std::string_view v) {
    params.*to.X = FloatOr(FindEntry(v, "1"), 0.0f);
    params.*to.Y = FloatOr(FindEntry(v, "2"), 0.0f);
}

void Store(EmitterParams& params, const IntPairKeyFields& to, std::string_view v) {
    params.*to.First = IntOr(FindEntry(v, "1"), to.FirstFallback);
    params.*to.Second = IntOr(FindEntry(v, "2"), to.SecondFallback);
}

void Store(EmitterParams& params, ValueSpec EmitterParams::*to, std::string_view v) {
    const ValueForm<float> form = ParseValueSpec(v);
    SetValueSpec(params.*to, form.First, form.Second, form.Step);
}

void Store(EmitterParams& params, IntValueSpec EmitterParams::*to, std::string_view v) {
    const ValueForm<int32_t> form = ParseIntValueSpec(v);
    SetIntValueSpec(params.*to, form.First, form.Second, form.Step);
}

// The optional keys: a value replaces the whole of what an earlier file set.
void Store(EmitterParams& params, std::array<float, 3> ExtraParams::*to, std::string_view v) {
    params.Extras.*to = ParseColour(v);
}

void Store(EmitterParams& params, const CurveKeyField& to, std::string_view v) {
    params.Extras.*to.Field = ParseLifeCurve(v, to.Min, to.Max);
}

void Store(EmitterParams& params, LifeCurve<3> ExtraParams::*to, std::string_view v) {
    params.Extras.*to = ParseColourCurve(v);
}

void Store(EmitterParams& params, const AmountKeyField& to, std::string_view v) {
    params.Extras.*to.Field = ParseAmount(v, to.Min, to.Max);
}

void Store(EmitterParams& params, const RandomKeyField& to, std::string_view v) {
    params.Extras.Motion.*to.Field = ParseRandomKey(v, to.Min, to.Max);
}

void Store(EmitterParams& params, const RgbaKeyField& to, std::string_view v) {
    params.Extras.Motion.*to.Field = ParseRgba(v, to.Missing);
}

void Store(EmitterParams& params, const WholeKeyField& to, std::string_view v) {
    params.Extras.*to.Field = ParseWhole(v, to.Min, to.Max);
}

// A block's record; a sub-effect's file is loaded once the whole chain is applied (see
// LoadSubEffects).
void Store(EmitterParams& params, const BlockKeyTarget& to, std::string_view v) {
    to.Store(params.Extras, v);
}

// The index in engine.SubEffects of the effect at `path` started from an effect loaded with
// `chain`, or -1: too deep, an effect starting itself, a file that cannot be opened, or the
// list full. An effect equal to one already kept shares its entry.
int32_t LoadSubEffect(Engine& engine, const std::string& path, LoadChain& chain) {
    if (path.empty() || chain.Depth >= kMaxSubEffectDepth) return -1;
    std::vector<ChainLink> started = chain.Started;
    if (!chain.Links().empty()) started.push_back(chain.Links().front());
    LoadChain sub(chain.BytesLeft(), std::move(started), chain.Depth + 1);
    sub.SetFolder(chain.Folder());
    ChainFile file = sub.Open(path);
    if (file.Stop != ChainStop::None || !file.File) return -1;
    // Judged on the file opened, whatever path names it.
    const ChainLink opened{file.OpenPath, file.Identity};
    if (std::any_of(sub.Started.begin(), sub.Started.end(),
                    [&opened](const ChainLink& s) { return s.SameFile(opened); })) {
        return -1;
    }
    EmitterParams params = DefaultParamsAt(0, 0);
    sub.Enter(file);
    ApplyEffectText(engine, params, file.TakeText(), sub);
    sub.Leave();
    chain.SetBytesLeft(sub.BytesLeft());
    const auto kept = std::find(engine.SubEffects.begin(), engine.SubEffects.end(), params);
    if (kept != engine.SubEffects.end()) {
        return static_cast<int32_t>(kept - engine.SubEffects.begin());
    }
    if (engine.SubEffects.size() >= kMaxSubEffects) return -1;
    engine.SubEffects.push_back(params);
    engine.SubEffectFiles.push_back(file.OpenPath);
    return static_cast<int32_t>(engine.SubEffects.size() - 1);
}

// The image a SpriteFile value names, opened from the folder of the file being applied (the
// chain's folder for a text); nothing for a value no file can have as its name.
std::optional<std::string> SpriteFilePath(std::string_view value, const LoadChain& chain) {
    if (value.size() > kMaxSpriteFilePath || value.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    const std::string folder =
        chain.Links().empty() ? chain.Folder() : FolderOf(chain.Links().back().OpenPath);
    return EffectOpenPathIn(folder, value);
}

// The images a SpriteFile value names, opened as SpriteFilePath opens one; at most
// kMaxListedSprites, each that a file can have as its name.
std::vector<std::string> SpriteFilePaths(std::string_view value, const LoadChain& chain) {
    std::vector<std::string> out;
    for (const TextRange& entry : SpriteFileEntries(value, {0, value.size()})) {
        if (out.size() == static_cast<std::size_t>(kMaxListedSprites)) break;
        if (auto path = SpriteFilePath(entry.Of(value), chain)) out.push_back(std::move(*path));
    }
    return out;
}

// The image's index in engine.SpriteFiles: the same file keeps the one it got first; -1 when
// the list is full.
int32_t SpriteFileIndex(Engine& engine, const std::string& path) {
    std::vector<std::string>& files = engine.SpriteFiles;
    const auto index =
        static_cast<std::size_t>(std::find(files.begin(), files.end(), path) - files.begin());
    if (index == files.size()) {
        if (files.size() >= static_cast<std::size_t>(kMaxSpriteFiles)) return -1;
        files.push_back(path);
    }
    return static_cast<int32_t>(index);
}

// The chain's images get their numbers; the first is the one the Sprite triple names, and a
// list of more than one is kept for SpriteMode.
void StoreSpriteFiles(Engine& engine, EmitterParams& params,
                      const std::vector<std::string>& paths) {
    EmitterParams::SpriteFileList list;
    for (const std::string& path : paths) {
        const int32_t index = SpriteFileIndex(engine, path);
        if (index >= 0) list.Index[static_cast<std::size_t>(list.Count++)] = index;
    }
    if (list.Count == 0) return;
    params.SpriteFile = list.Index[0];
    const int32_t number = engine.FirstSpriteFileNumber + params.SpriteFile;
    SetIntValueSpec(params.Sprite, number, number, 1);
    if (list.Count > 1) params.SpriteList = list;
}

// After the whole chain: its image, then the effects the last OnBirth, OnDeath and OnCollide
// named.
void LoadSubEffects(Engine& engine, EmitterParams& params, LoadChain& chain) {
    StoreSpriteFiles(engine, params, chain.SpriteFiles);
    if (chain.OnBirth) params.Extras.OnBirth.Effect = LoadSubEffect(engine, *chain.OnBirth, chain);
    if (chain.OnDeath) params.Extras.OnDeath.Effect = LoadSubEffect(engine, *chain.OnDeath, chain);
    if (chain.OnCollide) {
        params.Extras.OnCollide.Effect = LoadSubEffect(engine, *chain.OnCollide, chain);
    }
}

// The keys in the table's order. Every key path ends in '\' so that a block gives its inside
// and a plain value itself; an absent key or an empty value changes nothing.
void ApplyEffectText(Engine& engine, EmitterParams& params, std::string_view text,
                     LoadChain& chain) {
    ++chain.Applying;
    for (const EffectKey& key : kEffectKeys) {
        std::string path(key.Name);
        path += '\\';
        const std::string v = FindEntry(text, path);
        if (v.empty()) continue;
        if (key.Kind == EffectValueKind::Path) {
            // The parent goes first so that every key this file names overrides it.
            ApplyEffectFile(engine, params, v, chain);
        } else if (key.Kind == EffectValueKind::Area) {
            ApplyArea(engine, params, v);
        } else {
            // Loading never discards particles: Disable is stored like any other field.
            std::visit([&](const auto& to) { Store(params, to, v); }, key.Target);
        }
        if (StartsEffect(key)) {
            std::optional<std::string>& named = key.Name == "OnBirth"   ? chain.OnBirth
                                                : key.Name == "OnDeath" ? chain.OnDeath
                                                                        : chain.OnCollide;
            named = SubEffectPath(v);
        }
        if (key.Kind == EffectValueKind::SpriteFile) {
            // A value that names no usable file leaves the images of earlier files.
            if (auto paths = SpriteFilePaths(v, chain); !paths.empty()) {
                chain.SpriteFiles = std::move(paths);
            }
        }
    }
    if (--chain.Applying == 0) LoadSubEffects(engine, params, chain);
}

void ApplyEffectFile(Engine& engine, EmitterParams& params, const std::string& path,
                     LoadChain& chain) {
    ChainFile file = chain.Open(path);
    // Too deep, already being loaded, or beyond the chain's bytes: the file adds nothing.
    if (file.Stop != ChainStop::None) return;
    chain.Enter(file);
    // An unreadable file contributes its path text as written.
    ApplyEffectText(engine, params, file.TakeText(), chain);
    chain.Leave();
}

}  // namespace

namespace {

// The sprite the load was given, then the prewarm, which thereby spawns with that sprite too.
void FinishLoad(Engine& engine, Emitter& emitter, const LoadSettings& settings) {
    std::optional<SpriteRange> sprite = settings.Sprite;
    if (!sprite && emitter.SpriteFile < 0) sprite = settings.SpriteUnlessFile;
    if (sprite) SetSpriteRange(&emitter, sprite->Min, sprite->Max, sprite->Inc);
    // The sprite given replaces a SpriteFile list as it does the one image.
    if (settings.Sprite) emitter.SpriteList = {};
    // With its keys in place, a looping effect can start full.
    PrewarmEmitter(engine, emitter);
}

}  // namespace

std::string EffectOpenPath(std::string_view path) {
    std::string open(path);
    std::replace(open.begin(), open.end(), '\\', '/');
    return open;
}

std::string EffectOpenPathIn(std::string_view folder, std::string_view path) {
    std::string open = EffectOpenPath(path);
    if (folder.empty() || open.empty() || open.front() == '/') return open;
    std::string joined(folder);
    if (joined.back() != '/') joined += '/';
    return joined + open;
}

std::string FolderOf(std::string_view openPath) {
    const std::size_t slash = openPath.rfind('/');
    if (slash == std::string_view::npos) return "";
    return std::string(openPath.substr(0, slash == 0 ? 1 : slash));
}

bool NamesSpriteFile(const std::string& openPath) {
#if PP_IMPORT
    // A Particle Designer effect names its sprite as the text it imports to does.
    if (const std::optional<EffectFile> file = ReadEffectFile(openPath, kMaxEffectFileBytes)) {
        if (std::optional<std::string> text = EffectTextOfImport(file->Bytes, openPath)) {
            return !FindEntry(JoinedLines(*text, false).Text(), "SpriteFile\\").empty();
        }
    }
#endif
    const std::optional<std::string> text = ReadEffectText(openPath);
    return text && !FindEntry(*text, "SpriteFile\\").empty();
}

std::string CommandLineFolder(const std::string& openPath) {
    return NamesSpriteFile(openPath) ? FolderOf(openPath) : "";
}

std::string NameInFolder(const std::string& openPath, const std::string& folder) {
    if (folder.empty()) return openPath;
    const std::size_t slash = openPath.rfind('/');
    return slash == std::string::npos ? openPath : openPath.substr(slash + 1);
}

int32_t SpriteFileNumber(const Engine& engine, const EmitterParams& params) {
    if (params.SpriteFile < 0) return -1;
    return engine.FirstSpriteFileNumber + params.SpriteFile;
}

Emitter* LoadEffect(Engine& engine, const std::string& path, float x, float y) {
    Emitter* emitter = CreateEmitter(engine, x, y);
    if (emitter != nullptr) LoadEffectFile(engine, emitter, path);
    return emitter;
}

void LoadEffectFile(Engine& engine, Emitter* emitter, const std::string& path,
                    const LoadSettings& settings) {
    if (emitter == nullptr) return;
    LoadChain chain;
    chain.SetFolder(settings.Folder);
    ApplyEffectFile(engine, emitter->Params(), path, chain);
    FinishLoad(engine, *emitter, settings);
}

void LoadEffectText(Engine& engine, Emitter* emitter, std::string_view text,
                    const LoadSettings& settings) {
    if (emitter == nullptr) return;
    LoadChain chain;
    chain.SetFolder(settings.Folder);
    // Its lines joined as a file's are, so a text and a file of the same bytes agree.
    ApplyEffectText(engine, emitter->Params(), JoinedLines(text, false).Text(), chain);
    FinishLoad(engine, *emitter, settings);
}

}  // namespace pp
