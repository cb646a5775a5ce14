// The effect format reference stays whole: a row for every key the loader reads, every picture
// it shows, and clean effect files that the pictures are drawn from.
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
    // Their Extends paths are relative to the repository root, where the pictures are drawn.
    testing::InFolder root(PP_SOURCE_DIR);
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(docs / "images" / "src")) {
        if (entry.path().extension() == ".txt") {
            files.push_back(fs::relative(entry.path(), PP_SOURCE_DIR).string());
        }
    }
    EXPECT_EQ(files.size(), 2u + 26u + 7u);
    for (const CheckFinding& finding : CheckEffectFiles(files)) {
        ADD_FAILURE() << FormatFinding(finding);
    }
}

}  // namespace
}  // namespace pp
