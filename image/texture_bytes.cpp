#include "image/texture_bytes.h"

namespace pp {

bool SpriteFlagsValid(int32_t flags) {
    return (flags & SpriteKeepAlpha) == 0 || (flags & SpriteUsableAsQuad) != 0;
}

// Our screen is always 32 bits deep, so sprite textures are always B,G,R,A with 8 bits each;
// the 16-bit 1:5:5:5 texture of shallow screens is never needed.
std::optional<std::vector<uint8_t>> MakeTextureBytes(const DecodedImage& image, int32_t flags) {
    if (!SpriteFlagsValid(flags)) return std::nullopt;
    const int32_t width = image.Width;
    const int32_t height = image.Height;
    if (width <= 0 || height <= 0 || width > particleplayer::kMaxPixelSide ||
        height > particleplayer::kMaxPixelSide) {
        return std::nullopt;
    }
    if (image.Depth != 24 && image.Depth != 32) return std::nullopt;
    const int64_t sourceBytesPerPixel = image.Depth / 8;
    const int64_t pitch = image.Pitch;
    if (pitch < sourceBytesPerPixel * width) return std::nullopt;
    if (static_cast<int64_t>(image.Pixels.size()) < pitch * height) return std::nullopt;

    // Alpha survives only when it was asked for and the image has one; a 24-bit image loaded
    // with SpriteKeepAlpha is keyed like any other.
    const bool keepAlpha = (flags & SpriteKeepAlpha) != 0 && image.Depth == 32;
    const size_t step = static_cast<size_t>(sourceBytesPerPixel);
    std::vector<uint8_t> texture(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    uint8_t* out = texture.data();
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* in = image.Pixels.data() + static_cast<size_t>(pitch) * y;
        for (int32_t x = 0; x < width; ++x, in += step, out += 4) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            if (keepAlpha) {
                out[3] = in[3];
            } else {
                // Keying: the pixel whose colour equals the transparent colour gets alpha 0,
                // every other pixel is opaque.
                const uint32_t colour = uint32_t{in[2]} << 16 | uint32_t{in[1]} << 8 | in[0];
                out[3] = colour == TransparentColour ? 0 : 255;
            }
        }
    }
    return texture;
}

}  // namespace pp
