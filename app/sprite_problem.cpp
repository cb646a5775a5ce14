// Whether a file can serve play as a sprite: readable, and a PNG or BMP image that decodes.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/play_session.h"
#include "particleplayer/screen.h"

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
    return particleplayer::SpriteImageProblem(bytes);
}

}  // namespace pp
