// A host that draws particleplayer's vertex array with its own OpenGL: its own window and
// context, its own sprite texture (read with libpng) and shader, one glDrawArrays per run with
// the run's texture and blend pair, as docs/embedding.md describes.
//   own_renderer EFFECT.txt SPRITE.png [--seed S] [--frames N --out FRAME.ppm]
// (N frames on a virtual clock at 1000 + 16 k, the effect at the centre, the last one written)
#include <SDL.h>
#include <epoxy/gl.h>
#include <particleplayer/vertices.h>
#include <particleplayer/world.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const char* kVertex = R"(#version 330 core
layout(location = 0) in vec2 Position;
layout(location = 1) in vec2 Uv;
layout(location = 2) in vec4 Colour;
out vec2 SpriteUv;
out vec4 Tint;
void main() {
    gl_Position = vec4((Position.x + 0.5) / 400.0 - 1.0, 1.0 - (Position.y + 0.5) / 300.0, 0, 1);
    SpriteUv = Uv;
    Tint = Colour;
})";
const char* kFragment = R"(#version 330 core
uniform sampler2D Sprite;
in vec2 SpriteUv;
in vec4 Tint;
out vec4 Out;
void main() { Out = texture(Sprite, SpriteUv) * Tint; })";

// A blend code's GL factor, the frame's alpha read as 1 (the picture has no alpha of its own):
// destination alpha is one, its inverse and the saturated source alpha are zero.
GLenum Factor(int32_t code, bool source) {
    static const GLenum table[] = {GL_ZERO,      GL_ONE,
                                   GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR,
                                   GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA,
                                   GL_ONE,       GL_ZERO,
                                   GL_DST_COLOR, GL_ONE_MINUS_DST_COLOR,
                                   GL_ZERO};
    if (code >= 1 && code <= 11) return table[code - 1];
    return source ? GL_SRC_ALPHA : GL_ONE_MINUS_SRC_ALPHA;  // 12, 13 and unknown codes
}

// The pair's factors: 12 and 13 set both, from either place, the source place first.
void SetBlend(int32_t source, int32_t destination) {
    for (const int32_t both : {source, destination}) {
        if (both == 12) return glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        if (both == 13) return glBlendFunc(GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA);
    }
    glBlendFunc(Factor(source, true), Factor(destination, false));
}

// The PNG file as a texture of straight R, G, B, A texels, sampled at the nearest texel.
GLuint LoadTexture(const char* path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path) == 0) return 0;
    image.format = PNG_FORMAT_RGBA;
    std::vector<png_byte> rgba(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr) == 0) return 0;
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, image.width, image.height, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, rgba.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return texture;
}

GLuint Program() {
    const GLuint program = glCreateProgram();
    for (const auto& [kind, source] :
         {std::pair{GL_VERTEX_SHADER, kVertex}, {GL_FRAGMENT_SHADER, kFragment}}) {
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
    const char *effectPath = nullptr, *spritePath = nullptr, *out = nullptr;
    long frames = 0;
    particleplayer::WorldOptions options;
    options.Seed = 1;
    for (int i = 1; i < argc; ++i) {
        const bool value = i + 1 < argc;
        if (value && std::strcmp(argv[i], "--seed") == 0) {
            options.Seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (value && std::strcmp(argv[i], "--frames") == 0) {
            frames = std::strtol(argv[++i], nullptr, 10);
        } else if (value && std::strcmp(argv[i], "--out") == 0) {
            out = argv[++i];
        } else {
            (effectPath == nullptr ? effectPath : spritePath) = argv[i];
        }
    }
    if (effectPath == nullptr || spritePath == nullptr) {
        std::fputs(
            "usage: own_renderer EFFECT.txt SPRITE.png [--seed S] [--frames N --out F.ppm]\n",
            stderr);
        return 2;
    }
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
    particleplayer::World world(options);
    const auto effect = world.LoadEffectFile(effectPath, 400, 300);
    const GLuint sprite = LoadTexture(spritePath);
    if (!effect.Ok() || sprite == 0) {
        std::fprintf(stderr, "own_renderer: %s\n",
                     effect.Ok() ? "cannot read the sprite" : effect.Error.c_str());
        return 1;
    }
    world.SetSpriteRange(effect.Value, 1, particleplayer::kSameAsMin, 1);  // the one sprite loaded
    GLuint vao, vbo;
    glGenVertexArrays(1, &vao);
    glGenBuffers(1, &vbo);
    glBindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    using particleplayer::Vertex;
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), (void*)offsetof(Vertex, X));
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), (void*)offsetof(Vertex, U));
    glVertexAttribPointer(2, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex),
                          (void*)offsetof(Vertex, Red));
    for (GLuint attribute = 0; attribute < 3; ++attribute) glEnableVertexAttribArray(attribute);
    glUseProgram(Program());
    glEnable(GL_BLEND);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);  // the frame's alpha plays no part
    particleplayer::VertexArray quads;
    for (long frame = 1; frames == 0 || frame <= frames; ++frame) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_QUIT) frames = frame;
        }
        world.SetTime(frames > 0 ? static_cast<uint32_t>(1000 + 16 * frame)
                                 : 1000 + SDL_GetTicks());
        world.Update();
        particleplayer::BuildVertices(world, quads);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glBufferData(GL_ARRAY_BUFFER, quads.Vertices.size() * sizeof(Vertex), quads.Vertices.data(),
                     GL_STREAM_DRAW);
        for (const particleplayer::VertexRun& run : quads.Runs) {
            if (run.Sprite != 1) continue;  // no sprite under that number: nothing is drawn
            SetBlend(run.BlendSource, run.BlendDestination);
            glDrawArrays(GL_TRIANGLES, run.First, run.Count);
        }
        if (out != nullptr && frame == frames) {
            std::vector<uint8_t> rgb(800 * 600 * 3);
            glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
            std::FILE* file = std::fopen(out, "wb");
            if (file == nullptr) return 1;
            std::fprintf(file, "P6\n800 600\n255\n");
            for (int row = 599; row >= 0; --row) std::fwrite(&rgb[row * 2400], 1, 2400, file);
            std::fclose(file);
            std::printf("own_renderer: %zu quads in %zu runs\n", quads.Vertices.size() / 6,
                        quads.Runs.size());
        }
        SDL_GL_SwapWindow(window);
    }
    SDL_Quit();
    return 0;
}
