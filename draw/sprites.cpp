#include "draw/sprites.h"

#include <cstdio>
#include <string>
#include <vector>

#include "draw/gl_device.h"
#include "effects/loader.h"
#include "image/image_decoders.h"
#include "platform/gl_api.h"
#include "runtime/object_table.h"

namespace pp {
namespace {

ObjectTable<SpriteRecord>& Sprites() {
    // Never destroyed: a texture must not be deleted from a static destructor after the
    // context is gone; ReleaseScreen frees every sprite while it still exists.
    static auto* table = new ObjectTable<SpriteRecord>(64, &FreeSprite);
    return *table;
}

// Uploads top-down B,G,R,A rows as a texture of exactly width x height; 0 on failure.
GLuint UploadTexture(int32_t width, int32_t height, const std::vector<uint8_t>& bgra) {
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (width < 1 || height < 1 || width > maxSize || height > maxSize) return 0;
    if (bgra.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 4u) return 0;
    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    // Row 0 of the upload is texture coordinate v = 0, which the quads put at their top edge.
    UploadBgraTexture(width, height, bgra.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &texture);
        return 0;
    }
    return texture;
}

}  // namespace

std::optional<std::vector<uint8_t>> ReadSpriteFile(const char* fileName) {
    const std::string path = EffectOpenPath(fileName);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return std::nullopt;
    std::optional<std::vector<uint8_t>> bytes;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        if (size >= 0 && size <= particleplayer::kMaxSpriteFileBytes &&
            std::fseek(file, 0, SEEK_SET) == 0) {
            std::vector<uint8_t> data(static_cast<size_t>(size));
            if (std::fread(data.data(), 1, data.size(), file) == data.size()) {
                bytes = std::move(data);
            }
        }
    }
    std::fclose(file);
    return bytes;
}

SpriteTexture::~SpriteTexture() {
    if (Texture == 0 || !DeviceReady()) return;
    // Quads still waiting in the batch may use this texture; they were drawn before it went.
    FlushQueuedDraws();
    glDeleteTextures(1, &Texture);
}

const SpriteRecord* LoadSpriteImage(int32_t number, const char* fileName, int32_t flags) {
    if (fileName == nullptr) return nullptr;
    const std::optional<std::vector<uint8_t>> bytes = ReadSpriteFile(fileName);
    if (!bytes) return nullptr;
    return SpriteFromMemory(number, *bytes, flags);
}

const SpriteRecord* SpriteFromMemory(int32_t number, std::span<const uint8_t> bytes,
                                     int32_t flags) {
    if (number < 0) return nullptr;
    ObjectTable<SpriteRecord>& table = Sprites();
    if (ObjectAcquire(table, number) == nullptr) return nullptr;
    if (!DeviceReady() || !SpriteFlagsValid(flags)) return nullptr;

    const std::optional<DecodedImage> image = DecodeImage(bytes, 0);
    if (!image) return nullptr;
    return SpriteFromImage(number, *image, flags);
}

const SpriteRecord* SpriteFromImage(int32_t number, const DecodedImage& image, int32_t flags) {
    if (number < 0) return nullptr;
    ObjectTable<SpriteRecord>& table = Sprites();
    if (ObjectAcquire(table, number) == nullptr) return nullptr;
    if (!DeviceReady() || !SpriteFlagsValid(flags)) return nullptr;
    const std::optional<std::vector<uint8_t>> bgra = MakeTextureBytes(image, flags);
    if (!bgra) return nullptr;
    const GLuint texture = UploadTexture(image.Width, image.Height, *bgra);
    if (texture == 0) return nullptr;

    SpriteRecord& record = table.Records[static_cast<size_t>(number)];
    record.Texture = std::make_shared<SpriteTexture>(image.Width, image.Height,
                                                     (flags & SpriteUsableAsQuad) != 0, texture);
    record.Width = image.Width;
    record.Height = image.Height;
    record.Depth = 32;
    record.Flags = flags;
    return &record;
}

const SpriteRecord* LookupSprite(int32_t number) {
    return ObjectLookup(Sprites(), number);
}

void FreeSprite(int32_t number) {
    ObjectRelease(Sprites(), number);
}

void FreeAllSprites() {
    ObjectForEach(
        Sprites(), [](int32_t number, SpriteRecord&) { FreeSprite(number); }, [](SpriteRecord&) {});
}

}  // namespace pp
