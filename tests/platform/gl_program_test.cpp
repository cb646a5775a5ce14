#include "platform/gl_program.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/platform/platform_test_support.h"

namespace pp {
namespace {

constexpr const char* kVertex = R"(#version 330 core
void main() { gl_Position = vec4(0.0, 0.0, 0.0, 1.0); }
)";
constexpr const char* kFragment = R"(#version 330 core
out vec4 Colour;
void main() { Colour = vec4(1.0); }
)";
constexpr const char* kBroken = R"(#version 330 core
void main() { undeclared = 1.0; }
)";
// Compiles alone, but a program without main does not link.
constexpr const char* kNoMain = R"(#version 330 core
void Helper() {}
)";

struct ProgramCase {
    const char* Name;
    const char* Vertex;
    const char* Fragment;
    const char* ErrorStart;  // nullptr: the program builds
};

TEST(GlProgram, BuildsOrNamesTheStageThatFailed) {
    ASSERT_TRUE(test::OpenTestScreen());
    const ProgramCase cases[] = {
        {"both valid", kVertex, kFragment, nullptr},
        {"vertex does not compile", kBroken, kFragment, "vertex shader: "},
        {"fragment does not compile", kVertex, kBroken, "fragment shader: "},
        {"vertex shader without main", kNoMain, kFragment, "link: "},
    };
    for (const ProgramCase& c : cases) {
        std::string error = "untouched";
        const GLuint program = BuildGlProgram(c.Vertex, c.Fragment, &error);
        if (c.ErrorStart == nullptr) {
            EXPECT_NE(program, 0u) << c.Name << ": " << error;
            EXPECT_EQ(error, "untouched") << c.Name;
            EXPECT_EQ(glIsProgram(program), GL_TRUE) << c.Name;
            glDeleteProgram(program);
        } else {
            EXPECT_EQ(program, 0u) << c.Name;
            EXPECT_EQ(error.rfind(c.ErrorStart, 0), 0u) << c.Name << ": " << error;
            EXPECT_GT(error.size(), std::string(c.ErrorStart).size()) << c.Name;
        }
        // Nothing is left behind in GL's error state for the next draw to trip over.
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << c.Name;
    }
    BuildGlProgram(kBroken, kFragment);  // without a place for the message
}

}  // namespace
}  // namespace pp
