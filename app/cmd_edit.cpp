// particleplayer edit: one window with the live preview, drawn by the library's renderer as
// play draws it, beside a panel of every key and the effect's text, all editing the first
// effect's file through the edit model. The preview restarts from its seed on every edit.
#include <SDL.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/cli_args.h"
#include "app/commands.h"
#include "app/edit_panel.h"
#include "app/play_session.h"
#include "import/effect_file.h"
#include "particleplayer/check.h"
#include "particleplayer/edit.h"
#include "particleplayer/renderer.h"

namespace pp {
namespace {

constexpr std::string_view kCommand = "edit";

constexpr const char* kUsage =
    "Usage: particleplayer edit [EFFECT.txt[:SPRITE.png][@X,Y] ...]\n"
    "Opens one window: the effects (or the scene of Data/) playing on the left as play\n"
    "draws them, and on the right a panel with every key of the first effect's file and\n"
    "its text. A panel edit rewrites only that value's characters (or appends one entry); the\n"
    "text box edits the file as a whole; check's findings show above the preview and beside\n"
    "their widgets, and choosing one selects its place in the text. The preview restarts\n"
    "from its seed on every edit. A .plist or .pex is edited as the text import writes for\n"
    "it and saved as NAME.txt beside it; the file itself is never written.\n"
    "Keys (outside the text box): Ctrl+Z undo, Ctrl+Y or Ctrl+Shift+Z redo, Ctrl+S save,\n"
    "Space pause, R restart, Escape quits.\n";

constexpr int kPreviewWidth = 800;
constexpr int kPreviewHeight = 600;
constexpr int kBarHeight = 170;
constexpr int kPanelWidth = 500;
constexpr int kWindowWidth = kPreviewWidth + kPanelWidth;
constexpr int kWindowHeight = kPreviewHeight + kBarHeight;

struct Preview {
    particleplayer::World World;
    particleplayer::Renderer* Renderer = nullptr;
    std::vector<PlayEffect> Effects;
    uint32_t Seed = 1;
    bool Paused = false;
    bool RestartOnEdit = true;
    // Starts again once every particle has died (a Duration or a burst count has run out).
    bool Loop = false;
    float Speed = 1.0f;
    double Carry = 0.0;  // the fraction of a millisecond that scaled time has not yet spent
    uint32_t Elapsed = 0;

    // Every effect anew from the seed; the first from the edited bytes.
    void Restart(const particleplayer::EffectEdit& edit) {
        World.RemoveAllEffects();
        World.Seed(Seed);
        Elapsed = 0;
        Carry = 0.0;
        for (std::size_t i = 0; i < Effects.size(); ++i) {
            const PlayEffect& e = Effects[i];
            const int32_t n = static_cast<int32_t>(i) + 1;
            if (!e.Sprite.empty()) (void)Renderer->LoadSprite(n, e.Sprite);
            particleplayer::LoadOptions options;
            (e.SpriteGiven ? options.Sprite : options.SpriteUnlessFile) =
                particleplayer::IntValueRange{n, n, 1};
            if (!e.Folder.empty()) options.Folder = e.Folder;
            options.Missing = particleplayer::MissingFile::UseNameAsText;
            const float x = static_cast<float>(e.X), y = static_cast<float>(e.Y);
            if (i == 0) {
                (void)World.LoadEffectText(edit.Bytes(), x, y, options);
            } else {
                (void)World.LoadEffectFile(e.Effect, x, y, options);
            }
        }
    }

    void Advance(uint32_t realMs) {
        if (Paused) return;
        Step(realMs * static_cast<double>(Speed));
    }

    void Step(double ms) {
        Carry += ms;
        const auto whole = static_cast<uint32_t>(std::min(Carry, 1000.0));
        Carry -= whole;
        if (whole == 0) return;
        (void)World.AdvanceTime(whole);
        Elapsed += whole;
        World.Update();
    }

    bool Ended() { return Loop && Elapsed > 0 && World.ParticleCount() == 0; }
};

struct Editor {
    particleplayer::EffectEdit Edit;
    std::string Path;
    std::string Saved;  // the bytes last read or written
    std::string Note;
    EditPanelState Panel;

    void Recheck() {
        Panel.Path = Path;
        Panel.Findings = particleplayer::CheckText(Edit.Bytes(), Path);
    }
    void Save() {
        const particleplayer::Status status = Edit.Save(Path);
        Note = status.Ok() ? "saved " + Path : status.Error;
        if (status.Ok()) Saved = Edit.Bytes();
    }
};

void DrawBar(Editor& editor, Preview& preview, bool& restart) {
    ImGui::SetNextWindowPos({0, 0});
    ImGui::SetNextWindowSize({kPreviewWidth, kBarHeight});
    ImGui::Begin("preview", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove);
    if (ImGui::Button(preview.Paused ? "Play" : "Pause")) preview.Paused = !preview.Paused;
    ImGui::SameLine();
    if (ImGui::Button("Step")) preview.Step(1000.0 / 60.0);
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
    ImGui::Text("%.2f s  %lld particles", preview.Elapsed / 1000.0,
                static_cast<long long>(preview.World.ParticleCount()));
    const bool dirty = editor.Edit.Bytes() != editor.Saved;
    if (ImGui::Button("Save")) editor.Save();
    ImGui::SameLine();
    if (ImGui::Button("Undo")) editor.Edit.Undo();
    ImGui::SameLine();
    if (ImGui::Button("Redo")) editor.Edit.Redo();
    ImGui::SameLine();
    ImGui::Text("%s%s  %s", editor.Path.c_str(), dirty ? " (not saved)" : "", editor.Note.c_str());
    ImGui::BeginChild("findings");
    DrawFindings(editor.Edit, editor.Panel);
    ImGui::EndChild();
    ImGui::End();
}

void DrawPanel(Editor& editor) {
    ImGui::SetNextWindowPos({kPreviewWidth, 0});
    ImGui::SetNextWindowSize({kPanelWidth, kWindowHeight});
    ImGui::Begin("panel", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove);
    ImGui::BeginChild("keys", {0, kWindowHeight * 0.6f});
    DrawKeyWidgets(editor.Edit, editor.Panel);
    ImGui::EndChild();
    DrawTextBox(editor.Edit, editor.Panel, -1.0f);
    GroupEditsByHeldWidget(editor.Edit, editor.Panel);
    ImGui::End();
}

// The keys that act outside text fields; false on Escape.
bool HandleKeys(const SDL_Event& event, Editor& editor, Preview& preview, bool& restart) {
    if (event.type != SDL_KEYDOWN || ImGui::GetIO().WantTextInput) return true;
    const SDL_Keycode key = event.key.keysym.sym;
    const bool ctrl = (event.key.keysym.mod & KMOD_CTRL) != 0;
    const bool shift = (event.key.keysym.mod & KMOD_SHIFT) != 0;
    if (key == SDLK_ESCAPE) return false;
    if (ctrl && key == SDLK_z && !shift) editor.Edit.Undo();
    if (ctrl && (key == SDLK_y || (key == SDLK_z && shift))) editor.Edit.Redo();
    if (ctrl && key == SDLK_s) editor.Save();
    if (!ctrl && key == SDLK_SPACE) preview.Paused = !preview.Paused;
    if (!ctrl && key == SDLK_r) restart = true;
    return true;
}

int RunWindow(Editor& editor, Preview& preview) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* window =
        SDL_CreateWindow(("particleplayer edit: " + editor.Path).c_str(), SDL_WINDOWPOS_CENTERED,
                         SDL_WINDOWPOS_CENTERED, kWindowWidth, kWindowHeight, SDL_WINDOW_OPENGL);
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

    preview.Restart(editor.Edit);
    std::string shown = editor.Edit.Bytes();
    uint32_t last = SDL_GetTicks();
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
        DrawBar(editor, preview, restart);
        DrawPanel(editor);
        ImGui::Render();
        if (editor.Edit.Bytes() != shown) {
            shown = editor.Edit.Bytes();
            editor.Recheck();
            restart |= preview.RestartOnEdit;
        }
        restart |= preview.Ended();
        if (restart) preview.Restart(editor.Edit);
        const uint32_t now = SDL_GetTicks();
        preview.Advance(std::min<uint32_t>(now - last, 100));
        last = now;
        (void)renderer.Value.Draw(preview.World, kPreviewWidth, kPreviewHeight, true);
        ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
        SDL_GL_SwapWindow(window);
    }
    if (editor.Edit.Bytes() != editor.Saved) {
        std::fprintf(stderr, "particleplayer edit: %s was not saved\n", editor.Path.c_str());
    }
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
    Preview preview;
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
    editor.Path = preview.Effects[0].Effect;
    std::replace(editor.Path.begin(), editor.Path.end(), '\\', '/');
    particleplayer::Result<particleplayer::EffectEdit> opened =
        particleplayer::EffectEdit::Open(editor.Path);
    if (!opened.Ok()) {
        std::fprintf(stderr, "particleplayer edit: %s\n", opened.Error.c_str());
        return 1;
    }
    // A .plist or .pex is edited as the effect text its import gives and saved as NAME.txt
    // beside it, so the file itself is never written over.
    if (std::optional<std::string> text = EffectTextOfImport(opened.Value.Bytes(), editor.Path)) {
        const std::string source = editor.Path;
        editor.Path = std::filesystem::path(source).replace_extension(".txt").string();
        opened.Value = particleplayer::EffectEdit(std::move(*text));
        editor.Note = "the import of " + source + "; saving writes " + editor.Path +
                      (std::filesystem::exists(editor.Path) ? ", which exists" : "");
        std::fprintf(stderr,
                     "particleplayer edit: %s is edited as its imported text; saving writes %s%s, "
                     "never %s\n",
                     source.c_str(), editor.Path.c_str(),
                     std::filesystem::exists(editor.Path) ? " (it exists: saving replaces it)" : "",
                     source.c_str());
    }
    editor.Edit = std::move(opened.Value);
    editor.Saved = editor.Edit.Bytes();
    editor.Recheck();
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "particleplayer edit: no video: %s\n", SDL_GetError());
        return 1;
    }
    const int status = RunWindow(editor, preview);
    SDL_Quit();
    return status;
}

}  // namespace pp
