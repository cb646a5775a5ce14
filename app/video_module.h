// What the video module hands the program that loads it: one
// function table, found by its C name, and encoders behind an interface. Both sides are built
// from the same tree with the same compiler, so C++ types cross; the version refuses a module
// left from another build.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "app/video_writer.h"

namespace pp {

// One open video file.
class VideoEncoder {
  public:
    virtual ~VideoEncoder() = default;
    // Rows of `channels` bytes a pixel: B, G, R without alpha; R, G, B, A with it.
    virtual std::optional<std::string> AddFrame(std::span<const uint8_t> pixels,
                                                size_t channels) = 0;
    virtual std::optional<std::string> Finish() = 0;
};

struct VideoRequest {
    std::string Path;
    int32_t Width = 0;
    int32_t Height = 0;
    FrameRate Rate;
    std::string Encoder;  // empty: the format's usual one
    bool Alpha = false;
};

inline constexpr int32_t kVideoModuleVersion = 1;

struct VideoModule {
    int32_t Version = kVideoModuleVersion;
    std::optional<VideoError> (*CheckEncoder)(const std::string& path) = nullptr;
    // The open encoder, or nullptr with the reason in `error`.
    std::unique_ptr<VideoEncoder> (*Open)(const VideoRequest& request, VideoError& error) = nullptr;
};

inline constexpr const char* kVideoModuleEntry = "pp_video_module";

}  // namespace pp

extern "C" __attribute__((visibility("default"))) const pp::VideoModule* pp_video_module();
