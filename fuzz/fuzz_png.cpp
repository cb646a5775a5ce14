// libFuzzer target: arbitrary bytes through the PNG decoder and, when they decode, through the
// texture bytes for both kinds of load. Any crash, leak or undefined behaviour is a finding.
#include <cstddef>
#include <cstdint>
#include <span>

#include "render/image_decoders.h"
#include "render/texture_bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    const auto image = pp::DecodeImageWith(pp::PngDecoder(), bytes, 0);
    if (image) {
        (void)pp::MakeTextureBytes(*image, pp::SpriteUsableAsQuad | pp::SpriteKeepAlpha);
        (void)pp::MakeTextureBytes(*image, 0);
    }
    return 0;
}
