#pragma once

#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>

class QFont;

class QWidget;

// Moves a borderless window when the left button goes down on its own surface (not on a child
// control): asks the window system for an interactive move, as if the caption bar were grabbed,
// and where the window system refuses (no window manager), follows the mouse itself.
class WindowDragger : public QObject {
public:
    explicit WindowDragger(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
    bool m_following = false;
    QPoint m_grabOffset;
};

// Sets up one of the program's small borderless windows: its (undrawn) caption, fixed size, black
// surface and default font, and the drag on its own surface.
void setUpBorderlessWindow(QWidget *window, const QString &caption, QSize size, const QFont &font);
