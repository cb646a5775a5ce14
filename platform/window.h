// Numbered top-level windows on SDL2 and the event pump that turns SDL events into the
// system's event codes. Single-threaded: call everything from the thread that opened windows.
#pragma once

#include <cstdint>

namespace pp {

// A window as the platform's interfaces pass it; only the backend that opened it knows what it
// holds (an SDL window on the desktop, the page's canvas in the browser).
struct NativeWindow;

// Event codes raised by windows, queued until WaitEvent hands them out.
inline constexpr int32_t kEventMoved = 3;
inline constexpr int32_t kEventResized = 5;
inline constexpr int32_t kEventExposed = 15;
inline constexpr int32_t kEventCloseRequested = 16;
inline constexpr int32_t kEventActivated = 13104;
inline constexpr int32_t kEventMinimized = 13107;
inline constexpr int32_t kEventMaximized = 13108;
inline constexpr int32_t kEventRestored = 13109;

// WindowOpen flags; all other bits are window style bits, of which caption (0x00C00000),
// sizing border (0x00040000), minimize (0x20000000) and maximize (0x01000000) are honoured.
inline constexpr uint32_t kWindowCentreOnScreen = 0x00000001;
inline constexpr uint32_t kWindowHidden = 0x10000000;

// Opens window `number` with a client area of width x height (closing a window already open
// under that number first). x or y of -65535 lets the system place it. Returns the native
// window, or nullptr on failure (also for sizes outside 1..particleplayer::kMaxPixelSide).
NativeWindow* WindowOpen(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                         const char* title, uint32_t flags);

// Returns the native window open under number, or nullptr.
NativeWindow* WindowHandle(int32_t number);

// Closes window number; does nothing when it is not open.
void WindowClose(int32_t number);

// Closes every open window (shut-down) and ends the window library's use of SDL video.
void CloseAllWindows();

// Hands out the oldest queued event code if any; else waits up to timeoutMs (-1: no limit,
// 0: just look) for one SDL event, queues the events it raises and returns its SDL event type
// (always >= 256, never an event code). Returns 0 when nothing came in time.
int32_t WaitEvent(int32_t timeoutMs);

// Appends an event to the queue unless it equals the newest event still queued.
void RaiseWindowEvent(int32_t code, int32_t object, int32_t window, int32_t type);

// Called for every event a window raises, before it is queued; the screen uses it to present
// the last frame again when the window needs repainting and to let go of a closing window
// (code 2). One hook; nullptr removes it.
inline constexpr int32_t kWindowDestroying = 2;
using WindowEventHook = void (*)(NativeWindow* window, int32_t code);
void SetWindowEventHook(WindowEventHook hook);

// Keys as the key-press hook names them; every key without a name here comes as kKeyOther.
inline constexpr int32_t kKeyOther = 0;
inline constexpr int32_t kKeyEscape = 1;
inline constexpr int32_t kKeySpace = 2;
inline constexpr int32_t kKeyR = 3;
inline constexpr int32_t kKeyS = 4;

// Called with the key's name (kKey...) for every key pressed while a window has the focus (a
// held key's repeats excluded), when WaitEvent takes the event in; WaitEvent still returns the
// SDL event type, so callers that do not set a hook see no difference. One hook; nullptr
// removes it.
using KeyPressHook = void (*)(int32_t key);
void SetKeyPressHook(KeyPressHook hook);

// Sets the caption of window number; does nothing when it is not open.
void SetWindowTitle(int32_t number, const char* title);

}  // namespace pp
