// The video system under windows and screens: which driver it draws with, its last error as
// text, and its end.
#pragma once

#include <string>

namespace pp {

enum class DisplayDrivers {
    UserChosen,  // the environment names the drivers; they are left as they are
    Chosen,      // limited to the announced displays
    NoDisplay,   // no display is announced at all; nothing was changed
};

// Limits the video drivers to those that show a window on an announced display (X11 for
// DISPLAY, Wayland for WAYLAND_DISPLAY), unless the user named drivers in the environment.
// Left alone, the video system falls back to its offscreen driver when there is no display,
// and a window would show frames nobody can see. Call before any window opens.
DisplayDrivers ChooseDisplayDrivers();

// Draws without a display, whatever DISPLAY says, and installs no signal handlers: SIGINT and
// SIGTERM end the process as usual instead of turning into close requests. Call before any
// window opens.
void UseOffscreenVideo();

// Forgets the video system's last error.
void ClearVideoError();

// The video system's last error as "SDL: ...", or "" when it gave none; read it before
// anything else can overwrite it.
std::string VideoErrorText();

// Ends every use of the video library; call after CloseAllWindows and ShutdownGraphics.
void EndVideo();

// Marks every shared library loaded now to stay until the process ends. Shut-down is the end
// of the process, so unloading the graphics driver on the way gains nothing; and Mesa's
// drivers leave allocations behind when unloaded, which leak checkers then report in a module
// they can no longer name, so that they cannot be told apart from leaks of our own.
void KeepLoadedLibrariesUntilExit();

}  // namespace pp
