#include "platform/gl_program.h"

#include <vector>

namespace pp {
namespace {

// The info log of a shader or program, at most a few kilobytes of it.
template <typename GetIv, typename GetLog>
std::string InfoLog(GLuint object, GetIv getIv, GetLog getLog) {
    GLint length = 0;
    getIv(object, GL_INFO_LOG_LENGTH, &length);
    if (length <= 0) return "no message";
    std::vector<char> text(static_cast<size_t>(length < 4096 ? length : 4096) + 1, '\0');
    GLsizei written = 0;
    getLog(object, static_cast<GLsizei>(text.size()), &written, text.data());
    if (written <= 0) return "no message";
    return std::string(text.data(), static_cast<size_t>(written));
}

void SetError(std::string* error, const char* stage, const std::string& message) {
    if (error != nullptr) *error = std::string(stage) + ": " + message;
}

// The compiled shader, or 0 with the message in *error.
GLuint Compile(GLenum kind, const char* source, const char* stage, std::string* error) {
    const GLuint shader = glCreateShader(kind);
    if (shader == 0) {
        SetError(error, stage, "cannot create a shader");
        return 0;
    }
    // The target's version line (and, for GLSL ES, its precisions) come before the body, so
    // one source serves OpenGL 3.3 core and WebGL 2.
    const char* const parts[] = {kShaderPrologue, source};
    glShaderSource(shader, 2, parts, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        SetError(
            error, stage,
            InfoLog(
                shader, [](GLuint o, GLenum p, GLint* v) { glGetShaderiv(o, p, v); },
                [](GLuint o, GLsizei n, GLsizei* w, char* t) { glGetShaderInfoLog(o, n, w, t); }));
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

}  // namespace

GLuint BuildGlProgram(const char* vertexSource, const char* fragmentSource, std::string* error) {
    const GLuint vs = Compile(GL_VERTEX_SHADER, vertexSource, "vertex shader", error);
    const GLuint fs =
        vs != 0 ? Compile(GL_FRAGMENT_SHADER, fragmentSource, "fragment shader", error) : 0;
    GLuint program = 0;
    if (vs != 0 && fs != 0) {
        program = glCreateProgram();
        glAttachShader(program, vs);
        glAttachShader(program, fs);
        glLinkProgram(program);
    }
    // A linked program keeps what it needs; the shaders go now.
    if (vs != 0) glDeleteShader(vs);
    if (fs != 0) glDeleteShader(fs);
    if (program == 0) {
        if (vs != 0 && fs != 0) SetError(error, "program", "cannot create a program");
        return 0;
    }
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        SetError(
            error, "link",
            InfoLog(
                program, [](GLuint o, GLenum p, GLint* v) { glGetProgramiv(o, p, v); },
                [](GLuint o, GLsizei n, GLsizei* w, char* t) { glGetProgramInfoLog(o, n, w, t); }));
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

}  // namespace pp
