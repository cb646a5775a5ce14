// The editor's window apart from its loop: the open files (Save, Save as, New from a preset),
// how the preview is shown (a background colour or picture) and the bar of controls over it,
// so that tests drive them through ImGui's input queue on the offscreen driver. Needs a current
// OpenGL 3.3 context for the pictures and ImGui's OpenGL 3 back-end for DrawImGuiLayer.
#pragma once

#include <imgui.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/edit_panel.h"
#include "app/edit_preview.h"
#include "particleplayer/edit.h"
#include "particleplayer/renderer.h"

namespace pp {

inline constexpr int kBarHeight = 170;
inline constexpr int kPanelWidth = 500;
inline constexpr int kWindowWidth = kPreviewWidth + kPanelWidth;
inline constexpr int kWindowHeight = kPreviewHeight + kBarHeight;

// One open file: its model, its name ("" until a new one is saved as one) and the bytes last
// read or written; a preset's sprite, which the preview then draws it with.
struct Document {
    particleplayer::EffectEdit Edit;
    std::string Path;
    std::string Saved;
    std::string Sprite;
};

struct Editor {
    std::vector<Document> Docs;
    std::size_t Current = 0;
    std::string Note;
    EditPanelState Panel;
    // The gallery that New starts from, beside the working directory's examples.
    std::filesystem::path PresetFolder = "examples/effects";
    std::vector<std::filesystem::path> PresetList;
    std::string SaveAsName;

    Document& Doc() { return Docs[Current]; }
    particleplayer::EffectEdit& Edit() { return Doc().Edit; }

    // Check's findings of the current file as it stands.
    void Recheck();
    void Save() { SaveAs(Doc().Path); }
    // Writes the file under `path`, which it is edited as from then on.
    void SaveAs(const std::string& path);
    // A new file, not yet named, holding the preset's text and drawn with its sprite.
    void NewFrom(const std::filesystem::path& preset);
    // Edits the file at path: the open one of that name, or the file read anew.
    void Open(const std::string& path);
    void Switch(std::size_t index);
};

// How the preview is shown: over a colour, or over an 800 x 600 PNG laid over black as render's
// --background lays it.
struct PreviewLook {
    float Colour[3] = {0.0f, 0.0f, 0.0f};
    std::string ImagePath;
    unsigned int Texture = 0;  // the picture's GL texture, 0 for none
    std::string Problem;
    // The handles drawn over the preview; off shows the frame alone.
    bool Handles = true;
    // The frame the time slider is held at, while it is held.
    std::optional<int64_t> Scrub;

    // The picture at ImagePath as the texture; the reason in Problem when it cannot be.
    void LoadImage();
};

// The sprite as a texture for the panel's picture of a sprite sheet; nothing for a file that is
// not a PNG (or too large to show).
struct SpritePicture {
    unsigned int Texture = 0;
    std::string Of;

    void Load(const std::string& path, EditPanelState& panel);
};

// The bar over the preview: play and pause, step, restart, speed, seed, loop, the time
// slider, the counts, the background, Save, Undo, Redo, Save as, New, the open files and the
// findings. Sets `restart` when the preview must start again.
void DrawBar(Editor& editor, EditPreview& preview, PreviewLook& look, bool& restart);

// The ImGui lists apart: the background list (the picture under the preview) drawn first, the
// rest over the preview.
void DrawImGuiLayer(ImDrawData* all, bool background);

// The preview's frame: its background colour or picture, then the particles as render draws
// them.
void DrawPreview(EditPreview& preview, const PreviewLook& look, particleplayer::Renderer& renderer);

}  // namespace pp
