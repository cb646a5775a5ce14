#include "platform/window.h"

#include <SDL.h>

#include "particleplayer/world.h"
#include "platform/sdl_window.h"
#include "platform/window_events.h"
#include "runtime/object_table.h"

namespace pp {
namespace {

constexpr uint32_t kStyleCaption = 0x00C00000;
constexpr uint32_t kStyleSizingBorder = 0x00040000;
constexpr uint32_t kStyleMinimize = 0x20000000;
constexpr uint32_t kStyleMaximize = 0x01000000;
constexpr int32_t kSystemChoosesPosition = -65535;

struct WindowRecord {
    SDL_Window* Native = nullptr;
    uint32_t SdlId = 0;
    int32_t MinimizedOrMaximized = 0;
    bool Exists() const { return Native != nullptr; }
};

struct WindowState {
    ObjectTable<WindowRecord> Windows{16, &WindowClose};
    bool VideoStarted = false;
    bool EventsStarted = false;
};

// Never destroyed: windows may still be closed from other modules' shut-down at exit.
WindowState& State() {
    static WindowState* state = new WindowState;
    return *state;
}

bool StartVideo() {
    WindowState& s = State();
    if (s.VideoStarted) return true;
    // The close button must only raise the window's own close event; the window stays open
    // until its owner closes it, so SDL must not turn it into a quit request as well.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    s.VideoStarted = true;
    return true;
}

void StartEvents() {
    WindowState& s = State();
    if (s.EventsStarted) return;
    // Starting SDL's event queue also installs its SIGINT/SIGTERM handlers, which turn both
    // signals into a quit request that WaitEvent reports as a close request.
    if (SDL_InitSubSystem(SDL_INIT_EVENTS) == 0) s.EventsStarted = true;
}

// The number of the open window with this SDL id, or -1.
int32_t NumberOfWindow(uint32_t sdlId) {
    int32_t found = -1;
    ObjectForEach(
        State().Windows,
        [&](int32_t number, WindowRecord& r) {
            if (found < 0 && r.SdlId == sdlId) found = number;
        },
        [](WindowRecord&) {});
    return found;
}

int32_t FirstOpenWindow() {
    int32_t found = -1;
    ObjectForEach(
        State().Windows,
        [&](int32_t number, WindowRecord&) {
            if (found < 0) found = number;
        },
        [](WindowRecord&) {});
    return found;
}

void Raise(int32_t code, int32_t object, int32_t number) {
    RaiseWindowEvent(code, object, number, 0);
    const WindowEventHook hook = CurrentWindowEventHook();
    if (hook == nullptr) return;
    if (WindowRecord* r = ObjectLookup(State().Windows, number))
        hook(NativeWindowOf(r->Native), code);
}

void TranslateWindowEvent(const SDL_WindowEvent& e) {
    const int32_t n = NumberOfWindow(e.windowID);
    if (n < 0) return;
    WindowRecord* r = ObjectLookup(State().Windows, n);
    switch (e.event) {
        case SDL_WINDOWEVENT_MOVED:
            Raise(kEventMoved, n, n);
            break;
        // SDL follows every RESIZED with SIZE_CHANGED, so only the latter counts as a resize.
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            Raise(kEventResized, 0, n);
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            r->MinimizedOrMaximized = 1;
            Raise(kEventMinimized, 0, n);
            break;
        case SDL_WINDOWEVENT_MAXIMIZED:
            r->MinimizedOrMaximized = 1;
            Raise(kEventMaximized, 0, n);
            Raise(kEventResized, 0, n);
            break;
        case SDL_WINDOWEVENT_RESTORED:
            if (r->MinimizedOrMaximized != 0) {
                r->MinimizedOrMaximized = 0;
                Raise(kEventRestored, 0, n);
            }
            Raise(kEventResized, 0, n);
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            Raise(kEventExposed, 0, n);
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            Raise(kEventActivated, 0, n);
            break;
        case SDL_WINDOWEVENT_CLOSE:
            Raise(kEventCloseRequested, n, n);
            break;
        default:
            break;
    }
}

int32_t KeyName(SDL_Keycode key) {
    switch (key) {
        case SDLK_ESCAPE:
            return kKeyEscape;
        case SDLK_SPACE:
            return kKeySpace;
        case SDLK_r:
            return kKeyR;
        case SDLK_s:
            return kKeyS;
        default:
            return kKeyOther;
    }
}

void Translate(const SDL_Event& e) {
    if (e.type == SDL_QUIT) {
        // A quit request (SIGINT, SIGTERM, the desktop session) is a close request for the
        // main window; with no window open it is still reported, so it is never lost.
        const int32_t n = FirstOpenWindow();
        Raise(kEventCloseRequested, n, n);
    } else if (e.type == SDL_WINDOWEVENT) {
        TranslateWindowEvent(e.window);
    } else if (e.type == SDL_KEYDOWN && e.key.repeat == 0 && CurrentKeyPressHook() != nullptr) {
        CurrentKeyPressHook()(KeyName(e.key.keysym.sym));
    }
}

struct Placement {
    int32_t X, Y;
};

Placement PlaceWindow(int32_t x, int32_t y, uint32_t flags) {
    if ((flags & kWindowCentreOnScreen) != 0) {
        return {static_cast<int32_t>(SDL_WINDOWPOS_CENTERED),
                static_cast<int32_t>(SDL_WINDOWPOS_CENTERED)};
    }
    if (x == kSystemChoosesPosition || y == kSystemChoosesPosition) {
        return {static_cast<int32_t>(SDL_WINDOWPOS_UNDEFINED),
                static_cast<int32_t>(SDL_WINDOWPOS_UNDEFINED)};
    }
    return {x, y};
}

uint32_t SdlFlagsFor(uint32_t flags) {
    uint32_t style = flags & ~(kWindowCentreOnScreen | kWindowHidden);
    if (style == 0) style |= kStyleCaption;
    uint32_t sdl = SDL_WINDOW_OPENGL;
    if ((flags & kWindowHidden) != 0) sdl |= SDL_WINDOW_HIDDEN;
    if ((style & kStyleCaption) == 0) sdl |= SDL_WINDOW_BORDERLESS;
    if ((style & kStyleSizingBorder) != 0) sdl |= SDL_WINDOW_RESIZABLE;
    if ((style & kStyleMaximize) != 0) {
        sdl |= SDL_WINDOW_MAXIMIZED;
    } else if ((style & kStyleMinimize) != 0) {
        sdl |= SDL_WINDOW_MINIMIZED;
    }
    return sdl;
}

}  // namespace

NativeWindow* WindowOpen(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                         const char* title, uint32_t flags) {
    WindowState& s = State();
    WindowRecord* record = ObjectAcquire(s.Windows, number);
    if (record == nullptr) return nullptr;
    if (width < 1 || height < 1 || width > particleplayer::kMaxPixelSide ||
        height > particleplayer::kMaxPixelSide || !StartVideo()) {
        ObjectRelease(s.Windows, number);
        return nullptr;
    }
    StartEvents();
    const Placement at = PlaceWindow(x, y, flags);
    const uint32_t sdlFlags = SdlFlagsFor(flags);
    SDL_Window* native =
        SDL_CreateWindow(title != nullptr ? title : "", at.X, at.Y, width, height, sdlFlags);
    if (native == nullptr) {
        ObjectRelease(s.Windows, number);
        return nullptr;
    }
    record->Native = native;
    record->SdlId = SDL_GetWindowID(native);
    record->MinimizedOrMaximized =
        (sdlFlags & (SDL_WINDOW_MAXIMIZED | SDL_WINDOW_MINIMIZED)) != 0 ? 1 : 0;
    return NativeWindowOf(native);
}

NativeWindow* WindowHandle(int32_t number) {
    WindowRecord* r = ObjectLookup(State().Windows, number);
    return r != nullptr ? NativeWindowOf(r->Native) : nullptr;
}

void WindowClose(int32_t number) {
    WindowState& s = State();
    WindowRecord* r = ObjectLookup(s.Windows, number);
    if (r == nullptr) return;
    SDL_Window* native = r->Native;
    // Whatever draws into the window lets go of it before it disappears.
    if (const WindowEventHook hook = CurrentWindowEventHook())
        hook(NativeWindowOf(native), kWindowDestroying);
    ObjectRelease(s.Windows, number);
    SDL_DestroyWindow(native);
}

void CloseAllWindows() {
    WindowState& s = State();
    ObjectForEach(
        s.Windows, [](int32_t number, WindowRecord&) { WindowClose(number); },
        [](WindowRecord&) {});
    ClearQueuedEvents();
    if (s.VideoStarted) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    if (s.EventsStarted) SDL_QuitSubSystem(SDL_INIT_EVENTS);
    s.VideoStarted = false;
    s.EventsStarted = false;
}

void SetWindowTitle(int32_t number, const char* title) {
    WindowRecord* r = ObjectLookup(State().Windows, number);
    if (r != nullptr) SDL_SetWindowTitle(r->Native, title != nullptr ? title : "");
}

int32_t WaitEvent(int32_t timeoutMs) {
    WindowState& s = State();
    if (int32_t code = 0; TakeQueuedEvent(code)) return code;
    StartEvents();
    SDL_Event e;
    if (timeoutMs == -1 && s.EventsStarted) {
        if (SDL_WaitEvent(&e) == 0) return 0;
    } else if (SDL_PollEvent(&e) == 0) {
        if (timeoutMs <= 0) return 0;
        // Without an event queue there is nothing to wait for, but the caller still counts on
        // the time-out to pace its loop.
        if (!s.EventsStarted) {
            SDL_Delay(static_cast<uint32_t>(timeoutMs));
            return 0;
        }
        if (SDL_WaitEventTimeout(&e, timeoutMs) == 0) return 0;
    }
    Translate(e);
    return static_cast<int32_t>(e.type);
}

}  // namespace pp
