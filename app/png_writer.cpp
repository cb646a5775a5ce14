#include "app/png_writer.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "particleplayer/world.h"

namespace pp {

namespace {

std::optional<std::vector<uint8_t>> EncodePng(int32_t width, int32_t height,
                                              std::span<const uint8_t> pixels, size_t channels,
                                              png_uint_32 format) {
    // Bounded so that the row and byte counts stay far inside their types.
    using particleplayer::kMaxPixelSide;
    if (width < 1 || height < 1 || width > kMaxPixelSide || height > kMaxPixelSide) {
        return std::nullopt;
    }
    const size_t rowBytes = static_cast<size_t>(width) * channels;
    if (pixels.size() != rowBytes * static_cast<size_t>(height)) return std::nullopt;

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = format;
    // The fast setting encodes a frame several times sooner for files about a fifth larger;
    // previews are written far more often than they are kept.
    image.flags = PNG_IMAGE_FLAG_FAST;
    const auto stride = static_cast<png_int_32>(rowBytes);
    png_alloc_size_t size = 0;
    // The first call only measures; the second writes into a buffer of that size.
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), stride, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    std::vector<uint8_t> png(size);
    if (!png_image_write_to_memory(&image, png.data(), &size, 0, pixels.data(), stride, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    png.resize(size);
    return png;
}

}  // namespace

std::optional<std::vector<uint8_t>> EncodePngFromBgr(int32_t width, int32_t height,
                                                     std::span<const uint8_t> bgr) {
    return EncodePng(width, height, bgr, 3, PNG_FORMAT_BGR);
}

std::optional<std::vector<uint8_t>> EncodePngFromRgba(int32_t width, int32_t height,
                                                      std::span<const uint8_t> rgba) {
    return EncodePng(width, height, rgba, 4, PNG_FORMAT_RGBA);
}

std::optional<std::string> WriteFileAtomically(const std::string& path,
                                               std::span<const uint8_t> bytes) {
    const std::string temporary = path + ".part";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) return "cannot create " + temporary + ": " + std::strerror(errno);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        const std::string reason = std::strerror(written ? errno : writeErrno);
        std::remove(temporary.c_str());
        return "cannot write " + temporary + ": " + reason;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        std::remove(temporary.c_str());
        return "cannot rename " + temporary + " to " + path + ": " + reason;
    }
    return std::nullopt;
}

}  // namespace pp
