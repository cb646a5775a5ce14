#include "app/png_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "image/image_decoders.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

// 3 x 2 pixels, B, G, R each, with every channel distinct.
const std::vector<uint8_t> kBgr = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 250, 0, 128, 255};

TEST(EncodePngFromBgr, DecodesBackToTheSamePixelsAsRgbPng) {
    const std::optional<std::vector<uint8_t>> png = EncodePngFromBgr(3, 2, kBgr);
    ASSERT_TRUE(png);
    // Colour type 2 (RGB, no alpha) at bit depth 8.
    ASSERT_GT(png->size(), 26u);
    EXPECT_EQ((*png)[24], 8);
    EXPECT_EQ((*png)[25], 2);
    const std::optional<DecodedImage> image = DecodeImageWith(PngDecoder(), *png, 0);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->Width, 3);
    EXPECT_EQ(image->Height, 2);
    ASSERT_EQ(image->Depth, 24);
    // 24-bit decode rows are padded: 3 * 3 + 3 mod 4 = 12 bytes.
    for (int32_t y = 0; y < 2; ++y) {
        for (int32_t i = 0; i < 9; ++i) {
            EXPECT_EQ(image->Pixels[static_cast<size_t>(y * image->Pitch + i)],
                      kBgr[static_cast<size_t>(y * 9 + i)])
                << "row " << y << " byte " << i;
        }
    }
    EXPECT_EQ(EncodePngFromBgr(3, 2, kBgr), png) << "same pixels, same bytes";
}

TEST(EncodePngFromBgr, RefusesSizesThatDoNotMatchThePixels) {
    EXPECT_FALSE(EncodePngFromBgr(3, 2, std::span(kBgr).first(17)));
    EXPECT_FALSE(EncodePngFromBgr(2, 2, kBgr));
    EXPECT_FALSE(EncodePngFromBgr(0, 2, {}));
    EXPECT_FALSE(EncodePngFromBgr(-3, -2, kBgr));
    EXPECT_FALSE(EncodePngFromBgr(65536, 65536, kBgr));
}

TEST(WriteFileAtomically, ReplacesTheFileAndLeavesNoTemporary) {
    testing::TempDir dir;
    const std::string path = dir.Write("f.png", "old contents");
    const std::vector<uint8_t> bytes = {0x89, 'P', 'N', 'G', 0};
    EXPECT_EQ(WriteFileAtomically(path, bytes), std::nullopt);
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), std::string("\x89PNG\0", 5));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(WriteFileAtomically, NamesThePathWhenTheFolderIsMissing) {
    testing::TempDir dir;
    const std::string path = (dir.Path() / "missing" / "f.png").string();
    const std::optional<std::string> error = WriteFileAtomically(path, std::vector<uint8_t>{1});
    ASSERT_TRUE(error);
    EXPECT_NE(error->find(path), std::string::npos) << *error;
    EXPECT_NE(error->find("No such file"), std::string::npos) << *error;
}

}  // namespace
}  // namespace pp
