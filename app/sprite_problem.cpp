// Whether a file can serve play as a sprite: readable, and a PNG or BMP image that decodes.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/play_session.h"
#include "particleplayer/screen.h"

namespace pp {

std::string SpriteProblem(const std::string& path) {
    if (std::string problem = FileProblem(path); !problem.empty()) return problem;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) return error.message();
    if (size > static_cast<std::uintmax_t>(particleplayer::kMaxSpriteFileBytes)) {
        return "larger than " + std::to_string(particleplayer::kMaxSpriteFileBytes >> 20) + " MiB";
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (in.bad()) return "cannot be read";
    return particleplayer::SpriteImageProblem(bytes);
}

}  // namespace pp
