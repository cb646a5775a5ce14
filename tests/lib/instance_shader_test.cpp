// The library's instance vertex shader on the GPU against the six-vertex array: every pixel of
// many turned, scaled and translucent quads the same when a host expands the instances.
#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "particleplayer/vertices.h"
#include "particleplayer/world.h"
#include "tests/lib/host_window.h"

namespace particleplayer {
namespace {

constexpr int kWidth = 320, kHeight = 240;

// The corners straight from the six-vertex array, mapped as the instance shader maps them.
const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec2 Position;
layout(location = 1) in vec4 Colour;
uniform vec2 Viewport;
out vec2 Cell;
out vec4 Tint;
void main() {
    gl_Position = vec4((Position.x + 0.5) * 2.0 / Viewport.x - 1.0,
                       1.0 - (Position.y + 0.5) * 2.0 / Viewport.y, 0.0, 1.0);
    Cell = vec2(0.0);
    Tint = Colour;
})";
const char* kFragmentShader = R"(#version 330 core
in vec2 Cell;
in vec4 Tint;
out vec4 Out;
void main() { Out = Tint; })";

GLuint Program(const char* vertex) {
    const GLuint program = glCreateProgram();
    for (const auto& [kind, source] :
         {std::pair{GL_VERTEX_SHADER, vertex}, {GL_FRAGMENT_SHADER, kFragmentShader}}) {
        const GLuint shader = glCreateShader(kind);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        glAttachShader(program, shader);
    }
    glLinkProgram(program);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    EXPECT_EQ(linked, GL_TRUE);
    glUseProgram(program);
    glUniform2f(glGetUniformLocation(program, "Viewport"), kWidth, kHeight);
    return program;
}

std::vector<uint8_t> Pixels() {
    std::vector<uint8_t> rgba(kWidth * kHeight * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}

void Clear() {
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
}

TEST(InstanceShader, DrawsThePixelsOfTheSixVertexArray) {
    const pp::testing::HostWindow host(kWidth, kHeight);
    ASSERT_NE(host.Context, nullptr);

    WorldOptions options;
    options.Seed = 11;
    World world(options);
    const char* effect =
        "EmissionRate = 400,\nLifeTime = 30,\nSize = {Min = 1, Max = 40, Inc = 0.25},\n"
        "EmitterArea = {Type = Rectangle, Width = 300, Height = 220},\n"
        "Rotation = {Min = -7, Max = 7, Inc = 0.01},\nTransparency = {Min = 20, Max = 200}";
    ASSERT_TRUE(world.LoadEffectText(effect, 160, 120).Ok());
    world.Update();
    world.AdvanceTime(1500);
    world.Update();
    VertexArray vertices;
    InstanceArray instances;
    ASSERT_TRUE(BuildVertices(world, vertices, 0, 0, 0).Ok());
    ASSERT_TRUE(BuildInstances(world, instances, 0, 0, 0).Ok());
    ASSERT_GT(instances.Instances.size(), 300u);

    GLuint arrays[2], buffers[2];
    glGenVertexArrays(2, arrays);
    glGenBuffers(2, buffers);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    glBindVertexArray(arrays[0]);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, vertices.Vertices.size() * sizeof(Vertex),
                 vertices.Vertices.data(), GL_STATIC_DRAW);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), nullptr);
    glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex),
                          reinterpret_cast<void*>(offsetof(Vertex, Red)));
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
    const GLuint plain = Program(kVertexShader);
    Clear();
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.Vertices.size()));
    const std::vector<uint8_t> expected = Pixels();

    glBindVertexArray(arrays[1]);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[1]);
    glBufferData(GL_ARRAY_BUFFER, instances.Instances.size() * sizeof(QuadInstance),
                 instances.Instances.data(), GL_STATIC_DRAW);
    const struct {
        GLint Size;
        GLenum Type;
        size_t Offset;
    } fields[] = {{4, GL_FLOAT, offsetof(QuadInstance, Left)},
                  {2, GL_FLOAT, offsetof(QuadInstance, Cos)},
                  {4, GL_FLOAT, offsetof(QuadInstance, U0)},
                  {4, GL_UNSIGNED_BYTE, offsetof(QuadInstance, Red)}};
    for (GLuint i = 0; i < 4; ++i) {
        glVertexAttribPointer(i, fields[i].Size, fields[i].Type, fields[i].Type == GL_UNSIGNED_BYTE,
                              sizeof(QuadInstance), reinterpret_cast<void*>(fields[i].Offset));
        glVertexAttribDivisor(i, 1);
        glEnableVertexAttribArray(i);
    }
    const GLuint instanced = Program(kInstanceVertexShader);
    Clear();
    glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4,
                          static_cast<GLsizei>(instances.Instances.size()));
    const std::vector<uint8_t> drawn = Pixels();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    size_t lit = 0, different = 0;
    for (size_t i = 0; i < drawn.size(); i += 4) {
        lit += expected[i + 3] != 0;
        different += drawn[i] != expected[i] || drawn[i + 3] != expected[i + 3];
    }
    EXPECT_GT(lit, static_cast<size_t>(kWidth * kHeight / 4));
    EXPECT_EQ(different, 0u);

    glDeleteProgram(plain);
    glDeleteProgram(instanced);
    glDeleteBuffers(2, buffers);
    glDeleteVertexArrays(2, arrays);
}

}  // namespace
}  // namespace particleplayer
