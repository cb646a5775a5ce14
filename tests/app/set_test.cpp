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

// The minimal rewrite (a warning is no refusal: the layer is read as written, only never
// drawn), and every refusal leaving the file as it was with check's lines or one of its own.
TEST(Set, RewritesOnlyTheValuesAndRefusesWhatCheckReportsOrTheReaderWouldTakeOtherwise) {
    const struct {
        std::vector<std::string> Args;
        int Status;
        std::string Err;  // the start of stderr
        long Lines;
        std::string Expected;  // the file afterwards
    } rows[] = {
        {{"Size={Min = 4, Max = 8}"}, 0, "", 0, "Size = {Min = 4, Max = 8}" + kFile.substr(8)},
        {{"Raise=-0.5", "Size= 20"}, 0, "", 0, "Size = 20,\r\n  Raise = -0.5\r\n  ,\r\n"},
        {{"Fade=-50", "Fade=-60"}, 0, "", 0, kFile + "  Fade = -60,\r\n"},
        {{"Layer=1"}, 0, "", 0, kFile + "  Layer = 1,\r\n"},
        {{"Size=4"}, 0, "", 0, kFile},
        {{"Raise=fast"}, 2, "smoke.txt:2:11: 'fast' is not a number", 2, kFile},
        {{"Size=20", "Size={Value = 60}"}, 2, "smoke.txt:1:", 2, kFile},
        {{"Fade=1", "Glow=1"}, 2, "particleplayer set: 'Glow' is not a key", 1, kFile},
        {{"Size=4, Glow = 1"}, 2, "particleplayer set: '4, Glow = 1' as the value", 1, kFile},
        {{"Size"}, 2, "particleplayer set: 'Size' is not KEY=VALUE", 1, kFile},
        {{}, 2, "particleplayer set: missing KEY=VALUE", 1, kFile},
    };
    TempDir dir;
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.Args));
        dir.Write("smoke.txt", kFile);
        std::vector<std::string> args = {"set", "smoke.txt"};
        args.insert(args.end(), row.Args.begin(), row.Args.end());
        const test::RunResult run = RunBinary(args, {.WorkingDir = dir.Path().string()});
        EXPECT_EQ(run.Status, row.Status);
        EXPECT_TRUE(run.Err.starts_with(row.Err)) << run.Err;
        EXPECT_EQ(run.ErrLines(), row.Lines) << run.Err;
        EXPECT_EQ(Slurp(dir.Path() / "smoke.txt"), row.Expected);
    }
    const test::RunResult missing =
        RunBinary({"set", "none.txt", "Size=1"}, {.WorkingDir = dir.Path().string()});
    EXPECT_TRUE(missing.Status == 1 && missing.ErrLines() == 1) << missing.Err;
}

}  // namespace
}  // namespace pp
