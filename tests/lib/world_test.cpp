// The public world API: effect texts against the same texts as files, worlds side by side,
// errors as values, and the vertex array against a plain computation of the renderer's quads.
#include "particleplayer/world.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "lib/world_access.h"
#include "particleplayer/vertices.h"
#include "platform/quad_geometry.h"
#include "runtime/convert.h"
#include "tests/effects/temp_dir.h"

namespace particleplayer {
namespace {

template <class T>
bool SameBytes(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// An empty vector's data() may be null, which memcmp must not be given.
template <class T>
bool SameBytes(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

// Each text against the same text as a file, in the source tree (where the scene's effects name
// their parents), with the Fade it leaves (the default is 0).
TEST(World, EffectTextGivesWhatTheSameFileGives) {
    pp::testing::TempDir dir;
    pp::testing::InFolder root(PP_SOURCE_DIR);
    const std::string parent =
        dir.Write("parent.txt", "Size = {Min = 3, Max = 9, Inc = 2},\nFade = -40\n");
    const struct {
        std::string Text;
        float Fade;
    } rows[] = {
        {"", 0.0f},
        {"Extends = " + parent + ",\nRaise = 7", -40.0f},
        {"Extends = Data\\Basis\\Glut.txt,\nEmitterArea = {Type = Circle, Width = 30}", -160.0f},
        {"Sprite = {Min = 2, Max = 5},\nEmitterPosition = {12.5, -3},\nFade = 1.5,\nLayer = 1",
         1.5f},
        {std::string("Fade = 4,\0Fade = 8", 18), 4.0f},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Text);
        World fromText;
        World fromFile;
        const Result<Effect> a = fromText.LoadEffectText(row.Text, 40, 50);
        const Result<Effect> b = fromFile.LoadEffectFile(dir.Write("effect.txt", row.Text), 40, 50);
        ASSERT_TRUE(a.Ok() && b.Ok()) << a.Error << b.Error;
        const EffectParams params = fromText.Params(a.Value).Value;
        EXPECT_EQ(params.Fade, row.Fade);
        EXPECT_TRUE(SameBytes(params, fromFile.Params(b.Value).Value));
    }
}

// The second world runs other frames in between, drawing on its own generator.
TEST(World, WorldsSideBySideGiveWhatOneGivesAlone) {
    pp::testing::InFolder root(PP_SOURCE_DIR);
    WorldOptions options;
    options.Seed = 7;
    World alone(options), first(options), second(options);
    for (World* w : {&alone, &first, &second}) {
        ASSERT_TRUE(w->LoadEffectFile("Data\\Feuer.txt", 300, 400).Ok());
        ASSERT_TRUE(
            w->LoadEffectText("EmissionRate = 90,\nRotation = {Min = 1, Max = 9}", 10, 20).Ok());
    }
    for (uint32_t t = 1016; t <= 3000; t += 16) {
        alone.SetTime(t);
        alone.Update();
        second.SetTime(t + 5);
        second.Update();
        first.SetTime(t);
        first.Update();
        second.SetTime(t + 9);
        second.Update();
    }
    ASSERT_GT(alone.ParticleCount(), 0);
    std::vector<Particle> a, b;
    for (const Effect effect : alone.Effects()) {
        alone.Particles(effect, a);
        first.Particles(effect, b);
        EXPECT_TRUE(SameBytes(a, b)) << "effect " << effect.Id;
    }
}

// Calls the C interface has no row for; a failed load creates no effect unless asked to.
TEST(World, EveryCallReportsBadArgumentsAsErrors) {
    pp::testing::TempDir dir;
    World world;
    std::vector<Particle> particles;
    const std::string missing = (dir.Path() / "missing.txt").string();
    const struct {
        const char* What;
        std::string Error;
    } rows[] = {
        {"params of effect 9", world.Params({9}).Error},
        {"particles of effect 0", world.Particles({0}, particles).Error},
        {"empty path", world.LoadEffectFile("", 0, 0).Error},
        {"folder", world.LoadEffectFile(dir.Path().string(), 0, 0).Error},
        {"huge text", world.LoadEffectText(std::string(2u << 20, ' '), 0, 0).Error},
    };
    for (const auto& row : rows) EXPECT_FALSE(row.Error.empty()) << row.What;
    EXPECT_TRUE(world.Effects().empty()) << "a failed load created an effect";
    const Result<Effect> kept = world.LoadEffectFile(missing, 0, 0, MissingFile::UseNameAsText);
    EXPECT_FALSE(kept.Ok());
    EXPECT_EQ(kept.Value.Id, 1u);
}

// The renderer's quads written plainly: the library's cos and sin, one particle at a time.
void ReferenceVertices(World& world, int32_t layer, int32_t ox, int32_t oy, VertexArray& out) {
    const int order[6] = {0, 1, 2, 2, 1, 3};
    for (const Effect effect : world.Effects()) {
        const EffectParams params = world.Params(effect).Value;
        if (params.Layer != layer) continue;
        std::vector<Particle> particles;
        world.Particles(effect, particles);
        for (const Particle& p : particles) {
            const float half = p.Size * 0.5f;
            const int32_t size = pp::RoundToInt(p.Size);
            const float left =
                static_cast<float>(pp::RoundToInt(static_cast<float>(ox) + p.X - half));
            const float top =
                static_cast<float>(pp::RoundToInt(static_cast<float>(oy) + p.Y - half));
            const pp::QuadCorners c =
                pp::ReferenceQuadCorners(size, size, pp::QuadAngleRadians(p.Angle, 0.0f, 0));
            bool shows = size != 0;
            for (const pp::QuadCorner& k : c) {
                shows = shows && std::isfinite(k.X + left) && std::isfinite(k.Y + top);
            }
            if (!shows) continue;
            const auto alpha = static_cast<uint8_t>(pp::RoundToInt(p.Transparency) & 0xFF);
            const bool joins = !out.Runs.empty() && out.Runs.back().Sprite == p.Sprite &&
                               out.Runs.back().BlendSource == params.BlendSource &&
                               out.Runs.back().BlendDestination == params.BlendDestination;
            if (joins) {
                out.Runs.back().Count += 6;
            } else {
                out.Runs.push_back({p.Sprite, params.BlendSource, params.BlendDestination,
                                    static_cast<uint32_t>(out.Vertices.size()), 6});
            }
            for (const int k : order) {
                out.Vertices.push_back({c[k].X + left, c[k].Y + top, static_cast<float>(k & 1),
                                        static_cast<float>(k >> 1), 255, 255, 255, alpha});
            }
        }
    }
}

TEST(World, VertexArrayMatchesThePlainComputation) {
    World world;
    const Effect a = world.LoadEffectText("BlendingMode = {2, 2},", 0, 0).Value;
    const Effect b = world.LoadEffectText("Layer = 1", 0, 0).Value;
    const Effect c = world.LoadEffectText("", 0, 0).Value;
    // Hand particles: halves that round to even, turns, sizes 0 and negative, huge and NaN
    // values, transparencies beyond a byte.
    const Particle hand[] = {
        {1, 32.0f, 100.0f, 200.0f, 0, 0, 255.0f, 0, 0.0f, 0},
        {1, 33.0f, 97.5f, 98.5f, 0, 0, 127.5f, 0, 45.0f, 0},
        {2, 0.4f, 10.0f, 10.0f, 0, 0, 300.0f, 0, 0.0f, 0},
        {2, 7.5f, -3.25f, 1e9f, 0, 0, -1.0f, 0, 359.0f, 0},
        {2, -6.0f, 50.0f, 50.0f, 0, 0, 256.0f, 0, -90.0f, 0},
        {3, 1e30f, 0.0f, 0.0f, 0, 0, 1.0f, 0, 30.0f, 0},
        {3, NAN, 0.0f, 0.0f, 0, 0, 1.0f, 0, 0.0f, 0},
        {3, 16.0f, 0.0f, 0.0f, 0, 0, 1.0f, 0, INFINITY, 0},
        {3, 5.0f, 1.5f, 2.5f, 0, 0, 64.4f, 0, 0.001f, 0},
    };
    for (const Effect effect : {a, b, c, a}) {
        pp::Emitter* e = WorldAccess::EmitterOf(world, effect);
        for (const Particle& p : hand)
            *pp::ListInsert(e->Particles) = WorldAccess::EngineParticle(p);
    }
    for (const auto& [layer, ox, oy] : {std::tuple{0, 0, 0}, {1, 0, 0}, {0, 3, -7}, {2, 0, 0}}) {
        VertexArray built, plain;
        ASSERT_TRUE(BuildVertices(world, built, layer, ox, oy).Ok());
        ReferenceVertices(world, layer, ox, oy, plain);
        EXPECT_TRUE(SameBytes(built.Vertices, plain.Vertices)) << "layer " << layer;
        EXPECT_TRUE(SameBytes(built.Runs, plain.Runs)) << "layer " << layer;
    }
}

}  // namespace
}  // namespace particleplayer
