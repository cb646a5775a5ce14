// Particles of emitters with optional keys: colours, curves and sprite sheet cells against
// the CPU's looks (white ones: draw_particles_test; on threads: frame_test).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "particles/looks.h"
#include "platform/draw_particles.h"
#include "runtime/clock.h"
#include "tests/platform/platform_test_support.h"

namespace pp {
namespace {

using test::Bgr;
using test::Frame;

class ExtrasDrawTest : public test::OnScreen {
  protected:
    void SetUp() override {
        OnScreen::SetUp();
        // A 4 x 2 sheet of one texel per cell, cell k coloured (255, 32 k, 255).
        std::vector<test::Rgba> cells;
        for (uint8_t k = 0; k < 8; ++k) cells.push_back({255, uint8_t(32 * k), 255, 255});
        ASSERT_TRUE(test::MakeQuadFromPixels(1, 4, 2, cells));
    }
    VirtualClock clock;
    Engine engine{clock};
};

// Each quad its own colour and cell, batched or not, with left-out quads (side 0, NaN corner)
// between them.
TEST_F(ExtrasDrawTest, ColourCurvesAndSheetCellsMatchTheCpu) {
    Emitter* e = CreateEmitter(engine, 0, 0);
    e->Extras.Colour = {200.0f, 255.0f, 100.0f};
    e->Extras.ColourOverLife.Count = 2;
    e->Extras.ColourOverLife.Time = {0.0f, 1.0f};
    e->Extras.ColourOverLife.Value[0] = {255.0f, 255.0f, 255.0f};
    e->Extras.ColourOverLife.Value[1] = {0.0f, 255.0f, 255.0f};
    e->Extras.SizeOverLife.Count = 1;
    e->Extras.SizeOverLife.Value[0] = {2.0f};
    e->Extras.SpriteSheet = {4, 2, 8, 0.0f, 0};
    const struct {
        float X, Fraction;
        int32_t Frame;
    } rows[] = {{100, 0.0f, 0}, {200, 0.5f, 5}, {300, 1.0f, 7}, {400, 0.25f, 3}};
    for (const auto& r : rows) {
        test::AddParticle(e, 1, 5.0f, r.X, 100.0f, 255.0f, 90.0f, r.Fraction, r.Frame);
        test::AddParticle(e, 1, 0.2f, r.X, 100.0f, 255.0f, 0.0f, 0.5f, 1);
        test::AddParticle(e, 1, 5.0f, std::nanf(""), 100.0f, 255.0f, 0.0f, 0.5f, 1);
    }
    for (const bool batching : {true, false}) {
        SetQuadBatching(batching);
        FillScreen(0);
        ASSERT_EQ(BeginQuads(), 1);
        DrawParticles(engine, 0, 0, 0);
        EndQuads();
        SetQuadBatching(true);
        const Frame frame;
        for (const auto& r : rows) {
            const ParticleLooks looks = LooksOf(e->Extras, Particle{}, {0, 1.0f, 0, r.Fraction, 0});
            // Opaque texels times the colour: red and blue the colour's, green the cell's; a
            // square of side 5 doubled by its curve.
            const Bgr expected{looks.Blue, uint8_t(32 * r.Frame), looks.Red};
            const auto left = static_cast<int32_t>(r.X) - 5;
            EXPECT_EQ(frame.CountNot(expected, left, 95, left + 10, 105), 0) << r.Frame;
            EXPECT_EQ(frame.CountNot({0, 0, 0}, left - 20, 75, left + 30, 125), 100) << r.Frame;
        }
    }
}

}  // namespace
}  // namespace pp
