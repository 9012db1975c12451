#include "desktop/X11Activation.h"

#include <QGuiApplication>
#include <QWidget>

#include <algorithm>
#include <cstring>
#include <memory>

#include <xcb/xcb.h>

namespace {

xcb_atom_t atom(xcb_connection_t *connection, const char *name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

xcb_window_t rootOf(xcb_connection_t *connection) {
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

// The window that carries the user time: Qt keeps it in a small window of its own when the window
// manager supports that (_NET_WM_USER_TIME_WINDOW).
xcb_window_t userTimeWindow(xcb_connection_t *connection, xcb_window_t window) {
    const xcb_get_property_cookie_t cookie = xcb_get_property(
        connection, 0, window, atom(connection, "_NET_WM_USER_TIME_WINDOW"), XCB_ATOM_WINDOW, 0, 1);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection, cookie, nullptr), &std::free);
    if (!reply || xcb_get_property_value_length(reply.get()) != 4) return window;
    return *static_cast<xcb_window_t *>(xcb_get_property_value(reply.get()));
}

// The startup-notification "remove" message, in 20-byte client messages to the root window.
void endLaunchFeedback(xcb_connection_t *connection, const QByteArray &startupId) {
    QByteArray message =
        "remove: ID=\"" + QByteArray(startupId).replace('\\', "\\\\").replace('"', "\\\"") + '"';
    message.append('\0');
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 8;
    event.window = rootOf(connection);
    event.type = atom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = atom(connection, "_NET_STARTUP_INFO");
    for (qsizetype at = 0; at < message.size(); at += 20) {
        std::memset(event.data.data8, 0, 20);
        std::memcpy(event.data.data8, message.constData() + at,
                    static_cast<size_t>(std::min<qsizetype>(20, message.size() - at)));
        xcb_send_event(connection, 0, event.window, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char *>(&event));
        event.type = more;
    }
}

void requestActivation(xcb_connection_t *connection, xcb_window_t window, uint32_t time) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom(connection, "_NET_ACTIVE_WINDOW");
    event.data.data32[0] = 1; // from an application
    event.data.data32[1] = time;
    xcb_send_event(connection, 0, rootOf(connection),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char *>(&event));
}

} // namespace

void activateWithStartupId(QWidget *window, const QByteArray &startupId) {
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || startupId.isEmpty()) return;
    xcb_connection_t *connection = x11->connection();
    endLaunchFeedback(connection, startupId);
    const qsizetype mark = startupId.lastIndexOf("_TIME");
    bool hasTime = false;
    const uint32_t time = mark < 0 ? 0 : startupId.mid(mark + 5).toUInt(&hasTime);
    if (hasTime) {
        const auto id = static_cast<xcb_window_t>(window->winId());
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, userTimeWindow(connection, id),
                            atom(connection, "_NET_WM_USER_TIME"), XCB_ATOM_CARDINAL, 32, 1, &time);
        requestActivation(connection, id, time);
    }
    xcb_flush(connection);
}
