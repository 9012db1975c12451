#include "ui/controls/Timer.h"

#include <QSocketNotifier>
#include <algorithm>
#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>

bool TTimer::s_held = false;

void TTimer::holdAllTimers(bool hold) {
    s_held = hold;
}

TTimer::TTimer(QObject *parent) : QObject(parent) {}

TTimer::~TTimer() {
    delete m_notifier;
    if (m_fd >= 0) ::close(m_fd);
}

void TTimer::setEnabled(bool enabled) {
    if (enabled == m_enabled) return;
    m_enabled = enabled;
    arm(enabled && !s_held);
}

// As a running QTimer does, a new interval starts the period again from now.
void TTimer::setInterval(int ms) {
    m_intervalMs = ms;
    if (m_enabled && !s_held) arm(true);
}

// The descriptor and its watch are made the first time the timer runs; a timer never switched on
// costs nothing. Setting the time again also clears expirations not yet read.
void TTimer::arm(bool running) {
    if (running && m_fd < 0) {
        m_fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (m_fd < 0) return;
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read);
        connect(m_notifier, &QSocketNotifier::activated, this, &TTimer::expired);
    }
    if (m_fd < 0) return;
    // An interval of 0 would disarm the descriptor: the shortest period is a millisecond.
    const long ms = running ? std::max(m_intervalMs, 1) : 0;
    const timespec period{ms / 1000, (ms % 1000) * 1000000};
    const itimerspec spec{period, period};
    ::timerfd_settime(m_fd, 0, &spec, nullptr);
    m_notifier->setEnabled(running);
}

// Expirations that piled up while the loop was busy make one tick, as with a QTimer.
void TTimer::expired() {
    uint64_t expirations = 0;
    if (::read(m_fd, &expirations, sizeof expirations) != sizeof expirations) return;
    deliver();
}

void TTimer::tickSoon() {
    if (m_enabled && !s_held) QMetaObject::invokeMethod(this, &TTimer::deliver, Qt::QueuedConnection);
}

void TTimer::deliver() {
    if (m_enabled && OnTimer) OnTimer();
}
