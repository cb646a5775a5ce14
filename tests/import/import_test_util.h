// What the import tests share: a file's bytes, check's verdict on an imported text, and a file
// that loads as the text its import gives.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "particleplayer/check.h"
#include "particleplayer/world.h"
#include "tests/app/run_binary.h"

namespace pp::test {

// check finds warnings at most in an imported text (the import's findings), never an error;
// `path` is where check looks for the sprite the text names.
inline void ExpectNoCheckErrors(const std::string& text, const std::string& path = "x.txt") {
    for (const auto& finding : particleplayer::CheckText(text, path)) {
        EXPECT_NE(finding.Level, particleplayer::Severity::Error)
            << particleplayer::FormatFinding(finding) << "\n"
            << text;
    }
}

// The file loaded directly into `direct` holds the parameters of `text` loaded from the file's
// folder, both at (10, 20).
inline void ExpectLoadsAsText(particleplayer::World& direct, const std::filesystem::path& file,
                              const std::string& text) {
    particleplayer::World plain;
    particleplayer::LoadOptions folder;
    folder.Folder = file.parent_path().string();
    const auto a = direct.LoadEffectFile(file.string(), 10, 20);
    const auto b = plain.LoadEffectText(text, 10, 20, folder);
    ASSERT_TRUE(a.Ok() && b.Ok()) << a.Error << b.Error;
    const particleplayer::EffectParams pa = direct.Params(a.Value).Value;
    const particleplayer::EffectParams pb = plain.Params(b.Value).Value;
    EXPECT_EQ(std::memcmp(&pa, &pb, sizeof pa), 0) << file;
}

}  // namespace pp::test
