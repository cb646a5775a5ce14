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

enum class Outcome {
    NeverLive,  // every particle dies in the update that bore it
    Live,       // particles are alive after the first phase of the run
};

struct HostileRow {
    const char* name;
    const char* text;
    Outcome outcome;
    // Further checks on the emitter after the first phase; may be empty.
    std::function<void(const Emitter&, int32_t now)> check;
};

void PrintTo(const HostileRow& row, std::ostream* os) {
    *os << row.name;
}

void ExpectEveryDeathTimeFarAhead(const Emitter& e, int32_t now) {
    RecordArray<Particle>& list = const_cast<RecordArray<Particle>&>(e.Particles);
    ListRewind(list);
    while (const Particle* p = ListNext(list)) {
        // Held at 2^31 - 1 ms after a birth within the last two seconds.
        EXPECT_GT(ClockDiff(p->DeathTime, now), INT32_MAX - 2000);
    }
}

void ExpectSizesWithin(const Emitter& e, float lo, float hi) {
    RecordArray<Particle>& list = const_cast<RecordArray<Particle>&>(e.Particles);
    ListRewind(list);
    while (const Particle* p = ListNext(list)) {
        EXPECT_GE(p->Size, lo);
        EXPECT_LE(p->Size, hi);
    }
}

const HostileRow kRows[] = {
    // Values that convert to infinities or come out as NaN.
    {"SizeInfinite", "Size = 1e999", Outcome::NeverLive,
     [](const Emitter& e, int32_t) { EXPECT_EQ(e.Size.Min, kInf); }},  // stored as given
    {"SizeMinusInfinite", "Size = -1e999", Outcome::NeverLive, {}},
    {"SizeNaNFromInfMinusInf", "Size = {Value = 1e999, Blur = 1e999}", Outcome::NeverLive,
     [](const Emitter& e, int32_t) { EXPECT_TRUE(std::isnan(e.Size.Min)); }},
    {"PositionInfinite", "EmitterPosition = {1e999, 0}", Outcome::NeverLive, {}},
    {"PositionMinusInfinite", "EmitterPosition = {0, -1e999}", Outcome::NeverLive, {}},
    {"LineOfInfiniteWidth", "EmitterArea = {Type = Line, Width = 1e999}", Outcome::NeverLive, {}},
    {"EllipseOfInfiniteAxes",
     "EmitterArea = {Type = Ellipse, Width = 1e999, Height = 1e999}",
     Outcome::NeverLive,
     {}},
    {"SquareTurnedByInfinity",
     "EmitterArea = {Type = Square, Width = 10, Angle = 1e999}",
     Outcome::NeverLive,
     {}},
    {"EmissionAngleInfinite", "EmissionAngle = 1e999", Outcome::NeverLive, {}},
    {"SpeedInfinite", "EmissionVelocity = 1e999", Outcome::NeverLive, {}},
    {"TransparencyInfinite", "Transparency = 1e999", Outcome::NeverLive, {}},
    {"TransparencyMinusInfinite", "Transparency = -1e999", Outcome::NeverLive, {}},
    {"RotationInfinite", "Rotation = 1e999", Outcome::NeverLive, {}},
    {"RaiseInfinite", "Raise = 1e999", Outcome::NeverLive, {}},
    {"RaiseMinusInfinite", "Raise = -1e999", Outcome::NeverLive, {}},
    {"FadeInfinite", "Fade = 1e999", Outcome::NeverLive, {}},
    {"FadeMinusInfinite", "Fade = -1e999", Outcome::NeverLive, {}},
    {"AccelerationInfinite", "Acceleration = {1e999, -1e999}", Outcome::NeverLive, {}},
    {"LifeTimeMinusInfinite", "LifeTime = -1e999", Outcome::NeverLive, {}},
    {"LifeTimeNaN", "LifeTime = {Value = 1e999, Blur = 1e999}", Outcome::NeverLive, {}},

    // Lifetimes beyond the clock's reach are held at 2^31 - 1 ms.
    {"LifeTimeInfinite", "LifeTime = 1e999", Outcome::Live, ExpectEveryDeathTimeFarAhead},
    {"LifeTimeHuge", "LifeTime = 1e30", Outcome::Live, ExpectEveryDeathTimeFarAhead},

    // Finite values whose sums overflow during the run: such particles die when they do.
    {"SpeedRangeOverflows", "EmissionVelocity = {Value = 3e38, Range = 3e38}", Outcome::Live,
     [](const Emitter& e, int32_t) { EXPECT_EQ(e.EmissionVelocity.Max, kInf); }},
    {"PositionAndSpeedNearTheTop",
     "EmitterPosition = {3e38, -3e38}, EmissionVelocity = 3e38",
     Outcome::Live,
     {}},
    {"SizeAndRaiseOverflow", "Size = 3e38, Raise = 3e38", Outcome::Live, {}},
    {"FadeToOverflow", "Fade = 1e38", Outcome::Live, {}},
    {"SpinToOverflow", "Rotation = 3e38", Outcome::Live, {}},

    // Rates that are not above 0, NaN or huge give one particle per millisecond.
    {"RateZero", "EmissionRate = 0", Outcome::Live, {}},
    {"RateNegative", "EmissionRate = -5", Outcome::Live, {}},
    {"RateInfinite", "EmissionRate = 1e999", Outcome::Live, {}},
    {"RateNaN", "EmissionRate = {Value = 1e999, Blur = 1e999}", Outcome::Live, {}},
    // Tiny rates wait 2^30 ms after their one particle.
    {"RateTiny", "EmissionRate = 1e-30", Outcome::Live,
     [](const Emitter& e, int32_t now) {
         EXPECT_EQ(e.Particles.Count(), 1);
         EXPECT_GT(ClockDiff(e.NextEmission, now), (1 << 30) - 2000);
     }},
    {"RateDenormal", "EmissionRate = 1e-45", Outcome::Live,
     [](const Emitter& e, int32_t) { EXPECT_EQ(e.Particles.Count(), 1); }},

    // Steps and bounds out of the 32-bit range.
    {"SizeStepOverflowsInt32", "Size = {Min = 10, Max = 100, Inc = 1e-8}", Outcome::Live,
     [](const Emitter& e, int32_t) { ExpectSizesWithin(e, 10.0f, 100.0f); }},
    {"AngleStepBeyondInt64",
     "EmissionAngle = {Min = 0, Max = 360, Inc = 1e-30}",
     Outcome::Live,
     {}},
    {"AngleMaxBelowMin", "EmissionAngle = {Min = 359, Max = 0}", Outcome::Live, {}},
    {"LifeTimeStepTiny", "LifeTime = {Min = 1, Max = 1e38, Inc = 1e-38}", Outcome::Live, {}},
    {"SpriteFullRange", "Sprite = {Min = -2147483648, Max = 2147483647}", Outcome::Live, {}},
    {"SpriteWrappingRange",
     "Sprite = {Value = $7FFFFFFF, Range = 10, Inc = -3}",
     Outcome::Live,
     {}},
    {"IntegersBeyondInt32",
     "Layer = 99999999999999999999, BlendingMode = {-1, 99999999999}",
     Outcome::Live,
     {}},

    // Huge and negative areas.
    {"HugeCircle", "EmitterArea = {Type = Circle, Width = 1e30}", Outcome::Live, {}},
    {"HugeRectangle",
     "EmitterArea = {Type = Rectangle, Width = -1e9, Height = 5e9, Angle = 45}",
     Outcome::Live,
     {}},
    {"EllipseOfHugeHeightZeroWidth",
     "EmitterArea = {Type = Ellipse, Width = 0, Height = 1e38}",
     Outcome::Live,
     {}},
};

class HostileValues : public ::testing::TestWithParam<HostileRow> {};

// One phase of the run: `updates` frames `stepMs` apart, checking the invariants after each.
void RunPhase(TestEngine& t, Emitter& e, int updates, uint32_t stepMs, const HostileRow& row,
              bool& first) {
    for (int u = 0; u < updates; ++u) {
        const int32_t before = e.Particles.Count();
        t.clock.Advance(stepMs);
        const float dt = UpdateParticles(t.engine);
        const auto now = static_cast<int32_t>(t.clock.Now());
        if (!first) {
            EXPECT_EQ(dt, static_cast<float>(stepMs) * 0.001f);
        }
        // At most one particle per millisecond and at most one second's backlog.
        EXPECT_LE(e.Particles.Count() - before, static_cast<int32_t>(std::min(stepMs, 1000u)));
        // The schedule has caught up with the clock and waits at most 2^30 ms.
        EXPECT_LE(ClockDiff(now, e.NextEmission), 0);
        EXPECT_LE(ClockDiff(e.NextEmission, now), 1 << 30);
        ListRewind(e.Particles);
        while (const Particle* p = ListNext(e.Particles)) {
            ASSERT_TRUE(ParticleStateIsFinite(*p)) << "update " << u;
        }
        if (row.outcome == Outcome::NeverLive) {
            ASSERT_EQ(e.Particles.Count(), 0) << "update " << u;
        }
        first = false;
    }
}

TEST_P(HostileValues, UpdatesStayBoundedAndNoParticleKeepsANonFiniteState) {
    const HostileRow& row = GetParam();
    testing::TempDir dir;
    const std::string path = dir.Write("hostile.txt", row.text);
    TestEngine t(7);
    Emitter* e = LoadEffect(t.engine, path, 400, 300);
    ASSERT_NE(e, nullptr);
    bool first = true;
    RunPhase(t, *e, 100, 16, row, first);
    if (row.outcome == Outcome::Live) {
        EXPECT_GT(e->Particles.Count(), 0);
    }
    if (row.check) row.check(*e, static_cast<int32_t>(t.clock.Now()));
    // A five-second stall, then ordinary frames again.
    RunPhase(t, *e, 1, 5000, row, first);
    RunPhase(t, *e, 50, 16, row, first);
}

INSTANTIATE_TEST_SUITE_P(Table, HostileValues, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<HostileRow>& info) {
                             return std::string(info.param.name);
                         });

// A spawn that comes out non-finite still takes all its draws: the generator and the schedule
// are where a sane spawn would have left them.
TEST(HostileSpawn, TakesTheSameDrawsAsASaneOne) {
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

// An infinite lifetime lives the longest span the signed clock can tell, across the wrap.
TEST(HostileSpawn, InfiniteLifetimeLivesUntilTheClockCanNoLongerTell) {
    TestEngine t(3, 0x7FFFFF00u);
    Emitter* e = CreateEmitter(t.engine, 0, 0);
    SetValueSpec(e->LifeTime, kInf, -65535.0f, 1.0f);
    SetValueSpec(e->EmissionVelocity, 0.0f, -65535.0f, 1.0f);
    SetValueSpec(e->EmissionRate, 1000.0f, -65535.0f, 1.0f);
    t.clock.Advance(10);
    UpdateParticles(t.engine);
    SetDisable(e, 1, 0);
    ASSERT_EQ(e->Particles.Count(), 10);
    const int32_t born = static_cast<int32_t>(t.clock.Now());
    EXPECT_EQ(e->Particles.First()->DeathTime, WrapAdd(born, INT32_MAX));
    t.clock.Advance(static_cast<uint32_t>(INT32_MAX));
    UpdateParticles(t.engine);
    EXPECT_EQ(e->Particles.Count(), 10);  // the death time itself still survives
    t.clock.Advance(1);
    UpdateParticles(t.engine);
    EXPECT_EQ(e->Particles.Count(), 0);
}

// A particle that turns non-finite on the way dies in exactly that update.
TEST(HostileUpdate, ParticleDiesInTheUpdateItsStateOverflows) {
    TestEngine t;
    Emitter* e = CreateEmitter(t.engine, 0, 0);
    SetValueSpec(e->EmissionAngle, 0.0f, -65535.0f, 1.0f);
    SetValueSpec(e->EmissionVelocity, 3e38f, -65535.0f, 1.0f);
    e->PositionX = 3e38f;
    t.clock.Advance(1);
    UpdateParticles(t.engine);  // first update: dt 0, the particle stays at its birth place
    SetDisable(e, 1, 0);
    ASSERT_EQ(e->Particles.Count(), 1);
    t.clock.Advance(200);  // 3e38 + 0.2 * 3e38 overflows
    UpdateParticles(t.engine);
    EXPECT_EQ(e->Particles.Count(), 0);
}

}  // namespace
}  // namespace pp
