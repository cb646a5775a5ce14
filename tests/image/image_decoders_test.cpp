// The image decoders: registry, texture bytes, the corpora's manifest and hostile files.
#include "image/image_decoders.h"

#include <gtest/gtest.h>
#include <zlib.h>

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/sha.h>
}

#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "image/texture_bytes.h"

namespace pp {
namespace {

using Bytes = std::vector<uint8_t>;

// The bytes of a corpus file (empty when it is missing); bytes with a little-endian patch.
Bytes CorpusFile(const std::string& name) {
    std::ifstream in(std::string(PP_TESTDATA_DIR) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes Patched(Bytes bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
    return bytes;
}

// A decoder that takes any bytes and reports the size it is told to, counting its calls and
// the frees of its state.
struct FakeState {
    int32_t Width = 2, Height = 1, Depth = 24;
    bool DecodeSucceeds = true;
    int Checks = 0, Decodes = 0, CleanUps = 0;
} fake;

struct FakeData : DecoderData {
    ~FakeData() override { ++fake.CleanUps; }
};

const ImageDecoder kFake{
    "fake",
    [](DecodeContext& context) {
        ++fake.Checks;
        context.Data = std::make_unique<FakeData>();
        context.Width = fake.Width, context.Height = fake.Height, context.Depth = fake.Depth;
        return true;
    },
    [](DecodeContext& context, std::span<uint8_t> buffer, int32_t, int32_t) {
        ++fake.Decodes;
        if (!fake.DecodeSucceeds) context.Error = "fake: broken";
        buffer[0] = 42;
        return fake.DecodeSucceeds;
    },
};

// BMP alone from the start; PNG once enabled, once only, after the decoders before it.
TEST(ImageRegistry, TriesDecodersInOrderWithinItsRoomAndRefusesSizesBeforeDecoding) {
    ResetImageDecoders();
    const Bytes png = CorpusFile("pngsuite/basn2c08.png");
    const Bytes bmp = CorpusFile("bmpsuite/g/rgb24.bmp");
    EXPECT_TRUE(DecodeImage(bmp, 0).has_value());
    EXPECT_FALSE(DecodeImage(png, 0).has_value());
    ASSERT_EQ(RegisterImageDecoder(kFake), 1);
    EnablePngDecoder();
    EnablePngDecoder();
    ASSERT_TRUE(DecodeImage(bmp, 0).has_value());
    EXPECT_EQ(fake.Checks, 0);
    EXPECT_EQ(DecodeImage(png, 0)->Pixels[0], 42) << "the fake comes before PNG";
    for (int i = 0; i < MaxImageDecoders - 3; ++i) EXPECT_EQ(RegisterImageDecoder(kFake), 1);
    EXPECT_EQ(RegisterImageDecoder(kFake), 0) << "the registry is full";
    ResetImageDecoders();
    EXPECT_FALSE(DecodeImage(png, 0).has_value());
    // Sizes are refused before decoding (exactly 256 MiB is allowed); cleaned up whatever happens.
    const FakeState rows[] = {{16384, 4097, 32}, {16385, 1, 24},   {1, 16385, 24},
                              {0, 5, 24},        {5, -1, 24},      {5, 5, 16},
                              {5, 5, 24, false}, {16384, 4096, 32}};
    for (const FakeState& row : rows) {
        fake = row;
        std::string error;
        const bool allowed = row.Width == 16384 && row.Height == 4096;
        EXPECT_EQ(DecodeImageWith(kFake, Bytes{1}, 0, &error).has_value(), allowed) << row.Width;
        EXPECT_TRUE(allowed || error.starts_with("fake: ")) << error;
        EXPECT_EQ(std::pair(fake.Decodes, fake.CleanUps),
                  std::pair(row.DecodeSucceeds ? int(allowed) : 1, 1));
    }
}

// Alpha is kept only for 32-bit quad sprites, else black is keyed; malformed images give none.
TEST(TextureBytes, KeepAlphaOnlyOnThirtyTwoBitQuadsElseKeyBlack) {
    const DecodedImage bgra{2, 1, 32, 8, {0, 0, 0, 128, 9, 0, 0, 7}};
    const DecodedImage bgr{3, 2, 24, 12, {0, 0, 0, 1, 0, 0, 255, 255, 255, 0xee, 0xee, 0xee,
                                          0, 1, 0, 0, 0, 0, 0,   0,   1,   0xee, 0xee, 0xee}};
    EXPECT_EQ(MakeTextureBytes(bgra, SpriteUsableAsQuad | SpriteKeepAlpha), bgra.Pixels);
    EXPECT_EQ(MakeTextureBytes(bgra, 0), (Bytes{0, 0, 0, 0, 9, 0, 0, 255}));
    EXPECT_EQ(MakeTextureBytes(bgr, SpriteUsableAsQuad | SpriteKeepAlpha),
              (Bytes{0, 0, 0, 0,   1, 0, 0, 255, 255, 255, 255, 255,
                     0, 1, 0, 255, 0, 0, 0, 0,   0,   0,   1,   255}));
    EXPECT_FALSE(MakeTextureBytes(bgra, SpriteKeepAlpha));  // keeping alpha needs a quad
    DecodedImage bad[5] = {bgra, bgra, bgra, bgra, bgra};
    bad[0].Pixels.pop_back(), bad[1].Pitch = 7, bad[2].Depth = 16, bad[3].Height = 0;
    bad[4].Width = INT32_MAX;
    for (const DecodedImage& image : bad) EXPECT_FALSE(MakeTextureBytes(image, SpriteUsableAsQuad));
}

// A PNG signature, then each chunk with its length and a correct checksum.
void AppendU32Be(Bytes& out, uint32_t v) {
    for (int shift : {24, 16, 8, 0}) out.push_back(static_cast<uint8_t>(v >> shift));
}
Bytes Png(const std::vector<std::pair<const char*, Bytes>>& chunks) {
    Bytes file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    for (const auto& [type, body] : chunks) {
        AppendU32Be(file, static_cast<uint32_t>(body.size()));
        Bytes typed(type, type + 4);
        typed.insert(typed.end(), body.begin(), body.end());
        file.insert(file.end(), typed.begin(), typed.end());
        AppendU32Be(file,
                    static_cast<uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
    }
    return file;
}
Bytes Ihdr(uint32_t width, uint32_t height, uint8_t colourType, uint8_t interlace = 0) {
    Bytes body;
    for (uint32_t v : {width, height}) AppendU32Be(body, v);
    body.insert(body.end(), {8, colourType, 0, 0, interlace});
    return body;
}
Bytes PngWithoutPixels(uint32_t width, uint32_t height, uint8_t colourType, uint8_t interlace = 0) {
    return Png({{"IHDR", Ihdr(width, height, colourType, interlace)}, {"IDAT", {}}, {"IEND", {}}});
}

// An 8-bit BMP with a two-colour palette; compression 1 is run-length data.
Bytes Bmp8(int32_t width, int32_t height, uint32_t compression, const Bytes& pixels) {
    Bytes file = Patched(Bytes(54), 0, 'B' | 'M' << 8);
    const uint32_t fields[][2] = {{10, 54 + 8},           {14, 40}, {18, uint32_t(width)},
                                  {22, uint32_t(height)}, {26, 1},  {28, 8},
                                  {30, compression}};
    for (const auto& [offset, value] : fields) file = Patched(file, offset, value);
    file.insert(file.end(), {10, 20, 30, 0, 40, 50, 60, 0});
    file.insert(file.end(), pixels.begin(), pixels.end());
    return Patched(file, 2, static_cast<uint32_t>(file.size()));
}

const Bytes kPng = CorpusFile("pngsuite/basi6a08.png");   // interlaced RGBA
const Bytes kBmp = CorpusFile("bmpsuite/g/pal8rle.bmp");  // 8-bit run-length data

TEST(HostileImages, AreRefusedWithAReasonAsIsEveryCut) {
    ResetImageDecoders();
    EnablePngDecoder();
    Bytes chunkPastTheFile = Png({{"IHDR", Ihdr(1, 1, 2)}});
    AppendU32Be(chunkPastTheFile, 0x7FFFFFF0u);
    chunkPastTheFile.insert(chunkPastTheFile.end(), {'I', 'D', 'A', 'T', 0, 0});
    Bytes pngThenBmp = Png({{"IHDR", Ihdr(127, 64, 2)}});
    pngThenBmp.insert(pngThenBmp.end(), kBmp.begin(), kBmp.end());
    Bytes bmpThenPng(kBmp.begin(), kBmp.begin() + 14);
    bmpThenPng.insert(bmpThenPng.end(), kPng.begin(), kPng.end());
    const std::pair<const char*, Bytes> rows[] = {
        {"empty", {}},
        {"png signature only", Png({})},
        {"png largest allowed", PngWithoutPixels(8192, 8192, 6)},
        {"png largest allowed, interlaced", PngWithoutPixels(8192, 8192, 6, 1)},
        {"png width past int32", PngWithoutPixels(0x80000000u, 1, 2)},
        {"png chunk length past the file", chunkPastTheFile},
        {"png data not deflate", Png({{"IHDR", Ihdr(2, 2, 2)}, {"IDAT", Bytes(64, 0xFF)}})},
        {"png header then a bmp", pngThenBmp},
        {"bmp header then a png", bmpThenPng},
        {"bmp 1000000 x 1000000", Patched(Patched(kBmp, 18, 1000000), 22, 1000000)},
        {"bmp info header size huge", Patched(kBmp, 14, 0xFFFFFFF0u)},
        {"bmp most negative height", Patched(kBmp, 22, 0x80000000u)},
        {"bmp pixel offset near uint32 max", Patched(kBmp, 10, 0xFFFFFFF0u)},
        {"bmp reserved word set", Patched(kBmp, 6, 1)},
        {"bmp index past colours used", Patched(Bmp8(1, 1, 0, {2, 0, 0, 0}), 46, 2)},
        {"bmp palette entry past the file", Bmp8(2, 1, 0, {0, 5, 0, 0})},
        {"run past the row end", Bmp8(4, 1, 1, {5, 1, 0, 1})},
        {"run above the image", Bmp8(4, 1, 1, {0, 0, 1, 1, 0, 1})},
        {"literal past the row end", Bmp8(2, 1, 1, {0, 3, 1, 1, 1, 0, 0, 1})},
        {"literal past the file", Bmp8(8, 1, 1, {0, 5, 1, 1})},
        {"run-length data without its end", Bmp8(4, 1, 1, {2, 1, 0, 0})},
    };
    for (const auto& [name, bytes] : rows) {
        std::string error;
        EXPECT_FALSE(DecodeImage(bytes, 0, &error).has_value()) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
    // Every cut of a good file is refused (the PNG's closing IEND chunk is never needed).
    for (const Bytes* file : {&kPng, &kBmp}) {
        for (size_t at = 0; at < file->size(); ++at) {
            const Bytes cut(file->begin(), file->begin() + static_cast<ptrdiff_t>(at));
            EXPECT_EQ(DecodeImage(cut, 0).has_value(),
                      at + (file == &kPng ? 12 : 0) >= file->size())
                << at;
        }
    }
}

// A zlib stream of `raw`, as PNG image data.
Bytes Zlib(const Bytes& raw) {
    Bytes out(compressBound(static_cast<uLong>(raw.size())));
    uLongf size = out.size();
    EXPECT_EQ(compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9), Z_OK);
    out.resize(size);
    return out;
}

// Large decode buffers are allocated only for data that can fill them: a header's size is
// refused by its check (before the caller allocates) when the file's data cannot produce it,
// and complete data of the same size still decodes.
TEST(LargeImages, DataThatCannotFillTheBufferIsRefusedByTheCheckCompleteDataDecodes) {
    // Rows of filter byte 0 and zero pixels; noise that stays about as long when deflated.
    const auto rows = [](uint32_t height, uint32_t rowBytes) {
        return Bytes(size_t{height} * (rowBytes + 1), 0);
    };
    Bytes noise(300000);
    uint32_t state = 1;
    for (uint8_t& byte : noise) {
        state ^= state << 13, state ^= state >> 17, state ^= state << 5;
        byte = uint8_t(state >> 24);
    }
    Bytes grey1 = Ihdr(16384, 4000, 0);
    grey1[8] = 1;  // one bit a pixel: 32 MiB of 24-bit buffer from 8 MiB of rows
    Bytes textPastTheFile = Png({{"IHDR", Ihdr(32, 32, 0)}});  // its length from a fuzz finding
    AppendU32Be(textPastTheFile, 0x763200EBu);
    textPastTheFile.insert(textPastTheFile.end(), {'i', 'T', 'X', 't', 'T', 0, 0, 0});
    Bytes runsOf255;  // 32 runs of 255 pixels: the last one leaves a row of 8000
    for (int i = 0; i < 32; ++i) runsOf255.insert(runsOf255.end(), {255, 1});
    const Bytes rgbRows = Zlib(rows(2048, 4096 * 3));
    const auto png = [&](const Bytes& header, std::vector<Bytes> data) {
        std::vector<std::pair<const char*, Bytes>> chunks = {{"IHDR", header}};
        for (Bytes& part : data) chunks.emplace_back("IDAT", std::move(part));
        chunks.emplace_back("IEND", Bytes{});
        return Png(chunks);
    };
    const Bytes split = png(Ihdr(4096, 2048, 2), {Bytes(rgbRows.begin(), rgbRows.begin() + 19),
                                                  Bytes(rgbRows.begin() + 19, rgbRows.end())});
    const struct {
        const char* Name;
        Bytes File;          // a BMP or a PNG
        const char* Reason;  // empty when it decodes
    } cases[] = {
        {"png 4096 x 2048, deflated zeros (1000:1)", png(Ihdr(4096, 2048, 2), {rgbRows}), ""},
        {"png whose data inflates to a part of its rows", png(Ihdr(8192, 8192, 6), {Zlib(noise)}),
         "png: image data ends before the last row"},
        {"png 1-bit 16384 x 4000 in 2 KB", png(grey1, {Bytes(2048, 0x55)}),
         "png: file is too short to hold the image it declares"},
        {"png 1-bit 16384 x 4000, 8 KB not deflate", png(grey1, {Bytes(8192, 0x55)}),
         "png: image data ends before the last row"},
        {"png text chunk of 1.9 GB in a file of 49 bytes", textPastTheFile,
         "png: a chunk before the image data runs past the end of the file"},
        {"png data split over chunks", split, ""},
        {"bmp run-length 3000 x 3000 ending at once", Bmp8(3000, 3000, 1, {0, 1}), ""},
        {"bmp run-length 8000 x 8000 running off its row", Bmp8(8000, 8000, 1, runsOf255),
         "bmp: run-length data writes outside the image"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const ImageDecoder& decoder = c.File[0] == 'B' ? BmpDecoder() : PngDecoder();
        const bool decodes = *c.Reason == '\0';
        DecodeContext context;
        context.Bytes = c.File;
        EXPECT_EQ(decoder.Check(context), decodes);
        EXPECT_EQ(context.Error, c.Reason);
        const auto image = DecodeImageWith(decoder, c.File, 0);
        ASSERT_EQ(image.has_value(), decodes);
        EXPECT_TRUE(!image || image->Pixels == Bytes(image->Pixels.size(), 0));
    }
}

// SHA-256 in hex, by FFmpeg's utility library.
std::string Sha256Hex(const Bytes& m) {
    uint8_t digest[32];
    AVSHA* sha = av_sha_alloc();
    av_sha_init(sha, 256);
    av_sha_update(sha, m.data(), m.size());
    av_sha_final(sha, digest);
    av_free(sha);
    std::string hex;
    for (const uint8_t byte : digest)
        hex += {"0123456789abcdef"[byte >> 4], "0123456789abcdef"[byte & 15]};
    return hex;
}

// The rows without their padding, top row first (last in the buffer when bottom-up).
Bytes Packed(const DecodedImage& image, bool bottomUp) {
    Bytes packed;
    const auto used = static_cast<ptrdiff_t>(image.Width) * (image.Depth / 8);
    for (int32_t y = 0; y < image.Height; ++y) {
        const auto row =
            image.Pixels.begin() + ptrdiff_t{bottomUp ? image.Height - 1 - y : y} * image.Pitch;
        packed.insert(packed.end(), row, row + used);
    }
    return packed;
}

// Each corpus file as its manifest row says (verdict, size, SHA-256), in both row orders.
TEST(ImageCorpus, EveryFileDecodesAsItsManifestRowSaysInBothRowOrders) {
    ResetImageDecoders();
    EnablePngDecoder();
    const Bytes text = CorpusFile("MANIFEST.tsv");
    std::istringstream manifest(std::string(text.begin(), text.end()));
    std::string path, verdict, sha;
    int32_t width = 0, height = 0, bytesPerPixel = 0, png = 0, bmp = 0;
    while (manifest >> path >> verdict) {
        SCOPED_TRACE(path);
        png += path.starts_with("pngsuite/");
        bmp += path.starts_with("bmpsuite/");
        const Bytes bytes = CorpusFile(path);
        ASSERT_FALSE(bytes.empty());
        std::string error;
        const auto image = DecodeImage(bytes, 0, &error);
        if (verdict != "ok") {
            manifest.ignore(1000, '\n');
            EXPECT_TRUE(!image && !error.empty());
            continue;
        }
        manifest >> width >> height >> bytesPerPixel >> sha;
        ASSERT_TRUE(image.has_value()) << error;
        EXPECT_TRUE(image->Width == width && image->Height == height &&
                    image->Depth == bytesPerPixel * 8 &&
                    image->Pixels.size() == static_cast<size_t>(image->Pitch) * height);
        EXPECT_EQ(Sha256Hex(Packed(*image, false)), sha);
        const auto bottomUp = DecodeImage(bytes, DecodeBottomUp);
        EXPECT_EQ(Packed(bottomUp.value(), true), Packed(*image, false));
        for (size_t length = 0; length < bytes.size() / 2; length += bytes.size() / 16 + 1) {
            const Bytes cut(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(length));
            EXPECT_FALSE(DecodeImage(cut, 0).has_value()) << "cut to " << length;
        }
    }
    EXPECT_EQ(std::pair(png, bmp), std::pair(176, 91)) << "a missing or moved corpus";
}

}  // namespace
}  // namespace pp
