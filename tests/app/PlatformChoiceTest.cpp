// The program's windows need X to be placed and kept above: it asks Qt for X wherever there is an X
// display, leaves a user's own QT_QPA_PLATFORM alone, and keeps Wayland as a fallback in a Wayland
// session so that a stale DISPLAY cannot stop it from starting.
#include "app/PlatformChoice.h"

#include <gtest/gtest.h>

namespace {

TEST(PlatformChoice, XWhereverThereIsAnXDisplayUnlessTheUserChose) {
    struct Case {
        PlatformEnvironment environment;
        std::string expected;
    };
    const Case cases[] = {
        {{"", ":0", "wayland-0", "wayland"}, "xcb;wayland"}, // GNOME on Wayland with XWayland
        {{"", ":0", "", "wayland"}, "xcb;wayland"},          // Wayland socket under its default name
        {{"", ":0", "", "x11"}, "xcb"},                      // an X session
        {{"wayland", ":0", "wayland-0", "wayland"}, ""},     // the user's choice stands
        {{"offscreen", "", "", ""}, ""},
        {{"", "", "wayland-0", "wayland"}, ""},              // no X at all: Qt takes Wayland
        {{"", "", "", ""}, ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(chooseQtPlatform(c.environment), c.expected)
            << "QT_QPA_PLATFORM=" << c.environment.qpaPlatform << " DISPLAY=" << c.environment.display
            << " WAYLAND_DISPLAY=" << c.environment.waylandDisplay << " XDG_SESSION_TYPE=" << c.environment.sessionType;
}

} // namespace
