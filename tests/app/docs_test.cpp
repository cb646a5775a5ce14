// The format reference and the fuzz dictionary name every key the loader reads and shows only
// pictures that exist; its picture sources and the gallery's effects load without a finding.
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

TEST(Docs, EveryKeyHasARowEveryPictureExistsAndEveryEffectFileIsClean) {
    const fs::path root(PP_SOURCE_DIR);
    const std::string doc = test::Slurp(root / "docs" / "effect-format.md");
    const std::string dictionary = test::Slurp(root / "fuzz" / "effect.dict");
    for (const EffectKey& key : kEffectKeys) {
        EXPECT_NE(doc.find("\n| `" + std::string(key.Name) + "` |"), std::string::npos) << key.Name;
        EXPECT_NE(dictionary.find("=\"" + std::string(key.Name) + " = \""), std::string::npos)
            << key.Name << " is not in the fuzz dictionary";
    }
    const std::regex image(R"(!\[[^\]]*\]\(([^)]+)\))");
    for (auto it = std::sregex_iterator(doc.begin(), doc.end(), image);
         it != std::sregex_iterator(); ++it) {
        EXPECT_TRUE(fs::is_regular_file(root / "docs" / (*it)[1].str())) << (*it)[1];
    }
    std::vector<std::string> files;
    for (const fs::path& folder :
         {root / "docs" / "images" / "src", root / "examples" / "effects"}) {
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (entry.path().extension() == ".txt") {
                files.push_back(fs::relative(entry.path(), root).string());
            }
        }
    }
    EXPECT_GE(files.size(), 2u + 26u + 7u + 8u);
    testing::InFolder inRoot(PP_SOURCE_DIR);
    for (const CheckFinding& finding : CheckEffectFiles(files))
        ADD_FAILURE() << FormatFinding(finding);
}

}  // namespace
}  // namespace pp
