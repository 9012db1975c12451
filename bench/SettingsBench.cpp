// The settings file as the program uses it: the eleven reads of start-up and the eleven writes of
// the close, on a file of the program's own keys with a few lines of the user's.
#include "app/SettingsFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr char kSettings[] =
    "; my settings\n[Tunewick]\nPos(X)=100\nPos(Y)=100\nLOOP=1\nDelay=250\n[LCD]\nVisible=0\nDelay=250\n"
    "Pos(X)=50\nPos(Y)=50\n[DB]\nPos(X)=10\nPos(Y)=10\n[Select]\nPos(X)=10\nPos(Y)=100\n";

struct Names {
    const char *section, *key;
};
constexpr Names kPositions[] = {{"Tunewick", "Pos(X)"}, {"Tunewick", "Pos(Y)"}, {"LCD", "Pos(X)"},
                                {"LCD", "Pos(Y)"},      {"DB", "Pos(X)"},       {"DB", "Pos(Y)"},
                                {"Select", "Pos(X)"},   {"Select", "Pos(Y)"}};

QString settingsIn(const QTemporaryDir &dir) {
    const QString path = dir.filePath(QStringLiteral("ROTOR.INI"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(kSettings);
    return path;
}

void BM_StartupReads(benchmark::State &state) {
    QTemporaryDir dir;
    const SettingsFile settings(settingsIn(dir));
    for (auto _ : state) {
        int sum = settings.ReadFlag("Tunewick", "LOOP", true) + settings.ReadFlag("LCD", "Visible", false) +
                  settings.ReadNumber("LCD", "Delay", 250);
        for (const Names &n : kPositions) sum += settings.ReadNumber(n.section, n.key, 0);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_StartupReads)->Unit(benchmark::kMicrosecond);

void BM_CloseWrites(benchmark::State &state) {
    QTemporaryDir dir;
    SettingsFile settings(settingsIn(dir));
    int step = 0;
    for (auto _ : state) {
        ++step;
        settings.WriteFlag("Tunewick", "LOOP", step % 2 != 0);
        settings.WriteFlag("LCD", "Visible", step % 2 == 0);
        settings.WriteNumber("Tunewick", "Delay", 250);
        for (const Names &n : kPositions) settings.WriteNumber(n.section, n.key, step);
    }
}
BENCHMARK(BM_CloseWrites)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
