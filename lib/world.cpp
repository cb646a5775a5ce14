#include <algorithm>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <utility>

#include "effects/effect_text.h"
#include "effects/loader.h"
#include "lib/public_extras.h"
#include "lib/world_access.h"
#include "particles/budget.h"
#include "particles/particles.h"
#include "runtime/clock_readings.h"
#include "runtime/cpu_path.h"
#include "runtime/worker_pool.h"

namespace particleplayer {
namespace {

constexpr char kNoSuchEffect[] = "no such effect in this world";

Status NoSuchEffect() {
    return {kNoSuchEffect, ErrorKind::Argument};
}

// The host's milliseconds behind the engine's clock interface.
class HostClock : public pp::MillisecondClock {
  public:
    explicit HostClock(std::function<uint32_t()> read) : read_(std::move(read)) {}
    uint32_t Now() override { return read_(); }

  private:
    std::function<uint32_t()> read_;
};

// The public records mirror the engine's field for field, so they convert by copying bytes;
// these checks keep the two in step.
#define PP_SAME_FIELD(Public, Engine, field)                            \
    static_assert(offsetof(Public, field) == offsetof(Engine, field) && \
                  sizeof(Public::field) == sizeof(Engine::field))
static_assert(sizeof(Particle) == sizeof(pp::Particle));
static_assert(kDefaultMaxParticles == pp::kDefaultParticleBudget);
static_assert(kDefaultFirstSpriteFileNumber == pp::kFirstSpriteFileNumber);
// EffectParams holds the parameters of the seventeen original keys: the engine record up to
// its Extras.
static_assert(sizeof(EffectParams) == offsetof(pp::EmitterParams, Extras));
PP_SAME_FIELD(Particle, pp::Particle, Sprite);
PP_SAME_FIELD(Particle, pp::Particle, Size);
PP_SAME_FIELD(Particle, pp::Particle, X);
PP_SAME_FIELD(Particle, pp::Particle, Y);
PP_SAME_FIELD(Particle, pp::Particle, VelocityX);
PP_SAME_FIELD(Particle, pp::Particle, VelocityY);
PP_SAME_FIELD(Particle, pp::Particle, Transparency);
PP_SAME_FIELD(Particle, pp::Particle, DeathTime);
PP_SAME_FIELD(Particle, pp::Particle, Angle);
PP_SAME_FIELD(Particle, pp::Particle, RotationStep);
#define PP_SAME_PARAM(kind, name, cName, doc, ...) \
    PP_SAME_FIELD(EffectParams, pp::EmitterParams, name);
PARTICLEPLAYER_EFFECT_PARAMS(PP_SAME_PARAM)
#undef PP_SAME_PARAM
#undef PP_SAME_FIELD

template <class To, class From>
To CopyRecord(const From& from) {
    static_assert(sizeof(To) == sizeof(From) && std::is_trivially_copyable_v<To> &&
                  std::is_trivially_copyable_v<From>);
    To to;
    std::memcpy(&to, &from, sizeof to);
    return to;
}

EffectParams PublicParams(const pp::EmitterParams& params) {
    EffectParams out;
    std::memcpy(&out, &params, sizeof out);
    return out;
}

std::optional<pp::SpriteRange> EngineRange(const std::optional<IntValueRange>& range) {
    if (!range) return std::nullopt;
    return pp::SpriteRange{range->Min, range->Max, range->Inc};
}
static_assert(pp::kMaxLifeKeys == 8, "LifeCurve holds eight keys");

}  // namespace

struct World::State {
    explicit State(const WorldOptions& options)
        : Virtual(options.StartTime),
          Host(options.HostClock),
          UsesHost(static_cast<bool>(options.HostClock)),
          BaseFolder(options.BaseFolder),
          Engine(UsesHost ? static_cast<pp::MillisecondClock&>(Host)
                          : static_cast<pp::MillisecondClock&>(Virtual)) {
        pp::FillAreaTypes(Engine);
        Engine.MaxParticles = std::max<int64_t>(options.MaxParticles, 0);
        if (options.Seed) pp::SeedRandom(Engine.Random, *options.Seed);
        Engine.FirstSpriteFileNumber =
            std::clamp(options.FirstSpriteFileNumber, 0, pp::kLastFirstSpriteFileNumber);
    }

    // The engine's settings for one load.
    pp::LoadSettings Settings(const LoadOptions& options) const {
        pp::LoadSettings settings;
        settings.Folder = options.Folder.value_or(BaseFolder);
        settings.Sprite = EngineRange(options.Sprite);
        settings.SpriteUnlessFile = EngineRange(options.SpriteUnlessFile);
        return settings;
    }

    pp::VirtualClock Virtual;
    HostClock Host;
    bool UsesHost;
    std::string BaseFolder;
    pp::Engine Engine;
    std::vector<pp::Emitter*> Emitters;    // by Effect::Id - 1; nullptr once removed
    std::unique_ptr<pp::WorkerPool> Pool;  // Engine.Workers when above one thread

    // Drops the handles of the emitters updates removed (AutoRemove): each host-made emitter
    // carries its Id as the engine's OwnerTag, and the engine lists the tags it removed.
    void ForgetRemoved() {
        for (const uint32_t id : Engine.RemovedTags) Emitters[id - 1] = nullptr;
        Engine.RemovedTags.clear();
    }

    pp::Emitter* Find(Effect effect) {
        ForgetRemoved();
        if (effect.Id == 0 || effect.Id > Emitters.size()) return nullptr;
        return Emitters[effect.Id - 1];
    }

    // Takes the emitter out of the engine's list, leaving the cursor on the last record,
    // where the engine's passes leave it and where new emitters are appended.
    void Remove(const pp::Emitter* emitter) {
        pp::RecordList<pp::Emitter>& list = Engine.Emitters;
        pp::ListRewind(list);
        while (const pp::Emitter* e = pp::ListNext(list)) {
            if (e == emitter) {
                pp::ListRemove(list);
                break;
            }
        }
        while (pp::ListNext(list) != nullptr) {
        }
    }

    // A new emitter at (x, y), remembered under the next Id.
    Result<Effect> Create(float x, float y) {
        Result<Effect> result;
        Emitters.reserve(Emitters.size() + 1);
        pp::Emitter* emitter = pp::CreateEmitter(Engine, x, y);
        if (emitter == nullptr) {
            result.Error = "out of memory creating the effect";
            result.Kind = ErrorKind::Memory;
            return result;
        }
        Emitters.push_back(emitter);
        result.Value.Id = static_cast<uint32_t>(Emitters.size());
        emitter->OwnerTag = result.Value.Id;
        return result;
    }
};

const char* Version() {
    return PP_VERSION;
}

World::World(const WorldOptions& options) : state_(std::make_unique<State>(options)) {}
World::~World() = default;
World::World(World&&) noexcept = default;
World& World::operator=(World&&) noexcept = default;

Status World::SetTime(uint32_t ms) {
    if (state_->UsesHost)
        return {"this world reads the host's clock; it cannot be set", ErrorKind::State};
    state_->Virtual.Set(ms);
    return {};
}

Status World::AdvanceTime(uint32_t ms) {
    if (state_->UsesHost)
        return {"this world reads the host's clock; it cannot be advanced", ErrorKind::State};
    state_->Virtual.Advance(ms);
    return {};
}

uint32_t World::Time() {
    return state_->Engine.Clock->Now();
}

void World::Seed(uint32_t seed) {
    pp::SeedRandom(state_->Engine.Random, seed);
}

Result<Effect> World::LoadEffectFile(std::string_view path, float x, float y, MissingFile missing) {
    LoadOptions options;
    options.Missing = missing;
    return LoadEffectFile(path, x, y, options);
}

Result<Effect> World::LoadEffectFile(std::string_view path, float x, float y,
                                     const LoadOptions& options) {
    const std::string name(path);
    const pp::LoadSettings settings = state_->Settings(options);
    std::string why;
    if (name.empty()) {
        why = "the effect file name is empty";
    } else if (!pp::ReadEffectText(pp::EffectOpenPathIn(settings.Folder, name)).has_value()) {
        why = "could not read the effect file '" + name + "'";
    } else if (std::string several =
                   WorldAccess::SeveralEffects(pp::EffectOpenPathIn(settings.Folder, name), name);
               !several.empty()) {
        return {{}, std::move(several), ErrorKind::Argument};
    }
    if (!why.empty() && options.Missing == MissingFile::Fail) return {{}, why, ErrorKind::File};
    Result<Effect> result = state_->Create(x, y);
    if (!result.Ok()) return result;
    pp::LoadEffectFile(state_->Engine, state_->Find(result.Value), name, settings);
    result.Error = why;
    if (!why.empty()) result.Kind = ErrorKind::File;
    return result;
}

Result<Effect> World::LoadEffectText(std::string_view text, float x, float y) {
    return LoadEffectText(text, x, y, LoadOptions{});
}

Result<Effect> World::LoadEffectText(std::string_view text, float x, float y,
                                     const LoadOptions& options) {
    if (text.size() > pp::kMaxEffectFileBytes) {
        return {{}, "the effect text is longer than an effect file may be", ErrorKind::Argument};
    }
    Result<Effect> result = state_->Create(x, y);
    if (result.Ok()) {
        pp::LoadEffectText(state_->Engine, state_->Find(result.Value), text,
                           state_->Settings(options));
    }
    return result;
}

Status World::SetSpriteRange(Effect effect, int32_t min, int32_t max, int32_t inc) {
    pp::Emitter* emitter = state_->Find(effect);
    if (emitter == nullptr) return NoSuchEffect();
    pp::SetSpriteRange(emitter, min, max, inc);
    return {};
}

Status World::SetPosition(Effect effect, float x, float y) {
    pp::Emitter* emitter = state_->Find(effect);
    if (emitter == nullptr) return NoSuchEffect();
    emitter->PositionX = x;
    emitter->PositionY = y;
    return {};
}

Status World::SetForcePoint(Effect effect, bool vortex, float x, float y, int32_t index) {
    pp::Emitter* emitter = state_->Find(effect);
    if (emitter == nullptr) return NoSuchEffect();
    if (index < 0 || index >= pp::kMaxForcePoints) {
        return {"a force point's index must be 0 to 7", ErrorKind::Argument};
    }
    pp::ForceList& list = vortex ? emitter->Extras.Vortex : emitter->Extras.Attractor;
    // The first point stands whether the file gives it or not; one beyond the file's blocks
    // brings the ones before it into use too (with Strength 0 they do nothing).
    if (index > 0) list.Count = std::max(list.Count, index + 1);
    pp::ForcePoint& point = list.Points[static_cast<size_t>(index)];
    point.X = x;
    point.Y = y;
    point.Screen = 1;
    return {};
}

float World::Update() {
    return pp::UpdateParticles(state_->Engine);
}

Status World::RemoveEffect(Effect effect) {
    const pp::Emitter* emitter = state_->Find(effect);
    if (emitter == nullptr) return NoSuchEffect();
    state_->Remove(emitter);
    state_->Emitters[effect.Id - 1] = nullptr;
    return {};
}

std::vector<Effect> World::Effects() {
    state_->ForgetRemoved();
    std::vector<Effect> out;
    for (uint32_t i = 0; i < state_->Emitters.size(); ++i) {
        if (state_->Emitters[i] != nullptr) out.push_back({i + 1});
    }
    return out;
}

Result<EffectParams> World::Params(Effect effect) {
    const pp::Emitter* emitter = state_->Find(effect);
    if (emitter == nullptr) return {{}, kNoSuchEffect, ErrorKind::Argument};
    return {PublicParams(emitter->Params()), ""};
}

Result<EffectExtras> World::Extras(Effect effect) {
    const pp::Emitter* emitter = state_->Find(effect);
    if (emitter == nullptr) return {{}, kNoSuchEffect, ErrorKind::Argument};
    return {PublicExtras(state_->Engine, emitter->Params()), ""};
}

Status World::Particles(Effect effect, std::vector<Particle>& out) {
    out.clear();
    pp::Emitter* emitter = state_->Find(effect);
    if (emitter == nullptr) return NoSuchEffect();
    out.reserve(static_cast<size_t>(emitter->Particles.Count()));
    // A full pass leaves the cursor on the last record, where every engine pass leaves it.
    pp::ListVisit(emitter->Particles,
                  [&](const pp::Particle& p) { out.push_back(CopyRecord<Particle>(p)); });
    return {};
}

int64_t World::ParticleCount() {
    int64_t n = 0;
    pp::ListVisit(state_->Engine.Emitters,
                  [&](const pp::Emitter& emitter) { n += emitter.Particles.Count(); });
    return n;
}

Result<StartedEffect> World::StartedEffectOf(int32_t number) {
    const std::vector<pp::EmitterParams>& kept = state_->Engine.SubEffects;
    if (number < 0 || static_cast<size_t>(number) >= kept.size()) {
        return {{}, "no effect started by particles has this number", ErrorKind::Argument};
    }
    const pp::EmitterParams& params = kept[static_cast<size_t>(number)];
    const std::vector<std::string>& files = state_->Engine.SubEffectFiles;
    const auto at = static_cast<size_t>(number);
    return {{PublicParams(params), PublicExtras(state_->Engine, params),
             at < files.size() ? files[at] : ""},
            ""};
}

std::vector<SpriteFile> World::SpriteFiles() {
    const pp::Engine& engine = state_->Engine;
    std::vector<SpriteFile> out;
    for (size_t i = 0; i < engine.SpriteFiles.size(); ++i) {
        out.push_back(
            {engine.FirstSpriteFileNumber + static_cast<int32_t>(i), engine.SpriteFiles[i]});
    }
    return out;
}

Status World::SetEmissionRate(Effect effect, float min, float max, float inc) {
    pp::Emitter* emitter = state_->Find(effect);
    if (emitter == nullptr) return NoSuchEffect();
    pp::SetValueSpec(emitter->EmissionRate, min, max, inc);
    return {};
}

Status World::SetDisabled(Effect effect, bool disabled) {
    pp::Emitter* emitter = state_->Find(effect);
    if (emitter == nullptr) return NoSuchEffect();
    emitter->Disable = disabled ? 1 : 0;
    return {};
}

Status World::SetThreads(int32_t threads) {
    if (threads < 0 || threads > pp::WorkerPool::kMaxThreads) {
        return {"the thread count must be 0 (one per hardware thread) to 256", ErrorKind::Argument};
    }
    pp::Engine& engine = state_->Engine;
    // The old pool's threads end before the new one's start.
    engine.Workers = nullptr;
    state_->Pool.reset();
    if (threads != 1) {
        state_->Pool = std::make_unique<pp::WorkerPool>(threads);
        engine.Workers = state_->Pool.get();
    }
    return {};
}

int32_t World::Threads() {
    const pp::WorkerPool* pool = state_->Engine.Workers;
    return pool != nullptr ? pool->Threads() : 1;
}

Status World::ReapplyEffectFile(Effect effect, std::string_view path, float x, float y) {
    return ReapplyEffectFile(effect, path, x, y, LoadOptions{});
}

Status World::ReapplyEffectFile(Effect effect, std::string_view path, float x, float y,
                                const LoadOptions& options) {
    pp::Emitter* emitter = state_->Find(effect);
    if (emitter == nullptr) return NoSuchEffect();
    const std::string name(path);
    if (name.empty()) return {"the effect file name is empty", ErrorKind::File};
    const pp::LoadSettings settings = state_->Settings(options);
    // Defaults would wipe the effect, so an unreadable file leaves it as it was.
    if (std::string why;
        !pp::ReadEffectFile(pp::EffectOpenPathIn(settings.Folder, name), 1, &why)) {
        return {"could not read the effect file '" + name + "' (" + why + ")", ErrorKind::File};
    }
    // The parameters start afresh, so a key the file no longer names loses what it set; the
    // emitter's running state (schedule, particles, prewarm done) is not a parameter.
    emitter->Params() = pp::DefaultParamsAt(x, y);
    pp::LoadEffectFile(state_->Engine, emitter, name, settings);
    return {};
}

void World::RemoveAllEffects() {
    pp::Engine& engine = state_->Engine;
    // Everything a new engine starts without: emitters (with their particles), the kept
    // sub-effects, the last update's time. The generator, clock, workers and area names stay
    // (an area name an effect added reads as 0, as it would when met anew).
    pp::ListRemoveAll(engine.Emitters);
    engine.SubEffects.clear();
    engine.SpriteFiles.clear();
    engine.SubEffectFiles.clear();
    engine.PendingStarts.clear();
    engine.LastUpdateTime = 0;
    engine.Updated = false;
    engine.RemovedTags.clear();  // every handle is dropped below
    engine.DroppedBirths = 0;
    std::fill(state_->Emitters.begin(), state_->Emitters.end(), nullptr);
}

Result<int64_t> World::ParticleCount(Effect effect) {
    const pp::Emitter* emitter = state_->Find(effect);
    if (emitter == nullptr) return {0, kNoSuchEffect, ErrorKind::Argument};
    return {emitter->Particles.Count(), ""};
}

Status World::SetMaxParticles(int64_t max) {
    if (max < 0) return {"the particle budget cannot be below 0", ErrorKind::Argument};
    state_->Engine.MaxParticles = max;
    pp::CountBudget(state_->Engine);
    return {};
}

int64_t World::MaxParticles() {
    return state_->Engine.MaxParticles;
}

int64_t World::DroppedBirths() {
    return state_->Engine.DroppedBirths;
}

void World::AllParticles(std::vector<Particle>& out, std::vector<int32_t>* startedAs) {
    out.clear();
    if (startedAs != nullptr) startedAs->clear();
    // Full passes leave the cursors on the last records, where every engine pass leaves them.
    pp::ListVisit(state_->Engine.Emitters, [&](pp::Emitter& emitter) {
        pp::ListVisit(emitter.Particles, [&](const pp::Particle& p) {
            out.push_back(CopyRecord<Particle>(p));
            if (startedAs != nullptr) startedAs->push_back(emitter.StartedAs);
        });
    });
}

pp::Particle WorldAccess::EngineParticle(const Particle& particle) {
    return CopyRecord<pp::Particle>(particle);
}

std::string WorldAccess::LoadFolder(World& world, const LoadOptions& options) {
    return world.state_->Settings(options).Folder;
}

pp::Engine& WorldAccess::EngineOf(World& world) {
    return world.state_->Engine;
}

pp::Emitter* WorldAccess::EmitterOf(World& world, Effect effect) {
    return world.state_->Find(effect);
}

Status ForceCpuPath(CpuPath path) {
    static_assert(static_cast<int>(CpuPath::Avx512) == static_cast<int>(pp::CpuPath::Avx512));
    if (path > CpuPath::Avx512 || !pp::ForceCpuPath(static_cast<pp::CpuPath>(path))) {
        return {"this processor has no such instructions", ErrorKind::Argument};
    }
    return {};
}

CpuPath ActiveCpuPath() {
    return static_cast<CpuPath>(pp::ActiveCpuPath());
}

}  // namespace particleplayer
