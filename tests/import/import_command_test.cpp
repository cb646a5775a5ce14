// particleplayer import end to end: every shared sample imported, checked and rendered, the
// sprites, the refusals with nothing half-written, and the commands taking the files directly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

#include "../app/run_binary.h"
#include "../effects/temp_dir.h"
#include "image/image_decoders.h"
#include "import/particle_dict.h"
#include "tests/import/import_test_util.h"

namespace pp {
namespace {

using test::RunBinary;
namespace fs = std::filesystem;

// The box around the pixels of a PNG that are not black, and how many they are (-1 when the
// file does not decode).
struct Lit {
    int Count = -1;
    int32_t Left = INT32_MAX, Top = INT32_MAX, Right = -1, Bottom = -1;
};
Lit LitPixels(const fs::path& png) {
    EnablePngDecoder();
    const std::string bytes = test::Slurp(png);
    const auto image =
        DecodeImage({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, 0, nullptr);
    if (!image) return {};
    Lit lit{0};
    const int32_t step = image->Depth / 8;
    for (int32_t y = 0; y < image->Height; ++y) {
        for (int32_t x = 0; x < image->Width; ++x) {
            const uint8_t* p = image->Pixels.data() + y * image->Pitch + x * step;
            if ((p[0] | p[1] | p[2]) == 0) continue;
            ++lit.Count;
            lit.Left = std::min(lit.Left, x), lit.Right = std::max(lit.Right, x);
            lit.Top = std::min(lit.Top, y), lit.Bottom = std::max(lit.Bottom, y);
        }
    }
    return lit;
}

// render's 30th frame (seed 1) of an effect argument, written to `frame`; check's findings on
// stderr unless quiet.
test::RunResult Render(const std::string& effect, const fs::path& frame, bool quiet = true) {
    std::vector<std::string> args = {"render", "--seed",       "1",   "--frames", "30",
                                     "--out",  frame.string(), effect};
    if (quiet) args.push_back("--quiet");
    return RunBinary(args, {.Env = {"SDL_VIDEODRIVER=offscreen"}});
}

// Every shared sample is told from our texts by its content, imports (one line on stdout
// each: the text, the sprite and the placement; findings as "PATH:LINE: 'key' ..."), passes
// check without errors, and its text and sprite render particles around the placement.
TEST(ImportSamples, EverySampleImportsChecksAndEmits) {
    testing::TempDir out;
    std::vector<std::string> args = {"import", "--out", out.Path().string()};
    std::vector<std::string> stems;
    for (const auto& entry : fs::recursive_directory_iterator(PP_IMPORT_SAMPLES)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".plist" && ext != ".pex") continue;
        EXPECT_TRUE(LooksLikeParticleDict(test::Slurp(entry.path()))) << entry.path();
        args.push_back(entry.path().string());
        stems.push_back(entry.path().stem().string());
    }
    EXPECT_EQ(stems.size(), 17u);
    const auto imported = RunBinary(args);
    ASSERT_EQ(imported.Status, 0) << imported.Err;
    EXPECT_EQ(std::count(imported.Out.begin(), imported.Out.end(), '\n'),
              static_cast<long>(stems.size()));
    EXPECT_NE(imported.Err.find(".plist:41: 'maxParticles'"), std::string::npos);
    std::istringstream lines(imported.Out);
    for (const std::string& stem : stems) {
        SCOPED_TRACE(stem);
        const fs::path text = out.Path() / (stem + ".txt");
        std::string written, sprite, at;
        lines >> written >> sprite >> at;
        ASSERT_EQ(written, text.string());
        ASSERT_EQ(sprite, (out.Path() / (stem + ".png")).string());
        test::ExpectNoCheckErrors(test::Slurp(text), text.string());
        ASSERT_GT(LitPixels(sprite).Count, -1);
        int32_t x = -1, y = -1;
        ASSERT_EQ(std::sscanf(at.c_str(), "@%d,%d", &x, &y), 2) << at;
        const fs::path frame = out.Path() / (stem + "-frame.png");
        const auto rendered = Render(text.string() + at, frame);
        ASSERT_EQ(rendered.Status, 0) << rendered.Err;
        // Particles spread from their emitter: the placement lies in the box of what is drawn,
        // give or take a sprite's size (one at the frame's corner draws only inside it).
        const Lit lit = LitPixels(frame);
        EXPECT_GT(lit.Count, 0);
        EXPECT_TRUE(x >= lit.Left - 32 && x <= lit.Right + 32 && y >= lit.Top - 32 &&
                    y <= lit.Bottom + 32)
            << at << " outside " << lit.Left << "," << lit.Top << " " << lit.Right << ","
            << lit.Bottom;
    }
}

// The sprite named beside a .pex is converted; a missing one is a finding and a stand-in.
TEST(ImportCommand, SpritesBesideOrStandIn) {
    testing::TempDir out;
    const auto run = RunBinary({"import", "--out", out.Path().string(),
                                PP_IMPORT_SAMPLES "/pex/starling__drugs.pex",
                                PP_IMPORT_SAMPLES "/plist/cocos2d-x__ButterFlyYFlipped.plist"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err.find("starling__drugs.pex:3: 'textureFileName'"), std::string::npos)
        << run.Err;
    EXPECT_NE(run.Err.find("ButterFlyYFlipped.plist:113: 'textureFileName' names particle.png"),
              std::string::npos)
        << run.Err;
    EXPECT_GT(LitPixels(out.Path() / "cocos2d-x__ButterFlyYFlipped.png").Count, 0);
    EXPECT_GT(LitPixels(out.Path() / "starling__drugs.png").Count, 0);
}

// A .p file gives a text and a sprite per emitter (NAME-1, NAME-2 ... when there are several)
// and a group NAME of them, each of which renders, and renders directly.
TEST(ImportCommand, LibgdxEmittersEachImportAndRender) {
    testing::TempDir out;
    const std::string two = PP_IMPORT_SAMPLES "/p/gdxjam__explosion.p";
    const std::string one = PP_IMPORT_SAMPLES "/p/bitbrain-shelter__heal.p";
    const std::string four = PP_IMPORT_SAMPLES "/p/libgdx-tests-lwjgl__test.p";
    const auto run = RunBinary({"import", "--out", out.Path().string(), two, one, four});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(std::count(run.Out.begin(), run.Out.end(), '\n'), 9) << run.Out;
    EXPECT_EQ(test::Slurp(out.Path() / "gdxjam__explosion.txt"),
              "Group = {gdxjam__explosion-1.txt, gdxjam__explosion-2.txt}\n");
    // The sprite is found by its file name beside the file, whatever folders the path names.
    EXPECT_EQ(run.Err.find("gdxjam__explosion.p:132: 'Image Path'"), std::string::npos);
    EXPECT_EQ(run.Err.find("lwjgl__test.p:126: 'Image Path'"), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("lwjgl__test.p:263: 'Image Path' names particle-fire.png"),
              std::string::npos)
        << run.Err;
    for (const std::string stem : {"gdxjam__explosion-1", "gdxjam__explosion-2",
                                   "bitbrain-shelter__heal", "gdxjam__explosion"}) {
        const fs::path text = out.Path() / (stem + ".txt");
        ASSERT_TRUE(fs::exists(text)) << stem;
        if (stem != "gdxjam__explosion") {
            EXPECT_NE(test::Slurp(text).find("SpriteFile = " + stem + ".png"), std::string::npos);
        }
        for (const std::string& effect : {text.string(), stem == "bitbrain-shelter__heal" ? one
                                                         : stem.ends_with("1")            ? two
                                                                                          : ""}) {
            if (effect.empty()) continue;
            const fs::path frame = out.Path() / (stem + "-frame.png");
            const auto rendered = Render(effect + "@400,300", frame);
            ASSERT_EQ(rendered.Status, 0) << effect << rendered.Err;
            EXPECT_GT(LitPixels(frame).Count, 0) << effect;
        }
    }
}

// Refusals: one line each, the status of the README's table, and no file left behind.
TEST(ImportCommand, RefusalsAreOneLineAndWriteNothing) {
    testing::TempDir out;
    const std::string not_xml = out.Write("bad.plist", "Size = 20");
    const std::string truncated = out.Write("cut.pex", "<particleEmitterConfig><speed value=");
    struct Case {
        std::vector<std::string> Args;
        int Status;
    } cases[] = {
        {{"import"}, 2},
        {{"import", "--out"}, 2},
        {{"import", "--frames", "3", not_xml}, 2},
        {{"import", "--out", (out.Path() / "none").string(), not_xml}, 2},
        {{"import", "--out", out.Path().string(), not_xml}, 1},
        {{"import", "--out", out.Path().string(), truncated}, 1},
        {{"import", "--out", out.Path().string(), (out.Path() / "missing.plist").string()}, 1},
        {{"import", "--out", out.Path().string(), out.Path().string()}, 1},
    };
    for (const Case& c : cases) {
        const auto run = RunBinary(c.Args);
        EXPECT_EQ(run.Status, c.Status) << c.Args.back() << run.Err;
        EXPECT_EQ(run.ErrLines(), 1) << c.Args.back() << run.Err;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(out.Path()), fs::directory_iterator()), 2);
}

// play's and render's effect arguments, check, inspect and edit take the files directly.
TEST(ImportCommand, CommandsTakeTheFilesDirectly) {
    testing::TempDir out;
    const std::string plist = PP_IMPORT_SAMPLES "/plist/cocos2d-objc__Spiral.plist";
    const std::string pex = PP_IMPORT_SAMPLES "/pex/starling__jellyfish.pex";
    for (const std::string& file : {plist, pex}) {
        const fs::path frame = out.Path() / "frame.png";
        const auto rendered = Render(file + "@400,300", frame, false);
        ASSERT_EQ(rendered.Status, 0) << file << rendered.Err;
        EXPECT_GT(LitPixels(frame).Count, 0) << file;
        // render prints check's findings: the import's, as warnings at the keys.
        EXPECT_EQ(rendered.Err.find(pex + ":21:3: warning: 'maxParticles'") != std::string::npos,
                  file == pex)
            << rendered.Err;
    }
    EXPECT_EQ(RunBinary({"check", plist}).Status, 0);
    const auto checked = RunBinary({"check", pex});
    EXPECT_EQ(checked.Status, 1);
    EXPECT_NE(checked.Out.find(pex + ":21:3: warning: 'maxParticles'"), std::string::npos)
        << checked.Out;
    const auto inspected = RunBinary({"inspect", "--quiet", pex});
    EXPECT_EQ(inspected.Status, 0) << inspected.Err;
    EXPECT_NE(inspected.Out.find("\"EmissionRate\": {\"Min\": 428.571442"), std::string::npos)
        << inspected.Out;
    // edit opens the imported text, to be saved beside the file and never over it (here it
    // stops for want of an OpenGL window, after saying so).
    const std::string bytes = test::Slurp(pex);
    const std::string copy = out.Write("jelly.pex", bytes);
    const auto edited = RunBinary({"edit", copy}, {.Env = {"SDL_VIDEODRIVER=dummy"}});
    EXPECT_NE(edited.Err.find("jelly.pex is edited as its imported text; saving writes " +
                              (out.Path() / "jelly.txt").string() + ", never"),
              std::string::npos)
        << edited.Err;
    EXPECT_EQ(test::Slurp(copy), bytes);
    EXPECT_FALSE(fs::exists(out.Path() / "jelly.txt"));
}

}  // namespace
}  // namespace pp
