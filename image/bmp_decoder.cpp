// BMP decoder of our own. Fields are read at fixed offsets whatever the header says its size
// is; the output is always 24-bit B,G,R, top row first. Every read is bounded by the real
// length of the data: pixel rows, palette entries and run-length codes that would lie past the
// end, palette indices past the palette and runs that leave the image all refuse the image.
#include <array>
#include <cstring>
#include <string>
#include <utility>

#include "image/image_decoders.h"

namespace pp {
namespace {

constexpr int32_t RleCompression8 = 1;
constexpr int32_t RleCompression4 = 2;

uint32_t ReadU16(std::span<const uint8_t> bytes, size_t offset) {
    return uint32_t{bytes[offset]} | uint32_t{bytes[offset + 1]} << 8;
}

uint32_t ReadU32(std::span<const uint8_t> bytes, size_t offset) {
    return ReadU16(bytes, offset) | ReadU16(bytes, offset + 2) << 16;
}

int32_t ReadI32(std::span<const uint8_t> bytes, size_t offset) {
    return static_cast<int32_t>(ReadU32(bytes, offset));
}

struct BmpData final : DecoderData {
    int64_t PixelOffset = 0;
    int32_t BitCount = 0;
    int32_t Compression = 0;
    // Palette entries as B,G,R. Indices below PaletteInFile are usable; indices from there up
    // to PaletteCount belong to the palette but lie past the end of the data.
    std::array<std::array<uint8_t, 3>, 256> Palette{};
    int32_t PaletteCount = 0;
    int32_t PaletteInFile = 0;
};

// Bytes of one stored row that hold pixels, and the stored row's length with its padding to a
// multiple of 4 bytes. Width is at most particleplayer::kMaxPixelSide here, so nothing overflows.
int64_t RowPixelBytes(int32_t width, int32_t bitCount) {
    return (int64_t{width} * bitCount + 7) / 8;
}

int64_t RowStride(int32_t width, int32_t bitCount) {
    return (RowPixelBytes(width, bitCount) + 3) / 4 * 4;
}

bool IsSupportedBitCount(int32_t bitCount) {
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
           bitCount == 32;
}

bool Fail(DecodeContext& context, std::string message) {
    context.Error = std::move(message);
    return false;
}

// Palette size: the colours-used count when the header is long enough to hold it and the
// count makes sense for the bit count, otherwise the full 2^bits.
void ReadPalette(std::span<const uint8_t> bytes, BmpData& data) {
    const int64_t headerSize = ReadU32(bytes, 14);
    const int32_t fullCount = 1 << data.BitCount;
    int32_t count = fullCount;
    if (headerSize >= 36 && bytes.size() >= 50) {
        const uint32_t used = ReadU32(bytes, 46);
        if (used >= 1 && used <= static_cast<uint32_t>(fullCount)) {
            count = static_cast<int32_t>(used);
        }
    }
    data.PaletteCount = count;
    const int64_t start = 14 + headerSize;
    const int64_t size = static_cast<int64_t>(bytes.size());
    int64_t inFile = start < size ? (size - start) / 4 : 0;
    if (inFile > count) inFile = count;
    data.PaletteInFile = static_cast<int32_t>(inFile);
    for (int32_t i = 0; i < data.PaletteInFile; ++i) {
        const size_t at = static_cast<size_t>(start) + static_cast<size_t>(i) * 4;
        data.Palette[static_cast<size_t>(i)] = {bytes[at], bytes[at + 1], bytes[at + 2]};
    }
}

bool DecodeRle8(DecodeContext& context, const BmpData& data, uint8_t* buffer, int64_t pitch,
                bool bottomUp);

bool CheckBmp(DecodeContext& context) {
    const std::span<const uint8_t> bytes = context.Bytes;
    if (bytes.size() < 10 || bytes[0] != 'B' || bytes[1] != 'M') return false;
    if (ReadU16(bytes, 6) != 0 || ReadU16(bytes, 8) != 0) return false;
    if (bytes.size() < 34) return Fail(context, "bmp: header runs past the end of the file");

    auto data = std::make_unique<BmpData>();
    data->PixelOffset = ReadU32(bytes, 10);
    const int32_t width = ReadI32(bytes, 18);
    const int32_t height = ReadI32(bytes, 22);
    data->BitCount = static_cast<int32_t>(ReadU16(bytes, 28));
    data->Compression = ReadI32(bytes, 30);
    context.Width = width;
    context.Height = height;
    context.Depth = 24;

    if (!IsSupportedBitCount(data->BitCount)) return Fail(context, "bmp: unsupported bit count");
    if (width <= 0) return Fail(context, "bmp: width is 0 or less");
    // A negative height marks rows stored top-down, which this decoder does not read.
    if (height <= 0) return Fail(context, "bmp: height is 0 or less (top-down or empty image)");
    if (width > particleplayer::kMaxPixelSide || height > particleplayer::kMaxPixelSide) {
        return Fail(context, "bmp: image is larger than " +
                                 std::to_string(particleplayer::kMaxPixelSide) +
                                 " pixels on a side");
    }
    if (data->BitCount == 4 && data->Compression == RleCompression4) {
        return Fail(context, "bmp: 4-bit run-length data is not supported");
    }
    const bool rle = data->BitCount == 8 && data->Compression == RleCompression8;
    const int64_t size = static_cast<int64_t>(bytes.size());
    if (rle) {
        if (data->PixelOffset >= size) {
            return Fail(context, "bmp: run-length data runs past the end of the file");
        }
    } else {
        // Only the bytes that hold pixels must be present: the last row's padding may be cut.
        const int64_t end = data->PixelOffset + (height - 1) * RowStride(width, data->BitCount) +
                            RowPixelBytes(width, data->BitCount);
        if (end > size) return Fail(context, "bmp: pixel data runs past the end of the file");
    }
    if (data->BitCount == 4 || data->BitCount == 8) ReadPalette(bytes, *data);
    // Run-length data may stand for any size, so it is read through once without a buffer:
    // data that could not be decoded is refused before the buffer for its size exists. Sizes
    // past the limit are left to the caller's refusal.
    const int64_t buffer = int64_t{DecodePitch(width, 24)} * height;
    if (rle && buffer <= MaxDecodeBytes && !DecodeRle8(context, *data, nullptr, 0, false)) {
        return false;
    }
    context.Data = std::move(data);
    return true;
}

// Writes palette entry `index` to `out` (when not null); false (with the reason) when there is
// no such entry.
bool PutPaletteColour(DecodeContext& context, const BmpData& data, uint32_t index, uint8_t* out) {
    if (index >= static_cast<uint32_t>(data.PaletteCount)) {
        return Fail(context, "bmp: palette index past the palette");
    }
    if (index >= static_cast<uint32_t>(data.PaletteInFile)) {
        return Fail(context, "bmp: palette entry past the end of the file");
    }
    if (out != nullptr) std::memcpy(out, data.Palette[index].data(), 3);
    return true;
}

bool DecodeRows(DecodeContext& context, const BmpData& data, uint8_t* buffer, int64_t pitch,
                bool bottomUp) {
    const int32_t width = context.Width;
    const int32_t height = context.Height;
    const int64_t stride = RowStride(width, data.BitCount);
    for (int32_t r = 0; r < height; ++r) {
        // The file stores the bottom row first.
        const int64_t destRow = bottomUp ? r : height - 1 - r;
        uint8_t* out = buffer + destRow * pitch;
        const uint8_t* in = context.Bytes.data() + data.PixelOffset + r * stride;
        switch (data.BitCount) {
            case 1:
                for (int32_t x = 0; x < width; ++x, out += 3) {
                    const uint8_t value = (in[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
                    out[0] = out[1] = out[2] = value;
                }
                break;
            case 4:
                for (int32_t x = 0; x < width; ++x, out += 3) {
                    const uint32_t index = x & 1 ? in[x >> 1] & 15u : uint32_t{in[x >> 1]} >> 4;
                    if (!PutPaletteColour(context, data, index, out)) return false;
                }
                break;
            case 8:
                for (int32_t x = 0; x < width; ++x, out += 3) {
                    if (!PutPaletteColour(context, data, in[x], out)) return false;
                }
                break;
            case 16:
                // 5:5:5, blue lowest; each 5-bit value is shifted up by 3, not rescaled.
                for (int32_t x = 0; x < width; ++x, in += 2, out += 3) {
                    const uint32_t v = uint32_t{in[0]} | uint32_t{in[1]} << 8;
                    out[0] = static_cast<uint8_t>((v & 31) << 3);
                    out[1] = static_cast<uint8_t>((v >> 5 & 31) << 3);
                    out[2] = static_cast<uint8_t>((v >> 10 & 31) << 3);
                }
                break;
            case 24:
                std::memcpy(out, in, static_cast<size_t>(width) * 3);
                break;
            case 32:
                for (int32_t x = 0; x < width; ++x, in += 4, out += 3) std::memcpy(out, in, 3);
                break;
            default:
                return Fail(context, "bmp: unsupported bit count");
        }
    }
    return true;
}

// Standard 8-bit run-length data. Positions count from the bottom-left corner; a run never
// wraps onto the next row, and a pixel outside the image refuses the data. Positions are kept
// in 64 bits because delta codes may move them far outside before the data ends. Without a
// buffer it only checks that the data decodes.
bool DecodeRle8(DecodeContext& context, const BmpData& data, uint8_t* buffer, int64_t pitch,
                bool bottomUp) {
    const std::span<const uint8_t> bytes = context.Bytes;
    const int64_t size = static_cast<int64_t>(bytes.size());
    const int64_t width = context.Width;
    const int64_t height = context.Height;
    int64_t at = data.PixelOffset;
    int64_t x = 0;
    int64_t y = 0;
    auto pixel = [&](int64_t px) -> uint8_t* {
        if (buffer == nullptr) return nullptr;
        const int64_t destRow = bottomUp ? y : height - 1 - y;
        return buffer + destRow * pitch + px * 3;
    };
    for (;;) {
        if (size - at < 2)
            return Fail(context, "bmp: run-length data runs past the end of the file");
        const uint32_t count = bytes[static_cast<size_t>(at)];
        const uint32_t code = bytes[static_cast<size_t>(at) + 1];
        at += 2;
        if (count > 0) {
            if (y >= height || x + count > width) {
                return Fail(context, "bmp: run-length data writes outside the image");
            }
            for (uint32_t i = 0; i < count; ++i) {
                if (!PutPaletteColour(context, data, code, pixel(x + i))) return false;
            }
            x += count;
        } else if (code == 0) {
            x = 0;
            ++y;
        } else if (code == 1) {
            return true;
        } else if (code == 2) {
            if (size - at < 2) {
                return Fail(context, "bmp: run-length data runs past the end of the file");
            }
            x += bytes[static_cast<size_t>(at)];
            y += bytes[static_cast<size_t>(at) + 1];
            at += 2;
        } else {
            // Literal run of `code` indices, padded to an even number of bytes.
            if (size - at < code) {
                return Fail(context, "bmp: run-length data runs past the end of the file");
            }
            if (y >= height || x + code > width) {
                return Fail(context, "bmp: run-length data writes outside the image");
            }
            for (uint32_t i = 0; i < code; ++i) {
                const uint32_t index = bytes[static_cast<size_t>(at) + i];
                if (!PutPaletteColour(context, data, index, pixel(x + i))) return false;
            }
            x += code;
            at += code + (code & 1);
        }
    }
}

bool DecodeBmp(DecodeContext& context, std::span<uint8_t> buffer, int32_t pitch, int32_t flags) {
    const auto* data = dynamic_cast<const BmpData*>(context.Data.get());
    if (data == nullptr) return Fail(context, "bmp: decode without a successful check");
    if (int64_t{pitch} < int64_t{context.Width} * 3 ||
        static_cast<int64_t>(buffer.size()) < int64_t{pitch} * context.Height) {
        return Fail(context, "bmp: decode buffer is too small");
    }
    const bool bottomUp = (flags & DecodeBottomUp) != 0;
    if (data->BitCount == 8 && data->Compression == RleCompression8) {
        return DecodeRle8(context, *data, buffer.data(), pitch, bottomUp);
    }
    return DecodeRows(context, *data, buffer.data(), pitch, bottomUp);
}

}  // namespace

const ImageDecoder& BmpDecoder() {
    static const ImageDecoder decoder{"bmp", CheckBmp, DecodeBmp};
    return decoder;
}

}  // namespace pp
