// Checks on the scene's effect files: written so the reader takes every entry as meant, and,
// loaded and run, keeping their particles on the screen in moderate numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "effects/effect_text.h"
#include "effects/loader.h"
#include "particles/particles.h"
#include "runtime/clock.h"
#include "runtime/random.h"

namespace pp {
namespace {

const std::filesystem::path kSourceDir = PP_SOURCE_DIR;

// Every effect file of the folder, the base included.
const char* const kEffectFiles[] = {"Data/Sternchen.txt", "Data/Feuer.txt", "Data/Energie.txt",
                                    "Data/Luftblase.txt", "Data/Basis/Glut.txt"};

const std::set<std::string> kKeys = {"Extends",      "Layer",         "EmitterPosition",
                                     "EmitterArea",  "EmissionAngle", "EmissionVelocity",
                                     "Acceleration", "LifeTime",      "EmissionRate",
                                     "Sprite",       "Size",          "Raise",
                                     "Rotation",     "Transparency",  "Fade",
                                     "BlendingMode", "Disable"};

const char* const kValueSpecKeys[] = {
    "EmissionAngle", "EmissionVelocity", "LifeTime",    "EmissionRate",
    "Size",          "Rotation",         "Transparency"};

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Trim(std::string_view s) {
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(s.substr(first, s.find_last_not_of(' ') - first + 1));
}

// Names of the entries of a list at depth 0; an entry without '=' has the empty name.
std::vector<std::string> EntryNames(std::string_view list) {
    std::vector<std::string> names;
    int depth = 0;
    size_t start = 0;
    size_t equals = std::string_view::npos;
    for (size_t i = 0; i <= list.size(); ++i) {
        const char c = i < list.size() ? list[i] : ',';
        if (c == '{') ++depth;
        if (c == '}') --depth;
        if (depth != 0) continue;
        if (c == '=') equals = i;
        if (c == ',') {
            names.push_back(equals == std::string_view::npos
                                ? std::string()
                                : Trim(list.substr(start, equals - start)));
            start = i + 1;
            equals = std::string_view::npos;
        }
    }
    return names;
}

// The whole text is one decimal number.
bool IsPlainNumber(const std::string& text) {
    if (text.empty()) return false;
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return end != nullptr && *end == '\0' && text.find_first_of("xXnN") == std::string::npos;
}

class EffectFile : public ::testing::TestWithParam<const char*> {
  protected:
    std::string Bytes() const { return ReadFile(kSourceDir / GetParam()); }
    // The effect text as the player reads it: the lines joined without their ends.
    std::string Text() const { return ReadEffectText((kSourceDir / GetParam()).string()).value(); }
};

TEST_P(EffectFile, UsesSpacesAndPlainAsciiLines) {
    const std::string bytes = Bytes();
    ASSERT_FALSE(bytes.empty());
    for (const char c : bytes) {
        EXPECT_TRUE(c == '\n' || (c >= ' ' && c <= '~'))
            << "byte " << static_cast<int>(static_cast<unsigned char>(c));
    }
}

// Line ends vanish when the file is read: a missing comma would join two entries into one
// whose name no key matches.
TEST_P(EffectFile, EveryLineButTheLastEndsWithAComma) {
    const std::string bytes = Bytes();
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t end = bytes.find('\n', start);
        lines.push_back(Trim(bytes.substr(start, end == std::string::npos ? end : end - start)));
        start = end == std::string::npos ? bytes.size() : end + 1;
    }
    ASSERT_FALSE(lines.empty());
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        ASSERT_FALSE(lines[i].empty()) << "empty line " << i + 1;
        EXPECT_EQ(lines[i].back(), ',') << "line " << i + 1 << ": " << lines[i];
    }
    EXPECT_NE(lines.back().back(), ',') << "a trailing comma adds an empty entry";
}

TEST_P(EffectFile, NamesOnlyKnownKeysEachOnceAndLeavesPlacementToThePlayer) {
    const std::string text = Text();
    std::set<std::string> seen;
    for (const std::string& name : EntryNames(text)) {
        EXPECT_EQ(kKeys.count(name), 1u) << "unknown key '" << name << "'";
        EXPECT_TRUE(seen.insert(name).second) << "repeated key " << name;
    }
    // The player sets the position and the sprite of every scene effect itself.
    EXPECT_EQ(seen.count("EmitterPosition"), 0u);
    EXPECT_EQ(seen.count("Sprite"), 0u);
}

// A parameter is a plain number or a block with one complete form; a block with one entry,
// or "Value" without "Range" or "Blur", silently reads as 0.
TEST_P(EffectFile, EveryParameterIsAPlainNumberOrACompleteForm) {
    const std::string text = Text();
    const std::set<std::string> formNames = {"Min", "Max", "Value", "Range", "Blur", "Inc"};
    for (const char* key : kValueSpecKeys) {
        const std::string v = FindEntry(text, std::string(key) + "\\");
        if (v.empty()) continue;
        SCOPED_TRACE(key);
        if (FindEntry(v, "2").empty()) {
            EXPECT_TRUE(IsPlainNumber(v)) << v;
            continue;
        }
        std::set<std::string> names;
        for (const std::string& name : EntryNames(v)) {
            EXPECT_EQ(formNames.count(name), 1u) << "'" << name << "' in " << v;
            names.insert(name);
        }
        const bool minMax = names.count("Min") && names.count("Max");
        const bool range = names.count("Value") && names.count("Range");
        const bool blur = names.count("Value") && names.count("Blur");
        EXPECT_EQ(int{minMax} + int{range} + int{blur}, 1) << v;
        for (const char* name : {"Min", "Max", "Value", "Range", "Blur", "Inc"}) {
            const std::string number = FindEntry(v, name);
            if (names.count(name)) {
                EXPECT_TRUE(IsPlainNumber(number)) << name << " in " << v;
            }
        }
    }
    const std::string area = FindEntry(text, "EmitterArea\\");
    if (!area.empty()) {
        const std::set<std::string> areaNames = {"Type", "Width", "Height", "Angle"};
        for (const std::string& name : EntryNames(area)) {
            EXPECT_EQ(areaNames.count(name), 1u) << "'" << name << "' in " << area;
        }
        const std::set<std::string> types = {"Point",     "Line",   "Square",
                                             "Rectangle", "Circle", "Ellipse"};
        EXPECT_EQ(types.count(FindEntry(area, "Type")), 1u) << area;
    }
    for (const char* key : {"Acceleration\\", "BlendingMode\\"}) {
        const std::string pair = FindEntry(text, key);
        if (pair.empty()) continue;
        EXPECT_EQ(EntryNames(pair).size(), 2u) << key << " " << pair;
        EXPECT_TRUE(IsPlainNumber(FindEntry(pair, "1")) && IsPlainNumber(FindEntry(pair, "2")))
            << key << " " << pair;
    }
}

INSTANTIATE_TEST_SUITE_P(SceneData, EffectFile, ::testing::ValuesIn(kEffectFiles),
                         [](const auto& info) {
                             std::string name = info.param;
                             name = name.substr(name.rfind('/') + 1);
                             return name.substr(0, name.find('.'));
                         });

TEST(SceneData, ExactlyOneFileExtendsAnotherThroughABackslashPath) {
    int extends = 0;
    for (const char* file : kEffectFiles) {
        const std::string path =
            FindEntry(ReadEffectText((kSourceDir / file).string()).value(), "Extends\\");
        if (path.empty()) continue;
        ++extends;
        EXPECT_NE(path.find('\\'), std::string::npos) << path;
        EXPECT_TRUE(std::filesystem::is_regular_file(kSourceDir / EffectOpenPath(path))) << path;
    }
    EXPECT_EQ(extends, 1);
}

// The four effects as the player builds them, on a virtual clock, with the working folder
// at the repository root as the player's would be.
class Scene {
  public:
    explicit Scene(uint32_t seed) : engine_(clock_) {
        SeedRandom(engine_.Random, seed);
        FillAreaTypes(engine_);
        const std::filesystem::path previous = std::filesystem::current_path();
        std::filesystem::current_path(kSourceDir);
        const struct {
            const char* Path;
            int32_t X, Y;
        } rows[] = {{"Data\\Sternchen.txt", 100, 200},
                    {"Data\\Feuer.txt", 600, 500},
                    {"Data\\Energie.txt", 200, 400},
                    {"Data\\Luftblase.txt", 600, 300}};
        int32_t n = 1;
        for (const auto& row : rows) {
            Emitter* e = LoadEffect(engine_, row.Path, row.X, row.Y);
            SetSpriteRange(e, n++, -65535, 1);
            emitters_.push_back(e);
        }
        std::filesystem::current_path(previous);
    }

    void Step(uint32_t ms) {
        clock_.Advance(ms);
        UpdateParticles(engine_);
    }

    const std::vector<Emitter*>& Emitters() const { return emitters_; }

  private:
    VirtualClock clock_{1000};
    Engine engine_;
    std::vector<Emitter*> emitters_;
};

TEST(SceneData, FeuerTakesItsGlowFromTheBaseFile) {
    Scene scene(1);
    const Emitter& feuer = *scene.Emitters()[1];
    // Feuer names no blending, opacity, fade or spin itself: these come from Glut.
    EXPECT_EQ(feuer.BlendSource, 5);
    EXPECT_EQ(feuer.BlendDestination, 2);
    EXPECT_EQ(feuer.Transparency.Min, 195.0f);
    EXPECT_EQ(feuer.Transparency.Max, 255.0f);
    EXPECT_LT(feuer.Fade, 0.0f);
    EXPECT_LT(feuer.Rotation.Min, 0.0f);
    EXPECT_GT(feuer.Rotation.Max, 0.0f);
    // Its own area replaces the base's point.
    EXPECT_EQ(feuer.AreaType, 5);
}

TEST(SceneData, ScenePicksOnlyTheTwoBlendModes) {
    Scene scene(1);
    std::set<std::pair<int32_t, int32_t>> modes;
    for (const Emitter* e : scene.Emitters()) modes.insert({e->BlendSource, e->BlendDestination});
    EXPECT_EQ(modes, (std::set<std::pair<int32_t, int32_t>>{{5, 2}, {5, 6}}));
}

// Ten seconds at three frame rates and two seeds: every particle's square stays on the
// 800 x 600 screen, every effect keeps particles alive, and the total stays moderate.
TEST(SceneData, ParticlesStayOnScreenInModerateNumbers) {
    for (const uint32_t frameMs : {5u, 16u, 33u}) {
        for (const uint32_t seed : {1u, 2u}) {
            SCOPED_TRACE(testing::Message() << frameMs << " ms frames, seed " << seed);
            Scene scene(seed);
            int worst = 0;
            for (uint32_t t = 0; t < 10000; t += frameMs) {
                scene.Step(frameMs);
                size_t total = 0;
                for (Emitter* e : scene.Emitters()) {
                    ListRewind(e->Particles);
                    while (const Particle* p = ListNext(e->Particles)) {
                        ++total;
                        const float half = p->Size * 0.5f;
                        const bool inside = p->X - half >= 0.0f && p->X + half <= 800.0f &&
                                            p->Y - half >= 0.0f && p->Y + half <= 600.0f;
                        if (!inside && worst++ < 5) {
                            ADD_FAILURE() << "emitter at " << e->PositionX << "," << e->PositionY
                                          << ": particle at " << p->X << "," << p->Y << " size "
                                          << p->Size << " t " << t;
                        }
                    }
                    // After the first seconds every effect shows something at every moment.
                    if (t >= 3000) {
                        EXPECT_GE(e->Particles.Count(), 5) << e->PositionX;
                    }
                }
                if (t >= 3000) {
                    EXPECT_GE(total, 150u) << t;
                    EXPECT_LE(total, 1500u) << t;
                }
            }
        }
    }
}

}  // namespace
}  // namespace pp
