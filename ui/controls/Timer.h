#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// A repeating timer whose ticks may nest: the underlying timer only posts each tick to the event
// queue, so a tick that waits while handling events (a title marquee) does not hold back the next
// ones. Ticks posted while the timer was switched off are dropped. (Delivering ticks straight from
// the timer and re-arming it before a wait also nests them, but on X11 the windows then stop
// repainting inside the wait; posting costs one more wake-up a tick and keeps them painting.)
class TTimer : public QObject {
    Q_OBJECT
public:
    explicit TTimer(QObject *parent = nullptr);

    bool Enabled() const { return m_enabled; }
    // Whether the timer's own clock runs: enabled and not held.
    bool Ticking() const { return m_timer.isActive(); }
    void setEnabled(bool enabled);
    int Interval() const { return m_timer.interval(); }
    void setInterval(int ms);

    std::function<void()> OnTimer;

    // Runs one tick soon, from the event queue, ahead of the timer's own (which keeps its
    // rhythm); nothing while the timer is off or held. UI thread only.
    void tickSoon();

    // Tests drive ticks themselves: while held, no timer runs on the wall clock.
    static void holdAllTimers(bool hold);

Q_SIGNALS:
    // The timer's own clock has run out; the tick it posts follows from the event queue.
    void clockRanOut();

private:
    void post();
    void deliver();

    QTimer m_timer;
    bool m_enabled = false;
    static bool s_held;
};
