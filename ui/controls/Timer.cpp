#include "ui/controls/Timer.h"

#include <algorithm>
#include <vector>

namespace {
std::vector<TTimer *> &liveTimers() {
    static std::vector<TTimer *> timers;
    return timers;
}
}  // namespace

bool TTimer::s_held = false;

void TTimer::holdAllTimers(bool hold) { s_held = hold; }

TTimer::TTimer(QObject *parent) : QObject(parent) {
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TTimer::deliver);
    liveTimers().push_back(this);
}

TTimer::~TTimer() { std::erase(liveTimers(), this); }

void TTimer::setEnabled(bool enabled) {
    if (enabled == m_enabled) return;
    m_enabled = enabled;
    if (enabled && !s_held)
        m_timer.start();
    else
        m_timer.stop();
}

void TTimer::setInterval(int ms) { m_timer.setInterval(ms); }

void TTimer::letTicksNest() {
    for (TTimer *timer : liveTimers())
        if (timer->m_ticksRunning > 0 && timer->m_enabled && !s_held) timer->m_timer.start();
}

void TTimer::deliver() {
    if (!m_enabled || !OnTimer) return;
    struct Running {
        int &count;
        explicit Running(int &c) : count(c) { ++count; }
        ~Running() { --count; }
    } running(m_ticksRunning);
    OnTimer();
}
