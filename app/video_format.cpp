// Video file names and frame rates: what the program decides before any encoder is loaded.
#include <array>
#include <numeric>

#include "app/video_writer.h"

namespace pp {

std::optional<VideoFormat> VideoFormatOf(std::string_view path) {
    static constexpr std::array<std::pair<VideoFormat, std::string_view>, 3> kEndings = {{
        {VideoFormat::Mp4, ".mp4"},
        {VideoFormat::WebM, ".webm"},
        {VideoFormat::Gif, ".gif"},
    }};
    for (const auto& [format, ending] : kEndings) {
        if (path.size() <= ending.size()) continue;
        const std::string_view tail = path.substr(path.size() - ending.size());
        bool same = true;
        for (size_t i = 0; i < tail.size(); ++i) {
            const char c =
                tail[i] >= 'A' && tail[i] <= 'Z' ? static_cast<char>(tail[i] + 32) : tail[i];
            same = same && c == ending[i];
        }
        if (same) return format;
    }
    return std::nullopt;
}

std::optional<FrameRate> ParseFrameRate(std::string_view text) {
    int64_t num = 0;
    int64_t den = 1;
    size_t digits = 0;
    bool point = false;
    for (const char c : text) {
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9' && digits < 8 && den < 1000) {
            num = num * 10 + (c - '0');
            ++digits;
            if (point) den *= 10;
        } else {
            return std::nullopt;
        }
    }
    // Bounded above by 8 digits, so num stays far inside int32.
    if (digits == 0 || num == 0 || num > 1000 * den) return std::nullopt;
    const int64_t common = std::gcd(num, den);
    return FrameRate{static_cast<int32_t>(num / common), static_cast<int32_t>(den / common)};
}

}  // namespace pp
