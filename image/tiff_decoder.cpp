// TIFF decoder on libtiff, reading the first image of a file held in memory. libtiff reads
// through our own I/O functions over the caller's bytes, so nothing is read outside them, and
// its errors come to us instead of stderr. Output: 32-bit B,G,R,A with straight alpha, from
// any layout libtiff's RGBA reader takes (strips or tiles, grey, palette, RGB, 1 to 16 bits).
// Only uncompressed, PackBits, LZW and Deflate data are read: Particle Designer writes
// uncompressed TIFFs, and each of these has a known best ratio, so a small file that declares
// a large image is refused before the buffer for it is allocated.
#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "image/image_decoders.h"

namespace pp {
namespace {

struct TiffData final : DecoderData {
    const uint8_t* Bytes = nullptr;
    uint64_t Size = 0;
    uint64_t Position = 0;  // may lie past the end after a seek; reads there return nothing
    TIFF* Tiff = nullptr;
    bool AssociatedAlpha = false;  // stored colours are premultiplied by alpha
    char Message[160] = {};        // libtiff's first error, the one the others follow from

    ~TiffData() override {
        if (Tiff != nullptr) TIFFClose(Tiff);
    }
};

TiffData& FileOf(thandle_t handle) {
    return *static_cast<TiffData*>(handle);
}

tmsize_t ReadProc(thandle_t handle, void* out, tmsize_t size) {
    TiffData& file = FileOf(handle);
    if (size <= 0 || file.Position >= file.Size) return 0;
    uint64_t count = file.Size - file.Position;
    if (count > static_cast<uint64_t>(size)) count = static_cast<uint64_t>(size);
    std::memcpy(out, file.Bytes + file.Position, static_cast<size_t>(count));
    file.Position += count;
    return static_cast<tmsize_t>(count);
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) {
    return 0;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    TiffData& file = FileOf(handle);
    const uint64_t base = whence == SEEK_CUR ? file.Position : whence == SEEK_END ? file.Size : 0;
    // libtiff passes negative offsets as their two's complement; a position below 0 or past
    // 2^62 is an error rather than a wrapped number.
    const auto delta = static_cast<int64_t>(offset);
    if (whence != SEEK_SET && delta < 0 && static_cast<uint64_t>(-(delta + 1)) >= base) {
        return static_cast<toff_t>(-1);
    }
    const uint64_t position = whence == SEEK_SET ? offset : base + static_cast<uint64_t>(delta);
    if (position > (uint64_t{1} << 62)) return static_cast<toff_t>(-1);
    file.Position = position;
    return position;
}

int CloseProc(thandle_t) {
    return 0;
}

toff_t SizeProc(thandle_t handle) {
    return FileOf(handle).Size;
}

// Keeps libtiff's first error as one line; returning 1 keeps it from the global handler
// (stderr). Warnings (an unknown tag, for instance) change nothing about the pixels.
int OnTiffError(TIFF*, void* user, const char*, const char* format, va_list args) {
    auto* data = static_cast<TiffData*>(user);
    if (data->Message[0] == '\0') {
        std::vsnprintf(data->Message, sizeof data->Message, format, args);
        for (char& c : data->Message) c = c == '\n' || c == '\r' ? ' ' : c;
    }
    return 1;
}

int OnTiffWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

bool Fail(DecodeContext& context, const TiffData& data, const char* fallback) {
    context.Error = std::string("tiff: ") + (data.Message[0] != '\0' ? data.Message : fallback);
    return false;
}

// The most bytes one byte of each readable compression can expand to, 0 for the others:
// PackBits repeats a byte at most 128 times for two bytes, Deflate gives 1032 bytes a byte at
// best, and an LZW code of at least 9 bits stands for at most 4096 bytes.
uint64_t BestRatio(uint16_t compression) {
    switch (compression) {
        case COMPRESSION_NONE:
            return 1;
        case COMPRESSION_PACKBITS:
            return 64;
        case COMPRESSION_ADOBE_DEFLATE:
        case COMPRESSION_DEFLATE:
            return 1032;
        case COMPRESSION_LZW:
            return 4096;
        default:
            return 0;
    }
}

// Above this decode buffer size the image data is decoded once, row by row or tile by tile,
// before the buffer exists, so that a small file whose data ends early never costs a large
// buffer. Smaller images skip it.
constexpr int64_t ReadFirstAbove = int64_t{16} << 20;

bool EveryPieceDecodes(TIFF* tiff) {
    std::vector<uint8_t> scratch;
    if (TIFFIsTiled(tiff)) {
        scratch.resize(static_cast<size_t>(TIFFTileSize64(tiff)));
        for (uint32_t tile = 0; tile < TIFFNumberOfTiles(tiff); ++tile) {
            if (TIFFReadEncodedTile(tiff, tile, scratch.data(), -1) < 0) return false;
        }
        return true;
    }
    uint32_t height = 0;
    uint16_t planar = PLANARCONFIG_CONTIG, samples = 1;
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    scratch.resize(static_cast<size_t>(TIFFScanlineSize64(tiff)));
    for (uint16_t plane = 0; plane < (planar == PLANARCONFIG_SEPARATE ? samples : 1); ++plane) {
        for (uint32_t row = 0; row < height; ++row) {
            if (TIFFReadScanline(tiff, scratch.data(), row, plane) < 0) return false;
        }
    }
    return true;
}

bool IsTiffSignature(std::span<const uint8_t> bytes) {
    if (bytes.size() < 8) return false;
    const bool little = bytes[0] == 'I' && bytes[1] == 'I' && bytes[2] == 42 && bytes[3] == 0;
    const bool big = bytes[0] == 'M' && bytes[1] == 'M' && bytes[2] == 0 && bytes[3] == 42;
    return little || big;
}

// Opens the bytes through libtiff with our handlers and its allocation bound; false with the
// reason in context.Error when it cannot.
bool OpenTiff(DecodeContext& context, TiffData& data) {
    data.Bytes = context.Bytes.data();
    data.Size = context.Bytes.size();
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr) return Fail(context, data, "out of memory");
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnTiffError, &data);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnTiffWarning, &data);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, MaxDecodeBytes);
    // "m": never map the file, so every read goes through ReadProc.
    data.Tiff = TIFFClientOpenExt("tiff", "rm", &data, ReadProc, WriteProc, SeekProc, CloseProc,
                                  SizeProc, nullptr, nullptr, options);
    TIFFOpenOptionsFree(options);
    if (data.Tiff == nullptr) return Fail(context, data, "cannot read the header");
    return true;
}

// The size, compression and strip or tile layout, refused before any pixel is decoded when
// they cannot be read or when the file is too short to hold what they declare.
bool CheckLayout(DecodeContext& context, TiffData& state, uint32_t& width, uint32_t& height) {
    if (TIFFGetField(state.Tiff, TIFFTAG_IMAGEWIDTH, &width) != 1 ||
        TIFFGetField(state.Tiff, TIFFTAG_IMAGELENGTH, &height) != 1) {
        return Fail(context, state, "image size missing");
    }
    if (width == 0 || height == 0) return Fail(context, state, "image has no pixels");
    if (width > uint32_t{particleplayer::kMaxPixelSide} ||
        height > uint32_t{particleplayer::kMaxPixelSide}) {
        context.Error = "tiff: image is larger than " +
                        std::to_string(particleplayer::kMaxPixelSide) + " pixels on a side";
        return false;
    }
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(state.Tiff, TIFFTAG_COMPRESSION, &compression);
    const uint64_t ratio = BestRatio(compression);
    if (ratio == 0) {
        context.Error = "tiff: compression " + std::to_string(compression) + " is not read";
        return false;
    }
    // Every strip or tile decodes to its full size, so the stored bytes must be able to hold
    // them all: the file's whole length at the compression's best ratio.
    const uint64_t pieces =
        TIFFIsTiled(state.Tiff) ? TIFFNumberOfTiles(state.Tiff) : TIFFNumberOfStrips(state.Tiff);
    const uint64_t pieceBytes =
        TIFFIsTiled(state.Tiff) ? TIFFTileSize64(state.Tiff) : TIFFStripSize64(state.Tiff);
    if (pieceBytes == 0) return Fail(context, state, "unreadable strip or tile layout");
    // pieces is at most 2^32 and the bound at most 2^62 / pieceBytes, so nothing overflows.
    const uint64_t available = state.Size * ratio;
    if (pieces > available / pieceBytes) {
        context.Error = "tiff: file is too short to hold the image it declares";
        return false;
    }
    return true;
}

// The RGBA reader premultiplies unassociated alpha; declaring it associated hands the stored
// colours through unchanged. Associated alpha is divided out after reading.
void TakeStoredAlpha(TiffData& state) {
    uint16_t extraCount = 0;
    uint16_t* extraKinds = nullptr;
    if (TIFFGetFieldDefaulted(state.Tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds) != 1 ||
        extraCount < 1 || extraKinds == nullptr) {
        return;
    }
    if (extraKinds[0] == EXTRASAMPLE_ASSOCALPHA) state.AssociatedAlpha = true;
    if (extraKinds[0] == EXTRASAMPLE_UNASSALPHA) {
        const uint16_t associated = EXTRASAMPLE_ASSOCALPHA;
        TIFFSetField(state.Tiff, TIFFTAG_EXTRASAMPLES, 1, &associated);
    }
}

bool CheckTiff(DecodeContext& context) {
    if (!IsTiffSignature(context.Bytes)) return false;
    auto data = std::make_unique<TiffData>();
    TiffData& state = *data;
    uint32_t width = 0, height = 0;
    if (!OpenTiff(context, state) || !CheckLayout(context, state, width, height)) return false;
    char reason[1024] = {};
    if (TIFFRGBAImageOK(state.Tiff, reason) != 1) {
        reason[sizeof reason - 1] = '\0';
        context.Error = std::string("tiff: ") + reason;
        return false;
    }
    if (int64_t{width} * height * 4 > ReadFirstAbove &&
        int64_t{width} * height * 4 <= MaxDecodeBytes && !EveryPieceDecodes(state.Tiff)) {
        return Fail(context, state, "image data ends before the last row");
    }
    TakeStoredAlpha(state);
    context.Width = static_cast<int32_t>(width);
    context.Height = static_cast<int32_t>(height);
    context.Depth = 32;
    context.Data = std::move(data);
    return true;
}

// Colour in premultiplied form back to straight, rounded; colours above their alpha (invalid
// in premultiplied data) saturate at 255.
uint8_t Unpremultiply(uint32_t colour, uint32_t alpha) {
    if (alpha == 0 || alpha == 255) return static_cast<uint8_t>(colour);
    const uint32_t straight = (colour * 255 + alpha / 2) / alpha;
    return static_cast<uint8_t>(straight > 255 ? 255 : straight);
}

bool DecodeTiff(DecodeContext& context, std::span<uint8_t> buffer, int32_t pitch, int32_t flags) {
    auto* data = dynamic_cast<TiffData*>(context.Data.get());
    if (data == nullptr) {
        context.Error = "tiff: decode without a successful check";
        return false;
    }
    const auto width = static_cast<uint32_t>(context.Width);
    const auto height = static_cast<uint32_t>(context.Height);
    const size_t pixels = size_t{width} * height;
    // The RGBA reader writes whole rows of packed 32-bit pixels, so rows must not be padded.
    if (int64_t{pitch} != int64_t{width} * 4 || buffer.size() < pixels * 4) {
        context.Error = "tiff: decode buffer is too small";
        return false;
    }
    auto* raster = reinterpret_cast<uint32_t*>(buffer.data());
    const int orientation =
        (flags & DecodeBottomUp) != 0 ? ORIENTATION_BOTLEFT : ORIENTATION_TOPLEFT;
    if (TIFFReadRGBAImageOriented(data->Tiff, width, height, raster, orientation, 1) != 1) {
        return Fail(context, *data, "cannot read the pixels");
    }
    // Each pixel is A,B,G,R from the high byte down; the buffer wants the bytes B,G,R,A.
    uint8_t* out = buffer.data();
    for (size_t i = 0; i < pixels; ++i, out += 4) {
        const uint32_t p = raster[i];
        const uint32_t a = TIFFGetA(p);
        out[0] = static_cast<uint8_t>(TIFFGetB(p));
        out[1] = static_cast<uint8_t>(TIFFGetG(p));
        out[2] = static_cast<uint8_t>(TIFFGetR(p));
        out[3] = static_cast<uint8_t>(a);
        if (data->AssociatedAlpha) {
            for (int c = 0; c < 3; ++c) out[c] = Unpremultiply(out[c], a);
        }
    }
    return true;
}

}  // namespace

const ImageDecoder& TiffDecoder() {
    static const ImageDecoder decoder{"tiff", CheckTiff, DecodeTiff};
    return decoder;
}

}  // namespace pp
