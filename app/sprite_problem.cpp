// Whether a file can serve play as a sprite: readable, and a PNG or BMP image that decodes.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/play_session.h"
#include "image/image_decoders.h"

namespace pp {
namespace {

// The sprite loader reads files up to this size.
constexpr std::uintmax_t kMaxSpriteBytes = std::uintmax_t{64} << 20;

}  // namespace

std::string SpriteProblem(const std::string& path) {
    if (std::string problem = FileProblem(path); !problem.empty()) return problem;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) return error.message();
    if (size > kMaxSpriteBytes) return "larger than 64 MiB";
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (in.bad()) return "cannot be read";
    // The decoders the player uses: BMP always, PNG once the screen is open.
    std::string bmpError;
    std::string pngError;
    if (DecodeImageWith(BmpDecoder(), bytes, 0, &bmpError)) return "";
    if (DecodeImageWith(PngDecoder(), bytes, 0, &pngError)) return "";
    const auto startsWith = [&](std::string_view magic) {
        return bytes.size() >= magic.size() &&
               std::equal(magic.begin(), magic.end(), bytes.begin(),
                          [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; });
    };
    if (startsWith("\x89PNG") && !pngError.empty()) return "a broken PNG (" + pngError + ")";
    if (startsWith("BM") && !bmpError.empty()) return "a broken BMP (" + bmpError + ")";
    return bytes.empty() ? "an empty file, not an image" : "not a PNG or BMP image";
}

}  // namespace pp
