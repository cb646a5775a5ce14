// render end to end and its PNG and video writers, every picture decoded back with FFmpeg.
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/png_writer.h"
#include "app/video_writer.h"
#include "tests/app/run_binary.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

using test::RunResult;
using test::Slurp;

using Pixels = std::vector<uint8_t>;  // B, G, R rows

struct Decoded {
    int Width = 0, Height = 0;
    std::vector<Pixels> Frames;
    double LastSeconds = -1.0;  // the last frame's time stamp
};

// Every frame of a video (or of a PNG series "frame_%05d.png") as B, G, R rows; empty on failure.
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

// The sum of all channel values (or of one: 0 blue, 1 green, 2 red) of a box of an 800 x 600 frame.
int64_t Energy(const Pixels& bgr, int32_t x0 = 0, int32_t y0 = 0, int32_t x1 = 800,
               int32_t y1 = 600, size_t channel = 3) {
    int64_t sum = 0;
    for (int32_t y = y0; y < y1; ++y) {
        for (size_t i = (y * 800 + x0) * 3u; i < (y * 800 + x1) * 3u; ++i)
            sum += channel == 3 || i % 3 == channel ? bgr[i] : 0;
    }
    return sum;
}

// Each box of an 800 x 600 frame holds light, and together they hold all of it.
void ExpectLitOnlyIn(const Pixels& bgr, const std::vector<std::array<int32_t, 4>>& boxes) {
    ASSERT_EQ(bgr.size(), 800u * 600u * 3u);
    int64_t inside = 0;
    for (const auto& [x0, y0, x1, y1] : boxes) {
        const int64_t energy = Energy(bgr, x0, y0, x1, y1);
        EXPECT_GT(energy, 20000) << "box at " << x0 << "," << y0;
        inside += energy;
    }
    EXPECT_GE(inside, Energy(bgr) * 99 / 100) << "light outside the boxes";
}

// `particleplayer render` from the repository root into a fresh folder.
class Render : public ::testing::Test {
  protected:
    RunResult Run(std::vector<std::string> args, test::RunOptions options = {}) {
        args.insert(args.begin(), "render");
        if (options.WorkingDir == ".") options.WorkingDir = PP_SOURCE_DIR;
        return test::RunBinary(args, options);
    }
    std::string Out(const std::string& name) const { return (dir_.Path() / name).string(); }
    std::string Frame(const std::string& folder, int frame) const {
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%05d.png", frame);
        return Out(folder) + name;
    }

    testing::TempDir dir_;
};

// Without Data/ the scene draws black frames and succeeds, given effects draw around their
// places only, and --stress fails without its effect.
TEST_F(Render, WithoutDataTheSceneIsBlackAndGivenEffectsDrawInPlace) {
    test::RunOptions emptyFolder;
    emptyFolder.WorkingDir = dir_.Path().string();
    RunResult r = Run({"--frames", "2", "--out", "frames"}, emptyFolder);
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Err.find("8 of the scene's 8 data files cannot be read"), std::string::npos);
    const Decoded frames = DecodeVideo(Out("frames/frame_%05d.png"));
    ASSERT_EQ(frames.Frames.size(), 2u);
    for (const Pixels& frame : frames.Frames) EXPECT_EQ(Energy(frame), 0);
    const std::string given =
        dir_.Write("e.txt", "EmissionRate = 20, EmissionVelocity = 0, LifeTime = 10, Size = 40") +
        ":" + PP_SOURCE_DIR + "/Data/Sternchen.png@";
    r = Run({"--frames", "2", "--frame-ms", "80", given + "100,100", given + "600,450", "--out",
             "f.png"},
            emptyFolder);
    ASSERT_EQ(r.Status, 0) << r.Err;
    ExpectLitOnlyIn(DecodeVideo(Out("f.png")).Frames.at(0),
                    {{70, 70, 130, 130}, {570, 420, 630, 480}});
    r = Run({"--stress", "1000", "--out", "x.png"}, emptyFolder);
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("cannot read Data/bench/Stress.txt, the effect of --stress"),
              std::string::npos)
        << r.Err;
}

// 20000 asked: after the warm-up the quads drawn (beside the scene's few hundred) stay near it.
TEST_F(Render, StressKeepsAboutTheAskedNumberAlive) {
    const RunResult r = Run({"--stress", "20000", "--frames", "2", "--frame-ms", "100", "--seed",
                             "8", "--stats", "--out", Out("s.png")});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const std::string marker = "particleplayer render: 2 frames, ";
    const size_t at = r.Err.find(marker);
    ASSERT_NE(at, std::string::npos) << r.Err;
    const double drawn = std::strtod(r.Err.c_str() + at + marker.size(), nullptr);
    EXPECT_GT(drawn, 18000.0) << r.Err;
    EXPECT_LT(drawn, 23000.0) << r.Err;
    EXPECT_NE(r.Err.find("3000 ms of warm-up updates"), std::string::npos) << r.Err;
}

// B, G, R rows go out as an 8-bit RGB PNG; sizes that do not fit are refused.
TEST(PngWriter, EncodesBgrAsAnRgbPngThatDecodesBackOrRefusesWrongSizes) {
    testing::TempDir dir;
    const Pixels bgr = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 250, 0, 128, 255};
    const std::optional<std::vector<uint8_t>> png = EncodePngFromBgr(3, 2, bgr);
    ASSERT_TRUE(png && png->size() > 26);
    EXPECT_EQ((*png)[24] * 10 + (*png)[25], 82) << "bit depth 8, colour type 2 (RGB)";
    ASSERT_EQ(WriteFileAtomically(dir.Path() / "f.png", *png), std::nullopt);
    const Decoded image = DecodeVideo((dir.Path() / "f.png").string());
    ASSERT_EQ(image.Frames.size(), 1u);
    EXPECT_EQ(image.Width * 10 + image.Height, 32);
    EXPECT_EQ(image.Frames[0], bgr);
    for (const auto& [w, h, size] :
         {std::tuple{3, 2, 17}, {2, 2, 18}, {0, 2, 0}, {65536, 65536, 18}})
        EXPECT_FALSE(EncodePngFromBgr(w, h, std::span(bgr).first(size))) << w << " x " << h;
}

constexpr int kWidth = 160, kHeight = 120;

// Frame k: a background (a gradient, or 120 flat tiles for GIF) and a 40 x 40 square moving 20
// pixels a frame, so that neighbouring frames differ far more than any bound below.
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

// H.264 and VP9 lose about a level (a wrong frame is off by 10 or more), a GIF of few colours
// nothing. At 62.5 a second a GIF keeps the frames that start on its grid of hundredths.
TEST(VideoWriter, DecodesBackToTheFramesAtTheirTimesAndRepeatsItsBytes) {
    const struct {
        const char* Name;
        double MaxMeanError;
        FrameRate Rate;
        size_t Frames;
        double LastSeconds;
    } cases[] = {{"mp4", 2.0, {25, 2}, 5, 0.32},
                 {"webm", 2.0, {25, 2}, 5, 0.32},
                 {"gif", 0.0, {125, 2}, 4, 0.06}};
    testing::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const bool smooth = c.MaxMeanError > 0;
        std::string paths[2];
        for (std::string& path : paths) {
            path = dir.Path() / (std::to_string(&path - paths) + "." + c.Name);
            VideoWriter writer;
            ASSERT_EQ(writer.Open(path, kWidth, kHeight, c.Rate), std::nullopt);
            for (int k = 0; k < 5; ++k)
                ASSERT_EQ(writer.AddFrameBgr(Pattern(k, smooth)), std::nullopt);
            ASSERT_EQ(writer.Finish(), std::nullopt);
        }
        EXPECT_EQ(Slurp(paths[0]), Slurp(paths[1])) << "same frames, other bytes";
        const Decoded video = DecodeVideo(paths[0]);
        ASSERT_EQ(video.Frames.size(), c.Frames);
        EXPECT_EQ(video.Width * 1000 + video.Height, kWidth * 1000 + kHeight);
        EXPECT_NEAR(video.LastSeconds, c.LastSeconds, 0.001);
        for (size_t k = 0; k < video.Frames.size(); ++k) {
            EXPECT_LE(MeanAbsoluteDifference(video.Frames[k], Pattern(int(k), smooth)),
                      c.MaxMeanError)
                << "frame " << k;
        }
    }
}

// The scene as PNGs, again with --stats on two threads (no pixel changes), as one .png, as
// H.264 and as GIF: each video frame within a quarter level of its own PNG, nearer than to others.
TEST_F(Render, SameSeedGivesTheSameFramesInEveryFormatAnotherSeedAnotherPicture) {
    const std::vector<std::string> common = {"--seed", "5", "--frames", "8", "--frame-ms", "40"};
    const auto run = [&](const std::string& out, std::vector<std::string> more = {}) {
        std::vector<std::string> args = common;
        args.insert(args.end(), {"--out", Out(out)});
        args.insert(args.end(), more.begin(), more.end());
        return Run(args);
    };
    RunResult r = run("png");
    EXPECT_EQ(r.Err, "particleplayer render: wrote 8 frames into " + Out("png") + "\n");
    r = run("timed", {"--stats", "--threads", "2"});
    for (const char* row : {"  update ", "  whole frame ", "wall time, 2 threads"}) {
        EXPECT_NE(r.Err.find(row), std::string::npos) << row << " in\n" << r.Err;
    }
    r = run("sub/last.png");
    EXPECT_EQ(r.Err, "particleplayer render: wrote frame 8 to " + Out("sub/last.png") + "\n");
    ASSERT_EQ(run("other.png", {"--seed", "4"}).Status, 0);
    for (int frame = 1; frame <= 8; ++frame) {
        ASSERT_FALSE(Slurp(Frame("png", frame)).empty()) << frame;
        EXPECT_EQ(Slurp(Frame("png", frame)), Slurp(Frame("timed", frame))) << frame;
    }
    EXPECT_EQ(Slurp(Out("sub/last.png")), Slurp(Frame("png", 8)));
    EXPECT_NE(Slurp(Out("other.png")), Slurp(Frame("png", 8)));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Out("png")), {}), 8);

    const std::vector<Pixels> pngs = DecodeVideo(Out("png/frame_%05d.png")).Frames;
    ASSERT_EQ(pngs.size(), 8u);
    // Around Sternchen, Feuer, Energie and Luftblase; Energie's sprite is blue, Feuer's red.
    ExpectLitOnlyIn(
        pngs[7],
        {{20, 120, 180, 280}, {520, 380, 680, 560}, {110, 310, 290, 490}, {510, 180, 690, 330}});
    EXPECT_GT(Energy(pngs[7], 110, 310, 290, 490, 0), Energy(pngs[7], 110, 310, 290, 490, 2));
    EXPECT_GT(Energy(pngs[7], 520, 380, 680, 560, 2), 2 * Energy(pngs[7], 520, 380, 680, 560, 0));
    const struct {
        const char* Out;
        std::vector<std::string> Fps;
        double LastSeconds;
    } cases[] = {{"clip.mp4", {}, 7 * 0.04}, {"clip.GIF", {"--fps", "50"}, 7 * 0.02}};
    for (const auto& c : cases) {
        r = run(c.Out, c.Fps);
        ASSERT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(r.Err, "particleplayer render: wrote 8 frames to " + Out(c.Out) + "\n");
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

// Without the encoder (status 2) or its final name (status 1) render leaves no file.
TEST_F(Render, FailuresAreOneLineAndLeaveNoFile) {
    std::filesystem::create_directory(Out("taken.mp4"));
    test::RunOptions noEncoders;
    noEncoders.Env = {"LD_PRELOAD=" PP_NO_ENCODERS_SHIM, "ASAN_OPTIONS=verify_asan_link_order=0"};
    const struct {
        std::string Out;
        test::RunOptions Options;
        int Status;
        std::string Message;
    } cases[] = {
        {Out("c.webm"), noEncoders, 2, "has no VP9 encoder (libvpx-vp9) for"},
        {Out("taken.mp4"), {}, 1, "cannot rename"},
    };
    for (const auto& c : cases) {
        const test::RunResult r = Run({"--frames", "2", "--out", c.Out}, c.Options);
        EXPECT_EQ(r.Status, c.Status) << c.Out;
        ASSERT_EQ(test::Lines(r.Err).size(), 1u) << r.Err;
        EXPECT_NE(r.Err.find(c.Message), std::string::npos) << r.Err;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 1);
}

}  // namespace
}  // namespace pp
