// particleplayer set end to end: the minimal rewrite on disk, and every refusal leaving the file
// as it was with one clear message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/app/run_binary.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

using pp::testing::TempDir;
using test::RunBinary;
using test::Slurp;

const std::string kFile = "Size = 4,\r\n  Raise = 2\r\n  ,\r\n";

TEST(Set, RewritesOnlyTheValuesAndAppendsMissingKeys) {
    const struct {
        std::vector<std::string> Edits;
        std::string Expected;
    } rows[] = {
        {{"Size={Min = 4, Max = 8}"}, "Size = {Min = 4, Max = 8},\r\n  Raise = 2\r\n  ,\r\n"},
        {{"Raise=-0.5", "Size= 20"}, "Size = 20,\r\n  Raise = -0.5\r\n  ,\r\n"},
        {{"Fade=-50", "Fade=-60"}, "Size = 4,\r\n  Raise = 2\r\n  ,\r\n  Fade = -60,\r\n"},
        // A warning is no refusal: the layer is read as written, only never drawn.
        {{"Layer=1"}, "Size = 4,\r\n  Raise = 2\r\n  ,\r\n  Layer = 1,\r\n"},
        {{"Size=4"}, kFile},
    };
    TempDir dir;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Edits[0]);
        const std::string path = dir.Write("smoke.txt", kFile);
        std::vector<std::string> args = {"set", path};
        args.insert(args.end(), row.Edits.begin(), row.Edits.end());
        const test::RunResult run = RunBinary(args);
        EXPECT_EQ(run.Status, 0) << run.Err;
        EXPECT_EQ(run.Err, "");
        EXPECT_EQ(Slurp(path), row.Expected);
    }
}

TEST(Set, RefusesWhatCheckReportsOrTheReaderWouldTakeOtherwise) {
    const struct {
        std::vector<std::string> Args;
        int Status;
        std::string Err;  // the start of stderr
        long Lines;
    } rows[] = {
        {{"Raise=fast"}, 2, "smoke.txt:2:11: 'fast' is not a number", 2},
        {{"Size=20", "Size={Value = 60}"}, 2, "smoke.txt:1:", 2},
        {{"Fade=1", "Glow=1"}, 2, "particleplayer set: 'Glow' is not a key", 1},
        {{"Size=4, Glow = 1"}, 2, "particleplayer set: '4, Glow = 1' as the value of Size", 1},
        {{"Size"}, 2, "particleplayer set: 'Size' is not KEY=VALUE", 1},
        {{}, 2, "particleplayer set: missing KEY=VALUE", 1},
    };
    TempDir dir;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Err);
        dir.Write("smoke.txt", kFile);
        std::vector<std::string> args = {"set", "smoke.txt"};
        args.insert(args.end(), row.Args.begin(), row.Args.end());
        const test::RunResult run = RunBinary(args, {.WorkingDir = dir.Path().string()});
        EXPECT_EQ(run.Status, row.Status);
        EXPECT_TRUE(run.Err.starts_with(row.Err)) << run.Err;
        EXPECT_EQ(run.ErrLines(), row.Lines) << run.Err;
        EXPECT_EQ(Slurp(dir.Path() / "smoke.txt"), kFile);
    }
    const test::RunResult missing =
        RunBinary({"set", "none.txt", "Size=1"}, {.WorkingDir = dir.Path().string()});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_EQ(missing.ErrLines(), 1);
}

}  // namespace
}  // namespace pp
