// The emission schedule and the birth of one particle.
#include <cmath>
#include <cstdint>

#include "particles/looks.h"
#include "particles/particles.h"
#include "runtime/convert.h"

namespace pp {
namespace {

// Degrees to radians with pi as a 32-bit float, multiplied first, then divided.
constexpr float kPi = 3.1415927f;

// The longest gap between two emissions: a tiny rate would otherwise overflow int32.
constexpr int32_t kMaxIntervalMs = 1 << 30;

constexpr int32_t kBacklogLimit = 1000;

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

void PlaceInArea(Engine& engine, const Emitter& e, Particle& p) {
    const float x = e.PositionX;
    const float y = e.PositionY;
    const float w = e.AreaWidth;
    const float h = e.AreaHeight;
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

}  // namespace

void EmitDueParticles(Engine& engine, Emitter& emitter, int32_t now) {
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

int32_t SpawnParticle(Engine& engine, Emitter& emitter) {
    Particle* p = ListInsert(emitter.Particles);
    if (p == nullptr) return 0;
    p->Sprite = SampleValueSpec(engine, emitter.Sprite);
    p->Size = SampleValueSpec(engine, emitter.Size);
    PlaceInArea(engine, emitter, *p);
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
    auto t = static_cast<int32_t>(engine.Clock->Now());
    float life = SampleValueSpec(engine, emitter.LifeTime);
    p->DeathTime = DeathTimeAfter(t, life * 1000.0f);
    p->Angle = theta;
    p->RotationStep = SampleValueSpec(engine, emitter.Rotation);
    // The optional keys' draws come after all of the above.
    if (emitter.ExtrasOn) AddParticleLife(engine, emitter, p, t, life * 1000.0f);
    return 0;
}

}  // namespace pp
