#include "app/PlatformChoice.h"

#include <QGuiApplication>

#include <cstdlib>

namespace {

std::string environment(const char *name) {
    const char *value = std::getenv(name);
    return value ? value : "";
}

} // namespace

std::string chooseQtPlatform(const PlatformEnvironment &environment) {
    if (!environment.qpaPlatform.empty()) return "";
    if (environment.display.empty()) return "";
    const bool wayland = !environment.waylandDisplay.empty() || environment.sessionType == "wayland";
    return wayland ? "xcb;wayland" : "xcb";
}

void choosePlatformBeforeStart() {
    const std::string platform = chooseQtPlatform({environment("QT_QPA_PLATFORM"), environment("DISPLAY"),
                                                   environment("WAYLAND_DISPLAY"), environment("XDG_SESSION_TYPE")});
    if (!platform.empty()) setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
    // The windows are small and what changes in them smaller (a line of the LCD four times a
    // second): on X each repaint goes to the server inside the request, not through shared memory,
    // whose completion event woke Qt's X thread and then the window thread once more per repaint.
    setenv("QT_XCB_NO_MITSHM", "1", 0);
}

std::string platformNote() {
    const std::string name = QGuiApplication::platformName().toStdString();
    std::string note = "; windows: " + name;
    if (name.starts_with("wayland"))
        note += " (Wayland places the windows itself: they do not come back at their saved positions "
                "and the LCD is not kept above other windows; with an X display or XWayland they are)";
    return note;
}
