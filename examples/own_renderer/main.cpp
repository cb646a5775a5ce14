// A host that draws particleplayer's quads with its own OpenGL: its own window and context,
// one instance a particle expanded into its corners by the library's instance vertex shader,
// one instanced draw per run with the run's blend pair. Sprites are not loaded here: every
// quad is a white square with the particle's alpha, which is enough to show that the bundled
// renderer can be replaced.
//   own_renderer EFFECT.txt [--frames N --out FRAME.ppm]   (N frames on a virtual clock)
#include <SDL.h>
#include <epoxy/gl.h>
#include <particleplayer/vertices.h>
#include <particleplayer/world.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const char* kFragment = R"(#version 330 core
in vec2 Cell;
in vec4 Tint;
out vec4 Out;
void main() { Out = Tint; })";

GLenum Factor(int32_t code) {
    static const GLenum table[] = {GL_ZERO,
                                   GL_ONE,
                                   GL_SRC_COLOR,
                                   GL_ONE_MINUS_SRC_COLOR,
                                   GL_SRC_ALPHA,
                                   GL_ONE_MINUS_SRC_ALPHA,
                                   GL_DST_ALPHA,
                                   GL_ONE_MINUS_DST_ALPHA,
                                   GL_DST_COLOR,
                                   GL_ONE_MINUS_DST_COLOR,
                                   GL_SRC_ALPHA_SATURATE};
    return code >= 1 && code <= 11 ? table[code - 1] : GL_SRC_ALPHA;
}

GLuint Program() {
    const GLuint program = glCreateProgram();
    for (const auto& [kind, source] :
         {std::pair{GL_VERTEX_SHADER, particleplayer::kInstanceVertexShader},
          {GL_FRAGMENT_SHADER, kFragment}}) {
        const GLuint shader = glCreateShader(kind);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        glAttachShader(program, shader);
    }
    glLinkProgram(program);
    return program;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: own_renderer EFFECT.txt [--frames N --out FRAME.ppm]\n", stderr);
        return 2;
    }
    long frames = argc > 3 && std::strcmp(argv[2], "--frames") == 0 ? std::atol(argv[3]) : 0;
    const char* out = argc > 5 && std::strcmp(argv[4], "--out") == 0 ? argv[5] : nullptr;
    SDL_Init(SDL_INIT_VIDEO);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_Window* window = SDL_CreateWindow("own_renderer", 0, 0, 800, 600,
                                          SDL_WINDOW_OPENGL | (frames > 0 ? SDL_WINDOW_HIDDEN : 0));
    if (window == nullptr || SDL_GL_CreateContext(window) == nullptr) {
        std::fprintf(stderr, "own_renderer: %s\n", SDL_GetError());
        return 1;
    }
    particleplayer::WorldOptions options;
    options.Seed = 1;
    particleplayer::World world(options);
    const auto effect = world.LoadEffectFile(argv[1], 400, 300);
    if (!effect.Ok()) {
        std::fprintf(stderr, "own_renderer: %s\n", effect.Error.c_str());
        return 1;
    }
    GLuint vao, vbo;
    glGenVertexArrays(1, &vao);
    glGenBuffers(1, &vbo);
    glBindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    using particleplayer::QuadInstance;
    // Each instance's fields from the run's first instance on: GL 3.3 has no base instance.
    auto pointAt = [](uint32_t first) {
        const size_t base = first * sizeof(QuadInstance);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(QuadInstance),
                              (void*)(base + offsetof(QuadInstance, Left)));
        glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, sizeof(QuadInstance),
                              (void*)(base + offsetof(QuadInstance, Cos)));
        glVertexAttribPointer(2, 4, GL_FLOAT, GL_FALSE, sizeof(QuadInstance),
                              (void*)(base + offsetof(QuadInstance, U0)));
        glVertexAttribPointer(3, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(QuadInstance),
                              (void*)(base + offsetof(QuadInstance, Red)));
    };
    for (GLuint attribute = 0; attribute < 4; ++attribute) {
        glEnableVertexAttribArray(attribute);
        glVertexAttribDivisor(attribute, 1);
    }
    const GLuint program = Program();
    glUseProgram(program);
    glUniform2f(glGetUniformLocation(program, "Viewport"), 800.0f, 600.0f);
    glEnable(GL_BLEND);
    particleplayer::InstanceArray quads;
    for (long frame = 1; frames == 0 || frame <= frames; ++frame) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_QUIT) frames = frame;
        }
        world.SetTime(frames > 0 ? static_cast<uint32_t>(1000 + 16 * frame)
                                 : 1000 + SDL_GetTicks());
        world.Update();
        particleplayer::BuildInstances(world, quads);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glBufferData(GL_ARRAY_BUFFER, quads.Instances.size() * sizeof(QuadInstance),
                     quads.Instances.data(), GL_STREAM_DRAW);
        for (const particleplayer::VertexRun& run : quads.Runs) {
            glBlendFunc(Factor(run.BlendSource), Factor(run.BlendDestination));
            pointAt(run.First);
            glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, run.Count);
        }
        if (out != nullptr && frame == frames) {
            std::vector<uint8_t> rgb(800 * 600 * 3);
            glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
            std::FILE* file = std::fopen(out, "wb");
            if (file == nullptr) return 1;
            std::fprintf(file, "P6\n800 600\n255\n");
            for (int row = 599; row >= 0; --row) std::fwrite(&rgb[row * 2400], 1, 2400, file);
            std::fclose(file);
            std::printf("own_renderer: %zu quads in %zu runs\n", quads.Instances.size(),
                        quads.Runs.size());
        }
        SDL_GL_SwapWindow(window);
    }
    SDL_Quit();
    return 0;
}
