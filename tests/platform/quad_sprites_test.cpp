// Quad sprites: where each texel lands, what draws nothing, the blend codes and alpha.
#include "platform/quad_sprites.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tests/platform/platform_test_support.h"

namespace pp {
namespace {

using test::Bgr;
using test::Frame;
using test::kBlack;
using test::Rgba;

// Distinct opaque colours, so that every texel can be found on the screen.
std::vector<Rgba> Palette(int32_t count) {
    std::vector<Rgba> colours;
    for (int32_t i = 0; i < count; ++i)
        colours.push_back({uint8_t(40 + 25 * i), uint8_t(200 - 20 * i), uint8_t(i % 2 * 200), 255});
    return colours;
}
Bgr ToBgr(const Rgba& c) {
    return {c.B, c.G, c.R};
}

class QuadTest : public test::OnScreen {
  protected:
    void SetUp() override {
        OnScreen::SetUp();
        SetQuadBatching(true);
        SetQuadBlending(5, 6);
    }
    static void DrawOne(int32_t quad, int32_t x, int32_t y) {
        ASSERT_EQ(BeginQuads(), 1);
        DrawQuadSprite(quad, x, y, 255);
        EndQuads();
    }
};

// A quad of 3 x 2 (or 4 x 2) texels with a size (0 x 0: its own) and angle (plus an added one)
// at (100, 100): texel (i, j) lands on (100 + Xi i + Xj j + X0, 100 + Yi i + Yj j + Y0), alone;
// a side 0, one side negative or an angle not finite draws nothing.
TEST_F(QuadTest, EveryTexelLandsWhereSizeAndAngleSay) {
    const struct {
        int32_t Texels, Width, Height;
        float Angle, Added;
        int32_t Xi, Xj, X0, Yi, Yj, Y0, Lit;
    } rows[] = {
        {3, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 6},  // unturned
        // Scaled, the nearest texel: both ends of each doubled texel.
        {3, 6, 4, 0, 0, 2, 0, 0, 0, 2, 0, 24},
        {3, 6, 4, 0, 0, 2, 0, 1, 0, 2, 1, 24},
        // Clockwise about the centre (1.5, 0.5): (i, j) goes to (2 - j, i - 1).
        {4, 0, 0, 90, 0, 0, -1, 2, 1, 0, -1, 8},
        {4, 0, 0, 45, 45, 0, -1, 2, 1, 0, -1, 8},
        {4, 0, 0, 450, 0, 0, -1, 2, 1, 0, -1, 8},
        // Both sides negative: half a turn, up and to the left.
        {3, -3, -2, 0, 0, -1, 0, -1, 0, -1, -1, 6},
        {3, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {3, 3, -2, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {3, 0, 0, NAN, 0, 0, 0, 0, 0, 0, 0, 0},
    };
    for (size_t r = 0; r < std::size(rows); ++r) {
        const auto& row = rows[r];
        const std::vector<Rgba> texels = Palette(row.Texels * 2);
        ASSERT_TRUE(test::MakeQuadFromPixels(1, row.Texels, 2, texels));
        FillScreen(0);
        if (row.Width != 0 || row.Height != 0) SetQuadSize(1, row.Width, row.Height);
        SetQuadAngle(1, row.Angle, 0);
        SetQuadAngle(1, row.Added, 1);
        DrawOne(1, 100, 100);
        const Frame frame;
        for (int32_t k = 0; row.Lit != 0 && k < 2 * row.Texels; ++k) {
            const int32_t i = k % row.Texels, j = k / row.Texels;
            EXPECT_EQ(frame.At(100 + row.Xi * i + row.Xj * j + row.X0,
                               100 + row.Yi * i + row.Yj * j + row.Y0),
                      ToBgr(texels[k]))
                << "row " << r << " texel " << i << ", " << j;
        }
        EXPECT_EQ(frame.CountNot(kBlack), row.Lit) << "row " << r;
    }
}

// A quad sprite made again forgets its size and angle.
TEST_F(QuadTest, RemadeQuadsForgetSizeAndAngle) {
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 3, 2, Palette(6)));
    SetQuadSize(1, 30, 30);
    SetQuadAngle(1, 30.0f, 0);
    ASSERT_NE(CreateQuadSprite(1, 1), nullptr);
    DrawOne(1, 100, 100);
    EXPECT_EQ(Frame().CountNot(kBlack), 6);
    EXPECT_EQ(Frame().At(102, 101), ToBgr(Palette(6)[5]));
}

// Each of these draws nothing: a draw outside the bracket, missing or unusable entries, a
// freed or replaced sprite (a quad keeps the texture it was made from), a freed table.
TEST_F(QuadTest, WhatCannotShowDrawsNothing) {
    auto expectNothing = [](const char* what) {
        EXPECT_EQ(Frame().CountNot(kBlack), 0) << what;
        ASSERT_TRUE(test::MakeQuadFromPixels(1, 3, 2, Palette(6)));
    };
    expectNothing("set-up");
    DrawQuadSprite(1, 10, 10, 255);
    ASSERT_EQ(BeginQuads(), 1);
    EndQuads();
    DrawQuadSprite(1, 10, 10, 255);
    expectNothing("outside the quad bracket");
    EXPECT_EQ(CreateQuadSprite(2, 40), nullptr) << "no sprite 40";
    ASSERT_NE(SpriteFromMemory(3, test::EncodePng(1, 1, {{255, 255, 255, 255}}), 0), nullptr);
    EXPECT_EQ(CreateQuadSprite(3, 3), nullptr) << "sprite 3 cannot back a quad";
    EXPECT_EQ(CreateQuadSprite(-1, 1), nullptr);
    ASSERT_EQ(BeginQuads(), 1);
    for (int32_t quad : {2, 3, -1, 64, 1 << 30}) {
        SetQuadSize(quad, 5, 5);
        SetQuadAngle(quad, 10.0f, 1);
        DrawQuadSprite(quad, 10, 10, 255);
    }
    EndQuads();
    expectNothing("missing or unusable entries");
    FreeSprite(1);
    DrawOne(1, 10, 10);
    expectNothing("a freed sprite");
    SpriteFromMemory(1, test::EncodePng(1, 1, {{255, 255, 255, 255}}), 12);
    DrawOne(1, 10, 10);
    expectNothing("a replaced sprite");
    FreeAllQuadSprites();
    DrawOne(1, 10, 10);
    expectNothing("a freed table");
}

// The blend codes over a known background with each draw's alpha (low 8 bits). The back
// buffer's alpha reads 1, so destination-alpha codes are constants; 12 and 13 set both factors
// from either side; codes that are no factor blend as ordinary alpha.
TEST_F(QuadTest, BlendCodesAndAlphaFollowTheBlendArithmetic) {
    const Rgba texel{200, 100, 50, 200}, back{0x80, 0x60, 0x40, 255};
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 1, 1, {texel}));
    // Factors of the texel's channel s, the background's d and a, texel alpha times draw alpha.
    enum Factor { Zero, One, S, InvS, D, InvD, A, InvA };
    const struct {
        int32_t Source, Destination, Alpha;
        Factor ForS, ForD;
    } rows[] = {{2, 1, 77, One, Zero}, {1, 2, 77, Zero, One}, {3, 4, 77, S, InvS},
                {9, 10, 77, D, InvD},  {10, 9, 77, InvD, D},  {5, 6, 77, A, InvA},
                {6, 5, 77, InvA, A},   {7, 8, 77, One, Zero}, {11, 2, 77, Zero, One},
                {12, 1, 77, A, InvA},  {2, 13, 77, InvA, A},  {0, 14, 77, A, InvA},
                {-7, 2, 77, A, One},   {5, 6, 256, A, InvA},  {5, 6, 300, A, InvA}};
    FillScreen(back.B << 16 | back.G << 8 | back.R);
    ASSERT_EQ(BeginQuads(), 1);
    for (size_t k = 0; k < std::size(rows); ++k) {
        SetQuadBlending(rows[k].Source, rows[k].Destination);
        DrawQuadSprite(1, static_cast<int32_t>(2 * k), 0, rows[k].Alpha);
    }
    EndQuads();
    const Frame frame;
    for (size_t k = 0; k < std::size(rows); ++k) {
        const Bgr got = frame.At(static_cast<int32_t>(2 * k), 0);
        const double a = texel.A / 255.0 * (rows[k].Alpha & 0xFF) / 255.0;
        auto near = [&](uint8_t gotChannel, uint8_t texelChannel, uint8_t backChannel) {
            const double s = texelChannel / 255.0, d = backChannel / 255.0;
            const double f[] = {0, 1, s, 1 - s, d, 1 - d, a, 1 - a};
            const double want = std::clamp(s * f[rows[k].ForS] + d * f[rows[k].ForD], 0.0, 1.0);
            return std::abs(gotChannel - std::lround(want * 255)) <= 1;
        };
        EXPECT_TRUE(near(got.R, texel.R, back.R) && near(got.G, texel.G, back.G) &&
                    near(got.B, texel.B, back.B))
            << "row " << k;
    }
}

}  // namespace
}  // namespace pp
