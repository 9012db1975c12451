// One status-poll tick and the title marquee, over the real windows (offscreen) and a simulated drive.
#include "app/Application.h"
#include "player/Commands.h"
#include "player/PlayerState.h"
#include "platform/SimulatedDrive.h"
#include "ui/ErrorDisplay.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/Modal.h"
#include "ui/controls/Timer.h"

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QDialog>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// The program's windows, powered on, with the registration question declined.
struct Program {
    platform::SimulatedDrive drive;
    explicit Program(bool withDisc) {
        resetPlayerState();
        TTimer::holdAllTimers(true);
        setModalHook([](QDialog *) { return int(QDialog::Rejected); });
        setErrorSink([](const QString &, const QString &) {});
        setWaitHook([this](int ms) { drive.advance(ms); });
        if (withDisc) drive.insert(platform::SimulatedDisc::uniform(12, 240, 20));
        createWindows();
        Form1->MediaPlayer1->setDrive(&drive);
        Form1->FormShow(Form1);
        tick();
        ScrollDelay = 0;
    }
    ~Program() {
        Form1->MediaPlayer1->Close();
        destroyWindows();
        setWaitHook({});
    }
    void tick() {
        drive.advance(250);
        runGuarded([] { Form1->Timer1Timer(Form1->Timer1); });
    }
};

void BM_PollTickWhilePlaying(benchmark::State &state) {
    Program p(true);
    Form1->PM_PlayClick(Form1->PM_Play);
    for (auto _ : state) p.tick();  // endless play keeps it playing
}
BENCHMARK(BM_PollTickWhilePlaying);

void BM_PollTickWithoutADisc(benchmark::State &state) {
    Program p(false);
    for (auto _ : state) p.tick();
}
BENCHMARK(BM_PollTickWithoutADisc);

const std::string kTitle60(60, 'T');

// One step: a call while the counter is not 0 shows one window, waits, and ends with the head.
void BM_MarqueeStep(benchmark::State &state) {
    Program p(true);
    for (auto _ : state) {
        LCD_DISPLAY->LB_OVER->Tag = 1;
        ShowScrollTitle(kTitle60);
    }
}
BENCHMARK(BM_MarqueeStep);

void BM_MarqueeWholeScroll60Bytes(benchmark::State &state) {
    Program p(true);
    for (auto _ : state) ShowScrollTitle(kTitle60);  // 62 windows
}
BENCHMARK(BM_MarqueeWholeScroll60Bytes);

// With accessibility forced on (bench/accessibility-tick.sh), the bridge connects to the
// accessibility bus and learns which events its client listens to from the event loop: let it,
// so that the ticks are measured with accessibility on. The figures say which it was.
void waitForAccessibilityBridge() {
    if (qEnvironmentVariableIsSet("QT_LINUX_ACCESSIBILITY_ALWAYS_ON")) {
        QAccessible::isActive();  // makes the bridge, which the first shown window would do
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 2000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    benchmark::AddCustomContext("accessibility", QAccessible::isActive() ? "on" : "off");
}

}  // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"})
        qputenv(name, (home.path() + QLatin1Char('/') + QString::fromLatin1(name)).toLocal8Bit());
    QApplication app(argc, argv);
    waitForAccessibilityBridge();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
