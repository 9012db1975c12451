// The floor for any Qt Widgets program: one borderless window the size of the player's main panel,
// nothing else. bench/whole-process.sh measures it side by side with the player. With
// TUNEWICK_FIRST_PAINT_LOG=path it appends the milliseconds from its process start to its first
// paint, measured as the player measures its own.
// With MINIMAL_TICK_MS it also runs an idle timer (see main).
#include "platform/ProcessClock.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <unistd.h>

namespace {

class FirstPaint : public QObject {
public:
    FirstPaint(QObject *window, const char *path) : m_window(window), m_path(path) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (m_path && watched == m_window && event->type() == QEvent::Paint) {
            if (std::FILE *log = std::fopen(m_path, "a")) {
                std::fprintf(log, "%.1f\n", msSinceProcessStart());
                std::fclose(log);
            }
            m_path = nullptr;
        }
        return false;
    }

private:
    QObject *m_window;
    const char *m_path;
};

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.setWindowTitle(QStringLiteral("MinimalWindow"));
    window.setStyleSheet(QStringLiteral("background: black"));
    window.setGeometry(100, 100, 333, 61);
    const char *path = std::getenv("TUNEWICK_FIRST_PAINT_LOG");
    FirstPaint recorder(&window, path && *path ? path : nullptr);
    app.installEventFilter(&recorder);
    window.show();
    // With MINIMAL_TICK_MS set, a timer ticks at that interval and does nothing: the floor for any
    // program that polls, as the player's status poll does every 250 ms.
    QTimer tick;
    if (const char *ms = std::getenv("MINIMAL_TICK_MS"); ms && std::atoi(ms) > 0) tick.start(std::atoi(ms));
    return app.exec();
}
