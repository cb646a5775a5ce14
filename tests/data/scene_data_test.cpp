// The scene's effect files, loaded and run where the player puts them, keep their particles on
// the 800 x 600 screen (the check command's test finds the files clean).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "effects/loader.h"
#include "particles/particles.h"
#include "runtime/clock_readings.h"
#include "runtime/random.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

// Ten seconds at three frame rates and two seeds: the files leave the position to the player
// and every particle's square stays on the screen.
TEST(SceneData, ParticlesStayOnScreen) {
    const struct {
        const char* Path;
        int32_t X, Y;
    } rows[] = {{"Data\\Sternchen.txt", 100, 200},
                {"Data\\Feuer.txt", 600, 500},
                {"Data\\Energie.txt", 200, 400},
                {"Data\\Luftblase.txt", 600, 300}};
    for (const uint32_t frameMs : {5u, 16u, 33u}) {
        for (const uint32_t seed : {1u, 2u}) {
            SCOPED_TRACE(::testing::Message() << frameMs << " ms frames, seed " << seed);
            VirtualClock clock{1000};
            Engine engine(clock);
            SeedRandom(engine.Random, seed);
            FillAreaTypes(engine);
            std::vector<Emitter*> emitters;
            {
                testing::InFolder in(PP_SOURCE_DIR);
                for (const auto& row : rows) {
                    emitters.push_back(LoadEffect(engine, row.Path, row.X, row.Y));
                    EXPECT_EQ(std::pair(emitters.back()->PositionX, emitters.back()->PositionY),
                              std::pair(float(row.X), float(row.Y)));
                }
            }
            int outside = 0;
            for (uint32_t t = 0; t < 10000 && outside < 5; t += frameMs) {
                clock.Advance(frameMs);
                UpdateParticles(engine);
                for (Emitter* e : emitters) {
                    ListRewind(e->Particles);
                    while (const Particle* p = ListNext(e->Particles)) {
                        const float half = p->Size * 0.5f;
                        if (p->X - half < 0.0f || p->X + half > 800.0f || p->Y - half < 0.0f ||
                            p->Y + half > 600.0f) {
                            ADD_FAILURE() << "emitter at " << e->PositionX << "," << e->PositionY
                                          << ": particle at " << p->X << "," << p->Y << " size "
                                          << p->Size << " t " << t;
                            ++outside;
                        }
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace pp
