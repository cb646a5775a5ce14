// The gallery's committed sprites are what the painter paints (to a unit, as libm's curves may
// round differently elsewhere), and the sheet's cells stay apart.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tools/sprite_painter.h"

namespace pp {
namespace {

namespace fs = std::filesystem;

TEST(GallerySprites, CommittedFilesMatchThePainterAndCellsStayApart) {
    for (const SpriteImage& s : PaintGallerySprites()) {
        SCOPED_TRACE(s.Name);
        std::ifstream in(fs::path(PP_SOURCE_DIR) / "examples" / "effects" / (s.Name + ".png"),
                         std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()));
        image.format = PNG_FORMAT_RGBA;
        std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
        ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr));
        ASSERT_EQ(rgba.size(), s.Rgba.size())
            << "regenerate: make_sprites --gallery examples/effects";
        for (std::size_t i = 0; i < rgba.size(); ++i) {
            ASSERT_LE(std::abs(rgba[i] - s.Rgba[i]), 1) << i;
        }
        // Every cell's border row and column is clear, so a cell never shows its neighbour.
        const int32_t cell = s.Name == "Sparks" ? s.Width / 4 : s.Width;
        for (int32_t y = 0; y < s.Height; ++y) {
            for (int32_t x = 0; x < s.Width; ++x) {
                if (x % cell != 0 && y % cell != 0) continue;
                EXPECT_EQ(s.Rgba[(static_cast<std::size_t>(y) * s.Width + x) * 4 + 3], 0)
                    << x << "," << y;
            }
        }
    }
}

}  // namespace
}  // namespace pp
