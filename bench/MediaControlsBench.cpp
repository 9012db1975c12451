// What the desktop's media controls add to each status-poll tick: one comparison of what they
// show, over the real windows (offscreen) and a simulated drive.
#include "app/Application.h"
#include "catalogue/CatalogueEditor.h"
#include "desktop/MediaControls.h"
#include "player/Commands.h"
#include "player/PlayerState.h"
#include "platform/Cp932.h"
#include "platform/SimulatedDrive.h"
#include "ui/ErrorDisplay.h"
#include "ui/Form1.h"
#include "ui/Modal.h"
#include "ui/controls/Timer.h"

#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// The program's windows, powered on, with the registration question declined and the titles of
// a catalogue in the editor, as after loading a registered disc.
struct Program {
    platform::SimulatedDrive drive;
    MediaControls *controls = nullptr;
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
        pollOnly();
        ScrollDelay = 0;
        DiscTitle = cp932::fromUtf8("デモディスク：十二の和音のための小品集");
        for (int t = 1; t <= 12; ++t) CD_Database->SG1->setCell(1, t, cp932::fromUtf8("第一曲　ハ長調の朝"));
        controls = new MediaControls(Form1);
        if (withDisc) Form1->PM_PlayClick(Form1->PM_Play);  // endless play keeps it playing
        tick();
    }
    ~Program() {
        Form1->MediaPlayer1->Close();
        destroyWindows();
        setWaitHook({});
    }
    void pollOnly() {
        drive.advance(250);
        runGuarded([] { Form1->Timer1Timer(Form1->Timer1); });
    }
    // A tick as the timer delivers it: the poll, then the media controls' comparison.
    void tick() {
        drive.advance(250);
        Form1->Timer1->OnTimer();
    }
};

void BM_MediaControlsCompareWhilePlaying(benchmark::State &state) {
    Program p(true);
    for (auto _ : state) p.controls->refresh();
}
BENCHMARK(BM_MediaControlsCompareWhilePlaying);

void BM_MediaControlsCompareWithoutADisc(benchmark::State &state) {
    Program p(false);
    for (auto _ : state) p.controls->refresh();
}
BENCHMARK(BM_MediaControlsCompareWithoutADisc);

// The whole tick with and without the comparison, side by side.
void BM_PollTickWhilePlaying(benchmark::State &state) {
    Program p(true);
    for (auto _ : state) p.pollOnly();
}
BENCHMARK(BM_PollTickWhilePlaying);

void BM_PollTickWhilePlayingWithMediaControls(benchmark::State &state) {
    Program p(true);
    for (auto _ : state) p.tick();
}
BENCHMARK(BM_PollTickWhilePlayingWithMediaControls);

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
