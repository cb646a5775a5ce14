#include <zlib.h>

#include <cstddef>
#include <string>
#include <vector>

#include "fuzz/harness.h"
#include "image/embedded_image.h"
#include "image/image_decoders.h"
#include "image/texture_bytes.h"

namespace pp::fuzz {
namespace {

std::string DecodeWith(const ImageDecoder& decoder, std::span<const uint8_t> data) {
    const auto image = DecodeImageWith(decoder, data, 0);
    if (!image) return {};
    const auto expected =
        static_cast<std::size_t>(image->Height) * static_cast<std::size_t>(image->Pitch);
    if (image->Pixels.size() != expected) return "decoded buffer is not Height * Pitch bytes";
    (void)MakeTextureBytes(*image, SpriteUsableAsQuad | SpriteKeepAlpha);
    (void)MakeTextureBytes(*image, 0);
    return {};
}

// Whole-buffer compression; windowBits 31 writes gzip, 15 zlib.
std::vector<uint8_t> Compress(std::span<const uint8_t> in, int windowBits) {
    z_stream stream{};
    if (deflateInit2(&stream, 6, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    std::vector<uint8_t> out(deflateBound(&stream, static_cast<uLong>(in.size())) + 32);
    stream.next_in = const_cast<Bytef*>(in.data());
    stream.avail_in = static_cast<uInt>(in.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(result == Z_STREAM_END ? stream.total_out : 0);
    deflateEnd(&stream);
    return out;
}

std::string CheckEmbedded(std::string_view text, std::optional<DecodedImage>& image) {
    std::string error;
    image = DecodeEmbeddedImage(text, &error);
    if (!image) {
        if (!error.starts_with("embedded image: ")) return "a refusal without its prefix";
        if (error.find('\n') != std::string::npos) return "a refusal of more than one line";
        return {};
    }
    if (image->Depth != 32 || image->Pitch != 4 * image->Width ||
        image->Pixels.size() != static_cast<size_t>(image->Pitch) * image->Height) {
        return "a decoded embedded image that is not Height rows of 4 * Width bytes";
    }
    return {};
}

}  // namespace

std::string Base64Text(std::span<const uint8_t> bytes, size_t lineLength,
                       std::string_view lineBreak) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    size_t column = 0;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t group = uint32_t{bytes[i]} << 16;
        if (i + 1 < bytes.size()) group |= uint32_t{bytes[i + 1]} << 8;
        if (i + 2 < bytes.size()) group |= bytes[i + 2];
        for (size_t k = 0; k < 4; ++k) {
            text += i + k <= bytes.size() ? kAlphabet[group >> (18 - 6 * k) & 63] : '=';
            if (lineLength != 0 && ++column % lineLength == 0) text += lineBreak;
        }
    }
    return text;
}

std::string PngInput(std::span<const uint8_t> data) {
    return DecodeWith(PngDecoder(), data);
}

std::string BmpInput(std::span<const uint8_t> data) {
    return DecodeWith(BmpDecoder(), data);
}

std::string TiffInput(std::span<const uint8_t> data) {
    return DecodeWith(TiffDecoder(), data);
}

std::string EmbeddedImageInput(std::span<const uint8_t> data) {
    if (data.empty()) return {};
    const uint8_t flags = data[0];
    const std::span<const uint8_t> rest = data.subspan(1);
    std::optional<DecodedImage> image;
    if ((flags & 1) != 0) {
        return CheckEmbedded({reinterpret_cast<const char*>(rest.data()), rest.size()}, image);
    }
    std::vector<uint8_t> stored(rest.begin(), rest.end());
    if ((flags & 6) != 0) stored = Compress(rest, (flags & 2) != 0 ? 31 : 15);
    std::string broken = CheckEmbedded(Base64Text(stored), image);
    if (!broken.empty()) return broken;
    std::optional<DecodedImage> inLines;
    broken = CheckEmbedded(Base64Text(stored, 57), inLines);
    if (!broken.empty()) return broken;
    if (image.has_value() != inLines.has_value() ||
        (image && (image->Width != inLines->Width || image->Pixels != inLines->Pixels))) {
        return "the text in lines decodes differently";
    }
    return {};
}

}  // namespace pp::fuzz
