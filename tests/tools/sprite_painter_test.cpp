#include "tools/sprite_painter.h"

#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace pp {
namespace {

struct Decoded {
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint8_t> Rgba;
};

std::optional<Decoded> DecodeRgba(const std::vector<uint8_t>& bytes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return std::nullopt;
    image.format = PNG_FORMAT_RGBA;
    Decoded out;
    out.Width = static_cast<int32_t>(image.width);
    out.Height = static_cast<int32_t>(image.height);
    out.Rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.Rgba.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    return out;
}

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ReadBytesAsText(const std::filesystem::path& path) {
    const std::vector<uint8_t> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

uint8_t AlphaAt(const SpriteImage& s, int32_t x, int32_t y) {
    return s.Rgba[(static_cast<size_t>(y) * static_cast<size_t>(s.Width) + static_cast<size_t>(x)) *
                      4u +
                  3u];
}

// Centre alpha bounds per sprite: the bubble's body is meant to be faint, the others solid.
struct SpriteRow {
    const char* Name;
    int32_t Size;
    uint8_t CentreAlphaMin;
    uint8_t CentreAlphaMax;
};

const SpriteRow kScene[] = {
    {"Sternchen", 32, 230, 255},
    {"Feuer", 64, 200, 255},
    {"Energie", 64, 230, 255},
    {"Luftblase", 64, 15, 60},
};

TEST(SpritePainter, PaintsTheFourSceneSpritesInOrderWithTheirSizes) {
    const auto sprites = PaintSceneSprites();
    ASSERT_EQ(sprites.size(), std::size(kScene));
    for (size_t i = 0; i < sprites.size(); ++i) {
        SCOPED_TRACE(kScene[i].Name);
        EXPECT_EQ(sprites[i].Name, kScene[i].Name);
        EXPECT_EQ(sprites[i].Width, kScene[i].Size);
        EXPECT_EQ(sprites[i].Height, kScene[i].Size);
        EXPECT_EQ(sprites[i].Rgba.size(), static_cast<size_t>(kScene[i].Size * kScene[i].Size * 4));
    }
}

TEST(SpritePainter, EdgesAreSoftAndTheBorderIsFullyTransparent) {
    const auto sprites = PaintSceneSprites();
    for (size_t i = 0; i < sprites.size(); ++i) {
        const SpriteImage& s = sprites[i];
        SCOPED_TRACE(s.Name);
        for (int32_t k = 0; k < s.Width; ++k) {
            EXPECT_EQ(AlphaAt(s, k, 0), 0) << "top, x " << k;
            EXPECT_EQ(AlphaAt(s, k, s.Height - 1), 0) << "bottom, x " << k;
            EXPECT_EQ(AlphaAt(s, 0, k), 0) << "left, y " << k;
            EXPECT_EQ(AlphaAt(s, s.Width - 1, k), 0) << "right, y " << k;
        }
        const uint8_t centre = AlphaAt(s, s.Width / 2, s.Height / 2);
        EXPECT_GE(centre, kScene[i].CentreAlphaMin);
        EXPECT_LE(centre, kScene[i].CentreAlphaMax);
        // A hard cut-out would show only a handful of alpha levels.
        std::set<uint8_t> levels;
        for (size_t p = 3; p < s.Rgba.size(); p += 4) levels.insert(s.Rgba[p]);
        EXPECT_GE(levels.size(), 24u);
    }
}

TEST(SpritePainter, PaintingIsDeterministic) {
    const auto first = PaintSceneSprites();
    const auto second = PaintSceneSprites();
    ASSERT_EQ(first.size(), second.size());
    for (size_t i = 0; i < first.size(); ++i) EXPECT_EQ(first[i].Rgba, second[i].Rgba);
}

TEST(SpritePainter, EncodedPngIsEightBitRgbaAndDecodesToThePaintedPixels) {
    for (const SpriteImage& s : PaintSceneSprites()) {
        SCOPED_TRACE(s.Name);
        const auto png = EncodeSpritePng(s);
        ASSERT_TRUE(png.has_value());
        // IHDR follows the 8-byte signature and the chunk's length and type: width, height,
        // then bit depth and colour type (6 = RGBA).
        ASSERT_GT(png->size(), 26u);
        EXPECT_EQ((*png)[24], 8);
        EXPECT_EQ((*png)[25], 6);
        const auto decoded = DecodeRgba(*png);
        ASSERT_TRUE(decoded.has_value());
        EXPECT_EQ(decoded->Width, s.Width);
        EXPECT_EQ(decoded->Height, s.Height);
        EXPECT_EQ(decoded->Rgba, s.Rgba);
    }
}

TEST(SpritePainter, EncodingRefusesABufferThatDoesNotMatchTheSize) {
    SpriteImage s;
    s.Name = "Broken";
    s.Width = 4;
    s.Height = 4;
    s.Rgba.assign(4 * 4 * 4 - 1, 0);
    EXPECT_FALSE(EncodeSpritePng(s).has_value());
    s.Width = 0;
    s.Rgba.clear();
    EXPECT_FALSE(EncodeSpritePng(s).has_value());
    s.Width = -4;
    EXPECT_FALSE(EncodeSpritePng(s).has_value());
}

// The PNGs in Data/ must be what the painter makes now, so that a change to the painter is
// never forgotten in the committed files. Pixels are compared, not bytes, since another zlib
// may compress the same pixels differently.
TEST(SpritePainter, CommittedDataSpritesMatchThePainter) {
    const std::filesystem::path data = std::filesystem::path(PP_SOURCE_DIR) / "Data";
    for (const SpriteImage& s : PaintSceneSprites()) {
        SCOPED_TRACE(s.Name);
        const auto bytes = ReadBytes(data / (s.Name + ".png"));
        ASSERT_FALSE(bytes.empty()) << "missing Data/" << s.Name << ".png";
        const auto decoded = DecodeRgba(bytes);
        ASSERT_TRUE(decoded.has_value());
        EXPECT_EQ(decoded->Width, s.Width);
        EXPECT_EQ(decoded->Height, s.Height);
        ASSERT_EQ(decoded->Rgba.size(), s.Rgba.size());
        // One step of slack per channel: another C library's expf or cosf may round a
        // sample differently; a change to the painter moves pixels much further.
        int largest = 0;
        for (size_t i = 0; i < s.Rgba.size(); ++i) {
            largest = std::max(largest, std::abs(int{decoded->Rgba[i]} - int{s.Rgba[i]}));
        }
        EXPECT_LE(largest, 1) << "regenerate with: make_sprites Data";
    }
}

int RunTool(const std::string& arguments) {
    const std::string command = std::string("'") + PP_MAKE_SPRITES + "' " + arguments;
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(MakeSprites, WritesTheFourPngsIntoANewFolder) {
    const std::filesystem::path dir =
        std::filesystem::path(PP_BINARY_DIR) / "tests" / "tools" / "make_sprites_out" / "sub";
    for (const std::string option : {"", "--out ", "--out="}) {
        std::filesystem::remove_all(dir.parent_path());
        ASSERT_EQ(RunTool(option + "'" + dir.string() + "' >/dev/null"), 0) << option;
        for (const SpriteImage& s : PaintSceneSprites()) {
            const auto decoded = DecodeRgba(ReadBytes(dir / (s.Name + ".png")));
            ASSERT_TRUE(decoded.has_value()) << s.Name;
            EXPECT_EQ(decoded->Rgba, s.Rgba) << s.Name;
        }
    }
    std::filesystem::remove_all(dir.parent_path());
}

TEST(MakeSprites, WrongArgumentsOrAnUnusableFolderFail) {
    // Each bad use is one line on stderr and status 2, and makes no folder.
    const std::filesystem::path here = std::filesystem::path(PP_BINARY_DIR) / "tests" / "tools";
    for (const char* args : {"", "a b", "--out", "--out=", "--bogus", "-x a", "--out a b"}) {
        const std::string err = (here / "make_sprites_err").string();
        EXPECT_EQ(RunTool(std::string(args) + " 2>'" + err + "'"), 2) << args;
        const std::string message = ReadBytesAsText(err);
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
        EXPECT_FALSE(std::filesystem::exists("--bogus"));
    }
    // --help says what it paints, on stdout, and writes nothing.
    const std::string out = (here / "make_sprites_help").string();
    EXPECT_EQ(RunTool("--help >'" + out + "'"), 0);
    EXPECT_NE(ReadBytesAsText(out).find("Paints the scene's four sprites"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists("--help"));
    // A regular file where the folder should be.
    const std::filesystem::path file =
        std::filesystem::path(PP_BINARY_DIR) / "tests" / "tools" / "not_a_folder";
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << "x";
    EXPECT_EQ(RunTool("'" + file.string() + "' 2>/dev/null"), 1);
    std::filesystem::remove(file);
}

}  // namespace
}  // namespace pp
