#pragma once

#include <QObject>

#include <functional>

// Milliseconds since the kernel started this process, so that loading the libraries before main
// counts too (the start time in /proc/self/stat, in clock ticks of 10 ms since boot); -1 when it
// cannot be read. Used by the start-up measurements of the program and of its benchmark floors.
double msSinceProcessStart();

// Appends to `path` the milliseconds from the process start to the end of the first paint of the
// window that `isWindow` picks: the paint event itself and everything painted with it (children,
// the backing store's flush), since the time is taken when the event loop has returned from it.
// With `exitAfter` the process then ends at once, so that a profile covers exactly the start-up.
// Install it on the application (QCoreApplication::installEventFilter); it never eats an event.
class FirstPaintRecorder : public QObject {
public:
    FirstPaintRecorder(std::function<bool(QObject *)> isWindow, QString path, bool exitAfter, QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<bool(QObject *)> m_isWindow;
    QString m_path;
    bool m_exitAfter;
    bool m_seen = false;
};
