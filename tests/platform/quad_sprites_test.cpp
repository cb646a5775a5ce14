#include "platform/quad_sprites.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>

#include "platform/screen.h"
#include "platform/sprites.h"
#include "tests/platform/platform_test_support.h"

namespace pp {
namespace {

using test::Bgr;
using test::Frame;
using test::Rgba;

constexpr Bgr kBlack{0, 0, 0};

Bgr ToBgr(const Rgba& c) {
    return {c.B, c.G, c.R};
}

// Distinct opaque colours for texel-mapping checks.
std::vector<Rgba> Palette(int32_t count) {
    std::vector<Rgba> colours;
    for (int32_t i = 0; i < count; ++i) {
        colours.push_back({static_cast<uint8_t>(40 + 25 * i), static_cast<uint8_t>(200 - 20 * i),
                           static_cast<uint8_t>(i % 2 == 0 ? 30 : 230), 255});
    }
    return colours;
}

class QuadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::OpenTestScreen()) << SDL_GetError();
        SetQuadBatching(true);
        FillScreen(0);
    }
    static void TearDownTestSuite() { test::CloseTestScreen(); }

    // One quad drawn inside its own quad bracket.
    static void DrawOne(int32_t quad, int32_t x, int32_t y, int32_t alpha) {
        ASSERT_EQ(BeginQuads(), 1);
        DrawQuadSprite(quad, x, y, alpha);
        EndQuads();
    }
};

TEST_F(QuadTest, UnturnedQuadCoversExactlyItsPixelsWithTexelsInPlace) {
    const std::vector<Rgba> texels = Palette(6);
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 3, 2, texels));
    DrawOne(1, 10, 20, 255);
    const Frame frame;
    for (int32_t j = 0; j < 2; ++j) {
        for (int32_t i = 0; i < 3; ++i) {
            EXPECT_EQ(frame.At(10 + i, 20 + j), ToBgr(texels[j * 3 + i])) << i << "," << j;
        }
    }
    EXPECT_EQ(frame.CountNot(kBlack, 0, 0, 800, 600), 6);
}

TEST_F(QuadTest, ScaledQuadStretchesTheWholeTextureWithNearestTexels) {
    const std::vector<Rgba> texels = Palette(6);
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 3, 2, texels));
    SetQuadSize(1, 6, 4);
    DrawOne(1, 0, 0, 255);
    const Frame frame;
    for (int32_t y = 0; y < 4; ++y) {
        for (int32_t x = 0; x < 6; ++x) {
            EXPECT_EQ(frame.At(x, y), ToBgr(texels[(y / 2) * 3 + x / 2])) << x << "," << y;
        }
    }
    EXPECT_EQ(frame.CountNot(kBlack, 0, 0, 800, 600), 24);
}

TEST_F(QuadTest, QuadsOffTheScreenEdgesAreClipped) {
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 3, 2, Palette(6)));
    DrawOne(1, -2, -1, 255);
    DrawOne(1, 798, 599, 255);
    const Frame frame;
    EXPECT_EQ(frame.CountNot(kBlack, 0, 0, 800, 600), 1 + 2);
    EXPECT_EQ(frame.At(0, 0), ToBgr(Palette(6)[5]));
}

TEST_F(QuadTest, NinetyDegreesTurnsANonSquareQuadClockwiseAboutItsCentre) {
    const std::vector<Rgba> texels = Palette(8);
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 4, 2, texels));
    SetQuadAngle(1, 90.0f, 0);
    DrawOne(1, 50, 60, 255);
    const Frame frame;
    // Centre (1.5, 0.5): texel (i, j) lands on (x + 2 - j, y + i - 1).
    for (int32_t j = 0; j < 2; ++j) {
        for (int32_t i = 0; i < 4; ++i) {
            EXPECT_EQ(frame.At(50 + 2 - j, 60 + i - 1), ToBgr(texels[j * 4 + i])) << i << "," << j;
        }
    }
    EXPECT_EQ(frame.CountNot(kBlack, 0, 0, 800, 600), 8);
}

TEST_F(QuadTest, AnglesThatAddUpDrawLikeTheSetAngle) {
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 4, 2, Palette(8)));
    SetQuadAngle(1, 90.0f, 0);
    DrawOne(1, 50, 60, 255);
    const Frame set;
    FillScreen(0);
    SetQuadAngle(1, 45.0f, 0);
    SetQuadAngle(1, 45.0f, 1);
    DrawOne(1, 50, 60, 255);
    EXPECT_EQ(Frame().Bytes(), set.Bytes());
    FillScreen(0);
    SetQuadAngle(1, 450.0f, 0);
    DrawOne(1, 50, 60, 255);
    EXPECT_EQ(Frame().Bytes(), set.Bytes());
}

TEST_F(QuadTest, AFullTurnLooksLikeNoTurn) {
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 3, 2, Palette(6)));
    DrawOne(1, 10, 20, 255);
    const Frame unturned;
    FillScreen(0);
    SetQuadAngle(1, 360.0f, 0);
    DrawOne(1, 10, 20, 255);
    EXPECT_EQ(Frame().Bytes(), unturned.Bytes());
}

TEST_F(QuadTest, ZeroOrOneNegativeSideDrawsNothing) {
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 3, 2, Palette(6)));
    for (const auto& [w, h] : {std::pair{0, 2}, {3, 0}, {0, 0}, {-3, 2}, {3, -2}}) {
        SetQuadSize(1, w, h);
        DrawOne(1, 100, 100, 255);
        EXPECT_EQ(Frame().CountNot(kBlack, 0, 0, 800, 600), 0) << w << " x " << h;
    }
}

TEST_F(QuadTest, BothSidesNegativeDrawsTurnedByHalfATurnUpAndLeft) {
    const std::vector<Rgba> texels = Palette(6);
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 3, 2, texels));
    SetQuadSize(1, -3, -2);
    DrawOne(1, 100, 100, 255);
    const Frame frame;
    for (int32_t j = 0; j < 2; ++j) {
        for (int32_t i = 0; i < 3; ++i) {
            EXPECT_EQ(frame.At(99 - i, 99 - j), ToBgr(texels[j * 3 + i])) << i << "," << j;
        }
    }
    EXPECT_EQ(frame.CountNot(kBlack, 0, 0, 800, 600), 6);
}

TEST_F(QuadTest, NanAngleDrawsNothing) {
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 3, 2, Palette(6)));
    SetQuadAngle(1, std::nanf(""), 0);
    DrawOne(1, 10, 10, 255);
    // Adding the largest angle again and again runs past the float range: an infinite angle
    // has no sine or cosine either.
    SetQuadAngle(1, 3.4e38f, 0);
    for (int32_t k = 0; k < 100; ++k) SetQuadAngle(1, 3.4e38f, 1);
    DrawOne(1, 10, 10, 255);
    EXPECT_EQ(Frame().CountNot(kBlack, 0, 0, 800, 600), 0);
}

TEST_F(QuadTest, CreatingAgainResetsSizeAndAngle) {
    const std::vector<Rgba> texels = Palette(6);
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 3, 2, texels));
    SetQuadSize(1, 30, 30);
    SetQuadAngle(1, 30.0f, 0);
    ASSERT_NE(CreateQuadSprite(1, 1), nullptr);
    DrawOne(1, 10, 20, 255);
    const Frame frame;
    EXPECT_EQ(frame.CountNot(kBlack, 0, 0, 800, 600), 6);
    EXPECT_EQ(frame.At(12, 21), ToBgr(texels[5]));
}

TEST_F(QuadTest, DrawsOutsideTheQuadBracketDrawNothing) {
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 3, 2, Palette(6)));
    DrawQuadSprite(1, 10, 10, 255);
    ASSERT_EQ(BeginQuads(), 1);
    EndQuads();
    DrawQuadSprite(1, 10, 10, 255);
    EXPECT_EQ(Frame().CountNot(kBlack, 0, 0, 800, 600), 0);
}

TEST_F(QuadTest, MissingOrUnusableEntriesDrawNothing) {
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 3, 2, Palette(6)));
    EXPECT_EQ(CreateQuadSprite(2, 40), nullptr) << "no sprite 40";
    const std::vector<uint8_t> png = test::EncodePng(1, 1, {{255, 255, 255, 255}});
    ASSERT_NE(SpriteFromMemory(3, png, 0), nullptr);
    EXPECT_EQ(CreateQuadSprite(3, 3), nullptr) << "sprite 3 lacks SpriteUsableAsQuad";
    EXPECT_EQ(CreateQuadSprite(-1, 1), nullptr);
    ASSERT_EQ(BeginQuads(), 1);
    for (int32_t quad : {2, 3, -1, 64, 1000, 1 << 30}) {
        SetQuadSize(quad, 5, 5);
        SetQuadAngle(quad, 10.0f, 1);
        DrawQuadSprite(quad, 10, 10, 255);
    }
    EndQuads();
    EXPECT_EQ(Frame().CountNot(kBlack, 0, 0, 800, 600), 0);
}

TEST_F(QuadTest, FreedOrReplacedSpriteStopsItsQuadFromDrawing) {
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 3, 2, Palette(6)));
    FreeSprite(1);
    DrawOne(1, 10, 10, 255);
    EXPECT_EQ(Frame().CountNot(kBlack, 0, 0, 800, 600), 0);

    ASSERT_TRUE(test::MakeQuadFromPixels(1, 3, 2, Palette(6)));
    const std::vector<uint8_t> png = test::EncodePng(1, 1, {{255, 255, 255, 255}});
    ASSERT_NE(SpriteFromMemory(1, png, SpriteUsableAsQuad | SpriteKeepAlpha), nullptr);
    DrawOne(1, 10, 10, 255);
    EXPECT_EQ(Frame().CountNot(kBlack, 0, 0, 800, 600), 0);

    ASSERT_NE(CreateQuadSprite(1, 1), nullptr);
    DrawOne(1, 10, 10, 255);
    EXPECT_EQ(Frame().CountNot(kBlack, 0, 0, 800, 600), 1);
}

TEST_F(QuadTest, FreeAllQuadSpritesEmptiesTheTable) {
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 3, 2, Palette(6)));
    FreeAllQuadSprites();
    DrawOne(1, 10, 10, 255);
    EXPECT_EQ(Frame().CountNot(kBlack, 0, 0, 800, 600), 0);
}

// --- Colour arithmetic -----------------------------------------------------------------

constexpr int32_t kBackground = 0x00406080;  // red 0x80, green 0x60, blue 0x40
constexpr Rgba kDestination{0x80, 0x60, 0x40, 255};

struct Channels {
    double R, G, B;
};

// The factor a blend code means for one channel, with a back buffer whose alpha reads 1.
double Factor(int32_t code, bool source, double s, double d, double as) {
    switch (code) {
        case 1:
            return 0.0;
        case 2:
            return 1.0;
        case 3:
            return s;
        case 4:
            return 1.0 - s;
        case 5:
            return as;
        case 6:
            return 1.0 - as;
        case 7:
            return 1.0;
        case 8:
            return 0.0;
        case 9:
            return d;
        case 10:
            return 1.0 - d;
        case 11:
            return std::min(as, 1.0 - 1.0);
        default:
            return source ? as : 1.0 - as;
    }
}

// The expected pixel of a texel drawn over kDestination with alpha and the factor codes.
Bgr Expected(const Rgba& texel, int32_t alpha, int32_t source, int32_t destination) {
    const double as = texel.A / 255.0 * ((alpha & 0xFF) / 255.0);
    int32_t src = source, dst = destination;
    for (int32_t code : {source, destination}) {
        if (code == 12 || code == 13) {
            src = code == 12 ? 5 : 6;
            dst = code == 12 ? 6 : 5;
            break;
        }
    }
    auto channel = [&](uint8_t sv, uint8_t dv) {
        const double s = sv / 255.0, d = dv / 255.0;
        const double v = s * Factor(src, true, s, d, as) + d * Factor(dst, false, s, d, as);
        return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
    };
    return {channel(texel.B, kDestination.B), channel(texel.G, kDestination.G),
            channel(texel.R, kDestination.R)};
}

bool Near(Bgr a, Bgr b) {
    return std::abs(a.B - b.B) <= 1 && std::abs(a.G - b.G) <= 1 && std::abs(a.R - b.R) <= 1;
}

std::string Show(Bgr c) {
    return "(r " + std::to_string(c.R) + ", g " + std::to_string(c.G) + ", b " +
           std::to_string(c.B) + ")";
}

TEST_F(QuadTest, AlphaUsesOnlyItsLowEightBits) {
    const Rgba texel{200, 100, 50, 255};
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 1, 1, {texel}));
    SetQuadSize(1, 2, 2);
    FillScreen(kBackground);
    const int32_t alphas[] = {0, 255, 256, 300, -1, 128};
    ASSERT_EQ(BeginQuads(), 1);
    for (int32_t k = 0; k < 6; ++k) DrawQuadSprite(1, 10 * k, 0, alphas[k]);
    EndQuads();
    const Frame frame;
    EXPECT_EQ(frame.At(0, 0), ToBgr(kDestination)) << "alpha 0 leaves the frame alone";
    EXPECT_EQ(frame.At(10, 1), ToBgr(texel)) << "alpha 255 replaces it";
    EXPECT_EQ(frame.At(20, 0), ToBgr(kDestination)) << "256 draws like 0";
    EXPECT_TRUE(Near(frame.At(31, 1), Expected(texel, 44, 5, 6))) << "300 draws like 44";
    EXPECT_NE(frame.At(31, 1), ToBgr(kDestination));
    EXPECT_EQ(frame.At(40, 0), ToBgr(texel)) << "-1 draws like 255";
    EXPECT_TRUE(Near(frame.At(50, 0), Expected(texel, 128, 5, 6)));
}

TEST_F(QuadTest, AlphaZeroWithSourceFactorOneStillAddsTheTexture) {
    const Rgba texel{20, 30, 40, 255};
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 1, 1, {texel}));
    FillScreen(kBackground);
    ASSERT_EQ(BeginQuads(), 1);
    SetQuadBlending(2, 2);
    DrawQuadSprite(1, 5, 5, 0);
    EndQuads();
    SetQuadBlending(5, 6);
    EXPECT_EQ(Frame().At(5, 5), (Bgr{0x40 + 40, 0x60 + 30, 0x80 + 20}));
}

TEST_F(QuadTest, EveryBlendFactorPairFollowsTheBlendArithmetic) {
    const Rgba texel{200, 100, 50, 160};
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 1, 1, {texel}));
    const int32_t alpha = 200;
    std::vector<int32_t> codes;
    for (int32_t c = 1; c <= 13; ++c) codes.push_back(c);
    codes.insert(codes.end(), {0, 14, -7});  // not factors: the documented fallback
    FillScreen(kBackground);
    ASSERT_EQ(BeginQuads(), 1);
    for (size_t s = 0; s < codes.size(); ++s) {
        for (size_t d = 0; d < codes.size(); ++d) {
            SetQuadBlending(codes[s], codes[d]);
            DrawQuadSprite(1, static_cast<int32_t>(2 * d), static_cast<int32_t>(2 * s), alpha);
        }
    }
    EndQuads();
    SetQuadBlending(5, 6);
    const Frame frame;
    for (size_t s = 0; s < codes.size(); ++s) {
        for (size_t d = 0; d < codes.size(); ++d) {
            const Bgr got = frame.At(static_cast<int32_t>(2 * d), static_cast<int32_t>(2 * s));
            const Bgr want = Expected(texel, alpha, codes[s], codes[d]);
            EXPECT_TRUE(Near(got, want)) << "source " << codes[s] << ", destination " << codes[d]
                                         << ": got " << Show(got) << ", want " << Show(want);
        }
    }
}

TEST_F(QuadTest, BlendFactorsPersistIntoLaterFramesButNotWithoutAScreen) {
    const Rgba texel{20, 30, 40, 255};
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 1, 1, {texel}));
    SetQuadBlending(2, 2);
    FillScreen(kBackground);
    DrawOne(1, 0, 0, 255);
    EXPECT_EQ(Frame().At(0, 0), (Bgr{0x40 + 40, 0x60 + 30, 0x80 + 20}));
    SetQuadBlending(5, 6);
}

TEST_F(QuadTest, BatchedAndOneByOneDrawingGiveIdenticalPixels) {
    std::vector<Rgba> first = Palette(15);
    for (size_t i = 0; i < first.size(); ++i) first[i].A = static_cast<uint8_t>(i * 17);
    ASSERT_TRUE(test::MakeQuadFromPixels(1, 5, 3, first));
    ASSERT_TRUE(test::MakeQuadFromPixels(2, 4, 4, Palette(16)));

    struct Draw {
        int32_t Quad, Width, Height;
        float Angle;
        int32_t X, Y, Alpha, Source, Destination;
    };
    std::mt19937 random(12345);
    auto uniform = [&](int32_t lo, int32_t hi) {
        return std::uniform_int_distribution<int32_t>(lo, hi)(random);
    };
    std::vector<Draw> draws;
    while (draws.size() < 400) {
        Draw d{uniform(1, 2),
               uniform(-20, 40),
               uniform(-20, 40),
               uniform(0, 2) == 0 ? 0.0f
                                  : std::uniform_real_distribution<float>(-720.0f, 720.0f)(random),
               uniform(-30, 830),
               uniform(-30, 630),
               uniform(-10, 300),
               uniform(0, 1) == 0 ? 5 : uniform(1, 13),
               uniform(0, 1) == 0 ? 6 : uniform(1, 13)};
        // Runs of like draws, so that batches of several quads form.
        for (int32_t repeat = uniform(1, 6); repeat > 0 && draws.size() < 400; --repeat) {
            draws.push_back(d);
            d.X = uniform(-30, 830);
            d.Y = uniform(-30, 630);
        }
    }
    auto render = [&] {
        FillScreen(0x00203040);
        EXPECT_EQ(BeginQuads(), 1);
        for (const Draw& d : draws) {
            SetQuadBlending(d.Source, d.Destination);
            SetQuadSize(d.Quad, d.Width, d.Height);
            SetQuadAngle(d.Quad, d.Angle, 0);
            DrawQuadSprite(d.Quad, d.X, d.Y, d.Alpha);
        }
        EndQuads();
        return Frame();
    };
    const Frame batched = render();
    SetQuadBatching(false);
    const Frame oneByOne = render();
    SetQuadBatching(true);
    SetQuadBlending(5, 6);
    EXPECT_GT(batched.CountNot(Bgr{0x40, 0x30, 0x20}, 0, 0, 800, 600), 20000);
    EXPECT_TRUE(batched.Bytes() == oneByOne.Bytes());
}

}  // namespace
}  // namespace pp
