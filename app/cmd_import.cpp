// particleplayer import: Particle Designer effects (.plist, .pex) and libGDX effects (.p)
// written as our effect texts, each with its sprite as a PNG beside it, and a finding for each
// value that plays otherwise.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/cli_args.h"
#include "app/commands.h"
#include "app/png_writer.h"
#include "particleplayer/import.h"

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
    "has several, each sprite the image its first path names, by file name, beside the file\n"
    "(under spriteMode random or animated every image it names, as NAME-2.png ... too), and\n"
    "then DIR/NAME.txt, the group that plays them together in the file's order.\n"
    "Files are written whole or not at all.\n"
    "Exit status: 0 done, 1 a FILE could not be read or imported or an output not written,\n"
    "2 bad usage.\n";

// Writes one imported text and its sprite as DIR/NAME.txt and DIR/NAME.png, the names and the
// place it is shown at on stdout. False when nothing could be written.
bool WriteImported(const std::string& path, const particleplayer::ImportedText& text,
                   const std::filesystem::path& out) {
    const auto fail = [&](const std::string& reason) {
        std::fprintf(stderr, "particleplayer import: %s: %s\n", path.c_str(), reason.c_str());
        return false;
    };
    const std::string text_path = (out / (text.Name + ".txt")).string();
    const std::string png_path = (out / (text.Name + ".png")).string();
    const auto png = EncodePngFromRgba(text.Sprite.Width, text.Sprite.Height, text.Sprite.Rgba);
    if (!png) return fail("its sprite could not be encoded as PNG");
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.Text.data());
    if (auto error = WriteFileAtomically(png_path, *png)) return fail(*error);
    for (std::size_t k = 0; k < text.MoreSprites.size(); ++k) {
        const particleplayer::ImportedImage& image = text.MoreSprites[k];
        const auto more = EncodePngFromRgba(image.Width, image.Height, image.Rgba);
        if (!more) return fail("a sprite could not be encoded as PNG");
        const std::string more_path =
            (out / (text.Name + "-" + std::to_string(k + 2) + ".png")).string();
        if (auto error = WriteFileAtomically(more_path, *more)) return fail(*error);
    }
    if (auto error = WriteFileAtomically(text_path, {bytes, text.Text.size()})) {
        return fail(*error);
    }
    const std::string place = text.Placed ? " @" + std::to_string(std::lround(text.PlaceX)) + "," +
                                                std::to_string(std::lround(text.PlaceY))
                                          : "";
    std::printf("%s %s%s\n", text_path.c_str(), png_path.c_str(), place.c_str());
    return true;
}

// Writes the group that plays a libGDX file's emitters together as DIR/NAME.txt, its name on
// stdout. False when it could not be written.
bool WriteGroup(const std::string& path, const particleplayer::EffectImport& imported,
                const std::filesystem::path& out) {
    const std::string group_path = (out / (imported.GroupName + ".txt")).string();
    const auto* bytes = reinterpret_cast<const uint8_t*>(imported.GroupText.data());
    if (auto error = WriteFileAtomically(group_path, {bytes, imported.GroupText.size()})) {
        std::fprintf(stderr, "particleplayer import: %s: %s\n", path.c_str(), error->c_str());
        return false;
    }
    std::printf("%s\n", group_path.c_str());
    return true;
}

// Imports one file into `out`, its findings by line on stderr; false when it could not be
// read or any of its texts could not be written.
bool ImportOne(const std::string& path, const std::filesystem::path& out) {
    const particleplayer::Result<particleplayer::EffectImport> imported =
        particleplayer::ImportEffectFile(path);
    if (!imported.Ok()) {
        std::fprintf(stderr, "particleplayer import: %s: %s\n", path.c_str(),
                     imported.Error.c_str());
        return false;
    }
    bool all = true;
    for (const particleplayer::ImportedText& text : imported.Value.Texts) {
        all = WriteImported(path, text, out) && all;
    }
    if (!imported.Value.GroupText.empty()) all = WriteGroup(path, imported.Value, out) && all;
    for (const particleplayer::ImportFinding& finding : imported.Value.Findings) {
        std::fprintf(stderr, "%s\n", particleplayer::FormatImportFinding(path, finding).c_str());
    }
    return all;
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
    bool all = true;
    for (const std::string& file : files) all = ImportOne(file, out) && all;
    std::fflush(stdout);
    return all ? 0 : 1;
}

}  // namespace pp
