// particleplayer import: Particle Designer effects (.plist, .pex) and libGDX effects (.p)
// written as our effect texts, each with its sprite as a PNG beside it, and a finding for each
// value that plays otherwise.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/cli_args.h"
#include "app/commands.h"
#include "app/png_writer.h"
#include "effects/effect_text.h"
#include "image/embedded_image.h"
#include "image/image_decoders.h"
#include "import/gdx_import.h"
#include "import/gdx_reader.h"
#include "import/import_effect.h"
#include "import/particle_dict.h"

namespace pp {
namespace {

constexpr std::string_view kCommand = "import";

constexpr const char* kUsage =
    "Usage: particleplayer import FILE... [--out DIR]\n"
    "Reads each Particle Designer effect (.plist or .pex, told apart by their content) and\n"
    "writes DIR/NAME.txt, our effect text, and DIR/NAME.png, its sprite: the image the file\n"
    "embeds, or the file its textureFileName names beside it, or a soft white disc when there\n"
    "is neither. DIR (default: the working directory) must exist. Prints what was written and\n"
    "the @X,Y that places the effect as the file places it on an 800 x 600 frame on stdout,\n"
    "and each value our format cannot reproduce exactly as FILE:LINE: message on stderr.\n"
    "A libGDX effect (.p) gives one text and sprite per emitter, NAME-1, NAME-2 ... when it\n"
    "has several, each sprite the image its first path names, by file name, beside the file.\n"
    "Files are written whole or not at all.\n"
    "Exit status: 0 done, 1 a FILE could not be read or imported or an output not written,\n"
    "2 bad usage.\n";

// Top-down R, G, B, A rows of a decoded image.
std::vector<uint8_t> RgbaOf(const DecodedImage& image) {
    std::vector<uint8_t> rgba(static_cast<std::size_t>(image.Width) * image.Height * 4);
    const int32_t bytes = image.Depth / 8;
    for (int32_t y = 0; y < image.Height; ++y) {
        const uint8_t* row = image.Pixels.data() + static_cast<std::size_t>(y) * image.Pitch;
        for (int32_t x = 0; x < image.Width; ++x) {
            const uint8_t* p = row + static_cast<std::size_t>(x) * bytes;
            uint8_t* q = rgba.data() + (static_cast<std::size_t>(y) * image.Width + x) * 4;
            q[0] = p[2];
            q[1] = p[1];
            q[2] = p[0];
            q[3] = bytes == 4 ? p[3] : 255;
        }
    }
    return rgba;
}

// The stand-in for a sprite that is missing: a white disc whose alpha falls off to its rim.
DecodedImage StandInSprite() {
    constexpr int32_t kSide = 32;
    DecodedImage image;
    image.Width = image.Height = kSide;
    image.Depth = 32;
    image.Pitch = kSide * 4;
    image.Pixels.assign(static_cast<std::size_t>(kSide) * kSide * 4, 255);
    for (int32_t y = 0; y < kSide; ++y) {
        for (int32_t x = 0; x < kSide; ++x) {
            const double dx = x + 0.5 - kSide / 2.0, dy = y + 0.5 - kSide / 2.0;
            const double fall = 1.0 - std::sqrt(dx * dx + dy * dy) / (kSide / 2.0);
            image.Pixels[(static_cast<std::size_t>(y) * kSide + x) * 4 + 3] =
                static_cast<uint8_t>(std::lround(std::clamp(fall, 0.0, 1.0) * 255));
        }
    }
    return image;
}

// The sprite of an imported effect: embedded, or the named file beside the effect, or the
// stand-in, with a note of what was missing.
DecodedImage SpriteOf(const ImportedEffect& effect, const std::filesystem::path& folder,
                      std::string_view key, std::string* missing) {
    std::string why;
    if (!effect.EmbeddedSprite.empty()) {
        if (auto image = DecodeEmbeddedImage(effect.EmbeddedSprite, &why)) return *image;
        *missing = "'textureImageData' is no image we decode (" + why + ")";
    }
    if (!effect.SpriteName.empty()) {
        const std::filesystem::path named(effect.SpriteName);
        for (const std::filesystem::path& candidate : {folder / named, folder / named.filename()}) {
            const std::optional<EffectFile> file =
                ReadEffectFile(candidate.string(), std::size_t{64} << 20);
            if (!file || file->More) continue;
            const auto* data = reinterpret_cast<const uint8_t*>(file->Bytes.data());
            if (auto image = DecodeImage({data, file->Bytes.size()}, 0, &why)) return *image;
        }
        if (missing->empty()) {
            *missing = "'" + std::string(key) + "' names " + effect.SpriteName +
                       ", which is not beside the file or no image we decode";
        }
    }
    if (missing->empty()) *missing = "the file names no sprite";
    *missing += ": a soft white disc stands in";
    return StandInSprite();
}

// The findings of a file by line, as FILE:LINE: message on stderr.
void PrintFindings(const std::string& path, std::vector<ImportFinding> findings) {
    std::stable_sort(
        findings.begin(), findings.end(),
        [](const ImportFinding& a, const ImportFinding& b) { return a.Line < b.Line; });
    for (const ImportFinding& finding : findings) {
        std::fprintf(stderr, "%s\n", FormatImportFinding(path, finding).c_str());
    }
}

// Writes one imported effect and its sprite as DIR/NAME.txt and DIR/NAME.png; a missing sprite
// adds a finding. `place` follows the names on stdout. False when nothing could be written.
bool WriteImported(const std::string& path, const ImportedEffect& effect,
                   const std::filesystem::path& folder, const std::filesystem::path& out,
                   const std::string& name, const std::string& place, std::string_view key,
                   std::vector<ImportFinding>* findings) {
    const auto fail = [&](const std::string& reason) {
        std::fprintf(stderr, "particleplayer import: %s: %s\n", path.c_str(), reason.c_str());
        return false;
    };
    std::string missing;
    const DecodedImage sprite = SpriteOf(effect, folder, key, &missing);
    if (!missing.empty()) findings->push_back({effect.SpriteLine, 1, missing});
    const std::string text_path = (out / (name + ".txt")).string();
    const std::string png_path = (out / (name + ".png")).string();
    const auto png = EncodePngFromRgba(sprite.Width, sprite.Height, RgbaOf(sprite));
    if (!png) return fail("its sprite could not be encoded as PNG");
    const auto* text = reinterpret_cast<const uint8_t*>(effect.Text.data());
    if (auto error = WriteFileAtomically(png_path, *png)) return fail(*error);
    if (auto error = WriteFileAtomically(text_path, {text, effect.Text.size()})) {
        return fail(*error);
    }
    std::printf("%s %s%s\n", text_path.c_str(), png_path.c_str(), place.c_str());
    return true;
}

// A libGDX effect: one text and sprite per emitter, NAME-1, NAME-2 ... when there are several,
// in the file's order, which is the order they are drawn in.
bool ImportGdx(const std::string& path, std::string_view bytes, const std::filesystem::path& out) {
    const std::filesystem::path source(path);
    const std::string stem = source.stem().string();
    std::size_t count = 0;
    const auto name_of = [&](std::size_t i) {
        return count > 1 ? stem + "-" + std::to_string(i + 1) : stem;
    };
    std::string why;
    if (const std::optional<GdxFile> file = ReadGdxFile(bytes, &why)) {
        count = file->Emitters.size();
        // The texts name the sprites written beside them.
        const GdxImport effect = ImportGdxFile(
            *file, [&](std::size_t i, std::string_view) { return name_of(i) + ".png"; });
        std::vector<ImportFinding> findings = effect.Findings;
        bool all = true;
        for (std::size_t i = 0; i < count; ++i) {
            all = WriteImported(path, effect.Emitters[i], source.parent_path(), out, name_of(i), "",
                                "Image Path", &findings) &&
                  all;
        }
        PrintFindings(path, std::move(findings));
        return all;
    }
    std::fprintf(stderr, "particleplayer import: %s: not a .p effect: %s\n", path.c_str(),
                 why.c_str());
    return false;
}

// Imports one file into `out`; false when nothing could be written.
bool ImportOne(const std::string& path, const std::filesystem::path& out) {
    std::string why;
    const std::optional<EffectFile> file = ReadEffectFile(path, kMaxParticleDictBytes, &why);
    const auto fail = [&](const std::string& reason) {
        std::fprintf(stderr, "particleplayer import: %s: %s\n", path.c_str(), reason.c_str());
        return false;
    };
    if (!file) return fail(why);
    if (file->More)
        return fail("larger than any effect file (" + std::to_string(kMaxParticleDictBytes >> 20) +
                    " MiB)");
    if (LooksLikeGdxEffect(file->Bytes)) return ImportGdx(path, file->Bytes, out);
    const std::filesystem::path source(path);
    const std::string stem = source.stem().string();
    const std::optional<ImportedEffect> effect =
        ImportParticleEffect(file->Bytes, stem + ".png", &why);
    if (!effect) return fail("not a .plist or .pex effect: " + why);

    std::vector<ImportFinding> findings = effect->Findings;
    const bool written = WriteImported(path, *effect, source.parent_path(), out, stem,
                                       " @" + std::to_string(std::lround(effect->PlaceX)) + "," +
                                           std::to_string(std::lround(effect->PlaceY)),
                                       "textureFileName", &findings);
    PrintFindings(path, std::move(findings));
    return written;
}

}  // namespace

int RunImport(CommandArgs args) {
    std::vector<std::string> files;
    std::string out = ".";
    const auto option = [&out](std::string_view name,
                               ArgWalker& walk) -> std::optional<std::string> {
        if (name != "--out") return UnknownOption(name);
        const auto value = walk.Value();
        if (!value || value->empty()) return "--out wants a folder";
        out = std::string(*value);
        return std::nullopt;
    };
    if (const std::optional<int> status = ReadFileArgs(args, kCommand, kUsage, files, option)) {
        return *status;
    }
    std::error_code error;
    if (!std::filesystem::is_directory(out, error)) {
        return UsageError(kCommand, "--out '" + out + "' is no folder");
    }
    EnablePngDecoder();
    bool all = true;
    for (const std::string& file : files) all = ImportOne(file, out) && all;
    std::fflush(stdout);
    return all ? 0 : 1;
}

}  // namespace pp
