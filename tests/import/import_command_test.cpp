// particleplayer import end to end: the samples written as texts and sprites that render, the
// refusals, and nothing half-written.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "../app/run_binary.h"
#include "../effects/temp_dir.h"
#include "image/image_decoders.h"

namespace pp {
namespace {

using test::RunBinary;
namespace fs = std::filesystem;

// Pixels of a PNG that are not black.
int LitPixels(const fs::path& png) {
    EnablePngDecoder();
    const std::string bytes = test::Slurp(png);
    const auto image =
        DecodeImage({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, 0, nullptr);
    if (!image) return -1;
    int lit = 0;
    const int32_t step = image->Depth / 8;
    for (int32_t y = 0; y < image->Height; ++y) {
        for (int32_t x = 0; x < image->Width; ++x) {
            const uint8_t* p = image->Pixels.data() + y * image->Pitch + x * step;
            lit += (p[0] | p[1] | p[2]) != 0;
        }
    }
    return lit;
}

// Every sample becomes a text and a sprite beside it; each renders something.
TEST(ImportCommand, SamplesImportAndRender) {
    testing::TempDir out;
    std::vector<std::string> args = {"import", "--out", out.Path().string()};
    std::vector<std::string> stems;
    for (const auto& entry : fs::recursive_directory_iterator(PP_IMPORT_SAMPLES)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".plist" && ext != ".pex") continue;
        args.push_back(entry.path().string());
        stems.push_back(entry.path().stem().string());
    }
    const auto imported = RunBinary(args);
    ASSERT_EQ(imported.Status, 0) << imported.Err;
    EXPECT_EQ(std::count(imported.Out.begin(), imported.Out.end(), '\n'),
              static_cast<long>(stems.size()));
    // Findings name the file and the line: "PATH:LINE: 'key' ...".
    EXPECT_NE(imported.Err.find(".plist:41: 'maxParticles'"), std::string::npos);
    for (const std::string& stem : stems) {
        const fs::path text = out.Path() / (stem + ".txt");
        ASSERT_TRUE(fs::exists(text)) << stem;
        ASSERT_GT(LitPixels(out.Path() / (stem + ".png")), -1) << stem;
        const fs::path frame = out.Path() / (stem + "-frame.png");
        const auto rendered = RunBinary({"render", "--seed", "1", "--frames", "30", "--quiet",
                                         "--out", frame.string(), text.string() + "@400,300"},
                                        {.Env = {"SDL_VIDEODRIVER=offscreen"}});
        ASSERT_EQ(rendered.Status, 0) << stem << rendered.Err;
        EXPECT_GT(LitPixels(frame), 0) << stem;
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
    EXPECT_GT(LitPixels(out.Path() / "cocos2d-x__ButterFlyYFlipped.png"), 0);
    EXPECT_GT(LitPixels(out.Path() / "starling__drugs.png"), 0);
}

// A .p file gives a text and a sprite per emitter (NAME-1, NAME-2 ... when there are several),
// each of which renders, and renders directly as its first emitter.
TEST(ImportCommand, LibgdxEmittersEachImportAndRender) {
    testing::TempDir out;
    const std::string two = PP_IMPORT_SAMPLES "/p/gdxjam__explosion.p";
    const std::string one = PP_IMPORT_SAMPLES "/p/bitbrain-shelter__heal.p";
    const std::string four = PP_IMPORT_SAMPLES "/p/libgdx-tests-lwjgl__test.p";
    const auto run = RunBinary({"import", "--out", out.Path().string(), two, one, four});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(std::count(run.Out.begin(), run.Out.end(), '\n'), 7) << run.Out;
    // The sprite is found by its file name beside the file, whatever folders the path names.
    EXPECT_EQ(run.Err.find("gdxjam__explosion.p:132: 'Image Path'"), std::string::npos);
    EXPECT_EQ(run.Err.find("lwjgl__test.p:126: 'Image Path'"), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("lwjgl__test.p:263: 'Image Path' names particle-fire.png"),
              std::string::npos)
        << run.Err;
    for (const std::string stem :
         {"gdxjam__explosion-1", "gdxjam__explosion-2", "bitbrain-shelter__heal"}) {
        const fs::path text = out.Path() / (stem + ".txt");
        ASSERT_TRUE(fs::exists(text)) << stem;
        EXPECT_NE(test::Slurp(text).find("SpriteFile = " + stem + ".png"), std::string::npos);
        for (const std::string& effect : {text.string(), stem == "bitbrain-shelter__heal" ? one
                                                         : stem.ends_with("1")            ? two
                                                                                          : ""}) {
            if (effect.empty()) continue;
            const fs::path frame = out.Path() / (stem + "-frame.png");
            const auto rendered = RunBinary({"render", "--seed", "1", "--frames", "30", "--quiet",
                                             "--out", frame.string(), effect + "@400,300"},
                                            {.Env = {"SDL_VIDEODRIVER=offscreen"}});
            ASSERT_EQ(rendered.Status, 0) << effect << rendered.Err;
            EXPECT_GT(LitPixels(frame), 0) << effect;
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

// play's and render's effect arguments, check and inspect take the files directly.
TEST(ImportCommand, CommandsTakeTheFilesDirectly) {
    testing::TempDir out;
    const std::string plist = PP_IMPORT_SAMPLES "/plist/cocos2d-objc__Spiral.plist";
    const std::string pex = PP_IMPORT_SAMPLES "/pex/starling__jellyfish.pex";
    for (const std::string& file : {plist, pex}) {
        const fs::path frame = out.Path() / "frame.png";
        const auto rendered = RunBinary(
            {"render", "--seed", "1", "--frames", "30", "--out", frame.string(), file + "@400,300"},
            {.Env = {"SDL_VIDEODRIVER=offscreen"}});
        ASSERT_EQ(rendered.Status, 0) << file << rendered.Err;
        EXPECT_GT(LitPixels(frame), 0) << file;
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
}

}  // namespace
}  // namespace pp
