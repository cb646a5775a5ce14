// The millisecond clock passes 2^31 after 24.8 days and wraps to 0 after 49.7. The engine holds
// readings as int32 and compares signed differences, so neither moment may show: emission
// keeps its rate, particles live their lifetime, the frame time stays the frame step.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

#include "engine_test_util.h"
#include "particles/particles.h"
#include "runtime/convert.h"

namespace pp {
namespace {

struct WrapCase {
    const char* name;
    uint32_t start;   // clock reading while the emitter is created
    uint32_t stepMs;  // frame step
};

// Each case crosses its wrap after 100 frames; the 2^32 cases land one frame exactly on 0.
const WrapCase kCases[] = {
    {"Across2To31", 0x80000000u - 1000u, 10},
    {"Across2To32", 0u - 1000u, 10},
    {"Across2To32OddStep", 0u - 1700u, 17},
    {"Across2To31OddStep", 0x80000000u - 1700u, 17},
};

void PrintTo(const WrapCase& c, std::ostream* os) {
    *os << c.name;
}

class ClockWrap : public ::testing::TestWithParam<WrapCase> {};

// A point emitter with one particle per frame step and a lifetime of 50 steps: once steady,
// every frame spawns one particle and ends the oldest, and the list holds 51.
TEST_P(ClockWrap, EmissionLifetimeAndFrameTimeDoNotNoticeTheWrap) {
    const WrapCase& c = GetParam();
    TestEngine t(5, c.start);
    Emitter* e = CreateEmitter(t.engine, 10, 20);
    const auto step = static_cast<float>(c.stepMs);
    SetValueSpec(e->EmissionRate, 1000.0f / step, -65535.0f, 1.0f);
    const float lifeMs = 50.0f * step;
    SetValueSpec(e->LifeTime, lifeMs / 1000.0f, -65535.0f, 1.0f);

    const auto lifeWhole = static_cast<int32_t>(50 * c.stepMs);
    for (int frame = 1; frame <= 200; ++frame) {
        t.clock.Advance(c.stepMs);
        const int32_t before = e->Particles.Count();
        const float dt = UpdateParticles(t.engine);
        const auto now = static_cast<int32_t>(t.clock.Now());
        if (frame > 1) {
            ASSERT_EQ(dt, step * 0.001f) << "frame " << frame;
        }
        if (frame <= 51) {
            ASSERT_EQ(e->Particles.Count(), frame) << "frame " << frame;
            continue;
        }
        // Steady: one born, one gone, the oldest at the end of its life, the newest at its start.
        ASSERT_EQ(e->Particles.Count(), 51) << "frame " << frame;
        ASSERT_EQ(before, 51);
        ASSERT_EQ(ClockDiff(e->Particles.First()->DeathTime, now), 0) << "frame " << frame;
        ASSERT_EQ(ClockDiff(e->Particles.Last()->DeathTime, now), lifeWhole) << "frame " << frame;
        // The next particle is due at this very reading, so it is born in the next frame.
        ASSERT_EQ(e->NextEmission, now) << "frame " << frame;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ClockWrap, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<WrapCase>& info) {
                             return std::string(info.param.name);
                         });

// The very first update may fall on the reading 0 of a wrapped clock; the next one must still
// measure the step, not start over.
TEST(ClockWrapFirstUpdate, FirstUpdateAtReadingZeroStillGivesTheStepNext) {
    TestEngine t(5, 0u - 16u);
    CreateEmitter(t.engine, 0, 0);
    t.clock.Advance(16);
    ASSERT_EQ(t.clock.Now(), 0u);
    EXPECT_EQ(UpdateParticles(t.engine), 0.0f);
    t.clock.Advance(16);
    EXPECT_EQ(UpdateParticles(t.engine), 0.016f);
}

}  // namespace
}  // namespace pp
