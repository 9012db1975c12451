#include "ui/WindowGroup.h"

#include "catalogue/CatalogueEditor.h"
#include "ui/AboutBox.h"
#include "ui/ErrorDisplay.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/TrackSelector.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QList>
#include <QMouseEvent>
#include <QPointer>
#include <QWindowStateChangeEvent>

#if QT_CONFIG(xcb)
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

#include <cstring>
#include <memory>
#include <utility>

namespace {

#if QT_CONFIG(xcb)
xcb_connection_t *x11Connection() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t *c, const char *name) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(name)), name), nullptr),
        &free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

QList<xcb_atom_t> stateAtoms(xcb_connection_t *c, xcb_window_t window, xcb_atom_t netWmState) {
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, netWmState, XCB_ATOM_ATOM, 0, 1024),
                               nullptr),
        &free);
    QList<xcb_atom_t> atoms;
    if (!reply || reply->format != 32 || reply->type != XCB_ATOM_ATOM) return atoms;
    const auto *data = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
    for (int i = 0; i < xcb_get_property_value_length(reply.get()) / 4; ++i)
        atoms.push_back(data[i]);
    return atoms;
}

// Before the window is mapped its _NET_WM_STATE is ours to write; once mapped, the window
// manager owns it and takes requests as client messages (EWMH).
void setSkipTaskBar(QWidget *widget, bool skip, bool mapped) {
    xcb_connection_t *c = x11Connection();
    if (!c) return;
    const auto window = static_cast<xcb_window_t>(widget->winId());
    const xcb_atom_t netWmState = atom(c, "_NET_WM_STATE");
    const xcb_atom_t skipTaskBar = atom(c, "_NET_WM_STATE_SKIP_TASKBAR");
    if (mapped) {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = netWmState;
        message.data.data32[0] = skip ? 1 : 0; // _NET_WM_STATE_ADD / _REMOVE
        message.data.data32[1] = skipTaskBar;
        message.data.data32[3] = 1; // a normal application asks
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&message));
    } else {
        QList<xcb_atom_t> atoms = stateAtoms(c, window, netWmState);
        atoms.removeAll(skipTaskBar);
        if (skip) atoms.push_back(skipTaskBar);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, netWmState, XCB_ATOM_ATOM, 32,
                            static_cast<uint32_t>(atoms.size()), atoms.constData());
    }
    xcb_flush(c);
}

// Qt marks a window it minimises as one to map iconic (WM_HINTS), and keeps that mark when the
// window manager restores the window: shown again after a hide, it would come up minimised.
void mapAsNormal(QWidget *widget) {
    xcb_connection_t *c = x11Connection();
    if (!c) return;
    const auto window = static_cast<xcb_window_t>(widget->winId());
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, 9),
                               nullptr),
        &free);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 12) return;
    constexpr uint32_t kStateHint = 1u << 1;
    constexpr uint32_t kNormalState = 1;
    const int words = xcb_get_property_value_length(reply.get()) / 4;
    auto *hints = static_cast<const uint32_t *>(xcb_get_property_value(reply.get()));
    QList<uint32_t> changed(hints, hints + words);
    if ((changed[0] & kStateHint) && changed[2] == kNormalState) return;
    changed[0] |= kStateHint;
    changed[2] = kNormalState;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32,
                        static_cast<uint32_t>(words), changed.constData());
}
#else
void setSkipTaskBar(QWidget *, bool, bool) {}
void mapAsNormal(QWidget *) {}
#endif

bool isMinimised(const QWidget *window) {
    return window->windowState() & Qt::WindowMinimized;
}

// Holds the windows by guarded pointers: while the windows are destroyed at the end of a run,
// the ones already gone read as null.
class WindowGroup : public QObject {
public:
    WindowGroup() : QObject(Form1), m_panel(Form1), m_lcd(LCD_DISPLAY), m_selector(Form5) {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QList<QWidget *> servedWindows() const;
    bool isServed(QObject *object) const;
    // The window whose task-bar entry stands for the program.
    QWidget *taskBarWindow() const;
    bool onlyWindowOnScreen(QWidget *window) const;
    void openMenu(QPoint at);
    void windowShown(QWidget *window);
    void stateChanged(QWidget *window, const QWindowStateChangeEvent *event);
    bool closedByWindowManager(QWidget *window);

    // Held as plain widgets: the filter still sees events of a window while it is being destroyed,
    // when it is no longer a TForm1 or TForm5.
    QPointer<QWidget> m_panel;
    QPointer<QWidget> m_lcd;
    QPointer<QWidget> m_selector;
    QList<QPointer<QWidget>> m_minimisedWithEntry;
};

QList<QWidget *> WindowGroup::servedWindows() const {
    QList<QWidget *> windows;
    for (QWidget *window :
         {m_panel.data(), m_lcd.data(), m_selector.data()})
        if (window) windows.push_back(window);
    return windows;
}

bool WindowGroup::isServed(QObject *object) const {
    return object->isWidgetType() && servedWindows().contains(static_cast<QWidget *>(object)->window());
}

QWidget *WindowGroup::taskBarWindow() const {
    if (!m_panel || !m_lcd) return nullptr;
    return m_panel->isVisible() ? m_panel.data() : m_lcd.data();
}

bool WindowGroup::onlyWindowOnScreen(QWidget *window) const {
    for (QWidget *other : servedWindows())
        if (other != window && other->isVisible()) return false;
    return true;
}

void WindowGroup::openMenu(QPoint at) {
    if (auto *panel = qobject_cast<TForm1 *>(m_panel.data())) panel->PM1->popup(at);
}

bool WindowGroup::eventFilter(QObject *watched, QEvent *event) {
    switch (event->type()) {
    case QEvent::ContextMenu: {
        if (!isServed(watched)) return false;
        // X11 asks for context menus on the press, before the press has done its work; the menu
        // opens on the release instead. The menu key still opens it at once.
        auto *request = static_cast<QContextMenuEvent *>(event);
        if (request->reason() != QContextMenuEvent::Mouse) openMenu(request->globalPos());
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::RightButton || !isServed(watched)) return false;
        openMenu(mouse->globalPosition().toPoint());
        return true;
    }
    case QEvent::Show:
        if (watched->isWidgetType() && !event->spontaneous()) windowShown(static_cast<QWidget *>(watched));
        return false;
    case QEvent::Hide:
        // The panel leaves the screen: the LCD carries the program's task-bar entry.
        if (watched == m_panel && !event->spontaneous() && m_lcd && m_lcd->isVisible())
            setSkipTaskBar(m_lcd, false, true);
        return false;
    case QEvent::WindowStateChange:
        if (watched == taskBarWindow())
            stateChanged(static_cast<QWidget *>(watched), static_cast<QWindowStateChangeEvent *>(event));
        return false;
    case QEvent::Close:
        if (!event->spontaneous() || !m_panel || (watched != m_lcd && watched != m_selector)) return false;
        return closedByWindowManager(static_cast<QWidget *>(watched));
    default:
        return false;
    }
}

// Runs before the window is mapped.
void WindowGroup::windowShown(QWidget *window) {
    if (servedWindows().contains(window) && !isMinimised(window)) mapAsNormal(window);
    if (window == m_panel) {
        if (m_lcd && m_lcd->isVisible()) setSkipTaskBar(m_lcd, true, true);
    } else if (window == m_lcd) {
        setSkipTaskBar(window, m_panel && m_panel->isVisible(), false);
    } else if (window == m_selector || window == CD_Database || window == AboutBox) {
        setSkipTaskBar(window, true, false);
    }
}

void WindowGroup::stateChanged(QWidget *entry, const QWindowStateChangeEvent *event) {
    const bool wasMinimised = event->oldState() & Qt::WindowMinimized;
    if (!wasMinimised && isMinimised(entry)) {
        m_minimisedWithEntry.clear();
        for (QWidget *window : servedWindows()) {
            if (window == entry || !window->isVisible() || isMinimised(window)) continue;
            m_minimisedWithEntry.push_back(window);
            window->showMinimized();
        }
    } else if (wasMinimised && !isMinimised(entry)) {
        for (const QPointer<QWidget> &window : std::exchange(m_minimisedWithEntry, {}))
            if (window && window->isVisible()) window->showNormal();
    }
}

// The selector closes as its Close button closes it, so that the menu offers it again; the last
// window on screen closing ends the program, as a close of the main panel does.
bool WindowGroup::closedByWindowManager(QWidget *window) {
    if (auto *selector = qobject_cast<TForm5 *>(window); selector && window == m_selector)
        runGuarded([selector] { selector->BitBtn2Click(selector); });
    if (onlyWindowOnScreen(window)) {
        m_panel->close();
        return true;
    }
    return window == m_selector;
}

} // namespace

void setUpWindowGroup() {
    new WindowGroup;
}
