// The TIFF decoder of builds without libtiff (the browser's): it recognises a TIFF by its
// signature and refuses it with a reason, so an embedded TIFF is one clear message there.
#include "image/image_decoders.h"

namespace pp {
namespace {

bool CheckTiff(DecodeContext& context) {
    const std::span<const uint8_t> bytes = context.Bytes;
    if (bytes.size() < 4 ||
        !((bytes[0] == 'I' && bytes[1] == 'I') || (bytes[0] == 'M' && bytes[1] == 'M'))) {
        return false;
    }
    context.Error = "tiff: this build reads no TIFF images";
    return false;
}

bool DecodeTiff(DecodeContext& context, std::span<uint8_t>, int32_t, int32_t) {
    context.Error = "tiff: this build reads no TIFF images";
    return false;
}

}  // namespace

const ImageDecoder& TiffDecoder() {
    static const ImageDecoder decoder{"tiff", CheckTiff, DecodeTiff};
    return decoder;
}

}  // namespace pp
