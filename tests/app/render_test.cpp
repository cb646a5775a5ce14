// render end to end: repeatable files, the picture of the scene and of given effects, runs
// across the clock's wrap, without data, --stats and --stress; and the PNG writer beneath.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/png_writer.h"
#include "image/image_decoders.h"
#include "tests/app/render_run.h"

namespace pp {
namespace {

using test::Lines;
using test::RunResult;
using test::Slurp;

// A written frame decoded by our own PNG decoder into B, G, R rows (nullopt when it cannot).
std::optional<DecodedImage> Decode(const std::string& bytes) {
    return DecodeImageWith(
        PngDecoder(), std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
}

// The sum of all channel values in [x0, x1) x [y0, y1), clipped to the picture.
int64_t Energy(const DecodedImage& image, int32_t x0 = 0, int32_t y0 = 0, int32_t x1 = 800,
               int32_t y1 = 600) {
    int64_t sum = 0;
    for (int32_t y = std::max(y0, 0); y < std::min(y1, image.Height); ++y) {
        for (int32_t x = std::max(x0, 0); x < std::min(x1, image.Width); ++x) {
            const size_t i = static_cast<size_t>(y) * image.Pitch + static_cast<size_t>(x) * 3;
            sum += image.Pixels[i] + image.Pixels[i + 1] + image.Pixels[i + 2];
        }
    }
    return sum;
}

using RenderCommand = test::RenderRun;

// The same seed gives the same bytes, with --stats too (timing changes no pixel), and a .png
// path gets the last of those frames; another seed gives another picture.
TEST_F(RenderCommand, SameSeedGivesIdenticalFilesAnotherSeedAnotherPicture) {
    RunResult r = Render({"--frames", "3", "--seed", "11", "--out", Out("a")});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Err, "particleplayer render: wrote 3 frames into " + Out("a") + "\n");
    r = Render({"--frames", "3", "--seed", "11", "--stats", "--out", Out("b")});
    ASSERT_EQ(r.Status, 0) << r.Err;
    for (const char* row : {"  update ", "  draw submission ", "  GL draw calls ", "  present ",
                            "  read back, PNG ", "  whole frame ",
                            "particleplayer render: 3 "
                            "frames,",
                            "start-up: first frame shown "}) {
        EXPECT_NE(r.Err.find(row), std::string::npos) << row << " in\n" << r.Err;
    }
    r = Render({"--frames", "3", "--seed", "11", "--out", Out("sub/last.png")});
    EXPECT_EQ(r.Err, "particleplayer render: wrote frame 3 to " + Out("sub/last.png") + "\n");
    ASSERT_EQ(Render({"--frames", "3", "--seed", "12", "--out", Out("c")}).Status, 0);
    for (int frame = 1; frame <= 3; ++frame) {
        ASSERT_FALSE(Frame("a", frame).empty()) << frame;
        EXPECT_EQ(Frame("a", frame), Frame("b", frame)) << frame;
    }
    EXPECT_EQ(Slurp(Out("sub/last.png")), Frame("a", 3));
    EXPECT_NE(Frame("a", 3), Frame("c", 3));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Out("a")), {}), 3)
        << "exactly the frames, no temporary files";
}

// The engine compares clock readings only by their difference, so a run that crosses the
// clock's wrap at 2^31 or 2^32 ms draws exactly the picture of a run at the usual start.
TEST_F(RenderCommand, RunsAcrossTheClocksWrapDrawTheSamePicture) {
    ASSERT_EQ(Render({"--frames", "40", "--seed", "21", "--out", Out("base.png")}).Status, 0);
    for (const char* start : {"2147483000", "4294967000"}) {
        const std::string wrapped = Out(std::string(start) + ".png");
        const RunResult r =
            Render({"--frames", "40", "--seed", "21", "--clock-start", start, "--out", wrapped});
        ASSERT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(Slurp(wrapped), Slurp(Out("base.png"))) << "clock start " << start;
    }
}

// At 320 ms every effect of the scene has particles on screen around its own position and the
// rest stays black; given effects are drawn in place of the scene, each around its position.
TEST_F(RenderCommand, EffectsAreDrawnAroundTheirPositionsAndNowhereElse) {
    const std::string effect =
        dir_.Write("e.txt", "EmissionRate = 20, EmissionVelocity = 0, LifeTime = 10, Size = 40");
    const std::string sprite = std::string(PP_SOURCE_DIR) + "/Data/Sternchen.png";
    const struct {
        std::vector<std::string> Args;
        std::vector<std::array<int32_t, 4>> Boxes;  // fire and bubbles rise: taller boxes
    } cases[] = {
        {{"--frames", "20", "--frame-ms", "16", "--seed", "5"},
         {{20, 120, 180, 280}, {520, 380, 680, 560}, {110, 310, 290, 490}, {510, 180, 690, 330}}},
        {{"--frames", "10", "--seed", "3", effect + ":" + sprite + "@100,100",
          effect + ":" + sprite + "@600,450"},
         {{70, 70, 130, 130}, {570, 420, 630, 480}}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.Args;
        args.insert(args.end(), {"--out", Out("f.png")});
        const RunResult r = Render(args);
        ASSERT_EQ(r.Status, 0) << r.Err;
        const std::optional<DecodedImage> image = Decode(Slurp(Out("f.png")));
        ASSERT_TRUE(image);
        ASSERT_EQ(image->Width * 1000 + image->Height, 800600);
        int64_t inside = 0;
        for (const auto& [x0, y0, x1, y1] : c.Boxes) {
            const int64_t energy = Energy(*image, x0, y0, x1, y1);
            EXPECT_GT(energy, 20000) << "box at " << x0 << "," << y0;
            inside += energy;
        }
        EXPECT_GE(inside, Energy(*image) * 99 / 100) << "light outside the effects' boxes";
    }
}

TEST_F(RenderCommand, WithoutDataRendersBlackFramesAndSucceeds) {
    test::RunOptions emptyFolder;
    emptyFolder.WorkingDir = dir_.Path();
    const RunResult r = Render({"--frames", "2", "--out", "frames"}, emptyFolder);
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Err.find("8 of the scene's 8 data files cannot be read"), std::string::npos);
    for (int frame = 1; frame <= 2; ++frame) {
        const std::optional<DecodedImage> image = Decode(Frame("frames", frame));
        ASSERT_TRUE(image) << frame;
        EXPECT_EQ(Energy(*image), 0) << frame;
    }
    const RunResult stress = Render({"--stress", "1000", "--out", "x.png"}, emptyFolder);
    EXPECT_EQ(stress.Status, 1);
    EXPECT_NE(stress.Err.find("cannot read Data/bench/Stress.txt, the effect of --stress"),
              std::string::npos)
        << stress.Err;
}

// 20000 asked: ten emitters of 1000 particles a second living 1 to 3 seconds. After the
// warm-up the live count (the quads drawn, beside the scene's few hundred) stays near it.
TEST_F(RenderCommand, StressKeepsAboutTheAskedNumberAlive) {
    const RunResult r = Render(
        {"--stress", "20000", "--frames", "5", "--seed", "8", "--stats", "--out", Out("s.png")});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const std::string marker = "particleplayer render: 5 frames, ";
    const size_t at = r.Err.find(marker);
    ASSERT_NE(at, std::string::npos) << r.Err;
    const double drawn = std::strtod(r.Err.c_str() + at + marker.size(), nullptr);
    EXPECT_GT(drawn, 18000.0) << r.Err;
    EXPECT_LT(drawn, 23000.0) << r.Err;
    EXPECT_NE(r.Err.find("3000 ms of warm-up updates"), std::string::npos) << r.Err;
}

TEST(PngWriter, EncodesBgrAsRgbPngThatDecodesBackAndRefusesWrongSizes) {
    // 3 x 2 pixels, B, G, R each, with every channel distinct.
    const std::vector<uint8_t> bgr = {1,  2,  3,  4,  5,  6,   7, 8,   9,
                                      10, 11, 12, 13, 14, 250, 0, 128, 255};
    const std::optional<std::vector<uint8_t>> png = EncodePngFromBgr(3, 2, bgr);
    ASSERT_TRUE(png);
    ASSERT_GT(png->size(), 26u);
    EXPECT_EQ((*png)[24] * 10 + (*png)[25], 82) << "bit depth 8, colour type 2 (RGB)";
    const std::optional<DecodedImage> image = Decode(std::string(png->begin(), png->end()));
    ASSERT_TRUE(image);
    ASSERT_EQ(image->Width * 10 + image->Height, 32);
    for (size_t y = 0; y < 2; ++y) {  // decoded rows are padded to 12 bytes
        EXPECT_TRUE(std::equal(bgr.begin() + y * 9, bgr.begin() + y * 9 + 9,
                               image->Pixels.begin() + y * image->Pitch))
            << "row " << y;
    }
    EXPECT_FALSE(EncodePngFromBgr(3, 2, std::span(bgr).first(17)));
    EXPECT_FALSE(EncodePngFromBgr(2, 2, bgr));
    EXPECT_FALSE(EncodePngFromBgr(0, 2, {}));
    EXPECT_FALSE(EncodePngFromBgr(-3, -2, bgr));
    EXPECT_FALSE(EncodePngFromBgr(65536, 65536, bgr));
}

TEST(PngWriter, WritesAtomicallyOrNamesThePath) {
    testing::TempDir dir;
    const std::string path = dir.Write("f.png", "old contents");
    EXPECT_EQ(WriteFileAtomically(path, std::vector<uint8_t>{0x89, 'P', 0}), std::nullopt);
    EXPECT_EQ(Slurp(path), std::string("\x89P\0", 3));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
    const std::string missing = (dir.Path() / "missing" / "f.png").string();
    const std::optional<std::string> error = WriteFileAtomically(missing, std::vector<uint8_t>{1});
    ASSERT_TRUE(error);
    EXPECT_NE(error->find(missing), std::string::npos) << *error;
    EXPECT_NE(error->find("No such file"), std::string::npos) << *error;
}

}  // namespace
}  // namespace pp
