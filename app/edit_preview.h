// The editor's preview: the effects on render's clock, frame k at the load's reading plus k times
// 16 ms, each frame one update, so that frame k holds exactly what `render --seed S` draws as its
// frame k. The speed only says how many of those frames a window frame takes, and scrubbing back
// replays from the seed (the engine is deterministic). Needs no window: the renderer is only
// asked to load the sprites.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/clock_options.h"
#include "app/play_session.h"
#include "app/scene.h"
#include "particleplayer/renderer.h"
#include "particleplayer/world.h"

namespace pp {

// The preview's clock step and size: render's default --frame-ms and its frame.
inline constexpr uint32_t kPreviewFrameMs = kDefaultFrameMs;
inline constexpr int32_t kPreviewWidth = kSceneWidth;
inline constexpr int32_t kPreviewHeight = kSceneHeight;

class EditPreview {
  public:
    // The first effect plays the edited bytes (beside the other emitters when it is a .p file's
    // first), the others their files.
    std::vector<PlayEffect> Effects;
    uint32_t Seed = 1;
    bool Paused = false;
    bool RestartOnEdit = true;
    // Starts again once every particle has died (a Duration or a burst count has run out).
    bool Loop = false;
    float Speed = 1.0f;
    // Loads the sprites when set; the preview draws nothing itself.
    particleplayer::Renderer* Renderer = nullptr;

    // Every effect anew from the seed at the start reading, the first from `bytes`.
    void Restart(std::string_view bytes);
    // One frame of render's clock: the clock moved on by kPreviewFrameMs, one update.
    void StepFrame();
    // One window frame: as many preview frames as the speed has gathered (none while paused).
    void Advance();
    // Frame `frame` from the seed: stepped on to it, or replayed from the start when it lies
    // behind.
    void ScrubTo(int64_t frame);
    // Restarts when looping and every particle has died.
    bool RestartIfEnded();

    // Draws the frame over the lower-left 800 x 600 pixels of the current framebuffer as render
    // draws it, that area first cleared to `clearTo` (R, G, B from 0 to 1); without it, over
    // what lies there (a background picture).
    void Draw(particleplayer::Renderer& renderer,
              const std::optional<std::array<float, 3>>& clearTo);

    int64_t Frame() const { return frame_; }
    // The engine's time of the last update, in milliseconds (shown, never compared).
    double UpdateMs() const { return updateMs_; }
    particleplayer::World& GetWorld() { return world_; }

  private:
    particleplayer::World world_;
    std::string bytes_;
    int64_t frame_ = 0;
    double gathered_ = 0.0;  // the part of a frame the speed has not yet spent
    double updateMs_ = 0.0;
};

}  // namespace pp
