// particleplayer render end to end: the files it writes, their repeatability, the picture of
// the scene, and a run without the data files.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "image/image_decoders.h"
#include "tests/app/render_run.h"

namespace pp {
namespace {

using test::FrameName;
using test::Lines;
using test::RunOptions;
using test::RunResult;
using test::Slurp;

// A written frame, decoded by our own PNG decoder into B, G, R rows.
struct Picture {
    DecodedImage Image;

    // The sum of all channel values in [x0, x1) x [y0, y1), clipped to the picture.
    int64_t Energy(int32_t x0, int32_t y0, int32_t x1, int32_t y1) const {
        int64_t sum = 0;
        for (int32_t y = std::max(y0, 0); y < std::min(y1, Image.Height); ++y) {
            for (int32_t x = std::max(x0, 0); x < std::min(x1, Image.Width); ++x) {
                const size_t i = static_cast<size_t>(y) * Image.Pitch + static_cast<size_t>(x) * 3;
                sum += Image.Pixels[i] + Image.Pixels[i + 1] + Image.Pixels[i + 2];
            }
        }
        return sum;
    }
    int64_t Energy() const { return Energy(0, 0, Image.Width, Image.Height); }
};

std::optional<Picture> ReadPicture(const std::filesystem::path& path) {
    const std::string bytes = Slurp(path);
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    std::optional<DecodedImage> image =
        DecodeImageWith(PngDecoder(), std::span<const uint8_t>(data, bytes.size()), 0);
    if (!image) return std::nullopt;
    return Picture{std::move(*image)};
}

using RenderCommand = test::RenderRun;

TEST_F(RenderCommand, SameSeedGivesIdenticalFilesAnotherSeedAnotherPicture) {
    for (const char* folder : {"a", "b"}) {
        const RunResult r = Render({"--frames", "3", "--seed", "11", "--out", Out(folder)});
        ASSERT_EQ(r.Status, 0) << r.Err;
    }
    ASSERT_EQ(Render({"--frames", "3", "--seed", "12", "--out", Out("c")}).Status, 0);
    for (int frame = 1; frame <= 3; ++frame) {
        const std::string a = Slurp(dir_.Path() / "a" / FrameName(frame));
        ASSERT_FALSE(a.empty()) << FrameName(frame);
        EXPECT_EQ(a, Slurp(dir_.Path() / "b" / FrameName(frame))) << FrameName(frame);
    }
    EXPECT_NE(Slurp(dir_.Path() / "a" / FrameName(3)), Slurp(dir_.Path() / "c" / FrameName(3)));
    // Exactly the frames, no temporary files left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path() / "a"),
                            std::filesystem::directory_iterator()),
              3);
}

// The engine only ever compares clock readings by their difference, so a run that crosses
// the clock's wrap at 2^31 or 2^32 ms draws exactly the picture of a run at the usual start.
TEST_F(RenderCommand, RunsAcrossTheClocksWrapDrawTheSamePicture) {
    const std::string base = Out("base.png");
    RunResult r = Render({"--frames", "40", "--seed", "21", "--out", base});
    ASSERT_EQ(r.Status, 0) << r.Err;
    for (const char* start : {"2147483000", "4294967000"}) {
        const std::string wrapped = Out(std::string("wrap_") + start + ".png");
        r = Render({"--frames", "40", "--seed", "21", "--clock-start", start, "--out", wrapped});
        ASSERT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(Slurp(wrapped), Slurp(base)) << "clock start " << start;
    }
    r = Render({"--clock-start", "4294967296", "--out", Out("x.png")});
    EXPECT_EQ(r.Status, 2);
}

TEST_F(RenderCommand, PngPathGetsOnlyTheLastFrameAsRgb800x600) {
    RunResult all = Render({"--frames", "4", "--seed", "2", "--out", Out("all")});
    ASSERT_EQ(all.Status, 0) << all.Err;
    EXPECT_EQ(Lines(all.Err),
              std::vector<std::string>{"particleplayer render: wrote 4 frames into " + Out("all")});
    all = Render({"--frames", "1", "--out", Out("one")});
    EXPECT_EQ(Lines(all.Err),
              std::vector<std::string>{"particleplayer render: wrote 1 frame into " + Out("one")});
    const RunResult r = Render({"--frames", "4", "--seed", "2", "--out", Out("sub/last.png")});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(Lines(r.Err), std::vector<std::string>{"particleplayer render: wrote frame 4 to " +
                                                     Out("sub/last.png")});
    const std::string last = Slurp(Out("sub/last.png"));
    EXPECT_EQ(last, Slurp(dir_.Path() / "all" / FrameName(4)));
    // IHDR: width and height big-endian, then bit depth 8 and colour type 2 (RGB).
    ASSERT_GT(last.size(), 26u);
    const std::string header = last.substr(16, 10);
    EXPECT_EQ(header, std::string("\0\0\x03\x20\0\0\x02\x58\x08\x02", 10));
}

// At 320 ms every effect has particles on screen, each around its own position, and the rest
// of the screen stays black.
TEST_F(RenderCommand, SceneShowsEachEffectNearItsPosition) {
    const RunResult r =
        Render({"--frames", "20", "--frame-ms", "16", "--seed", "5", "--out", Out("f.png")});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const std::optional<Picture> picture = ReadPicture(Out("f.png"));
    ASSERT_TRUE(picture);
    ASSERT_EQ(picture->Image.Width, 800);
    ASSERT_EQ(picture->Image.Height, 600);

    struct Box {
        const char* Effect;
        int32_t X0, Y0, X1, Y1;
    };
    // Around each position; fire and bubbles rise, so their boxes reach further up.
    const std::array<Box, 4> boxes = {{{"Sternchen", 20, 120, 180, 280},
                                       {"Feuer", 520, 380, 680, 560},
                                       {"Energie", 110, 310, 290, 490},
                                       {"Luftblase", 510, 180, 690, 330}}};
    int64_t inside = 0;
    for (const Box& box : boxes) {
        const int64_t energy = picture->Energy(box.X0, box.Y0, box.X1, box.Y1);
        RecordProperty(box.Effect, std::to_string(energy));
        EXPECT_GT(energy, 20000) << box.Effect;
        inside += energy;
    }
    EXPECT_GE(inside, picture->Energy() * 99 / 100) << "light outside the effects' boxes";
}

TEST_F(RenderCommand, WithoutDataRendersBlackFramesAndSucceeds) {
    RunOptions emptyFolder;
    emptyFolder.WorkingDir = dir_.Path();
    const RunResult r = Render({"--frames", "4", "--out", "frames"}, emptyFolder);
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Err.find("8 of the scene's 8 data files cannot be read"), std::string::npos)
        << r.Err;
    for (int frame = 1; frame <= 4; ++frame) {
        const std::optional<Picture> picture =
            ReadPicture(dir_.Path() / "frames" / FrameName(frame));
        ASSERT_TRUE(picture) << FrameName(frame);
        EXPECT_EQ(picture->Image.Width, 800);
        EXPECT_EQ(picture->Energy(), 0) << FrameName(frame);
    }
}

// Effects given as play takes them are drawn in place of the scene, each around its position.
TEST_F(RenderCommand, GivenEffectsAreDrawnInPlaceOfTheScene) {
    const std::string effect =
        dir_.Write("e.txt", "EmissionRate = 20, EmissionVelocity = 0, LifeTime = 10, Size = 40");
    const std::string sprite = std::string(PP_SOURCE_DIR) + "/Data/Sternchen.png";
    const RunResult r =
        Render({"--frames", "10", "--seed", "3", "--out", Out("e.png"),
                effect + ":" + sprite + "@100,100", effect + ":" + sprite + "@600,450"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const std::optional<Picture> picture = ReadPicture(Out("e.png"));
    ASSERT_TRUE(picture);
    const int64_t a = picture->Energy(70, 70, 130, 130);
    const int64_t b = picture->Energy(570, 420, 630, 480);
    EXPECT_GT(a, 20000);
    EXPECT_GT(b, 20000);
    EXPECT_EQ(a + b, picture->Energy()) << "light away from the two effects";
}

TEST_F(RenderCommand, UnwritableOutputFailsWithOneLine) {
    dir_.Write("file", "x");
    const RunResult r = Render({"--frames", "1", "--out", Out("file/frames")});
    EXPECT_EQ(r.Status, 1);
    ASSERT_EQ(Lines(r.Err).size(), 1u) << r.Err;
    EXPECT_NE(r.Err.find("cannot create the folder"), std::string::npos) << r.Err;
}

}  // namespace
}  // namespace pp
