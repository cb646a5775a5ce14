// Public face of the importers: each text with its sprite found the way the file means it, and
// the findings of the mapping and of a sprite that is missing, by line.
#include "particleplayer/import.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "effects/effect_text.h"
#include "image/embedded_image.h"
#include "image/image_decoders.h"
#include "import/effect_file.h"
#include "import/gdx_import.h"
#include "import/gdx_reader.h"
#include "import/import_effect.h"
#include "import/particle_dict.h"

namespace particleplayer {
namespace {

// Top-down R, G, B, A rows of a decoded image.
ImportedImage RgbaOf(const pp::DecodedImage& image) {
    ImportedImage out{image.Width, image.Height, {}};
    out.Rgba.resize(static_cast<std::size_t>(image.Width) * image.Height * 4);
    const int32_t bytes = image.Depth / 8;
    for (int32_t y = 0; y < image.Height; ++y) {
        const uint8_t* row = image.Pixels.data() + static_cast<std::size_t>(y) * image.Pitch;
        for (int32_t x = 0; x < image.Width; ++x) {
            const uint8_t* p = row + static_cast<std::size_t>(x) * bytes;
            uint8_t* q = out.Rgba.data() + (static_cast<std::size_t>(y) * image.Width + x) * 4;
            q[0] = p[2];
            q[1] = p[1];
            q[2] = p[0];
            q[3] = bytes == 4 ? p[3] : 255;
        }
    }
    return out;
}

// The stand-in for a sprite that is missing: a white disc whose alpha falls off to its rim.
ImportedImage StandInSprite() {
    constexpr int32_t kSide = 32;
    ImportedImage image{kSide, kSide, {}};
    image.Rgba.assign(static_cast<std::size_t>(kSide) * kSide * 4, 255);
    for (int32_t y = 0; y < kSide; ++y) {
        for (int32_t x = 0; x < kSide; ++x) {
            const double dx = x + 0.5 - kSide / 2.0, dy = y + 0.5 - kSide / 2.0;
            const double fall = 1.0 - std::sqrt(dx * dx + dy * dy) / (kSide / 2.0);
            image.Rgba[(static_cast<std::size_t>(y) * kSide + x) * 4 + 3] =
                static_cast<uint8_t>(std::lround(std::clamp(fall, 0.0, 1.0) * 255));
        }
    }
    return image;
}

// The sprite of an imported effect: embedded, or the named file beside the effect, or the
// stand-in, with a note of what was missing.
ImportedImage SpriteOf(const pp::ImportedEffect& effect, const std::filesystem::path& folder,
                       std::string_view key, std::string* missing) {
    std::string why;
    if (!effect.EmbeddedSprite.empty()) {
        if (auto image = pp::DecodeEmbeddedImage(effect.EmbeddedSprite, &why)) {
            return RgbaOf(*image);
        }
        *missing = "'textureImageData' is no image we decode (" + why + ")";
    }
    if (!effect.SpriteName.empty()) {
        const std::filesystem::path named(effect.SpriteName);
        for (const std::filesystem::path& candidate : {folder / named, folder / named.filename()}) {
            const std::optional<pp::EffectFile> file = pp::ReadEffectFile(
                candidate.string(), static_cast<std::size_t>(kMaxSpriteFileBytes));
            if (!file || file->More) continue;
            const auto* data = reinterpret_cast<const uint8_t*>(file->Bytes.data());
            if (auto image = pp::DecodeImage({data, file->Bytes.size()}, 0, &why)) {
                return RgbaOf(*image);
            }
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

void AddFindings(const std::vector<pp::ImportFinding>& findings, EffectImport& out) {
    for (const pp::ImportFinding& f : findings) {
        out.Findings.push_back({f.Line, f.Column, f.Message});
    }
}

// Adds one imported effect under `name`, its sprite looked for in `folder`.
void Add(pp::ImportedEffect effect, std::string name, bool placed,
         const std::filesystem::path& folder, std::string_view key, EffectImport& out) {
    std::string missing;
    ImportedImage sprite = SpriteOf(effect, folder, key, &missing);
    if (!missing.empty()) out.Findings.push_back({effect.SpriteLine, 1, std::move(missing)});
    std::vector<ImportedImage> more;
    bool shapes_differ = false;
    for (const pp::ImportedEffect::MoreSprite& named : effect.MoreSprites) {
        pp::ImportedEffect one;
        one.SpriteName = named.Name;
        std::string lost;
        more.push_back(SpriteOf(one, folder, key, &lost));
        if (!lost.empty()) out.Findings.push_back({named.Line, 1, std::move(lost)});
        const ImportedImage& image = more.back();
        shapes_differ =
            shapes_differ ||
            int64_t{image.Width} * sprite.Height != int64_t{image.Height} * sprite.Width ||
            image.Width != sprite.Width;
    }
    if (shapes_differ) {
        out.Findings.push_back({effect.MoreSprites.front().Line, 1,
                                "'" + std::string(key) +
                                    "' images differ in size or shape: each is drawn at its own "
                                    "there, here all at the effect's one size and aspect"});
    }
    out.Texts.push_back({std::move(name), std::move(effect.Text), std::move(sprite), placed,
                         effect.PlaceX, effect.PlaceY, std::move(more)});
}

Result<EffectImport> Failed(std::string reason) {
    return {{}, std::move(reason), ErrorKind::File};
}

// A libGDX effect: one text per emitter, NAME-1, NAME-2 ... when there are several.
Result<EffectImport> ImportGdx(std::string_view bytes, const std::filesystem::path& source) {
    std::string why;
    const std::optional<pp::GdxFile> file = pp::ReadGdxFile(bytes, &why);
    if (!file) return Failed("not a .p effect: " + why);
    const std::string stem = source.stem().string();
    const std::size_t count = file->Emitters.size();
    const auto name_of = [&](std::size_t i) {
        return count > 1 ? stem + "-" + std::to_string(i + 1) : stem;
    };
    // The texts name the sprites written beside them.
    pp::GdxImport gdx =
        pp::ImportGdxFile(*file, [&](std::size_t i, std::size_t number, std::string_view) {
            return name_of(i) + (number == 0 ? "" : "-" + std::to_string(number + 1)) + ".png";
        });
    EffectImport out;
    AddFindings(gdx.Findings, out);
    for (std::size_t i = 0; i < count; ++i) {
        Add(std::move(gdx.Emitters[i]), name_of(i), false, source.parent_path(), "Image Path", out);
    }
    if (count > 1) {
        out.GroupName = stem;
        out.GroupText = "Group = {";
        for (std::size_t i = 0; i < count; ++i) {
            out.GroupText += (i > 0 ? ", " : "") + name_of(i) + ".txt";
        }
        out.GroupText += "}\n";
    }
    return out;
}

}  // namespace

Result<EffectImport> ImportEffectFile(const std::string& path) {
    pp::EnablePngDecoder();
    std::string why;
    const std::optional<pp::EffectFile> file = pp::ReadEffectFile(path, pp::kMaxImportBytes, &why);
    if (!file) return Failed(why);
    if (file->More) return Failed(pp::ImportTooLarge());
    const std::filesystem::path source(path);
    Result<EffectImport> out;
    if (pp::LooksLikeGdxEffect(file->Bytes)) {
        out = ImportGdx(file->Bytes, source);
    } else {
        const std::string stem = source.stem().string();
        std::optional<pp::ImportedEffect> effect =
            pp::ImportParticleEffect(file->Bytes, stem + ".png", &why);
        if (!effect) return Failed("not a .plist or .pex effect: " + why);
        AddFindings(effect->Findings, out.Value);
        Add(std::move(*effect), stem, true, source.parent_path(), "textureFileName", out.Value);
    }
    std::stable_sort(
        out.Value.Findings.begin(), out.Value.Findings.end(),
        [](const ImportFinding& a, const ImportFinding& b) { return a.Line < b.Line; });
    return out;
}

std::optional<std::string> ImportedEffectText(std::string_view bytes, std::string_view path) {
    return pp::EffectTextOfImport(bytes, path);
}

std::string FormatImportFinding(std::string_view path, const ImportFinding& finding) {
    return pp::FormatImportFinding(path, {finding.Line, finding.Column, finding.Message});
}

}  // namespace particleplayer
