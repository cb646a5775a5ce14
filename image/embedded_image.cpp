#include "image/embedded_image.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace pp {
namespace {

constexpr char kPrefix[] = "embedded image: ";

std::optional<DecodedImage> Refuse(std::string* error, const std::string& reason) {
    if (error != nullptr) *error = kPrefix + reason;
    return std::nullopt;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// The value of a base64 character, -1 for anything else ('=' included).
int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// Strict base64: the standard alphabet in groups of four, the last group padded with one or
// two '=' when it holds fewer than three bytes; whitespace anywhere is skipped. The bits a
// padded group leaves over are not checked.
bool DecodeBase64(std::string_view text, std::vector<uint8_t>& out, std::string& reason) {
    out.clear();
    out.reserve(text.size() / 4 * 3);
    uint32_t group = 0;
    int inGroup = 0;
    int padding = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsSpace(c)) continue;
        if (c == '=') {
            // Padding fills the third and fourth places of a group, or the fourth alone.
            if (inGroup + padding < 2) {
                reason = "base64 padding at character " + std::to_string(i + 1);
                return false;
            }
            ++padding;
            if (inGroup + padding == 4) {
                if (inGroup == 2) out.push_back(static_cast<uint8_t>(group >> 4));
                if (inGroup == 3) {
                    out.push_back(static_cast<uint8_t>(group >> 10));
                    out.push_back(static_cast<uint8_t>(group >> 2));
                }
                inGroup = 4;  // nothing but whitespace may follow
            }
            continue;
        }
        const int value = Base64Value(c);
        if (value < 0 || padding > 0 || inGroup == 4) {
            reason =
                padding > 0 || inGroup == 4
                    ? "base64 text goes on after its padding at character " + std::to_string(i + 1)
                    : "not base64 at character " + std::to_string(i + 1);
            return false;
        }
        group = group << 6 | static_cast<uint32_t>(value);
        if (++inGroup == 4) {
            out.push_back(static_cast<uint8_t>(group >> 16));
            out.push_back(static_cast<uint8_t>(group >> 8));
            out.push_back(static_cast<uint8_t>(group));
            group = 0;
            inGroup = 0;
        }
    }
    if (inGroup == 4 && padding > 0) return true;
    if (inGroup != 0 || padding != 0) {
        reason = "base64 text ends inside a group of four (missing or broken padding)";
        return false;
    }
    return true;
}

bool IsGzip(std::span<const uint8_t> bytes) {
    return bytes.size() >= 2 && bytes[0] == 0x1f && bytes[1] == 0x8b;
}

// A zlib header: deflate with a window of at most 32 KiB, and its check bits right.
bool IsZlib(std::span<const uint8_t> bytes) {
    return bytes.size() >= 2 && (bytes[0] & 0x0f) == 8 && (bytes[0] >> 4) <= 7 &&
           (bytes[0] * 256 + bytes[1]) % 31 == 0;
}

// Inflates a gzip or zlib stream. Without `out` it only measures: the output goes through a
// small scratch buffer and the measure stops as soon as it passes MaxDecodeBytes, so a bomb
// costs time bounded by the cap and no memory. With `out` (sized by a measure) it fills it.
// Concatenated gzip members are read one after another, as gunzip does; anything else after
// the end of the stream is refused.
bool Inflate(std::span<const uint8_t> in, bool gzip, int64_t& size, uint8_t* out,
             std::string& reason) {
    z_stream stream{};
    if (inflateInit2(&stream, gzip ? 16 + MAX_WBITS : MAX_WBITS) != Z_OK) {
        reason = "zlib cannot start";
        return false;
    }
    std::array<uint8_t, 1 << 16> scratch;
    const char* const kind = gzip ? "gzip" : "zlib";
    // zlib takes its lengths in 32 bits; the input is fed in pieces of at most 1 GiB.
    constexpr size_t kPiece = size_t{1} << 30;
    size_t consumed = 0;
    int64_t produced = 0;
    bool ok = true;
    for (;;) {
        if (stream.avail_in == 0 && consumed < in.size()) {
            const size_t piece = std::min(kPiece, in.size() - consumed);
            stream.next_in = const_cast<Bytef*>(in.data() + consumed);
            stream.avail_in = static_cast<uInt>(piece);
            consumed += piece;
        }
        // The measure stops one byte past the cap; the fill has exactly the measured room,
        // and a byte more goes to the scratch buffer, where it shows a stream that changed.
        const int64_t room = (out != nullptr ? size : MaxDecodeBytes + 1) - produced;
        if (out == nullptr && room <= 0) {
            reason = std::string(kind) + " data inflates past 256 MiB";
            ok = false;
            break;
        }
        const bool toScratch = out == nullptr || room <= 0;
        const int64_t limit = toScratch ? static_cast<int64_t>(scratch.size()) : room;
        const auto chunk = static_cast<uInt>(
            std::min<int64_t>(out == nullptr ? std::min(room, limit) : limit, kPiece));
        stream.next_out = toScratch ? scratch.data() : out + produced;
        stream.avail_out = chunk;
        const int result = inflate(&stream, Z_NO_FLUSH);
        produced += chunk - stream.avail_out;
        if (out != nullptr && produced > size) {
            reason = std::string(kind) + " data inflates differently the second time";
            ok = false;
            break;
        }
        if (result == Z_STREAM_END) {
            const size_t left = stream.avail_in + (in.size() - consumed);
            if (left == 0) break;
            const std::span<const uint8_t> rest = in.subspan(in.size() - left);
            if (!gzip || !IsGzip(rest)) {
                reason = std::string(kind) + " stream is followed by other data";
                ok = false;
                break;
            }
            inflateReset(&stream);
            continue;
        }
        if (result == Z_OK) continue;
        if (result == Z_BUF_ERROR && stream.avail_in == 0 && consumed == in.size()) {
            reason = std::string(kind) + " data ends early";
        } else {
            reason = std::string(kind) + " data is broken" +
                     (stream.msg != nullptr ? std::string(" (") + stream.msg + ")" : "");
        }
        ok = false;
        break;
    }
    inflateEnd(&stream);
    if (ok && out != nullptr && produced != size) {
        reason = std::string(kind) + " data inflates differently the second time";
        ok = false;
    }
    size = produced;
    return ok;
}

bool IsPng(std::span<const uint8_t> bytes) {
    static constexpr uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    return bytes.size() >= sizeof kSignature &&
           std::memcmp(bytes.data(), kSignature, sizeof kSignature) == 0;
}

bool IsTiff(std::span<const uint8_t> bytes) {
    return bytes.size() >= 4 && ((bytes[0] == 'I' && bytes[1] == 'I' && bytes[2] == 42) ||
                                 (bytes[0] == 'M' && bytes[1] == 'M' && bytes[3] == 42));
}

// A 24-bit decode as 32 bits, every pixel opaque.
DecodedImage WithAlpha(const DecodedImage& image) {
    DecodedImage out;
    out.Width = image.Width;
    out.Height = image.Height;
    out.Depth = 32;
    out.Pitch = image.Width * 4;
    out.Pixels.resize(static_cast<size_t>(out.Pitch) * static_cast<size_t>(image.Height));
    uint8_t* to = out.Pixels.data();
    for (int32_t y = 0; y < image.Height; ++y) {
        const uint8_t* from = image.Pixels.data() + static_cast<size_t>(image.Pitch) * y;
        for (int32_t x = 0; x < image.Width; ++x, from += 3, to += 4) {
            std::memcpy(to, from, 3);
            to[3] = 255;
        }
    }
    return out;
}

}  // namespace

std::optional<DecodedImage> DecodeEmbeddedImage(std::string_view base64_text, std::string* error) {
    std::vector<uint8_t> stored;
    std::string reason;
    if (!DecodeBase64(base64_text, stored, reason)) return Refuse(error, reason);
    if (stored.empty()) return Refuse(error, "the text holds no data");

    std::vector<uint8_t> inflated;
    std::span<const uint8_t> file = stored;
    const bool gzip = IsGzip(stored);
    if (gzip || IsZlib(stored)) {
        int64_t size = 0;
        if (!Inflate(stored, gzip, size, nullptr, reason)) return Refuse(error, reason);
        inflated.resize(static_cast<size_t>(size));
        if (!Inflate(stored, gzip, size, inflated.data(), reason)) return Refuse(error, reason);
        file = inflated;
    }

    std::optional<DecodedImage> image;
    std::string decodeError;
    if (IsPng(file)) {
        image = DecodeImageWith(PngDecoder(), file, 0, &decodeError);
    } else if (IsTiff(file)) {
        image = DecodeImageWith(TiffDecoder(), file, 0, &decodeError);
    } else {
        return Refuse(error, "the data is neither a PNG nor a TIFF");
    }
    if (!image) return Refuse(error, decodeError);
    if (image->Depth == 24) return WithAlpha(*image);
    return image;
}

}  // namespace pp
