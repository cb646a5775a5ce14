#include "runtime/clock.h"

#include <gtest/gtest.h>

namespace pp {
namespace {

TEST(Clock, RealClockNeverReadsZeroAndNeverGoesBack) {
    RealClock clock;
    uint32_t previous = clock.Now();
    EXPECT_NE(previous, 0u);
    for (int i = 0; i < 1000; ++i) {
        uint32_t now = clock.Now();
        ASSERT_GE(now, previous);
        previous = now;
    }
}

TEST(Clock, VirtualClockReadsWhatWasSetAndWraps) {
    VirtualClock clock;
    EXPECT_EQ(clock.Now(), 1000u);
    clock.Set(42);
    EXPECT_EQ(clock.Now(), 42u);
    clock.Set(0xFFFFFFF0u);
    clock.Advance(0x20);
    EXPECT_EQ(clock.Now(), 0x10u);
    MillisecondClock& base = clock;
    EXPECT_EQ(base.Now(), 0x10u);
}

}  // namespace
}  // namespace pp
