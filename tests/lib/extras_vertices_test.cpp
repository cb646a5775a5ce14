// The vertex array of effects with optional keys: the quads of particles drawn with their
// curves' size and transparency, their colour and their sprite sheet cell.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "lib/world_access.h"
#include "particleplayer/vertices.h"
#include "particles/looks.h"

namespace particleplayer {
namespace {

TEST(ExtrasVerticesTest, QuadsCarryTheLooksOfTheirParticles) {
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
        // The plain quad of the same size and transparency.
        pp::Particle same = hand[i];
        same.Size = looks.back().Size;
        same.Transparency = looks.back().Transparency;
        *pp::ListInsert(reference->Particles) = same;
    }
    VertexArray built;
    VertexArray expected;
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
