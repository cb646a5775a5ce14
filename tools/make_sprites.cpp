// make_sprites OUTDIR: paints the scene's four sprites and writes them as OUTDIR/<Name>.png.
// The output is the same on every run, so regenerated files only differ when the painter does.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "tools/sprite_painter.h"

namespace {

bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '\0') {
        std::fprintf(stderr, "usage: make_sprites OUTDIR  (writes the four scene sprites there)\n");
        return 2;
    }
    const std::filesystem::path outDir = argv[1];
    std::error_code error;
    std::filesystem::create_directories(outDir, error);
    if (error || !std::filesystem::is_directory(outDir)) {
        std::fprintf(stderr, "make_sprites: cannot create folder %s\n", outDir.string().c_str());
        return 1;
    }
    for (const pp::SpriteImage& sprite : pp::PaintSceneSprites()) {
        const std::filesystem::path path = outDir / (sprite.Name + ".png");
        const auto bytes = pp::EncodeSpritePng(sprite);
        if (!bytes) {
            std::fprintf(stderr, "make_sprites: libpng could not encode %s\n", sprite.Name.c_str());
            return 1;
        }
        if (!WriteFile(path, *bytes)) {
            std::fprintf(stderr, "make_sprites: cannot write %s\n", path.string().c_str());
            return 1;
        }
        std::printf("%s (%dx%d)\n", path.string().c_str(), sprite.Width, sprite.Height);
    }
    return 0;
}
