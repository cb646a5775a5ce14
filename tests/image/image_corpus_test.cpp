// Every image of the PNG and BMP corpora kept in tests/data/images against its manifest row:
// accepted images decode to exactly the expected bytes, rejected ones are refused.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "image/image_decoders.h"
#include "tests/image/image_test_support.h"

namespace pp {
namespace {

struct ManifestRow {
    std::string Path;
    bool Accepted = false;
    int32_t Width = 0, Height = 0, BytesPerPixel = 0;
    std::string Sha256;
};

std::vector<ManifestRow> ReadManifest() {
    std::vector<ManifestRow> rows;
    std::ifstream in(std::string(PP_TESTDATA_DIR) + "/MANIFEST.tsv");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        std::istringstream fields(line);
        ManifestRow row;
        std::string verdict, width, height, bpp;
        std::getline(fields, row.Path, '\t');
        std::getline(fields, verdict, '\t');
        std::getline(fields, width, '\t');
        std::getline(fields, height, '\t');
        std::getline(fields, bpp, '\t');
        std::getline(fields, row.Sha256, '\t');
        row.Accepted = verdict == "ok";
        if (row.Accepted) {
            row.Width = std::stoi(width);
            row.Height = std::stoi(height);
            row.BytesPerPixel = std::stoi(bpp);
        }
        rows.push_back(row);
    }
    return rows;
}

const std::vector<ManifestRow>& Manifest() {
    static const std::vector<ManifestRow> rows = ReadManifest();
    return rows;
}

TEST(ImageCorpus, ManifestListsBothSuites) {
    // Guards against a missing or moved corpus silently running zero cases.
    size_t png = 0, bmp = 0;
    for (const ManifestRow& row : Manifest()) {
        png += row.Path.starts_with("pngsuite/");
        bmp += row.Path.starts_with("bmpsuite/");
    }
    EXPECT_EQ(png, 176u);
    EXPECT_EQ(bmp, 91u);
}

class ImageCorpusFile : public testing::TestWithParam<ManifestRow> {
  protected:
    void SetUp() override {
        ResetImageDecoders();
        EnablePngDecoder();
    }
    void TearDown() override { ResetImageDecoders(); }
};

TEST_P(ImageCorpusFile, DecodesAsManifestSays) {
    const ManifestRow& row = GetParam();
    const auto bytes = test::ReadWholeFile(std::string(PP_TESTDATA_DIR) + "/" + row.Path);
    ASSERT_TRUE(bytes.has_value()) << row.Path;
    std::string error;
    const auto image = DecodeImage(*bytes, 0, &error);
    if (!row.Accepted) {
        EXPECT_FALSE(image.has_value()) << row.Path << " should be refused";
        EXPECT_FALSE(error.empty());
        return;
    }
    ASSERT_TRUE(image.has_value()) << row.Path << ": " << error;
    EXPECT_EQ(image->Width, row.Width);
    EXPECT_EQ(image->Height, row.Height);
    EXPECT_EQ(image->Depth, row.BytesPerPixel * 8);
    EXPECT_EQ(image->Pitch, DecodePitch(image->Width, image->Depth));
    EXPECT_EQ(test::Sha256Hex(test::PackedRows(*image)), row.Sha256) << row.Path;
}

// Cutting an accepted file short anywhere must refuse it or decode it without reading past the
// end (ASan watches the reads); a cut inside the header or the pixel data must refuse it.
TEST(ImageCorpus, TruncatedCopiesAreRefusedWithoutReadingPastTheEnd) {
    ResetImageDecoders();
    EnablePngDecoder();
    for (const ManifestRow& row : Manifest()) {
        if (!row.Accepted) continue;
        const auto bytes = test::ReadWholeFile(std::string(PP_TESTDATA_DIR) + "/" + row.Path);
        ASSERT_TRUE(bytes.has_value()) << row.Path;
        const size_t step = bytes->size() / 16 + 1;
        for (size_t length = 0; length < bytes->size() / 2; length += step) {
            // A heap copy of exactly `length` bytes, so ASan sees any read beyond it.
            const std::vector<uint8_t> cut(bytes->begin(),
                                           bytes->begin() + static_cast<ptrdiff_t>(length));
            EXPECT_FALSE(DecodeImage(cut, 0).has_value()) << row.Path << " cut to " << length;
        }
    }
    ResetImageDecoders();
}

std::string RowName(const testing::TestParamInfo<ManifestRow>& info) {
    std::string name;
    for (char c : info.param.Path) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpora, ImageCorpusFile, testing::ValuesIn(Manifest()), RowName);

}  // namespace
}  // namespace pp
