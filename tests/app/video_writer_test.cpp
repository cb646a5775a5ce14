// Videos written by VideoWriter and by `render --out *.mp4|.webm|.gif`, decoded back with
// FFmpeg's own decoders: frame count, size, timing and pixels against the frames given.
#include "app/video_writer.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/frame_palette.h"
#include "render/image_decoders.h"
#include "tests/app/render_run.h"

namespace pp {
namespace {

using Pixels = std::vector<uint8_t>;  // B, G, R rows

struct Decoded {
    int Width = 0, Height = 0;
    std::vector<Pixels> Frames;
    double LastSeconds = -1.0;  // the last frame's time stamp
};

// Every frame of the file's video stream as B, G, R rows; an empty result when it cannot.
Decoded DecodeVideo(const std::string& path) {
    Decoded out;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return out;
    std::unique_ptr<AVFormatContext*, void (*)(AVFormatContext**)> closeFormat(
        &format, avformat_close_input);
    const AVCodec* codec = nullptr;
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (avformat_find_stream_info(format, nullptr) < 0 || index < 0) return out;
    const AVStream* stream = format->streams[index];
    AVCodecContext* context = avcodec_alloc_context3(codec);
    std::unique_ptr<AVCodecContext*, void (*)(AVCodecContext**)> freeContext(&context,
                                                                             avcodec_free_context);
    avcodec_parameters_to_context(context, stream->codecpar);
    if (avcodec_open2(context, codec, nullptr) < 0) return out;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const auto take = [&] {
        while (avcodec_receive_frame(context, frame) == 0) {
            out.Width = frame->width;
            out.Height = frame->height;
            SwsContext* scale = sws_getContext(
                frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                frame->width, frame->height, AV_PIX_FMT_BGR24,
                SWS_FULL_CHR_H_INT | SWS_ACCURATE_RND | SWS_BITEXACT, nullptr, nullptr, nullptr);
            const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
            sws_setColorspaceDetails(scale, bt709, 0, bt709, 1, 0, 1 << 16, 1 << 16);
            Pixels bgr(static_cast<size_t>(frame->width * frame->height * 3));
            uint8_t* planes[1] = {bgr.data()};
            const int strides[1] = {frame->width * 3};
            sws_scale(scale, frame->data, frame->linesize, 0, frame->height, planes, strides);
            sws_freeContext(scale);
            out.Frames.push_back(std::move(bgr));
            out.LastSeconds =
                static_cast<double>(frame->best_effort_timestamp) * av_q2d(stream->time_base);
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == index) avcodec_send_packet(context, packet);
        av_packet_unref(packet);
        take();
    }
    avcodec_send_packet(context, nullptr);
    take();
    av_frame_free(&frame);
    av_packet_free(&packet);
    return out;
}

double MeanAbsoluteDifference(const Pixels& a, const Pixels& b) {
    if (a.size() != b.size() || a.empty()) return 1e9;
    uint64_t sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += static_cast<uint64_t>(std::abs(a[i] - b[i]));
    return static_cast<double>(sum) / static_cast<double>(a.size());
}

constexpr int kWidth = 160, kHeight = 120;

// Frame k: a background and a 40 x 40 square of a strong colour that moves 20 pixels a
// frame, so that neighbouring frames differ far more than any bound below. `smooth` draws a
// gradient of 14400 colours, otherwise 12 x 10 flat tiles (120 colours).
Pixels Pattern(int k, bool smooth) {
    Pixels bgr(kWidth * kHeight * 3);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            uint8_t* p = &bgr[static_cast<size_t>((y * kWidth + x) * 3)];
            const bool square = x >= 20 * k && x < 20 * k + 40 && y >= 40 && y < 80;
            p[0] = square ? 40 : 64;
            p[1] = square ? 220 : static_cast<uint8_t>(smooth ? y : y / 12 * 24);
            p[2] = square ? 250 : static_cast<uint8_t>(smooth ? x * 3 / 4 : x / 16 * 24);
        }
    }
    return bgr;
}

struct FormatCase {
    const char* Name;
    bool Smooth;
    double MaxMeanError;
};

// The colour conversion alone (4:2:0, limited range) loses 0.4 levels per channel on average
// on these pictures; H.264 at quality 18 and VP9 at 24 lose about one, so 2 leaves room for
// other encoder versions while a shifted, swapped or wrong frame is off by 10 or more. A GIF
// of few colours is exact; 14400 colours in 256 palette groups lose 1.2 levels.
constexpr FormatCase kFormatCases[] = {
    {"mp4", true, 2.0},
    {"webm", true, 2.0},
    {"gif", false, 0.0},
    {"gif", true, 1.5},
};

TEST(VideoWriter, DecodesBackToTheFramesAtTheirTimesAndRepeatsItsBytes) {
    testing::TempDir dir;
    constexpr int kFrames = 5;
    for (const FormatCase& c : kFormatCases) {
        const std::string stem = std::to_string(&c - kFormatCases);
        SCOPED_TRACE(std::string(c.Name) + (c.Smooth ? " smooth" : " tiles"));
        std::string bytes[2];
        for (int run = 0; run < 2; ++run) {
            const std::string path =
                (dir.Path() / (stem + "_" + std::to_string(run) + "." + c.Name)).string();
            VideoWriter writer;
            ASSERT_EQ(writer.Open(path, kWidth, kHeight, FrameRate{25, 2}), std::nullopt);
            for (int k = 0; k < kFrames; ++k) {
                ASSERT_EQ(writer.AddFrameBgr(Pattern(k, c.Smooth)), std::nullopt);
            }
            ASSERT_EQ(writer.Finish(), std::nullopt);
            bytes[run] = test::Slurp(path);
        }
        EXPECT_EQ(bytes[0], bytes[1]) << "the same frames gave different files";
        const Decoded video = DecodeVideo((dir.Path() / (stem + "_0." + c.Name)).string());
        ASSERT_EQ(video.Frames.size(), size_t{kFrames});
        EXPECT_EQ(video.Width, kWidth);
        EXPECT_EQ(video.Height, kHeight);
        // 12.5 frames a second: the last frame at 4 / 12.5 s (GIF counts hundredths).
        EXPECT_NEAR(video.LastSeconds, 0.32, 0.006);
        for (int k = 0; k < kFrames; ++k) {
            EXPECT_LE(MeanAbsoluteDifference(video.Frames[k], Pattern(k, c.Smooth)), c.MaxMeanError)
                << "frame " << k;
        }
    }
    // Nothing but the finished files.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}),
              2 * std::ssize(kFormatCases));
}

TEST(VideoWriter, RefusesWhatItCannotWriteAndLeavesNoFile) {
    testing::TempDir dir;
    const std::string in = (dir.Path() / "v").string();
    struct Case {
        std::string Path;
        int32_t Width;
        std::string Encoder;
        VideoError::Kind Kind;
        std::string Message;
    };
    const Case cases[] = {
        {in + ".avi", 64, "", VideoError::Failed, "is not a .mp4, .webm or .gif file name"},
        {in + ".mp4", 63, "", VideoError::Failed, "even numbers from 2 to 4096"},
        {in + ".webm", 64, "no-such-encoder", VideoError::NoEncoder,
         "has no VP9 encoder (no-such-encoder) for " + in + ".webm"},
        {in + "/missing/v.gif", 64, "", VideoError::Failed, "No such file or directory"},
    };
    for (const Case& c : cases) {
        VideoWriter writer;
        const std::optional<VideoError> error =
            writer.Open(c.Path, c.Width, 48, {25, 1}, c.Encoder);
        ASSERT_TRUE(error) << c.Path;
        EXPECT_EQ(error->What, c.Kind) << c.Path;
        EXPECT_NE(error->Text.find(c.Message), std::string::npos) << error->Text;
    }
    {
        // Given a frame of the wrong size, then abandoned unfinished.
        VideoWriter writer;
        ASSERT_EQ(writer.Open(in + ".mp4", 64, 48, {25, 1}), std::nullopt);
        EXPECT_EQ(writer.AddFrameBgr(Pixels(64 * 48 * 3)), std::nullopt);
        EXPECT_TRUE(writer.AddFrameBgr(Pixels(64 * 48 * 3 - 1)));
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

// At most 256 colours stay exact; one more and median cut takes over. Its groups are made of
// cells of 8 levels a channel, and a pixel stays within three cells of its own colour.
TEST(PaletteFromBgr, KeepsFewColoursExactlyAndApproximatesMany) {
    for (const int colours : {1, 256, 257, 4096}) {
        Pixels bgr;
        for (int i = 0; i < colours; ++i) {
            for (int repeat = 0; repeat < 3; ++repeat) {
                bgr.insert(bgr.end(), {static_cast<uint8_t>(i * 7), static_cast<uint8_t>(i >> 4),
                                       static_cast<uint8_t>(255 - (i & 15) * 9)});
            }
        }
        const PalettedFrame frame = PaletteFromBgr(bgr);
        ASSERT_EQ(frame.Indices.size(), bgr.size() / 3);
        EXPECT_EQ(frame.Palette.size(), static_cast<size_t>(std::min(colours, 256)));
        int worst = 0;
        for (size_t p = 0; p < frame.Indices.size(); ++p) {
            const uint32_t entry = frame.Palette.at(frame.Indices[p]);
            for (size_t c = 0; c < 3; ++c) {
                const int channel = static_cast<int>(entry >> (8 * c) & 0xFF);
                worst = std::max(worst, std::abs(channel - bgr[p * 3 + c]));
            }
        }
        EXPECT_LE(worst, colours <= 256 ? 0 : 24) << colours << " colours";
    }
}

using RenderVideo = test::RenderRun;

// Each frame of the video against the PNGs of the same run. The encoders soften the scene's
// small faint particles (H.264 halves colour detail both ways), measured 0.02 to 0.09 levels on
// average over these mostly black frames, which differ from their neighbours by 0.1 to 0.24:
// each decoded frame must be nearest to its own PNG, which a frame out of place is not, and
// within a quarter level of it, which swapped colours or a broken picture are not.
TEST_F(RenderVideo, WritesEveryFrameNearestToItsOwnPng) {
    constexpr int kFrames = 10;
    const std::vector<std::string> common = {"--seed", "3", "--frames", std::to_string(kFrames)};
    std::vector<std::string> args = common;
    args.insert(args.end(), {"--out", Out("png")});
    ASSERT_EQ(Render(args).Status, 0);
    std::vector<Pixels> pngs;
    for (int k = 1; k <= kFrames; ++k) {
        const std::string png = test::Slurp(dir_.Path() / "png" / test::FrameName(k));
        const std::optional<DecodedImage> image = DecodeImageWith(
            PngDecoder(), std::span(reinterpret_cast<const uint8_t*>(png.data()), png.size()), 0);
        ASSERT_TRUE(image);
        Pixels& rows = pngs.emplace_back();
        for (int32_t y = 0; y < image->Height; ++y) {
            const auto row = image->Pixels.begin() + y * image->Pitch;
            rows.insert(rows.end(), row, row + image->Width * 3);
        }
    }
    const struct {
        const char* Out;
        std::vector<std::string> Args;
        double LastSeconds;
    } cases[] = {{"clip.mp4", {}, 9 * 0.016}, {"clip.GIF", {"--fps", "25"}, 0.36}};
    for (const auto& c : cases) {
        args = common;
        args.insert(args.end(), {"--out", Out(c.Out)});
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        const test::RunResult r = Render(args);
        ASSERT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(test::Lines(r.Err).back(),
                  "particleplayer render: wrote 10 frames to " + Out(c.Out));
        const Decoded video = DecodeVideo(Out(c.Out));
        ASSERT_EQ(video.Frames.size(), size_t{kFrames}) << c.Out;
        EXPECT_EQ(video.Width * 1000 + video.Height, 800600) << c.Out;
        EXPECT_NEAR(video.LastSeconds, c.LastSeconds, 0.006) << c.Out;
        for (int k = 0; k < kFrames; ++k) {
            const double own = MeanAbsoluteDifference(video.Frames[k], pngs[k]);
            EXPECT_LE(own, 0.25) << c.Out << " frame " << k;
            for (const int other : {k - 1, k + 1}) {
                if (other < 0 || other == kFrames) continue;
                EXPECT_LT(own, MeanAbsoluteDifference(video.Frames[k], pngs[other]))
                    << c.Out << " frame " << k << " is nearer to frame " << other;
            }
        }
    }
}

// Without the encoder nothing is drawn or written (status 2); a file that cannot take its name
// at the end is not left half-made under another (status 1). Bad arguments are in cli_test.
TEST_F(RenderVideo, FailuresAreOneLineAndLeaveNoFile) {
    std::filesystem::create_directory(Out("taken.mp4"));
    test::RunOptions noEncoders = test::InSceneFolder();
    noEncoders.SetEnv = {{"LD_PRELOAD", PP_NO_ENCODERS_SHIM},
                         {"ASAN_OPTIONS", "verify_asan_link_order=0"}};
    const struct {
        std::vector<std::string> Args;
        test::RunOptions Options;
        int Status;
        std::string Message;
    } cases[] = {
        {{"--out", Out("c.webm")}, noEncoders, 2, "has no VP9 encoder (libvpx-vp9) for"},
        {{"--out", Out("taken.mp4")}, test::InSceneFolder(), 1, "cannot rename"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--frames", "2"};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        const test::RunResult r = Render(args, c.Options);
        EXPECT_EQ(r.Status, c.Status) << c.Args.back();
        ASSERT_EQ(test::Lines(r.Err).size(), 1u) << r.Err;
        EXPECT_NE(r.Err.find(c.Message), std::string::npos) << r.Err;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 1);
}

}  // namespace
}  // namespace pp
