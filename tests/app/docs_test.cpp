// The effect format reference and the gallery stay whole: a row for every key the loader reads,
// every picture and sprite they show, and effect files that check finds clean.
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

TEST(Docs, HaveEveryKeyPictureAndSpriteAndCleanEffectFiles) {
    testing::InFolder root(PP_SOURCE_DIR);
    const std::string doc = test::Slurp("docs/effect-format.md");
    for (const EffectKey& key : kEffectKeys)
        EXPECT_NE(doc.find("\n| `" + std::string(key.Name) + "` |"), std::string::npos) << key.Name;
    const std::regex image(R"(!\[[^\]]*\]\(([^)]+)\))");
    int pictures = 0;
    for (auto it = std::sregex_iterator(doc.begin(), doc.end(), image);
         it != std::sregex_iterator(); ++it, ++pictures)
        EXPECT_TRUE(fs::is_regular_file("docs/" + (*it)[1].str())) << (*it)[1];
    EXPECT_EQ(pictures, 13 + 6) << "one per blend code and one per area shape";
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator("docs/images/src"))
        if (entry.path().extension() == ".txt") files.push_back(entry.path().string());
    EXPECT_EQ(files.size(), 2u + 26u + 7u);
    // Every effect the gallery's README lists has its sprite; the other two are its sub-effects.
    const std::string readme = test::Slurp("examples/effects/README.md");
    std::size_t listed = 0, gallery = 0;
    for (const auto& entry : fs::directory_iterator("examples/effects")) {
        if (entry.path().extension() != ".txt") continue;
        files.push_back(entry.path().string());
        ++gallery;
        if (readme.find("\n| `" + entry.path().filename().string() + "` |") == std::string::npos)
            continue;
        ++listed;
        EXPECT_TRUE(fs::is_regular_file(fs::path(entry.path()).replace_extension(".png")));
    }
    EXPECT_GE(listed, 6u);
    EXPECT_EQ(gallery, listed + 2);
    for (const CheckFinding& finding : CheckEffectFiles(files))
        ADD_FAILURE() << FormatFinding(finding);
}

}  // namespace
}  // namespace pp
