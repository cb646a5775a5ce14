// Building a GL program from the source of a vertex and a fragment shader, for the screen's
// copy program and the quad program; not for use outside platform/. Needs a current context.
#pragma once

#include <epoxy/gl.h>

#include <string>

namespace pp {

// Compiles both shaders and links them. Returns the program, or 0 with the compiler's or the
// linker's message, naming the stage that failed, in *error (when error is not null). The
// shaders are deleted either way.
GLuint BuildGlProgram(const char* vertexSource, const char* fragmentSource,
                      std::string* error = nullptr);

}  // namespace pp
