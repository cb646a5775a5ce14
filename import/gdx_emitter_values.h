// One libGDX emitter's values as the import reads them: each section's numbers, flags, lists
// and curves, held to what the import can use, with a finding wherever the file is out of
// shape; and those values written as our value texts, with a finding for what then plays
// otherwise. gdx_import.cpp maps the sections to our keys with them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "import/gdx_reader.h"
#include "import/gdx_values.h"
#include "import/import_effect.h"

namespace pp {

class GdxEmitterValues {
  protected:
    GdxEmitterValues(const GdxEmitter& emitter, std::vector<ImportFinding>& findings)
        : e_(emitter), findings_(findings) {}

    void FindAt(int32_t line, std::string message) {
        findings_.push_back({line, 1, std::move(message)});
    }
    // A finding at the section of kGdxSections row `row` (at the emitter when it is missing).
    void Find(std::size_t row, const std::string& message);
    // The section of row `row`, or nullptr (with a finding when it is needed).
    const GdxSection* Section(std::size_t row, bool needed);
    double Number(const GdxSection* s, std::string_view key, double fallback, double lo, double hi);
    bool Flag(const GdxSection* s, std::string_view key, bool fallback);
    std::vector<double> List(const GdxSection* s, std::string_view name, std::size_t per);
    GdxCurve CurveOf(const GdxSection* s, std::string_view values, std::size_t per);
    GdxScaled Read(std::size_t row, bool needed = true);

    // A value drawn at birth that holds over the life (or the duration), at curve value s.
    std::string Drawn(std::size_t row, const GdxScaled& v, double s, double scale);
    // The base our key draws and the curve of factors over the life it is multiplied by.
    std::string BaseAndCurve(std::size_t row, const GdxScaled& v, double scale, std::string* curve);
    std::string CurveText(std::size_t row, const std::vector<double>& time,
                          const std::vector<std::string>& value);

    const GdxEmitter& e_;

  private:
    std::vector<ImportFinding>& findings_;
};

}  // namespace pp
