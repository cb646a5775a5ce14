// The C interface lists what the C++ world lists: particles, those of started effects with
// their numbers, parameters, optional keys and started effects with their files, compared with
// a C++ world given the same seed, effects and clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "particleplayer.h"
#include "particleplayer/world.h"
#include "tests/effects/temp_dir.h"

namespace {

using particleplayer::Particle;

constexpr const char* kEveryKey =
    "Colour = {255, 128, 0}, ColourOverLife = {0 = {255, 0, 0}, 1 = {0, 0, 255}},\n"
    "SizeOverLife = {0 = 1, 0.5 = 3, 1 = 2}, TransparencyOverLife = {0 = 1, 1 = 0},\n"
    "Drag = 0.5, Spin = 90, SpriteSheet = {Columns = 2, Rows = 3, Frames = 5, Rate = 10,\n"
    "Random = 1}, Duration = 4, Prewarm = 0.5, EmissionRate = 200, LifeTime = 0.3,\n"
    "OnDeath = {Effect = examples/effects/FireworkBurst.txt, Count = 7, Inherit = 1},\n"
    "OnBirth = {Effect = examples/effects/FireworkBurst.txt, Count = 1},\n"
    "RadialAcceleration = {Min = 5, Max = 9}, EndAngle = 90, EndColour = {1, 2, 3, 4},\n"
    "MaxAlive = 90, Attached = 1, AlignToMotion = 1, Aspect = 2, Delay = 0.25, MinAlive = 3,\n"
    "Attractor = {X = 1, Y = 2, Strength = 3, Radius = 4, Falloff = 2}, Vortex = {5, 6, 7, 8, 1, "
    "1},\nTurbulence = {Strength = 30, Scale = 40, Seed = 9}, Collide = {{Floor = 5000}, {X1 = "
    "1000,\n"
    "Y1 = 2000, X2 = 3000, Y2 = 4000, Bounce = 0.5, Friction = 0.25, Die = 1, Screen = 1}},\n"
    "Trail = {4, 0.5, 3, 2, 0.75, 0.25, 1}, Stretch = {0.5, 6}, EmitAlongPath = 1,\n"
    "SpriteFile = examples/effects/Fire.png";

bool SameBytes(const void* a, const void* b, size_t size) {
    return std::memcmp(a, b, size) == 0;
}

// A record of 32-bit fields (no padding) holds exactly the values given.
template <class T>
bool Is(const T& got, const std::type_identity_t<T>& want) {
    return SameBytes(&got, &want, sizeof want);
}

// Both worlds open the effects' files from the source folder and number the sprite files from 7.
TEST(CLists, ParticlesParametersAndOptionalKeysAreTheWorlds) {
    particleplayer::WorldOptions options;
    options.Seed = 21, options.BaseFolder = PP_SOURCE_DIR, options.FirstSpriteFileNumber = 7;
    particleplayer::World world(options);
    pp_world* c = nullptr;
    ASSERT_EQ(pp_world_create_in(&c, 1000, PP_SOURCE_DIR, 7), PP_OK);
    ASSERT_EQ(pp_world_seed(c, 21), PP_OK);
    uint32_t effect = 0;
    ASSERT_EQ(
        pp_world_load_effect_text(c, kEveryKey, std::strlen(kEveryKey), 300.5f, 200.25f, &effect),
        PP_OK);
    const particleplayer::Effect own = world.LoadEffectText(kEveryKey, 300.5f, 200.25f).Value;
    for (int k = 0; k < 40; ++k) {
        pp_world_advance_time(c, 16);
        pp_world_update(c, nullptr);
        world.AdvanceTime(16);
        world.Update();
    }

    // One effect's particles: the count first, then all of them, then fewer than there are.
    std::vector<Particle> expected;
    world.Particles(own, expected);
    size_t count = 0;
    ASSERT_EQ(pp_world_particles(c, effect, nullptr, 0, &count), PP_OK);
    ASSERT_EQ(count, expected.size());
    ASSERT_GT(count, 2u);
    std::vector<pp_particle> got(count + 1);
    ASSERT_EQ(pp_world_particles(c, effect, got.data(), got.size(), &count), PP_OK);
    EXPECT_TRUE(SameBytes(got.data(), expected.data(), count * sizeof(pp_particle)));
    got.assign(count, pp_particle{});
    ASSERT_EQ(pp_world_particles(c, effect, got.data(), 2, &count), PP_OK);
    EXPECT_EQ(count, expected.size());
    EXPECT_TRUE(SameBytes(got.data(), expected.data(), 2 * sizeof(pp_particle)));
    EXPECT_EQ(got[2].size, 0.0f) << "nothing written beyond the room given";

    // Every particle, with the started effects' numbers.
    std::vector<int32_t> startedAs;
    world.AllParticles(expected, &startedAs);
    ASSERT_EQ(pp_world_all_particles(c, nullptr, nullptr, 0, &count), PP_OK);
    ASSERT_EQ(count, expected.size());
    got.assign(count, pp_particle{});
    std::vector<int32_t> marks(count, 99);
    ASSERT_EQ(pp_world_all_particles(c, got.data(), marks.data(), count, &count), PP_OK);
    EXPECT_TRUE(SameBytes(got.data(), expected.data(), count * sizeof(pp_particle)));
    EXPECT_EQ(marks, startedAs);
    EXPECT_NE(std::count(marks.begin(), marks.end(), 0), 0);

    // Parameters: the same fields in the same order as the C++ record.
    pp_effect_params params{};
    ASSERT_EQ(pp_world_effect_params(c, effect, &params), PP_OK);
    const particleplayer::EffectParams cpp = world.Params(own).Value;
    static_assert(sizeof params == sizeof cpp);
    EXPECT_TRUE(SameBytes(&params, &cpp, sizeof params));

    // The optional keys, field by field.
    pp_effect_extras x{};
    ASSERT_EQ(pp_world_effect_extras(c, effect, &x), PP_OK);
    const particleplayer::EffectExtras e = world.Extras(own).Value;
    EXPECT_TRUE(SameBytes(x.colour, e.Colour.data(), sizeof x.colour));
    EXPECT_EQ(x.colour_over_life.count, 2);
    EXPECT_EQ(x.size_over_life.count, 3);
    EXPECT_EQ(x.transparency_over_life.count, 2);
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(x.colour_over_life.time[k], e.ColourOverLife.Time[k]);
        EXPECT_TRUE(SameBytes(x.colour_over_life.value[k], e.ColourOverLife.Value[k].data(), 12));
        EXPECT_EQ(x.size_over_life.time[k], e.SizeOverLife.Time[k]);
        EXPECT_EQ(x.size_over_life.value[k], e.SizeOverLife.Value[k][0]);
        EXPECT_EQ(x.transparency_over_life.value[k], e.TransparencyOverLife.Value[k][0]);
    }
    EXPECT_TRUE(x.drag == 0.5f && x.spin == 90.0f && x.duration == 4.0f && x.prewarm == 0.5f);
    EXPECT_TRUE(x.sheet_columns == 2 && x.sheet_rows == 3 && x.sheet_frames == 5 &&
                x.sheet_rate == 10.0f && x.sheet_random == 1);
    EXPECT_TRUE(x.burst_count == 0 && x.burst_interval == 0.0f && x.burst_repeat == 0);
    EXPECT_TRUE(Is(x.on_death, {1, 7, 1, 0}) && Is(x.on_birth, {1, 1, 0, 0}));
    const auto same = [](const pp_motion_value& c, const particleplayer::MotionValue& v) {
        return c.set == int32_t{v.Set} && c.min == v.Min && c.max == v.Max && c.inc == v.Inc;
    };
    EXPECT_TRUE(same(x.radial_acceleration, e.RadialAcceleration) &&
                x.radial_acceleration.set == 1 && x.radial_acceleration.max == 9.0f);
    EXPECT_TRUE(same(x.tangential_acceleration, e.TangentialAcceleration) &&
                same(x.orbit_radius, e.OrbitRadius) && same(x.orbit_end_radius, e.OrbitEndRadius) &&
                same(x.orbit_spin, e.OrbitSpin) && same(x.end_size, e.EndSize) &&
                same(x.angle, e.Angle) && same(x.end_angle, e.EndAngle) && x.end_angle.set == 1);
    const pp_motion_colour* colours[] = {&x.start_colour, &x.start_colour_variance, &x.end_colour,
                                         &x.end_colour_variance};
    const particleplayer::MotionColour* theirs[] = {&e.StartColour, &e.StartColourVariance,
                                                    &e.EndColour, &e.EndColourVariance};
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(colours[k]->set, int32_t{theirs[k]->Set}) << k;
        EXPECT_TRUE(SameBytes(colours[k]->value, theirs[k]->Value.data(), 16)) << k;
    }
    EXPECT_TRUE(x.end_colour.set == 1 && x.end_colour.value[3] == 4.0f);
    EXPECT_TRUE(x.align_to_motion == 1 && x.max_alive == 90 && x.attached == 1 && x.aspect == 2.0f);
    EXPECT_TRUE(Is(x.attractor, {1, 2, 3, 4, 2, 0}) && Is(x.vortex, {5, 6, 7, 8, 1, 1}));
    EXPECT_TRUE(e.Attractor == (particleplayer::ForcePoint{1, 2, 3, 4, 2, 0}));
    EXPECT_TRUE(Is(x.turbulence, {30, 40, 1, 9}));
    EXPECT_TRUE(x.delay == 0.25f && x.min_alive == 3);
    ASSERT_EQ(x.collide_count, 2);
    EXPECT_TRUE(x.collide[0].form == 0 && x.collide[0].a == 5000.0f && x.collide[0].bounce == 1.0f);
    EXPECT_TRUE(Is(x.collide[1], {4, 1000, 2000, 3000, 4000, 0.5f, 0.25f, 1, 1}));
    EXPECT_TRUE(Is(x.trail, {4, 0.5f, 3, 2, 0.75f, 0.25f, 1}));
    EXPECT_TRUE(x.stretch_factor == 0.5f && x.stretch_max == 6.0f && x.emit_along_path == 1 &&
                x.emit_by_distance == 0.0f);
    uint32_t moved = 0;
    ASSERT_EQ(pp_world_load_effect_text(c, "EmitByDistance = 2", 18, 0, 0, &moved), PP_OK);
    ASSERT_EQ(pp_world_effect_extras(c, moved, &x), PP_OK);
    EXPECT_TRUE(x.emit_by_distance == 2.0f && x.stretch_max == 1000.0f && x.collide_count == 0);

    // The started effect, with its file.
    const char* file = nullptr;
    ASSERT_EQ(pp_world_started_effect(c, 0, &params, &x, &file), PP_OK);
    const particleplayer::StartedEffect started = world.StartedEffectOf(0).Value;
    EXPECT_TRUE(SameBytes(&params, &started.Params, sizeof params));
    EXPECT_EQ(std::string(file), started.File);
    EXPECT_EQ(x.on_death.set, 0);
    EXPECT_EQ(pp_world_started_effect(c, 0, nullptr, nullptr, nullptr), PP_OK);

    // The images the effects name, under the numbers the world gave them.
    size_t files = 0;
    int32_t number = -1;
    ASSERT_EQ(pp_world_sprite_file_count(c, &files), PP_OK);
    const std::vector<particleplayer::SpriteFile> want = world.SpriteFiles();
    ASSERT_TRUE(files == want.size() && want.at(0).Number == 7 &&
                want[0].Path == PP_SOURCE_DIR "/examples/effects/Fire.png");
    for (size_t i = 0; i < files; ++i) {
        ASSERT_EQ(pp_world_sprite_file(c, i, &number, &file), PP_OK);
        EXPECT_TRUE(number == want[i].Number && file == want[i].Path) << i;
    }
    EXPECT_EQ(pp_world_sprite_file(c, files, &number, &file), PP_ERROR_ARGUMENT);
    // The budget set through C holds births back as the C++ world's does.
    ASSERT_TRUE(pp_world_set_max_particles(c, 5) == PP_OK && world.SetMaxParticles(5).Ok());
    pp_world_advance_time(c, 16), pp_world_update(c, nullptr), world.AdvanceTime(16);
    world.Update();
    int64_t live = 0, dropped = 0;
    ASSERT_TRUE(pp_world_particle_count(c, &live) == PP_OK &&
                pp_world_dropped_births(c, &dropped) == PP_OK);
    EXPECT_TRUE(live == world.ParticleCount() && dropped == world.DroppedBirths() && dropped > 0);

    // Refusals.
    EXPECT_EQ(pp_world_particles(c, effect, nullptr, 1, &count), PP_ERROR_NULL);
    EXPECT_EQ(pp_world_particles(c, effect, got.data(), 1, nullptr), PP_ERROR_NULL);
    EXPECT_EQ(pp_world_particles(c, 9, got.data(), 1, &count), PP_ERROR_ARGUMENT);
    EXPECT_EQ(pp_world_all_particles(nullptr, nullptr, nullptr, 0, &count), PP_ERROR_NULL);
    EXPECT_EQ(pp_world_effect_params(c, 9, &params), PP_ERROR_ARGUMENT);
    EXPECT_EQ(pp_world_effect_params(c, effect, nullptr), PP_ERROR_NULL);
    EXPECT_EQ(pp_world_effect_extras(c, 0, &x), PP_ERROR_ARGUMENT);
    EXPECT_EQ(pp_world_started_effect(c, 1, nullptr, nullptr, &file), PP_ERROR_ARGUMENT);
    EXPECT_EQ(pp_world_started_effect(c, -1, nullptr, nullptr, &file), PP_ERROR_ARGUMENT);
    EXPECT_STRNE(pp_world_last_error(c), "");
    pp_world_destroy(c);
}

}  // namespace
