// Image files from anywhere, through the decoder registry as sprite loading uses it: huge
// declared sizes, truncation anywhere, a wrong format behind a valid header, single-byte
// damage. Each is decoded or refused within a second, never read outside its bytes.
#include <gtest/gtest.h>
#include <png.h>
#include <time.h>
#include <zlib.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "image/image_decoders.h"
#include "tests/image/image_test_support.h"

namespace pp {
namespace {

using Bytes = std::vector<uint8_t>;

// Measured in this thread's processor time, so that other work on a shared machine does not
// count; a second in optimised builds, while sanitizers and -O0 slow the work down many times.
double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

#if defined(NDEBUG) && !defined(__SANITIZE_ADDRESS__)
constexpr double kTimeLimitSeconds = 1.0;
#else
constexpr double kTimeLimitSeconds = 20.0;
#endif

class HostileImage : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetImageDecoders();
        EnablePngDecoder();
    }
    void TearDown() override { ResetImageDecoders(); }
};

void AppendU32Be(Bytes& out, uint32_t v) {
    for (int shift : {24, 16, 8, 0}) out.push_back(static_cast<uint8_t>(v >> shift));
}

// A chunk with its length and a correct checksum, so that libpng looks at its contents.
void AppendChunk(Bytes& file, const char* type, const Bytes& body) {
    AppendU32Be(file, static_cast<uint32_t>(body.size()));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    file.insert(file.end(), typed.begin(), typed.end());
    AppendU32Be(file,
                static_cast<uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
}

Bytes PngSignature() {
    return {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
}

Bytes Ihdr(uint32_t width, uint32_t height, uint8_t colourType, uint8_t interlace) {
    Bytes body;
    AppendU32Be(body, width);
    AppendU32Be(body, height);
    body.insert(body.end(), {8, colourType, 0, 0, interlace});
    return body;
}

// A valid header followed by the given chunks and IEND.
Bytes PngWith(const Bytes& ihdr, const std::vector<std::pair<const char*, Bytes>>& chunks) {
    Bytes file = PngSignature();
    AppendChunk(file, "IHDR", ihdr);
    for (const auto& [type, body] : chunks) AppendChunk(file, type, body);
    AppendChunk(file, "IEND", {});
    return file;
}

Bytes SmallPng() {
    test::PngSpec spec;
    spec.Width = 3;
    spec.Height = 2;
    spec.ColourType = PNG_COLOR_TYPE_RGB_ALPHA;
    spec.Interlaced = true;
    spec.Rows.assign(3 * 2 * 4, 0x5A);
    return test::EncodePng(spec);
}

Bytes SmallBmp() {
    return test::MakeBmp(3, 2, 8, 1, {10, 20, 30, 0, 40, 50, 60, 0},
                         {3, 1, 0, 0, 2, 0, 1, 1, 0, 1});
}

enum class Expect { Refused, Decoded };

struct ImageRow {
    const char* name;
    std::function<Bytes()> make;
    Expect expect;
};

void PrintTo(const ImageRow& row, std::ostream* os) {
    *os << row.name;
}

const ImageRow kImages[] = {
    {"Empty", [] { return Bytes{}; }, Expect::Refused},
    {"PngSignatureOnly", [] { return PngSignature(); }, Expect::Refused},
    {"PngMillionByMillion",
     [] {
         return PngWith(Ihdr(1000000, 1000000, PNG_COLOR_TYPE_RGB_ALPHA, 0), {{"IDAT", {}}});
     },
     Expect::Refused},
    {"PngSidesAtTheLimitWithoutPixels",
     [] {
         return PngWith(Ihdr(16384, 16384, PNG_COLOR_TYPE_RGB, 0), {{"IDAT", {}}});
     },
     Expect::Refused},
    // 8192 x 8192 x 4 is exactly the largest buffer allowed: the decoder may allocate it but
    // must give up at the first missing row, quickly.
    {"PngLargestAllowedWithoutPixels",
     [] {
         return PngWith(Ihdr(8192, 8192, PNG_COLOR_TYPE_RGB_ALPHA, 0), {{"IDAT", {}}});
     },
     Expect::Refused},
    {"PngLargestAllowedInterlacedWithoutPixels",
     [] {
         return PngWith(Ihdr(8192, 8192, PNG_COLOR_TYPE_RGB_ALPHA, 1), {{"IDAT", {}}});
     },
     Expect::Refused},
    {"PngWidthOverflowingInt32",
     [] {
         return PngWith(Ihdr(0x80000000u, 1, PNG_COLOR_TYPE_RGB, 0), {{"IDAT", {}}});
     },
     Expect::Refused},
    {"PngZeroWidth",
     [] {
         return PngWith(Ihdr(0, 1, PNG_COLOR_TYPE_RGB, 0), {{"IDAT", {}}});
     },
     Expect::Refused},
    {"PngBadColourType",
     [] {
         return PngWith(Ihdr(1, 1, 7, 0), {{"IDAT", {}}});
     },
     Expect::Refused},
    {"PngChunkLengthBeyondTheFile",
     [] {
         Bytes file = PngSignature();
         AppendChunk(file, "IHDR", Ihdr(1, 1, PNG_COLOR_TYPE_RGB, 0));
         AppendU32Be(file, 0x7FFFFFF0u);
         file.insert(file.end(), {'I', 'D', 'A', 'T', 0, 0});
         return file;
     },
     Expect::Refused},
    {"PngImageDataNotDeflate",
     [] {
         return PngWith(Ihdr(2, 2, PNG_COLOR_TYPE_RGB, 0), {{"IDAT", Bytes(64, 0xFF)}});
     },
     Expect::Refused},
    {"PngHeaderThenABmp",
     [] {
         Bytes file = PngSignature();
         AppendChunk(file, "IHDR", Ihdr(3, 2, PNG_COLOR_TYPE_RGB, 0));
         const Bytes bmp = SmallBmp();
         file.insert(file.end(), bmp.begin(), bmp.end());
         return file;
     },
     Expect::Refused},
    {"PngSignatureThenNoHeaderChunk",
     [] {
         Bytes file = PngSignature();
         AppendChunk(file, "IDAT", Bytes(16, 0));
         return file;
     },
     Expect::Refused},
    {"BmpHeaderThenAPng",
     [] {
         Bytes file = SmallBmp();
         file.resize(14);  // the file header alone, then PNG bytes where the info header goes
         const Bytes png = SmallPng();
         file.insert(file.end(), png.begin(), png.end());
         return file;
     },
     Expect::Refused},
    {"BmpMillionByMillion",
     [] {
         Bytes file = SmallBmp();
         test::PutU32(file, 18, 1000000);
         test::PutU32(file, 22, 1000000);
         return file;
     },
     Expect::Refused},
    {"BmpInfoHeaderSizeHuge",
     [] {
         Bytes file = SmallBmp();
         test::PutU32(file, 14, 0xFFFFFFF0u);
         return file;
     },
     Expect::Refused},
    {"BmpMostNegativeHeight",
     [] {
         Bytes file = SmallBmp();
         test::PutU32(file, 22, 0x80000000u);
         return file;
     },
     Expect::Refused},
    {"SmallPng", SmallPng, Expect::Decoded},
    {"SmallBmp", SmallBmp, Expect::Decoded},
};

class HostileImages : public HostileImage, public ::testing::WithParamInterface<ImageRow> {};

TEST_P(HostileImages, AreDecodedOrRefusedWithinASecond) {
    const ImageRow& row = GetParam();
    const Bytes bytes = row.make();
    std::string error;
    const double start = ThreadSeconds();
    const std::optional<DecodedImage> image = DecodeImage(bytes, 0, &error);
    const double took = ThreadSeconds() - start;
    EXPECT_LT(took, kTimeLimitSeconds);
    if (row.expect == Expect::Refused) {
        EXPECT_FALSE(image.has_value());
        EXPECT_FALSE(error.empty());
    } else {
        ASSERT_TRUE(image.has_value()) << error;
        EXPECT_EQ(image->Pixels.size(),
                  static_cast<size_t>(image->Height) * static_cast<size_t>(image->Pitch));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, HostileImages, ::testing::ValuesIn(kImages),
                         [](const ::testing::TestParamInfo<ImageRow>& info) {
                             return std::string(info.param.name);
                         });

// Every cut of a good file is refused or decoded whole; none reads past its end (the
// sanitizers watch the reads, the exact-size copies make any overread visible).
TEST_F(HostileImage, EveryTruncationIsHandled) {
    for (const Bytes& whole : {SmallPng(), SmallBmp()}) {
        for (size_t length = 0; length < whole.size(); ++length) {
            const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
            const std::optional<DecodedImage> image = DecodeImage(cut, 0);
            if (image) {
                EXPECT_EQ(image->Pixels.size(),
                          static_cast<size_t>(image->Height) * static_cast<size_t>(image->Pitch));
            }
        }
    }
}

// Every single byte of a good file set to each of a few hostile values.
TEST_F(HostileImage, EverySingleByteDamageIsHandled) {
    for (const Bytes& whole : {SmallPng(), SmallBmp()}) {
        for (size_t at = 0; at < whole.size(); ++at) {
            for (uint8_t value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
                Bytes damaged = whole;
                damaged[at] = value;
                const std::optional<DecodedImage> image = DecodeImage(damaged, DecodeBottomUp);
                if (image) {
                    EXPECT_GT(image->Width, 0);
                    EXPECT_GT(image->Height, 0);
                    EXPECT_EQ(image->Pixels.size(), static_cast<size_t>(image->Height) *
                                                        static_cast<size_t>(image->Pitch));
                }
            }
        }
    }
}

}  // namespace
}  // namespace pp
