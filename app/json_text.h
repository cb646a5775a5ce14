// Appending JSON numbers for the subcommands' output. Floats use %.9g, which reads back as the
// same 32-bit float; infinities and NaN, which JSON cannot spell, are written Infinity,
// -Infinity and NaN as JavaScript and Python's json module read them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pp {

void AppendJsonFloat(std::string& out, float value);
void AppendJsonInt(std::string& out, int64_t value);
// A JSON string of the bytes: quotes, backslashes and control characters escaped, UTF-8 kept,
// and each byte that is no part of well-formed UTF-8 written as U+FFFD.
void AppendJsonString(std::string& out, std::string_view text);

}  // namespace pp
