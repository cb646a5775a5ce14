// Trails: each particle's ring and ribbon against the places the test saw it at, frame by frame.
#include "particles/trails.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "effects/loader.h"
#include "engine_test_util.h"
#include "particles/budget.h"

namespace pp {
namespace {

// The ribbon's edges lie half its width to either side of each place, across the direction
// from the next place to the previous one, with the opacity falling along it.
void ExpectRibbonAround(const TrailParams& trail, const TrailPoint* places, int32_t n) {
    TrailRibbon r;
    RibbonOf(trail, places, n, 10.0f, 200.0f, 0.0f, 0.0f, r);
    ASSERT_EQ(r.Count, n < 2 ? 0 : n);
    const float start = trail.Width > 0.0f ? trail.Width : 10.0f;
    for (int32_t k = 0; k < r.Count; ++k) {
        const float t = static_cast<float>(k) / static_cast<float>(n - 1);
        const float ex = r.LeftX[k] - r.RightX[k], ey = r.LeftY[k] - r.RightY[k];
        EXPECT_NEAR((r.LeftX[k] + r.RightX[k]) * 0.5f, places[k].X, 1e-3f);
        EXPECT_NEAR((r.LeftY[k] + r.RightY[k]) * 0.5f, places[k].Y, 1e-3f);
        const float dx = places[std::max(k - 1, 0)].X - places[std::min(k + 1, n - 1)].X;
        const float dy = places[std::max(k - 1, 0)].Y - places[std::min(k + 1, n - 1)].Y;
        const float d = std::hypot(dx, dy);
        if (d > 1e-3f) {
            EXPECT_NEAR(std::hypot(ex, ey), start + (trail.EndWidth - start) * t, 1e-3f);
            EXPECT_NEAR((ex * dx + ey * dy) / d, 0.0f, 1e-3f);
        }
        EXPECT_FLOAT_EQ(r.Opacity[k], 200.0f * (1.0f - trail.Fade * t));
    }
}

TEST(Trails, RingsHoldTheLastPlacesOfLiveParticlesWithinTheirLimits) {
    // Keys, the budget, and whether a particle is also born inside the list now and then (as
    // a spawn behind a cursor that stands there does).
    const std::tuple<const char*, int64_t, bool> rows[] = {
        {"Trail = {Points = 8}, Acceleration = {0, 300}", kNoBudget, false},
        {"Trail = {Points = 5, Length = 0.05, Width = 6, EndWidth = 2, Fade = 0.5}, Drag = 1",
         kNoBudget, false},
        {"Trail = {12, 0.2, 0, 4, 1, 0, 1}, Attached = 1, OrbitSpin = 90", kNoBudget, false},
        {"Trail = {Points = 64}, Raise = -20", 200, false},  // room for three
        {"Trail = {Points = 6}, Drag = 0.5", kNoBudget, true},
    };
    for (const auto& [keys, budget, inside] : rows) {
        SCOPED_TRACE(keys);
        TestEngine t(5);
        t.engine.MaxParticles = budget;
        Emitter* e = CreateEmitter(t.engine, 300, 200);
        LoadEffectText(t.engine, e,
                       std::string("EmissionRate = 40, LifeTime = {Min = 0.1, Max = 0.6, Inc = "
                                   "0.05}, EmissionAngle = {0, 359}, Rotation = {0, 1000, "
                                   "0.001}, Size = 12, ") +
                           keys);
        const TrailParams& trail = e->Extras.Trail;
        // Each particle's places as seen after every update, by its spin and death time.
        std::map<std::pair<float, int32_t>, std::vector<TrailPoint>> seen;
        float label = 0;
        for (int32_t frame = 0; frame < 120; ++frame) {
            if (frame == 80) e->Disable = 1;
            if (inside && frame % 4 == 1 && frame < 80 && e->Particles.Count() > 1) {
                ListRewind(e->Particles), ListNext(e->Particles);
                SpawnParticle(t.engine, *e);
            }
            t.Step(frame % 3 == 0 ? 7u : frame % 3 == 1 ? 16u : 33u);
            ASSERT_EQ(e->Trail.Count(), e->Particles.Count() * trail.Points);
            EXPECT_LE(LiveParticles(t.engine), budget);
            for (int32_t i = 0; inside && i < e->Particles.Count(); ++i) {
                float& spin = e->Particles.First()[i].RotationStep;
                if (spin == 0) spin = ++label;  // a key of its own
            }
            const std::vector<Particle> particles = ParticlesOf(*e);
            for (int32_t i = 0; i < static_cast<int32_t>(particles.size()); ++i) {
                const Particle& p = particles[static_cast<size_t>(i)];
                std::vector<TrailPoint>& mine = seen[{p.RotationStep, p.DeathTime}];
                mine.push_back({p.X, p.Y, t.Now(), 1});
                std::vector<TrailPoint> expected;
                for (auto it = mine.rbegin(); it != mine.rend(); ++it) {
                    if (static_cast<int32_t>(expected.size()) == trail.Points) break;
                    if (trail.Length > 0 && t.Now() - it->Time > trail.Length * 1000) break;
                    expected.push_back(*it);
                }
                TrailPoint places[kMaxTrailPoints];
                const int32_t n = TrailPlaces(*e, i, places);
                ASSERT_EQ(n, static_cast<int32_t>(expected.size())) << frame << " " << i;
                for (int32_t k = 0; k < n; ++k) {
                    EXPECT_TRUE(places[k].X == expected[k].X && places[k].Y == expected[k].Y &&
                                places[k].Time == expected[k].Time);
                }
                ExpectRibbonAround(trail, places, n);
            }
        }
        // Every particle has died, and no ring is left behind.
        EXPECT_EQ(e->Particles.Count(), 0);
        EXPECT_EQ(e->Trail.Count(), 0);
        EXPECT_GT(seen.size(), 3u);
    }
}

}  // namespace
}  // namespace pp
