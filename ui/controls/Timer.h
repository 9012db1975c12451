#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

// A repeating timer whose ticks may nest: a tick that waits while handling events (a title
// marquee) does not hold back the next ones. Qt never fires a QTimer again while its own timeout
// runs, so each tick starts the timer anew before it runs: a new timer, free to fire inside the
// tick's wait. Ticks are delivered straight from the timer, with no event posted in between, so an
// idle tick costs what any timer's does. Ticks due while the timer was switched off are dropped.
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
    // The timer's own clock has run out; its tick follows at once.
    void clockRanOut();

private:
    void expired();
    void deliver();

    QTimer m_timer;
    bool m_enabled = false;
    static bool s_held;
};
