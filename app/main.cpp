#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/SaveDisc.h"
#include "desktop/MediaControls.h"
#include "app/PlatformChoice.h"
#include "platform/backends/DriveFactory.h"
#include "platform/backends/ExtractionDrive.h"
#include "platform/TitleEncoding.h"
#include "platform/ProcessClock.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/controls/Timer.h"
#include "ui/controls/TrackGrid.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QPaintEvent>
#include <QWidget>

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

namespace {

double monotonicMs();

void appendToLog(const QString &path, const QByteArray &line) {
    QFile log(path);
    if (log.open(QIODevice::Append)) log.write(line + '\n');
}

// A disc has come ready in the drive (called on the drive's worker): the status poll looks at once
// instead of at its next tick, up to 250 ms later, so that the disc's titles show without that wait.
void pollSoon() {
    if (!QCoreApplication::instance()) return;
    QMetaObject::invokeMethod(QCoreApplication::instance(), [] { if (Form1) Form1->Timer1->tickSoon(); },
                              Qt::QueuedConnection);
}

// With TUNEWICK_TITLE_LOG set, every text put on the LCD's title line is appended to that file
// (UTF-8, one per line), so that tests of the real program can see what the display shows. With
// TUNEWICK_DISC_LOG set, that file gets "ready T" when the drive has a disc ready and "title T"
// for each text on the title line (T: monotonic clock, ms), for bench/whole-process.sh.
void logTitleLineWhenAsked() {
    const char *titles = std::getenv("TUNEWICK_TITLE_LOG");
    const char *disc = std::getenv("TUNEWICK_DISC_LOG");
    QString titleLog = titles && *titles ? QString::fromLocal8Bit(titles) : QString();
    static QByteArray discLog = disc && *disc ? QByteArray(disc) : QByteArray();
    platform::setDiscReadyObserver([] {
        if (!discLog.isEmpty())
            appendToLog(QString::fromLocal8Bit(discLog), "ready " + QByteArray::number(monotonicMs(), 'f', 3));
        pollSoon();
    });
    if (titleLog.isEmpty() && discLog.isEmpty()) return;
    setTitleLineObserver([=](const std::string &text) {
        if (!titleLog.isEmpty()) appendToLog(titleLog, titles::decode(text).toUtf8());
        if (!discLog.isEmpty())
            appendToLog(QString::fromLocal8Bit(discLog), "title " + QByteArray::number(monotonicMs(), 'f', 3));
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
const char *paintLog = nullptr;

// One line per paint event: "paint T Class x y w h", the rectangle in the window's coordinates.
void logPaint(QObject *watched, QEvent *event) {
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget) return;
    const QRect r =
        static_cast<QPaintEvent *>(event)->rect().translated(widget->mapTo(widget->window(), QPoint()));
    if (std::FILE *log = std::fopen(paintLog, "a")) {
        std::fprintf(log, "paint %.3f %s %d %d %d %d\n", monotonicMs(), widget->metaObject()->className(),
                     r.x(), r.y(), r.width(), r.height());
        std::fclose(log);
    }
}

// Watches every event of the application before its receiver: a press on the track grid.
class MeasurementFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (reactionLog && event->type() == QEvent::MouseButtonPress && qobject_cast<TTrackGrid *>(watched))
            appendLine(reactionLog, "press %.3f\n", monotonicMs());
        if (paintLog && event->type() == QEvent::Paint) logPaint(watched, event);
        return false;
    }
};

void installMeasurementFilter() {
    auto *app = QCoreApplication::instance();
    if (reactionLog || paintLog) app->installEventFilter(new MeasurementFilter(app));
    if (firstPaintLog) {
        auto isPanel = [](QObject *watched) { return qobject_cast<TForm1 *>(watched) != nullptr; };
        bool exitAfter = std::getenv("TUNEWICK_EXIT_AT_FIRST_PAINT") != nullptr;
        app->installEventFilter(new FirstPaintRecorder(isPanel, QString::fromLocal8Bit(firstPaintLog), exitAfter, app));
    }
}

// TUNEWICK_FIRST_PAINT_LOG=path: appends the milliseconds from the process start to the main
// panel's first paint (TUNEWICK_EXIT_AT_FIRST_PAINT=1: and ends there, for a profile of the start-up).
// TUNEWICK_REACTION_LOG=path: appends "press T" at each press on the track grid and "sound T" when
// the output takes the first frames of a play (T: monotonic clock, ms).
// TUNEWICK_PAINT_LOG=path: appends each widget's paint event and the rectangle it paints.
void measureWhenAsked() {
    firstPaintLog = std::getenv("TUNEWICK_FIRST_PAINT_LOG");
    reactionLog = std::getenv("TUNEWICK_REACTION_LOG");
    paintLog = std::getenv("TUNEWICK_PAINT_LOG");
    if (firstPaintLog && !*firstPaintLog) firstPaintLog = nullptr;
    if (reactionLog && !*reactionLog) reactionLog = nullptr;
    if (paintLog && !*paintLog) paintLog = nullptr;
    if (!firstPaintLog && !reactionLog && !paintLog) return;
    // Runs as soon as the application object exists, before any window is made.
    qAddPreRoutine(&installMeasurementFilter);
    if (reactionLog) platform::setPlayStartObserver([] { appendLine(reactionLog, "sound %.3f\n", monotonicMs()); });
}

}  // namespace

int main(int argc, char **argv) {
    if (std::optional<int> answered = answerCommandLine(argc, argv)) return *answered;
    choosePlatformBeforeStart();
    logTitleLineWhenAsked();
    measureWhenAsked();
    addDesktopService(&MediaControls::startOnSessionBus);
    addToWindows(&setUpDiscSaving);
    return runApplication(argc, argv, &platform::createDrive);
}
