/// @file
/// particleplayer/check.h - findings about effect texts, for editors and authoring tools.
///
/// The effect reader is forgiving: it skips what it cannot use and reads some values
/// differently from what an author probably meant. These calls read an effect the same way,
/// following Extends, and report each such place at its line and column in the file as
/// written. They change nothing, load nothing into a world and need no screen.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "particleplayer/world.h"

namespace particleplayer {

/// How much a finding matters: an Error is text the reader skips or misreads; a Warning is
/// text it reads but whose effect can hardly be what was meant (particles that never show,
/// more particles than the budget can keep alive, ...).
enum class Severity : int32_t { Error = 0, Warning = 1 };

/// One finding. Path is the file as opened ('/' for '\'); Line and Column are 1-based, the
/// column counting bytes of the line as written.
struct CheckFinding {
    std::string Path;                  ///< The file as opened.
    int32_t Line = 0;                  ///< 1-based line.
    int32_t Column = 0;                ///< 1-based byte in the line.
    Severity Level = Severity::Error;  ///< Error or Warning.
    std::string Message;  ///< Without the file and position; a warning begins "warning: ".

    /// Field by field.
    bool operator==(const CheckFinding&) const = default;
};

/// Checks each file in order and the files it extends, depth-first; a file met twice is
/// checked once. Findings come grouped per file in the order first met, sorted by position.
/// A file that cannot be opened gives one finding at 1:1. `max_particles` is the budget the
/// effects' started effects are measured against (WorldOptions::MaxParticles). A Particle
/// Designer effect (.plist or .pex) gives, as warnings at its keys, what its import cannot
/// reproduce.
std::vector<CheckFinding> CheckFiles(std::span<const std::string> paths,
                                     int64_t max_particles = kDefaultMaxParticles);

/// Checks `text` as the contents of the file `path`; the files it extends are opened from
/// disk, relative to the working directory, as LoadEffect opens them.
std::vector<CheckFinding> CheckText(std::string_view text, const std::string& path,
                                    int64_t max_particles = kDefaultMaxParticles);

/// The name among `names` that `name` most likely meant, as check's findings suggest one: one
/// that differs only in case, else the nearest within a small edit distance (1 for names of up
/// to 3 letters, 2 up to 8, else 3); nullopt for none.
std::optional<std::string_view> NearestName(std::string_view name,
                                            std::span<const std::string_view> names);

/// "PATH:LINE:COLUMN: message", without a line end: the form compilers and editors read.
std::string FormatFinding(const CheckFinding& finding);

}  // namespace particleplayer
