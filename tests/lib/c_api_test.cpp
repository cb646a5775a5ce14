// The C interface: bad arguments give error codes (never a crash), and the renderer draws the
// library screen's pixels into a host's own GL context and leaves the host's GL state as it was.
#include <SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "draw/host_context.h"
#include "particleplayer.h"
#include "tests/effects/temp_dir.h"
#include "tests/lib/host_window.h"

namespace {

constexpr int kWidth = 96, kHeight = 72;

using pp::testing::HostWindow;

uint32_t ReadClock(void* user) {
    return *static_cast<uint32_t*>(user);
}

// Every entry point once per refusal; the rows after pp_renderer_create run beside a renderer.
TEST(CApi, NullAndBadArgumentsGiveErrorCodes) {
    pp_renderer *renderer = nullptr, *second = nullptr;
    EXPECT_EQ(pp_renderer_create(&renderer), PP_ERROR_STATE) << "no context is current";
    HostWindow host(8, 8);
    pp_world *world = nullptr, *clocked = nullptr;
    pp_vertices* vertices = nullptr;
    uint32_t now = 40;
    ASSERT_EQ(pp_world_create_with_clock(&clocked, ReadClock, &now), PP_OK);
    ASSERT_TRUE(pp_world_create(&world, 1000) == PP_OK && pp_vertices_create(&vertices) == PP_OK);
    const std::string huge(2u << 20, ' ');
    uint32_t effect = 0;
    int64_t count = 0;
    float seconds = 0;
    pp_frame_times times{};
    const pp_vertex* data = nullptr;
    const pp_vertex_run* runs = nullptr;
    size_t files = 0;
    int32_t number = 0;
    const char* path = nullptr;
    size_t n = 0;
    uint8_t pixels[4 * 4 * 4] = {};
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 8, 8, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_Renderer* soft = SDL_CreateSoftwareRenderer(surface);
    ASSERT_NE(soft, nullptr) << SDL_GetError();
    pp_sdl_renderer* sdl = nullptr;
    pp::testing::TempDir dir;
    dir.Write("a.txt", "Attractor = {X = 1}");
    const std::string group = dir.Write("g.txt", "Group = {a.txt, a.txt}");
    uint32_t members[2] = {};
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
        ROW(pp_world_load_effect_text(world, huge.data(), huge.size(), 0, 0, &effect),
            PP_ERROR_ARGUMENT),
        ROW(pp_world_load_effect_text(nullptr, "", 0, 0, 0, &effect), PP_ERROR_NULL),
        ROW(pp_world_load_effect_text(world, nullptr, 5, 0, 0, &effect), PP_ERROR_NULL),
        ROW(pp_world_set_sprite_range(nullptr, 1, 0, 0, 1), PP_ERROR_NULL),
        ROW(pp_world_set_sprite_range(world, 0, 0, 0, 1), PP_ERROR_ARGUMENT),
        ROW(pp_world_set_position(nullptr, 1, 0, 0), PP_ERROR_NULL),
        ROW(pp_world_set_position(world, 1, 0, 0), PP_ERROR_ARGUMENT),  // failed loads made none
        ROW(pp_world_set_emission_rate(nullptr, 1, 1, 1, 1), PP_ERROR_NULL),
        ROW(pp_world_set_emission_rate(world, 1, 1, 1, 1), PP_ERROR_ARGUMENT),
        ROW(pp_world_set_disabled(nullptr, 1, 1), PP_ERROR_NULL),
        ROW(pp_world_set_disabled(world, 1, 1), PP_ERROR_ARGUMENT),
        ROW(pp_world_set_time(clocked, 5), PP_ERROR_STATE),
        ROW(pp_world_advance_time(clocked, 5), PP_ERROR_STATE),
        ROW(pp_world_set_threads(nullptr, 2), PP_ERROR_NULL),
        ROW(pp_world_set_threads(world, -1), PP_ERROR_ARGUMENT),
        ROW(pp_world_set_threads(world, 257), PP_ERROR_ARGUMENT),
        ROW(pp_world_set_threads(world, 256), PP_OK),
        ROW(pp_world_set_threads(world, 2), PP_OK),
        // Forcing the path that runs changes nothing; a code outside the enum is refused.
        ROW(pp_force_cpu_path(pp_active_cpu_path()), PP_OK),
        ROW(pp_force_cpu_path(static_cast<pp_cpu_path>(4)), PP_ERROR_ARGUMENT),
        ROW(pp_world_reapply_effect_file(nullptr, 1, "x", 0, 0), PP_ERROR_NULL),
        ROW(pp_world_reapply_effect_file(world, 1, nullptr, 0, 0), PP_ERROR_NULL),
        ROW(pp_world_reapply_effect_file(world, 1, "x", 0, 0), PP_ERROR_ARGUMENT),
        ROW(pp_world_effect_particle_count(nullptr, 1, &count), PP_ERROR_NULL),
        ROW(pp_world_effect_particle_count(world, 1, nullptr), PP_ERROR_NULL),
        ROW(pp_world_effect_particle_count(world, 1, &count), PP_ERROR_ARGUMENT),
        ROW(pp_world_remove_all_effects(nullptr), PP_ERROR_NULL),
        ROW(pp_world_load_effect_text(clocked, nullptr, 0, 0, 0, &effect), PP_OK),  // no bytes
        ROW(pp_world_reapply_effect_file(clocked, effect, "/no/such/file.txt", 0, 0),
            PP_ERROR_FILE),
        ROW(pp_world_effect_particle_count(clocked, effect, &count), PP_OK),
        ROW(pp_world_remove_all_effects(clocked), PP_OK),
        ROW(pp_world_effect_particle_count(clocked, effect, &count), PP_ERROR_ARGUMENT),
        ROW(pp_world_update(clocked, &seconds), PP_OK),
        ROW(pp_world_update(nullptr, &seconds), PP_ERROR_NULL),
        ROW(pp_world_particle_count(nullptr, &count), PP_ERROR_NULL),
        ROW(pp_world_create_in(nullptr, 0, "", 0), PP_ERROR_NULL),
        ROW(pp_world_sprite_file_count(nullptr, &files), PP_ERROR_NULL),
        ROW(pp_world_sprite_file_count(world, nullptr), PP_ERROR_NULL),
        ROW(pp_world_sprite_file(nullptr, 0, &number, &path), PP_ERROR_NULL),
        ROW(pp_world_sprite_file(world, 0, nullptr, &path), PP_ERROR_NULL),
        ROW(pp_world_sprite_file(world, 0, &number, nullptr), PP_ERROR_NULL),
        ROW(pp_world_sprite_file(world, 0, &number, &path), PP_ERROR_ARGUMENT),
        ROW(pp_world_remove_effect(nullptr, 1), PP_ERROR_NULL),
        ROW(pp_world_set_max_particles(nullptr, 5), PP_ERROR_NULL),
        ROW(pp_world_set_max_particles(world, -1), PP_ERROR_ARGUMENT),
        ROW(pp_world_dropped_births(world, nullptr), PP_ERROR_NULL),
        ROW(pp_world_remove_effect(world, 9), PP_ERROR_ARGUMENT),
        ROW(pp_world_load_effect_group(world, nullptr, 0, 0, members, 2, &n), PP_ERROR_NULL),
        ROW(pp_world_load_effect_group(world, "/no/such.txt", 0, 0, members, 2, &n), PP_ERROR_FILE),
        ROW(pp_world_load_effect_group(world, group.c_str(), 0, 0, members, 1, &n),
            PP_ERROR_ARGUMENT),  // too few places: none loaded
        ROW(pp_world_effect_particle_count(world, 2, &count), PP_ERROR_ARGUMENT),
        ROW(pp_world_load_effect_group(world, group.c_str(), 0, 0, members, 2, &n), PP_OK),
        ROW(pp_world_set_force_point_at(world, members[1], 0, 8, 1, 1), PP_ERROR_ARGUMENT),
        ROW(pp_world_set_force_point_at(world, members[1], 0, 1, 1, 1), PP_OK),
        ROW(pp_world_set_group_position(world, members, 2, 5, 6), PP_OK),
        ROW(pp_world_remove_group(world, members, 2), PP_OK),
        ROW(pp_world_set_group_position(world, members, 2, 5, 6), PP_ERROR_ARGUMENT),
        ROW(pp_world_remove_group(world, members, 2), PP_ERROR_ARGUMENT),
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
        ROW(pp_screen_draw_timed(nullptr, 1, &times), PP_ERROR_NULL),
        ROW(pp_screen_draw_timed(world, 1, nullptr), PP_ERROR_NULL),
        ROW(pp_screen_draw_timed(world, 1, &times), PP_ERROR_STATE),
        ROW(pp_screen_set_background(1, 2, 3), PP_ERROR_STATE),
        ROW(pp_screen_set_background_image(nullptr, 3, 1, 1), PP_ERROR_NULL),
        ROW(pp_screen_set_background_image(pixels, 3, 1, 1), PP_ERROR_STATE),
        ROW(pp_screen_read_pixels(nullptr, 3), PP_ERROR_NULL),
        ROW(pp_screen_read_pixels(pixels, 3), PP_ERROR_STATE),
        ROW(pp_renderer_create(nullptr), PP_ERROR_NULL),
        ROW(pp_renderer_load_sprite(nullptr, 1, "x.png"), PP_ERROR_NULL),
        ROW(pp_renderer_load_sprite_rgba(nullptr, 1, 1, 1, pixels, 3), PP_ERROR_NULL),
        ROW(pp_renderer_draw(nullptr, world, 8, 8, 0), PP_ERROR_NULL),
        ROW(pp_renderer_create(&renderer), PP_OK),
        ROW(pp_renderer_create(&second), PP_ERROR_STATE),
        ROW(pp_screen_open("t", 8, 8, 1), PP_ERROR_STATE),
        ROW(pp_screen_load_sprite(1, PP_SOURCE_DIR "/Data/Feuer.png"), PP_ERROR_STATE),
        ROW(pp_renderer_load_sprite(renderer, -1, "x.png"), PP_ERROR_ARGUMENT),
        ROW(pp_renderer_load_sprite(renderer, 1, "/no/such.png"), PP_ERROR_FILE),
        ROW(pp_renderer_load_sprite(renderer, 0, PP_SOURCE_DIR "/Data/Feuer.png"), PP_OK),
        ROW(pp_renderer_load_sprite_rgba(renderer, -1, 4, 4, pixels, 64), PP_ERROR_ARGUMENT),
        ROW(pp_renderer_load_sprite_rgba(renderer, 1, 0, 4, pixels, 64), PP_ERROR_ARGUMENT),
        ROW(pp_renderer_load_sprite_rgba(renderer, 1, 16385, 1, pixels, 64), PP_ERROR_ARGUMENT),
        ROW(pp_renderer_load_sprite_rgba(renderer, 1, 4, 4, pixels, 63), PP_ERROR_ARGUMENT),
        ROW(pp_renderer_load_sprite_rgba(renderer, 1, 4, 4, pixels, 64), PP_OK),
        ROW(pp_renderer_load_sprite_rgba(renderer, 0, 4, 4, pixels, 64), PP_OK),
        ROW(pp_renderer_draw(renderer, nullptr, 8, 8, 0), PP_ERROR_NULL),
        ROW(pp_renderer_draw(renderer, world, 0, 8, 0), PP_ERROR_ARGUMENT),
        ROW(pp_renderer_draw(renderer, world, 8, 16385, 1), PP_ERROR_ARGUMENT),
        ROW(pp_renderer_draw(renderer, world, 8, 8, 1), PP_OK),
        ROW(pp_sdl_renderer_create(nullptr, &sdl), PP_ERROR_NULL),
        ROW(pp_sdl_renderer_create(soft, nullptr), PP_ERROR_NULL),
        ROW(pp_sdl_renderer_load_sprite(nullptr, 1, "x.png"), PP_ERROR_NULL),
        ROW(pp_sdl_renderer_load_sprite_rgba(nullptr, 1, 4, 4, pixels, 64), PP_ERROR_NULL),
        ROW(pp_sdl_renderer_draw(nullptr, world, 0, 0, 0), PP_ERROR_NULL),
        ROW(pp_sdl_renderer_create(soft, &sdl), PP_OK),
        ROW(pp_sdl_renderer_load_sprite(sdl, 1, nullptr), PP_ERROR_NULL),
        ROW(pp_sdl_renderer_load_sprite(sdl, -1, "x.png"), PP_ERROR_ARGUMENT),
        ROW(pp_sdl_renderer_load_sprite(sdl, 1, "/no/such.png"), PP_ERROR_FILE),
        ROW(pp_sdl_renderer_load_sprite(sdl, 1, PP_SOURCE_DIR "/Data/Feuer.txt"), PP_ERROR_FILE),
        ROW(pp_sdl_renderer_load_sprite_rgba(sdl, 1, 4, 4, nullptr, 64), PP_ERROR_NULL),
        ROW(pp_sdl_renderer_load_sprite_rgba(sdl, -1, 4, 4, pixels, 64), PP_ERROR_ARGUMENT),
        ROW(pp_sdl_renderer_load_sprite_rgba(sdl, 1, 4, 0, pixels, 64), PP_ERROR_ARGUMENT),
        ROW(pp_sdl_renderer_load_sprite_rgba(sdl, 1, 16385, 1, pixels, 64), PP_ERROR_ARGUMENT),
        ROW(pp_sdl_renderer_load_sprite_rgba(sdl, 1, 4, 4, pixels, 63), PP_ERROR_ARGUMENT),
        ROW(pp_sdl_renderer_load_sprite_rgba(sdl, 1, 4, 4, pixels, 64), PP_OK),
        ROW(pp_sdl_renderer_draw(sdl, nullptr, 0, 0, 0), PP_ERROR_NULL),
        ROW(pp_sdl_renderer_draw(sdl, world, -5, 1 << 30, -(1 << 30)), PP_OK),
    };
#undef ROW
    for (const auto& row : rows) EXPECT_EQ(row.Got, row.Want) << row.Call;
    EXPECT_EQ(second, nullptr);
    for (const char* error : {pp_world_last_error(world), pp_world_last_error(nullptr),
                              pp_renderer_last_error(renderer), pp_renderer_last_error(nullptr),
                              pp_sdl_renderer_last_error(sdl), pp_sdl_renderer_last_error(nullptr),
                              pp_status_text(static_cast<pp_status>(99))}) {
        EXPECT_STRNE(error, "");
    }
    pp_screen_close();  // with no screen open, and destroying null: nothing to do
    for (pp_renderer* r : {static_cast<pp_renderer*>(nullptr), renderer}) pp_renderer_destroy(r);
    for (pp_sdl_renderer* r : {static_cast<pp_sdl_renderer*>(nullptr), sdl}) {
        pp_sdl_renderer_destroy(r);
    }
    SDL_DestroyRenderer(soft);
    SDL_FreeSurface(surface);
    for (pp_vertices* v : {static_cast<pp_vertices*>(nullptr), vertices}) pp_vertices_destroy(v);
    now += 100;
    EXPECT_EQ(pp_world_update(clocked, &seconds), PP_OK);
    EXPECT_FLOAT_EQ(seconds, 0.1f) << "a host-clock world reads the host's clock";
    for (pp_world* w : {static_cast<pp_world*>(nullptr), world, clocked}) pp_world_destroy(w);
}

// The bound read framebuffer as top-down R, G, B rows.
std::vector<uint8_t> ReadTopDown() {
    std::vector<uint8_t> rgb(kWidth * kHeight * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int y = 0; y < kHeight; ++y) {
        glReadPixels(0, kHeight - 1 - y, kWidth, 1, GL_RGB, GL_UNSIGNED_BYTE, &rgb[y * kWidth * 3]);
    }
    return rgb;
}

// Each query gives the values the host set (a texture binding: unit 0's, so it comes last),
// and no GL call failed.
void ExpectGlState(std::initializer_list<std::pair<GLenum, std::vector<GLint>>> rows) {
    for (const auto& [query, want] : rows) {
        if (query == GL_TEXTURE_BINDING_2D) glActiveTexture(GL_TEXTURE0);
        std::vector<GLint> got(want.size(), -1);
        glGetIntegerv(query, got.data());
        EXPECT_EQ(got, want) << std::hex << query;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A fire and a tinted, turned effect whose blend reads the destination alpha, 400 ms in.
pp_world* FireAndTurned() {
    pp_world* world = nullptr;
    if (pp_world_create(&world, 1000) != PP_OK || pp_world_seed(world, 3) != PP_OK) return world;
    const char turned[] =
        "EmissionRate = 200,\nSize = 14,\nRotation = {Min = 0, Max = 90, Inc = 1},\n"
        "Transparency = 160,\nBlendingMode = {7, 6},\nColour = {200, 120, 60}";
    uint32_t effects[2] = {};
    EXPECT_EQ(pp_world_load_effect_file(world, "Data/Feuer.txt", 48, 50, &effects[0]), PP_OK);
    EXPECT_EQ(pp_world_load_effect_text(world, turned, sizeof turned - 1, 30, 30, &effects[1]),
              PP_OK);
    for (const uint32_t e : effects)
        EXPECT_EQ(pp_world_set_sprite_range(world, e, 1, -65535, 1), PP_OK);
    EXPECT_TRUE(pp_world_update(world, nullptr) == PP_OK &&
                pp_world_advance_time(world, 400) == PP_OK);
    return world;
}

TEST(CApi, RendererDrawsTheLibraryScreensPixelsAndLeavesTheHostState) {
    pp::testing::InFolder root(PP_SOURCE_DIR);
    pp_world* world = FireAndTurned();
    ASSERT_NE(world, nullptr);
    ASSERT_EQ(pp_screen_open("", kWidth, kHeight, 1), PP_OK);
    EXPECT_EQ(pp_screen_load_sprite(2, "/no/such.png"), PP_ERROR_FILE);
    ASSERT_TRUE(pp_screen_load_sprite(1, "Data/Feuer.png") == PP_OK &&
                pp_screen_draw(world, 1) == PP_OK);
    // Neither effect (ids 1 and 2, in load order) starts others, so their own counts make
    // the whole.
    int64_t total = 0, own[2] = {-1, -1};
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(pp_world_effect_particle_count(world, static_cast<uint32_t>(i + 1), &own[i]),
                  PP_OK);
    EXPECT_TRUE(pp_world_particle_count(world, &total) == PP_OK && total > 0 &&
                own[0] + own[1] == total);
    std::vector<uint8_t> screen(kWidth * kHeight * 3);
    EXPECT_EQ(pp_screen_read_pixels(screen.data(), screen.size() - 1), PP_ERROR_ARGUMENT);
    ASSERT_EQ(pp_screen_read_pixels(screen.data(), screen.size()), PP_OK);
    // The same frame again, timed and not updated: the same pixels, its quads counted.
    pp_frame_times times{};
    std::vector<uint8_t> timed(screen.size());
    ASSERT_TRUE(pp_screen_draw_timed(world, 0, &times) == PP_OK &&
                pp_screen_read_pixels(timed.data(), timed.size()) == PP_OK);
    EXPECT_TRUE(timed == screen && times.quads > 0 && times.update_seconds == 0.0);
    // The vertex array of that frame: six vertices for each quad drawn, every one in a run.
    pp_vertices* vertices = nullptr;
    const pp_vertex* data = nullptr;
    const pp_vertex_run* runs = nullptr;
    size_t count = 0, runCount = 0;
    ASSERT_TRUE(pp_vertices_create(&vertices) == PP_OK &&
                pp_world_build_vertices(world, 0, vertices) == PP_OK &&
                pp_vertices_data(vertices, &data, &count) == PP_OK &&
                pp_vertices_runs(vertices, &runs, &runCount) == PP_OK);
    uint64_t inRuns = 0;
    for (size_t i = 0; i < runCount; ++i) inRuns += runs[i].count;
    EXPECT_TRUE(count == 6 * static_cast<uint64_t>(times.quads) && inRuns == count) << count;
    pp_vertices_destroy(vertices);
    // Over a colour the empty pixels take it; over a black picture it is the same frame.
    ASSERT_TRUE(pp_screen_set_background(10, 20, 30) == PP_OK &&
                pp_screen_draw(world, 0) == PP_OK &&
                pp_screen_read_pixels(timed.data(), timed.size()) == PP_OK);
    size_t empty = 0;
    while (empty + 3 < screen.size() && screen[empty] + screen[empty + 1] + screen[empty + 2] != 0)
        empty += 3;
    EXPECT_TRUE(timed[empty] == 10 && timed[empty + 1] == 20 && timed[empty + 2] == 30);
    std::vector<uint8_t> black(screen.size());
    EXPECT_EQ(pp_screen_set_background_image(black.data(), black.size() - 3, kWidth, kHeight),
              PP_ERROR_ARGUMENT);
    ASSERT_TRUE(pp_screen_set_background_image(black.data(), black.size(), kWidth, kHeight) ==
                    PP_OK &&
                pp_screen_draw(world, 0) == PP_OK &&
                pp_screen_read_pixels(timed.data(), timed.size()) == PP_OK);
    EXPECT_TRUE(timed == screen);
    pp_screen_close();

    HostWindow host(kWidth, kHeight);
    pp_renderer* renderer = nullptr;
    ASSERT_EQ(pp_renderer_create(&renderer), PP_OK) << SDL_GetError();
    ASSERT_EQ(pp_renderer_load_sprite(renderer, 1, "Data/Feuer.png"), PP_OK);
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_EQ(pp_renderer_draw(renderer, world, kWidth, kHeight, 2), PP_OK);  // any non-zero clears
    EXPECT_TRUE(ReadTopDown() == screen) << "not the library screen's frame";

    // A solid red sprite from memory over the host's blue framebuffer object, with the host's
    // own state all around, which must come back: another framebuffer bound for reading.
    GLuint texture = 0, readFramebuffer = 0, vertexArray = 0, buffer = 0;
    const GLuint framebuffer = pp::testing::TextureFramebuffer(kWidth, kHeight, texture);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glGenFramebuffers(1, &readFramebuffer);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, readFramebuffer);
    std::vector<uint8_t> red(4 * 4 * 4, 0);
    for (size_t i = 0; i < red.size(); i += 4) red[i] = red[i + 3] = 255;
    ASSERT_EQ(pp_renderer_load_sprite_rgba(renderer, 1, 4, 4, red.data(), red.size()), PP_OK);
    glGenVertexArrays(1, &vertexArray);
    glBindVertexArray(vertexArray);
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glActiveTexture(GL_TEXTURE3);
    glViewport(1, 2, 30, 40);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_SRC_COLOR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    ASSERT_EQ(pp_renderer_draw(renderer, world, kWidth, kHeight, 0), PP_OK);
    ExpectGlState({{GL_VIEWPORT, {1, 2, 30, 40}},
                   {GL_VERTEX_ARRAY_BINDING, {GLint(vertexArray)}},
                   {GL_ARRAY_BUFFER_BINDING, {GLint(buffer)}},
                   {GL_DRAW_FRAMEBUFFER_BINDING, {GLint(framebuffer)}},
                   {GL_READ_FRAMEBUFFER_BINDING, {GLint(readFramebuffer)}},
                   {GL_ACTIVE_TEXTURE, {GL_TEXTURE3}},
                   {GL_BLEND, {GL_TRUE}},
                   {GL_BLEND_DST_ALPHA, {GL_SRC_COLOR}},
                   {GL_UNPACK_ALIGNMENT, {8}},
                   {GL_TEXTURE_BINDING_2D, {GLint(texture)}}});
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    const std::vector<uint8_t> over = ReadTopDown();
    const size_t corner = ((kHeight - 1) * kWidth + kWidth - 1) * 3, fire = (45 * kWidth + 48) * 3;
    EXPECT_TRUE(over[corner] == 0 && over[corner + 2] == 255) << "the host's pixels are kept";
    EXPECT_GT(over[fire], 0) << "the red sprite is drawn over them";
    pp_renderer_destroy(renderer);
    pp_world_destroy(world);
}

// Frames drawn straight into the host's framebuffer against the same frames composed in the
// screen's back buffer and copied over, byte for byte with alpha: into the window, over all
// of it or its lower-left part (as tall as the window or lower), and into framebuffer objects as
// large as the frame and larger, cleared or over the host's colour with an alpha below 1. The
// frames over the whole area are the window's colours wherever they are drawn; the host's scissor
// box and clip control, set to odd values that the copies must not draw with, come back.
TEST(CApi, RendererDrawsStraightWhatItComposedAndCopied) {
    pp::testing::InFolder root(PP_SOURCE_DIR);
    pp_world* world = FireAndTurned();
    ASSERT_NE(world, nullptr);
    ASSERT_EQ(pp_world_update(world, nullptr), PP_OK);
    HostWindow host(kWidth, kHeight);
    pp_renderer* renderer = nullptr;
    ASSERT_EQ(pp_renderer_create(&renderer), PP_OK) << SDL_GetError();
    ASSERT_EQ(pp_renderer_load_sprite(renderer, 1, "Data/Feuer.png"), PP_OK);
    GLint alphaBits = 0;
    glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_BACK_LEFT,
                                          GL_FRAMEBUFFER_ATTACHMENT_ALPHA_SIZE, &alphaBits);
    ASSERT_EQ(alphaBits, 8) << "a window without alpha cannot show its alpha written";
    glScissor(1, 2, 3, 4);
    glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    const struct {
        int Width, Height;  // of a framebuffer object; 0: the window's framebuffer
        int AreaWidth, AreaHeight, Clear;
    } rows[] = {{0, 0, kWidth, kHeight, 0},
                {0, 0, kWidth, kHeight, 1},
                {0, 0, kWidth - 16, kHeight, 1},
                {0, 0, kWidth - 16, kHeight - 8, 1},
                {kWidth, kHeight, kWidth, kHeight, 0},
                {kWidth, kHeight, kWidth, kHeight, 1},
                {kWidth + 13, kHeight + 7, kWidth, kHeight, 1}};
    std::vector<uint8_t> window[2];  // the window's whole-area frames by clear
    for (const auto& row : rows) {
        const int width = row.Width == 0 ? kWidth : row.Width;
        const int height = row.Height == 0 ? kHeight : row.Height;
        GLuint texture = 0;
        const GLuint framebuffer =
            row.Width == 0 ? 0 : pp::testing::TextureFramebuffer(width, height, texture);
        std::vector<uint8_t> frames[2];  // straight, copied: R, G, B, A rows from the bottom
        for (int copies = 0; copies < 2; ++copies) {
            pp::DrawHostFramesThroughCopies(copies == 1);
            glClearColor(0.2f, 0.4f, 0.6f, 0.3f);
            glClear(GL_COLOR_BUFFER_BIT);
            ASSERT_EQ(pp_renderer_draw(renderer, world, row.AreaWidth, row.AreaHeight, row.Clear),
                      PP_OK);
            frames[copies].resize(static_cast<size_t>(width) * height * 4);
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, frames[copies].data());
        }
        pp::DrawHostFramesThroughCopies(false);
        EXPECT_TRUE(frames[0] == frames[1])
            << width << " x " << height << " framebuffer " << framebuffer << ", area "
            << row.AreaWidth << " x " << row.AreaHeight << ", clear " << row.Clear;
        if (row.AreaWidth == kWidth && row.Width == 0) window[row.Clear] = frames[0];
        int differ = 0;  // colour bytes of the frame's area unlike the window's frame
        for (int i = 0; row.AreaWidth == kWidth && row.Width != 0 && i < kWidth * kHeight * 4; ++i)
            differ +=
                i % 4 != 3 && frames[0][(i / 4 / kWidth * width + i / 4 % kWidth) * 4 + i % 4] !=
                                  window[row.Clear][i];
        EXPECT_EQ(differ, 0) << "not the window's colours in framebuffer " << framebuffer;
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &framebuffer);
        glDeleteTextures(1, &texture);
    }
    ExpectGlState({{GL_SCISSOR_BOX, {1, 2, 3, 4}},
                   {GL_CLIP_ORIGIN, {GL_UPPER_LEFT}},
                   {GL_CLIP_DEPTH_MODE, {GL_ZERO_TO_ONE}}});
    pp_renderer_destroy(renderer);
    pp_world_destroy(world);
}

}  // namespace
