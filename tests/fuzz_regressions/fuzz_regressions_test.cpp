// Replays every saved fuzz finding (tests/fuzz_regressions/<target>/<what it broke>) and every
// fuzz seed (fuzz/corpus/fuzz_<target>/) through the harness the fuzz targets run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "fuzz/harness.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

namespace fs = std::filesystem;

TEST(FuzzReplay, SavedFindingsAndSeedsKeepEveryInvariant) {
    const struct {
        const char* Name;
        std::string (*Run)(std::span<const uint8_t>);
    } targets[] = {{"find_entry", fuzz::FindEntryInput},
                   {"value_spec", fuzz::ValueSpecInput},
                   {"loader", fuzz::LoaderInput},
                   {"png", fuzz::PngInput},
                   {"bmp", fuzz::BmpInput},
                   {"tiff", fuzz::TiffInput},
                   {"embedded_image", fuzz::EmbeddedImageInput},
                   {"plist", fuzz::PlistInput},
                   {"pex", fuzz::PexInput},
                   {"gdx", fuzz::GdxInput}};
    testing::TempDir scratch;  // the loader's harness writes its files into the working folder
    testing::InFolder in(scratch.Path());
    for (const auto& target : targets) {
        const fs::path source(PP_SOURCE_DIR);
        std::vector<fs::path> files;
        for (const fs::path& folder :
             {source / "tests/fuzz_regressions" / target.Name,
              source / "fuzz/corpus" / (std::string("fuzz_") + target.Name)}) {
            std::error_code ignored;
            for (const auto& entry : fs::directory_iterator(folder, ignored)) {
                if (entry.is_regular_file()) files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            std::ifstream stream(file, std::ios::binary);
            const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(stream),
                                             std::istreambuf_iterator<char>()};
            EXPECT_EQ(target.Run(bytes), "") << file;
        }
    }
}

}  // namespace
}  // namespace pp
