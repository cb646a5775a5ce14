// The sprite painter: sprites as RGBA PNGs that match the committed files.
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

// Every sprite (the scene's four in Data/, the gallery's beside its effects) encodes losslessly
// and matches its committed file within a step, at most 1% of channels off (another libm may
// round its curves differently; truncating instead of rounding moves many more); a buffer that
// does not fit its size is refused.
TEST(SpritePainter, PaintsTheCommittedSpritesAndEncodesThemLosslessly) {
    ASSERT_EQ(PaintSceneSprites().size(), 4u);
    for (const auto& [sprites, folder] :
         {std::pair{PaintSceneSprites(), "Data"}, {PaintGallerySprites(), "examples/effects"}}) {
        for (const SpriteImage& s : sprites) {
            SCOPED_TRACE(s.Name);
            EXPECT_EQ(DecodeRgba(EncodeSpritePng(s).value(), s), s.Rgba);
            const std::vector<uint8_t> data =
                DecodeRgba(ReadBytes(fs::path(PP_SOURCE_DIR) / folder / (s.Name + ".png")), s);
            ASSERT_EQ(data.size(), s.Rgba.size()) << "regenerate with make_sprites";
            size_t off = 0;
            for (size_t p = 0; p < s.Rgba.size(); ++p) {
                ASSERT_LE(std::abs(data[p] - s.Rgba[p]), 1) << p;
                off += data[p] != s.Rgba[p];
            }
            EXPECT_LE(off * 100, s.Rgba.size()) << "regenerate with make_sprites";
        }
    }
    for (const auto& [width, bytes] : {std::pair{4, 63}, {0, 0}, {-4, 0}})
        EXPECT_FALSE(EncodeSpritePng({"Broken", width, 4, std::vector<uint8_t>(bytes)})) << width;
}

}  // namespace
}  // namespace pp
