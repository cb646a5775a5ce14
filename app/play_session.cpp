#include "app/play_session.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <utility>

#include "app/png_writer.h"
#include "draw/gl_screen.h"
#include "effects/effect_text.h"
#include "effects/loader.h"
#include "image/image_decoders.h"
#include "particleplayer/check.h"
#include "particleplayer/screen.h"

namespace pp {
namespace {

constexpr char kPlayTitle[] = "particleplayer play";
// The sprite loader reads files up to this size.
constexpr std::uintmax_t kMaxSpriteBytes = std::uintmax_t{64} << 20;

constexpr const char* kUsage =
    "Usage: particleplayer play [--threads N] [--max-particles N]\n"
    "                           [EFFECT.txt[:SPRITE.png][@X,Y] ...]\n"
    "Plays the given effect files in an 800 x 600 window, the n-th with sprite n; without any,\n"
    "the scene of Data/. SPRITE defaults to the image EFFECT names with SpriteFile, else to the\n"
    ".png beside EFFECT; a file that names SpriteFile opens its other paths from its folder.\n"
    "X,Y (pixels from the top left, y down) defaults to the centre, or to a row across the\n"
    "middle for several effects; an EmitterPosition in the file still wins. Paths with '@' or\n"
    "':' in them are read as written when what follows is no position or sprite.\n"
    "Saving an effect file, a file it extends or its sprite applies it again within half a\n"
    "second; the particles already alive live on. Every load prints what 'particleplayer\n"
    "check' finds in the effect's files; an effect file that cannot be read, or a sprite that\n"
    "is no image, leaves what was loaded before. The title shows the live particle count and\n"
    "the frames per second.\n"
    "Keys: Space pauses and resumes, R restarts, S saves a screenshot PNG in the working\n"
    "folder, Escape quits.\n"
    "--threads N (1 to 256) updates and draws large particle lists on N threads, the\ncalling one "
    "included (default: one per hardware thread); 1 does all on one thread. The\nparticles and "
    "pixels are the same for every N.\n"
    "--max-particles N (1 to 1000000000, default 1000000) is the particle budget: births\n"
    "beyond N live particles are dropped; one line on stderr says so, once per load.\n";

// Why a file given on the command line cannot be used, or "" when it can be read.
std::string FileProblem(const std::string& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        // A folder on the way that cannot be searched is not the same as a missing file.
        if (error && error != std::errc::no_such_file_or_directory) return error.message();
        return "no such file";
    }
    if (!std::filesystem::is_regular_file(status)) return "not a regular file";
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return std::strerror(errno);
    std::fclose(file);
    return "";
}

// Splits "EFFECT[:SPRITE][@X,Y]". A trailing '@' followed only by what a position is made of
// must be a position; otherwise the '@' belongs to the path.
std::optional<std::string> ParseEffectArg(std::string_view arg, PlayEffect& effect,
                                          bool& positioned) {
    std::string_view rest = arg;
    positioned = false;
    // Said when the file cannot be read, in case the '@' was meant as a position.
    std::string atHint;
    if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos) {
        const std::string_view tail = rest.substr(at + 1);
        if (tail.find('/') == std::string_view::npos) {
            atHint = " ('@" + std::string(tail) + "' is no position X,Y)";
        }
        if (tail.find_first_not_of("0123456789+-, ") == std::string_view::npos) {
            const auto point = ParsePointArg(tail);
            if (!point) {
                return "'@" + std::string(tail) + "' in '" + std::string(arg) +
                       "' is not a position; write @X,Y with whole numbers, as in @400,300";
            }
            effect.X = point->first;
            effect.Y = point->second;
            positioned = true;
            rest = rest.substr(0, at);
        }
    }
    std::string_view sprite;
    if (const std::size_t colon = rest.rfind(':'); colon != std::string_view::npos) {
        sprite = rest.substr(colon + 1);
        rest = rest.substr(0, colon);
        if (rest.empty() || sprite.empty()) {
            return "'" + std::string(arg) + "' needs a path on both sides of ':' (EFFECT:SPRITE)";
        }
    }
    if (rest.empty()) return "'" + std::string(arg) + "' names no effect file";
    effect.Effect = rest;
    if (const std::string problem = FileProblem(EffectOpenPath(effect.Effect)); !problem.empty()) {
        return "cannot read the effect file '" + effect.Effect + "': " + problem +
               (positioned ? "" : atHint);
    }
    // A file of the new kind, with an image of its own, keeps its paths beside it.
    effect.Folder = CommandLineFolder(EffectOpenPath(effect.Effect));
    if (sprite.empty() && NamesSpriteFile(EffectOpenPath(effect.Effect))) return std::nullopt;
    if (!sprite.empty()) {
        effect.SpriteGiven = true;
        effect.Sprite = sprite;
        if (const std::string problem = FileProblem(EffectOpenPath(effect.Sprite));
            !problem.empty()) {
            return "cannot read the sprite '" + effect.Sprite + "': " + problem +
                   (positioned ? "" : atHint);
        }
    } else {
        effect.Sprite = std::filesystem::path(effect.Effect).replace_extension(".png").string();
        // A missing default sprite is only a note (see ParsePlayArgs); one that is there
        // must be an image like any other.
        if (!FileProblem(EffectOpenPath(effect.Sprite)).empty()) return std::nullopt;
    }
    if (const std::string problem = SpriteProblem(EffectOpenPath(effect.Sprite));
        !problem.empty()) {
        return "cannot use the sprite '" + effect.Sprite + "': " + problem;
    }
    return std::nullopt;
}

void LoadSprite(const PlayEffect& effect, int32_t number) {
    if (!effect.Sprite.empty()) particleplayer::LoadSprite(number, effect.Sprite);
}

// The effect file as the world opens it: inside its folder when it has one.
std::string PathInFolder(const PlayEffect& effect) {
    if (effect.Folder.empty()) return effect.Effect;
    return NameInFolder(EffectOpenPath(effect.Effect), effect.Folder);
}

// Sprite n for an effect given one; otherwise n unless its file names an image of its own.
particleplayer::LoadOptions PlayLoadOptions(const PlayEffect& effect, int32_t number) {
    particleplayer::LoadOptions options;
    options.Missing = particleplayer::MissingFile::UseNameAsText;
    const particleplayer::IntValueRange sprite{number, particleplayer::kSameAsMin, 1};
    if (effect.SpriteGiven) {
        options.Sprite = sprite;
    } else {
        options.SpriteUnlessFile = sprite;
    }
    if (!effect.Folder.empty()) options.Folder = effect.Folder;
    return options;
}

std::string TimeStampName() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char stamp[32] = "unknown-time";
    if (localtime_r(&now, &local) != nullptr) {
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    }
    return std::string("particleplayer-") + stamp;
}

}  // namespace

std::string SpriteProblem(const std::string& path) {
    if (std::string problem = FileProblem(path); !problem.empty()) return problem;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) return error.message();
    if (size > kMaxSpriteBytes) return "larger than 64 MiB";
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (in.bad()) return "cannot be read";
    // The decoders the player uses: BMP always, PNG once the screen is open.
    std::string bmpError;
    std::string pngError;
    if (DecodeImageWith(BmpDecoder(), bytes, 0, &bmpError)) return "";
    if (DecodeImageWith(PngDecoder(), bytes, 0, &pngError)) return "";
    const auto startsWith = [&](std::string_view magic) {
        return bytes.size() >= magic.size() &&
               std::equal(magic.begin(), magic.end(), bytes.begin(),
                          [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; });
    };
    if (startsWith("\x89PNG") && !pngError.empty()) return "a broken PNG (" + pngError + ")";
    if (startsWith("BM") && !bmpError.empty()) return "a broken BMP (" + bmpError + ")";
    return bytes.empty() ? "an empty file, not an image" : "not a PNG or BMP image";
}

std::optional<std::string> ParsePlayArgs(CommandArgs args, std::vector<PlayEffect>& effects,
                                         std::vector<std::string>& notes, int64_t* threads,
                                         int64_t* maxParticles) {
    effects.clear();
    notes.clear();
    std::vector<bool> positioned;
    ArgWalker walk(args);
    while (walk.Next()) {
        const std::string_view name = walk.Name();
        if (walk.IsOption()) {
            if (name == "--help" || name == "-h") {
                std::fputs(kUsage, stdout);
                return "";
            }
            if (threads != nullptr && name == "--threads") {
                if (auto error = ReadThreadsOption(walk, *threads)) return error;
                continue;
            }
            if (maxParticles != nullptr && name == "--max-particles") {
                if (auto error = ReadMaxParticlesOption(walk, *maxParticles)) return error;
                continue;
            }
            return "unknown option '" + std::string(name) +
                   "' (a path that starts with '-' goes after '--')";
        }
        if (effects.size() == kMaxPlayEffects) {
            return "at most " + std::to_string(kMaxPlayEffects) + " effects at once";
        }
        PlayEffect effect;
        bool hasPosition = false;
        if (auto error = ParseEffectArg(name, effect, hasPosition)) return error;
        effects.push_back(std::move(effect));
        positioned.push_back(hasPosition);
    }
    if (effects.empty()) {
        effects = BuiltInPlayEffects();
        if (std::string note = MissingDataNote(); !note.empty()) notes.push_back(std::move(note));
        return std::nullopt;
    }

    // Unplaced effects stand in a row across the middle: one in the centre, two at a third
    // and two thirds of the width, and so on.
    const int64_t unplaced = std::count(positioned.begin(), positioned.end(), false);
    int64_t slot = 0;
    for (std::size_t i = 0; i < effects.size(); ++i) {
        if (positioned[i]) continue;
        ++slot;
        effects[i].X = static_cast<int32_t>(kSceneWidth * slot / (unplaced + 1));
        effects[i].Y = kSceneHeight / 2;
    }
    for (std::size_t i = 0; i < effects.size(); ++i) {
        if (effects[i].Sprite.empty() || FileProblem(EffectOpenPath(effects[i].Sprite)).empty()) {
            continue;
        }
        notes.push_back("no sprite " + effects[i].Sprite + " beside " + effects[i].Effect +
                        ": its particles draw nothing while that file is missing (or name one as " +
                        effects[i].Effect + ":SPRITE.png)");
    }
    return std::nullopt;
}

std::vector<PlayEffect> BuiltInPlayEffects() {
    std::vector<PlayEffect> effects;
    for (const SceneEffect& row : kScene) {
        effects.push_back(PlayEffect{row.Effect, row.Image, row.X, row.Y, true, ""});
    }
    return effects;
}

std::optional<SceneProblem> OpenPlayScreen(bool hidden, FrameSize size) {
    return OpenSceneScreen(kPlayTitle, hidden, size);
}

void PausableClock::Pause() {
    if (paused_) return;
    frozen_ = source_->Now() - offset_;
    paused_ = true;
}

void PausableClock::Resume() {
    if (!paused_) return;
    // From here on the clock reads on from the frozen reading, as if no time had passed.
    offset_ = source_->Now() - frozen_;
    paused_ = false;
}

namespace {

particleplayer::WorldOptions ReadingClock(MillisecondClock& clock) {
    particleplayer::WorldOptions options;
    options.HostClock = [&clock] { return clock.Now(); };
    return options;
}

}  // namespace

PlaySession::PlaySession(MillisecondClock& source, std::vector<PlayEffect> effects)
    : clock_(source), effects_(std::move(effects)), world_(ReadingClock(clock_)) {}

void PlaySession::Start() {
    loaded_.clear();
    loaded_.resize(effects_.size());
    for (std::size_t i = 0; i < effects_.size(); ++i) {
        const PlayEffect& effect = effects_[i];
        const int32_t number = static_cast<int32_t>(i + 1);
        Loaded& loaded = loaded_[i];
        // Stamped before reading, so an edit made while loading is seen at the next look.
        loaded.EffectFiles.Watch(EffectFileChain(PathInFolder(effect), effect.Folder));
        if (!effect.Sprite.empty()) loaded.SpriteFile.Watch({EffectOpenPath(effect.Sprite)});
        LoadSprite(effect, number);
        loaded.Target =
            world_
                .LoadEffectFile(PathInFolder(effect), static_cast<float>(effect.X),
                                static_cast<float>(effect.Y), PlayLoadOptions(effect, number))
                .Value;
        WatchOwnSprite(i);
    }
}

void PlaySession::WatchOwnSprite(std::size_t index) {
    if (!effects_[index].Sprite.empty()) return;
    const std::string own = world_.Extras(loaded_[index].Target).Value.SpriteFile;
    FileWatch& watch = loaded_[index].SpriteFile;
    if (own.empty() || (watch.Paths().size() == 1 && watch.Paths()[0] == own)) return;
    watch.Watch({own});
}

std::pair<int32_t, std::string> PlaySession::SpriteOf(std::size_t index) {
    const PlayEffect& effect = effects_[index];
    if (!effect.Sprite.empty())
        return {static_cast<int32_t>(index + 1), EffectOpenPath(effect.Sprite)};
    const particleplayer::Effect target = loaded_[index].Target;
    return {world_.Params(target).Value.Sprite.Min, world_.Extras(target).Value.SpriteFile};
}

void PlaySession::Restart() {
    // Every effect and particle goes at once; the generator carries on, so that a restart
    // does not reseed from the time.
    loaded_.clear();
    world_.RemoveAllEffects();
    clock_.Resume();
    Start();
}

void PlaySession::Frame() {
    particleplayer::DrawFrame(world_, !clock_.Paused());
}

std::vector<PlayReload> PlaySession::PollReload() {
    std::vector<PlayReload> done;
    for (std::size_t i = 0; i < loaded_.size(); ++i) {
        const PlayEffect& effect = effects_[i];
        const int32_t number = static_cast<int32_t>(i + 1);
        Loaded& loaded = loaded_[i];
        PlayReload reload;
        reload.Effect = i;
        if (loaded.EffectFiles.Changed()) {
            // The chain may have changed with the edit; its files are stamped before reading.
            loaded.EffectFiles.Watch(EffectFileChain(PathInFolder(effect), effect.Folder));
            std::string whyNot;
            if (!ReadEffectFile(EffectOpenPath(effect.Effect), 1, &whyNot)) {
                // Deleted or unreadable: defaults would wipe the effect, so it plays on as it
                // was until the file can be read again.
                reload.EffectKept = whyNot;
            } else if (const particleplayer::Status applied = world_.ReapplyEffectFile(
                           loaded.Target, PathInFolder(effect), static_cast<float>(effect.X),
                           static_cast<float>(effect.Y), PlayLoadOptions(effect, number));
                       !applied.Ok()) {
                // Gone between the two looks; the emission clock and the particles live on.
                reload.EffectKept = applied.Error;
            }
            if (reload.EffectKept.empty()) reload.Findings = Findings(i);
            reload.EffectFile = true;
            // The edit may name another image of its own.
            WatchOwnSprite(i);
        }
        if (loaded.SpriteFile.Changed()) {
            // Loading frees the old sprite first, so a file that is no image (half written,
            // or not a picture at all) is turned away before it gets that far.
            const auto [sprite, path] = SpriteOf(i);
            reload.SpriteKept = SpriteProblem(path);
            if (reload.SpriteKept.empty()) particleplayer::LoadSprite(sprite, path);
            reload.Sprite = true;
        }
        if (reload.EffectFile || reload.Sprite) done.push_back(reload);
    }
    return done;
}

std::vector<std::string> PlaySession::Findings(std::size_t index) {
    if (index >= effects_.size()) return {};
    const std::string paths[] = {effects_[index].Effect};
    return FindingsOf(paths, world_.MaxParticles());
}

std::vector<std::string> FindingsOf(std::span<const std::string> paths, int64_t budget) {
    std::vector<std::string> readable;
    for (const std::string& path : paths) {
        if (FileProblem(EffectOpenPath(path)).empty()) readable.push_back(path);
    }
    std::vector<std::string> lines;
    for (const particleplayer::CheckFinding& finding :
         particleplayer::CheckFiles(readable, budget)) {
        lines.push_back(particleplayer::FormatFinding(finding));
    }
    return lines;
}

void PrintFindings(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) std::fprintf(stderr, "%s\n", line.c_str());
}

int32_t PlaySession::LiveParticles() {
    int64_t count = 0;
    for (const Loaded& loaded : loaded_) count += world_.ParticleCount(loaded.Target).Value;
    return count > INT32_MAX ? INT32_MAX : static_cast<int32_t>(count);
}

particleplayer::Effect PlaySession::EffectOf(std::size_t index) const {
    return index < loaded_.size() ? loaded_[index].Target : particleplayer::Effect{};
}

const std::vector<std::string>& PlaySession::WatchedFiles(std::size_t index) const {
    static const std::vector<std::string> kNone;
    return index < loaded_.size() ? loaded_[index].EffectFiles.Paths() : kNone;
}

std::optional<std::filesystem::path> SaveScreenshot(const std::filesystem::path& folder,
                                                    std::string& error) {
    std::vector<uint8_t> pixels;
    if (!ReadScreenPixels(pixels)) {
        error = "no screen to take a screenshot of";
        return std::nullopt;
    }
    const auto png = EncodePngFromBgr(ScreenWidth(), ScreenHeight(), pixels);
    if (!png) {
        error = "cannot encode the screenshot as PNG";
        return std::nullopt;
    }
    const std::string base = TimeStampName();
    std::filesystem::path path = folder / (base + ".png");
    std::error_code ignored;
    // Several shots in one second get numbers rather than overwriting each other.
    for (int n = 2; std::filesystem::exists(path, ignored); ++n) {
        if (n > 9999) {
            error = "too many screenshots named " + base + "-N.png in " + folder.string();
            return std::nullopt;
        }
        path = folder / (base + "-" + std::to_string(n) + ".png");
    }
    if (const auto failed = WriteFileAtomically(path.string(), *png)) {
        error = *failed;
        return std::nullopt;
    }
    return path;
}

}  // namespace pp
