// Effect file checker: reads effect description files the way the loader does, following
// "Extends\", and reports what the forgiving reader ignores or reads differently from what
// the author probably meant, each finding at its line and column in the file as written.
// Display-free; changes nothing and loads nothing into an engine.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "particles/budget.h"

namespace pp {

// One finding. File is the path as opened ('/' for '\'); Line and Column are 1-based, the
// column counting bytes of the line as written (CR, LF, CR LF and NUL end lines).
struct CheckFinding {
    std::string File;
    int32_t Line = 0;
    int32_t Column = 0;
    std::string Message;

    bool operator==(const CheckFinding&) const = default;
};

// Checks each file in order, and after each the files it extends, depth-first, with the
// loader's cycle and depth guard. A file met a second time is not checked again. Findings
// come grouped per file in the order the files are first met, sorted by position within a
// file. A file that cannot be opened or that the reader refuses (anything but a regular file)
// gives one finding at 1:1; so does a file of an Extends chain that the loader's bytes for one
// effect (kMaxEffectChainBytes) leave out or cut short, which is then checked only as far as
// the loader reads it.
// Each file named is also judged by what the loader ends with after its whole chain: an effect
// whose particles can never show (switched off, no emission, no life, below one pixel or one
// unit of transparency, far off the screen), a rate above the player's one particle per
// millisecond or a fast per-frame spin gives a "warning:" finding, once, at the key that set
// the value. An empty file gives one warning at 1:1. So does opacity that wraps past 255, a
// size far beyond any screen, and, for each file named, effects started by its particles
// that can keep more particles alive at once than `budget` (the particle budget of a world).
std::vector<CheckFinding> CheckEffectFiles(std::span<const std::string> paths,
                                           int64_t budget = kDefaultParticleBudget);

// Checks `bytes` as the contents of the file `name`; the files it extends are opened from
// disk, relative to the working directory as the loader opens them.
std::vector<CheckFinding> CheckEffectBytes(std::string_view bytes, const std::string& name,
                                           int64_t budget = kDefaultParticleBudget);

// "FILE:LINE:COLUMN: message", without a line end.
std::string FormatFinding(const CheckFinding& finding);

}  // namespace pp
