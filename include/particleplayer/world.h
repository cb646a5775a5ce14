/// @file
/// particleplayer/world.h - the particle engine as an embeddable world.
///
/// A World holds effects (emitters) and their particles. Nothing is shared between worlds:
/// each has its own clock, random generator, effects, area names and worker threads, so two
/// worlds in one process give exactly the results each would give alone. A world is used from
/// one thread at a time; its updates may share their work with worker threads of its own
/// (SetThreads).
///
/// Time: a world reads whole milliseconds, an unsigned 32-bit count that may wrap. Either the
/// host hands it a function to read (its own milliseconds), or the world keeps a virtual clock
/// that the host sets or advances (SetTime, AdvanceTime) - the way to deterministic runs.
/// Update() moves every particle by the time since the previous Update().
///
/// Effects: an effect is an effect description text (keys such as EmissionRate or Extends),
/// loaded from a file or handed over as text, placed at a position. Paths inside
/// effect texts name folders with '\' or '/'. Relative paths (the effect file's own, Extends,
/// OnBirth, OnDeath) are opened from the world's base folder (WorldOptions::BaseFolder), or
/// from the folder one load is given (LoadOptions::Folder); without either, from the
/// process's working directory. A SpriteFile path is relative to the folder of the file that
/// names it. Loading creates one emitter; the handle it returns stays valid
/// until the effect is removed, by RemoveEffect or by an update that finds an effect with
/// AutoRemove set without particles. From then on every call with the handle returns an error
/// ("no such effect"); Ids are never given out again within a world.
///
/// Effects started by particles: an effect text may have its particles start other effects
/// when they are born or die. Those effects belong to the world and are updated and drawn
/// with it, and their particles count in ParticleCount, but they have no handle: Effects()
/// leaves them out, and they remove themselves once they have run.
///
/// Errors are return values: a Status or Result whose Error says in one sentence what went
/// wrong. Nothing here throws on purpose or aborts; running out of memory may still throw
/// std::bad_alloc from the standard library.
///
/// Sprites: particles carry a sprite number, which the renderers (screen.h, renderer.h) draw
/// with the sprite loaded under it. An effect takes the numbers its Sprite key gives (0 by
/// default), or, when it names an image with SpriteFile, the number the world gives that file
/// (SpriteFiles: from WorldOptions::FirstSpriteFileNumber on, in the order loading first met
/// each file, one number per file). The bundled renderers load the world's sprite files
/// themselves when they draw it. A sprite given with the load (LoadOptions::Sprite) wins over
/// both.
///
/// Numbers: all engine arithmetic is 32-bit float in a fixed order, so a seed, a load order
/// and a sequence of clock readings give the same particles, bit for bit, on every run.
///
/// ABI: the positions of LoadEffectFile, LoadEffectText and ReapplyEffectFile are floats, as
/// SetPosition's are; a host built against an older header, where they were int32_t, must be
/// rebuilt. WorldOptions, EffectExtras (effect_extras.h) and LoadOptions grow at their ends only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "particleplayer/effect_extras.h"
#include "particleplayer/effect_params.h"

namespace particleplayer {

/// The library's version as "MAJOR.MINOR.PATCH".
const char* Version();

/// The longest side, in pixels, of anything the library makes or reads: a screen, a frame, a
/// window, a sprite or decoded image, a PNG it writes.
inline constexpr int32_t kMaxPixelSide = 16384;

/// The largest sprite file read, in bytes (64 MiB); a larger one is refused unread.
inline constexpr int64_t kMaxSpriteFileBytes = int64_t{64} << 20;

/// What sort of failure an error is, for a host that acts on it (the C API's codes, a player
/// that words the failed step of its start-up itself).
enum class ErrorKind : uint8_t {
    Other,     ///< Success, or a failure no other kind fits.
    Argument,  ///< An argument is out of range, or the handle names no effect of the world.
    File,      ///< A file cannot be read.
    State,     ///< The call does not fit the state (no screen open, a clock the host owns).
    Memory,    ///< Out of memory.
    NoVideo,   ///< OpenScreen: the video system does not start (no display, no driver).
    NoWindow,  ///< OpenScreen: the window does not open.
    NoScreen,  ///< OpenScreen: the window gets no OpenGL 3.3 screen.
};

/// The outcome of a call that returns no value: Error is empty on success.
struct Status {
    std::string Error;                  ///< One sentence saying what went wrong; empty on success.
    ErrorKind Kind = ErrorKind::Other;  ///< What sort of failure Error is.
    /// The words of the layer below (the video driver's own message), when it gave any.
    std::string Cause;

    Status() = default;
    /// A failure (or, with no error, success) of the given kind.
    Status(std::string error, ErrorKind kind = ErrorKind::Other, std::string cause = {})
        : Error(std::move(error)), Kind(kind), Cause(std::move(cause)) {}
    /// True on success.
    bool Ok() const { return Error.empty(); }
};

/// A value, or an error that says why there is none.
template <class T>
struct Result {
    T Value{};                          ///< Meaningful only when Ok().
    std::string Error;                  ///< One sentence saying what went wrong; empty on success.
    ErrorKind Kind = ErrorKind::Other;  ///< What sort of failure Error is.

    Result() = default;
    /// A value, with the error of the given kind when there is one.
    Result(T value, std::string error = {}, ErrorKind kind = ErrorKind::Other)
        : Value(std::move(value)), Error(std::move(error)), Kind(kind) {}
    /// True on success.
    bool Ok() const { return Error.empty(); }
};

/// One effect of a world, as loading returned it. Id counts from 1 in load order; 0 is never
/// a valid effect.
struct Effect {
    uint32_t Id = 0;  ///< Load-order number of the effect, from 1.
};

/// Effects loaded together as one (World::LoadEffectGroup): a group file's members, or a
/// libGDX file's emitters, at one place.
struct EffectGroup {
    /// In the file's order, the order they are drawn in: each over the ones before it.
    std::vector<Effect> Members;
};

/// A randomised number: Min, Min + Inc, ... up to Max, each equally likely.
struct ValueRange {
    float Min;  ///< Smallest value.
    float Max;  ///< Largest value.
    float Inc;  ///< Step between values; always positive once set.
};

/// A Max of exactly this value (PP_SAME_AS_MIN, for a ValueRange as a float) means "the same
/// as Min" when a range is set, as an effect file without a second value does.
inline constexpr int32_t kSameAsMin = PP_SAME_AS_MIN;

/// The integer form of ValueRange (sprite numbers).
struct IntValueRange {
    int32_t Min;  ///< Smallest value.
    int32_t Max;  ///< Largest value.
    int32_t Inc;  ///< Step between values.
};

/// Every parameter of an effect, as loading left it: one field per row of
/// particleplayer/effect_params.h (which describes each), in that order, named as there
/// (params.LifeTime). AreaAngle is in radians, every other angle in degrees; speeds and
/// accelerations are per second, lifetimes in seconds.
struct EffectParams {
    /// @cond
#define PARTICLEPLAYER_TYPE_INT int32_t
#define PARTICLEPLAYER_TYPE_FLOAT float
#define PARTICLEPLAYER_TYPE_RANGE ValueRange
#define PARTICLEPLAYER_TYPE_INT_RANGE IntValueRange
#define PARTICLEPLAYER_FIELD(kind, name, cName, doc, ...) PARTICLEPLAYER_TYPE_##kind name;
    /// @endcond
    PARTICLEPLAYER_EFFECT_PARAMS(PARTICLEPLAYER_FIELD)
#undef PARTICLEPLAYER_FIELD
#undef PARTICLEPLAYER_TYPE_INT
#undef PARTICLEPLAYER_TYPE_FLOAT
#undef PARTICLEPLAYER_TYPE_RANGE
#undef PARTICLEPLAYER_TYPE_INT_RANGE
};

/// An effect that particles start (SubEffect::Effect numbers it), as loading kept it: the
/// parameters its file gave on top of the defaults at position (0, 0), and its optional keys;
/// each started copy is placed where its particle is.
struct StartedEffect {
    EffectParams Params{};  ///< Its parameters; the position is the particle's when started.
    EffectExtras Extras;    ///< Its optional keys, its own sub-effects among them.
    /// The file it was first loaded from, as opened ('/' for '\'); two equal effects share
    /// their number and show the first one's file.
    std::string File;
};

/// One live particle. Angles in degrees, times in clock milliseconds, transparency 0..255.
struct Particle {
    int32_t Sprite;      ///< Sprite number it is drawn with.
    float Size;          ///< Side of its square in pixels.
    float X;             ///< Centre, x in pixels.
    float Y;             ///< Centre, y in pixels.
    float VelocityX;     ///< Pixels per second.
    float VelocityY;     ///< Pixels per second.
    float Transparency;  ///< Alpha, 0 to 255.
    int32_t DeathTime;   ///< Clock reading (signed) at which it dies.
    float Angle;         ///< Turn in degrees, clockwise on the screen.
    float RotationStep;  ///< Degrees added per update.
};

/// The instructions of the update's and the vertex work's loops. Every path gives the same
/// particles, vertices and pixels, bit for bit; the widest one the processor has runs unless
/// ForceCpuPath picks another.
enum class CpuPath : uint8_t {
    Scalar,  ///< Plain code, one field at a time.
    Sse2,    ///< SSE2 (every x86-64 processor; WebAssembly SIMD in the browser).
    Avx2,    ///< AVX2, where the processor has it.
    Avx512   ///< AVX-512 (F, BW, DQ, VL), where the processor and the system have it.
};

/// Makes the updates and draws of every world take `path` from the next call on (for tests
/// and benchmarks). An Argument error, and nothing changed, when this processor or build lacks
/// it. Not to be called while a world updates or draws on another thread.
Status ForceCpuPath(CpuPath path);

/// The path that runs.
CpuPath ActiveCpuPath();

/// The particle budget of a world made with the default options.
inline constexpr int64_t kDefaultMaxParticles = 1000000;

/// The virtual clock's first reading in a world made with the default options.
inline constexpr uint32_t kDefaultStartTime = 1000;

/// The sprite number of a world's first sprite file under the default options.
inline constexpr int32_t kDefaultFirstSpriteFileNumber = 1000;

/// How a world is made.
struct WorldOptions {
    /// The host's clock, read at every load and update. Empty: the world keeps a virtual
    /// clock that reads StartTime until SetTime or AdvanceTime moves it.
    std::function<uint32_t()> HostClock;
    /// The virtual clock's first reading.
    uint32_t StartTime = kDefaultStartTime;
    /// Seeds the random generator; without it the generator seeds itself from the time on
    /// first use.
    std::optional<uint32_t> Seed;
    /// The folder relative effect paths are opened from (see the file's comment); empty for
    /// the working directory.
    std::string BaseFolder;
    /// The sprite number of the first sprite file; the next file gets the next number. Held to
    /// 0 to 1047552, so that every number stays below 2^20, where the renderers' tables end.
    int32_t FirstSpriteFileNumber = kDefaultFirstSpriteFileNumber;
    /// The particle budget: at most this many particles are alive in the world at once (a
    /// count below 0 reads as 0). Births beyond it are dropped: each update counts the live
    /// particles before its first birth and lets only so many more be born, in load order,
    /// and the effects particles would start are not started when the births before them
    /// already fill the room. The same seed therefore gives the same particles on every run
    /// and thread count, and a world that never reaches the budget runs as without one.
    /// DroppedBirths tells how many births it refused.
    int64_t MaxParticles = kDefaultMaxParticles;
};

/// One image file the world's effects draw with, as SpriteFiles lists it.
struct SpriteFile {
    int32_t Number = 0;  ///< The sprite number its effects' particles carry.
    std::string Path;    ///< The file as opened: relative to the working directory, or absolute.
};

/// What to do when the effect file itself cannot be read.
enum class MissingFile {
    Fail,          ///< Return an error and create nothing.
    UseNameAsText  ///< Create the effect anyway, reading the path as its text (it then runs
                   ///< with the defaults), and return it with the error filled in.
};

/// How one effect is loaded, beyond its text.
struct LoadOptions {
    /// What to do when the effect file itself cannot be read (LoadEffectFile only).
    MissingFile Missing = MissingFile::Fail;
    /// The sprite numbers the effect's particles take, in place of what its text gives (Sprite
    /// and SpriteFile), by SetSpriteRange's rule. Set before Prewarm runs, so that the
    /// particles of the prewarm take it too.
    std::optional<IntValueRange> Sprite;
    /// The same, only when the effect's text names no SpriteFile: a default for effects
    /// without an image of their own.
    std::optional<IntValueRange> SpriteUnlessFile;
    /// The folder this effect's relative paths are opened from, in place of the world's
    /// BaseFolder.
    std::optional<std::string> Folder;
};

/// The project's own access to a world's insides; hosts have no use for it.
struct WorldAccess;

/// A set of effects on one clock. Movable, not copyable.
class World {
  public:
    /// A world with no effects.
    explicit World(const WorldOptions& options = {});
    ~World();
    /// Takes over another world's effects and clock; the other is left empty and unusable.
    World(World&&) noexcept;
    /// Frees this world's effects and takes over another's.
    World& operator=(World&&) noexcept;
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    /// Sets the virtual clock. Fails on a world that reads the host's clock.
    Status SetTime(uint32_t ms);
    /// Moves the virtual clock on by ms (wrapping). Fails on a world that reads the host's
    /// clock.
    Status AdvanceTime(uint32_t ms);
    /// The clock's reading now.
    uint32_t Time();
    /// Seeds the random generator (effects loaded later and every update draw from it).
    void Seed(uint32_t seed);

    /// Loads the effect file at path (with its Extends chain) into a new effect at (x, y).
    /// With MissingFile::UseNameAsText an unreadable file still gives an effect, and the
    /// Result carries both the effect and the error; check Value.Id to tell. A Particle
    /// Designer effect (.plist or .pex, told by its content) loads as the effect text
    /// `particleplayer import` writes for it, its embedded sprite (or the textureFileName it
    /// names, beside it) as its SpriteFile; the bundled renderers decode the embedded image
    /// from the file itself. A libGDX effect (.p) of one emitter loads as that emitter's text;
    /// one of several emitters is several effects: the load fails with ErrorKind::Argument,
    /// creating nothing, and LoadEffectGroup loads them all.
    Result<Effect> LoadEffectFile(std::string_view path, float x, float y,
                                  MissingFile missing = MissingFile::Fail);
    /// LoadEffectFile with the sprite, folder and missing-file rule of `options`.
    Result<Effect> LoadEffectFile(std::string_view path, float x, float y,
                                  const LoadOptions& options);
    /// Applies an effect text to a new effect at (x, y), exactly as a file of the same bytes
    /// would be applied (line ends removed). Its relative paths are opened from the base
    /// folder, as a file's are. Fails only when no effect could be created.
    Result<Effect> LoadEffectText(std::string_view text, float x, float y);
    /// LoadEffectText with the sprite and folder of `options`.
    Result<Effect> LoadEffectText(std::string_view text, float x, float y,
                                  const LoadOptions& options);

    /// Loads at (x, y), in the listed order, each effect a group file's Group key names
    /// (relative to its folder), as LoadEffectFile would; members that cannot be read or are
    /// groups are left out (check names them). A .p loads all its emitters; any other effect
    /// file is a group of one. Fails, loading nothing, when no member loads.
    Result<EffectGroup> LoadEffectGroup(std::string_view path, float x, float y,
                                        const LoadOptions& options = {});
    /// Moves every member still in the world, as SetPosition does; fails when none is.
    Status SetGroupPosition(const EffectGroup& group, float x, float y);
    /// Removes every member still in the world, as RemoveEffect does; fails when none was.
    Status RemoveGroup(const EffectGroup& group);

    /// Sets the sprite numbers new particles of the effect take: min, min + inc, ... max.
    /// max kSameAsMin means "same as min"; inc <= 0 means 1. Particles alive keep theirs, those a
    /// load's Prewarm made included: LoadOptions::Sprite gives them the sprite too.
    Status SetSpriteRange(Effect effect, int32_t min, int32_t max, int32_t inc);
    /// Moves the effect's emitter; live particles stay where they are.
    Status SetPosition(Effect effect, float x, float y);
    /// Puts the point the effect's Attractor (vortex false) or Vortex (true) acts from at (x, y)
    /// on the screen, for every particle from the next update on; its strength, radius and
    /// falloff stay as the file gave them. A reload puts back the file's point. index picks one
    /// of the key's blocks in the order written (0 to 7; 0, the first, without it); moving a
    /// point beyond the file's blocks adds it, and the ones between, with Strength 0 until a
    /// reload gives them one. An Argument error for any other index.
    Status SetForcePoint(Effect effect, bool vortex, float x, float y, int32_t index = 0);

    /// Advances every effect by the time since the previous update: emits, moves, ages and
    /// removes dead particles. Returns that time in seconds (0 on the first update).
    float Update();

    /// Removes the effect and its particles at once; the effects its particles started keep
    /// running. Fails for a handle that names no effect of this world (removed ones included).
    Status RemoveEffect(Effect effect);

    /// Sets how many threads the updates (and the drawing of large particle lists) run on,
    /// the calling one included: 1, a new world's count, does everything on the calling
    /// thread; 2 to 256 keep that many minus one worker threads of this world's own until it
    /// is destroyed or given another count; 0 takes one per hardware thread. Fails, changing
    /// nothing, for a count below 0 or above 256. Every particle, and every pixel drawn, is
    /// the same on any count; the threads share the work only in updates and frames of at
    /// least 16384 particles. The world is still called from one thread at a time.
    Status SetThreads(int32_t threads);
    /// The threads the updates run on, the calling one included (1 on a new world).
    int32_t Threads();

    /// Applies the effect file at path again to an effect of this world, as an edit of the
    /// file would have it: every parameter back to its creation default at (x, y) (the
    /// optional keys and the sprite range included), then the file with its Extends
    /// chain, exactly as LoadEffectFile applies it. The effect keeps its handle, its live
    /// particles and its emission time (its next emission, bursts and Duration count on), and
    /// is not prewarmed again. Fails, leaving the effect as it was, for a handle that names
    /// no effect of this world or a file that cannot be read.
    Status ReapplyEffectFile(Effect effect, std::string_view path, float x, float y);
    /// ReapplyEffectFile with the sprite and folder of `options` (its Missing is not used: an
    /// unreadable file always fails here).
    Status ReapplyEffectFile(Effect effect, std::string_view path, float x, float y,
                             const LoadOptions& options);
    /// Removes every effect with its particles, effects started by particles included, and
    /// forgets the sub-effect texts and sprite files earlier loads kept, so that the world stands
    /// as a new one would: every handle given out before names no effect (Ids still go on
    /// counting), and the next Update() is a first update (it returns 0). The clock, the threads
    /// and the random generator stay, the generator going on from where it was.
    void RemoveAllEffects();
    /// The effect's live particles (those of effects its particles started not included).
    Result<int64_t> ParticleCount(Effect effect);

    /// Every effect the host loaded that is still in the world, in load order (effects started
    /// by particles have no handle and are not listed).
    std::vector<Effect> Effects();
    /// The effect's parameters.
    Result<EffectParams> Params(Effect effect);
    /// The effect's optional keys (curves, colour, sprite sheet, bursts, sub-effects...).
    Result<EffectExtras> Extras(Effect effect);
    /// The effect's live particles, oldest first, replacing what `out` held.
    Status Particles(Effect effect, std::vector<Particle>& out);
    /// Live particles over every effect, those started by particles included: every particle
    /// the next draw may draw (on any layer).
    int64_t ParticleCount();

    /// The effect that particles start under `number` (SubEffect::Effect). Numbers count from
    /// 0 in the order loading first met each such effect, in every effect this world loaded;
    /// two equal effects share a number, and a number stays valid until RemoveAllEffects. Fails
    /// for a number no effect has.
    Result<StartedEffect> StartedEffectOf(int32_t number);
    /// Sets the rate at which the effect emits, in particles per second: min, min + inc, ...
    /// max, one drawn for each gap. max kSameAsMin means "same as min"; inc <= 0 (or NaN) means 1.
    Status SetEmissionRate(Effect effect, float min, float max, float inc);
    /// The image files the world's effects (those started by particles included) named with
    /// SpriteFile, in number order. RemoveAllEffects forgets them.
    std::vector<SpriteFile> SpriteFiles();
    /// Stops (true) or resumes (false) the effect's emission; its live particles go on. The
    /// updates of a stopped effect skip its emission, so nothing piles up for that time.
    Status SetDisabled(Effect effect, bool disabled);

    /// Sets the particle budget (WorldOptions::MaxParticles) from the next birth on; particles
    /// already alive beyond it live on. Fails, changing nothing, for a count below 0.
    Status SetMaxParticles(int64_t max);
    /// The particle budget.
    int64_t MaxParticles();
    /// Births the particle budget refused since the world was made or last emptied by
    /// RemoveAllEffects (particles of effects not started for want of room included).
    int64_t DroppedBirths();

    /// Every live particle, those of effects started by particles included, in the order the
    /// updates move them (each effect's oldest first), replacing what `out` held. With
    /// `startedAs`, it gets for each particle the number (StartedEffectOf) of the effect that
    /// particles started it as, or -1 for a particle of an effect the host loaded.
    void AllParticles(std::vector<Particle>& out, std::vector<int32_t>* startedAs = nullptr);

  private:
    friend  /// The project's own access to a world's insides; hosts have no use for it.
        struct WorldAccess;
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace particleplayer
