// The video module: FFmpeg encoders behind the interface the program loads them through.
#include "app/video_module.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/frame_palette.h"

namespace pp {
namespace {

struct FormatInfo {
    VideoFormat Format;
    const char* Muxer;
    const char* Codec;                    // what the video holds, for messages
    std::array<const char*, 2> Encoders;  // FFmpeg's names, the first one present is used
};

constexpr std::array<FormatInfo, 3> kFormats = {{
    {VideoFormat::Mp4, "mp4", "H.264", {"libx264", "libopenh264"}},
    {VideoFormat::WebM, "webm", "VP9", {"libvpx-vp9", nullptr}},
    {VideoFormat::Gif, "gif", "GIF", {"gif", nullptr}},
}};

const FormatInfo* FormatInfoOf(std::string_view path) {
    const std::optional<VideoFormat> format = VideoFormatOf(path);
    if (!format) return nullptr;
    for (const FormatInfo& info : kFormats) {
        if (info.Format == *format) return &info;
    }
    return nullptr;
}

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// Fixed settings per encoder. H.264 at constant quality 18 and VP9 at 24 (constant quality,
// no bit rate) keep the scene's small bright particles sharp at modest sizes.
void SetEncoderOptions(const AVCodec& codec, AVCodecContext& context, AVDictionary** options) {
    const std::string_view name = codec.name;
    if (name == "libx264") {
        av_dict_set(options, "preset", "medium", 0);
        av_dict_set(options, "crf", "18", 0);
    } else if (name == "libvpx-vp9") {
        context.bit_rate = 0;
        av_dict_set(options, "crf", "24", 0);
        av_dict_set(options, "deadline", "good", 0);
        av_dict_set(options, "cpu-used", "4", 0);
        av_dict_set(options, "row-mt", "0", 0);
    } else if (context.codec_type == AVMEDIA_TYPE_VIDEO && name != "gif") {
        context.bit_rate = 8'000'000;
    }
}

// When frame k of a video at `rate` shows in a GIF, in hundredths of a second, and for how
// long. Players show no delay under two hundredths as given (they stretch it), so up to 50
// frames a second each frame starts at its time rounded; faster, frames start on a grid of
// two hundredths, each at the first grid point from its time on, and a frame that ends
// before that point is left out (false), so that the GIF still plays at the right speed.
bool GifTime(FrameRate rate, int64_t k, int64_t& start, int64_t& duration) {
    // Frame k's time is k * 100 * Den / Num hundredths; below, everything is over Num.
    const int64_t num = rate.Num;
    const int64_t at = k * 100 * rate.Den;
    const int64_t next = at + 100 * rate.Den;
    if (100 * int64_t{rate.Den} >= 2 * num) {
        start = (2 * at + num) / (2 * num);
        duration = (2 * next + num) / (2 * num) - start;
        return true;
    }
    start = (at + 2 * num - 1) / (2 * num) * 2;
    duration = 2;
    return start * num < next;
}

// A GIF frame from straight R, G, B, A rows: pixels at least half opaque keep their colour
// (from a palette of 255), the others take the one transparent entry, 255.
PalettedFrame PaletteWithClearColour(std::span<const uint8_t> rgba) {
    constexpr uint8_t kHalf = 128;
    const size_t pixels = rgba.size() / 4;
    std::vector<uint8_t> shown;
    shown.reserve(pixels * 3);
    for (size_t p = 0; p < pixels; ++p) {
        if (rgba[p * 4 + 3] < kHalf) continue;
        shown.insert(shown.end(), {rgba[p * 4 + 2], rgba[p * 4 + 1], rgba[p * 4]});
    }
    PalettedFrame opaque = PaletteFromBgr(shown, 255);
    PalettedFrame frame;
    frame.Palette = std::move(opaque.Palette);
    frame.Palette.resize(256, 0xFF000000u);
    frame.Palette[255] = 0x00000000u;
    frame.Indices.resize(pixels);
    size_t next = 0;
    for (size_t p = 0; p < pixels; ++p) {
        frame.Indices[p] = rgba[p * 4 + 3] < kHalf ? uint8_t{255} : opaque.Indices[next++];
    }
    return frame;
}

// The format's encoder (or the one named), or a NoEncoder error.
std::optional<VideoError> FindEncoder(const FormatInfo& info, const std::string& path,
                                      std::string_view encoder, const AVCodec*& codec) {
    // The libraries' own messages would add lines to the one the caller prints.
    av_log_set_level(AV_LOG_QUIET);
    codec = nullptr;
    std::string tried;
    std::array<const char*, 2> names = info.Encoders;
    const std::string named(encoder);
    if (!named.empty()) names = {named.c_str(), nullptr};
    for (const char* name : names) {
        if (name == nullptr || codec != nullptr) continue;
        codec = avcodec_find_encoder_by_name(name);
        tried += tried.empty() ? name : std::string(" or ") + name;
    }
    if (codec == nullptr || codec->type != AVMEDIA_TYPE_VIDEO) {
        return VideoError{VideoError::NoEncoder,
                          std::string("this build of FFmpeg's libavcodec has no ") + info.Codec +
                              " encoder (" + tried + ") for " + path};
    }
    return std::nullopt;
}

std::optional<VideoError> CheckEncoder(const std::string& path) {
    const FormatInfo* info = FormatInfoOf(path);
    if (info == nullptr) return VideoError{VideoError::Failed, path + " is not a video file name"};
    const AVCodec* codec = nullptr;
    return FindEncoder(*info, path, {}, codec);
}

// One video file being written.
struct Encoder final : VideoEncoder {
    const FormatInfo* Info = nullptr;
    std::string Path, Temporary;
    int32_t Width = 0, Height = 0;
    AVFormatContext* Format = nullptr;
    AVCodecContext* Codec = nullptr;
    AVStream* Stream = nullptr;
    SwsContext* Scale = nullptr;
    AVFrame* Frame = nullptr;
    AVPacket* Packet = nullptr;
    FrameRate Rate;
    bool Alpha = false;       // frames come as straight R, G, B, A and keep their alpha
    int64_t Index = 0;        // frames given so far
    int64_t Duration = 1;     // the latest frame's, in the encoder's time base
    bool FileExists = false;  // the temporary file was created and not yet renamed

    ~Encoder() override {
        av_packet_free(&Packet);
        av_frame_free(&Frame);
        sws_freeContext(Scale);
        avcodec_free_context(&Codec);
        if (Format != nullptr) {
            if (Format->pb != nullptr) avio_closep(&Format->pb);
            avformat_free_context(Format);
        }
        if (FileExists) std::remove(Temporary.c_str());
    }

    std::optional<std::string> AddFrame(std::span<const uint8_t> pixels, size_t channels) override;
    // The writer destroys the encoder after this, whatever it gives.
    std::optional<std::string> Finish() override;

    // The steps of Open, in order; each gives the reason it fails.
    std::optional<std::string> Allocate(const AVCodec* codec);  // muxer, stream, encoder, frame
    // Bit-exact, one thread, a key frame every two seconds; BT.709 YUV except for GIF.
    void ConfigureEncoder();
    std::optional<std::string> StartEncoder(const AVCodec* codec);
    std::optional<std::string> PrepareFrames();  // the frame buffer and the YUV conversion
    std::optional<std::string> StartFile();      // the temporary file and the header

    std::string Failure(const std::string& what, int code) const {
        return "cannot write " + Path + ": " + what + " (" + AvError(code) + ")";
    }

    // Hands every packet the encoder has ready to the muxer.
    std::optional<std::string> Drain() {
        while (true) {
            const int received = avcodec_receive_packet(Codec, Packet);
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) break;
            if (received < 0)
                return Failure(std::string(Info->Codec) + " encoding failed", received);
            if (Packet->duration == 0) Packet->duration = Duration;
            av_packet_rescale_ts(Packet, Codec->time_base, Stream->time_base);
            Packet->stream_index = Stream->index;
            const int written = av_interleaved_write_frame(Format, Packet);
            if (written < 0) return Failure("writing a frame failed", written);
        }
        if (Format->pb->error < 0) return Failure("writing failed", Format->pb->error);
        return std::nullopt;
    }
};

// The YUV layout of a video's frames, with an alpha plane or without.
AVPixelFormat YuvFormatOf(bool alpha) {
    return alpha ? AV_PIX_FMT_YUVA420P : AV_PIX_FMT_YUV420P;
}

// Why a video of this name, size, rate and alpha cannot be written, or nullopt.
std::optional<std::string> RequestProblem(const FormatInfo* info, const std::string& path,
                                          int32_t width, int32_t height, FrameRate rate,
                                          bool alpha) {
    if (info == nullptr) return path + " is not a .mp4, .webm or .gif file name";
    constexpr int32_t kMaxSide = 4096;
    if (width < 2 || height < 2 || width > kMaxSide || height > kMaxSide || width % 2 != 0 ||
        height % 2 != 0) {
        return "a video's width and height are even numbers from 2 to 4096";
    }
    if (rate.Num <= 0 || rate.Den <= 0) return "a video's frame rate must be positive";
    if (alpha && info->Format == VideoFormat::Mp4) {
        return "an .mp4 (H.264) has no alpha channel; a .webm, a .gif or PNG frames keep it";
    }
    return std::nullopt;
}

void Encoder::ConfigureEncoder() {
    AVCodecContext& context = *Codec;
    const bool paletted = Info->Format == VideoFormat::Gif;
    const FrameRate rate = Rate;
    context.width = Width;
    context.height = Height;
    // GIF counts time in hundredths of a second; the others count frames.
    context.time_base = paletted ? AVRational{1, 100} : AVRational{rate.Den, rate.Num};
    context.framerate = AVRational{rate.Num, rate.Den};
    context.pix_fmt = paletted ? AV_PIX_FMT_PAL8 : YuvFormatOf(Alpha);
    // A key frame every two seconds, so that players can seek.
    context.gop_size =
        static_cast<int>(std::clamp<int64_t>(2 * int64_t{rate.Num} / rate.Den, 1, 600));
    context.thread_count = 1;
    context.flags |= AV_CODEC_FLAG_BITEXACT;
    if (Format->oformat->flags & AVFMT_GLOBALHEADER) {
        context.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if (!paletted) {
        // sRGB frames stored as BT.709 limited-range YUV, and tagged so.
        context.color_range = AVCOL_RANGE_MPEG;
        context.colorspace = AVCOL_SPC_BT709;
        context.color_primaries = AVCOL_PRI_BT709;
        context.color_trc = AVCOL_TRC_IEC61966_2_1;
    }
}

std::optional<std::string> Encoder::Allocate(const AVCodec* codec) {
    int code = avformat_alloc_output_context2(&Format, nullptr, Info->Muxer, Temporary.c_str());
    if (code < 0) return Failure("no muxer", code);
    Format->flags |= AVFMT_FLAG_BITEXACT;
    Stream = avformat_new_stream(Format, nullptr);
    Codec = avcodec_alloc_context3(codec);
    Frame = av_frame_alloc();
    Packet = av_packet_alloc();
    if (Stream == nullptr || Codec == nullptr || Frame == nullptr || Packet == nullptr) {
        return Failure("out of memory", AVERROR(ENOMEM));
    }
    return std::nullopt;
}

std::optional<std::string> Encoder::StartEncoder(const AVCodec* codec) {
    ConfigureEncoder();
    AVCodecContext& context = *Codec;
    AVDictionary* options = nullptr;
    SetEncoderOptions(*codec, context, &options);
    int code = avcodec_open2(&context, codec, &options);
    av_dict_free(&options);
    if (code < 0) return Failure(std::string("cannot start ") + codec->name, code);
    code = avcodec_parameters_from_context(Stream->codecpar, &context);
    if (code < 0) return Failure("bad encoder parameters", code);
    Stream->time_base = context.time_base;
    Stream->avg_frame_rate = context.framerate;
    return std::nullopt;
}

std::optional<std::string> Encoder::PrepareFrames() {
    Frame->format = Codec->pix_fmt;
    Frame->width = Width;
    Frame->height = Height;
    const int code = av_frame_get_buffer(Frame, 0);
    if (code < 0) return Failure("out of memory", code);
    if (Info->Format == VideoFormat::Gif) return std::nullopt;
    Scale = sws_getContext(Width, Height, Alpha ? AV_PIX_FMT_RGBA : AV_PIX_FMT_BGR24, Width, Height,
                           YuvFormatOf(Alpha),
                           SWS_BICUBIC | SWS_ACCURATE_RND | SWS_BITEXACT | SWS_FULL_CHR_H_INP,
                           nullptr, nullptr, nullptr);
    if (Scale == nullptr) return Failure("no colour conversion", AVERROR(EINVAL));
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(Scale, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    return std::nullopt;
}

std::optional<std::string> Encoder::StartFile() {
    int code = avio_open(&Format->pb, Temporary.c_str(), AVIO_FLAG_WRITE);
    if (code < 0) return "cannot create " + Temporary + ": " + AvError(code);
    FileExists = true;
    AVDictionary* muxerOptions = nullptr;
    // The index goes first, so that a browser can start playing before the whole file is in.
    if (Info->Format == VideoFormat::Mp4) av_dict_set(&muxerOptions, "movflags", "+faststart", 0);
    code = avformat_write_header(Format, &muxerOptions);
    av_dict_free(&muxerOptions);
    if (code < 0) return Failure("cannot write the header", code);
    return std::nullopt;
}

std::unique_ptr<VideoEncoder> Open(const VideoRequest& request, VideoError& error) {
    const std::string& path = request.Path;
    error = VideoError{VideoError::Failed, {}};
    const FormatInfo* info = FormatInfoOf(path);
    if (std::optional<std::string> problem = RequestProblem(
            info, path, request.Width, request.Height, request.Rate, request.Alpha)) {
        error.Text = std::move(*problem);
        return nullptr;
    }
    const AVCodec* codec = nullptr;
    if (std::optional<VideoError> missing = FindEncoder(*info, path, request.Encoder, codec)) {
        error = std::move(*missing);
        return nullptr;
    }
    auto state = std::make_unique<Encoder>();
    state->Info = info;
    state->Path = path;
    state->Temporary = path + ".part";
    state->Width = request.Width;
    state->Rate = request.Rate;
    state->Height = request.Height;
    state->Alpha = request.Alpha;
    std::optional<std::string> failed = state->Allocate(codec);
    if (!failed) failed = state->StartEncoder(codec);
    if (!failed) failed = state->PrepareFrames();
    if (!failed) failed = state->StartFile();
    if (failed) {
        error.Text = std::move(*failed);
        return nullptr;
    }
    return state;
}

std::optional<std::string> Encoder::AddFrame(std::span<const uint8_t> pixels, size_t channels) {
    Encoder& s = *this;
    const size_t rowBytes = static_cast<size_t>(s.Width) * channels;
    if (pixels.size() != rowBytes * static_cast<size_t>(s.Height)) {
        return "a frame of " + std::to_string(pixels.size()) + " bytes does not fit " +
               std::to_string(s.Width) + " x " + std::to_string(s.Height) + " pixels";
    }
    int64_t pts = s.Index++;
    if (s.Scale == nullptr && !GifTime(s.Rate, pts, pts, s.Duration)) return std::nullopt;
    // The encoder may still hold the previous frame's pictures.
    int code = av_frame_make_writable(s.Frame);
    if (code < 0) return s.Failure("out of memory", code);
    if (s.Scale != nullptr) {
        const uint8_t* const planes[1] = {pixels.data()};
        const int strides[1] = {static_cast<int>(rowBytes)};
        sws_scale(s.Scale, planes, strides, 0, s.Height, s.Frame->data, s.Frame->linesize);
    } else {
        const PalettedFrame paletted =
            channels == 4 ? PaletteWithClearColour(pixels) : PaletteFromBgr(pixels);
        // Unused entries are opaque black, so that none reads as a transparent colour.
        auto* palette = reinterpret_cast<uint32_t*>(s.Frame->data[1]);
        std::fill(palette, palette + 256, 0xFF000000u);
        std::copy(paletted.Palette.begin(), paletted.Palette.end(), palette);
        for (int32_t y = 0; y < s.Height; ++y) {
            std::memcpy(
                s.Frame->data[0] + static_cast<ptrdiff_t>(y) * s.Frame->linesize[0],
                paletted.Indices.data() + static_cast<size_t>(y) * static_cast<size_t>(s.Width),
                static_cast<size_t>(s.Width));
        }
    }
    s.Frame->pts = pts;
    code = avcodec_send_frame(s.Codec, s.Frame);
    if (code < 0) return s.Failure(std::string(s.Info->Codec) + " encoding failed", code);
    return s.Drain();
}

std::optional<std::string> Encoder::Finish() {
    Encoder& s = *this;
    int code = avcodec_send_frame(s.Codec, nullptr);
    if (code < 0) return s.Failure("flushing the encoder failed", code);
    if (std::optional<std::string> error = s.Drain()) return error;
    code = av_write_trailer(s.Format);
    if (code < 0) return s.Failure("cannot write the end of the file", code);
    code = avio_closep(&s.Format->pb);
    if (code < 0) return s.Failure("cannot close the file", code);
    if (std::rename(s.Temporary.c_str(), s.Path.c_str()) != 0) {
        return "cannot rename " + s.Temporary + " to " + s.Path + ": " + std::strerror(errno);
    }
    s.FileExists = false;
    return std::nullopt;
}

}  // namespace
}  // namespace pp

extern "C" const pp::VideoModule* pp_video_module() {
    static const pp::VideoModule module{pp::kVideoModuleVersion, pp::CheckEncoder, pp::Open};
    return &module;
}
