// The effect format reference stays whole: it has a row for every key the loader reads, every
// picture it shows is there, and the effect files the pictures are drawn from are clean.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "effects/check.h"
#include "effects/effect_keys.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

namespace fs = std::filesystem;

const fs::path kDocs = fs::path(PP_SOURCE_DIR) / "docs";

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(EffectFormatDoc, HasARowForEveryKeyAndEveryPictureItShows) {
    const std::string doc = ReadText(kDocs / "effect-format.md");
    ASSERT_FALSE(doc.empty());
    for (const EffectKey& key : kEffectKeys) {
        EXPECT_NE(doc.find("\n| `" + std::string(key.Name) + "` |"), std::string::npos) << key.Name;
    }
    const std::regex image(R"(!\[[^\]]*\]\(([^)]+)\))");
    int pictures = 0;
    for (auto it = std::sregex_iterator(doc.begin(), doc.end(), image);
         it != std::sregex_iterator(); ++it, ++pictures) {
        EXPECT_TRUE(fs::is_regular_file(kDocs / (*it)[1].str())) << (*it)[1];
    }
    EXPECT_EQ(pictures, 13 + 6) << "one per blend code and one per area shape";
}

TEST(EffectFormatDoc, PictureSourcesAreClean) {
    // Their Extends paths are relative to the repository root, as the pictures are drawn there.
    testing::InFolder root(PP_SOURCE_DIR);
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(kDocs / "images" / "src")) {
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
