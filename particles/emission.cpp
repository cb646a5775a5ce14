// The emission schedule and the birth of one particle.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "particles/budget.h"
#include "particles/looks.h"
#include "particles/particles.h"
#include "particles/sub_effects.h"
#include "runtime/convert.h"

namespace pp {
namespace {

// Degrees to radians with pi as a 32-bit float, multiplied first, then divided.
constexpr float kPi = 3.1415927f;

// The longest gap between two emissions: a tiny rate would otherwise overflow int32.
constexpr int32_t kMaxIntervalMs = 1 << 30;

constexpr int32_t kBacklogLimit = 1000;
// The most bursts one update emits, a second's worth at the shortest interval.
constexpr int32_t kMaxBurstsAtOnce = 1000;

// The span of a lifetime in milliseconds. A death time further ahead than 2^31 - 1 ms would
// read as lying in the past; one 2^30 ms back is as dead as it gets and still reads as past
// for the next 12 days.
constexpr double kLongestLifeMs = 2147483647.0;
constexpr double kShortestLifeMs = -1073741824.0;

float ToRadians(float degrees) {
    return degrees * kPi / 180.0f;
}

// An offset across a length: -L/2 .. about +L/2 in whole-pixel steps, one draw.
float Offset(Engine& engine, float length) {
    int32_t k = RandomInt(engine.Random, RoundToInt(length));
    return static_cast<float>(k) - length / 2.0f;
}

// One of the 1800 angles 0, 0.1, ..., 179.9 degrees, in radians.
float HalfTurnAngle(Engine& engine) {
    int32_t k = RandomInt(engine.Random, 1799);
    return static_cast<float>(k) * kPi / 1800.0f;
}

// other / longer scales the offset drawn along the longer axis onto the shorter one. A zero
// divisor only happens when the drawn offset is 0 too; that point is the centre.
float ScaleOffset(float offset, float other, float longer) {
    if (longer == 0.0f) return 0.0f;
    return offset * other / longer;
}

// The area's width w and height h are the emitter's, or those times their curves over the
// duration.
void PlaceInArea(Engine& engine, const Emitter& e, Particle& p, float w, float h) {
    const float x = e.PositionX;
    const float y = e.PositionY;
    const float a = e.AreaAngle;
    switch (e.AreaType) {
        case 1: {
            float o = Offset(engine, w);
            p.X = x + o * std::cos(a);
            p.Y = y + o * std::sin(a);
            break;
        }
        case 2:
        case 3: {
            float o1 = Offset(engine, w);
            float o2 = Offset(engine, e.AreaType == 2 ? w : h);
            float c = std::cos(a);
            float s = std::sin(a);
            p.X = x + o1 * c - o2 * s;
            p.Y = y + o1 * s + o2 * c;
            break;
        }
        case 4: {
            float o = Offset(engine, w);
            float t = HalfTurnAngle(engine);
            p.X = x + o * std::cos(t);
            p.Y = y + o * std::sin(t);
            break;
        }
        case 5: {
            float ox;
            float oy;
            if (h < w) {
                ox = Offset(engine, w);
                oy = ScaleOffset(ox, h, w);
            } else {
                oy = Offset(engine, h);
                ox = ScaleOffset(oy, w, h);
            }
            float t = HalfTurnAngle(engine);
            p.X = x + ox * std::cos(t);
            p.Y = y + oy * std::sin(t);
            break;
        }
        default:
            p.X = x;
            p.Y = y;
            break;
    }
}

// Milliseconds to the next emission: 1000 / rate rounded, at least 1, at most 2^30. A rate
// that is not above 0 (NaN included) gives 1.
int32_t EmissionInterval(float rate) {
    if (!(rate > 0.0f)) return 1;
    float interval = 1000.0f / rate;
    if (interval > static_cast<float>(kMaxIntervalMs)) return kMaxIntervalMs;
    int32_t ms = RoundToInt(interval);
    return ms < 1 ? 1 : ms;
}

// The lifetime added to the spawn's clock reading t. In double: a float sum would lose whole
// milliseconds once the clock passes 2^24 ms (4.6 hours). The sum wraps like the clock.
// Lifetimes out of reach of a signed clock difference are held at its ends; a NaN lifetime
// is no life at all.
int32_t DeathTimeAfter(int32_t t, float lifeMs) {
    double ms = lifeMs;
    if (ms > kLongestLifeMs) {
        ms = kLongestLifeMs;
    } else if (ms < kShortestLifeMs || std::isnan(ms)) {
        ms = kShortestLifeMs;
    }
    return RoundToInt(ms + static_cast<double>(t));
}

// A burst Interval in whole milliseconds, rounded, at least 1 and at most 2^30 (NaN gives 1),
// so that sums of it with clock readings stay comparable.
int32_t IntervalMs(float seconds) {
    const float ms = seconds * 1000.0f;
    if (!(ms >= 1.0f)) return 1;
    if (ms > static_cast<float>(kMaxIntervalMs)) return kMaxIntervalMs;
    return RoundToInt(ms);
}

// Duration in whole milliseconds, rounded, at least 1: the length of one cycle. The loader
// holds Duration to a million seconds, so the product fits.
int32_t CycleMs(float duration) {
    return std::max(RoundToInt(duration * 1000.0f), 1);
}

// Where a reading t stands in the emitter's cycle: (t - StartTime) / its length, held in
// [0, 1]; 0 without Duration.
float DurationFraction(const Emitter& e, int32_t t) {
    if (!(e.Extras.Duration > 0.0f)) return 0.0f;
    const float f = static_cast<float>(ClockDiff(t, e.StartTime)) /
                    static_cast<float>(CycleMs(e.Extras.Duration));
    if (!(f > 0.0f)) return 0.0f;
    return f > 1.0f ? 1.0f : f;
}

// A curve over the duration at reading t; 1 without keys or without Duration.
float DurationFactor(const Emitter& e, const LifeCurve<1>& curve, int32_t t) {
    if (curve.Count <= 0 || !(e.Extras.Duration > 0.0f)) return 1.0f;
    return EvaluateLifeCurve(curve, DurationFraction(e, t))[0];
}

// Delay's end, when it has come by reading now: the schedule then starts (see Delayed).
void EndDelay(Emitter& e, int32_t delay) {
    e.DelayOver = 1;
    e.StartTime = WrapAdd(e.StartTime, delay);
    e.NextEmission = e.StartTime;
}

// Continuous: once a cycle has run its Duration, the next starts Delay after its end. The
// cycles the clock passed over whole are skipped in one step, in exact clock differences, so
// that StartTime stays within a cycle and a delay of now however long the emitter runs.
void NextCycle(Emitter& e, int32_t now) {
    if (e.Extras.Continuous == 0 || !(e.Extras.Duration > 0.0f)) return;
    const int32_t delay = e.Extras.Delay > 0.0f ? RoundToInt(e.Extras.Delay * 1000.0f) : 0;
    if (delay > 0 && e.DelayOver == 0) {
        if (ClockDiff(now, e.StartTime) < delay) return;
        EndDelay(e, delay);
    }
    const int32_t length = CycleMs(e.Extras.Duration);
    const int32_t elapsed = ClockDiff(now, e.StartTime);
    if (elapsed <= length) return;
    const int64_t period = int64_t{length} + delay;
    const int64_t skipped = (elapsed - 1) / period;
    int64_t advance = skipped * period;
    if (elapsed - advance > length) {
        // In the delay after a cycle: Delayed holds the emission until the next one.
        advance += length;
        e.DelayOver = 0;
    }
    e.StartTime = WrapAdd(e.StartTime, static_cast<int32_t>(static_cast<uint32_t>(advance)));
    // A delay passed over whole between two updates emits nothing: the new cycle's births
    // count from its start.
    if (delay > 0 && e.DelayOver != 0 && ClockDiff(e.StartTime, e.NextEmission) > 0) {
        e.NextEmission = e.StartTime;
    }
}

// Whether the emitter may still emit in an update at clock reading now: Duration's end is the
// moment of emission, so that no particle is born later than Duration seconds after the
// emitter's start, and one born exactly then still is. The loader holds Duration far below
// 2^31 ms, and the product of a float and 1000 is exact in double. The first time the end has
// passed, the emission is over for good: a clock that has run 24.8 days on would otherwise
// read as before the end again.
bool BeforeEnd(Emitter& e, int32_t now) {
    if (!(e.Extras.Duration > 0.0f) || e.Extras.Continuous != 0) return true;
    if (e.EmissionOver == 0) {
        const double end = static_cast<double>(e.Extras.Duration) * 1000.0;
        if (static_cast<double>(ClockDiff(now, e.StartTime)) > end) e.EmissionOver = 1;
    }
    return e.EmissionOver == 0;
}

// SpawnParticle, and the start that the birth records when the emitter has OnBirth. A birth
// due while MaxAlive particles are alive is skipped before any draw; the schedule goes on.
void SpawnRecordingBirth(Engine& engine, Emitter& e, const int32_t* birth = nullptr) {
    const int32_t before = e.Particles.Count();
    if (e.Extras.MaxAlive > 0 && before >= e.Extras.MaxAlive) return;
    SpawnParticle(engine, e, birth);
    if (e.Extras.OnBirth.Effect >= 0 && e.Particles.Count() != before) {
        RecordSubEffect(engine, e, e.Extras.OnBirth, *e.Particles.Last());
    }
}

// The bursts due before now (see EmitDueParticles): every one that the time since the last
// update passed over, Repeat in all, each Count particles (none when `spawn` is false). Of more
// than kMaxBurstsAtOnce the earlier ones are dropped, so one update spawns at most a million.
void EmitBursts(Engine& engine, Emitter& e, int32_t now, bool spawn) {
    const BurstParams& burst = e.Extras.Burst;
    const int32_t lag = ClockDiff(now, e.NextEmission);
    if (lag <= 0) return;
    if (burst.Repeat > 0 && e.BurstsDone >= burst.Repeat) return;
    if (!BeforeEnd(e, now)) return;
    // Bursts fall due at NextEmission + k * interval for every k * interval < lag.
    const int32_t interval = IntervalMs(burst.Interval);
    int32_t due = 1 + (lag - 1) / interval;
    if (burst.Repeat > 0) due = std::min(due, burst.Repeat - e.BurstsDone);
    e.BurstsDone = due > INT32_MAX - e.BurstsDone ? INT32_MAX : e.BurstsDone + due;
    const auto skip = static_cast<int64_t>(due) * interval;
    e.NextEmission = WrapAdd(e.NextEmission, static_cast<int32_t>(static_cast<uint32_t>(skip)));
    if (!spawn) return;
    const int32_t count = std::min(burst.Count, kMaxBurstCount);
    const int32_t bursts = std::min(due, kMaxBurstsAtOnce);
    for (int32_t b = 0; b < bursts; ++b) {
        for (int32_t i = 0; i < count; ++i) SpawnRecordingBirth(engine, e);
    }
}

// Whether Delay still holds the emission back at clock reading now; the first reading past
// it starts the schedule then. Once over, it is over for good, as Duration's end is.
bool Delayed(Emitter& e, int32_t now) {
    if (!(e.Extras.Delay > 0.0f) || e.DelayOver != 0) return false;
    const int32_t delay = RoundToInt(e.Extras.Delay * 1000.0f);
    if (ClockDiff(now, e.StartTime) < delay) {
        e.NextEmission = now;
        return true;
    }
    EndDelay(e, delay);
    return false;
}

// MinAlive: births until that many particles are in the list, at most kMaxBurstCount.
void TopUp(Engine& engine, Emitter& e) {
    const int32_t missing = std::min(e.Extras.MinAlive - e.Particles.Count(), kMaxBurstCount);
    for (int32_t i = 0; i < missing; ++i) SpawnRecordingBirth(engine, e);
}

// A birth at fraction f of the emitter's move since its last emission and at clock reading
// `birth`: the emitter stands at that point while the particle is spawned (so that its area,
// origin and OnBirth start are there), and the particle is moved back along its velocity by
// the time from PathTime to its birth.
void SpawnOnPath(Engine& engine, Emitter& e, float f, int32_t birth) {
    const float x = e.PositionX;
    const float y = e.PositionY;
    e.PositionX = e.PathX + (x - e.PathX) * f;
    e.PositionY = e.PathY + (y - e.PathY) * f;
    const int32_t before = e.Particles.Count();
    SpawnRecordingBirth(engine, e, &birth);
    e.PositionX = x;
    e.PositionY = y;
    if (e.Particles.Count() == before) return;
    Particle& p = *e.Particles.Last();
    const float back = static_cast<float>(ClockDiff(birth, e.PathTime)) * 0.001f;
    p.X = p.X - p.VelocityX * back;
    p.Y = p.Y - p.VelocityY * back;
}

// The steady rate's birth due at t, on the path: t held to [PathTime, now].
void SpawnDueOnPath(Engine& engine, Emitter& e, int32_t t, int32_t now) {
    const int32_t span = ClockDiff(now, e.PathTime);
    if (span <= 0) {
        SpawnOnPath(engine, e, 1.0f, now);
        return;
    }
    const int32_t into = std::clamp(ClockDiff(t, e.PathTime), 0, span);
    SpawnOnPath(engine, e, static_cast<float>(into) / static_cast<float>(span),
                WrapAdd(e.PathTime, into));
}

// The most births one update's move gives by distance.
constexpr int32_t kMaxDistanceBirths = 1000;

// EmitByDistance's births for the move since the last emission (see EmitDueParticles).
void EmitByDistance(Engine& engine, Emitter& e, int32_t now) {
    const float dx = e.PositionX - e.PathX;
    const float dy = e.PositionY - e.PathY;
    const float added = std::sqrt(dx * dx + dy * dy) * e.Extras.EmitByDistance / 100.0f;
    const float owed = e.DistanceOwed + added;
    const float span = static_cast<float>(std::max(ClockDiff(now, e.PathTime), 0));
    if (!(owed < static_cast<float>(kMaxDistanceBirths) + 1.0f)) {
        // A jump (or a move too long for a float): the last thousand, evenly along it.
        for (int32_t k = 1; k <= kMaxDistanceBirths; ++k) {
            const float f = static_cast<float>(k) / static_cast<float>(kMaxDistanceBirths);
            SpawnOnPath(engine, e, f, WrapAdd(e.PathTime, RoundToInt(f * span)));
        }
        e.DistanceOwed = 0.0f;
        return;
    }
    if (!(owed >= 1.0f)) {
        e.DistanceOwed = owed >= 0.0f ? owed : 0.0f;
        return;
    }
    const int32_t count = TruncToInt(owed);
    for (int32_t k = 1; k <= count; ++k) {
        const float f = std::min((static_cast<float>(k) - e.DistanceOwed) / added, 1.0f);
        SpawnOnPath(engine, e, f, WrapAdd(e.PathTime, RoundToInt(f * span)));
    }
    e.DistanceOwed = owed - static_cast<float>(count);
}

// The schedule of an emitter with an optional emission key (see EmitDueParticles). Apart from
// its own form, so that an emitter without them runs the plain loop below untouched.
void EmitOnSchedule(Engine& engine, Emitter& e, int32_t now) {
    if (e.StartCount >= 0) {
        const int32_t count = e.Disable != 0 ? 0 : e.StartCount;
        e.StartCount = 0;
        e.NextEmission = now;
        for (int32_t i = 0; i < count; ++i) SpawnRecordingBirth(engine, e);
        return;
    }
    NextCycle(e, now);
    if (Delayed(e, now)) return;
    if (e.Extras.Burst.Count > 0) {
        EmitBursts(engine, e, now, e.Disable == 0);
        if (e.Disable == 0 && BeforeEnd(e, now)) TopUp(engine, e);
        return;
    }
    if (e.Disable != 0) {
        // Notes the end while disabled too: once enabled again, a clock read 24.8 days on
        // must not seem to come before it.
        BeforeEnd(e, now);
        e.NextEmission = now;
        return;
    }
    if (ClockDiff(now, e.NextEmission) > kBacklogLimit) {
        e.NextEmission = WrapAdd(now, -kBacklogLimit);
    }
    if (!BeforeEnd(e, now)) return;
    if (e.Extras.EmitByDistance > 0.0f) {
        EmitByDistance(engine, e, now);
        e.NextEmission = now;
    }
    const bool path = e.Extras.EmitAlongPath != 0;
    const LifeCurve<1>& curve = e.Extras.EmissionOverDuration;
    while (ClockDiff(now, e.NextEmission) > 0) {
        // The rate of the birth due now times the curve there; at a factor of 0 or below the
        // emitter waits, and the next update looks again.
        const float factor = DurationFactor(e, curve, e.NextEmission);
        if (!(factor > 0.0f)) {
            e.NextEmission = now;
            break;
        }
        if (path) {
            SpawnDueOnPath(engine, e, e.NextEmission, now);
        } else {
            SpawnRecordingBirth(engine, e);
        }
        float rate = SampleValueSpec(engine, e.EmissionRate);
        if (curve.Count > 0) rate = rate * factor;
        e.NextEmission = WrapAdd(e.NextEmission, EmissionInterval(rate));
    }
    TopUp(engine, e);
}

// The schedule, then the emitter's place and time kept for the next one's path; the first
// emission has no path behind it.
void EmitWithExtras(Engine& engine, Emitter& e, int32_t now) {
    if (e.PathSet == 0) {
        e.PathX = e.PositionX;
        e.PathY = e.PositionY;
        e.PathTime = now;
        e.PathSet = 1;
    }
    EmitOnSchedule(engine, e, now);
    e.PathX = e.PositionX;
    e.PathY = e.PositionY;
    e.PathTime = now;
}

bool HasEmissionExtras(const Emitter& e) {
    const ExtraParams& x = e.Extras;
    return e.StartCount >= 0 || x.Burst.Count > 0 || x.Duration > 0.0f || x.OnBirth.Effect >= 0 ||
           x.MaxAlive > 0 || x.Delay > 0.0f || x.MinAlive > 0 || x.EmitAlongPath != 0 ||
           x.EmitByDistance > 0.0f || x.Continuous != 0;
}

// The lifetime's factor over the duration (after the draw, so the draws stay as they were).
float ScaledLife(const Emitter& e, int32_t t, float life) {
    if (e.Extras.LifeOverDuration.Count <= 0) return life;
    return life * DurationFactor(e, e.Extras.LifeOverDuration, t);
}

bool Drawn(const DrawnRange& r) {
    return r.Min != 0.0f || r.Max != 0.0f;
}

float Draw(Engine& engine, const DrawnRange& r) {
    return SampleValueSpec(engine, ValueSpec{r.Min, r.Max, r.Step});
}

// The birth offsets, x then y, and the life offset, one draw each that is given. Returns the
// birth reading the particle's age counts from: `t` less the life offset in whole
// milliseconds, at most its life less 1 ms, so that it lives at least until the next
// millisecond; its death comes as much sooner.
int32_t DrawOffsets(Engine& engine, const Emitter& e, Particle& p, int32_t t) {
    const ExtraParams& x = e.Extras;
    if (Drawn(x.BirthOffsetX)) p.X = p.X + Draw(engine, x.BirthOffsetX);
    if (Drawn(x.BirthOffsetY)) p.Y = p.Y + Draw(engine, x.BirthOffsetY);
    if (!Drawn(x.LifeOffset)) return t;
    // The loader holds the range to a million seconds; a NaN draw is no offset.
    const float ms = Draw(engine, x.LifeOffset) * 1000.0f;
    if (!(ms >= 0.5f)) return t;
    const int32_t most = std::max(ClockDiff(p.DeathTime, t) - 1, 0);
    const int32_t offset = ms < 2.0e9f ? std::min(RoundToInt(ms), most) : most;
    p.DeathTime = WrapAdd(p.DeathTime, -offset);
    return WrapAdd(t, -offset);
}

}  // namespace

void EmitDueParticles(Engine& engine, Emitter& emitter, int32_t now) {
    if (HasEmissionExtras(emitter)) {
        EmitWithExtras(engine, emitter, now);
        return;
    }
    if (emitter.Disable != 0) {
        // No backlog builds up while disabled, so enabling starts without a burst.
        emitter.NextEmission = now;
        return;
    }
    if (ClockDiff(now, emitter.NextEmission) > kBacklogLimit) {
        emitter.NextEmission = WrapAdd(now, -kBacklogLimit);
    }
    // Signed differences keep the schedule sound across the clock's wrap; the backlog cap and
    // the 1 ms floor bound this loop to 1000 spawns.
    while (ClockDiff(now, emitter.NextEmission) > 0) {
        SpawnParticle(engine, emitter);
        float rate = SampleValueSpec(engine, emitter.EmissionRate);
        emitter.NextEmission = WrapAdd(emitter.NextEmission, EmissionInterval(rate));
    }
}

void SpawnParticle(Engine& engine, Emitter& emitter, const int32_t* birth) {
    // A particle with a trail takes room for its places too.
    const int64_t cost = emitter.ExtrasOn ? ParticleCost(emitter) : 1;
    if (engine.BudgetLeft < cost) {
        if (engine.DroppedBirths < INT64_MAX) ++engine.DroppedBirths;
        return;
    }
    engine.BudgetLeft -= cost;
    Particle* p = ListInsert(emitter.Particles);
    if (p == nullptr) return;
    p->Sprite = SampleValueSpec(engine, emitter.Sprite);
    p->Size = SampleValueSpec(engine, emitter.Size);
    const int32_t t = birth != nullptr ? *birth : static_cast<int32_t>(engine.Clock->Now());
    float w = emitter.AreaWidth;
    float h = emitter.AreaHeight;
    if (emitter.ExtrasOn) {
        if (emitter.Extras.WidthOverDuration.Count > 0)
            w = w * DurationFactor(emitter, emitter.Extras.WidthOverDuration, t);
        if (emitter.Extras.HeightOverDuration.Count > 0)
            h = h * DurationFactor(emitter, emitter.Extras.HeightOverDuration, t);
    }
    PlaceInArea(engine, emitter, *p, w, h);
    float theta = SampleValueSpec(engine, emitter.EmissionAngle) + emitter.AngleOffset;
    float speed = SampleValueSpec(engine, emitter.EmissionVelocity);
    float radians = ToRadians(theta);
    p->VelocityX = std::cos(radians) * speed;
    p->VelocityY = std::sin(radians) * speed;
    if (emitter.InheritedVelocity != nullptr) {
        p->VelocityX += emitter.InheritedVelocity[0];
        p->VelocityY += emitter.InheritedVelocity[1];
    }
    p->Transparency = SampleValueSpec(engine, emitter.Transparency);
    float life = SampleValueSpec(engine, emitter.LifeTime);
    if (emitter.ExtrasOn) life = ScaledLife(emitter, t, life);
    p->DeathTime = DeathTimeAfter(t, life * 1000.0f);
    p->Angle = theta;
    p->RotationStep = SampleValueSpec(engine, emitter.Rotation);
    // The optional keys' draws come after all of the above.
    if (emitter.ExtrasOn) {
        const int32_t born = DrawOffsets(engine, emitter, *p, t);
        AddParticleLife(engine, emitter, p, born, life * 1000.0f);
    }
}

}  // namespace pp
