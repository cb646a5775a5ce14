// The program's side of video writing: it finds and loads the video module on the first
// video, and hands each frame to the encoder the module opens.
#include "app/video_writer.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "app/video_module.h"

namespace pp {
namespace {

std::string& ChosenModulePath() {
    static std::string path;
    return path;
}

// The module's possible places: the one chosen, or beside the program (a build tree) and in
// the installed library folder relative to it.
std::vector<std::string> ModuleCandidates() {
    if (!ChosenModulePath().empty()) return {ChosenModulePath()};
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    const std::filesystem::path folder = program.parent_path();
    return {(folder / PP_VIDEO_MODULE_FILE).string(),
            (folder / PP_VIDEO_MODULE_FROM_BIN / PP_VIDEO_MODULE_FILE).lexically_normal().string()};
}

struct LoadedModule {
    const VideoModule* Module = nullptr;
    std::string Error;  // why there is none
};

LoadedModule LoadModule() {
    const std::vector<std::string> candidates = ModuleCandidates();
    for (const std::string& path : candidates) {
        std::error_code error;
        if (!std::filesystem::exists(path, error)) continue;
        // Never closed: the encoders' code lives in it until the program ends.
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* why = dlerror();
            return {nullptr, "cannot load the video module " + path + ": " +
                                 (why != nullptr ? why : "unknown error")};
        }
        using Entry = const VideoModule* (*)();
        const auto entry = reinterpret_cast<Entry>(dlsym(handle, kVideoModuleEntry));
        const VideoModule* module = entry != nullptr ? entry() : nullptr;
        if (module == nullptr || module->Version != kVideoModuleVersion) {
            return {nullptr, "the video module " + path + " is from another build"};
        }
        return {module, {}};
    }
    std::string tried;
    for (const std::string& path : candidates) tried += (tried.empty() ? "" : " or ") + path;
    return {nullptr, "the video module is missing (looked for " +
                         (tried.empty() ? std::string(PP_VIDEO_MODULE_FILE) : tried) + ")"};
}

const LoadedModule& Module() {
    static const LoadedModule loaded = LoadModule();
    return loaded;
}

}  // namespace

void SetVideoModulePath(std::string path) {
    ChosenModulePath() = std::move(path);
}

std::optional<VideoError> CheckVideoEncoder(const std::string& path) {
    const LoadedModule& loaded = Module();
    if (loaded.Module == nullptr) return VideoError{VideoError::Failed, loaded.Error};
    return loaded.Module->CheckEncoder(path);
}

VideoWriter::VideoWriter() = default;
VideoWriter::~VideoWriter() = default;

std::optional<VideoError> VideoWriter::Open(const std::string& path, int32_t width, int32_t height,
                                            FrameRate rate, std::string_view encoder, bool alpha) {
    if (encoder_ != nullptr)
        return VideoError{VideoError::Failed, "a video is already being written"};
    const LoadedModule& loaded = Module();
    if (loaded.Module == nullptr) return VideoError{VideoError::Failed, loaded.Error};
    VideoError error;
    encoder_ = loaded.Module->Open(
        VideoRequest{path, width, height, rate, std::string(encoder), alpha}, error);
    if (encoder_ == nullptr) return error;
    alpha_ = alpha;
    return std::nullopt;
}

std::optional<std::string> VideoWriter::AddFrameBgr(std::span<const uint8_t> bgr) {
    if (encoder_ != nullptr && alpha_) return "this video takes frames with alpha";
    return AddFrame(bgr, 3);
}

std::optional<std::string> VideoWriter::AddFrameRgba(std::span<const uint8_t> rgba) {
    if (encoder_ != nullptr && !alpha_) return "this video takes frames without alpha";
    return AddFrame(rgba, 4);
}

std::optional<std::string> VideoWriter::AddFrame(std::span<const uint8_t> pixels, size_t channels) {
    if (encoder_ == nullptr) return "no video is open";
    return encoder_->AddFrame(pixels, channels);
}

std::optional<std::string> VideoWriter::Finish() {
    if (encoder_ == nullptr) return "no video is open";
    // Whatever happens, the writer is closed afterwards; on failure the temporary goes.
    const std::unique_ptr<VideoEncoder> encoder = std::move(encoder_);
    return encoder->Finish();
}

}  // namespace pp
