// play's screenshots: the screen's last frame as a PNG named after the local time.
#include <ctime>

#include "app/play_session.h"
#include "app/png_writer.h"
#include "particleplayer/screen.h"

namespace pp {
namespace {

std::string TimeStampName() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char stamp[32] = "unknown-time";
    if (localtime_r(&now, &local) != nullptr) {
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    }
    return std::string("particleplayer-") + stamp;
}

}  // namespace

std::optional<std::filesystem::path> SaveScreenshot(const std::filesystem::path& folder,
                                                    std::string& error) {
    std::vector<uint8_t> pixels;
    if (!particleplayer::ReadPixels(pixels, particleplayer::PixelOrder::Bgr).Ok()) {
        error = "no screen to take a screenshot of";
        return std::nullopt;
    }
    const particleplayer::PixelSize size = particleplayer::ScreenSize();
    const auto png = EncodePngFromBgr(size.Width, size.Height, pixels);
    if (!png) {
        error = "cannot encode the screenshot as PNG";
        return std::nullopt;
    }
    const std::string base = TimeStampName();
    std::filesystem::path path = folder / (base + ".png");
    std::error_code ignored;
    // Several shots in one second get numbers rather than overwriting each other.
    for (int n = 2; std::filesystem::exists(path, ignored); ++n) {
        if (n > 9999) {
            error = "too many screenshots named " + base + "-N.png in " + folder.string();
            return std::nullopt;
        }
        path = folder / (base + "-" + std::to_string(n) + ".png");
    }
    if (const auto failed = WriteFileAtomically(path.string(), *png)) {
        error = *failed;
        return std::nullopt;
    }
    return path;
}

}  // namespace pp
