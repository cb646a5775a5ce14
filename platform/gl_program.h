// Building a GL program from the source of a vertex and a fragment shader, for the screen's
// copy program and the quad program; not for use outside platform/. Needs a current context.
#pragma once

#include <string>

#include "platform/gl_api.h"

namespace pp {

// Compiles both shaders, each a body in the language common to GLSL 3.30 core and GLSL ES
// 3.00 without a #version line (kShaderPrologue of gl_api.h goes first), and links them. Returns
// the program, or 0 with the compiler's or the linker's message, naming the stage that failed, in
// *error (when error is not null). The shaders are deleted either way.
GLuint BuildGlProgram(const char* vertexSource, const char* fragmentSource,
                      std::string* error = nullptr);

}  // namespace pp
