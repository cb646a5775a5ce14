// Images that other tools' effect files carry inside themselves as text: base64 of image bytes
// that are gzip- or zlib-compressed or stored plain, holding a PNG or a TIFF. Every input is
// untrusted: the inflated size is capped (MaxDecodeBytes), so a small text that inflates to
// gigabytes is one refusal, not memory. No SDL, no GL.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "image/image_decoders.h"

namespace pp {

// Decodes the text of an embedded image (whitespace between base64 characters is skipped) to
// a top-down 32-bit B,G,R,A buffer. Returns nullopt with a one-line reason in *error when the
// text is not base64, does not inflate within the cap, or holds no image we decode.
std::optional<DecodedImage> DecodeEmbeddedImage(std::string_view base64_text,
                                                std::string* error = nullptr);

}  // namespace pp
