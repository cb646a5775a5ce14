// particleplayer edit: one window with the live preview, drawn by the library's renderer as
// play draws it, beside a panel of every key and the effect's text, all editing the first
// effect's file through the edit model. The preview restarts from its seed on every edit.
#include <SDL.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>
#include <epoxy/gl.h>
#include <imgui.h>

#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/cli_args.h"
#include "app/commands.h"
#include "app/edit_panel.h"
#include "app/edit_preview.h"
#include "app/edit_window.h"
#include "app/play_session.h"
#include "particleplayer/edit.h"
#include "particleplayer/effect_files.h"
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

// The editor's OpenGL 3.3 window with its context current; nullptr (the reason printed) when
// either cannot be made.
SDL_Window* OpenEditWindow(const std::string& path, SDL_GLContext& context) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* window =
        SDL_CreateWindow(("particleplayer edit: " + path).c_str(), SDL_WINDOWPOS_CENTERED,
                         SDL_WINDOWPOS_CENTERED, kWindowWidth, kWindowHeight, SDL_WINDOW_OPENGL);
    context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (context == nullptr) {
        std::fprintf(stderr, "particleplayer edit: no OpenGL 3.3 window: %s\n", SDL_GetError());
        if (window) SDL_DestroyWindow(window);
        return nullptr;
    }
    SDL_GL_SetSwapInterval(1);
    return window;
}

// What the window's frames carry from one to the next.
struct EditFrames {
    PreviewLook Look;
    // The first effect as given; a preset's document draws with the preset's sprite instead.
    PlayEffect Given;
    SpritePicture Sprite;
    std::string Shown;  // the text the preview plays
};

// Gives the preview the document's sprite and text, then restarts or advances it.
void StepPreview(Editor& editor, EditPreview& preview, EditFrames& f, bool restart) {
    PlayEffect& first = preview.Effects[0];
    const std::string& wanted = editor.Doc().Sprite.empty() ? f.Given.Sprite : editor.Doc().Sprite;
    if (first.Sprite != wanted) {
        first.Sprite = wanted;
        first.SpriteGiven = editor.Doc().Sprite.empty() ? f.Given.SpriteGiven : true;
        restart = true;
    }
    f.Sprite.Load(first.Sprite, editor.Panel);
    if (editor.Edit().Bytes() != f.Shown) {
        f.Shown = editor.Edit().Bytes();
        editor.Recheck();
        restart |= preview.RestartOnEdit;
    }
    if (restart) {
        preview.Restart(f.Shown);
    } else if (!preview.RestartIfEnded()) {
        preview.Advance();
    }
}

// One frame: the events, the bar, handles and panel, the preview's step and the picture.
// Returns false once the window is to close.
bool RunFrame(SDL_Window* window, Editor& editor, EditPreview& preview,
              particleplayer::Renderer& renderer, EditFrames& f) {
    bool running = true;
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
    DrawBar(editor, preview, f.Look, restart);
    DrawHandleLayer(editor, preview, f.Look.Handles);
    DrawPanel(editor);
    ImGui::Render();
    StepPreview(editor, preview, f, restart);
    glViewport(0, 0, kWindowWidth, kWindowHeight);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    DrawPreview(preview, f.Look, renderer);
    DrawImGuiLayer(ImGui::GetDrawData(), false);
    SDL_GL_SwapWindow(window);
    return running;
}

int RunWindow(Editor& editor, EditPreview& preview) {
    SDL_GLContext context = nullptr;
    SDL_Window* window = OpenEditWindow(editor.Doc().Path, context);
    if (window == nullptr) return 1;
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

    EditFrames f;
    f.Given = preview.Effects[0];
    preview.Restart(editor.Edit().Bytes());
    f.Shown = editor.Edit().Bytes();
    while (RunFrame(window, editor, preview, renderer.Value, f)) {
    }
    for (const Document& doc : editor.Docs) {
        if (doc.Edit.Bytes() != doc.Saved) {
            std::fprintf(stderr, "particleplayer edit: %s was not saved\n", doc.Path.c_str());
        }
    }
    if (f.Look.Texture != 0) glDeleteTextures(1, &f.Look.Texture);
    if (f.Sprite.Texture != 0) glDeleteTextures(1, &f.Sprite.Texture);
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
    // The preview keeps effects where they are placed, so a velocity would be a silent no-op.
    for (const PlayEffect& e : preview.Effects) {
        if (e.VX != 0 || e.VY != 0)
            return UsageError(kCommand, "the preview does not move effects: '" + e.Effect +
                                            "' takes @X,Y without +VX,VY here");
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
