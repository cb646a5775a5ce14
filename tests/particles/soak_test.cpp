// Soak: the player's four effects run for a simulated day on the virtual clock at coarse frame
// steps, headless. The live particle counts must stay in their bands the whole time and the
// arrays of the particle lists must not grow. Named Soak so that it can be filtered out
// (--gtest_filter=-Soak.* or ctest -E Soak) when a quick run is wanted.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "effects/loader.h"
#include "engine_test_util.h"
#include "particles/particles.h"

namespace pp {
namespace {

struct SceneFile {
    const char* Effect;
    int32_t X, Y;
};

// The player's effects in their load order and places.
constexpr SceneFile kScene[] = {
    {"Data\\Sternchen.txt", 100, 200},
    {"Data\\Feuer.txt", 600, 500},
    {"Data\\Energie.txt", 200, 400},
    {"Data\\Luftblase.txt", 600, 300},
};
constexpr int kEffects = 4;

// Effect files name their parents relative to the working directory, as the player runs.
class InSourceDir {
  public:
    InSourceDir() {
        if (getcwd(old_, sizeof old_) == nullptr) old_[0] = '\0';
        if (chdir(PP_SOURCE_DIR) != 0) ADD_FAILURE() << "cannot enter " << PP_SOURCE_DIR;
    }
    ~InSourceDir() {
        if (old_[0] != '\0' && chdir(old_) != 0) ADD_FAILURE() << "cannot return to " << old_;
    }
    InSourceDir(const InSourceDir&) = delete;
    InSourceDir& operator=(const InSourceDir&) = delete;

  private:
    char old_[4096];
};

struct Band {
    int32_t Low, High;
};

// Live particles per effect once running, from rate times lifetime with room for chance:
// Sternchen about 70/s for 0.5..2 s (fading at 110/s), Feuer about 130/s for 0.75..1.75 s
// (shrinking at 22 px/s), Energie 30..90/s for under 1.5 s, Luftblase 9/s for 2..4 s.
constexpr Band kBands[kEffects] = {{40, 125}, {100, 200}, {20, 90}, {10, 50}};

// Coarse frames: 24 hours in 1.7 million updates. Sanitizer builds take the double step so
// that the run stays within a few minutes.
#if defined(__SANITIZE_ADDRESS__)
constexpr uint32_t kStepMs = 100;
#else
constexpr uint32_t kStepMs = 50;
#endif
constexpr uint32_t kDayMs = 24u * 60u * 60u * 1000u;
constexpr uint32_t kWarmUpMs = 10u * 1000u;
constexpr uint32_t kHourMs = 60u * 60u * 1000u;

TEST(Soak, SceneRunsADayWithSteadyCountsAndPools) {
    InSourceDir inSource;
    TestEngine t(20240601u);
    Emitter* emitters[kEffects];
    for (int i = 0; i < kEffects; ++i) {
        emitters[i] = LoadEffect(t.engine, kScene[i].Effect, kScene[i].X, kScene[i].Y);
        ASSERT_NE(emitters[i], nullptr);
        SetSpriteRange(emitters[i], i + 1, -65535, 1);
    }

    int32_t low[kEffects];
    int32_t high[kEffects];
    int64_t sum[kEffects] = {};
    std::fill(low, low + kEffects, INT32_MAX);
    std::fill(high, high + kEffects, 0);
    // Array capacity per effect: the most in the first hour, and the most over the whole day.
    int32_t firstHourSlots[kEffects] = {};
    int32_t daySlots[kEffects] = {};
    int64_t sparseSamples = 0;
    int64_t samples = 0;

    for (uint32_t elapsed = kStepMs; elapsed <= kDayMs; elapsed += kStepMs) {
        t.clock.Advance(kStepMs);
        UpdateParticles(t.engine);
        if (elapsed < kWarmUpMs) continue;
        ++samples;
        for (int i = 0; i < kEffects; ++i) {
            const int32_t count = emitters[i]->Particles.Count();
            const int32_t slots = emitters[i]->Particles.Capacity();
            // After every update's removal pass: no more than 8/5 of the live records' bytes
            // beyond the smallest array.
            if (slots > RecordArray<Particle>::kMinCapacity &&
                static_cast<int64_t>(slots) * 5 > static_cast<int64_t>(count) * 8) {
                ++sparseSamples;
            }
            low[i] = std::min(low[i], count);
            high[i] = std::max(high[i], count);
            sum[i] += count;
            if (elapsed <= kHourMs) firstHourSlots[i] = std::max(firstHourSlots[i], slots);
            daySlots[i] = std::max(daySlots[i], slots);
        }
    }

    ASSERT_EQ(t.engine.Emitters.Count(), kEffects);
    for (int i = 0; i < kEffects; ++i) {
        std::printf("%-20s live %3d..%3d mean %6.1f, capacity %d in the first hour, %d all day\n",
                    kScene[i].Effect, low[i], high[i],
                    static_cast<double>(sum[i]) / static_cast<double>(samples), firstHourSlots[i],
                    daySlots[i]);
        EXPECT_GE(low[i], kBands[i].Low) << kScene[i].Effect;
        EXPECT_LE(high[i], kBands[i].High) << kScene[i].Effect;
        // Arrays follow their populations: later hours never need more than one growth step
        // (by half) beyond the busiest early moment, and never more than half again the most
        // particles alive at once (and a frame's births, which the array holds before that
        // frame's dead are removed).
        EXPECT_LE(daySlots[i], firstHourSlots[i] + firstHourSlots[i] / 2) << kScene[i].Effect;
        EXPECT_LE(daySlots[i], high[i] + high[i] / 2 + 16) << kScene[i].Effect;
    }
    EXPECT_EQ(sparseSamples, 0);
    // One pool block for the four emitters all day.
    EXPECT_EQ(t.engine.Emitters.Pool().BlockCount(), 1);
}

}  // namespace
}  // namespace pp
