// The Particle Designer import: the two readers, the conventions of the mapping, the real
// samples, and files made to hurt.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>

#include "import/gdx_import.h"
#include "import/import_effect.h"
#include "import/import_fields.h"
#include "import/particle_dict.h"
#include "particleplayer/check.h"
#include "particleplayer/world.h"
#include "tests/import/import_test_util.h"

namespace pp {
namespace {

// A .plist holding the given <key>/<value> lines.
std::string Plist(const std::string& entries) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD "
           "PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist "
           "version=\"1.0\">\n<dict>\n" +
           entries + "</dict>\n</plist>\n";
}

std::string Key(const std::string& name, const std::string& value, const char* kind = "real") {
    return "<key>" + name + "</key><" + kind + ">" + value + "</" + kind + ">\n";
}

// Keys "k" = 1 up to about `bytes` bytes.
std::string ManyKeys(std::size_t bytes) {
    std::string entries;
    while (entries.size() < bytes) entries += Key("k", "1");
    return entries;
}

ImportedEffect Import(const std::string& bytes) {
    std::string error;
    auto effect = ImportParticleEffect(bytes, "", &error);
    EXPECT_TRUE(effect) << error;
    return effect.value_or(ImportedEffect{});
}

// The value text of one key of an imported text, or "" when it has none.
std::string Value(const ImportedEffect& effect, const std::string& key) {
    std::istringstream lines(effect.Text);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with(key + " = ")) {
            line = line.substr(key.size() + 3);
            if (line.ends_with(',')) line.pop_back();
            return line;
        }
    }
    return "";
}

bool Found(const ImportedEffect& effect, const std::string& key) {
    for (const ImportFinding& finding : effect.Findings) {
        if (finding.Message.starts_with("'" + key + "'")) return true;
    }
    return false;
}

// The conventions, one file each: what the file says, the key of ours it gives.
TEST(ImportMapping, ConventionsMapExactly) {
    const std::string base = Key("particleLifespan", "2") + Key("maxParticles", "100");
    struct Case {
        std::string Entries, Key, Value;
    } cases[] = {
        // Counter-clockwise with y up is clockwise with y down.
        {Key("angle", "90"), "EmissionAngle", "270"},
        {Key("angle", "30") + Key("angleVariance", "10"), "EmissionAngle",
         "{Value = 330, Blur = 10, Inc = 0.00390625}"},
        // yCoordFlipped -1 reverses the motion.
        {Key("angle", "90") + Key("yCoordFlipped", "-1", "integer"), "EmissionAngle", "90"},
        {Key("gravityx", "10") + Key("gravityy", "-250"), "Acceleration", "{10, 250}"},
        {Key("gravityy", "-250") + Key("yCoordFlipped", "-1", "integer"), "Acceleration",
         "{0, -250}"},
        {Key("speed", "120", "integer"), "EmissionVelocity", "120"},
        // maxParticles / particleLifespan.
        {"", "EmissionRate", "50"},
        {Key("particleLifespanVariance", "0.5"), "LifeTime",
         "{Value = 2, Blur = 0.5, Inc = 0.00024414062}"},
        {Key("duration", "1.5"), "Duration", "1.5"},
        {Key("sourcePositionVariancex", "20") + Key("sourcePositionVariancey", "4"), "EmitterArea",
         "{Type = Rectangle, Width = 40, Height = 8}"},
        {Key("startParticleSize", "40") + Key("finishParticleSize", "10"), "EndSize", "10"},
        {Key("startParticleSize", "40") + Key("finishParticleSizeVariance", "5"), "EndSize",
         "{Min = 0, Max = 5, Inc = 0.0009765625}"},
        {Key("startParticleSize", "10") + Key("finishParticleSize", "-1"), "EndSize", ""},
        // Growing from below a pixel: stored at the finish size, scaled by the curve.
        {Key("startParticleSize", "0") + Key("finishParticleSize", "40"), "SizeOverLife",
         "{0 = 0, 1 = 1}"},
        // 0-1 colours are 0-255, alpha included; the variances too.
        {Key("startColorRed", "1") + Key("startColorGreen", "0.5") + Key("startColorAlpha", "1"),
         "StartColour", "{255, 127.5, 0, 255}"},
        {Key("startColorVarianceRed", "-0.2"), "StartColourVariance", "{51, 0, 0, 0}"},
        {Key("finishColorGreen", "1"), "EndColour", "{0, 255, 0, 0}"},
        {Key("finishColorVarianceAlpha", "1"), "EndColourVariance", "{0, 0, 0, 255}"},
        // Accelerations keep their sign pulling out; the turn flips to our clockwise frame.
        {Key("radialAcceleration", "30") + Key("radialAccelVariance", "5"), "RadialAcceleration",
         "{Value = 30, Blur = 5, Inc = 0.001953125}"},
        {Key("tangentialAcceleration", "30"), "TangentialAcceleration", "-30"},
        {Key("tangentialAcceleration", "30") + Key("yCoordFlipped", "-1", "integer"),
         "TangentialAcceleration", "30"},
        {Key("radialAcceleration", "30") + Key("yCoordFlipped", "-1", "integer"),
         "RadialAcceleration", "-30"},
        // Radial mode: an orbit from maxRadius to minRadius, opposite the angle.
        {Key("emitterType", "1") + Key("maxRadius", "100") + Key("minRadius", "10"),
         "OrbitEndRadius", "10"},
        {Key("emitterType", "1") + Key("maxRadius", "100") + Key("minRadius", "-1"),
         "OrbitEndRadius", ""},
        {Key("emitterType", "1") + Key("rotatePerSecond", "90"), "OrbitSpin", "-90"},
        {Key("emitterType", "1") + Key("rotatePerSecond", "90") +
             Key("yCoordFlipped", "-1", "integer"),
         "OrbitSpin", "90"},
        {Key("emitterType", "1") + Key("angle", "30"), "EmissionAngle", "150"},
        {Key("emitterType", "1") + Key("maxRadius", "5") + Key("maxRadiusVariance", "10"),
         "OrbitRadius", "{Min = 0, Max = 15, Inc = 0.001953125}"},
        {Key("rotationStart", "10") + Key("rotationStartVariance", "4"), "Angle",
         "{Value = 10, Blur = 4, Inc = 0.001953125}"},
        {Key("rotationEnd", "180"), "EndAngle", "180"},
        {"", "Angle", "0"},
        {Key("rotationIsDir", "", "true"), "Angle", ""},
        {Key("rotationIsDir", "", "true") + Key("rotationEnd", "180"), "Spin", "90"},
        {"", "MaxAlive", "100"},
        {Key("positionType", "2", "integer"), "Attached", "1"},
        // GL blend factors: SRC_ALPHA, ONE is glow.
        {Key("blendFuncSource", "770", "integer") + Key("blendFuncDestination", "1", "integer"),
         "BlendingMode", "{5, 2}"},
        // ONE over a texture with its colour multiplied by alpha is SRC_ALPHA over ours.
        {Key("blendFuncSource", "1", "integer") + Key("blendFuncDestination", "771", "integer"),
         "BlendingMode", ""},
        {Key("blendFuncSource", "1", "integer") + Key("blendFuncDestination", "1", "integer"),
         "BlendingMode", "{5, 2}"},
        {Key("blendFuncSource", "774", "integer") + Key("blendFuncDestination", "0", "integer"),
         "BlendingMode", "{9, 1}"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Value(Import(Plist(base + c.Entries)), c.Key), c.Value) << c.Entries;
    }
}

// What our format cannot reproduce gives a finding at the key's line.
TEST(ImportMapping, WhatPlaysOtherwiseIsFoundAtItsLine) {
    const std::string base = Key("particleLifespan", "1") + Key("maxParticles", "100");
    struct Case {
        std::string Entries, Key;
    } cases[] = {
        {Key("rotationIsDir", "", "true") + Key("rotationEndVariance", "30"), "rotationIsDir"},
        {Key("finishParticleSize", "2") + Key("finishParticleSizeVariance", "5") +
             Key("startParticleSize", "40"),
         "finishParticleSize"},
        {Key("minRadius", "-5") + Key("emitterType", "1"), "minRadius"},
        {Key("blendFuncSource", "32769", "integer"), "blendFuncSource"},
        {Key("maxParticles", "300"), "maxParticles"},  // 3.33 ms rounds to 3: 333 a second
        {Key("somethingNew", "1"), "somethingNew"},
    };
    for (const Case& c : cases) {
        const ImportedEffect effect = Import(Plist(c.Entries + base));
        ASSERT_TRUE(Found(effect, c.Key)) << c.Entries << "\n" << effect.Text;
        for (const ImportFinding& finding : effect.Findings) {
            if (finding.Message.starts_with("'" + c.Key + "'")) {
                EXPECT_EQ(finding.Line, 5);
            }
        }
    }
    // Radial-mode keys give nothing in gravity mode, and the other way round.
    EXPECT_EQ(Value(Import(Plist(base + Key("rotatePerSecond", "90"))), "OrbitSpin"), "");
    EXPECT_EQ(Value(Import(Plist(base + Key("emitterType", "1") + Key("radialAcceleration", "9"))),
                    "RadialAcceleration"),
              "");
}

// The rate finding names the interval our emitter rounds to, half to even, as the engine does.
TEST(ImportMapping, TheRateFindingNamesTheRoundedInterval) {
    const struct {
        const char* MaxParticles;
        const char* Says;  // "" for no finding
    } cases[] = {
        {"600", "here one every 2 ms, 500 a second"},    // 1.67 ms
        {"400", "here one every 2 ms, 500 a second"},    // 2.5 ms, to even
        {"1600", "here one every 1 ms, 1000 a second"},  // 0.625 ms, at least 1
        {"250", ""},                                     // 4 ms exactly
    };
    for (const auto& c : cases) {
        const ImportedEffect effect =
            Import(Plist(Key("maxParticles", c.MaxParticles) + Key("particleLifespan", "1")));
        std::string said;
        for (const ImportFinding& finding : effect.Findings) {
            if (finding.Message.starts_with("'maxParticles' / ")) said = finding.Message;
        }
        EXPECT_EQ(said.empty(), *c.Says == '\0') << c.MaxParticles << ": " << said;
        EXPECT_NE(said.find(c.Says), std::string::npos) << c.MaxParticles << ": " << said;
    }
}

// The same effect written as .plist and as .pex gives the same text.
TEST(ImportReaders, PlistAndPexOfOneEffectGiveOneText) {
    const std::string plist = Plist(
        Key("maxParticles", "300", "integer") + Key("particleLifespan", "1.5") +
        Key("particleLifespanVariance", "0.25") + Key("finishParticleSize", "8") +
        Key("finishParticleSizeVariance", "2") + Key("startParticleSize", "32") +
        Key("gravityx", "0") + Key("gravityy", "-40") + Key("sourcePositionx", "160") +
        Key("sourcePositiony", "240") + Key("startColorRed", "1") + Key("startColorAlpha", "0.8") +
        Key("finishColorBlue", "1") + Key("blendFuncSource", "770", "integer") +
        Key("blendFuncDestination", "1", "integer") + Key("angle", "90") +
        Key("textureFileName", "spark.png", "string"));
    const std::string pex =
        "<particleEmitterConfig>\n  <texture name=\"spark.png\"/>\n"
        "  <maxParticles value=\"300\"/>\n  <particleLifeSpan value=\"1.5\"/>\n"
        "  <particleLifespanVariance value=\"0.25\"/>\n  <finishParticleSize value=\"8\"/>\n"
        "  <FinishParticleSizeVariance value=\"2\"/>\n  <startParticleSize value=\"32\"/>\n"
        "  <gravity x=\"0\" y=\"-40\"/>\n  <sourcePosition x=\"160\" y=\"240\"/>\n"
        "  <startColor red=\"1\" green=\"0\" blue=\"0\" alpha=\"0.8\"/>\n"
        "  <finishColor red=\"0\" green=\"0\" blue=\"1\" alpha=\"0\"/>\n"
        "  <blendFuncSource value=\"770\"/>\n  <blendFuncDestination value=\"1\"/>\n"
        "  <angle value=\"90\"/>\n</particleEmitterConfig>";
    const ImportedEffect a = Import(plist), b = Import(pex);
    EXPECT_EQ(a.Text, b.Text);
    EXPECT_EQ(a.SpriteName, "spark.png");
    EXPECT_EQ(b.SpriteName, "spark.png");
    EXPECT_EQ(a.PlaceX, 160);
    EXPECT_EQ(a.PlaceY, 360);  // y up on an 800 x 600 frame
    EXPECT_EQ(b.PlaceY, 360);
    // Effect texts of our own are never taken for the other format.
    for (const char* text : {"Size = 20", "", "  <", "<plistish", "Extends = a.plist"}) {
        EXPECT_FALSE(LooksLikeParticleDict(text)) << text;
    }
    EXPECT_TRUE(LooksLikeParticleDict("\xEF\xBB\xBF  <particleEmitterConfig>"));
}

// The text's numbers read back as the floats the mapping worked out.
TEST(ImportMapping, NumbersReadBackExactly) {
    const ImportedEffect effect = Import(
        Plist(Key("maxParticles", "7", "integer") + Key("particleLifespan", "0.3") +
              Key("speed", "123.456789") + Key("speedVariance", "1e-3") + Key("angle", "1e-7")));
    particleplayer::WorldOptions options;
    options.Seed = 1;
    particleplayer::World world(options);
    const auto loaded = world.LoadEffectText(effect.Text, 0, 0);
    ASSERT_TRUE(loaded.Ok()) << loaded.Error;
    const auto params = world.Params(loaded.Value).Value;
    EXPECT_EQ(params.EmissionRate.Min, static_cast<float>(7 / 0.3));
    EXPECT_EQ(params.LifeTime.Min, 0.3f);
    EXPECT_EQ(params.EmissionVelocity.Min, static_cast<float>(123.456789) - 1e-3f);
    EXPECT_EQ(params.EmissionAngle.Min, static_cast<float>(360 - 1e-7));
}

// Files made to hurt: each is refused in one line, or gives a text that loads, with a
// finding where a value was held.
TEST(ImportHostile, EveryFileRefusedOrHeld) {
    const std::string billion_laughs =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE plist [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
        "\"&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY ext SYSTEM \"/etc/passwd\">]>\n"
        "<plist><dict><key>textureFileName</key><string>&b;&ext;</string>"
        "<key>maxParticles</key><integer>10</integer></dict></plist>";
    struct Case {
        std::string Name, Bytes;
        bool Refused;
        std::string FoundKey;               // a key with a finding, or ""
        std::string Ours = "", Value = "";  // a key of the text it gives, and its value
    } cases[] = {
        {"entities stay unexpanded", billion_laughs, false, ""},
        {"truncated", Plist(Key("maxParticles", "10")).substr(0, 200), true, ""},
        {"no root we know", "<?xml version=\"1.0\"?><svg/>", true, ""},
        {"plist without dict", "<plist><array/></plist>", true, ""},
        {"empty", "", true, ""},
        {"NaN", Plist(Key("particleLifespan", "nan")), false, "particleLifespan"},
        {"inf", Plist(Key("speed", "inf")), false, "speed"},
        {"minus inf", Plist(Key("angle", "-inf")), false, "angle"},
        {"huge maxParticles", Plist(Key("maxParticles", "1e300")), false, "maxParticles"},
        {"negative size", Plist(Key("startParticleSize", "-5")), false, "startParticleSize"},
        {"negative finish size", Plist(Key("finishParticleSize", "-0.5")), false,
         "finishParticleSize"},
        {"text for a number", Plist(Key("speed", "fast", "string")), false, "speed"},
        {"dict for a number", Plist("<key>speed</key><dict/>\n"), false, "speed"},
        {"pex without attributes",
         "<particleEmitterConfig><speed/><gravity x=\"a\"/>"
         "</particleEmitterConfig>",
         false, "gravityx"},
        {"push and its variance past the range together",
         Plist(Key("radialAcceleration", "-999000") + Key("radialAccelVariance", "1380")), false,
         "radialAcceleration"},
        {"orbit past the range together",
         Plist(Key("emitterType", "1") + Key("maxRadius", "1e6") + Key("maxRadiusVariance", "1e6") +
               Key("rotatePerSecond", "9e5") + Key("rotatePerSecondVariance", "9e5")),
         false, "rotatePerSecond"},
        {"10 MB of keys", Plist(ManyKeys(10 << 20)), true, ""},
        // A run of keys just under the size limit is read whole, to its last key.
        {"many keys under the limit",
         Plist(ManyKeys(kMaxImportBytes - 4096) + Key("maxParticles", "5")), false, "", "MaxAlive",
         "5"},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto effect = ImportParticleEffect(c.Bytes, "", &error);
        EXPECT_EQ(!effect, c.Refused) << c.Name;
        if (!effect) {
            EXPECT_FALSE(error.empty()) << c.Name;
            EXPECT_EQ(error.find('\n'), std::string::npos) << c.Name;
            continue;
        }
        EXPECT_LE(c.Bytes.size(), kMaxImportBytes) << c.Name;
        if (!c.FoundKey.empty()) {
            EXPECT_TRUE(Found(*effect, c.FoundKey)) << c.Name;
        }
        if (!c.Ours.empty()) {
            EXPECT_EQ(Value(*effect, c.Ours), c.Value) << c.Name;
        }
        EXPECT_EQ(effect->SpriteName.find("/etc"), std::string::npos) << c.Name;
        EXPECT_LT(effect->SpriteName.size(), 64u) << c.Name;
        SCOPED_TRACE(c.Name);
        test::ExpectNoCheckErrors(effect->Text);
    }
}

// A .plist or .pex loads directly as the text its import gives, naming itself as its sprite
// when it embeds one and the file it names otherwise.
TEST(ImportDirect, WorldLoadsTheFileAsItsImportedText) {
    struct Case {
        const char* File;
        const char* Sprite;  // the sprite file the world lists, in the sample's folder
    } cases[] = {
        {"plist/cocos2d-objc__Comet.plist", "cocos2d-objc__Comet.plist"},
        {"pex/sparrow__sun.pex", "sparrow__sun.pex"},
        {"pex/starling__drugs.pex", "drugs_particle.png"},
    };
    for (const Case& c : cases) {
        const std::filesystem::path path = std::filesystem::path(PP_IMPORT_SAMPLES) / c.File;
        std::string error;
        const auto effect = ImportParticleEffect(test::Slurp(path), c.Sprite, &error);
        ASSERT_TRUE(effect) << error;
        particleplayer::World direct;
        test::ExpectLoadsAsText(direct, path, effect->Text);
        const auto files = direct.SpriteFiles();
        ASSERT_EQ(files.size(), 1u) << c.File;
        EXPECT_EQ(std::filesystem::path(files[0].Path).filename(), c.Sprite) << c.File;
    }
}

// The reference names every key of the table, so a row added is a row documented; the gallery
// has a row for every shared sample (.p files included), with its picture and the import's
// findings of today.
TEST(ImportDocs, TheMappingNamesEveryKeyAndTheGalleryEverySample) {
    const std::string doc =
        test::Slurp(std::filesystem::path(PP_SOURCE_DIR) / "docs" / "import.md");
    for (const ImportField& row : kImportFields) {
        const std::string name(row.Name);
        // The colour variances are named together, as `startColorVariance*`.
        const std::size_t variance = name.find("ColorVariance");
        const bool named =
            doc.find("`" + name + "`") != std::string::npos ||
            (variance != std::string::npos &&
             doc.find("`" + name.substr(0, variance + 13) + "*`") != std::string::npos);
        EXPECT_TRUE(named) << name;
    }
    const std::filesystem::path docs = std::filesystem::path(PP_SOURCE_DIR) / "docs";
    const std::string gallery = test::Slurp(docs / "import-gallery.md");
    for (const auto& entry : std::filesystem::recursive_directory_iterator(PP_IMPORT_SAMPLES)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".plist" && ext != ".pex" && ext != ".p") continue;
        const std::string name =
            entry.path().parent_path().filename().string() + "/" + entry.path().filename().string();
        const std::size_t at = gallery.find("\n| `" + name + "` at ");
        ASSERT_NE(at, std::string::npos) << name;
        const std::string row = gallery.substr(at + 1, gallery.find('\n', at + 1) - at - 1);
        const std::string picture = "images/import/" + entry.path().stem().string() + ".png";
        EXPECT_NE(row.find("(" + picture + ")"), std::string::npos) << row;
        EXPECT_TRUE(std::filesystem::is_regular_file(docs / picture)) << picture;
        const std::string bytes = test::Slurp(entry.path());
        const auto findings = ext == ".p" ? ImportGdxEffect(bytes, nullptr, nullptr)->Findings
                                          : Import(bytes).Findings;
        for (const ImportFinding& finding : findings) {
            EXPECT_NE(row.find("line " + std::to_string(finding.Line) + ": " + finding.Message),
                      std::string::npos)
                << name << ": " << finding.Message;
        }
    }
}

}  // namespace
}  // namespace pp
