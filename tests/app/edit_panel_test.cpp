// The editor's panel driven through Dear ImGui's own input queue, without a window: a widget
// found by its id is dragged and typed into, and the file's text changes as the model says.
// The bar over the preview, whose pictures need GL, on SDL's offscreen driver.
#include "app/edit_panel.h"

#include <backends/imgui_impl_opengl3.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "app/edit_window.h"
#include "app/png_writer.h"
#include "tests/effects/temp_dir.h"
#include "tests/lib/host_window.h"

namespace pp {
namespace {

constexpr int kEnterKey = 1;

class HeadlessPanel {
  public:
    // With `handles`, each frame draws the preview's handles (its origin at 0, 0, the player's
    // place at 400, 300) in place of the panel.
    explicit HeadlessPanel(std::string bytes, bool handles = false)
        : edit_(std::move(bytes)), handles_(handles) {
        ImGui::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = {600.0f, 8000.0f};
        io.DeltaTime = 1.0f / 60.0f;
        io.KeyMap[ImGuiKey_Enter] = kEnterKey;
        io.Fonts->Build();
    }
    ~HeadlessPanel() { ImGui::DestroyContext(); }
    HeadlessPanel(const HeadlessPanel&) = delete;
    HeadlessPanel& operator=(const HeadlessPanel&) = delete;

    // One frame of the panel as the editor draws it (or, with Bar set, of the editor's bar);
    // returns the id of widget `label` of key (of none when key is empty), under the finding
    // numbered `index` when there is one.
    ImGuiID Frame(const char* key = "", const char* label = "", int index = -1) {
        ImGui::NewFrame();
        if (Bar != nullptr) {
            bool restart = false;
            DrawBar(*Bar, Preview, Look, restart);
        } else {
            ImGui::SetNextWindowPos({0, 0});
            ImGui::SetNextWindowSize(ImGui::GetIO().DisplaySize);
            ImGui::Begin("panel", nullptr, ImGuiWindowFlags_NoDecoration);
            if (handles_) {
                DrawHandles(edit_, state_, {0.0f, 0.0f}, {400.0f, 300.0f});
            } else {
                DrawKeyWidgets(edit_, state_);
                DrawFindings(edit_, state_);
                DrawTextBox(edit_, state_, 100.0f);
            }
            GroupEditsByHeldWidget(edit_, state_);
            textBox_ = ImGui::GetID("##text");
            ImGui::End();
        }
        ImGui::Render();
        // The id the widget has in its window, as PushID and GetID make it.
        ImGuiID seed = ImGui::FindWindowByName(Bar != nullptr ? "preview" : "panel")->ID;
        if (*key != '\0') seed = ImHashStr(key, 0, seed);
        if (index >= 0) seed = ImHashData(&index, sizeof index, seed);
        return ImHashStr(label, 0, seed);
    }

    // Where the mouse hovers the widget, sweeping down the column at x.
    std::optional<ImVec2> Find(const char* key, const char* label, int index = -1,
                               float x = 120.0f) {
        for (float y = 0; y < ImGui::GetIO().DisplaySize.y; y += 4.0f) {
            ImGui::GetIO().MousePos = {x, y};
            const ImGuiID id = Frame(key, label, index);
            if (ImGui::GetCurrentContext()->HoveredId == id) return ImVec2{x, y};
        }
        return std::nullopt;
    }
    // The same along the row, column after column from `from` to `to`.
    std::optional<ImVec2> FindAlong(const char* key, const char* label, float from, float to,
                                    float step) {
        std::optional<ImVec2> at;
        for (float x = from; !at && x < to; x += step) at = Find(key, label, -1, x);
        return at;
    }

    // Hovers down the open list until entry `entry` is under the mouse and clicks it.
    bool Choose(const ImGuiWindow& list, ImGuiID entry) {
        for (float y = list.Pos.y; y < list.Pos.y + list.Size.y; y += 4.0f) {
            Mouse({list.Pos.x + 10.0f, y}, false);
            if (ImGui::GetCurrentContext()->HoveredId != entry) continue;
            Click({list.Pos.x + 10.0f, y});
            return true;
        }
        return false;
    }

    // Types `text` into the field open for typing at `at` and presses Enter.
    void Type(ImVec2 at, const std::string& text) {
        ImGui::GetIO().AddInputCharactersUTF8(text.c_str());
        Mouse(at, false);
        ImGui::GetIO().KeysDown[kEnterKey] = true;
        Mouse(at, false);
        ImGui::GetIO().KeysDown[kEnterKey] = false;
        Mouse(at, false, 2);
    }

    void Click(ImVec2 at) {
        Mouse(at, true);
        Mouse(at, false, 2);
    }

    void Mouse(ImVec2 at, bool down, int frames = 1) {
        ImGui::GetIO().MousePos = at;
        ImGui::GetIO().MouseDown[0] = down;
        for (int i = 0; i < frames; ++i) Frame();
    }

    particleplayer::EffectEdit& Edit() { return edit_; }
    EditPanelState& State() { return state_; }
    // The edit was one undo step: undone, the file is `bytes` and nothing is left to undo.
    bool UndoesTo(const std::string& bytes) {
        return edit_.Undo() && edit_.Bytes() == bytes && !edit_.CanUndo();
    }
    Editor* Bar = nullptr;
    EditPreview Preview;
    PreviewLook Look;

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
    bool handles_;
    ImGuiID textBox_ = 0;
};

const std::string kFile = "Size = {Min = 4, Max = 8},\n  Raise = -3\n";

// A drag on a widget rewrites its value in place, many values on the way and one undo step;
// a typed value is written exactly.
TEST(EditPanel, ADragOrATypedValueRewritesTheValueAsOneUndoStep) {
    for (const bool typed : {false, true}) {
        SCOPED_TRACE(typed ? "typed" : "dragged");
        HeadlessPanel panel(kFile);
        const std::optional<ImVec2> at = panel.Find("Raise", "##number");
        ASSERT_TRUE(at);
        if (typed) {
            // A double click opens the drag for typing, its text selected.
            for (int click = 0; click < 2; ++click) panel.Click(*at);
            panel.Type(*at, "0.1");
            EXPECT_EQ(panel.Edit().Bytes(), "Size = {Min = 4, Max = 8},\n  Raise = 0.1\n");
        } else {
            panel.Mouse(*at, true, 2);
            for (int step = 1; step <= 6; ++step) panel.Mouse({at->x + 10.0f * step, at->y}, true);
            panel.Mouse({at->x + 60.0f, at->y}, false, 2);
            const std::string& bytes = panel.Edit().Bytes();
            const std::optional<particleplayer::KeySpan> span = panel.Edit().Find("Raise");
            ASSERT_TRUE(span);
            EXPECT_EQ(bytes.substr(0, span->Begin), kFile.substr(0, kFile.find("-3")));
            EXPECT_EQ(bytes.substr(span->End), "\n");
            const particleplayer::KeyInfo& raise = *particleplayer::FindEffectKey("Raise");
            EXPECT_GT(std::get<float>(particleplayer::ReadKeyValue(raise, span->Text)), -3.0f);
        }
        EXPECT_TRUE(panel.UndoesTo(kFile));
    }
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

// A value from the Extends parent shows it: "set here" writes the parent's value into this file
// (on one line) as one undo step, "open the parent" asks the editor for that file; a key set here
// has neither.
TEST(EditPanel, AnInheritedValueIsSetHereOrOpensItsParent) {
    testing::TempDir dir;
    const std::string parent = dir.Write("parent.txt", "Raise = 7, Size = {Min = 2,\n  Max = 3}");
    const std::string file = "Extends = parent.txt,\n  Raise = {}\n";
    const struct {
        const char* Key;
        const char* Button;
        float X;
        std::string Bytes;
        std::string Open;
    } rows[] = {
        {"Raise", "set here", 40.0f, "Extends = parent.txt,\n  Raise = 7\n", ""},
        {"Size", "set here", 40.0f,
         "Extends = parent.txt,\n  Raise = {},\n  Size = {Min = 2, Max = 3}\n", ""},
        {"Size", "open the parent", 120.0f, file, parent},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.Key) + " " + row.Button);
        HeadlessPanel panel(file);
        panel.State().Path = (dir.Path() / "child.txt").string();
        panel.State().Folder = dir.Path().string();
        EXPECT_FALSE(panel.Find("Extends", row.Button, -1, row.X));
        const std::optional<ImVec2> at = panel.Find(row.Key, row.Button, -1, row.X);
        ASSERT_TRUE(at);
        panel.Click(*at);
        EXPECT_EQ(panel.Edit().Bytes(), row.Bytes);
        EXPECT_EQ(panel.State().OpenRequest, row.Open);
        EXPECT_TRUE(row.Bytes == file || panel.UndoesTo(file));
    }
}

// A handle on the preview dragged in steps writes the emitter's position, or the area's
// extent (a circle's diameter from the farther side) or angle, in whole pixels and degrees, as
// one undo step; the area's handles sit around the position the file gives.
TEST(EditPanel, APreviewHandleDragIsOneEditOfItsKey) {
    const std::string area = "EmitterArea = {Type = Rectangle, Width = ";
    const std::string rect = area + "100, Height = 40}\n";
    const std::string circle =
        "EmitterPosition = {100, 100}, EmitterArea = {Type = Circle, Width = ";
    const struct {
        std::string File;
        ImVec2 From, To;
        std::string Bytes;
    } rows[] = {
        {"Raise = 1\n", {400, 300}, {450, 280}, "Raise = 1,\nEmitterPosition = {450, 280}\n"},
        {rect, {450, 320}, {470, 330}, area + "140, Height = 60, Angle = 0}\n"},
        {rect, {474, 300}, {400, 400}, area + "100, Height = 40, Angle = 90}\n"},
        {circle + "40}", {120, 120}, {130, 125}, circle + "60, Height = 0, Angle = 0}"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Bytes);
        HeadlessPanel panel(row.File, true);
        // The press comes with a move, which the hold's first frame does not write.
        panel.Mouse({row.From.x - 2.0f, row.From.y - 2.0f}, false);
        panel.Mouse(row.From, true, 2);
        for (int step = 1; step <= 4; ++step) {
            const float f = static_cast<float>(step) / 4.0f;
            panel.Mouse({row.From.x + (row.To.x - row.From.x) * f,
                         row.From.y + (row.To.y - row.From.y) * f},
                        true);
        }
        panel.Mouse(row.To, false, 2);
        EXPECT_EQ(panel.Edit().Bytes(), row.Bytes);
        EXPECT_TRUE(panel.UndoesTo(row.File));
    }
}

// The blend pair's codes are chosen by name from lists (one per place), each choice one edit
// that writes the pair's two codes.
TEST(EditPanel, ABlendCodeChosenFromItsListWritesThePair) {
    const struct {
        const char* Combo;
        int Code;
        std::string Bytes;
    } rows[] = {
        {"##source", 2, "Raise = 1,\nBlendingMode = {2, 6}\n"},
        {"##destination", 9, "Raise = 1,\nBlendingMode = {5, 9}\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Combo);
        HeadlessPanel panel("Raise = 1\n");
        const std::optional<ImVec2> at = panel.FindAlong("BlendingMode", row.Combo, 120, 400, 40);
        ASSERT_TRUE(at);
        panel.Click(*at);
        // The list's entry of the code, under its number in the list's own window.
        const ImGuiWindow* list = ImGui::FindWindowByName("##Combo_00");
        ASSERT_NE(list, nullptr);
        ASSERT_TRUE(panel.Choose(
            *list, ImHashStr("##code", 0, ImHashData(&row.Code, sizeof(int), list->ID))));
        EXPECT_EQ(panel.Edit().Bytes(), row.Bytes);
        EXPECT_TRUE(panel.UndoesTo("Raise = 1\n"));
    }
}

// A sprite sheet's Columns x Rows cells are outlined over the sprite, the cells it plays (its
// first Frames, all without) brighter; a size the block leaves out is its default (1). Each
// cell's outline is the same shape, so the bright and dim outlines' vertices count the cells.
TEST(EditPanel, ASpriteSheetsCellsAreOutlinedOverItsSprite) {
    const struct {
        const char* Sheet;
        int Played, Cells;
    } rows[] = {{"{Columns = 4, Rows = 2, Frames = 5}", 5, 8},
                {"{Columns = 3, Rows = 2}", 6, 6},
                {"{Rows = 2}", 2, 2}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Sheet);
        HeadlessPanel panel(std::string("SpriteSheet = ") + row.Sheet + "\n");
        const ImTextureID sprite = reinterpret_cast<ImTextureID>(intptr_t{7});
        panel.State().SpriteTexture = sprite;
        panel.State().SpriteSize = {64.0f, 32.0f};
        panel.Frame();
        const ImDrawList& list = *ImGui::FindWindowByName("panel")->DrawList;
        const bool shown = std::any_of(list.CmdBuffer.begin(), list.CmdBuffer.end(),
                                       [&](const ImDrawCmd& c) { return c.TextureId == sprite; });
        EXPECT_TRUE(shown);
        int bright = 0, dim = 0;
        for (const ImDrawVert& v : list.VtxBuffer) {
            bright += v.col == IM_COL32(120, 220, 255, 230);
            dim += v.col == IM_COL32(120, 120, 120, 120);
        }
        EXPECT_GT(bright, 0);
        EXPECT_EQ(bright * row.Cells, (bright + dim) * row.Played);
    }
}

// The bar over the preview on the offscreen driver: Save as writes the file under the typed
// name and edits it as that; New from a preset opens a new, unnamed file of the preset's text
// drawn with its sprite; the preview lies over its background colour, or over the picture
// whose name is typed (a file that is no picture is refused with the reason).
TEST(EditPanel, TheBarSavesAsStartsFromAPresetAndLaysTheBackgroundUnderThePreview) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    const testing::HostWindow window(kWindowWidth, kWindowHeight);
    ASSERT_NE(window.Context, nullptr);
    testing::TempDir dir;
    std::vector<uint8_t> picture(800u * 600u * 3u);
    for (std::size_t p = 0; p < picture.size(); ++p) picture[p] = static_cast<uint8_t>(p * 7 / 3);
    const std::vector<uint8_t> encoded = EncodePngFromBgr(800, 600, picture).value();
    const std::string png = dir.Write("under.png", std::string(encoded.begin(), encoded.end()));
    {
        Editor editor;
        editor.PresetFolder = PP_SOURCE_DIR "/examples/effects";
        editor.Docs.push_back(Document{particleplayer::EffectEdit(kFile), "", "", ""});
        HeadlessPanel panel(kFile);
        ImGui::GetIO().DisplaySize = {kWindowWidth, kWindowHeight};
        ASSERT_TRUE(ImGui_ImplOpenGL3_Init("#version 330 core"));
        panel.Bar = &editor;
        const auto type = [&](const char* field, const std::string& text) {
            const std::optional<ImVec2> at = panel.FindAlong("", field, 10, kPreviewWidth, 20);
            ASSERT_TRUE(at) << field;
            panel.Click(*at);
            panel.Type(*at, text);
        };
        // The preview's pixels (bottom-up rows of B, G, R, as GL reads them) over an empty world.
        particleplayer::Result<particleplayer::Renderer> renderer =
            particleplayer::Renderer::Create();
        ASSERT_TRUE(renderer.Ok()) << renderer.Error;
        const auto preview = [&] {
            ImGui_ImplOpenGL3_NewFrame();
            panel.Frame();
            glClear(GL_COLOR_BUFFER_BIT);
            DrawPreview(panel.Preview, panel.Look, renderer.Value);
            std::vector<uint8_t> bgr(800u * 600u * 3u);
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glReadPixels(0, 0, 800, 600, GL_BGR, GL_UNSIGNED_BYTE, bgr.data());
            return bgr;
        };

        const std::string saved = (dir.Path() / "saved.txt").string();
        type("##saveas", saved);
        EXPECT_EQ(editor.Doc().Path, saved);
        std::ifstream file(saved, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), kFile);

        panel.Look.Colour[0] = 51.0f / 255.0f;
        panel.Look.Colour[2] = 204.0f / 255.0f;
        const std::vector<uint8_t> coloured = preview();
        for (std::size_t p = 0; p < coloured.size(); p += 3) {
            ASSERT_EQ(coloured[p + 2] * 65536 + coloured[p + 1] * 256 + coloured[p],
                      51 * 65536 + 204)
                << p;
        }
        type("##image", saved);
        EXPECT_TRUE(!panel.Look.Problem.empty() && panel.Look.Texture == 0u);
        panel.Look.ImagePath.clear();
        type("##image", png);
        EXPECT_EQ(panel.Look.Problem, "");
        const std::vector<uint8_t> laid = preview();
        for (std::size_t y = 0, row = 800 * 3; y < 600; ++y) {
            ASSERT_TRUE(std::equal(&laid[y * row], &laid[y * row] + row, &picture[(599 - y) * row]))
                << "row " << y;
        }

        const std::optional<ImVec2> at = panel.FindAlong("", "New", 10, kPreviewWidth, 20);
        ASSERT_TRUE(at);
        panel.Click(*at);
        ASSERT_FALSE(ImGui::GetCurrentContext()->OpenPopupStack.empty());
        const ImGuiWindow* list = ImGui::GetCurrentContext()->OpenPopupStack.back().Window;
        ASSERT_NE(list, nullptr);
        const std::filesystem::path preset = editor.PresetList.at(0);
        ASSERT_TRUE(panel.Choose(*list, ImHashStr(preset.stem().string().c_str(), 0, list->ID)));
        ASSERT_EQ(std::tuple(editor.Docs.size(), editor.Current), std::tuple(2u, 1u));
        EXPECT_EQ(std::tuple(editor.Doc().Path, editor.Doc().Edit.Bytes(), editor.Doc().Sprite),
                  std::tuple(std::string(),
                             particleplayer::EffectEdit::Open(preset.string()).Value.Bytes(),
                             std::filesystem::path(preset).replace_extension(".png").string()));

        if (panel.Look.Texture != 0) glDeleteTextures(1, &panel.Look.Texture);
        renderer.Value.Close();
        ImGui_ImplOpenGL3_Shutdown();
    }
}

}  // namespace
}  // namespace pp
