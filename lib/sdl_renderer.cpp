#include "particleplayer/sdl_renderer.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "draw/blend.h"
#include "draw/sprites.h"
#include "image/image_decoders.h"
#include "image/texture_bytes.h"
#include "import/effect_file.h"
#include "particleplayer/vertices.h"

namespace particleplayer {
namespace {

Status Closed() {
    return {"the renderer is closed"};
}

// The SDL factor of a GL factor the blend table gives, with the destination alpha read as 1:
// the frame the bundled renderer composes has no alpha, and the SDL target's own alpha must
// not change what the particles look like.
SDL_BlendFactor SdlFactor(uint32_t gl) {
    switch (gl) {
        case GL_ZERO:
        case GL_ONE_MINUS_DST_ALPHA:
        case GL_SRC_ALPHA_SATURATE:  // min(source alpha, 1 - 1)
            return SDL_BLENDFACTOR_ZERO;
        case GL_SRC_COLOR:
            return SDL_BLENDFACTOR_SRC_COLOR;
        case GL_ONE_MINUS_SRC_COLOR:
            return SDL_BLENDFACTOR_ONE_MINUS_SRC_COLOR;
        case GL_SRC_ALPHA:
            return SDL_BLENDFACTOR_SRC_ALPHA;
        case GL_ONE_MINUS_SRC_ALPHA:
            return SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA;
        case GL_DST_COLOR:
            return SDL_BLENDFACTOR_DST_COLOR;
        case GL_ONE_MINUS_DST_COLOR:
            return SDL_BLENDFACTOR_ONE_MINUS_DST_COLOR;
        default:  // GL_ONE, GL_DST_ALPHA
            return SDL_BLENDFACTOR_ONE;
    }
}

// SDL's built-in mode nearest to a colour blend, for renderers that draw no composed mode.
// Exact in colour for the pairs the header lists.
SDL_BlendMode NearestBuiltIn(SDL_BlendFactor source, SDL_BlendFactor destination, bool& exact) {
    using F = SDL_BlendFactor;
    const auto is = [&](F s, F d) { return source == s && destination == d; };
    exact = is(SDL_BLENDFACTOR_SRC_ALPHA, SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA) ||
            is(SDL_BLENDFACTOR_SRC_ALPHA, SDL_BLENDFACTOR_ONE) ||
            is(SDL_BLENDFACTOR_ZERO, SDL_BLENDFACTOR_SRC_COLOR) ||
            is(SDL_BLENDFACTOR_DST_COLOR, SDL_BLENDFACTOR_ZERO) ||
            is(SDL_BLENDFACTOR_DST_COLOR, SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA) ||
            is(SDL_BLENDFACTOR_ONE, SDL_BLENDFACTOR_ZERO);
    if (source == SDL_BLENDFACTOR_DST_COLOR) {
        if (destination == SDL_BLENDFACTOR_ZERO) return SDL_BLENDMODE_MOD;
        if (destination == SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA) return SDL_BLENDMODE_MUL;
    }
    switch (destination) {
        case SDL_BLENDFACTOR_ZERO:
            return SDL_BLENDMODE_NONE;
        case SDL_BLENDFACTOR_ONE:
            return SDL_BLENDMODE_ADD;
        case SDL_BLENDFACTOR_SRC_COLOR:
            return SDL_BLENDMODE_MOD;
        default:
            return SDL_BLENDMODE_BLEND;
    }
}

// One loaded sprite: its texture, and the blend mode last set on it (SDL_BLENDMODE_INVALID
// before the first run).
struct Sprite {
    SDL_Texture* Texture = nullptr;
    SDL_BlendMode Mode = SDL_BLENDMODE_INVALID;
};

// The quads of one SDL_RenderGeometry call at most: its vertex count is an int.
constexpr uint32_t kMaxVerticesPerCall = 6u << 20;

// A renderer's sprites, blend modes and vertex buffers; its functions stay inside the library.
struct Backend {
    SDL_Renderer* Renderer = nullptr;
    std::map<int32_t, Sprite> Sprites;
    // The mode each pair of SDL factors draws with on this renderer, found on first use.
    std::map<std::pair<int, int>, SDL_BlendMode> Modes;
    VertexArray Quads;
    std::vector<SDL_Vertex> Corners;

    ~Backend() {
        for (auto& [number, sprite] : Sprites) SDL_DestroyTexture(sprite.Texture);
    }

    // Makes sprite number from top-down B, G, R, A rows, replacing an older one.
    Status MakeSprite(int32_t number, int32_t width, int32_t height,
                      const std::vector<uint8_t>& bgra) {
        SDL_Texture* texture = SDL_CreateTexture(Renderer, SDL_PIXELFORMAT_BGRA32,
                                                 SDL_TEXTUREACCESS_STATIC, width, height);
        if (texture == nullptr) return {std::string("cannot make the texture: ") + SDL_GetError()};
        if (SDL_UpdateTexture(texture, nullptr, bgra.data(), width * 4) != 0 ||
            SDL_SetTextureScaleMode(texture, SDL_ScaleModeNearest) != 0) {
            const std::string why = SDL_GetError();
            SDL_DestroyTexture(texture);
            return {"cannot fill the texture: " + why};
        }
        Sprite& sprite = Sprites[number];
        SDL_DestroyTexture(sprite.Texture);
        sprite = {texture, SDL_BLENDMODE_INVALID};
        return {};
    }

    // Sets the blend mode of the pair on the sprite's texture; false when the pair draws
    // nothing at all.
    bool SetBlend(Sprite& sprite, int32_t sourceCode, int32_t destinationCode) {
        const pp::GlBlend gl = pp::MapBlend(sourceCode, destinationCode);
        const SDL_BlendFactor source = SdlFactor(gl.Source);
        const SDL_BlendFactor destination = SdlFactor(gl.Destination);
        if (source == SDL_BLENDFACTOR_ZERO && destination == SDL_BLENDFACTOR_ONE) return false;
        const auto [found, first] = Modes.try_emplace({source, destination}, SDL_BLENDMODE_INVALID);
        SDL_BlendMode& mode = found->second;
        if (first) {
            mode = SDL_ComposeCustomBlendMode(source, destination, SDL_BLENDOPERATION_ADD,
                                              SDL_BLENDFACTOR_ZERO, SDL_BLENDFACTOR_ONE,
                                              SDL_BLENDOPERATION_ADD);
            if (SDL_SetTextureBlendMode(sprite.Texture, mode) != 0) {
                bool exact = false;
                mode = NearestBuiltIn(source, destination, exact);
                if (!exact) {
                    SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION,
                                "particleplayer: this renderer cannot blend with the pair %d, "
                                "%d; it draws with the nearest built-in mode",
                                static_cast<int>(sourceCode), static_cast<int>(destinationCode));
                }
            }
            sprite.Mode = SDL_BLENDMODE_INVALID;  // the trial left one mode or the other on it
        }
        if (sprite.Mode != mode) {
            if (SDL_SetTextureBlendMode(sprite.Texture, mode) != 0) return false;
            sprite.Mode = mode;
        }
        return true;
    }
};

}  // namespace

struct SdlRenderer::State : Backend {};

SdlRenderer::SdlRenderer() = default;
SdlRenderer::~SdlRenderer() = default;
SdlRenderer::SdlRenderer(SdlRenderer&& other) noexcept = default;
SdlRenderer& SdlRenderer::operator=(SdlRenderer&& other) noexcept = default;

Result<SdlRenderer> SdlRenderer::Create(SDL_Renderer* renderer) {
    Result<SdlRenderer> result;
    if (renderer == nullptr) {
        result.Error = "no SDL renderer given";
        return result;
    }
    SDL_version linked;
    SDL_GetVersion(&linked);
    if (SDL_VERSIONNUM(linked.major, linked.minor, linked.patch) < SDL_VERSIONNUM(2, 0, 18)) {
        result.Error = "SDL 2.0.18 or later is needed to draw geometry";
        return result;
    }
    result.Value.state_ = std::make_unique<State>();
    result.Value.state_->Renderer = renderer;
    pp::EnablePngDecoder();
    pp::EnableEffectFileSprites();
    return result;
}

Status SdlRenderer::LoadSprite(int32_t number, std::string_view path) {
    if (!state_) return Closed();
    if (number < 0) return {"sprite numbers start at 0"};
    const std::string name(path);
    const auto bytes = pp::ReadSpriteFile(name.c_str());
    if (!bytes) return {"cannot read the sprite '" + name + "'"};
    std::string why;
    const auto image = pp::DecodeImage(*bytes, 0, &why);
    if (!image) return {"cannot load the sprite '" + name + "': " + why};
    const auto bgra = pp::MakeTextureBytes(*image, pp::SpriteUsableAsQuad | pp::SpriteKeepAlpha);
    if (!bgra) return {"cannot load the sprite '" + name + "'"};
    return state_->MakeSprite(number, image->Width, image->Height, *bgra);
}

Status SdlRenderer::LoadSpritePixels(int32_t number, int32_t width, int32_t height,
                                     const uint8_t* rgba, size_t size) {
    if (!state_) return Closed();
    if (number < 0) return {"sprite numbers start at 0"};
    if (rgba == nullptr) return {"no pixels given"};
    if (width < 1 || height < 1 || width > particleplayer::kMaxPixelSide ||
        height > particleplayer::kMaxPixelSide) {
        return {"the sprite size must be 1 to " + std::to_string(particleplayer::kMaxPixelSide) +
                " pixels each way"};
    }
    const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4u;
    if (size < bytes) return {"fewer pixels than width x height"};
    std::vector<uint8_t> bgra(rgba, rgba + bytes);
    for (size_t i = 0; i < bytes; i += 4) std::swap(bgra[i], bgra[i + 2]);
    return state_->MakeSprite(number, width, height, bgra);
}

Status SdlRenderer::Draw(World& world, int32_t layer, int32_t offsetX, int32_t offsetY) {
    if (!state_) return Closed();
    State& s = *state_;
    Status built = BuildVertices(world, s.Quads, layer, offsetX, offsetY);
    if (!built.Ok()) return built;
    for (const VertexRun& run : s.Quads.Runs) {
        const auto found = s.Sprites.find(run.Sprite);
        if (found == s.Sprites.end()) continue;
        if (!s.SetBlend(found->second, run.BlendSource, run.BlendDestination)) continue;
        for (uint32_t done = 0; done < run.Count;) {
            const uint32_t count = std::min(run.Count - done, kMaxVerticesPerCall);
            s.Corners.resize(count);
            const Vertex* in = s.Quads.Vertices.data() + run.First + done;
            for (uint32_t i = 0; i < count; ++i) {
                // SDL's pixel centres sit at halves, ours at integers.
                s.Corners[i] = {{in[i].X + 0.5f, in[i].Y + 0.5f},
                                {in[i].Red, in[i].Green, in[i].Blue, in[i].Alpha},
                                {in[i].U, in[i].V}};
            }
            if (SDL_RenderGeometry(s.Renderer, found->second.Texture, s.Corners.data(),
                                   static_cast<int>(count), nullptr, 0) != 0) {
                return {std::string("cannot draw the particles: ") + SDL_GetError()};
            }
            done += count;
        }
    }
    return {};
}

void SdlRenderer::Close() {
    state_.reset();
}

}  // namespace particleplayer
