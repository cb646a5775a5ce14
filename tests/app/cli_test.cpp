// particleplayer as scripts use it: each command's exit status and one stderr line, its
// arguments, inspect's and simulate's exact output, also across the clock's wrap.
#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "app/effect_json.h"
#include "app/json_text.h"
#include "effects/loader.h"
#include "runtime/clock_readings.h"
#include "tests/app/run_binary.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

using test::RunBinary;
using test::RunResult;

// Run from the repository root without a display or XDG_RUNTIME_DIR; FILE is an effect file that
// disables its emitter, FULL one that sets every key, CROWD one that bears 1000 particles a second,
// DIR/ a fresh folder where a failed render leaves no file. Out and Err: "" empty, else a part of
// it.
struct StatusRow {
    std::vector<std::string> Args;
    int Status;
    std::string Out, Err;
    std::vector<std::string> Env{};
};
// A shim preloaded into the binary that hides every encoder.
const std::vector<std::string> kNoEncoders = {"LD_PRELOAD=" PP_NO_ENCODERS_SHIM,
                                              "ASAN_OPTIONS=verify_asan_link_order=0"};

const StatusRow kStatusRows[] = {
    {{"--version"}, 0, "particleplayer 1.0.0\n", ""},
    {{"--help"}, 0, "render [--frames N]", ""},
    {{"help", "play"}, 0, "Usage: particleplayer play", ""},
    {{"bogus"}, 2, "", "unknown command or option 'bogus' (see"},
    {{"rendr"}, 2, "", "unknown command or option 'rendr'; did you mean 'render'? (see"},
    {{"help", "chek"}, 2, "", "no command 'chek'; did you mean 'check'?"},
    {{"help"}, 0, "frames as PNGs or as an .mp4, .webm or .gif video", ""},
    {{"help", "bogus"}, 2, "", "no command 'bogus'"},
    {{"inspect", "a", "b"}, 2, "", "unexpected argument 'b'"},
    {{"inspect", "a", "--at"}, 2, "", "--at needs a value"},
    {{"inspect", "a", "--at", "1"}, 2, "", "not '1'"},
    {{"inspect", "a", "--seed", "1"}, 2, "", "unknown option '--seed'"},
    {{"inspect", "a", "--at", "-2147483649,0"}, 2, "", "--at"},
    {{"simulate", "a", "--frames", "+1"}, 2, "", "not '+1'"},
    {{"simulate", "a", "--print", "first"}, 2, "", "--print"},
    {{"simulate", "a", "--frames", "2147483647", "--frame-ms", "2"}, 2, "", "clock"},
    {{"render", "--frames", "100000"}, 2, "", "from 1 to 99999"},
    {{"render", "--out="}, 2, "", "--out needs"},
    {{"render", "--fps", "60"}, 2, "", "--fps is for .mp4, .webm and .gif"},
    {{"render", "--fps", "1.0001", "--out", "c.gif"}, 2, "", "not '1.0001'"},
    {{"render", "--frame-ms", "0", "--out", "c.webm"}, 2, "", "needs --fps"},
    {{"render", "--out", "clip.AVI"}, 2, "", ".mp4, .webm or .gif video"},
    {{"play", "--threads", "257"}, 2, "", "--threads wants a whole number from 1 to 256"},
    {{"--threads", "two"}, 2, "", "not 'two'"},
    {{"--threads", "2", "render"}, 2, "", "unknown command or option 'render'"},
    {{"render", "--stats=yes"}, 2, "", "--stats"},
    {{"simulate", "a", "--max-particles", "0"}, 2, "", "--max-particles wants a whole number"},
    {{"render", "--max-particles=1000000001"}, 2, "", "from 1 to 1000000000, not"},
    {{"play", "--max-particles", "many"}, 2, "", "particleplayer play: --max-particles wants"},
    // Said once, on stderr, however many frames drop births; the particles stay on stdout.
    {{"simulate", "CROWD", "--frames=9", "--print=all", "--max-particles=7"},
     0,
     "\"frame\": 9,",
     "budget of 7 live particles is reached"},
    {{"render", "--background", "#12345"}, 2, "", "wants #RRGGBB, not '#12345'"},
    {{"render", "--background", "#12345g"}, 2, "", "wants #RRGGBB"},
    {{"render", "--background", "grey"}, 2, "", "transparent, #RRGGBB or a .png picture"},
    {{"render", "--size", "800x0"}, 2, "", "--size wants WxH, each from 1 to 4096"},
    {{"render", "--size", "4097x10"}, 2, "", "--size wants WxH"},
    {{"render", "--crop", "1,2,3"}, 2, "", "--crop wants auto or X,Y,W,H"},
    {{"render", "--crop", "700,0,101,10"}, 2, "", "reaches outside the 800 x 600 frame"},
    {{"render", "--size", "100x100", "--crop", "0,90,10,11"}, 2, "", "outside the 100 x 100"},
    {{"render", "--scale", "0.001"}, 2, "", "--scale wants a factor from 0.01 to 16"},
    {{"render", "--scale", "8", "--out", "a.png"}, 2, "", "frames of 6400 x 4800, above"},
    {{"render", "--alpha-from", "brightness"}, 2, "", "is for --background transparent"},
    {{"render", "--background", "transparent", "--alpha-from", "x"}, 2, "", "not 'x'"},
    {{"render", "--background", "transparent", "--out", "a.MP4"}, 2, "", "no alpha channel"},
    {{"render", "--sheet", "auto"}, 2, "", "give --out SHEET.png"},
    {{"render", "--sheet", "2x2", "--frames", "5", "--out", "s.png"}, 2, "", "holds 4 frames"},
    {{"render", "--sheet", "257x1"}, 2, "", "each from 1 to 256"},
    {{"render", "--sheet=auto", "--frames=400", "--size=1000x9", "--out=s.png"},
     2,
     "",
     "a sheet of 20000 x 180 pixels is too large"},
    {{"render", "--crop", "auto", "--frames", "99999", "--size", "1000x1000"}, 2, "", "above 2048"},
    {{"render", "--loop", "0.01"}, 2, "", "--loop wants seconds from 0.05 to 600"},
    {{"render", "--loop=1", "--frame-ms=0", "--fps=5", "--out=c.gif"}, 2, "", "above 0"},
    {{"render", "--loop", "1", "examples/effects/Explosion.txt"}, 1, "", "in bursts (Burst)"},
    {{"render", "--background", "DIR/none.png", "--out", "DIR/f.png"}, 1, "", "background picture"},
    {{"check"}, 2, "", "particleplayer check: missing FILE (see particleplayer check --help)\n"},
    {{"play", "no-such.txt"}, 2, "", "particleplayer play: cannot read the effect file"},
    // edit reads play's arguments and its file before it opens any window.
    {{"help", "edit"}, 0, "Usage: particleplayer edit", ""},
    {{"edit", "no-such.txt"}, 2, "", "particleplayer edit: cannot read the effect file"},
    {{"edit", "no-such.txt@1"}, 2, "", "particleplayer edit: '@1' in 'no-such.txt@1' is not a"},
    {{"edit", "examples/effects/Comet.txt@1,2+3,4"}, 2, "", "edit: the preview does not move"},
    {{"inspect", "no-such.txt"}, 1, "\"Layer\": 0,", "could not read 'no-such.txt'"},
    {{"inspect", "FULL", "--quiet"},
     0,
     "{\"Disable\": 1, \"AutoRemove\": 0, \"Layer\": 1, \"PositionX\": 400, \"PositionY\": 300, "
     "\"AreaType\": 5, \"AreaWidth\": 120, \"AreaHeight\": 40, \"AreaAngle\": 0.52359879, "
     "\"EmissionAngle\": {\"Min\": 250, \"Max\": 290, \"Inc\": 1}, "
     "\"EmissionVelocity\": {\"Min\": 100, \"Max\": 100, \"Inc\": 1}, "
     "\"AccelerationX\": 0, \"AccelerationY\": -50, "
     "\"LifeTime\": {\"Min\": 1, \"Max\": 3, \"Inc\": 0.25}, "
     "\"EmissionRate\": {\"Min\": 100, \"Max\": 100, \"Inc\": 1}, "
     "\"Sprite\": {\"Min\": 1, \"Max\": 3, \"Inc\": 1}, "
     "\"Size\": {\"Min\": 0.100000001, \"Max\": 0.100000001, \"Inc\": 1}, "
     "\"Raise\": 2, \"Rotation\": {\"Min\": 0, \"Max\": 0, \"Inc\": 0}, "
     "\"Transparency\": {\"Min\": 155, \"Max\": 255, \"Inc\": 1}, \"Fade\": -100, "
     "\"BlendSource\": 5, \"BlendDestination\": 2}\n",
     ""},
    {{"inspect", "Size=5.txt"}, 1, "\"Size\": {\"Min\": 5, \"Max\": 5, \"Inc\": 1}", "could not"},
    {{"inspect", "Size={Min=-1e39,Max=1e-45},Raise=-0"},
     1,
     "{\"Min\": -Infinity, \"Max\": 1.40129846e-45, \"Inc\": 1}, \"Raise\": -0, \"Rot",
     "could not"},
    {{"inspect", "FILE", "--at=-2147483648,2147483647", "--quiet"}, 0, "X\": -2.14748365e+09,", ""},
    {{"inspect", "--", "--at"}, 1, "\"Layer\": 0,", "could not read '--at'"},
    {{"simulate", ".", "--frames", "2"}, 1, "\"frame\": 2,", "could not read"},
    {{"simulate", "FILE", "--quiet"},
     0,
     "{\"frame\": 1, \"time\": 1016, \"dt\": 0, \"particles\": []}\n",
     ""},
    {{"simulate", "FILE", "--frames", "007", "--seed=-0", "--quiet"}, 0, "7, \"time\": 1112,", ""},
    {{"simulate", "FILE", "--quiet", "--clock-start=2147483640"}, 0, "\"time\": -2147483640,", ""},
    {{"simulate", "--quiet", "FILE", "--clock-start=-20"}, 0, "\"time\": -4,", ""},
    {{"simulate", "FILE", "--clock-start", "4294967295", "--quiet"}, 0, "\"time\": 15,", ""},
    {{"check", "Data/Feuer.txt", "Data\\Basis\\Glut.txt"}, 0, "", ""},
    // What check finds in the file goes to stderr, in check's lines; stdout is as ever.
    {{"inspect", "FILE"}, 0, "\"Disable\": 1,", "e.txt:1:1: warning: 'Disable = 1' switches"},
    {{"simulate", "FILE"}, 0, "\"particles\": []}\n", "e.txt:1:1: warning: 'Disable = 1'"},
    {{"render", "--quiet=no"}, 2, "", "--quiet takes no value"},
    {{"check", "--max-particles", "-1", "FILE"}, 2, "", "--max-particles wants a whole number"},
    {{"check", "FILE"}, 1, "warning: 'Disable = 1' switches the emitter off", ""},
    {{"check", "--", "no-such.txt"}, 1, "no-such.txt:1:1: cannot open this file (No such", ""},
    {{"render", "--frames", "1", "--out", "/dev/null/frames"}, 1, "", "cannot create the folder"},
    {{"render", "--frames", "1", "--out", "DIR/taken.mp4"}, 1, "", "cannot rename"},
    // Drawn offscreen on a machine without a session: its one line and nothing else.
    {{"render", "--frames", "1", "--out", "DIR/one.png"}, 0, "", "wrote frame 1 to /"},
    {{"render", "--frames", "1", "--out", "DIR/c.webm"}, 2, "", "has no VP9 encoder", kNoEncoders},
    {{}, 1, "", "no display found (DISPLAY and WAYLAND_DISPLAY are unset); run it"},
};

TEST(Cli, EveryCommandExitsWithItsStatusAndSaysWhatItShould) {
    testing::TempDir dir;
    const std::string file = dir.Write("e.txt", "Disable = 1");
    const std::string full = dir.Write(
        "full.txt",
        "Layer = 1, EmitterPosition = {400, 300}, Acceleration = {0, -50}, Size = 0.1,\r\n"
        "EmitterArea = {Type = Ellipse, Width = 120, Height = 40, Angle = 30}, Raise = 2,\r\n"
        "EmissionAngle = {Value = 270, Blur = 20}, Sprite = {Min = 1, Max = 3}, Fade = -100,\r\n"
        "LifeTime = {Value = 1, Range = 2, Inc = 0.25}, BlendingMode = {5, 2}, Disable = 1,\r\n"
        "Transparency = {Value = 255, Range = -100}\r\n");
    const std::string crowd = dir.Write("crowd.txt", "EmissionRate = 1000");
    std::filesystem::create_directory(dir.Path() / "taken.mp4");
    for (const StatusRow& row : kStatusRows) {
        SCOPED_TRACE(::testing::PrintToString(row.Args));
        std::vector<std::string> args = row.Args;
        for (std::string& arg : args) {
            arg = arg == "FILE" ? file : arg == "FULL" ? full : arg == "CROWD" ? crowd : arg;
            if (arg.starts_with("DIR/")) arg = dir.Path().string() + arg.substr(3);
        }
        const RunResult r =
            RunBinary(args, {PP_SOURCE_DIR,
                             row.Env,
                             {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "XDG_RUNTIME_DIR"}});
        const auto holds = [](const std::string& text, const std::string& part) {
            return part.empty() ? text.empty() : text.find(part) != std::string::npos;
        };
        EXPECT_EQ(r.Status, row.Status) << r.Err;
        EXPECT_TRUE(holds(r.Out, row.Out)) << r.Out;
        // A line of our own, or one of check's about a file of the row.
        const bool ours =
            r.Err.starts_with("particleplayer") || r.Err.starts_with(dir.Path().string());
        EXPECT_TRUE(holds(r.Err, row.Err) && r.ErrLines() == !row.Err.empty() &&
                    (row.Err.empty() || ours))
            << r.Err;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 5);
}

// A player copied without its video module, and one beside a file of the module's name that is
// none: each says so in one line and exits 1, and writes nothing.
TEST(Cli, AVideoWithoutItsModuleFailsWithTheReason) {
    testing::TempDir dir;
    const std::filesystem::path program = dir.Path() / "particleplayer";
    std::filesystem::copy_file(PP_BINARY_DIR "/app/particleplayer", program);
    const std::pair<const char*, const char*> rows[] = {
        {nullptr, "the video module is missing (looked for "},
        {"not a module", "cannot load the video module "},
    };
    for (const auto& [module, message] : rows) {
        SCOPED_TRACE(message);
        if (module != nullptr) dir.Write("particleplayer-video.so", module);
        const std::string out = (dir.Path() / "c.gif").string();
        const RunResult r =
            RunBinary({"render", "--frames", "1", "--fps", "30", "--out", out},
                      {PP_SOURCE_DIR, {"SDL_VIDEODRIVER=offscreen"}, {}, {}, program.string()});
        EXPECT_EQ(r.Status, 1) << r.Err;
        EXPECT_TRUE(r.Err.starts_with("particleplayer render: ") &&
                    r.Err.find(message) != std::string::npos && r.ErrLines() == 1)
            << r.Err;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

// simulate's line for each frame, as the engine replayed in-process gives it: seeded, the area
// shapes named, loaded at the clock's start, updated every 16 ms. With `started`, the last
// frame only, each particle marked with the number of the effect it was started as.
std::string Replay(const std::string& file, uint32_t start, int32_t x, int32_t y, uint32_t seed,
                   int frames, bool started) {
    VirtualClock clock(start);
    Engine engine(clock);
    SeedRandom(engine.Random, seed);
    FillAreaTypes(engine);
    LoadEffect(engine, file, x, y);
    std::string out;
    for (int k = 1; k <= frames; ++k) {
        clock.Set(start + 16 * k);
        const float dt = UpdateParticles(engine);
        if (started && k < frames) continue;
        out += "{\"frame\": " + std::to_string(k) +
               ", \"time\": " + std::to_string(static_cast<int32_t>(start + 16 * k)) + ", \"dt\": ";
        AppendJsonFloat(out, dt);
        out += ", \"particles\": [";
        const char* sep = "";
        ListVisit(engine.Emitters, [&](Emitter& e) {
            ListVisit(e.Particles, [&](const Particle& p) {
                out += std::exchange(sep, ", ");
                AppendParticleJson(out, std::bit_cast<particleplayer::Particle>(p));
                if (started) out.back() = ',', out += e.SubEffectDepth > 0 ? " 0]" : " -1]";
            });
        });
        out += "]}\n";
    }
    return out;
}

// simulate matches the replay, also across the clock's wrap past 2^32; with --started the
// started effects' particles follow the file's own, each marked with its effect.
TEST(Cli, SimulateMatchesTheEngineReplayedAlsoAcrossTheClocksWrapAndMarksStartedEffects) {
    testing::TempDir dir;
    const std::string file =
        dir.Write("e.txt",
                  "EmitterArea = {Type = Circle, Width = 50}, EmissionRate = {Min = 20, Max = "
                  "200}, LifeTime = {Min = 0.05, Max = 0.6, Inc = 0.01}, Acceleration = {3, 40},"
                  "Size = {Value = 20, Blur = 10}, Raise = -30, Rotation = {Min = -4, Max = 4},"
                  "Fade = -300, Sprite = {Min = 1, Max = 3}");
    for (const uint32_t start : {1000u, 4294966800u}) {
        const RunResult r =
            RunBinary({"simulate", file, "--at", "320,-40", "--seed", "4242", "--frames", "45",
                       "--print", "all", "--clock-start", std::to_string(start)});
        ASSERT_EQ(r.Status, 0) << r.Err;
        const std::string expected = Replay(file, start, 320, -40, 4242, 45, false);
        EXPECT_GT(std::count(expected.begin(), expected.end(), '['), 500);
        EXPECT_EQ(r.Out, expected) << "start " << start;
    }
    const std::string spark = dir.Write("spark.txt", "LifeTime = 0.3, Size = 3");
    const std::string parent =
        dir.Write("p.txt", "EmissionRate = 30, LifeTime = 0.2, OnDeath = {Effect = " + spark +
                               ", Count = 4}, OnBirth = {Effect = " + spark + ", Count = 1}");
    const RunResult r =
        RunBinary({"simulate", parent, "--seed", "9", "--frames", "40", "--started", "--quiet"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const std::string expected = Replay(parent, 1000, 0, 0, 9, 40, true);
    const std::regex mark(" 0\\]");  // a particle of a started effect
    EXPECT_GT(std::distance(std::sregex_iterator(expected.begin(), expected.end(), mark), {}), 10);
    EXPECT_EQ(r.Out, expected);
}

// inspect's JSON puts each started effect under its own key, with its parameters when known.
TEST(Cli, InspectShowsEachStartedEffectUnderItsKey) {
    particleplayer::StartedEffect sub;
    sub.Extras.Spin = 90;
    sub.File = "fx/\"sp\\ark\"\x01\xC3\xA9\xFF\xE2\x82.txt";  // escaped, UTF-8 kept
    particleplayer::EffectExtras with;
    with.OnDeath = {true, 30, 1, 0};
    with.OnBirth = {true, 1, 0, 5};  // a number the lookup does not know: the number alone
    std::string out;
    AppendEffectJson(out, particleplayer::EffectParams{}, with, [&](int32_t number) {
        return number == 0 ? particleplayer::Result<particleplayer::StartedEffect>{sub, ""}
                           : particleplayer::Result<particleplayer::StartedEffect>{{}, "none"};
    });
    EXPECT_NE(out.find("\"OnBirth\": {\"Effect\": 5, \"Count\": 1, \"Inherit\": 0}, \"OnDeath\": "
                       "{\"Effect\": 0, \"File\": "
                       "\"fx/\\\"sp\\\\ark\\\"\\u0001\xC3\xA9\\ufffd\\ufffd\\ufffd.txt\", "
                       "\"Count\": 30, \"Inherit\": 1, \"Params\": {\"Disable\": 0"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\"Spin\": 90, "), std::string::npos) << out;
}

}  // namespace
}  // namespace pp
