// The public world API: worlds side by side, errors as values, removal, the optional keys, and
// the vertex array against a plain computation of the renderer's quads.
#include "particleplayer/world.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

#include "geometry/quad_geometry.h"
#include "lib/world_access.h"
#include "particleplayer/vertices.h"
#include "particles/looks.h"
#include "runtime/convert.h"
#include "tests/effects/temp_dir.h"
#include "tests/lib/loaded_effect.h"
#include "tests/runtime/cpu_path_helpers.h"

namespace particleplayer {
namespace {

// The second world runs other frames in between, drawing on its own generator; the first runs
// on three threads, over enough particles for them to share the work, the second on two (after
// one per hardware thread). An effect the engine removes leaves a dead handle on any count.
TEST(World, WorldsSideBySideGiveWhatOneGivesAloneOnAnyThreadCount) {
    pp::testing::InFolder root(PP_SOURCE_DIR);
    WorldOptions options;
    options.Seed = 7;
    World alone(options), first(options), second(options);
    ASSERT_TRUE(first.SetThreads(3).Ok() && second.SetThreads(0).Ok());
    EXPECT_FALSE(first.SetThreads(-1).Ok() || first.SetThreads(257).Ok());
    const int32_t hardware = std::clamp<int32_t>(std::thread::hardware_concurrency(), 1, 256);
    EXPECT_EQ(std::tuple(alone.Threads(), first.Threads(), second.Threads()),
              std::tuple(1, 3, hardware));
    ASSERT_TRUE(second.SetThreads(2).Ok());
    Effect gone;
    for (World* w : {&alone, &first, &second}) {
        gone = w->LoadEffectText("Disable = 1", 0, 0).Value;
        WorldAccess::EmitterOf(*w, gone)->AutoRemove = 1;  // no effect text sets it
        ASSERT_TRUE(w->LoadEffectFile("Data\\Feuer.txt", 300, 400).Ok());
        ASSERT_TRUE(
            w->LoadEffectText("EmissionRate = 90,\nRotation = {Min = 1, Max = 9}", 0, 0).Ok());
        for (int32_t i = 0; i < 12; ++i) {
            const char* crowd = "EmissionRate = 1000,\nLifeTime = {Min = 1.5, Max = 3, Inc = 0.1}";
            ASSERT_TRUE(w->LoadEffectText(crowd, 30 * i, 200).Ok());
        }
    }
    for (uint32_t t = 1016; t <= 3000; t += 16) {
        for (auto [w, at] :
             {std::pair{&alone, t}, {&second, t + 5}, {&first, t}, {&second, t + 9}}) {
            w->SetTime(at);
            w->Update();
        }
    }
    ASSERT_GT(alone.ParticleCount(), 16384);
    for (World* w : {&alone, &first, &second}) EXPECT_FALSE(w->Params(gone).Ok());
    std::vector<Particle> a, b;
    for (const Effect effect : alone.Effects()) {
        alone.Particles(effect, a);
        first.Particles(effect, b);
        EXPECT_TRUE(SameBytes(a, b)) << "effect " << effect.Id;
    }
}

// The optional keys whose looks LooksByTheRules works out by hand.
constexpr const char* kLooks =
    "Colour = {255, 64, 0},\nSizeOverLife = {0 = 1, 1 = 3},\n"
    "ColourOverLife = {0 = {255, 255, 255}, 1 = {128, 255, 255}},\n"
    "TransparencyOverLife = {0 = 0.5},\nSpriteSheet = {3, 2, 6, 0, 0}";

// How a particle of the test's effect with optional keys looks at life fraction t, by the
// documented rules: Colour = {255, 64, 0} times ColourOverLife = {0 = {255, 255, 255}, 1 = {128,
// 255, 255}} / 255 per channel, rounded; SizeOverLife = {0 = 1, 1 = 3}; TransparencyOverLife =
// {0 = 0.5}; frame k of a 3 x 2 sheet in column k mod 3, row k / 3.
pp::ParticleLooks LooksByTheRules(const Particle& p, const pp::ParticleLife& life) {
    const float t = life.Fraction;
    const auto red = static_cast<uint8_t>(pp::RoundToInt(255.0f * (255.0f + -127.0f * t) / 255.0f));
    const auto column = static_cast<float>(life.Frame % 3),
               row = static_cast<float>(life.Frame / 3);
    const pp::SheetCell cell{column / 3.0f, row / 2.0f, (column + 1.0f) / 3.0f,
                             (row + 1.0f) / 2.0f};
    const float size = p.Size * (1.0f + 2.0f * t);
    return {size, p.Transparency * 0.5f, red, 64, 0, cell, size};
}

// An effect whose only key draws quads 0.4 times as wide as they are tall.
constexpr const char* kAspect = "Aspect = 0.4";
// One that draws them 1 + speed / 100 times as long as they are wide, at most 2.5 times.
constexpr const char* kStretch = "Stretch = {0.01, 2.5}";

// The renderer's quads written plainly with the library's cos and sin, one particle at a time,
// in the curves' size, transparency, colour and sheet cell where an effect has Life records.
void ReferenceVertices(World& world, int32_t layer, int32_t ox, int32_t oy, VertexArray& out) {
    const pp::SheetCell whole{0, 0, 1, 1};
    for (const Effect effect : world.Effects()) {
        pp::Emitter* e = WorldAccess::EmitterOf(world, effect);
        std::vector<pp::ParticleLife> lives;
        pp::ListVisit(e->Life, [&](const pp::ParticleLife& l) { lives.push_back(l); });
        std::vector<Particle> particles;
        world.Particles(effect, particles);
        for (size_t i = 0; i < particles.size(); ++i) {
            const Particle& p = particles[i];
            const bool aspect = e->Extras.Aspect != 0.0f;
            const bool stretch = e->Extras.Stretch.Factor != 0.0f;
            const float speed = std::sqrt(p.VelocityX * p.VelocityX + p.VelocityY * p.VelocityY);
            const float length = stretch ? p.Size * std::min(1.0f + 0.01f * speed, 2.5f) : p.Size;
            const float tall = aspect ? p.Size / 0.4f : p.Size;
            const pp::ParticleLooks plain{length, p.Transparency, 255, 255, 255, whole, tall};
            const pp::ParticleLooks l =
                lives.empty() || aspect || stretch ? plain : LooksByTheRules(p, lives[i]);
            const int32_t size = pp::RoundToInt(l.Size);
            const int32_t height = pp::RoundToInt(l.Height);
            const auto left = static_cast<float>(pp::RoundToInt(ox + p.X - l.Size * 0.5f));
            const auto top = static_cast<float>(pp::RoundToInt(oy + p.Y - l.Height * 0.5f));
            const pp::QuadCorners c =
                pp::ReferenceQuadCorners(size, height, pp::QuadAngleRadians(p.Angle, 0.0f, 0));
            bool shows = size != 0 && height != 0 && e->Layer == layer;
            for (const pp::QuadCorner& k : c)
                shows = shows && std::isfinite(k.X + left + k.Y + top);
            if (!shows) continue;
            const auto alpha = static_cast<uint8_t>(pp::RoundToInt(l.Transparency) & 0xFF);
            const VertexRun run{p.Sprite, e->BlendSource, e->BlendDestination,
                                static_cast<uint32_t>(out.Vertices.size()), 6};
            const bool joins = !out.Runs.empty() && std::memcmp(&out.Runs.back(), &run, 12) == 0;
            joins ? void(out.Runs.back().Count += 6) : out.Runs.push_back(run);
            for (const int k : {0, 1, 2, 2, 1, 3}) {
                out.Vertices.push_back({c[k].X + left, c[k].Y + top, k & 1 ? l.Cell.U1 : l.Cell.U0,
                                        k & 2 ? l.Cell.V1 : l.Cell.V0, l.Red, l.Green, l.Blue,
                                        alpha});
            }
        }
    }
}

void ExpectEveryFormIs(World& world, const VertexArray& plain, int32_t layer, int32_t ox,
                       int32_t oy);

// Halves to even, turns, sizes 0 and below, huge and NaN values, bytes over, curves' looks. Each
// effect's first and last quads are of sprite 3, and neighbouring effects differ in one blend
// factor at a time (the last two in neither), so runs split on each of the three alone and join
// across effects.
TEST(World, VertexArrayMatchesThePlainComputation) {
    World world;
    // The velocities matter to the stretched effect alone: none, 50, 500 (held), 100 and one
    // whose square is no float.
    const Particle hand[] = {
        {3, 32.0f, 100.0f, 200.0f, 0, 0, 255.0f, 0, 0.0f, 0},
        {1, 33.0f, 97.5f, 98.5f, 30.0f, -40.0f, 127.5f, 0, 45.0f, 0},
        {2, 0.4f, 10.0f, 10.0f, 300.0f, 400.0f, 300.0f, 0, 0.0f, 0},
        {2, 7.5f, -3.25f, 1e9f, -100.0f, 0, -1.0f, 0, 359.0f, 0},
        {3, -6.0f, 50.0f, 50.0f, 0, 30.0f, 256.0f, 0, -90.0f, 0},
        {3, 1e30f, 0.0f, 0.0f, 0, 1e30f, 1.0f, 0, 30.0f, 0},
        {3, NAN, 0.0f, 0.0f, 0, 0, NAN, 0, 0.0f, 0},
        {3, 0.2f, 0.0f, 0.0f, 0, 0, 1.0f, 0, INFINITY, 0},
    };
    for (const char* text : {"BlendingMode = {2, 6}", "Layer = 1", "BlendingMode = {2, 2}",
                             "BlendingMode = {5, 2}", kLooks, kAspect, kStretch, ""}) {
        pp::Emitter* e = WorldAccess::EmitterOf(world, world.LoadEffectText(text, 0, 0).Value);
        for (int i = 0; i < 8; ++i) {
            *pp::ListInsert(e->Particles) = WorldAccess::EngineParticle(hand[i]);
            if (text == kLooks || text == kAspect || text == kStretch)
                *pp::ListInsert(e->Life) = {0, 1000.0f, 0, 0.25f * (i % 5), i % 6};
        }
    }
    for (const auto& [layer, ox, oy] : {std::tuple{0, 0, 0}, {1, 0, 0}, {0, 3, -7}}) {
        VertexArray plain;
        ReferenceVertices(world, layer, ox, oy, plain);
        pp::OnEachCpuPath(pp::AvailableCpuPaths(),
                          [&] { ExpectEveryFormIs(world, plain, layer, ox, oy); });
        EXPECT_TRUE(layer != 0 || plain.Runs.size() == 7u * 4u - 3u) << "the last four join";
    }
}

// The corners of an instance by the formulas its header gives a vertex shader.
Vertex InstanceCorner(const QuadInstance& q, int k) {
    const float r = q.Side - 0.5f;
    const float b = q.Height - 0.5f;
    const float x = (k & 1) != 0 ? r : -0.5f;
    const float y = (k & 2) != 0 ? b : -0.5f;
    const float u = (k & 1) != 0 ? q.U1 : q.U0, w = (k & 2) != 0 ? q.V1 : q.V0;
    Vertex v{x + q.Left, y + q.Top, u, w, q.Red, q.Green, q.Blue, q.Alpha};
    if (q.Sin != 0.0f) {
        const float cx = (((-0.5f + r) + -0.5f) + r) * 0.25f;
        const float cy = (((-0.5f + -0.5f) + b) + b) * 0.25f;
        v.X = ((q.Cos * (x - cx) - q.Sin * (y - cy)) + cx) + q.Left;
        v.Y = ((q.Sin * (x - cx) + q.Cos * (y - cy)) + cy) + q.Top;
    }
    return v;
}

// Every form of the layer's quads against the plain six-vertex array: the vertices, the four
// corners with the index list, and the instances expanded as the shader expands them.
void ExpectEveryFormIs(World& world, const VertexArray& plain, int32_t layer, int32_t ox,
                       int32_t oy) {
    VertexArray built;
    IndexedVertexArray indexed;
    indexed.Indices = {7, 7, 7};  // a stale list is made right
    InstanceArray instances;
    ASSERT_TRUE(BuildVertices(world, built, layer, ox, oy).Ok());
    ASSERT_TRUE(BuildIndexedVertices(world, indexed, layer, ox, oy).Ok());
    ASSERT_TRUE(BuildInstances(world, instances, layer, ox, oy).Ok());
    EXPECT_TRUE(SameBytes(built.Vertices, plain.Vertices) && SameBytes(built.Runs, plain.Runs))
        << layer;
    VertexArray fromIndices, fromInstances;
    for (const uint32_t i : indexed.Indices) fromIndices.Vertices.push_back(indexed.Vertices.at(i));
    for (const QuadInstance& q : instances.Instances)
        for (const int k : {0, 1, 2, 2, 1, 3})
            fromInstances.Vertices.push_back(InstanceCorner(q, k));
    fromIndices.Runs = indexed.Runs;
    fromInstances.Runs = instances.Runs;
    for (VertexRun& run : fromInstances.Runs)
        run = {run.Sprite, run.BlendSource, run.BlendDestination, run.First * 6, run.Count * 6};
    EXPECT_EQ(indexed.Vertices.size() * 6, indexed.Indices.size() * 4);
    EXPECT_TRUE(SameBytes(fromIndices.Vertices, plain.Vertices) &&
                SameBytes(fromIndices.Runs, plain.Runs))
        << layer;
    EXPECT_TRUE(SameBytes(fromInstances.Vertices, plain.Vertices) &&
                SameBytes(fromInstances.Runs, plain.Runs))
        << layer;
}

// A crowd large enough for the threads to share the building, beside an emitter with optional
// keys between plain ones: the same arrays on one, two and three threads and every vector path,
// and those of the plain computation.
TEST(World, VertexFormsAreThePlainComputationsOnAnyThreadCount) {
    pp::testing::InFolder root(PP_SOURCE_DIR);
    WorldOptions options;
    options.Seed = 3;
    World world(options);
    for (int32_t i = 0; i < 24; ++i) {
        const std::string text =
            i == 2 ? std::string("EmissionRate = 1000,\nRotation = {Min = -4, Max = 4},\n") + kLooks
                   : "EmissionRate = 1000,\nLifeTime = 20,\nRotation = {Min = -4, Max = 4}";
        ASSERT_TRUE(world.LoadEffectText(text, 30 * i, 300).Ok());
    }
    for (int i = 0; i < 150; ++i) {
        world.AdvanceTime(16);
        world.Update();
    }
    ASSERT_GT(world.ParticleCount(), 3 * 16384);
    VertexArray plain;
    ReferenceVertices(world, 0, 2, 5, plain);
    for (const int32_t threads : {1, 2, 3}) {
        ASSERT_TRUE(world.SetThreads(threads).Ok());
        pp::OnEachCpuPath(pp::AvailableCpuPaths(),
                          [&] { ExpectEveryFormIs(world, plain, 0, 2, 5); });
    }
}

// Removed effects, by the host or by the engine's AutoRemove, and handles never given out are
// refused by every call; the others keep their particles and order, effects started by particles
// count, a failed load asked to keep its effect keeps it and a file that cannot be applied again
// leaves it as it was (one named with backslashes applies). Removing all drops the started
// effects and their numbers too and starts the world anew.
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
        own += world.Particles(e, particles).Ok() ? std::ssize(particles) : 0;
        EXPECT_EQ(world.ParticleCount(e).Value, std::ssize(particles)) << e.Id;
    }
    EXPECT_GT(world.ParticleCount(), own) << "the bursts' particles are not counted";
    // Every particle: the host's effects' in load order, then the bursts', marked with their
    // number, whose file the started effect names.
    std::vector<Particle> all, hosts;
    std::vector<int32_t> startedAs;
    world.AllParticles(all, &startedAs);
    for (const Effect e : {firework, kept, removed}) {
        world.Particles(e, particles);
        hosts.insert(hosts.end(), particles.begin(), particles.end());
    }
    ASSERT_EQ(std::ssize(all), world.ParticleCount());
    ASSERT_EQ(startedAs.size(), all.size());
    EXPECT_TRUE(SameBytes(std::vector<Particle>(all.begin(), all.begin() + own), hosts));
    EXPECT_EQ(std::count(startedAs.begin(), startedAs.begin() + own, -1), own);
    EXPECT_EQ(std::count(startedAs.begin() + own, startedAs.end(), 0), std::ssize(all) - own);
    EXPECT_EQ(world.StartedEffectOf(0).Value.File, "examples/effects/FireworkBurst.txt");
    world.Particles(kept, keptBefore);
    const EffectParams keptParams = world.Params(kept).Value;
    EXPECT_EQ(world.ReapplyEffectFile(kept, "/no/such/file.txt", 0, 0).Kind, ErrorKind::File);
    const EffectParams keptAfter = world.Params(kept).Value;
    EXPECT_EQ(std::memcmp(&keptAfter, &keptParams, sizeof keptParams), 0);
    EXPECT_TRUE(world.ReapplyEffectFile(kept, "Data\\Feuer.txt", 10, 10).Ok());
    ASSERT_TRUE(world.RemoveEffect(removed).Ok() && world.RemoveEffect(firework).Ok());
    const Result<Effect> later =
        world.LoadEffectFile("/no/such/file.txt", 0, 0, MissingFile::UseNameAsText);
    EXPECT_TRUE(!later.Ok() && later.Value.Id == 5u) << "Ids are never given out again";
    EXPECT_EQ(WorldAccess::EngineOf(world).Emitters.Last(),
              WorldAccess::EmitterOf(world, later.Value))
        << "a new effect goes behind every other";
    EXPECT_GT(world.ParticleCount(), std::ssize(keptBefore)) << "the bursts outlive the firework";
    const std::vector<Effect> effects = world.Effects();
    EXPECT_TRUE(effects.size() == 2 && effects[0].Id == kept.Id && effects[1].Id == 5u);
    world.Particles(kept, particles);
    EXPECT_TRUE(SameBytes(particles, keptBefore));
    // A dead handle is a bad argument, whatever else the call would check (the file here).
    for (const Effect dead : {gone, removed, firework, Effect{0}, Effect{9}}) {
        const auto refused = [](const auto& outcome) {
            return !outcome.Ok() && outcome.Kind == ErrorKind::Argument;
        };
        EXPECT_TRUE(refused(world.Params(dead)) && refused(world.Particles(dead, particles)) &&
                    refused(world.Extras(dead)) && refused(world.SetPosition(dead, 1, 1)) &&
                    refused(world.SetSpriteRange(dead, 1, 1, 1)) &&
                    refused(world.RemoveEffect(dead)) &&
                    refused(world.SetEmissionRate(dead, 1, 1, 1)) &&
                    refused(world.SetDisabled(dead, true)) && refused(world.ParticleCount(dead)) &&
                    refused(world.SetForcePoint(dead, false, 1, 1)) &&
                    refused(world.ReapplyEffectFile(dead, "/no/such/file.txt", 0, 0)))
            << dead.Id;
    }
    // The host's changes to a live effect land in its parameters, by the setting rule.
    ASSERT_TRUE(world.SetEmissionRate(kept, 7, -65535, 0).Ok() &&
                world.SetDisabled(kept, true).Ok());
    const EffectParams changed = world.Params(kept).Value;
    EXPECT_TRUE(changed.Disable == 1 && changed.EmissionRate.Min == 7 &&
                changed.EmissionRate.Max == 7 && changed.EmissionRate.Inc == 1);
    // A moved force point is on the screen, the other force untouched; a point beyond the
    // file's blocks brings the ones before it into use, and no key has a ninth.
    ASSERT_TRUE(world.SetForcePoint(kept, true, 40, -5).Ok() &&
                world.SetForcePoint(kept, true, 7, 8, 2).Ok());
    EXPECT_FALSE(world.SetForcePoint(kept, true, 1, 1, 8).Ok() ||
                 world.SetForcePoint(kept, true, 1, 1, -1).Ok());
    const pp::ExtraParams& forces = WorldAccess::EmitterOf(world, kept)->Extras;
    EXPECT_TRUE(forces.Vortex.Points[0] == (pp::ForcePoint{40, -5, 0, 0, 0, 1}) &&
                forces.Vortex.Points[2] == (pp::ForcePoint{7, 8, 0, 0, 0, 1}) &&
                forces.Vortex.Count == 3 && forces.Attractor == pp::ForceList{});
    world.RemoveAllEffects();
    EXPECT_TRUE(world.ParticleCount() == 0 && world.Effects().empty() && !world.Params(kept).Ok() &&
                !world.StartedEffectOf(0).Ok());
    EXPECT_EQ(world.LoadEffectText("", 0, 0).Value.Id, 6u);
    world.AdvanceTime(100);
    EXPECT_EQ(world.Update(), 0.0f) << "the first update of a world made anew";
}

// The vertex array of an effect with an end size and start and end colours draws each quad
// with the looks its Motion record gives: its side, colour and opacity.
TEST(World, VertexArraysDrawTheMotionLooks) {
    WorldOptions options;
    options.Seed = 3;
    World world(options);
    const char* text =
        "EmissionRate = 40, LifeTime = {Min = 0.5, Max = 1.5, Inc = 0.1}, Angle = 0, EndSize = 4, "
        "StartColour = {255, 128, 0, 200}, StartColourVariance = {0, 60, 0, 40}, EndColour = {0, "
        "0, 255, 100}";
    pp::Emitter* e = WorldAccess::EmitterOf(world, world.LoadEffectText(text, 300, 200).Value);
    int64_t quads = 0;
    for (uint32_t t = 1016; t <= 2500; t += 16) {
        world.SetTime(t);
        world.Update();
        VertexArray built;
        ASSERT_TRUE(BuildVertices(world, built, 0, 0, 0).Ok());
        ASSERT_EQ(e->Motion.Count(), e->Particles.Count());
        ASSERT_EQ(built.Vertices.size(), static_cast<size_t>(e->Particles.Count()) * 6);
        for (int32_t i = 0; i < e->Particles.Count(); ++i) {
            const pp::ParticleLooks l = pp::LooksOf(e->Extras, e->Particles.First()[i],
                                                    e->Life.First()[i], e->Motion.First() + i);
            const Vertex& v = built.Vertices[static_cast<size_t>(i) * 6];
            const Vertex& right = built.Vertices[static_cast<size_t>(i) * 6 + 1];
            ASSERT_EQ(
                (std::vector<int>{v.Red, v.Green, v.Blue, v.Alpha}),
                (std::vector<int>{l.Red, l.Green, l.Blue, pp::RoundToInt(l.Transparency) & 0xFF}));
            ASSERT_EQ(right.X - v.X, static_cast<float>(pp::RoundToInt(l.Size)));
            ++quads;
        }
    }
    EXPECT_GT(quads, 1000);
}

// Each optional key lands in its own public field, the keys not given keep their defaults.
TEST(World, ExtrasGiveTheOptionalKeys) {
    pp::testing::InFolder root(PP_SOURCE_DIR);
    World world;
    const char* text =
        "Colour = {10, 20, 30},\nSpriteSheet = {4, 2, 6, 12, 1},\nDuration = 2,\nDrag = 0.5,\n"
        "Spin = 9,\nBurst = {Count = 5, Interval = 0.5, Repeat = 3},\nSizeOverLife = {1 = 2},\n"
        "ColourOverLife = {0.5 = {1, 2, 3}},\nOnDeath = {Effect = Data\\Feuer.txt, Count = 6, "
        "Inherit = 1},\nOrbitSpin = {Value = 90, Blur = 10, Inc = 5},\nEndSize = -3,\n"
        "StartColourVariance = {9, 8},\nEndColour = {1, 2, 3, 4},\nMaxAlive = 12,\nAttached = 1";
    EffectExtras x;
    x.OrbitSpin = {true, 80, 100, 5}, x.EndSize = {true, 0, 0, 1};
    x.StartColourVariance = {true, {9, 8, 0, 0}}, x.EndColour = {true, {1, 2, 3, 4}};
    x.MaxAlive = 12, x.Attached = 1;
    x.Colour = {10, 20, 30};
    x.SheetColumns = 4, x.SheetRows = 2, x.SheetFrames = 6, x.SheetRate = 12, x.SheetRandom = 1;
    x.BurstCount = 5, x.BurstInterval = 0.5f, x.BurstRepeat = 3, x.Duration = 2, x.Drag = 0.5f;
    x.Spin = 9, x.SizeOverLife.Count = 1, x.SizeOverLife.Time[0] = 1, x.SizeOverLife.Value[0] = {2};
    x.ColourOverLife.Count = 1, x.ColourOverLife.Time[0] = 0.5f,
    x.ColourOverLife.Value[0] = {1, 2, 3};
    x.OnDeath = {true, 6, 1, 0};
    EXPECT_TRUE(world.Extras(world.LoadEffectText(text, 0, 0).Value).Value == x);
    // The started effect is the file as loading gives it at (0, 0); no other number has one.
    const EffectParams file =
        world.Params(world.LoadEffectFile("Data\\Feuer.txt", 0, 0).Value).Value;
    const Result<StartedEffect> started = world.StartedEffectOf(0);
    ASSERT_TRUE(started.Ok());
    EXPECT_EQ(std::memcmp(&started.Value.Params, &file, sizeof file), 0);
    EXPECT_TRUE(started.Value.Extras == EffectExtras{});
    EXPECT_FALSE(world.StartedEffectOf(1).Ok());
    EXPECT_FALSE(world.StartedEffectOf(-1).Ok());
}

// Sprite files: numbered from the world's first number in the order loading meets them, one
// number per file, each relative to the file that names it; a given sprite wins, a default
// only for effects without an image; the base folder or a load's folder opens the relative
// effect paths; the last SpriteFile of a chain counts; RemoveAllEffects forgets the files.
TEST(World, SpriteFilesAreNumberedPerFileAndGivenSpritesWin) {
    pp::testing::TempDir dir;
    std::filesystem::create_directories(dir.Path() / "fx" / "sub");
    dir.Write("fx/sub/parent.txt", "SpriteFile = p.png");
    dir.Write("fx/extending.txt", "Extends = sub/parent.txt");
    dir.Write("fx/spark.txt", "SpriteFile = spark.png, Prewarm = 0.5, EmissionRate = 50");
    dir.Write("fx/fire.txt", "SpriteFile = art\\fire.png, OnDeath = {Effect = spark.txt}");
    dir.Write("fx/child.txt", "Extends = fire.txt, SpriteFile = /abs/own.png, Sprite = 7");
    dir.Write("fx/plain.txt", "Sprite = 3");
    const std::string fx = (dir.Path() / "fx").string();
    WorldOptions options;
    options.BaseFolder = fx;
    options.FirstSpriteFileNumber = 50;
    World world(options);
    const IntValueRange given{9, kSameAsMin, 1};
    LoadOptions asGiven, unlessFile;
    asGiven.Sprite = given;
    unlessFile.SpriteUnlessFile = given;
    const Effect fire = world.LoadEffectFile("fire.txt", 0.5f, 1.5f).Value;
    const Effect spark = world.LoadEffectFile("spark.txt", 0, 0, unlessFile).Value;
    const Effect sparkGiven = world.LoadEffectFile("spark.txt", 0, 0, asGiven).Value;
    const Effect plain = world.LoadEffectFile("plain.txt", 0, 0, unlessFile).Value;
    const Effect child = world.LoadEffectFile("child.txt", 0, 0).Value;
    const Effect text = world.LoadEffectText("SpriteFile = spark.png", 0, 0).Value;
    const Effect extending = world.LoadEffectFile("extending.txt", 0, 0).Value;
    const std::vector<SpriteFile> files = world.SpriteFiles();
    ASSERT_EQ(files.size(), 4u);
    const SpriteFile want[] = {{50, fx + "/art/fire.png"},
                               {51, fx + "/spark.png"},
                               {52, "/abs/own.png"},
                               {53, fx + "/sub/p.png"}};
    for (size_t i = 0; i < files.size(); ++i)
        EXPECT_TRUE(files[i].Number == want[i].Number && files[i].Path == want[i].Path) << i;
    const struct {
        Effect Of;
        int32_t Sprite;
        std::string File;
    } rows[] = {{fire, 50, fx + "/art/fire.png"},   {spark, 51, fx + "/spark.png"},
                {sparkGiven, 9, fx + "/spark.png"}, {plain, 9, ""},
                {child, 52, "/abs/own.png"},        {extending, 53, fx + "/sub/p.png"},
                {text, 51, fx + "/spark.png"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Of.Id);
        const EffectParams params = world.Params(row.Of).Value;
        EXPECT_TRUE(params.Sprite.Min == row.Sprite && params.Sprite.Max == row.Sprite);
        EXPECT_EQ(world.Extras(row.Of).Value.SpriteFile, row.File);
        std::vector<Particle> particles;
        ASSERT_TRUE(world.Particles(row.Of, particles).Ok());
        for (const Particle& p : particles)
            EXPECT_EQ(p.Sprite, row.Sprite) << "a prewarm's particle";
    }
    EXPECT_TRUE(world.Params(fire).Value.PositionX == 0.5f &&
                world.Params(fire).Value.PositionY == 1.5f);
    const Result<StartedEffect> started = world.StartedEffectOf(0);
    ASSERT_TRUE(started.Ok()) << "the sub-effect opened from the base folder";
    EXPECT_TRUE(started.Value.Params.Sprite.Min == 51 &&
                started.Value.Extras.SpriteFile == fx + "/spark.png");
    LoadOptions elsewhere;
    elsewhere.Folder = dir.Path().string();
    EXPECT_FALSE(world.LoadEffectFile("fire.txt", 0, 0, elsewhere).Ok())
        << "not in the load's folder";
    EXPECT_TRUE(world.LoadEffectFile("fx/plain.txt", 0, 0, elsewhere).Ok());
    EXPECT_TRUE(world.ReapplyEffectFile(plain, "spark.txt", 0, 0, asGiven).Ok());
    EXPECT_EQ(world.Params(plain).Value.Sprite.Min, 9);
    world.RemoveAllEffects();
    EXPECT_TRUE(world.SpriteFiles().empty());
    WorldOptions high;
    high.FirstSpriteFileNumber = 1 << 30;
    World held(high);
    const Effect last = held.LoadEffectText("SpriteFile = a.png", 0, 0).Value;
    EXPECT_EQ(held.Params(last).Value.Sprite.Min, (1 << 20) - 1024) << "below the tables' end";
    // A list: numbered as single files are; SpriteMode 1 gives each particle one of them,
    // 2 image min(n - 1, floor(t n)) at life fraction t; 0 the first alone, as one file does.
    World listed(options);
    const std::string list = "SpriteFile = {spark.png, art\\fire.png, two.png}, LifeTime = 1, ";
    const Effect modes[] = {listed.LoadEffectText(list + "SpriteMode = 0", 0, 0).Value,
                            listed.LoadEffectText(list + "SpriteMode = 1", 0, 0).Value,
                            listed.LoadEffectText(list + "SpriteMode = 2", 0, 0).Value};
    ASSERT_EQ(listed.SpriteFiles().size(), 3u);
    EXPECT_EQ(listed.SpriteFiles()[2].Path, fx + "/two.png");
    EXPECT_EQ(listed.Extras(modes[1]).Value.SpriteFiles.size(), 3u);
    EXPECT_EQ(listed.Extras(modes[0]).Value.SpriteFile, fx + "/spark.png");
    std::set<int32_t> drawn[3];
    for (int frame = 0; frame < 90; ++frame) {
        listed.AdvanceTime(16);
        listed.Update();
        for (int mode = 0; mode < 3; ++mode) {
            std::vector<Particle> particles;
            ASSERT_TRUE(listed.Particles(modes[mode], particles).Ok());
            for (const Particle& p : particles) {
                drawn[mode].insert(p.Sprite);
                if (mode != 2) continue;
                const auto age =
                    static_cast<float>(static_cast<int32_t>(listed.Time()) - (p.DeathTime - 1000));
                const int32_t k = std::min(2, static_cast<int32_t>(age / 1000.0f * 3.0f));
                ASSERT_EQ(p.Sprite, 50 + k) << "age " << age;
            }
        }
    }
    EXPECT_EQ(drawn[0], (std::set<int32_t>{50}));
    EXPECT_EQ(drawn[1], (std::set<int32_t>{50, 51, 52}));
    EXPECT_EQ(drawn[2], (std::set<int32_t>{50, 51, 52}));
}

}  // namespace
}  // namespace particleplayer
