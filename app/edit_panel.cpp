// The editor's panel, generated from the public key table: each kind of value gets its widgets,
// every value is shown as the file writes it (or the key's default, greyed, when the file has
// none) and every change goes through the edit model as the value's new text.
#include "app/edit_panel.h"

#include <imgui.h>
#include <imgui_internal.h>
#include <imgui_stdlib.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "app/edit_blend.h"
#include "particleplayer/effect_files.h"
#include "particleplayer/key_table.h"

namespace pp {
namespace {

using particleplayer::AreaValue;
using particleplayer::BlockValue;
using particleplayer::CurvePoint;
using particleplayer::KeyInfo;
using particleplayer::KeyKind;
using particleplayer::KeyValue;
using particleplayer::RandomForm;
using particleplayer::RandomValue;

// Enough digits that any float typed or dragged shows as itself.
constexpr const char* kFloatFormat = "%.9g";

bool IsLineEndByte(char c) {
    return c == '\n' || c == '\r' || c == '\0';
}

float Lowest(const KeyInfo& key) {
    return key.Bounded ? key.Min : 0.0f;
}
float Highest(const KeyInfo& key) {
    return key.Bounded ? key.Max : 0.0f;
}

bool DragNumber(const char* label, float& value, float min = 0.0f, float max = 0.0f) {
    const float speed = max > min ? (max - min) / 500.0f : 0.1f;
    return ImGui::DragFloat(label, &value, speed, min, max, kFloatFormat,
                            max > min ? ImGuiSliderFlags_AlwaysClamp : ImGuiSliderFlags_None);
}

bool DragDouble(const char* label, double& value, bool integer, float min = 0.0f,
                float max = 0.0f) {
    if (integer) {
        int n = static_cast<int>(value);
        const bool changed =
            ImGui::DragInt(label, &n, 0.2f, static_cast<int>(min), static_cast<int>(max));
        if (changed) value = n;
        return changed;
    }
    float f = static_cast<float>(value);
    const bool changed = DragNumber(label, f, min, max);
    if (changed) value = f;
    return changed;
}

bool RandomWidgets(RandomValue& v, bool integer) {
    static const char* const kForms[] = {"plain", "Min/Max", "Value/Range", "Value/Blur"};
    static const char* const kFirst[] = {"##first", "Min", "Value", "Value"};
    static const char* const kSecond[] = {"", "Max", "Range", "Blur"};
    int form = static_cast<int>(v.Form);
    bool changed = false;
    ImGui::SetNextItemWidth(110.0f);
    if (ImGui::Combo("##form", &form, kForms, 4)) {
        if (v.Form == RandomForm::Plain && form == 1) v.Second = v.First;
        v.Form = static_cast<RandomForm>(form);
        changed = true;
    }
    ImGui::SameLine();
    ImGui::SetNextItemWidth(80.0f);
    changed |= DragDouble(kFirst[form], v.First, integer);
    if (v.Form == RandomForm::Plain) return changed;
    ImGui::SameLine();
    ImGui::SetNextItemWidth(80.0f);
    changed |= DragDouble(kSecond[form], v.Second, integer);
    ImGui::SameLine();
    bool hasInc = v.Inc.has_value();
    if (ImGui::Checkbox("Inc", &hasInc)) {
        v.Inc = hasInc ? std::optional<double>(1.0) : std::nullopt;
        changed = true;
    }
    if (v.Inc) {
        ImGui::SameLine();
        ImGui::SetNextItemWidth(70.0f);
        changed |= DragDouble("##inc", *v.Inc, integer);
    }
    return changed;
}

bool AreaWidgets(AreaValue& a) {
    const std::span<const std::string_view> names = particleplayer::AreaTypeNames();
    bool changed = false;
    ImGui::SetNextItemWidth(110.0f);
    if (ImGui::BeginCombo("##type", a.Type.c_str())) {
        for (const std::string_view name : names) {
            if (ImGui::Selectable(std::string(name).c_str(), name == a.Type)) {
                a.Type = name;
                changed = true;
            }
        }
        ImGui::EndCombo();
    }
    ImGui::SameLine();
    float sizes[3] = {a.Width, a.Height, a.Angle};
    if (ImGui::DragFloat3("W H Angle", sizes, 0.5f, 0.0f, 0.0f, kFloatFormat)) {
        a.Width = sizes[0];
        a.Height = sizes[1];
        a.Angle = sizes[2];
        changed = true;
    }
    return changed;
}

bool CurveWidgets(const KeyInfo& key, std::vector<CurvePoint>& points, EditPanelState& state) {
    const bool colour = key.Kind == KeyKind::ColourCurve;
    bool changed = false;
    for (std::size_t i = 0; i < points.size(); ++i) {
        ImGui::PushID(static_cast<int>(i));
        ImGui::SetNextItemWidth(70.0f);
        changed |= DragNumber("##t", points[i].Time, 0.0f, 1.0f);
        ImGui::SameLine();
        ImGui::SetNextItemWidth(colour ? 200.0f : 80.0f);
        if (colour) {
            changed |= ImGui::DragFloat3("##v", points[i].Value.data(), 1.0f, 0.0f, 255.0f,
                                         kFloatFormat, ImGuiSliderFlags_AlwaysClamp);
        } else {
            changed |= DragNumber("##v", points[i].Value[0], Lowest(key), Highest(key));
        }
        ImGui::SameLine();
        if (ImGui::SmallButton("x")) {
            points.erase(points.begin() + static_cast<std::ptrdiff_t>(i));
            changed = true;
            ImGui::PopID();
            break;
        }
        ImGui::PopID();
    }
    if (ImGui::SmallButton("+ point")) {
        CurvePoint point = points.empty() ? CurvePoint{} : points.back();
        point.Time = points.empty() ? 0.0f : std::min(1.0f, point.Time + 0.25f);
        if (points.empty()) point.Value = {colour ? 255.0f : 1.0f, 255.0f, 255.0f};
        points.push_back(point);
        changed = true;
    }
    ImGui::SameLine();
    if (ImGui::SmallButton("copy")) {
        state.CopiedCurve = points;
        state.HaveCopiedCurve = true;
    }
    if (state.HaveCopiedCurve) {
        ImGui::SameLine();
        if (ImGui::SmallButton("paste")) {
            points = state.CopiedCurve;
            changed = true;
        }
    }
    return changed;
}

// The sprite divided into a block's Columns x Rows cells, when the block has both and the
// host gave the sprite; the cells the sheet plays (its first Frames, all without) are outlined
// brighter.
void SheetPicture(const KeyInfo& key, const BlockValue& b, const EditPanelState& state) {
    if (state.SpriteTexture == nullptr || state.SpriteSize.x <= 0 || state.SpriteSize.y <= 0) {
        return;
    }
    std::optional<double> columns, rows, frames;
    for (std::size_t i = 0; i < key.Fields.size() && i < b.Numbers.size(); ++i) {
        if (key.Fields[i].Name == "Columns") columns = b.Numbers[i];
        if (key.Fields[i].Name == "Rows") rows = b.Numbers[i];
        if (key.Fields[i].Name == "Frames") frames = b.Numbers[i];
    }
    if (!columns || !rows || *columns < 1 || *rows < 1) return;
    const float scale = 128.0f / std::max(state.SpriteSize.x, state.SpriteSize.y);
    const ImVec2 size{state.SpriteSize.x * scale, state.SpriteSize.y * scale};
    const ImVec2 at = ImGui::GetCursorScreenPos();
    ImGui::Image(state.SpriteTexture, size);
    ImDrawList* draw = ImGui::GetWindowDrawList();
    const int across = static_cast<int>(std::min(*columns, 256.0));
    const int down = static_cast<int>(std::min(*rows, 256.0));
    const double played = frames ? *frames : static_cast<double>(across) * down;
    const ImVec2 cell{size.x / static_cast<float>(across), size.y / static_cast<float>(down)};
    for (int n = 0; n < across * down; ++n) {
        const ImVec2 min{at.x + static_cast<float>(n % across) * cell.x,
                         at.y + static_cast<float>(n / across) * cell.y};
        draw->AddRect(min, {min.x + cell.x, min.y + cell.y},
                      n < played ? IM_COL32(120, 220, 255, 230) : IM_COL32(120, 120, 120, 120));
    }
}

bool BlockWidgets(const KeyInfo& key, BlockValue& b, const EditPanelState& state) {
    bool changed = false;
    for (std::size_t i = 0; i < key.Fields.size() && i < b.Numbers.size(); ++i) {
        const particleplayer::KeyField& field = key.Fields[i];
        const std::string label(field.Name);
        ImGui::SetNextItemWidth(160.0f);
        if (field.Text) {
            changed |= ImGui::InputText(label.c_str(), &b.Text);
        } else {
            changed |= DragDouble(label.c_str(), b.Numbers[i], field.Integer, field.Min, field.Max);
        }
    }
    SheetPicture(key, b, state);
    return changed;
}

// The byte of `bytes` at a finding's line and column, lines ending as the reader ends them (CR
// LF, CR, LF or NUL); a column past its line's end gives that end.
std::size_t ByteAt(std::string_view bytes, int32_t line, int32_t column) {
    std::size_t at = 0;
    for (int32_t l = 1; l < line && at < bytes.size(); ++l) {
        while (at < bytes.size() && !IsLineEndByte(bytes[at])) ++at;
        if (at + 1 < bytes.size() && bytes[at] == '\r' && bytes[at + 1] == '\n') ++at;
        if (at < bytes.size()) ++at;
    }
    for (int32_t c = 1; c < column && at < bytes.size() && !IsLineEndByte(bytes[at]); ++c) ++at;
    return at;
}

// A finding's place: the whole entry of the key it lies in, or the rest of its line.
std::pair<std::size_t, std::size_t> PlaceOf(const particleplayer::EffectEdit& edit,
                                            const particleplayer::CheckFinding& finding) {
    const std::string& bytes = edit.Bytes();
    const std::size_t at = ByteAt(bytes, finding.Line, finding.Column);
    for (const KeyInfo& key : particleplayer::EffectKeys()) {
        const std::optional<particleplayer::KeySpan> span = edit.Find(key.Name);
        if (span && span->NameBegin <= at && at < std::max(span->End, span->NameBegin + 1)) {
            return {span->NameBegin, span->End};
        }
    }
    std::size_t end = at;
    while (end < bytes.size() && !IsLineEndByte(bytes[end])) ++end;
    return {at, end};
}

// One finding, coloured by its level; choosing it selects its place in the text.
void FindingEntry(const particleplayer::EffectEdit& edit, EditPanelState& state,
                  const particleplayer::CheckFinding& finding, const std::string& text, int index) {
    const bool here = finding.Path == state.Path;
    const ImVec4 colour = finding.Level == particleplayer::Severity::Error
                              ? ImVec4{1.0f, 0.45f, 0.35f, 1.0f}
                              : ImVec4{1.0f, 0.8f, 0.3f, 1.0f};
    ImGui::PushID(index);
    ImGui::PushStyleColor(ImGuiCol_Text, colour);
    if (ImGui::Selectable(text.c_str(), false, here ? 0 : ImGuiSelectableFlags_Disabled) && here) {
        state.Select = PlaceOf(edit, finding);
    }
    ImGui::PopStyleColor();
    ImGui::PopID();
}

// The widgets of one value; true when the author changed it.
bool ValueWidgets(const KeyInfo& key, KeyValue& value, EditPanelState& state) {
    ImGui::SetNextItemWidth(220.0f);
    switch (key.Kind) {
        case KeyKind::Path:
        case KeyKind::Lines:
            return ImGui::InputText("##path", &std::get<std::string>(value));
        case KeyKind::Integer:
            return ImGui::InputInt("##int", &std::get<int32_t>(value));
        case KeyKind::Number:
        case KeyKind::Amount:
            return DragNumber("##number", std::get<float>(value), Lowest(key), Highest(key));
        case KeyKind::Pair:
            return ImGui::DragFloat2("##pair", std::get<std::vector<float>>(value).data(), 0.5f,
                                     0.0f, 0.0f, kFloatFormat);
        case KeyKind::Colour: {
            std::vector<float>& c = std::get<std::vector<float>>(value);
            bool changed = ImGui::DragFloat3("##rgb", c.data(), 1.0f, 0.0f, 255.0f, kFloatFormat,
                                             ImGuiSliderFlags_AlwaysClamp);
            ImGui::SameLine();
            float unit[3] = {c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f};
            if (ImGui::ColorEdit3("##picker", unit, ImGuiColorEditFlags_NoInputs)) {
                for (int i = 0; i < 3; ++i) c[i] = std::clamp(unit[i] * 255.0f, 0.0f, 255.0f);
                changed = true;
            }
            return changed;
        }
        case KeyKind::Rgba: {
            std::vector<float>& c = std::get<std::vector<float>>(value);
            bool changed = ImGui::DragFloat4("##rgba", c.data(), 1.0f, 0.0f, 255.0f, kFloatFormat,
                                             ImGuiSliderFlags_AlwaysClamp);
            ImGui::SameLine();
            float unit[4] = {c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f, c[3] / 255.0f};
            if (ImGui::ColorEdit4("##picker", unit, ImGuiColorEditFlags_NoInputs)) {
                for (int i = 0; i < 4; ++i) c[i] = std::clamp(unit[i] * 255.0f, 0.0f, 255.0f);
                changed = true;
            }
            return changed;
        }
        case KeyKind::IntegerPair:
            return BlendPairWidgets(std::get<std::array<int32_t, 2>>(value));
        case KeyKind::RandomNumber:
        case KeyKind::RandomInteger:
            return RandomWidgets(std::get<RandomValue>(value), key.Kind == KeyKind::RandomInteger);
        case KeyKind::Area:
            return AreaWidgets(std::get<AreaValue>(value));
        case KeyKind::Curve:
        case KeyKind::ColourCurve:
            return CurveWidgets(key, std::get<std::vector<CurvePoint>>(value), state);
        case KeyKind::Block:
            return BlockWidgets(key, std::get<BlockValue>(value), state);
    }
    return false;
}

// The file name of a path, for a line of the panel.
std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Reads the Extends chain again when the file's Extends value has changed or the editor asks.
void RefreshParents(const particleplayer::EffectEdit& edit, EditPanelState& state) {
    const std::optional<particleplayer::KeySpan> extends = edit.Find("Extends");
    const std::string of = extends ? extends->Text : std::string();
    if (!state.ParentsStale && state.ParentsOf == of) return;
    state.Parents = particleplayer::OpenParents(edit, state.Path, state.Folder);
    state.ParentsOf = of;
    state.ParentsStale = false;
}

// Where an inherited value comes from, with "set here" (the parent's value written into this
// file, one undo step) and "open the parent". Fills `value` with the parent's; true when the
// file changed.
bool InheritedLine(particleplayer::EffectEdit& edit, EditPanelState& state, const KeyInfo& key,
                   const particleplayer::ParentFile& parent, KeyValue& value) {
    const std::string text = parent.Edit.Find(key.Name)->Text;
    value = particleplayer::ReadKeyValue(key, text);
    bool changed = false;
    if (ImGui::SmallButton("set here")) {
        // The parent's own text, or, for one broken over lines, the same value on one line.
        particleplayer::Status status = edit.Set(key.Name, text);
        const std::optional<std::string> oneLine = particleplayer::KeyValueText(key, value);
        if (!status.Ok() && oneLine) status = edit.Set(key.Name, *oneLine);
        state.Refusal = status.Ok() ? "" : status.Error;
        changed = status.Ok();
    }
    ImGui::SameLine();
    if (ImGui::SmallButton("open the parent")) state.OpenRequest = parent.Path;
    ImGui::SameLine();
    ImGui::TextDisabled("from %s", FileNameOf(parent.Path).c_str());
    return changed;
}

}  // namespace

bool DrawKeyWidgets(particleplayer::EffectEdit& edit, EditPanelState& state) {
    bool changed = false;
    // Where in the text each finding of this file lies (npos for the other files').
    std::vector<std::size_t> findingAt;
    for (const particleplayer::CheckFinding& f : state.Findings) {
        findingAt.push_back(f.Path == state.Path ? ByteAt(edit.Bytes(), f.Line, f.Column)
                                                 : std::string::npos);
    }
    RefreshParents(edit, state);
    for (const KeyInfo& key : particleplayer::EffectKeys()) {
        const std::string name(key.Name);
        ImGui::PushID(name.c_str());
        const std::optional<particleplayer::KeySpan> span = edit.Find(key.Name);
        KeyValue value = span ? particleplayer::ReadKeyValue(key, span->Text) : std::monostate{};
        const bool set = !std::holds_alternative<std::monostate>(value);
        const particleplayer::ParentFile* parent =
            set ? nullptr : particleplayer::InheritedFrom(state.Parents, key.Name);
        if (set) {
            ImGui::TextUnformatted(name.c_str());
        } else {
            ImGui::TextDisabled("%s", name.c_str());
        }
        if (ImGui::IsItemHovered()) {
            ImGui::SetTooltip("%s\n%s; default %s", std::string(key.Description).c_str(),
                              std::string(particleplayer::KeyKindName(key.Kind)).c_str(),
                              key.Default.empty() ? "none" : std::string(key.Default).c_str());
        }
        // A missing or empty value sets nothing: the widgets start from the parent's value or
        // the default.
        if (!set && parent == nullptr) value = particleplayer::DefaultKeyValue(key);
        ImGui::Indent();
        if (parent != nullptr) changed |= InheritedLine(edit, state, key, *parent, value);
        if (ValueWidgets(key, value, state)) {
            const std::optional<std::string> text = particleplayer::KeyValueText(key, value);
            const particleplayer::Status status =
                text ? edit.Set(key.Name, *text)
                     : particleplayer::Status("that value cannot be written");
            state.Refusal = status.Ok() ? "" : status.Error;
            changed |= status.Ok();
        }
        // Check's findings in this entry, beside its widgets.
        for (std::size_t i = 0; span && i < findingAt.size(); ++i) {
            const std::size_t at = findingAt[i];
            if (at < span->NameBegin || at >= std::max(span->End, span->NameBegin + 1)) continue;
            FindingEntry(edit, state, state.Findings[i], state.Findings[i].Message,
                         static_cast<int>(i));
        }
        ImGui::Unindent();
        ImGui::PopID();
    }
    if (!state.Refusal.empty())
        ImGui::TextColored({1.0f, 0.4f, 0.3f, 1.0f}, "%s", state.Refusal.c_str());
    return changed;
}

void DrawFindings(const particleplayer::EffectEdit& edit, EditPanelState& state) {
    for (std::size_t i = 0; i < state.Findings.size(); ++i) {
        FindingEntry(edit, state, state.Findings[i],
                     particleplayer::FormatFinding(state.Findings[i]), static_cast<int>(i));
    }
    if (state.Findings.empty()) ImGui::TextDisabled("check finds nothing");
}

bool DrawTextBox(particleplayer::EffectEdit& edit, EditPanelState& state, float height) {
    const ImGuiID id = ImGui::GetID("##text");
    if (ImGui::GetActiveID() != id && state.Text != edit.Bytes()) state.Text = edit.Bytes();
    // A chosen place: the box takes the focus, then selects it once it is active.
    if (state.Select && ImGui::GetActiveID() != id) ImGui::SetKeyboardFocusHere();
    const auto select = [](ImGuiInputTextCallbackData* data) {
        auto& place =
            *static_cast<std::optional<std::pair<std::size_t, std::size_t>>*>(data->UserData);
        if (!place) return 0;
        const auto clamp = [&](std::size_t byte) {
            return static_cast<int>(std::min<std::size_t>(byte, data->BufTextLen));
        };
        data->SelectionStart = clamp(place->first);
        data->SelectionEnd = data->CursorPos = clamp(place->second);
        place.reset();
        return 0;
    };
    if (!ImGui::InputTextMultiline("##text", &state.Text, {-1.0f, height},
                                   ImGuiInputTextFlags_CallbackAlways, select, &state.Select)) {
        return false;
    }
    const bool changed = state.Text != edit.Bytes();
    edit.SetBytes(state.Text);
    return changed;
}

void GroupEditsByHeldWidget(particleplayer::EffectEdit& edit, EditPanelState& state) {
    const bool held = ImGui::IsAnyItemActive();
    if (held && !state.Holding) edit.BeginDrag();
    if (!held && state.Holding) edit.EndDrag();
    state.Holding = held;
}

std::optional<SpriteRgba> ReadSpriteRgba(const std::string& path) {
    // The picture is only a guide to the cells, so a small bound keeps a huge sprite from
    // costing the panel a large texture.
    constexpr uint32_t kMaxSide = 4096;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    const std::string file = particleplayer::EffectOpenPath(path);
    std::optional<SpriteRgba> sprite;
    if (!file.empty() && png_image_begin_read_from_file(&image, file.c_str()) &&
        image.width <= kMaxSide && image.height <= kMaxSide) {
        image.format = PNG_FORMAT_RGBA;
        SpriteRgba read{static_cast<int32_t>(image.width), static_cast<int32_t>(image.height),
                        std::vector<uint8_t>(PNG_IMAGE_SIZE(image))};
        if (png_image_finish_read(&image, nullptr, read.Pixels.data(), 0, nullptr))
            sprite = std::move(read);
    }
    png_image_free(&image);
    return sprite;
}

}  // namespace pp
