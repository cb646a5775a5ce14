// make_sprites [--out] OUTDIR: paints the scene's four sprites and writes them as
// OUTDIR/<Name>.png. The output is the same on every run, so regenerated files only differ
// when the painter does.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
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

constexpr const char* kUsage =
    "Usage: make_sprites [--gallery] [--out] OUTDIR\n"
    "Paints the scene's four sprites (Sternchen, Feuer, Energie and Luftblase: a star, a flame,\n"
    "an energy glow and a bubble, RGBA with soft alpha edges) and writes them as\n"
    "OUTDIR/<Name>.png, creating OUTDIR when needed. The same files on every run; from the\n"
    "repository root 'make_sprites Data' renews the scene's sprites.\n"
    "--gallery paints the effect gallery's sprites instead (Fire, Firework, Sparks, MagicSwirl,\n"
    "Rain, Explosion, Comet, RocketTrail ...): 'make_sprites --gallery examples/effects'.\n";

int Usage(const std::string& message) {
    std::fprintf(stderr, "make_sprites: %s (see make_sprites --help)\n", message.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<std::string> out;
    bool gallery = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--gallery") {
            gallery = true;
            continue;
        }
        std::string_view value = arg;
        if (arg == "--out") {
            if (i + 1 == argc) return Usage("--out needs a folder");
            value = argv[++i];
        } else if (arg.starts_with("--out=")) {
            value = arg.substr(6);
        } else if (arg.starts_with("-")) {
            return Usage("unknown option '" + std::string(arg) + "'");
        }
        if (value.empty()) return Usage("the folder name is empty");
        if (out) return Usage("one folder only, not also '" + std::string(value) + "'");
        out = std::string(value);
    }
    if (!out) return Usage("missing OUTDIR, the folder to write the sprites into");
    const std::filesystem::path outDir = *out;
    std::error_code error;
    std::filesystem::create_directories(outDir, error);
    if (error || !std::filesystem::is_directory(outDir)) {
        std::fprintf(stderr, "make_sprites: cannot create folder %s\n", outDir.string().c_str());
        return 1;
    }
    for (const pp::SpriteImage& sprite :
         gallery ? pp::PaintGallerySprites() : pp::PaintSceneSprites()) {
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
