// Replays every saved fuzz finding (tests/fuzz_regressions/<target>/<what it broke>) and every
// fuzz seed (fuzz/corpus/fuzz_<target>/) through the same harness the fuzz targets run, so
// each invariant the fuzzers check holds for them in the ordinary and the sanitizer builds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "fuzz/harness.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

namespace fs = std::filesystem;

struct Target {
    const char* name;  // folder under tests/fuzz_regressions and suffix of fuzz/corpus/fuzz_
    std::function<std::string(std::span<const uint8_t>)> run;
    bool needsScratchFolder;
};

void PrintTo(const Target& target, std::ostream* os) {
    *os << target.name;
}

const Target kTargets[] = {
    {"find_entry", fuzz::FindEntryInput, false},
    {"value_spec", fuzz::ValueSpecInput, false},
    {"loader", fuzz::LoaderInput, true},
    {"png", fuzz::PngInput, false},
    {"bmp", fuzz::BmpInput, false},
};

std::vector<fs::path> FilesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<uint8_t> ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The loader's harness writes its files into the working directory.
class InFolder {
  public:
    explicit InFolder(const fs::path& folder) : old_(fs::current_path()) {
        fs::current_path(folder);
    }
    ~InFolder() { fs::current_path(old_); }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

  private:
    fs::path old_;
};

class FuzzReplay : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzReplay, SavedFindingsAndSeedsKeepEveryInvariant) {
    const Target& target = GetParam();
    const fs::path source(PP_SOURCE_DIR);
    std::vector<fs::path> files = FilesIn(source / "tests/fuzz_regressions" / target.name);
    const std::vector<fs::path> seeds =
        FilesIn(source / "fuzz/corpus" / (std::string("fuzz_") + target.name));
    files.insert(files.end(), seeds.begin(), seeds.end());

    testing::TempDir scratch;
    for (const fs::path& file : files) {
        const std::vector<uint8_t> bytes = ReadBytes(file);
        std::string broken;
        if (target.needsScratchFolder) {
            InFolder inScratch(scratch.Path());
            broken = target.run(bytes);
        } else {
            broken = target.run(bytes);
        }
        EXPECT_EQ(broken, "") << file;
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<Target>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace pp
