// The editor's panel driven through Dear ImGui's own input queue, without a window: a widget
// found by its id is dragged and typed into, and the file's text changes as the model says.
#include "app/edit_panel.h"

#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace pp {
namespace {

constexpr int kEnterKey = 1;

class HeadlessPanel {
  public:
    explicit HeadlessPanel(std::string bytes) : edit_(std::move(bytes)) {
        ImGui::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = {600.0f, 3000.0f};
        io.DeltaTime = 1.0f / 60.0f;
        io.KeyMap[ImGuiKey_Enter] = kEnterKey;
        unsigned char* pixels = nullptr;
        int width = 0, height = 0;
        io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    }
    ~HeadlessPanel() { ImGui::DestroyContext(); }
    HeadlessPanel(const HeadlessPanel&) = delete;
    HeadlessPanel& operator=(const HeadlessPanel&) = delete;

    // One frame of the panel as the editor draws it; returns the id of widget `label` of key
    // (of none when key is empty), under the finding numbered `index` when there is one.
    ImGuiID Frame(const char* key = "", const char* label = "", int index = -1) {
        ImGui::NewFrame();
        ImGui::SetNextWindowPos({0, 0});
        ImGui::SetNextWindowSize(ImGui::GetIO().DisplaySize);
        ImGui::Begin("panel", nullptr, ImGuiWindowFlags_NoDecoration);
        DrawKeyWidgets(edit_, state_);
        DrawFindings(edit_, state_);
        DrawTextBox(edit_, state_, 100.0f);
        GroupEditsByHeldWidget(edit_, state_);
        if (*key != '\0') ImGui::PushID(key);
        if (index >= 0) ImGui::PushID(index);
        const ImGuiID id = ImGui::GetID(label);
        if (index >= 0) ImGui::PopID();
        if (*key != '\0') ImGui::PopID();
        textBox_ = ImGui::GetID("##text");
        ImGui::End();
        ImGui::Render();
        return id;
    }

    // Where the mouse hovers the widget, sweeping down the column of the first widgets.
    std::optional<ImVec2> Find(const char* key, const char* label, int index = -1) {
        for (float y = 0; y < ImGui::GetIO().DisplaySize.y; y += 4.0f) {
            ImGui::GetIO().MousePos = {120.0f, y};
            const ImGuiID id = Frame(key, label, index);
            if (ImGui::GetCurrentContext()->HoveredId == id) return ImVec2{120.0f, y};
        }
        return std::nullopt;
    }

    void Mouse(ImVec2 at, bool down, int frames = 1) {
        ImGui::GetIO().MousePos = at;
        ImGui::GetIO().MouseDown[0] = down;
        for (int i = 0; i < frames; ++i) Frame();
    }

    particleplayer::EffectEdit& Edit() { return edit_; }
    EditPanelState& State() { return state_; }

    // The bytes the text box has selected.
    std::string Selected() {
        const ImGuiInputTextState* box = ImGui::GetInputTextState(textBox_);
        if (box == nullptr) return "";
        const auto [from, to] = std::minmax(box->Stb.select_start, box->Stb.select_end);
        return edit_.Bytes().substr(static_cast<std::size_t>(from),
                                    static_cast<std::size_t>(to - from));
    }

  private:
    particleplayer::EffectEdit edit_;
    EditPanelState state_;
    ImGuiID textBox_ = 0;
};

const std::string kFile = "Size = {Min = 4, Max = 8},\n  Raise = -3\n";

TEST(EditPanel, ADragOnAWidgetRewritesItsValueAsOneUndoStep) {
    HeadlessPanel panel(kFile);
    const std::optional<ImVec2> at = panel.Find("Raise", "##number");
    ASSERT_TRUE(at);
    panel.Mouse(*at, true, 2);
    for (int step = 1; step <= 6; ++step) panel.Mouse({at->x + 10.0f * step, at->y}, true);
    panel.Mouse({at->x + 60.0f, at->y}, false, 2);

    const std::string& bytes = panel.Edit().Bytes();
    const std::optional<particleplayer::KeySpan> span = panel.Edit().Find("Raise");
    ASSERT_TRUE(span);
    EXPECT_NE(span->Text, "-3");
    EXPECT_EQ(bytes.substr(0, span->Begin), kFile.substr(0, kFile.find("-3")));
    EXPECT_EQ(bytes.substr(span->End), "\n");
    const particleplayer::KeyInfo& raise = *particleplayer::FindEffectKey("Raise");
    EXPECT_GT(std::get<float>(particleplayer::ReadKeyValue(raise, span->Text)), -3.0f);
    // Many values on the way, one step back.
    ASSERT_TRUE(panel.Edit().Undo());
    EXPECT_EQ(panel.Edit().Bytes(), kFile);
    EXPECT_FALSE(panel.Edit().CanUndo());
}

TEST(EditPanel, ATypedValueIsWrittenExactly) {
    HeadlessPanel panel(kFile);
    const std::optional<ImVec2> at = panel.Find("Raise", "##number");
    ASSERT_TRUE(at);
    // A double click opens the drag for typing, its text selected.
    for (int click = 0; click < 2; ++click) {
        panel.Mouse(*at, true);
        panel.Mouse(*at, false);
    }
    ImGui::GetIO().AddInputCharactersUTF8("0.1");
    panel.Mouse(*at, false);
    ImGui::GetIO().KeysDown[kEnterKey] = true;
    panel.Mouse(*at, false);
    ImGui::GetIO().KeysDown[kEnterKey] = false;
    panel.Mouse(*at, false, 2);
    EXPECT_EQ(panel.Edit().Bytes(), "Size = {Min = 4, Max = 8},\n  Raise = 0.1\n");
    ASSERT_TRUE(panel.Edit().Undo());
    EXPECT_EQ(panel.Edit().Bytes(), kFile);
}

// A finding beside its widget, or in the list, selects its place in the text (the lines end in
// CR LF, each one line as check counts them).
TEST(EditPanel, ChoosingAFindingSelectsItsPlaceInTheText) {
    const std::string file = "Size = {Min = 4, Max = 8},\r\n  Raise = abc,\r\n  Glow = 5\r\n";
    const std::vector<particleplayer::CheckFinding> findings =
        particleplayer::CheckText(file, "f.txt");
    ASSERT_EQ(findings.size(), 2u);
    const struct {
        const char* Key;
        std::string Label;
        int Index;
        std::string Selected;
    } rows[] = {
        {"Raise", findings[0].Message, 0, "Raise = abc"},
        {"", particleplayer::FormatFinding(findings[0]), 0, "Raise = abc"},
        {"", particleplayer::FormatFinding(findings[1]), 1, "Glow = 5"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Label);
        HeadlessPanel panel(file);
        panel.State().Path = "f.txt";
        panel.State().Findings = findings;
        const std::optional<ImVec2> at = panel.Find(row.Key, row.Label.c_str(), row.Index);
        ASSERT_TRUE(at);
        panel.Mouse(*at, true);
        panel.Mouse(*at, false, 3);
        EXPECT_EQ(panel.Selected(), row.Selected);
        EXPECT_EQ(panel.Edit().Bytes(), file);
    }
}

}  // namespace
}  // namespace pp
