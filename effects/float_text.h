// A float as the shortest decimal text that reads back as the same float ("0.1", "1e+20",
// "-3.5"), the form check's messages quote numbers in.
#pragma once

#include <string>

namespace pp {

// The shortest text of a finite value that reads back exactly: plain or with an exponent,
// whichever is shorter (plain on a tie), as std::to_chars writes it.
std::string ShortestFloatText(float value);

}  // namespace pp
