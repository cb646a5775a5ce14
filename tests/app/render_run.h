// `particleplayer render` run from the repository root, which holds Data/, writing into a
// fresh folder per test.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/app/run_binary.h"
#include "tests/effects/temp_dir.h"

namespace pp::test {

inline RunOptions InSceneFolder() {
    RunOptions options;
    options.WorkingDir = PP_SOURCE_DIR;
    return options;
}

class RenderRun : public ::testing::Test {
  protected:
    RunResult Render(std::vector<std::string> args, const RunOptions& options = InSceneFolder()) {
        args.insert(args.begin(), "render");
        return RunBinary(args, options);
    }
    // A path inside the test's own folder.
    std::string Out(const std::string& name) const { return (dir_.Path() / name).string(); }
    // The file render gives frame `frame` in the output folder `folder`.
    std::string Frame(const std::string& folder, int frame) const {
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%05d.png", frame);
        return Slurp(Out(folder) + name);
    }

    pp::testing::TempDir dir_;
};

}  // namespace pp::test
