#include "image/embedded_image.h"

namespace pp {

std::optional<DecodedImage> DecodeEmbeddedImage(std::string_view, std::string* error) {
    if (error) *error = "embedded images are not read yet";
    return std::nullopt;
}

}  // namespace pp
