// The format reference and the fuzz dictionary name every key the loader reads and show only
// pictures that exist; its picture sources and the gallery's effects load without a finding;
// and what it says of the optional keys at their edges is what inspect, simulate and check do.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <regex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "effects/check_files.h"
#include "effects/effect_text.h"
#include "effects/loader.h"
#include "particleplayer/key_table.h"
#include "particleplayer/world.h"
#include "particles/budget.h"
#include "particles/extra_params.h"
#include "particles/sub_effects.h"
#include "tests/app/run_binary.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

namespace fs = std::filesystem;

// The reference with every run of white space as one space, so that a sentence is found
// whatever its line breaks.
std::string FlatReference() {
    const std::string doc = test::Slurp(fs::path(PP_SOURCE_DIR) / "docs" / "effect-format.md");
    std::string flat;
    for (const char c : doc) {
        const bool space = std::isspace(static_cast<unsigned char>(c)) != 0;
        if (!space || (!flat.empty() && flat.back() != ' ')) flat += space ? ' ' : c;
    }
    return flat;
}

// simulate's lines as the count of particles each lists, then a line end and the output itself.
std::string SimulateSummary(const std::string& out) {
    std::string summary;
    std::size_t line = 0;
    while (line < out.size()) {
        const std::size_t end = std::min(out.find('\n', line), out.size());
        const std::string_view text(out.data() + line, end - line);
        const std::size_t list = text.find("\"particles\": [");
        int particles = 0;
        int depth = 0;
        for (std::size_t i = list + 14; list != std::string_view::npos && i < text.size(); ++i) {
            if (text[i] == '[' && depth++ == 0) ++particles;
            if (text[i] == ']' && depth-- == 0) break;
        }
        summary += (summary.empty() ? "" : " ") + std::to_string(particles);
        line = end + 1;
    }
    return summary + "\n" + out;
}

// The effect as simulate runs it (seed 1, loaded at 1000, a frame every frame_ms), in the
// library's World that simulate runs: per frame "N/S", N the particles simulate lists and S
// those of the effects that particles started, which it does not list.
std::string RunStarted(const fs::path& folder, const std::string& file, int frames,
                       uint32_t frameMs) {
    testing::InFolder in(folder);
    particleplayer::WorldOptions options;
    options.Seed = 1;
    particleplayer::World world(options);
    const particleplayer::Effect effect = world.LoadEffectFile(file, 0, 0).Value;
    std::string summary;
    for (int k = 1; k <= frames; ++k) {
        world.SetTime(1000 + static_cast<uint32_t>(k) * frameMs);
        world.Update();
        const int64_t listed = world.ParticleCount(effect).Value;
        summary += (k == 1 ? "" : " ") + std::to_string(listed) + "/" +
                   std::to_string(world.ParticleCount() - listed);
    }
    return summary + "\n";
}

struct Edge {
    std::string_view Says;                                   // words of the reference
    std::vector<std::pair<std::string, std::string>> Files;  // the first is the one run
    std::vector<std::string> Args;                           // the command, then its options
    std::vector<std::string> Holds;  // fragments of the output in order; "!x": no x anywhere
};

// A row of the table below whose file run is e.txt, beside the `others`.
Edge One(std::string_view says, std::string text, std::vector<std::string> args,
         std::vector<std::string> holds,
         const std::vector<std::pair<std::string, std::string>>& others = {}) {
    Edge row{says, {{"e.txt", std::move(text)}}, std::move(args), std::move(holds)};
    row.Files.insert(row.Files.end(), others.begin(), others.end());
    return row;
}

// Each row: a sentence the reference says, and a run that shows it. simulate runs with seed 1
// and prints every frame, summarised (see SimulateSummary); "started" runs it as RunStarted.
TEST(Docs, TheOptionalKeysAtTheirEdgesDoWhatTheReferenceSays) {
    const std::string still = "EmissionVelocity = 0, LifeTime = 100, ";
    const std::pair<std::string, std::string> lasting{"l.txt",
                                                      "EmissionVelocity = 0, LifeTime = 10"};
    const std::pair<std::string, std::string> brief{"b.txt",
                                                    "EmissionVelocity = 0, LifeTime = 0.01"};
    const std::string flood = "Burst = {Count = 1000, Interval = 0.001}, Size = 0.5, ";
    const std::vector<std::string> flood5 = {"started", "--frames", "5"};
    const std::vector<std::string> inspect = {"inspect"};
    const std::vector<std::string> check = {"check"};
    const Edge rows[] = {
        One("`check` says what was held or dropped", "Burst = {Count = 2, Repeat = 2147483647}",
            check, {"1:30: 'Repeat' 2147483647 is above 1000000: held at 1000000"}),
        One("`Repeat = 2.9` is 2) and `$A` is hexadecimal 10", "Burst = {Count = $A, Repeat = 2.9}",
            inspect, {"\"Burst\": {\"Count\": 10, \"Interval\": 1, \"Repeat\": 2}"}),
        One("`Colour = {255, 255, 255}` alone shows none", "Colour = {255, 255, 255}", inspect,
            {"!Extras"}),
        One("while `Burst = {Count = 0}` shows one, as a block stores its missing entries' "
            "defaults",
            "Burst = {Count = 0}", inspect,
            {"\"Burst\": {\"Count\": 0, \"Interval\": 1, \"Repeat\": 0}"}),
        One("| `Spin` | number | degrees per second, −1e6 to 1e6 |", "Spin = -5e6", inspect,
            {"\"Spin\": -1000000"}),
        One("frames per second (0 to 1000)", "SpriteSheet = {Rate = 5000}", inspect,
            {"\"Rate\": 1000"}),
        One("particles (0 to 1000), seconds (0 to 1e6), bursts (0 to 1e6)",
            "Burst = {5000, 5e6, 5000000}", inspect,
            {"\"Burst\": {\"Count\": 1000, \"Interval\": 1000000, \"Repeat\": 1000000}"}),
        One("| `Duration` | number | seconds, 0 to 1e6 |", "Duration = 2e6", inspect,
            {"\"Duration\": 1000000"}),
        One("| `Prewarm` | number | seconds, at most 10 |", "Prewarm = 30", inspect,
            {"\"Prewarm\": 10"}),
        One("for this many seconds (at most 10)", "Prewarm = 30", check,
            {"'Prewarm' 30 is above 10: held at 10"}),
        One("`SizeOverLife = {0 = {3}, 1 = {}}` is the keys (0, 3) and (1, 1)",
            "SizeOverLife = {0 = {3}, 1 = {}}", inspect, {"\"SizeOverLife\": [[0, 3], [1, 1]]"}),
        One("`SizeOverLife = {0 = {3}, 1 = {}}` is the keys (0, 3) and (1, 1)",
            "SizeOverLife = {0 = {3}, 1 = {}}", check,
            {"!'{3}'", "1:26: the key at time 1 has no value: read as 1"}),
        One("a key without a value reads 1 (white in `ColourOverLife`)",
            "ColourOverLife = {0 = , 1 = {}}", inspect,
            {"\"ColourOverLife\": [[0, 255, 255, 255], [1, 255, 255, 255]]"}),
        One("Negative values are held at 0, so a negative `Repeat` repeats forever",
            "Burst = {Count = 1, Interval = -1, Repeat = -3}", inspect,
            {"\"Burst\": {\"Count\": 1, \"Interval\": 0, \"Repeat\": 0}"}),
        One("`Interval = 0` bursts every millisecond", still + "Burst = {Count = 1, Interval = 0}",
            {"simulate", "--frames", "2"}, {"16 32\n"}),
        One("`Interval = 0.0126` every 13 ms", still + "Burst = {Count = 1, Interval = 0.0126}",
            {"simulate", "--frame-ms", "26"}, {"2\n"}),
        One("with `{Count = 2, Interval = 0.1, Repeat = 4}` a first frame 350 ms after the start "
            "has all 8 particles",
            still + "Burst = {Count = 2, Interval = 0.1, Repeat = 4}",
            {"simulate", "--frames", "2", "--frame-ms", "350"}, {"8 8\n"}),
        One("Of more than 1000 bursts passed in one frame only the last 1000 are emitted; the "
            "others count toward `Repeat`",
            still + "Burst = {Count = 1, Interval = 0.001, Repeat = 1500}",
            {"simulate", "--frames", "2", "--frame-ms", "1600"}, {"1000 1000\n"}),
        One("a frame more than `Duration` after the start emits nothing, whatever fell due before "
            "the end",
            still + "EmissionRate = 1000, Duration = 0.05",
            {"simulate", "--frames", "2", "--frame-ms", "30"}, {"30 30\n"}),
        One("no particle is emitted later than this many seconds after the emitter was created",
            still + "EmissionRate = 1000, Duration = 1e-40", {"simulate", "--frame-ms", "1"},
            {"0\n"}),
        One("(a burst included)", still + "Burst = {Count = 2, Interval = 0.1}, Duration = 0.2",
            {"simulate", "--frame-ms", "5000"}, {"0\n"}),
        One("`EmissionRate = 1000, Duration = 0.125` has 125 particles after one frame of 125 ms",
            still + "EmissionRate = 1000, Duration = 0.125", {"simulate", "--frame-ms", "125"},
            {"125\n"}),
        One("and none after one of 126 ms", still + "EmissionRate = 1000, Duration = 0.125",
            {"simulate", "--frame-ms", "126"}, {"0\n"}),
        One("a negative value is held at 0", "Duration = -2, Colour = {1, 2, 3}", inspect,
            {"\"Duration\": 0,"}),
        // Born at 16, 112, 208, 304 and 416 ms: the 500 ms one would come at 512.
        One("Its clock starts round(`Prewarm` × 1000) ms before the load and moves in steps of 16 "
            "ms",
            still + "EmissionRate = 10, Prewarm = 1, Duration = 0.5", {"simulate"},
            {"5\n", "255, 100016,", "255, 100112,", "255, 100208,", "255, 100304,",
             "255, 100416,"}),
        One("the last one shorter when that span is no multiple of 16",
            still + "EmissionRate = 1000, Prewarm = 0.02", {"simulate", "--frame-ms", "0"},
            {"20\n", "255, 100996,", "255, 101000,", "!255, 100992,"}),
        One("A prewarming emitter starts no `OnBirth` or `OnDeath` effects",
            "EmissionVelocity = 0, LifeTime = 0.01, EmissionRate = 1000, Prewarm = 1, OnDeath = "
            "{Effect = l.txt}",
            {"started"}, {"16/0\n"}, {lasting}),
        One("A started effect joins after the frame that started it and emits its `Count` "
            "particles in the next frame",
            "LifeTime = 0.02, EmissionRate = 1, OnDeath = {Effect = l.txt, Count = 3}",
            {"started", "--frames", "4"}, {"1/0 1/0 0/0 0/3\n"}, {lasting}),
        One("`Count = 0` starts nothing",
            "LifeTime = 0.02, EmissionRate = 1, OnDeath = {Effect = l.txt, Count = 0}",
            {"started", "--frames", "4"}, {"1/0 1/0 0/0 0/0\n"}, {lasting}),
        One("at most 4096 started effects are alive at once", flood + "OnDeath = {Effect = l.txt}",
            flood5, {"0/0 0/4096 0/4096 0/4096 0/4096\n"}, {lasting}),
        One("A started effect whose file sets `Disable` emits nothing, yet counts toward the 4096 "
            "until the next frame removes it",
            flood + "OnBirth = {Effect = d.txt}, OnDeath = {Effect = l.txt}", flood5,
            {"0/0 0/0 0/0 0/0 0/0\n"}, {{"d.txt", "Disable = 1"}, lasting}),
        // Each lives through the frame its particle dies in and goes in the frame after.
        One("The 4096 are counted after the frame's removals, so the effects that end in a frame "
            "make room for the starts of that frame",
            flood + "OnDeath = {Effect = b.txt}", flood5, {"0/0 0/4096 0/0 0/0 0/4096\n"}, {brief}),
        {"`OnDeath = {Effect = ./Splash.txt}` inside `Splash.txt` starts nothing",
         {{"Splash.txt", "OnDeath = {Effect = ./Splash.txt}"}},
         inspect,
         {"\"OnDeath\": {\"Effect\": -1,"}},
        {"`OnDeath = {Effect = ./Splash.txt}` inside `Splash.txt` starts nothing",
         {{"Splash.txt", "OnDeath = {Effect = ./Splash.txt}"}},
         check,
         {"an effect never starts itself, so the loader starts nothing here"}},
        One("the `OnBirth` effect before the `OnDeath` effect, and an effect's own started effects "
            "before it",
            "OnDeath = {Effect = a.txt}, OnBirth = {Effect = c.txt}", inspect,
            {"\"OnBirth\": {\"Effect\": 0, \"File\": \"c.txt\", \"Count\": 1, \"Inherit\": 0, "
             "\"Params\": {",
             "\"Size\": {\"Min\": 7,", "\"OnDeath\": {\"Effect\": 2,", "\"Size\": {\"Min\": 5,",
             "\"OnDeath\": {\"Effect\": 1,", "\"Size\": {\"Min\": 6,"},
            {{"a.txt", "Size = 5, OnDeath = {Effect = b.txt}"},
             {"b.txt", "Size = 6"},
             {"c.txt", "Size = 7"}}),
        One("a value outside its range is held at the nearest end and `check` says so",
            "EndSize = -5", check, {"1:11: 'EndSize' -5 is below 0: held at 0"}),
        One("is skipped before it draws anything; the schedule goes on as if it had happened",
            still + "EmissionRate = 1000, MaxAlive = 50",
            {"simulate", "--frames", "3", "--frame-ms", "100"}, {"50 50 50\n"}),
        One("A particle is then born on the circle of its start radius around its origin, at its "
            "emission angle",
            still + "EmissionRate = 1, EmissionAngle = 90, OrbitRadius = 10, EmitterPosition = "
                    "{100, 50}",
            {"simulate"}, {"[0, 32, 100, 60,"}),
        One("the direction of its speed (0 right, 90 down; 0 for no speed) plus `Angle`",
            "LifeTime = 100, EmissionRate = 1, EmissionAngle = 90, EmissionVelocity = 50, "
            "AlignToMotion = 1, Angle = 30",
            {"simulate"}, {"255, 101016, 120, 0]"}),
        One("a randomised one as `{\"Min\", \"Max\", \"Inc\"}`, a colour as `[R, G, B, A]`",
            "OrbitRadius = {Value = 30, Blur = 5}, EndColour = {1, 2, 3}", inspect,
            {"\"OrbitRadius\": {\"Min\": 25, \"Max\": 35, \"Inc\": 1}, \"EndColour\": [1, 2, 3, "
             "255]}"}),
        One("effects that load alike share a number",
            "OnDeath = {Effect = a.txt}, OnBirth = {Effect = b.txt}", inspect,
            {"\"OnBirth\": {\"Effect\": 0,", "\"OnDeath\": {\"Effect\": 0,"},
            {{"a.txt", "Size = 6"}, {"b.txt", "Size = {6}"}}),
    };
    const std::string reference = FlatReference();
    for (const Edge& row : rows) {
        SCOPED_TRACE(std::string(row.Says));
        EXPECT_NE(reference.find(row.Says), std::string::npos) << "the reference does not say it";
        testing::TempDir dir;
        for (const auto& [name, text] : row.Files) dir.Write(name, text);
        std::vector<std::string> args{row.Args[0], row.Files[0].first};
        args.insert(args.end(), row.Args.begin() + 1, row.Args.end());
        if (row.Args[0] == "started") {
            const auto option = [&row](const char* name, int fallback) {
                const auto at = std::find(row.Args.begin(), row.Args.end(), name);
                return at == row.Args.end() ? fallback : std::stoi(*(at + 1));
            };
            const std::string summary = RunStarted(dir.Path(), row.Files[0].first,
                                                   option("--frames", 1), option("--frame-ms", 16));
            EXPECT_EQ(summary, row.Holds.at(0));
            continue;
        }
        const bool simulate = row.Args[0] == "simulate";
        if (simulate) args.insert(args.end(), {"--seed", "1", "--print", "all"});
        const test::RunResult run = test::RunBinary(args, {.WorkingDir = dir.Path().string()});
        const std::string out = simulate ? SimulateSummary(run.Out) : run.Out;
        std::size_t at = 0;
        for (const std::string& fragment : row.Holds) {
            if (fragment.starts_with('!')) {
                EXPECT_EQ(out.find(fragment.substr(1)), std::string::npos) << fragment << "\n"
                                                                           << out;
                continue;
            }
            const std::size_t found = out.find(fragment, at);
            EXPECT_NE(found, std::string::npos) << fragment << "\n" << out;
            if (found != std::string::npos) at = found + fragment.size();
        }
    }
}

// A sheet's random start frame is drawn after the particle's other draws, even with one frame:
// the first particle is the one without the sheet, the second is not.
TEST(Docs, ARandomStartFrameIsDrawnLastEvenWithOneFrame) {
    EXPECT_NE(FlatReference().find("is drawn even with `Frames = 1`, so such a sheet leaves the "
                                   "first particle as it was but changes the draws of the later "
                                   "ones"),
              std::string::npos);
    testing::TempDir dir;
    dir.Write("plain.txt", "EmissionRate = 1000");
    dir.Write("sheet.txt", "EmissionRate = 1000, SpriteSheet = {Frames = 1, Random = 1}");
    std::vector<std::vector<std::string>> particles;
    for (const char* file : {"plain.txt", "sheet.txt"}) {
        const test::RunResult run =
            test::RunBinary({"simulate", file, "--seed", "1", "--frame-ms", "2"},
                            {.WorkingDir = dir.Path().string()});
        const std::regex particle(R"(\[[^\[\]]*\])");
        particles.emplace_back();
        for (auto it = std::sregex_iterator(run.Out.begin(), run.Out.end(), particle);
             it != std::sregex_iterator(); ++it) {
            particles.back().push_back(it->str());
        }
    }
    ASSERT_EQ(particles[0].size(), 2u);
    ASSERT_EQ(particles[1].size(), 2u);
    EXPECT_EQ(particles[0][0], particles[1][0]);
    EXPECT_NE(particles[0][1], particles[1][1]);
}

TEST(Docs, EveryKeyHasARowEveryPictureExistsAndEveryEffectFileIsClean) {
    const fs::path root(PP_SOURCE_DIR);
    const std::string doc = test::Slurp(root / "docs" / "effect-format.md");
    const std::string dictionary = test::Slurp(root / "fuzz" / "effect.dict");
    for (const particleplayer::KeyInfo& key : particleplayer::EffectKeys()) {
        EXPECT_NE(doc.find("\n| `" + std::string(key.Name) + "` |"), std::string::npos) << key.Name;
        EXPECT_NE(dictionary.find("=\"" + std::string(key.Name) + " = \""), std::string::npos)
            << key.Name << " is not in the fuzz dictionary";
    }
    const std::regex image(R"(!\[[^\]]*\]\(([^)]+)\))");
    for (auto it = std::sregex_iterator(doc.begin(), doc.end(), image);
         it != std::sregex_iterator(); ++it) {
        EXPECT_TRUE(fs::is_regular_file(root / "docs" / (*it)[1].str())) << (*it)[1];
    }
    std::vector<std::string> files;
    for (const fs::path& folder :
         {root / "docs" / "images" / "src", root / "examples" / "effects"}) {
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (entry.path().extension() == ".txt") {
                files.push_back(fs::relative(entry.path(), root).string());
            }
        }
    }
    EXPECT_GE(files.size(), 2u + 26u + 7u + 8u);
    testing::InFolder inRoot(PP_SOURCE_DIR);
    for (const CheckFinding& finding : CheckEffectFiles(files))
        ADD_FAILURE() << FormatFinding(finding);
}

// The limits the reference states, each written from the constant the code holds.
TEST(Docs, TheLimitsAreTheOnesTheCodeHolds) {
    const std::string doc = FlatReference();
    const std::string mib = std::to_string(kMaxEffectChainBytes >> 20) + " MiB of text";
    const std::string phrases[] = {
        std::to_string(kMaxExtendsDepth) + " files, or after " + mib,
        "each file is read up to " + std::to_string(kMaxEffectFileBytes >> 20) + " MiB",
        "`Count` particles (0 to " + std::to_string(kMaxBurstCount) + ")",
        "nest at most " + std::to_string(kMaxSubEffectDepth) + " deep",
        "at most " + std::to_string(kMaxStartedEmitters) + " started effects",
        "at most " + std::to_string(kMaxLifeKeys) + " keys are read",
        kDefaultParticleBudget == 1000000 ? "budget (one million unless" : "a number in words",
    };
    for (const std::string& phrase : phrases) {
        EXPECT_NE(doc.find(phrase), std::string::npos) << phrase;
    }
}

}  // namespace
}  // namespace pp
