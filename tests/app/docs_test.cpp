// The effect format reference has a row for every key the loader reads, and the effect files of
// its pictures and of the gallery are clean.
#include <gtest/gtest.h>

#include <filesystem>

#include "effects/check.h"
#include "effects/effect_keys.h"
#include "tests/app/run_binary.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

namespace fs = std::filesystem;

TEST(Docs, HaveEveryKeyAndCleanEffectFiles) {
    testing::InFolder root(PP_SOURCE_DIR);
    const std::string doc = test::Slurp("docs/effect-format.md");
    for (const EffectKey& key : kEffectKeys)
        EXPECT_NE(doc.find("\n| `" + std::string(key.Name) + "` |"), std::string::npos) << key.Name;
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator("docs/images/src"))
        if (entry.path().extension() == ".txt") files.push_back(entry.path().string());
    EXPECT_EQ(files.size(), 2u + 26u + 7u);
    for (const auto& entry : fs::directory_iterator("examples/effects"))
        if (entry.path().extension() == ".txt") files.push_back(entry.path().string());
    EXPECT_GE(files.size(), 35u + 8u);
    for (const CheckFinding& finding : CheckEffectFiles(files))
        ADD_FAILURE() << FormatFinding(finding);
}

}  // namespace
}  // namespace pp
