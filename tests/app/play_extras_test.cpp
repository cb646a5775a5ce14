// play watches the files of the effects an effect starts beside its Extends chain.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/hot_reload.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

TEST(EffectFileChain, AddsTheFilesOfStartedEffectsOnce) {
    testing::TempDir dir;
    testing::InFolder here(dir.Path());
    dir.Write("Top.txt", "Extends = Base.txt, OnDeath = {Effect = Spark.txt}");
    dir.Write("Base.txt", "OnBirth = {Effect = Top.txt}, OnDeath = {Effect = Gone.txt}");
    dir.Write("Spark.txt", "Extends = Glow.txt, OnDeath = {Effect = Spark.txt}");
    dir.Write("Glow.txt", "Size = 2");
    EXPECT_EQ(EffectFileChain("Top.txt"),
              (std::vector<std::string>{"Top.txt", "Base.txt", "Spark.txt", "Glow.txt"}));
}

}  // namespace
}  // namespace pp
