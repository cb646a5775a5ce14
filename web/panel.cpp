#include "web/panel.h"

#include <GLES3/gl3.h>
#include <backends/imgui_impl_opengl3.h>
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/edit_panel.h"
#include "particleplayer/check.h"
#include "particleplayer/edit.h"
#include "particleplayer/effect_files.h"

namespace pp {
namespace {

// What the browser told the canvas, in order. A frame takes them up to and including the first
// press or release, so that a press and its release in one frame are two frames to ImGui.
// Ctrl and Shift travel in the same queue: a quick Ctrl+Z whose four events all arrive before
// the next frame still reaches ImGui as Z pressed while Ctrl is held.
struct InputEvent {
    enum Kind { Move, Button, Wheel, Key, Text, Modifiers } What = Move;
    float X = 0, Y = 0;  // Move: canvas pixels; Wheel: Y in lines
    int Index = 0;       // Button: 0 left, 1 right, 2 middle; Key: our key number
    bool Down = false;
    bool Ctrl = false, Shift = false;  // Modifiers
    std::string Chars;                 // Text
};

// The keys ImGui's text fields and the undo keys need, by the browser's names; a key's place
// in this list is its index in ImGui's KeysDown.
constexpr struct {
    const char* Name;
    ImGuiKey_ Key;
} kKeys[] = {
    {"Tab", ImGuiKey_Tab},
    {"ArrowLeft", ImGuiKey_LeftArrow},
    {"ArrowRight", ImGuiKey_RightArrow},
    {"ArrowUp", ImGuiKey_UpArrow},
    {"ArrowDown", ImGuiKey_DownArrow},
    {"Home", ImGuiKey_Home},
    {"End", ImGuiKey_End},
    {"Delete", ImGuiKey_Delete},
    {"Backspace", ImGuiKey_Backspace},
    {"Enter", ImGuiKey_Enter},
    {"Escape", ImGuiKey_Escape},
    {"a", ImGuiKey_A},
    {"c", ImGuiKey_C},
    {"v", ImGuiKey_V},
    {"x", ImGuiKey_X},
    {"y", ImGuiKey_Y},
    {"z", ImGuiKey_Z},
};

struct WidgetBox {
    ImGuiID Id;
    ImRect Box;
};

struct PanelState {
    std::string Selector;
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE Context = 0;
    ImGuiContext* Gui = nullptr;
    particleplayer::EffectEdit Edit;
    EditPanelState Panel;
    bool Open = false;
    std::deque<InputEvent> Events;
    // The last press or release of each key and button, and the last Modifiers event, among
    // the events the full queue let go: what they leave held, for the next frame.
    std::vector<InputEvent> Settled;
    bool Ctrl = false, Shift = false;  // as the queue's last Modifiers event has them
    double LastMs = 0;
    int Frames = 0;
    std::vector<WidgetBox> Seen;  // the widgets of the frame drawn last
    std::string SpriteOf;         // the image the sprite texture holds
    GLuint Sprite = 0;            // in the panel's own context
};

PanelState& State() {
    static PanelState* state = new PanelState;
    return *state;
}

void Queue(InputEvent e) {
    PanelState& s = State();
    std::deque<InputEvent>& events = s.Events;
    // A page that stops drawing (a background tab) does not gather events without end. The
    // oldest goes, but not what it leaves held: a key whose release was let go would stay down.
    if (events.size() >= 512) {
        InputEvent& old = events.front();
        if (old.What == InputEvent::Key || old.What == InputEvent::Button ||
            old.What == InputEvent::Modifiers) {
            const auto same = std::find_if(s.Settled.begin(), s.Settled.end(), [&](const auto& k) {
                return k.What == old.What && k.Index == old.Index;
            });
            if (same != s.Settled.end()) {
                *same = std::move(old);
            } else {
                s.Settled.push_back(std::move(old));
            }
        }
        events.pop_front();
    }
    events.push_back(std::move(e));
}

// The canvas's place in the browser's window, for events that arrive outside it (a drag goes
// on past its edge).
ImVec2 CanvasCorner() {
    const std::string box =
        "document.querySelector('" + State().Selector + "').getBoundingClientRect().";
    return {static_cast<float>(emscripten_run_script_int((box + "left").c_str())),
            static_cast<float>(emscripten_run_script_int((box + "top").c_str()))};
}

EM_BOOL OnMouse(int type, const EmscriptenMouseEvent* e, void*) {
    const ImVec2 corner = CanvasCorner();
    InputEvent move;
    move.X = static_cast<float>(e->clientX) - corner.x;
    move.Y = static_cast<float>(e->clientY) - corner.y;
    Queue(move);
    if (type == EMSCRIPTEN_EVENT_MOUSEDOWN || type == EMSCRIPTEN_EVENT_MOUSEUP) {
        InputEvent button;
        button.What = InputEvent::Button;
        button.Index = e->button == 0 ? 0 : e->button == 2 ? 1 : 2;
        button.Down = type == EMSCRIPTEN_EVENT_MOUSEDOWN;
        Queue(button);
    }
    return EM_FALSE;
}

EM_BOOL OnWheel(int, const EmscriptenWheelEvent* e, void*) {
    InputEvent wheel;
    wheel.What = InputEvent::Wheel;
    // Pixels (mode 0) at about 40 a line, lines (1) as they are, pages (2) as ten lines.
    const double lines = e->deltaMode == 0   ? e->deltaY / 40.0
                         : e->deltaMode == 1 ? e->deltaY
                                             : e->deltaY * 10;
    wheel.Y = static_cast<float>(-lines);
    Queue(wheel);
    return EM_TRUE;
}

EM_BOOL OnKey(int type, const EmscriptenKeyboardEvent* e, void*) {
    PanelState& s = State();
    const bool ctrl = e->ctrlKey || e->metaKey;
    if (ctrl != s.Ctrl || e->shiftKey != s.Shift) {
        s.Ctrl = ctrl;
        s.Shift = e->shiftKey;
        InputEvent modifiers;
        modifiers.What = InputEvent::Modifiers;
        modifiers.Ctrl = ctrl;
        modifiers.Shift = e->shiftKey;
        Queue(modifiers);
    }
    bool known = false;
    for (std::size_t i = 0; i < std::size(kKeys); ++i) {
        if (std::strcmp(e->key, kKeys[i].Name) != 0 &&
            !(std::strlen(kKeys[i].Name) == 1 && e->key[0] == kKeys[i].Name[0] - 32 &&
              e->key[1] == '\0')) {
            continue;
        }
        InputEvent key;
        key.What = InputEvent::Key;
        key.Index = static_cast<int>(i);
        key.Down = type == EMSCRIPTEN_EVENT_KEYDOWN;
        Queue(key);
        known = std::strlen(kKeys[i].Name) > 1 || ctrl;
    }
    // A printable key (one character, as the browser names it) types that character.
    const std::size_t length = std::strlen(e->key);
    const bool printable = length > 0 && length <= 4 &&
                           static_cast<unsigned char>(e->key[0]) >= 32 &&
                           (length == 1 || static_cast<unsigned char>(e->key[0]) >= 0xC0);
    if (type == EMSCRIPTEN_EVENT_KEYDOWN && printable && !ctrl) {
        InputEvent text;
        text.What = InputEvent::Text;
        text.Chars = e->key;
        Queue(text);
        known = true;
    }
    // The keys the panel takes do nothing else on the page (Space and the arrows would scroll).
    return known ? EM_TRUE : EM_FALSE;
}

void Listen(const char* selector) {
    emscripten_set_mousedown_callback(selector, nullptr, EM_FALSE, &OnMouse);
    emscripten_set_mousemove_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_FALSE,
                                      &OnMouse);
    emscripten_set_mouseup_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_FALSE, &OnMouse);
    emscripten_set_wheel_callback(selector, nullptr, EM_FALSE, &OnWheel);
    emscripten_set_keydown_callback(selector, nullptr, EM_FALSE, &OnKey);
    emscripten_set_keyup_callback(selector, nullptr, EM_FALSE, &OnKey);
}

bool Start(const char* selector) {
    PanelState& s = State();
    if (s.Gui != nullptr) return true;
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_FALSE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    attributes.enableExtensionsByDefault = EM_FALSE;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE player = emscripten_webgl_get_current_context();
    s.Context = emscripten_webgl_create_context(selector, &attributes);
    if (s.Context <= 0) return false;
    s.Selector = selector;
    emscripten_webgl_make_context_current(s.Context);
    s.Gui = ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    for (std::size_t i = 0; i < std::size(kKeys); ++i)
        io.KeyMap[kKeys[i].Key] = static_cast<int>(i);
    ImGui::StyleColorsDark();
    ImGui::GetStyle().Colors[ImGuiCol_WindowBg].w = 1.0f;
    // Every widget's rectangle goes to ItemAdd's hook below.
    s.Gui->TestEngineHookItems = true;
    ImGui_ImplOpenGL3_Init("#version 300 es");
    if (player > 0) emscripten_webgl_make_context_current(player);
    Listen(selector);
    s.LastMs = emscripten_get_now();
    return true;
}

void Apply(ImGuiIO& io, const InputEvent& e) {
    if (e.What == InputEvent::Move) io.MousePos = {e.X, e.Y};
    if (e.What == InputEvent::Wheel) io.MouseWheel += e.Y;
    if (e.What == InputEvent::Text) io.AddInputCharactersUTF8(e.Chars.c_str());
    if (e.What == InputEvent::Button) io.MouseDown[e.Index] = e.Down;
    if (e.What == InputEvent::Key) io.KeysDown[e.Index] = e.Down;
    if (e.What == InputEvent::Modifiers) {
        io.KeyCtrl = e.Ctrl;
        io.KeyShift = e.Shift;
    }
}

// Hands ImGui what the events the full queue let go leave held, then the events up to the
// first press or release of a button or key.
void TakeEvents(ImGuiIO& io) {
    PanelState& s = State();
    for (const InputEvent& e : s.Settled) Apply(io, e);
    s.Settled.clear();
    while (!s.Events.empty()) {
        const InputEvent e = std::move(s.Events.front());
        s.Events.pop_front();
        Apply(io, e);
        if (e.What == InputEvent::Button || e.What == InputEvent::Key) break;
    }
}

// Ctrl+Z undoes, Ctrl+Y or Ctrl+Shift+Z redoes, outside text fields, as on the desktop.
void UndoKeys(ImGuiIO& io, particleplayer::EffectEdit& edit) {
    if (io.WantTextInput || !io.KeyCtrl) return;
    if (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Z), false) && !io.KeyShift) edit.Undo();
    if (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Y), false) ||
        (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Z), false) && io.KeyShift)) {
        edit.Redo();
    }
}

// The sprite at `path` as a texture of the panel's context, for the picture of a sprite
// sheet's cells; none for a file that is no PNG (or larger than 4096 on a side).
void LoadSprite(PanelState& s, const std::string& path) {
    if (path == s.SpriteOf) return;
    s.SpriteOf = path;
    if (s.Sprite != 0) glDeleteTextures(1, &s.Sprite);
    s.Sprite = 0;
    const std::optional<SpriteRgba> sprite = ReadSpriteRgba(path);
    if (!sprite) return;
    glGenTextures(1, &s.Sprite);
    glBindTexture(GL_TEXTURE_2D, s.Sprite);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, sprite->Width, sprite->Height, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, sprite->Pixels.data());
    s.Panel.SpriteTexture = reinterpret_cast<ImTextureID>(static_cast<intptr_t>(s.Sprite));
    s.Panel.SpriteSize = {static_cast<float>(sprite->Width), static_cast<float>(sprite->Height)};
}

}  // namespace

bool OpenPagePanel(const char* selector, std::string bytes, std::string path, std::string folder,
                   const std::string& sprite) {
    if (!Start(selector)) return false;
    PanelState& s = State();
    s.Edit = particleplayer::EffectEdit(std::move(bytes));
    s.Panel = EditPanelState{};
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE player = emscripten_webgl_get_current_context();
    emscripten_webgl_make_context_current(s.Context);
    s.SpriteOf = "\n";  // no path: the texture is made again for the fresh panel state
    LoadSprite(s, sprite);
    if (player > 0) emscripten_webgl_make_context_current(player);
    s.Panel.Path = std::move(path);
    s.Panel.Folder = std::move(folder);
    s.Panel.Findings = particleplayer::CheckText(s.Edit.Bytes(), s.Panel.Path);
    s.Open = true;
    return true;
}

void SetPagePanelText(std::string bytes) {
    PanelState& s = State();
    if (!s.Open || bytes == s.Edit.Bytes()) return;
    s.Edit.SetBytes(std::move(bytes));
    s.Panel.Findings = particleplayer::CheckText(s.Edit.Bytes(), s.Panel.Path);
}

std::optional<std::string> PagePanelFrame() {
    PanelState& s = State();
    if (!s.Open) return std::nullopt;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE player = emscripten_webgl_get_current_context();
    emscripten_webgl_make_context_current(s.Context);
    ImGuiIO& io = ImGui::GetIO();
    int width = 0, height = 0;
    emscripten_get_canvas_element_size(s.Selector.c_str(), &width, &height);
    io.DisplaySize = {static_cast<float>(width), static_cast<float>(height)};
    const double now = emscripten_get_now();
    io.DeltaTime = static_cast<float>(std::max(1.0, now - s.LastMs) / 1000.0);
    s.LastMs = now;
    TakeEvents(io);
    const std::string before = s.Edit.Bytes();
    s.Seen.clear();
    ImGui_ImplOpenGL3_NewFrame();
    ImGui::NewFrame();
    UndoKeys(io, s.Edit);
    ImGui::SetNextWindowPos({0, 0});
    ImGui::SetNextWindowSize(io.DisplaySize);
    ImGui::Begin("panel", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove);
    DrawKeyWidgets(s.Edit, s.Panel);
    ImGui::Separator();
    DrawFindings(s.Edit, s.Panel);
    GroupEditsByHeldWidget(s.Edit, s.Panel);
    ImGui::End();
    ImGui::Render();
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    ++s.Frames;
    if (player > 0) emscripten_webgl_make_context_current(player);
    if (s.Edit.Bytes() == before) return std::nullopt;
    s.Panel.Findings = particleplayer::CheckText(s.Edit.Bytes(), s.Panel.Path);
    return s.Edit.Bytes();
}

std::string PagePanelWidgetRect(const char* key, const char* label, int index) {
    PanelState& s = State();
    if (s.Gui == nullptr) return "";
    const ImGuiWindow* window = ImGui::FindWindowByName("panel");
    if (window == nullptr) return "";
    // The id the widget gets inside the panel's window, as ImGui's PushID and GetID make it.
    ImGuiID seed = window->ID;
    if (*key != '\0') seed = ImHashStr(key, 0, seed);
    if (index >= 0) seed = ImHashData(&index, sizeof index, seed);
    const ImGuiID id = ImHashStr(label, 0, seed);
    for (const WidgetBox& w : s.Seen) {
        if (w.Id != id) continue;
        return std::to_string(w.Box.Min.x) + " " + std::to_string(w.Box.Min.y) + " " +
               std::to_string(w.Box.GetWidth()) + " " + std::to_string(w.Box.GetHeight());
    }
    return "";
}

std::string TakePagePanelOpenRequest() {
    return std::exchange(State().Panel.OpenRequest, std::string());
}

int PagePanelFrames() {
    return State().Frames;
}

}  // namespace pp

// ImGui's item hook (built in with IMGUI_ENABLE_TEST_ENGINE): the rectangle of every widget of
// the frame, kept for PagePanelWidgetRect; the other hooks have nothing to do.
void ImGuiTestEngineHook_ItemAdd(ImGuiContext*, const ImRect& bb, ImGuiID id) {
    std::vector<pp::WidgetBox>& seen = pp::State().Seen;
    if (seen.size() < 100000) seen.push_back({id, bb});
}

void ImGuiTestEngineHook_ItemInfo(ImGuiContext*, ImGuiID, const char*, ImGuiItemStatusFlags) {}

void ImGuiTestEngineHook_Log(ImGuiContext*, const char*, ...) {}

const char* ImGuiTestEngine_FindItemDebugLabel(ImGuiContext*, ImGuiID) {
    return nullptr;
}
