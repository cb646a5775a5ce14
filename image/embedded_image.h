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
// a top-down 32-bit B,G,R,A buffer with straight alpha (24-bit PNGs made opaque). Base64 is
// strict: its alphabet only, in groups of four, the last padded with '='. Bytes that start as
// gzip (1f 8b) or zlib (a valid two-byte zlib header) are inflated, gzip members one after another
// as one stream; other bytes are taken as they are. Returns nullopt with a one-line reason in
// *error when the text is not base64, does not inflate within the cap, or holds no image we decode.
std::optional<DecodedImage> DecodeEmbeddedImage(std::string_view base64_text,
                                                std::string* error = nullptr);

}  // namespace pp
