// The format reference names every key the loader reads and shows only pictures that exist; its
// picture sources and the gallery's effects load without a finding.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "effects/check.h"
#include "effects/effect_keys.h"
#include "effects/effect_text.h"
#include "effects/loader.h"
#include "particles/budget.h"
#include "particles/extra_params.h"
#include "particles/sub_effects.h"
#include "tests/app/run_binary.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

namespace fs = std::filesystem;

TEST(Docs, EveryKeyHasARowEveryPictureExistsAndEveryEffectFileIsClean) {
    const fs::path root(PP_SOURCE_DIR);
    const std::string doc = test::Slurp(root / "docs" / "effect-format.md");
    for (const EffectKey& key : kEffectKeys) {
        EXPECT_NE(doc.find("\n| `" + std::string(key.Name) + "` |"), std::string::npos) << key.Name;
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

// The limits the reference states, each written from the constant the code holds (the text
// read with its line breaks and indents as single spaces).
TEST(Docs, TheLimitsAreTheOnesTheCodeHolds) {
    const std::string doc = std::regex_replace(
        test::Slurp(std::filesystem::path(PP_SOURCE_DIR) / "docs" / "effect-format.md"),
        std::regex("\\s*\n\\s*"), " ");
    const std::string mib = std::to_string(kMaxEffectChainBytes >> 20) + " MiB of text";
    const std::string phrases[] = {
        std::to_string(kMaxExtendsDepth) + " files, or after " + mib,
        "each file is read up to " + std::to_string(kMaxEffectFileBytes >> 20) + " MiB",
        "`Count` particles (0 to " + std::to_string(kMaxBurstCount) + ")",
        "nest at most " + std::to_string(kMaxSubEffectDepth) + " deep",
        "at most " + std::to_string(kMaxStartedEmitters) + " started effects",
        "at most " + std::to_string(kMaxLifeKeys) + " keys are read",
        kDefaultParticleBudget == 1000000 ? "budget (one million unless" : "a number in words",
    };
    for (const std::string& phrase : phrases) {
        EXPECT_NE(doc.find(phrase), std::string::npos) << phrase;
    }
}

}  // namespace
}  // namespace pp
