// Windows and events in the browser: every window is the page's canvas, and the keys pressed
// while the canvas has the focus are its events. Nothing here blocks: the browser's own loop
// calls the frames, so WaitEvent only hands out what came in meanwhile.
#include "platform/web/canvas_window.h"

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cstring>
#include <deque>

#include "particleplayer/world.h"
#include "platform/window.h"
#include "platform/window_events.h"
#include "runtime/object_table.h"

namespace pp {
namespace {

// What WaitEvent returns for a key it handed to the key-press hook: any value of 256 or more
// that is no event code.
constexpr int32_t kKeyEventType = 0x300;

struct WindowRecord {
    NativeWindow* Native = nullptr;
    bool Exists() const { return Native != nullptr; }
};

struct WindowState {
    ObjectTable<WindowRecord> Windows{16, &WindowClose};
    std::deque<int32_t> Keys;  // pressed since the last WaitEvent
    bool Listening = false;
};

WindowState& State() {
    static WindowState* state = new WindowState;
    return *state;
}

int32_t KeyName(const char* key) {
    if (std::strcmp(key, "Escape") == 0) return kKeyEscape;
    if (std::strcmp(key, " ") == 0) return kKeySpace;
    if (std::strcmp(key, "r") == 0 || std::strcmp(key, "R") == 0) return kKeyR;
    if (std::strcmp(key, "s") == 0 || std::strcmp(key, "S") == 0) return kKeyS;
    return kKeyOther;
}

EM_BOOL OnKeyDown(int, const EmscriptenKeyboardEvent* e, void*) {
    if (e->repeat) return EM_FALSE;
    const int32_t key = KeyName(e->key);
    State().Keys.push_back(key);
    // The named keys belong to the player while the canvas has the focus (Space would
    // scroll the page).
    return key != kKeyOther ? EM_TRUE : EM_FALSE;
}

void Listen() {
    WindowState& s = State();
    if (s.Listening) return;
    emscripten_set_keydown_callback(kCanvasSelector, nullptr, EM_FALSE, &OnKeyDown);
    s.Listening = true;
}

}  // namespace

NativeWindow* WindowOpen(int32_t number, int32_t, int32_t, int32_t width, int32_t height,
                         const char* title, uint32_t) {
    WindowState& s = State();
    WindowRecord* record = ObjectAcquire(s.Windows, number);
    if (record == nullptr) return nullptr;
    if (width < 1 || height < 1 || width > particleplayer::kMaxPixelSide ||
        height > particleplayer::kMaxPixelSide ||
        emscripten_set_canvas_element_size(kCanvasSelector, width, height) !=
            EMSCRIPTEN_RESULT_SUCCESS) {
        SetVideoError("the page has no canvas of that size");
        ObjectRelease(s.Windows, number);
        return nullptr;
    }
    Listen();
    record->Native = new NativeWindow{kCanvasSelector, width, height};
    emscripten_set_window_title(title != nullptr ? title : "");
    return record->Native;
}

NativeWindow* WindowHandle(int32_t number) {
    WindowRecord* r = ObjectLookup(State().Windows, number);
    return r != nullptr ? r->Native : nullptr;
}

void WindowClose(int32_t number) {
    WindowState& s = State();
    WindowRecord* r = ObjectLookup(s.Windows, number);
    if (r == nullptr) return;
    NativeWindow* native = r->Native;
    // Whatever draws into the window lets go of it before it disappears.
    if (const WindowEventHook hook = CurrentWindowEventHook()) hook(native, kWindowDestroying);
    ObjectRelease(s.Windows, number);
    delete native;
}

void CloseAllWindows() {
    WindowState& s = State();
    ObjectForEach(
        s.Windows, [](int32_t number, WindowRecord&) { WindowClose(number); },
        [](WindowRecord&) {});
    ClearQueuedEvents();
    s.Keys.clear();
}

void SetWindowTitle(int32_t number, const char* title) {
    if (ObjectLookup(State().Windows, number) != nullptr) {
        emscripten_set_window_title(title != nullptr ? title : "");
    }
}

int32_t WaitEvent(int32_t) {
    WindowState& s = State();
    if (int32_t code = 0; TakeQueuedEvent(code)) return code;
    if (s.Keys.empty()) return 0;
    const int32_t key = s.Keys.front();
    s.Keys.pop_front();
    if (const KeyPressHook hook = CurrentKeyPressHook()) hook(key);
    return kKeyEventType;
}

}  // namespace pp
