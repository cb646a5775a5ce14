#include "particleplayer/renderer.h"

#include <span>
#include <string>
#include <utility>

#include "draw/host_context.h"
#include "lib/sprite_files.h"
#include "lib/world_access.h"

namespace particleplayer {
namespace {

Status Closed() {
    return {"the renderer is closed"};
}

}  // namespace

Renderer::~Renderer() {
    Close();
}

Renderer::Renderer(Renderer&& other) noexcept : open_(std::exchange(other.open_, false)) {}

Renderer& Renderer::operator=(Renderer&& other) noexcept {
    if (this != &other) {
        Close();
        open_ = std::exchange(other.open_, false);
    }
    return *this;
}

Result<Renderer> Renderer::Create() {
    Result<Renderer> result;
    result.Error = pp::OpenHostContextScreen();
    result.Value.open_ = result.Error.empty();
    return result;
}

Status Renderer::LoadSprite(int32_t number, std::string_view path) {
    if (!open_) return Closed();
    if (number < 0) return {"sprite numbers start at 0"};
    const std::string name(path);
    KeepHostSprite(number);
    const std::string why = pp::LoadHostSprite(number, name.c_str());
    if (!why.empty()) return {why + " '" + name + "'"};
    return {};
}

Status Renderer::LoadSpritePixels(int32_t number, int32_t width, int32_t height,
                                  const uint8_t* rgba, size_t size) {
    if (!open_) return Closed();
    if (number < 0) return {"sprite numbers start at 0"};
    if (rgba == nullptr) return {"no pixels given"};
    KeepHostSprite(number);
    return {pp::LoadHostSpritePixels(number, width, height, std::span(rgba, size))};
}

Status Renderer::Draw(World& world, int32_t width, int32_t height, bool clear) {
    if (!open_) return Closed();
    if (width < 1 || width > kMaxPixelSide || height < 1 || height > kMaxPixelSide) {
        return {"the frame size must be 1 to " + std::to_string(kMaxPixelSide) +
                " pixels each way"};
    }
    pp::Engine& engine = WorldAccess::EngineOf(world);
    // The world's own images first; a failure only leaves their particles undrawn.
    LoadWorldSpriteFiles(engine, [](int32_t number, const std::string& path) {
        return pp::LoadHostSprite(number, path.c_str()).empty();
    });
    return {pp::DrawIntoHostFramebuffer(engine, width, height, clear)};
}

void Renderer::Close() {
    if (!open_) return;
    open_ = false;
    ForgetSpriteFiles();
    pp::CloseHostContextScreen();
}

}  // namespace particleplayer
