// Hostile image files through the decoder registry: each is decoded whole or refused within a
// second, never read or written out of bounds (ASan).
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <ctime>

#include "image/image_decoders.h"
#include "tests/image/image_test_support.h"

namespace pp {
namespace {

using test::Bytes;

// Processor time, so that other work on the machine does not count; sanitizers slow it down.
#if defined(NDEBUG) && !defined(__SANITIZE_ADDRESS__)
constexpr double kTimeLimitSeconds = 1.0;
#else
constexpr double kTimeLimitSeconds = 20.0;
#endif

void AppendU32Be(Bytes& out, uint32_t v) {
    for (int shift : {24, 16, 8, 0}) out.push_back(static_cast<uint8_t>(v >> shift));
}

// A PNG signature, then each chunk with its length and a correct checksum.
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

// A PNG header chunk of 8-bit samples.
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
    Bytes file = {'B', 'M'};
    file.resize(54);
    // Offset, header size, width, height, planes, bits, compression, in turn (a 16-bit
    // field's upper bytes are overwritten by the next).
    const uint32_t fields[][2] = {{10, 54 + 8},           {14, 40}, {18, uint32_t(width)},
                                  {22, uint32_t(height)}, {26, 1},  {28, 8},
                                  {30, compression}};
    for (const auto& [offset, value] : fields) test::PutLe(file, offset, value);
    file.insert(file.end(), {10, 20, 30, 0, 40, 50, 60, 0});
    file.insert(file.end(), pixels.begin(), pixels.end());
    test::PutLe(file, 2, static_cast<uint32_t>(file.size()));
    return file;
}

Bytes Patched(Bytes file, size_t offset, uint32_t value) {
    test::PutLe(file, offset, value);
    return file;
}

const Bytes kPng = test::CorpusFile("pngsuite/basi6a08.png");   // interlaced RGBA
const Bytes kBmp = test::CorpusFile("bmpsuite/g/pal8rle.bmp");  // 8-bit run-length data

TEST(HostileImages, AreRefusedWithAReasonWithinASecond) {
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
        {"png sides at the limit", PngWithoutPixels(16384, 16384, 2)},
        {"png over the side limit", PngWithoutPixels(16385, 1, 6)},
        // 8192 x 8192 x 4 is exactly the largest buffer allowed; refused at the first row.
        {"png largest allowed", PngWithoutPixels(8192, 8192, 6)},
        {"png largest allowed, interlaced", PngWithoutPixels(8192, 8192, 6, 1)},
        {"png width past int32", PngWithoutPixels(0x80000000u, 1, 2)},
        {"png chunk length past the file", chunkPastTheFile},
        {"png data not deflate", Png({{"IHDR", Ihdr(2, 2, 2)}, {"IDAT", Bytes(64, 0xFF)}})},
        {"png header then a bmp", pngThenBmp},
        {"bmp header then a png", bmpThenPng},
        {"bmp 1000000 x 1000000", Patched(Patched(kBmp, 18, 1000000), 22, 1000000)},
        {"bmp sides at the limit",
         Patched(Patched(Bmp8(2, 2, 0, Bytes(8, 0)), 18, 16384), 22, 16384)},
        {"bmp info header size huge", Patched(kBmp, 14, 0xFFFFFFF0u)},
        {"bmp most negative height", Patched(kBmp, 22, 0x80000000u)},
        {"bmp pixel offset near uint32 max", Patched(kBmp, 10, 0xFFFFFFF0u)},
        {"bmp reserved word set", Patched(kBmp, 6, 1)},
        {"bmp index past colours used", Patched(Bmp8(1, 1, 0, {2, 0, 0, 0}), 46, 2)},
        // Without a colour count the palette has 256 entries, but entry 5 lies past the file.
        {"bmp palette entry past the file", Bmp8(2, 1, 0, {0, 5, 0, 0})},
        {"run past the row end", Bmp8(4, 1, 1, {5, 1, 0, 1})},
        {"run above the image", Bmp8(4, 1, 1, {0, 0, 1, 1, 0, 1})},
        {"literal past the row end", Bmp8(2, 1, 1, {0, 3, 1, 1, 1, 0, 0, 1})},
        {"literal past the file", Bmp8(8, 1, 1, {0, 5, 1, 1})},
        {"run-length data without its end", Bmp8(4, 1, 1, {2, 1, 0, 0})},
    };
    for (const auto& [name, bytes] : rows) {
        std::string error;
        const std::clock_t start = std::clock();
        EXPECT_FALSE(DecodeImage(bytes, 0, &error).has_value()) << name;
        EXPECT_LT(double(std::clock() - start) / CLOCKS_PER_SEC, kTimeLimitSeconds) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
    ResetImageDecoders();
}

// Every cut of a good file is refused (the PNG's closing IEND chunk is never needed), and every
// byte set to a few hostile values is decoded whole or refused; exact-size copies for ASan.
TEST(HostileImages, EveryTruncationAndSingleByteDamageIsHandled) {
    ResetImageDecoders();
    EnablePngDecoder();
    ASSERT_FALSE(kPng.empty() || kBmp.empty());
    for (const Bytes* file : {&kPng, &kBmp}) {
        const Bytes& whole = *file;
        const size_t needed = whole.size() - (file == &kPng ? 12 : 0);
        for (size_t at = 0; at < whole.size(); ++at) {
            const Bytes cut(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(at));
            EXPECT_EQ(DecodeImage(cut, 0).has_value(), at >= needed) << "cut to " << at;
            for (uint8_t value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
                Bytes damaged = whole;
                damaged[at] = value;
                const auto image = DecodeImage(damaged, DecodeBottomUp);
                EXPECT_TRUE(!image ||
                            (image->Width > 0 && image->Height > 0 &&
                             image->Pixels.size() == size_t(image->Height) * image->Pitch));
            }
        }
    }
    ResetImageDecoders();
}

}  // namespace
}  // namespace pp
