// simulate --clock-start: the same effect, seed and frames started just before the clock passes
// 2^31 or wraps past 2^32 must give the particles of a run at the usual start, with only the
// clock readings (frame times and death times) moved by the difference.
#include <gtest/gtest.h>

#include <cstdint>
#include <regex>
#include <string>
#include <vector>

#include "tests/app/run_binary.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

using test::Lines;
using test::RunBinary;
using test::RunResult;

struct Frame {
    std::string number;
    uint32_t time = 0;
    std::string dt;
    std::vector<std::vector<std::string>> particles;  // fields as printed
};

const std::regex kFrameLine(
    R"(\{"frame": (\d+), "time": (-?\d+), "dt": ([-0-9.e]+), "particles": \[(.*)\]\})");
const std::regex kParticle(R"(\[([^\[\]]*)\])");

std::vector<std::string> Fields(const std::string& list) {
    std::vector<std::string> out;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = list.find(", ", from);
        out.push_back(list.substr(from, comma - from));
        if (comma == std::string::npos) return out;
        from = comma + 2;
    }
}

std::vector<Frame> ParseFrames(const std::string& out) {
    std::vector<Frame> frames;
    for (const std::string& line : Lines(out)) {
        std::smatch m;
        if (!std::regex_match(line, m, kFrameLine)) {
            ADD_FAILURE() << "not a frame line: " << line;
            continue;
        }
        Frame f;
        f.number = m[1];
        f.time = static_cast<uint32_t>(std::stoll(m[2]));
        f.dt = m[3];
        const std::string list = m[4];
        for (auto it = std::sregex_iterator(list.begin(), list.end(), kParticle);
             it != std::sregex_iterator(); ++it) {
            f.particles.push_back(Fields((*it)[1]));
        }
        frames.push_back(std::move(f));
    }
    return frames;
}

class SimulateClockStart : public ::testing::Test {
  protected:
    testing::TempDir dir_;
};

TEST_F(SimulateClockStart, RunsAcross2To31And2To32LikeARunAtTheUsualStart) {
    const std::string file = dir_.Write(
        "e.txt",
        "EmitterArea = {Type = Circle, Width = 40}, EmissionRate = {Min = 50, Max = 150, "
        "Inc = 25}, LifeTime = {Min = 0.2, Max = 0.6, Inc = 0.1}, Raise = -5, Fade = -100");
    const std::vector<std::string> args = {"simulate",   file, "--seed",  "7",  "--frames", "90",
                                           "--frame-ms", "16", "--print", "all"};
    const RunResult base = RunBinary(args);
    ASSERT_EQ(base.Status, 0) << base.Err;
    const std::vector<Frame> expected = ParseFrames(base.Out);
    ASSERT_EQ(expected.size(), 90u);

    // 648 ms before 2^31, 496 ms before 2^32 (so frame 31 reads exactly 0).
    for (const uint32_t start : {2147483000u, 4294966800u}) {
        std::vector<std::string> moved = args;
        moved.insert(moved.end(), {"--clock-start", std::to_string(start)});
        const RunResult r = RunBinary(moved);
        ASSERT_EQ(r.Status, 0) << r.Err;
        const std::vector<Frame> frames = ParseFrames(r.Out);
        ASSERT_EQ(frames.size(), expected.size());
        const uint32_t shift = start - 1000u;
        int alive = 0;
        for (std::size_t k = 0; k < frames.size(); ++k) {
            const Frame& a = expected[k];
            const Frame& b = frames[k];
            SCOPED_TRACE("start " + std::to_string(start) + ", frame " + a.number);
            EXPECT_EQ(b.time, a.time + shift);
            EXPECT_EQ(b.dt, a.dt);
            ASSERT_EQ(b.particles.size(), a.particles.size());
            for (std::size_t i = 0; i < a.particles.size(); ++i) {
                std::vector<std::string> want = a.particles[i];
                ASSERT_EQ(want.size(), 10u);
                // DeathTime is a signed reading; it moves with the clock, wrapping.
                const auto death = static_cast<uint32_t>(std::stoll(want[7])) + shift;
                want[7] = std::to_string(static_cast<int32_t>(death));
                EXPECT_EQ(b.particles[i], want);
            }
            alive += static_cast<int>(a.particles.size());
        }
        EXPECT_GT(alive, 500);
    }
}

TEST_F(SimulateClockStart, TakesSignedAndUnsignedReadingsOnly) {
    const std::string file = dir_.Write("e.txt", "Disable = 1");
    // -1 and 4294967295 are the same reading.
    for (const char* top : {"4294967295", "-1"}) {
        const RunResult r = RunBinary({"simulate", file, "--clock-start", top});
        EXPECT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(r.Out, "{\"frame\": 1, \"time\": 15, \"dt\": 0, \"particles\": []}\n");
    }
    for (const char* bad : {"-2147483649", "4294967296", "1e3", ""}) {
        const RunResult r = RunBinary({"simulate", file, "--clock-start", bad});
        EXPECT_EQ(r.Status, 2) << bad;
        EXPECT_NE(r.Err.find("--clock-start"), std::string::npos) << r.Err;
    }
}

}  // namespace
}  // namespace pp
