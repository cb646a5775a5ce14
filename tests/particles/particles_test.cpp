// The engine: emitters, triples, emission, the update (also on worker threads), the clock wrap,
// the golden hash.
#include "particles/particles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <ranges>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "effects/loader.h"
#include "engine_test_util.h"
#include "runtime/convert.h"
#include "runtime/cpu_path.h"
#include "runtime/worker_pool.h"
#include "tests/particles/params_test_util.h"
#include "tests/runtime/cpu_path_helpers.h"

namespace pp {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Defaults (from zero, none taken from the record), Max -65535 = Min, steps <= 0 = 1.
TEST(Emitter, DefaultsAndSettingRules) {
    TestEngine t;
    EmitterParams expected = ZeroParams();
    expected.PositionX = 100.0f, expected.PositionY = -200.0f;
    expected.EmissionAngle = {0, 359, 1}, expected.EmissionVelocity = {100, 100, 1};
    expected.LifeTime = {3, 3, 1}, expected.EmissionRate = {100, 100, 1};
    expected.Size = {32, 32, 1}, expected.Transparency = {255, 255, 1};
    expected.BlendSource = 5, expected.BlendDestination = 6;
    expected.Extras.Colour = {255.0f, 255.0f, 255.0f};
    expected.Extras.SpriteSheet.Columns = 1, expected.Extras.SpriteSheet.Rows = 1;
    expected.Extras.OnBirth.Effect = -1, expected.Extras.OnDeath.Effect = -1;
    expected.Extras.Turbulence.Scale = 100, expected.Extras.Turbulence.Speed = 1;
    expected.Extras.OnCollide.Effect = -1;
    for (CollideLine& l : expected.Extras.Collide.Lines) l.Bounce = 1.0f;
    expected.Extras.Trail.Fade = 1.0f;
    expected.Extras.Stretch.Max = 1000.0f;
    expected.SpriteFile = -1;
    EXPECT_EQ(CreateEmitter(t.engine, 100, -200)->Params(), expected);
    const ValueSpec in[] = {
        {5, -65535, 0}, {5, 7, -2}, {0, 1, kNaN}, {-65535, -65535, 3}, {5, -65534.99f, 1}};
    const ValueSpec want[] = {
        {5, 5, 1}, {5, 7, 1}, {0, 1, 1}, {-65535, -65535, 3}, {5, -65534.99f, 1}};
    for (size_t i = 0; i < std::size(in); ++i) {
        ValueSpec spec{};
        SetValueSpec(spec, in[i].Min, in[i].Max, in[i].Inc);
        EXPECT_EQ(spec, want[i]) << i;
    }
}

// Min plus whole steps up to Max (counted in float); one generator step each, hostile ones too.
TEST(Emitter, TriplesYieldWholeStepsFromMinAndTakeOneStepEach) {
    const struct {
        ValueSpec spec;
        int32_t count;
    } rows[] = {{{0, 10, 3}, 4},   {{1.5f, 2.5f, 0.5f}, 3}, {{7, 7, 3}, 1},
                {{7, 9, 5}, 1},    {{0, 0, 0}, 1},          {{0, 1, 0.1f}, 11},
                {{kNaN, 1, 1}, 0}, {{0, kInf, 1}, 0},       {{5, -5, 1}, 0},
                {{0, 1, kNaN}, 0}, {{0, 1e30f, 1e-30f}, 0}, {{0, 3e9f, 1}, 0}};
    TestEngine t;
    for (const auto& r : rows) {
        std::set<float> seen, expected;
        for (int i = 0; i < (r.count > 0 ? 2000 : 10); ++i) {
            RandomGenerator twin = t.engine.Random;
            seen.insert(SampleValueSpec(t.engine, r.spec));
            RandomInt(twin, -1);
            ASSERT_EQ(RandomInt(twin, -1), RandomInt(t.engine.Random, -1));
        }
        for (int32_t k = 0; k < r.count; ++k) expected.insert(r.spec.Min + float(k) * r.spec.Inc);
        EXPECT_TRUE(r.count == 0 || seen == expected) << r.spec.Min << " " << r.spec.Max;
    }
}

// 1000 / rate rounded half to even in 1..2^30 ms; a second's backlog at most; resume is calm.
TEST(Emission, IntervalsBacklogAndResume) {
    const struct {
        float rate;
        int32_t interval;
    } rows[] = {{100, 10}, {3, 333},  {600, 2},  {400, 2},         {1500, 1},
                {0, 1},    {kNaN, 1}, {kInf, 1}, {1e-30f, 1 << 30}};
    for (const auto& r : rows) {
        TestEngine t;
        Emitter* e = CreateEmitter(t.engine, 0, 0);
        SetValueSpec(e->EmissionRate, r.rate, kSameAsMin<float>, 1.0f);
        t.Step(1);
        EXPECT_EQ(e->Particles.Count(), 1);
        EXPECT_EQ(e->NextEmission, 1000 + r.interval) << r.rate;
    }
    TestEngine t;
    Emitter* e = CreateEmitter(t.engine, 0, 0);
    t.Step(5000);
    EXPECT_EQ(e->Particles.Count(), 100);
    // Disabled past the last particle's death, then enabled: one birth, no backlog.
    e->Disable = 1, t.Step(3100), e->Disable = 0, t.Step(10);
    EXPECT_EQ(e->Particles.Count(), 1);
}

bool Finite(const Particle& p) {
    const float fields[] = {p.Size,         p.X,     p.Y,           p.VelocityX, p.VelocityY,
                            p.Transparency, p.Angle, p.RotationStep};
    return std::ranges::all_of(fields, [](float f) { return std::isfinite(f); });
}

// The update as plainly written, with the death rule.
bool PlainAdvance(Particle& p, float dt, const Emitter& e, int32_t now) {
    const float vx = p.VelocityX, vy = p.VelocityY;
    p.X = p.X + dt * vx, p.Y = p.Y + dt * vy;
    p.VelocityX = vx + dt * e.AccelerationX, p.VelocityY = vy + dt * e.AccelerationY;
    p.Size = p.Size + dt * e.Raise;
    p.Angle = p.Angle + p.RotationStep;
    p.Transparency = p.Transparency + dt * e.Fade;
    return ClockDiff(now, p.DeathTime) > 0 || p.Size < 1.0f || p.Transparency < 1.0f || !Finite(p);
}

// Mostly plain particles with one or two edge fields under ordinary and hostile motion, on
// every path.
void EdgeValuesOnePath();
TEST(Update, EdgeValuesGiveThePlainUpdateBitForBit) {
    OnEachCpuPath(AvailableCpuPaths(), EdgeValuesOnePath);
}

TEST(Update, PathsAreOnlyForcedWhereTheProcessorHasThem) {
    EXPECT_EQ(ActiveCpuPath(), BestCpuPath());
    EXPECT_TRUE(HasCpuPath(CpuPath::Scalar));
    EXPECT_EQ(HasCpuPath(CpuPath::Avx512), BestCpuPath() == CpuPath::Avx512);
    if (!HasCpuPath(CpuPath::Avx512)) {
        EXPECT_FALSE(ForceCpuPath(CpuPath::Avx512));
        EXPECT_EQ(ActiveCpuPath(), BestCpuPath());
    }
    for (const CpuPath path : {CpuPath::Scalar, CpuPath::Sse2, CpuPath::Avx2, CpuPath::Avx512}) {
        EXPECT_EQ(CpuPathNamed(CpuPathName(path)), path);
    }
    EXPECT_EQ(CpuPathNamed("AVX2"), std::nullopt);
    EXPECT_EQ(CpuPathNamed(""), std::nullopt);
}

void EdgeValuesOnePath() {
    const float floats[] = {
        0.0f,  -0.0f,  1.0f,  0.99999994f, 1.0000001f, 255.0f,
        -3.5f, 1e-40f, 1e30f, -1e30f,      3e38f,      -3e38f,
        kInf,  -kInf,  kNaN,  2e7f,        0.125f,     std::bit_cast<float>(0x7F800001u)};
    const int32_t ints[] = {0, 1, -1, INT32_MIN, INT32_MAX, 0x7FC00000, 0x00000001, 1000};
    const struct {
        float Ax, Ay, Raise, Fade;
    } motions[] = {{0, 10, 0, 0},
                   {-3, 50, -22, -110},
                   {1e38f, -1e38f, 3e38f, -3e38f},
                   {kInf, 0, -kInf, 0},
                   {0, kNaN, 0, kNaN}};
    std::mt19937 random(7);
    for (const uint32_t stepMs : {0u, 16u, 1000u}) {
        for (const auto& motion : motions) {
            SCOPED_TRACE(::testing::Message() << "step " << stepMs << " raise " << motion.Raise);
            TestEngine t;
            Emitter* e = CreateEmitter(t.engine, 0, 0);
            e->Disable = 1;
            UpdateParticles(t.engine);  // the first update sets LastUpdateTime
            e->AccelerationX = motion.Ax, e->AccelerationY = motion.Ay;
            e->Raise = motion.Raise, e->Fade = motion.Fade;
            const int32_t now = WrapAdd(t.Now(), static_cast<int32_t>(stepMs));
            const int32_t deaths[] = {now - 1, now, now + 1, INT32_MIN, INT32_MAX};
            std::vector<Particle> expected;
            for (int i = 0; i < 3000; ++i) {
                Particle p{ints[random() % 8], 32, 100, 200, 20, -5, 200, 1 << 30, 10, 2};
                float* fields[] = {&p.Size,      &p.X,           &p.Y,
                                   &p.VelocityX, &p.VelocityY,   &p.Transparency,
                                   &p.Angle,     &p.RotationStep};
                for (int k = static_cast<int>(random() % 3); k > 0; --k) {
                    *fields[random() % 8] = floats[random() % std::size(floats)];
                }
                if (random() % 4 == 0) p.DeathTime = deaths[random() % std::size(deaths)];
                *ListInsert(e->Particles) = p;  // each insert goes behind the last
                if (!PlainAdvance(p, static_cast<float>(stepMs) * 0.001f, *e, now)) {
                    expected.push_back(p);
                }
            }
            t.Step(stepMs);
            ASSERT_TRUE(SameBytes(ParticlesOf(*e), expected));
            EXPECT_TRUE(&motion >= motions + 2 || e->Particles.Count() > 1000);
        }
    }
}

// AutoRemove: stays in the update its last particles die in, goes in the next.
TEST(Update, AutoRemovedEmitterGoesOnceItsParticlesAreGone) {
    TestEngine t;
    Emitter* first = CreateEmitter(t.engine, 0, 0);
    Emitter* e = CreateEmitter(t.engine, 50, 60);
    Emitter* last = CreateEmitter(t.engine, 0, 0);
    SetValueSpec(e->LifeTime, 0.05f, kSameAsMin<float>, 1);
    e->AutoRemove = 1;
    t.Step(20), t.Step(20);
    e->Disable = 1;
    while (e->Particles.Count() > 0) t.Step(20);
    EXPECT_EQ(t.engine.Emitters.Count(), 3);
    t.Step(20);
    EXPECT_EQ(EmittersOf(t.engine), (std::vector<Emitter*>{first, last}));
}

// A particle a frame living 50 frames holds 51, through 2^31 and the wrap to 0 alike.
TEST(ClockWrap, EmissionLifetimeAndFrameTimeDoNotNoticeTheWrap) {
    const struct {
        uint32_t start, stepMs;
    } cases[] = {
        {0x80000000u - 1000u, 10}, {0u - 1000u, 10}, {0u - 1700u, 17}, {0x80000000u - 1700u, 17}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.start << " step " << c.stepMs);
        TestEngine t(5, c.start);
        Emitter* e = CreateEmitter(t.engine, 10, 20);
        const auto step = static_cast<float>(c.stepMs);
        SetValueSpec(e->EmissionRate, 1000.0f / step, kSameAsMin<float>, 1.0f);
        SetValueSpec(e->LifeTime, 50.0f * step / 1000.0f, kSameAsMin<float>, 1.0f);
        for (int frame = 1; frame <= 200; ++frame) {
            ASSERT_EQ(t.Step(c.stepMs), frame > 1 ? step * 0.001f : 0.0f) << frame;
            ASSERT_EQ(e->Particles.Count(), std::min(frame, 51)) << frame;
            if (frame <= 51) continue;
            ASSERT_EQ(e->Particles.First()->DeathTime, t.Now()) << frame;
            ASSERT_EQ(ClockDiff(e->Particles.Last()->DeathTime, t.Now()), 50 * int32_t(c.stepMs));
            ASSERT_EQ(e->NextEmission, t.Now()) << frame;
        }
    }
    TestEngine zero(5, 0u - 16u);  // the first update on the reading 0, the next measures its step
    EXPECT_TRUE(zero.Step(16) == 0.0f && zero.Step(16) == 0.016f);
}

// Every area shape and field, irregular frames with stalls: FNV-1a of all the numbers.
TEST(Determinism, SeededSceneHashesToTheRecordedValue) {
    TestEngine t(20240601u, 5000);
    const float widths[] = {0, 120, 50, 90, 100, 160}, heights[] = {0, 0, 0, 30, 0, 70};
    for (int32_t type = 0; type <= 5; ++type) {
        Emitter* e = CreateEmitter(t.engine, 100 + 110 * type, 300 - 20 * type);
        e->AreaType = type, e->AreaWidth = widths[type], e->AreaHeight = heights[type];
        e->AreaAngle = 0.35f * static_cast<float>(type);
        SetValueSpec(e->EmissionAngle, -30.0f + 10.0f * type, 210.0f, 7.5f);
        SetValueSpec(e->EmissionVelocity, 40, 180, 3.3f);
        SetValueSpec(e->LifeTime, 0.4f, 2.3f, 0.1f), SetSpriteRange(e, 1, 4, 1);
        SetValueSpec(e->EmissionRate, 20.0f + 45.0f * type, 400, 17);
        SetValueSpec(e->Size, 6, 48, 1.5f), SetValueSpec(e->Rotation, -4, 4, 0.5f);
        SetValueSpec(e->Transparency, 120, 255, 5);
        e->AccelerationX = 5.5f * type - 10.0f, e->AccelerationY = 98.1f;
        e->Raise = type % 2 == 0 ? -9.0f : 4.25f, e->Fade = -80.0f - 10.0f * type;
    }
    uint64_t h = 0xCBF29CE484222325ull;
    auto add = [&h](const void* data, size_t size) {
        for (size_t i = 0; i < size; ++i) {
            h = (h ^ static_cast<const unsigned char*>(data)[i]) * 0x100000001B3ull;
        }
    };
    const uint32_t steps[] = {16, 17, 16, 33, 5, 16, 1, 250, 16, 0, 16, 1200, 17};
    for (int u = 0; u < 400; ++u) {
        const float dt = t.Step(steps[u % std::size(steps)]);
        add(&dt, sizeof dt);
        for (Emitter* e : EmittersOf(t.engine)) {
            const int32_t head[] = {e->NextEmission, e->Particles.Count()};
            add(head, sizeof head);
            for (const Particle& p : ParticlesOf(*e)) add(&p, sizeof p);
        }
    }
    EXPECT_EQ(h, 0x98DE336466F46921ull) << "actual hash: 0x" << std::hex << h;
}

// Texts of overflowing sums, steps and bounds beyond 32 bits and huge areas, one per ';'.
constexpr std::string_view kLive =
    "EmitterPosition = {3e38, -3e38}, EmissionVelocity = 3e38;Size = 3e38, Raise = 3e38;"
    "Fade = 1e38;Rotation = 3e38;EmissionAngle = {Min = 359, Max = 0};EmissionAngle = {Min = 0, "
    "Max = 360, Inc = 1e-30};Sprite = {Min = -2147483648, Max = 2147483647};Sprite = {Value = "
    "$7FFFFFFF, Range = 10, Inc = -3};LifeTime = {Min = 1, Max = 1e38, Inc = 1e-38};EmitterArea "
    "= {Type = Circle, Width = 1e30};EmitterArea = {Type = Rectangle, Width = -1e9, Height = "
    "5e9, Angle = 45};EmitterArea = {Type = Ellipse, Width = 0, Height = 1e38}";

// Hostile texts run: finite particles, lifetimes held at 2^31 - 1 ms, huge triples in bounds.
TEST(HostileValues, UpdatesStayBoundedAndNoParticleKeepsANonFiniteState) {
    std::vector<std::string> rows = {"LifeTime = -1e999", "LifeTime = 1e999", "LifeTime = 1e30",
                                     "Size = {Min = 10, Max = 100, Inc = 1e-8}"};
    for (const auto part : std::views::split(kLive, ';'))
        rows.emplace_back(part.begin(), part.end());
    for (const std::string& text : rows) {
        SCOPED_TRACE(text);
        const bool dies = text == rows[0], lasts = text == rows[1] || text == rows[2];
        TestEngine t(7);
        Emitter* e = CreateEmitter(t.engine, 400, 300);
        LoadEffectText(t.engine, e, text);
        for (int u = 0; u < 100; ++u) {
            t.Step(16);
            ASSERT_TRUE(!dies || e->Particles.Count() == 0) << "update " << u;
        }
        EXPECT_EQ(e->Particles.Count() > 0, !dies);
        for (const Particle& p : ParticlesOf(*e)) {
            EXPECT_TRUE(Finite(p));
            EXPECT_TRUE(!lasts || ClockDiff(p.DeathTime, t.Now()) > INT32_MAX - 2000);
            EXPECT_TRUE(text != rows[3] || (p.Size >= 10 && p.Size <= 100));
        }
    }
    // A spawn that comes out non-finite still takes all its draws.
    TestEngine sane(11), hostile(11);
    Emitter* a = CreateEmitter(sane.engine, 100, 100);
    Emitter* b = CreateEmitter(hostile.engine, 100, 100);
    SetValueSpec(b->Size, kInf, kSameAsMin<float>, 1.0f);
    sane.Step(50), hostile.Step(50);
    EXPECT_EQ(std::pair(a->Particles.Count(), b->Particles.Count()), std::pair(5, 0));
    EXPECT_EQ(a->NextEmission, b->NextEmission);
    EXPECT_EQ(RandomInt(sane.engine.Random, -1), RandomInt(hostile.engine.Random, -1));
}

// Over 16384 plain particles in long and short lists (one long enough for the threads to cut
// it into chunks), beside sub-effects, bursts, drag, sheets, and long turbulent lists with
// trails, one of them attached.
Emitter* BuildCrowd(Engine& engine) {
    EmitterParams spark = DefaultParamsAt(0, 0), puff = DefaultParamsAt(0, 0);
    SetValueSpec(spark.LifeTime, 0.1f, 0.6f, 0.05f), SetValueSpec(spark.EmissionVelocity, 5, 60, 1);
    spark.Extras.OnDeath = {1, 2, 0};
    SetValueSpec(puff.LifeTime, 0.2f, 0.2f, 1);
    engine.SubEffects = {spark, puff};
    for (int32_t i = 0; i < 48; ++i) {
        Emitter* e = AddBusyEmitter(engine, i);
        if (i % 8 == 0) e->Fade = e->Raise = 0, SetValueSpec(e->LifeTime, 2, 4, 0.25f);
        if (i % 8 == 0) SetValueSpec(e->EmissionRate, 1000, 1000, 1);
        if (i == 8) SetValueSpec(e->LifeTime, 8, 9, 0.25f);  // a list long enough to be cut
        if (i % 6 == 1) e->Extras.OnDeath = {0, 1 + i % 4, 1}, e->Extras.Drag = 0.5f;
        if (i % 6 == 3) e->Extras.OnBirth = {1, 3, 0}, e->Extras.SpriteSheet = {2, 2, 4, 0, 1};
        if (i % 6 == 5) e->Extras.Burst = {400, 0.3f, 0};
        if (i % 16 == 0 && i > 0) {  // turbulent lists long enough for the threads to cut
            SetValueSpec(e->LifeTime, 8, 9, 0.25f);
            e->Extras.Turbulence = {60, 30, 2, i}, e->Extras.Trail.Points = 3;
            e->Extras.Attached = i == 32, e->Extras.Drag = 0.25f, e->Fade = -20;
            for (int32_t k = 0; k < 40000; ++k) SpawnParticle(engine, *e);
        }
    }
    // Every motion key, and a turbulent field under a cap that the threads read.
    const char* motions[] = {
        "EmissionRate = 200, RadialAcceleration = {Min = 40, Max = 90}, TangentialAcceleration = "
        "-30, Attached = 1, EndSize = 2, StartColourVariance = {9, 9, 9, 9}, MaxAlive = 150, "
        "Turbulence = {Strength = 50, Scale = 30}",
        "EmissionRate = 300, OrbitRadius = {Min = 5, Max = 25}, OrbitSpin = 120, AlignToMotion = "
        "1, EndAngle = 360, EndColour = {0, 0, 0, 0}",
        "Burst = {Count = 1000, Interval = 0.001}, LifeTime = 60, MaxAlive = 17000, "
        "Turbulence = {Strength = 90, Scale = 25, Speed = 4}"};
    for (int32_t i = 0; i < 17; ++i)
        LoadEffectText(engine, CreateEmitter(engine, 40.0f * i, 100), motions[i == 16 ? 2 : i % 2]);
    Emitter* dry = CreateEmitter(engine, 10, 10);  // removes itself once disabled and dry
    SetValueSpec(dry->LifeTime, 0.2f, 0.4f, 0.1f);
    dry->AutoRemove = 1;
    return dry;
}

// Every emitter's state that the update writes, as bytes.
std::vector<uint8_t> StateOf(Engine& engine) {
    std::vector<uint8_t> bytes;
    auto add = [&bytes](const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        if (n > 0) bytes.insert(bytes.end(), b, b + n);
    };
    for (Emitter* e : EmittersOf(engine)) {
        const Particle* cursor = e->Particles.Cursor();
        const int32_t fields[] = {e->AutoRemove, e->NextEmission, e->Particles.Count(),
                                  e->Life.Count(),
                                  cursor != nullptr ? int32_t(cursor - e->Particles.First()) : -1};
        add(fields, sizeof fields);
        add(e->Particles.First(), e->Particles.Count() * sizeof(Particle));
        add(e->Life.First(), e->Life.Count() * sizeof(ParticleLife));
        add(e->Motion.First(), e->Motion.Count() * sizeof(ParticleMotion));
        add(e->Trail.First(), e->Trail.Count() * sizeof(TrailPoint));
    }
    return bytes;
}

// The first run, on the plain path and no pool, is the reference. Every path runs with no
// pool and with two threads, the widest path with one, three and eight as well: where a list
// is cut depends on its length alone, so two threads already run every path's chunks, and the
// other counts change only which thread takes which chunk (the whole cross cost a sanitizer
// build ten minutes). -2 is two threads that take the machine for busy before each update (a
// job of sleeping tasks is slow for the time its thread worked), so that many updates run in
// one piece on the calling thread. The emitters move, which attached particles follow; the
// generator is part of the state.
TEST(Threads, UpdateIsTheSameOnOneTwoAndThreeThreads) {
    const uint32_t steps[] = {16, 50, 17, 33, 1, 250, 16, 0, 100, 1200, 40};
    std::vector<std::vector<uint8_t>> reference;
    for (const CpuPath path : AvailableCpuPaths()) {
        std::vector<int32_t> counts = {0, 2};
        if (path == BestCpuPath()) counts.insert(counts.end(), {1, 3, 8, -2});
        OnEachCpuPath({path}, [&] {
            for (const int32_t threads : counts) {
                TestEngine t(5, 2000);
                std::unique_ptr<WorkerPool> pool;
                if (threads != 0) pool = std::make_unique<WorkerPool>(std::abs(threads));
                t.engine.Workers = pool.get();
                Emitter* dry = BuildCrowd(t.engine);
                size_t most = 0;
                for (size_t u = 0; u < 40; ++u) {
                    if (u == 24) dry->Disable = 1;
                    for (Emitter* e : EmittersOf(t.engine)) e->PositionY += 1.5f;
                    if (threads < 0)
                        pool->Run(2, [](size_t) {
                            std::this_thread::sleep_for(std::chrono::milliseconds(1));
                        });
                    t.Step(steps[u % std::size(steps)]);
                    std::vector<uint8_t> state = StateOf(t.engine);
                    const int32_t draw = RandomInt(t.engine.Random, -1);
                    for (int shift = 0; shift < 32; shift += 8)
                        state.push_back(uint8_t(draw >> shift));
                    most = std::max(most, state.size());
                    if (reference.size() == u) reference.push_back(state);
                    ASSERT_TRUE(state == reference[u]) << threads << " threads, update " << u;
                }
                EXPECT_GT(most, 20000 * sizeof(Particle));
            }
        });
    }
}

}  // namespace
}  // namespace pp
