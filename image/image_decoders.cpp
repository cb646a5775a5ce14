#include "image/image_decoders.h"

#include <array>

namespace pp {
namespace {

struct DecoderRegistry {
    std::array<const ImageDecoder*, MaxImageDecoders> Decoders{};
    int32_t Count = 0;
    bool PngEnabled = false;
};

// Start-up state: the BMP decoder alone. Built on first use so that it never depends on the
// order in which static objects of other files are initialised.
DecoderRegistry StartUpRegistry() {
    DecoderRegistry registry;
    registry.Decoders[0] = &BmpDecoder();
    registry.Count = 1;
    return registry;
}

DecoderRegistry& Registry() {
    static DecoderRegistry registry = StartUpRegistry();
    return registry;
}

void SetError(std::string* error, const std::string& message) {
    if (error != nullptr) *error = message;
}

// Runs the chosen decoder's decode into a fresh buffer after refusing sizes that are out of
// range, so that nothing is allocated for an image that is too large. Clean-up always runs.
std::optional<DecodedImage> DecodeChosen(DecodeContext& context, int32_t flags,
                                         std::string* error) {
    const ImageDecoder& decoder = *context.Decoder;
    const std::string name = decoder.Name;
    DecodedImage image;
    image.Width = context.Width;
    image.Height = context.Height;
    image.Depth = context.Depth;
    if (image.Width <= 0 || image.Height <= 0) {
        context.Data.reset();
        SetError(error, name + ": image has no pixels (width or height is 0 or less)");
        return std::nullopt;
    }
    if (image.Width > particleplayer::kMaxPixelSide ||
        image.Height > particleplayer::kMaxPixelSide) {
        context.Data.reset();
        SetError(error, name + ": image is larger than " +
                            std::to_string(particleplayer::kMaxPixelSide) + " pixels on a side");
        return std::nullopt;
    }
    image.Pitch = DecodePitch(image.Width, image.Depth);
    if (image.Pitch == 0) {
        context.Data.reset();
        SetError(error, name + ": unsupported decode depth");
        return std::nullopt;
    }
    // Both factors are at most 16384 * 4, so the product fits comfortably in 64 bits.
    const int64_t size = int64_t{image.Pitch} * image.Height;
    if (size > MaxDecodeBytes) {
        context.Data.reset();
        SetError(error, name + ": decode buffer would exceed 256 MiB");
        return std::nullopt;
    }
    // Zero-filled, so pixels a decoder legitimately leaves alone (skipped run-length pixels)
    // are black rather than whatever the memory held.
    image.Pixels.assign(static_cast<size_t>(size), 0);
    const bool decoded = decoder.Decode(context, image.Pixels, image.Pitch, flags);
    context.Data.reset();
    if (!decoded) {
        SetError(error, context.Error.empty() ? name + ": decode failed" : context.Error);
        return std::nullopt;
    }
    return image;
}

}  // namespace

int32_t DecodePitch(int32_t width, int32_t depth) {
    if (width <= 0 || width > particleplayer::kMaxPixelSide) return 0;
    if (depth == 32) return 4 * width;
    if (depth == 24) return 3 * width + width % 4;
    return 0;
}

void ResetImageDecoders() {
    Registry() = StartUpRegistry();
}

int32_t RegisterImageDecoder(const ImageDecoder& decoder) {
    DecoderRegistry& registry = Registry();
    if (registry.Count >= MaxImageDecoders) return 0;
    registry.Decoders[static_cast<size_t>(registry.Count)] = &decoder;
    ++registry.Count;
    return 1;
}

void EnablePngDecoder() {
    DecoderRegistry& registry = Registry();
    if (registry.PngEnabled) return;
    if (RegisterImageDecoder(PngDecoder()) != 0) registry.PngEnabled = true;
}

std::optional<DecodedImage> DecodeImage(std::span<const uint8_t> bytes, int32_t flags,
                                        std::string* error) {
    const DecoderRegistry& registry = Registry();
    DecodeContext context;
    context.Bytes = bytes;
    std::string reason;
    for (int32_t i = 0; i < registry.Count; ++i) {
        const ImageDecoder& decoder = *registry.Decoders[static_cast<size_t>(i)];
        context.Error.clear();
        if (decoder.Check(context)) {
            context.Decoder = &decoder;
            return DecodeChosen(context, flags, error);
        }
        context.Data.reset();
        // Keep the reason of a decoder that knew the format but could not use the header.
        if (!context.Error.empty()) reason = context.Error;
    }
    SetError(error, reason.empty() ? "image: no decoder recognises the data" : reason);
    return std::nullopt;
}

std::optional<DecodedImage> DecodeImageWith(const ImageDecoder& decoder,
                                            std::span<const uint8_t> bytes, int32_t flags,
                                            std::string* error) {
    DecodeContext context;
    context.Bytes = bytes;
    if (!decoder.Check(context)) {
        context.Data.reset();
        SetError(error, context.Error.empty()
                            ? std::string(decoder.Name) + ": data is not in this format"
                            : context.Error);
        return std::nullopt;
    }
    context.Decoder = &decoder;
    return DecodeChosen(context, flags, error);
}

}  // namespace pp
