// Image decoders: a registry of format decoders (BMP of our own, PNG through libpng) that turn
// the bytes of an image file into a top-down 24-bit (B,G,R) or 32-bit (B,G,R,A) pixel buffer.
// Every input is untrusted: a decoder refuses what it cannot decode completely and never reads
// outside the bytes it was given. No SDL, no GL.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "particleplayer/world.h"

namespace pp {

// Decode flags. Without DecodeBottomUp the first buffer row is the image's top row.
inline constexpr int32_t DecodeBottomUp = 2;

// Refused before anything is allocated: a side longer than particleplayer::kMaxPixelSide, or a
// decode buffer larger than MaxDecodeBytes.
inline constexpr int64_t MaxDecodeBytes = int64_t{256} << 20;

// Room in the registry; RegisterImageDecoder refuses more.
inline constexpr int32_t MaxImageDecoders = 30;

struct DecodedImage {
    int32_t Width = 0, Height = 0;
    int32_t Depth = 0;            // bits per pixel of Pixels: 24 or 32
    int32_t Pitch = 0;            // bytes per row: 4W at depth 32, 3W + (W mod 4) at depth 24
    std::vector<uint8_t> Pixels;  // Height * Pitch bytes, top-down B,G,R[,A] rows
};

// A decoder's private state between check, decode and clean-up (the PNG decoder keeps its
// libpng structures here). Destroying it frees everything it holds.
struct DecoderData {
    virtual ~DecoderData() = default;
};

struct ImageDecoder;

// The state of one decode. Cleared before each image; the check fills Width, Height and Depth.
struct DecodeContext {
    const ImageDecoder* Decoder = nullptr;  // the decoder whose check recognised the bytes
    std::span<const uint8_t> Bytes;         // the whole file, with its real length
    int32_t Width = 0, Height = 0;
    int32_t Depth = 0;                  // 24 or 32
    std::unique_ptr<DecoderData> Data;  // the chosen decoder's private state
    std::string Error;                  // one-line reason when a check or decode fails
};

// One image format. Check returns true when the bytes are in this format and their header
// is usable, after filling Width, Height and Depth (on false it may leave a reason in Error).
// Decode fills a buffer of at least Height * pitch bytes and returns false (with a reason in
// Error) when the image cannot be decoded completely. The registry frees Data after every
// check and decode, whatever they returned.
struct ImageDecoder {
    const char* Name;
    bool (*Check)(DecodeContext& context);
    bool (*Decode)(DecodeContext& context, std::span<uint8_t> buffer, int32_t pitch, int32_t flags);
};

// The decoders themselves, for callers that want one format only (tests, fuzzing).
const ImageDecoder& BmpDecoder();
const ImageDecoder& PngDecoder();
// TIFF through libtiff, always 32-bit. Not in the registry: sprite files are BMP or PNG; it
// reads the TIFFs other tools embed in their effect files (image/embedded_image.h).
const ImageDecoder& TiffDecoder();

// The registry is set up statically: from program start it holds the BMP decoder, so start-up
// has nothing to call. ResetImageDecoders puts it back into that state (BMP only, PNG not
// enabled); tests use it to start from a known registry.
void ResetImageDecoders();

// Appends a decoder; returns 1, or 0 when the registry is full (MaxImageDecoders).
int32_t RegisterImageDecoder(const ImageDecoder& decoder);

// Registers the PNG decoder the first time it is called; later calls do nothing.
void EnablePngDecoder();

// Tries the registered decoders in registration order (BMP first, then PNG once enabled).
// Returns nullopt (with a one-line reason in *error when given) when no decoder recognises
// the bytes, the image is too large, or the decode fails.
std::optional<DecodedImage> DecodeImage(std::span<const uint8_t> bytes, int32_t flags,
                                        std::string* error = nullptr);

// The same with one given decoder only.
std::optional<DecodedImage> DecodeImageWith(const ImageDecoder& decoder,
                                            std::span<const uint8_t> bytes, int32_t flags,
                                            std::string* error = nullptr);

// The row pitch of a decode buffer: 4W at depth 32, else 3W + (W mod 4), so 24-bit rows are
// padded to a multiple of 4 bytes. Returns 0 when W or the depth is out of range.
int32_t DecodePitch(int32_t width, int32_t depth);

}  // namespace pp
