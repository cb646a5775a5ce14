#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <string_view>
#include <vector>

#include "engine_test_util.h"
#include "particles/particles.h"
#include "tests/particles/params_test_util.h"

namespace pp {
namespace {

TEST(Emitter, CreationSetsEveryDefault) {
    TestEngine t;
    t.clock.Set(1234);
    Emitter* e = CreateEmitter(t.engine, 100, -200);
    ASSERT_NE(e, nullptr);
    // Written out in full from zero, so that no default is taken from the record itself.
    EmitterParams expected = ZeroParams();
    expected.PositionX = 100.0f;
    expected.PositionY = -200.0f;
    expected.EmissionAngle = {0.0f, 359.0f, 1.0f};
    expected.EmissionVelocity = {100.0f, 100.0f, 1.0f};
    expected.LifeTime = {3.0f, 3.0f, 1.0f};
    expected.EmissionRate = {100.0f, 100.0f, 1.0f};
    expected.Size = {32.0f, 32.0f, 1.0f};
    expected.Transparency = {255.0f, 255.0f, 1.0f};
    expected.BlendSource = 5;
    expected.BlendDestination = 6;
    EXPECT_EQ(e->Params(), expected);
    EXPECT_EQ(DefaultParamsAt(100, -200), expected);
    EXPECT_EQ(e->NextEmission, 1234);
    EXPECT_EQ(e->InheritedVelocity, nullptr);
    EXPECT_EQ(e->AngleOffset, 0.0f);
    EXPECT_EQ(e->Particles.Count(), 0);
    EXPECT_EQ(t.engine.Emitters.Cursor(), e);
}

// The field table drives inspect's output and the test printers: every field once, in record
// order (the names are checked by inspect's output).
TEST(Emitter, ParamFieldsCoverTheRecordInOrder) {
    EmitterParams params;
    const char* next = reinterpret_cast<const char*>(&params);
    std::set<std::string_view> names;
    VisitParamFields(params, [&](std::string_view name, const auto& value) {
        EXPECT_EQ(reinterpret_cast<const char*>(&value), next) << name;
        next = reinterpret_cast<const char*>(&value) + sizeof value;
        EXPECT_TRUE(names.insert(name).second) << name << " twice";
    });
    EXPECT_EQ(next, reinterpret_cast<const char*>(&params + 1));
}

TEST(Emitter, EmittersAreAppendedInCreationOrder) {
    TestEngine t;
    Emitter* a = CreateEmitter(t.engine, 1, 0);
    Emitter* b = CreateEmitter(t.engine, 2, 0);
    Emitter* c = CreateEmitter(t.engine, 3, 0);
    std::vector<Emitter*> order;
    ListRewind(t.engine.Emitters);
    while (Emitter* e = ListNext(t.engine.Emitters)) order.push_back(e);
    EXPECT_EQ(order, (std::vector<Emitter*>{a, b, c}));
}

TEST(Emitter, AreaTypesHoldTheSixNamesCaseSensitively) {
    TestEngine t;
    const char* names[] = {"Point", "Line", "Square", "Rectangle", "Circle", "Ellipse"};
    for (int32_t n = 0; n < 6; ++n) {
        ASSERT_NE(MapFind(t.engine.AreaTypes, names[n]), nullptr);
        EXPECT_EQ(*MapFind(t.engine.AreaTypes, names[n]), n);
    }
    EXPECT_EQ(MapFindOrAdd(t.engine.AreaTypes, "Circle"), 4);
    EXPECT_EQ(MapFindOrAdd(t.engine.AreaTypes, "circle"), 0);
    EXPECT_NE(MapFind(t.engine.AreaTypes, "circle"), nullptr);
}

struct SetRow {
    float min, max, inc;
    float wantMin, wantMax, wantInc;
};

class SetValueSpecTest : public ::testing::TestWithParam<SetRow> {};

TEST_P(SetValueSpecTest, AppliesTheSettingRule) {
    const SetRow& row = GetParam();
    ValueSpec spec{};
    SetValueSpec(spec, row.min, row.max, row.inc);
    EXPECT_EQ(spec.Min, row.wantMin);
    EXPECT_EQ(spec.Max, row.wantMax);
    EXPECT_EQ(spec.Inc, row.wantInc);
}

constexpr float kNaNf = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(Emitter, SetValueSpecTest,
                         ::testing::Values(SetRow{5, -65535, 0, 5, 5, 1}, SetRow{5, 7, -2, 5, 7, 1},
                                           SetRow{1, 2, 0.5f, 1, 2, 0.5f},
                                           SetRow{-65535, -65535, 3, -65535, -65535, 3},
                                           SetRow{5, -65534.99f, 1, 5, -65534.99f, 1},
                                           // A NaN step cannot be stored: Inc stays positive.
                                           SetRow{0, 1, kNaNf, 0, 1, 1}));

TEST(Emitter, IntSettingRuleAndSpriteRange) {
    TestEngine t;
    Emitter* e = CreateEmitter(t.engine, 0, 0);
    EXPECT_EQ(SetSpriteRange(e, 3, -65535, 1), 0);
    EXPECT_EQ(e->Sprite.Min, 3);
    EXPECT_EQ(e->Sprite.Max, 3);
    EXPECT_EQ(e->Sprite.Inc, 1);
    SetSpriteRange(e, 1, 4, 0);
    EXPECT_EQ(e->Sprite.Max, 4);
    EXPECT_EQ(e->Sprite.Inc, 1);
    for (int i = 0; i < 50; ++i) {
        SpawnParticle(t.engine, *e);
        int32_t s = e->Particles.Last()->Sprite;
        EXPECT_GE(s, 1);
        EXPECT_LE(s, 4);
    }
    EXPECT_EQ(SetSpriteRange(nullptr, 1, 1, 1), 0);
}

TEST(Emitter, SetDisableDiscardsParticlesOnlyWhenDisablingAnEnabledEmitterWithOne) {
    TestEngine t;
    Emitter* e = CreateEmitter(t.engine, 0, 0);
    auto spawn = [&] {
        for (int i = 0; i < 5; ++i) SpawnParticle(t.engine, *e);
    };
    spawn();
    EXPECT_EQ(SetDisable(e, 2, 1), 0);  // value 2: kept
    EXPECT_EQ(e->Disable, 2);
    EXPECT_EQ(e->Particles.Count(), 5);
    SetDisable(e, 1, 1);  // already disabled: kept
    EXPECT_EQ(e->Particles.Count(), 5);
    SetDisable(e, 0, 1);  // enabling: kept
    EXPECT_EQ(e->Disable, 0);
    EXPECT_EQ(e->Particles.Count(), 5);
    SetDisable(e, 1, 0);  // no discard asked
    EXPECT_EQ(e->Particles.Count(), 5);
    SetDisable(e, 0, 0);
    SetDisable(e, 1, 1);
    EXPECT_EQ(e->Disable, 1);
    EXPECT_EQ(e->Particles.Count(), 0);
    EXPECT_EQ(e->Particles.BytesHeld(), 0u);  // the array went back to the heap
    spawn();                                  // the list stays usable
    EXPECT_EQ(e->Particles.Count(), 5);
}

// The set of values a triple yields over many draws, with their counts.
std::map<float, int> Sample(Engine& engine, ValueSpec spec, int draws) {
    std::map<float, int> counts;
    for (int i = 0; i < draws; ++i) ++counts[SampleValueSpec(engine, spec)];
    return counts;
}

std::set<float> Keys(const std::map<float, int>& counts) {
    std::set<float> keys;
    for (const auto& [value, count] : counts) keys.insert(value);
    return keys;
}

TEST(Sampling, ZeroTenThreeYieldsFourValuesEquallyOften) {
    TestEngine t;
    auto counts = Sample(t.engine, {0, 10, 3}, 40000);
    EXPECT_EQ(Keys(counts), (std::set<float>{0, 3, 6, 9}));
    for (const auto& [value, count] : counts) {
        EXPECT_NEAR(count, 10000, 500) << value;
    }
}

TEST(Sampling, DefaultEmissionAngleYieldsTheWholeDegrees) {
    TestEngine t;
    std::set<float> keys = Keys(Sample(t.engine, {0, 359, 1}, 20000));
    EXPECT_EQ(keys.size(), 360u);
    EXPECT_EQ(*keys.begin(), 0.0f);
    EXPECT_EQ(*keys.rbegin(), 359.0f);
}

TEST(Sampling, HalfStepsIncludeBothEnds) {
    TestEngine t;
    EXPECT_EQ(Keys(Sample(t.engine, {1.5f, 2.5f, 0.5f}, 1000)),
              (std::set<float>{1.5f, 2.0f, 2.5f}));
}

// In float 1 / 0.1 is exactly 10, so the triple reaches 1.0 (in double it would stop at 0.9).
TEST(Sampling, TenthStepsYieldElevenValuesUpToOne) {
    TestEngine t;
    std::set<float> keys = Keys(Sample(t.engine, {0, 1, 0.1f}, 5000));
    std::set<float> expected;
    for (int k = 0; k <= 10; ++k) expected.insert(static_cast<float>(k) * 0.1f);
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(keys.count(1.0f), 1u);
}

TEST(Sampling, DegenerateTriplesYieldMin) {
    TestEngine t;
    EXPECT_EQ(Keys(Sample(t.engine, {7, 7, 3}, 100)), (std::set<float>{7}));
    EXPECT_EQ(Keys(Sample(t.engine, {7, 9, 5}, 100)), (std::set<float>{7}));
}

// The all-zero defaults of Rotation and Sprite give 0 and still take one generator step.
TEST(Sampling, AllZeroDefaultsYieldZeroAndConsumeOneStep) {
    TestEngine t;
    RandomGenerator twin = t.engine.Random;
    EXPECT_EQ(SampleValueSpec(t.engine, ValueSpec{0, 0, 0}), 0.0f);
    EXPECT_EQ(SampleValueSpec(t.engine, IntValueSpec{0, 0, 0}), 0);
    RandomInt(twin, 0);
    RandomInt(twin, 0);
    EXPECT_EQ(RandomInt(t.engine.Random, -1), RandomInt(twin, -1));
}

TEST(Sampling, IntTripleYieldsStepsFromMin) {
    TestEngine t;
    std::set<int32_t> seen;
    for (int i = 0; i < 2000; ++i) seen.insert(SampleValueSpec(t.engine, IntValueSpec{-3, 9, 4}));
    EXPECT_EQ(seen, (std::set<int32_t>{-3, 1, 5, 9}));
}

// Hostile triples (from a malformed effect file) give some value, one step each, and no
// undefined behaviour; the sanitizer build checks the latter.
TEST(Sampling, NonFiniteAndExtremeTriplesAreDefined) {
    TestEngine t;
    constexpr float inf = std::numeric_limits<float>::infinity();
    const ValueSpec specs[] = {{kNaNf, 1, 1},      {0, kNaNf, 1}, {0, inf, 1}, {-inf, inf, 1},
                               {0, 1e30f, 1e-30f}, {0, 1, kNaNf}, {5, -5, 1},  {0, 3e9f, 1}};
    for (const ValueSpec& s : specs) {
        RandomGenerator twin = t.engine.Random;
        SampleValueSpec(t.engine, s);
        RandomInt(twin, -1);
        EXPECT_EQ(RandomInt(t.engine.Random, -1), RandomInt(twin, -1));
    }
    const IntValueSpec ints[] = {{INT32_MIN, INT32_MAX, 1},
                                 {INT32_MAX, INT32_MIN, 1},
                                 {INT32_MAX, INT32_MAX, INT32_MAX},
                                 {0, 100, INT32_MIN}};
    for (const IntValueSpec& s : ints) SampleValueSpec(t.engine, s);
}

}  // namespace
}  // namespace pp
