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
#include "particles/looks.h"
#include "platform/quad_geometry.h"
#include "runtime/convert.h"
#include "tests/effects/temp_dir.h"

namespace particleplayer {
namespace {

template <class T>
bool SameBytes(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

template <class T>
bool SameBytes(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

// Each text against the same text as a file, in the source tree, with the Fade it leaves.
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
        World fromText, fromFile;
        const Result<Effect> a = fromText.LoadEffectText(row.Text, 40, 50);
        const Result<Effect> b = fromFile.LoadEffectFile(dir.Write("effect.txt", row.Text), 40, 50);
        ASSERT_TRUE(a.Ok() && b.Ok()) << a.Error << b.Error;
        EXPECT_EQ(fromText.Params(a.Value).Value.Fade, row.Fade);
        EXPECT_TRUE(SameBytes(fromText.Params(a.Value).Value, fromFile.Params(b.Value).Value));
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
    // Halves that round to even, turns, sizes 0 and negative, huge and NaN values, bytes over.
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

// Quads of effects with optional keys: the plain quad of the curves' size and transparency, with
// the particle's colour and sprite sheet cell.
TEST(World, VertexArrayCarriesTheLooksOfTheOptionalKeys) {
    World rich;
    World plain;
    pp::Emitter* e = WorldAccess::EmitterOf(rich, rich.LoadEffectText("", 0, 0).Value);
    pp::Emitter* reference = WorldAccess::EmitterOf(plain, plain.LoadEffectText("", 0, 0).Value);
    ASSERT_TRUE(e != nullptr && reference != nullptr);
    e->Extras.Colour = {255.0f, 64.0f, 0.0f};
    e->Extras.ColourOverLife.Count = 2;
    e->Extras.ColourOverLife.Time = {0.0f, 1.0f};
    e->Extras.ColourOverLife.Value[0] = {255.0f, 255.0f, 255.0f};
    e->Extras.ColourOverLife.Value[1] = {128.0f, 255.0f, 255.0f};
    e->Extras.SizeOverLife.Count = 2;
    e->Extras.SizeOverLife.Time = {0.0f, 1.0f};
    e->Extras.SizeOverLife.Value = {{{1.0f}, {3.0f}}};
    e->Extras.TransparencyOverLife.Count = 1;
    e->Extras.TransparencyOverLife.Value[0] = {0.5f};
    e->Extras.SpriteSheet = {3, 2, 6, 0.0f, 0};
    const pp::Particle hand[] = {
        {1, 10.0f, 100.0f, 200.0f, 0, 0, 255.0f, 0, 0.0f, 0},
        {1, 7.0f, 97.5f, 98.5f, 0, 0, 127.0f, 0, 45.0f, 0},
        {2, 0.2f, 10.0f, 10.0f, 0, 0, 300.0f, 0, 0.0f, 0},
        {2, 5.0f, 1.5f, 2.5f, 0, 0, NAN, 0, -90.0f, 0},
    };
    const pp::ParticleLife lives[] = {{0, 1000.0f, 0, 0.0f, 0},
                                      {0, 1000.0f, 0, 0.5f, 4},
                                      {0, 1000.0f, 0, 1.0f, 5},
                                      {0, 1000.0f, 0, 0.25f, 2}};
    std::vector<pp::ParticleLooks> looks;
    for (size_t i = 0; i < 4; ++i) {
        *pp::ListInsert(e->Particles) = hand[i];
        *pp::ListInsert(e->Life) = lives[i];
        looks.push_back(pp::LooksOf(e->Extras, hand[i], lives[i]));
        pp::Particle same = hand[i];
        same.Size = looks.back().Size;
        same.Transparency = looks.back().Transparency;
        *pp::ListInsert(reference->Particles) = same;
    }
    VertexArray built, expected;
    ASSERT_TRUE(BuildVertices(rich, built).Ok());
    ASSERT_TRUE(BuildVertices(plain, expected).Ok());
    ASSERT_EQ(built.Vertices.size(), 6u * 4u);  // the third shows at 0.2 x 3 = 0.6 -> 1
    ASSERT_EQ(expected.Vertices.size(), built.Vertices.size());
    for (size_t k = 0; k < built.Vertices.size(); ++k) {
        const Vertex& v = built.Vertices[k];
        const Vertex& w = expected.Vertices[k];
        const pp::ParticleLooks& l = looks[k / 6];
        EXPECT_TRUE(v.X == w.X && v.Y == w.Y && v.Alpha == w.Alpha) << k;
        EXPECT_TRUE(v.Red == l.Red && v.Green == l.Green && v.Blue == l.Blue) << k;
        EXPECT_EQ(v.U, w.U == 0.0f ? l.Cell.U0 : l.Cell.U1) << k;
        EXPECT_EQ(v.V, w.V == 0.0f ? l.Cell.V0 : l.Cell.V1) << k;
    }
    EXPECT_EQ(built.Vertices[6].Red, 192);        // 255 * 191.5 / 255 -> 191.5 -> 192
    EXPECT_EQ(built.Vertices[6].U, 1.0f / 3.0f);  // frame 4: column 1, row 1
    EXPECT_EQ(built.Vertices[6].V, 0.5f);
}

}  // namespace
}  // namespace particleplayer

namespace particleplayer {
namespace {

// Removed effects, by the host or by the engine's AutoRemove, leave handles that every call
// refuses, even once a new effect has taken the removed one's memory; the others keep their
// particles and order, and effects started by particles count in ParticleCount and outlive their
// starter.
TEST(World, RemovedEffectsLeaveDeadHandlesAndStartedEffectsCount) {
    pp::testing::InFolder root(PP_SOURCE_DIR);
    WorldOptions options;
    options.Seed = 5;
    World world(options);
    const Effect firework = world.LoadEffectFile("examples/effects/Firework.txt", 400, 500).Value;
    const Effect gone = world.LoadEffectText("Disable = 1", 0, 0).Value;
    WorldAccess::EmitterOf(world, gone)->AutoRemove = 1;  // no effect text sets it
    const Effect kept = world.LoadEffectText("EmissionRate = 50", 10, 10).Value;
    const Effect removed = world.LoadEffectText("EmissionRate = 50", 20, 20).Value;
    for (int i = 0; i < 120; ++i) {
        world.AdvanceTime(16);
        world.Update();
    }
    std::vector<Particle> particles, keptBefore;
    int64_t own = 0;
    for (const Effect e : {firework, kept, removed}) {
        world.Particles(e, particles);
        own += static_cast<int64_t>(particles.size());
    }
    EXPECT_GT(world.ParticleCount(), own) << "the bursts' particles are not counted";
    world.Particles(kept, keptBefore);
    ASSERT_TRUE(world.RemoveEffect(removed).Ok());
    ASSERT_TRUE(world.RemoveEffect(firework).Ok());
    const Effect later = world.LoadEffectText("", 0, 0).Value;
    EXPECT_EQ(later.Id, 5u) << "Ids are never given out again";
    EXPECT_EQ(WorldAccess::EngineOf(world).Emitters.Last(), WorldAccess::EmitterOf(world, later))
        << "a new effect goes behind every other";
    EXPECT_GT(world.ParticleCount(), static_cast<int64_t>(keptBefore.size()))
        << "the started bursts outlive the firework";
    std::vector<uint32_t> ids;
    for (const Effect e : world.Effects()) ids.push_back(e.Id);
    EXPECT_EQ(ids, (std::vector<uint32_t>{kept.Id, later.Id}));
    world.Particles(kept, particles);
    EXPECT_TRUE(SameBytes(particles, keptBefore));
    for (const Effect dead : {gone, removed, firework}) {
        SCOPED_TRACE(dead.Id);
        EXPECT_FALSE(world.Params(dead).Ok());
        EXPECT_FALSE(world.Particles(dead, particles).Ok());
        EXPECT_FALSE(world.SetPosition(dead, 1, 1).Ok());
        EXPECT_FALSE(world.SetSpriteRange(dead, 1, 1, 1).Ok());
        EXPECT_FALSE(world.RemoveEffect(dead).Ok());
    }
}

// Each optional key lands in its own public field; no keys give the defaults.
TEST(World, ExtrasGiveTheOptionalKeys) {
    pp::testing::InFolder root(PP_SOURCE_DIR);
    const struct {
        const char* Text;
        void (*Want)(EffectExtras&);
    } rows[] = {
        {"", [](EffectExtras&) {}},
        {"Colour = {10, 20, 30}",
         [](EffectExtras& x) {
             x.Colour = {10, 20, 30};
         }},
        {"SpriteSheet = {4, 2, 6, 12, 1}",
         [](EffectExtras& x) {
             x.SheetColumns = 4, x.SheetRows = 2, x.SheetFrames = 6, x.SheetRate = 12;
             x.SheetRandom = 1;
         }},
        {"Burst = {Count = 5, Interval = 0.5, Repeat = 3},\nDuration = 2,\nDrag = 0.5,\nSpin = 9",
         [](EffectExtras& x) {
             x.BurstCount = 5, x.BurstInterval = 0.5f, x.BurstRepeat = 3, x.Duration = 2;
             x.Drag = 0.5f, x.Spin = 9;
         }},
        {"SizeOverLife = {0 = 0.5, 1 = 2},\nColourOverLife = {0.5 = {1, 2, 3}}",
         [](EffectExtras& x) {
             x.SizeOverLife.Count = 2, x.SizeOverLife.Time[1] = 1;
             x.SizeOverLife.Value[0] = {0.5f}, x.SizeOverLife.Value[1] = {2};
             x.ColourOverLife.Count = 1, x.ColourOverLife.Time[0] = 0.5f;
             x.ColourOverLife.Value[0] = {1, 2, 3};
         }},
        {"OnDeath = {Effect = Data\\Feuer.txt, Count = 6, Inherit = 1}",
         [](EffectExtras& x) {
             x.OnDeath = {true, 6, 1};
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Text);
        World world;
        const Result<EffectExtras> got = world.Extras(world.LoadEffectText(row.Text, 0, 0).Value);
        EffectExtras want;
        row.Want(want);
        ASSERT_TRUE(got.Ok());
        EXPECT_TRUE(got.Value == want);
        EXPECT_FALSE(world.Extras({2}).Ok());
    }
}

}  // namespace
}  // namespace particleplayer
