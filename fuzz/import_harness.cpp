// The import readers' fuzz work: the bytes as a whole file, and wrapped in the format's own
// frame so that the fuzzer reaches the keys without first finding the frame.
#include <algorithm>
#include <string>
#include <string_view>

#include "effects/check_files.h"
#include "fuzz/harness.h"
#include "import/gdx_import.h"
#include "import/import_effect.h"

namespace pp::fuzz {
namespace {

// Imports the bytes; when they import, the text must check without errors and every finding
// stand on a line of the file.
std::string ImportOne(std::string_view bytes) {
    std::string error;
    const auto effect = ImportParticleEffect(bytes, "", &error);
    if (!effect)
        return error.empty() || error.find('\n') != std::string::npos
                   ? "a refusal without its one-line reason"
                   : "";
    const long lines = std::count(bytes.begin(), bytes.end(), '\n') + 1;
    for (const ImportFinding& finding : effect->Findings) {
        if (finding.Line < 1 || finding.Line > lines || finding.Column < 1) {
            return "a finding off the file: " + FormatImportFinding("f", finding);
        }
    }
    for (const CheckFinding& finding : CheckEffectBytes(effect->Text, "imported.txt")) {
        if (!finding.Message.starts_with("warning: ")) {
            return "the imported text has an error: " + FormatFinding(finding);
        }
    }
    return "";
}

std::string Both(std::span<const uint8_t> data, std::string_view open, std::string_view close) {
    const std::string_view bytes(reinterpret_cast<const char*>(data.data()), data.size());
    if (std::string broken = ImportOne(bytes); !broken.empty()) return broken;
    return ImportOne(std::string(open) + std::string(bytes) + std::string(close));
}

// The .p import: each emitter's text must check without errors and every finding stand on a
// line of the file.
std::string GdxOne(std::string_view bytes) {
    std::string error;
    // No SpriteFile: the check would look for the image in the working folder.
    const auto effect = ImportGdxEffect(
        bytes, [](std::size_t, std::size_t, std::string_view) { return ""; }, &error);
    if (!effect) {
        return error.empty() || error.find('\n') != std::string::npos
                   ? "a refusal without its one-line reason"
                   : "";
    }
    const long lines = std::count(bytes.begin(), bytes.end(), '\n') +
                       std::count(bytes.begin(), bytes.end(), '\r') + 1;
    for (const ImportFinding& finding : effect->Findings) {
        if (finding.Line < 1 || finding.Line > lines || finding.Column < 1) {
            return "a finding off the file: " + FormatImportFinding("f", finding);
        }
    }
    if (effect->Emitters.empty() || effect->Emitters.size() != effect->Names.size()) {
        return "an import without its emitters";
    }
    for (const ImportedEffect& emitter : effect->Emitters) {
        for (const CheckFinding& finding : CheckEffectBytes(emitter.Text, "imported.txt")) {
            if (!finding.Message.starts_with("warning: ")) {
                return "the imported text has an error: " + FormatFinding(finding);
            }
        }
    }
    return "";
}

}  // namespace

std::string GdxInput(std::span<const uint8_t> data) {
    const std::string_view bytes(reinterpret_cast<const char*>(data.data()), data.size());
    if (std::string broken = GdxOne(bytes); !broken.empty()) return broken;
    // Behind a name line, so that the fuzzer reaches the sections without first finding one.
    return GdxOne("e\n- Delay -\n" + std::string(bytes));
}

std::string PlistInput(std::span<const uint8_t> data) {
    return Both(data, "<plist version=\"1.0\"><dict>", "</dict></plist>");
}

std::string PexInput(std::span<const uint8_t> data) {
    return Both(data, "<particleEmitterConfig>", "</particleEmitterConfig>");
}

}  // namespace pp::fuzz
