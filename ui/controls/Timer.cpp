#include "ui/controls/Timer.h"

bool TTimer::s_held = false;

void TTimer::holdAllTimers(bool hold) {
    s_held = hold;
}

TTimer::TTimer(QObject *parent) : QObject(parent) {
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TTimer::expired);
}

void TTimer::setEnabled(bool enabled) {
    if (enabled == m_enabled) return;
    m_enabled = enabled;
    if (enabled && !s_held)
        m_timer.start();
    else
        m_timer.stop();
}

void TTimer::setInterval(int ms) {
    m_timer.setInterval(ms);
}

// Started again before the tick runs, the timer times out an interval after this timeout was
// handled, as a repeating QTimer does.
void TTimer::expired() {
    m_timer.start();
    Q_EMIT clockRanOut();
    deliver();
}

void TTimer::tickSoon() {
    if (m_enabled && !s_held) QMetaObject::invokeMethod(this, &TTimer::deliver, Qt::QueuedConnection);
}

void TTimer::deliver() {
    if (m_enabled && OnTimer) OnTimer();
}
