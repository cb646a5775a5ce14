// Appending JSON numbers for the subcommands' output. Floats use %.9g, which reads back as the
// same 32-bit float; infinities and NaN, which JSON cannot spell, are written Infinity,
// -Infinity and NaN as JavaScript and Python's json module read them. Strings are quoted with
// every quote, backslash and control character escaped, and every byte above 127 written as
// \u00XX (a path's bytes need not be UTF-8), so that any text gives valid JSON.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pp {

void AppendJsonFloat(std::string& out, float value);
void AppendJsonInt(std::string& out, int64_t value);
void AppendJsonString(std::string& out, std::string_view text);

}  // namespace pp
