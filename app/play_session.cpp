#include "app/play_session.h"

#include <cstdio>
#include <utility>

#include "particleplayer/check.h"
#include "particleplayer/effect_files.h"
#include "particleplayer/screen.h"

namespace pp {
namespace {

constexpr char kPlayTitle[] = "particleplayer play";

void LoadSprite(const PlayEffect& effect, int32_t number) {
    if (!effect.Sprite.empty()) particleplayer::LoadSprite(number, effect.Sprite);
}

// The effect file as the world opens it: inside its folder when it has one.
std::string PathInFolder(const PlayEffect& effect) {
    if (effect.Folder.empty()) return effect.Effect;
    return particleplayer::NameInFolder(particleplayer::EffectOpenPath(effect.Effect),
                                        effect.Folder);
}

particleplayer::WorldOptions ReadingClock(particleplayer::MillisecondClock& clock) {
    particleplayer::WorldOptions options;
    options.HostClock = [&clock] { return clock.Now(); };
    return options;
}

}  // namespace

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

particleplayer::Result<particleplayer::Effect> LoadPlayEffect(particleplayer::World& world,
                                                              const PlayEffect& effect,
                                                              int32_t number) {
    return world.LoadEffectFile(PathInFolder(effect), static_cast<float>(effect.X),
                                static_cast<float>(effect.Y), PlayLoadOptions(effect, number));
}

particleplayer::EffectGroup LoadPlayGroup(particleplayer::World& world, const PlayEffect& effect,
                                          int32_t number) {
    return world
        .LoadEffectGroup(PathInFolder(effect), static_cast<float>(effect.X),
                         static_cast<float>(effect.Y), PlayLoadOptions(effect, number))
        .Value;
}

std::optional<SceneProblem> OpenPlayScreen(bool hidden, FrameSize size) {
    return OpenSceneScreen(kPlayTitle, hidden, size);
}

PlaySession::PlaySession(particleplayer::MillisecondClock& source, std::vector<PlayEffect> effects)
    : clock_(source), effects_(std::move(effects)), world_(ReadingClock(clock_)) {}

void PlaySession::Start() {
    startedAt_ = clock_.Now();
    loaded_.clear();
    loaded_.resize(effects_.size());
    for (std::size_t i = 0; i < effects_.size(); ++i) {
        const PlayEffect& effect = effects_[i];
        const int32_t number = static_cast<int32_t>(i + 1);
        Loaded& loaded = loaded_[i];
        // Stamped before reading, so an edit made while loading is seen at the next look.
        loaded.EffectFiles.Watch(
            particleplayer::EffectFileChain(PathInFolder(effect), effect.Folder));
        if (!effect.Sprite.empty())
            loaded.SpriteFile.Watch({particleplayer::EffectOpenPath(effect.Sprite)});
        LoadSprite(effect, number);
        LoadTarget(i);
        WatchOwnSprite(i);
    }
}

void PlaySession::LoadTarget(std::size_t index) {
    const PlayEffect& effect = effects_[index];
    Loaded& loaded = loaded_[index];
    const auto number = static_cast<int32_t>(index + 1);
    loaded.Others.clear();
    if (!particleplayer::LoadsAsGroup(particleplayer::EffectOpenPath(effect.Effect))) {
        loaded.Target = LoadPlayEffect(world_, effect, number).Value;
        return;
    }
    // A libGDX file's emitters play together; the first stands for them all.
    particleplayer::EffectGroup group = LoadPlayGroup(world_, effect, number);
    loaded.Target = group.Members.empty() ? particleplayer::Effect{} : group.Members.front();
    if (!group.Members.empty()) group.Members.erase(group.Members.begin());
    loaded.Others = std::move(group.Members);
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
        return {static_cast<int32_t>(index + 1), particleplayer::EffectOpenPath(effect.Sprite)};
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
    MoveEffects();
    particleplayer::DrawFrame(world_, !clock_.Paused());
}

void PlaySession::MoveEffects() {
    // The difference wraps with the clock, so a session that crosses its wrap moves on.
    const float seconds = static_cast<float>(clock_.Now() - startedAt_) / 1000.0f;
    for (std::size_t i = 0; i < loaded_.size(); ++i) {
        const PlayEffect& effect = effects_[i];
        if (effect.VX == 0 && effect.VY == 0) continue;
        const float x = static_cast<float>(effect.X) + static_cast<float>(effect.VX) * seconds;
        const float y = static_cast<float>(effect.Y) + static_cast<float>(effect.VY) * seconds;
        for (const particleplayer::Effect one : ThoseOf(loaded_[i])) {
            (void)world_.SetPosition(one, x, y);
        }
    }
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
            loaded.EffectFiles.Watch(
                particleplayer::EffectFileChain(PathInFolder(effect), effect.Folder));
            if (std::string whyNot = particleplayer::EffectFileProblem(
                    particleplayer::EffectOpenPath(effect.Effect));
                !whyNot.empty()) {
                // Deleted or unreadable: defaults would wipe the effect, so it plays on as it
                // was until the file can be read again.
                reload.EffectKept = whyNot;
            } else if (!loaded.Others.empty()) {
                // Its emitters may have changed in number: they load again, as new ones.
                (void)world_.RemoveGroup({ThoseOf(loaded)});
                LoadTarget(i);
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
        if (FileProblem(particleplayer::EffectOpenPath(path)).empty()) readable.push_back(path);
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
    for (const Loaded& loaded : loaded_) {
        for (const particleplayer::Effect effect : ThoseOf(loaded)) {
            count += world_.ParticleCount(effect).Value;
        }
    }
    return count > INT32_MAX ? INT32_MAX : static_cast<int32_t>(count);
}

particleplayer::Effect PlaySession::EffectOf(std::size_t index) const {
    return index < loaded_.size() ? loaded_[index].Target : particleplayer::Effect{};
}

const std::vector<std::string>& PlaySession::WatchedFiles(std::size_t index) const {
    static const std::vector<std::string> kNone;
    return index < loaded_.size() ? loaded_[index].EffectFiles.Paths() : kNone;
}

}  // namespace pp
