// Effect files that hand the engine infinities, NaN, overflowing sums and out-of-range steps.
// Whatever a file says, every update must stay bounded, no particle may be left with a
// non-finite state, and the schedule must keep up with the clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>

#include "effects/loader.h"
#include "engine_test_util.h"
#include "particles/particles.h"
#include "runtime/convert.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

struct HostileRow {
    const char* text;
    bool live;  // particles are alive after the first phase (else each dies in its birth update)
    std::function<void(Emitter&, int32_t now)> check;  // further checks after that phase
};

// Lifetimes beyond the clock's reach are held at 2^31 - 1 ms after a birth in the last 2 s.
void ExpectDeathTimesFarAhead(Emitter& e, int32_t now) {
    for (const Particle& p : ParticlesOf(e))
        EXPECT_GT(ClockDiff(p.DeathTime, now), INT32_MAX - 2000);
}

const HostileRow kRows[] = {
    // Values that convert to infinities or come out as NaN: no particle lives.
    {"Size = 1e999", false, [](Emitter& e, int32_t) { EXPECT_EQ(e.Size.Min, kInf); }},
    {"Size = {Value = 1e999, Blur = 1e999}", false,
     [](Emitter& e, int32_t) { EXPECT_TRUE(std::isnan(e.Size.Min)); }},
    {"Size = -1e999", false, {}},
    {"EmitterPosition = {1e999, 0}", false, {}},
    {"EmitterPosition = {0, -1e999}", false, {}},
    {"EmitterArea = {Type = Line, Width = 1e999}", false, {}},
    {"EmitterArea = {Type = Ellipse, Width = 1e999, Height = 1e999}", false, {}},
    {"EmitterArea = {Type = Square, Width = 10, Angle = 1e999}", false, {}},
    {"EmissionAngle = 1e999", false, {}},
    {"EmissionVelocity = 1e999", false, {}},
    {"Transparency = 1e999", false, {}},
    {"Transparency = -1e999", false, {}},
    {"Rotation = 1e999", false, {}},
    {"Raise = 1e999", false, {}},
    {"Raise = -1e999", false, {}},
    {"Fade = 1e999", false, {}},
    {"Fade = -1e999", false, {}},
    {"Acceleration = {1e999, -1e999}", false, {}},
    {"LifeTime = -1e999", false, {}},
    {"LifeTime = {Value = 1e999, Blur = 1e999}", false, {}},
    {"LifeTime = 1e999", true, ExpectDeathTimesFarAhead},
    {"LifeTime = 1e30", true, ExpectDeathTimesFarAhead},
    // Finite values whose sums overflow during the run: such particles die when they do.
    {"EmissionVelocity = {Value = 3e38, Range = 3e38}", true,
     [](Emitter& e, int32_t) { EXPECT_EQ(e.EmissionVelocity.Max, kInf); }},
    {"EmitterPosition = {3e38, -3e38}, EmissionVelocity = 3e38", true, {}},
    {"Size = 3e38, Raise = 3e38", true, {}},
    {"Fade = 1e38", true, {}},
    {"Rotation = 3e38", true, {}},
    // Rates not above 0, NaN or huge give one particle per millisecond; tiny ones wait 2^30 ms.
    {"EmissionRate = 0", true, {}},
    {"EmissionRate = -5", true, {}},
    {"EmissionRate = 1e999", true, {}},
    {"EmissionRate = {Value = 1e999, Blur = 1e999}", true, {}},
    {"EmissionRate = 1e-30", true,
     [](Emitter& e, int32_t now) {
         EXPECT_EQ(e.Particles.Count(), 1);
         EXPECT_GT(ClockDiff(e.NextEmission, now), (1 << 30) - 2000);
     }},
    {"EmissionRate = 1e-45", true, [](Emitter& e, int32_t) { EXPECT_EQ(e.Particles.Count(), 1); }},
    // Steps and bounds out of the 32-bit range.
    {"Size = {Min = 10, Max = 100, Inc = 1e-8}", true,
     [](Emitter& e, int32_t) {
         for (const Particle& p : ParticlesOf(e)) {
             EXPECT_GE(p.Size, 10.0f);
             EXPECT_LE(p.Size, 100.0f);
         }
     }},
    {"EmissionAngle = {Min = 0, Max = 360, Inc = 1e-30}", true, {}},
    {"EmissionAngle = {Min = 359, Max = 0}", true, {}},
    {"LifeTime = {Min = 1, Max = 1e38, Inc = 1e-38}", true, {}},
    {"Sprite = {Min = -2147483648, Max = 2147483647}", true, {}},
    {"Sprite = {Value = $7FFFFFFF, Range = 10, Inc = -3}", true, {}},
    {"Layer = 99999999999999999999, BlendingMode = {-1, 99999999999}", true, {}},
    // Huge and negative areas.
    {"EmitterArea = {Type = Circle, Width = 1e30}", true, {}},
    {"EmitterArea = {Type = Rectangle, Width = -1e9, Height = 5e9, Angle = 45}", true, {}},
    {"EmitterArea = {Type = Ellipse, Width = 0, Height = 1e38}", true, {}},
};

// One phase of the run: `updates` frames `stepMs` apart, checking the invariants after each.
void RunPhase(TestEngine& t, Emitter& e, int updates, uint32_t stepMs, bool live, bool& first) {
    for (int u = 0; u < updates; ++u) {
        const int32_t before = e.Particles.Count();
        t.clock.Advance(stepMs);
        const float dt = UpdateParticles(t.engine);
        const auto now = static_cast<int32_t>(t.clock.Now());
        EXPECT_EQ(dt, first ? 0.0f : static_cast<float>(stepMs) * 0.001f);
        // At most one particle per millisecond and at most one second's backlog.
        EXPECT_LE(e.Particles.Count() - before, static_cast<int32_t>(std::min(stepMs, 1000u)));
        // The schedule has caught up with the clock and waits at most 2^30 ms.
        EXPECT_LE(ClockDiff(now, e.NextEmission), 0);
        EXPECT_LE(ClockDiff(e.NextEmission, now), 1 << 30);
        for (const Particle& p : ParticlesOf(e)) ASSERT_TRUE(ParticleStateIsFinite(p)) << u;
        ASSERT_TRUE(live || e.Particles.Count() == 0) << "update " << u;
        first = false;
    }
}

TEST(HostileValues, UpdatesStayBoundedAndNoParticleKeepsANonFiniteState) {
    testing::TempDir dir;
    for (const HostileRow& row : kRows) {
        SCOPED_TRACE(row.text);
        TestEngine t(7);
        Emitter* e = LoadEffect(
            t.engine, dir.Write(std::to_string(&row - kRows) + ".txt", row.text), 400, 300);
        ASSERT_NE(e, nullptr);
        bool first = true;
        RunPhase(t, *e, 100, 16, row.live, first);
        EXPECT_EQ(e->Particles.Count() > 0, row.live);
        if (row.check) row.check(*e, static_cast<int32_t>(t.clock.Now()));
        // A five-second stall, then ordinary frames again.
        RunPhase(t, *e, 1, 5000, row.live, first);
        RunPhase(t, *e, 50, 16, row.live, first);
    }
}

// A spawn that comes out non-finite still takes all its draws: the generator and the schedule
// are where a sane spawn would have left them.
TEST(HostileValues, NonFiniteSpawnTakesTheSameDrawsAsASaneOne) {
    TestEngine sane(11);
    TestEngine hostile(11);
    Emitter* a = CreateEmitter(sane.engine, 100, 100);
    Emitter* b = CreateEmitter(hostile.engine, 100, 100);
    SetValueSpec(b->Size, kInf, -65535.0f, 1.0f);
    for (TestEngine* t : {&sane, &hostile}) {
        t->clock.Advance(50);
        UpdateParticles(t->engine);
    }
    EXPECT_EQ(a->Particles.Count(), 5);
    EXPECT_EQ(b->Particles.Count(), 0);
    EXPECT_EQ(a->NextEmission, b->NextEmission);
    EXPECT_EQ(RandomInt(sane.engine.Random, -1), RandomInt(hostile.engine.Random, -1));
}

}  // namespace
}  // namespace pp
