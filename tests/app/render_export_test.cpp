// render's export options end to end: transparent frames against drawing over a colour, cut
// and scaled frames against sheets and their JSON, alpha in video against the PNG frames.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "app/png_writer.h"
#include "tests/app/decode_frames.h"
#include "tests/app/run_binary.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

using test::RunResult;
using test::Slurp;

// Top-down R, G, B, A rows (alpha 255 for an RGB file); empty when unreadable.
struct Picture {
    int32_t Width = 0, Height = 0;
    std::vector<uint8_t> Rgba;
    const uint8_t* At(int32_t x, int32_t y) const { return &Rgba[(size_t(y) * Width + x) * 4]; }
};

Picture ReadPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Picture picture;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return picture;
    image.format = PNG_FORMAT_RGBA;
    picture.Rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.Rgba.data(), 0, nullptr)) return {};
    picture.Width = static_cast<int32_t>(image.width);
    picture.Height = static_cast<int32_t>(image.height);
    return picture;
}

// How far `straight` laid over `under` (R, G, B) with ordinary over compositing, rounded,
// is from `opaque`: the largest channel difference, and the pixels off by more than one.
struct Miss {
    int Largest = 999;
    size_t AboveOne = 0, Pixels = 0;
};

Miss OverDifference(const Picture& straight, const Picture& opaque, std::array<int, 3> under) {
    if (straight.Rgba.size() != opaque.Rgba.size() || straight.Rgba.empty()) return {};
    Miss miss{0, 0, straight.Rgba.size() / 4};
    for (size_t i = 0; i < straight.Rgba.size(); i += 4) {
        const int a = straight.Rgba[i + 3];
        int largest = 0;
        for (size_t c = 0; c < 3; ++c) {
            const int over = (straight.Rgba[i + c] * a + under[c] * (255 - a) + 127) / 255;
            largest = std::max(largest, std::abs(over - opaque.Rgba[i + c]));
        }
        miss.Largest = std::max(miss.Largest, largest);
        miss.AboveOne += largest > 1;
    }
    return miss;
}

// The frame's alpha plane, or for a GIF its pixels' alpha, of every frame of a video.
std::vector<std::vector<uint8_t>> DecodeAlpha(const std::string& path) {
    std::vector<std::vector<uint8_t>> frames;
    test::DecodeFrames(path, [&](const AVFrame& frame, double) {
        std::vector<uint8_t>& alpha = frames.emplace_back();
        for (int y = 0; y < frame.height; ++y) {
            for (int x = 0; x < frame.width; ++x) {
                if (frame.format == AV_PIX_FMT_YUVA420P) {
                    alpha.push_back(frame.data[3][y * frame.linesize[3] + x]);
                } else if (frame.format == AV_PIX_FMT_BGRA) {
                    alpha.push_back(frame.data[0][y * frame.linesize[0] + x * 4 + 3]);
                }
            }
        }
    });
    return frames;
}

std::string FrameFile(const std::string& folder, int k) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame_%05d.png", k);
    return folder + name;
}

class RenderExport : public ::testing::Test {
  protected:
    // render of one effect with `blend` (a BlendingMode pair) at the middle of a 240 x 160
    // frame, seed 3, 40 ms frames; the options `more`, then `extra`. Each run is to succeed.
    RunResult Run(const std::string& blend, std::vector<std::string> more,
                  const std::vector<std::string>& extra = {}) {
        more.insert(more.end(), extra.begin(), extra.end());
        std::string name = "e" + blend + ".txt";
        std::replace_if(
            name.begin(), name.end(), [](char c) { return c == ',' || c == ' '; }, '_');
        const std::string effect =
            dir_.Write(name,
                       "EmissionRate = 120, EmissionVelocity = 40, LifeTime = 1.2, Size = 36, "
                       "EmissionAngle = {Value = 0, Blur = 360}, Transparency = 170, "
                       "Colour = {255, 160, 90}, BlendingMode = {" +
                           blend + "}");
        std::vector<std::string> args = {"render", "--seed",  "3",        "--frame-ms", "40",
                                         "--size", "240x160", "--frames", "12"};
        args.insert(args.end(), more.begin(), more.end());
        args.push_back(effect + ":" PP_SOURCE_DIR "/Data/Feuer.png@120,80");
        RunResult result = test::RunBinary(args, {dir_.Path().string()});
        EXPECT_EQ(result.Status, 0) << result.Err;
        return result;
    }
    std::string Out(const std::string& name) const { return (dir_.Path() / name).string(); }

    testing::TempDir dir_;
};

// Laid over black, a transparent frame is the plain render for every blend pair; for the over
// pair it is render --background of another colour, white and grey too, within one step for
// at least 98% of the pixels of a dense effect.
TEST_F(RenderExport, TransparentFramesOverAColourGiveWhatDrawingOverItGives) {
    const struct {
        std::string Blend;
        bool Over;  // the over pair: exact over any colour
    } rows[] = {{"5, 6", true},  {"5, 2", false}, {"2, 2", false}, {"9, 1", false},
                {"1, 6", false}, {"3, 4", false}, {"10, 6", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Blend);
        Run(row.Blend, {"--out", Out("plain.png")});
        Run(row.Blend, {"--background", "transparent", "--out", Out("clear.png")});
        const Picture clear = ReadPng(Out("clear.png"));
        EXPECT_EQ(OverDifference(clear, ReadPng(Out("plain.png")), {0, 0, 0}).Largest, 0);
        if (row.Blend == "5, 2") {
            // Brightness alpha keeps the frame over black, and its brightest channel is whole:
            // black goes fully transparent.
            Run(row.Blend, {"--background", "transparent", "--alpha-from", "brightness", "--out",
                            Out("glow.png")});
            const Picture glow = ReadPng(Out("glow.png"));
            EXPECT_EQ(OverDifference(glow, ReadPng(Out("plain.png")), {0, 0, 0}).Largest, 0);
            for (size_t i = 0; i < glow.Rgba.size(); i += 4) {
                const uint8_t brightest =
                    std::max({glow.Rgba[i], glow.Rgba[i + 1], glow.Rgba[i + 2]});
                ASSERT_TRUE(glow.Rgba[i + 3] == 0 || brightest == 255) << i / 4;
            }
        }
        if (!row.Over) continue;
        for (const auto& [hex, colour] : {std::pair{"#4080C0", std::array{64, 128, 192}},
                                          {"#FFFFFF", std::array{255, 255, 255}},
                                          {"#7F7F7F", std::array{127, 127, 127}}}) {
            Run(row.Blend, {"--background", hex, "--out", Out("over.png")});
            // Where a hundred particles overlap, rounding each to 8 bits lets the channels of the
            // drawing over a colour disagree by a few steps on how much of it shows through,
            // which one alpha cannot follow: within one step nearly everywhere, four at most.
            const Miss miss = OverDifference(clear, ReadPng(Out("over.png")), colour);
            EXPECT_LE(miss.Largest, 4) << hex;
            EXPECT_LE(miss.AboveOne * 50, miss.Pixels) << hex;
        }
    }
}

// A picture under the particles: one of a single colour draws what that colour does, and a
// gradient shows as it is where nothing is drawn (rows of an odd width, 243 x 161).
TEST_F(RenderExport, APictureBackgroundLiesUnderTheParticles) {
    std::vector<uint8_t> flat, gradient;
    for (int y = 0; y < 161; ++y) {
        for (int x = 0; x < 243; ++x) {
            flat.insert(flat.end(), {64, 128, 192, 255});
            gradient.insert(gradient.end(), {uint8_t(x), uint8_t(y), uint8_t(x ^ y), 255});
        }
    }
    const auto write = [&](const std::string& name, const std::vector<uint8_t>& rgba) {
        const auto png = EncodePngFromRgba(243, 161, rgba);
        ASSERT_TRUE(png && !WriteFileAtomically(Out(name), *png));
    };
    write("flat.png", flat);
    write("gradient.png", gradient);
    for (const auto& [under, out] : {std::pair{"#4080C0", "colour.png"},
                                     {"flat.png", "overflat.png"},
                                     {"gradient.png", "drawn.png"}}) {
        const std::string value = under[0] == '#' ? std::string(under) : Out(under);
        Run("5, 6", {"--size", "243x161", "--background", value, "--out", Out(out)});
    }
    EXPECT_EQ(ReadPng(Out("overflat.png")).Rgba, ReadPng(Out("colour.png")).Rgba);
    const Picture drawn = ReadPng(Out("drawn.png"));
    ASSERT_EQ(drawn.Rgba.size(), gradient.size());
    size_t same = 0;
    for (size_t i = 0; i < gradient.size(); ++i) same += drawn.Rgba[i] == gradient[i];
    EXPECT_GT(same, gradient.size() * 3 / 4);  // the effect covers less than a quarter
    EXPECT_LT(same, gradient.size());
    for (const auto& [x, y] : {std::pair{0, 0}, {242, 0}, {0, 160}, {242, 160}})
        EXPECT_TRUE(std::equal(drawn.At(x, y), drawn.At(x, y) + 4, &gradient[(y * 243 + x) * 4]));
}

// A sheet's cells are the frames cut and scaled the same way, and its JSON lists every cell's
// rectangle and duration; --crop auto cuts every frame at the box of all lit pixels plus 4.
TEST_F(RenderExport, SheetCellsAreTheCutFramesAndAutoCropHoldsEveryLitPixel) {
    const std::vector<std::string> cut = {"--background",  "transparent", "--crop",
                                          "50,20,150,110", "--scale",     "0.5"};
    Run("5, 6", cut, {"--out", Out("cut")});
    const RunResult made = Run("5, 6", cut, {"--sheet", "5x3", "--out", Out("sh\"eet.png")});
    EXPECT_EQ(made.Out, "SpriteSheet = {Columns = 5, Rows = 3, Frames = 12, Rate = 25}\n");
    const Picture atlas = ReadPng(Out("sh\"eet.png"));
    ASSERT_EQ(std::pair(atlas.Width, atlas.Height), std::pair(5 * 75, 3 * 55));
    const std::string json = Slurp(Out("sh\"eet.json"));
    for (int k = 0; k < 15; ++k) {
        SCOPED_TRACE(k);
        const int x0 = k % 5 * 75, y0 = k / 5 * 55;
        const Picture frame = k < 12 ? ReadPng(FrameFile(Out("cut"), k + 1)) : Picture{};
        for (int y = 0; y < 55; ++y) {  // a cell past the frames is empty
            const uint8_t* row = atlas.At(x0, y0 + y);
            ASSERT_TRUE(k < 12 ? std::equal(row, row + 75 * 4, frame.At(0, y))
                               : std::all_of(row, row + 75 * 4, [](uint8_t b) { return b == 0; }))
                << "row " << y;
        }
        char entry[200];
        std::snprintf(entry, sizeof entry,
                      "{\"filename\": \"frame_%05d\", \"frame\": {\"x\": %d, \"y\": %d, \"w\": 75, "
                      "\"h\": 55}",
                      k + 1, x0, y0);
        EXPECT_EQ(json.find(entry) != std::string::npos, k < 12) << json;
    }
    EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 15);
    EXPECT_NE(json.find("\"image\": \"sh\\\"eet.png\", \"format\": \"RGBA8888\", \"size\": "
                        "{\"w\": 375, \"h\": 165}"),
              std::string::npos);
    const std::regex duration("\"duration\": 40\\}");
    EXPECT_EQ(std::distance(std::sregex_iterator(json.begin(), json.end(), duration), {}), 12);

    Run("5, 6", {"--background", "transparent", "--out", Out("full")});
    Run("5, 6", {"--background", "transparent", "--crop", "auto", "--out", Out("auto")});
    int left = 240, top = 160, right = 0, bottom = 0;
    std::vector<Picture> full;
    for (int k = 1; k <= 12; ++k) {
        full.push_back(ReadPng(FrameFile(Out("full"), k)));
        for (int y = 0; y < 160; ++y) {
            for (int x = 0; x < 240; ++x) {
                if (full.back().At(x, y)[3] == 0) continue;
                left = std::min(left, x), right = std::max(right, x + 1);
                top = std::min(top, y), bottom = std::max(bottom, y + 1);
            }
        }
    }
    left = std::max(0, left - 4), top = std::max(0, top - 4);
    right = std::min(240, right + 4), bottom = std::min(160, bottom + 4);
    ASSERT_LT(right - left, 200);  // the effect does not fill the frame
    for (int k = 1; k <= 12; ++k) {
        const Picture cropped = ReadPng(FrameFile(Out("auto"), k));
        ASSERT_EQ(std::pair(cropped.Width, cropped.Height), std::pair(right - left, bottom - top));
        for (int y = 0; y < cropped.Height; ++y) {
            ASSERT_TRUE(std::equal(cropped.At(0, y), cropped.At(0, y) + cropped.Width * 4,
                                   full[k - 1].At(left, top + y)))
                << k << " row " << y;
        }
    }
}

// A WebM's alpha plane is the PNG frames' alpha within the codec's loss; a GIF shows the
// pixels under half opaque as transparent; the same seed gives the same bytes.
TEST_F(RenderExport, VideoKeepsTheFramesAlpha) {
    const std::vector<std::string> clip = {"--background", "transparent", "--crop",
                                           "40,20,160,120"};
    std::vector<std::vector<uint8_t>> pngs;
    Run("5, 6", clip, {"--out", Out("png")});
    for (int k = 1; k <= 12; ++k) {
        const Picture frame = ReadPng(FrameFile(Out("png"), k));
        std::vector<uint8_t>& alpha = pngs.emplace_back();
        for (size_t i = 3; i < frame.Rgba.size(); i += 4) alpha.push_back(frame.Rgba[i]);
    }
    for (const char* name : {"clip.webm", "clip.gif"}) {
        SCOPED_TRACE(name);
        Run("5, 6", clip, {"--out", Out(name)});
        const std::vector<std::vector<uint8_t>> alpha = DecodeAlpha(Out(name));
        ASSERT_EQ(alpha.size(), 12u);
        for (size_t k = 0; k < 12; ++k) {
            ASSERT_EQ(alpha[k].size(), pngs[k].size()) << k;
            int64_t off = 0;
            for (size_t p = 0; p < pngs[k].size(); ++p) {
                off += name[5] == 'g' ? alpha[k][p] != (pngs[k][p] < 128 ? 0 : 255)
                                      : std::abs(alpha[k][p] - pngs[k][p]);
            }
            EXPECT_LE(off, static_cast<int64_t>(pngs[k].size()) * (name[5] == 'g' ? 0 : 2)) << k;
        }
        Run("5, 6", clip, {"--out", Out(std::string("again") + name)});
        EXPECT_TRUE(Slurp(Out(std::string("again") + name)) == Slurp(Out(name)));
    }
}

// A loop's last frame leads into its first by no larger a step than any two neighbours take;
// 1 s at 40 ms is 25 frames.
TEST_F(RenderExport, ALoopsEndLeadsIntoItsStart) {
    Run("5, 2", {"--loop", "1", "--out", Out("loop")});
    std::vector<Picture> frames;
    for (int k = 1; k <= 26; ++k) frames.push_back(ReadPng(FrameFile(Out("loop"), k)));
    ASSERT_TRUE(frames[25].Rgba.empty());
    const auto step = [](const Picture& a, const Picture& b) {
        int64_t sum = 0;
        for (size_t i = 0; i < a.Rgba.size() && i < b.Rgba.size(); ++i)
            sum += std::abs(a.Rgba[i] - b.Rgba[i]);
        return sum;
    };
    int64_t largest = 0;
    for (int k = 0; k + 1 < 25; ++k) largest = std::max(largest, step(frames[k], frames[k + 1]));
    EXPECT_GT(step(frames[24], frames[0]), 0);
    EXPECT_LE(step(frames[24], frames[0]), largest);
}

}  // namespace
}  // namespace pp
