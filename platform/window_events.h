// The event queue and the two hooks, shared by the desktop and the browser window backends:
// RaiseWindowEvent, SetWindowEventHook and SetKeyPressHook (window.h) live here, and the
// backends take queued codes out and call the hooks through these. Not for use outside
// platform/.
#pragma once

#include <cstdint>

#include "platform/window.h"

namespace pp {

// Takes the oldest queued event code into code; false when nothing is queued.
bool TakeQueuedEvent(int32_t& code);

// Forgets every queued event (every window closed).
void ClearQueuedEvents();

// The hooks as last set; nullptr when none is.
WindowEventHook CurrentWindowEventHook();
KeyPressHook CurrentKeyPressHook();

}  // namespace pp
