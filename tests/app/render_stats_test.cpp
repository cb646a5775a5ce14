// particleplayer render --stats and --stress end to end: timing changes no pixel, the table
// has its rows, the scale scene keeps about the asked number of particles alive, and bad
// arguments or a missing effect file end with one line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/app/render_run.h"

namespace pp {
namespace {

using test::FrameName;
using test::Lines;
using test::RunOptions;
using test::RunResult;
using test::Slurp;

class RenderStats : public test::RenderRun {
  protected:
    // The number after "NAME" in the stats line that starts with it, or -1.
    static double Median(const std::string& err, const std::string& row) {
        for (const std::string& line : Lines(err)) {
            if (line.rfind("  " + row, 0) != 0) continue;
            // Columns: min, median, p95, max.
            const char* p = line.c_str() + 2 + row.size();
            char* end = nullptr;
            std::strtod(p, &end);
            return std::strtod(end, nullptr);
        }
        return -1.0;
    }
};

TEST_F(RenderStats, TimingChangesNoPixelAndPrintsEveryRow) {
    RunResult plain = Render({"--frames", "12", "--seed", "4", "--out", Out("plain")});
    ASSERT_EQ(plain.Status, 0) << plain.Err;
    RunResult timed = Render(
        {"--frames", "12", "--seed", "4", "--stats", "--threads", "2", "--out", Out("timed")});
    ASSERT_EQ(timed.Status, 0) << timed.Err;
    for (int frame = 1; frame <= 12; ++frame) {
        const std::string name = FrameName(frame);
        const std::string a = Slurp(dir_.Path() / "plain" / name);
        ASSERT_FALSE(a.empty()) << name;
        EXPECT_EQ(a, Slurp(dir_.Path() / "timed" / name)) << name;
    }
    EXPECT_EQ(plain.Err.find("per frame"), std::string::npos) << "stats only when asked";
    for (const char* row : {"update", "draw submission", "GL draw calls", "present",
                            "read back, PNG", "whole frame"}) {
        EXPECT_GE(Median(timed.Err, row), 0.0) << row << " in\n" << timed.Err;
    }
    EXPECT_NE(timed.Err.find("particleplayer render: 12 frames,"), std::string::npos) << timed.Err;
    EXPECT_NE(timed.Err.find("start-up: first frame shown "), std::string::npos) << timed.Err;
    // Work shared with another thread is timed by the clock on the wall.
    EXPECT_NE(timed.Err.find("wall time, 2 threads"), std::string::npos) << timed.Err;
}

// 20000 asked: ten emitters of 1000 particles a second living 1 to 3 seconds. After the warm-up
// the live count (the quads drawn, beside the scene's few hundred) stays near it.
TEST_F(RenderStats, StressKeepsAboutTheAskedNumberAlive) {
    const RunResult r = Render(
        {"--stress", "20000", "--frames", "5", "--seed", "8", "--stats", "--out", Out("s.png")});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const std::string marker = "particleplayer render: 5 frames, ";
    const size_t at = r.Err.find(marker);
    ASSERT_NE(at, std::string::npos) << r.Err;
    const double drawn = std::strtod(r.Err.c_str() + at + marker.size(), nullptr);
    EXPECT_GT(drawn, 18000.0) << r.Err;
    EXPECT_LT(drawn, 23000.0) << r.Err;
    EXPECT_NE(r.Err.find("3000 ms of warm-up updates"), std::string::npos) << r.Err;
    // The same run again draws the same last frame.
    ASSERT_EQ(
        Render({"--stress", "20000", "--frames", "5", "--seed", "8", "--out", Out("t.png")}).Status,
        0);
    EXPECT_EQ(Slurp(Out("s.png")), Slurp(Out("t.png")));
}

TEST_F(RenderStats, BadStressOrStatsArgumentsEndWithOneLine) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--stress", "0"},
                                                 {"--stress", "4000001"},
                                                 {"--stress", "x"},
                                                 {"--stress"},
                                                 {"--stats=yes"}}) {
        std::vector<std::string> all = args;
        all.push_back("--out");
        all.push_back(Out("x.png"));
        const RunResult r = Render(all);
        EXPECT_EQ(r.Status, 2) << args.front();
        EXPECT_EQ(Lines(r.Err).size(), 1u) << r.Err;
    }
}

TEST_F(RenderStats, StressWithoutItsEffectFileFailsWithOneLine) {
    RunOptions emptyFolder;
    emptyFolder.WorkingDir = dir_.Path();
    const RunResult r =
        Render({"--stress", "1000", "--frames", "1", "--out", "x.png"}, emptyFolder);
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("cannot read Data/bench/Stress.txt, the effect of --stress"),
              std::string::npos)
        << r.Err;
}

}  // namespace
}  // namespace pp
