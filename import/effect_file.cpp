// Imported effects in memory: the text the loader applies and the embedded sprite's decoder.
#include "import/effect_file.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "image/embedded_image.h"
#include "image/image_decoders.h"
#include "import/gdx_import.h"
#include "import/gdx_reader.h"
#include "import/particle_dict.h"

namespace pp {
namespace {

// The file's name without its folders ('/' or '\' before it).
std::string_view BaseName(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

struct EmbeddedSpriteData : DecoderData {
    DecodedImage Image;
};

bool CheckEmbedded(DecodeContext& context) {
    const std::string_view bytes(reinterpret_cast<const char*>(context.Bytes.data()),
                                 context.Bytes.size());
    if (!LooksLikeParticleDict(bytes)) return false;
    std::string why;
    const std::optional<ParticleDict> dict = ReadParticleDict(bytes, &why);
    const ParticleDictField* data = dict ? dict->Find("textureImageData") : nullptr;
    if (data == nullptr || data->Text.empty()) {
        context.Error = dict ? "effect file: it embeds no sprite" : "effect file: " + why;
        return false;
    }
    auto decoded = std::make_unique<EmbeddedSpriteData>();
    std::optional<DecodedImage> image = DecodeEmbeddedImage(data->Text, &why);
    if (!image) {
        context.Error = "effect file: its embedded sprite: " + why;
        return false;
    }
    decoded->Image = std::move(*image);
    context.Width = decoded->Image.Width;
    context.Height = decoded->Image.Height;
    context.Depth = decoded->Image.Depth;
    context.Data = std::move(decoded);
    return true;
}

bool DecodeEmbedded(DecodeContext& context, std::span<uint8_t> buffer, int32_t pitch,
                    int32_t flags) {
    const auto* data = dynamic_cast<const EmbeddedSpriteData*>(context.Data.get());
    if (data == nullptr) return false;
    const DecodedImage& image = data->Image;
    const std::size_t row = std::min<std::size_t>(static_cast<std::size_t>(image.Pitch),
                                                  static_cast<std::size_t>(pitch));
    for (int32_t y = 0; y < image.Height; ++y) {
        const int32_t to = (flags & DecodeBottomUp) != 0 ? image.Height - 1 - y : y;
        const std::size_t at = static_cast<std::size_t>(to) * static_cast<std::size_t>(pitch);
        if (at + row > buffer.size()) return false;
        std::memcpy(buffer.data() + at,
                    image.Pixels.data() + static_cast<std::size_t>(y) * image.Pitch, row);
    }
    return true;
}

constexpr ImageDecoder kEmbeddedSpriteDecoder{"effect file", CheckEmbedded, DecodeEmbedded};

}  // namespace

bool LooksLikeImport(std::string_view bytes) {
    return LooksLikeParticleDict(bytes) || LooksLikeGdxEffect(bytes);
}

std::optional<std::string> EffectTextOfImport(std::string_view bytes, std::string_view path) {
    if (LooksLikeGdxEffect(bytes)) {
        // The first emitter plays; its sprite is the image of that file name beside the file.
        std::optional<GdxImport> effect = ImportGdxEffect(bytes, nullptr, nullptr);
        if (!effect) return std::nullopt;
        return std::move(effect->Emitters.front().Text);
    }
    if (!LooksLikeParticleDict(bytes)) return std::nullopt;
    const std::optional<ParticleDict> dict = ReadParticleDict(bytes, nullptr);
    if (!dict) return std::nullopt;
    std::string sprite;
    if (const ParticleDictField* data = dict->Find("textureImageData");
        data && !data->Text.empty()) {
        sprite = std::string(BaseName(path));
    } else if (const ParticleDictField* name = dict->Find("textureFileName")) {
        sprite = name->Text;
    }
    return ImportParticleDict(*dict, sprite).Text;
}

std::optional<std::vector<ImportFinding>> ImportFindingsOf(std::string_view bytes,
                                                           std::string* error) {
    if (LooksLikeGdxEffect(bytes)) {
        std::optional<GdxImport> effect = ImportGdxEffect(bytes, nullptr, error);
        if (!effect) return std::nullopt;
        return std::move(effect->Findings);
    }
    if (!LooksLikeParticleDict(bytes)) return std::nullopt;
    std::optional<ImportedEffect> effect = ImportParticleEffect(bytes, "", error);
    if (!effect) return std::nullopt;
    return std::move(effect->Findings);
}

bool EmbedsSprite(std::string_view bytes) {
    if (!LooksLikeParticleDict(bytes)) return false;
    const std::optional<ParticleDict> dict = ReadParticleDict(bytes, nullptr);
    const ParticleDictField* data = dict ? dict->Find("textureImageData") : nullptr;
    return data != nullptr && !data->Text.empty();
}

void EnableEffectFileSprites() {
    static const bool registered = RegisterImageDecoder(kEmbeddedSpriteDecoder) != 0;
    (void)registered;
}

}  // namespace pp
