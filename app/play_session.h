// particleplayer play: a live view of chosen effects for their authors. The session holds the
// world, the clock that stops while paused and the files each effect was loaded from; it
// re-applies an effect when one of its files changes, without touching the particles already
// alive. The command wraps it with a window and keys; tests drive it frame
// by frame on the offscreen video driver.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "app/cli_args.h"
#include "app/hot_reload.h"
#include "app/scene.h"
#include "particleplayer/clock.h"
#include "particleplayer/world.h"

namespace pp {

// One played effect: its two files as given ('\' counts as '/') and its emitter position.
// Sprite is empty when the effect draws with the image its file names (SpriteFile).
struct PlayEffect {
    std::string Effect;
    std::string Sprite;
    int32_t X = 0, Y = 0;
    bool SpriteGiven = false;  // named on the command line: it wins over the file's own
    // For an effect file that names SpriteFile: its folder, which its relative paths
    // ("Extends\", OnBirth, OnDeath) are opened from; "" for the working directory.
    std::string Folder;
    // Pixels a second the emitter moves from X,Y once started; 0, 0 keeps it in place.
    int32_t VX = 0, VY = 0;
};

// How play loads an effect drawn with sprite `number`: that sprite when one is given, otherwise
// it unless the file names an image of its own; its paths opened from its folder.
particleplayer::LoadOptions PlayLoadOptions(const PlayEffect& effect, int32_t number);

// Loads the effect at its position as play does: its file opened inside its folder, with
// PlayLoadOptions(effect, number). Play and the editor's preview both open effects this way.
particleplayer::Result<particleplayer::Effect> LoadPlayEffect(particleplayer::World& world,
                                                              const PlayEffect& effect,
                                                              int32_t number);
// How play loads a file that holds several effects (LoadsAsGroup: a .p of several emitters):
// all of them at its place in the file's order, each drawn over the ones before.
particleplayer::EffectGroup LoadPlayGroup(particleplayer::World& world, const PlayEffect& effect,
                                          int32_t number);

// The largest speed, in pixels a second either way, that @X,Y+VX,VY takes.
inline constexpr int32_t kMaxPlaySpeed = 1'000'000;

// More effects than this on one screen is a mistake, not a scene.
inline constexpr std::size_t kMaxPlayEffects = 64;

// How often the command looks at the files and renews the title.
inline constexpr uint32_t kReloadPollMs = 150;
inline constexpr uint32_t kTitleUpdateMs = 500;

// Reads play's arguments, EFFECT[:SPRITE][@X,Y[+VX,VY]] each, into effects; none gives the built-in
// scene. The effect file and a named sprite must be readable files, and a sprite that is there
// (named, or the default) must be a PNG or BMP image that decodes. An effect file that names
// SpriteFile itself has no default sprite, and its paths are opened from its own folder. A missing
// default sprite (the .png beside the effect), or a missing data file of the built-in scene, is no
// error but adds a sentence to notes. Returns one line for bad arguments, "" after printing --help,
// nullopt when effects are ready. With threads given, --threads N is read into it, with
// maxParticles --max-particles N, with cpu --cpu P; without, each is an unknown option.
std::optional<std::string> ParsePlayArgs(CommandArgs args, std::vector<PlayEffect>& effects,
                                         std::vector<std::string>& notes,
                                         int64_t* threads = nullptr,
                                         int64_t* maxParticles = nullptr,
                                         std::optional<particleplayer::CpuPath>* cpu = nullptr);

// What check finds in the effect files at paths (and the files they reach), one
// "FILE:LINE:COLUMN: message" line each, for a world whose particle budget is budget. A file
// that cannot be read is left out: the command that loads it says so itself.
std::vector<std::string> FindingsOf(std::span<const std::string> paths, int64_t budget);

// The lines of FindingsOf on stderr.
void PrintFindings(const std::vector<std::string>& lines);

// The built-in scene as play effects.
std::vector<PlayEffect> BuiltInPlayEffects();

// Opens the screen titled "particleplayer play" as OpenSceneScreen does, hidden or shown, 800 x
// 600 unless `size` says otherwise. Returns what went wrong, if anything; call StopScene
// afterwards in either case.
std::optional<SceneProblem> OpenPlayScreen(bool hidden, FrameSize size = {});

// A clock that stops while paused and, on resuming, goes on from where it stopped, so the
// world sees no time pass during a pause.
class PausableClock : public particleplayer::MillisecondClock {
  public:
    explicit PausableClock(particleplayer::MillisecondClock& source) : source_(&source) {}
    uint32_t Now() override { return paused_ ? frozen_ : source_->Now() - offset_; }
    void Pause();
    void Resume();
    bool Paused() const { return paused_; }

  private:
    particleplayer::MillisecondClock* source_;
    uint32_t offset_ = 0;  // wraps with the source: time spent paused so far
    uint32_t frozen_ = 0;
    bool paused_ = false;
};

// Why the file at path cannot serve as a sprite ("no such file", "not a PNG or BMP image",
// the decoder's reason); "" when it is an image that decodes whole.
std::string SpriteProblem(const std::string& path);

// Why a file given on the command line cannot be used ("no such file", "not a regular file",
// the system's reason); "" when it can be read.
std::string FileProblem(const std::string& path);

// What one PollReload did for one effect (0-based index into the session's effects).
struct PlayReload {
    std::size_t Effect = 0;
    bool EffectFile = false;  // the effect file or a file it extends changed: re-applied
    bool Sprite = false;      // the sprite changed: reloaded
    // Set when the effect file itself could not be read: the effect was left as it was.
    std::string EffectKept;
    // Set when the changed sprite is no image: the old one stays. Says why.
    std::string SpriteKept;
    // What check finds in the re-applied effect's files, one line each as check prints it.
    std::vector<std::string> Findings;
};

class PlaySession {
  public:
    // Nothing is loaded until Start. The world reads the pausable clock over source, on one
    // thread until told otherwise (GetWorld().SetThreads).
    PlaySession(particleplayer::MillisecondClock& source, std::vector<PlayEffect> effects);
    // The world reads this session's clock, so the session stays where it was made.
    PlaySession(const PlaySession&) = delete;
    PlaySession& operator=(const PlaySession&) = delete;

    // For effect n = 1, 2, ...: loads sprite n and quad sprite n from its image (an open
    // screen is needed for them to draw), loads its file into a new effect at its position
    // (an unreadable file runs what the loader makes of its name) with sprite n, or with the
    // image its file names when no sprite was given; starts watching the files.
    void Start();
    // Replaces every effect and particle by a fresh start, as Start does, those started by
    // particles dropped too; playing resumes. The random generator goes on where it was.
    void Restart();
    // One frame: the moving effects moved, clear to black, update (unless paused), draw layer
    // 0, present. While paused the frozen frame is drawn again.
    void Frame();
    // Puts each effect given a velocity at X,Y plus its velocity times the seconds the
    // session's clock has run since Start; the others stay where they are.
    void MoveEffects();
    // Looks at every effect's files: one whose effect file or any file of its "Extends\"
    // chain changed is re-applied to its effect (parameters back to creation defaults at its
    // given position, the file loaded again, sprite n again), keeping its emission time and
    // particles; a changed sprite is loaded again. An effect file that cannot be read leaves
    // the effect as it was, and a sprite that is no image leaves the old one.
    std::vector<PlayReload> PollReload();
    // What check finds in effect index's files, one "FILE:LINE:COLUMN: message" line each.
    std::vector<std::string> Findings(std::size_t index);

    void Pause() { clock_.Pause(); }
    void Resume() { clock_.Resume(); }
    bool Paused() const { return clock_.Paused(); }

    // The live particles of the played effects (not of those their particles started).
    int32_t LiveParticles();
    const std::vector<PlayEffect>& Effects() const { return effects_; }
    // The world's handle of effect index (0-based); Id 0 before Start or out of range.
    particleplayer::Effect EffectOf(std::size_t index) const;
    // The files watched for effect index, the effect file first.
    const std::vector<std::string>& WatchedFiles(std::size_t index) const;
    // The world the effects play in; a restart keeps it (and its threads).
    particleplayer::World& GetWorld() { return world_; }
    PausableClock& Clock() { return clock_; }

  private:
    // Watches the image effect index names with SpriteFile, when it was given no sprite.
    void WatchOwnSprite(std::size_t index);
    // The sprite number and image file effect index draws with.
    std::pair<int32_t, std::string> SpriteOf(std::size_t index);

    struct Loaded {
        particleplayer::Effect Target;
        FileWatch EffectFiles;
        FileWatch SpriteFile;
        // The emitters of a libGDX file after its first, which Target is.
        std::vector<particleplayer::Effect> Others;
    };
    // Loads effect `index` into loaded_[index].
    void LoadTarget(std::size_t index);
    // Target, then Others.
    static std::vector<particleplayer::Effect> ThoseOf(const Loaded& loaded) {
        std::vector<particleplayer::Effect> all{loaded.Target};
        all.insert(all.end(), loaded.Others.begin(), loaded.Others.end());
        return all;
    }

    PausableClock clock_;
    uint32_t startedAt_ = 0;  // the clock's reading at Start, which moves start from
    std::vector<PlayEffect> effects_;
    particleplayer::World world_;
    std::vector<Loaded> loaded_;
};

// Saves the screen's last frame as an RGB PNG in folder, named
// particleplayer-YYYYMMDD-HHMMSS.png after the local time (with -2, -3, ... when that name is
// taken). Returns the path written, or nullopt with a one-line reason in error.
std::optional<std::filesystem::path> SaveScreenshot(const std::filesystem::path& folder,
                                                    std::string& error);

}  // namespace pp
