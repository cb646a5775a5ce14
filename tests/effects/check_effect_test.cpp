// check's warnings on what the loader ends with after a whole Extends chain, through files
// on disk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "effects/check.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

using testing::InFolder;
using testing::TempDir;

// What the loader ends with after the whole Extends chain: effects that can never show or ask
// for more than the player does, each reported once at the key that set the value.
struct EffectRow {
    const char* Name;
    std::string Base;      // written as base.txt when not empty
    std::string Top;       // written as top.txt and checked
    std::string Expected;  // the one finding, or empty for none
};

void PrintTo(const EffectRow& row, std::ostream* os) {
    *os << row.Name;
}

class CheckEffect : public ::testing::TestWithParam<EffectRow> {};

TEST_P(CheckEffect, WarnsAtTheKeyThatSetTheValue) {
    TempDir dir;
    InFolder in(dir.Path());
    if (!GetParam().Base.empty()) dir.Write("base.txt", GetParam().Base);
    dir.Write("top.txt", GetParam().Top);
    std::string found;
    for (const CheckFinding& f : CheckEffectFiles(std::vector<std::string>{"top.txt"})) {
        found += (found.empty() ? "" : "\n") + FormatFinding(f);
    }
    EXPECT_EQ(found, GetParam().Expected);
}

const std::string kNoShow = ": every particle is removed at its first update, so nothing shows";

const EffectRow kEffectRows[] = {
    {"TransparencyNeverReachesOne", "", "Size = 8,\nTransparency = {Min = 0, Max = 0.5}",
     "top.txt:2:1: warning: Transparency is at most 0.5, never reaching 1" + kNoShow},
    {"SizeBelowOnePixel", "", "Size = {Value = 0.5, Blur = 0.25}",
     "top.txt:1:1: warning: Size is at most 0.75, below one pixel" + kNoShow},
    // Growth or a fade-in can lift a particle over the floor in the update that bears it, and
    // Min above Max draws outside the range.
    {"SizeBelowOnePixelButGrowing", "", "Size = 0.5, Raise = 100", ""},
    {"TransparencyBelowOneButFadingIn", "", "Transparency = 0.5, Fade = 300", ""},
    {"SizeMinAboveMax", "", "Size = {Min = 0.5, Max = 0.25}",
     "top.txt:1:26: Max 0.25 is below Min 0.5: swap them"},
    {"LifeTimeZero", "", "LifeTime = 0",
     "top.txt:1:1: warning: LifeTime is at most 0 seconds: a particle is gone by the frame "
     "after its birth, so at most a flicker shows"},
    {"RateNotAboveZero", "", "EmissionRate = {Min = -5, Max = 0}",
     "top.txt:1:1: warning: EmissionRate is at most 0 per second, which the player reads as "
     "its fastest rate: one particle per millisecond (1000 per second); write a rate above 0"},
    {"RateAboveTheCap", "", "EmissionRate = 2000",
     "top.txt:1:1: warning: EmissionRate up to 2000 per second is more than the player emits: "
     "at most one particle per millisecond (1000 per second)"},
    {"RateAtTheCap", "", "EmissionRate = 1000", ""},
    {"Disabled", "", "Disable = 1",
     "top.txt:1:1: warning: 'Disable = 1' switches the emitter off: it never emits, so "
     "nothing shows"},
    {"FarOffTheScreen", "", "EmitterPosition = {3000, 300}",
     "top.txt:1:1: warning: the emitter at (3000, 300) is more than a screen away from the "
     "800x600 screen, so its particles are never seen"},
    {"AreaReachingBackIsSeen", "",
     "EmitterPosition = {-900, 300},\nEmitterArea = {Type = Line, Width = 200}", ""},
    {"FastSpin", "", "Rotation = {Value = 40, Blur = 5}",
     "top.txt:1:1: warning: Rotation turns a particle up to 45 degrees every frame, not every "
     "second, so how fast it spins follows the frame rate (2700 degrees per second at 60 "
     "frames)"},
    {"GentleSpinIsQuiet", "", "Rotation = {Value = -6, Blur = 3}", ""},
    {"SetInTheBase", "Size = 0.5", "Extends = base.txt,\nFade = -10",
     "base.txt:1:1: warning: Size is at most 0.5, below one pixel" + kNoShow},
    {"OverriddenByTheTop", "Size = 0.5", "Extends = base.txt,\nSize = 10", ""},
    {"ValueThatIsNoNumberOnlyNamesTheCause", "", "Size = small",
     "top.txt:1:8: 'small' is not a number: read as 0"},
    {"NoSwapAdviceAfterANonNumber", "", "Size = {Min = 1, Max = two}",
     "top.txt:1:24: 'two' is not a number: read as 0"},
    {"EmptyFile", "", "\r\n , ,\n",
     "top.txt:1:1: warning: the file is empty: it sets nothing, so the emitter keeps every "
     "default"},
    {"EmptyBase", " ", "Extends = base.txt",
     "base.txt:1:1: warning: the file is empty: it sets nothing, so the emitter keeps every "
     "default"},
};

INSTANTIATE_TEST_SUITE_P(Table, CheckEffect, ::testing::ValuesIn(kEffectRows),
                         [](const ::testing::TestParamInfo<EffectRow>& info) {
                             return std::string(info.param.Name);
                         });

TEST(Check, WarningFromASharedBaseIsReportedOnce) {
    TempDir dir;
    InFolder in(dir.Path());
    dir.Write("base.txt", "Disable = 1");
    dir.Write("a.txt", "Extends = base.txt");
    dir.Write("b.txt", "Extends = base.txt");
    const std::vector<CheckFinding> findings =
        CheckEffectFiles(std::vector<std::string>{"a.txt", "b.txt"});
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(FormatFinding(findings[0]),
              "base.txt:1:1: warning: 'Disable = 1' switches the emitter off: it never emits, so "
              "nothing shows");
}

}  // namespace
}  // namespace pp
