#include "app/edit_window.h"

#include <backends/imgui_impl_opengl3.h>
#include <epoxy/gl.h>
#include <imgui_stdlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <system_error>
#include <utility>

#include "app/render_output.h"
#include "particleplayer/check.h"
#include "particleplayer/effect_files.h"
#include "particleplayer/import.h"

namespace pp {
namespace {

// A texture of tightly packed top-down RGB (or, with alpha, RGBA) rows, filtered by `filter`.
GLuint MakeTexture(GLsizei width, GLsizei height, bool alpha, GLint filter, const uint8_t* pixels) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, alpha ? GL_RGBA8 : GL_RGB8, width, height, 0,
                 alpha ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, pixels);
    return texture;
}

// The gallery's effect files, by name.
std::vector<std::filesystem::path> Presets(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().extension() == ".txt" && it->is_regular_file(error)) {
            found.push_back(it->path());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

// The open files, to switch between; the preview plays the one edited.
void DrawFiles(Editor& editor) {
    ImGui::SetNextItemWidth(260.0f);
    const auto name = [](const Document& doc) { return doc.Path.empty() ? "(new)" : doc.Path; };
    if (!ImGui::BeginCombo("file", name(editor.Doc()).c_str())) return;
    for (std::size_t i = 0; i < editor.Docs.size(); ++i) {
        const Document& doc = editor.Docs[i];
        const std::string label =
            name(doc) + (doc.Edit.Bytes() != doc.Saved ? " *" : "") + "##" + std::to_string(i);
        if (ImGui::Selectable(label.c_str(), i == editor.Current)) editor.Switch(i);
    }
    ImGui::EndCombo();
}

}  // namespace

void Editor::Recheck() {
    Panel.Path = Doc().Path;
    Panel.Findings = particleplayer::CheckText(Edit().Bytes(), Doc().Path);
}

void Editor::SaveAs(const std::string& path) {
    if (path.empty()) {
        Note = "name the file under Save as";
        return;
    }
    const particleplayer::Status status = Edit().Save(path);
    Note = status.Ok() ? "saved " + path : status.Error;
    if (!status.Ok()) return;
    Doc().Saved = Edit().Bytes();
    if (Doc().Path != path) {
        Doc().Path = path;
        Recheck();
    }
    // Another open file may extend this one.
    Panel.ParentsStale = true;
}

void Editor::NewFrom(const std::filesystem::path& preset) {
    particleplayer::Result<particleplayer::EffectEdit> opened =
        particleplayer::EffectEdit::Open(preset.string());
    if (!opened.Ok()) {
        Note = opened.Error;
        return;
    }
    std::filesystem::path sprite = preset;
    sprite.replace_extension(".png");
    std::error_code error;
    Docs.push_back(
        Document{std::move(opened.Value), "", "",
                 std::filesystem::is_regular_file(sprite, error) ? sprite.string() : ""});
    Switch(Docs.size() - 1);
    Note = "new from " + preset.filename().string();
}

void Editor::Open(const std::string& path) {
    for (std::size_t i = 0; i < Docs.size(); ++i) {
        if (Docs[i].Path == path) return Switch(i);
    }
    particleplayer::Result<particleplayer::EffectEdit> opened =
        particleplayer::EffectEdit::Open(path);
    if (!opened.Ok()) {
        Note = opened.Error;
        return;
    }
    std::string saveTo = path;
    // A .plist or .pex is edited as the effect text its import gives and saved as NAME.txt
    // beside it, so the file itself is never written over.
    if (std::optional<std::string> text =
            particleplayer::ImportedEffectText(opened.Value.Bytes(), path)) {
        saveTo = std::filesystem::path(path).replace_extension(".txt").string();
        const bool exists = std::filesystem::exists(saveTo);
        opened.Value = particleplayer::EffectEdit(std::move(*text));
        Note = "the import of " + path + "; saving writes " + saveTo +
               (exists ? ", which exists" : "");
        std::fprintf(stderr,
                     "particleplayer edit: %s is edited as its imported text; saving writes "
                     "%s%s, never %s\n",
                     path.c_str(), saveTo.c_str(), exists ? " (it exists: saving replaces it)" : "",
                     path.c_str());
    }
    const std::string bytes = opened.Value.Bytes();
    Docs.push_back(Document{std::move(opened.Value), saveTo, bytes, ""});
    Switch(Docs.size() - 1);
}

void Editor::Switch(std::size_t index) {
    Current = index;
    Panel.Text.clear();
    Panel.ParentsStale = true;
    Recheck();
}

void PreviewLook::LoadImage() {
    Problem.clear();
    if (Texture != 0) glDeleteTextures(1, &Texture);
    Texture = 0;
    if (ImagePath.empty()) return;
    RgbaFrame frame;
    if (const std::optional<std::string> error =
            LoadBackground(ImagePath, kPreviewWidth, kPreviewHeight, frame)) {
        Problem = *error;
        return;
    }
    std::vector<uint8_t> rgb(frame.Pixels.size() / 4 * 3);
    for (std::size_t p = 0; p * 4 < frame.Pixels.size(); ++p) {
        std::copy_n(&frame.Pixels[p * 4], 3, &rgb[p * 3]);
    }
    Texture = MakeTexture(kPreviewWidth, kPreviewHeight, false, GL_NEAREST, rgb.data());
}

void SpritePicture::Load(const std::string& path, EditPanelState& panel) {
    if (path == Of) return;
    Of = path;
    if (Texture != 0) glDeleteTextures(1, &Texture);
    Texture = 0;
    panel.SpriteTexture = nullptr;
    const std::optional<SpriteRgba> sprite = ReadSpriteRgba(path);
    if (!sprite) return;
    Texture = MakeTexture(sprite->Width, sprite->Height, true, GL_LINEAR, sprite->Pixels.data());
    panel.SpriteTexture = reinterpret_cast<ImTextureID>(static_cast<intptr_t>(Texture));
    panel.SpriteSize = {static_cast<float>(sprite->Width), static_cast<float>(sprite->Height)};
}

namespace {

// The bar's first row: play, step, restart, speed, seed and the scrubber, then the counts.
void DrawPlaybackRow(EditPreview& preview, PreviewLook& look, bool& restart) {
    if (ImGui::Button(preview.Paused ? "Play" : "Pause")) preview.Paused = !preview.Paused;
    ImGui::SameLine();
    if (ImGui::Button("Step")) preview.StepFrame();
    ImGui::SameLine();
    restart |= ImGui::Button("Restart");
    ImGui::SameLine();
    ImGui::SetNextItemWidth(120.0f);
    ImGui::SliderFloat("speed", &preview.Speed, 0.25f, 4.0f, "%.2fx",
                       ImGuiSliderFlags_AlwaysClamp | ImGuiSliderFlags_Logarithmic);
    ImGui::SameLine();
    int seed = static_cast<int>(preview.Seed);
    ImGui::SetNextItemWidth(90.0f);
    if (ImGui::InputInt("seed", &seed)) {
        preview.Seed = static_cast<uint32_t>(seed);
        restart = true;
    }
    ImGui::SameLine();
    ImGui::Checkbox("restart on edit", &preview.RestartOnEdit);
    ImGui::SameLine();
    ImGui::Checkbox("loop", &preview.Loop);
    // The scrubber: forward steps on while held, back replays from the seed on letting go.
    const double frameSeconds = kPreviewFrameMs / 1000.0;
    const int64_t showing = look.Scrub.value_or(preview.Frame());
    float seconds = static_cast<float>(static_cast<double>(showing) * frameSeconds);
    ImGui::SetNextItemWidth(260.0f);
    if (ImGui::SliderFloat("time", &seconds, 0.0f, std::max(30.0f, seconds), "%.3f s")) {
        look.Scrub = static_cast<int64_t>(std::lround(seconds / frameSeconds));
    }
    if (ImGui::IsItemActive()) preview.Paused = true;
    if (look.Scrub && (*look.Scrub > preview.Frame() || !ImGui::IsItemActive())) {
        preview.ScrubTo(*look.Scrub);
    }
    if (!ImGui::IsItemActive()) look.Scrub.reset();
    ImGui::SameLine();
    ImGui::Text("frame %lld  %lld particles  update %.2f ms",
                static_cast<long long>(preview.Frame()),
                static_cast<long long>(preview.GetWorld().ParticleCount()), preview.UpdateMs());
}

// The background's colour or picture and the handles switch, with why a picture failed.
void DrawLookRow(PreviewLook& look) {
    ImGui::ColorEdit3("background", look.Colour, ImGuiColorEditFlags_NoInputs);
    ImGui::SameLine();
    ImGui::SetNextItemWidth(220.0f);
    if (ImGui::InputTextWithHint("##image", "or an 800 x 600 .png", &look.ImagePath,
                                 ImGuiInputTextFlags_EnterReturnsTrue)) {
        look.LoadImage();
    }
    ImGui::SameLine();
    ImGui::Checkbox("handles", &look.Handles);
    if (!look.Problem.empty()) {
        ImGui::SameLine();
        ImGui::TextColored({1, 0.45f, 0.35f, 1}, "%s", look.Problem.c_str());
    }
}

// Save, undo, redo, save as, a new file from a preset and the list of files.
void DrawFileRow(Editor& editor) {
    Document& doc = editor.Doc();
    const bool dirty = doc.Edit.Bytes() != doc.Saved;
    if (ImGui::Button("Save")) editor.Save();
    ImGui::SameLine();
    if (ImGui::Button("Undo")) doc.Edit.Undo();
    ImGui::SameLine();
    if (ImGui::Button("Redo")) doc.Edit.Redo();
    ImGui::SameLine();
    ImGui::SetNextItemWidth(160.0f);
    const bool entered = ImGui::InputTextWithHint("##saveas", "file name", &editor.SaveAsName,
                                                  ImGuiInputTextFlags_EnterReturnsTrue);
    ImGui::SameLine();
    if (ImGui::Button("Save as") || entered) editor.SaveAs(editor.SaveAsName);
    ImGui::SameLine();
    if (ImGui::Button("New")) {
        editor.PresetList = Presets(editor.PresetFolder);
        ImGui::OpenPopup("presets");
    }
    if (ImGui::BeginPopup("presets")) {
        for (const std::filesystem::path& preset : editor.PresetList) {
            if (ImGui::Selectable(preset.stem().string().c_str())) editor.NewFrom(preset);
        }
        if (editor.PresetList.empty())
            ImGui::TextDisabled("no %s here", editor.PresetFolder.string().c_str());
        ImGui::EndPopup();
    }
    ImGui::SameLine();
    DrawFiles(editor);
    ImGui::SameLine();
    ImGui::Text("%s  %s", dirty ? "(not saved)" : "", editor.Note.c_str());
}

}  // namespace

void DrawBar(Editor& editor, EditPreview& preview, PreviewLook& look, bool& restart) {
    ImGui::SetNextWindowPos({0, 0});
    ImGui::SetNextWindowSize({kPreviewWidth, kBarHeight});
    ImGui::Begin("preview", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove);
    DrawPlaybackRow(preview, look, restart);
    DrawLookRow(look);
    DrawFileRow(editor);
    ImGui::BeginChild("findings");
    DrawFindings(editor.Edit(), editor.Panel);
    ImGui::EndChild();
    ImGui::End();
    if (look.Texture != 0) {
        ImGui::GetBackgroundDrawList()->AddImage(
            reinterpret_cast<ImTextureID>(static_cast<intptr_t>(look.Texture)), {0, kBarHeight},
            {kPreviewWidth, kWindowHeight});
    }
}

// The ImGui lists apart: the background list (the picture under the preview) drawn first, the
// rest over the preview.
void DrawImGuiLayer(ImDrawData* all, bool background) {
    if (all == nullptr || all->CmdListsCount == 0) return;
    ImDrawList* under = ImGui::GetBackgroundDrawList();
    const bool first = all->CmdLists[0] == under;
    ImDrawData part = *all;
    if (background) {
        if (!first) return;
        part.CmdLists = &all->CmdLists[0];
        part.CmdListsCount = 1;
    } else if (first) {
        part.CmdLists = all->CmdLists + 1;
        part.CmdListsCount = all->CmdListsCount - 1;
    }
    ImGui_ImplOpenGL3_RenderDrawData(&part);
}

// The preview's frame: its background colour or picture, then the particles as render draws
// them.
void DrawPreview(EditPreview& preview, const PreviewLook& look,
                 particleplayer::Renderer& renderer) {
    if (look.Texture != 0) {
        DrawImGuiLayer(ImGui::GetDrawData(), true);
        preview.Draw(renderer, std::nullopt);
    } else {
        preview.Draw(renderer,
                     std::array<float, 3>{look.Colour[0], look.Colour[1], look.Colour[2]});
    }
}

}  // namespace pp
