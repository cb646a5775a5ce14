// The sprite painter: sprites as RGBA PNGs that match the committed files, cells that stay apart.
#include "tools/sprite_painter.h"

#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace pp {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The RGBA pixels of a PNG, empty when it does not decode or its size is not the sprite's.
std::vector<uint8_t> DecodeRgba(const std::vector<uint8_t>& bytes, const SpriteImage& sprite) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return {};
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
    const bool sized = static_cast<int32_t>(image.width) == sprite.Width &&
                       static_cast<int32_t>(image.height) == sprite.Height;
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr) || !sized) return {};
    return rgba;
}

// The committed file is within a step of the painted sprite with at most 1% of channels off
// (another libm may round its curves differently; truncating instead of rounding moves many
// more), and every cell's border row and column is clear.
void ExpectCommittedAndClearBorders(const fs::path& file, const SpriteImage& s, int32_t cell) {
    const std::vector<uint8_t> data = DecodeRgba(ReadBytes(file), s);
    ASSERT_EQ(data.size(), s.Rgba.size()) << "regenerate with make_sprites: " << file;
    size_t off = 0;
    for (size_t p = 0; p < s.Rgba.size(); ++p) {
        ASSERT_LE(std::abs(data[p] - s.Rgba[p]), 1) << p;
        off += data[p] != s.Rgba[p];
    }
    EXPECT_LE(off * 100, s.Rgba.size()) << "regenerate with make_sprites: " << file;
    for (int32_t y = 0; y < s.Height; ++y) {
        for (int32_t x = 0; x < s.Width; ++x) {
            if (x % cell != 0 && y % cell != 0 && x != s.Width - 1 && y != s.Height - 1) continue;
            EXPECT_EQ(s.Rgba[(static_cast<std::size_t>(y) * s.Width + x) * 4 + 3], 0)
                << x << "," << y;
        }
    }
}

// Every sprite matches its committed file (the scene's four in Data/, the gallery's beside its
// effects) and encodes losslessly; a buffer that does not fit its size is refused.
TEST(SpritePainter, PaintsTheCommittedSpritesAndEncodesThemLosslessly) {
    const std::vector<SpriteImage> scene = PaintSceneSprites();
    ASSERT_EQ(scene.size(), 4u);
    for (const SpriteImage& s : scene) {
        SCOPED_TRACE(s.Name);
        EXPECT_EQ(DecodeRgba(EncodeSpritePng(s).value(), s), s.Rgba);
        ExpectCommittedAndClearBorders(fs::path(PP_SOURCE_DIR) / "Data" / (s.Name + ".png"), s,
                                       s.Width);
    }
    for (const SpriteImage& s : PaintGallerySprites()) {
        SCOPED_TRACE(s.Name);
        ExpectCommittedAndClearBorders(
            fs::path(PP_SOURCE_DIR) / "examples" / "effects" / (s.Name + ".png"), s,
            s.Name == "Sparks" ? s.Width / 4 : s.Width);
    }
    for (const auto& [width, bytes] : {std::pair{4, 63}, {0, 0}, {-4, 0}})
        EXPECT_FALSE(EncodeSpritePng({"Broken", width, 4, std::vector<uint8_t>(bytes)})) << width;
}

}  // namespace
}  // namespace pp
