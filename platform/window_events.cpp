#include "platform/window_events.h"

#include <deque>

namespace pp {
namespace {

struct Event {
    int32_t Code, Object, Window, Type;
    bool operator==(const Event&) const = default;
};

struct EventState {
    std::deque<Event> Queue;
    WindowEventHook Hook = nullptr;
    KeyPressHook KeyHook = nullptr;
};

// Never destroyed: windows may still be closed from other modules' shut-down at exit.
EventState& State() {
    static EventState* state = new EventState;
    return *state;
}

}  // namespace

void RaiseWindowEvent(int32_t code, int32_t object, int32_t window, int32_t type) {
    std::deque<Event>& queue = State().Queue;
    const Event e{code, object, window, type};
    if (!queue.empty() && queue.back() == e) return;
    queue.push_back(e);
}

bool TakeQueuedEvent(int32_t& code) {
    std::deque<Event>& queue = State().Queue;
    if (queue.empty()) return false;
    code = queue.front().Code;
    queue.pop_front();
    return true;
}

void ClearQueuedEvents() {
    State().Queue.clear();
}

void SetWindowEventHook(WindowEventHook hook) {
    State().Hook = hook;
}

void SetKeyPressHook(KeyPressHook hook) {
    State().KeyHook = hook;
}

WindowEventHook CurrentWindowEventHook() {
    return State().Hook;
}

KeyPressHook CurrentKeyPressHook() {
    return State().KeyHook;
}

}  // namespace pp
