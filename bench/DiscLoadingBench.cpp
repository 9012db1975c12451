#include "app/Application.h"
#include "catalogue/CatalogueEditor.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/DiscLoading.h"
#include "platform/SimulatedDrive.h"
#include "player/Commands.h"
#include "player/PlayerState.h"
#include "player/TimeFormat.h"
#include "ui/ErrorDisplay.h"
#include "ui/Form1.h"
#include "ui/Modal.h"
#include "ui/controls/Timer.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <numeric>
#include <stdexcept>

namespace {

// Loading a 99-track disc whose catalogue file holds a title for every track: reading the
// device's lengths, filling the editor's grid and the LCD, and reading the file twice. The disc
// title is short, so no marquee runs.
void BM_LoadDiscFullCatalogue(benchmark::State &state) {
    platform::SimulatedDrive drive;
    const platform::SimulatedDisc disc = platform::SimulatedDisc::uniform(99, 40, 17);
    drive.insert(disc);
    const int frames = std::accumulate(disc.trackFrames.begin(), disc.trackFrames.end(), 0);
    std::vector<std::string> lines{"Ninety-nine tracks"};
    for (int t = 1; t <= 99; ++t) lines.push_back("Track title number " + std::to_string(t));
    const QString name = catalogue::fileNameForLength(msf::fromFrames(frames - 1));
    catalogue::writeFile(QDir(catalogue::catalogueFolder()).filePath(name), lines);

    TTimer::holdAllTimers(true);
    int questions = 0;
    setModalHook([&questions](QDialog *) {
        ++questions;
        return int(QDialog::Rejected);
    });
    setWaitHook([](int) {});
    setErrorSink([](const QString &, const QString &message) { throw std::runtime_error(message.toStdString()); });
    createWindows();
    Form1->MediaPlayer1->setDrive(&drive);
    Form1->FormShow(Form1);

    for (auto _ : state) LoadDisc();

    if (questions != 0 || TrackCount != 99) state.SkipWithError("the disc was not loaded from its file");
    destroyWindows();
}
BENCHMARK(BM_LoadDiscFullCatalogue)->Unit(benchmark::kMicrosecond);

// A track title pasted into the editor that code page 932 cannot hold (Hangul), as the LCD reads
// it at each track change: every character becomes '?'.
void BM_TrackTitleNotInTheCodePage(benchmark::State &state) {
    TTimer::holdAllTimers(true);
    setModalHook([](QDialog *) { return int(QDialog::Rejected); });
    createWindows();
    CD_Database->SG1->setRowCount(2);
    CD_Database->SG1->setCell(1, 1, std::string());
    CD_Database->SG1->item(1, 1)->setText(QString(static_cast<qsizetype>(state.range(0)), QChar(0xD55C)));
    std::size_t size = 0;
    for (auto _ : state) size = CD_Database->SG1->Cells(1, 1).size();
    if (size != static_cast<std::size_t>(state.range(0))) state.SkipWithError("the title was not replaced character by character");
    destroyWindows();
}
BENCHMARK(BM_TrackTitleNotInTheCodePage)->Arg(16000)->Arg(40000)->Unit(benchmark::kMillisecond);

}  // namespace

// Offscreen windows and private folders, as the window tests have them.
int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
        const QString dir = home.path() + QLatin1Char('/') + QString::fromLatin1(name);
        QDir().mkpath(dir);
        qputenv(name, dir.toLocal8Bit());
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return EXIT_SUCCESS;
}
