#include "app/Application.h"
#include "app/PlatformChoice.h"
#include "platform/backends/DriveFactory.h"
#include "platform/backends/ExtractionDrive.h"
#include "platform/Cp932.h"
#include "platform/ProcessClock.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/controls/TrackGrid.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

namespace {

// With TUNEWICK_TITLE_LOG set, every text put on the LCD's title line is appended to that file
// (UTF-8, one per line), so that tests of the real program can see what the display shows.
void logTitleLineWhenAsked() {
    const char *path = std::getenv("TUNEWICK_TITLE_LOG");
    if (!path || !*path) return;
    setTitleLineObserver([file = QString::fromLocal8Bit(path)](const std::string &text) {
        QFile log(file);
        if (!log.open(QIODevice::Append)) return;
        log.write(cp932::decode(text).toUtf8() + '\n');
    });
}

// --- measurements of the whole program, for bench/whole-process.sh ---

double monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

void appendLine(const char *path, const char *format, double value) {
    if (std::FILE *log = std::fopen(path, "a")) {
        std::fprintf(log, format, value);
        std::fclose(log);
    }
}

const char *firstPaintLog = nullptr;
const char *reactionLog = nullptr;

// Watches every event of the application before its receiver: the main panel's first paint, and
// the release of a press on the track grid.
class MeasurementFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (firstPaintLog && event->type() == QEvent::Paint && qobject_cast<TForm1 *>(watched)) {
            appendLine(firstPaintLog, "%.1f\n", msSinceProcessStart());
            firstPaintLog = nullptr;
        }
        if (reactionLog && event->type() == QEvent::MouseButtonRelease && qobject_cast<TTrackGrid *>(watched))
            appendLine(reactionLog, "press %.3f\n", monotonicMs());
        return false;
    }
};

void installMeasurementFilter() {
    auto *app = QCoreApplication::instance();
    app->installEventFilter(new MeasurementFilter(app));
}

// TUNEWICK_FIRST_PAINT_LOG=path: appends the milliseconds from the process start to the main
// panel's first paint. TUNEWICK_REACTION_LOG=path: appends "press T" at each release on the track
// grid and "sound T" when the output takes the first frames of a play (T: monotonic clock, ms).
void measureWhenAsked() {
    firstPaintLog = std::getenv("TUNEWICK_FIRST_PAINT_LOG");
    reactionLog = std::getenv("TUNEWICK_REACTION_LOG");
    if (firstPaintLog && !*firstPaintLog) firstPaintLog = nullptr;
    if (reactionLog && !*reactionLog) reactionLog = nullptr;
    if (!firstPaintLog && !reactionLog) return;
    // Runs as soon as the application object exists, before any window is made.
    qAddPreRoutine(&installMeasurementFilter);
    if (reactionLog) platform::setPlayStartObserver([] { appendLine(reactionLog, "sound %.3f\n", monotonicMs()); });
}

}  // namespace

int main(int argc, char **argv) {
    choosePlatformBeforeStart();
    logTitleLineWhenAsked();
    measureWhenAsked();
    return runApplication(argc, argv, &platform::createDriveFromEnvironment);
}
