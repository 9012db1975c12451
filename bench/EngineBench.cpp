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

#include <QApplication>
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

}  // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"})
        qputenv(name, (home.path() + QLatin1Char('/') + QString::fromLatin1(name)).toLocal8Bit());
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
