// What looking for a CD drive costs the drive's worker once a second while there is none: libcdio's
// full look for the default drive, and what decides whether it is worth running: the read of the
// inotify watch on /dev, or the stat of /dev where no watch can be had.
#include "platform/backends/DriveLookGate.h"
#include "platform/backends/HotPlugSource.h"

#include <benchmark/benchmark.h>

#include <sys/stat.h>

namespace {

void BM_DefaultDriveLook(benchmark::State &state) {
    for (auto _ : state) benchmark::DoNotOptimize(platform::HotPlugSource::defaultDrive());
}
BENCHMARK(BM_DefaultDriveLook)->Unit(benchmark::kMicrosecond);

void BM_DevChangedCheck(benchmark::State &state) {
    struct stat info {};
    for (auto _ : state) benchmark::DoNotOptimize(stat("/dev", &info));
}
BENCHMARK(BM_DevChangedCheck)->Unit(benchmark::kMicrosecond);

void BM_DevChangedWatch(benchmark::State &state) {
    platform::FolderChanges changes("/dev");
    if (!changes.watching()) state.SkipWithError("no inotify watch on /dev");
    for (auto _ : state) benchmark::DoNotOptimize(changes.changed());
}
BENCHMARK(BM_DevChangedWatch)->Unit(benchmark::kMicrosecond);

// A whole idle second's decision once the first look is done: the gate with the look it would run.
void BM_GatedLookWhileDevIsQuiet(benchmark::State &state) {
    platform::DriveLookGate gate("/dev", &platform::HotPlugSource::defaultDrive, std::chrono::seconds(30));
    gate();
    for (auto _ : state) benchmark::DoNotOptimize(gate());
}
BENCHMARK(BM_GatedLookWhileDevIsQuiet)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
