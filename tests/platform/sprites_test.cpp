#include "platform/sprites.h"

#include <SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/quad_sprites.h"
#include "platform/screen.h"
#include "tests/platform/platform_test_support.h"

namespace pp {
namespace {

using test::Rgba;

// The texture's level 0 as B,G,R,A bytes, read back from the device.
std::vector<uint8_t> TextureBytes(const SpriteRecord& sprite) {
    std::vector<uint8_t> bytes(static_cast<size_t>(sprite.Width) * sprite.Height * 4);
    glBindTexture(GL_TEXTURE_2D, sprite.Texture->Texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_BYTE, bytes.data());
    return bytes;
}

class SpriteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::OpenTestScreen()) << SDL_GetError();
        FreeAllSprites();
    }
    static void TearDownTestSuite() { test::CloseTestScreen(); }

    // Writes bytes to a file under the build folder and returns its path.
    static std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::filesystem::path dir = std::filesystem::path(PP_BINARY_DIR) / "sprites_test";
        std::filesystem::create_directories(dir);
        const std::filesystem::path path = dir / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    const std::vector<Rgba> rgba = {{10, 20, 30, 40}, {0, 0, 0, 255},  {250, 128, 1, 0},
                                    {5, 6, 7, 8},     {9, 10, 11, 12}, {0, 0, 0, 0}};
};

TEST_F(SpriteTest, RgbaImageKeepsItsBytesInBlueGreenRedAlphaOrder) {
    const SpriteRecord* sprite =
        SpriteFromMemory(1, test::EncodePng(3, 2, rgba), SpriteUsableAsQuad | SpriteKeepAlpha);
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(sprite->Width, 3);
    EXPECT_EQ(sprite->Height, 2);
    EXPECT_EQ(sprite->Depth, 32);
    EXPECT_EQ(sprite->Flags, 12);
    EXPECT_EQ(sprite->Texture->Width, 3);
    EXPECT_EQ(sprite->Texture->Height, 2);
    std::vector<uint8_t> expected;
    for (const Rgba& p : rgba) expected.insert(expected.end(), {p.B, p.G, p.R, p.A});
    EXPECT_EQ(TextureBytes(*sprite), expected);
    EXPECT_EQ(LookupSprite(1), sprite);
}

TEST_F(SpriteTest, ImageWithoutAlphaKeysBlackTransparent) {
    const SpriteRecord* sprite = SpriteFromMemory(2, test::EncodePng(3, 2, rgba, false), 12);
    ASSERT_NE(sprite, nullptr);
    std::vector<uint8_t> expected;
    for (const Rgba& p : rgba) {
        const bool black = p.R == 0 && p.G == 0 && p.B == 0;
        expected.insert(expected.end(), {p.B, p.G, p.R, static_cast<uint8_t>(black ? 0 : 255)});
    }
    EXPECT_EQ(TextureBytes(*sprite), expected);
}

TEST_F(SpriteTest, KeepAlphaWithoutUsableAsQuadIsRefusedAndEmptiesTheNumber) {
    ASSERT_NE(SpriteFromMemory(3, test::EncodePng(3, 2, rgba), 12), nullptr);
    EXPECT_EQ(SpriteFromMemory(3, test::EncodePng(3, 2, rgba), SpriteKeepAlpha), nullptr);
    EXPECT_EQ(LookupSprite(3), nullptr);
}

TEST_F(SpriteTest, FlagsZeroLoadsButCannotBackAQuad) {
    const SpriteRecord* sprite = SpriteFromMemory(4, test::EncodePng(3, 2, rgba), 0);
    ASSERT_NE(sprite, nullptr);
    EXPECT_FALSE(sprite->Texture->UsableAsQuad);
    EXPECT_EQ(CreateQuadSprite(4, 4), nullptr);
}

TEST_F(SpriteTest, UnrecognisedBytesFreeTheOldSprite) {
    ASSERT_NE(SpriteFromMemory(5, test::EncodePng(3, 2, rgba), 12), nullptr);
    const std::vector<uint8_t> junk = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    EXPECT_EQ(SpriteFromMemory(5, junk, 12), nullptr);
    EXPECT_EQ(LookupSprite(5), nullptr);
    EXPECT_EQ(SpriteFromMemory(5, {}, 12), nullptr);
}

TEST_F(SpriteTest, TruncatedImageIsRefused) {
    std::vector<uint8_t> png = test::EncodePng(3, 2, rgba);
    png.resize(png.size() - 20);
    EXPECT_EQ(SpriteFromMemory(6, png, 12), nullptr);
    EXPECT_EQ(LookupSprite(6), nullptr);
}

TEST_F(SpriteTest, NegativeNumbersGetNoSprite) {
    EXPECT_EQ(SpriteFromMemory(-1, test::EncodePng(3, 2, rgba), 12), nullptr);
    EXPECT_EQ(LookupSprite(-1), nullptr);
    FreeSprite(-1);
}

TEST_F(SpriteTest, LoadsFromAFileNamedWithBackslashes) {
    const std::string path = WriteFile("star.png", test::EncodePng(3, 2, rgba));
    std::string windowsStyle = path;
    windowsStyle.replace(windowsStyle.rfind('/'), 1, "\\");
    const SpriteRecord* sprite = LoadSpriteImage(7, windowsStyle.c_str(), 12);
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(sprite->Width, 3);
}

TEST_F(SpriteTest, MissingFileLeavesTheExistingSpriteInPlace) {
    const SpriteRecord* sprite = SpriteFromMemory(8, test::EncodePng(3, 2, rgba), 12);
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(LoadSpriteImage(8, "Data\\no such file.png", 12), nullptr);
    EXPECT_EQ(LoadSpriteImage(8, PP_BINARY_DIR, 12), nullptr) << "a folder reads nothing";
    EXPECT_EQ(LoadSpriteImage(8, nullptr, 12), nullptr);
    EXPECT_EQ(LookupSprite(8), sprite);
}

TEST_F(SpriteTest, FileInAnUnknownFormatFreesTheSprite) {
    ASSERT_NE(SpriteFromMemory(9, test::EncodePng(3, 2, rgba), 12), nullptr);
    const std::string path = WriteFile("notes.txt", {'h', 'e', 'l', 'l', 'o'});
    EXPECT_EQ(LoadSpriteImage(9, path.c_str(), 12), nullptr);
    EXPECT_EQ(LookupSprite(9), nullptr);
}

TEST_F(SpriteTest, LargeNumbersGrowTheTable) {
    EXPECT_NE(SpriteFromMemory(1000, test::EncodePng(1, 1, {rgba[0]}), 12), nullptr);
    EXPECT_NE(LookupSprite(1000), nullptr);
    FreeSprite(1000);
    EXPECT_EQ(LookupSprite(1000), nullptr);
}

TEST_F(SpriteTest, ReleasingTheScreenFreesAllSprites) {
    ASSERT_NE(SpriteFromMemory(1, test::EncodePng(3, 2, rgba), 12), nullptr);
    ASSERT_NE(SpriteFromMemory(2, test::EncodePng(3, 2, rgba), 12), nullptr);
    ReleaseScreen();
    EXPECT_EQ(LookupSprite(1), nullptr);
    EXPECT_EQ(LookupSprite(2), nullptr);
    EXPECT_EQ(SpriteFromMemory(1, test::EncodePng(3, 2, rgba), 12), nullptr)
        << "no screen, no sprite";
}

}  // namespace
}  // namespace pp
