// The editor's panel: one row of Dear ImGui widgets per key of the public key table, in table
// order, and the effect's text in one box, both writing through the edit model. Needs only a
// current ImGui frame, so tests drive it through ImGui's input queue without a window.
#pragma once

#include <imgui.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "particleplayer/check.h"
#include "particleplayer/edit.h"

namespace pp {

struct EditPanelState {
    // The text box's copy of the bytes; follows the model whenever the box is not being typed
    // in.
    std::string Text;
    // The last refusal of the model, shown under the panel until the next edit.
    std::string Refusal;
    // A curve copied from one key, to paste on another.
    std::vector<particleplayer::CurvePoint> CopiedCurve;
    bool HaveCopiedCurve = false;
    // A widget or the text box is held: its edits are one undo step until it lets go.
    bool Holding = false;
    // The edited file's name as check names it, and check's findings of the text as it stands.
    std::string Path;
    std::vector<particleplayer::CheckFinding> Findings;
    // Bytes [first, second) of the text for the text box to select once it has the focus.
    std::optional<std::pair<std::size_t, std::size_t>> Select;
    // The folder the effect's Extends paths are opened from ("" for the working directory).
    std::string Folder;
    // The files up the Extends chain, read again whenever the Extends value (ParentsOf) changes
    // or ParentsStale is set (a parent saved, another file opened).
    std::vector<particleplayer::ParentFile> Parents;
    std::optional<std::string> ParentsOf;
    bool ParentsStale = false;
    // A parent the author chose to open, for the editor to take up and clear.
    std::string OpenRequest;
    // The sprite the preview draws the effect with, as the host gave it to ImGui (none: no
    // picture of a sprite sheet's cells), and its size in pixels.
    ImTextureID SpriteTexture = nullptr;
    ImVec2 SpriteSize{};
};

// Groups the model's edits by the widget held: call once a frame after the panel is drawn.
void GroupEditsByHeldWidget(particleplayer::EffectEdit& edit, EditPanelState& state);

// The widgets of every key. A drag, or a typed value, is one undo step. Returns true when the
// model's bytes changed.
bool DrawKeyWidgets(particleplayer::EffectEdit& edit, EditPanelState& state);

// Handles over the preview, whose top-left corner is at `origin` on the screen: the emitter's
// position (at `place`, the player's, when the effect sets none) and the emission area's
// extent and angle. Each drag is one undo step. Returns true when the model's bytes changed.
bool DrawHandles(particleplayer::EffectEdit& edit, EditPanelState& state, ImVec2 origin,
                 ImVec2 place);

// Check's findings in a list; choosing one of the edited file selects its place in the text.
void DrawFindings(const particleplayer::EffectEdit& edit, EditPanelState& state);

// The effect's text in a multiline box; typing replaces the model's bytes. Returns true when
// they changed.
bool DrawTextBox(particleplayer::EffectEdit& edit, EditPanelState& state, float height);

// A sprite's pixels for the panel's picture of its sheet: top-down RGBA rows.
struct SpriteRgba {
    int32_t Width = 0, Height = 0;
    std::vector<uint8_t> Pixels;
};

// The PNG at `path` (written as an effect names it), or nothing for a file that is no PNG or
// is larger than 4096 on a side; the desktop and the page each make their own texture of it.
std::optional<SpriteRgba> ReadSpriteRgba(const std::string& path);

}  // namespace pp
