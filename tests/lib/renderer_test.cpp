// The renderer in a host's own context: the same pixels as the library's screen, the host's
// GL state left as it was, one renderer per process, and the C calls' bad arguments.
#include "particleplayer/renderer.h"

#include <SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "particleplayer.h"
#include "particleplayer/screen.h"
#include "platform/gl_program.h"
#include "tests/effects/temp_dir.h"

namespace particleplayer {
namespace {

constexpr int kWidth = 96, kHeight = 72;

// The host's hidden window with an OpenGL 3.3 core context of its own, current while it lives.
struct HostWindow {
    HostWindow() {
        SDL_InitSubSystem(SDL_INIT_VIDEO);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        for (SDL_GLattr size : {SDL_GL_RED_SIZE, SDL_GL_GREEN_SIZE, SDL_GL_BLUE_SIZE}) {
            SDL_GL_SetAttribute(size, 8);
        }
        Window =
            SDL_CreateWindow("host", 0, 0, kWidth, kHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        Context = Window != nullptr ? SDL_GL_CreateContext(Window) : nullptr;
    }
    ~HostWindow() {
        if (Context != nullptr) SDL_GL_DeleteContext(Context);
        if (Window != nullptr) SDL_DestroyWindow(Window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    SDL_Window* Window;
    SDL_GLContext Context;
};

// The bound read framebuffer as top-down R, G, B rows.
std::vector<uint8_t> ReadTopDown() {
    std::vector<uint8_t> bottomUp(kWidth * kHeight * 3), rgb;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    for (int row = kHeight - 1; row >= 0; --row) {
        rgb.insert(rgb.end(), bottomUp.begin() + row * kWidth * 3,
                   bottomUp.begin() + (row + 1) * kWidth * 3);
    }
    return rgb;
}

// A fire and a tinted, turned effect whose blend reads the destination alpha, updated once.
World FireWorld() {
    WorldOptions options;
    options.Seed = 3;
    World world(options);
    const char* turned =
        "EmissionRate = 200\nSize = 14\nRotation = {Min = 0, Max = 90, Inc = 1}\n"
        "BlendingMode = {7, 6}\nColour = {200, 120, 60}";
    for (const Effect e : {world.LoadEffectFile("Data/Feuer.txt", 48, 50).Value,
                           world.LoadEffectText(turned, 30, 30).Value}) {
        EXPECT_TRUE(world.SetSpriteRange(e, 1, -65535, 1).Ok());
    }
    world.Update();
    world.AdvanceTime(400);
    world.Update();
    return world;
}

TEST(Renderer, DrawsTheLibraryScreensPixelsAndLeavesTheHostState) {
    pp::testing::InFolder root(PP_SOURCE_DIR);
    World world = FireWorld();
    std::vector<uint8_t> screen;
    const ScreenOptions hidden{"", kWidth, kHeight, true};
    ASSERT_TRUE(OpenScreen(hidden).Ok());
    ASSERT_TRUE(LoadSprite(1, "Data/Feuer.png").Ok());
    ASSERT_TRUE(DrawFrame(world, false).Ok());
    ASSERT_TRUE(ReadPixels(screen).Ok());
    CloseScreen();
    ASSERT_NE(std::count(screen.begin(), screen.end(), 0), std::ssize(screen)) << "all black";

    HostWindow host;
    ASSERT_NE(host.Context, nullptr) << SDL_GetError();
    auto renderer = Renderer::Create();
    ASSERT_TRUE(renderer.Ok()) << renderer.Error;
    EXPECT_FALSE(Renderer::Create().Ok()) << "one renderer per process";
    EXPECT_FALSE(OpenScreen(hidden).Ok()) << "no library screen beside a renderer";
    ASSERT_TRUE(renderer.Value.LoadSprite(1, "Data/Feuer.png").Ok());
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_TRUE(renderer.Value.Draw(world, kWidth, kHeight, true).Ok());
    EXPECT_TRUE(ReadTopDown() == screen) << "not the library screen's frame";

    // Over the host's own framebuffer object filled blue, with a solid red sprite from memory
    // and unusual state all around; what the host set must come back.
    GLuint texture = 0, framebuffer = 0, vertexArray = 0, buffer = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kWidth, kHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 nullptr);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    std::vector<uint8_t> solidRed(4 * 4 * 4, 255);
    for (size_t i = 0; i < solidRed.size(); i += 4) solidRed[i + 1] = solidRed[i + 2] = 0;
    ASSERT_TRUE(renderer.Value.LoadSpritePixels(1, 4, 4, solidRed.data(), solidRed.size()).Ok());
    const GLuint program =
        pp::BuildGlProgram("#version 330 core\nvoid main() { gl_Position = vec4(0.0); }\n",
                           "#version 330 core\nout vec4 c;\nvoid main() { c = vec4(1.0); }\n");
    glUseProgram(program);
    glGenVertexArrays(1, &vertexArray);
    glBindVertexArray(vertexArray);
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glActiveTexture(GL_TEXTURE3);
    glViewport(1, 2, 30, 40);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_SRC_COLOR);
    glBlendEquation(GL_FUNC_REVERSE_SUBTRACT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 1, 1);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    glFrontFace(GL_CW);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_TRUE);
    ASSERT_TRUE(renderer.Value.Draw(world, kWidth, kHeight).Ok());
    const struct {
        const char* Name;
        GLenum Query;
        GLint Want;
    } rows[] = {
        {"program", GL_CURRENT_PROGRAM, static_cast<GLint>(program)},
        {"vertex array", GL_VERTEX_ARRAY_BINDING, static_cast<GLint>(vertexArray)},
        {"array buffer", GL_ARRAY_BUFFER_BINDING, static_cast<GLint>(buffer)},
        {"draw framebuffer", GL_DRAW_FRAMEBUFFER_BINDING, static_cast<GLint>(framebuffer)},
        {"read framebuffer", GL_READ_FRAMEBUFFER_BINDING, static_cast<GLint>(framebuffer)},
        {"active texture", GL_ACTIVE_TEXTURE, GL_TEXTURE3},
        {"blend", GL_BLEND, GL_TRUE},
        {"blend source", GL_BLEND_SRC_RGB, GL_ZERO},
        {"blend destination", GL_BLEND_DST_ALPHA, GL_SRC_COLOR},
        {"blend equation", GL_BLEND_EQUATION_RGB, GL_FUNC_REVERSE_SUBTRACT},
        {"scissor", GL_SCISSOR_TEST, GL_TRUE},
        {"cull face", GL_CULL_FACE, GL_TRUE},
        {"cull face mode", GL_CULL_FACE_MODE, GL_FRONT},
        {"front face", GL_FRONT_FACE, GL_CW},
        {"unpack alignment", GL_UNPACK_ALIGNMENT, 8},
    };
    for (const auto& row : rows) {
        GLint got = -1;
        glGetIntegerv(row.Query, &got);
        EXPECT_EQ(got, row.Want) << row.Name;
    }
    GLint viewport[4] = {}, bound = 0;
    GLboolean mask[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{1, 2, 30, 40}));
    EXPECT_EQ(mask[1], GL_FALSE);
    EXPECT_EQ(bound, static_cast<GLint>(texture));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    const std::vector<uint8_t> over = ReadTopDown();
    const size_t corner = ((kHeight - 1) * kWidth + kWidth - 1) * 3, fire = (45 * kWidth + 48) * 3;
    EXPECT_EQ(std::vector<uint8_t>(over.begin() + corner, over.begin() + corner + 3),
              (std::vector<uint8_t>{0, 0, 255}))
        << "the host's pixels stay where nothing is drawn";
    EXPECT_GT(over[fire], 0) << "the red sprite is drawn over them";
    renderer.Value.Close();
    EXPECT_FALSE(renderer.Value.Draw(world, kWidth, kHeight).Ok());
}

TEST(Renderer, CCallsRefuseBadArguments) {
    pp_renderer* renderer = nullptr;
    EXPECT_EQ(pp_renderer_create(&renderer), PP_ERROR_STATE) << "no context is current";
    HostWindow host;
    ASSERT_NE(host.Context, nullptr) << SDL_GetError();
    ASSERT_EQ(pp_renderer_create(&renderer), PP_OK);
    pp_renderer* second = nullptr;
    pp_world* world = nullptr;
    ASSERT_EQ(pp_world_create(&world, 1000), PP_OK);
    const uint8_t pixels[4 * 4 * 4] = {};
#define ROW(call, want) \
    { #call, call, want }
    const struct {
        const char* Call;
        pp_status Got, Want;
    } rows[] = {
        ROW(pp_renderer_create(&second), PP_ERROR_STATE),
        ROW(pp_screen_open("t", 8, 8, 1), PP_ERROR_STATE),
        ROW(pp_screen_load_sprite(1, PP_SOURCE_DIR "/Data/Feuer.png"), PP_ERROR_STATE),
        ROW(pp_renderer_load_sprite(renderer, -1, "x.png"), PP_ERROR_ARGUMENT),
        ROW(pp_renderer_load_sprite(renderer, 1, "/no/such.png"), PP_ERROR_FILE),
        ROW(pp_renderer_load_sprite_rgba(renderer, -1, 4, 4, pixels, 64), PP_ERROR_ARGUMENT),
        ROW(pp_renderer_load_sprite_rgba(renderer, 1, 0, 4, pixels, 64), PP_ERROR_ARGUMENT),
        ROW(pp_renderer_load_sprite_rgba(renderer, 1, 16385, 1, pixels, 64), PP_ERROR_ARGUMENT),
        ROW(pp_renderer_load_sprite_rgba(renderer, 1, 4, 4, pixels, 63), PP_ERROR_ARGUMENT),
        ROW(pp_renderer_load_sprite_rgba(renderer, 1, 4, 4, pixels, 64), PP_OK),
        ROW(pp_renderer_draw(renderer, nullptr, 8, 8, 0), PP_ERROR_NULL),
        ROW(pp_renderer_draw(renderer, world, 0, 8, 0), PP_ERROR_ARGUMENT),
        ROW(pp_renderer_draw(renderer, world, 8, 16385, 1), PP_ERROR_ARGUMENT),
        ROW(pp_renderer_draw(renderer, world, 8, 8, 1), PP_OK),
    };
#undef ROW
    for (const auto& row : rows) EXPECT_EQ(row.Got, row.Want) << row.Call;
    EXPECT_EQ(second, nullptr);
    EXPECT_STRNE(pp_renderer_last_error(renderer), "");
    pp_renderer_destroy(renderer);
    pp_world_destroy(world);
}

}  // namespace
}  // namespace particleplayer
