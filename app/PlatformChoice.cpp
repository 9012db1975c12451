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
}

std::string platformNote() {
    const std::string name = QGuiApplication::platformName().toStdString();
    std::string note = "; windows: " + name;
    if (name.starts_with("wayland"))
        note += " (Wayland places the windows itself: they do not come back at their saved positions "
                "and the LCD is not kept above other windows; with an X display or XWayland they are)";
    return note;
}
