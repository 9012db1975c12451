#include "ui/controls/DragMove.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

WindowDragger::WindowDragger(QWidget *window) : QObject(window), m_window(window) {
    window->installEventFilter(this);
    window->setCursor(Qt::DragMoveCursor);
}

bool WindowDragger::eventFilter(QObject *watched, QEvent *event) {
    if (watched != m_window) return false;
    // Only mouse events may be taken as QMouseEvent; the filter also sees cursor, paint and other events.
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return false;
    auto *mouse = static_cast<QMouseEvent *>(event);
    switch (type) {
    case QEvent::MouseButtonPress:
        if (mouse->button() != Qt::LeftButton) return false;
        if (m_window->windowHandle() && m_window->windowHandle()->startSystemMove()) return true;
        m_following = true;
        m_grabOffset = mouse->globalPosition().toPoint() - m_window->frameGeometry().topLeft();
        return true;
    case QEvent::MouseMove:
        if (!m_following) return false;
        m_window->move(mouse->globalPosition().toPoint() - m_grabOffset);
        return true;
    case QEvent::MouseButtonRelease:
        if (!m_following || mouse->button() != Qt::LeftButton) return false;
        m_following = false;
        return true;
    default: return false;
    }
}

void setUpBorderlessWindow(QWidget *window, const QString &caption, QSize size, const QFont &font) {
    window->setWindowTitle(caption);
    window->setFixedSize(size);
    window->setAutoFillBackground(true);
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, Qt::black);
    window->setPalette(palette);
    window->setFont(font);
    new WindowDragger(window);
}
