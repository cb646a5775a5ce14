// Videos written by VideoWriter and by `render --out *.mp4|.webm|.gif`, decoded back with
// FFmpeg's own decoders: frame count, size, timing and pixels against the frames given.
#include <gtest/gtest.h>

#include "app/video_writer.h"

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
#include "tests/app/render_run.h"

namespace pp {
namespace {

using Pixels = std::vector<uint8_t>;  // B, G, R rows

struct Decoded {
    int Width = 0, Height = 0;
    std::vector<Pixels> Frames;
    double LastSeconds = -1.0;  // the last frame's time stamp
};

// Every frame of the file's video stream (or of a numbered PNG series, "frame_%05d.png") as
// B, G, R rows; an empty result when it cannot.
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

// The colour conversion alone (4:2:0, limited range) loses 0.4 levels per channel on average;
// H.264 at quality 18 and VP9 at 24 lose about one, so 2 leaves room for other encoder
// versions while a shifted, swapped or wrong frame is off by 10 or more. A GIF of few colours
// is exact. Five frames at 12.5 a second end at 0.32 s; at 62.5 a GIF keeps those that start
// on its grid of two hundredths (0, 0.02, 0.04, 0.06) and leaves out the fifth.
constexpr struct {
    const char* Name;
    bool Smooth;
    double MaxMeanError;
    FrameRate Rate;
    size_t Frames;
    double LastSeconds;
} kFormatCases[] = {{"mp4", true, 2.0, {25, 2}, 5, 0.32},
                    {"webm", true, 2.0, {25, 2}, 5, 0.32},
                    {"gif", false, 0.0, {25, 2}, 5, 0.32},
                    {"gif", false, 0.0, {125, 2}, 4, 0.06}};

TEST(VideoWriter, DecodesBackToTheFramesAtTheirTimesAndRepeatsItsBytes) {
    testing::TempDir dir;
    for (const auto& c : kFormatCases) {
        SCOPED_TRACE(std::string(c.Name) + " at " + std::to_string(c.Rate.Num) + "/" +
                     std::to_string(c.Rate.Den));
        std::string paths[2];
        for (int run = 0; run < 2; ++run) {
            paths[run] = dir.Path() / (std::to_string(&c - kFormatCases) + "_" +
                                       std::to_string(run) + "." + c.Name);
            VideoWriter writer;
            ASSERT_EQ(writer.Open(paths[run], kWidth, kHeight, c.Rate), std::nullopt);
            for (int k = 0; k < 5; ++k) {
                ASSERT_EQ(writer.AddFrameBgr(Pattern(k, c.Smooth)), std::nullopt);
            }
            ASSERT_EQ(writer.Finish(), std::nullopt);
        }
        EXPECT_EQ(test::Slurp(paths[0]), test::Slurp(paths[1])) << "same frames, other bytes";
        const Decoded video = DecodeVideo(paths[0]);
        ASSERT_EQ(video.Frames.size(), c.Frames);
        EXPECT_EQ(video.Width * 1000 + video.Height, kWidth * 1000 + kHeight);
        EXPECT_NEAR(video.LastSeconds, c.LastSeconds, 0.001);
        for (int k = 0; k < std::ssize(video.Frames); ++k) {
            EXPECT_LE(MeanAbsoluteDifference(video.Frames[k], Pattern(k, c.Smooth)), c.MaxMeanError)
                << "frame " << k;
        }
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}),
              2 * std::ssize(kFormatCases))
        << "nothing but the finished files";
}

TEST(VideoWriter, RefusesWhatItCannotWriteAndLeavesNoFile) {
    testing::TempDir dir;
    const std::string in = (dir.Path() / "v").string();
    const struct {
        std::string Path;
        int32_t Width;
        const char* Encoder;
        VideoError::Kind Kind;
        std::string Message;
    } cases[] = {
        {in + ".avi", 64, "", VideoError::Failed, "is not a .mp4, .webm or .gif file name"},
        {in + ".mp4", 63, "", VideoError::Failed, "even numbers from 2 to 4096"},
        {in + ".webm", 64, "nothing", VideoError::NoEncoder, "no VP9 encoder (nothing) for " + in},
        {in + "/missing/v.gif", 64, "", VideoError::Failed, "No such file or directory"},
    };
    for (const auto& c : cases) {
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
            bgr.insert(bgr.end(), {static_cast<uint8_t>(i * 7), static_cast<uint8_t>(i >> 4),
                                   static_cast<uint8_t>(255 - (i & 15) * 9)});
        }
        const PalettedFrame frame = PaletteFromBgr(bgr);
        ASSERT_EQ(frame.Indices.size(), bgr.size() / 3);
        EXPECT_EQ(frame.Palette.size(), static_cast<size_t>(std::min(colours, 256)));
        int worst = 0;
        for (size_t i = 0; i < bgr.size(); ++i) {
            const uint32_t entry = frame.Palette.at(frame.Indices[i / 3]);
            worst = std::max(worst, std::abs(int(entry >> (8 * (i % 3)) & 0xFF) - bgr[i]));
        }
        EXPECT_LE(worst, colours <= 256 ? 0 : 24) << colours << " colours";
    }
}

using RenderVideo = test::RenderRun;

// Each frame of the video against the PNGs of the same run. The encoders soften the scene's
// small faint particles by 0.02 to 0.09 levels on average over these mostly black frames,
// which differ from their neighbours by 0.1 to 0.24: each decoded frame must be nearest to its
// own PNG, which a frame out of place is not, and within a quarter level of it, which swapped
// colours or a broken picture are not.
TEST_F(RenderVideo, WritesEveryFrameNearestToItsOwnPng) {
    const std::vector<std::string> common = {"--seed", "3", "--frames", "10", "--out"};
    std::vector<std::string> args = common;
    args.push_back(Out("png"));
    ASSERT_EQ(Render(args).Status, 0);
    const std::vector<Pixels> pngs = DecodeVideo(Out("png/frame_%05d.png")).Frames;
    ASSERT_EQ(pngs.size(), 10u);
    const struct {
        const char* Out;
        const char* Fps;
        double LastSeconds;
    } cases[] = {{"clip.mp4", nullptr, 9 * 0.016}, {"clip.GIF", "25", 0.36}};
    for (const auto& c : cases) {
        args = common;
        args.push_back(Out(c.Out));
        if (c.Fps) args.insert(args.end(), {"--fps", c.Fps});
        const test::RunResult r = Render(args);
        ASSERT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(r.Err, "particleplayer render: wrote 10 frames to " + Out(c.Out) + "\n");
        const Decoded video = DecodeVideo(Out(c.Out));
        ASSERT_EQ(video.Frames.size(), pngs.size()) << c.Out;
        EXPECT_EQ(video.Width * 1000 + video.Height, 800600) << c.Out;
        EXPECT_NEAR(video.LastSeconds, c.LastSeconds, 0.006) << c.Out;
        for (size_t k = 0; k < pngs.size(); ++k) {
            const double own = MeanAbsoluteDifference(video.Frames[k], pngs[k]);
            EXPECT_LE(own, 0.25) << c.Out << " frame " << k;
            for (const size_t other : {k - 1, k + 1}) {
                if (other >= pngs.size()) continue;
                EXPECT_LT(own, MeanAbsoluteDifference(video.Frames[k], pngs[other]))
                    << c.Out << " frame " << k << " is nearer to frame " << other;
            }
        }
    }
}

// Without the encoder nothing is drawn or written (status 2); a file that cannot take its name
// at the end is not left half-made under another (status 1).
TEST_F(RenderVideo, FailuresAreOneLineAndLeaveNoFile) {
    std::filesystem::create_directory(Out("taken.mp4"));
    test::RunOptions noEncoders = test::InSceneFolder();
    noEncoders.SetEnv = {{"LD_PRELOAD", PP_NO_ENCODERS_SHIM},
                         {"ASAN_OPTIONS", "verify_asan_link_order=0"}};
    const struct {
        std::string Out;
        test::RunOptions Options;
        int Status;
        std::string Message;
    } cases[] = {
        {Out("c.webm"), noEncoders, 2, "has no VP9 encoder (libvpx-vp9) for"},
        {Out("taken.mp4"), test::InSceneFolder(), 1, "cannot rename"},
    };
    for (const auto& c : cases) {
        const test::RunResult r = Render({"--frames", "2", "--out", c.Out}, c.Options);
        EXPECT_EQ(r.Status, c.Status) << c.Out;
        ASSERT_EQ(test::Lines(r.Err).size(), 1u) << r.Err;
        EXPECT_NE(r.Err.find(c.Message), std::string::npos) << r.Err;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 1);
}

}  // namespace
}  // namespace pp
