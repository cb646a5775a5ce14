#include "app/edit_preview.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <chrono>

#include "particleplayer/effect_files.h"

namespace pp {
namespace {

// A window frame takes at most this many preview frames, so that 4x at a slow window rate
// cannot fall ever further behind.
constexpr int kMaxFramesPerAdvance = 8;

}  // namespace

void EditPreview::Restart(std::string_view bytes) {
    if (bytes.data() != bytes_.data()) bytes_ = std::string(bytes);
    world_.RemoveAllEffects();
    (void)world_.SetTime(particleplayer::kDefaultStartTime);
    world_.Seed(Seed);
    frame_ = 0;
    gathered_ = 0.0;
    for (std::size_t i = 0; i < Effects.size(); ++i) {
        const PlayEffect& e = Effects[i];
        const int32_t n = static_cast<int32_t>(i) + 1;
        if (Renderer != nullptr && !e.Sprite.empty()) (void)Renderer->LoadSprite(n, e.Sprite);
        const bool several = particleplayer::LoadsAsGroup(particleplayer::EffectOpenPath(e.Effect));
        if (i == 0) {
            (void)world_.LoadEffectText(bytes_, static_cast<float>(e.X), static_cast<float>(e.Y),
                                        PlayLoadOptions(e, n));
            // The edited text is a .p file's first emitter: the others play beside it, in order.
            if (several) {
                const particleplayer::EffectGroup rest = LoadPlayGroup(world_, e, n);
                if (!rest.Members.empty()) (void)world_.RemoveEffect(rest.Members.front());
            }
        } else if (several) {
            (void)LoadPlayGroup(world_, e, n);
        } else {
            (void)LoadPlayEffect(world_, e, n);
        }
    }
}

void EditPreview::StepFrame() {
    ++frame_;
    (void)world_.SetTime(static_cast<uint32_t>(particleplayer::kDefaultStartTime +
                                               static_cast<uint64_t>(frame_) * kPreviewFrameMs));
    const auto start = std::chrono::steady_clock::now();
    world_.Update();
    updateMs_ =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void EditPreview::Advance() {
    if (Paused) return;
    gathered_ += static_cast<double>(std::clamp(Speed, 0.25f, 4.0f));
    for (int i = 0; gathered_ >= 1.0 && i < kMaxFramesPerAdvance; ++i) {
        StepFrame();
        gathered_ -= 1.0;
    }
    gathered_ = std::min(gathered_, 1.0);
}

void EditPreview::ScrubTo(int64_t frame) {
    frame = std::max<int64_t>(frame, 0);
    if (frame < frame_) Restart(bytes_);
    while (frame_ < frame) StepFrame();
}

void EditPreview::Draw(particleplayer::Renderer& renderer,
                       const std::optional<std::array<float, 3>>& clearTo) {
    if (clearTo) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 0, kPreviewWidth, kPreviewHeight);
        glClearColor((*clearTo)[0], (*clearTo)[1], (*clearTo)[2], 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
    }
    (void)renderer.Draw(world_, kPreviewWidth, kPreviewHeight, false);
}

bool EditPreview::RestartIfEnded() {
    if (!Loop || frame_ == 0 || world_.ParticleCount() != 0) return false;
    Restart(bytes_);
    return true;
}

}  // namespace pp
