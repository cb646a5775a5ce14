// The effect format reference and the gallery stay whole: a row for every key the loader reads,
// every picture and sprite they show, and clean effect files (paths relative to the repository).
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "effects/check.h"
#include "effects/effect_keys.h"
#include "tests/app/run_binary.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

namespace fs = std::filesystem;

void ExpectClean(const std::vector<std::string>& files) {
    testing::InFolder root(PP_SOURCE_DIR);
    for (const CheckFinding& finding : CheckEffectFiles(files)) {
        ADD_FAILURE() << FormatFinding(finding);
    }
}

TEST(EffectFormatDoc, HasEveryKeyAndEveryPictureAndCleanPictureSources) {
    const fs::path docs = fs::path(PP_SOURCE_DIR) / "docs";
    const std::string doc = test::Slurp(docs / "effect-format.md");
    for (const EffectKey& key : kEffectKeys) {
        EXPECT_NE(doc.find("\n| `" + std::string(key.Name) + "` |"), std::string::npos) << key.Name;
    }
    const std::regex image(R"(!\[[^\]]*\]\(([^)]+)\))");
    int pictures = 0;
    for (auto it = std::sregex_iterator(doc.begin(), doc.end(), image);
         it != std::sregex_iterator(); ++it, ++pictures) {
        EXPECT_TRUE(fs::is_regular_file(docs / (*it)[1].str())) << (*it)[1];
    }
    EXPECT_EQ(pictures, 13 + 6) << "one per blend code and one per area shape";
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(docs / "images" / "src")) {
        if (entry.path().extension() == ".txt") {
            files.push_back(fs::relative(entry.path(), PP_SOURCE_DIR).string());
        }
    }
    EXPECT_EQ(files.size(), 2u + 26u + 7u);
    ExpectClean(files);
}

// Every effect the gallery's README lists has its sprite; the other two are its sub-effects.
TEST(EffectGallery, EffectsAreCleanAndHaveTheirSprites) {
    const fs::path gallery = fs::path(PP_SOURCE_DIR) / "examples" / "effects";
    const std::string readme = test::Slurp(gallery / "README.md");
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
    EXPECT_EQ(files.size(), static_cast<std::size_t>(listed) + 2);
    ExpectClean(files);
}

}  // namespace
}  // namespace pp
