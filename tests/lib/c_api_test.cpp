// The C interface through the shared library: null and bad arguments give error codes (never a
// crash), a host-clock world refuses to be set, and an effect draws on the library's screen.
#include <gtest/gtest.h>

#include <vector>

#include "particleplayer.h"

namespace {

uint32_t ReadClock(void* user) {
    return *static_cast<uint32_t*>(user);
}

TEST(CApi, NullAndBadArgumentsGiveErrorCodes) {
    pp_world* world = nullptr;
    ASSERT_EQ(pp_world_create(&world, 1000), PP_OK);
    pp_vertices* vertices = nullptr;
    ASSERT_EQ(pp_vertices_create(&vertices), PP_OK);
    uint32_t effect = 0;
    int64_t count = 0;
    float seconds = 0;
    const pp_vertex* data = nullptr;
    const pp_vertex_run* runs = nullptr;
    size_t n = 0;
    uint8_t pixel[3];
#define ROW(call, want) \
    { #call, call, want }
    const struct {
        const char* Call;
        pp_status Got, Want;
    } rows[] = {
        ROW(pp_world_create(nullptr, 0), PP_ERROR_NULL),
        ROW(pp_world_create_with_clock(nullptr, ReadClock, nullptr), PP_ERROR_NULL),
        ROW(pp_world_set_time(nullptr, 1), PP_ERROR_NULL),
        ROW(pp_world_advance_time(nullptr, 1), PP_ERROR_NULL),
        ROW(pp_world_seed(nullptr, 1), PP_ERROR_NULL),
        ROW(pp_world_load_effect_file(nullptr, "x", 0, 0, &effect), PP_ERROR_NULL),
        ROW(pp_world_load_effect_file(world, nullptr, 0, 0, &effect), PP_ERROR_NULL),
        ROW(pp_world_load_effect_file(world, "/no/such/file.txt", 0, 0, &effect), PP_ERROR_FILE),
        ROW(pp_world_load_effect_text(nullptr, "", 0, 0, 0, &effect), PP_ERROR_NULL),
        ROW(pp_world_load_effect_text(world, nullptr, 5, 0, 0, &effect), PP_ERROR_NULL),
        ROW(pp_world_set_sprite_range(nullptr, 1, 0, 0, 1), PP_ERROR_NULL),
        ROW(pp_world_set_sprite_range(world, 0, 0, 0, 1), PP_ERROR_ARGUMENT),
        ROW(pp_world_set_position(nullptr, 1, 0, 0), PP_ERROR_NULL),
        ROW(pp_world_set_position(world, 77, 0, 0), PP_ERROR_ARGUMENT),
        ROW(pp_world_update(nullptr, &seconds), PP_ERROR_NULL),
        ROW(pp_world_particle_count(nullptr, &count), PP_ERROR_NULL),
        ROW(pp_vertices_create(nullptr), PP_ERROR_NULL),
        ROW(pp_world_build_vertices(nullptr, 0, vertices), PP_ERROR_NULL),
        ROW(pp_vertices_data(nullptr, &data, &n), PP_ERROR_NULL),
        ROW(pp_vertices_runs(vertices, &runs, nullptr), PP_ERROR_NULL),
        ROW(pp_screen_open(nullptr, 8, 8, 1), PP_ERROR_NULL),
        ROW(pp_screen_open("t", 0, 8, 1), PP_ERROR_ARGUMENT),
        ROW(pp_screen_open("t", 8, 16385, 1), PP_ERROR_ARGUMENT),
        ROW(pp_screen_load_sprite(-1, "x.png"), PP_ERROR_ARGUMENT),
        ROW(pp_screen_load_sprite(1, "x.png"), PP_ERROR_STATE),
        ROW(pp_screen_draw(nullptr, 1), PP_ERROR_NULL),
        ROW(pp_screen_draw(world, 1), PP_ERROR_STATE),
        ROW(pp_screen_read_pixels(nullptr, 3), PP_ERROR_NULL),
        ROW(pp_screen_read_pixels(pixel, 3), PP_ERROR_STATE),
        ROW(pp_world_remove_effect(nullptr, 1), PP_ERROR_NULL),
        ROW(pp_world_remove_effect(world, 9), PP_ERROR_ARGUMENT),
        ROW(pp_renderer_create(nullptr), PP_ERROR_NULL),
        ROW(pp_renderer_load_sprite(nullptr, 1, "x.png"), PP_ERROR_NULL),
        ROW(pp_renderer_load_sprite_rgba(nullptr, 1, 1, 1, pixel, 3), PP_ERROR_NULL),
        ROW(pp_renderer_draw(nullptr, world, 8, 8, 0), PP_ERROR_NULL),
    };
#undef ROW
    for (const auto& row : rows) EXPECT_EQ(row.Got, row.Want) << row.Call;
    EXPECT_STRNE(pp_world_last_error(world), "");
    EXPECT_STRNE(pp_world_last_error(nullptr), "");
    EXPECT_STRNE(pp_renderer_last_error(nullptr), "");
    pp_renderer_destroy(nullptr);
    EXPECT_STRNE(pp_status_text(static_cast<pp_status>(99)), "");
    pp_screen_close();  // with no screen open: nothing to do
    pp_vertices_destroy(nullptr);
    pp_world_destroy(nullptr);
    pp_vertices_destroy(vertices);
    pp_world_destroy(world);

    uint32_t now = 40;
    ASSERT_EQ(pp_world_create_with_clock(&world, ReadClock, &now), PP_OK);
    EXPECT_EQ(pp_world_set_time(world, 5), PP_ERROR_STATE);
    EXPECT_EQ(pp_world_advance_time(world, 5), PP_ERROR_STATE);
    EXPECT_EQ(pp_world_update(world, &seconds), PP_OK);
    now += 100;
    EXPECT_EQ(pp_world_update(world, &seconds), PP_OK);
    EXPECT_FLOAT_EQ(seconds, 0.1f);
    pp_world_destroy(world);
}

TEST(CApi, EffectDrawnOnTheLibraryScreen) {
    pp_world* world = nullptr;
    ASSERT_EQ(pp_world_create(&world, 1000), PP_OK);
    ASSERT_EQ(pp_world_seed(world, 3), PP_OK);
    ASSERT_EQ(pp_screen_open("test", 64, 48, 1), PP_OK);
    EXPECT_EQ(pp_screen_load_sprite(1, PP_SOURCE_DIR "/Data/Sternchen.png"), PP_OK);
    EXPECT_EQ(pp_screen_load_sprite(2, "/no/such.png"), PP_ERROR_FILE);
    uint32_t effect = 0;
    const char text[] = "EmissionRate = 500\nEmissionVelocity = 0\nSize = 16";
    ASSERT_EQ(pp_world_load_effect_text(world, text, sizeof text - 1, 32, 24, &effect), PP_OK);
    EXPECT_EQ(effect, 1u);
    ASSERT_EQ(pp_world_set_sprite_range(world, effect, 1, -65535, 1), PP_OK);
    ASSERT_EQ(pp_world_advance_time(world, 100), PP_OK);
    EXPECT_EQ(pp_screen_draw(world, 1), PP_OK);
    std::vector<uint8_t> rgb(64 * 48 * 3);
    EXPECT_EQ(pp_screen_read_pixels(rgb.data(), rgb.size() - 1), PP_ERROR_ARGUMENT);
    ASSERT_EQ(pp_screen_read_pixels(rgb.data(), rgb.size()), PP_OK);
    const size_t centre = (24 * 64 + 32) * 3;
    EXPECT_GT(rgb[centre] + rgb[centre + 1] + rgb[centre + 2], 0) << "nothing drawn at the emitter";
    EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 0) << "the corner should stay black";
    pp_screen_close();
    pp_world_destroy(world);
}

}  // namespace
