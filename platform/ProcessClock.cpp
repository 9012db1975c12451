#include "platform/ProcessClock.h"

#include <QEvent>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <unistd.h>

double msSinceProcessStart() {
    std::FILE *stat = std::fopen("/proc/self/stat", "r");
    if (!stat) return -1;
    char line[1024] = {};
    size_t length = std::fread(line, 1, sizeof line - 1, stat);
    std::fclose(stat);
    line[length] = 0;
    // The command name in parentheses may hold spaces: count the fields after its closing one.
    const char *field = std::strrchr(line, ')');
    unsigned long long startTicks = 0;
    if (!field || std::sscanf(field + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %*u %*u %*d %*d %*d %*d %*d %*d %llu",
                              &startTicks) != 1)
        return -1;
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    double nowMs = static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
    return nowMs - static_cast<double>(startTicks) * 1e3 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

FirstPaintRecorder::FirstPaintRecorder(std::function<bool(QObject *)> isWindow, QString path, bool exitAfter,
                                       QObject *parent)
    : QObject(parent), m_isWindow(std::move(isWindow)), m_path(std::move(path)), m_exitAfter(exitAfter) {}

bool FirstPaintRecorder::eventFilter(QObject *watched, QEvent *event) {
    if (m_seen || event->type() != QEvent::Paint || !m_isWindow(watched)) return false;
    m_seen = true;
    QTimer::singleShot(0, this, [this] {
        QFile log(m_path);
        if (log.open(QIODevice::Append)) log.write(QByteArray::number(msSinceProcessStart(), 'f', 1) + '\n');
        log.close();
        if (m_exitAfter) _exit(0);
    });
    return false;
}
