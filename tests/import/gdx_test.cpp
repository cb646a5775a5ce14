// The libGDX .p import: the scaled-value and gradient rules against imported particles, the
// real samples, and files made to hurt.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "../effects/temp_dir.h"
#include "effects/effect_group.h"
#include "import/effect_file.h"
#include "import/gdx_fields.h"
#include "import/gdx_import.h"
#include "import/gdx_reader.h"
#include "particleplayer/check.h"
#include "particleplayer/import.h"
#include "particleplayer/vertices.h"
#include "particleplayer/world.h"
#include "tests/import/import_test_util.h"

namespace pp {
namespace {

namespace fs = std::filesystem;

// A scaled section: fixed low and high, the curve's keys as "time value" pairs.
std::string ScaledSection(const std::string& name, double low, double high,
                          const std::vector<std::pair<double, double>>& keys) {
    std::ostringstream out;
    out << "- " << name << " - \nactive: true\nlowMin: " << low << "\nlowMax: " << low
        << "\nhighMin: " << high << "\nhighMax: " << high
        << "\nrelative: false\nscalingCount: " << keys.size() << "\n";
    for (std::size_t i = 0; i < keys.size(); ++i)
        out << "scaling" << i << ": " << keys[i].second << "\n";
    out << "timelineCount: " << keys.size() << "\n";
    for (std::size_t i = 0; i < keys.size(); ++i)
        out << "timeline" << i << ": " << keys[i].first << "\n";
    return out.str();
}

// libGDX's rule for a curve: linear between the keys, the last value after them.
double CurveAt(const std::vector<std::pair<double, double>>& keys, double t) {
    for (std::size_t i = 1; i < keys.size(); ++i) {
        if (keys[i].first > t) {
            const double f = (t - keys[i - 1].first) / (keys[i].first - keys[i - 1].first);
            return keys[i - 1].second + (keys[i].second - keys[i - 1].second) * f;
        }
    }
    return keys.back().second;
}

// One emitter whose draws are all fixed, so that each value of its one live particle follows
// from its age alone.
struct Rules {
    double LifeMs = 1000, Speed = 90;
    std::vector<std::pair<double, double>> SpeedCurve{{0, 0.5}, {0.5, 1}, {1, 0.2}};
    double DirectionLow = 30, DirectionHigh = 120;  // degrees counter-clockwise, y up
    std::vector<std::pair<double, double>> DirectionCurve{{0, 0}, {0.6, 1}, {1, 0.5}};
    double WindLow = 20, WindHigh = -40, GravityLow = 0, GravityHigh = -80;  // px/s, y up
    std::vector<std::pair<double, double>> WindCurve{{0, 1}, {1, 0}}, GravityCurve{{0, 0}, {1, 1}};
    double SizeLow = 8, SizeHigh = 40;
    std::vector<std::pair<double, double>> SizeCurve{{0, 0.25}, {0.4, 1}, {1, 0.5}};
    double RotationLow = 10, RotationHigh = 100;  // the sprite, counter-clockwise
    std::vector<std::pair<double, double>> RotationCurve{{0, 0}, {0.3, 1}, {1, 0.4}};
    double AlphaLow = 0.2, AlphaHigh = 1;
    std::vector<std::pair<double, double>> AlphaCurve{{0, 1}, {0.7, 0.6}, {1, 0}};
    std::vector<std::array<double, 3>> Tint{{1, 0.5, 0}, {0.2, 0.4, 1}};
    std::vector<double> TintTime{0, 0.6};

    std::string File() const {
        std::ostringstream tint;
        tint << "- Tint - \ncolorsCount: " << Tint.size() * 3 << "\n";
        for (std::size_t i = 0; i < Tint.size() * 3; ++i) {
            tint << "colors" << i << ": " << Tint[i / 3][i % 3] << "\n";
        }
        tint << "timelineCount: " << TintTime.size() << "\n";
        for (std::size_t i = 0; i < TintTime.size(); ++i) {
            tint << "timeline" << i << ": " << TintTime[i] << "\n";
        }
        return "rules\n- Delay -\nactive: false\n- Duration - \nlowMin: 3000.0\nlowMax: 3000.0\n"
               "- Count - \nmin: 0\nmax: 1\n" +
               ScaledSection("Emission", 0, 1, {{0, 1}}) +
               ScaledSection("Life", 0, LifeMs, {{0, 1}}) +
               "- Life Offset - \nactive: false\n- X Offset - \nactive: false\n"
               "- Y Offset - \nactive: false\n- Spawn Shape - \nshape: point\n" +
               ScaledSection("Spawn Width", 0, 0, {{0, 1}}) +
               ScaledSection("Spawn Height", 0, 0, {{0, 1}}) +
               ScaledSection("X Scale", SizeLow, SizeHigh, SizeCurve) +
               "- Y Scale - \nactive: false\n" + ScaledSection("Velocity", 0, Speed, SpeedCurve) +
               ScaledSection("Angle", DirectionLow, DirectionHigh, DirectionCurve) +
               ScaledSection("Rotation", RotationLow, RotationHigh, RotationCurve) +
               ScaledSection("Wind", WindLow, WindHigh, WindCurve) +
               ScaledSection("Gravity", GravityLow, GravityHigh, GravityCurve) + tint.str() +
               ScaledSection("Transparency", AlphaLow, AlphaHigh, AlphaCurve) +
               "- Options - \nattached: false\ncontinuous: true\naligned: false\nadditive: "
               "false\nbehind: false\npremultipliedAlpha: false\nspriteMode: single\n"
               "- Image Paths -\nparticle.png\n\n";
    }
    double Value(double low, double high, const std::vector<std::pair<double, double>>& curve,
                 double t) const {
        return low + (high - low) * CurveAt(curve, t);
    }
    double Channel(std::size_t c, double t) const {
        for (std::size_t i = 1; i < TintTime.size(); ++i) {
            if (TintTime[i] > t) {
                const double f = (t - TintTime[i - 1]) / (TintTime[i] - TintTime[i - 1]);
                return Tint[i - 1][c] + (Tint[i][c] - Tint[i - 1][c]) * f;
            }
        }
        return Tint.back()[c];
    }
};

// The imported particle against the file's rules, frame by frame over its whole life: size,
// transparency, colour, the sprite's angle and the position (y up turned y down).
TEST(GdxRules, ImportedParticlesFollowTheScaledAndGradientRules) {
    const Rules rules;
    std::string error;
    const auto imported = ImportGdxEffect(
        rules.File(), [](std::size_t, std::size_t, std::string_view) { return ""; }, &error);
    ASSERT_TRUE(imported) << error;
    ASSERT_EQ(imported->Emitters.size(), 1u);
    const std::string& text = imported->Emitters[0].Text;
    for (const ImportFinding& finding : imported->Findings) ADD_FAILURE() << finding.Message;
    particleplayer::WorldOptions options;
    options.Seed = 3;
    particleplayer::World world(options);
    const auto loaded = world.LoadEffectText(text, 400, 300);
    ASSERT_TRUE(loaded.Ok()) << loaded.Error;
    int compared = 0;
    // Where libGDX's step puts the particle, from where each new one was first seen.
    double x = 0, y = 0;
    int32_t death = 0;
    for (int frame = 0; frame < 300; ++frame) {
        world.AdvanceTime(10);
        world.Update();
        std::vector<particleplayer::Particle> particles;
        ASSERT_TRUE(world.Particles(loaded.Value, particles).Ok());
        particleplayer::InstanceArray quads;
        ASSERT_TRUE(particleplayer::BuildInstances(world, quads).Ok());
        if (particles.size() != 1 || quads.Instances.size() != 1) continue;
        const particleplayer::Particle& p = particles[0];
        const particleplayer::QuadInstance& q = quads.Instances[0];
        const double age = rules.LifeMs - (p.DeathTime - static_cast<int32_t>(world.Time()));
        const double t = std::clamp(age / rules.LifeMs, 0.0, 1.0);
        SCOPED_TRACE("frame " + std::to_string(frame) + ", life " + std::to_string(t));
        const double size = rules.Value(rules.SizeLow, rules.SizeHigh, rules.SizeCurve, t);
        EXPECT_NEAR(q.Side, size, 1.0);
        const double alpha =
            255 * rules.Value(rules.AlphaLow, rules.AlphaHigh, rules.AlphaCurve, t);
        EXPECT_NEAR(q.Alpha, alpha, 1.5);
        EXPECT_NEAR(q.Red, 255 * rules.Channel(0, t), 1.5);
        EXPECT_NEAR(q.Green, 255 * rules.Channel(1, t), 1.5);
        EXPECT_NEAR(q.Blue, 255 * rules.Channel(2, t), 1.5);
        // Counter-clockwise on a y-up frame is clockwise on ours.
        const double turn =
            -rules.Value(rules.RotationLow, rules.RotationHigh, rules.RotationCurve, t);
        const double drawn = std::atan2(q.Sin, q.Cos) * 180 / std::numbers::pi;
        EXPECT_NEAR(std::remainder(drawn - turn, 360.0), 0.0, 0.5);
        // libGDX's step: speed along the direction, plus wind and gravity, all at the life
        // fraction after the step, for the step's seconds.
        const double speed = rules.Speed * CurveAt(rules.SpeedCurve, t);
        const double rad =
            rules.Value(rules.DirectionLow, rules.DirectionHigh, rules.DirectionCurve, t) *
            std::numbers::pi / 180;
        x += (speed * std::cos(rad) +
              rules.Value(rules.WindLow, rules.WindHigh, rules.WindCurve, t)) *
             0.010;
        y -= (speed * std::sin(rad) +
              rules.Value(rules.GravityLow, rules.GravityHigh, rules.GravityCurve, t)) *
             0.010;
        if (std::exchange(death, p.DeathTime) != p.DeathTime) x = p.X, y = p.Y;
        EXPECT_NEAR(p.X, x, 0.01);
        EXPECT_NEAR(p.Y, y, 0.01);
        ++compared;
    }
    EXPECT_GT(compared, 200);
}

// Every sample imports, each emitter's text passes check without errors and emits, and the
// file loads directly as its one emitter's text, or, holding several, is refused as one effect.
TEST(GdxSamples, EverySampleImportsChecksAndEmits) {
    int samples = 0, emitters = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(PP_IMPORT_SAMPLES) / "p")) {
        if (entry.path().extension() != ".p") continue;
        ++samples;
        const std::string bytes = test::Slurp(entry.path());
        ASSERT_TRUE(LooksLikeGdxEffect(bytes)) << entry.path();
        std::string error;
        // The texts name no sprite here: check would look for it in the working folder.
        const auto imported = ImportGdxEffect(
            bytes, [](std::size_t, std::size_t, std::string_view) { return ""; }, &error);
        ASSERT_TRUE(imported) << error;
        for (const ImportedEffect& effect : imported->Emitters) {
            ++emitters;
            SCOPED_TRACE(entry.path());
            test::ExpectNoCheckErrors(effect.Text);
            particleplayer::WorldOptions options;
            options.Seed = 1;
            particleplayer::World world(options);
            const auto loaded = world.LoadEffectText(effect.Text, 400, 300);
            ASSERT_TRUE(loaded.Ok()) << loaded.Error;
            bool emitted = false;
            for (int frame = 0; frame < 60 && !emitted; ++frame) {
                world.AdvanceTime(16);
                world.Update();
                std::vector<particleplayer::Particle> particles;
                ASSERT_TRUE(world.Particles(loaded.Value, particles).Ok());
                emitted = !particles.empty();
            }
            EXPECT_TRUE(emitted) << entry.path() << "\n" << effect.Text;
        }
        const auto named = ImportGdxEffect(bytes, nullptr, &error);
        ASSERT_TRUE(named) << error;
        particleplayer::World direct;
        if (named->Emitters.size() == 1) {
            test::ExpectLoadsAsText(direct, entry.path(), named->Emitters[0].Text);
        } else {
            const auto several = direct.LoadEffectFile(entry.path().string(), 0, 0);
            EXPECT_EQ(several.Kind, particleplayer::ErrorKind::Argument) << several.Error;
            EXPECT_NE(several.Error.find("LoadEffectGroup"), std::string::npos);
            EXPECT_TRUE(direct.Effects().empty());
        }
    }
    EXPECT_EQ(samples, 9);
    EXPECT_EQ(emitters, 17);
}

// A two-emitter file, loaded directly and through the group file its import writes, plays as
// its emitters' texts loaded one by one in order (the same particles, bit for bit); moving and
// removing the group moves and removes both.
TEST(GdxGroup, TwoEmittersPlayAsOneGroupMovedAndRemovedAsOne) {
    testing::TempDir out;
    const fs::path file = fs::path(PP_IMPORT_SAMPLES) / "p" / "gdxjam__explosion.p";
    const auto imported = particleplayer::ImportEffectFile(file.string());
    ASSERT_TRUE(imported.Ok()) << imported.Error;
    ASSERT_EQ(imported.Value.Texts.size(), 2u);
    for (const auto& text : imported.Value.Texts) out.Write(text.Name + ".txt", text.Text);
    const std::string group = out.Write("explosion.txt", imported.Value.GroupText);
    const auto named = ImportGdxEffect(test::Slurp(file), nullptr, nullptr);
    ASSERT_TRUE(named);
    for (const auto& [path, texts_folder] :
         {std::pair{file.string(), file.parent_path()}, std::pair{group, out.Path()}}) {
        SCOPED_TRACE(path);
        particleplayer::WorldOptions options;
        options.Seed = 5;
        particleplayer::World world(options), plain(options);
        const auto loaded = world.LoadEffectGroup(path, 400, 300);
        ASSERT_TRUE(loaded.Ok()) << loaded.Error;
        ASSERT_EQ(loaded.Value.Members.size(), 2u);
        particleplayer::LoadOptions folder;
        folder.Folder = texts_folder.string();
        for (std::size_t i = 0; i < 2; ++i) {
            const std::string& text =
                path == group ? imported.Value.Texts[i].Text : named->Emitters[i].Text;
            ASSERT_TRUE(plain.LoadEffectText(text, 400, 300, folder).Ok());
        }
        std::vector<particleplayer::Particle> a, b, one;
        for (int frame = 1; frame <= 60; ++frame) {
            world.AdvanceTime(16), plain.AdvanceTime(16);
            world.Update(), plain.Update();
            if (frame == 30) {
                ASSERT_TRUE(world.SetGroupPosition(loaded.Value, 100, 50).Ok());
                plain.SetPosition({1}, 100, 50), plain.SetPosition({2}, 100, 50);
            }
            world.AllParticles(a), plain.AllParticles(b);
            ASSERT_EQ(a.size(), b.size()) << frame;
            EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]), 0) << frame;
        }
        for (const particleplayer::Effect member : loaded.Value.Members) {
            EXPECT_EQ(world.Params(member).Value.PositionX, 100);
            EXPECT_EQ(world.Params(member).Value.PositionY, 50);
            ASSERT_TRUE(world.Particles(member, one).Ok());
            EXPECT_FALSE(one.empty()) << member.Id;
        }
        EXPECT_TRUE(world.RemoveGroup(loaded.Value).Ok());
        EXPECT_TRUE(world.Effects().empty());
        EXPECT_EQ(world.ParticleCount(), 0);
        EXPECT_FALSE(world.RemoveGroup(loaded.Value).Ok());
        EXPECT_FALSE(world.SetGroupPosition(loaded.Value, 1, 1).Ok());
    }
}

// Group files out of shape: what plays, and check's finding at the group file for each member
// left out.
TEST(GdxGroup, HostileGroupFilesLeaveMembersOutWithAFinding) {
    testing::TempDir dir;
    dir.Write("a.txt", "EmissionRate = 10");
    dir.Write("inner.txt", "Group = {a.txt}");
    dir.Write("self.txt", "Group = {self.txt, a.txt}");
    std::string many = "Group = {";
    for (std::size_t i = 0; i <= kMaxGroupMembers; ++i) many += "a.txt,";
    const struct Case {
        std::string Text;
        std::size_t Members;
        std::string Finding;  // the start of check's first finding; "" for none
    } cases[] = {
        {"Group = {a.txt, a.txt}", 2, ""},
        {"Group = {a.txt, missing.txt}", 1, "1:17: 'Group': "},
        {"Group = {a.txt, self.txt}", 1, "1:17: 'Group': "},
        {"Group = {inner.txt}", 0, "1:10: 'Group': "},
        {"Group = a.txt", 0, "1:1: 'Group': wants a list"},
        {"Group = {,}", 0, "1:1: 'Group': lists no effect file"},
        {many + "}", kMaxGroupMembers, "1:394: 'Group': more than 64 members"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        const std::string path = dir.Write("g.txt", c.Text);
        particleplayer::World world;
        const auto loaded = world.LoadEffectGroup(path, 0, 0);
        EXPECT_EQ(loaded.Value.Members.size(), c.Members) << loaded.Error;
        EXPECT_EQ(loaded.Ok(), c.Members > 0);
        // The text alone is a group's: its findings are all about the members.
        EXPECT_TRUE(particleplayer::CheckText(c.Text, path).empty());
        const std::string paths[] = {path};
        const auto findings = particleplayer::CheckFiles(paths);
        if (c.Finding.empty()) {
            EXPECT_TRUE(findings.empty()) << particleplayer::FormatFinding(findings[0]);
        } else {
            ASSERT_FALSE(findings.empty());
            EXPECT_EQ(particleplayer::FormatFinding(findings[0]).find(path + ":" + c.Finding), 0u)
                << particleplayer::FormatFinding(findings[0]);
        }
    }
}

// Files out of shape and sections mapped: each imports (or is refused with a reason), says what
// it met at the line it met it, writes the key text given, and gives texts that check finds no
// error in.
TEST(GdxHostile, EveryFileRefusedOrHeld) {
    const std::string head = "e\n- Delay -\nactive: false\n";
    const std::string second = head + "- Duration -\nlowMin: 1000\nlowMax: 1000\n";
    const std::string ramp = ScaledSection("Emission", 0, 50, {{0, 0}, {1, 1}});
    struct Case {
        std::string Bytes;
        std::string Finding;   // a finding's start, "LINE: text", or "refused"
        std::string Key = "";  // a line of the first emitter's text
    } cases[] = {
        {"", "refused"},
        {"\n\n\n", "refused"},
        {"just words\n", "refused"},
        {head, "1: 'Duration' is missing in emitter 'e'"},
        {head + "- Delay -\n", "4: 'Delay' is repeated"},
        {"- Delay -\n", "1: 'Delay' comes before any emitter's name"},
        {head + "lowMin 5\n", ""},  // a line without ':' names an emitter of its own
        {head + "- Count -\nmin: 2\nmax: 1e30\n", "6: 'Count' max: 1e+30 is held to 1e+09"},
        {head + "- Count -\nmax: nan\n", "5: 'Count' max: 'nan' is no number: read as 4"},
        {head + "- Emission -\nlowMin: 1\nlowMax: 1\nhighMin: 3\nhighMax: 3\nscalingCount: "
                "99999\n",
         "9: 'Emission' scalingCount: 99999 is held to 256"},
        {head + "- Tint -\ncolorsCount: 6\ncolors0: 2\ncolors1: 0\ncolors2: 0\ntimelineCount: "
                "1\ntimeline0: 0\n",
         "4: 'Tint' has 6 colors entries but no colors3"},
        {head + "- Tint -\ncolorsCount: 6\ncolors0: 1\ncolors1: 0\ncolors2: 0\ncolors3: 1\n"
                "colors4: 1\ncolors5: 1\ntimelineCount: 2\ntimeline0: 0.5\ntimeline1: 0.2\n",
         "4: 'Tint' has times outside 0 to 1 or out of order"},
        {head + "- Options -\nattached: maybe\n", "5: 'Options' attached: 'maybe' is neither"},
        {head + "- Options -\nspriteMode: swirl\n", "5: 'Options' spriteMode: 'swirl' is no mode"},
        {head + "- Spawn Shape -\nshape: star\n", "5: 'Spawn Shape' shape: 'star'"},
        {head + "- Wobble -\nx: 1\n", "4: 'Wobble' is no section of this format we know"},
        {head + "- Image Paths -\nC:\\art\\x.png\nD:/y.png\n", ""},
        {"e\r- Delay -\r\n- Count -\rmax: x\r", "4: 'Count' max: 'x' is no number"},
        {head + std::string(5000, 'x') + ": 1\n", ""},
        // Over the duration: the curve is ours, its rate read at each birth here.
        {second + ramp, "7: 'Emission' is read every frame there",
         "EmissionOverDuration = {0 = 0, 1 = 1}"},
        {head + "- Duration -\nlowMin: 0\nlowMax: 0\n" + ramp + "- Options -\ncontinuous: true\n",
         "7: 'Emission' follows a curve over the emitter's duration there: here its mean, as"},
        {second + ScaledSection("Life", 0, 2000, {{0, 1}, {1, 0.5}}), "",
         "LifeOverDuration = {0 = 1, 1 = 0.5}"},
        {second + "- Spawn Shape -\nshape: square\n" +
             ScaledSection("Spawn Width", 0, 100, {{0, 0.5}, {1, 1}}),
         "", "WidthOverDuration = {0 = 0.5, 1 = 1}"},
        {"e\n- Delay -\nactive: true\nlowMin: 500\nlowMax: 500\n- Duration -\nlowMin: 1000\n"
         "lowMax: 1000\n- Options -\ncontinuous: true\n",
         "", "Continuous = 1"},
        {second + ScaledSection("Life Offset", 0, 250, {{0, 1}}) + "- Velocity -\nactive: true\n",
         "7: 'Life Offset' moves particles as far", "LifeOffset = {Min = 0.25, Max = 0.25}"},
        {head + "- X Offset -\nactive: true\nlowMin: 10\nlowMax: 10\n", "",
         "BirthOffsetX = {Min = 10, Max = 10}"},
        {head + "- Y Offset -\nactive: true\nlowMin: 5\nlowMax: 20\n", "",
         "BirthOffsetY = {Min = -20, Max = -5, Step = 0.01}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Bytes.substr(0, 200));
        std::string error;
        const auto imported = ImportGdxEffect(
            c.Bytes, [](std::size_t, std::size_t, std::string_view) { return ""; }, &error);
        if (c.Finding == "refused") {
            EXPECT_FALSE(imported);
            EXPECT_FALSE(error.empty());
            continue;
        }
        ASSERT_TRUE(imported) << error;
        bool found = c.Finding.empty();
        for (const ImportFinding& f : imported->Findings) {
            found = found || (std::to_string(f.Line) + ": " + f.Message).starts_with(c.Finding);
        }
        EXPECT_TRUE(found) << c.Finding;
        EXPECT_NE(imported->Emitters[0].Text.find(c.Key), std::string::npos)
            << imported->Emitters[0].Text;
        for (const ImportedEffect& effect : imported->Emitters)
            test::ExpectNoCheckErrors(effect.Text);
    }
    // Too many emitters: the first ones are kept, with one finding.
    std::string many;
    for (int i = 0; i < 100; ++i) many += "e" + std::to_string(i) + "\n- Delay -\n";
    const auto imported = ImportGdxEffect(many, nullptr, nullptr);
    ASSERT_TRUE(imported);
    EXPECT_EQ(imported->Emitters.size(), kMaxGdxEmitters);
}

// Image paths of the author's machine give the file name the sprite is looked for by; our own
// texts and the XML formats are never taken for a .p file.
TEST(GdxReader, ImageNamesAndRecognition) {
    const auto imported = ImportGdxEffect(
        "e\n- Delay -\n- Image Path -\n\\Dev\\data/fire.png\n\nf\n- Delay -\n- Image Paths -\n"
        "C:\\art\\a.png\nb.png\n\ng\n- Options -\nspriteMode: animated\n- Image Paths -\n"
        "C:\\art\\a.png\nb.png\n\n",
        nullptr, nullptr);
    ASSERT_TRUE(imported);
    ASSERT_EQ(imported->Emitters.size(), 3u);
    // Several images under random or animated: the list, with the mode.
    const ImportedEffect& animated = imported->Emitters[2];
    EXPECT_NE(animated.Text.find("SpriteMode = 2"), std::string::npos);
    EXPECT_NE(animated.Text.find("SpriteFile = {a.png, b.png}"), std::string::npos);
    EXPECT_TRUE(animated.MoreSprites.size() == 1 && animated.MoreSprites[0].Name == "b.png");
    EXPECT_EQ(imported->Emitters[1].Text.find("SpriteMode"), std::string::npos) << "single";
    EXPECT_EQ(imported->Emitters[0].SpriteName, "fire.png");
    EXPECT_NE(imported->Emitters[0].Text.find("SpriteFile = fire.png"), std::string::npos);
    EXPECT_EQ(imported->Emitters[1].SpriteName, "a.png");
    EXPECT_EQ(imported->Names, (std::vector<std::string>{"e", "f", "g"}));
    for (const char* text : {"Size = 20", "", "Name\nSize = 3", "<?xml?>\n- Delay -",
                             "Extends = a.p\n- Delay -", "a\nb\n- Delay -"}) {
        EXPECT_FALSE(LooksLikeGdxEffect(text)) << text;
    }
    EXPECT_TRUE(LooksLikeGdxEffect("\xEF\xBB\xBFname\r\n- Delay - \r\n"));
}

// The reference names every section of the table, so a row added is a row documented.
TEST(GdxDocs, TheSectionTableNamesEverySection) {
    const std::string doc = test::Slurp(fs::path(PP_SOURCE_DIR) / "docs" / "import-libgdx.md");
    for (const GdxSectionSpec& row : kGdxSections) {
        EXPECT_NE(doc.find("`" + std::string(row.Name) + "`"), std::string::npos) << row.Name;
    }
}

}  // namespace
}  // namespace pp
