// The optional keys: looks, the extras pass, bursts, Duration, Prewarm and sub-effects.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "effects/extra_values.h"
#include "effects/loader.h"
#include "engine_test_util.h"
#include "particles/looks.h"
#include "particles/sub_effects.h"
#include "runtime/convert.h"

namespace pp {
namespace {

// A curve as the loader reads it from the inside of a file's block.
LifeCurve<1> Curve(std::string_view text) {
    return ParseLifeCurve(text, 0.0f, 1000.0f);
}

// A row per branch: no keys, before, between, after, a step, NaN, the reader's sorting (equal
// times keep their written order, the later one holding from there on), its eighth key read
// and ninth ignored; keys out of order handed straight to the curve.
TEST(Looks, CurvesInterpolateBetweenTheirKeys) {
    LifeCurve<1> unsorted;
    unsorted.Count = 2, unsorted.Time = {0.5f, 0.2f}, unsorted.Value = {{{1.0f}, {9.0f}}};
    const struct {
        LifeCurve<1> curve;
        float t, expected;
    } rows[] = {{Curve(""), 0.5f, 1.0f},
                {Curve("0.25 = 2, 0.75 = 4"), 0.0f, 2.0f},
                {Curve("0 = 1, 0.5 = 3, 1 = 0"), 0.75f, 1.5f},
                {Curve("0 = 1, 0.5 = 3"), 1.0f, 3.0f},
                {Curve("0 = 1, 0.5 = 2, 0.5 = 8"), 0.5f, 8.0f},
                {Curve("0.5 = 8, 0 = 1, 0.5 = 2"), 0.5f, 2.0f},
                {Curve("0.5 = 8, 0 = 1, 0.5 = 2"), 0.25f, 4.5f},
                {Curve("0 = 5, 1 = 6"), std::nanf(""), 5.0f},
                {Curve("0 = 0, 0.1 = 0, 0.2 = 0, 0.3 = 0, 0.4 = 0, 0.5 = 0, 0.6 = 0, 1 = 5, 1 = 7"),
                 1.0f, 5.0f},
                {unsorted, 0.7f, 9.0f}};
    for (const auto& r : rows) EXPECT_EQ(EvaluateLifeCurve(r.curve, r.t)[0], r.expected) << r.t;
}

// Frames by rate (wrapping, from a start, negative ages, infinite) or over the life; a cell.
TEST(Looks, SpriteSheetFramesAndCells) {
    const float inf = __builtin_inff();
    const struct {
        SpriteSheetParams sheet;
        int32_t start, ageMs;
        float fraction;
        int32_t expected;
    } rows[] = {
        {{4, 2, 8, 10, 0}, 0, 250, 0, 2},    {{4, 2, 8, 10, 0}, 6, 250, 0, 0},
        {{4, 2, 8, 10, 0}, 3, -150, 0, 1},   {{4, 2, 8, inf, 0}, 5, 10, 0, 5},
        {{4, 2, 8, 0, 0}, 0, 0, 0.49f, 3},   {{4, 2, 8, 0, 0}, 0, 0, 1, 7},
        {{4, 2, 20, 0, 0}, 0, 0, 1, 7},      {{0, -3, 5, 0, 0}, 0, 0, 1, 0},
        {{4, 2, 0, 10, 0}, 3, 900, 0.5f, 0}, {{3, 3, 9, -1, 0}, 2, 900, 0.5f, 4},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(SheetFrame(r.sheet, r.start, r.ageMs, r.fraction), r.expected)
            << r.sheet.Frames << " " << r.sheet.Rate << " " << r.start << " " << r.ageMs;
    }
    const SheetCell cell = SheetCellOf(SpriteSheetParams{4, 2, 8, 0, 0}, 6);
    EXPECT_EQ((std::vector{cell.U0, cell.V0, cell.U1, cell.V1}),
              (std::vector{0.5f, 0.5f, 0.75f, 1.0f}));
}

// Size and transparency times their curves; colour held to a byte; Colour times the colour
// curve / 255 per channel (100 * 127.5 / 255 is 50, 255 * 127.5 / 255 is 127.5: 128, half to
// even).
TEST(Looks, ColourSizeAndTransparencyFollowTheCurves) {
    ExtraParams x;
    x.Colour = {200.0f, 100.0f, 300.0f};
    x.SizeOverLife = Curve("0 = 0.5, 1 = 2");
    x.TransparencyOverLife = Curve("0 = 1, 1 = 0");
    const Particle p{0, 10.0f, 0.0f, 0.0f, 0.0f, 0.0f, 200.0f, 0, 0.0f, 0.0f};
    const ParticleLooks looks = LooksOf(x, p, ParticleLife{0, 1000.0f, 0, 0.5f, 0});
    EXPECT_EQ(std::pair(looks.Size, looks.Transparency), std::pair(12.5f, 100.0f));
    EXPECT_EQ((std::vector<int>{looks.Red, looks.Green, looks.Blue}),
              (std::vector<int>{200, 100, 255}));
    x.Colour = {200.0f, 100.0f, 255.0f};
    x.ColourOverLife = ParseColourCurve("0 = {255, 0, 0}, 1 = {255, 255, 255}");
    const ParticleLooks tinted = LooksOf(x, p, ParticleLife{0, 1000.0f, 0, 0.5f, 0});
    EXPECT_EQ((std::vector<int>{tinted.Red, tinted.Green, tinted.Blue}),
              (std::vector<int>{200, 50, 128}));
}

// A neutral colour (arriving at update 40, leaving at 80) changes no particle or draw.
TEST(ExtrasUpdate, NeutralKeysGiveThePlainPassParticlesBitForBit) {
    TestEngine plain(7), rich(7);
    std::vector<std::pair<Emitter*, Emitter*>> pairs;
    for (int32_t i = 0; i < 6; ++i) {
        pairs.emplace_back(AddBusyEmitter(plain.engine, i), AddBusyEmitter(rich.engine, i));
    }
    const uint32_t steps[] = {16, 17, 1, 33, 250, 0, 16, 700};
    for (int32_t n = 0; n < 120; ++n) {
        SCOPED_TRACE(n);
        for (auto [a, b] : pairs) b->Extras.Colour[1] = n >= 40 && n < 80 ? 9.0f : 255.0f;
        plain.Step(steps[n % 8]), rich.Step(steps[n % 8]);
        for (auto [a, b] : pairs) {
            ASSERT_TRUE(SameParticles(*a, *b));
            ASSERT_EQ(b->ExtrasOn, n >= 40 && n < 80);
            ASSERT_EQ(b->Life.Count(), b->ExtrasOn ? b->Particles.Count() : 0);
            for (int32_t k = 0; k < b->Life.Count(); ++k) {
                const ParticleLife& life = b->Life.First()[k];
                ASSERT_EQ(RoundToInt(static_cast<double>(life.LifeMs) + life.BirthTime),
                          b->Particles.First()[k].DeathTime);
                ASSERT_EQ(life.Fraction, LifeFractionAt(life, rich.Now()));
            }
        }
    }
    EXPECT_EQ(RandomInt(plain.engine.Random, -1), RandomInt(rich.engine.Random, -1));
}

// Drag (held at 0 for long steps) and Spin against the plain step.
TEST(ExtrasUpdate, DragAndSpinFollowThePlainComputation) {
    TestEngine t;
    Emitter* e = CreateEmitter(t.engine, 0, 0);
    SetValueSpec(e->EmissionRate, 1, 1, 1), SetValueSpec(e->Rotation, 2.5f, 2.5f, 1);
    e->AccelerationX = -45.0f, e->AccelerationY = 98.0f;
    e->Extras.Drag = 0.75f, e->Extras.Spin = 90.0f;
    t.Step(1);
    Particle p = *e->Particles.First();
    for (uint32_t ms : {16u, 2000u}) {
        t.Step(ms);
        const float dt = static_cast<float>(ms) * 0.001f, factor = std::max(0.0f, 1 - 0.75f * dt);
        p.X = p.X + dt * p.VelocityX, p.Y = p.Y + dt * p.VelocityY;
        p.VelocityX = (p.VelocityX + dt * -45.0f) * factor;
        p.VelocityY = (p.VelocityY + dt * 98.0f) * factor;
        p.Angle = (p.Angle + 2.5f) + 90.0f * dt;
        EXPECT_EQ(std::memcmp(e->Particles.First(), &p, sizeof p), 0) << ms;
    }
}

// Steps "ADVANCE[d]:TOTAL": advance (disabled with 'd'), then the particles spawned so far. An
// interval of 15.7 ms is 16, rounded. What the plain schedule below covers (whole-millisecond
// intervals, Repeat, the 1000 bursts an update emits at most, Duration, the clock's wrap) has no
// row here beyond a first example.
TEST(Emission, BurstAndDurationCountsOverTime) {
    const struct {
        BurstParams burst;
        float duration;
        const char* steps;
    } rows[] = {
        {{10, 0.5f, 3}, 0, "0:0 1:10 499:10 1:20 500:30 2000:30"},
        {{1, 0.0126f, 0}, 0, "26:2 13:3"},
        {{4, 0.1f, 0}, 0, "1:4 100d:4 100d:4 100:8 100:12"},
        {{5000, 1.0f, 1}, 0, "1:1000 5000:1000"},
        {{}, 0.05f, "30:3 20:5 1:5"},
        {{1, 0.0157f, 0}, 0, "1:1 15:1 1:2 15:2 1:3"},
        {{}, 0.01f, "20d:0 2147484000d:0 1000:0"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.steps);
        TestEngine t(3);
        Emitter* e = CreateEmitter(t.engine, 10, 10);
        SetValueSpec(e->LifeTime, 1e7f, 1e7f, 1);
        e->Extras.Burst = r.burst, e->Extras.Duration = r.duration;
        UpdateParticles(t.engine);
        std::istringstream steps(r.steps);
        for (std::string step; steps >> step;) {
            e->Disable = step.find('d') != std::string::npos ? 1 : 0;
            t.Step(static_cast<uint32_t>(std::stoul(step)));
            EXPECT_EQ(e->Particles.Count(), std::stoi(step.substr(step.find(':') + 1))) << step;
        }
    }
}

// Bursts, the steady rate and Duration over random frames, against the schedule worked out
// plainly from the documented rules, in 64 bits from the start: burst k (below Repeat, unless
// it is 0) falls due k intervals (whole milliseconds, at least 1) after the start, and an
// update emits Count for every burst due since the previous one (of more than 1000, 1000); the
// steady rate emits one particle every 1000 / rate ms, at most a second's backlog; and no
// update more than Duration after the start emits anything.
TEST(Emission, BurstsRateAndDurationFollowThePlainSchedule) {
    std::mt19937 random(35);
    const auto pick = [&random](const auto& from) { return from[random() % std::size(from)]; };
    const int32_t intervals[] = {-5, 0, 1, 3, 10, 100, 250, 1000, 1700};
    const int32_t repeats[] = {0, 1, 2, 5, 40};
    const float rates[] = {7, 300, 1000, 2500};  // one every 143, 3, 1 and 1 ms
    const float durations[] = {0.0f, 1e-40f, 0.016f, 0.05f, 0.5f, 2.0f, 30.0f};
    const uint32_t frames[] = {1, 5, 16, 50, 333, 1000, 2500, 6000};
    for (int run = 0; run < 240; ++run) {
        TestEngine t(static_cast<uint32_t>(run), run % 2 == 0 ? 1000 : 4294966000u);
        Emitter* e = CreateEmitter(t.engine, 0, 0);
        SetValueSpec(e->LifeTime, 1e7f, 1e7f, 1);
        const bool bursts = run % 4 != 0;
        const int32_t count = 1 + static_cast<int32_t>(random() % 3), repeat = pick(repeats);
        const int32_t interval = pick(intervals);
        const float rate = pick(rates), duration = pick(durations);
        if (bursts) e->Extras.Burst = {count, static_cast<float>(interval) / 1000.0f, repeat};
        SetValueSpec(e->EmissionRate, rate, rate, 1);
        e->Extras.Duration = duration;
        SCOPED_TRACE(::testing::Message()
                     << "bursts " << bursts << " count " << count << " interval " << interval
                     << " repeat " << repeat << " rate " << rate << " duration " << duration);
        UpdateParticles(t.engine);
        const int64_t burstGap = std::max(1, interval);
        const int64_t particleGap = std::max<int64_t>(1, std::lround(1000.0 / rate));
        int64_t elapsed = 0, emitted = 0, next = 0, burstsDue = 0;
        for (int step = 0; step < 30; ++step) {
            const uint32_t frame = pick(frames);
            elapsed += frame;
            t.Step(frame);
            const bool open = duration == 0.0f || elapsed <= static_cast<double>(duration) * 1000.0;
            if (bursts) {
                int64_t due = 0;
                for (; (repeat == 0 || burstsDue < repeat) && burstsDue * burstGap < elapsed;
                     ++burstsDue) {
                    ++due;
                }
                if (open) emitted += count * std::min<int64_t>(due, 1000);
            } else {
                next = std::max(next, elapsed - 1000);
                for (; open && next < elapsed; next += particleGap) ++emitted;
            }
            ASSERT_EQ(e->Particles.Count(), emitted) << "after " << elapsed << " ms";
        }
    }
}

// Prewarm equals 1.5 s of 16 ms frames; once only, held at 10 s, also from a load.
TEST(Emission, PrewarmEqualsTheSameEmitterRunByHand) {
    TestEngine warm(9, 60000), hand(9, 60000 - 1500);
    Emitter* e = AddBusyEmitter(warm.engine, 1);
    Emitter* h = AddBusyEmitter(hand.engine, 1);
    e->Extras.Prewarm = 1.5f;
    PrewarmEmitter(warm.engine, *e);
    UpdateParticles(hand.engine);
    for (int i = 0; i < 94; ++i) hand.Step(i < 93 ? 16 : 12);
    ASSERT_GT(h->Particles.Count(), 100);
    EXPECT_TRUE(SameParticles(*e, *h));
    EXPECT_TRUE(e->NextEmission == h->NextEmission && e->StartTime == h->StartTime);
    EXPECT_EQ(RandomInt(warm.engine.Random, -1), RandomInt(hand.engine.Random, -1));
    PrewarmEmitter(warm.engine, *e);
    EXPECT_TRUE(SameParticles(*e, *h) && warm.engine.Clock == &warm.clock);
    Emitter* longer = CreateEmitter(warm.engine, 0, 0);
    longer->Extras.Prewarm = 1e9f;
    PrewarmEmitter(warm.engine, *longer);
    EXPECT_EQ(longer->StartTime, 60000 - 10000);
    Emitter* loaded = CreateEmitter(warm.engine, 0, 0);
    loaded->Extras.Prewarm = 0.5f;
    LoadEffectText(warm.engine, loaded, "");
    EXPECT_EQ(loaded->StartTime, 60000 - 500);
}

// Starts where particles die (after their last move) or are born, in emitter then particle order.
TEST(SubEffects, StartWhereParticlesDieAndAreBornInEmitterThenParticleOrder) {
    TestEngine t(4, 5000);
    EmitterParams spark = DefaultParamsAt(0, 0);
    SetValueSpec(spark.EmissionVelocity, 0, 0, 1), SetValueSpec(spark.LifeTime, 0.1f, 0.1f, 1);
    spark.Layer = 7;
    t.engine.SubEffects = {spark};
    Emitter* dying = CreateEmitter(t.engine, 100, 100);
    SetValueSpec(dying->LifeTime, 0.05f, 0.05f, 1);
    dying->AccelerationY = 300.0f, dying->Extras.OnDeath = {0, 3, 1};
    Emitter* born = CreateEmitter(t.engine, 400, 50);
    SetValueSpec(born->EmissionVelocity, 0, 0, 1);  // born where they stay
    born->AreaType = 1, born->AreaWidth = 100;
    UpdateParticles(t.engine);
    t.Step(30);
    const std::vector<Particle> before = ParticlesOf(*dying);
    born->Extras.OnBirth = {0, 2, 0};
    t.Step(60);  // the three die (60 ms > 50 ms), six more are born
    const std::vector<Particle> births = ParticlesOf(*born);
    const std::vector<Emitter*> all = EmittersOf(t.engine);
    ASSERT_EQ(all.size(), 2u + 3u + 6u);
    for (size_t i = 0; i < 9; ++i) {
        const Particle& p = i < 3 ? before[i] : births[i];  // births[0..2] came before OnBirth
        const float dt = i < 3 ? 0.06f : 0.0f;
        const Emitter& s = *all[2 + i];
        EXPECT_TRUE(s.PositionX == p.X + dt * p.VelocityX && s.PositionY == p.Y + dt * p.VelocityY);
        EXPECT_EQ((std::vector<int>{s.Layer, s.AutoRemove, s.StartCount, s.SubEffectDepth,
                                    s.InheritedVelocity != nullptr}),
                  (std::vector<int>{7, 1, i < 3 ? 3 : 2, 1, i < 3}));
    }
    t.Step(16);
    for (size_t i = 0; i < 9; ++i) {
        const std::vector<Particle> started = ParticlesOf(*all[2 + i / 3]);
        ASSERT_EQ(started.size(), 3u);
        EXPECT_EQ(started[i % 3].VelocityY, before[i / 3].VelocityY + 0.06f * 300.0f);
    }
}

// Every particle dies as it is born and starts `count` of itself again (at its birth too when
// `births`): as many started effects are alive as allowed, and a chain of single starts nests
// exactly as deep as allowed.
TEST(SubEffects, RunawayEffectStaysWithinTheCaps) {
    const struct {
        int32_t Count;
        bool Births;
        int32_t Most, Deepest;  // started effects alive at once (0: not asked), deepest nesting
    } rows[] = {{5000, true, kMaxStartedEmitters, 2}, {1, false, 0, kMaxSubEffectDepth}};
    for (const auto& row : rows) {
        TestEngine t(6, 1000);
        EmitterParams runaway = DefaultParamsAt(0, 0);
        SetValueSpec(runaway.Size, 0.5f, 0.5f, 1);
        runaway.Extras.OnDeath = {0, row.Count, 1};
        if (row.Births) runaway.Extras.OnBirth = {0, row.Count, 0};
        t.engine.SubEffects = {runaway};
        Emitter* root = CreateEmitter(t.engine, 300, 300);
        root->Params() = runaway;
        SetValueSpec(root->EmissionRate, 1000, 1000, 1);
        int32_t most = 0, deepest = 0;
        for (int u = 0; u < 6; ++u) {
            t.Step(16);
            for (Emitter* e : EmittersOf(t.engine)) {
                EXPECT_LE(e->StartCount, kMaxBurstCount);
                deepest = std::max(deepest, e->SubEffectDepth);
            }
            EXPECT_TRUE(t.engine.PendingStarts.empty());
            most = std::max(most, t.engine.Emitters.Count() - 1);  // all but the root
        }
        EXPECT_EQ(deepest, row.Deepest) << row.Count;
        if (row.Most > 0) {
            EXPECT_EQ(most, row.Most);
        }
    }
}

// Delay, MinAlive and MaxAlive against the schedule written out: a birth is due every 10 ms
// (first update's backlog included) from the end of the delay (the start, from which Duration
// counts), each lives 95 ms and dies in the first update past it; a birth due while MaxAlive are
// listed is skipped; after its emission each update that may emit tops the list up to MinAlive.
// Rows: delay (s), MinAlive, Duration (s), MaxAlive, then frames of 10, 30 and 1 ms.
TEST(Extras, DelayMinAliveAndMaxAliveFollowTheirSchedule) {
    const struct {
        const char* Delay;
        int32_t Min;
        const char* Duration;
        int32_t Max;
    } rows[] = {{"0", 3, "0", 0},     {"0.25", 0, "0", 0}, {"0.25", 12, "0.5", 0},
                {"0.033", 1, "0", 0}, {"0", 20, "0.2", 0}, {"0", 0, "0", 1},
                {"0", 0, "0", 4},     {"0", 0, "0", 7},    {"0", 0, "0", 1000}};
    for (const auto& row : rows) {
        for (const uint32_t ms : {10u, 30u, 1u}) {
            SCOPED_TRACE(std::string(row.Delay) + " s, " + std::to_string(row.Min) + " to " +
                         std::to_string(row.Max) + " alive, " + row.Duration + " s, frames of " +
                         std::to_string(ms));
            TestEngine t(3, 1000);
            Emitter* e = CreateEmitter(t.engine, 0, 0);
            LoadEffectText(t.engine, e,
                           std::string("EmissionRate = 100, LifeTime = 0.095, Delay = ") +
                               row.Delay + ", MinAlive = " + std::to_string(row.Min) +
                               ", Duration = " + row.Duration + ", EmissionVelocity = 0" +
                               ", MaxAlive = " + std::to_string(row.Max));
            const int32_t delay = RoundToInt(std::stof(row.Delay) * 1000.0f);
            const int32_t duration = RoundToInt(std::stof(row.Duration) * 1000.0f);
            const int32_t start = 1000 + delay;
            const auto room = [&](size_t alive) {
                return row.Max == 0 || static_cast<int32_t>(alive) < row.Max;
            };
            std::vector<int32_t> deaths;  // the plain list
            int32_t next = 1000;
            for (int32_t n = 0; n < 300; ++n) {
                t.clock.Advance(ms);
                const int32_t now = t.Now();
                if (now - 1000 < delay) {
                    next = now;
                } else {
                    next = std::max(std::max(next, start), now - 1000);
                    if (duration == 0 || now - start <= duration) {
                        for (; now - next > 0; next += 10) {
                            if (room(deaths.size())) deaths.push_back(now + 95);
                        }
                        while (static_cast<int32_t>(deaths.size()) < row.Min) {
                            deaths.push_back(now + 95);
                        }
                    }
                }
                std::erase_if(deaths, [now](int32_t d) { return now - d > 0; });
                UpdateParticles(t.engine);
                ASSERT_EQ(e->Particles.Count(), static_cast<int32_t>(deaths.size())) << n;
            }
            if (delay == 0 && duration == 0) {
                EXPECT_EQ(e->NextEmission, next);
            }
        }
    }
}

// A continuous Duration of 100 ms with 50 ms of Delay before each cycle, the rate doubled over
// each cycle's second half, the lifetime growing over it, and fixed offsets, against the
// schedule written out: cycle c starts at 1050 + 150 c, a birth due at m of it comes after
// 10 ms, or 5 ms from its half on, births due in the delays are not emitted, and each particle
// is born 20 ms into its life of 10 (1 + 2 f) s, f its birth's fraction of the cycle, 3 px right
// and 2 px up.
TEST(Extras, ContinuousCyclesDurationCurvesAndOffsetsFollowTheirSchedule) {
    TestEngine t(4, 1000);
    Emitter* e = CreateEmitter(t.engine, 0, 0);
    LoadEffectText(t.engine, e,
                   "EmissionRate = 100, LifeTime = 10, EmissionVelocity = 0, Duration = 0.1, "
                   "Continuous = 1, Delay = 0.05, EmissionOverDuration = {0 = 1, 0.5 = 1, 0.5 = "
                   "2}, LifeOverDuration = {0 = 1, 1 = 3}, LifeOffset = {Min = 0.02, Max = "
                   "0.02}, BirthOffsetX = {3, 3}, BirthOffsetY = {Min = -2, Max = -2}");
    int32_t next = 1000, born = 0;
    for (int32_t n = 0; n < 120; ++n) {
        t.clock.Advance(std::array<uint32_t, 6>{10, 7, 30, 3, 160, 1}[n % 6]);
        const int32_t now = t.Now();
        const int32_t before = e->Particles.Count();
        UpdateParticles(t.engine);
        const int32_t el = now - 1050, k = el > 0 ? (el - 1) / 150 : 0, cycle = 1050 + 150 * k;
        int32_t due = 0;
        if (el < 0 || el - 150 * k > 100) {
            next = now;
        } else {
            for (next = std::max({next, cycle, now - 1000}); now - next > 0; ++due) {
                next += static_cast<float>(next - cycle) / 100.0f >= 0.5f ? 5 : 10;
            }
        }
        ASSERT_EQ(e->Particles.Count() - before, due) << n;
        for (int32_t i = before; i < e->Particles.Count(); ++i, ++born) {
            const float f = std::min(static_cast<float>(now - cycle) / 100.0f, 1.0f);
            const float life = 10.0f * (1.0f + (3.0f - 1.0f) * f);
            const Particle& p = e->Particles.First()[i];
            ASSERT_EQ(
                p.DeathTime,
                RoundToInt(static_cast<double>(life * 1000.0f) + static_cast<double>(now)) - 20);
            ASSERT_EQ(e->Life.First()[i].BirthTime, now - 20);
            ASSERT_TRUE(p.X == 3.0f && p.Y == -2.0f);
        }
    }
    EXPECT_GT(born, 100);
}

// Births of an emitter that moves between its emissions, against the paths worked out plainly.
// Along the path: the rate's birth due at m (every 10 ms from 1000) of the emission from a to
// b stands at the fraction (m - a) / (b - a) of the move (m held to [a, b]; the first emission
// has no move), is born at that m and is set back by its 100 px/s flight from a to m. By
// distance (one per 10 px, the rate left out): birth k stands 10 k px along the emitter's
// line, born when the emitter was there, to the millisecond.
TEST(Emission, BirthsSpreadAlongTheEmittersPath) {
    for (const bool byDistance : {false, true}) {
        SCOPED_TRACE(byDistance ? "by distance" : "along the path");
        TestEngine t(5, 1000);
        Emitter* e = CreateEmitter(t.engine, 0, 50);
        LoadEffectText(t.engine, e,
                       byDistance ? "EmitByDistance = 10, EmissionVelocity = 0, LifeTime = 9"
                                  : "EmitAlongPath = 1, EmissionRate = 100, EmissionAngle = 0, "
                                    "LifeTime = 2");
        e->ExtrasOn = HasExtras(*e);
        float ax = 0.0f;
        int32_t a = 1000, due = 1000, born = 0;
        for (int32_t n = 0; n < 200; ++n) {
            const uint32_t ms = std::array<uint32_t, 8>{16, 17, 33, 1, 50, 0, 16, 250}[n % 8];
            t.clock.Advance(ms);
            const int32_t b = t.Now();
            if (n == 0) a = b;
            const float bx = ax + static_cast<float>(n % 5) * 12.5f;
            e->PositionX = bx;
            const int32_t before = e->Particles.Count();
            EmitDueParticles(t.engine, *e, b);
            for (int32_t i = before; i < e->Particles.Count(); ++i) {
                const Particle& p = e->Particles.First()[i];
                if (byDistance) {
                    ++born;
                    const float along = 10.0f * static_cast<float>(born);
                    ASSERT_NEAR(p.X, along, 0.01f) << n;
                    const float m = static_cast<float>(a) + (along - ax) / (bx - ax) * (b - a);
                    ASSERT_NEAR(static_cast<float>(p.DeathTime - 9000), m, 1.0f) << n;
                    continue;
                }
                const int32_t m = std::clamp(due, a, b);
                due += 10;
                const float f = b == a ? 1.0f : static_cast<float>(m - a) / (b - a);
                const float back = static_cast<float>(m - a) * 0.001f;
                ASSERT_EQ(p.X, (ax + (bx - ax) * f) - 100.0f * back) << n;
                ASSERT_TRUE(p.Y == 50.0f && p.DeathTime == m + 2000) << n;
            }
            if (!byDistance) {
                ASSERT_TRUE(b <= due && due < b + 10) << n;
            }
            ax = bx, a = b;
        }
        EXPECT_NEAR(born, byDistance ? ax / 10.0f : 0.0f, 1.0f);
    }
}

// The byte-wise shortcut of AllDefault against the field-by-field comparison it stands for: the
// defaults, a -0 where 0 is (equal, though its bytes differ), a NaN, the first and last fields
// changed, a curve's key past its count, and the motion record on its own.
TEST(Extras, AllDefaultAgreesWithTheFieldComparison) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<std::function<void(ExtraParams&)>> changes = {
        [](ExtraParams&) {},
        [](ExtraParams& x) { x.Drag = -0.0f; },
        [&](ExtraParams& x) { x.Drag = nan; },
        [](ExtraParams& x) { x.Colour[0] = 254.0f; },
        [](ExtraParams& x) { x.BirthOffsetY.Step = 1.0f; },
        [](ExtraParams& x) { x.SizeOverLife.Time[kMaxLifeKeys - 1] = 0.5f; },
        [](ExtraParams& x) { x.Motion.EndColour.Value[3] = -0.0f; },
        [](ExtraParams& x) { x.Motion.OrbitSpin.Spec.Max = 2.0f; },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        ExtraParams x;
        changes[i](x);
        EXPECT_EQ(AllDefault(x), x == ExtraParams{}) << "change " << i;
        EXPECT_EQ(AllDefault(x.Motion), x.Motion == MotionParams{}) << "change " << i;
    }
}

}  // namespace
}  // namespace pp
