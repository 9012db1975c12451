#pragma once

#include <string>

// Which Qt platform the program runs on. Its windows are small, borderless, placed where the user
// left them and, for the LCD, kept above other windows; a Wayland client can do none of that, so
// the program runs on X (XWayland in a Wayland session) whenever an X display is there. A
// QT_QPA_PLATFORM the user set stands.

// The variables the choice depends on, as the environment holds them (empty when unset).
struct PlatformEnvironment {
    std::string qpaPlatform;    // QT_QPA_PLATFORM
    std::string display;        // DISPLAY
    std::string waylandDisplay; // WAYLAND_DISPLAY
    std::string sessionType;    // XDG_SESSION_TYPE
};

// The value to give QT_QPA_PLATFORM, or empty to leave the choice to Qt. With Wayland there as
// well, Wayland follows as a fallback, so a stale DISPLAY does not keep the program from starting.
std::string chooseQtPlatform(const PlatformEnvironment &environment);

// Reads the environment and sets QT_QPA_PLATFORM as chooseQtPlatform() says, and has X repaints
// sent without shared memory unless QT_XCB_NO_MITSHM is set. Call before the application object
// is made.
void choosePlatformBeforeStart();

// For the start-up line: "; windows: " and the platform in use, with what the program cannot do
// there. Call once the application object exists.
std::string platformNote();
