// The editor's panel: one row of Dear ImGui widgets per key of the public key table, in table
// order, and the effect's text in one box, both writing through the edit model. Needs only a
// current ImGui frame, so tests drive it through ImGui's input queue without a window.
#pragma once

#include <string>
#include <vector>

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
};

// Groups the model's edits by the widget held: call once a frame after the panel is drawn.
void GroupEditsByHeldWidget(particleplayer::EffectEdit& edit, EditPanelState& state);

// The widgets of every key. A drag, or a typed value, is one undo step. Returns true when the
// model's bytes changed.
bool DrawKeyWidgets(particleplayer::EffectEdit& edit, EditPanelState& state);

// The effect's text in a multiline box; typing replaces the model's bytes. Returns true when
// they changed.
bool DrawTextBox(particleplayer::EffectEdit& edit, EditPanelState& state, float height);

}  // namespace pp
