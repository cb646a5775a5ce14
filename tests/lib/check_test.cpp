// The public checker: each finding's severity, position and formatted line as hosts read them.
#include "particleplayer/check.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/effects/temp_dir.h"

namespace particleplayer {
namespace {

using pp::testing::InFolder;
using pp::testing::TempDir;

// Each row's text is top.txt; the file and the same text handed over directly agree.
TEST(PublicCheck, FindingsCarrySeverityAndFormatLikeTheCommand) {
    const struct {
        std::string Text;
        Severity Level;
        std::string Line;
    } rows[] = {
        {"Glow = 5", Severity::Error, "top.txt:1:1: 'Glow' is not a key and is ignored"},
        {"Raise = fast", Severity::Error, "top.txt:1:9: 'fast' is not a number: read as 0"},
        {"", Severity::Warning, "top.txt:1:1: warning: "},
    };
    TempDir dir;
    InFolder in(dir.Path());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Text);
        dir.Write("top.txt", row.Text);
        const std::vector<std::string> paths = {"top.txt"};
        const std::vector<CheckFinding> got = CheckFiles(paths);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].Path, "top.txt");
        EXPECT_EQ(got[0].Level, row.Level);
        EXPECT_TRUE(FormatFinding(got[0]).starts_with(row.Line)) << FormatFinding(got[0]);
        EXPECT_EQ(CheckText(row.Text, "top.txt"), got);
    }
    const std::vector<std::string> missing = {"absent.txt"};
    const std::vector<CheckFinding> got = CheckFiles(missing);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(std::tuple(got[0].Level, got[0].Line, got[0].Column),
              std::tuple(Severity::Error, 1, 1));
}

}  // namespace
}  // namespace particleplayer
