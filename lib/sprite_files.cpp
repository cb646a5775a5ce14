#include "lib/sprite_files.h"

#include <filesystem>
#include <map>
#include <set>

#include "draw/sprites.h"

namespace particleplayer {
namespace {

struct LoadedFile {
    std::string Path;
    bool Failed = false;
};

struct LoadedFiles {
    std::map<int32_t, LoadedFile> Files;  // what each number was last loaded from
    std::set<int32_t> Host;               // numbers the host loaded itself
};

LoadedFiles& Loaded() {
    static LoadedFiles files;
    return files;
}

}  // namespace

void LoadWorldSpriteFiles(const pp::Engine& engine,
                          const std::function<bool(int32_t, const std::string&)>& load) {
    LoadedFiles& loaded = Loaded();
    for (std::size_t i = 0; i < engine.SpriteFiles.size(); ++i) {
        const int32_t number = engine.FirstSpriteFileNumber + static_cast<int32_t>(i);
        const std::string& path = engine.SpriteFiles[i];
        if (loaded.Host.count(number) != 0) continue;
        // A sprite freed with its screen is loaded again; a file that failed is not retried.
        const auto known = loaded.Files.find(number);
        if (known != loaded.Files.end() && known->second.Path == path &&
            (known->second.Failed || pp::LookupSprite(number) != nullptr)) {
            continue;
        }
        // A pipe or a device could block the frame or never end.
        std::error_code error;
        const bool regular = std::filesystem::is_regular_file(path, error);
        loaded.Files[number] = LoadedFile{path, !regular || !load(number, path)};
    }
}

void KeepHostSprite(int32_t number) {
    Loaded().Host.insert(number);
    Loaded().Files.erase(number);
}

void ForgetSpriteFiles() {
    Loaded() = LoadedFiles{};
}

}  // namespace particleplayer
