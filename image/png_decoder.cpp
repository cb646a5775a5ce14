// PNG decoder on libpng. The check reads the header and requests every transformation the
// output needs; the decode then reads all rows (all interlace passes) into the caller's buffer.
// Output: 24-bit B,G,R for colour, grey and palette images without transparency; 32-bit
// B,G,R,A (straight alpha) for colour+alpha, grey+alpha, palette images with a tRNS chunk and
// grey images of fewer than 8 bits with a tRNS chunk. 16-bit samples keep their high byte.
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstring>

#include "image/image_decoders.h"

namespace pp {
namespace {

constexpr size_t PngSignatureBytes = 8;

// Above this decode buffer size the image data is inflated once before the buffer exists, so
// that a small file whose data ends early never costs a large buffer. Smaller images skip it.
constexpr int64_t InflateFirstAbove = int64_t{16} << 20;

// Calls `use(data)` for the data of every IDAT chunk in order, as far as the file holds it.
// Stops at IEND, at the end of the file, or when `use` returns false.
template <typename Use>
void ForEachIdat(std::span<const uint8_t> bytes, Use use) {
    size_t at = PngSignatureBytes;
    while (bytes.size() - at >= 8) {
        const uint32_t length = uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 |
                                uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
        const std::span<const uint8_t> type = bytes.subspan(at + 4, 4);
        at += 8;
        const size_t present = std::min<size_t>(length, bytes.size() - at);
        if (std::memcmp(type.data(), "IEND", 4) == 0) return;
        if (std::memcmp(type.data(), "IDAT", 4) == 0 && !use(bytes.subspan(at, present))) return;
        if (present < length || bytes.size() - at - present < 4) return;
        at += present + 4;  // the data and its checksum
    }
}

// The bytes the image data must inflate to: every row of every pass with its filter byte.
uint64_t FilteredBytes(png_uint_32 width, png_uint_32 height, uint64_t bitsPerPixel,
                       bool interlaced) {
    if (!interlaced) return uint64_t{height} * (1 + (uint64_t{width} * bitsPerPixel + 7) / 8);
    uint64_t total = 0;
    for (int pass = 0; pass < 7; ++pass) {
        const uint64_t columns = PNG_PASS_COLS(uint64_t{width}, pass);
        const uint64_t rows = PNG_PASS_ROWS(uint64_t{height}, pass);
        if (columns != 0) total += rows * (1 + (columns * bitsPerPixel + 7) / 8);
    }
    return total;
}

// How many bytes the image data inflates to, counted up to `wanted`, without keeping them.
uint64_t InflatedBytes(std::span<const uint8_t> bytes, uint64_t wanted) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return 0;
    std::array<uint8_t, 1 << 16> scratch;
    uint64_t produced = 0;
    bool ended = false;
    ForEachIdat(bytes, [&](std::span<const uint8_t> data) {
        stream.next_in = const_cast<Bytef*>(data.data());
        stream.avail_in = static_cast<uInt>(data.size());
        while (produced < wanted) {
            stream.next_out = scratch.data();
            stream.avail_out = static_cast<uInt>(scratch.size());
            const int result = inflate(&stream, Z_NO_FLUSH);
            produced += scratch.size() - stream.avail_out;
            if (result == Z_BUF_ERROR && stream.avail_in == 0) break;  // on in the next chunk
            if (result != Z_OK) {
                ended = true;  // the stream's end, or broken data
                break;
            }
            // Output still pending inside zlib shows as a full scratch buffer.
            if (stream.avail_in == 0 && stream.avail_out != 0) break;
        }
        return !ended && produced < wanted;
    });
    inflateEnd(&stream);
    return produced;
}

struct PngData final : DecoderData {
    png_structp Png = nullptr;
    png_infop Info = nullptr;
    const uint8_t* Bytes = nullptr;
    size_t Size = 0;
    size_t Position = 0;  // next byte the read function hands to libpng
    int ColourType = 0;
    int BitDepth = 0;
    int Passes = 1;
    uint64_t Filtered = 0;  // bytes the image data inflates to
    // libpng reports errors from inside C code that we leave with longjmp, so the message is
    // copied into plain storage rather than into anything with a destructor.
    char Message[128] = {};

    ~PngData() override {
        if (Png != nullptr)
            png_destroy_read_struct(&Png, Info != nullptr ? &Info : nullptr, nullptr);
    }
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
    auto* data = static_cast<PngData*>(png_get_error_ptr(png));
    std::strncpy(data->Message, message != nullptr ? message : "libpng error",
                 sizeof data->Message - 1);
    png_longjmp(png, 1);
}

// Warnings (a bad ancillary chunk, for instance) change nothing about the decoded pixels.
void OnPngWarning(png_structp, png_const_charp) {}

// Reads are bounded by the real length of the data: asking for bytes past the end is a libpng
// error, never a read outside the buffer.
void ReadFromMemory(png_structp png, png_bytep out, size_t length) {
    auto* data = static_cast<PngData*>(png_get_io_ptr(png));
    if (length > data->Size - data->Position) png_error(png, "PNG data ends early");
    std::memcpy(out, data->Bytes + data->Position, length);
    data->Position += length;
}

void SetPngError(DecodeContext& context, const PngData& data) {
    context.Error =
        std::string("png: ") + (data.Message[0] != '\0' ? data.Message : "libpng error");
}

// Runs under the error trap set by the caller: every libpng call here may longjmp out, so this
// function creates nothing that needs destroying.
void ReadHeaderAndRequestTransforms(PngData& data) {
    png_read_info(data.Png, data.Info);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0;
    png_get_IHDR(data.Png, data.Info, &width, &height, &bitDepth, &colourType, nullptr, nullptr,
                 nullptr);
    // Deflate expands at most 1032 bytes per compressed byte, so image data too short to hold
    // the declared rows is refused here, before the caller allocates a buffer for them.
    const int channels = colourType == PNG_COLOR_TYPE_RGB          ? 3
                         : colourType == PNG_COLOR_TYPE_RGB_ALPHA  ? 4
                         : colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                   : 1;
    const bool interlaced = png_get_interlace_type(data.Png, data.Info) != PNG_INTERLACE_NONE;
    data.Filtered =
        FilteredBytes(width, height, static_cast<uint64_t>(channels * bitDepth), interlaced);
    uint64_t idatBytes = 0;
    ForEachIdat({data.Bytes, data.Size}, [&](std::span<const uint8_t> idat) {
        idatBytes += idat.size();
        return true;
    });
    if (data.Filtered > uint64_t{1032} * idatBytes) {
        png_error(data.Png, "file is too short to hold the image it declares");
    }
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_PALETTE ||
        colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        // Below 8 bits this also turns a tRNS chunk into alpha; palette expansion does the same
        // for palette images. An 8- or 16-bit grey image's tRNS chunk stays ignored.
        if (bitDepth < 8) png_set_expand(data.Png);
        if (colourType == PNG_COLOR_TYPE_PALETTE) {
            png_set_palette_to_rgb(data.Png);
        } else {
            png_set_gray_to_rgb(data.Png);
        }
    }
    // libpng 1.6 takes transformations only before png_read_update_info: requesting strip or
    // interlace handling afterwards raises an error or de-interlaces wrongly.
    if (bitDepth == 16) png_set_strip_16(data.Png);
    png_set_bgr(data.Png);
    data.Passes = png_set_interlace_handling(data.Png);
    png_read_update_info(data.Png, data.Info);
    png_get_IHDR(data.Png, data.Info, &width, &height, &bitDepth, &colourType, nullptr, nullptr,
                 nullptr);
    data.ColourType = colourType;
    data.BitDepth = bitDepth;
}

// libpng allocates and zero-fills a buffer of each chunk's declared length before reading it
// (an oversized ancillary chunk is only a warning), so a chunk before the image data that
// claims more bytes than the file holds is refused here: libpng reads every such chunk whole
// and would fail on it anyway, after allocating up to 2 GiB.
bool ChunksBeforeTheImageDataFit(std::span<const uint8_t> bytes) {
    size_t at = PngSignatureBytes;
    while (bytes.size() - at >= 8) {
        const uint32_t length = uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 |
                                uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
        if (std::memcmp(bytes.data() + at + 4, "IDAT", 4) == 0) return true;
        at += 8;
        if (length > bytes.size() - at) return false;
        at += length;
        if (bytes.size() - at < 4) return true;  // libpng finds the end itself
        at += 4;
    }
    return true;
}

bool CheckPng(DecodeContext& context) {
    const std::span<const uint8_t> bytes = context.Bytes;
    if (bytes.size() < PngSignatureBytes) return false;
    if (png_sig_cmp(bytes.data(), 0, PngSignatureBytes) != 0) return false;
    if (!ChunksBeforeTheImageDataFit(bytes)) {
        context.Error = "png: a chunk before the image data runs past the end of the file";
        return false;
    }

    // Everything that owns memory exists before setjmp, so a longjmp back here skips no
    // destructor and leaves nothing behind: PngData frees the libpng structures.
    auto data = std::make_unique<PngData>();
    data->Bytes = bytes.data();
    data->Size = bytes.size();
    data->Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, data.get(), OnPngError, OnPngWarning);
    if (data->Png == nullptr) return false;
    data->Info = png_create_info_struct(data->Png);
    if (data->Info == nullptr) return false;
    png_set_user_limits(data->Png, particleplayer::kMaxPixelSide, particleplayer::kMaxPixelSide);

    PngData& state = *data;
    if (setjmp(png_jmpbuf(state.Png)) != 0) {
        SetPngError(context, state);
        return false;
    }
    // The read function reaches the bytes through libpng's I/O pointer; libpng reads the
    // signature again from the first byte.
    png_set_read_fn(state.Png, &state, ReadFromMemory);
    ReadHeaderAndRequestTransforms(state);

    const png_uint_32 width = png_get_image_width(state.Png, state.Info);
    const png_uint_32 height = png_get_image_height(state.Png, state.Info);
    if (state.BitDepth != 8 ||
        (state.ColourType != PNG_COLOR_TYPE_RGB && state.ColourType != PNG_COLOR_TYPE_RGB_ALPHA)) {
        context.Error = "png: unexpected pixel layout after transformation";
        return false;
    }
    context.Width = static_cast<int32_t>(width);
    context.Height = static_cast<int32_t>(height);
    context.Depth = state.ColourType == PNG_COLOR_TYPE_RGB ? 24 : 32;
    const int64_t buffer = int64_t{DecodePitch(context.Width, context.Depth)} * context.Height;
    if (buffer > InflateFirstAbove && buffer <= MaxDecodeBytes &&
        InflatedBytes(bytes, state.Filtered) < state.Filtered) {
        context.Error = "png: image data ends before the last row";
        return false;
    }
    context.Data = std::move(data);
    return true;
}

bool DecodePng(DecodeContext& context, std::span<uint8_t> buffer, int32_t pitch, int32_t flags) {
    auto* data = dynamic_cast<PngData*>(context.Data.get());
    if (data == nullptr) {
        context.Error = "png: decode without a successful check";
        return false;
    }
    const int64_t height = context.Height;
    const size_t rowBytes = png_get_rowbytes(data->Png, data->Info);
    if (pitch <= 0 || rowBytes > static_cast<size_t>(pitch) ||
        static_cast<int64_t>(buffer.size()) < int64_t{pitch} * height) {
        context.Error = "png: decode buffer is too small";
        return false;
    }
    const bool bottomUp = (flags & DecodeBottomUp) != 0;
    uint8_t* const base = buffer.data();
    PngData& state = *data;
    if (setjmp(png_jmpbuf(state.Png)) != 0) {
        SetPngError(context, state);
        return false;
    }
    // Every pass visits every row; libpng puts each pass's pixels into place within the row.
    for (int pass = 0; pass < state.Passes; ++pass) {
        for (int64_t r = 0; r < height; ++r) {
            png_bytep row = base + (bottomUp ? height - 1 - r : r) * pitch;
            png_read_rows(state.Png, &row, nullptr, 1);
        }
    }
    return true;
}

}  // namespace

const ImageDecoder& PngDecoder() {
    static const ImageDecoder decoder{"png", CheckPng, DecodePng};
    return decoder;
}

}  // namespace pp
