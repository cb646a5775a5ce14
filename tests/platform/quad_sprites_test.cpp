// Quad sprites drawn through SDL's offscreen driver: where each texel lands (turned, scaled,
// mirrored, clipped), what draws nothing, the blend factor codes and the alpha, and batched
// drawing against one draw per quad.
#include "platform/quad_sprites.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

#include "tests/platform/platform_test_support.h"

namespace pp {
namespace {

using test::Bgr;
using test::Frame;
using test::Rgba;

constexpr Bgr kBlack{0, 0, 0};

// Distinct opaque colours, so that every texel can be found on the screen.
std::vector<Rgba> Palette(int32_t count) {
    std::vector<Rgba> colours;
    for (int32_t i = 0; i < count; ++i) {
        colours.push_back({static_cast<uint8_t>(40 + 25 * i), static_cast<uint8_t>(200 - 20 * i),
                           static_cast<uint8_t>(i % 2 == 0 ? 30 : 230), 255});
    }
    return colours;
}

Bgr ToBgr(const Rgba& c) {
    return {c.B, c.G, c.R};
}

class QuadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::OpenTestScreen()) << SDL_GetError();
        SetQuadBatching(true);
        SetQuadBlending(5, 6);
        FillScreen(0);
    }
    static void TearDownTestSuite() { test::CloseTestScreen(); }
    static void DrawOne(int32_t quad, int32_t x, int32_t y, int32_t alpha = 255) {
        ASSERT_EQ(BeginQuads(), 1);
        DrawQuadSprite(quad, x, y, alpha);
        EndQuads();
    }
};

// A quad of 3 x 2 (or 4 x 2) distinct texels, given a size (0: its own) and an angle (and a
// second one added to it), drawn at (100, 100): texel (i, j) must land on
// (100 + Xi * i + Xj * j + X0, 100 + Yi * i + Yj * j + Y0), and nothing else may be lit.
TEST_F(QuadTest, EveryTexelLandsWhereSizeAndAngleSay) {
    const struct {
        const char* Name;
        int32_t Texels, Width, Height;
        float Angle, Added;
        int32_t Xi, Xj, X0, Yi, Yj, Y0, Lit;
    } rows[] = {
        {"unturned", 3, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 6},
        // Scaled, the nearest texel: both ends of each doubled texel.
        {"scaled, first half", 3, 6, 4, 0, 0, 2, 0, 0, 0, 2, 0, 24},
        {"scaled, second half", 3, 6, 4, 0, 0, 2, 0, 1, 0, 2, 1, 24},
        // Clockwise about the centre (1.5, 0.5): (i, j) goes to (2 - j, i - 1).
        {"turned 90", 4, 0, 0, 90, 0, 0, -1, 2, 1, 0, -1, 8},
        {"turned 45 + 45", 4, 0, 0, 45, 45, 0, -1, 2, 1, 0, -1, 8},
        {"turned 450", 4, 0, 0, 450, 0, 0, -1, 2, 1, 0, -1, 8},
        {"turned 360", 3, 0, 0, 360, 0, 1, 0, 0, 0, 1, 0, 6},
        // Both sides negative: half a turn, up and to the left.
        {"sides negative", 3, -3, -2, 0, 0, -1, 0, -1, 0, -1, -1, 6},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        const std::vector<Rgba> texels = Palette(row.Texels * 2);
        ASSERT_TRUE(test::MakeQuadFromPixels(1, row.Texels, 2, texels));
        FillScreen(0);
        if (row.Width != 0) SetQuadSize(1, row.Width, row.Height);
        SetQuadAngle(1, row.Angle, 0);
        SetQuadAngle(1, row.Added, 1);
        DrawOne(1, 100, 100);
        const Frame frame;
        for (int32_t j = 0; j < 2; ++j) {
            for (int32_t i = 0; i < row.Texels; ++i) {
                EXPECT_EQ(frame.At(100 + row.Xi * i + row.Xj * j + row.X0,
                                   100 + row.Yi * i + row.Yj * j + row.Y0),
                          ToBgr(texels[j * row.Texels + i]))
                    << i << ", " << j;
            }
        }
        EXPECT_EQ(frame.CountNot(kBlack), row.Lit);
    }
}

TEST_F(QuadTest, QuadsAreClippedAtTheScreenEdgesAndRemadeOnesForgetSizeAndAngle) {
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 3, 2, Palette(6)));
    DrawOne(1, -2, -1);
    DrawOne(1, 798, 599);
    SetQuadSize(1, 30, 30);
    SetQuadAngle(1, 30.0f, 0);
    ASSERT_NE(CreateQuadSprite(1, 1), nullptr);
    DrawOne(1, 100, 100);
    const Frame frame;
    EXPECT_EQ(frame.CountNot(kBlack), 1 + 2 + 6);
    EXPECT_EQ(frame.At(0, 0), ToBgr(Palette(6)[5]));
    EXPECT_EQ(frame.At(102, 101), ToBgr(Palette(6)[5]));
}

TEST_F(QuadTest, WhatCannotShowDrawsNothing) {
    auto expectNothing = [](const char* what) {
        EXPECT_EQ(Frame().CountNot(kBlack), 0) << what;
        ASSERT_TRUE(test::MakeQuadFromPixels(1, 3, 2, Palette(6)));
    };
    expectNothing("set-up");
    for (const auto& [w, h] : {std::pair{0, 2}, {3, 0}, {-3, 2}, {3, -2}}) {
        SetQuadSize(1, w, h);
        DrawOne(1, 100, 100);
    }
    expectNothing("a side 0 or one side negative");
    SetQuadAngle(1, std::nanf(""), 0);
    DrawOne(1, 10, 10);
    expectNothing("a NaN angle");
    for (int32_t k = 0; k < 100; ++k) SetQuadAngle(1, 3.4e38f, 1);  // past the float range
    DrawOne(1, 10, 10);
    expectNothing("an infinite angle");
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
    for (int32_t quad : {2, 3, -1, 64, 1000, 1 << 30}) {
        SetQuadSize(quad, 5, 5);
        SetQuadAngle(quad, 10.0f, 1);
        DrawQuadSprite(quad, 10, 10, 255);
    }
    EndQuads();
    expectNothing("missing or unusable entries");
    FreeSprite(1);
    DrawOne(1, 10, 10);
    expectNothing("a freed sprite");
    // A quad keeps the texture it was made from; a new sprite needs a new quad.
    SpriteFromMemory(1, test::EncodePng(1, 1, {{255, 255, 255, 255}}), 12);
    DrawOne(1, 10, 10);
    expectNothing("a replaced sprite");
    FreeAllQuadSprites();
    DrawOne(1, 10, 10);
    expectNothing("a freed table");
}

// The blend codes over a known background, with the alpha of each draw. The back buffer's own
// alpha reads 1, so the destination-alpha codes become constants; codes 12 and 13 set both
// factors, and codes that are no factor draw as ordinary alpha blending.
TEST_F(QuadTest, BlendCodesAndAlphaFollowTheBlendArithmetic) {
    const Rgba texel{200, 100, 50, 200};
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 1, 1, {texel}));
    const Rgba back{0x80, 0x60, 0x40, 255};
    // The factors, of the texel's channel s, the background's d and a, the texel's alpha times
    // the draw's.
    enum Factor { Zero, One, S, InvS, D, InvD, A, InvA };
    const struct {
        int32_t Source, Destination, Alpha;
        Factor ForS, ForD;
    } rows[] = {
        {2, 1, 77, One, Zero},
        {1, 2, 77, Zero, One},
        {2, 2, 0, One, One},  // alpha 0 still adds
        {3, 4, 77, S, InvS},
        {9, 10, 77, D, InvD},
        {10, 9, 77, InvD, D},
        {5, 6, 77, A, InvA},
        {6, 5, 77, InvA, A},
        {7, 8, 77, One, Zero},
        {11, 2, 77, Zero, One},
        {12, 1, 77, A, InvA},
        {2, 13, 77, InvA, A},
        {0, 14, 77, A, InvA},
        {-7, 2, 77, A, One},  // not factors: ordinary
                              // alpha blending
        {5, 6, 256, A, InvA},
        {5, 6, -1, A, InvA},
        {5, 6, 300, A, InvA},  // low 8 bits
    };
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
        auto channel = [&](uint8_t texelChannel, uint8_t backChannel) {
            const double s = texelChannel / 255.0, d = backChannel / 255.0;
            const double f[] = {0, 1, s, 1 - s, d, 1 - d, a, 1 - a};
            return std::lround(std::clamp(s * f[rows[k].ForS] + d * f[rows[k].ForD], 0.0, 1.0) *
                               255);
        };
        EXPECT_NEAR(got.R, channel(texel.R, back.R), 1) << "row " << k;
        EXPECT_NEAR(got.G, channel(texel.G, back.G), 1) << "row " << k;
        EXPECT_NEAR(got.B, channel(texel.B, back.B), 1) << "row " << k;
    }
}

// Hundreds of draws of two quads, sizes, angles, alphas and blend codes of every kind, in runs
// of like draws so that batches of several quads form: batched and one by one, the same pixels.
TEST_F(QuadTest, BatchedAndOneByOneDrawingGiveIdenticalPixels) {
    std::vector<Rgba> translucent = Palette(15);
    for (size_t i = 0; i < translucent.size(); ++i) translucent[i].A = static_cast<uint8_t>(i * 17);
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 5, 3, translucent));
    ASSERT_TRUE(test::MakeQuadFromPixels(2, 4, 4, Palette(16)));
    std::mt19937 random(12345);
    auto uniform = [&](int32_t lo, int32_t hi) {
        return std::uniform_int_distribution<int32_t>(lo, hi)(random);
    };
    std::vector<std::array<int32_t, 9>> draws;  // quad, w, h, degrees, x, y, alpha, source, dest
    while (draws.size() < 400) {
        std::array<int32_t, 9> d = {uniform(1, 2),
                                    uniform(-20, 40),
                                    uniform(-20, 40),
                                    uniform(0, 2) == 0 ? 0 : uniform(-720, 720),
                                    0,
                                    0,
                                    uniform(-10, 300),
                                    uniform(0, 1) == 0 ? 5 : uniform(1, 13),
                                    uniform(0, 1) == 0 ? 6 : uniform(1, 13)};
        for (int32_t repeat = uniform(1, 6); repeat > 0; --repeat) {
            d[4] = uniform(-30, 830);
            d[5] = uniform(-30, 630);
            draws.push_back(d);
        }
    }
    auto render = [&](bool batching) {
        SetQuadBatching(batching);
        FillScreen(0x00203040);
        EXPECT_EQ(BeginQuads(), 1);
        for (const auto& d : draws) {
            SetQuadBlending(d[7], d[8]);
            SetQuadSize(d[0], d[1], d[2]);
            SetQuadAngle(d[0], static_cast<float>(d[3]) + 0.25f, 0);
            DrawQuadSprite(d[0], d[4], d[5], d[6]);
        }
        EndQuads();
        return Frame();
    };
    const Frame batched = render(true);
    EXPECT_GT(batched.CountNot(Bgr{0x40, 0x30, 0x20}), 20000);
    EXPECT_TRUE(batched.Bytes == render(false).Bytes);
}

}  // namespace
}  // namespace pp
