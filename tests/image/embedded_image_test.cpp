// Embedded images: base64 text of gzip, zlib or plain PNG and TIFF bytes, made here through
// libpng's, libtiff's and zlib's own writers; the textures of the real sample effects; hostile
// texts. The expected pixels come from the pattern the test wrote, or from an independent
// reading of the sample (libpng's simplified reader, the TIFF's strip bytes).
#include "image/embedded_image.h"

#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>

#include "fuzz/harness.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Lines of `lineLength` characters, each followed by a newline and two blanks.
std::string Base64(const Bytes& bytes, size_t lineLength = 0) {
    return fuzz::Base64Text(bytes, lineLength, "\n\t ");
}

Bytes FromBase64(std::string_view text) {
    Bytes out;
    uint32_t group = 0;
    int bits = 0;
    for (char c : text) {
        const size_t value = kAlphabet.find(c);
        if (value == std::string_view::npos) continue;
        group = group << 6 | static_cast<uint32_t>(value);
        if ((bits += 6) >= 8) out.push_back(static_cast<uint8_t>(group >> (bits -= 8)));
    }
    return out;
}

// windowBits 31 writes gzip, 15 zlib. `repeat` feeds the input that many times.
Bytes Deflate(const Bytes& in, int windowBits, int repeat = 1) {
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, 9, Z_DEFLATED, windowBits, 9, Z_DEFAULT_STRATEGY), Z_OK);
    Bytes out, buffer(1 << 16);
    for (int i = 0; i < repeat; ++i) {
        const int flush = i + 1 == repeat ? Z_FINISH : Z_NO_FLUSH;
        stream.next_in = const_cast<Bytef*>(in.data());
        stream.avail_in = static_cast<uInt>(in.size());
        do {
            stream.next_out = buffer.data();
            stream.avail_out = static_cast<uInt>(buffer.size());
            deflate(&stream, flush);
            out.insert(out.end(), buffer.data(), stream.next_out);
        } while (stream.avail_out == 0 || (flush == Z_FINISH && stream.avail_in != 0));
    }
    deflateEnd(&stream);
    return out;
}

Bytes Gunzip(const Bytes& in) {
    z_stream stream{};
    inflateInit2(&stream, 31);
    Bytes out(size_t{1} << 22);
    stream.next_in = const_cast<Bytef*>(in.data());
    stream.avail_in = static_cast<uInt>(in.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    inflateEnd(&stream);
    return out;
}

// The test pattern, straight R,G,B,A. Premultiplied TIFFs use colours that are multiples of 5
// and alphas of 51 or 255, so their stored values are exact and divide back exactly.
Bytes Pattern(int w, int h, bool exactlyPremultipliable = false) {
    Bytes rgba;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint8_t c[4] = {uint8_t(x * 37 + y * 11), uint8_t((x * 5) ^ (y * 13)),
                                  uint8_t(255 - x * 3), uint8_t((x + y) % 3 ? x * y * 7 : 0)};
            for (int k = 0; k < 4; ++k) {
                rgba.push_back(!exactlyPremultipliable ? c[k]
                               : k < 3                 ? uint8_t(c[k] / 5 * 5)
                               : (x + y) % 2           ? 51
                                                       : 255);
            }
        }
    }
    return rgba;
}

// R,G,B,A to the decoder's B,G,R,A, alpha forced opaque when the source has none.
Bytes AsBgra(const Bytes& rgba, bool opaque) {
    Bytes bgra;
    for (size_t i = 0; i < rgba.size(); i += 4) {
        bgra.insert(bgra.end(),
                    {rgba[i + 2], rgba[i + 1], rgba[i], opaque ? uint8_t(255) : rgba[i + 3]});
    }
    return bgra;
}

Bytes WritePng(int w, int h, const Bytes& rgba, bool alpha) {
    Bytes pixels;
    for (size_t i = 0; i < rgba.size(); i += 4) {
        pixels.insert(pixels.end(), rgba.begin() + long(i),
                      rgba.begin() + long(i) + (alpha ? 4 : 3));
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION, image.width = w, image.height = h;
    image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    Bytes file(1 << 20);
    png_alloc_size_t size = file.size();
    EXPECT_TRUE(
        png_image_write_to_memory(&image, file.data(), &size, 0, pixels.data(), 0, nullptr));
    file.resize(size);
    return file;
}

struct TiffLayout {
    uint16_t Samples = 4;
    uint16_t Alpha = EXTRASAMPLE_UNASSALPHA;
    uint16_t Compression = COMPRESSION_NONE;
    uint32_t Tile = 0;  // 0: strips of three rows
};

Bytes WriteTiff(const testing::TempDir& dir, int w, int h, const Bytes& rgba, TiffLayout layout) {
    const std::string path = (dir.Path() / "image.tif").string();
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    const uint16_t spp = layout.Samples;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, spp);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, layout.Compression);
    if (spp == 4) TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &layout.Alpha);
    // Stored samples: premultiplied when the alpha is associated.
    Bytes stored;
    for (size_t i = 0; i < rgba.size(); i += 4) {
        for (size_t k = 0; k < spp; ++k) {
            const bool premultiply = layout.Alpha == EXTRASAMPLE_ASSOCALPHA && k < 3;
            stored.push_back(premultiply ? uint8_t(rgba[i + k] * rgba[i + 3] / 255) : rgba[i + k]);
        }
    }
    if (layout.Tile == 0) {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 3);
        for (int y = 0; y < h; ++y) TIFFWriteScanline(tif, &stored[size_t(y) * w * spp], y);
    } else {
        const uint32_t t = layout.Tile;
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, t);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, t);
        for (uint32_t ty = 0; ty < uint32_t(h); ty += t) {
            for (uint32_t tx = 0; tx < uint32_t(w); tx += t) {
                Bytes tile(size_t{t} * t * spp, 0);
                for (uint32_t y = ty; y < std::min(ty + t, uint32_t(h)); ++y) {
                    for (uint32_t x = tx; x < std::min(tx + t, uint32_t(w)); ++x) {
                        std::memcpy(&tile[((y - ty) * t + x - tx) * spp],
                                    &stored[(y * w + x) * spp], spp);
                    }
                }
                TIFFWriteTile(tif, tile.data(), tx, ty, 0, 0);
            }
        }
    }
    TIFFClose(tif);
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The first directory's entry for `tag`: where its value lies, and the value (a SHORT or
// LONG, count 1). Either byte order.
struct TiffEntry {
    size_t ValueAt = 0;
    uint32_t Type = 0, Value = 0;
};
TiffEntry FindTag(const Bytes& file, uint16_t tag) {
    const bool big = file.at(0) == 'M';
    auto read = [&](size_t at, int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v |= uint32_t{file.at(at + (big ? n - 1 - i : i))} << 8 * i;
        return v;
    };
    const size_t ifd = read(4, 4);
    for (uint32_t i = 0, count = read(ifd, 2); i < count; ++i) {
        const size_t entry = ifd + 2 + 12 * i;
        if (read(entry, 2) != tag) continue;
        const uint32_t type = read(entry + 2, 2);
        return {entry + 8, type, read(entry + 8, type == TIFF_SHORT ? 2 : 4)};
    }
    ADD_FAILURE() << "no tag " << tag;
    return {};
}
Bytes WithTag(Bytes file, uint16_t tag, uint32_t value) {
    const TiffEntry entry = FindTag(file, tag);
    for (int i = 0; i < (entry.Type == TIFF_SHORT ? 2 : 4); ++i) {
        file.at(entry.ValueAt + i) = uint8_t(value >> 8 * i);  // the files written here are II
    }
    return file;
}

TEST(EmbeddedImage, DecodesEveryCompressionAndLayoutToStraightBgraAndRefusesHostileTexts) {
    testing::TempDir dir;
    const int w = 20, h = 18;
    const Bytes pattern = Pattern(w, h), exact = Pattern(w, h, true);
    const Bytes png = WritePng(w, h, pattern, true);
    const Bytes tiff = WriteTiff(dir, w, h, pattern, {});
    Bytes twoMembers = Deflate(Bytes(png.begin(), png.begin() + 100), 31);
    const Bytes second = Deflate(Bytes(png.begin() + 100, png.end()), 31);
    twoMembers.insert(twoMembers.end(), second.begin(), second.end());
    const Bytes gzipPng = Deflate(png, 31);
    Bytes zlibThenMore = Deflate(png, 15);
    zlibThenMore.push_back(0);
    const Bytes oneStrip =
        WithTag(WriteTiff(dir, 4, 4, Pattern(4, 4), {}), TIFFTAG_ROWSPERSTRIP, 4);
    // Tiles and Deflate are libtiff's; ours is the associated alpha divided out.
    const Bytes premultiplied = WriteTiff(
        dir, w, h, exact,
        {.Alpha = EXTRASAMPLE_ASSOCALPHA, .Compression = COMPRESSION_ADOBE_DEFLATE, .Tile = 16});
    const struct {
        const char* Name;
        std::string Text;
        Bytes Bgra;  // 20 x 18
    } decoded[] = {
        {"gzip png, text in lines", Base64(gzipPng, 60), AsBgra(pattern, false)},
        {"zlib png", Base64(Deflate(png, 15)), AsBgra(pattern, false)},
        {"plain 24-bit png", Base64(WritePng(w, h, pattern, false)), AsBgra(pattern, true)},
        {"gzip png in two members", Base64(twoMembers), AsBgra(pattern, false)},
        {"gzip tiff rgba strips", Base64(Deflate(tiff, 31)), AsBgra(pattern, false)},
        {"plain tiff rgb strips", Base64(WriteTiff(dir, w, h, pattern, {.Samples = 3})),
         AsBgra(pattern, true)},
        {"tiff deflate tiles, premultiplied", Base64(premultiplied), AsBgra(exact, false)},
    };
    // A 16384 x 16384 image in one strip; a tag of a small image changed.
    Bytes huge = oneStrip;
    for (const uint16_t tag : {TIFFTAG_IMAGEWIDTH, TIFFTAG_IMAGELENGTH, TIFFTAG_ROWSPERSTRIP})
        huge = WithTag(huge, tag, 16384);
    const auto tagged = [&](uint16_t tag, uint32_t value) {
        return Base64(WithTag(oneStrip, tag, value));
    };
    const std::pair<std::string, const char*> refused[] = {
        // and the start of the reason
        {"", "the text holds no data"},
        {" \n\t", "the text holds no data"},
        {"iVBO$Rw==", "not base64 at character 5"},
        {"QUJD=QUJD", "base64 padding at character 5"},
        {"QUJDQQ", "base64 text ends inside a group"},
        {"QUJDQQ=", "base64 text ends inside a group"},
        {"QQ==QQ==", "base64 text goes on after its padding"},
        {Base64(Bytes(gzipPng.begin(), gzipPng.end() - 9)), "gzip data ends early"},
        {Base64(Deflate(Bytes(1 << 20, 0), 31, 300)), "gzip data inflates past 256 MiB"},
        {Base64(zlibThenMore), "zlib stream is followed by other data"},
        {Base64(Deflate(Bytes(png.begin(), png.end() - 40), 31)), "png: "},
        {Base64(Deflate(Bytes(100, 'x'), 31)), "the data is neither"},
        {Base64(huge), "tiff: file is too short to hold the image it declares"},
        {tagged(TIFFTAG_IMAGEWIDTH, 16385), "tiff: image is larger than 16384 pixels"},
        {tagged(TIFFTAG_STRIPOFFSETS, 0x7ffffff0), "tiff: "},
        {tagged(TIFFTAG_COMPRESSION, COMPRESSION_JPEG), "tiff: compression 7 is not read"},
    };
    ::testing::internal::CaptureStderr();
    for (const auto& row : decoded) {
        SCOPED_TRACE(row.Name);
        std::string error;
        const auto image = DecodeEmbeddedImage(row.Text, &error);
        ASSERT_TRUE(image.has_value()) << error;
        EXPECT_EQ(std::tuple(image->Width, image->Height, image->Depth, image->Pitch),
                  std::tuple(w, h, 32, 4 * w));
        EXPECT_EQ(image->Pixels, row.Bgra);
    }
    for (const auto& [text, reason] : refused) {
        SCOPED_TRACE(::testing::Message() << reason << ", a text of " << text.size());
        std::string error;
        EXPECT_FALSE(DecodeEmbeddedImage(text, &error).has_value());
        EXPECT_TRUE(error.starts_with(std::string("embedded image: ") + reason)) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "")
        << "libtiff's messages go to the reason";
    // The decoder alone, bottom row first.
    const auto bottomUp = DecodeImageWith(TiffDecoder(), tiff, DecodeBottomUp);
    ASSERT_TRUE(bottomUp.has_value());
    const Bytes expected = AsBgra(pattern, false);
    for (int y = 0; y < h; ++y) {
        EXPECT_TRUE(std::equal(expected.begin() + y * w * 4, expected.begin() + (y + 1) * w * 4,
                               bottomUp->Pixels.begin() + (h - 1 - y) * w * 4))
            << y;
    }
}

// A large TIFF is read through once by its check, so data that ends early is refused before
// the caller allocates the buffer; complete data decodes.
TEST(TiffDecoder, LargeImageWhoseDataEndsEarlyIsRefusedByItsCheck) {
    testing::TempDir dir;
    const int side = 2100;  // 17 MiB of decode buffer
    const Bytes good = WriteTiff(dir, side, side, Bytes(size_t{side} * side * 4, 0),
                                 {.Compression = COMPRESSION_LZW});
    const Bytes cut = WithTag(good, TIFFTAG_STRIPBYTECOUNTS, 10);  // the first strip's count
    for (const Bytes* file : {&good, &cut}) {
        DecodeContext context;
        context.Bytes = *file;
        EXPECT_EQ(TiffDecoder().Check(context), file == &good) << context.Error;
    }
    EXPECT_TRUE(DecodeImageWith(TiffDecoder(), good, 0).has_value());
}

// The text between `open` and `close` after `key`, empty when absent.
std::string Between(const std::string& text, const std::string& key, const std::string& open,
                    const std::string& close) {
    const size_t at = text.find(key);
    if (at == std::string::npos) return {};
    const size_t start = text.find(open, at);
    const size_t end = text.find(close, start + open.size());
    if (start == std::string::npos || end == std::string::npos) return {};
    return text.substr(start + open.size(), end - start - open.size());
}

// Every embedded texture of the real samples, against the TIFF's own strip bytes or libpng's
// simplified reader.
TEST(EmbeddedImage, EveryRealSampleTextureDecodesAsItsStoredPixels) {
    namespace fs = std::filesystem;
    int tiffs = 0, pngs = 0;
    for (const char* folder : {"plist", "pex"}) {
        const fs::path dir = fs::path(PP_SOURCE_DIR) / "tests/data/import" / folder;
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(dir, ignored)) {
            SCOPED_TRACE(entry.path().filename().string());
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string text{std::istreambuf_iterator<char>(in), {}};
            std::string base64 =
                Between(text, "<key>textureImageData</key>", "<string>", "</string>");
            if (base64.empty()) base64 = Between(text, "<texture ", "data=\"", "\"");
            if (base64.empty()) continue;
            std::string error;
            const auto image = DecodeEmbeddedImage(base64, &error);
            ASSERT_TRUE(image.has_value()) << error;
            const Bytes file = Gunzip(FromBase64(base64));
            Bytes expected;
            if (file.at(0) == 'M' || file.at(0) == 'I') {
                ++tiffs;
                ASSERT_EQ(FindTag(file, TIFFTAG_COMPRESSION).Value, COMPRESSION_NONE);
                ASSERT_EQ(FindTag(file, TIFFTAG_SAMPLESPERPIXEL).Value, 4u);
                ASSERT_EQ(FindTag(file, TIFFTAG_ROWSPERSTRIP).Value, uint32_t(image->Height));
                const size_t at = FindTag(file, TIFFTAG_STRIPOFFSETS).Value;
                const size_t size = size_t{4} * image->Width * image->Height;
                expected =
                    AsBgra(Bytes(file.begin() + long(at), file.begin() + long(at + size)), false);
            } else {
                ++pngs;
                png_image png{};
                png.version = PNG_IMAGE_VERSION;
                ASSERT_TRUE(png_image_begin_read_from_memory(&png, file.data(), file.size()));
                png.format = PNG_FORMAT_BGRA;
                expected.resize(PNG_IMAGE_SIZE(png));
                ASSERT_TRUE(png_image_finish_read(&png, nullptr, expected.data(), 0, nullptr));
            }
            EXPECT_EQ(image->Pixels, expected);
        }
    }
    EXPECT_GE(tiffs, 2);
    EXPECT_GE(pngs, 1);
}

}  // namespace
}  // namespace pp
