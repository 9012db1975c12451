#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// A repeating timer whose ticks may nest. Qt does not fire a timer again while its previous
// timeout is still being handled, so a tick that waits while handling events (a title marquee)
// would hold back the next ones. Before such a wait, letTicksNest() re-arms every timer whose
// tick is running under a fresh timer id, which Qt then fires inside the wait. Ticks are
// delivered directly, one wake-up each.
class TTimer : public QObject {
    Q_OBJECT
public:
    explicit TTimer(QObject *parent = nullptr);
    ~TTimer() override;

    bool Enabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    int Interval() const { return m_timer.interval(); }
    void setInterval(int ms);

    std::function<void()> OnTimer;

    // Called before a wait that handles events: lets the ticks of running timers fire inside it.
    static void letTicksNest();
    // Tests drive ticks themselves: while held, no timer runs on the wall clock.
    static void holdAllTimers(bool hold);

private:
    void deliver();

    QTimer m_timer;
    bool m_enabled = false;
    int m_ticksRunning = 0;
    static bool s_held;
};
