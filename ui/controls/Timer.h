#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// A repeating timer whose ticks may nest: a tick that waits while handling events (a title
// marquee) does not hold back the next ones. The ticks come from a timer descriptor that the event
// loop watches, so each is delivered straight from the loop's wake-up, as a plain timer's is, and
// the descriptor turns readable again inside a tick's wait. (A QTimer never fires again while its
// own tick runs; posting each tick from one nests them but costs a second pass of the event loop
// on every tick, and re-arming a QTimer before a wait stopped the windows repainting inside it on
// X11.) Ticks due while the timer was switched off are dropped.
class TTimer : public QObject {
    Q_OBJECT
public:
    explicit TTimer(QObject *parent = nullptr);
    ~TTimer() override;
    TTimer(const TTimer &) = delete;
    TTimer &operator=(const TTimer &) = delete;

    bool Enabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    int Interval() const { return m_intervalMs; }
    void setInterval(int ms);

    std::function<void()> OnTimer;

    // Runs one tick soon, from the event queue, ahead of the timer's own (which keeps its
    // rhythm); nothing while the timer is off or held. UI thread only.
    void tickSoon();

    // Tests drive ticks themselves: while held, no timer runs on the wall clock.
    static void holdAllTimers(bool hold);

private:
    void arm(bool running);
    void expired();
    void deliver();

    int m_intervalMs = 0;
    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    bool m_enabled = false;
    static bool s_held;
};
