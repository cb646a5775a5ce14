// render end to end, every picture decoded back with FFmpeg; the video writer's frame rates and GIF
// timing, and the GIF palette; the editor's preview against render's frames.
#include <epoxy/gl.h>
#include <gtest/gtest.h>

extern "C" {
#include <libswscale/swscale.h>
}

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "app/edit_preview.h"
#include "app/frame_palette.h"
#include "app/video_writer.h"
#include "particleplayer/screen.h"
#include "particleplayer/world.h"
#include "tests/app/decode_frames.h"
#include "tests/app/run_binary.h"
#include "tests/effects/temp_dir.h"
#include "tests/lib/host_window.h"

namespace pp {
namespace {

// Videos come from the module built beside the player, not from one beside this test.
[[maybe_unused]] const bool kVideoModuleChosen = (SetVideoModulePath(PP_VIDEO_MODULE), true);

using test::RunResult;
using test::Slurp;

using Pixels = std::vector<uint8_t>;  // B, G, R rows

struct Decoded {
    std::vector<Pixels> Frames;
    std::vector<double> Seconds;  // each frame's time stamp
};

// Every frame of a video (or of a PNG series "frame_%05d.png") as B, G, R rows; empty on failure.
Decoded DecodeVideo(const std::string& path) {
    Decoded out;
    test::DecodeFrames(path, [&](const AVFrame& frame, double seconds) {
        SwsContext* scale = sws_getContext(
            frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), frame.width,
            frame.height, AV_PIX_FMT_BGR24, SWS_FULL_CHR_H_INT | SWS_ACCURATE_RND | SWS_BITEXACT,
            nullptr, nullptr, nullptr);
        const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
        sws_setColorspaceDetails(scale, bt709, 0, bt709, 1, 0, 1 << 16, 1 << 16);
        Pixels& bgr = out.Frames.emplace_back(static_cast<size_t>(frame.width * frame.height * 3));
        uint8_t* planes[1] = {bgr.data()};
        const int strides[1] = {frame.width * 3};
        sws_scale(scale, frame.data, frame.linesize, 0, frame.height, planes, strides);
        sws_freeContext(scale);
        out.Seconds.push_back(seconds);
    });
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

    testing::TempDir dir_;
};

// Given effects draw around their places only (here without the scene's Data/); one given a
// velocity stands at start + velocity x seconds at each frame (frames 1 and 2: x 300, 500).
TEST_F(Render, GivenEffectsDrawInPlace) {
    const std::string given =
        dir_.Write("e.txt", "EmissionRate = 20, EmissionVelocity = 0, LifeTime = 10, Size = 40") +
        ":" + PP_SOURCE_DIR + "/Data/Sternchen.png@";
    Run({"--frames", "2", "--frame-ms", "80", given + "100,100", given + "600,450",
         given + "100,300+2500,0", "--out", "f.png"},
        {dir_.Path().string()});
    ExpectLitOnlyIn(
        DecodeVideo(Out("f.png")).Frames.at(0),
        {{70, 70, 130, 130}, {570, 420, 630, 480}, {270, 270, 330, 330}, {470, 270, 530, 330}});
}

// The scene as PNGs (also as one .png), as H.264, VP9 and GIF, the same bytes again on two
// threads with --stats: each video frame within a quarter level of its own PNG, nearer than to
// its neighbours; at 62.5 a second a GIF keeps the frames that start on its grid of hundredths.
TEST_F(Render, SameSeedGivesTheSameFramesInEveryFormatAnotherSeedAnotherPicture) {
    const auto run = [&](const std::string& out, const std::vector<std::string>& more = {}) {
        std::vector<std::string> args = {"--seed", "5", "--frames", "8", "--frame-ms", "40"};
        args.insert(args.end(), more.begin(), more.end());
        args.insert(args.end(), {"--out", Out(out)});
        return Run(args);
    };
    EXPECT_EQ(run("png").Err, "particleplayer render: wrote 8 frames into " + Out("png") + "\n");
    EXPECT_EQ(run("sub/last.png").Err,
              "particleplayer render: wrote frame 8 to " + Out("sub/last.png") + "\n");
    ASSERT_EQ(run("other.png", {"--seed", "4"}).Status, 0);
    const std::string last = Slurp(Out("png/frame_00008.png"));
    EXPECT_TRUE(Slurp(Out("sub/last.png")) == last && Slurp(Out("other.png")) != last);
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
        std::vector<size_t> Frames;  // the PNGs the video shows
    } cases[] = {{"clip.mp4", {}, 7 * 0.04, {0, 1, 2, 3, 4, 5, 6, 7}},
                 {"clip.webm", {}, 7 * 0.04, {0, 1, 2, 3, 4, 5, 6, 7}},
                 {"clip.GIF", {"--fps", "62.5"}, 0.12, {0, 1, 2, 3, 5, 6, 7}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Out);
        RunResult r = run(c.Out, c.Fps);
        EXPECT_EQ(r.Err, "particleplayer render: wrote 8 frames to " + Out(c.Out) + "\n");
        const Decoded video = DecodeVideo(Out(c.Out));
        ASSERT_EQ(video.Frames.size(), c.Frames.size());
        EXPECT_NEAR(video.Seconds.back(), c.LastSeconds, 0.006);
        for (size_t k = 0; k < c.Frames.size(); ++k) {
            const size_t png = c.Frames[k];
            const double own = MeanAbsoluteDifference(video.Frames[k], pngs[png]);
            EXPECT_LE(own, 0.25) << "frame " << k;
            for (const size_t other : {png - 1, png + 1}) {
                if (other < pngs.size()) {
                    EXPECT_LT(own, MeanAbsoluteDifference(video.Frames[k], pngs[other])) << k;
                }
            }
        }
        std::vector<std::string> timed = c.Fps;
        timed.insert(timed.end(), {"--stats", "--threads", "2"});
        r = run(std::string("again") + c.Out, timed);
        EXPECT_NE(r.Err.find("wall time, 2 threads"), std::string::npos) << r.Err;
        EXPECT_TRUE(Slurp(Out(std::string("again") + c.Out)) == Slurp(Out(c.Out)));
    }
}

// The X and Y of every particle of simulate's one JSON line, in its order.
std::vector<std::array<float, 2>> SimulatedPlaces(const std::string& line) {
    std::vector<std::array<float, 2>> places;
    const std::regex particle(R"(\[(-?\d+), ([^,\]]+), ([^,\]]+), ([^,\]]+),)");
    for (auto it = std::sregex_iterator(line.begin(), line.end(), particle);
         it != std::sregex_iterator(); ++it) {
        places.push_back({std::strtof((*it)[3].str().c_str(), nullptr),
                          std::strtof((*it)[4].str().c_str(), nullptr)});
    }
    return places;
}

// Render's frame in `png` as R, G, B rows, as the library's screen reads its pixels.
Pixels RgbOf(const std::string& png) {
    Pixels bgr = DecodeVideo(png).Frames.at(0);
    for (size_t i = 0; i + 2 < bgr.size(); i += 3) std::swap(bgr[i], bgr[i + 2]);
    return bgr;
}

// A prewarmed fire on its first frame: render draws as many particles as simulate lists, a
// host's World holds them at simulate's places, and that World drawn by the library's screen
// gives render's picture. Every particle of the prewarm takes the sprite the load was given,
// so none is left undrawn.
TEST_F(Render, PrewarmedEffectDrawsWhatSimulateAndAWorldHold) {
    const std::string effect = "examples/effects/Fire.txt";
    const std::string sprite = "examples/effects/Fire.png";
    const RunResult drawn = Run({"--seed", "1", "--frames", "1", "--stats", "--threads", "1",
                                 "--out", Out("fire.png"), effect + ":" + sprite + "@400,300"});
    const RunResult simulated = test::RunBinary(
        {"simulate", effect, "--at", "400,300", "--seed", "1", "--frames", "1"}, {PP_SOURCE_DIR});
    ASSERT_TRUE(drawn.Status == 0 && simulated.Status == 0) << drawn.Err << simulated.Err;
    const std::vector<std::array<float, 2>> places = SimulatedPlaces(simulated.Out);
    ASSERT_GT(places.size(), 100u) << "two seconds of prewarm at 120 a second";
    std::smatch count;
    ASSERT_TRUE(std::regex_search(drawn.Err, count, std::regex(R"((\d+) particles drawn)")));
    EXPECT_EQ(std::stoul(count[1].str()), places.size());

    testing::InFolder root(PP_SOURCE_DIR);
    particleplayer::WorldOptions options;
    options.Seed = 1;
    particleplayer::World world(options);
    particleplayer::LoadOptions load;
    load.Sprite = particleplayer::IntValueRange{1, particleplayer::kSameAsMin, 1};
    const auto fire = world.LoadEffectFile(effect, 400.0f, 300.0f, load);
    ASSERT_TRUE(fire.Ok() && world.SetTime(1016).Ok());
    ASSERT_TRUE(particleplayer::OpenScreen({"", 800, 600, true}).Ok());
    ASSERT_TRUE(particleplayer::LoadSprite(1, sprite).Ok());
    ASSERT_TRUE(particleplayer::DrawFrame(world).Ok());
    std::vector<uint8_t> rgb, screenOrder;
    ASSERT_TRUE(particleplayer::ReadPixels(rgb).Ok() &&
                particleplayer::ReadPixels(screenOrder, particleplayer::PixelOrder::Bgr).Ok());
    const particleplayer::PixelSize size = particleplayer::ScreenSize();
    EXPECT_TRUE(size.Width == 800 && size.Height == 600);
    particleplayer::CloseScreen();
    EXPECT_EQ(particleplayer::ScreenSize().Width, 0);
    std::vector<particleplayer::Particle> held;
    ASSERT_TRUE(world.Particles(fire.Value, held).Ok());
    ASSERT_EQ(held.size(), places.size());
    for (size_t i = 0; i < held.size(); ++i) {
        EXPECT_TRUE(held[i].X == places[i][0] && held[i].Y == places[i][1] && held[i].Sprite == 1)
            << "particle " << i;
    }
    EXPECT_TRUE(DecodeVideo(Out("fire.png")).Frames.at(0) == screenOrder) << "not in B, G, R";
    EXPECT_TRUE(RgbOf(Out("fire.png")) == rgb) << "render's frame is not the World's";
}

// An effect folder elsewhere: an effect argument that names SpriteFile draws with its own image,
// its started effect is opened beside it and draws with its own, and both images are loaded
// by the library's screen itself, so a World loaded with that folder and drawn there gives
// render's frames.
TEST_F(Render, EffectWithItsOwnSpriteOpensItsFolder) {
    std::filesystem::create_directories(dir_.Path() / "art");
    std::filesystem::copy_file(PP_SOURCE_DIR "/Data/Feuer.png", dir_.Path() / "art/fire.png");
    std::filesystem::copy_file(PP_SOURCE_DIR "/Data/Energie.png", dir_.Path() / "art/spark.png");
    dir_.Write("art/fw.txt",
               "SpriteFile = fire.png,\nEmissionRate = 40,\nLifeTime = 0.2,\nSize = 24,\n"
               "OnDeath = {Effect = burst.txt, Count = 5}");
    dir_.Write("art/burst.txt", "SpriteFile = spark.png,\nLifeTime = 1,\nSize = 12");
    const RunResult drawn = Run(
        {"--seed", "2", "--frames", "30", "--threads", "1", "--out", "f.png", "art/fw.txt@400,300"},
        {dir_.Path().string()});
    ASSERT_EQ(drawn.Status, 0) << drawn.Err;
    EXPECT_EQ(drawn.Err.find("no sprite"), std::string::npos) << drawn.Err;

    testing::InFolder in(dir_.Path());
    particleplayer::WorldOptions options;
    options.Seed = 2;
    particleplayer::World world(options);
    particleplayer::LoadOptions load;
    load.Folder = "art";
    load.SpriteUnlessFile = particleplayer::IntValueRange{1, particleplayer::kSameAsMin, 1};
    const auto fire = world.LoadEffectFile("fw.txt", 400.0f, 300.0f, load);
    ASSERT_TRUE(fire.Ok() && world.SpriteFiles().size() == 2u);
    ASSERT_TRUE(particleplayer::OpenScreen({"", 800, 600, true}).Ok());
    for (uint32_t k = 1; k <= 30; ++k)
        ASSERT_TRUE(world.SetTime(1000 + 16 * k).Ok() && particleplayer::DrawFrame(world).Ok());
    Pixels rgb;
    ASSERT_TRUE(particleplayer::ReadPixels(rgb).Ok());
    particleplayer::CloseScreen();
    EXPECT_GT(world.ParticleCount(), world.ParticleCount(fire.Value).Value) << "no burst";
    const Pixels rendered = RgbOf(Out("f.png"));
    // Energie's sprite is blue, Feuer's red: both images show.
    EXPECT_TRUE(Energy(rendered, 300, 200, 500, 400, 0) > 20000 &&
                Energy(rendered, 300, 200, 500, 400, 2) > 20000);
    EXPECT_TRUE(rendered == rgb) << "render's frame is not the World's";
    // The editor's preview opens an extra effect inside its folder as play does.
    EditPreview preview;
    preview.Effects = {PlayEffect{}, PlayEffect{"art/fw.txt", "", 400, 300, false, "art"}};
    preview.Restart("");
    const std::vector<particleplayer::SpriteFile> opened = preview.GetWorld().SpriteFiles();
    ASSERT_EQ(opened.size(), 2u) << "the preview opened another file";
    EXPECT_TRUE(opened[0].Path == world.SpriteFiles()[0].Path &&
                opened[1].Path == world.SpriteFiles()[1].Path);
}

// Rates as decimals: the limits 0.001 and 1000 with their neighbours, three digits after the
// point at most, nothing but digits and one point.
TEST(VideoWriter, FrameRatesAreDecimalsFromAThousandthToAThousand) {
    const std::tuple<const char*, int32_t, int32_t> rows[] = {
        {"1000", 1000, 1},  {"1000.000", 1000, 1}, {"1000.001", 0, 0}, {"999.999", 999999, 1000},
        {"0.001", 1, 1000}, {"0.0005", 0, 0},      {"0", 0, 0},        {"23.976", 2997, 125},
        {"62.5", 125, 2},   {".5", 1, 2},          {"30.", 30, 1},     {"", 0, 0},
        {"-1", 0, 0},       {"1e3", 0, 0},         {"1.2.3", 0, 0},    {" 30", 0, 0}};
    for (const auto& [text, num, den] : rows) {
        const std::optional<FrameRate> rate = ParseFrameRate(text);
        EXPECT_EQ(rate ? std::pair(rate->Num, rate->Den) : std::pair(0, 0), std::pair(num, den))
            << text;
    }
}

// Each frame's start in a GIF written at each rate, against the documented rule worked out here:
// up to 50 frames a second frame k starts at k * 100 / rate hundredths, rounded; faster, at the
// first even hundredth from then on, and a frame that ends before that point is left out.
TEST_F(Render, GifFramesStartOnWholeHundredthsAtEveryRate) {
    constexpr int kFrames = 48;
    for (const char* text : {"1000", "100", "62.5", "50", "30", "25", "0.5"}) {
        SCOPED_TRACE(text);
        const std::optional<FrameRate> rate = ParseFrameRate(text);
        ASSERT_TRUE(rate.has_value());
        const double fps = static_cast<double>(rate->Num) / rate->Den;
        std::vector<double> expected;
        for (int k = 0; k < kFrames; ++k) {
            const double at = k * 100.0 / fps, next = (k + 1) * 100.0 / fps;
            const double grid = 2.0 * std::ceil(at / 2.0);
            if (fps <= 50.0) expected.push_back(std::round(at));
            if (fps > 50.0 && grid < next) expected.push_back(grid);
        }
        VideoWriter writer;
        const std::string path = Out(std::string(text) + ".gif");
        ASSERT_FALSE(writer.Open(path, 2, 2, *rate).has_value());
        for (int k = 0; k < kFrames; ++k) {
            const auto b = static_cast<uint8_t>(5 * k);
            const Pixels frame = {b, 0, 255, b, 0, 255, b, 0, 255, b, 0, 255};
            ASSERT_FALSE(writer.AddFrameBgr(frame).has_value()) << k;
        }
        ASSERT_FALSE(writer.Finish().has_value());
        std::vector<double> starts;
        for (const double seconds : DecodeVideo(path).Seconds)
            starts.push_back(std::round(seconds * 100.0));
        EXPECT_EQ(starts, expected);
    }
}

// Pixels as B, G, R: up to 256 colours kept exactly, in increasing order; beyond, groups drawn as
// their pixels' mean, rounded (here all 512 colours share one group, 3.5 rounding to 4 and so on).
TEST(FramePalette, FewColoursStayExactAndManyBecomeTheirRoundedMean) {
    Pixels exact;
    for (int i = 255; i >= 0; --i) exact.insert(exact.end(), {uint8_t(i), 7, uint8_t(255 - i)});
    exact.push_back(9);  // a partial triple is ignored
    const PalettedFrame few = PaletteFromBgr(exact);
    ASSERT_EQ(std::pair(few.Palette.size(), few.Indices.size()),
              std::pair(size_t{256}, size_t{256}));
    for (size_t p = 0; p < 256; ++p) {
        const uint32_t colour =
            0xFF000000u | uint32_t{exact[3 * p + 2]} << 16 | 7u << 8 | exact[3 * p];
        EXPECT_EQ(few.Palette[few.Indices[p]], colour) << p;
        EXPECT_EQ(few.Palette[p], 0xFF000700u | uint32_t(p) << 16 | uint32_t(255 - p)) << p;
    }
    Pixels many;
    for (uint8_t r = 0; r < 8; ++r) {
        for (uint8_t g = 8; g < 16; ++g) {
            for (uint8_t b = 16; b < 24; ++b) many.insert(many.end(), {b, g, r});
        }
    }
    const PalettedFrame one = PaletteFromBgr(many);
    EXPECT_EQ(one.Palette, std::vector<uint32_t>{0xFF040C14u});
    EXPECT_EQ(one.Indices, std::vector<uint8_t>(512, 0));
}

// Beyond 256 colours every pixel takes the palette entry nearest to its cell's mean (32 levels a
// channel, the mean rounded), the lower index where two are as near: checked against every
// entry for each pixel of a noisy frame whose cells include such ties.
TEST(FramePalette, ManyColoursTakeTheNearestEntryTheLowerOneOnATie) {
    std::minstd_rand random(11);
    Pixels bgr(3 * 6000);
    for (uint8_t& byte : bgr) byte = static_cast<uint8_t>(random() % 96 * 2);
    const PalettedFrame frame = PaletteFromBgr(bgr);
    ASSERT_EQ(frame.Palette.size(), 256u);
    std::map<int, std::array<int64_t, 4>> cells;  // key: sums of B, G, R and the count
    const auto keyOf = [&](size_t p) {
        return bgr[3 * p] >> 3 | (bgr[3 * p + 1] >> 3) << 5 | (bgr[3 * p + 2] >> 3) << 10;
    };
    for (size_t p = 0; p < bgr.size() / 3; ++p) {
        std::array<int64_t, 4>& cell = cells[keyOf(p)];
        for (int c = 0; c < 3; ++c) cell[c] += bgr[3 * p + c];
        ++cell[3];
    }
    int ties = 0;
    for (size_t p = 0; p < bgr.size() / 3; ++p) {
        const std::array<int64_t, 4>& cell = cells[keyOf(p)];
        std::vector<int64_t> distances;
        for (const uint32_t entry : frame.Palette) {
            int64_t distance = 0;
            for (int c = 0; c < 3; ++c) {
                const int64_t mean = (cell[c] + cell[3] / 2) / cell[3];
                const int64_t d = mean - (entry >> (8 * c) & 0xFF);
                distance += d * d;
            }
            distances.push_back(distance);
        }
        const auto nearest = std::min_element(distances.begin(), distances.end());
        ties += std::count(distances.begin(), distances.end(), *nearest) > 1;
        ASSERT_EQ(frame.Indices[p], nearest - distances.begin()) << p;
    }
    EXPECT_GT(ties, 0) << "no pixel with two nearest entries: choose another frame";
}

// The editor's preview steps on render's clock: its frame N, drawn by the library's renderer as
// the editor draws it, is render's frame N of the same file and seed pixel for pixel, whether
// stepped to or scrubbed back to from the frame after; another seed gives another picture.
TEST_F(Render, TheEditorsPreviewDrawsRendersFramesExactly) {
    constexpr int kFrame = 24;
    const std::string effect = "Data/Feuer.txt:Data/Feuer.png@400,300";
    std::vector<Pixels> rendered;
    for (const char* seed : {"3", "4"}) {
        const std::string out = Out(std::string(seed) + ".png");
        ASSERT_EQ(
            Run({"--seed", seed, "--frames", std::to_string(kFrame), effect, "--out", out}).Status,
            0);
        rendered.push_back(DecodeVideo(out).Frames.at(0));
    }
    ASSERT_NE(rendered[0], rendered[1]);
    ASSERT_GT(Energy(rendered[0]), 100000);

    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    const testing::HostWindow window(800, 600);
    ASSERT_NE(window.Context, nullptr);
    const testing::InFolder here(PP_SOURCE_DIR);
    particleplayer::Result<particleplayer::Renderer> renderer = particleplayer::Renderer::Create();
    ASSERT_TRUE(renderer.Ok()) << renderer.Error;
    EditPreview preview;
    preview.Effects = {PlayEffect{"Data/Feuer.txt", "Data/Feuer.png", 400, 300, true, ""}};
    preview.Renderer = &renderer.Value;
    const std::string bytes = Slurp("Data/Feuer.txt");
    const auto drawn = [&] {
        preview.Draw(renderer.Value, std::array<float, 3>{0.0f, 0.0f, 0.0f});
        Pixels up(800u * 600u * 3u), bgr;  // GL's rows bottom-up, then render's order
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, 800, 600, GL_BGR, GL_UNSIGNED_BYTE, up.data());
        for (size_t y = 600; y-- > 0;) bgr.insert(bgr.end(), &up[y * 2400], &up[y * 2400] + 2400);
        return bgr;
    };
    for (const uint32_t seed : {3u, 4u}) {
        SCOPED_TRACE(seed);
        preview.Seed = seed;
        preview.Restart(bytes);
        for (int frame = 0; frame < kFrame; ++frame) preview.StepFrame();
        EXPECT_TRUE(drawn() == rendered[seed - 3]);
        preview.ScrubTo(kFrame + 1);
        preview.ScrubTo(kFrame);
        EXPECT_EQ(preview.Frame(), kFrame);
        EXPECT_TRUE(drawn() == rendered[seed - 3]);
    }
    renderer.Value.Close();
}

}  // namespace
}  // namespace pp
