#include <cstddef>
#include <string>

#include "fuzz/harness.h"
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

}  // namespace

std::string PngInput(std::span<const uint8_t> data) {
    return DecodeWith(PngDecoder(), data);
}

std::string BmpInput(std::span<const uint8_t> data) {
    return DecodeWith(BmpDecoder(), data);
}

}  // namespace pp::fuzz
