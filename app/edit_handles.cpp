// Handles over the preview: the emitter's position, and the emission area's extent and angle,
// each dragged as one undo step through the edit model, the value written as the file writes
// it.
#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "app/edit_panel.h"
#include "particleplayer/key_table.h"

namespace pp {
namespace {

using particleplayer::AreaValue;
using particleplayer::KeyInfo;
using particleplayer::KeyValue;

constexpr float kHandleSize = 12.0f;
// How far beyond the area's right edge its angle handle sits.
constexpr float kAngleReach = 24.0f;

// The key's value as the effect has it: set in this file, else from the nearest parent;
// std::monostate when neither sets it.
KeyValue ValueOf(const particleplayer::EffectEdit& edit, const EditPanelState& state,
                 const KeyInfo& key) {
    if (const std::optional<particleplayer::KeySpan> span = edit.Find(key.Name)) {
        KeyValue value = particleplayer::ReadKeyValue(key, span->Text);
        if (!std::holds_alternative<std::monostate>(value)) return value;
    }
    if (const particleplayer::ParentFile* parent =
            particleplayer::InheritedFrom(state.Parents, key.Name)) {
        return particleplayer::ReadKeyValue(key, parent->Edit.Find(key.Name)->Text);
    }
    return std::monostate{};
}

ImVec2 Rotated(ImVec2 v, float degrees) {
    const float r = degrees * std::numbers::pi_v<float> / 180.0f;
    return {v.x * std::cos(r) - v.y * std::sin(r), v.x * std::sin(r) + v.y * std::cos(r)};
}

ImVec2 Plus(ImVec2 a, ImVec2 b) {
    return {a.x + b.x, a.y + b.y};
}

// A handle at `at` (screen pixels); true while it is dragged, the mouse then at `to`. The
// first frame of a hold changes nothing, so that the hold's edits come after its undo step
// opens.
bool Handle(const char* id, ImVec2 at, ImU32 colour, ImVec2& to) {
    const float half = kHandleSize / 2.0f;
    ImGui::SetCursorScreenPos({at.x - half, at.y - half});
    ImGui::InvisibleButton(id, {kHandleSize, kHandleSize});
    const bool held = ImGui::IsItemActive();
    ImDrawList* draw = ImGui::GetWindowDrawList();
    draw->AddRect({at.x - half, at.y - half}, {at.x + half, at.y + half}, colour, 0.0f, 0,
                  held || ImGui::IsItemHovered() ? 3.0f : 1.5f);
    if (!held || ImGui::IsItemActivated()) return false;
    const ImGuiIO& io = ImGui::GetIO();
    if (io.MouseDelta.x == 0.0f && io.MouseDelta.y == 0.0f) return false;
    to = io.MousePos;
    return true;
}

// A whole pixel or degree: the file keeps short values.
float Whole(float v) {
    return std::nearbyint(v);
}

bool Write(particleplayer::EffectEdit& edit, EditPanelState& state, const KeyInfo& key,
           const KeyValue& value) {
    const std::optional<std::string> text = particleplayer::KeyValueText(key, value);
    const particleplayer::Status status =
        text ? edit.Set(key.Name, *text) : particleplayer::Status("that value cannot be written");
    state.Refusal = status.Ok() ? "" : status.Error;
    return status.Ok();
}

}  // namespace

bool DrawHandles(particleplayer::EffectEdit& edit, EditPanelState& state, ImVec2 origin,
                 ImVec2 place) {
    const KeyInfo* positionKey = particleplayer::FindEffectKey("EmitterPosition");
    const KeyInfo* areaKey = particleplayer::FindEffectKey("EmitterArea");
    if (positionKey == nullptr || areaKey == nullptr) return false;
    bool changed = false;
    ImGui::PushID("handles");
    ImVec2 centre = place;
    const KeyValue position = ValueOf(edit, state, *positionKey);
    if (const auto* xy = std::get_if<std::vector<float>>(&position); xy && xy->size() == 2) {
        centre = {(*xy)[0], (*xy)[1]};
    }
    const ImVec2 screen = Plus(origin, centre);
    ImVec2 to;
    if (Handle("position", screen, IM_COL32(255, 255, 255, 220), to)) {
        changed |= Write(edit, state, *positionKey,
                         std::vector<float>{Whole(to.x - origin.x), Whole(to.y - origin.y)});
    }
    const KeyValue areaValue = ValueOf(edit, state, *areaKey);
    AreaValue area =
        std::holds_alternative<AreaValue>(areaValue) ? std::get<AreaValue>(areaValue) : AreaValue{};
    // The shape's code: 1 a line, 2 a square, 3 a rectangle, 4 a circle, 5 an ellipse; any
    // other name is a point, which has no extent.
    const std::span<const std::string_view> names = particleplayer::AreaTypeNames();
    const auto shape = std::find(names.begin(), names.end(), area.Type) - names.begin();
    const bool line = shape == 1, even = shape == 2 || shape == 4;
    if (shape > 0 && shape < std::ssize(names)) {
        const ImVec2 half{area.Width / 2.0f,
                          line ? 0.0f : (even ? area.Width : area.Height) / 2.0f};
        ImDrawList* draw = ImGui::GetWindowDrawList();
        const ImVec2 corners[4] = {
            Plus(screen, Rotated({-half.x, -half.y}, area.Angle)),
            Plus(screen, Rotated({half.x, -half.y}, area.Angle)),
            Plus(screen, Rotated(half, area.Angle)),
            Plus(screen, Rotated({-half.x, half.y}, area.Angle)),
        };
        draw->AddPolyline(corners, 4, IM_COL32(120, 200, 255, 160), ImDrawFlags_Closed, 1.0f);
        if (Handle("extent", corners[2], IM_COL32(120, 200, 255, 230), to)) {
            const ImVec2 local = Rotated({to.x - screen.x, to.y - screen.y}, -area.Angle);
            const float x = std::fabs(local.x), y = std::fabs(local.y);
            area.Width = Whole(2.0f * (even ? std::max(x, y) : x));
            if (!line && !even) area.Height = Whole(2.0f * y);
            changed |= Write(edit, state, *areaKey, area);
        }
        const ImVec2 turn = Plus(screen, Rotated({half.x + kAngleReach, 0.0f}, area.Angle));
        draw->AddLine(screen, turn, IM_COL32(255, 200, 90, 160));
        if (Handle("angle", turn, IM_COL32(255, 200, 90, 230), to)) {
            const float degrees =
                std::atan2(to.y - screen.y, to.x - screen.x) * 180.0f / std::numbers::pi_v<float>;
            area.Angle = Whole(degrees < 0.0f ? degrees + 360.0f : degrees);
            changed |= Write(edit, state, *areaKey, area);
        }
    }
    ImGui::PopID();
    return changed;
}

}  // namespace pp
