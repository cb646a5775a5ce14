// particleplayer edit: one window with the live preview, drawn by the library's renderer as
// play draws it, beside a panel of every key and the effect's text, all editing the first
// effect's file through the edit model. The preview restarts from its seed on every edit.
#include <SDL.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>
#include <epoxy/gl.h>
#include <imgui.h>
#include <imgui_stdlib.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/cli_args.h"
#include "app/commands.h"
#include "app/edit_panel.h"
#include "app/edit_preview.h"
#include "app/play_session.h"
#include "app/render_output.h"
#include "particleplayer/check.h"
#include "particleplayer/edit.h"
#include "particleplayer/effect_files.h"
#include "particleplayer/import.h"
#include "particleplayer/renderer.h"

namespace pp {
namespace {

constexpr std::string_view kCommand = "edit";

constexpr const char* kUsage =
    "Usage: particleplayer edit [EFFECT.txt[:SPRITE.png][@X,Y] ...]\n"
    "Opens one window: the effects (or the scene of Data/) playing on the left frame for frame\n"
    "as render draws them (frame k at k * 16 ms), and on the right a panel with every key of the\n"
    "first effect's file and its text. A panel edit rewrites only that value's characters (or\n"
    "appends one entry); the text box edits the file as a whole; a value the file takes from\n"
    "its Extends parent names the parent, with \"set here\" and \"open the parent\"; check's\n"
    "findings show above the preview and beside their widgets, and choosing one selects its\n"
    "place in the text. Handles on the preview drag the emitter's position and its area's\n"
    "extent and angle. The preview restarts from its seed on every edit; the time slider\n"
    "replays from the seed to the chosen time. New starts from a preset of examples/effects/.\n"
    "A .plist or .pex is edited as the text import writes for it and saved as NAME.txt beside\n"
    "it; the file itself is never written.\n"
    "Keys (outside the text box): Ctrl+Z undo, Ctrl+Y or Ctrl+Shift+Z redo, Ctrl+S save,\n"
    "Space pause, R restart, Escape quits.\n";

constexpr int kBarHeight = 170;
constexpr int kPanelWidth = 500;
constexpr int kWindowWidth = kPreviewWidth + kPanelWidth;
constexpr int kWindowHeight = kPreviewHeight + kBarHeight;

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

// One open file: its model, its name ("" until a new one is saved as one) and the bytes last
// read or written; a preset's sprite, which the preview then draws it with.
struct Document {
    particleplayer::EffectEdit Edit;
    std::string Path;
    std::string Saved;
    std::string Sprite;
};

// The gallery that New starts from, beside the working directory's examples.
constexpr const char* kPresetFolder = "examples/effects";

// The gallery's effect files, by name.
std::vector<std::filesystem::path> Presets() {
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (std::filesystem::directory_iterator it(kPresetFolder, error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().extension() == ".txt" && it->is_regular_file(error)) {
            found.push_back(it->path());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

struct Editor {
    std::vector<Document> Docs;
    std::size_t Current = 0;
    std::string Note;
    EditPanelState Panel;
    std::vector<std::filesystem::path> PresetList;
    std::string SaveAsName;

    Document& Doc() { return Docs[Current]; }
    particleplayer::EffectEdit& Edit() { return Doc().Edit; }

    void Recheck() {
        Panel.Path = Doc().Path;
        Panel.Findings = particleplayer::CheckText(Edit().Bytes(), Doc().Path);
    }
    void Save() { SaveAs(Doc().Path); }
    // Writes the file under `path`, which it is edited as from then on.
    void SaveAs(const std::string& path) {
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
    // A new file, not yet named, holding the preset's text and drawn with its sprite.
    void NewFrom(const std::filesystem::path& preset) {
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
    // Edits the file at path: the open one of that name, or the file read anew.
    void Open(const std::string& path) {
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
                         path.c_str(), saveTo.c_str(),
                         exists ? " (it exists: saving replaces it)" : "", path.c_str());
        }
        const std::string bytes = opened.Value.Bytes();
        Docs.push_back(Document{std::move(opened.Value), saveTo, bytes, ""});
        Switch(Docs.size() - 1);
    }
    void Switch(std::size_t index) {
        Current = index;
        Panel.Text.clear();
        Panel.ParentsStale = true;
        Recheck();
    }
};

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

// How the preview is shown: over a colour, or over an 800 x 600 PNG laid over black as render's
// --background lays it.
struct PreviewLook {
    float Colour[3] = {0.0f, 0.0f, 0.0f};
    std::string ImagePath;
    GLuint Texture = 0;
    std::string Problem;
    // The handles drawn over the preview; off shows the frame alone.
    bool Handles = true;
    // The frame the time slider is held at, while it is held.
    std::optional<int64_t> Scrub;

    void LoadImage() {
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
};

// The sprite as a texture for the panel's picture of a sprite sheet; nothing for a file that is
// not a PNG (or too large to show).
struct SpritePicture {
    GLuint Texture = 0;
    std::string Of;

    void Load(const std::string& path, EditPanelState& panel) {
        if (path == Of) return;
        Of = path;
        if (Texture != 0) glDeleteTextures(1, &Texture);
        Texture = 0;
        panel.SpriteTexture = nullptr;
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        const std::string file = particleplayer::EffectOpenPath(path);
        if (file.empty() || !png_image_begin_read_from_file(&image, file.c_str())) {
            png_image_free(&image);
            return;
        }
        if (image.width > 4096 || image.height > 4096) {
            png_image_free(&image);
            return;
        }
        image.format = PNG_FORMAT_RGBA;
        std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
            png_image_free(&image);
            return;
        }
        Texture = MakeTexture(static_cast<GLsizei>(image.width), static_cast<GLsizei>(image.height),
                              true, GL_LINEAR, rgba.data());
        panel.SpriteTexture = reinterpret_cast<ImTextureID>(static_cast<intptr_t>(Texture));
        panel.SpriteSize = {static_cast<float>(image.width), static_cast<float>(image.height)};
    }
};

void DrawBar(Editor& editor, EditPreview& preview, PreviewLook& look, bool& restart) {
    ImGui::SetNextWindowPos({0, 0});
    ImGui::SetNextWindowSize({kPreviewWidth, kBarHeight});
    ImGui::Begin("preview", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove);
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
        editor.PresetList = Presets();
        ImGui::OpenPopup("presets");
    }
    if (ImGui::BeginPopup("presets")) {
        for (const std::filesystem::path& preset : editor.PresetList) {
            if (ImGui::Selectable(preset.stem().string().c_str())) editor.NewFrom(preset);
        }
        if (editor.PresetList.empty()) ImGui::TextDisabled("no %s here", kPresetFolder);
        ImGui::EndPopup();
    }
    ImGui::SameLine();
    DrawFiles(editor);
    ImGui::SameLine();
    ImGui::Text("%s  %s", dirty ? "(not saved)" : "", editor.Note.c_str());
    ImGui::BeginChild("findings");
    DrawFindings(editor.Edit(), editor.Panel);
    ImGui::EndChild();
    ImGui::End();
}

// The handles over the preview, unless turned off to see the frame alone.
void DrawHandleLayer(Editor& editor, const EditPreview& preview, bool shown) {
    if (!shown) return;
    ImGui::SetNextWindowPos({0, kBarHeight});
    ImGui::SetNextWindowSize({kPreviewWidth, kPreviewHeight});
    ImGui::Begin("handles", nullptr,
                 ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoBackground | ImGuiWindowFlags_NoBringToFrontOnFocus |
                     ImGuiWindowFlags_NoScrollWithMouse);
    const PlayEffect& first = preview.Effects[0];
    DrawHandles(editor.Edit(), editor.Panel, {0, kBarHeight},
                {static_cast<float>(first.X), static_cast<float>(first.Y)});
    ImGui::End();
}

void DrawPanel(Editor& editor) {
    ImGui::SetNextWindowPos({kPreviewWidth, 0});
    ImGui::SetNextWindowSize({kPanelWidth, kWindowHeight});
    ImGui::Begin("panel", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove);
    ImGui::BeginChild("keys", {0, kWindowHeight * 0.6f});
    DrawKeyWidgets(editor.Edit(), editor.Panel);
    ImGui::EndChild();
    DrawTextBox(editor.Edit(), editor.Panel, -1.0f);
    GroupEditsByHeldWidget(editor.Edit(), editor.Panel);
    ImGui::End();
    if (!editor.Panel.OpenRequest.empty()) {
        editor.Open(std::exchange(editor.Panel.OpenRequest, std::string()));
    }
}

// The keys that act outside text fields; false on Escape.
bool HandleKeys(const SDL_Event& event, Editor& editor, EditPreview& preview, bool& restart) {
    if (event.type != SDL_KEYDOWN || ImGui::GetIO().WantTextInput) return true;
    const SDL_Keycode key = event.key.keysym.sym;
    const bool ctrl = (event.key.keysym.mod & KMOD_CTRL) != 0;
    const bool shift = (event.key.keysym.mod & KMOD_SHIFT) != 0;
    if (key == SDLK_ESCAPE) return false;
    if (ctrl && key == SDLK_z && !shift) editor.Edit().Undo();
    if (ctrl && (key == SDLK_y || (key == SDLK_z && shift))) editor.Edit().Redo();
    if (ctrl && key == SDLK_s) editor.Save();
    if (!ctrl && key == SDLK_SPACE) preview.Paused = !preview.Paused;
    if (!ctrl && key == SDLK_r) restart = true;
    return true;
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

int RunWindow(Editor& editor, EditPreview& preview) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* window = SDL_CreateWindow(("particleplayer edit: " + editor.Doc().Path).c_str(),
                                          SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                          kWindowWidth, kWindowHeight, SDL_WINDOW_OPENGL);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (context == nullptr) {
        std::fprintf(stderr, "particleplayer edit: no OpenGL 3.3 window: %s\n", SDL_GetError());
        if (window) SDL_DestroyWindow(window);
        return 1;
    }
    SDL_GL_SetSwapInterval(1);
    particleplayer::Result<particleplayer::Renderer> renderer = particleplayer::Renderer::Create();
    if (!renderer.Ok()) {
        std::fprintf(stderr, "particleplayer edit: %s\n", renderer.Error.c_str());
        SDL_GL_DeleteContext(context);
        SDL_DestroyWindow(window);
        return 1;
    }
    preview.Renderer = &renderer.Value;
    ImGui::CreateContext();
    ImGui::GetIO().IniFilename = nullptr;
    ImGui::StyleColorsDark();
    ImGui::GetStyle().Colors[ImGuiCol_WindowBg].w = 1.0f;
    ImGui_ImplSDL2_InitForOpenGL(window, context);
    ImGui_ImplOpenGL3_Init("#version 330 core");

    PreviewLook look;
    // The first effect as given; a preset's document draws with the preset's sprite instead.
    const PlayEffect given = preview.Effects[0];
    SpritePicture sprite;
    preview.Restart(editor.Edit().Bytes());
    std::string shown = editor.Edit().Bytes();
    for (bool running = true; running;) {
        bool restart = false;
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            ImGui_ImplSDL2_ProcessEvent(&event);
            if (event.type == SDL_QUIT) running = false;
            running = HandleKeys(event, editor, preview, restart) && running;
        }
        ImGui_ImplOpenGL3_NewFrame();
        ImGui_ImplSDL2_NewFrame();
        ImGui::NewFrame();
        DrawBar(editor, preview, look, restart);
        DrawHandleLayer(editor, preview, look.Handles);
        DrawPanel(editor);
        if (look.Texture != 0) {
            ImGui::GetBackgroundDrawList()->AddImage(
                reinterpret_cast<ImTextureID>(static_cast<intptr_t>(look.Texture)), {0, kBarHeight},
                {kPreviewWidth, kWindowHeight});
        }
        ImGui::Render();
        PlayEffect& first = preview.Effects[0];
        const std::string& wanted =
            editor.Doc().Sprite.empty() ? given.Sprite : editor.Doc().Sprite;
        if (first.Sprite != wanted) {
            first.Sprite = wanted;
            first.SpriteGiven = editor.Doc().Sprite.empty() ? given.SpriteGiven : true;
            restart = true;
        }
        sprite.Load(first.Sprite, editor.Panel);
        if (editor.Edit().Bytes() != shown) {
            shown = editor.Edit().Bytes();
            editor.Recheck();
            restart |= preview.RestartOnEdit;
        }
        if (restart) {
            preview.Restart(shown);
        } else if (!preview.RestartIfEnded()) {
            preview.Advance();
        }
        glViewport(0, 0, kWindowWidth, kWindowHeight);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        DrawPreview(preview, look, renderer.Value);
        DrawImGuiLayer(ImGui::GetDrawData(), false);
        SDL_GL_SwapWindow(window);
    }
    for (const Document& doc : editor.Docs) {
        if (doc.Edit.Bytes() != doc.Saved) {
            std::fprintf(stderr, "particleplayer edit: %s was not saved\n", doc.Path.c_str());
        }
    }
    if (look.Texture != 0) glDeleteTextures(1, &look.Texture);
    if (sprite.Texture != 0) glDeleteTextures(1, &sprite.Texture);
    ImGui_ImplOpenGL3_Shutdown();
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext();
    renderer.Value.Close();
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    return 0;
}

}  // namespace

int RunEdit(CommandArgs args) {
    for (const std::string_view arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    EditPreview preview;
    std::vector<std::string> notes;
    if (auto error = ParsePlayArgs(args, preview.Effects, notes)) {
        return error->empty() ? 0 : UsageError(kCommand, *error);
    }
    for (const std::string& note : notes)
        std::fprintf(stderr, "particleplayer edit: %s\n", note.c_str());
    if (preview.Effects.empty()) preview.Effects = BuiltInPlayEffects();
    if (preview.Effects.empty()) return UsageError(kCommand, "no effect to edit");
    Editor editor;
    // The scene's paths are written with '\', which the loader reads as '/'.
    const std::string path = particleplayer::EffectOpenPath(preview.Effects[0].Effect);
    editor.Panel.Folder = preview.Effects[0].Folder;
    editor.Open(path);
    if (editor.Docs.empty()) {
        std::fprintf(stderr, "particleplayer edit: %s\n", editor.Note.c_str());
        return 1;
    }
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "particleplayer edit: no video: %s\n", SDL_GetError());
        return 1;
    }
    const int status = RunWindow(editor, preview);
    SDL_Quit();
    return status;
}

}  // namespace pp
