// The effect gallery stays whole: its effects come out clean, every effect the README lists
// has its sprite, and the sub-effects they name are files of the gallery.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "effects/check.h"
#include "tests/app/run_binary.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

namespace fs = std::filesystem;

TEST(EffectGallery, EffectsAreCleanAndHaveTheirSprites) {
    const fs::path gallery = fs::path(PP_SOURCE_DIR) / "examples" / "effects";
    const std::string readme = test::Slurp(gallery / "README.md");
    // Paths in the effects are relative to the repository root.
    testing::InFolder root(PP_SOURCE_DIR);
    std::vector<std::string> files;
    int listed = 0;
    for (const auto& entry : fs::directory_iterator(gallery)) {
        if (entry.path().extension() != ".txt") continue;
        files.push_back(fs::relative(entry.path(), PP_SOURCE_DIR).string());
        const std::string name = entry.path().filename().string();
        if (readme.find("\n| `" + name + "` |") == std::string::npos) continue;
        ++listed;
        EXPECT_TRUE(fs::is_regular_file(fs::path(entry.path()).replace_extension(".png"))) << name;
    }
    EXPECT_GE(listed, 6);
    EXPECT_EQ(files.size(), static_cast<std::size_t>(listed) + 2) << "two sub-effects";
    for (const CheckFinding& finding : CheckEffectFiles(files)) {
        ADD_FAILURE() << FormatFinding(finding);
    }
}

}  // namespace
}  // namespace pp
