// The particle engine: emitters and their particles, randomised parameters, emission and the
// per-frame update. Knows nothing of the display: drawing reads the engine from above it.
// All arithmetic is 32-bit float in the written order, so a seed gives the same particles.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "particleplayer/effect_params.h"
#include "particles/extra_params.h"
#include "runtime/clock_readings.h"
#include "runtime/name_map.h"
#include "runtime/random.h"
#include "runtime/record_array.h"
#include "runtime/record_list.h"

namespace pp {

struct IntValueSpec {
    int32_t Min, Max, Inc;

    bool operator==(const IntValueSpec&) const = default;
};

// One live particle. Angles in degrees, times in clock milliseconds, transparency 0..255.
struct Particle {
    int32_t Sprite;
    float Size;
    float X, Y;
    float VelocityX, VelocityY;
    float Transparency;
    int32_t DeathTime;
    float Angle;
    float RotationStep;  // degrees per update, not per second
};
static_assert(sizeof(Particle) == 40, "particle records are 40 bytes");

// What an emitter with optional keys keeps of each particle beside its Particle record (same
// index, same order): its birth, and where in its life and its sprite sheet it stood at the
// last update. Plain emitters keep none.
struct ParticleLife {
    int32_t BirthTime;   // clock milliseconds
    float LifeMs;        // the lifetime drawn at the birth, in milliseconds
    int32_t StartFrame;  // sprite sheet frame at the birth
    float Fraction;      // (now - birth) / LifeMs, held in [0, 1]
    int32_t Frame;       // sprite sheet frame shown
};

// What an emitter with motion keys (MotionParams, AlignToMotion, Attached; see motion.h) keeps
// of each particle beside its Particle and ParticleLife records (same index, same order): what
// it drew at its birth. Angles in degrees, lengths in pixels, times in seconds.
struct ParticleMotion {
    float OriginX, OriginY;       // the point it is pushed from or orbits; followed when attached
    float Radial, Tangential;     // accelerations, px/s²
    float OrbitAngle, OrbitSpin;  // the orbit's angle at birth, and degrees per second
    float OrbitRadius, OrbitEndRadius, OrbitRadiusRate;  // px at birth and death, px/s
    float SizeChange;                                    // EndSize less the birth size
    float Turn;                         // the angle without EndAngle's share and the direction
    float TurnChange;                   // EndAngle less the birth angle
    std::array<float, 4> Colour;        // red, green, blue, alpha at birth, 0 to 255
    std::array<float, 4> ColourChange;  // the colour at death less that at birth
};

// The turbulence field's time (see turbulence.h): the slice of its lattice along time it stands
// past, and how far it is on towards the next one, 0 to 1.
struct NoiseClock {
    uint32_t Slice = 0;
    float Phase = 0.0f;
};

// One place of a particle's trail (see trails.h): where it stood after the update at clock
// reading Time. Set 0: the slot holds no place yet (a new record is all zeros).
struct TrailPoint {
    float X, Y;
    int32_t Time;
    int32_t Set;
};

// What an emitter is told to do: every parameter an effect file can set, plus AutoRemove,
// which only the host sets (and the update steps once it is set). The member initialisers are
// the creation defaults, so EmitterParams{} is a fresh emitter's record but for its position:
// the position is a parameter because the EmitterPosition key sets it, and CreateEmitter
// places it first. AreaAngle is in radians, every other angle in degrees; speeds and
// accelerations are per second. Comparing two records compares every field as a number (so
// NaN differs from itself).
struct EmitterParams {
#define PP_PARAM_TYPE_INT int32_t
#define PP_PARAM_TYPE_FLOAT float
#define PP_PARAM_TYPE_RANGE ValueSpec
#define PP_PARAM_TYPE_INT_RANGE IntValueSpec
#define PP_PARAM_FIELD(kind, name, cName, doc, ...) PP_PARAM_TYPE_##kind name{__VA_ARGS__};
    // One field per row of the parameter table, with the row's default.
    PARTICLEPLAYER_EFFECT_PARAMS(PP_PARAM_FIELD)
#undef PP_PARAM_FIELD
#undef PP_PARAM_TYPE_INT
#undef PP_PARAM_TYPE_FLOAT
#undef PP_PARAM_TYPE_RANGE
#undef PP_PARAM_TYPE_INT_RANGE
    // The optional keys, last; all defaults mean "as without them".
    ExtraParams Extras;
    // The image the effect names to draw with (the SpriteFile key): an index into
    // Engine::SpriteFiles, or -1. Kept apart from Extras because it changes only which sprite
    // number the particles take, not how they move or are drawn.
    int32_t SpriteFile = -1;
    // Every image of a SpriteFile list of more than one, as indices into Engine::SpriteFiles in
    // the order written (SpriteFile is the first); Count 0 for one image or none. With
    // Extras.SpriteMode 1 a particle draws one of them at its birth, after all its other draws
    // (one generator step); with 2 it shows image min(Count - 1, floor(fraction x Count)) at
    // life fraction `fraction`, set by each update.
    struct SpriteFileList {
        int32_t Count = 0;
        std::array<int32_t, kMaxListedSprites> Index{};

        bool operator==(const SpriteFileList&) const = default;
    } SpriteList;

    bool operator==(const EmitterParams&) const = default;
};

// The creation defaults placed at (x, y): what CreateEmitter gives a new emitter, and what a
// reload puts back before it applies the file again.
EmitterParams DefaultParamsAt(float x, float y);

// One placed effect: its parameters (as base, so the engine reads e.Size) followed by what
// running it keeps, which loading and reloading leave alone. The parameters keep their place
// at the front, so the fields the update and the drawing read sit where they always have.
struct Emitter : EmitterParams {
    int32_t NextEmission = 0;
    const float* InheritedVelocity = nullptr;  // pair (x, y) added to every new particle
    float AngleOffset = 0.0f;                  // added to every sampled emission angle
    // Oldest first, in one array: a pointer to a particle holds only until the next insertion
    // or removal on this list (see record_array.h).
    RecordArray<Particle> Particles;
    // One record per particle, in step with Particles, only while the emitter has optional
    // keys (see HasExtras); empty otherwise.
    RecordArray<ParticleLife> Life;
    // One record per particle, in step with Particles and Life, only while the emitter has
    // motion keys (see motion.h); empty otherwise.
    RecordArray<ParticleMotion> Motion;
    // With a Trail, Extras.Trail.Points records per particle, in step with Particles: particle
    // i's ring is records i * Points to (i + 1) * Points - 1, and slot TrailHead of every ring
    // holds the place of the last update, at clock reading TrailTime. Empty otherwise.
    RecordArray<TrailPoint> Trail;
    int32_t TrailHead = 0;
    int32_t TrailTime = 0;
    // HasExtras as the last update found it: spawns between updates read it.
    bool ExtrasOn = false;

    // What running the optional keys keeps (see extra_params.h); a plain emitter never reads it.
    int32_t StartTime = 0;     // clock reading at creation: Duration and bursts count from it
    int32_t BurstsDone = 0;    // bursts emitted or dropped so far (saturates)
    int32_t EmissionOver = 0;  // 1 once Duration has run out; stays 1 whatever the clock does
    int32_t DelayOver = 0;     // 1 once Delay has run out (StartTime then moved by it)
    int32_t Prewarmed = 0;     // 1 once a load has prewarmed it (a reload does not again)
    // A sub-effect started by a particle spawns this many particles in its first update, then
    // 0 and no more; -1 for every other emitter.
    int32_t StartCount = -1;
    int32_t SubEffectDepth = 0;  // 0 for an emitter the host made; 1 + its starter's otherwise
    float StartVelocity[2] = {0.0f, 0.0f};  // the starter's velocity, when inherited
    // A number the emitter's owner may give it (0: none); an update that removes the emitter
    // appends it to Engine::RemovedTags, so the owner learns of the removal without a search.
    uint32_t OwnerTag = 0;
    // A started emitter: the index into Engine::SubEffects it was made from; -1 otherwise.
    int32_t StartedAs = -1;
    // The turbulence field's time, advanced by the updates of an emitter with Turbulence.
    NoiseClock Noise;
    // Where the emitter stood and the clock's reading at its last emission with optional keys
    // (PathSet 0 before the first), and the share of a particle its moves have earned towards
    // the next birth by distance (0 to 1).
    float PathX = 0.0f, PathY = 0.0f;
    int32_t PathTime = 0;
    int32_t PathSet = 0;
    float DistanceOwed = 0.0f;

    EmitterParams& Params() { return *this; }
    const EmitterParams& Params() const { return *this; }
    // Two emitters are never compared: the parameters' comparison would silently leave out
    // the particles. Compare Params() when that is what is meant.
    bool operator==(const Emitter&) const = delete;
};

// Whether the emitter uses any optional key. Emitters without them take the engine's plain
// paths, those with them the paths that keep and read Emitter::Life.
inline bool HasExtras(const EmitterParams& e) {
    return !AllDefault(e.Extras);
}

class WorkerPool;

// Sprite numbers of the files effects name with SpriteFile start here unless the world says
// otherwise; the command line and the scene number their sprites from 1, far below.
inline constexpr int32_t kFirstSpriteFileNumber = 1000;
// A world numbers at most this many sprite files; an effect naming one more draws with its
// Sprite key as if it named none.
inline constexpr int32_t kMaxSpriteFiles = 1024;
// The numbered tables hold numbers below 2^20, so the files' numbers start at most here.
inline constexpr int32_t kLastFirstSpriteFileNumber = (1 << 20) - kMaxSpriteFiles;

// A sub-effect that a particle's birth or death starts once the update's passes are done.
struct SubEffectStart {
    int32_t Effect;  // index into Engine::SubEffects
    int32_t Count;   // particles to spawn, 1 to kMaxBurstCount
    int32_t Depth;   // the started emitter's SubEffectDepth
    int32_t Inherit;
    float X, Y, VelocityX, VelocityY;  // the particle's place and velocity
};

// An engine without a particle budget.
inline constexpr int64_t kNoBudget = INT64_MAX;

// Process-wide engine state gathered in one object; tests create a fresh one.
struct Engine {
    explicit Engine(MillisecondClock& clock) : AreaTypes(false, 512), Clock(&clock) {}

    RecordList<Emitter> Emitters;  // load order
    NameMap<int32_t> AreaTypes;    // 512 buckets, case-sensitive
    int32_t LastUpdateTime = 0;    // 0 until the first update
    // Whether an update has run. Kept apart from LastUpdateTime because a virtual clock can
    // read 0 when it wraps, which must not look like "no update yet".
    bool Updated = false;
    // The OwnerTag of every tagged emitter an update removed (AutoRemove), in removal order;
    // the owner empties it as it reads it.
    std::vector<uint32_t> RemovedTags;
    RandomGenerator Random;
    MillisecondClock* Clock;
    // Threads for the update and the drawing of large particle lists; nullptr or a pool of one
    // thread does all on the calling thread. Not owned. The results are the same either way.
    WorkerPool* Workers = nullptr;
    // Effects that particles start when they are born or die (ExtraParams::OnBirth, OnDeath
    // index it), loaded with the effects that name them.
    std::vector<EmitterParams> SubEffects;
    // The image files effects named with SpriteFile, as opened, in the order loading first met
    // them: file i is drawn as sprite number FirstSpriteFileNumber + i.
    std::vector<std::string> SpriteFiles;
    int32_t FirstSpriteFileNumber = kFirstSpriteFileNumber;
    // The file each of SubEffects was first loaded from, as opened ('/' for '\'), same index.
    std::vector<std::string> SubEffectFiles;
    // Starts recorded by the current update's emissions and passes, in emitter order then
    // particle order; the update creates their emitters after its passes and empties it.
    std::vector<SubEffectStart> PendingStarts;
    // The particle budget (see budget.h): at most MaxParticles live at once; kNoBudget
    // leaves the engine unbounded. BudgetLeft is what the births may still take until the next
    // count, DroppedBirths every birth the budget refused (saturating).
    int64_t MaxParticles = kNoBudget;
    int64_t BudgetLeft = kNoBudget;
    int64_t DroppedBirths = 0;
    // Room for the turbulence field's moves of the longest list it was read for on the threads
    // (see turbulence.h): two floats per particle, DriftCapacity particles.
    std::unique_ptr<float[]> Drift;
    size_t DriftCapacity = 0;
};

// Adds "Point" 0, "Line" 1, "Square" 2, "Rectangle" 3, "Circle" 4, "Ellipse" 5, in that order.
void FillAreaTypes(Engine& engine);

// A new emitter with DefaultParamsAt(x, y), appended behind the cursor of Emitters (which
// moves onto it); NextEmission is the clock now. nullptr when out of memory.
Emitter* CreateEmitter(Engine& engine, float x, float y);

// A max of exactly this value means "the same as min" to the setting rule (the loader reads a
// missing second value as it, so one number stands for both).
template <typename T>
inline constexpr T kSameAsMin = static_cast<T>(PP_SAME_AS_MIN);

// Sets the Sprite triple by the setting rule.
void SetSpriteRange(Emitter* emitter, int32_t min, int32_t max, int32_t inc);

// The setting rule: Max = min when max is exactly kSameAsMin; Inc = 1 unless inc > 0 (a NaN inc
// also becomes 1, so a stored Inc is always positive).
void SetValueSpec(ValueSpec& spec, float min, float max, float inc);
void SetIntValueSpec(IntValueSpec& spec, int32_t min, int32_t max, int32_t inc);

// One draw: Min + k * Inc with k = RandomInt(TruncToInt((Max - Min) / Inc)), in float.
// Always exactly one generator step; NaN or infinite bounds give a defined result.
float SampleValueSpec(Engine& engine, const ValueSpec& spec);
// The same rule; the bound in float, the result as a wrapping integer product and sum.
int32_t SampleValueSpec(Engine& engine, const IntValueSpec& spec);

// Non-finite values: a hostile effect file can store infinities and NaN in any parameter (the
// setters keep what they are given, and sums of huge values overflow). The engine stays sound
// by these rules:
//   - a particle whose size, position, velocity, transparency, angle or rotation step is not
//     finite after its move dies in that update. Non-finite values stay non-finite under the
//     update's sums, so a particle spawned so dies in the update that bore it and is never
//     drawn; its spawn took all its draws, so the random sequence is the same as ever;
//   - a lifetime beyond 2^31 - 1 ms (infinity included) is held there: such a particle dies
//     by age about 24.8 days after its birth, the longest span a signed clock difference can
//     tell from the past; one below -2^30 ms, or NaN, is held at -2^30 and dies at once;
//   - the gap to the next emission is 1 ms for a rate that is not above 0 (NaN included) or
//     is huge, and at most 2^30 ms for a tiny one, so one update spawns at most 1000;
//   - every float-to-int conversion (sampling bounds, area lengths, death times, drawing) is
//     defined for every value: NaN, infinities and out-of-range values give 0 or wrap.
inline bool ParticleStateIsFinite(const Particle& p) {
    return std::isfinite(p.Size) && std::isfinite(p.X) && std::isfinite(p.Y) &&
           std::isfinite(p.VelocityX) && std::isfinite(p.VelocityY) &&
           std::isfinite(p.Transparency) && std::isfinite(p.Angle) && std::isfinite(p.RotationStep);
}

// Spawns every particle due at clock reading now (at most one second's backlog, at most one
// per millisecond) and advances NextEmission. A disabled emitter only moves NextEmission to now.
//
// With the optional emission keys (extra_params.h) the schedule changes:
//   - Burst.Count > 0 replaces the steady rate: Count particles (held at 1000) at the
//     emitter's start, then every Interval seconds (held at 1 ms to 2^30 ms), Repeat bursts in
//     all (0 forever); NextEmission holds the next burst's time. An update emits every burst
//     due since the last one, of more than 1000 the last 1000 (the earlier ones count towards
//     Repeat); bursts due while the emitter is disabled are dropped;
//   - Duration > 0: no update later than StartTime + Duration spawns anything (one at that
//     very reading still does); once that end has passed EmissionOver stays set;
//   - OnBirth: every new particle records a start in Engine::PendingStarts;
//   - Delay > 0: nothing is emitted while the clock reads less than Delay after StartTime;
//     the first update at or past that moves StartTime (and NextEmission) on by Delay
//     (rounded to whole ms), so that the steady rate, the bursts and Duration start then;
//   - MinAlive > 0: after the update's emission, while it may emit (not disabled, delayed or
//     past Duration), births follow until MinAlive particles are in the list (at most 1000 in
//     one update), each under MaxAlive and the budget as any other;
//   - a started sub-effect (StartCount >= 0) spawns StartCount particles in its first update
//     and none after, whatever its rate, bursts and duration;
//   - EmitAlongPath: the steady rate's birth due at t is placed as if the emitter stood at
//     the point of its move since the last emission (PathX, PathY at PathTime) to now at the
//     fraction (t - PathTime) / (now - PathTime) (t held to that span; 1 when it is empty),
//     is born at t (its death time and Life count from it) and is moved back along its
//     velocity by (t - PathTime) seconds, so that the update's move leaves it where it would
//     be had it flown since t. Bursts, MinAlive's births and started sub-effects are born as
//     without it;
//   - EmitByDistance > 0 replaces the steady rate: DistanceOwed + the move's length x
//     EmitByDistance / 100 particles are due, the k-th of them (k = 1, 2, ...) at fraction
//     (k - DistanceOwed) / (the move's share) of the move, born at PathTime + that fraction
//     of the span (rounded), placed as with EmitAlongPath; what is left under 1 is owed to
//     the next update. More than 1000 due at once (a jump) give 1000 spread evenly.
// A particle or burst due at clock reading t is spawned by the first update whose now > t.
void EmitDueParticles(Engine& engine, Emitter& emitter, int32_t now);

// Appends one new particle with all its random draws in their fixed order. A birth the budget
// has no room for (BudgetLeft 0) is dropped before any draw and counted. The particle is born
// at the clock's reading, or at *birth when given.
void SpawnParticle(Engine& engine, Emitter& emitter, const int32_t* birth = nullptr);

// Advances every emitter and particle by the time since the previous update, emitting first,
// then moving, ageing and removing dead particles. Then starts the sub-effects that the
// update's births and deaths recorded (see sub_effects.h), appended to Emitters in the order
// recorded, so that the next update moves them. Returns the frame time in seconds.
float UpdateParticles(Engine& engine);

// One emitter's turn of an update at clock reading now with frame time dt: EmitDueParticles,
// then the pass over its particles (recording the deaths of an emitter with OnDeath). Returns
// whether the pass met a particle. AutoRemove is left to the caller.
bool UpdateEmitter(Engine& engine, Emitter& emitter, float dt, int32_t now);

// Prewarm: run once a load has applied an effect's keys. An emitter whose Extras.Prewarm is
// above 0 (held at 10 seconds) is run alone, as if it had been created that long before the
// clock's reading: its emission and update in steps of 16 ms, the engine's clock reading the
// step's time while it spawns, up to the reading now. The particles' death times and the
// emitter's schedule (StartTime, NextEmission) are thereby in the engine's clock already, and
// the prewarmed particles are as old as they would be. Other emitters are untouched, nothing
// of a prewarm starts a sub-effect, and an emitter is prewarmed once (not again by a reload).
void PrewarmEmitter(Engine& engine, Emitter& emitter);

}  // namespace pp
